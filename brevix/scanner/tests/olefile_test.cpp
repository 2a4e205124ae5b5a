// A catalog written by adding and updating a disk, read back by an independent compound-file
// reader (python3-olefile): it finds a stream for every item, and each decodes to the record
// the catalog document reads.
#include <cstdlib>

#include "catalogformat.h"
#include "test_support.h"

using namespace scanner_test;

namespace {

std::vector<BYTE> FromHex(const std::string& hex) {
  std::vector<BYTE> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// Stream path ("Disk/A/f.txt") to its bytes, as the independent reader lists them into a file.
std::map<std::string, std::vector<BYTE>> DumpWithOlefile(const std::string& file, const fs::path& out) {
  const std::string cmd = "/usr/bin/python3 " DUMP_SCRIPT " '" + file + "' > '" + out.string() + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  std::map<std::string, std::vector<BYTE>> streams;
  std::ifstream in(out);
  for (std::string line; std::getline(in, line);) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos && line[tab - 1] != '/') streams[line.substr(0, tab)] = FromHex(line.substr(tab + 1));
  }
  return streams;
}

TEST_F(ScannerTest, TheCatalogReadsTheSameByAnIndependentReader) {
  Drive('E');
  const fs::path m = Medium('E');
  WriteFile(m / "top.txt", 10);
  WriteFile(m / "A" / "f.txt", 300);
  WriteFile(m / "A" / "B" / "g.bin", 5000);
  ASSERT_EQ(Add('E', "Disk", 42, 0, nullptr, u"CAT       | "), S_OK);
  WriteFile(m / "A" / "new.txt", 1);
  fs::remove(m / "top.txt");
  ASSERT_EQ(Update('E'), S_OK);

  const Catalog cat = ReadCatalog(catalog_);
  const auto ole = DumpWithOlefile(catalog_, tmp_ / "dump.txt");
  ASSERT_FALSE(ole.empty());

  brevix::CatalogHeader header;
  ASSERT_EQ(brevix::DecodeHeader(ole.at("J_R_X_").data(), ole.at("J_R_X_").size(), header), S_OK);
  EXPECT_EQ(header.baseSerialNum, 42.0);

  size_t records = 0;
  for (const auto& [path, bytes] : ole) {
    if (path == "J_R_X_") continue;
    const bool own = path.size() > 9 && path.compare(path.size() - 9, 9, "/I_T_E_M_") == 0;
    const std::string item = own ? path.substr(0, path.size() - 9) : path;
    ASSERT_EQ(cat.count(item), 1u) << path;
    ItemRecord r;
    r.kind = cat.at(item).kind;
    ASSERT_EQ(brevix::DecodeItemRecord(bytes.data(), bytes.size(), r), S_OK) << path;
    EXPECT_EQ(r.Size(), cat.at(item).size) << path;
    EXPECT_EQ(FileTimeToU64(r.timeA), FileTimeToU64(cat.at(item).timeA)) << path;
    EXPECT_EQ(r.note, cat.at(item).note) << path;
    ++records;
  }
  EXPECT_EQ(records, cat.size());
  EXPECT_EQ(cat.count("Disk/top.txt"), 0u);
  EXPECT_EQ(cat.at("Disk/A").size, 5301u);
}

}  // namespace
