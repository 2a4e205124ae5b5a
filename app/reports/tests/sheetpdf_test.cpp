// Label sheets on paper: a Zip label sheet and a CD label sheet printed to a Letter PDF
// through the printer, rendered at 150 dpi with pdftoppm, their outline edges found at their
// paper positions. The pages are left beside the test as zip_sheet.png and cd_sheet.png.
#include <QFile>
#include <QImage>
#include <QProcess>

#include "printersurface.h"
#include "test_support.h"

namespace reports::testing {
namespace {

constexpr double kDpi = 150;

class SheetPdfTest : public ReportsTest {
 protected:
  // Prints the sheet of the current report type and kind on a Letter PDF whose printable area
  // starts 0.25 in from the paper's edges, and renders it.
  QImage PrintAndRender(const QString& name, bool batch = false, bool rows = false) {
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    surface::PrinterSurface printer(surface::kPdfPrinterName);
    printer.SetOutputFileName(pdf);
    printer.SetPrintableMargins(QMarginsF(0.25, 0.25, 0.25, 0.25));
    job.PrinterOffsetX = printer.GetDeviceCaps(PHYSICALOFFSETX) / printer.DpiX();
    job.PrinterOffsetY = printer.GetDeviceCaps(PHYSICALOFFSETY) / printer.DpiY();
    job.PrintOutlines = true;
    page.MarginsChecked = true;  // black outlines
    if (rows) {
      reports.CalcRowHeight(printer, table);
      table.NoteLabelWidth = 9 * printer.ScaleX(printer.TextWidth(QStringLiteral("H")), surface::vbInches,
                                                surface::vbPixels);
      reports.PrintTableRows(printer, table, job.PrintLeft, job.PrintTop, job.PrintRight - job.PrintLeft,
                             job.PrintBottom - job.PrintTop, 2, 0.5);
    } else if (batch) {
      reports.CalcRowHeight(printer, table);
      reports.PrintReportPage(printer, job.PrintLeft, job.PrintTop, job.PrintRight);
    } else {
      reports.DrawLabelOutline(printer);
    }
    printer.EndDoc();
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), pdf, name});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QImage image(name + QStringLiteral(".png"));
    EXPECT_EQ(image.width(), 1275) << "Letter at 150 dpi";
    EXPECT_EQ(image.height(), 1650);
    return image;
  }

  TablePage table;

  static bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 245; }
  // The first dark pixel along a row (dx) or a column (dy) from a start, in pixels; -1: none.
  static int FirstAcross(const QImage& image, int y, int from, int step) {
    for (int x = from; x >= 0 && x < image.width(); x += step) {
      if (Dark(image, x, y)) return x;
    }
    return -1;
  }
  static int FirstDown(const QImage& image, int x, int from, int step) {
    for (int y = from; y >= 0 && y < image.height(); y += step) {
      if (Dark(image, x, y)) return y;
    }
    return -1;
  }
  static int Px(double inches) { return static_cast<int>(inches * kDpi); }
  // An edge at `inches` on paper lies in the pixel that holds it, give or take one. Outlines
  // are one printer pixel wide, a faint grey at 150 dpi: any ink counts.
  static void ExpectEdge(int found, double inches, const char* what) {
    EXPECT_NEAR(found, inches * kDpi, 1.0 + 0.5) << what;
  }
};

TEST_F(SheetPdfTest, ZipLabelSheetOutlinesLieOnTheirLabels) {
  job.ReportType = 11;
  job.TemplateKind = 2;
  const QImage image = PrintAndRender(QStringLiteral("zip_sheet"));
  ASSERT_FALSE(image.isNull());
  const double top = 43.0 / 64, midY = top + 1.0, midX = 1.27 + 2.34375 / 2;
  ExpectEdge(FirstAcross(image, Px(midY), 0, 1), 1.27, "left edge of the first label");
  ExpectEdge(FirstAcross(image, Px(midY), Px(midX), 1), 1.27 + 2.34375, "its right edge");
  ExpectEdge(FirstAcross(image, Px(midY), Px(1.27 + 2.34375) + 3, 1), 1.27 + 3.625, "the second column's left edge");
  ExpectEdge(FirstDown(image, Px(midX), 0, 1), top, "top edge of the first label");
  ExpectEdge(FirstDown(image, Px(midX), Px(midY), 1), top + 2.0, "its bottom edge");
  ExpectEdge(FirstDown(image, Px(1.27 + 0.5), Px(top + 2.0) + 3, 1), top + 3.32, "the second row's top edge");
  // The strips between the rows.
  ExpectEdge(FirstDown(image, Px(2.375 + 1.875), Px(top + 2.0) + 3, 1), 2.908, "the first strip");
}

