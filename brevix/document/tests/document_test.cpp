// The catalog document on real catalog files: opening and closing, the current folder,
// records, long names, disks, passwords and backups.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "catalogformat.h"
#include "fileio.h"
#include "longnames.h"
#include "test_support.h"
#include "unicode.h"
#include "xcom/dispatch.h"
#include "xcom/tokens.h"

using namespace testutil;
using brevix::CountedString;

namespace {

const std::u16string kHeader = u"J_R_X_";
const std::u16string kItem = u"I_T_E_M_";
const std::u16string kMap = u"N_~~LNG";

std::vector<BYTE> HeaderBytes(double base, double version, CountedString master, CountedString user) {
  return brevix::EncodeHeader(brevix::CatalogHeader{base, version, std::move(master), std::move(user)});
}

brevix::LongNameMapImage DecodeMap(const std::vector<BYTE>& b) {
  brevix::LongNameMapImage m;
  EXPECT_EQ(brevix::DecodeLongNameMap(b.data(), b.size(), m), S_OK);
  return m;
}

std::u16string Repeat(char16_t c, size_t n) { return std::u16string(n, c); }

std::vector<std::u16string> Sorted(std::vector<std::u16string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File16("cat.dkc");
    doc_ = NewDoc();
    ASSERT_EQ(doc_->LoadDoc(Bstr(path_).Get()), S_OK);
  }
  // Closes the document and opens the file raw.
  RawFile Raw() {
    EXPECT_EQ(doc_->CloseDoc(0), S_OK);
    return RawFile(path_);
  }
  void Reopen() {
    ASSERT_EQ(doc_->CloseDoc(0), S_OK);
    ASSERT_EQ(doc_->LoadDoc(Bstr(path_).Get()), S_OK);
  }

  TempDir dir_;
  std::u16string path_;
  ComPtr<IOStorageInternal> doc_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening and closing

TEST_F(DocumentTest, NewCatalogHasTheDefaultHeaderAndTheRootCurrent) {
  IStorage* cur = nullptr;
  ASSERT_EQ(doc_->get_mCurStorage(&cur), S_OK);
  EXPECT_NE(cur, nullptr);
  double base = -1, version = -1;
  doc_->get_BaseSerialNum(&base);
  doc_->get_FileVersion(&version);
  EXPECT_EQ(base, 0.0);
  EXPECT_EQ(version, 1.1);
  RawFile raw = Raw();
  ASSERT_EQ(raw.status(), S_OK);
  std::vector<BYTE> h = raw.Stream({}, kHeader);
  EXPECT_EQ(h.size(), 24u);
  EXPECT_EQ(h, HeaderBytes(0.0, 1.1, std::nullopt, std::nullopt));
  EXPECT_EQ(raw.List({}), std::vector<std::u16string>{kHeader});
}

TEST_F(DocumentTest, SecondDocumentCannotOpenWhileTheFirstHoldsTheFile) {
  ComPtr<IOStorageInternal> other = NewDoc();
  HRESULT hr = other->LoadDoc(Bstr(path_).Get());
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(hr, STG_E_SHAREVIOLATION);
  EXPECT_TRUE(FAILED(other->SetDocName(Bstr(path_).Get())));
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  EXPECT_EQ(other->LoadDoc(Bstr(path_).Get()), S_OK);
  EXPECT_TRUE(FAILED(doc_->LoadDoc(nullptr)));
  EXPECT_EQ(other->CloseDoc(0), S_OK);
  EXPECT_EQ(doc_->LoadDoc(nullptr), S_OK);
}

TEST_F(DocumentTest, NewCatalogDoesNotInheritThePreviousCatalogsHeader) {
  ASSERT_EQ(doc_->SetPasswords(Bstr(u"master").Get(), Bstr(u"user").Get()), S_OK);
  ASSERT_EQ(doc_->LoadDoc(Bstr(path_).Get()), S_OK);
  ASSERT_EQ(doc_->put_BaseSerialNum(41), S_OK);
  ASSERT_EQ(doc_->CloseDoc(1), S_OK);
  EXPECT_EQ(RawFile(path_).Stream({}, kHeader), HeaderBytes(41.0, 1.1, u"master", u"user"));

  std::u16string second = dir_.File16("second.dkc");
  ASSERT_EQ(doc_->LoadDoc(Bstr(second).Get()), S_OK);
  double base = -1;
  doc_->get_BaseSerialNum(&base);
  EXPECT_EQ(base, 0.0);
  Bstr master, user;
  doc_->GetPasswords(master.ReleaseAndGetAddressOf(), user.ReleaseAndGetAddressOf());
  EXPECT_TRUE(master.IsNull());
  EXPECT_TRUE(user.IsNull());
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  EXPECT_EQ(RawFile(second).Stream({}, kHeader), HeaderBytes(0.0, 1.1, std::nullopt, std::nullopt));
}

// What a program stopped before the header of its new catalog was written left behind: a
// compound file with nothing in it opens as the new, empty catalog.
TEST_F(DocumentTest, ACompoundFileWithoutHeaderOrDiskOpensAsANewCatalog) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  std::u16string bare = dir_.File16("bare.dkc");
  ASSERT_EQ(doc_->SaveDoc(Bstr(bare).Get()), S_OK);
  ASSERT_TRUE(RawFile(bare).List({}).empty());
  ComPtr<IOStorageInternal> doc = NewDoc();
  ASSERT_EQ(doc->LoadDoc(Bstr(bare).Get()), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"", Disk(u"D1", 7)), S_OK);
  ASSERT_EQ(doc->CloseDoc(1), S_OK);
  EXPECT_EQ(RawFile(bare).Stream({}, kHeader), HeaderBytes(0.0, 1.1, std::nullopt, std::nullopt));
  ASSERT_EQ(doc->LoadDoc(Bstr(bare).Get()), S_OK);
  double used = -1;
  EXPECT_EQ(doc->IsNameUsed(Bstr(u"D1").Get(), &used), S_OK);
  EXPECT_EQ(used, 1.0);
}

TEST_F(DocumentTest, FailedHeaderReadLeavesTheFileUnlocked) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  // A compound file without a header that holds a disk, and a file that is not a compound
  // file at all.
  std::u16string bare = dir_.File16("bare.dkc");
  {
    ComPtr<IStorage> root, disk;
    ASSERT_EQ(StgCreateDocfile(bare.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                               root.ReleaseAndGetAddressOf()),
              S_OK);
    ASSERT_EQ(root->CreateStorage(u"Disk", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                  disk.ReleaseAndGetAddressOf()),
              S_OK);
  }
  std::string text = dir_.File("text.dkc");
  std::ofstream(text) << "not a catalog";
  for (const std::u16string& file : {bare, xcom::Utf8ToUtf16(text)}) {
    ComPtr<IOStorageInternal> doc = NewDoc();
    EXPECT_TRUE(FAILED(doc->SetDocName(Bstr(file).Get()))) << Narrow(file);
    EXPECT_TRUE(FAILED(doc->LoadDoc(Bstr(file).Get())));
    if (file == bare) {
      // Nothing is left open: another document can take the file at once.
      ComPtr<IStorage> stg;
      EXPECT_EQ(StgOpenStorage(file.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                               stg.ReleaseAndGetAddressOf()),
                S_OK);
    }
  }
}

