// Files we did not write: version 4 files, files with unbalanced sibling trees, and corrupt
// or hostile files, which give a status value and never a crash, a hang or a runaway
// allocation. The fuzz target's saved corpus runs here too.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "docfile.h"
#include "rawfile.h"
#include "test_support.h"
#include "walk.h"

using namespace cfbtest;

namespace {

void Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// root, "a" (mini), "b" (whole sectors), storage "s" holding "c". Sectors: FAT 0, directory
// 1-2, mini FAT 3, mini stream 4, "b" 5-14.
std::vector<RawEntry> SmallTree() {
  std::vector<RawEntry> e(5);
  e[0] = {u"Root Entry", 5};
  e[0].child = 2;
  e[1] = {u"a", 2};
  e[1].data = std::string(100, 'a');
  e[2] = {u"b", 2};
  e[2].data = std::string(5000, 'b');
  e[2].left = 1;
  e[2].right = 3;
  e[3] = {u"s", 1};
  e[3].child = 4;
  e[4] = {u"c", 2};
  e[4].data = "cc";
  return e;
}

HRESULT TryCreate(IStorage* root) {
  Ptr<IStream> s;
  return root->CreateStream(u"more", kCreateStream, 0, 0, s.out());
}

std::string OleCheck(const std::string& file) {
  std::string cmd = "/usr/bin/python3 " CFB_TEST_DIR "/olecheck.py --trees '" + file + "' >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0 ? "valid" : "invalid";
}

}  // namespace

TEST(Foreign, RawBuilderMakesWhatOlefileReads) {
  TempDir dir;
  Save(dir.file("small.cfb"), BuildRaw(3, SmallTree()));
  EXPECT_EQ(OleCheck(dir.file("small.cfb")), "valid");
  EXPECT_EQ(DumpFile(dir.file("small.cfb")),
            (std::map<std::string, std::string>{
                {"a", std::string(100, 'a')}, {"b", std::string(5000, 'b')}, {"s/", ""}, {"s/c", "cc"}}));
}

TEST(Foreign, VersionFourFilesReadAndChange) {
  TempDir dir;
  std::string f = dir.file("v4.cfb");
  Save(f, BuildRaw(4, SmallTree()));
  auto expect = DumpFile(f);
  ASSERT_EQ(expect.at("b"), std::string(5000, 'b'));
  {
    Ptr<IStorage> root = Open(f);
    PutStream(root.get(), "a", std::string(9000, 'A'));  // from the mini stream to whole sectors
    ASSERT_EQ(root->DestroyElement(u"b"), S_OK);
    Ptr<IStorage> s = SubStorage(root.get(), "s", false);
    for (int i = 0; i < 200; ++i) PutStream(s.get(), "n" + std::to_string(i), std::string(i * 13, 'n'));
  }
  expect.erase("b");
  expect["a"] = std::string(9000, 'A');
  for (int i = 0; i < 200; ++i) expect["s/n" + std::to_string(i)] = std::string(i * 13, 'n');
  EXPECT_EQ(DumpFile(f), expect);
  EXPECT_EQ(OleCheck(f), "valid");
}

TEST(Foreign, UnbalancedTreesOpenAndAreMendedOnWrite) {
  // 300 siblings linked as one right-leaning list, as some writers leave them.
  std::vector<RawEntry> e(301);
  e[0] = {u"Root Entry", 5};
  e[0].child = 1;
  std::vector<std::string> names;
  for (int i = 1; i <= 300; ++i) {
    char n[16];
    std::snprintf(n, sizeof n, "e%03d", i);  // equal lengths: in order as numbered
    e[i] = {U(n), 2};
    e[i].data = n;
    e[i].right = i < 300 ? static_cast<std::uint32_t>(i + 1) : kNone;
    names.push_back(n);
  }
  TempDir dir;
  std::string f = dir.file("list.cfb");
  Save(f, BuildRaw(3, e));
  EXPECT_EQ(OleCheck(f), "invalid");  // not a red-black tree
  {
    Ptr<IStorage> ro = Open(f, kOpenRead);
    for (const std::string& n : names) ASSERT_EQ(GetStream(ro.get(), n), n);
    EXPECT_EQ(List(ro.get()).size(), 300u);
  }
  {
    Ptr<IStorage> root = Open(f);
    ASSERT_EQ(GetStream(root.get(), "e300"), "e300");
    ASSERT_EQ(root->DestroyElement(u"e150"), S_OK);
    PutStream(root.get(), "e000", "new");
  }
  EXPECT_EQ(OleCheck(f), "valid");
  auto tree = DumpFile(f);
  EXPECT_EQ(tree.size(), 300u);
  EXPECT_EQ(tree.at("e000"), "new");
  EXPECT_FALSE(tree.count("e150"));
}

