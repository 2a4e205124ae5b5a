// The structured-storage contract as the catalog and the template store use it: names,
// replacing, missing elements, access and sharing, streams, enumeration, renaming,
// destroying, and the file's size under create/destroy cycles.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "namedcalls.h"
#include "test_support.h"
#include "unicode.h"

using namespace cfbtest;

namespace {

std::uintmax_t FileSize(const std::string& f) { return std::filesystem::file_size(f); }

HRESULT TryCreateStream(IStorage* stg, const std::u16string& name, DWORD mode = kCreateStream) {
  Ptr<IStream> s;
  return stg->CreateStream(name.c_str(), mode, 0, 0, s.out());
}

HRESULT TryOpenStream(IStorage* stg, const std::u16string& name, DWORD mode = kOpenRead) {
  Ptr<IStream> s;
  return stg->OpenStream(name.c_str(), nullptr, mode, 0, s.out());
}

std::string StatName(IStream* s) {
  STATSTG st{};
  EXPECT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  std::string n = A(st.pwcsName);
  std::free(st.pwcsName);
  return n;
}

}  // namespace

TEST(Names, RulesOfTheFormat) {
  struct Case {
    std::u16string name;
    HRESULT expect;
  } cases[] = {
      {std::u16string(31, u'a'), S_OK},
      {std::u16string(32, u'a'), STG_E_INVALIDNAME},
      {u"bang!", STG_E_INVALIDNAME},
      {u"c:", STG_E_INVALIDNAME},
      {u"a/b", STG_E_INVALIDNAME},
      {u"a\\b", STG_E_INVALIDNAME},
      {u"", STG_E_INVALIDNAME},
      {u"\u00e9t\u00e9 & co.", S_OK},
  };
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("names.dkc"));
  for (const Case& c : cases) {
    EXPECT_EQ(TryCreateStream(root.get(), c.name), c.expect) << A(c.name);
    Ptr<IStorage> sub;
    std::u16string storageName = c.name.empty() ? c.name : u"S" + c.name.substr(1);
    EXPECT_EQ(root->CreateStorage(storageName.c_str(), kCreateFile, 0, 0, sub.out()), c.expect) << A(c.name);
  }
  EXPECT_EQ(TryCreateStream(root.get(), std::u16string()), STG_E_INVALIDNAME);
  Ptr<IStream> s;
  EXPECT_EQ(root->CreateStream(nullptr, kCreateStream, 0, 0, s.out()), STG_E_INVALIDNAME);
}

// The calls over names held as strings answer as the container does, refuse a name holding
// a NUL (which would otherwise reach the file as the part before it), and read no further
// than the string's end.
TEST(Names, CallsOverNamesHeldAsStrings) {
  const std::u16string text = u"okay" + std::u16string(40, u'a');
  struct Case {
    std::u16string_view name;
    HRESULT expect;
  } cases[] = {
      {std::u16string_view(text).substr(0, 2), S_OK},  // "ok", not "okay..."
      {std::u16string_view(text).substr(0, 31), S_OK},
      {std::u16string_view(text).substr(0, 32), STG_E_INVALIDNAME},
      {std::u16string_view(u"a\0b", 3), STG_E_INVALIDNAME},
      {std::u16string_view(u"\0", 1), STG_E_INVALIDNAME},
      {std::u16string_view(), STG_E_INVALIDNAME},
  };
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("named.dkc"));
  for (const Case& c : cases) {
    const std::string label = A(std::u16string(c.name));
    // The storage's name: "S" and the name, one unit shorter where it would not fit otherwise.
    const std::u16string storage = u"S" + std::u16string(c.name.size() == 31 ? c.name.substr(1) : c.name);
    Ptr<IStream> s;
    Ptr<IStorage> st;
    EXPECT_EQ(cfb::CreateStreamNamed(root.get(), c.name, kCreateStream, s.out()), c.expect) << label;
    EXPECT_EQ(static_cast<bool>(s), c.expect == S_OK) << label;
    s.reset();
    EXPECT_EQ(cfb::OpenStreamNamed(root.get(), c.name, kOpenRead, s.out()), c.expect) << label;
    EXPECT_EQ(static_cast<bool>(s), c.expect == S_OK) << label;
    if (c.name.empty()) continue;
    EXPECT_EQ(cfb::CreateStorageNamed(root.get(), storage, kCreateFile, st.out()), c.expect) << label;
    st.reset();
    EXPECT_EQ(cfb::OpenStorageNamed(root.get(), storage, kOpenRW, st.out()), c.expect) << label;
    EXPECT_EQ(static_cast<bool>(st), c.expect == S_OK) << label;
  }
  std::vector<std::string> names;
  for (const Listed& l : List(root.get())) names.push_back(l.name);
  std::sort(names.begin(), names.end());
  const std::string a31 = "okay" + std::string(27, 'a');
  EXPECT_EQ(names, (std::vector<std::string>{"Skay" + std::string(27, 'a'), "Sok", "ok", a31}));
  EXPECT_FALSE(cfb::IsWholeName(std::u16string_view(u"a\0", 2)));
  EXPECT_TRUE(cfb::IsWholeName(u"a"));
}