TEST_F(DocumentTest, FileThatIsNoCompoundFileIsRefusedAsNoCatalogAndKeptAsItIs) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"text.dkc", "hello, this is not a catalog\n"},
      {"empty.dkc", ""},
      {"short.dkc", std::string("\xD0\xCF\x11", 3)},
  };
  for (const auto& c : cases) {
    const std::string file = dir_.File(c.name);
    std::ofstream(file, std::ios::binary) << c.bytes;
    ComPtr<IOStorageInternal> doc = NewDoc();
    EXPECT_EQ(doc->LoadDoc(Bstr(xcom::Utf8ToUtf16(file)).Get()), STG_E_INVALIDHEADER) << c.name;
    std::ifstream in(file, std::ios::binary);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, c.bytes) << c.name;
  }
}

TEST_F(DocumentTest, LoadDocWithoutANameOpensTheNamedFileWithoutCreatingIt) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  ComPtr<IOStorageInternal> fresh = NewDoc();
  EXPECT_EQ(fresh->SaveDoc(Bstr(dir_.File16("gone.dkc")).Get()), S_OK);
  std::filesystem::remove(dir_.File("gone.dkc"));
  EXPECT_EQ(fresh->LoadDoc(nullptr), STG_E_FILENOTFOUND);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("gone.dkc")));
  EXPECT_EQ(fresh->CloseDoc(1), S_OK);
}

// ---------------------------------------------------------------------------------------------
// The current folder

TEST_F(DocumentTest, PathWalkAndParentMoves) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"Photos")), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);

  // Closed: the walk opens the file for the call and leaves it closed.
  EXPECT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A/Photos").Get(), FOLDER_PATH), S_OK);
  IStorage* cur = reinterpret_cast<IStorage*>(1);
  doc_->get_mCurStorage(&cur);
  EXPECT_EQ(cur, nullptr);
  ComPtr<IOStorageInternal> other = NewDoc();
  EXPECT_EQ(other->SetDocName(Bstr(path_).Get()), S_OK);
  EXPECT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A/Nothing").Get(), FOLDER_PATH), STG_E_FILENOTFOUND);

  // Open: the last component stays current, two storages deep.
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  EXPECT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A/Photos/").Get(), FOLDER_PATH), S_OK);
  auto currentName = [&] {
    IStorage* s = nullptr;
    doc_->get_mCurStorage(&s);
    STATSTG st{};
    if (!s || FAILED(s->Stat(&st, STATFLAG_DEFAULT))) return std::u16string(u"?");
    std::u16string n(st.pwcsName);
    std::free(st.pwcsName);
    return n;
  };
  EXPECT_EQ(currentName(), u"Photos");
  EXPECT_EQ(doc_->SetCurrentFolder(nullptr, FOLDER_PARENT), S_OK);
  EXPECT_EQ(currentName(), u"Disk A");
  EXPECT_EQ(doc_->SetCurrentFolder(nullptr, FOLDER_PARENT), S_OK);
  EXPECT_EQ(currentName(), path_);                                       // the root
  EXPECT_EQ(doc_->SetCurrentFolder(nullptr, FOLDER_PARENT), E_FAIL);     // nothing above the root
  EXPECT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A").Get(), FOLDER_CHILD), S_OK);
  EXPECT_EQ(currentName(), u"Disk A");
  EXPECT_EQ(doc_->SetCurrentFolder(Bstr(u"Missing").Get(), FOLDER_CHILD), STG_E_FILENOTFOUND);
  EXPECT_EQ(currentName(), u"Disk A");
  EXPECT_EQ(doc_->SetCurrentFolder(nullptr, FOLDER_ROOT), S_OK);
  EXPECT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A").Get(), 7), STG_E_INVALIDPARAMETER);
}

TEST_F(DocumentTest, DeleteFolderAndDeleteFile) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"Photos")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/Photos", File(u"a.jpg", 10)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"Music")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"readme.txt", 10)), S_OK);

  ASSERT_EQ(doc_->SetCurrentFolder(nullptr, FOLDER_ROOT), S_OK);
  EXPECT_EQ(doc_->DeleteFolder(Bstr(u"Disk A").Get()), STG_E_ACCESSDENIED);
  // Without a current folder the name is a path: the folder at its end goes.
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  EXPECT_EQ(doc_->DeleteFolder(nullptr), STG_E_INVALIDPARAMETER);
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A").Get(), FOLDER_PATH), S_OK);
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Photos").Get(), FOLDER_CHILD), S_OK);
  EXPECT_EQ(doc_->DeleteFolder(Bstr(u"Photos").Get()), S_OK);
  EXPECT_EQ(doc_->DeleteFile(nullptr, Bstr(u"readme.txt").Get()), S_OK);
  EXPECT_EQ(doc_->DeleteFile(nullptr, Bstr(u"not there").Get()), S_OK);
  EXPECT_EQ(doc_->DeleteFile(nullptr, nullptr), STG_E_INVALIDPARAMETER);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  EXPECT_EQ(doc_->DeleteFolder(Bstr(u"Disk A/Music").Get()), S_OK);

  RawFile raw(path_);
  EXPECT_EQ(raw.List({u"Disk A"}), std::vector<std::u16string>{kItem});
}

TEST_F(DocumentTest, TreesDeeperThanFiftyLevels) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Deep", 1)), S_OK);
  std::u16string path = u"Deep";
  for (int i = 0; i < 60; ++i) {
    ItemRecord f = Folder(u"d" + xcom::Utf8ToUtf16(std::to_string(i)));
    ASSERT_EQ(doc_->AddItem(nullptr, Bstr(f.name).Get(), &f), S_OK) << i;
    path += u"/" + f.name;
  }
  ItemRecord leaf = File(u"leaf.txt", 5);
  ASSERT_EQ(doc_->AddItem(nullptr, Bstr(leaf.name).Get(), &leaf), S_OK);
  Reopen();
  ItemRecord back;
  EXPECT_EQ(Get(doc_.Get(), path, u"leaf.txt", ItemFile, back), S_OK);
  EXPECT_EQ(back.Size(), 5u);
}

// ---------------------------------------------------------------------------------------------
// Records

TEST_F(DocumentTest, RecordStreamsHaveTheirExactLayouts) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 7, u"Zip Disk", 100, 50, u"desc")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"null note")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"empty note", 0, u"")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"f", 3)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"g", 3, u"")), S_OK);
  RawFile raw = Raw();
  EXPECT_EQ(raw.Stream({u"Disk A"}, kItem).size(), 48u + (4 + 2 * 8 + 2) + (4 + 2 * 4 + 2));
  EXPECT_EQ(raw.Stream({u"Disk A", u"null note"}, kItem).size(), 36u);
  EXPECT_EQ(raw.Stream({u"Disk A", u"empty note"}, kItem).size(), 38u);
  EXPECT_EQ(raw.Stream({u"Disk A"}, u"f"), brevix::EncodeItemRecord(File(u"f", 3)));
  EXPECT_EQ(raw.Stream({u"Disk A"}, u"f").size(), 36u);
  EXPECT_EQ(raw.Stream({u"Disk A"}, u"g").size(), 38u);
}

