// The browser control's window-free rules: images, splitter, columns, cells, sorting, edits,
// notes, drives and key codes.
#include "browserrules.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "namefold.h"
#include "numberpicture.h"
#include "xcom/automation.h"

namespace brevix {

int DiskImage(std::u16string_view t) {
  if (t.empty()) return IMAGE_NONE;
  if (t == u"Floppy Disk") return IMAGE_FLOPPY;
  if (t == u"Zip Disk") return IMAGE_ZIP;
  if (t == u"CD-RW Disk") return IMAGE_CD;
  if (t == u"Network Connection") return IMAGE_NETWORK;
  return IMAGE_HARD_DRIVE;
}

int TreeWidthFor(int cx, int clientWidth, int& saved) {
  const int upper = cx - kSplitterMin;
  const int lower = std::min({kSplitterMin, cx - kSplitterMin, clientWidth});
  if (saved > 0) {
    saved = std::clamp(saved, std::min(lower, upper), upper);
    return saved;
  }
  if (cx > kDefaultAbove) {
    saved = kDefaultTreeWidth;
    return saved;
  }
  return lower;
}

int DragPosition(int x, int clientWidth) {
  int p = x > kSplitterMin ? x - 2 : kSplitterMin - 1;
  return std::min(p, clientWidth - 50);
}

const std::vector<ColumnSpec>& ColumnsOf(int viewMode) {
  static const std::vector<ColumnSpec> folder = {
      {u"Name", 160, false}, {u"Size", 70, true}, {u"Type", 80, false}, {u"Modified", 80, false},
      {u"Category/Note", 0, false}};
  static const std::vector<ColumnSpec> disk = {
      {u"Name", 160, false},    {u"Serial #", 80, true},  {u"Type", 90, false},
      {u"Modified", 80, false}, {u"Free Space", 70, true}, {u"Category/Note", 0, false}};
  return viewMode == VIEW_DISK ? disk : folder;
}

int LastColumnWidth(int viewMode, int listWidth, int scrollBarWidth) {
  const int taken = viewMode == VIEW_DISK ? 480 : 390;
  const int w = listWidth > 120 ? listWidth - taken - scrollBarWidth : 0;
  return std::max(120, w);
}

int ListImage(const ListEntry& e) {
  switch (e.record.kind) {
    case ItemFolder:
      return IMAGE_FOLDER;
    case ItemDisk:
      return DiskImage(e.record.typeText);
    default:
      return IMAGE_FILE;
  }
}

std::optional<std::u16string> StoredDateText(const FILETIME& ft) {
  const std::uint64_t v = FileTimeToU64(ft);
  if (v > 0x7FFFFFFFFFFFFFFFull) return std::nullopt;
  // Days since 1601-01-01, then the civil date of that day.
  using namespace std::chrono;
  const std::int64_t days1601 = static_cast<std::int64_t>(v / 10'000'000ull / 86400ull);
  constexpr std::int64_t kDays1601To1970 = 134774;
  const sys_days day{days(days1601 - kDays1601To1970)};
  const year_month_day ymd{day};
  if (!ymd.ok()) return std::nullopt;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u/%02u/%d", static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), static_cast<int>(ymd.year()));
  return xcom::Utf8ToUtf16(buf);
}

namespace {

std::u16string Kilobytes(std::uint64_t bytes) {
  const double kb = static_cast<double>((bytes + 1023) / 1024);
  return xcom::Utf8ToUtf16(FormatNumberPicture(kb, "9,999K", 0));
}

const std::u16string& NoteOf(const ItemRecord& r) {
  static const std::u16string empty;
  return r.note ? *r.note : empty;
}

template <class T>
int Order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int Ordinal(std::u16string_view a, std::u16string_view b) { return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1); }

}  // namespace

std::u16string CellText(const ListEntry& e, int viewMode, int column) {
  const ItemRecord& r = e.record;
  if (column == 0) return r.name;
  if (!e.readable) return {};
  auto date = [&] { return StoredDateText(r.timeA).value_or(std::u16string()); };
  if (viewMode == VIEW_DISK) {
    switch (column) {
      case 1: {
        if (r.serial <= 0) return u"(none)";
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", r.serial);
        return xcom::Utf8ToUtf16(buf);
      }
      case 2:
        return r.typeText;
      case 3:
        return date();
      case 4:
        return Kilobytes(r.FreeSpace());
      case 5:
        return NoteOf(r);
      default:
        return {};
    }
  }
  switch (column) {
    case 1:
      return r.kind == ItemFolder ? std::u16string() : Kilobytes(r.Size());
    case 2:
      return r.typeText;
    case 3:
      return date();
    case 4:
      return NoteOf(r);
    default:
      return {};
  }
}

