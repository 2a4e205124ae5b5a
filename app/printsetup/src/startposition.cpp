// The start position on a label sheet: the four pictures' cells, their highlight, the margins
// a chosen cell gives, and the preparation for the chosen Zip stock.
#include "pagesetupstate.h"

#include "reports.h"

namespace printsetup {

namespace {

// The stock each picture shows.
reports::LabelStock StockOf(Grid grid) {
  switch (grid) {
    case kFloppyGrid: return reports::GetLabelStockOffsets(6, 0);
    case kZipSlipGrid: return reports::GetLabelStockOffsets(8, 0);
    case kZipCaseGrid: return reports::GetLabelStockOffsets(0, 1);
    default: return reports::GetLabelStockOffsets(0, 2);
  }
}

int CountOf(Grid grid) {
  const reports::LabelStock g = StockOf(grid);
  return g.columns * g.rows;
}

}  // namespace

std::vector<GridCell> PageSetupState::Cells(Grid grid) const {
  const reports::LabelStock g = StockOf(grid);
  std::vector<GridCell> cells;
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.columns; ++c)
      cells.push_back({g.left + c * g.colPitch, g.top + r * g.rowPitch, g.cellWidth, g.cellHeight});
  return cells;
}

Grid PageSetupState::GridInUse() const {
  const app::PrintJob& job = app_.print;
  if (job.LabelMedium != 2) return kFloppyGrid;
  if (job.PrintToIndex == 1) return kZipCaseGrid;
  if (job.PrintToIndex == 2) return kZipLabelGrid;
  return kZipSlipGrid;
}

int PageSetupState::CellCount() const { return CountOf(GridInUse()); }

void PageSetupState::RefreshCells(Grid grid) {
  std::vector<LONG>& colors = c_.cellColors[grid];
  colors.assign(CountOf(grid), kCellWhite);
  const int chosen = grid == GridInUse() ? page_.StartPosition : c_.cellSelected[grid];
  if (chosen >= 0 && chosen < static_cast<int>(colors.size())) colors[chosen] = kCellRed;
}

void PageSetupState::SetStartPosition(SHORT value) {
  const int count = CellCount();
  page_.StartPosition = static_cast<SHORT>(std::clamp<int>(value, 0, count - 1));
  if (!loaded_) return;
  c_.cellSelected[GridInUse()] = page_.StartPosition;
  RefreshCells(GridInUse());
}

void PageSetupState::CellClick(Grid grid, int index) {
  if (index < 0 || index >= CountOf(grid)) return;
  page_.StartPosition = static_cast<SHORT>(index);
  c_.cellSelected[grid] = index;
  std::vector<LONG>& colors = c_.cellColors[grid];
  colors.assign(CountOf(grid), kCellWhite);
  colors[index] = kCellRed;
  const app::PrintJob& job = app_.print;
  if (grid == kFloppyGrid) {
    const int c = index % 3, r = (index - c) / 3;
    const double top = 2.0 * r + 0.5;
    const double bottom = 11 - (2.0 * r + 0.5 + 2 - 1.0 / 16);
    if (c == 0) {
      SetMarginBoxes(top, bottom, job.PrinterOffsetX, 5.75);
    } else if (c == 1) {
      SetMarginBoxes(top, bottom, job.PrinterOffsetX + 2 + 13.0 / 16, 3);
    } else {
      SetMarginBoxes(top, bottom, 5.75, Band(kRightMarg));
    }
  } else if (grid == kZipCaseGrid || grid == kZipLabelGrid) {
    ZipCellMargins(grid, index);
  }
}

void PageSetupState::ZipCellMargins(Grid grid, int index) {
  const app::PrintJob& job = app_.print;
  const reports::LabelStock g = StockOf(grid);
  const int c = index % g.columns, r = (index - c) / g.columns;
  const double cellLeft = c * g.colPitch + g.left;
  const double cellTop = r * g.rowPitch + g.top;
  if (grid == kZipCaseGrid) {
    SetMarginBoxes(cellTop + 0.125, job.PageHeight - (cellTop + g.cellHeight) + 0.125, cellLeft + 0.6875 + 0.125,
                   job.PageWidth - (cellLeft + g.cellWidth) + 0.125);
  } else {
    // The Zip label sheet is laid out on the letter page.
    SetMarginBoxes(cellTop, 11 - (cellTop + g.cellHeight) + 1.0 / 16, cellLeft, 8.5 - (cellLeft + g.cellWidth));
  }
}

void PageSetupState::SetupForZipLabel() {
  const app::PrintJob& job = app_.print;
  if (job.LabelMedium != 2) return;
  SetStartPosition(page_.StartPosition);
  const int start = page_.StartPosition;
  if (job.PrintToIndex == 1) {
    c_.gridVisible = {false, false, true, false};
    CellClick(kZipCaseGrid, start);
  } else if (job.PrintToIndex == 2) {
    c_.gridVisible = {false, false, false, true};
    c_.cellSelected[kZipSlipGrid] = start;
    RefreshCells(kZipSlipGrid);
    CellClick(kZipLabelGrid, start);
  } else {
    c_.gridVisible = {false, true, false, false};
    c_.cellSelected[kZipSlipGrid] = start;
    RefreshCells(kZipSlipGrid);
  }
  c_.gridVisible[kFloppyGrid] = false;
  c_.marginsCaption = QString::fromLatin1(reports::kPrintOutlinesCaption);
  page_.OutlinesCaption = true;
  c_.chkMargins.checked = false;
  page_.MarginsChecked = false;
  c_.chkSingle.visible = job.PrintToIndex != 2;
}

}  // namespace printsetup
