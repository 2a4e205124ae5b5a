// Adding disks: serial numbers, labels, the disk record and the scanned tree.
#include "iteminfo.h"
#include "test_support.h"

using namespace scanner_test;

namespace {

std::uint64_t CySize(const VARIANT& info, LONG index) {
  Variant v;
  EXPECT_EQ(SafeArrayGetElement(info.parray, &index, &v), S_OK);
  return static_cast<std::uint64_t>(v.cyVal.int64);
}

Variant Element(const VARIANT& info, LONG index) {
  Variant v;
  EXPECT_EQ(SafeArrayGetElement(info.parray, &index, &v), S_OK);
  return v;
}

TEST_F(ScannerTest, EarlyOutcomesOfAnAdd) {
  // Disk "First" carries serial 5.
  Drive('E');
  ASSERT_EQ(Add('E', "First", 5), S_OK);

  struct Case {
    const char* what;
    const char* label;  // on the medium in F:
    bool ready;
    double base;
    HRESULT answer;
  };
  const Case cases[] = {
      {"not ready", "-", false, 9, 21},
      {"label serial catalogued", "#0000000005", true, 9, STG_E_FILEALREADYEXISTS},
      {"wanted serial taken", "-", true, 5, STG_E_MEDIUMFULL},
      {"uncatalogued label, wanted serial taken", "#0000000077", true, 5, STG_E_MEDIUMFULL},
  };
  for (const Case& c : cases) {
    auto& drive = Drive('F', DRIVE_REMOVABLE, c.label);
    WriteFile(Medium('F') / "x.bin", 3);
    drive.SetReady(c.ready);
    Variant data;
    EXPECT_EQ(Add('F', "Second", c.base, 0, &data), c.answer) << c.what;
    EXPECT_EQ(IntOf(data), c.answer) << c.what;
    EXPECT_EQ(Label(Medium('F')), c.label == std::string("-") ? "" : c.label) << c.what;
    drives_.pop_back();
    fs::remove_all(Medium('F'));
  }
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat.count("Second"), 0u);
  EXPECT_EQ(HeaderBase(catalog_), 5.0);
}

TEST_F(ScannerTest, NotReadyDoesNotTouchTheCatalog) {
  Drive('E').SetReady(false);
  Variant data;
  EXPECT_EQ(Add('E', "Disk", 3, 0, &data), 21);
  EXPECT_FALSE(fs::exists(catalog_));
}

TEST_F(ScannerTest, SerialsOfNewDisks) {
  struct Case {
    const char* what;
    const char* label;
    double base;
    double serial;  // the disk's serial, its label and the catalog's new base
  };
  // The catalog's base starts at 0 and follows every add in turn.
  const Case cases[] = {
      {"no label, no wanted serial: the catalog's next", "-", -1, 1},
      {"no label, wanted 17", "-", 17, 17},
      {"no label, wanted serial rounded", "Music", 20.4, 20},
      {"uncatalogued label takes the wanted serial", "#0000000300", 30, 30},
      {"uncatalogued label, no wanted serial: the next, never #-000000001", "#0000000301", -1, 31},
      {"label serial out of range", "#99999999999", 40, 40},
      {"wanted serial out of range: the next", "-", 1e12, 41},
  };
  int n = 0;
  for (const Case& c : cases) {
    auto& drive = Drive('E', DRIVE_REMOVABLE, c.label);
    (void)drive;
    WriteFile(Medium('E') / "f.txt", 1);
    std::string name = "Disk " + std::to_string(n++);
    ASSERT_EQ(Add('E', name, c.base), S_OK) << c.what;
    Catalog cat = ReadCatalog(catalog_);
    EXPECT_EQ(cat[name].serial, c.serial) << c.what;
    char expected[32];
    std::snprintf(expected, sizeof expected, "#%010.0f", c.serial);
    EXPECT_EQ(Label(Medium('E')), expected) << c.what;
    EXPECT_EQ(HeaderBase(catalog_), c.serial) << c.what;
    drives_.pop_back();
    fs::remove_all(Medium('E'));
  }
  // A second medium wanting 17 meets the first.
  Drive('E');
  EXPECT_EQ(Add('E', "Again", 17), STG_E_MEDIUMFULL);
}

