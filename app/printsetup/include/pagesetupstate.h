// The page setup dialog's state and decisions, without widgets: the margin and offset boxes
// and their checks, orientation, columns, font, the start position on a label sheet, the batch
// load and print pages with their disk list, and Load, Activate, OK, Cancel and Unload.
//
// The dialog edits the run's page settings (reports::PageSettings) and commits the job's
// values into the print job; frmPageSetup shows what this class holds in Controls() and calls
// its handlers. Every handler leaves Controls() as the window is to show it.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "appstate.h"
#include "pagesettings.h"
#include "vbrt.h"

struct ICompCtl;

namespace surface {
class PrinterObject;
}

namespace printsetup {

// The six boxes, in the order the dialog saves them at Activate.
enum Box : int { kXoff, kYoff, kLeftMarg, kTopMarg, kRightMarg, kBottMarg, kBoxCount };

// The start-position pictures: Option1 (floppy sheet), optZip ("ZipSlip"), optZipCase (Zip
// case insert), optZipLbl (Zip disk labels).
enum Grid : int { kFloppyGrid, kZipSlipGrid, kZipCaseGrid, kZipLabelGrid, kGridCount };

// The label kinds of lstPrintTo, as listed.
inline constexpr char kFloppyLabel[] = "Floppy Disk Label";
inline constexpr char kZipSlip[] = "ZipSlip";
inline constexpr char kZipCaseInsert[] = "Zip Case Insert Replacement";
inline constexpr char kZipDiskLabels[] = "Zip Disk Labels (Avery 8925, 5925)";

// The tab captions the batch mode gives.
inline constexpr char kBatchTabCaption[] = "Batch Load && Print";
inline constexpr char kSelectTabCaption[] = "Select Disks to Print";

inline constexpr LONG kCellRed = 0x0000FF;  // RGB(255, 0, 0): the chosen start cell
inline constexpr LONG kCellWhite = 0xFFFFFF;

// One row of lstDisks: the disk's name, then its five sub-items, the disk's date and the tick.
struct DiskRow {
  QString text;      // the disk name
  QString serial;    // "Disk Number"
  QString location;  // "Location" (LOC)
  QString size;      // "Free" (SIZE)
  QString modified;  // "Modified"
  QString note;      // "Note"
  DATE date = 0;     // when the disk was added or last updated
  bool checked = false;
};

// A check box, option or button as the window shows it.
struct Toggle {
  bool checked = false;
  bool enabled = true;
  bool visible = true;
};

struct Tab {
  QString key;      // "GEN" or "CUST"
  QString caption;  // "&&" shows one "&"
};

// One cell of a start-position picture: inches on the sheet, and its button's background.
struct GridCell {
  double left = 0, top = 0, width = 0, height = 0;
};

// What the window shows.
struct PageSetupControls {
  QString caption = QStringLiteral("Page Setup");
  std::vector<Tab> tabs{{QStringLiteral("GEN"), QStringLiteral("General")},
                        {QStringLiteral("CUST"), QStringLiteral("Custom")}};
  QString selectedTab = QStringLiteral("GEN");
  bool tabsBold = false;
  bool generalVisible = true;  // picGeneral
  bool customVisible = false;  // picCustom
  bool batchVisible = false;   // plBatch

  // The general page.
  std::array<QString, kBoxCount> boxes{QStringLiteral("0.0"), QStringLiteral("0.0"), QStringLiteral("0.5"),
                                       QStringLiteral("0.5"), QStringLiteral("0.5"), QStringLiteral("0.5")};
  bool offsetsEnabled = true;   // edXoff, edYoff
  std::optional<Box> focusBox;  // the box given the focus, its whole text selected, after a refusal
  Toggle chkMargins, chkWBreak, chkMouseTrace, chkDefault, chkSingle;
  QString marginsCaption = QString::fromLatin1(reports::kPreviewMarginsCaption);
  SHORT orientation = 1;  // the option selected: 1 optPortr, 2 optLands, 0 neither
  bool portraitEnabled = true, landscapeEnabled = true;

  // The custom page.
  QString fontName = QStringLiteral("Arial");           // lstFont
  QString fontSize = QStringLiteral("8pt");             // lstSize
  bool fontEnabled = true;                              // plFont
  bool fontAtTop = false;                               // plFont moved to the top of the page
  int columns = 1;                                      // optCol: 1 to 3
  bool columnsEnabled = true, columnsVisible = true;    // plCols
  QString columnsSample;                                // lbCols
  bool locationEnabled = true, locationVisible = true;  // frmLocation
  std::array<bool, kGridCount> gridVisible{true, false, false, false};
  bool zipGreyed = false;                                // picZip with the button-face background, its buttons hidden
  std::array<std::vector<LONG>, kGridCount> cellColors;  // each button's background
  std::array<int, kGridCount> cellSelected{0, 0, 0, 0};  // the option selected in each array