TEST_F(DocumentTest, GetAndSetItemInfo) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 7, u"Zip Disk", 100, 50, u"desc")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"Report.Final.doc", 4096, u"a long note to be cut")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"src")), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);

  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"", u"Disk A", ItemDisk, r), STG_E_INVALIDPARAMETER);  // closed, empty path
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(Get(doc_.Get(), u"", u"Disk A", ItemDisk, r), S_OK);
  EXPECT_EQ(r.serial, 7.0);
  EXPECT_EQ(r.typeText, u"Zip Disk");
  EXPECT_EQ(r.FreeSpace(), 50u);
  EXPECT_EQ(r.note, u"desc");
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"Report.Final.doc", ItemFile, r), S_OK);
  EXPECT_EQ(r.typeText, u"DOC File");
  EXPECT_EQ(r.Size(), 4096u);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"src", ItemFolder, r), S_OK);
  EXPECT_EQ(r.typeText, u"File Folder");
  EXPECT_EQ(Get(doc_.Get(), u"Disk A", u"src", ItemFile, r), STG_E_FILENOTFOUND);
  EXPECT_EQ(Get(doc_.Get(), u"Disk A", u"absent", ItemFile, r), STG_E_FILENOTFOUND);
  ItemRecord unnamed;
  EXPECT_EQ(doc_->GetItemInfo(nullptr, &unnamed), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(doc_->SetItemInfo(nullptr, &unnamed), STG_E_INVALIDPARAMETER);

  // A shorter record cuts the stream: no stale note bytes stay behind.
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"Report.Final.doc", ItemFile, r), S_OK);
  r.note = u"cut";
  ASSERT_EQ(doc_->SetItemInfo(nullptr, &r), S_OK);
  RawFile raw = Raw();
  EXPECT_EQ(raw.Stream({u"Disk A"}, u"Report.Final.doc"),
            brevix::EncodeItemRecord(File(u"Report.Final.doc", 4096, u"cut")));
}

TEST_F(DocumentTest, ImplausibleRecordsFailCleanly) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 7)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"bad", 3)), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  {
    DamagedStream s(path_, u"Disk A", u"bad");
    ASSERT_TRUE(s.ok());
    std::vector<BYTE> rec = brevix::EncodeItemRecord(File(u"bad", 3));
    rec.resize(32);
    rec.insert(rec.end(), {0xf0, 0xff, 0xff, 0x7f});  // a note "of" 2 GB
    ASSERT_EQ(s.Write(rec), S_OK);
  }
  ItemRecord r;
  r.note = u"untouched";
  r.name = u"bad";
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A").Get(), FOLDER_PATH), S_OK);
  EXPECT_EQ(doc_->GetItemInfo(nullptr, &r), E_FAIL);
  EXPECT_EQ(r.note, u"untouched");
}

// ---------------------------------------------------------------------------------------------
// Long names

TEST_F(DocumentTest, LongNameMapLifecycle) {
  const std::u16string n31 = Repeat(u'a', 31), n32 = Repeat(u'b', 32), n40 = Repeat(u'c', 40),
                       n50 = Repeat(u'd', 50);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"New")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/New", File(n31, 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/New", File(n32, 2)), S_OK);
  {
    RawFile raw = Raw();
    EXPECT_EQ(Sorted(raw.List({u"Disk A", u"New"})), Sorted({u"FLD~~1", kItem, kMap, n31}));
    brevix::LongNameMapImage m = DecodeMap(raw.Stream({u"Disk A", u"New"}, kMap));
    EXPECT_EQ(m.lastId, 1);
    ASSERT_EQ(m.entries.size(), 1u);
    EXPECT_EQ(m.entries[0].name, n32);
    EXPECT_EQ(m.entries[0].id, 1);
    // Exact bytes: count 1, last 1, the counted name, identifier 1.
    std::vector<BYTE> expected = {1, 0, 1, 0};
    brevix::ByteWriter(expected).Counted(std::u16string_view(n32));
    expected.push_back(1);
    expected.push_back(0);
    EXPECT_EQ(raw.Stream({u"Disk A", u"New"}, kMap), expected);
  }
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"Disk A/New", n32, ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 2u);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A/New", u"FLD~~1", ItemFile, r), S_OK);  // by element name
  EXPECT_EQ(r.name, n32);

  // Remove the first of two: count 1, last identifier 2; the next long name gets 3.
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/New", File(n40, 3)), S_OK);
  ASSERT_EQ(doc_->DeleteFile(nullptr, Bstr(n32).Get()), S_OK);
  // The map of Disk A/New as stored: the last identifier and the entries.
  using Entries = std::vector<std::pair<std::u16string, WORD>>;
  auto storedMap = [&] {
    brevix::LongNameMapImage m = DecodeMap(Raw().Stream({u"Disk A", u"New"}, kMap));
    Entries entries;
    for (const auto& e : m.entries) entries.emplace_back(e.name, e.id);
    return std::pair<WORD, Entries>(m.lastId, entries);
  };
  EXPECT_EQ(storedMap(), (std::pair<WORD, Entries>(2, {{n40, 2}})));
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/New", File(n50, 4)), S_OK);
  EXPECT_EQ(storedMap(), (std::pair<WORD, Entries>(3, {{n40, 2}, {n50, 3}})));
  // Removing the last long names removes the map itself.
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A/New").Get(), FOLDER_PATH), S_OK);
  ASSERT_EQ(doc_->DeleteFile(nullptr, Bstr(n40).Get()), S_OK);
  ASSERT_EQ(doc_->DeleteFile(nullptr, Bstr(n50).Get()), S_OK);
  RawFile raw = Raw();
  EXPECT_EQ(Sorted(raw.List({u"Disk A", u"New"})), Sorted({kItem, n31}));
}

TEST_F(DocumentTest, NamesTheContainerCannotHoldGoThroughTheMap) {
  // Each name would otherwise be refused or land on a stream of the catalog's own.
  struct Case {
    std::u16string name;
    LONG kind;
  } cases[] = {
      {u"I_T_E_M_", ItemFile}, {u"i_t_e_m_", ItemFile}, {u"N_~~LNG", ItemFile}, {u"J_R_X_", ItemFile},
      {u"a:b", ItemFile},      {u"x!y", ItemFolder},     {u"back\\slash", ItemFile},
      {std::u16string(u"a\0b", 3), ItemFile},  // the container would take it for "a"
      {u"a", ItemFile},
  };
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"J_R_X_", 2)), S_OK);  // a disk named like the header
  std::uint64_t size = 10;
  for (const Case& c : cases) {
    ItemRecord rec = c.kind == ItemFile ? File(c.name, size++) : Folder(c.name, size++);
    ASSERT_EQ(Add(doc_.Get(), u"Disk A", rec), S_OK) << Narrow(c.name);
  }
  Reopen();
  size = 10;
  for (const Case& c : cases) {
    ItemRecord r;
    ASSERT_EQ(Get(doc_.Get(), u"Disk A", c.name, c.kind, r), S_OK) << Narrow(c.name);
    EXPECT_EQ(r.Size(), size++) << Narrow(c.name);
    EXPECT_EQ(r.name, c.name);
  }
  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"", u"J_R_X_", ItemDisk, r), S_OK);
  EXPECT_EQ(r.serial, 2.0);
  ASSERT_EQ(Get(doc_.Get(), u"", u"Disk A", ItemDisk, r), S_OK);
  EXPECT_EQ(r.serial, 1.0);
  RawFile raw = Raw();
  EXPECT_EQ(raw.Stream({}, kHeader), HeaderBytes(0.0, 1.1, std::nullopt, std::nullopt));
  EXPECT_EQ(raw.Stream({u"Disk A"}, kItem), brevix::EncodeItemRecord(Disk(u"Disk A", 1)));
}