TEST(Names, CaseInsensitiveWithStoredCase) {
  TempDir dir;
  std::string f = dir.file("case.dkc");
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "abc", "1");
    EXPECT_EQ(TryCreateStream(root.get(), u"ABC", STGM_WRITE | STGM_SHARE_EXCLUSIVE), STG_E_FILEALREADYEXISTS);
    Ptr<IStream> s;
    ASSERT_EQ(root->OpenStream(u"ABC", nullptr, kOpenRead, 0, s.out()), S_OK);
    EXPECT_EQ(StatName(s.get()), "abc");
    s.reset();
    // Upper-casing beyond ASCII: one element too.
    EXPECT_EQ(TryCreateStream(root.get(), u"\u00e9t\u00e9"), S_OK);
    EXPECT_EQ(TryOpenStream(root.get(), u"\u00c9T\u00c9"), S_OK);
  }
  Ptr<IStorage> root = Open(f);
  std::vector<Listed> l = List(root.get());
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].name, "abc");
  EXPECT_EQ(GetStream(root.get(), "AbC"), "1");
}

TEST(Elements, CreateReplacesEitherKind) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("replace.dkc"));
  PutStream(root.get(), "s", std::string(5000, 'a'));
  PutStream(root.get(), "s", "short");  // stream over stream
  EXPECT_EQ(GetStream(root.get(), "s"), "short");
  {
    Ptr<IStorage> st = SubStorage(root.get(), "t", true);
    PutStream(st.get(), "inner", "x");
  }
  PutStream(root.get(), "t", "now a stream");  // stream over storage
  EXPECT_EQ(GetStream(root.get(), "t"), "now a stream");
  {
    Ptr<IStorage> st = SubStorage(root.get(), "s", true);  // storage over stream
    EXPECT_TRUE(List(st.get()).empty());
  }
  {
    Ptr<IStorage> st = SubStorage(root.get(), "s", true);  // storage over storage empties it
    PutStream(st.get(), "k", "v");
  }
  Ptr<IStorage> again = SubStorage(root.get(), "s", true);
  EXPECT_TRUE(List(again.get()).empty());
  again.reset();
  Ptr<IStorage> st;
  EXPECT_EQ(root->CreateStorage(u"s", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, st.out()),
            STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(List(root.get()).size(), 2u);
}

TEST(Elements, MissingGiveFileNotFound) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("missing.dkc"));
  PutStream(root.get(), "stream", "x");
  SubStorage(root.get(), "storage", true);
  Ptr<IStorage> st;
  EXPECT_EQ(TryOpenStream(root.get(), u"nothing"), STG_E_FILENOTFOUND);
  EXPECT_EQ(TryOpenStream(root.get(), u"storage"), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->OpenStorage(u"stream", nullptr, kOpenRW, nullptr, 0, st.out()), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->OpenStorage(u"nothing", nullptr, kOpenRW, nullptr, 0, st.out()), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->DestroyElement(u"nothing"), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->RenameElement(u"nothing", u"other"), STG_E_FILENOTFOUND);
}

TEST(Elements, ModeFlagsOutsideTheUsedOnesAreRefused) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("flags.dkc"));
  PutStream(root.get(), "s", "x");
  for (DWORD mode : {STGM_READ, STGM_READWRITE | STGM_SHARE_DENY_NONE, STGM_READWRITE | STGM_SHARE_DENY_WRITE,
                     kOpenRW | STGM_TRANSACTED, kOpenRW | STGM_DELETEONRELEASE, 0x13u, kOpenRW | STGM_CREATE}) {
    EXPECT_EQ(TryOpenStream(root.get(), u"s", mode), STG_E_INVALIDFLAG) << std::hex << mode;
  }
  Ptr<IStorage> other;
  std::u16string f = U(dir.file("other.dkc"));
  EXPECT_EQ(StgCreateDocfile(f.c_str(), kCreateFile | STGM_TRANSACTED, 0, other.out()), STG_E_INVALIDFLAG);
  EXPECT_EQ(StgCreateDocfile(f.c_str(), STGM_CREATE | STGM_READ | STGM_SHARE_EXCLUSIVE, 0, other.out()),
            STG_E_INVALIDFLAG);
}

