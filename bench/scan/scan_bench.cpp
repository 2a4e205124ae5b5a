// Disk scanning at scale: a generated real-looking tree (bench/common/realtree.h) on a fixture
// drive is added as a disk with AddNewDisk and updated with UpdateDisk after 1% of its files
// changed, each timed against a raw walk of the same tree in the same run:
// `find TREE -printf '%s %T@ %C@\n'` started as its own process (no shell), output dropped. Every
// figure is the best of
// three runs after a warm-up run of each. The peak resident memory of an add is measured against
// the size of the catalog it writes. A tree of 100,000 files and one of 1,000,000 are then added
// and updated to see how the cost per file scales.
//
//   bench_scan [files] [--no-scale]   (default 200000 files in files / 10 folders)
//   bench_scan [files] --profile walk|add|update
//     for profilers: one figure alone, five rounds after a warm-up, each round printed; the tree
//     is kept in the temporary folder for the next such run
//
// The last line prints the goal figures:
//   add_vs_walk=<add / walk> update_vs_walk=<1%-changed update / walk>
//   per_file_1m_vs_100k=<add time per file of the 1M tree / of the 100K one>
//   update_per_file_1m_vs_100k=<the same for the 1%-changed update>
//   add_peak_mb=<peak resident memory during an add> catalog_mb=<the catalog's size>
//   add_peak_over_catalog_mb=<the difference>
#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "benchcomponents.h"
#include "iofilegraber.h"
#include "ofilegraber.h"
#include "peer.h"
#include "realtree.h"
#include "volumes_fixture.h"
#include "xcom/com.h"

namespace {

namespace fs = std::filesystem;
using bench::Check;
using bench::Clock;
using bench::Seconds;

// Every call of the run must answer S_OK.
void CheckHr(HRESULT hr, const char* what) { bench::CheckHr(hr, what, bench::kOnlyS_OK); }

double RawWalk(const fs::path& tree) {
  return bench::RunPeer({"find", tree.string(), "-printf", "%s %T@ %C@\\n"}, "/dev/null");
}

struct Run {
  std::size_t files = 0;
  double walk = 1e9, add = 1e9, update = 1e9, updateUnchanged = 0;
  double updateWalk = 1e9;
  double peakMb = 0, baseMb = 0, catalogMb = 0;
};

class Disk {
 public:
  Disk(const fs::path& dir, const fs::path& tree, std::size_t files, char letter)
      : drive_(letter, DRIVE_FIXED, tree, "Bench"),
        root_(xcom::Utf8ToUtf16(std::string(1, letter) + ":\\")),
        catalog_((dir / ("bench-" + std::to_string(files) + ".dkc")).string()),
        name_(std::u16string(u"[ ") + static_cast<char16_t>(letter) + u" ] -- Drive") {}

  ~Disk() { Reset(); }

  // No scanner and no catalog.
  void Reset() {
    scanner_ = nullptr;
    std::error_code ec;
    fs::remove(catalog_, ec);
  }

  // A fresh catalog and scanner, then the disk added into it: the seconds the add took.
  double Add() {
    Reset();
    CheckHr(brevix::NewFileGraber(&scanner_), "create scanner");
    CheckHr(scanner_->put_DocFileName(xcom::Bstr(xcom::Utf8ToUtf16(catalog_)).Get()), "DocFileName");
    CheckHr(scanner_->put_DiskType(xcom::Bstr(u"Local Disk").Get()), "DiskType");
    data_ = xcom::Variant();
    const auto a = Clock::now();
    CheckHr(scanner_->AddNewDisk(root_.Get(), xcom::Bstr(name_).Get(), nullptr, &data_, FLAG_DRIVE_BY_LETTER, nullptr),
            "AddNewDisk");
    return Seconds(a, Clock::now());
  }
  double Update() {
    const auto a = Clock::now();
    CheckHr(scanner_->UpdateDisk(root_.Get(), FLAG_DRIVE_BY_LETTER, &data_), "UpdateDisk");
    return Seconds(a, Clock::now());
  }
  double CatalogMb() const { return static_cast<double>(fs::file_size(catalog_)) / 1048576.0; }

