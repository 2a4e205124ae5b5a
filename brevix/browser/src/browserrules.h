// The browser control's decisions that need no window: image indexes, the splitter's
// geometry, the list's columns, cell texts and sort order, the label-edit text rule, the
// recursive note rule, the drive-list rule and the key codes the events carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "itemrecord.h"
#include "wintypes.h"

namespace brevix {

// The image list, in its order (the index is the position).
enum BrowserImage : int {
  IMAGE_NONE = -1,
  IMAGE_FILE = 0,
  IMAGE_FOLDER = 1,
  IMAGE_FOLDER_OPEN = 2,
  IMAGE_FLOPPY = 3,
  IMAGE_ZIP = 4,
  IMAGE_CD = 5,
  IMAGE_ARROW_DOWN = 6,
  IMAGE_ARROW_UP = 7,
  IMAGE_HARD_DRIVE = 8,
  IMAGE_NETWORK = 9,
  IMAGE_ROOT = 10,
  IMAGE_COUNT = 11,
};

// The image of a disk by its type text, compared exactly; IMAGE_NONE for an empty type text.
int DiskImage(std::u16string_view typeText);

// ---- Splitter
inline constexpr int kSplitterBar = 4;    // the gap between the panes
inline constexpr int kSplitterMin = 51;   // the narrowest tree before any drag
inline constexpr int kDefaultTreeWidth = 200;
inline constexpr int kDefaultAbove = 250;  // a control wider than this starts with the default

// The tree's width for a new client width cx (clientWidth: the control's own client width),
// updating the saved position as the control does.
int TreeWidthFor(int cx, int clientWidth, int& savedPosition);
// The bar position p while dragging to x, for a control of clientWidth.
int DragPosition(int x, int clientWidth);

// ---- List pane
enum ViewMode : int { VIEW_FOLDER = 0, VIEW_DISK = 1 };

struct ColumnSpec {
  const char16_t* title;
  int width;  // 0: the last column, max(120, W)
  bool right;
};
// The columns of a view mode.
const std::vector<ColumnSpec>& ColumnsOf(int viewMode);
// The width of the last column for a list of client width `listWidth`.
int LastColumnWidth(int viewMode, int listWidth, int scrollBarWidth);

// One row of the list: the record and whether it could be read.
struct ListEntry {
  ItemRecord record;
  bool readable = true;
  // The catalog path of the folder holding the item, for a row of a subtree listing; none: the
  // folder the tree selects.
  std::optional<std::u16string> folder;
};

// The catalog path of the item a row names: its folder's path, "/" and its name.
std::u16string RowPath(const std::u16string& folder, const std::u16string& name);
// Whether `path` is `top` or lies below it.
bool IsAtOrBelow(std::u16string_view path, std::u16string_view top);

// The folders of a subtree listing's rows. The walk gives each hit the path text of the folder
// holding it (names joined by "\" from the start, which a name holding "\" makes ambiguous);
// every folder comes before what lies in it, so a hit's folder is the one of that text among
// the folders met on the way down to it.
class SubtreeFolders {
 public:
  explicit SubtreeFolders(std::u16string start) : start_(std::move(start)) {}
  // The catalog path of the folder holding `hit`, whose folder's path text is `folderText`;
  // a disk or folder hit then leads to what follows it.
  std::u16string Place(std::u16string_view folderText, const ItemRecord& hit);

 private:
  struct Level {
    std::u16string text, path;
  };
  std::u16string start_;
  std::vector<Level> chain_;
};

int ListImage(const ListEntry& e);
// The text of one cell (empty cells for an unreadable record, the name excepted).
std::u16string CellText(const ListEntry& e, int viewMode, int column);
// "%02d/%02d/%d" of a stored time, without conversion to local time; nothing when it has no
// calendar form.
std::optional<std::u16string> StoredDateText(const FILETIME& ft);

// Sort keys: column + 100 ascending, column + 0 descending.
inline int SortKey(int column, bool ascending) { return column + (ascending ? 100 : 0); }
// Negative, 0 or positive as a sorts before b under the key.
int CompareEntries(const ListEntry& a, const ListEntry& b, int sortKey);

// ---- Label edits
// The name an edit gives: nothing when it is to be rejected (no text, only blanks); leading
// blanks skipped; a text of more than 32 characters cut to 31.
std::optional<std::u16string> EditedName(std::u16string_view text);

// ---- Notes
// The note the recursive walk gives an item whose note is `old`.
std::u16string RecursiveNote(const std::u16string& old, const std::u16string& applied);

// ---- Drives
struct DriveSlot {
  char letter;
  UINT type;
};
struct PossibleDrives {
  std::optional<std::string> floppy, zip, cd;
};
// The last removable A/B drive, the last other removable drive and the last CD drive.
PossibleDrives ChoosePossibleDrives(const std::vector<DriveSlot>& drives);

// ---- Keys
// The Windows virtual key of a Qt key (0 when it has none).
int VirtualKeyOf(int qtKey);
inline constexpr int VK_DELETE_KEY = 46;

}  // namespace brevix
