// The browser control's rules: number pictures, the list's cells and order, disk images, the
// splitter's geometry, label-edit names, the recursive note rule, drives and key codes.
#include <gtest/gtest.h>

#include "browserrules.h"
#include "listmodel.h"
#include "numberpicture.h"
#include "xcom/automation.h"

namespace brevix {
namespace {

TEST(NumberPicture, Table) {
  struct Case {
    double value;
    const char* picture;
    int section;
    const char* expected;
  } cases[] = {
      {12345, "9,999K", 0, "12,345K"},
      {5, "9,999K", 0, "   5K"},
      {0, "9,999K", 0, "   0K"},
      {-5, "9,999K", 0, ""},  // no section for negative values
      {1234567, "9,999K", 0, "1,234,567K"},
      {12345, "9,999K;(9,999K)", 0, "12,345K"},
      {5, "9,999K;(9,999K)", 0, "   5K"},
      {0, "9,999K;(9,999K)", 0, "   0K"},
      {-5, "9,999K;(9,999K)", 0, "(   5K)"},
      {-5, "9,999K;(9,999K)", 1, "  -5K"},  // an explicit section keeps the value's sign
      {-5, "9,999K;(9,999K)", 2, "(  -5K)"},
      {1234.5, "$9,999.99", 0, "$1,234.50"},
      {1234.5, "99.9E", 0, "1.2e+03"},
      {5, "abcdefghijkl9", 0, "abcdefghi5"},  // prefix cut to 9 characters
      {5, ";;9", 0, "5"},                     // empty sections are skipped
      {5, "K", 0, "K"},                       // no digits: no number
      {5, "01234567890123456789012345678901234567890123456789", 0, ""},  // 50 characters
      {5, nullptr, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.picture ? c.picture : "(null)") + " " + std::to_string(c.value));
    EXPECT_EQ(FormatNumberPicture(c.value, c.picture, c.section), c.expected);
  }
  EXPECT_EQ(FormatNumberPicture(1234567.25, "9,999.99", 0, ',', '.'), "1.234.567,25");
}

TEST(DiskImage, ByTypeTextExactly) {
  EXPECT_EQ(DiskImage(u"Floppy Disk"), IMAGE_FLOPPY);
  EXPECT_EQ(DiskImage(u"Zip Disk"), IMAGE_ZIP);
  EXPECT_EQ(DiskImage(u"CD-RW Disk"), IMAGE_CD);
  EXPECT_EQ(DiskImage(u"Network Connection"), IMAGE_NETWORK);
  EXPECT_EQ(DiskImage(u"Local Disk"), IMAGE_HARD_DRIVE);
  EXPECT_EQ(DiskImage(u"floppy disk"), IMAGE_HARD_DRIVE);  // case-sensitive
  EXPECT_EQ(DiskImage(u""), IMAGE_NONE);
}

TEST(Splitter, Geometry) {
  int saved = -1;
  EXPECT_EQ(TreeWidthFor(800, 800, saved), 200);  // the list then starts at 204
  EXPECT_EQ(saved, 200);
  saved = -1;
  EXPECT_EQ(TreeWidthFor(240, 240, saved), 51);
  EXPECT_EQ(saved, -1);
  saved = -1;
  EXPECT_EQ(TreeWidthFor(80, 80, saved), 29);  // min(51, cx - 51)
  saved = 700;
  EXPECT_EQ(TreeWidthFor(600, 600, saved), 549);
  EXPECT_EQ(saved, 549);
  saved = 10;
  EXPECT_EQ(TreeWidthFor(600, 600, saved), 51);
  EXPECT_EQ(DragPosition(0, 600), 50);
  EXPECT_EQ(DragPosition(300, 600), 298);
  EXPECT_EQ(DragPosition(590, 600), 550);
}

ListEntry Entry(LONG kind, std::u16string name, std::uint64_t size = 0, std::u16string note = {}) {
  ListEntry e;
  e.record.kind = kind;
  e.record.name = std::move(name);
  e.record.SetSize(size);
  if (!note.empty()) e.record.note = std::move(note);
  return e;
}

TEST(ListOrder, FoldersStayTogetherAndDirectionsFlip) {
  const ListEntry folder = Entry(ItemFolder, u"zeta", 10);
  const ListEntry file = Entry(ItemFile, u"alpha", 5);
  for (int column : {0, 1, 2, 4}) {
    SCOPED_TRACE(column);
    EXPECT_LT(CompareEntries(folder, file, SortKey(column, true)), 0);
    EXPECT_GT(CompareEntries(folder, file, SortKey(column, false)), 0);
    EXPECT_GT(CompareEntries(file, folder, SortKey(column, true)), 0);
  }
  // Dates mix folders and files.
  EXPECT_EQ(CompareEntries(folder, file, SortKey(3, true)), 0);
  // Names ignore case; whole names count, far past 99 characters.
  const std::u16string stem(120, u'x');
  EXPECT_LT(CompareEntries(Entry(ItemFile, stem + u"a"), Entry(ItemFile, stem + u"B"), 100), 0);
  EXPECT_GT(CompareEntries(Entry(ItemFile, stem + u"a"), Entry(ItemFile, stem + u"B"), 0), 0);
  EXPECT_EQ(CompareEntries(Entry(ItemFile, u"Name"), Entry(ItemFile, u"nAME"), 100), 0);
  // Sizes are unsigned 64-bit.
  EXPECT_LT(CompareEntries(Entry(ItemFile, u"a", 1), Entry(ItemFile, u"b", 0x100000000ull), 101), 0);
  // Disks: serials and free space.
  ListEntry d1 = Entry(ItemDisk, u"a"), d2 = Entry(ItemDisk, u"b");
  d1.record.serial = 2;
  d2.record.serial = 10;
  EXPECT_LT(CompareEntries(d1, d2, 101), 0);
  d1.record.SetFreeSpace(5);
  EXPECT_GT(CompareEntries(d1, d2, 104), 0);
  d1.record.note = u"b";
  d2.record.note = u"a";
  EXPECT_GT(CompareEntries(d1, d2, 105), 0);
}

TEST(ListOrder, TheModelsNameSortAgreesWithTheComparator) {
  std::vector<ListEntry> entries;
  const char16_t* names[] = {u"beta", u"Alpha", u"ärger", u"Zulu", u"alpha", u"Éclair", u"b", u"ALPHA2", u"zeta"};
  for (int i = 0; i < 9; ++i) entries.push_back(Entry(i % 3 == 0 ? ItemFolder : ItemFile, names[i], i));
  for (int key : {100, 0}) {
    SCOPED_TRACE(key);
    ListModel model;
    model.SetColumns(VIEW_FOLDER, 5);
    model.Append(std::vector<ListEntry>(entries));
    model.Sort(key);
    std::vector<ListEntry> expected = entries;
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const ListEntry& a, const ListEntry& b) { return CompareEntries(a, b, key) < 0; });
    for (int r = 0; r < model.Rows(); ++r) EXPECT_EQ(model.EntryOfRow(r).record.name, expected[r].record.name) << r;
  }
}