 private:
  volumes::testing::FixtureDrive drive_;
  xcom::Bstr root_;
  std::string catalog_;
  std::u16string name_;
  xcom::ComPtr<IOFileGraber> scanner_;
  xcom::Variant data_;
};

// Makes the tree of `files` files under `tree` (written only when `write`): the paths of the
// 1% of its files that an update finds changed, spread over the tree.
std::vector<std::string> BuildTree(const fs::path& tree, std::size_t files, bool write) {
  std::vector<std::string> changed;
  auto g0 = Clock::now();
  bench::RealTree t = bench::GenerateTree(bench::kTreeSeed, files, files / 10);
  const bench::TreeShape shape = bench::ShapeOf(t);
  if (write) {
    fs::create_directories(tree);
    bench::WriteTree(t, tree.string());
  }
  std::printf(
      "tree: %zu files in %zu folders built in %.1f s; names "
      "%zu..%zu bytes, %.0f%% longer than 31, "
      "%.0f%% of paths non-ASCII, mean depth %.1f\n",
      t.files.size(), t.folders.size(), Seconds(g0, Clock::now()), shape.minNameBytes, shape.maxNameBytes,
      shape.longNames * 100, shape.nonAsciiPaths * 100, shape.meanDepth);
  for (std::size_t i = 37; i < t.files.size(); i += 100) changed.push_back((tree / t.PathOf(t.files[i])).string());
  malloc_trim(0);
  std::fflush(stdout);
  return changed;
}

void Touch(const std::vector<std::string>& paths, int round) {
  const struct timespec t = {1700000000 + 1000 * (round + 1), 0};
  const struct timespec times[2] = {t, t};
  for (const std::string& p : paths) Check(::utimensat(AT_FDCWD, p.c_str(), times, 0) == 0, "touch " + p);
}

// Builds the tree of `files` files; `full` measures updates and memory too, else the add alone.
Run Measure(const fs::path& dir, std::size_t files, char letter, bool full) {
  Run r;
  r.files = files;
  const fs::path tree = dir / ("tree-" + std::to_string(files));
  const std::vector<std::string> changed = BuildTree(tree, files, true);  // 1% of the files

  Disk disk(dir, tree, files, letter);
  RawWalk(tree);  // warm-up of both
  disk.Add();
  for (int i = 0; i < 3; ++i) {
    r.walk = std::min(r.walk, RawWalk(tree));
    disk.Reset();
    malloc_trim(0);
    r.baseMb = bench::CurrentRssMb();
    bench::ResetPeakRss();
    r.add = std::min(r.add, disk.Add());
    r.peakMb = std::max(r.peakMb, bench::PeakRssMb());
  }
  r.catalogMb = disk.CatalogMb();
  if (full) {
    r.updateUnchanged = disk.Update();
    for (int i = 0; i < 3; ++i) {
      Touch(changed, i);
      r.updateWalk = std::min(r.updateWalk, RawWalk(tree));
      r.update = std::min(r.update, disk.Update());
    }
  }
  std::printf("%zu files: walk %.3f s, add %.3f s (%.2f x)", files, r.walk, r.add, r.add / r.walk);
  if (full) {
    std::printf(", update of %zu changed %.3f s (%.2f x), unchanged %.3f s", changed.size(), r.update,
                r.update / r.walk, r.updateUnchanged);
  }
  std::printf(", catalog %.1f MB, add peak %.1f MB (%.1f MB before)\n", r.catalogMb, r.peakMb, r.baseMb);
  std::fflush(stdout);
  fs::remove_all(tree);
  return r;
}

// One figure alone, for profilers: five rounds after a warm-up, on a tree kept between runs.
int Profile(const std::string& what, std::size_t files) {
  const fs::path dir = fs::temp_directory_path() / ("bench-scan-profile-" + std::to_string(files));
  const fs::path tree = dir / "tree";
  const bool made = fs::exists(dir / "complete");
  if (!made) fs::remove_all(dir);
  fs::create_directories(dir / "home");
  ::setenv("XENDORA_HOME", (dir / "home").c_str(), 1);
  volumes::testing::IsolateFromMachine();
  const std::vector<std::string> changed = BuildTree(tree, files, !made);
  if (!made) std::ofstream(dir / "complete") << "1";
  Disk disk(dir, tree, files, 'P');
  auto cpu = [](clockid_t clock) {
    struct timespec t {};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
  };
  for (int i = 0; i <= 5; ++i) {
    const double thread0 = cpu(CLOCK_THREAD_CPUTIME_ID), process0 = cpu(CLOCK_PROCESS_CPUTIME_ID);
    double s = 0;
    if (what == "walk") {
      s = RawWalk(tree);
    } else if (what == "add") {
      s = disk.Add();
    } else if (what == "update") {
      if (i == 0) disk.Add();
      Touch(changed, i);
      s = disk.Update();
    } else {
      std::fprintf(stderr, "--profile walk|add|update\n");
      return 2;
    }
    // The processor time of this thread (the catalog's) and of the whole process (with the
    // read-ahead); the walk's is a child's, not counted.
    std::printf("%s %s %.3f s, cpu %.3f s here, %.3f s in all\n", what.c_str(), i == 0 ? "warm-up" : "round", s,
                cpu(CLOCK_THREAD_CPUTIME_ID) - thread0, cpu(CLOCK_PROCESS_CPUTIME_ID) - process0);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t files = 200000;
  bool scale = true;
  std::string profile;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-scale") == 0) {
      scale = false;
    } else if (std::strcmp(argv[i], "--profile") == 0 && i + 1 < argc) {
      profile = argv[++i];
    } else {
      files = std::strtoul(argv[i], nullptr, 10);
    }
  }
  if (files < 100) {
    std::fprintf(stderr, "usage: bench_scan [files >= 100] [--no-scale]\n");
    return 2;
  }
  if (!profile.empty()) return Profile(profile, files);
  const fs::path dir = bench::MakeScratchFolder("bench-scan");
  fs::create_directories(dir / "home");
  ::setenv("XENDORA_HOME", (dir / "home").c_str(), 1);
  volumes::testing::IsolateFromMachine();

  const Run main = Measure(dir, files, 'S', true);
  double perFileRatio = 0;
  double updatePerFileRatio = 0;
  if (scale) {
    // The update too: its cost per file must not grow with the catalog either.
    const Run small = Measure(dir, 100000, 'M', true);
    const Run large = Measure(dir, 1000000, 'L', true);
    perFileRatio = (large.add / large.files) / (small.add / small.files);
    updatePerFileRatio = (large.update / large.files) / (small.update / small.files);
  }
  fs::remove_all(dir);

  std::printf(
      "add_vs_walk=%.2f update_vs_walk=%.2f per_file_1m_vs_100k=%.2f update_per_file_1m_vs_100k=%.2f "
      "add_peak_mb=%.1f catalog_mb=%.1f "
      "add_peak_over_catalog_mb=%.1f\n",
      main.add / main.walk, main.update / main.updateWalk, perFileRatio, updatePerFileRatio, main.peakMb,
      main.catalogMb, main.peakMb - main.catalogMb);
  return 0;
}
