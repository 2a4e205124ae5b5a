// The catalog fuzz target's walk over small catalogs made here (its seeds) and over its saved
// corpus of hostile ones. XENDORA_FUZZ_SEEDS=<folder> saves the seeds there for a fuzz run.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_support.h"
#include "catalogwalk.h"

using namespace testutil;

namespace {

// Seeds: catalogs that reach each part of the walk: disks, folders, files, notes, the
// long-name map (long, case-twin, reserved and refused names) and passwords.
void MakeSeeds(const TempDir& dir, std::vector<std::string>& out) {
  struct Seed {
    const char* file;
    void (*fill)(IOStorage*);
  } seeds[] = {
      {"empty.dkc", [](IOStorage*) {}},
      {"one-disk.dkc",
       [](IOStorage* doc) {
         EXPECT_EQ(Add(doc, u"", Disk(u"Disk A", 1.0, u"CD-ROM", 700000000, 0, u"a note")), S_OK);
         EXPECT_EQ(Add(doc, u"Disk A", Folder(u"docs", 300)), S_OK);
         EXPECT_EQ(Add(doc, u"Disk A/docs", File(u"readme.txt", 120, u"")), S_OK);
         EXPECT_EQ(Add(doc, u"Disk A/docs", File(u"caf\u00e9 \u4e2d.mp3", 180)), S_OK);
       }},
      {"long-names.dkc",
       [](IOStorage* doc) {
         EXPECT_EQ(Add(doc, u"", Disk(u"A disk name far longer than thirty-one units", 2.0)), S_OK);
         const std::u16string disk = u"A disk name far longer than thirty-one units";
         EXPECT_EQ(Add(doc, disk, Folder(u"Case")), S_OK);
         EXPECT_EQ(Add(doc, disk, Folder(u"CASE")), S_OK);
         EXPECT_EQ(Add(doc, disk, File(u"I_T_E_M_")), S_OK);
         EXPECT_EQ(Add(doc, disk, File(u"a:b!c")), S_OK);
         EXPECT_EQ(Add(doc, disk + u"/Case", File(u"a file name well past the thirty-one unit limit.txt", 5)), S_OK);
         EXPECT_EQ(doc->SetPasswords(Bstr(u"master").Get(), Bstr(u"user").Get()), S_OK);
       }},
  };
  for (const Seed& s : seeds) {
    const std::string path = dir.File(s.file);
    ComPtr<IOStorageInternal> doc = NewDoc();
    ASSERT_EQ(doc->LoadDoc(Bstr(xcom::Utf8ToUtf16(path)).Get()), S_OK);
    s.fill(doc.Get());
    ASSERT_EQ(doc->CloseDoc(0), S_OK);
    out.push_back(path);
  }
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(FuzzCorpus, SeedCatalogsWalk) {
  TempDir dir;
  std::vector<std::string> seeds;
  MakeSeeds(dir, seeds);
  const char* save = std::getenv("XENDORA_FUZZ_SEEDS");
  for (const std::string& seed : seeds) {
    const std::vector<std::uint8_t> bytes = ReadAll(seed);
    brevixfuzz::RunOne(bytes.data(), bytes.size());
    if (save) {
      std::filesystem::create_directories(save);
      std::filesystem::copy_file(seed, std::filesystem::path(save) / std::filesystem::path(seed).filename(),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
}

TEST(FuzzCorpus, SavedInputsWalk) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_DIR)) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<std::uint8_t> bytes = ReadAll(entry.path());
    brevixfuzz::RunOne(bytes.data(), bytes.size());
    ++n;
  }
  EXPECT_GT(n, 0);
}