// A name read from a disk keeps a byte that is not UTF-8 as a lone surrogate; stored as an
// element name it would be no text for other compound-file tools. Such names go through the
// map, and every directory entry stays valid UTF-16.
TEST_F(DocumentTest, NamesThatAreNotUtf16GoThroughTheMap) {
  const std::u16string stray = std::u16string(u"caf") + char16_t(0xDCFF) + u".txt";
  const std::u16string strayFolder = std::u16string(u"dir") + char16_t(0xDCFE);
  const std::u16string strayLong = Repeat(u'l', 35) + char16_t(0xDC80);
  const std::u16string loneHigh = std::u16string(u"x") + char16_t(0xD800);
  const std::u16string pair = std::u16string(u"emoji ") + char16_t(0xD83D) + char16_t(0xDE00);  // valid
  struct Case {
    std::u16string name;
    LONG kind;
  } cases[] = {
      {stray, ItemFile}, {strayFolder, ItemFolder}, {strayLong, ItemFile}, {loneHigh, ItemFile}, {pair, ItemFile},
  };
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  std::uint64_t size = 10;
  for (const Case& c : cases) {
    ASSERT_EQ(Add(doc_.Get(), u"Disk A", c.kind == ItemFile ? File(c.name, size++) : Folder(c.name, size++)), S_OK);
  }
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/" + strayFolder, File(stray, 99)), S_OK);
  // A valid name renamed to one that is not moves into the map, and back out again.
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"plain", 7)), S_OK);
  ASSERT_EQ(doc_->RenameItem(Bstr(u"Disk A").Get(), Bstr(u"plain").Get(), Bstr(loneHigh + u"2").Get()), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"back", 8)), S_OK);
  ASSERT_EQ(doc_->RenameItem(Bstr(u"Disk A").Get(), Bstr(u"back").Get(), Bstr(stray + u"2").Get()), S_OK);
  ASSERT_EQ(doc_->RenameItem(Bstr(u"Disk A").Get(), Bstr(stray + u"2").Get(), Bstr(u"back again").Get()), S_OK);
  Reopen();

  size = 10;
  for (const Case& c : cases) {
    ItemRecord r;
    ASSERT_EQ(Get(doc_.Get(), u"Disk A", c.name, c.kind, r), S_OK) << Narrow(c.name);
    EXPECT_EQ(r.Size(), size++);
    EXPECT_EQ(r.name, c.name);
  }
  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"Disk A/" + strayFolder, stray, ItemFile, r), S_OK);  // a path through the map
  EXPECT_EQ(r.Size(), 99u);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", loneHigh + u"2", ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 7u);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"back again", ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 8u);

  RawFile raw = Raw();
  std::vector<std::u16string> elements = raw.List({u"Disk A"});
  for (const std::u16string& e : raw.List({u"Disk A", u"FLD~~2"})) elements.push_back(e);
  for (const std::u16string& e : elements) EXPECT_TRUE(unicode::IsUtf16(e)) << Narrow(e);
  EXPECT_EQ(Sorted(elements), Sorted({u"FLD~~1", u"FLD~~2/", u"FLD~~3", u"FLD~~4", u"FLD~~5", u"I_T_E_M_", u"N_~~LNG",
                                      pair, u"back again", u"FLD~~1", u"I_T_E_M_", u"N_~~LNG"}));
  brevix::LongNameMapImage map = DecodeMap(raw.Stream({u"Disk A"}, kMap));
  ASSERT_EQ(map.entries.size(), 5u);
  EXPECT_EQ(map.entries[0].name, stray);
  EXPECT_EQ(map.entries[1].name, strayFolder);
}

