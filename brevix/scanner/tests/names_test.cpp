// Names read from a disk that are not text: a byte that is not UTF-8 is kept as a lone
// surrogate, so the catalog stores such names through its long-name maps. Every directory
// entry then reads as UTF-16 in an independent compound-file reader (python3-olefile), and the
// catalog lists, finds and updates the names as the disk has them.
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "test_support.h"

using namespace scanner_test;

namespace {

// Runs one of the reader scripts over `file` and gives its output.
std::string RunScript(const char* script, const std::string& file, const fs::path& out) {
  const std::string cmd = std::string("/usr/bin/python3 ") + script + " '" + file + "' > '" + out.string() + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The entry lines of a catalog ("ok\tpath" or "bad\tpath") as the independent reader finds them.
std::vector<std::string> EntryLines(const std::string& file, const fs::path& out) {
  std::vector<std::string> lines;
  std::istringstream text(RunScript(ENTRY_NAMES_SCRIPT, file, out));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

// Every stream below the disk's own record with its bytes, as the independent reader lists them.
std::string StreamsBelowTheDisk(const std::string& file, const fs::path& out) {
  std::istringstream text(RunScript(DUMP_SCRIPT, file, out));
  std::string kept;
  for (std::string line; std::getline(text, line);) {
    if (line.starts_with("J_R_X_\t") || line.starts_with("Disk/I_T_E_M_\t")) continue;
    kept += line + "\n";
  }
  return kept;
}

std::vector<std::pair<std::string, std::string>>* g_hits = nullptr;
LONG CollectHit(BSTR folderPath, ItemRecord* r, LONG) {
  g_hits->emplace_back(N(xcom::BstrView(folderPath)), N(r->name));
  return 0;
}

// The hits (folder, name) of a name search over the whole catalog.
std::vector<std::pair<std::string, std::string>> Search(const std::string& catalog, const std::string& pattern) {
  std::vector<std::pair<std::string, std::string>> hits;
  ComPtr<IOStorageInternal> doc;
  EXPECT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  EXPECT_EQ(doc->LoadDoc(Bstr(U(catalog)).Get()), S_OK);
  xcom::ScopedToken token(xcom::TokenKind::ItemRecordCallback, &CollectHit);
  g_hits = &hits;
  EXPECT_EQ(doc->FindItem(nullptr, Bstr(U(pattern)).Get(), nullptr, 0, 0, 0, 0, -token.value()), S_OK);
  g_hits = nullptr;
  doc->CloseDoc(0);
  std::sort(hits.begin(), hits.end());
  return hits;
}

// The record of `name` in the catalog folder at `path`, reached by the path walk.
HRESULT ItemAt(const std::string& catalog, const std::string& path, const std::string& name, LONG kind, ItemRecord& out,
               const brevix::CountedString* newNote = nullptr) {
  ComPtr<IOStorageInternal> doc;
  EXPECT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  EXPECT_EQ(doc->LoadDoc(Bstr(U(catalog)).Get()), S_OK);
  HRESULT hr = doc->SetCurrentFolder(Bstr(U(path)).Get(), FOLDER_PATH);
  out = ItemRecord{};
  out.name = U(name);
  out.kind = kind;
  if (SUCCEEDED(hr)) hr = doc->GetItemInfo(nullptr, &out);
  if (SUCCEEDED(hr) && newNote) {
    out.note = *newNote;
    hr = doc->SetItemInfo(nullptr, &out);
  }
  HRESULT closed = doc->CloseDoc(0);
  return FAILED(hr) ? hr : closed;
}

TEST_F(ScannerTest, NamesThatAreNotTextAreStoredThroughTheLongNameMap) {
  Drive('E');
  const fs::path m = Medium('E');
  const std::string cafe = "caf\xFF.txt", folder = "dir\xFE", inner = "in\xFF\xFE.bin", overlong = "sub\xC0\xAF";
  const std::string longStray = std::string(40, 'l') + "\xFF";
  WriteFile(m / cafe, 10);
  WriteFile(m / folder / inner, 300);
  WriteFile(m / folder / overlong / "deep.txt", 5);
  WriteFile(m / longStray, 2);
  WriteFile(m / "plain.txt", 1);
  ASSERT_EQ(Add('E', "Disk", 42), S_OK);

  // Every entry is text for another reader.
  const std::vector<std::string> entries = EntryLines(catalog_, tmp_ / "entries.txt");
  EXPECT_GE(entries.size(), 12u);
  for (const std::string& e : entries) EXPECT_TRUE(e.starts_with("ok\t")) << e;

  // The listing has the names as the disk has them.
  const Catalog cat = ReadCatalog(catalog_);
  for (const std::string& p :
       {"Disk/" + cafe, "Disk/" + folder, "Disk/" + folder + "/" + inner, "Disk/" + folder + "/" + overlong,
        "Disk/" + folder + "/" + overlong + "/deep.txt", "Disk/" + longStray, std::string("Disk/plain.txt")}) {
    EXPECT_EQ(cat.count(p), 1u) << p;
  }
  EXPECT_EQ(cat.size(), 8u);
  EXPECT_EQ(cat.at("Disk/" + folder).size, 305u);

  // The search finds them by the byte they hold; a path walks through them.
  using Hits = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Search(catalog_, "*\xFF*"), (Hits{{"Disk", cafe}, {"Disk", longStray}, {"Disk\\" + folder, inner}}));
  ItemRecord r;
  ASSERT_EQ(ItemAt(catalog_, "Disk/" + folder + "/" + overlong, "deep.txt", ItemFile, r), S_OK);
  EXPECT_EQ(r.Size(), 5u);
  const brevix::CountedString note(u"the note");
  ASSERT_EQ(ItemAt(catalog_, "Disk", cafe, ItemFile, r, &note), S_OK);

  // An update of the unchanged disk matches every name and changes nothing below the disk.
  const Catalog noted = ReadCatalog(catalog_);
  const std::string before = StreamsBelowTheDisk(catalog_, tmp_ / "before.txt");
  EXPECT_NE(before.find("N_~~LNG"), std::string::npos);
  ASSERT_EQ(Update('E'), S_OK);
  EXPECT_EQ(StreamsBelowTheDisk(catalog_, tmp_ / "after.txt"), before);
  const Catalog after = ReadCatalog(catalog_);
  ASSERT_EQ(after.size(), noted.size());
  for (const auto& [path, item] : noted) {
    ASSERT_EQ(after.count(path), 1u) << path;
    EXPECT_EQ(after.at(path).size, item.size) << path;
    EXPECT_EQ(after.at(path).note, item.note) << path;
  }
  EXPECT_EQ(after.at("Disk/" + cafe).note, note);

  // A changed file is updated in place, a vanished one removed, a new one added.
  WriteFile(m / folder / inner, 400);
  fs::remove(m / longStray);
  WriteFile(m / folder / "new\xFF", 3);
  ASSERT_EQ(Update('E'), S_OK);
  const Catalog changed = ReadCatalog(catalog_);
  EXPECT_EQ(changed.at("Disk/" + folder + "/" + inner).size, 400u);
  EXPECT_EQ(changed.count("Disk/" + longStray), 0u);
  EXPECT_EQ(changed.count("Disk/" + folder + "/new\xFF"), 1u);
  EXPECT_EQ(changed.size(), 8u);
  for (const std::string& e : EntryLines(catalog_, tmp_ / "entries2.txt")) EXPECT_TRUE(e.starts_with("ok\t")) << e;
}

// A catalog written before held such a name as its own element name: the update still matches
// it (its note kept, no second item made).
TEST_F(ScannerTest, AnOlderCatalogsElementNamesThatAreNotTextStillMatch) {
  Drive('E');
  const fs::path m = Medium('E');
  const std::string old = "old\xE9";
  WriteFile(m / "first.txt", 1);
  ASSERT_EQ(Add('E', "Disk", 42), S_OK);
  WriteFile(m / old, 20);
  {
    ComPtr<IStorage> root, disk;
    ComPtr<IStream> s;
    const DWORD rw = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    const std::u16string path = U(catalog_), element = U(old);
    ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, rw, nullptr, 0, root.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(root->OpenStorage(u"Disk", nullptr, rw, nullptr, 0, disk.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(disk->CreateStream(element.c_str(), STGM_CREATE | rw, 0, 0, s.ReleaseAndGetAddressOf()), S_OK);
    const std::vector<BYTE> bytes =
        brevix::EncodeItemRecord(brevix::MakeItemRecord(element, u"older note", 0, 7, u"", {}, {}, ItemFile, 0));
    ASSERT_EQ(s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
  }
  ASSERT_EQ(Update('E'), S_OK);
  const Catalog cat = ReadCatalog(catalog_);
  EXPECT_EQ(cat.size(), 3u);
  ASSERT_EQ(cat.count("Disk/" + old), 1u);
  EXPECT_EQ(cat.at("Disk/" + old).size, 20u);
  EXPECT_EQ(cat.at("Disk/" + old).note, brevix::CountedString(u"older note"));
}

}  // namespace