TEST_F(ScannerTest, TheNextSerialMustBeFreeToo) {
  Drive('E');
  ASSERT_EQ(Add('E', "Eighteen", 18), S_OK);
  drives_.clear();
  fs::remove_all(Medium('E'));
  Drive('E');
  ASSERT_EQ(Add('E', "Seventeen", 17), S_OK);  // the base is now 17
  drives_.clear();
  fs::remove_all(Medium('E'));
  Drive('E');
  EXPECT_EQ(Add('E', "Next", -1), STG_E_MEDIUMFULL);  // 18 is taken
  EXPECT_EQ(Label(Medium('E')), "");
}

TEST_F(ScannerTest, DriveByLetterKeepsItsLabelAndSerialZero) {
  Drive('C', DRIVE_FIXED, "System");
  WriteFile(Medium('C') / "boot.cfg", 10);
  Variant data;
  ASSERT_EQ(Add('C', "[ C ] -- Drive", 12, FLAG_DRIVE_BY_LETTER, &data), S_OK);
  EXPECT_EQ(Label(Medium('C')), "System");
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["[ C ] -- Drive"].serial, 0.0);
  EXPECT_EQ(cat["[ C ] -- Drive/boot.cfg"].size, 10u);
  EXPECT_EQ(HeaderBase(catalog_), 0.0);
}

