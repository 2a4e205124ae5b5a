// Updating disks: finding the catalogued disk, refreshing its record and bringing its tree up
// to date without losing what the medium still has.
#include <linux/capability.h>
#include <sys/syscall.h>

#include "iteminfo.h"
#include "test_support.h"

using namespace scanner_test;

namespace {

// Sets an item's note through a document of its own.
void SetNote(const std::string& catalog, const std::u16string& folder, const std::u16string& name, LONG kind,
             const std::u16string& note) {
  ComPtr<IOStorageInternal> doc;
  ASSERT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  ASSERT_EQ(doc->LoadDoc(Bstr(U(catalog)).Get()), S_OK);
  ASSERT_EQ(doc->SetCurrentFolder(Bstr(folder).Get(), FOLDER_PATH), S_OK);
  ItemRecord r;
  r.name = name;
  r.kind = kind;
  ASSERT_EQ(doc->GetItemInfo(nullptr, &r), S_OK);
  r.note = note;
  ASSERT_EQ(doc->SetItemInfo(nullptr, &r), S_OK);
  doc->CloseDoc(0);
}

// While it lives, permission bits bind this process even when it runs as root: the
// capabilities that override them are taken out of its effective set.
class PermissionsBind {
 public:
  PermissionsBind() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    ok_ = ::syscall(SYS_capget, &header_, saved_) == 0;
    if (!ok_) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ok_ = ::syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~PermissionsBind() {
    if (ok_) ::syscall(SYS_capset, &header_, saved_);
  }
  bool ok() const { return ok_; }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool ok_ = false;
};

class UpdateTest : public ScannerTest {
 protected:
  // A medium with a small tree, catalogued as "Disk" with serial 42.
  void SetUp() override {
    ScannerTest::SetUp();
    drive_ = &Drive('E');
    m_ = Medium('E');
    WriteFile(m_ / "keep.txt", 10);
    WriteFile(m_ / "change.txt", 20);
    WriteFile(m_ / "gone.txt", 30);
    WriteFile(m_ / "Docs" / "letter.doc", 100);
    WriteFile(m_ / "Docs" / "Old" / "x.bin", 1000);
    WriteFile(m_ / "Trash" / "junk" / "j.bin", 7);
    for (const char* p : {"keep.txt", "change.txt", "gone.txt", "Docs/letter.doc", "Docs/Old/x.bin"}) {
      SetMtime(m_ / p, 1000000000);
    }
    ASSERT_EQ(Add('E', "Disk", 42), S_OK);
    SetNote(catalog_, u"Disk", u"keep.txt", ItemFile, u"kept note");
    SetNote(catalog_, u"Disk", u"change.txt", ItemFile, u"changed note");
    SetNote(catalog_, u"Disk", u"Docs", ItemFolder, u"folder note");
  }
  volumes::testing::FixtureDrive* drive_ = nullptr;
  fs::path m_;
};

TEST_F(UpdateTest, AddsRewritesAndRemoves) {
  WriteFile(m_ / "change.txt", 25);
  SetMtime(m_ / "change.txt", 1200000000);
  fs::remove(m_ / "gone.txt");
  fs::remove_all(m_ / "Trash");
  WriteFile(m_ / "new.txt", 5);
  WriteFile(m_ / "Docs" / "New" / "n.bin", 50);
  WriteFile(m_ / "empty-now.txt", 0);
  fs::remove(m_ / "Docs" / "Old" / "x.bin");
  drive_->SetSizes(1 << 30, 1 << 20);

  Variant data;
  ASSERT_EQ(Update('E', 0, &data), S_OK);
  ASSERT_EQ(data.vt, VT_ARRAY | VT_VARIANT);
  Catalog cat = ReadCatalog(catalog_);
  std::map<std::string, std::uint64_t> sizes;
  for (auto& [path, item] : cat) sizes[path] = item.size;
  const std::map<std::string, std::uint64_t> expected = {
      {"Disk", 1 << 30},       {"Disk/keep.txt", 10},   {"Disk/change.txt", 25}, {"Disk/new.txt", 5},
      {"Disk/Docs", 150},      {"Disk/Docs/letter.doc", 100}, {"Disk/Docs/Old", 0},
      {"Disk/Docs/New", 50},   {"Disk/Docs/New/n.bin", 50},
  };
  EXPECT_EQ(sizes, expected);
  EXPECT_EQ(cat["Disk"].freeSpace, 1u << 20);
  EXPECT_EQ(cat["Disk"].serial, 42.0);
  EXPECT_EQ(cat["Disk"].note, std::u16string(u"desc"));
  EXPECT_EQ(cat["Disk/keep.txt"].note, std::u16string(u"kept note"));
  EXPECT_EQ(cat["Disk/change.txt"].note, std::u16string(u"changed note"));
  EXPECT_EQ(FileTimeToU64(cat["Disk/change.txt"].timeA), FileTimeToU64(volumes::FileTimeFromUnix(1200000000, 0)));
  EXPECT_EQ(cat["Disk/Docs"].note, std::u16string(u"folder note"));
  EXPECT_FALSE(cat["Disk/new.txt"].note.has_value());
  EXPECT_GE(FileTimeToU64(cat["Disk"].timeA), FileTimeToU64(cat["Disk"].timeB));
}

TEST_F(UpdateTest, AnUnchangedFileKeepsItsRecordEvenWhenItsSizeChanged) {
  WriteFile(m_ / "keep.txt", 11);
  SetMtime(m_ / "keep.txt", 1000000000);
  ASSERT_EQ(Update('E'), S_OK);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Disk/keep.txt"].size, 10u);
  EXPECT_EQ(cat["Disk/keep.txt"].note, std::u16string(u"kept note"));
}

TEST_F(UpdateTest, ANameChangedOnlyInCaseKeepsItsItem) {
  fs::rename(m_ / "keep.txt", m_ / "KEEP.txt");
  fs::rename(m_ / "Docs", m_ / "DOCS");
  ASSERT_EQ(Update('E'), S_OK);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Disk/keep.txt"].note, std::u16string(u"kept note"));
  EXPECT_EQ(cat["Disk/Docs"].note, std::u16string(u"folder note"));
  EXPECT_EQ(cat["Disk/Docs/letter.doc"].size, 100u);
  EXPECT_EQ(cat.count("Disk/KEEP.txt"), 0u);
  EXPECT_EQ(cat.count("Disk/DOCS"), 0u);

  // A twin that appears beside the catalogued name is an item of its own.
  WriteFile(m_ / "keep.txt", 3);
  ASSERT_EQ(Update('E'), S_OK);
  cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Disk/keep.txt"].note, std::u16string(u"kept note"));
  EXPECT_EQ(cat["Disk/KEEP.txt"].size, 10u);
}

TEST_F(UpdateTest, OnlyTheDiskOfTheMediumChanges) {
  Drive('F');
  WriteFile(Medium('F') / "other.txt", 1);
  ASSERT_EQ(Add('F', "Other", 43), S_OK);
  fs::remove(m_ / "keep.txt");
  ASSERT_EQ(Update('E'), S_OK);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Other/other.txt"].size, 1u);
  EXPECT_EQ(cat.count("Disk/keep.txt"), 0u);
}

TEST_F(UpdateTest, MediaThatAreNotCatalogued) {
  struct Case {
    const char* what;
    const char* label;
    bool ready;
    HRESULT answer;
    LONG data;  // -1: left as it was
  };
  const Case cases[] = {
      {"not ready", "#0000000042", false, 21, 21},
      {"no serial label", "Music", true, STG_E_FILENOTFOUND, STG_E_FILENOTFOUND},
      {"serial no disk carries", "#0000000099", true, STG_E_FILENOTFOUND, -1},
      {"no valid serial", "#99999999999", true, STG_E_INVALIDPARAMETER, -1},
  };
  const Catalog before = ReadCatalog(catalog_);
  for (const Case& c : cases) {
    auto& drive = Drive('F', DRIVE_REMOVABLE, c.label);
    drive.SetReady(c.ready);
    Variant data = Variant::I4(-1);
    EXPECT_EQ(Update('F', 0, &data), c.answer) << c.what;
    EXPECT_EQ(IntOf(data), c.data) << c.what;
    drives_.pop_back();
    fs::remove_all(Medium('F'));
  }
  EXPECT_EQ(ReadCatalog(catalog_).size(), before.size());
}

TEST_F(ScannerTest, DrivesByLetterUpdateByTheirUpperCaseName) {
  Drive('C', DRIVE_FIXED, "System");
  WriteFile(Medium('C') / "a.txt", 1);
  ASSERT_EQ(Add('C', "[ C ] -- Drive", -1, FLAG_DRIVE_BY_LETTER), S_OK);
  WriteFile(Medium('C') / "b.txt", 2);
  Variant data;
  ASSERT_EQ(scanner_->UpdateDisk(Bstr(u"c:\\").Get(), FLAG_DRIVE_BY_LETTER, &data), S_OK);
  EXPECT_EQ(ReadCatalog(catalog_)["[ C ] -- Drive/b.txt"].size, 2u);
  EXPECT_EQ(Label(Medium('C')), "System");

  // A drive the catalog does not hold, and one without its medium.
  Drive('D', DRIVE_FIXED);
  Variant untouched;
  EXPECT_EQ(scanner_->UpdateDisk(Root('D').Get(), FLAG_DRIVE_BY_LETTER, &untouched), STG_E_FILENOTFOUND);
  EXPECT_EQ(untouched.vt, VT_EMPTY);
  drives_.front()->SetReady(false);
  EXPECT_EQ(scanner_->UpdateDisk(Root('C').Get(), FLAG_DRIVE_BY_LETTER, &untouched), 21);
  EXPECT_EQ(IntOf(untouched), 21);
  EXPECT_EQ(ReadCatalog(catalog_).count("[ C ] -- Drive/a.txt"), 1u);
}

TEST_F(UpdateTest, AFolderThatCannotBeReadKeepsWhatIsCatalogued) {
  fs::remove(m_ / "keep.txt");
  fs::permissions(m_ / "Docs", fs::perms::none);
  {
    PermissionsBind bind;
    if (!bind.ok()) GTEST_SKIP() << "the process cannot give up its permission override";
    ASSERT_EQ(Update('E'), S_OK);
  }
  fs::permissions(m_ / "Docs", fs::perms::owner_all);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Disk/Docs"].size, 1100u);
  EXPECT_EQ(cat["Disk/Docs/Old/x.bin"].size, 1000u);
  EXPECT_EQ(cat["Disk/Docs"].note, std::u16string(u"folder note"));
  EXPECT_EQ(cat.count("Disk/keep.txt"), 0u);
}

}  // namespace

namespace {

TEST_F(ScannerTest, NamesKeptThroughTheLongNameMapSurviveAnUpdate) {
  Drive('E');
  const fs::path m = Medium('E');
  const std::vector<std::string> names = {std::string(40, 'n'), "Twin.txt", "TWIN.TXT", "I_T_E_M_", "FLD~~1",
                                          "FLD~~2", std::string(35, 'd') + "/inner.txt"};
  for (const std::string& n : names) WriteFile(m / n, 3);
  ASSERT_EQ(Add('E', "Disk", 1), S_OK);
  const Catalog before = ReadCatalog(catalog_);
  for (const std::string& n : names) ASSERT_EQ(before.count("Disk/" + n), 1u) << n;
  ASSERT_EQ(Update('E'), S_OK);
  ASSERT_EQ(Update('E'), S_OK);
  const Catalog after = ReadCatalog(catalog_);
  EXPECT_EQ(after.size(), before.size());
  for (auto& [path, item] : before) EXPECT_EQ(after.count(path), 1u) << path;
}

}  // namespace
