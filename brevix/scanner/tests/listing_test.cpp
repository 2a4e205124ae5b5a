// The directory listing of a real drive through the item callback.
#include <vector>

#include "catalogdate.h"
#include "test_support.h"

using namespace scanner_test;

namespace {

struct Hit {
  std::string path;
  double serial;
  bool nullNote;
  LONG kb;
  DATE date;
  std::string kind;
};
std::vector<Hit> g_hits;
IOFileGraber* g_reentered = nullptr;
HRESULT g_reentry = S_OK;

LONG Collect(BSTR path, double serial, BSTR note, LONG kb, DATE date, BSTR kind) {
  g_hits.push_back({N(xcom::BstrView(path)), serial, note == nullptr, kb, date, N(xcom::BstrView(kind))});
  if (g_reentered) {
    double used = 0;
    g_reentry = g_reentered->IsNameUsed(Bstr(u"x").Get(), &used);
  }
  return -1;  // asks to stop, which a listing ignores
}

class ListingTest : public ScannerTest {
 protected:
  void SetUp() override {
    ScannerTest::SetUp();
    g_hits.clear();
    g_reentered = nullptr;
    auto& drive = Drive('A');
    drive.SetSizes(1457664, 1024);
    const fs::path m = Medium('A');
    WriteFile(m / "b.txt", 2048);
    WriteFile(m / "A.txt", 0);
    WriteFile(m / "Folder" / "inner.dat", 1);
    WriteFile(m / "Folder" / "Sub" / "deep.dat", 1025);
    WriteFile(m / "apple" / "x", 3);
    SetMtime(m / "b.txt", 946684800);  // 2000-01-01 00:00 UTC
    scanner_->put_DiskType(Bstr(u"Floppy Disk").Get());
    DWORD spc = 0, bps = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("A:\\", &spc, &bps, &freeClusters, &clusters));
    capacityKB_ = std::to_string((std::uint64_t{spc} * bps * clusters + 1023) / 1024);
  }
  std::string Start(const std::string& path = "A:\\") const { return path + " " + capacityKB_ + " Floppy Disk"; }
  std::string capacityKB_;
  std::vector<std::string> Listed(SHORT srchType, const char16_t* path = u"A:\\") {
    g_hits.clear();
    xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &Collect);
    EXPECT_EQ(scanner_->DisplayDirectoryFiles(Bstr(path).Get(), srchType, token.value()), S_OK);
    std::vector<std::string> out;
    for (const Hit& h : g_hits) out.push_back(h.path + " " + std::to_string(h.kb) + " " + h.kind);
    return out;
  }
};

TEST_F(ListingTest, OrderSizesAndKinds) {
  const std::vector<std::string> all = {
      Start(),
      "A:\\apple 0 FOLDER",
      "A:\\apple\\x 1 FILE",
      "A:\\Folder 0 FOLDER",
      "A:\\Folder\\Sub 0 FOLDER",
      "A:\\Folder\\Sub\\deep.dat 2 FILE",
      "A:\\Folder\\inner.dat 1 FILE",
      "A:\\A.txt 0 FILE",
      "A:\\b.txt 2 FILE",
  };
  EXPECT_EQ(Listed(0), all);
  for (const Hit& h : g_hits) {
    EXPECT_EQ(h.serial, -1.0);
    EXPECT_TRUE(h.nullNote);
  }
  EXPECT_EQ(g_hits.back().date, *brevix::DateFromFields(2000, 1, 1, 0, 0, 0));
  // The file in the catalog stays as it was: nothing is written.
  EXPECT_TRUE(ReadCatalog(catalog_).empty());

  EXPECT_EQ(Listed(1), (std::vector<std::string>{Start(), "A:\\apple 0 FOLDER",
                                                 "A:\\Folder 0 FOLDER", "A:\\Folder\\Sub 0 FOLDER"}));
  EXPECT_EQ(Listed(2), (std::vector<std::string>{Start(), "A:\\apple 0 FOLDER",
                                                 "A:\\Folder 0 FOLDER", "A:\\A.txt 0 FILE", "A:\\b.txt 2 FILE"}));
  EXPECT_EQ(Listed(100), all);
  EXPECT_EQ(Listed(0, u"A:\\Folder"),
            (std::vector<std::string>{Start("A:\\Folder"), "A:\\Folder\\Sub 0 FOLDER",
                                      "A:\\Folder\\Sub\\deep.dat 2 FILE", "A:\\Folder\\inner.dat 1 FILE"}));
}

TEST_F(ListingTest, BadCallsAndReentry) {
  EXPECT_EQ(scanner_->DisplayDirectoryFiles(Bstr(u"A:\\").Get(), 0, 0), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(scanner_->DisplayDirectoryFiles(Bstr(u"A:\\").Get(), 0, 12345), STG_E_INVALIDPARAMETER);
  xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &Collect);
  EXPECT_EQ(scanner_->DisplayDirectoryFiles(Bstr(u"Q:\\").Get(), 0, token.value()),
            static_cast<HRESULT>(0x8007000Fu));
  EXPECT_TRUE(g_hits.empty());

  // A callback that calls back into the scanner is refused; the listing goes on.
  g_reentered = scanner_.Get();
  EXPECT_EQ(scanner_->DisplayDirectoryFiles(Bstr(u"A:\\").Get(), 0, token.value()), S_OK);
  EXPECT_EQ(g_reentry, STG_E_INUSE);
  EXPECT_EQ(g_hits.size(), 9u);
  g_reentered = nullptr;
  double used = 0;
  EXPECT_EQ(scanner_->IsNameUsed(Bstr(u"x").Get(), &used), S_OK);
}

}  // namespace
