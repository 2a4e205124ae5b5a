// The preview over the Reports module: the document header and page footer it calls back,
// and a table report paged, searched and painted on the canvas.
#include <gtest/gtest.h>

#include "pagefurniture.h"
#include "test_support.h"

namespace designer {
namespace {

using surface::Primitive;
using test::Names;

struct Furniture : test::PreviewFixture {
  Furniture() {
    job.FontTable[0] = {QStringLiteral("Times Roman"), 24, true};
    job.FontTable[2] = {QStringLiteral("Times Roman"), 10, false, true};
    job.FontTable[3] = {QStringLiteral("Arial"), 11, true};
  }
  reports::Reports reports{job, designer, selection, pageSetup};
  PageState pages = FreshPages();
  PageFurniture furniture{reports, pages};
  surface::RecordingSurface canvas;
};

TEST_F(Furniture, DocumentHeaderTitleSubtitleAndRule) {
  const double h = furniture.PrintDocumentHeader(canvas, 0.5, 0.5, 8.0, QStringLiteral("Directory of D:\\Music\rDisk 7"), false);
  const auto texts = canvas.Logged(Primitive::Kind::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, QStringLiteral("Directory of D:\\Music"));
  EXPECT_EQ(texts[0].font.Name, QStringLiteral("Times Roman"));
  EXPECT_TRUE(texts[0].font.Bold);
  EXPECT_EQ(texts[1].text, QStringLiteral("Disk 7"));
  EXPECT_EQ(texts[1].font.Name, QStringLiteral("Arial"));
  const auto lines = canvas.Logged(Primitive::Kind::Line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].width, 2);
  EXPECT_GT(lines[0].y1, texts[0].y1);
  EXPECT_EQ(canvas.DrawWidth(), 1);
  EXPECT_NEAR(h, 2 * (texts[1].y1 - 0.5), 0.02);

  canvas.ClearLog();
  EXPECT_DOUBLE_EQ(furniture.PrintDocumentHeader(canvas, 0.5, 0.5, 8.0, QStringLiteral("Directory of D:\\Music\rDisk 7"), true), h);
  EXPECT_TRUE(canvas.Log().empty());  // measuring draws nothing
  EXPECT_EQ(furniture.PrintDocumentHeader(canvas, 0.5, 0.5, 8.0, QString(), false), 0);
}

TEST_F(Furniture, PageFooterNumbersThePage) {
  pages.CurrentPage = 3;
  const double h = furniture.PrintPageFooter(canvas, 0.5, 10.5, 8.0, QStringLiteral("Directory Contents printed  "), true, false, 2);
  const auto texts = canvas.Logged(Primitive::Kind::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].text, QStringLiteral("Page 5"));
  EXPECT_TRUE(texts[1].font.Italic);
  EXPECT_GT(texts[1].x1, 7.0);  // right-aligned against the right edge
  EXPECT_LT(texts[0].y1, 10.5);
  EXPECT_GT(h, 0);
  canvas.ClearLog();
  furniture.PrintPageFooter(canvas, 0.5, 10.5, 8.0, QStringLiteral("Footer"), false, false, 0);
  EXPECT_EQ(canvas.Logged(Primitive::Kind::Text).size(), 1u);
  canvas.ClearLog();
  EXPECT_EQ(furniture.PrintPageFooter(canvas, 0.5, 10.5, 8.0, QString(), true, false, 0), 0);
  EXPECT_TRUE(canvas.Log().empty());  // an empty footer shows no page number
}

// A document header report of wrapped, non-ASCII rows drawn by the Reports module.
struct TableReport : test::PreviewFixture {
  std::unique_ptr<PreviewSession> Open(int rows) {
    std::vector<std::string> names = Names(rows);
    for (size_t i = 0; i < names.size(); i += 7) names[i] += " with a name long enough to wrap in its cell twice over";
    return OpenTableReport(names, 16);
  }
};

int RedPixels(const QImage& image) {
  int red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == qRgb(255, 0, 0)) ++red;
  return red;
}

TEST_F(TableReport, PagesFindAndPaint) {
  auto s = Open(300);
  EXPECT_DOUBLE_EQ(designer.ZoomFactor, 0.85);
  const SHORT pages = s->Paging().GetNumPages();
  ASSERT_GT(pages, 2);
  EXPECT_TRUE(s->Pages().LastPageKnown);
  EXPECT_EQ(s->Controls().pagePanel, QStringLiteral("Page 1 of %1").arg(pages));
  // Every page but the last holds rows; the starts follow each other.
  for (int p = 1; p < pages; ++p) ASSERT_TRUE(s->Pages().PageStarts[p].has_value()) << p;
  s->Paging().GotoLastPage(99);
  EXPECT_EQ(s->Pages().CurrentPage, pages);
  EXPECT_EQ(s->Paging().GetNumPages(), pages);

  test::Script script;
  QString text = QStringLiteral("00250");
  ASSERT_TRUE(s->Paging().FindFirstOccurance(text, false));
  EXPECT_GT(designer.FindPage, 1);
  EXPECT_EQ(s->Pages().CurrentPage, designer.FindPage);
  EXPECT_GT(RedPixels(s->CanvasImage()), 0);  // the hit is marked on the canvas
  ASSERT_TRUE(s->TakeFoundRow().has_value());
  // A repaint draws the same page the same way.
  const QImage before = s->CanvasImage().copy();
  s->DoPrintPreview();
  EXPECT_EQ(s->CanvasImage(), before);
}

}  // namespace
}  // namespace designer
