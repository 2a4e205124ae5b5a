// The tree scan when the catalog refuses a write halfway: what was not visited stays, the
// walk always returns to the folder it started in, and nothing is scanned into the wrong folder.
#include "scanner_impl.h"
#include "test_support.h"

using namespace scanner_test;
using brevix::ScanMode;

namespace {

// A catalog document that forwards every call to a real one, but refuses to add an item of
// one name.
class RefusingDoc final : public IOStorageInternal {
 public:
  RefusingDoc(IOStorageInternal* real, std::u16string refused) : d_(real), refused_(std::move(refused)) {}

  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT* p) override { return d_->GetTypeInfoCount(p); }
  HRESULT GetTypeInfo(UINT i, LCID l, ITypeInfo** p) override { return d_->GetTypeInfo(i, l, p); }
  HRESULT GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* id) override {
    return d_->GetIDsOfNames(r, n, c, l, id);
  }
  HRESULT Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e, UINT* a) override {
    return d_->Invoke(id, r, l, f, p, v, e, a);
  }
  HRESULT LoadDoc(BSTR f) override { return d_->LoadDoc(f); }
  HRESULT SaveDoc(BSTR f) override { return d_->SaveDoc(f); }
  HRESULT AddFolder(BSTR p, BSTR n, ItemRecord* r) override { return d_->AddFolder(p, n, r); }
  HRESULT SetCurrentFolder(BSTR p, SHORT l) override { return d_->SetCurrentFolder(p, l); }
  HRESULT CloseDoc(LONG w) override { return d_->CloseDoc(w); }
  HRESULT EnumElements(SHORT l, IEnumSTATSTG** e) override { return d_->EnumElements(l, e); }
  HRESULT AddItem(BSTR p, BSTR n, ItemRecord* r) override {
    if (xcom::BstrView(n) == refused_) return STG_E_MEDIUMFULL;
    return d_->AddItem(p, n, r);
  }
  HRESULT DeleteFile(BSTR p, BSTR n) override { return d_->DeleteFile(p, n); }
  HRESULT DeleteFolder(BSTR n) override { return d_->DeleteFolder(n); }
  HRESULT GetItemInfo(BSTR p, ItemRecord* r) override { return d_->GetItemInfo(p, r); }
  HRESULT get_BaseSerialNum(double* v) override { return d_->get_BaseSerialNum(v); }
  HRESULT put_BaseSerialNum(double v) override { return d_->put_BaseSerialNum(v); }
  HRESULT FindDiskInLibrary(double s, BSTR* v) override { return d_->FindDiskInLibrary(s, v); }
  HRESULT SetItemInfo(BSTR p, ItemRecord* r) override { return d_->SetItemInfo(p, r); }
  HRESULT WasItemAccessed(BSTR n, ULONG lo, ULONG hi, LONG* t) override { return d_->WasItemAccessed(n, lo, hi, t); }
  HRESULT FindItem(BSTR s, BSTR n, BSTR no, LONG sz, DATE a, DATE b, SHORT t, LONG cb) override {
    return d_->FindItem(s, n, no, sz, a, b, t, cb);
  }
  HRESULT get_FileVersion(double* v) override { return d_->get_FileVersion(v); }
  HRESULT RenameItem(BSTR p, BSTR o, BSTR n) override { return d_->RenameItem(p, o, n); }
  HRESULT CreateBackup(BSTR f) override { return d_->CreateBackup(f); }
  HRESULT SetDocName(BSTR n) override { return d_->SetDocName(n); }
  HRESULT SetPasswords(BSTR m, BSTR u) override { return d_->SetPasswords(m, u); }
  HRESULT GetPasswords(BSTR* m, BSTR* u) override { return d_->GetPasswords(m, u); }
  HRESULT IsNameUsed(BSTR n, double* v) override { return d_->IsNameUsed(n, v); }
  HRESULT get_mCurStorage(IStorage** v) override { return d_->get_mCurStorage(v); }
  HRESULT LongNameFromElement(const OLECHAR* e, BSTR* l) override { return d_->LongNameFromElement(e, l); }

 private:
  IOStorageInternal* d_;
  std::u16string refused_;
};