TEST(Access, ReadOnlyAndOpenElements) {
  TempDir dir;
  std::string f = dir.file("access.dkc");
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "s", "data");
    Ptr<IStorage> st = SubStorage(root.get(), "folder", true);
    PutStream(st.get(), "inner", "x");
  }
  Ptr<IStorage> root = Open(f);
  Ptr<IStream> s;
  ASSERT_EQ(root->OpenStream(u"s", nullptr, kOpenRead, 0, s.out()), S_OK);
  ULONG n = 9;
  EXPECT_EQ(s->Write("zz", 2, &n), STG_E_ACCESSDENIED);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s->SetSize(ULARGE_INTEGER{{0, 0}}), STG_E_ACCESSDENIED);
  EXPECT_EQ(TryOpenStream(root.get(), u"s"), STG_E_ACCESSDENIED);  // already open
  EXPECT_EQ(root->DestroyElement(u"s"), STG_E_ACCESSDENIED);
  EXPECT_EQ(TryCreateStream(root.get(), u"s"), STG_E_ACCESSDENIED);  // cannot replace it either
  EXPECT_EQ(root->RenameElement(u"s", u"t"), STG_E_ACCESSDENIED);
  s.reset();

  // A storage with something open below it cannot go, even after it was released itself.
  Ptr<IStorage> folder = SubStorage(root.get(), "folder", false);
  Ptr<IStream> inner;
  ASSERT_EQ(folder->OpenStream(u"inner", nullptr, kOpenRead, 0, inner.out()), S_OK);
  folder.reset();
  EXPECT_EQ(root->DestroyElement(u"folder"), STG_E_ACCESSDENIED);
  inner.reset();
  EXPECT_EQ(root->DestroyElement(u"folder"), S_OK);

  // A storage opened for reading gives nothing to write.
  root.reset();
  Ptr<IStorage> ro = Open(f, kOpenRead);
  EXPECT_EQ(TryCreateStream(ro.get(), u"new"), STG_E_ACCESSDENIED);
  EXPECT_EQ(TryOpenStream(ro.get(), u"s", kOpenRW), STG_E_ACCESSDENIED);
  EXPECT_EQ(ro->DestroyElement(u"s"), STG_E_ACCESSDENIED);
  EXPECT_EQ(GetStream(ro.get(), "s"), "data");
}

TEST(Access, WriteOnlyStreamsAreNotRead) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("wo.dkc"));
  Ptr<IStream> s;
  ASSERT_EQ(root->CreateStream(u"s", kCreateStream, 0, 0, s.out()), S_OK);
  char c;
  EXPECT_EQ(s->Read(&c, 1, nullptr), STG_E_ACCESSDENIED);
}

TEST(Sharing, ExclusiveAgainstASecondObjectInTheSameProcess) {
  TempDir dir;
  std::string f = dir.file("shared.dkc");
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "keep", "me");
  }
  Ptr<IStorage> first = Open(f);
  ASSERT_TRUE(first);
  Open(f, kOpenRW, STG_E_SHAREVIOLATION);
  Open(f, kOpenRead, STG_E_SHAREVIOLATION);
  Create(f, STG_E_SHAREVIOLATION);  // replacing a held file destroys nothing
  first.reset();
  EXPECT_EQ(DumpFile(f).at("keep"), "me");
  // A new file appears at its path, whole, at its release; a file made there meanwhile is
  // never replaced by it, and that release says so.
  std::string fresh = dir.file("new.dkc");
  Ptr<IStorage> made = Create(fresh);
  PutStream(made.get(), "one", "1");
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(made->Commit(0), S_OK);
  Open(fresh, kOpenRead, STG_E_SHAREVIOLATION);
  made.reset();
  EXPECT_EQ(DumpFile(fresh).at("one"), "1");
  std::string raced = dir.file("raced.dkc");
  Ptr<IStorage> late = Create(raced);
  PutStream(late.get(), "late", "2");
  {
    Ptr<IStorage> first = Create(raced);
    PutStream(first.get(), "first", "1");
  }
  EXPECT_EQ(late->Commit(0), STG_E_FILEALREADYEXISTS);
  late.reset();
  EXPECT_EQ(DumpFile(raced).at("first"), "1");
  EXPECT_EQ(DumpFile(raced).count("late"), 0u);
}

