// The printer over QPrinter, on the PDF printer: page geometry, pages, and what the PDF holds
// (read back with poppler's pdftotext and pdfinfo).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "printersurface.h"
#include "vbrt.h"

namespace surface {
namespace {

QString RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return QString();
  return QString::fromUtf8(p.readAllStandardOutput());
}

struct Word {
  double xMin = -1, yMin = -1;
};

// The position of a word in points from the paper's top-left corner, as pdftotext -bbox finds it.
Word FindWord(const QString& bboxHtml, const QString& word) {
  static const QRegularExpression re(
      QStringLiteral(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="[0-9.]+" yMax="[0-9.]+">([^<]*)</word>)re"));
  for (auto it = re.globalMatch(bboxHtml); it.hasNext();) {
    const auto m = it.next();
    if (m.captured(3) == word) return Word{m.captured(1).toDouble(), m.captured(2).toDouble()};
  }
  return Word{};
}

class PdfPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    file = dir.filePath(QStringLiteral("out.pdf"));
    printer = std::make_unique<PrinterSurface>(kPdfPrinterName);
    printer->SetOutputFileName(file);
    printer->SetPrintableMargins(QMarginsF(0.25, 0.25, 0.25, 0.25));  // as a printer's unprintable edge
  }
  QTemporaryDir dir;
  QString file;
  std::unique_ptr<PrinterSurface> printer;
};

TEST_F(PdfPrinterTest, OriginIsThePrintableCornerAndPagesCount) {
  EXPECT_TRUE(printer->IsPrinter());
  EXPECT_EQ(printer->DeviceName(), kPdfPrinterName);
  EXPECT_EQ(printer->PaperSize(), vbPRPSLetter);
  const int dpi = printer->GetDeviceCaps(LOGPIXELSX);
  EXPECT_EQ(printer->GetDeviceCaps(PHYSICALOFFSETX), dpi / 4);
  EXPECT_EQ(printer->GetDeviceCaps(PHYSICALOFFSETY), dpi / 4);
  EXPECT_EQ(printer->GetDeviceCaps(HORZRES), 8 * dpi);
  EXPECT_EQ(printer->GetDeviceCaps(VERTRES), dpi * 21 / 2);
  EXPECT_EQ(printer->GetDeviceCaps(PHYSICALWIDTH), dpi * 17 / 2);
  EXPECT_DOUBLE_EQ(printer->Width(), 8.5 * 1440);
  EXPECT_DOUBLE_EQ(printer->ScaleWidth(), 8.0);

  // Text one inch from the printable corner, on two pages.
  printer->SetFontName(QStringLiteral("Arial"));
  printer->SetFontSize(12);
  const LONG inch = static_cast<LONG>(printer->ScaleX(1.0, vbInches, vbPixels));
  RECT r{inch, inch, inch * 4, inch * 2};
  printer->DrawText(QStringLiteral("Catalog"), r, DT_SINGLELINE);
  EXPECT_EQ(printer->Page(), 1);
  printer->NewPage();
  EXPECT_EQ(printer->Page(), 2);
  RECT r2 = r;
  printer->DrawText(QStringLiteral("Second"), r2, DT_SINGLELINE);
  printer->EndDoc();
  ASSERT_TRUE(QFile::exists(file));

  const QString info = RunTool(QStringLiteral("pdfinfo"), {file});
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral(R"(Pages:\s+2\b)")))) << info.toStdString();
  EXPECT_TRUE(info.contains(QStringLiteral("612 x 792 pts"))) << "Letter paper";

  const QString html = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
  const Word first = FindWord(html, QStringLiteral("Catalog"));
  const Word second = FindWord(html, QStringLiteral("Second"));
  // 1 inch plus the 0.25 inch offset: 90 points from the paper's edges. The word's box starts
  // at its first glyph's advance (across) and at the font's ascent above the baseline (down).
  EXPECT_NEAR(first.xMin, 90.0, 1.5) << html.toStdString();
  EXPECT_NEAR(first.yMin, 90.0, 2.0) << html.toStdString();
  EXPECT_NEAR(second.xMin, 90.0, 1.5);
  EXPECT_NEAR(second.yMin, 90.0, 2.0);
}