TEST(ListCells, FolderAndDiskViews) {
  ListEntry file = Entry(ItemFile, u"a.txt", 1, u"FUN       | note");
  file.record.typeText = u"TXT File";
  file.record.timeA = U64ToFileTime(132223104000000000ull);  // 2020-01-01 00:00 UTC
  EXPECT_EQ(CellText(file, VIEW_FOLDER, 0), u"a.txt");
  EXPECT_EQ(CellText(file, VIEW_FOLDER, 1), u"   1K");
  EXPECT_EQ(CellText(file, VIEW_FOLDER, 2), u"TXT File");
  EXPECT_EQ(CellText(file, VIEW_FOLDER, 3), u"01/01/2020");
  EXPECT_EQ(CellText(file, VIEW_FOLDER, 4), u"FUN       | note");
  ListEntry folder = Entry(ItemFolder, u"dir", 5000);
  EXPECT_EQ(CellText(folder, VIEW_FOLDER, 1), u"");
  ListEntry disk = Entry(ItemDisk, u"Disk");
  EXPECT_EQ(CellText(disk, VIEW_DISK, 1), u"(none)");
  disk.record.serial = 1234567890;
  disk.record.SetFreeSpace(2048 * 1024);
  EXPECT_EQ(CellText(disk, VIEW_DISK, 1), u"1234567890");
  EXPECT_EQ(CellText(disk, VIEW_DISK, 4), u"2,048K");
  // An unreadable record shows its name and nothing else.
  ListEntry bad = Entry(ItemFile, u"lost");
  bad.readable = false;
  EXPECT_EQ(CellText(bad, VIEW_FOLDER, 0), u"lost");
  for (int c = 1; c < 5; ++c) EXPECT_EQ(CellText(bad, VIEW_FOLDER, c), u"");
  EXPECT_FALSE(StoredDateText(U64ToFileTime(0x8000000000000000ull)));
}

