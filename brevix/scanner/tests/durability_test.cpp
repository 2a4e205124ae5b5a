// A first add killed at random moments, and adds and updates that meet a full disk: the
// catalog always opens, holding the state before the run or the whole run, and a write-out
// that failed is answered as a failure.
#include <signal.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "test_support.h"

using namespace scanner_test;

namespace {

// A few thousand files with varied, long and non-ASCII names in nested folders.
void FillMedium(const fs::path& root, int files, const std::string& tag = "") {
  for (int i = 0; i < files; ++i) {
    fs::path dir = root / ("Ordner " + std::to_string(i % 23)) / ("sub-" + std::to_string(i % 5));
    std::string name = tag + "datei_" + std::to_string(i) + (i % 3 ? "_naïve résumé" : "_a_rather_long_name_beyond_31") + ".txt";
    WriteFile(dir / name, static_cast<size_t>(i % 700));
  }
}

std::set<std::string> Keys(const Catalog& c) {
  std::set<std::string> out;
  for (const auto& [k, v] : c) out.insert(k);
  return out;
}

bool HasHeader(const std::string& file) {
  ComPtr<IStorage> root, header;
  std::u16string path = U(file);
  if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                            root.ReleaseAndGetAddressOf())))
    return false;
  ComPtr<IStream> s;
  return SUCCEEDED(root->OpenStream(u"J_R_X_", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.ReleaseAndGetAddressOf()));
}

// A small file system of its own (a tmpfs), mounted for the test where the system allows it.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, size_t bytes) : at_(at) {
    fs::create_directories(at);
    // In a mount namespace of this process's own, so that no mount outlives it.
    if (::unshare(CLONE_NEWNS) == 0) ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    std::string opts = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, opts.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  // Takes every free byte but `leave`.
  void Fill(size_t leave) {
    fs::path filler = at_ / "filler";
    int fd = ::open(filler.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::string block(4096, 'f');
    off_t size = 0;
    while (::write(fd, block.data(), block.size()) > 0) size += static_cast<off_t>(block.size());
    ASSERT_EQ(::ftruncate(fd, size > static_cast<off_t>(leave) ? size - static_cast<off_t>(leave) : 0), 0);
    ::close(fd);
  }
  void Free() { fs::remove(at_ / "filler"); }

 private:
  fs::path at_;
  bool mounted_ = false;
};

}  // namespace

TEST_F(ScannerTest, AKilledFirstAddLeavesNoDiskOrTheWholeDisk) {
  Drive('E', DRIVE_FIXED);
  FillMedium(Medium('E'), 2000);
  // The whole disk, as an add that is not stopped makes it.
  const std::string whole = (tmp_ / "whole.dkc").string();
  ASSERT_EQ(scanner_->put_DocFileName(Bstr(U(whole)).Get()), S_OK);
  ASSERT_EQ(Add('E', "[ E ] -- Drive", -1, FLAG_DRIVE_BY_LETTER), S_OK);
  const std::set<std::string> expected = Keys(ReadCatalog(whole));
  ASSERT_GT(expected.size(), 2000u);
  ASSERT_EQ(scanner_->put_DocFileName(Bstr(U(catalog_)).Get()), S_OK);

  // Runs one first add in a child process, killed after `delay` (none: left to finish);
  // answers how long the child lived.
  auto run = [&](std::optional<std::chrono::microseconds> delay) {
    fs::remove(catalog_);
    fs::remove(catalog_ + "-journal");
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
      HRESULT hr = Add('E', "[ E ] -- Drive", -1, FLAG_DRIVE_BY_LETTER);
      ::_exit(hr == S_OK ? 0 : 1);
    }
    if (pid < 0) {  // no child: nothing to time, and no process id to signal
      ADD_FAILURE() << "fork failed";
      return std::chrono::microseconds(0);
    }
    if (delay) {
      std::this_thread::sleep_for(*delay);
      ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  };

  // The kills come anywhere in a whole add as a child makes it on this machine now. A busy
  // machine is slower than the measure: while no kill has come late enough, the window grows,
  // so that both ends of the add are reached however loaded the machine is.
  long long window = run(std::nullopt).count() * 5 / 4 + 1;
  std::mt19937 rng(13);
  int none = 0, full = 0;
  for (int round = 0; round < 50 || ((none == 0 || full == 0) && round < 400); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    run(std::chrono::microseconds(rng() % window));
    if (::testing::Test::HasFailure()) return;
    // A catalog at the path holds its header from the start.
    if (fs::exists(catalog_)) {
      EXPECT_TRUE(HasHeader(catalog_));
    }
    std::set<std::string> got = Keys(ReadCatalog(catalog_));
    if (got.empty()) {
      ++none;
    } else {
      ASSERT_EQ(got, expected) << "a part of the disk";
      ++full;
    }
    if (full == 0 && round % 5 == 4) window = std::min(window * 3 / 2, 60000000LL);
  }
  EXPECT_GT(none, 0);
  EXPECT_GT(full, 0);
}