TEST(Sharing, ExclusiveAgainstAnotherProcess) {
  TempDir dir;
  std::string f = dir.file("held.dkc");
  Create(f);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Ptr<IStorage> held = Open(f);
    char c = held ? 'y' : 'n';
    if (::write(ready[1], &c, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  Open(f, kOpenRead, STG_E_SHAREVIOLATION);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(Open(f));  // free again once the holder is gone
}

TEST(Files, WhatIsAndIsNotACompoundFile) {
  TempDir dir;
  std::string text = dir.file("notes.txt");
  std::ofstream(text) << "just some text, long enough to be read as a header? no.";
  std::string empty = dir.file("empty.dkc");
  std::ofstream(empty).flush();
  std::string good = dir.file("good.dkc");
  Create(good);
  EXPECT_EQ(StgIsStorageFile(U(good).c_str()), S_OK);
  EXPECT_EQ(StgIsStorageFile(U(text).c_str()), S_FALSE);
  EXPECT_EQ(StgIsStorageFile(U(empty).c_str()), S_FALSE);
  EXPECT_EQ(StgIsStorageFile(U(dir.file("none.dkc")).c_str()), STG_E_FILENOTFOUND);
  Open(text, kOpenRW, STG_E_FILEALREADYEXISTS);
  Open(empty, kOpenRW, STG_E_FILEALREADYEXISTS);
  Open(dir.file("none.dkc"), kOpenRW, STG_E_FILENOTFOUND);
  Ptr<IStorage> s;
  EXPECT_EQ(StgCreateDocfile(U(good).c_str(), kOpenRW, 0, s.out()), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgCreateDocfile(U(dir.file("no/such/dir.dkc")).c_str(), kCreateFile, 0, s.out()),
            STG_E_PATHNOTFOUND);
  // STGM_CREATE replaces a file that was not a compound file.
  Create(text);
  EXPECT_EQ(StgIsStorageFile(U(text).c_str()), S_OK);
}

// A path is bytes on disk; one that is not UTF-8 (a folder named on another system, an
// overlong form) comes in widened losslessly, as a disk walk reads it, and names its own file.
TEST(Files, PathsHoldingBytesThatAreNotUtf8) {
  const char* folders[] = {"caf\xE9", "a\xC0\xAF_b", "cut\xE2\x82", "\xED\xA0\x80"};
  TempDir dir;
  for (const char* folder : folders) {
    const std::string raw = dir.file(folder);
    SCOPED_TRACE(raw);
    ASSERT_TRUE(std::filesystem::create_directory(raw));
    const std::u16string path = unicode::Utf8ToUtf16(raw + "/cat.dkc", unicode::Policy::kLossless);
    Ptr<IStorage> s;
    ASSERT_EQ(StgCreateDocfile(path.c_str(), kCreateFile, 0, s.out()), S_OK);
    PutStream(s.get(), "x", "y");
    s.reset();
    EXPECT_TRUE(std::filesystem::is_regular_file(raw + "/cat.dkc"));
    EXPECT_EQ(StgIsStorageFile(path.c_str()), S_OK);
    ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kOpenRead, nullptr, 0, s.out()), S_OK);
    STATSTG st{};
    ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(std::u16string(st.pwcsName), path);
    std::free(st.pwcsName);
  }
}

TEST(Files, TemporaryFileAndRootStat) {
  TempDir dir;
  setenv("TMPDIR", dir.path().c_str(), 1);
  Ptr<IStorage> tmp;
  ASSERT_EQ(StgCreateDocfile(nullptr, kCreateFile, 0, tmp.out()), S_OK);
  unsetenv("TMPDIR");
  STATSTG st{};
  ASSERT_EQ(tmp->Stat(&st, STATFLAG_DEFAULT), S_OK);
  std::string path = A(st.pwcsName);
  std::free(st.pwcsName);
  EXPECT_EQ(std::filesystem::path(path).parent_path(), dir.path());
  EXPECT_EQ(st.type, STGTY_STORAGE);
  PutStream(tmp.get(), "x", "y");
  tmp.reset();
  EXPECT_EQ(DumpFile(path).at("x"), "y");
}

