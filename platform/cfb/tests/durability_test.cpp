// What a power cut or a kill may find: a release makes its journal durable (data and name)
// before it overwrites anything in the file, removes the journal only once the file is synced
// and answers once that removal is durable; a release that cannot journal writes nothing; a
// journal ties to its file by content, so the pair copied elsewhere still recovers, and a
// journal of neither state is kept and the open refused.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "docfile.h"
#include "fileio.h"
#include "test_support.h"

using namespace cfbtest;
namespace fs = std::filesystem;

namespace {

using Tree = std::map<std::string, std::string>;
using S = cfb::IoStep;

// The steps a hook sees, and what it does at them.
struct Hook {
  std::vector<S> steps;
  S failAt = S::AnonymousFile;
  int failWith = 0;  // the error number the step fails with, 0: none
  S killAt = S::AnonymousFile;
  int killAtCount = 0;  // the writer kills itself before the killAtCount-th such step, 0: never
  int seen = 0;
};
Hook* g_hook = nullptr;
int OnStep(S s) {
  g_hook->steps.push_back(s);
  if (g_hook->killAtCount > 0 && s == g_hook->killAt && ++g_hook->seen == g_hook->killAtCount)
    ::kill(::getpid(), SIGKILL);
  return g_hook->failWith != 0 && s == g_hook->failAt ? g_hook->failWith : 0;
}

struct Hooked {
  explicit Hooked(Hook& h) {
    g_hook = &h;
    cfb::SetIoHook(&OnStep);
  }
  ~Hooked() {
    cfb::SetIoHook(nullptr);
    cfb::Docfile::SetDirtyBudget(128u << 20);
  }
};

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Tree DumpRW(const std::string& path, HRESULT expect = S_OK) {
  Tree out;
  Ptr<IStorage> root = Open(path, kOpenRW, expect);
  if (root) Dump(root.get(), "", out);
  return out;
}

// The state before: streams of a few sizes, some in the mini stream.
Tree Before() {
  Tree t;
  for (int i = 0; i < 40; ++i) t["s" + std::to_string(i)] = std::string(i % 4 == 0 ? 300 : 9000, 'a' + i % 20);
  return t;
}

// The release under test overwrites every stream in place with new bytes of the same size and
// adds enough to need another FAT sector, so that its header changes too.
Tree After() {
  Tree t = Before();
  for (auto& [name, data] : t) data.assign(data.size(), 'B');
  t["grown"] = std::string(200000, 'g');
  return t;
}

void Write(IStorage* root, const Tree& t) {
  for (const auto& [name, data] : t) PutStream(root, name, data);
}

std::string MakeBefore(const TempDir& dir, const std::string& name) {
  std::string f = dir.file(name);
  Ptr<IStorage> root = Create(f);
  Write(root.get(), Before());
  return f;
}

// Writes `t` into the catalog `f` in a child process killed at the count-th step `at` (count
// 0: never), with the given dirty budget; the child's wait status, or -1 when it could not run.
int WriteInKilledChild(const std::string& f, const Tree& t, S at, int count,
                       std::size_t dirtyBudget = std::size_t(128) << 20) {
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    Hook hook;
    hook.killAt = at;
    hook.killAtCount = count;
    Hooked hooked(hook);
    cfb::Docfile::SetDirtyBudget(dirtyBudget);
    {
      Ptr<IStorage> root = Open(f);
      if (!root) ::_exit(3);
      Write(root.get(), t);
    }
    ::_exit(0);
  }
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid ? status : -1;
}

}  // namespace