  // The batch page.
  QStringList printTo;  // lstPrintTo
  int printToIndex = -1;
  std::vector<DiskRow> disks;  // lstDisks
  bool diskCheckBoxes = false;
  int disksTop = 400, disksHeight = 2665;  // twips
  bool locationColumnHidden = false, sizeColumnHidden = false;
  int sortColumn = -1;  // the column showing a sort arrow, or -1
  bool sortDescending = false;
  Toggle chkUpdated;
  DATE dtFrom = 0, dtTo = 0;
  bool datesVisible = true, datesEnabled = true;  // dtFrom, Label11, dtTo
  QString countText;
  bool countVisible = false;
  QString applyCaption = QStringLiteral("&Add");
  Toggle btnApply{false, true, false};
  bool okEnabled = true;
};

// The label kind of lstPrintTo's text: the batch report type and TemplateFolder; nothing
// for another text.
struct BatchKind {
  SHORT reportType = 0;
  QString templateFolder;
};
std::optional<BatchKind> BatchKindOf(const QString& printToText);

// Labels per sheet of a label kind on the selection page.
int LabelCapacityOf(const QString& printToText);

class PageSetupState {
 public:
  PageSetupState(app::AppState& state, reports::PageSettings& page, std::function<surface::PrinterObject&()> printer);

  PageSetupControls& Controls() { return c_; }
  const PageSetupControls& Controls() const { return c_; }
  bool Loaded() const { return loaded_; }
  // False once OK or Cancel has hidden (or unloaded) the dialog.
  bool Shown() const { return shown_; }

  // ---- Life cycle
  void SetBatchPrint() { batchStartFlag_ = true; }
  bool BatchStartFlag() const { return batchStartFlag_; }
  void Load();
  // Once each time the dialog is shown.
  void Activate();
  void Ok();
  void Cancel();
  // Does nothing when not loaded.
  void Unload();

  // ---- Boxes, orientation, columns, check boxes
  // The user typed into a box (the text only; it is checked when the box loses the focus).
  void SetBoxText(Box box, const QString& text) { c_.boxes[box] = text; }
  // A box lost the focus: checked and, when it passes, its number written into the settings.
  // False when refused.
  bool BoxLostFocus(Box box);
  bool CheckOffsetValues(Box box);
  void SetOrientation();
  void OrientationClick(SHORT orientation);
  void ColumnsClick(int index);  // optCol(index)
  void MarginsClick(bool checked);
  void WordBreakClick(bool checked) { c_.chkWBreak.checked = checked; }
  void MouseTraceClick(bool checked) { c_.chkMouseTrace.checked = checked; }
  void SingleClick(bool checked) { c_.chkSingle.checked = checked; }
  void DefaultClick(bool checked);
  void FontNameChosen(const QString& name) { c_.fontName = name; }
  void FontSizeChosen(const QString& size) { c_.fontSize = size; }
  void PrepareCustomTab();

  // ---- Start position (startposition.cpp)
  SHORT StartPosition() const { return page_.StartPosition; }
  // Clamped to the array in use.
  void SetStartPosition(SHORT value);
  void CellClick(Grid grid, int index);
  void SetupForZipLabel();
  // The cells of a picture, inches on its sheet.
  std::vector<GridCell> Cells(Grid grid) const;
  // The buttons of the array in use.
  int CellCount() const;

  // ---- Batch and selection pages (batchpages.cpp)
  void SetLoadBatchTab();
  void SetSelectDisksToPrintTab();
  void SetListCacheArray();
  void ShowDisksBetweenDates(SHORT useDates);
  void TabClick(const QString& key);
  void ApplyClick();
  void PrintToClick(int index);
  void DiskItemCheck(int row, bool checked);
  void ColumnClick(int column);
  void UpdatedClick(bool checked);
  void DatesChanged(DATE from, DATE to);
  int TickedDiskCount() const { return ticked_; }
  int LabelCapacity() const { return capacity_; }

  // The main window's browser control for the disk searches; the add-disk dialog, shown
  // modally; what the window hands OK's message boxes as owner.
  std::function<ICompCtl*()> compCtl;
  std::function<void()> showAddDisk;
  // Called when OK or Cancel hides the dialog or Unload closes it, so that the window goes
  // before anything else is shown.
  std::function<void()> onHidden;

 private:
  struct Commit;
  bool BatchPageShown() const;
  void Hide();
  void BoxesFromSettings();
  void WriteBoxNumber(Box box);
  bool CheckMargin(Box box);
  double Band(Box box) const;
  bool MarginsLeaveRoom();
  void SetMarginBoxes(double top, double bottom, double left, double right);
  void OkBatch();
  void OkNormal();
  Commit PlanCommit() const;
  void StoreCommit(const Commit& commit);
  void ShowColumnsSample();
  void RefreshCells(Grid grid);
  Grid GridInUse() const;
  void ZipCellMargins(Grid grid, int index);
  void ListDisksSearched(bool timed, const QString& kind);
  void SortDisks(int column, bool descending);
  void CountTicks();
  QString PrintToText() const;
  void RemoveTab(const QString& key);
  void CaptionTab(const QString& key, const QString& caption);
  QString TabCaption(const QString& key) const;

  app::AppState& app_;
  reports::PageSettings& page_;
  std::function<surface::PrinterObject&()> printer_;
  PageSetupControls c_;
  bool loaded_ = false;
  bool shown_ = false;
  bool batchStartFlag_ = false;
  int pageColumns_ = 1;
  int capacity_ = 15;
  int ticked_ = 0;
  DATE batchStartTime_ = 0;
  std::vector<DiskRow> cache_;                                                          // DiskListCache
  std::array<bool, 8> sortDescending_{true, true, true, true, true, true, true, true};  // SortOrders
  bool printToGuard_ = false;
  int lastPrintTo_ = 0;
  std::array<QString, kBoxCount> savedBoxTexts_;
  reports::PageSettings savedPage_;
};

}  // namespace printsetup