int CompareEntries(const ListEntry& ea, const ListEntry& eb, int key) {
  const ItemRecord& a = ea.record;
  const ItemRecord& b = eb.record;
  const int d = key >= 100 ? 1 : -1;
  const int c = key >= 100 ? key - 100 : key;
  if (c == 0 || c == 1 || c == 2 || c == 4) {
    if (a.kind == ItemFolder && b.kind == ItemFile) return -d;
    if (a.kind == ItemFile && b.kind == ItemFolder) return d;
  }
  int r = 0;
  if (a.kind == ItemDisk) {
    switch (c) {
      case 0: r = CompareIgnoreCase(a.name, b.name); break;
      case 1: r = Order(a.serial, b.serial); break;
      case 2: r = Ordinal(a.typeText, b.typeText); break;
      case 3: r = Order(FileTimeToU64(a.timeA), FileTimeToU64(b.timeA)); break;
      case 4: r = Order(a.FreeSpace(), b.FreeSpace()); break;
      case 5: r = Ordinal(NoteOf(a), NoteOf(b)); break;
      default: r = 0;
    }
  } else {
    switch (c) {
      case 0: r = CompareIgnoreCase(a.name, b.name); break;
      case 1: r = Order(a.Size(), b.Size()); break;
      case 2: r = Ordinal(a.typeText, b.typeText); break;
      case 3: r = Order(FileTimeToU64(a.timeA), FileTimeToU64(b.timeA)); break;
      case 4: r = Ordinal(NoteOf(a), NoteOf(b)); break;
      default: r = 0;
    }
  }
  r = r < 0 ? -1 : (r > 0 ? 1 : 0);
  return d * r;
}

std::u16string RowPath(const std::u16string& folder, const std::u16string& name) {
  return folder.empty() ? name : folder + u'/' + name;
}

bool IsAtOrBelow(std::u16string_view path, std::u16string_view top) {
  return path.starts_with(top) && (path.size() == top.size() || path[top.size()] == u'/');
}

std::u16string SubtreeFolders::Place(std::u16string_view folderText, const ItemRecord& hit) {
  while (!chain_.empty() && chain_.back().text != folderText) chain_.pop_back();
  std::u16string folder;
  if (!chain_.empty()) {
    folder = chain_.back().path;
  } else if (folderText.empty()) {
    folder = start_;
  } else {
    // A folder the walk did not deliver: its text read as a path.
    std::u16string rest(folderText);
    std::replace(rest.begin(), rest.end(), u'\\', u'/');
    folder = RowPath(start_, rest);
  }
  if (hit.kind != ItemFile) {
    std::u16string text = folderText.empty() ? hit.name : std::u16string(folderText) + u'\\' + hit.name;
    chain_.push_back({std::move(text), RowPath(folder, hit.name)});
  }
  return folder;
}

std::optional<std::u16string> EditedName(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  const std::size_t counted = text.size();
  std::size_t start = text.find_first_not_of(u' ');
  if (start == std::u16string_view::npos) return std::nullopt;
  std::u16string_view rest = text.substr(start);
  if (counted > 32 && rest.size() > 31) rest = rest.substr(0, 31);
  return std::u16string(rest);
}

std::u16string RecursiveNote(const std::u16string& old, const std::u16string& applied) {
  if (old.empty()) return applied;
  const std::size_t n = old.size();
  if (old[n - 1] == u'|' || (n >= 2 && old[n - 2] == u'|')) return applied;
  const std::size_t bar = old.rfind(u'|');
  if (bar != std::u16string::npos) return applied + old.substr(bar + 1);
  return old;
}

PossibleDrives ChoosePossibleDrives(const std::vector<DriveSlot>& drives) {
  constexpr UINT kRemovable = 2, kCdRom = 5;
  PossibleDrives out;
  for (const DriveSlot& d : drives) {
    std::string root = std::string(1, d.letter) + ":\\";
    if (d.type == kCdRom) out.cd = root;
    else if (d.type == kRemovable) (d.letter == 'A' || d.letter == 'B' ? out.floppy : out.zip) = root;
  }
  return out;
}

int VirtualKeyOf(int k) {
  // Qt::Key values: letters and digits are their upper-case ASCII codes, as Windows' keys are.
  if ((k >= '0' && k <= '9') || (k >= 'A' && k <= 'Z')) return k;
  if (k == ' ') return 32;
  if (k >= 0x01000030 && k <= 0x01000047) return 112 + (k - 0x01000030);  // F1..F24
  switch (k) {
    case 0x01000000: return 27;   // Escape
    case 0x01000001: return 9;    // Tab
    case 0x01000003: return 8;    // Backspace
    case 0x01000004: return 13;   // Return
    case 0x01000005: return 13;   // Enter
    case 0x01000006: return 45;   // Insert
    case 0x01000007: return 46;   // Delete
    case 0x01000008: return 19;   // Pause
    case 0x01000009: return 44;   // Print
    case 0x01000010: return 36;   // Home
    case 0x01000011: return 35;   // End
    case 0x01000012: return 37;   // Left
    case 0x01000013: return 38;   // Up
    case 0x01000014: return 39;   // Right
    case 0x01000015: return 40;   // Down
    case 0x01000016: return 33;   // PageUp
    case 0x01000017: return 34;   // PageDown
    case 0x01000020: return 16;   // Shift
    case 0x01000021: return 17;   // Control
    case 0x01000023: return 18;   // Alt
    case 0x01000024: return 20;   // CapsLock
    case 0x01000025: return 144;  // NumLock
    case 0x01000026: return 145;  // ScrollLock
    case 0x01000055: return 93;   // Menu
    default: return 0;
  }
}

}  // namespace brevix