// A catalog written before stored such names under themselves: they are still found, listed,
// renamed and deleted there.
TEST_F(DocumentTest, ElementNamesThatAreNotUtf16StillRead) {
  const std::u16string old = std::u16string(u"old") + char16_t(0xDCE9);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  {
    ComPtr<IStorage> root, disk;
    ComPtr<IStream> s;
    const DWORD rw = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    ASSERT_EQ(StgOpenStorage(path_.c_str(), nullptr, rw, nullptr, 0, root.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(root->OpenStorage(u"Disk A", nullptr, rw, nullptr, 0, disk.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(disk->CreateStream(old.c_str(), STGM_CREATE | rw, 0, 0, s.ReleaseAndGetAddressOf()), S_OK);
    const std::vector<BYTE> bytes = brevix::EncodeItemRecord(File(old, 5));
    ASSERT_EQ(s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
  }
  ASSERT_EQ(doc_->LoadDoc(Bstr(path_).Get()), S_OK);
  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", old, ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 5u);
  EXPECT_EQ(r.name, old);
  Bstr shown;
  ASSERT_EQ(doc_->LongNameFromElement(old.c_str(), shown.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(shown.View(), old);
  r.note = u"kept";
  ASSERT_EQ(doc_->SetItemInfo(nullptr, &r), S_OK);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", old, ItemFile, r), S_OK);
  EXPECT_EQ(r.note, brevix::CountedString(u"kept"));
  ASSERT_EQ(doc_->RenameItem(Bstr(u"Disk A").Get(), Bstr(old).Get(), Bstr(u"renamed").Get()), S_OK);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"renamed", ItemFile, r), S_OK);
  ASSERT_EQ(doc_->RenameItem(Bstr(u"Disk A").Get(), Bstr(u"renamed").Get(), Bstr(old).Get()), S_OK);
  ASSERT_EQ(doc_->DeleteFile(Bstr(u"Disk A").Get(), Bstr(old).Get()), S_OK);
  RawFile raw = Raw();
  EXPECT_EQ(raw.List({u"Disk A"}), std::vector<std::u16string>{u"I_T_E_M_"});
}

TEST_F(DocumentTest, LiteralLongNameElementsKeepTheirOwnRecords) {
  const std::u16string longName = Repeat(u'L', 40);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(longName, 1)), S_OK);  // element FLD~~1
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"FLD~~1", 2)), S_OK);  // a file that is really called so
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"FLD~~2", 3)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'M', 40), 4)), S_OK);  // must not take FLD~~2
  Reopen();
  struct Case {
    std::u16string name;
    std::uint64_t size;
  } cases[] = {{longName, 1}, {u"FLD~~1", 2}, {u"FLD~~2", 3}, {Repeat(u'M', 40), 4}};
  for (const Case& c : cases) {
    ItemRecord r;
    ASSERT_EQ(Get(doc_.Get(), u"Disk A", c.name, ItemFile, r), S_OK) << Narrow(c.name);
    EXPECT_EQ(r.Size(), c.size) << Narrow(c.name);
    EXPECT_EQ(r.name, c.name);
  }
  // Every element maps back to the name of the record it holds.
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A").Get(), FOLDER_PATH), S_OK);
  ComPtr<IEnumSTATSTG> en;
  ASSERT_EQ(doc_->EnumElements(1, en.ReleaseAndGetAddressOf()), S_OK);
  STATSTG st;
  ULONG got;
  int checked = 0;
  while (en->Next(1, &st, &got) == S_OK) {
    std::u16string element(st.pwcsName);
    std::free(st.pwcsName);
    if (brevix::IsReservedStreamName(element)) continue;
    Bstr shown;
    doc_->LongNameFromElement(element.c_str(), shown.ReleaseAndGetAddressOf());
    ItemRecord byElement;
    byElement.name = element;
    ASSERT_EQ(doc_->GetItemInfo(nullptr, &byElement), S_OK) << Narrow(element);
    EXPECT_EQ(byElement.name, shown.View());
    ItemRecord byName;
    byName.name = std::u16string(shown.View());
    ASSERT_EQ(doc_->GetItemInfo(nullptr, &byName), S_OK);
    EXPECT_EQ(byName.Size(), byElement.Size()) << Narrow(element);
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

TEST_F(DocumentTest, NamesDifferingOnlyInCaseAreBothKept) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"Readme", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"README", 2)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"readme", 3)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"Readme", 4)), S_OK);  // replaces its own record only
  Reopen();
  struct Case {
    const char16_t* name;
    LONG kind;
    std::uint64_t size;
  } cases[] = {{u"Readme", ItemFile, 4}, {u"README", ItemFile, 2}, {u"readme", ItemFolder, 3}};
  for (const Case& c : cases) {
    ItemRecord r;
    ASSERT_EQ(Get(doc_.Get(), u"Disk A", c.name, c.kind, r), S_OK) << Narrow(c.name);
    EXPECT_EQ(r.Size(), c.size);
  }
  ItemRecord r;
  EXPECT_EQ(Get(doc_.Get(), u"Disk A", u"ReadMe", ItemFile, r), STG_E_FILENOTFOUND);  // exact names only
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk A").Get(), FOLDER_PATH), S_OK);
  ASSERT_EQ(doc_->DeleteFile(nullptr, Bstr(u"README").Get()), S_OK);
  EXPECT_EQ(doc_->DeleteFile(nullptr, Bstr(u"ReadMe").Get()), S_OK);  // not there: nothing goes
  Reopen();
  EXPECT_EQ(Get(doc_.Get(), u"Disk A", u"README", ItemFile, r), STG_E_FILENOTFOUND);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"Readme", ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 4u);
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"readme", ItemFolder, r), S_OK);
  EXPECT_EQ(r.Size(), 3u);
}

// Catalogs written before lookups became exact are read by names typed in another case: a
// name without an exact match finds the one sibling that equals it but for letter case.
TEST_F(DocumentTest, ANameWithoutAnExactMatchFindsItsOneCaseVariant) {
  const std::u16string longName = Repeat(u'x', 40);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"[ c ] -- Drive", 0)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"[ c ] -- Drive", Folder(u"Docs", 5)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"[ c ] -- Drive/Docs", File(longName, 7)), S_OK);
  Reopen();
  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"", u"[ C ] -- Drive", ItemDisk, r), S_OK);
  EXPECT_EQ(r.name, u"[ c ] -- Drive");
  ASSERT_EQ(Get(doc_.Get(), u"[ C ] -- Drive", u"DOCS", ItemFolder, r), S_OK);
  EXPECT_EQ(r.name, u"Docs");
  ASSERT_EQ(Get(doc_.Get(), u"[ C ] -- DRIVE/docs", Repeat(u'X', 40), ItemFile, r), S_OK);
  EXPECT_EQ(r.name, longName);
  EXPECT_EQ(r.Size(), 7u);
  // Written back through the other case, the catalogued item changes.
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"[ C ] -- Drive").Get(), FOLDER_PATH), S_OK);
  ItemRecord docs = Folder(u"DOCS", 9);
  ASSERT_EQ(doc_->SetItemInfo(nullptr, &docs), S_OK);
  Reopen();
  ASSERT_EQ(Get(doc_.Get(), u"[ c ] -- Drive", u"Docs", ItemFolder, r), S_OK);
  EXPECT_EQ(r.Size(), 9u);
  // A twin made here: each name finds its own, and a third spelling finds neither.
  ASSERT_EQ(Add(doc_.Get(), u"[ c ] -- Drive", Folder(u"DOCS", 1)), S_OK);
  ASSERT_EQ(Get(doc_.Get(), u"[ c ] -- Drive", u"DOCS", ItemFolder, r), S_OK);
  EXPECT_EQ(r.Size(), 1u);
  ASSERT_EQ(Get(doc_.Get(), u"[ c ] -- Drive", u"Docs", ItemFolder, r), S_OK);
  EXPECT_EQ(r.Size(), 9u);
  EXPECT_EQ(Get(doc_.Get(), u"[ c ] -- Drive", u"docs", ItemFolder, r), STG_E_FILENOTFOUND);
}