// A file cut short behind its lock by another program, or whose medium fails, fails the reads
// that reach the missing part with STG_E_READFAULT, and every call after them; the process
// lives on and nothing read from the missing part is written back. The file is read through
// a map of it in blocks of 64 sectors, and what follows the last whole block through calls:
// one case cuts into the map, the other only what follows it.
TEST(Files, ACutShortFileFailsItsReads) {
  struct Case {
    const char* stream;
    ULONG at;
    bool afterTheMap;
  };
  TempDir dir;
  const std::string f = dir.file("cut.dkc");
  for (const Case& c : {Case{"s100", 0, false}, Case{"last", 39900, true}}) {
    {
      Ptr<IStorage> root = Create(f);
      PutStream(root.get(), "last", "its entry comes first, its data last");
      for (int i = 0; i < 200; ++i) PutStream(root.get(), "s" + std::to_string(i), std::string(5000, 'x'));
      PutStream(root.get(), "last", std::string(40000, 'y'));
    }
    Ptr<IStorage> root = Open(f);
    ASSERT_EQ(GetStream(root.get(), "s0"), std::string(5000, 'x'));
    Ptr<IStream> stream;
    ASSERT_EQ(root->OpenStream(U(c.stream).c_str(), nullptr, kOpenRead, 0, stream.out()), S_OK);
    std::uintmax_t length = 4096;
    if (c.afterTheMap) {
      std::uintmax_t sectors = FileSize(f) / 512 - 1;
      ASSERT_NE(sectors % 64, 0u) << "the file ends in a whole block";
      length = (sectors / 64 * 64 + 1) * 512;
    }
    ASSERT_EQ(::truncate(f.c_str(), static_cast<off_t>(length)), 0);
    LARGE_INTEGER to{};
    to.QuadPart = c.at;
    ASSERT_EQ(stream->Seek(to, STREAM_SEEK_SET, nullptr), S_OK);
    std::string got(100, '\0');
    ULONG n = 0;
    EXPECT_EQ(stream->Read(got.data(), 100, &n), STG_E_READFAULT) << c.stream;
    EXPECT_EQ(TryCreateStream(root.get(), u"more"), STG_E_READFAULT) << c.stream;
    stream.reset();
    root.reset();
    EXPECT_EQ(FileSize(f), length) << c.stream;
  }
  // A copy out of a file cut short fails and leaves its target without any of it.
  {
    {
      Ptr<IStorage> root = Create(f);
      for (int i = 0; i < 200; ++i) PutStream(root.get(), "s" + std::to_string(i), std::string(5000, 'x'));
    }
    Ptr<IStorage> root = Open(f);
    ASSERT_EQ(GetStream(root.get(), "s0"), std::string(5000, 'x'));
    ASSERT_EQ(::truncate(f.c_str(), 4096), 0);
    const std::string backup = dir.file("backup.dkc");
    {
      Ptr<IStorage> target = Create(backup);
      PutStream(target.get(), "kept", "was there before");
      EXPECT_EQ(root->CopyTo(0, nullptr, nullptr, target.get()), STG_E_READFAULT);
    }
    EXPECT_EQ(DumpFile(backup), (std::map<std::string, std::string>{{"kept", "was there before"}}));
  }
  // A file opened and read afterwards is read as usual.
  const std::string g = dir.file("whole.dkc");
  {
    Ptr<IStorage> other = Create(g);
    PutStream(other.get(), "a", std::string(5000, 'a'));
  }
  Ptr<IStorage> other = Open(g, kOpenRead);
  EXPECT_EQ(GetStream(other.get(), "a"), std::string(5000, 'a'));
}