TEST(PowerLoss, TheStepsOfOneReleaseAreDurableInOrderBeforeTheAnswer) {
  TempDir dir;
  std::string f = MakeBefore(dir, "durable.dkc");
  Hook hook;
  Ptr<IStorage> root = Open(f);
  {
    Hooked hooked(hook);
    Write(root.get(), After());
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  EXPECT_EQ(hook.steps, (std::vector<S>{S::JournalCreate, S::JournalSync, S::FolderSync, S::FileWrite, S::FileWrite,
                                        S::FileSync, S::JournalGone, S::FolderSync}));
  root.reset();
  EXPECT_EQ(DumpRW(f), After());
}

TEST(PowerLoss, EarlyWritesGoThroughTheJournalToo) {
  TempDir dir;
  std::string f = MakeBefore(dir, "spilled.dkc");
  Hook hook;
  {
    Hooked hooked(hook);
    cfb::Docfile::SetDirtyBudget(64 << 10);
    Ptr<IStorage> root = Open(f);
    Write(root.get(), After());
  }
  // Every write to the file follows a journal sync made after the last thing saved in it; the
  // folder is synced with the journal's first sync and after its removal, which comes last.
  ASSERT_FALSE(hook.steps.empty());
  bool journalSynced = false, fileSynced = false, gone = false;
  for (S s : hook.steps) {
    if (s == S::JournalSync) journalSynced = true;
    if (s == S::FileWrite) {
      EXPECT_TRUE(journalSynced) << "the file is overwritten before its journal is durable";
    }
    if (s == S::FileSync) fileSynced = true;
    if (s == S::JournalGone) {
      EXPECT_TRUE(fileSynced) << "the journal went before the file was synced";
      gone = true;
    }
  }
  EXPECT_TRUE(gone);
  EXPECT_EQ(hook.steps.back(), S::FolderSync);
  EXPECT_EQ(DumpRW(f), After());
}

TEST(PowerLoss, AReleaseThatCannotJournalWritesNothingAndSaysWhy) {
  struct Case {
    const char* what;
    bool longName;  // no room for "-journal" in the name
    int injected;   // the journal's creation refused with this error number
    std::size_t budget;
    HRESULT expect;
  };
  const Case cases[] = {
      {"name too long", true, 0, std::size_t(128) << 20, STG_E_INVALIDNAME},
      {"name too long, early writes", true, 0, std::size_t(64) << 10, STG_E_INVALIDNAME},
      {"access denied", false, EACCES, std::size_t(128) << 20, STG_E_ACCESSDENIED},
      {"read-only file system, early writes", false, EROFS, std::size_t(64) << 10, STG_E_DISKISWRITEPROTECTED},
      {"full disk", false, ENOSPC, std::size_t(128) << 20, STG_E_MEDIUMFULL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string f = MakeBefore(dir, c.longName ? std::string(250, 'n') + ".dkc" : "catalog.dkc");
    const std::string before = Bytes(f);
    Hook hook;
    hook.failAt = S::JournalCreate;
    hook.failWith = c.injected;
    HRESULT first = S_OK, commit = S_OK;
    {
      Hooked hooked(hook);
      cfb::Docfile::SetDirtyBudget(c.budget);
      Ptr<IStorage> root = Open(f);
      ASSERT_TRUE(root);
      for (const auto& [name, data] : After()) {
        Ptr<IStream> st;
        std::u16string n = U(name);
        HRESULT hr = root->CreateStream(n.c_str(), kCreateStream, 0, 0, st.out());
        if (SUCCEEDED(hr)) hr = st->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
        if (FAILED(hr) && first == S_OK) first = hr;
      }
      commit = root->Commit(STGC_DEFAULT);
    }
    EXPECT_EQ(commit, c.expect);
    if (first != S_OK) {
      EXPECT_EQ(first, c.expect);  // an early write refused for the same cause
    }
    EXPECT_TRUE(Bytes(f) == before) << "the file was written without its journal";
    EXPECT_EQ(std::count(hook.steps.begin(), hook.steps.end(), S::FileWrite), 0);
    EXPECT_EQ(DumpRW(f), Before());
  }
}

// A writer killed at each point of its release; the catalog and its journal are then copied to
// another folder (new inodes, as after a remount on another device or a copy to another disk)
// and opened there, and in place.
TEST(PowerLoss, AKilledReleaseCopiedElsewhereOpensAsOneState) {
  struct Case {
    const char* what;
    S at;
    int count;  // killed before the count-th such step, 0: not killed
    std::size_t budget;
    bool after;  // the state the copy must hold
  };
  const std::size_t kAll = std::size_t(128) << 20, kEarly = std::size_t(64) << 10;
  const Case cases[] = {
      {"before the journal's sync", S::JournalSync, 1, kAll, false},
      {"before its folder's sync", S::FolderSync, 1, kAll, false},
      {"before the first write", S::FileWrite, 1, kAll, false},
      {"between the sectors and the header", S::FileWrite, 2, kAll, false},
      {"before the file's sync", S::FileSync, 1, kAll, false},
      {"after the file's sync, journal still there", S::JournalGone, 1, kAll, false},
      {"journal removed, folder not synced", S::FolderSync, 2, kAll, true},
      {"between early writes", S::FileWrite, 3, kEarly, false},
      {"not killed", S::FileWrite, 0, kAll, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string f = MakeBefore(dir, "killed.dkc");
    const int status = WriteInKilledChild(f, After(), c.at, c.count, c.budget);
    ASSERT_NE(status, -1);
    EXPECT_EQ(c.count > 0, WIFSIGNALED(status)) << "the writer was not stopped where it should be";
    TempDir other;
    std::string copy = other.file("killed.dkc");
    fs::copy_file(f, copy);
    if (fs::exists(f + "-journal")) fs::copy_file(f + "-journal", copy + "-journal");
    EXPECT_EQ(DumpRW(copy), c.after ? After() : Before());
    EXPECT_FALSE(fs::exists(copy + "-journal"));
    EXPECT_EQ(DumpRW(f), c.after ? After() : Before());
  }
}

TEST(PowerLoss, AJournalOfNeitherStateIsKeptAndTheOpenRefused) {
  // A journal left by a release of one catalog, found beside another catalog.
  TempDir dir;
  std::string a = MakeBefore(dir, "a.dkc");
  ASSERT_NE(WriteInKilledChild(a, After(), S::FileSync, 1), -1);
  ASSERT_TRUE(fs::exists(a + "-journal"));
  std::string b = dir.file("b.dkc");
  {
    Ptr<IStorage> root = Create(b);
    PutStream(root.get(), "other", std::string(70000, 'o'));
  }
  fs::copy_file(a + "-journal", b + "-journal");
  const std::string file = Bytes(b), journal = Bytes(b + "-journal");
  Open(b, kOpenRW, STG_E_DOCFILECORRUPT);
  EXPECT_TRUE(Bytes(b) == file);
  EXPECT_TRUE(Bytes(b + "-journal") == journal) << "the journal was not kept";
  // Replacing the catalog does not take the foreign journal for its own either.
  Create(b, STG_E_DOCFILECORRUPT);
  EXPECT_TRUE(Bytes(b) == file);
  // The catalog it belongs to still recovers from it.
  EXPECT_EQ(DumpRW(a), Before());
}

TEST(PowerLoss, AJournalLeftByADeletedFileIsNotPlayedOverANewOneOfItsName) {
  for (bool anonymous : {true, false}) {
    SCOPED_TRACE(anonymous ? "unnamed files" : "no unnamed files");
    TempDir dir;
    std::string f = dir.file("reused.dkc");
    Create(f);  // an empty file: its header is every young file's header
    ASSERT_NE(WriteInKilledChild(f, Before(), S::FileSync, 1), -1);
    ASSERT_TRUE(fs::exists(f + "-journal"));
    fs::remove(f);  // the user deletes the catalog, not knowing of its journal
    Hook hook;
    hook.failAt = S::AnonymousFile;
    hook.failWith = anonymous ? 0 : EOPNOTSUPP;
    {
      Hooked hooked(hook);
      Ptr<IStorage> root = Create(f);
      ASSERT_TRUE(root);
      PutStream(root.get(), "new", std::string(5000, 'n'));
    }
    EXPECT_EQ(DumpRW(f), (Tree{{"new", std::string(5000, 'n')}}));
    EXPECT_FALSE(fs::exists(f + "-journal"));
  }
}
