// The start position on a label sheet: the margins each chosen cell writes, the highlight, the
// Zip start cell OK commits, the clamps and the pictures' cells.
#include "test_support.h"

namespace printsetup_testing {
namespace {

using printsetup::Grid;

struct Margins {
  const char* top;
  const char* bottom;
  const char* left;
  const char* right;
};

void ExpectMargins(const printsetup::PageSetupControls& c, const Margins& m) {
  EXPECT_EQ(c.boxes[printsetup::kTopMarg], m.top);
  EXPECT_EQ(c.boxes[printsetup::kBottMarg], m.bottom);
  EXPECT_EQ(c.boxes[printsetup::kLeftMarg], m.left);
  EXPECT_EQ(c.boxes[printsetup::kRightMarg], m.right);
}

TEST_F(PageSetupTest, AChosenCellBecomesTheMarginsThatFrameIt) {
  struct Case {
    SHORT labelMedium;
    SHORT printToIndex;
    SHORT orientation;
    Grid grid;
    int index;
    Margins margins;
  };
  const Case cases[] = {
      // Floppy sheet, 3 x 5: the printer's X offset is 0.25; column 2's right edge is the
      // printer's right band.
      {1, 0, 1, printsetup::kFloppyGrid, 7, {"4.5", "4.5625", "3.0625", "3"}},
      {1, 0, 1, printsetup::kFloppyGrid, 0, {"0.5", "8.5625", "0.25", "5.75"}},
      {1, 0, 1, printsetup::kFloppyGrid, 2, {"0.5", "8.5625", "5.75", "0.25"}},
      {1, 0, 1, printsetup::kFloppyGrid, 14, {"8.5", "0.5625", "5.75", "0.25"}},
      // Zip disk labels on the letter page.
      {2, 2, 1, printsetup::kZipLabelGrid, 3, {"3.991875", "5.070625", "4.895", "1.26125"}},
      // Zip case inserts on landscape letter.
      {2, 1, 2, printsetup::kZipCaseGrid, 3, {"4.375", "0.541", "6.3125", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.grid) + ":" + std::to_string(c.index));
    app_.print.LabelMedium = c.labelMedium;
    app_.print.PrintToIndex = c.printToIndex;
    app_.print.TemplateKind = 5;
    printer_->SetOrientation(c.orientation);
    Open();
    state_.CellClick(c.grid, c.index);
    ExpectMargins(C(), c.margins);
    EXPECT_EQ(page_.StartPosition, c.index);
    EXPECT_EQ(page_.TopMargin, vbrt::CDbl(QString(c.margins.top).toStdU16String()));
    EXPECT_EQ(page_.RightMargin, vbrt::CDbl(QString(c.margins.right).toStdU16String()));
    EXPECT_EQ(app_.print.TemplateKind, 5);  // the geometry leaves the template kind as it was
    const auto& colors = C().cellColors[c.grid];
    for (size_t i = 0; i < colors.size(); ++i)
      EXPECT_EQ(colors[i], int(i) == c.index ? printsetup::kCellRed : printsetup::kCellWhite) << i;
    state_.Unload();
  }
}

TEST_F(PageSetupTest, TheZipSlipCellIsCommittedAsColumnAndRow) {
  app_.print.LabelMedium = 2;
  app_.print.PrintToIndex = 0;
  Open();
  state_.CellClick(printsetup::kZipSlipGrid, 3);
  state_.Ok();
  EXPECT_EQ(app_.print.ZipStartColumn, 1);
  EXPECT_EQ(app_.print.ZipStartRow, 1);
  EXPECT_EQ(reformats_, 1);

  // The cell in force again marks nothing.
  state_.Activate();
  EXPECT_EQ(C().cellSelected[printsetup::kZipSlipGrid], 3);
  state_.CellClick(printsetup::kZipSlipGrid, 3);
  state_.Ok();
  EXPECT_EQ(reformats_, 1);
  EXPECT_EQ(zooms_.size(), 1);
}

TEST_F(PageSetupTest, TheStartPositionIsClampedToTheArrayInUse) {
  struct Case {
    SHORT labelMedium;
    SHORT printToIndex;
    SHORT asked;
    SHORT kept;
    int cells;
  };
  const Case cases[] = {{2, 1, 9, 3, 4},    {2, 0, 6, 5, 6},   {2, 2, 40, 5, 6},
                        {1, 0, 20, 14, 15}, {1, 0, -3, 0, 15}, {2, 1, 2, 2, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    app_.print.LabelMedium = c.labelMedium;
    app_.print.PrintToIndex = c.printToIndex;
    state_.SetStartPosition(c.asked);
    EXPECT_EQ(state_.StartPosition(), c.kept);
    EXPECT_EQ(state_.CellCount(), c.cells);
  }
}

TEST_F(PageSetupTest, SetupForZipLabelShowsTheStockAndComputesItsCell) {
  app_.print.LabelMedium = 1;
  Open();
  const auto before = C().boxes;
  state_.SetupForZipLabel();  // not a Zip medium: nothing
  EXPECT_EQ(C().boxes, before);
  EXPECT_TRUE(C().gridVisible[printsetup::kFloppyGrid]);
  state_.Unload();

  app_.print.LabelMedium = 2;
  app_.print.PrintToIndex = 2;
  state_.Load();
  state_.SetStartPosition(3);
  state_.SetupForZipLabel();
  EXPECT_EQ(C().gridVisible, (std::array<bool, 4>{false, false, false, true}));
  ExpectMargins(C(), {"3.991875", "5.070625", "4.895", "1.26125"});
  EXPECT_EQ(C().marginsCaption, reports::kPrintOutlinesCaption);
  EXPECT_FALSE(C().chkMargins.checked);
  EXPECT_FALSE(C().chkSingle.visible);
  EXPECT_EQ(C().cellSelected[printsetup::kZipSlipGrid], 3);

  // A start position left from a 6-cell stock is clamped for the 4 case inserts.
  app_.print.PrintToIndex = 1;
  state_.SetStartPosition(5);
  state_.SetupForZipLabel();
  EXPECT_EQ(page_.StartPosition, 3);
  EXPECT_TRUE(C().chkSingle.visible);
  EXPECT_EQ(C().cellColors[printsetup::kZipCaseGrid][3], printsetup::kCellRed);
}

TEST_F(PageSetupTest, ThePicturesCellsFollowTheStockGeometry) {
  struct Case {
    Grid grid;
    size_t cells;
    size_t index;
    printsetup::GridCell cell;
  };
  const Case cases[] = {
      {printsetup::kFloppyGrid, 15, 4, {0.125 + 2.78125, 0.5 + 2.0, 2.6875, 2.0}},
      {printsetup::kZipSlipGrid, 6, 5, {1.0 + 3.875, 0.25 + 2 * 11.0 / 3, 3.375, 11.0 / 3 - 0.5}},
      {printsetup::kZipCaseGrid, 4, 3, {0.875 + 4.625, 0.416 + 3.834, 4.625, 3.834}},
      {printsetup::kZipLabelGrid, 6, 2, {1.27, 0.671875 + 3.32, 2.34375, 2.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid);
    const auto cells = state_.Cells(c.grid);
    ASSERT_EQ(cells.size(), c.cells);
    EXPECT_DOUBLE_EQ(cells[c.index].left, c.cell.left);
    EXPECT_DOUBLE_EQ(cells[c.index].top, c.cell.top);
    EXPECT_DOUBLE_EQ(cells[c.index].width, c.cell.width);
    EXPECT_DOUBLE_EQ(cells[c.index].height, c.cell.height);
  }
}

TEST(LabelKinds, CapacitiesAndBatchTypes) {
  EXPECT_EQ(printsetup::LabelCapacityOf(printsetup::kFloppyLabel), 15);
  EXPECT_EQ(printsetup::LabelCapacityOf(printsetup::kZipSlip), 6);
  EXPECT_EQ(printsetup::LabelCapacityOf(printsetup::kZipDiskLabels), 6);
  EXPECT_EQ(printsetup::LabelCapacityOf(printsetup::kZipCaseInsert), 4);
  EXPECT_EQ(printsetup::BatchKindOf(printsetup::kFloppyLabel)->reportType, 6);
  EXPECT_EQ(printsetup::BatchKindOf(printsetup::kFloppyLabel)->templateFolder, "Floppy Batch");
  EXPECT_EQ(printsetup::BatchKindOf(printsetup::kZipSlip)->reportType, 8);
  EXPECT_EQ(printsetup::BatchKindOf(printsetup::kZipCaseInsert)->reportType, 9);
  EXPECT_EQ(printsetup::BatchKindOf(printsetup::kZipDiskLabels)->reportType, 10);
  EXPECT_EQ(printsetup::BatchKindOf(printsetup::kZipDiskLabels)->templateFolder, "Zip Batch");
  EXPECT_FALSE(printsetup::BatchKindOf("CD"));
}

}  // namespace
}  // namespace printsetup_testing
