// The scan with its folders listed ahead on worker threads writes the same catalog as the scan
// that lists each folder when it gets there: the same storages and streams with the same bytes
// (records and long-name maps), for an add and for an update of a changed medium.
#include <sys/stat.h>

#include <thread>

#include "cfb.h"
#include "scanner_impl.h"
#include "test_support.h"

using namespace scanner_test;

namespace {

// Every storage and stream of a compound file with its bytes, as an independent reader lists them.
std::string DumpText(const std::string& file, const fs::path& out) {
  const std::string cmd = "/usr/bin/python3 " DUMP_SCRIPT " '" + file + "' > '" + out.string() + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ReadAheadTest : public ScannerTest {
 protected:
  // A tree of a few hundred folders with long, non-ASCII and case-twin names, empty files,
  // links and a deep chain (the read-ahead bounds themselves are walked in the volumes tests).
  void BuildTree(const fs::path& m) {
    for (int t = 0; t < 24; ++t) {
      const fs::path top = m / ("Top folder " + std::to_string(t) + (t % 3 ? "" : " with a name longer than 31 units"));
      for (int s = 0; s < 14; ++s) {
        const fs::path sub = top / (s % 4 == 0 ? "Ünïcödé ordner " + std::to_string(s) : "sub" + std::to_string(s));
        fs::create_directories(sub);
        for (int f = 0; f < 6; ++f) WriteFile(sub / ("file " + std::to_string(f) + ".dat"), 1 + f * 100 + s);
        WriteFile(sub / "An evidently rather long file name, past 31 units.txt", 7);
        WriteFile(sub / "empty", 0);
      }
      WriteFile(top / "Twin.txt", 3);
      WriteFile(top / "twin.TXT", 4);
      fs::create_symlink("sub1", top / "link to sub1");
    }
    fs::path deep = m;
    for (int d = 0; d < 40; ++d) {
      deep /= "level " + std::to_string(d);
      fs::create_directories(deep);
      WriteFile(deep / "here.bin", 1000 + d);
    }
    for (int f = 0; f < 100; ++f) WriteFile(m / ("root file " + std::to_string(f)), 10 + f);
  }

  // Scans the medium of `letter` into the disk "Disk" of `catalog` (made first when adding).
  void Scan(const std::string& catalog, char letter, brevix::ScanMode mode, unsigned readAhead) {
    ComPtr<IOStorageInternal> doc;
    ASSERT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
    ASSERT_EQ(doc->LoadDoc(Bstr(U(catalog)).Get()), S_OK);
    ASSERT_EQ(doc->SetCurrentFolder(nullptr, FOLDER_ROOT), S_OK);
    if (mode == brevix::ScanMode::Add) {
      ItemRecord disk = brevix::MakeItemRecord(u"Disk", std::nullopt, 0, 1000, u"Zip Disk", {}, {}, ItemDisk, 7.0);
      ASSERT_EQ(doc->AddItem(nullptr, Bstr(u"Disk").Get(), &disk), S_OK);
    } else {
      ASSERT_EQ(doc->SetCurrentFolder(Bstr(u"Disk").Get(), FOLDER_CHILD), S_OK);
    }
    volumes::Folder top = volumes::Folder::Open(std::string(1, letter) + ":\\");
    ASSERT_TRUE(top.IsOpen());
    std::uint64_t total = 0;
    ASSERT_EQ(brevix::ScanTree(doc.Get(), std::move(top), mode, u"note", &total, readAhead), S_OK);
    totals_.push_back(total);
    ASSERT_EQ(doc->CloseDoc(1), S_OK);
  }

  std::vector<std::uint64_t> totals_;
};

TEST_F(ReadAheadTest, ListingAheadWritesTheCatalogOfTheFolderByFolderWalk) {
  Drive('W');
  const fs::path m = Medium('W');
  BuildTree(m);
  const std::string sequential = (tmp_ / "one-by-one.dkc").string(), ahead = (tmp_ / "ahead.dkc").string();
  Scan(sequential, 'W', brevix::ScanMode::Add, 0);
  Scan(ahead, 'W', brevix::ScanMode::Add, 4);
  const std::string added = DumpText(sequential, tmp_ / "a.txt");
  EXPECT_GT(added.size(), 10000u);
  EXPECT_NE(added.find("N_~~LNG"), std::string::npos);  // long names went through the maps
  EXPECT_EQ(DumpText(ahead, tmp_ / "b.txt"), added);

  // Changed files, new and vanished ones, a folder gone and one new: both update alike.
  for (int t = 0; t < 24; t += 5)
    SetMtime(m / ("Top folder " + std::to_string(t) + (t % 3 ? "" : " with a name longer than 31 units")) / "sub1" /
                 "file 2.dat",
             1600000000 + t);
  fs::remove_all(m / "Top folder 4" / "sub2");
  WriteFile(m / "Top folder 7" / "sub3" / "new one.txt", 55);
  WriteFile(m / "Top folder 8" / "A new folder" / "inside.txt", 66);
  fs::remove(m / "root file 3");
  Scan(sequential, 'W', brevix::ScanMode::Update, 0);
  Scan(ahead, 'W', brevix::ScanMode::Update, 3);
  const std::string updated = DumpText(sequential, tmp_ / "c.txt");
  EXPECT_NE(updated, added);
  EXPECT_EQ(DumpText(ahead, tmp_ / "d.txt"), updated);
  ASSERT_EQ(totals_.size(), 4u);
  EXPECT_EQ(totals_[0], totals_[1]);
  EXPECT_EQ(totals_[2], totals_[3]);
}

// A walk that meets a failure stops reading ahead below the folders it leaves: the scan of a
// medium whose folders keep vanishing still answers, and lists nothing it never entered.
TEST_F(ReadAheadTest, FoldersThatVanishWhileListedAheadAreScannedAsTheWalkFindsThem) {
  Drive('V');
  const fs::path m = Medium('V');
  BuildTree(m);
  const std::string ahead = (tmp_ / "ahead.dkc").string();
  std::thread remover([&] {
    for (int t = 0; t < 24; ++t) {
      std::error_code ec;
      fs::remove_all(m / ("Top folder " + std::to_string(t)), ec);
    }
  });
  Scan(ahead, 'V', brevix::ScanMode::Add, 4);
  remover.join();
  const Catalog cat = ReadCatalog(ahead);
  EXPECT_EQ(cat.count("Disk/root file 0"), 1u);
}

}  // namespace
