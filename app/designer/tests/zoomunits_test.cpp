// Zoom codes, the default zoom of a job, the read-out's units and the go-to-page entry.
#include <gtest/gtest.h>

#include "appstate.h"
#include "frmgoto.h"
#include "zoomunits.h"

namespace designer {
namespace {

TEST(ZoomCode, PercentOfCode) {
  const struct {
    const char* code;
    std::optional<int> percent;
  } cases[] = {{"85PC", 85}, {"100PC", 100}, {"25PC", 25}, {"300PC", 300}, {"PC", std::nullopt},
               {"0PC", std::nullopt}, {"abcPC", std::nullopt}, {"85", std::nullopt}, {"", std::nullopt},
               {"-5PC", std::nullopt}, {"8.5PC", std::nullopt}, {"99999PC", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ZoomPercentFromCode(QString::fromLatin1(c.code)), c.percent) << c.code;
  EXPECT_EQ(ZoomCode(150), QStringLiteral("150PC"));
  EXPECT_EQ(ZoomCaption(85), QStringLiteral("Zoom: 85%"));
  EXPECT_EQ(ZoomPercent(0.85), 85);
}

TEST(ZoomCode, DefaultZoomByJob) {
  const struct {
    SHORT medium, type;
    int percent;
  } cases[] = {{2, 2, 90}, {2, 1, 90}, {0, 1, 85}, {0, 11, 85}, {0, 12, 85}, {0, 2, 100}, {1, 7, 100}, {3, 4, 100}};
  for (const auto& c : cases) {
    app::PrintJob job;
    job.LabelMedium = c.medium;
    job.ReportType = c.type;
    EXPECT_EQ(DefaultZoomPercent(job), c.percent) << c.medium << "/" << c.type;
  }
}

TEST(MeasureUnits, FormatsAndScales) {
  const struct {
    SHORT scale;
    const char* panel;
    const char* oneInch;
  } cases[] = {{5, "Inches", "1.000"}, {7, "Centimeters", "2.54"}, {6, "Millimeters", "25.4"}, {3, "Pixels", "96"}};
  for (const auto& c : cases) {
    const MeasureUnit& unit = UnitForScale(c.scale);
    EXPECT_STREQ(unit.panelText, c.panel);
    EXPECT_EQ(FormatMeasure(1.0, unit, 96), QString::fromLatin1(c.oneInch));
  }
  EXPECT_STREQ(UnitForScale(42).panelText, "Inches");
}

TEST(GotoEntry, PageOfEntry) {
  const struct {
    const char* entry;
    std::optional<SHORT> page;
  } cases[] = {{"0", std::nullopt},  {"-3", std::nullopt}, {"32000", std::nullopt}, {"abc", std::nullopt},
               {"", std::nullopt},   {"31999", 31999},      {"1", 1},                {"2.5", 2},
               {"3.5", 4},           {" 7 ", 7},            {"1e3", 1000},           {"0.4", 0}};
  for (const auto& c : cases) EXPECT_EQ(GotoEntryPage(QString::fromLatin1(c.entry)), c.page) << c.entry;
}

}  // namespace
}  // namespace designer
