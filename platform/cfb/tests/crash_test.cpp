// A writer killed with SIGKILL at random moments (in the middle of a session, of a large
// write, of the release, of a copy, of a replacement) leaves a file that opens and holds the
// state of one release exactly: each outcome is compared with the state it claims to be.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "docfile.h"
#include "test_support.h"

using namespace cfbtest;

namespace {

using Tree = std::map<std::string, std::string>;

std::string Content(std::mt19937& rng, std::size_t n) {
  std::string s(n, '\0');
  char c = static_cast<char>('a' + rng() % 26);
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(c + (i % 7));
  return s;
}

// Session k, applied to the file or to the model the same way.
struct Session {
  explicit Session(int k) : rng(static_cast<unsigned>(k) * 7919u + 1), k(k) {}
  std::mt19937 rng;
  int k;

  void Apply(IStorage* root, Tree& model) {
    std::string s = "s" + std::to_string(k % 5);
    {
      Ptr<IStorage> sub = SubStorage(root, s, true);  // replaces the storage of five sessions ago
      for (auto it = model.begin(); it != model.end();)
        it = it->first.rfind(s + "/", 0) == 0 ? model.erase(it) : std::next(it);
      model[s + "/"] = "";
      for (int i = 0; i < 25; ++i) {
        std::size_t n = (i % 5 == 0) ? 5000 + rng() % 60000 : rng() % 900;
        std::string data = Content(rng, n);
        PutStream(sub.get(), "f" + std::to_string(i), data);
        model[s + "/f" + std::to_string(i)] = data;
      }
    }
    std::string gone = "s" + std::to_string((k + 2) % 5);
    std::u16string g = U(gone);
    HRESULT hr = root->DestroyElement(g.c_str());
    EXPECT_TRUE(hr == S_OK || hr == STG_E_FILENOTFOUND);
    for (auto it = model.begin(); it != model.end();)
      it = it->first.rfind(gone + "/", 0) == 0 ? model.erase(it) : std::next(it);
    std::string big = Content(rng, 200000 + rng() % 400000);
    {
      Ptr<IStream> st;
      if (root->OpenStream(u"big", nullptr, kOpenRW, 0, st.out()) != S_OK) {
        EXPECT_EQ(root->CreateStream(u"big", kCreateFile, 0, 0, st.out()), S_OK);
      }
      EXPECT_EQ(st->SetSize(ULARGE_INTEGER{{static_cast<DWORD>(big.size()), 0}}), S_OK);
      EXPECT_EQ(st->Write(big.data(), static_cast<ULONG>(big.size()), nullptr), S_OK);
    }
    model["big"] = big;
    PutStream(root, "state", std::to_string(k));
    model["state"] = std::to_string(k);
  }
};

// The expected tree after each session, made by running the same sessions on a file of its own.
class Models {
 public:
  const Tree& After(int k) {
    while (static_cast<int>(trees_.size()) <= k) {
      Tree t = trees_.back();
      Ptr<IStorage> root = Open(file_);
      Session(static_cast<int>(trees_.size())).Apply(root.get(), t);
      trees_.push_back(std::move(t));
    }
    return trees_[k];
  }

 private:
  TempDir dir_;
  std::string file_ = [this] { Create(dir_.file("model.dkc")); return dir_.file("model.dkc"); }();
  std::vector<Tree> trees_{Tree{}};
};

std::string Diff(const Tree& a, const Tree& b) {
  for (const auto& [k, v] : a) {
    auto it = b.find(k);
    if (it == b.end()) return "only in the file: " + k;
    if (it->second != v) {
      std::size_t i = 0;
      while (i < v.size() && i < it->second.size() && v[i] == it->second[i]) ++i;
      return k + " differs at byte " + std::to_string(i) + " of " + std::to_string(v.size()) + "/" +
             std::to_string(it->second.size());
    }
  }
  for (const auto& [k, v] : b)
    if (!a.count(k)) return "missing from the file: " + k;
  return "same";
}

std::string Summary(const Tree& t) {
  std::string s;
  for (const auto& [k, v] : t) s += k + "(" + std::to_string(v.size()) + ") ";
  return s;
}

// Runs child() in a child process and kills it after a random delay; returns whether it was
// killed before it ended by itself.
template <class F>
void KillAtRandom(std::mt19937& rng, int maxMicros, F child) {
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    child();
    ::_exit(0);
  }
  std::this_thread::sleep_for(std::chrono::microseconds(rng() % maxMicros));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

}  // namespace