TEST_F(PdfPrinterTest, NothingDrawnWritesNoDocument) {
  printer->EndDoc();
  EXPECT_FALSE(QFile::exists(file));
}

TEST_F(PdfPrinterTest, NewPageBeforeAnyDrawingLeavesTheFirstPageBlank) {
  printer->NewPage();
  printer->Line(0, 0, 1, 1);
  printer->EndDoc();
  const QString info = RunTool(QStringLiteral("pdfinfo"), {file});
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral(R"(Pages:\s+2\b)")))) << info.toStdString();
}

TEST_F(PdfPrinterTest, KillDocAbandonsTheDocument) {
  printer->Line(0, 0, 1, 1);
  printer->KillDoc();
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(printer->Page(), 1);
}

TEST_F(PdfPrinterTest, LandscapeSwapsThePaper) {
  printer->SetOrientation(vbPRORLandscape);
  EXPECT_EQ(printer->Orientation(), vbPRORLandscape);
  EXPECT_DOUBLE_EQ(printer->Width(), 11.0 * 1440);
  EXPECT_DOUBLE_EQ(printer->ScaleHeight(), 8.0);
  printer->SetPaperSize(vbPRPSA4);
  EXPECT_EQ(printer->PaperSize(), vbPRPSA4);
}

TEST_F(PdfPrinterTest, PropertiesItCannotTakeAreRefused) {
  printer->SetCopies(2);
  EXPECT_EQ(printer->Copies(), 2);
  printer->SetDuplex(vbPRDPSimplex);
  for (auto set : std::initializer_list<std::function<void()>>{
           [&] { printer->SetDuplex(vbPRDPHorizontal); }, [&] { printer->SetCopies(0); },
           [&] { printer->SetPaperSize(4242); }, [&] { printer->SetOrientation(0); }}) {
    try {
      set();
      ADD_FAILURE() << "accepted";
    } catch (const vbrt::RuntimeError& e) {
      EXPECT_EQ(e.number(), 380);
    }
  }
  EXPECT_EQ(printer->Duplex(), vbPRDPSimplex);
}

TEST_F(PdfPrinterTest, AFileThatCannotBeWrittenIsAPrinterError) {
  printer->SetOutputFileName(dir.filePath(QStringLiteral("missing/folder/out.pdf")));
  try {
    printer->Line(0, 0, 1, 1);
    ADD_FAILURE() << "drawing to an unwritable file succeeded";
  } catch (const vbrt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 482);
  }
}

TEST(Printers, EachUnnamedPdfDocumentGetsAFileOfItsOwn) {
  QTemporaryDir home;
  const QByteArray before = qgetenv("XENDORA_HOME");
  qputenv("XENDORA_HOME", home.path().toUtf8());
  QStringList files;
  for (int i = 0; i < 2; ++i) {
    PrinterSurface p(kPdfPrinterName);
    p.Line(0, 0, 1, 1);
    p.EndDoc();
    files << p.OutputFileName();
  }
  EXPECT_NE(files[0], files[1]);
  for (const QString& f : files) {
    EXPECT_TRUE(QFile::exists(f)) << f.toStdString();
    EXPECT_TRUE(f.startsWith(home.path())) << f.toStdString();
  }
  qputenv("XENDORA_HOME", before);
}

TEST(Printers, ListEndsWithThePdfPrinter) {
  const auto list = Printers();
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.back().DeviceName, kPdfPrinterName);
  try {
    PrinterSurface none(QStringLiteral("No Such Printer 1234"));
    ADD_FAILURE() << "an unknown printer was opened";
  } catch (const vbrt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 482);
  }
}

}  // namespace
}  // namespace surface