// A released file is free at once for anyone, and opened again it is read as it is then:
// changed in place behind the layer, or grown.
TEST(Files, AReleasedFileIsFreeAndReadAsItIsNow) {
  TempDir dir;
  const std::string f = dir.file("again.dkc");
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "a", std::string(5000, 'a'));
  }
  for (int round = 0; round < 2; ++round) {
    {
      Ptr<IStorage> root = Open(f, round == 0 ? kOpenRead : kOpenRW);
      ASSERT_EQ(GetStream(root.get(), "a").size(), 5000u);
    }
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(Open(f, kOpenRW) ? 0 : 1);
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
  }
  // The stream's data, overwritten in the file with the file closed.
  std::string bytes;
  {
    std::ifstream in(f, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::size_t at = bytes.find(std::string(512, 'a'));
  ASSERT_NE(at, std::string::npos);
  {
    std::fstream io(f, std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(static_cast<std::streamoff>(at));
    io.write(std::string(512, 'b').data(), 512);
  }
  {
    Ptr<IStorage> root = Open(f, kOpenRead);
    EXPECT_EQ(GetStream(root.get(), "a"), std::string(512, 'b') + std::string(5000 - 512, 'a'));
  }
  {
    Ptr<IStorage> root = Open(f, kOpenRW);
    PutStream(root.get(), "more", std::string(20000, 'm'));
  }
  Ptr<IStorage> root = Open(f, kOpenRead);
  EXPECT_EQ(GetStream(root.get(), "more"), std::string(20000, 'm'));
  EXPECT_EQ(GetStream(root.get(), "a").substr(0, 512), std::string(512, 'b'));
}

TEST(Files, ReleasingTheRootRevertsWhatIsStillOpen) {
  TempDir dir;
  std::string f = dir.file("revert.dkc");
  Ptr<IStorage> root = Create(f);
  Ptr<IStorage> sub = SubStorage(root.get(), "sub", true);
  Ptr<IStream> s;
  ASSERT_EQ(sub->CreateStream(u"s", kCreateStream, 0, 0, s.out()), S_OK);
  ASSERT_EQ(s->Write("abc", 3, nullptr), S_OK);
  root.reset();
  EXPECT_EQ(s->Write("d", 1, nullptr), STG_E_REVERTED);
  EXPECT_EQ(TryCreateStream(sub.get(), u"t"), STG_E_REVERTED);
  EXPECT_EQ(DumpFile(f).at("sub/s"), "abc");  // written, and the file is free again
}

TEST(Streams, SizesAcrossTheMiniStreamCutoff) {
  // Each size is written, then the stream is cut or grown to the next one; the content up to
  // the shorter of the two stays, and what grows reads as zeros.
  const std::uint64_t sizes[] = {0, 1, 63, 64, 65, 4095, 4096, 4097, 70000, 4000, 12, 5000, 0, 9000};
  TempDir dir;
  std::string f = dir.file("sizes.dkc");
  std::string expect;
  {
    Ptr<IStorage> root = Create(f);
    Ptr<IStream> s;
    ASSERT_EQ(root->CreateStream(u"s", kCreateFile, 0, 0, s.out()), S_OK);
    PutStream(root.get(), "neighbour", std::string(3000, 'n'));
    std::mt19937 rng(7);
    for (std::uint64_t size : sizes) {
      ASSERT_EQ(s->SetSize(ULARGE_INTEGER{{static_cast<DWORD>(size), 0}}), S_OK);
      expect.resize(size, '\0');
      // Overwrite the second half with fresh bytes.
      std::string fresh(size - size / 2, '\0');
      for (char& c : fresh) c = static_cast<char>('a' + rng() % 26);
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(size / 2);
      ASSERT_EQ(s->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
      ASSERT_EQ(s->Write(fresh.data(), static_cast<ULONG>(fresh.size()), nullptr), S_OK);
      expect.replace(size / 2, fresh.size(), fresh);
      std::string back(size, '\0');
      at.QuadPart = 0;
      s->Seek(at, STREAM_SEEK_SET, nullptr);
      ULONG got = 0;
      ASSERT_EQ(s->Read(back.data(), static_cast<ULONG>(size), &got), S_OK);
      ASSERT_EQ(back, expect) << size;
    }
  }
  auto tree = DumpFile(f);
  EXPECT_EQ(tree["s"], expect);
  EXPECT_EQ(tree["neighbour"], std::string(3000, 'n'));
}

// A file opened again is read where the system keeps it; what is written then must be what
// is read back, in the same open and after it, next to what was only read.
TEST(Streams, WritesAmongWhatWasReadInTheSameOpen) {
  TempDir dir;
  const std::string f = dir.file("mixed.dkc");
  auto content = [](int i, int round) {
    return std::string(i % 2 ? 100 : 5000, static_cast<char>('a' + (i + round) % 26)) + std::to_string(round);
  };
  {
    Ptr<IStorage> root = Create(f);
    for (int i = 0; i < 300; ++i) PutStream(root.get(), "s" + std::to_string(i), content(i, 0));
  }
  {
    Ptr<IStorage> root = Open(f);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(GetStream(root.get(), "s" + std::to_string(i)), content(i, 0)) << i;
    for (int i = 0; i < 300; i += 3) PutStream(root.get(), "s" + std::to_string(i), content(i, 1));
    for (int i = 300; i < 340; ++i) PutStream(root.get(), "s" + std::to_string(i), content(i, 1));
    for (int i = 0; i < 340; ++i)
      ASSERT_EQ(GetStream(root.get(), "s" + std::to_string(i)), content(i, i % 3 == 0 || i >= 300 ? 1 : 0)) << i;
  }
  Ptr<IStorage> root = Open(f, kOpenRead);
  for (int i = 0; i < 340; ++i)
    ASSERT_EQ(GetStream(root.get(), "s" + std::to_string(i)), content(i, i % 3 == 0 || i >= 300 ? 1 : 0)) << i;
}

TEST(Streams, ReadSeekAndGaps) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("seek.dkc"));
  Ptr<IStream> s;
  ASSERT_EQ(root->CreateStream(u"s", kCreateFile, 0, 0, s.out()), S_OK);
  ASSERT_EQ(s->Write("hello", 5, nullptr), S_OK);
  LARGE_INTEGER off;
  ULARGE_INTEGER pos;
  off.QuadPart = 10;
  ASSERT_EQ(s->Seek(off, STREAM_SEEK_END, &pos), S_OK);  // past the end
  EXPECT_EQ(pos.QuadPart, 15u);
  ASSERT_EQ(s->Write("!", 1, nullptr), S_OK);
  off.QuadPart = -16;
  ASSERT_EQ(s->Seek(off, STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 0u);
  char buf[32];
  ULONG got = 0;
  EXPECT_EQ(s->Read(buf, sizeof buf, &got), S_FALSE);  // the short read shows
  ASSERT_EQ(got, 16u);
  EXPECT_EQ(std::string(buf, 16), std::string("hello") + std::string(10, '\0') + "!");
  EXPECT_EQ(s->Read(buf, 4, &got), S_FALSE);
  EXPECT_EQ(got, 0u);
  off.QuadPart = -1;
  EXPECT_EQ(s->Seek(off, STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(off, 7, &pos), STG_E_INVALIDFUNCTION);
}

TEST(Enumeration, SnapshotInFormatOrder) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("enum.dkc"));
  for (const char* n : {"bb", "a", "ccc", "B", "zz"}) {
    if (std::string(n) == "B")
      SubStorage(root.get(), n, true);
    else
      PutStream(root.get(), n, n);
  }
  Ptr<IEnumSTATSTG> e;
  ASSERT_EQ(root->EnumElements(0, nullptr, 0, e.out()), S_OK);
  STATSTG st[2];
  ULONG n = 0;
  ASSERT_EQ(e->Next(2, st, &n), S_OK);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(A(st[0].pwcsName), "a");
  EXPECT_EQ(A(st[1].pwcsName), "B");
  EXPECT_EQ(st[1].type, STGTY_STORAGE);
  std::free(st[0].pwcsName);
  std::free(st[1].pwcsName);
  // Destroying while enumerating leaves the snapshot whole.
  ASSERT_EQ(root->DestroyElement(u"zz"), S_OK);
  std::vector<std::string> rest;
  while (e->Next(1, st, &n) == S_OK) {
    rest.push_back(A(st[0].pwcsName));
    std::free(st[0].pwcsName);
  }
  EXPECT_EQ(rest, (std::vector<std::string>{"bb", "zz", "ccc"}));
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(10), S_FALSE);
  EXPECT_EQ(List(root.get()).size(), 4u);
}