// A listing checks its storage's tree for cycles; what one listing saw, sound or not, must
// not count against the next.
TEST(Foreign, ListingsCheckEachTreeAfresh) {
  TempDir dir;
  std::string f = dir.file("shared.cfb");
  std::vector<RawEntry> shared = SmallTree();
  shared[3].child = 1;  // "s" holds "a", which the root holds too
  Save(f, BuildRaw(3, shared));
  {
    Ptr<IStorage> root = Open(f);
    Ptr<IStorage> s = SubStorage(root.get(), "s", false);
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(List(root.get()).size(), 3u);
      ASSERT_EQ(List(s.get()).size(), 1u);
      EXPECT_EQ(List(s.get())[0].name, "a");
    }
  }
  std::vector<RawEntry> looped = SmallTree();
  looped[4].right = 4;  // "c" is its own sibling
  Save(f, BuildRaw(3, looped));
  Ptr<IStorage> root = Open(f);
  Ptr<IStorage> s = SubStorage(root.get(), "s", false);
  for (int round = 0; round < 2; ++round) {
    Ptr<IEnumSTATSTG> e;
    EXPECT_EQ(s->EnumElements(0, nullptr, 0, e.out()), STG_E_DOCFILECORRUPT);
    EXPECT_EQ(List(root.get()).size(), 3u);
  }
}

TEST(Foreign, CorruptFilesGiveStatusValues) {
  struct Case {
    const char* what;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    HRESULT expect;
  };
  auto le = [](std::uint32_t v) {
    return std::vector<std::uint8_t>{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
  };
  const std::size_t entry0 = 2 * 512, entry4 = 3 * 512, fat = 512;
  const Case cases[] = {
      {"signature", 0, {'X', 'X'}, STG_E_FILEALREADYEXISTS},
      {"byte order", 28, {0, 0}, STG_E_INVALIDHEADER},
      {"sector shift", 30, {10, 0}, STG_E_INVALIDHEADER},
      {"mini cutoff", 56, le(512), STG_E_INVALIDHEADER},
      {"huge FAT count", 44, le(0x00FFFFFF), STG_E_INVALIDHEADER},
      {"huge DIFAT count", 72, le(0x00FFFFFF), STG_E_INVALIDHEADER},
      {"FAT sector out of range", 76, le(0x7FFFFF), STG_E_INVALIDHEADER},
      {"directory out of range", 48, le(0x7FFFFFF0), STG_E_INVALIDHEADER},
      {"directory chain loops", fat + 4 * 1, le(1), STG_E_DOCFILECORRUPT},
      {"root of another type", entry0 + 66, {1}, STG_E_DOCFILECORRUPT},
      {"mini stream past the end", entry0 + 120, le(0x10000000), STG_E_DOCFILECORRUPT},
      {"child out of range", entry0 + 76, le(1000), STG_E_DOCFILECORRUPT},
      {"child is the root", entry0 + 3 * 128 + 76, le(0), STG_E_DOCFILECORRUPT},
      {"sibling is itself", entry0 + 128 + 68, le(1), STG_E_DOCFILECORRUPT},
      {"name length", entry0 + 128 + 64, {200, 0}, STG_E_DOCFILECORRUPT},
      {"stream size past the end", entry0 + 2 * 128 + 120, le(0x7FFFFFFF), STG_E_DOCFILECORRUPT},
      {"chain ends early", fat + 4 * 8, le(0xFFFFFFFE), STG_E_DOCFILECORRUPT},
      {"chain into free space", fat + 4 * 8, le(0xFFFFFFFF), STG_E_DOCFILECORRUPT},
      {"chain out of range", fat + 4 * 8, le(0x00FFFFFF), STG_E_DOCFILECORRUPT},
      {"mini chain out of range", 4 * 512, le(0x00FFFFFF), STG_E_DOCFILECORRUPT},
      {"stream in a free entry", entry4 + 66, {0}, STG_E_DOCFILECORRUPT},
  };
  TempDir dir;
  const std::vector<std::uint8_t> good = BuildRaw(3, SmallTree());
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bad = good;
    std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(c.offset));
    std::string f = dir.file("bad.cfb");
    Save(f, bad);
    EXPECT_EQ(cfbfuzz::Walk(f, false), c.expect) << c.what;
    Save(f, bad);
    EXPECT_TRUE(FAILED(cfbfuzz::Walk(f, true))) << c.what;
  }
  std::string f = dir.file("cut.cfb");
  Save(f, std::vector<std::uint8_t>(good.begin(), good.begin() + 1100));  // cut inside the directory
  EXPECT_EQ(cfbfuzz::Walk(f, false), STG_E_DOCFILECORRUPT);
}