TEST_F(DocumentTest, RenameItemReportsWhatHappened) {
  const std::u16string longName = Repeat(u'x', 45);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk B", 2)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"one", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"two", 2)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"Twin", 3)), S_OK);
  struct Case {
    const char16_t* path;
    std::u16string from, to;
    HRESULT expected;
  } cases[] = {
      {u"Disk A", u"absent", u"x", STG_E_FILENOTFOUND},
      {u"Disk A", u"one", u"two", STG_E_FILEALREADYEXISTS},
      {u"Disk A", u"one", longName, S_OK},             // into the map
      {u"Disk A", longName, u"a:b", S_OK},             // from one long name to another
      {u"Disk A", u"a:b", u"uno", S_OK},               // and back to an element of its own
      {u"Disk A", u"uno", u"UNO", S_OK},               // a change of case
      {u"Disk A", u"two", u"TWIN", S_OK},              // a case twin of another goes through the map
      {u"Disk A", u"TWIN", u"Twin", STG_E_FILEALREADYEXISTS},
      {u"", u"Disk B", u"Disk A", STG_E_FILEALREADYEXISTS},
      {u"", u"Disk B", u"Backup", S_OK},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(doc_->SetCurrentFolder(Bstr(c.path).Get(), FOLDER_PATH), S_OK);
    EXPECT_EQ(doc_->RenameItem(nullptr, Bstr(c.from).Get(), Bstr(c.to).Get()), c.expected)
        << Narrow(c.from) << " -> " << Narrow(c.to);
  }
  EXPECT_EQ(doc_->RenameItem(nullptr, nullptr, Bstr(u"x").Get()), STG_E_INVALIDPARAMETER);
  Reopen();
  struct Left {
    const char16_t* name;
    std::uint64_t size;
  } left[] = {{u"UNO", 1}, {u"TWIN", 2}, {u"Twin", 3}};
  for (const Left& l : left) {
    ItemRecord r;
    ASSERT_EQ(Get(doc_.Get(), u"Disk A", l.name, ItemFile, r), S_OK) << Narrow(l.name);
    EXPECT_EQ(r.Size(), l.size);
  }
  ItemRecord r;
  EXPECT_EQ(Get(doc_.Get(), u"Disk A", u"one", ItemFile, r), STG_E_FILENOTFOUND);
  EXPECT_EQ(Get(doc_.Get(), u"", u"Backup", ItemDisk, r), S_OK);
  EXPECT_EQ(r.serial, 2.0);
  // Without a current folder the path is required; with one it is walked.
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  EXPECT_EQ(doc_->RenameItem(nullptr, Bstr(u"UNO").Get(), Bstr(u"uno").Get()), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(doc_->RenameItem(Bstr(u"Disk A").Get(), Bstr(u"UNO").Get(), Bstr(u"uno").Get()), S_OK);
}

TEST_F(DocumentTest, RenameItemRefusesNamesAPathCannotReach) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", Folder(u"docs", 4)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A/docs", File(u"inner.txt", 5)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"one", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"Back\\slash", 2)), S_OK);  // as a medium may name a file
  const std::u16string name31 = Repeat(u'd', 31), name32 = Repeat(u'd', 32);
  struct Case {
    const char16_t* folder;
    std::u16string from, to;
    HRESULT expected;
  } cases[] = {
      // A disk takes what the add-disk dialog takes: no ":", "\\" or "/", at most 31 characters.
      {u"", u"Disk A", u"Backup/2024", STG_E_INVALIDNAME},
      {u"", u"Disk A", u"Backup\\2024", STG_E_INVALIDNAME},
      {u"", u"Disk A", u"C:", STG_E_INVALIDNAME},
      {u"", u"Disk A", name32, STG_E_INVALIDNAME},
      {u"", u"Disk A", u"disk a/", STG_E_INVALIDNAME},  // not even as a change of case
      // A folder or file takes no path separator.
      {u"Disk A", u"docs", u"do/cs", STG_E_INVALIDNAME},
      {u"Disk A", u"docs", u"do\\cs", STG_E_INVALIDNAME},
      {u"Disk A", u"one", u"o/ne", STG_E_INVALIDNAME},
      {u"Disk A", u"one", u"o\\ne", STG_E_INVALIDNAME},
      // What a medium's names may hold stays possible inside a disk.
      {u"Disk A", u"one", u"o:ne", S_OK},
      {u"Disk A", u"o:ne", name32, S_OK},
      {u"Disk A", u"Back\\slash", u"BACK\\SLASH", S_OK},  // an update following the medium's case
      {u"", u"Disk A", name31, S_OK},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(doc_->SetCurrentFolder(Bstr(c.folder).Get(), FOLDER_PATH), S_OK);
    EXPECT_EQ(doc_->RenameItem(nullptr, Bstr(c.from).Get(), Bstr(c.to).Get()), c.expected)
        << Narrow(c.from) << " -> " << Narrow(c.to);
  }
  // Everything refused kept its name, and what lies below it is still reached by path.
  Reopen();
  ItemRecord r;
  EXPECT_EQ(Get(doc_.Get(), name31 + u"/docs", u"inner.txt", ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 5u);
  EXPECT_EQ(Get(doc_.Get(), name31, name32, ItemFile, r), S_OK);
  EXPECT_EQ(Get(doc_.Get(), name31, u"BACK\\SLASH", ItemFile, r), S_OK);
  EXPECT_EQ(r.name, u"BACK\\SLASH");
  double used = 0;
  for (const char16_t* gone : {u"Backup", u"C:", u"disk a/"}) {
    ASSERT_EQ(doc_->IsNameUsed(Bstr(gone).Get(), &used), S_OK);
    EXPECT_LT(used, 0.0) << Narrow(gone);
  }
}

TEST_F(DocumentTest, LongNameIdentifiersStayWithinRangeAndAreReused) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'a', 40), 1)), S_OK);  // FLD~~1
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'b', 40), 2)), S_OK);  // FLD~~2
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'c', 40), 3)), S_OK);  // FLD~~3
  ASSERT_EQ(doc_->DeleteFile(nullptr, Bstr(Repeat(u'a', 40)).Get()), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  // The last identifier given out has reached the limit.
  std::vector<BYTE> map = RawFile(path_).Stream({u"Disk A"}, kMap);
  ASSERT_GE(map.size(), 4u);
  map[2] = 0xff;
  map[3] = 0x7f;
  {
    DamagedStream s(path_, u"Disk A", kMap);
    ASSERT_TRUE(s.ok());
    ASSERT_EQ(s.Write(map), S_OK);
  }
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'd', 40), 4)), S_OK);  // reuses FLD~~1
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'e', 40), 5)), S_OK);  // FLD~~4: 2 and 3 are taken
  RawFile raw = Raw();
  brevix::LongNameMapImage m = DecodeMap(raw.Stream({u"Disk A"}, kMap));
  EXPECT_EQ(m.lastId, 32767);
  std::vector<std::pair<std::u16string, WORD>> got;
  for (const auto& e : m.entries) got.emplace_back(e.name, e.id);
  EXPECT_EQ(got, (std::vector<std::pair<std::u16string, WORD>>{
                     {Repeat(u'b', 40), 2}, {Repeat(u'c', 40), 3}, {Repeat(u'd', 40), 1}, {Repeat(u'e', 40), 4}}));
  EXPECT_EQ(raw.Stream({u"Disk A"}, u"FLD~~4"), brevix::EncodeItemRecord(File(Repeat(u'e', 40), 5)));
}

TEST_F(DocumentTest, CorruptLongNameMapFailsWithoutCrashing) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'a', 40), 1)), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  {
    DamagedStream s(path_, u"Disk A", kMap);
    ASSERT_TRUE(s.ok());
    ASSERT_EQ(s.Write({0xff, 0xff, 0x01, 0x00, 0xff, 0xff, 0xff, 0xff}), S_OK);
  }
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ItemRecord r;
  EXPECT_EQ(Get(doc_.Get(), u"Disk A", Repeat(u'a', 40), ItemFile, r), E_FAIL);
  EXPECT_EQ(Add(doc_.Get(), u"Disk A", File(Repeat(u'z', 40), 1)), E_FAIL);  // never written over
  ASSERT_EQ(Get(doc_.Get(), u"Disk A", u"FLD~~1", ItemFile, r), S_OK);
  EXPECT_EQ(r.name, u"FLD~~1");
}

// ---------------------------------------------------------------------------------------------
// Disks