TEST_F(ScannerTest, DiskRecordAndItemInformation) {
  auto& drive = Drive('E');
  const std::uint64_t total = 3ull << 40, freeBytes = 5ull << 39;  // beyond 32 bits of KB
  drive.SetSizes(total, freeBytes);
  WriteFile(Medium('E') / "a.bin", 100);
  Variant data;
  ASSERT_EQ(Add('E', "Big", 7, 0, &data, nullptr, u"My note"), S_OK);
  ASSERT_EQ(data.vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(CySize(data, ITEMINFO_SIZE), total);
  EXPECT_EQ(CySize(data, ITEMINFO_FREE), freeBytes);
  EXPECT_EQ(Element(data, ITEMINFO_SERIAL).dblVal, 7.0);
  EXPECT_EQ(xcom::BstrView(Element(data, ITEMINFO_NAME).bstrVal), u"Big");
  EXPECT_EQ(xcom::BstrView(Element(data, ITEMINFO_TYPE).bstrVal), u"Zip Disk");
  EXPECT_EQ(xcom::BstrView(Element(data, ITEMINFO_NOTE).bstrVal), u"My note");
  EXPECT_EQ(Element(data, ITEMINFO_TIME_A).date, Element(data, ITEMINFO_TIME_B).date);

  Catalog cat = ReadCatalog(catalog_);
  const Item& disk = cat["Big"];
  EXPECT_EQ(disk.kind, ItemDisk);
  EXPECT_EQ(disk.size, total);
  EXPECT_EQ(disk.freeSpace, freeBytes);
  EXPECT_EQ(disk.typeText, u"Zip Disk");
  EXPECT_EQ(FileTimeToU64(disk.timeA), FileTimeToU64(disk.timeB));
  EXPECT_NE(FileTimeToU64(disk.timeA), 0u);
}

TEST_F(ScannerTest, TheTreeWithTotalsNotesAndTimes) {
  Drive('E');
  const fs::path m = Medium('E');
  WriteFile(m / "top.txt", 10);
  WriteFile(m / "empty.txt", 0);
  WriteFile(m / "A" / "a1.bin", 100);
  WriteFile(m / "A" / "B" / "b1.bin", 1000);
  WriteFile(m / "A" / "B" / "b2.bin", 1);
  WriteFile(m / "A" / "B" / "C" / "zero", 0);
  fs::create_directories(m / "Empty");
  WriteFile(m / ".hidden", 4);
  SetMtime(m / "A" / "a1.bin", 1000000000);
  SetMtime(m / "A" / "B", 1100000000);
  ASSERT_EQ(Add('E', "Tree", 1, 0, nullptr, u"DOCS      | "), S_OK);

  Catalog cat = ReadCatalog(catalog_);
  std::map<std::string, std::uint64_t> sizes;
  for (auto& [path, item] : cat) {
    if (item.kind != ItemDisk) sizes[path] = item.size;
  }
  const std::map<std::string, std::uint64_t> expected = {
      {"Tree/top.txt", 10},    {"Tree/.hidden", 4},          {"Tree/A", 1101},
      {"Tree/A/a1.bin", 100},  {"Tree/A/B", 1001},           {"Tree/A/B/b1.bin", 1000},
      {"Tree/A/B/b2.bin", 1},  {"Tree/A/B/C", 0},            {"Tree/Empty", 0},
  };
  EXPECT_EQ(sizes, expected);
  for (auto& [path, item] : cat) {
    if (item.kind != ItemDisk) {
      EXPECT_EQ(item.note, std::u16string(u"DOCS      | ")) << path;
    }
  }
  EXPECT_EQ(cat["Tree"].note, std::u16string(u"desc"));
  EXPECT_EQ(FileTimeToU64(cat["Tree/A/a1.bin"].timeA), FileTimeToU64(volumes::FileTimeFromUnix(1000000000, 0)));
  EXPECT_EQ(FileTimeToU64(cat["Tree/A/B"].timeA), FileTimeToU64(volumes::FileTimeFromUnix(1100000000, 0)));
  EXPECT_NE(FileTimeToU64(cat["Tree/A/a1.bin"].timeB), 0u);
}

TEST_F(ScannerTest, NamesLinksAndDepth) {
  Drive('E');
  const fs::path m = Medium('E');
  WriteFile(m / "Readme.txt", 1);
  WriteFile(m / "README.TXT", 2);  // case twins: both are items of their own
  const std::string longName(40, 'n');
  WriteFile(m / longName, 3);
  WriteFile(m / "I_T_E_M_", 4);  // a reserved name on the medium
  fs::create_directories(m / "loop");
  fs::create_directory_symlink("..", m / "loop" / "up");
  fs::path deep = m;
  std::string deepPath = "Names";
  for (int i = 0; i < 60; ++i) {
    deep /= "d" + std::to_string(i);
    deepPath += "/d" + std::to_string(i);
  }
  WriteFile(deep / "bottom.bin", 9);
  ASSERT_EQ(Add('E', "Names", 1), S_OK);

  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Names/Readme.txt"].size, 1u);
  EXPECT_EQ(cat["Names/README.TXT"].size, 2u);
  EXPECT_EQ(cat["Names/" + longName].size, 3u);
  EXPECT_EQ(cat["Names/I_T_E_M_"].size, 4u);
  // The link is an item of its own and is not followed.
  ASSERT_EQ(cat.count("Names/loop/up"), 1u);
  EXPECT_EQ(cat["Names/loop/up"].kind, ItemFile);
  EXPECT_EQ(cat.count("Names/loop/up/loop"), 0u);
  EXPECT_EQ(cat[deepPath + "/bottom.bin"].size, 9u);
  EXPECT_EQ(cat["Names/d0"].size, 9u);
}

TEST_F(ScannerTest, AFailedDiskCreationWritesNeitherLabelNorBase) {
  Drive('C', DRIVE_FIXED);
  ASSERT_EQ(Add('C', "Taken", -1, FLAG_DRIVE_BY_LETTER), S_OK);
  Drive('E', DRIVE_REMOVABLE, "Music");
  WriteFile(Medium('E') / "song.mp3", 5);
  Variant data;
  EXPECT_EQ(Add('E', "Taken", 3, 0, &data), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(data.vt, VT_EMPTY);
  EXPECT_EQ(Label(Medium('E')), "Music");
  EXPECT_EQ(HeaderBase(catalog_), 0.0);
  EXPECT_EQ(Add('E', "", 3), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(Label(Medium('E')), "Music");
}

TEST_F(ScannerTest, ADriveThatCannotBeReadIsNotCatalogued) {
  Variant data;
  // No drive Q at all; a drive by letter without its medium.
  EXPECT_EQ(Add('Q', "Nowhere", 3, 0, &data), static_cast<HRESULT>(0x8007000Fu));
  Drive('Z', DRIVE_REMOTE).SetReady(false);
  EXPECT_EQ(Add('Z', "[ Z ] -- Drive", -1, FLAG_DRIVE_BY_LETTER, &data), 21);
  EXPECT_EQ(IntOf(data), 21);
  EXPECT_TRUE(ReadCatalog(catalog_).empty());
}

TEST_F(ScannerTest, ACatalogThatCannotBeOpenedIsReported) {
  Drive('E');
  ComPtr<IOStorageInternal> other;
  ASSERT_EQ(brevix::NewCatalogDocument(&other), S_OK);
  ASSERT_EQ(other->LoadDoc(Bstr(U(catalog_)).Get()), S_OK);
  Variant data;
  EXPECT_TRUE(FAILED(Add('E', "Locked", 3, 0, &data)));
  EXPECT_EQ(data.vt, VT_EMPTY);
  EXPECT_EQ(Label(Medium('E')), "");
  other->CloseDoc(0);
  EXPECT_EQ(scanner_->put_DocFileName(nullptr), S_OK);
  EXPECT_EQ(Add('E', "Unnamed", 3), STG_E_INVALIDPARAMETER);
}

}  // namespace
