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
  QImage PrintAndRender(const QString& name) {
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    surface::PrinterSurface printer(surface::kPdfPrinterName);
    printer.SetOutputFileName(pdf);
    printer.SetPrintableMargins(QMarginsF(0.25, 0.25, 0.25, 0.25));
    job.PrinterOffsetX = printer.GetDeviceCaps(PHYSICALOFFSETX) / printer.DpiX();
    job.PrinterOffsetY = printer.GetDeviceCaps(PHYSICALOFFSETY) / printer.DpiY();
    job.PrintOutlines = true;
    page.MarginsChecked = true;  // black outlines
    reports.DrawLabelOutline(printer);
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

}  // namespace
}  // namespace reports::testing