// The lending enumerator gives what Next gives, and its names stay valid while it lives,
// whatever is destroyed meanwhile.
TEST(Enumeration, LentNamesMatchCopiedOnes) {
  TempDir dir;
  Ptr<IStorage> root = Create(dir.file("lent.dkc"));
  std::vector<Listed> expected;
  for (int i = 0; i < 600; ++i) PutStream(root.get(), "name " + std::to_string(i * 7919 % 1000), std::string(i % 5, 'x'));
  SubStorage(root.get(), "sub", true);
  expected = List(root.get());
  Ptr<IEnumSTATSTG> e;
  ASSERT_EQ(root->EnumElements(0, nullptr, 0, e.out()), S_OK);
  Ptr<IEnumSTATSTGLent> lent;
  ASSERT_EQ(e->QueryInterface(IID_IEnumSTATSTGLent, reinterpret_cast<void**>(lent.out())), S_OK);
  ASSERT_EQ(root->DestroyElement(u"sub"), S_OK);
  std::vector<const OLECHAR*> names;
  std::vector<Listed> got;
  STATSTG batch[64];
  ULONG lengths[64];
  ULONG n = 0;
  HRESULT hr;
  int round = 0;
  do {
    const bool withLengths = round++ % 2 == 0;  // the lengths are optional
    hr = lent->NextLent(64, batch, withLengths ? lengths : nullptr, &n);
    for (ULONG i = 0; i < n; ++i) {
      if (withLengths) {
        EXPECT_EQ(lengths[i], std::u16string_view(batch[i].pwcsName).size());
      }
      names.push_back(batch[i].pwcsName);
      got.push_back({A(batch[i].pwcsName), batch[i].type, batch[i].cbSize.QuadPart});
    }
  } while (hr == S_OK);
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(got, expected);
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(A(names[i]), expected[i].name);
  // Both interfaces are one object.
  Ptr<IUnknown> a, b;
  ASSERT_EQ(e->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.out())), S_OK);
  ASSERT_EQ(lent->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.out())), S_OK);
  EXPECT_EQ(a.get(), b.get());
}

