// Opens the preview over a document header report and over a CD label sheet at a zoom and
// saves what the window shows, for looking at the window under a real display.
//
//   preview_screenshot <folder>    writes report-85.png, report-150.png, cdsheet-85.png, cdsheet-150.png
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "appstate.h"
#include "frmprint.h"
#include "pagesettings.h"
#include "recordingsurface.h"
#include "reportsdrawing.h"
#include "texttable.h"

namespace {

struct Job {
  app::PrintJob job;
  app::Designer designer;
  app::ShellState shell;
  app::Selection selection;
  reports::PageSettings page;
  surface::RecordingSurface printer{[] {
    surface::RecordingOptions o;
    o.printer = true;
    o.offsetX = o.offsetY = 0.25;
    return o;
  }()};

  designer::PreviewEnvironment Environment() {
    return designer::ReportsPreviewEnvironment(job, designer, shell, selection, page,
                                               [this]() -> surface::PrinterObject& { return printer; });
  }
};

std::shared_ptr<texttable::Recordset> Table(const QTemporaryDir& dir) {
  const std::filesystem::path file = dir.filePath(QStringLiteral("DATAEXP.TXT")).toStdString();
  texttable::RewriteTable(file, "NAME,SIZE,MODIFIED,NOTE");
  auto rs = std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
  const char* names[] = {"Ärger über die Überlänge.txt", "photos_2019_Βαλκάνια", "日本語のファイル名.doc",
                         "Symphonie Nr. 9 – 4. Satz (Live in Wien, 1986).flac", "readme.md",
                         "Résumé final (copy 2).docx"};
  for (int i = 0; i < 120; ++i) {
    rs->AddNew();
    rs->SetField(0, std::string(names[i % 6]) + " " + std::to_string(i + 1));
    rs->SetField(1, std::to_string(1024 * (i * 37 % 900 + 1)));
    rs->SetField(2, "12/" + std::to_string(1 + i % 28) + "/2025 10:15:00 AM");
    rs->SetField(3, i % 4 == 0 ? "Backup|kept in the second drawer" : "");
    rs->Update();
  }
  rs->Close();
  return std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
}

void Shoot(Job& j, const QString& zoom, const QString& file) {
  designer::frmPrint window(j.Environment());
  window.resize(1100, 850);
  window.show();
  if (!window.Load()) return;
  window.SetZoomFactor(zoom, true);
  QApplication::processEvents();
  QApplication::processEvents();
  window.grab().save(file);
  window.close();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QTemporaryDir dir;
  for (const char* zoom : {"85PC", "150PC"}) {
    const QString z = QString::fromLatin1(zoom).chopped(2);
    Job report;
    report.job.ReportType = 1;
    report.job.ReportTitle = QStringLiteral("Directory of D:\\Music\rDisk 7: Summer Concerts");
    report.job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("SIZE"), QStringLiteral("MODIFIED"),
                                   QStringLiteral("NOTE")};
    report.job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Size"),
                                                QStringLiteral("Modified"), QStringLiteral("Note")};
    report.job.ReportColumnWidths = {40, 12, 23, 25};
    report.job.ReportColumnFormats = {QStringLiteral("L"), QStringLiteral("R#,##0"), QStringLiteral("L"),
                                      QStringLiteral("L")};
    report.job.ReportColumnCount = 4;
    report.job.CellTextFlags = 16;
    report.job.ReportRecordset = Table(dir);
    Shoot(report, QString::fromLatin1(zoom), out + QStringLiteral("/report-%1.png").arg(z));

    Job cd;
    cd.job.ReportType = 12;
    cd.job.TemplateKind = 3;
    cd.job.LabelMedium = 0;
    cd.job.PrintOutlines = true;
    Shoot(cd, QString::fromLatin1(zoom), out + QStringLiteral("/cdsheet-%1.png").arg(z));
  }
  return 0;
}
