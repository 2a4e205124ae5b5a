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

TEST_F(UpdateTest, ANameChangedOnlyInCaseTakesTheMediumsName) {
  fs::rename(m_ / "keep.txt", m_ / "KEEP.txt");
  fs::rename(m_ / "Docs", m_ / "DOCS");
  const std::string longName = std::string(40, 'l') + ".txt";
  WriteFile(m_ / longName, 4);
  ASSERT_EQ(Update('E'), S_OK);
  SetNote(catalog_, u"Disk", U(longName), ItemFile, u"long note");
  const std::string longUpper = std::string(40, 'L') + ".TXT";
  fs::rename(m_ / longName, m_ / longUpper);
  ASSERT_EQ(Update('E'), S_OK);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Disk/KEEP.txt"].note, std::u16string(u"kept note"));
  EXPECT_EQ(cat["Disk/KEEP.txt"].size, 10u);
  EXPECT_EQ(cat["Disk/DOCS"].note, std::u16string(u"folder note"));
  EXPECT_EQ(cat["Disk/DOCS/letter.doc"].size, 100u);
  EXPECT_EQ(cat["Disk/" + longUpper].note, std::u16string(u"long note"));
  for (const char* old : {"Disk/keep.txt", "Disk/Docs", "Disk/Docs/letter.doc"}) EXPECT_EQ(cat.count(old), 0u) << old;
  EXPECT_EQ(cat.count("Disk/" + longName), 0u);

  // A new file of the old name is an item of its own, without the note.
  WriteFile(m_ / "keep.txt", 3);
  ASSERT_EQ(Update('E'), S_OK);
  cat = ReadCatalog(catalog_);
  EXPECT_FALSE(cat["Disk/keep.txt"].note.has_value());
  EXPECT_EQ(cat["Disk/keep.txt"].size, 3u);
  EXPECT_EQ(cat["Disk/KEEP.txt"].note, std::u16string(u"kept note"));
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

// Serial 0 is the drive-letter disks' own: a medium never gets it, and an update by label
// never reaches one of them.
TEST_F(ScannerTest, SerialZeroIsNeverAMediumsSerial) {
  Drive('E');
  WriteFile(Medium('E') / "e1.txt", 1);
  ASSERT_EQ(Add('E', "Removable", 0), S_OK);
  Drive('C', DRIVE_FIXED, "System");
  WriteFile(Medium('C') / "c1.txt", 2);
  ASSERT_EQ(Add('C', "[ C ] -- Drive", -1, FLAG_DRIVE_BY_LETTER), S_OK);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Removable"].serial, 1.0);
  EXPECT_EQ(Label(Medium('E')), "#0000000001");
  EXPECT_EQ(cat["[ C ] -- Drive"].serial, 0.0);

  WriteFile(Medium('E') / "e2.txt", 3);
  ASSERT_EQ(Update('E'), S_OK);
  cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Removable/e2.txt"].size, 3u);
  EXPECT_EQ(cat["[ C ] -- Drive/c1.txt"].size, 2u);
  EXPECT_EQ(cat.count("[ C ] -- Drive/e1.txt"), 0u);

  // A medium labelled with serial 0 (by an older program) is a medium without a serial: it
  // updates no disk, and an add gives it a serial of its own.
  Drive('F', DRIVE_REMOVABLE, "#0000000000");
  WriteFile(Medium('F') / "f1.txt", 4);
  EXPECT_EQ(Update('F'), STG_E_FILENOTFOUND);
  EXPECT_EQ(ReadCatalog(catalog_).count("[ C ] -- Drive/f1.txt"), 0u);
  ASSERT_EQ(Add('F', "Other", 0), S_OK);
  cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Other"].serial, 2.0);
  EXPECT_EQ(Label(Medium('F')), "#0000000002");
  EXPECT_EQ(cat["[ C ] -- Drive/c1.txt"].size, 2u);
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

namespace {

// Writes `bytes` over the long-name map of the catalog folder at element path `storages`.
void DamageMap(const std::string& file, const std::vector<std::u16string>& storages, const std::string& bytes) {
  ComPtr<IStorage> cur;
  std::u16string path = U(file);
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                           cur.ReleaseAndGetAddressOf()),
            S_OK);
  std::vector<ComPtr<IStorage>> above;  // the root holds its elements open while it lives
  for (const std::u16string& s : storages) {
    ComPtr<IStorage> next;
    ASSERT_EQ(cur->OpenStorage(s.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                               next.ReleaseAndGetAddressOf()),
              S_OK);
    above.push_back(std::move(cur));
    cur = next;
  }
  ComPtr<IStream> map;
  ASSERT_EQ(cur->OpenStream(u"N_~~LNG", nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, map.ReleaseAndGetAddressOf()),
            S_OK);
  ASSERT_EQ(map->SetSize(ULARGE_INTEGER{}), S_OK);
  ASSERT_EQ(map->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
}

// A folder whose long-name map cannot be read keeps every item it catalogues (under their
// element names, as the search shows them); the rest of the disk is updated and the answer
// is the map's failure.
TEST_F(ScannerTest, AFolderWithADamagedLongNameMapKeepsItsItems) {
  Drive('E');
  const fs::path m = Medium('E');
  const std::string longA(40, 'a'), longB(45, 'b');
  WriteFile(m / "Long" / longA, 3);
  WriteFile(m / "Long" / longB, 4);
  WriteFile(m / "Long" / "short.txt", 5);
  WriteFile(m / "Other" / "o.txt", 6);
  WriteFile(m / "Other" / longA, 7);
  ASSERT_EQ(Add('E', "Disk", 1), S_OK);
  DamageMap(catalog_, {u"Disk", u"Long"}, "\x05\x00garbage");

  fs::remove(m / "Long" / "short.txt");
  WriteFile(m / "Long" / "added.txt", 8);
  fs::remove(m / "Other" / "o.txt");
  WriteFile(m / "Other" / "new.txt", 9);
  EXPECT_EQ(Update('E'), E_FAIL);

  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["Disk/Long"].size, 12u);
  EXPECT_EQ(cat.count("Disk/Long/short.txt"), 1u);
  EXPECT_EQ(cat.count("Disk/Long/added.txt"), 0u);
  EXPECT_EQ(cat.count("Disk/Long/FLD~~1"), 1u);
  EXPECT_EQ(cat.count("Disk/Long/FLD~~2"), 1u);
  EXPECT_EQ(cat.count("Disk/Other/o.txt"), 0u);
  EXPECT_EQ(cat["Disk/Other/new.txt"].size, 9u);
  EXPECT_EQ(cat["Disk/Other/" + longA].size, 7u);

  // The disk's own map damaged: the disk stays as it is catalogued.
  Drive('F');
  WriteFile(Medium('F') / longB / "x.txt", 1);
  ASSERT_EQ(Add('F', "Second", 2), S_OK);
  DamageMap(catalog_, {u"Second"}, "\x01");
  fs::remove_all(Medium('F') / longB);
  EXPECT_EQ(Update('F'), E_FAIL);
  EXPECT_EQ(ReadCatalog(catalog_).count("Second/FLD~~1/x.txt"), 1u);
}

}  // namespace

