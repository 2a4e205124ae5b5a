// Label sheet outlines on the recording surface: CD discs, Zip labels and strips, the case
// insert panels, the Zip sheet guides, the floppy outlines; colours and the printer's rules.
#include "test_support.h"

namespace reports::testing {
namespace {

constexpr double kEps = 1e-9;

struct Disc {
  double x, y, r;
};

class LabelSheetTest : public ReportsTest {};

TEST_F(LabelSheetTest, CdLabelDiscsAtTheirPaperPositions) {
  const struct {
    const char* name;
    SHORT kind;
    double offset;  // 0: the canvas; else a printer with that unprintable margin
    std::vector<Disc> discs;
  } cases[] = {
      {"8931 on the canvas", 3, 0, {{4.2505, 3.0, 2.3125}, {4.2505, 3.0, 0.8125}, {4.2505, 8.0, 2.3125}, {4.2505, 8.0, 0.8125}}},
      {"8931 on a printer with a 0.25 in offset", 3, 0.25,
       {{4.0005, 2.75, 2.3125}, {4.0005, 2.75, 0.8125}, {4.0005, 7.75, 2.3125}, {4.0005, 7.75, 0.8125}}},
      {"5824 on the canvas", 4, 0, {{4.25, 2.75, 2.25}, {4.25, 2.75, 0.8125}, {4.25, 8.25, 2.25}, {4.25, 8.25, 0.8125}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    job.ReportType = 12;
    job.TemplateKind = c.kind;
    job.PrintOutlines = true;
    job.PrinterOffsetX = job.PrinterOffsetY = c.offset;
    auto s = c.offset > 0 ? PrinterSurface(c.offset) : Canvas();
    reports.DrawLabelOutline(*s);
    const auto circles = Of(*s, Primitive::Kind::Circle);
    ASSERT_EQ(circles.size(), c.discs.size());
    for (size_t i = 0; i < circles.size(); ++i) {
      EXPECT_NEAR(circles[i].x1, c.discs[i].x, kEps) << i;
      EXPECT_NEAR(circles[i].y1, c.discs[i].y, kEps) << i;
      EXPECT_NEAR(circles[i].rx, c.discs[i].r, kEps) << i;
      EXPECT_EQ(circles[i].color, kLightGrey);
    }
    EXPECT_EQ(s->ForeColor(), kBlack);
  }
}

TEST_F(LabelSheetTest, OutlinesAreBlackWhenPageMarginsArePreviewed) {
  job.ReportType = 12;
  job.TemplateKind = 3;
  page.MarginsChecked = true;
  auto s = Canvas();
  reports.DrawLabelSheet(*s);
  for (const Primitive& p : Of(*s, Primitive::Kind::Circle)) EXPECT_EQ(p.color, kBlack);
}

TEST_F(LabelSheetTest, ThePrinterDrawsNoOutlinesWhenTheyAreOff) {
  job.PrintOutlines = false;
  for (SHORT kind : {1, 2, 3, 4, 5, 6}) {
    job.ReportType = 12;
    job.LabelMedium = 0;
    job.TemplateKind = kind;
    auto s = PrinterSurface(0.25);
    reports.DrawLabelSheet(*s);
    EXPECT_TRUE(s->Log().empty()) << "kind " << kind;
  }
  job.LabelMedium = 2;  // the Zip sheet guides
  auto s = PrinterSurface(0.25);
  reports.DrawLabelSheet(*s);
  EXPECT_TRUE(s->Log().empty());
}

TEST_F(LabelSheetTest, ZipSheetGuidesAtThirdsOfThePage) {
  job.LabelMedium = 2;
  job.LabelRowCount = 3;
  auto s = Canvas();
  reports.DrawLabelSheet(*s);
  const auto lines = Of(*s, Primitive::Kind::Line);
  ASSERT_EQ(lines.size(), 5u);
  const double thirds[] = {11.0 / 3, 22.0 / 3, 11.0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(lines[i].y1, thirds[i], 1.0 / 2000) << i;
    EXPECT_NEAR(lines[i].x1, 0.75, kEps);
    EXPECT_NEAR(lines[i].x2, 8.5, kEps);
  }
  EXPECT_NEAR(lines[3].x1, 0.75, kEps);
  EXPECT_NEAR(lines[4].x1, (8.5 + 0.75) / 2, kEps);
  EXPECT_NEAR(lines[4].y2, 11.0, kEps);
}

TEST_F(LabelSheetTest, ZipLabelsWithTheirStripsLeaveTheKindAsItWas) {
  job.ReportType = 11;
  job.TemplateKind = 2;
  auto s = Canvas();
  reports.DrawLabelOutline(*s);
  const auto rects = Of(*s, Primitive::Kind::RoundRect);
  ASSERT_EQ(rects.size(), 12u);  // 2 x 3 labels, two sets of 3 strips
  EXPECT_NEAR(rects[0].x1, 1.27, kEps);
  EXPECT_NEAR(rects[0].y1, 0.671875, 1.0 / 2000);
  EXPECT_NEAR(rects[0].rx, 1.0 / 16, kEps);
  EXPECT_NEAR(rects[6].y1, 2.908, kEps);
  EXPECT_NEAR(rects[9].y1, 3.439, kEps);
  EXPECT_EQ(job.TemplateKind, 2);
}

TEST_F(LabelSheetTest, FloppyOutlinesOnTheCanvasOnly) {
  for (SHORT type : {6, 7}) {
    job.ReportType = type;
    auto canvas = Canvas();
    reports.DrawLabelOutline(*canvas);
    const auto rects = Of(*canvas, Primitive::Kind::RoundRect);
    ASSERT_EQ(rects.size(), 15u);
    EXPECT_EQ(rects[0].color, kLightGrey);
    EXPECT_NEAR(rects[14].x1, 0.125 + 2 * 2.78125, kEps);
    EXPECT_NEAR(rects[14].y1, 0.5 + 4 * 2.0, kEps);

    job.PrintOutlines = true;
    auto printer = PrinterSurface(0.25);
    reports.DrawLabelOutline(*printer);
    EXPECT_TRUE(printer->Log().empty());
    EXPECT_EQ(printer->ForeColor(), kBlack) << "no grey left behind";
  }
}

TEST_F(LabelSheetTest, CaseInsertPanelsAndJacketFrame) {
  job.ReportType = 12;
  job.TemplateKind = 1;
  auto s = Canvas();
  reports.DrawLabelSheet(*s);
  const auto lines = Of(*s, Primitive::Kind::Line);
  ASSERT_EQ(lines.size(), 10u);  // 4 outline sides, 2 fold lines, 4 dotted spine guides
  EXPECT_NEAR(lines[0].y1, 0.416, kEps);
  EXPECT_NEAR(lines[1].x1, 0.875 + 2 * 4.625, kEps);
  EXPECT_NEAR(lines[1].y2, 0.416 + 2 * 3.834, kEps);
  EXPECT_EQ(lines[6].style, surface::vbDot);
  EXPECT_NEAR(lines[6].x1, 0.875 + 0.375, kEps);
  EXPECT_EQ(s->DrawStyle(), surface::vbSolid);

  job.TemplateKind = 5;
  auto jacket = Canvas();
  reports.DrawLabelSheet(*jacket);
  const auto frame = Of(*jacket, Primitive::Kind::Line);
  ASSERT_EQ(frame.size(), 5u);
  EXPECT_NEAR(frame[4].x1, (0.5 + 8.0) / 2, kEps);
  const auto titles = Of(*jacket, Primitive::Kind::Text);
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles[0].text, QStringLiteral("Inside Jacket"));
  EXPECT_EQ(titles[1].text, QStringLiteral("Front Cover"));
  EXPECT_LT(titles[0].y1, 0.5);

  job.TemplateKind = 6;
  auto boxes = Canvas();
  reports.DrawLabelSheet(*boxes);
  const auto b = Of(*boxes, Primitive::Kind::Box);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_NEAR(b[2].y2, 10.375, kEps);
}

}  // namespace
}  // namespace reports::testing