class ScanFailureTest : public ScannerTest {
 protected:
  void SetUp() override {
    ScannerTest::SetUp();
    Drive('E');
    m_ = Medium('E');
    // Folders and files around the one that fails, at every level of its path, so that some
    // are visited after it whatever order the file system gives.
    for (const char* p : {"a1.txt", "a2.txt", "P/p1.txt", "P/p2.txt", "P/Q/q1.txt", "P/Q/q2.txt", "P/R/r.txt",
                          "S/s.txt", "z.txt"}) {
      WriteFile(m_ / p, 8);
    }
    ASSERT_EQ(Add('E', "Disk", 1), S_OK);
    before_ = ReadCatalog(catalog_);
    WriteFile(m_ / "P" / "Q" / "refused.txt", 8);
  }
  // Runs an update scan of the disk through a document that refuses "refused.txt".
  HRESULT ScanRefusing(ScanMode mode, const char16_t* disk) {
    ComPtr<IOStorageInternal> real;
    EXPECT_EQ(brevix::NewCatalogDocument(&real), S_OK);
    EXPECT_EQ(real->LoadDoc(Bstr(U(catalog_)).Get()), S_OK);
    RefusingDoc doc(real.Get(), u"refused.txt");
    if (mode == ScanMode::Add) {
      ItemRecord rec;
      rec.name = disk;
      rec.kind = ItemDisk;
      EXPECT_EQ(doc.AddItem(nullptr, Bstr(disk).Get(), &rec), S_OK);
    } else {
      EXPECT_EQ(doc.SetCurrentFolder(Bstr(disk).Get(), FOLDER_CHILD), S_OK);
    }
    std::uint64_t total = 0;
    HRESULT hr = brevix::ScanTree(&doc, volumes::Folder::Open("E:\\"), mode, std::nullopt, &total);
    // The walk ends where it began: an item added now lands in the disk itself.
    ItemRecord probe;
    probe.name = u"probe";
    probe.kind = ItemFile;
    EXPECT_EQ(doc.AddItem(nullptr, Bstr(u"probe").Get(), &probe), S_OK);
    real->CloseDoc(0);
    return hr;
  }
  fs::path m_;
  Catalog before_;
};

TEST_F(ScanFailureTest, UpdateKeepsWhatWasNotVisited) {
  EXPECT_EQ(ScanRefusing(ScanMode::Update, u"Disk"), STG_E_MEDIUMFULL);
  Catalog after = ReadCatalog(catalog_);
  for (auto& [path, item] : before_) EXPECT_EQ(after.count(path), 1u) << path;
  EXPECT_EQ(after.count("Disk/probe"), 1u);
  // Nothing of P/Q went anywhere else.
  for (auto& [path, item] : after) {
    if (path.find("q1.txt") != std::string::npos) {
      EXPECT_EQ(path, "Disk/P/Q/q1.txt");
    }
  }
  // Once the catalog takes the file, the update completes.
  ASSERT_EQ(Update('E'), S_OK);
  after = ReadCatalog(catalog_);
  EXPECT_EQ(after["Disk/P/Q/refused.txt"].size, 8u);
  EXPECT_EQ(after.count("Disk/probe"), 0u);
}

TEST_F(ScanFailureTest, AddStopsAndReturnsToTheDisk) {
  EXPECT_EQ(ScanRefusing(ScanMode::Add, u"Second"), STG_E_MEDIUMFULL);
  Catalog after = ReadCatalog(catalog_);
  EXPECT_EQ(after.count("Second/probe"), 1u);
  EXPECT_EQ(after.count("Second/P/Q/refused.txt"), 0u);
  for (auto& [path, item] : after) {
    if (path.rfind("Second/", 0) == 0 && path.find("q1.txt") != std::string::npos) {
      EXPECT_EQ(path, "Second/P/Q/q1.txt");
    }
  }
}

}  // namespace
