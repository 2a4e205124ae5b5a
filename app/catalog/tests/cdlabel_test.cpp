// A CD label from start to end, as a new user gets one: the main window over the real catalog
// library, Add New Disk from a CD drive, the label page of the update dialog that follows, the
// print preview, and its Print into a PDF file whose texts are read back with their places.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "appstate.h"
#include "catalogdialogs.h"
#include "currentprinter.h"
#include "designerlinks.h"
#include "frmmain.h"
#include "iteminfovariant.h"
#include "pagesettings.h"
#include "pagesetuplinks.h"
#include "printersurface.h"
#include "test_support.h"
#include "volumes_fixture.h"
#include "windowlinks.h"

namespace {

namespace fs = std::filesystem;

// One line of `pdftotext -bbox`: its words joined by blanks, its box in points from the page's
// top left corner.
struct PdfLine {
  int page = 0;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  QString text;
};

std::vector<PdfLine> PdfLines(const QString& file) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), file, QStringLiteral("-")});
  p.waitForFinished(60000);
  const QString xml = QString::fromUtf8(p.readAllStandardOutput());
  std::vector<PdfLine> lines;
  int page = 0;
  static const QRegularExpression tag(
      QStringLiteral("<page |<line xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" yMax=\"([-\\d.]+)\">|"
                     "<word [^>]*>([^<]*)</word>"));
  for (auto it = tag.globalMatch(xml); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    const QString whole = m.captured(0);
    if (whole.startsWith(QLatin1String("<page"))) {
      ++page;
    } else if (whole.startsWith(QLatin1String("<line"))) {
      lines.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                       m.captured(4).toDouble(), QString()});
    } else if (!lines.empty()) {
      QString word = m.captured(5);
      word.replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&amp;"), QLatin1String("&"));
      PdfLine& line = lines.back();
      line.text += (line.text.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
  }
  return lines;
}

int PdfPages(const QString& file) {
  QProcess p;
  p.start(QStringLiteral("pdfinfo"), {file});
  p.waitForFinished(60000);
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAllStandardOutput()));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class CdLabel : public catalog_testing::CatalogTest {
 protected:
  CdLabel() {
    app::Global() = app::AppState{};
    reports::CurrentPageSettings() = reports::PageSettings{};
    app::catalog::LinkCatalogWindows();
    designer::LinkPrintPreview();
    printsetup::LinkPageSetup();
  }
  ~CdLabel() override {
    window_.reset();
    app::Links() = app::WindowLinks{};
    surface::SetPrinter(nullptr);
    app::Global() = app::AppState{};
  }

  // A user's CD: folders and files with long, non-ASCII names.
  fs::path MakeCd() {
    const fs::path cd = scratch_.path() / "cd";
    fs::create_directories(cd / "Fotos Ägäis 2024");
    fs::create_directories(cd / "Musik" / "Ελληνικά");
    std::ofstream(cd / "Fotos Ägäis 2024" / "Strand von Náxos.jpg") << std::string(20000, 'j');
    std::ofstream(cd / "Musik" / "Ελληνικά" / "Σαββατόβραδο.mp3") << std::string(5000, 'm');
    std::ofstream(cd / "Reiseplan.pdf") << "plan";
    return cd;
  }

  // The main window over the real catalog library, on the catalog of the program folder.
  void OpenMainWindow() {
    const fs::path ini = scratch_.path() / "ctgr.ini";
    std::ofstream(ini, std::ios::binary) << "[LastFile]\r\nName=" << (scratch_.path() / "Xendora.DKC").string()
                                         << "\r\n";
    window_ = std::make_unique<app::frmMain>();
    window_->SetQuitOnUnload(false);
    window_->SetPopupsShown(false);
    window_->Form_Load();
    ASSERT_NE(window_->CompCtl1(), nullptr);
  }

  // The drive list's line of a letter, chosen with the keyboard.
  static void ChooseDrive(QComboBox* drives, const QString& letter) {
    drives->setFocus();
    QTest::keyClick(drives, Qt::Key_Home);
    for (int i = 0; i < drives->count() && !drives->currentText().startsWith(letter); ++i)
      QTest::keyClick(drives, Qt::Key_Down);
    EXPECT_TRUE(drives->currentText().startsWith(letter)) << drives->currentText().toStdString();
  }

  // Typed key by key; the test library's key clicks take ASCII only.
  static void TypeText(QWidget* box, const QString& text) {
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QApplication::sendEvent(box, &press);
      QApplication::sendEvent(box, &release);
    }
  }

  std::unique_ptr<app::frmMain> window_;
};