namespace {

// A catalog written before lookups became exact holds the disk of drive c: under the letter
// as it was typed: the update by letter, and reads by either case, still find it.
TEST_F(ScannerTest, AnOlderCatalogsDriveDiskIsFoundInAnyCase) {
  Drive('C', DRIVE_FIXED, "System");
  WriteFile(Medium('C') / "a.txt", 1);
  WriteFile(Medium('C') / "Docs" / "d.txt", 2);
  {
    // Written through the compound-file layer directly, as an older catalog was.
    constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    constexpr DWORD kStream = STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE;
    ComPtr<IStorage> root, disk;
    ComPtr<IStream> header, record;
    std::u16string path = U(catalog_);
    ASSERT_EQ(StgCreateDocfile(path.c_str(), kCreate, 0, root.ReleaseAndGetAddressOf()), S_OK);
    auto put = [](IStream* s, const std::vector<BYTE>& bytes) {
      ASSERT_EQ(s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
    };
    ASSERT_EQ(root->CreateStream(u"J_R_X_", kStream, 0, 0, header.ReleaseAndGetAddressOf()),
              S_OK);
    put(header.Get(), brevix::EncodeHeader(brevix::CatalogHeader{}));
    ASSERT_EQ(root->CreateStorage(u"[ c ] -- Drive", kCreate, 0, 0, disk.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(disk->CreateStream(u"I_T_E_M_", kStream, 0, 0, record.ReleaseAndGetAddressOf()),
              S_OK);
    ItemRecord rec;
    rec.name = u"[ c ] -- Drive";
    rec.kind = ItemDisk;
    rec.note = std::u16string(u"old note");
    put(record.Get(), brevix::EncodeItemRecord(rec));
  }
  Variant data;
  ASSERT_EQ(scanner_->UpdateDisk(Bstr(u"C:\\").Get(), FLAG_DRIVE_BY_LETTER, &data), S_OK);
  Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat["[ c ] -- Drive"].note, std::u16string(u"old note"));
  EXPECT_EQ(cat["[ c ] -- Drive/a.txt"].size, 1u);
  EXPECT_EQ(cat["[ c ] -- Drive/Docs/d.txt"].size, 2u);
  EXPECT_EQ(cat.count("[ C ] -- Drive"), 0u);

  ComPtr<IOStorageInternal> doc;
  ASSERT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  ASSERT_EQ(doc->LoadDoc(Bstr(U(catalog_)).Get()), S_OK);
  ItemRecord disk;
  disk.name = u"[ C ] -- Drive";
  disk.kind = ItemDisk;
  ASSERT_EQ(doc->GetItemInfo(Bstr(u"").Get(), &disk), S_OK);
  EXPECT_EQ(disk.name, u"[ c ] -- Drive");  // the name the catalog holds
  EXPECT_EQ(doc->SetCurrentFolder(Bstr(u"[ C ] -- Drive/DOCS").Get(), FOLDER_PATH), S_OK);
  doc->CloseDoc(0);
}

}  // namespace
