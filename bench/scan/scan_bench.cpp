// Disk scanning at scale: a generated tree on a fixture drive is added as a disk with
// AddNewDisk, then updated with nothing changed with UpdateDisk, each timed against a raw
// walk of the same tree in the same run (find TREE -printf '%s %T@ %C@\n' > /dev/null, with a
// warm cache). The tree is built a second time at ten times the size to see how the cost per
// file scales.
//
//   bench_scan [files] [--no-scale]   (default 100000 files in files / 20 folders)
//
// The last line prints the goal figures:
//   add_vs_walk=<add / walk> update_vs_walk=<update / walk>
//   per_file_1m_vs_100k=<add time per file of the large tree / of the small one>
//   peak_rss_mb=<the process's peak resident memory>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "iofilegraber.h"
#include "ofilegraber.h"
#include "volumes_fixture.h"
#include "xcom/com.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}
void Check(HRESULT hr, const char* what) {
  if (hr != S_OK) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

std::string Num(long v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

// `files` files in files / 20 folders: top folders of 50 subfolders each (the top folders
// hold files too), every file with a size of 1 byte to 64 KiB (sparse, so the tree takes
// inodes, not data) and a last-write time of its own.
void BuildTree(const fs::path& root, long files) {
  const long folders = std::max(1L, files / 20);
  const long tops = std::max(1L, folders / 51);
  long made = 0, fileNo = 0;
  auto fill = [&](const fs::path& dir, long count) {
    for (long i = 0; i < count && fileNo < files; ++i, ++fileNo) {
      std::string name = (dir / ("file_" + Num(fileNo, 7) + (fileNo % 3 ? ".dat" : ".txt"))).string();
      int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
      Check(fd >= 0, "create file");
      Check(::ftruncate(fd, 1 + (fileNo * 7919) % 65536) == 0, "size file");
      struct timespec times[2] = {{1500000000 + fileNo, 0}, {1500000000 + fileNo, 0}};
      Check(::futimens(fd, times) == 0, "time file");
      ::close(fd);
    }
  };
  const long perFolder = files / folders;
  for (long t = 0; t < tops && made < folders; ++t) {
    fs::path top = root / ("Folder " + Num(t, 4));
    fs::create_directory(top);
    ++made;
    fill(top, perFolder);
    for (int s = 0; s < 50 && made < folders; ++s, ++made) {
      fs::path sub = top / ("Sub " + Num(s, 2));
      fs::create_directory(sub);
      fill(sub, perFolder);
    }
  }
  fill(root, files - fileNo);  // what the division left over
}

double RawWalk(const fs::path& tree) {
  const std::string cmd = "find '" + tree.string() + "' -printf '%s %T@ %C@\\n' > /dev/null";
  auto a = Clock::now();
  Check(std::system(cmd.c_str()) == 0, "find");
  return Seconds(a, Clock::now());
}

struct Run {
  long files = 0;
  double walk = 0, add = 0, update = 0;
  double catalogMb = 0;
};

Run Measure(const fs::path& dir, long files, char letter) {
  Run r;
  r.files = files;
  const fs::path tree = dir / ("tree-" + std::to_string(files));
  fs::create_directories(tree);
  auto g0 = Clock::now();
  BuildTree(tree, files);
  std::printf("tree: %ld files built in %.1f s\n", files, Seconds(g0, Clock::now()));
  std::fflush(stdout);

  volumes::testing::FixtureDrive drive(letter, DRIVE_FIXED, tree, "Bench");
  const xcom::Bstr root(xcom::Utf8ToUtf16(std::string(1, letter) + ":\\"));
  const std::string catalog = (dir / ("bench-" + std::to_string(files) + ".dkc")).string();
  xcom::ComPtr<IOFileGraber> scanner;
  Check(brevix::NewFileGraber(&scanner), "create scanner");
  Check(scanner->put_DocFileName(xcom::Bstr(xcom::Utf8ToUtf16(catalog)).Get()), "DocFileName");
  Check(scanner->put_DiskType(xcom::Bstr(u"Local Disk").Get()), "DiskType");

  // Warm the cache, then take the best of three raw walks.
  RawWalk(tree);
  r.walk = 1e9;
  for (int i = 0; i < 3; ++i) r.walk = std::min(r.walk, RawWalk(tree));

  const std::u16string diskName = std::u16string(u"[ ") + static_cast<char16_t>(letter) + u" ] -- Drive";
  xcom::Variant data;
  auto a = Clock::now();
  Check(scanner->AddNewDisk(root.Get(), xcom::Bstr(diskName).Get(), nullptr, &data, FLAG_DRIVE_BY_LETTER, nullptr),
        "AddNewDisk");
  r.add = Seconds(a, Clock::now());
  a = Clock::now();
  Check(scanner->UpdateDisk(root.Get(), FLAG_DRIVE_BY_LETTER, &data), "UpdateDisk");
  r.update = Seconds(a, Clock::now());
  r.catalogMb = fs::file_size(catalog) / 1048576.0;
  std::printf("%ld files: walk %.3f s, add %.3f s (%.2f x), update %.3f s (%.2f x), catalog %.1f MB\n", files,
              r.walk, r.add, r.add / r.walk, r.update, r.update / r.walk, r.catalogMb);
  std::fflush(stdout);
  fs::remove_all(tree);
  fs::remove(catalog);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  long files = 100000;
  bool scale = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-scale") == 0) {
      scale = false;
    } else {
      files = std::atol(argv[i]);
    }
  }
  if (files < 20) {
    std::fprintf(stderr, "usage: bench_scan [files >= 20] [--no-scale]\n");
    return 2;
  }
  std::string tmpl = (fs::temp_directory_path() / "bench-scan-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return 2;
  const fs::path dir(tmpl);
  fs::create_directories(dir / "home");
  ::setenv("XENDORA_HOME", (dir / "home").c_str(), 1);
  volumes::testing::IsolateFromMachine();

  const Run small = Measure(dir, files, 'S');
  double perFileRatio = 0;
  if (scale) {
    const Run large = Measure(dir, files * 10, 'L');
    perFileRatio = (large.add / large.files) / (small.add / small.files);
  }
  fs::remove_all(dir);

  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("add_vs_walk=%.2f update_vs_walk=%.2f per_file_1m_vs_100k=%.2f peak_rss_mb=%.1f\n", small.add / small.walk,
              small.update / small.walk, perFileRatio, ru.ru_maxrss / 1024.0);
  return 0;
}