TEST_F(CdLabel, ADiskAddedFromTheCdDrivePrintsItsLabel) {
  volumes::testing::FixtureDrive cd('E', DRIVE_CDROM, MakeCd());
  OpenMainWindow();
  const QString pdf = QString::fromStdString((scratch_.path() / "cd label.pdf").string());

  QString mediaType, labelPageTitle;
  SHORT labelMedium = -1;
  std::vector<std::string> rows;
  script_.ExpectWindow(QStringLiteral("frmAddDisk"), [&](QWidget* add) {
    ChooseDrive(add->findChild<QComboBox*>(QStringLiteral("Drive1")), QStringLiteral("e:"));
    mediaType = add->findChild<QComboBox*>(QStringLiteral("lstStandardType"))->currentText();
    auto* name = add->findChild<QLineEdit*>(QStringLiteral("dName"));
    name->setFocus();
    TypeText(name, QStringLiteral("Urlaub Ägäis"));
    QTest::mouseClick(add->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
  });
  // After the add, the disk's label page; List of Files is the type chosen.
  script_.ExpectWindow(QStringLiteral("frmUpdate"), [&](QWidget* update) {
    labelPageTitle = update->windowTitle();
    labelMedium = app::Global().print.LabelMedium;
    QTest::mouseClick(update->findChild<QPushButton*>(QStringLiteral("btnPrint")), Qt::LeftButton);
    QTest::mouseClick(update->findChild<QPushButton*>(QStringLiteral("btnExit")), Qt::LeftButton);
  });
  script_.ExpectWindow(QStringLiteral("frmPrint"), [&](QWidget* preview) {
    auto& rs = app::Global().print.ReportRecordset;
    if (rs)
      for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) rows.push_back(rs->Field(0));
    rs->MoveFirst();
    preview->findChild<QAction*>(QStringLiteral("Print"))->trigger();
    preview->close();
  });
  forms::PrinterChoice toPdf;
  toPdf.deviceName = surface::kPdfPrinterName;
  toPdf.port = pdf;
  script_.ExpectPrinter(toPdf);

  window_->findChild<QAction*>(QStringLiteral("mnuAdd"))->trigger();
  window_->commands().Tick();
  ASSERT_TRUE(script_.Done());

  EXPECT_EQ(mediaType, QStringLiteral("CD-RW Disk"));
  EXPECT_EQ(app::ItemInfoText(app::Global().selection.AddUpdateResult, app::kInfoType), QStringLiteral("CD-RW Disk"));
  EXPECT_EQ(labelMedium, 3);
  EXPECT_EQ(labelPageTitle, QStringLiteral("Label Setup  (Select Label Type to print)"));
  // The label lists every folder and file of the CD, names lower-cased, each with its type code.
  EXPECT_EQ(rows, (std::vector<std::string>{"fotos ägäis 202405", "strand von náxos.jpg06", "musik05", "ελληνικά05",
                                            "σαββατόβραδο.mp306", "reiseplan.pdf06"}));

  // One page, the rows printed once each, one under the other in the label's order, inside
  // the CD's margins (1.875 in left and right, 0.75 in at the top of a portrait Letter page).
  ASSERT_TRUE(QFile::exists(pdf));
  EXPECT_EQ(PdfPages(pdf), 1);
  const std::vector<PdfLine> lines = PdfLines(pdf);
  QStringList texts;
  for (const PdfLine& l : lines) texts << l.text;
  EXPECT_EQ(texts, (QStringList{"fotos ägäis 2024", "strand von náxos.jpg", "musik", "ελληνικά", "σαββατόβραδο.mp3",
                                "reiseplan.pdf"}));
  for (size_t i = 0; i < lines.size(); ++i) {
    const PdfLine& l = lines[i];
    SCOPED_TRACE(l.text.toStdString());
    EXPECT_EQ(l.page, 1);
    EXPECT_GE(l.xMin, 1.875 * 72);
    EXPECT_LE(l.xMax, (8.5 - 1.875) * 72);
    EXPECT_GE(l.yMin, 0.75 * 72);
    EXPECT_NEAR(l.xMin, lines[0].xMin, 0.5);  // one left edge
    if (i > 0) EXPECT_GE(l.yMin, lines[i - 1].yMax - 0.5);
  }
}

}  // namespace