TEST_F(DocumentTest, DiskNamesAreComparedAsTheUserSeesThem) {
  const std::u16string longDisk = u"A disk whose name is longer than the container's";
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Backup", 11)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(longDisk, 12)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Backup", File(u"keep.txt", 9)), S_OK);
  // Adding a disk under a name in use would replace it.
  ItemRecord again = Disk(u"Backup", 99);
  ASSERT_EQ(doc_->SetCurrentFolder(nullptr, FOLDER_ROOT), S_OK);
  EXPECT_EQ(doc_->AddFolder(nullptr, Bstr(u"Backup").Get(), &again), STG_E_FILEALREADYEXISTS);
  ItemRecord againLong = Disk(longDisk, 98);
  EXPECT_EQ(doc_->AddFolder(nullptr, Bstr(longDisk).Get(), &againLong), STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);

  struct Case {
    std::u16string name;
    double expected;
  } cases[] = {{u"BACKUP", 1.0}, {u"backup", 1.0}, {u"Backu", -1.0}, {u"FLD~~1", -1.0},
               {u"A DISK WHOSE NAME IS LONGER THAN THE CONTAINER'S", 1.0}};
  for (const Case& c : cases) {
    double used = 0;
    EXPECT_EQ(doc_->IsNameUsed(Bstr(c.name).Get(), &used), S_OK);
    EXPECT_EQ(used, c.expected) << Narrow(c.name);
  }
  IStorage* cur = reinterpret_cast<IStorage*>(1);
  doc_->get_mCurStorage(&cur);
  EXPECT_EQ(cur, nullptr);  // IsNameUsed closes what it opened

  Bstr name;
  EXPECT_EQ(doc_->FindDiskInLibrary(12, name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.View(), longDisk);
  EXPECT_EQ(doc_->FindDiskInLibrary(11, name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.View(), u"Backup");
  EXPECT_EQ(doc_->FindDiskInLibrary(13, name.ReleaseAndGetAddressOf()), STG_E_FILENOTFOUND);
  EXPECT_TRUE(name.IsNull());
  doc_->get_mCurStorage(&cur);
  EXPECT_NE(cur, nullptr);  // the document stays open with the root current
  ItemRecord r;
  ASSERT_EQ(Get(doc_.Get(), u"Backup", u"keep.txt", ItemFile, r), S_OK);
  ASSERT_EQ(Get(doc_.Get(), u"", u"Backup", ItemDisk, r), S_OK);
  EXPECT_EQ(r.serial, 11.0);
}

// ---------------------------------------------------------------------------------------------
// Passwords and the header

TEST_F(DocumentTest, PasswordsAreRewrittenWithoutStaleBytes) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  ASSERT_EQ(doc_->SetPasswords(Bstr(u"longmast").Get(), Bstr(u"longuser").Get()), S_OK);
  ASSERT_EQ(doc_->SetPasswords(Bstr(u"m").Get(), nullptr), S_OK);  // the user password stays
  EXPECT_EQ(RawFile(path_).Stream({}, kHeader), HeaderBytes(0.0, 1.1, u"m", u"longuser"));
  ASSERT_EQ(doc_->SetPasswords(nullptr, Bstr(u"").Get()), S_OK);
  EXPECT_EQ(RawFile(path_).Stream({}, kHeader), HeaderBytes(0.0, 1.1, u"m", u""));
  EXPECT_EQ(doc_->SetPasswords(nullptr, nullptr), S_OK);

  ComPtr<IOStorageInternal> other = NewDoc();
  ASSERT_EQ(other->SetDocName(Bstr(path_).Get()), S_OK);
  Bstr master, user;
  ASSERT_EQ(other->GetPasswords(master.ReleaseAndGetAddressOf(), user.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(master.View(), u"m");
  EXPECT_FALSE(user.IsNull());
  EXPECT_EQ(user.Length(), 0u);
  EXPECT_EQ(other->GetPasswords(nullptr, nullptr), S_OK);
}

TEST_F(DocumentTest, PasswordChangeKeepsTheBaseAnotherDocumentWrote) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  // A scanner's document stores a new base while this one holds the header it read earlier.
  ComPtr<IOStorageInternal> scanner = NewDoc();
  ASSERT_EQ(scanner->LoadDoc(Bstr(path_).Get()), S_OK);
  ASSERT_EQ(scanner->SetPasswords(nullptr, Bstr(u"theirs").Get()), S_OK);
  ASSERT_EQ(scanner->LoadDoc(Bstr(path_).Get()), S_OK);
  ASSERT_EQ(scanner->put_BaseSerialNum(17), S_OK);
  ASSERT_EQ(scanner->CloseDoc(1), S_OK);

  ASSERT_EQ(doc_->SetPasswords(Bstr(u"mine").Get(), nullptr), S_OK);
  EXPECT_EQ(RawFile(path_).Stream({}, kHeader), HeaderBytes(17.0, 1.1, u"mine", u"theirs"));
  double base = 0;
  doc_->get_BaseSerialNum(&base);
  EXPECT_EQ(base, 17.0);
}

TEST_F(DocumentTest, SetPasswordsReportsAFileItCannotOpen) {
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  ComPtr<IOStorageInternal> holder = NewDoc();
  ASSERT_EQ(holder->LoadDoc(Bstr(path_).Get()), S_OK);
  EXPECT_EQ(doc_->SetPasswords(Bstr(u"x").Get(), nullptr), STG_E_SHAREVIOLATION);
}

// ---------------------------------------------------------------------------------------------
// Backup

TEST_F(DocumentTest, BackupCopiesTheWholeCatalog) {
  const std::u16string longName = Repeat(u'q', 33);
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 5)), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(longName, 6)), S_OK);
  // The long-name map is still only in memory while the folder is open: it goes into the copy.
  std::u16string backup = dir_.File16("BACKUP120926.DKC");
  ASSERT_EQ(doc_->CreateBackup(Bstr(backup).Get()), S_OK);
  EXPECT_EQ(doc_->CreateBackup(Bstr(path_).Get()), STG_E_SHAREVIOLATION);  // not onto itself
  EXPECT_EQ(doc_->CreateBackup(nullptr), STG_E_INVALIDPARAMETER);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);

  ComPtr<IOStorageInternal> copy = NewDoc();
  ASSERT_EQ(copy->LoadDoc(Bstr(backup).Get()), S_OK);
  ItemRecord r;
  ASSERT_EQ(Get(copy.Get(), u"Disk A", longName, ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 6u);
  ASSERT_EQ(copy->CloseDoc(0), S_OK);

  // With the document closed, the backup opens and closes it for the call.
  std::u16string second = dir_.File16("second.dkc");
  EXPECT_EQ(doc_->CreateBackup(Bstr(second).Get()), S_OK);
  EXPECT_EQ(RawFile(path_).status(), S_OK);
  EXPECT_EQ(RawFile(second).Stream({u"Disk A"}, u"FLD~~1"), brevix::EncodeItemRecord(File(longName, 6)));
}