TEST_F(ScannerTest, AFullDiskIsAnsweredAndTheCatalogKeepsItsStateBefore) {
  SmallDisk small(tmp_ / "small", 3u << 20);
  if (!small.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  catalog_ = (tmp_ / "small" / "cat.dkc").string();
  ASSERT_EQ(scanner_->put_DocFileName(Bstr(U(catalog_)).Get()), S_OK);
  Drive('E', DRIVE_FIXED);
  FillMedium(Medium('E'), 200);
  ASSERT_EQ(Add('E', "[ E ] -- Drive", -1, FLAG_DRIVE_BY_LETTER), S_OK);
  const Catalog before = ReadCatalog(catalog_);
  Drive('F', DRIVE_FIXED);
  FillMedium(Medium('F'), 2000, "f");
  FillMedium(Medium('E'), 2000, "new");

  // No room even for the journal; room for the journal but not for what grows.
  for (size_t leave : {size_t(0), size_t(96) << 10}) {
    SCOPED_TRACE(leave);
    small.Fill(leave);
    EXPECT_EQ(Update('E', FLAG_DRIVE_BY_LETTER), STG_E_MEDIUMFULL);
    EXPECT_EQ(Add('F', "[ F ] -- Drive", -1, FLAG_DRIVE_BY_LETTER), STG_E_MEDIUMFULL);
    small.Free();
    EXPECT_FALSE(fs::exists(catalog_ + "-journal"));
    const Catalog after = ReadCatalog(catalog_);
    EXPECT_EQ(Keys(after), Keys(before));
    EXPECT_EQ(after.at("[ E ] -- Drive").size, before.at("[ E ] -- Drive").size);
  }
  // A removable medium whose disk could not be written out gets no serial label.
  small.Fill(0);
  Drive('G');
  WriteFile(Medium('G') / "g.txt", 5);
  EXPECT_EQ(Add('G', "Medium", 7), STG_E_MEDIUMFULL);
  EXPECT_EQ(Label(Medium('G')), "");
  small.Free();
  // A new catalog that cannot be written out is not left behind.
  small.Fill(0);
  const std::string fresh = (tmp_ / "small" / "fresh.dkc").string();
  ASSERT_EQ(scanner_->put_DocFileName(Bstr(U(fresh)).Get()), S_OK);
  EXPECT_EQ(Add('F', "[ F ] -- Drive", -1, FLAG_DRIVE_BY_LETTER), STG_E_MEDIUMFULL);
  EXPECT_FALSE(fs::exists(fresh));
  small.Free();
  // With room again, the update goes through.
  ASSERT_EQ(scanner_->put_DocFileName(Bstr(U(catalog_)).Get()), S_OK);
  EXPECT_EQ(Update('E', FLAG_DRIVE_BY_LETTER), S_OK);
  EXPECT_GE(ReadCatalog(catalog_).size(), before.size() + 1990);  // empty files are not catalogued
}
