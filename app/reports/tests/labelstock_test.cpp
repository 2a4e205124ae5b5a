// The label stock table and its order of selection, report titles, and the point and
// rectangle tests.
#include <gtest/gtest.h>

#include "reports.h"

namespace reports {
namespace {

struct StockCase {
  const char* name;
  SHORT reportType, templateKind;
  LabelStock expected;
};

TEST(LabelStock, EveryStockAndItsOrderOfSelection) {
  const LabelStock floppy{0.125, 0.5, 2.78125, 2.0, 2.6875, 2.0, 3, 5, true};
  const LabelStock zip{1.27, 0.671875, 3.625, 3.32, 2.34375, 2.0, 2, 3, true};
  const LabelStock cd8931{1.938, 0.6875, 4.75, 5.0, 4.625, 4.625, 1, 2, true};
  const LabelStock cd5824{2.0, 0.5, 4.5, 5.5, 4.5, 4.5, 1, 2, true};
  const LabelStock strips1{2.375, 2.908, 3.75, 3.33, 3.75, 0.28125, 1, 3, true};
  const LabelStock strips2{2.375, 3.439, 3.75, 3.33, 3.75, 0.28125, 1, 3, true};
  const LabelStock insert{0.875, 0.416, 4.625, 3.834, 4.625, 3.834, 2, 2, true};
  const LabelStock zipSlip{1.0, 0.25, 3.875, 11.0 / 3, 3.375, 11.0 / 3 - 0.5, 2, 3, true};
  const LabelStock none{};
  const StockCase cases[] = {
      {"floppy batch", 6, 0, floppy},
      {"floppy labels whatever the kind", 7, 1, floppy},
      {"Zip labels", 0, 2, zip},
      {"CD 8931", 12, 3, cd8931},
      {"CD 5824", 12, 4, cd5824},
      {"first strips", 11, 22, strips1},
      {"second strips", 11, 33, strips2},
      {"case insert by kind", 2, 1, insert},
      {"case insert batch whatever the kind", 9, 3, insert},
      {"ZipSlip over Zip labels", 8, 2, zipSlip},
      {"ZipSlip over a case insert kind", 8, 1, zipSlip},
      {"CD case insert: no geometry", 12, 5, none},
      {"floppy kind outside the sheets", 1, 0, none},
  };
  for (const StockCase& c : cases) {
    SCOPED_TRACE(c.name);
    const LabelStock g = GetLabelStockOffsets(c.reportType, c.templateKind);
    EXPECT_EQ(g.known, c.expected.known);
    EXPECT_DOUBLE_EQ(g.left, c.expected.left);
    EXPECT_DOUBLE_EQ(g.top, c.expected.top);
    EXPECT_DOUBLE_EQ(g.colPitch, c.expected.colPitch);
    EXPECT_DOUBLE_EQ(g.rowPitch, c.expected.rowPitch);
    EXPECT_DOUBLE_EQ(g.cellWidth, c.expected.cellWidth);
    EXPECT_DOUBLE_EQ(g.cellHeight, c.expected.cellHeight);
    EXPECT_EQ(g.columns, c.expected.columns);
    EXPECT_EQ(g.rows, c.expected.rows);
  }
  EXPECT_NE(GetLabelStockOffsets(8, 0).cellHeight, 3.17);
}

TEST(ReportTitle, ByReportTypeThenTemplateKind) {
  const struct {
    SHORT type, kind;
    const char* title;
  } cases[] = {
      {1, 3, ""},
      {2, 0, "Files - With Note"},
      {3, 0, "Files - No Note"},
      {4, 0, "Custom"},
      {5, 0, "Choose Files"},
      {6, 2, "Floppy Disk Label Batch"},
      {7, 2, "User-Defined Floppy Disk Labels (Avery 6490)"},
      {9, 2, "Zip Disk Label Batch"},
      {8, 2, "User-Defined Zip Disk Labels (Avery 8925, 5925)"},
      {0, 0, "User-Defined Floppy Disk Labels"},
      {10, 1, "User-Defined Zip Case Insert Replacement"},
      {11, 3, "User-Defined CD Labels (Avery 8931)"},
      {12, 4, "User-Defined CD Labels (Avery 5824)"},
      {12, 5, "User-Defined CD Case Insert (Xendora)"},
      {13, 6, "User-Defined CD Case Insert (Avery 8931)"},
      {12, 7, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetReportTitle(c.type, c.kind), QString::fromLatin1(c.title)) << c.type << "/" << c.kind;
  }
}

TEST(PointInRect, EdgesAreInside) {
  EXPECT_TRUE(PointInRect(2, 1, 0, 0, 2, 1));
  EXPECT_TRUE(PointInRect(0, 0, 0, 0, 2, 1));
  EXPECT_FALSE(PointInRect(2.01f, 0.5f, 0, 0, 2, 1));
  EXPECT_TRUE(RectInRect(0.5f, 0.5f, 1.5f, 0.5f, 0, 0, 2, 1));
  EXPECT_FALSE(RectInRect(0.5f, 0.5f, 1.6f, 0.5f, 0, 0, 2, 1));
}

}  // namespace
}  // namespace reports