TEST(Crash, KilledWriterLeavesOneReleasedState) {
  TempDir dir;
  std::string f = dir.file("crash.dkc");
  Create(f);
  Models models;
  // The kills come within a few sessions' time, as long as a session takes on this machine
  // now (each release syncs its journal, its folder and the file; a busy machine is slower).
  int window = 150000;
  {
    TempDir scratch;
    std::string timed = scratch.file("timed.dkc");
    Create(timed);
    cfb::Docfile::SetDirtyBudget(64 << 10);
    auto start = std::chrono::steady_clock::now();
    {
      Ptr<IStorage> root = Open(timed);
      Tree ignored;
      Session(1).Apply(root.get(), ignored);
    }
    cfb::Docfile::SetDirtyBudget(128u << 20);
    auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    window = std::max<int>(window, static_cast<int>(took.count()) * 4);
  }
  std::mt19937 rng(2024);
  int last = 0;
  int interrupted = 0;  // kills in the middle of a release
  // A busy machine may not finish one session between kills: while the writer has made no
  // progress the window grows, and rounds go on until the kills have reached both the middle
  // of a release and a few whole sessions.
  for (int round = 0; round < 30 || ((last <= 3 || interrupted == 0) && round < 200); ++round) {
    int from = last;
    KillAtRandom(rng, window, [&] {
      // Every other writer keeps little in memory, and writes its sectors out early.
      if (round % 2) cfb::Docfile::SetDirtyBudget(64 << 10);
      for (int k = from + 1;; ++k) {
        Ptr<IStorage> root = Open(f);
        if (!root) ::_exit(3);
        Tree scratch;
        Session(k).Apply(root.get(), scratch);
      }
    });
    if (std::filesystem::exists(f + "-journal")) ++interrupted;
    Tree got = DumpFile(f);
    int k = got.count("state") ? std::stoi(got["state"]) : 0;
    ASSERT_GE(k, last) << "went back in time";
    const Tree& expect = models.After(k);
    ASSERT_TRUE(got == expect) << "state " << k << " is not whole: " << Diff(got, expect);
    EXPECT_FALSE(std::filesystem::exists(f + "-journal"));  // the open replayed or removed it
    if (k == last && round % 3 == 2) window = std::min(window * 3 / 2, 30000000);
    last = k;
  }
  EXPECT_GT(last, 3);  // the writer made progress between kills
  EXPECT_GT(interrupted, 0);  // some kills came in the middle of a release, and were undone
}

TEST(Crash, KilledCopyOrReplacementLeavesNoPartialTarget) {
  TempDir dir;
  std::string src = dir.file("source.dkc");
  Tree model;
  {
    Ptr<IStorage> root = Create(src);
    for (int k = 1; k <= 3; ++k) Session(k).Apply(root.get(), model);
  }
  std::string copy = dir.file("copy.dkc");
  std::string replaced = dir.file("replaced.dkc");
  {
    Ptr<IStorage> r = Create(replaced);
    PutStream(r.get(), "version", "0");
  }
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    KillAtRandom(rng, 120000, [&] {
      if (round % 2) cfb::Docfile::SetDirtyBudget(64 << 10);
      for (int j = 1;; ++j) {
        std::filesystem::remove(copy);
        {
          Ptr<IStorage> from = Open(src, kOpenRead);
          Ptr<IStorage> to = Create(copy);
          if (!from || !to || from->CopyTo(0, nullptr, nullptr, to.get()) != S_OK) ::_exit(3);
        }
        Ptr<IStorage> r = Create(replaced);  // STGM_CREATE over the previous version
        if (!r) ::_exit(4);
        PutStream(r.get(), "payload", std::string(100000 + j, 'p'));
        PutStream(r.get(), "version", std::to_string(j));
      }
    });
    if (std::filesystem::exists(copy)) {
      Tree got = DumpFile(copy);
      EXPECT_TRUE(got.empty() || got == model) << "partial copy: " << Summary(got);
    }
    Tree r = DumpFile(replaced);
    ASSERT_TRUE(r.count("version"));
    int j = std::stoi(r["version"]);
    if (j > 0) {
      EXPECT_EQ(r["payload"], std::string(100000 + j, 'p'));
    }
    EXPECT_EQ(r.size(), j > 0 ? 2u : 1u);
  }
  // No stray files beside the targets.
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    std::string n = e.path().filename().string();
    EXPECT_TRUE(n == "source.dkc" || n == "copy.dkc" || n == "replaced.dkc") << n;
  }
}
