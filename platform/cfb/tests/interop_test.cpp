// Our files as independent implementations see them, and theirs as we see them: python3's
// olefile lists and reads back every storage and stream we write, with identical bytes and
// red-black sibling trees; a file written by libgsf's "gsf createole" opens and reads here,
// and stays readable by olefile after we change it.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "fileio.h"
#include "names.h"
#include "test_support.h"
#include "unicode.h"

using namespace cfbtest;

namespace {

std::string Shell(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = ::pclose(p);
  return out;
}

std::string OleCheck(const std::string& file, bool trees) {
  int status = -1;
  std::string out = Shell("/usr/bin/python3 " CFB_TEST_DIR "/olecheck.py " + std::string(trees ? "--trees " : "") +
                            "'" + file + "' 2>&1",
                        &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

// Our own listing in the script's form.
void Describe(IStorage* stg, const std::string& prefix, std::vector<std::string>& out) {
  Ptr<IEnumSTATSTG> e;
  ASSERT_EQ(stg->EnumElements(0, nullptr, 0, e.out()), S_OK);
  STATSTG st;
  ULONG n;
  while (e->Next(1, &st, &n) == S_OK) {
    std::string name = prefix + unicode::Utf16ToUtf8(st.pwcsName, unicode::Policy::kStrict);
    std::u16string wide = st.pwcsName;
    std::free(st.pwcsName);
    if (st.type == STGTY_STORAGE) {
      out.push_back(name + "/ storage");
      Ptr<IStorage> sub;
      ASSERT_EQ(stg->OpenStorage(wide.c_str(), nullptr, kOpenRead, nullptr, 0, sub.out()), S_OK);
      Describe(sub.get(), name + "/", out);
    } else {
      Ptr<IStream> s;
      ASSERT_EQ(stg->OpenStream(wide.c_str(), nullptr, kOpenRead, 0, s.out()), S_OK);
      std::string data(static_cast<std::size_t>(st.cbSize.QuadPart), '\0');
      ULONG got = 0;
      s->Read(data.data(), static_cast<ULONG>(data.size()), &got);
      ASSERT_EQ(got, data.size());
      char line[64];
      std::snprintf(line, sizeof line, " stream %zu %08x", data.size(), cfb::Crc32(data.data(), data.size()));
      out.push_back(name + line);
    }
  }
}

std::string OurListing(const std::string& file) {
  Ptr<IStorage> root = Open(file, kOpenRead);
  std::vector<std::string> lines;
  if (root) Describe(root.get(), "", lines);
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out + "OK\n";
}

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

}  // namespace

TEST(Interop, OlefileReadsWhatWeWrite) {
  TempDir dir;
  std::string f = dir.file("ours.dkc");
  std::mt19937 rng(1);
  const std::size_t sizes[] = {0, 1, 40, 64, 100, 4095, 4096, 4097, 20000, 70000};
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "J_R_X_", RandomBytes(rng, 24));
    for (int d = 0; d < 4; ++d) {
      Ptr<IStorage> disk = SubStorage(root.get(), "Disk " + std::to_string(d), true);
      PutStream(disk.get(), "I_T_E_M_", RandomBytes(rng, 60));
      for (int i = 0; i < 300; ++i)
        PutStream(disk.get(), "file" + std::to_string(i * 37 % 300), RandomBytes(rng, sizes[i % 10]));
      Ptr<IStorage> folder = SubStorage(disk.get(), "Photos", true);
      Ptr<IStream> s;
      ASSERT_EQ(folder->CreateStream(u"\u00e9t\u00e9 \u65e5\u672c", kCreateStream, 0, 0, s.out()), S_OK);
      ASSERT_EQ(s->Write("unicode", 7, nullptr), S_OK);
    }
  }
  EXPECT_EQ(OleCheck(f, true), OurListing(f));
  {
    // Changes in a later open: destroy, rename, grow, shrink.
    Ptr<IStorage> root = Open(f);
    ASSERT_EQ(root->DestroyElement(u"Disk 1"), S_OK);
    Ptr<IStorage> disk = SubStorage(root.get(), "Disk 2", false);
    for (int i = 0; i < 300; i += 2) {
      std::u16string n = U("file" + std::to_string(i));
      ASSERT_EQ(disk->DestroyElement(n.c_str()), S_OK);
    }
    for (int i = 1; i < 300; i += 6) {
      std::u16string from = U("file" + std::to_string(i)), to = U("renamed" + std::to_string(i));
      ASSERT_EQ(disk->RenameElement(from.c_str(), to.c_str()), S_OK);
    }
    for (int i = 3; i < 300; i += 10) PutStream(disk.get(), "file" + std::to_string(i), RandomBytes(rng, 5000 + i));
  }
  EXPECT_EQ(OleCheck(f, true), OurListing(f));
}

TEST(Interop, GsfFilesOpenAndChangeHere) {
  TempDir dir;
  std::mt19937 rng(2);
  std::filesystem::create_directories(dir.path() / "src/sub/deeper");
  std::map<std::string, std::string> files = {
      {"a.txt", "hello"}, {"sub/big.bin", RandomBytes(rng, 10000)}, {"sub/deeper/y", "x"}};
  for (int i = 0; i < 40; ++i) files["sub/n" + std::to_string(i)] = RandomBytes(rng, 50 * i);
  for (const auto& [p, data] : files) std::ofstream(dir.path() / "src" / p, std::ios::binary) << data;
  std::string f = dir.file("gsf.ole");
  int status = -1;
  std::string out = Shell("cd '" + (dir.path() / "src").string() + "' && gsf createole '" + f + "' a.txt sub 2>&1", &status);
  ASSERT_EQ(status, 0) << out;

  std::map<std::string, std::string> expect;
  for (const auto& [p, data] : files) expect[p] = data;
  expect["sub/"] = "";
  expect["sub/deeper/"] = "";
  EXPECT_EQ(DumpFile(f), expect);
  {
    Ptr<IStorage> root = Open(f);
    Ptr<IStorage> sub = SubStorage(root.get(), "sub", false);
    for (int i = 0; i < 40; i += 3) {
      std::u16string n = U("n" + std::to_string(i));
      ASSERT_EQ(sub->DestroyElement(n.c_str()), S_OK);
      expect.erase("sub/n" + std::to_string(i));
    }
    PutStream(sub.get(), "added", "by us");
    expect["sub/added"] = "by us";
  }
  EXPECT_EQ(DumpFile(f), expect);
  EXPECT_EQ(OleCheck(f, false), OurListing(f));
}
