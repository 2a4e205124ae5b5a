// Not a test: shows the page setup dialog's pages over a fake catalog and saves screenshots of
// the screen, message boxes included (run under a display: pagesetup_screenshots <folder>).
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdlib>

#include "../../catalog/tests/test_support.h"
#include "appstate.h"
#include "diskexport.h"
#include "frmpagesetup.h"
#include "printersurface.h"
#include "recordingsurface.h"
#include "reports.h"
#include "reporttable.h"
#include "texttable.h"

namespace {

QString folder;

void Grab(const QString& name) {
  // Long enough for the window manager to map and paint what was just shown.
  QElapsedTimer wait;
  wait.start();
  while (wait.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);
  QScreen* screen = QGuiApplication::primaryScreen();
  screen->grabWindow(0).save(folder + QLatin1Char('/') + name);
}

// Grabs the screen while the message box that the next call shows is up, then answers it.
void GrabNextMessage(const QString& name) {
  QTimer::singleShot(700, [name] {
    Grab(name);
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
}

DATE At(int day, int hour) { return *vbrt::DateFromParts({2026, 12, day, hour, 15, 0}); }

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  setenv("XENDORA_HOME", folder.toLocal8Bit().constData(), 1);
  surface::RecordingOptions options;
  options.printer = true;
  surface::RecordingSurface printer(options);

  app::AppState app;
  app.settings.SetDriveLetter(app::kZipDisk, "E:\\");
  app.print.PrinterOffsetX = app.print.PrinterOffsetY = 0.25;
  app.print.PrintableWidth = 8.0;
  app.print.PrintableHeight = 10.5;
  reports::PageSettings page;
  catalog_testing::FakeCompCtl control;

  {  // A floppy label: the start cell 8 of the sheet (column 2, row 3), then the margins it gives.
    app.print.LabelMedium = 1;
    app.print.ReportType = 2;
    printsetup::PageSetupState state(app, page, [&]() -> surface::PrinterObject& { return printer; });
    state.Load();
    state.Activate();
    printsetup::frmPageSetup window(state);
    state.TabClick("CUST");
    state.CellClick(printsetup::kFloppyGrid, 7);
    window.Sync();
    window.show();
    Grab("custom_option1_7.png");
    state.TabClick("GEN");
    window.Sync();
    Grab("general_after_option1_7.png");
    window.hide();
    state.Unload();
  }
  {  // Select Disks to Print: eight Zip disks, the date filter, six ticked, the seventh refused.
    app.print.LabelMedium = 0;
    for (int i = 0; i < 8; ++i)
      control.hits.push_back({u"Backup Zip " + QString::number(i + 1).toStdU16String() + u" – Fotos", double(100 + i),
                              u"Sommer", 96000, At(1 + i, 9 + i), u"Zip Disk"});
    printsetup::PageSetupState state(app, page, [&]() -> surface::PrinterObject& { return printer; });
    state.compCtl = [&] { return &control; };
    state.SetBatchPrint();
    state.Load();
    state.Activate();
    printsetup::frmPageSetup window(state);
    state.TabClick("CUST");
    state.PrintToClick(1);
    state.UpdatedClick(true);
    state.DatesChanged(At(1, 0), At(11, 0));
    state.ApplyClick();
    for (int i = 0; i < 6; ++i) state.DiskItemCheck(i, true);
    window.Sync();
    window.show();
    Grab("select_disks_count6.png");
    GrabNextMessage("select_disks_seventh_refused.png");
    state.DiskItemCheck(6, true);
    window.Sync();
    Grab("select_disks_after_refusal.png");
    window.hide();
    state.Unload();
  }
  {  // Batch Load & Print: four Zip disks added one after another fill the sheet.
    control.hits.clear();
    int adds = 0;
    printsetup::PageSetupState state(app, page, [&]() -> surface::PrinterObject& { return printer; });
    state.compCtl = [&] { return &control; };
    state.showAddDisk = [&] {
      ++adds;
      control.hits.push_back({u"Zip Batch Disk " + QString::number(adds).toStdU16String(), double(200 + adds), u"",
                              94000, vbrt::AddSeconds(vbrt::Now(), adds), u"Zip Disk"});
      app.shell.PendingDiskCommand = "ADDZIP";
    };
    state.SetBatchPrint();
    state.Load();
    state.Activate();
    printsetup::frmPageSetup window(state);
    state.PrintToClick(1);
    window.Sync();
    window.show();
    Grab("batch_add_empty.png");
    for (int i = 0; i < 3; ++i) state.ApplyClick();
    window.Sync();
    GrabNextMessage("batch_add_completed.png");
    state.ApplyClick();
    window.Sync();
    Grab("batch_add_full.png");
    window.hide();
    state.Unload();
  }
  // A floppy batch of seven and a case-insert batch of four, printed to PDF files.
  struct Batch {
    SHORT type;
    int disks;
    const char* file;
  };
  for (const Batch& b : {Batch{6, 7, "floppy_batch_7.pdf"}, Batch{9, 4, "case_insert_batch_4.pdf"}}) {
    std::vector<printsetup::DiskRow> rows;
    for (int i = 0; i < b.disks; ++i)
      rows.push_back({QStringLiteral("Disk %1 Ärger").arg(i + 1), QString::number(300 + i), QString(),
                      QStringLiteral("1,440K"), QString(), QStringLiteral("note %1").arg(i + 1), At(1 + i, 10), true});
    surface::PrinterSurface pdf(surface::kPdfPrinterName);
    pdf.SetOutputFileName(folder + QLatin1Char('/') + QString::fromLatin1(b.file));
    pdf.SetPrintableMargins(QMarginsF(0.25, 0.25, 0.25, 0.25));
    app::PrintJob& job = app.print;
    app::Designer designer;
    if (!printsetup::ExportCheckedDisks(rows, b.type, job, pdf)) return 1;
    job.ReportRecordset.reset();
    job.ReportRecordset = std::make_shared<texttable::Recordset>(
        texttable::Recordset::Open(app::catalog::ReportTablePath(QString::fromLatin1(app::catalog::kDataExportFile))));
    // As batch OK leaves the page settings, on the printer's page.
    reports::PageSettings batchPage;
    if (b.type == 6) {
      batchPage.LeftMargin = batchPage.RightMargin = 0.25;
    } else {
      batchPage.LeftMargin = batchPage.RightMargin = 7.0 / 8;
      batchPage.TopMargin = batchPage.BottomMargin = 5.0 / 12;
    }
    job.PrinterOffsetX = pdf.ScaleX(pdf.GetDeviceCaps(PHYSICALOFFSETX), surface::vbPixels, surface::vbInches);
    job.PrinterOffsetY = pdf.ScaleY(pdf.GetDeviceCaps(PHYSICALOFFSETY), surface::vbPixels, surface::vbInches);
    job.PageWidth = pdf.ScaleX(pdf.Width(), surface::vbTwips, surface::vbInches);
    job.PageHeight = pdf.ScaleY(pdf.Height(), surface::vbTwips, surface::vbInches);
    reports::SetPrintableBox(job, batchPage, true, 1.0);
    app::Selection selection;
    reports::Reports drawing(job, designer, selection, batchPage);
    drawing.PrintReportPage(pdf, job.PrintLeft, job.PrintTop, job.PrintRight);
    pdf.EndDoc();
    job.ReportRecordset.reset();
  }
  return 0;
}