TEST(Rename, NamesAndClashes) {
  TempDir dir;
  std::string f = dir.file("rename.dkc");
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "old", "content");
    PutStream(root.get(), "other", "o");
    {
      Ptr<IStorage> st = SubStorage(root.get(), "folder", true);
      PutStream(st.get(), "x", "y");
    }
    EXPECT_EQ(root->RenameElement(u"old", u"other"), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(root->RenameElement(u"old", u"a:b"), STG_E_INVALIDNAME);
    EXPECT_EQ(root->RenameElement(u"old", u"new"), S_OK);
    EXPECT_EQ(root->RenameElement(u"folder", u"Folder2"), S_OK);
    EXPECT_EQ(root->RenameElement(u"other", u"OTHER"), S_OK);  // case only
  }
  auto tree = DumpFile(f);
  EXPECT_EQ(tree, (std::map<std::string, std::string>{
                      {"new", "content"}, {"OTHER", "o"}, {"Folder2/", ""}, {"Folder2/x", "y"}}));
}

TEST(Growth, CreateDestroyCyclesReuseSpace) {
  // Within one open and across opens, what is destroyed is used again: the file settles.
  TempDir dir;
  std::string f = dir.file("cycles.dkc");
  Create(f);
  auto cycle = [&](IStorage* root, int round) {
    {
      Ptr<IStorage> disk = SubStorage(root, "disk", true);
      for (int i = 0; i < 60; ++i)
        PutStream(disk.get(), "f" + std::to_string(i), std::string(i % 3 == 0 ? 9000 : 200, char('a' + round % 26)));
    }
    ASSERT_EQ(root->DestroyElement(u"disk"), S_OK);
  };
  std::uintmax_t settled = 0;
  for (int round = 0; round < 12; ++round) {
    {
      Ptr<IStorage> root = Open(f);
      cycle(root.get(), round);
      cycle(root.get(), round + 100);
    }
    {
      Ptr<IStorage> root = Open(f);  // create in one open, destroy in the next
      Ptr<IStorage> disk = SubStorage(root.get(), "kept" + std::to_string(round % 2), true);
      for (int i = 0; i < 40; ++i) PutStream(disk.get(), "g" + std::to_string(i), std::string(700, 'k'));
    }
    if (round == 3) settled = FileSize(f);
  }
  EXPECT_LE(FileSize(f), settled);
  auto tree = DumpFile(f);
  EXPECT_EQ(tree.size(), 2u + 80u);
}

TEST(Trees, ManySiblingsInAnyOrder) {
  // Lookups stay right while siblings come and go in random order, across opens.
  TempDir dir;
  std::string f = dir.file("siblings.dkc");
  std::vector<int> ids(3000);
  for (int i = 0; i < 3000; ++i) ids[i] = i;
  std::mt19937 rng(42);
  std::shuffle(ids.begin(), ids.end(), rng);
  std::map<std::string, std::string> expect;
  {
    Ptr<IStorage> root = Create(f);
    for (int i : ids) {
      std::string n = "n" + std::to_string(i * 7 % 3001);
      PutStream(root.get(), n, n);
      expect[n] = n;
    }
  }
  {
    Ptr<IStorage> root = Open(f);
    std::shuffle(ids.begin(), ids.end(), rng);
    for (int k = 0; k < 1500; ++k) {
      std::string n = "n" + std::to_string(ids[k] * 7 % 3001);
      std::u16string un = U(n);
      ASSERT_EQ(root->DestroyElement(un.c_str()), S_OK) << n;
      expect.erase(n);
    }
    for (const auto& [n, v] : expect) ASSERT_EQ(GetStream(root.get(), n), v);
  }
  EXPECT_EQ(DumpFile(f), expect);
}

TEST(Copy, WholeTreeIntoANewFileCompactly) {
  TempDir dir;
  std::string f = dir.file("full.dkc"), backup = dir.file("backup.dkc");
  {
    Ptr<IStorage> root = Create(f);
    for (int d = 0; d < 6; ++d) {
      Ptr<IStorage> disk = SubStorage(root.get(), "disk" + std::to_string(d), true);
      Ptr<IStorage> folder = SubStorage(disk.get(), "folder", true);
      for (int i = 0; i < 80; ++i) PutStream(folder.get(), "f" + std::to_string(i), std::string(i * 100, char('a' + d)));
    }
  }
  {
    Ptr<IStorage> root = Open(f);
    for (int d = 0; d < 5; ++d) {
      std::u16string n = U("disk" + std::to_string(d));
      ASSERT_EQ(root->DestroyElement(n.c_str()), S_OK);
    }
  }
  {
    Ptr<IStorage> from = Open(f, kOpenRead);
    Ptr<IStorage> to = Create(backup);
    ASSERT_EQ(from->CopyTo(0, nullptr, nullptr, to.get()), S_OK);
  }
  EXPECT_EQ(DumpFile(backup), DumpFile(f));
  EXPECT_LT(FileSize(backup) * 3, FileSize(f));
}