namespace {

std::string FileBytes(const std::u16string& path) {
  std::ifstream in(Narrow(path), std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<none>");
}

// The compound-file layer refuses unnamed files (as vfat, exFAT and shares do), or fails the
// writes of a release (as a full disk does).
int g_refuseAnonymous = 0, g_failWrites = 0;
int FailSteps(cfb::IoStep s) {
  if (s == cfb::IoStep::AnonymousFile) return g_refuseAnonymous;
  if (s == cfb::IoStep::FileWrite) return g_failWrites;
  return 0;
}

}  // namespace

TEST_F(DocumentTest, ABackupWhoseWriteOutFailsAnswersTheFailureAndLeavesNoEmptyCopy) {
  ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 5)), S_OK);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"file " + Repeat(u'x', i % 40), i)), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  const std::string catalog = FileBytes(path_);
  struct Case {
    const char* what;
    bool anonymous;  // the file system makes unnamed files
    bool earlier;    // a file of that name is there already
    bool limit;      // a real refusal: the process may not write files past a few kilobytes
  };
  const Case cases[] = {
      {"unnamed files, new name", true, false, false},
      {"no unnamed files, new name", false, false, false},
      {"unnamed files, over an older backup", true, true, false},
      {"no unnamed files, over an older backup", false, true, false},
      {"file size limit, no unnamed files, new name", false, false, true},
      {"file size limit, over an older backup", true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string backup = dir_.File16("BACKUP.DKC");
    std::filesystem::remove(Narrow(backup));
    if (c.earlier) std::ofstream(Narrow(backup), std::ios::binary) << "older backup";
    const std::string before = FileBytes(backup);
    g_refuseAnonymous = c.anonymous ? 0 : EOPNOTSUPP;
    g_failWrites = c.limit ? 0 : ENOSPC;
    cfb::SetIoHook(&FailSteps);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    if (c.limit) {
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit small = old;
      small.rlim_cur = 8192;
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
    HRESULT hr = doc_->CreateBackup(Bstr(backup).Get());
    ::setrlimit(RLIMIT_FSIZE, &old);
    cfb::SetIoHook(nullptr);
    EXPECT_EQ(hr, STG_E_MEDIUMFULL);
    EXPECT_EQ(FileBytes(backup), before);  // no empty copy, an older file untouched
    EXPECT_EQ(FileBytes(path_), catalog);
  }
  // With room again, the same backup is whole.
  std::u16string backup = dir_.File16("BACKUP.DKC");
  ASSERT_EQ(doc_->CreateBackup(Bstr(backup).Get()), S_OK);
  ComPtr<IOStorageInternal> copy = NewDoc();
  ASSERT_EQ(copy->LoadDoc(Bstr(backup).Get()), S_OK);
  ItemRecord r;
  EXPECT_EQ(Get(copy.Get(), u"Disk A", u"file " + Repeat(u'x', 39), ItemFile, r), S_OK);
  EXPECT_EQ(copy->CloseDoc(0), S_OK);
}

// ---------------------------------------------------------------------------------------------
// The item information array

TEST(PackItemInfo, ArrayOfEightVariants) {
  setenv("TZ", "UTC0", 1);
  tzset();
  ItemRecord r = Disk(u"Disk A", 42, u"Floppy Disk", 1457664, 3ULL << 33);
  // 1 January 2000 00:00 UTC.
  r.timeA = U64ToFileTime((946684800ULL + 11644473600ULL) * 10000000ULL);
  xcom::Variant v;
  ASSERT_EQ(brevix::PackItemInfo(r, &v), S_OK);
  ASSERT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
  LONG lo = -1, hi = -1;
  SafeArrayGetLBound(v.parray, 1, &lo);
  SafeArrayGetUBound(v.parray, 1, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 7);
  auto at = [&](LONG i) {
    xcom::Variant e;
    EXPECT_EQ(SafeArrayGetElement(v.parray, &i, &e), S_OK);
    return e;
  };
  xcom::Variant size = at(ITEMINFO_SIZE);
  EXPECT_EQ(size.vt, VT_CY);
  EXPECT_EQ(size.cyVal.int64, 1457664);
  EXPECT_EQ(at(ITEMINFO_FREE).cyVal.int64, static_cast<LONGLONG>(3ULL << 33));
  xcom::Variant a = at(ITEMINFO_TIME_A);
  EXPECT_EQ(a.vt, VT_DATE);
  EXPECT_DOUBLE_EQ(a.date, 36526.0);
  EXPECT_EQ(at(ITEMINFO_SERIAL).dblVal, 42.0);
  EXPECT_EQ(xcom::BstrView(at(ITEMINFO_NAME).bstrVal), u"Disk A");
  EXPECT_EQ(xcom::BstrView(at(ITEMINFO_TYPE).bstrVal), u"Floppy Disk");
  xcom::Variant note = at(ITEMINFO_NOTE);
  EXPECT_EQ(note.vt, VT_BSTR);
  EXPECT_EQ(note.bstrVal, nullptr);
  r.note = u"";
  ASSERT_EQ(brevix::PackItemInfo(r, &v), S_OK);  // replaces the previous array
  EXPECT_NE(at(ITEMINFO_NOTE).bstrVal, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Dispatch

TEST_F(DocumentTest, DualInterfaceByName) {
  ComPtr<IDispatch> disp;
  ASSERT_EQ(doc_.As(&disp), S_OK);
  std::u16string names[] = {u"basesERIALnum", u"IsNameUsed", u"GetItemInfo"};
  DISPID ids[3];
  for (int i = 0; i < 3; ++i) {
    LPOLESTR n = names[i].data();
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &n, 1, 0, &ids[i]), S_OK);
  }
  xcom::Variant put[] = {xcom::Variant::R8(5)};
  ASSERT_EQ(xcom::CallDispatch(disp.Get(), ids[0], DISPATCH_PROPERTYPUT, put), S_OK);
  double base = 0;
  doc_->get_BaseSerialNum(&base);
  EXPECT_EQ(base, 5.0);

  ItemRecord rec = Disk(u"Disk A", 3);
  ASSERT_EQ(doc_->AddItem(nullptr, Bstr(u"Disk A").Get(), &rec), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  double used = 0;
  xcom::Variant args[] = {xcom::Variant::String(u"disk a"), xcom::Variant()};
  args[1].vt = VT_R8 | VT_BYREF;
  args[1].pdblVal = &used;
  ASSERT_EQ(xcom::CallDispatch(disp.Get(), ids[1], DISPATCH_METHOD, args), S_OK);
  EXPECT_EQ(used, 1.0);

  // A record crosses dispatch as a token; anything else is refused.
  ItemRecord byToken;
  byToken.name = u"Disk A";
  byToken.kind = ItemDisk;
  xcom::ScopedToken token(xcom::TokenKind::ItemRecord, &byToken);
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  xcom::Variant get[] = {xcom::Variant(), xcom::Variant::I4(token.value())};
  get[0].vt = VT_BSTR;
  get[0].bstrVal = nullptr;
  ASSERT_EQ(xcom::CallDispatch(disp.Get(), ids[2], DISPATCH_METHOD, get), S_OK);
  EXPECT_EQ(byToken.serial, 3.0);
  xcom::Variant bad[] = {xcom::Variant(), xcom::Variant::I4(token.value() + 1000)};
  bad[0].vt = VT_BSTR;
  bad[0].bstrVal = nullptr;
  EXCEPINFO info{};
  EXPECT_EQ(xcom::CallDispatch(disp.Get(), ids[2], DISPATCH_METHOD, bad, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, STG_E_INVALIDPARAMETER);
  xcom::ClearExcepInfo(&info);
}