TEST(Columns, TitlesAndLastWidth) {
  EXPECT_EQ(ColumnsOf(VIEW_FOLDER).size(), 5u);
  EXPECT_EQ(ColumnsOf(VIEW_DISK).size(), 6u);
  EXPECT_EQ(std::u16string(ColumnsOf(VIEW_DISK)[1].title), u"Serial #");
  EXPECT_EQ(std::u16string(ColumnsOf(VIEW_FOLDER)[4].title), u"Category/Note");
  EXPECT_EQ(LastColumnWidth(VIEW_FOLDER, 700, 16), 294);
  EXPECT_EQ(LastColumnWidth(VIEW_DISK, 500, 16), 120);
  EXPECT_EQ(LastColumnWidth(VIEW_DISK, 100, 16), 120);
}

TEST(EditedName, Rules) {
  EXPECT_FALSE(EditedName(u""));
  EXPECT_FALSE(EditedName(u"    "));
  EXPECT_EQ(EditedName(u"  Music"), u"Music");
  EXPECT_EQ(EditedName(std::u16string(40, u'n')), std::u16string(31, u'n'));
  EXPECT_EQ(EditedName(std::u16string(32, u'n')), std::u16string(32, u'n'));
}

TEST(SubtreeFolders, EachHitLiesInTheFolderMetOnTheWayDown) {
  // A walk from "Disk/top", in its order: each folder before what lies in it.
  struct Hit {
    const char16_t* folderText;
    const char16_t* name;
    LONG kind;
    const char16_t* folder;
  } hits[] = {
      {u"", u"a", ItemFolder, u"Disk/top"},
      {u"a", u"b", ItemFolder, u"Disk/top/a"},
      {u"a\\b", u"in.txt", ItemFile, u"Disk/top/a/b"},
      {u"a", u"f.txt", ItemFile, u"Disk/top/a"},
      {u"", u"a\\b", ItemFolder, u"Disk/top"},  // a name holding the walk's separator
      {u"a\\b", u"in.txt", ItemFile, u"Disk/top/a\\b"},
      {u"", u"top.txt", ItemFile, u"Disk/top"},
      {u"gone\\x", u"late.txt", ItemFile, u"Disk/top/gone/x"},  // a folder the walk never gave
  };
  SubtreeFolders folders(u"Disk/top");
  for (const Hit& h : hits) {
    ItemRecord r;
    r.name = h.name;
    r.kind = h.kind;
    EXPECT_EQ(folders.Place(h.folderText, r), h.folder) << xcom::Utf16ToUtf8(h.name);
  }
  EXPECT_EQ(RowPath(u"", u"Disk"), u"Disk");
  EXPECT_EQ(RowPath(u"Disk", u"x"), u"Disk/x");
  EXPECT_TRUE(IsAtOrBelow(u"Disk/a/b", u"Disk/a"));
  EXPECT_TRUE(IsAtOrBelow(u"Disk/a", u"Disk/a"));
  EXPECT_FALSE(IsAtOrBelow(u"Disk/ab", u"Disk/a"));
}

TEST(RecursiveNote, Table) {
  struct Case {
    const char16_t* old;
    const char16_t* expected;
  } cases[] = {
      {u"", u"NEW"},
      {u"OLD       |", u"NEW"},
      {u"OLD       | ", u"NEW"},
      {u"OLD       | text", u"NEW text"},
      {u"a|b| text", u"NEW text"},
      {u"plain", u"plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(RecursiveNote(c.old, u"NEW"), c.expected) << xcom::Utf16ToUtf8(c.old);
}

TEST(PossibleDrives, LastOfEachClassWins) {
  const PossibleDrives d = ChoosePossibleDrives({{'A', 2}, {'C', 3}, {'D', 5}, {'E', 5}, {'G', 2}});
  EXPECT_EQ(d.floppy, "A:\\");
  EXPECT_EQ(d.zip, "G:\\");
  EXPECT_EQ(d.cd, "E:\\");
  const PossibleDrives none = ChoosePossibleDrives({{'C', 3}, {'Z', 4}});
  EXPECT_FALSE(none.floppy || none.zip || none.cd);
}

TEST(VirtualKeys, QtKeysToWindowsCodes) {
  EXPECT_EQ(VirtualKeyOf(0x01000007), VK_DELETE_KEY);
  EXPECT_EQ(VirtualKeyOf('A'), 65);
  EXPECT_EQ(VirtualKeyOf(0x01000004), 13);
  EXPECT_EQ(VirtualKeyOf(0x01000030), 112);
}

}  // namespace
}  // namespace brevix