TEST_F(SheetPdfTest, CdLabelSheetDiscsLieOnTheirLabels) {
  job.ReportType = 12;
  job.TemplateKind = 3;
  const QImage image = PrintAndRender(QStringLiteral("cd_sheet"));
  ASSERT_FALSE(image.isNull());
  const double cx = 4.2505, r = 2.3125, hub = 0.8125;
  for (double cy : {3.0, 8.0}) {
    ExpectEdge(FirstAcross(image, Px(cy), 0, 1), cx - r, "the disc's left edge");
    ExpectEdge(FirstAcross(image, Px(cy), image.width() - 1, -1), cx + r, "its right edge");
    ExpectEdge(FirstAcross(image, Px(cy), Px(cx), -1), cx - hub, "the hub's left edge");
    ExpectEdge(FirstDown(image, Px(cx), Px(cy), -1), cy - hub, "the hub's top edge");
  }
  ExpectEdge(FirstDown(image, Px(cx), 0, 1), 3.0 - r, "the upper disc's top");
  ExpectEdge(FirstDown(image, Px(cx), image.height() - 1, -1), 8.0 + r, "the lower disc's bottom");
}

TEST_F(SheetPdfTest, AFloppyBatchPrintsEachDiskInItsLabel) {
  UseTable("NAME,DISK_SERIAL_NUMBER,SIZE,MODIFIED,NOTE",
           {{"  Urlaub Çeşme 2026", "1001", "1048576", "12/9/26 3:05 PM", "Fotos|Strand und Berge"},
            {"  Steuer", "1002", "1457664", "12/10/26 9:30 AM", "Belege"},
            {"  Musik", "1003", "voll", "12/11/26 11:00 PM", ""}});
  job.ReportType = 6;
  page.LeftMargin = page.RightMargin = 0.25;
  const QImage image = PrintAndRender(QStringLiteral("floppy_batch"), true);
  ASSERT_FALSE(image.isNull());
  // Ink inside each of the three labels of the first row, none below them.
  auto inkIn = [&](double l, double t, double r, double b) {
    for (int y = Px(t); y < Px(b); ++y) {
      if (FirstAcross(image, y, Px(l), 1) >= 0 && FirstAcross(image, y, Px(l), 1) < Px(r)) return true;
    }
    return false;
  };
  EXPECT_TRUE(inkIn(0.5, 0.5, 3.0, 2.5));
  EXPECT_TRUE(inkIn(3.25, 0.5, 5.75, 2.5));
  EXPECT_TRUE(inkIn(6.0, 0.5, 8.25, 2.5));
  EXPECT_FALSE(inkIn(0.25, 2.8, 8.25, 10.5));
}

TEST_F(SheetPdfTest, ATwoColumnFileReportFramesItsColumns) {
  job.ReportType = 3;
  job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("SIZE"), QStringLiteral("NOTE")};
  job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Note")};
  job.ReportColumnWidths = {45, 20, 35};
  job.ReportColumnFormats = {QStringLiteral("L@"), QStringLiteral("R#,##0"), QStringLiteral("L@")};
  job.ReportColumnCount = 3;
  job.CellTextFlags = DT_WORDBREAK;
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 90; ++i) {
    rows.push_back({"Datei_" + std::to_string(i) + "_Ünïcødé.txt", std::to_string(1000 * i + 17),
                    i % 7 == 0 ? "Kunde|Rechnung vom Dezember, zweite Mahnung" : ""});
  }
  UseTable("NAME,SIZE,NOTE", rows);
  const QImage image = PrintAndRender(QStringLiteral("report_rows"), false, true);
  ASSERT_FALSE(image.isNull());
  // Margins 0.5 in on the paper: the left frame at 0.5 in, the second column's frame after
  // the first column's width and the 0.5 in gap.
  const double w = (7.5 - 0.5) / 2;
  ExpectEdge(FirstAcross(image, Px(5.0), 0, 1), 0.5, "the first column's frame");
  ExpectEdge(FirstAcross(image, Px(5.0), Px(0.5 + w) + 3, 1), 0.5 + w + 0.5, "the second column's frame");
  ExpectEdge(FirstDown(image, Px(0.5 + w + 0.25), 0, 1), -1 / kDpi, "no ink in the gap");
}

}  // namespace
}  // namespace reports::testing