// Another program's rewrite in place of a version 3 file, keeping its length, its header and
// where each chain starts: the other sectors of one chain hold their contents in the reverse
// order, and the FAT says so.
enum class Rewritten { Directory, MiniStream };
void ReverseChain(std::vector<std::uint8_t>& f, Rewritten which) {
  auto get32 = [&](std::size_t off) {
    return std::uint32_t{f[off]} | std::uint32_t{f[off + 1]} << 8 | std::uint32_t{f[off + 2]} << 16 |
           std::uint32_t{f[off + 3]} << 24;
  };
  auto put32 = [&](std::size_t off, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) f[off + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  auto sec = [](std::uint32_t s) { return static_cast<std::size_t>(s + 1) * 512; };
  ASSERT_LE(get32(44), 109u);  // the FAT's places are all in the header
  auto fatAt = [&](std::uint32_t s) { return sec(get32(76 + 4 * (s / 128))) + 4 * (s % 128); };
  const std::size_t startAt = which == Rewritten::Directory ? 48 : sec(get32(48)) + 116;  // the root's start
  std::vector<std::uint32_t> chain;
  for (std::uint32_t s = get32(startAt); s < 0xFFFFFFFA; s = get32(fatAt(s))) chain.push_back(s);
  ASSERT_GT(chain.size(), 2u);
  const std::vector<std::uint8_t> old(f);
  const std::vector<std::uint32_t> tail(chain.begin() + 1, chain.end());
  const std::size_t m = tail.size();
  put32(fatAt(chain[0]), tail[m - 1]);
  for (std::size_t k = 0; k < m; ++k) {
    std::memcpy(f.data() + sec(tail[m - 1 - k]), old.data() + sec(tail[k]), 512);
    put32(fatAt(tail[m - 1 - k]), k + 1 < m ? tail[m - 2 - k] : 0xFFFFFFFE);
  }
}

TEST(Foreign, AFileRewrittenInPlaceIsReadAsItIsNow) {
  for (Rewritten which : {Rewritten::Directory, Rewritten::MiniStream}) {
    SCOPED_TRACE(which == Rewritten::Directory ? "directory" : "mini stream");
    TempDir dir;
    const std::string f = dir.file("rewritten.cfb");
    {
      // Streams and the directory grow in turns, so that their chains interleave.
      Ptr<IStorage> root = Create(f);
      for (int i = 0; i < 400; ++i) {
        const std::string name = "s" + std::to_string(1000 + i).substr(1);
        PutStream(root.get(), name, std::string(100 + i % 7, static_cast<char>('a' + i % 26)));
      }
    }
    const auto before = DumpFile(f);  // every chain followed to its end
    ASSERT_EQ(before.size(), 400u);
    ASSERT_EQ(DumpFile(f), before);  // and read again as it was
    std::vector<std::uint8_t> bytes;
    {
      std::ifstream in(f, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::size_t length = bytes.size();
    ReverseChain(bytes, which);
    {
      std::fstream io(f, std::ios::binary | std::ios::in | std::ios::out);  // the same file, in place
      io.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ASSERT_EQ(std::filesystem::file_size(f), length);
    EXPECT_EQ(OleCheck(f), "valid");
    EXPECT_EQ(DumpFile(f), before);
  }
}

TEST(Foreign, FuzzCorpus) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CFB_TEST_DIR "/fuzz_corpus")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    cfbfuzz::RunOne(data.data(), data.size());
    ++n;
  }
  EXPECT_GT(n, 0u);
}

TEST(Foreign, FailedCopyLeavesTheNewTargetEmpty) {
  TempDir dir;
  std::vector<std::uint8_t> bad = BuildRaw(3, SmallTree());
  const std::uint8_t endOfChain[4] = {0xFE, 0xFF, 0xFF, 0xFF};
  std::copy(endOfChain, endOfChain + 4, bad.begin() + 512 + 4 * 8);  // "b" ends half-way
  std::string src = dir.file("broken.cfb"), dst = dir.file("backup.dkc");
  Save(src, bad);
  {
    Ptr<IStorage> from = Open(src, kOpenRead);
    Ptr<IStorage> to = Create(dst);
    EXPECT_EQ(from->CopyTo(0, nullptr, nullptr, to.get()), STG_E_DOCFILECORRUPT);
    EXPECT_TRUE(List(to.get()).empty());
    PutStream(to.get(), "still", "usable");
  }
  EXPECT_EQ(DumpFile(dst), (std::map<std::string, std::string>{{"still", "usable"}}));
  // A storage cannot be copied into itself or below itself.
  Ptr<IStorage> root = Create(dir.file("self.dkc"));
  Ptr<IStorage> sub = SubStorage(root.get(), "sub", true);
  EXPECT_EQ(root->CopyTo(0, nullptr, nullptr, sub.get()), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->CopyTo(0, nullptr, nullptr, root.get()), STG_E_ACCESSDENIED);
}

TEST(Foreign, ASessionBrokenByCorruptionLeavesTheFileAsItWas) {
  // Much is written (and, with a small budget, written out early) before the session meets a
  // chain that leaves the file half-way through a change: nothing of it reaches the file.
  TempDir dir;
  std::vector<std::uint8_t> bad = BuildRaw(3, SmallTree());
  const std::uint8_t outOfRange[4] = {0xFF, 0xFF, 0xFF, 0x00};
  std::copy(outOfRange, outOfRange + 4, bad.begin() + 512 + 4 * 8);
  std::string f = dir.file("broken.cfb");
  Save(f, bad);
  cfb::Docfile::SetDirtyBudget(16 << 10);
  {
    Ptr<IStorage> root = Open(f);
    Ptr<IStorage> sub = SubStorage(root.get(), "s", false);
    for (int i = 0; i < 100; ++i) PutStream(sub.get(), "n" + std::to_string(i), std::string(3000, 'n'));
    sub.reset();
    EXPECT_EQ(root->DestroyElement(u"b"), STG_E_DOCFILECORRUPT);
    EXPECT_EQ(TryCreate(root.get()), STG_E_DOCFILECORRUPT);  // the session stays refused
  }
  cfb::Docfile::SetDirtyBudget(128u << 20);
  std::ifstream in(f, std::ios::binary);
  std::vector<std::uint8_t> after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(after == bad);
  EXPECT_FALSE(std::filesystem::exists(f + "-journal"));
}

TEST(Foreign, EarlyWritesOfALargeSession) {
  TempDir dir;
  std::string f = dir.file("large.dkc");
  cfb::Docfile::SetDirtyBudget(32 << 10);
  std::map<std::string, std::string> expect;
  {
    Ptr<IStorage> root = Create(f);
    for (int d = 0; d < 5; ++d) {
      Ptr<IStorage> disk = SubStorage(root.get(), "d" + std::to_string(d), true);
      for (int i = 0; i < 150; ++i) {
        std::string data(i * 41 % 7000, char('a' + (i + d) % 26));
        PutStream(disk.get(), "f" + std::to_string(i), data);
        expect["d" + std::to_string(d) + "/f" + std::to_string(i)] = data;
      }
      expect["d" + std::to_string(d) + "/"] = "";
    }
    ASSERT_EQ(root->DestroyElement(u"d2"), S_OK);
  }
  cfb::Docfile::SetDirtyBudget(128u << 20);
  for (auto it = expect.begin(); it != expect.end();) it = it->first.rfind("d2/", 0) == 0 ? expect.erase(it) : std::next(it);
  EXPECT_EQ(DumpFile(f), expect);
  EXPECT_EQ(OleCheck(f), "valid");
}
