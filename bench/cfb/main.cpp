// Catalog scale for compound files: one stream of 40-100 bytes per catalogued file, one
// storage per folder (20 disks of folders, 50 files a folder), all made in one open and
// released; then the file is opened again, one stream is read by its path, and everything is
// enumerated. Prints the cost per element at 10K, 100K and 1M elements, the reopen-and-read
// time against the creation time, and the peak memory against the file's size; the last line
// gives the goal figures as name=value pairs.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "cfb.h"
#include "peer.h"

namespace {

using bench::Clock;
using bench::Seconds;

std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

constexpr int kDisks = 20;
constexpr int kPerFolder = 50;
constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kStream = STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;

std::string FolderName(int f) { return "Folder " + std::to_string(f); }
std::string FileName(int i) { return "file-" + std::to_string(i) + ".dat"; }

// Creates n streams under n/50 folders in one open and releases: seconds taken.
double Build(const std::string& path, long n) {
  std::mt19937 rng(12345);
  char payload[100];
  for (char& c : payload) c = static_cast<char>('a' + rng() % 26);
  auto t0 = Clock::now();
  IStorage* root;
  Check(StgCreateDocfile(U(path).c_str(), kCreate, 0, &root), "StgCreateDocfile");
  long folders = n / kPerFolder;
  long perDisk = folders / kDisks;
  for (int d = 0; d < kDisks; ++d) {
    IStorage* disk;
    Check(root->CreateStorage(U("Disk " + std::to_string(d)).c_str(), kCreate, 0, 0, &disk), "disk");
    for (long f = 0; f < perDisk; ++f) {
      IStorage* folder;
      Check(disk->CreateStorage(U(FolderName(static_cast<int>(f))).c_str(), kCreate, 0, 0, &folder), "folder");
      for (int i = 0; i < kPerFolder; ++i) {
        IStream* s;
        Check(folder->CreateStream(U(FileName(i)).c_str(), kStream, 0, 0, &s), "stream");
        ULONG len = 40 + rng() % 61;
        Check(s->Write(payload, len, nullptr), "write");
        s->Release();
      }
      folder->Release();
    }
    disk->Release();
  }
  root->Release();
  return Seconds(t0, Clock::now());
}

long Enumerate(IStorage* stg) {
  long count = 0;
  IEnumSTATSTG* e;
  Check(stg->EnumElements(0, nullptr, 0, &e), "EnumElements");
  STATSTG st;
  ULONG got;
  while (e->Next(1, &st, &got) == S_OK) {
    ++count;
    if (st.type == STGTY_STORAGE) {
      IStorage* sub;
      Check(stg->OpenStorage(st.pwcsName, nullptr, kRead, nullptr, 0, &sub), "OpenStorage");
      count += Enumerate(sub);
      sub->Release();
    }
    std::free(st.pwcsName);
  }
  e->Release();
  return count;
}

double PeakRssBytes() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) * 1024.0;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
  std::string path = (dir / ("bench-cfb-" + std::to_string(::getpid()) + ".dkc")).string();
  const long sizes[] = {10000, 100000, 1000000};
  double perElement[3];
  double createSeconds = 0;
  for (int k = 0; k < 3; ++k) {
    double t = Build(path, sizes[k]);
    perElement[k] = t / static_cast<double>(sizes[k]);
    std::printf("%8ld elements: create+release %.3f s, %.3f us per element, file %.1f MB\n", sizes[k], t,
                perElement[k] * 1e6, static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    std::fflush(stdout);
    createSeconds = t;
    if (k < 2) std::filesystem::remove(path);
  }
  double fileSize = static_cast<double>(std::filesystem::file_size(path));

  auto t0 = Clock::now();
  IStorage* root;
  Check(StgOpenStorage(U(path).c_str(), nullptr, kRead, nullptr, 0, &root), "StgOpenStorage");
  IStorage* disk;
  IStorage* folder;
  IStream* s;
  Check(root->OpenStorage(u"Disk 13", nullptr, kRead, nullptr, 0, &disk), "open disk");
  Check(disk->OpenStorage(U(FolderName(777)).c_str(), nullptr, kRead, nullptr, 0, &folder), "open folder");
  Check(folder->OpenStream(U(FileName(42)).c_str(), nullptr, kRead, 0, &s), "open stream");
  char buf[128];
  ULONG got = 0;
  s->Read(buf, sizeof buf, &got);
  s->Release();
  folder->Release();
  disk->Release();
  double reopen = Seconds(t0, Clock::now());
  std::printf("reopen and read one stream (%u bytes) by path: %.3f ms\n", got, reopen * 1e3);

  t0 = Clock::now();
  long all = Enumerate(root);
  root->Release();
  std::printf("enumerate everything: %ld elements in %.3f s\n", all, Seconds(t0, Clock::now()));
  double peak = PeakRssBytes();
  std::printf("peak memory %.1f MB, file %.1f MB\n", peak / 1e6, fileSize / 1e6);
  std::filesystem::remove(path);

  std::printf("per_element_1m_vs_10k=%.3f reopen_vs_create=%.5f peak_rss_vs_file=%.3f\n",
              perElement[2] / perElement[0], reopen / createSeconds, peak / fileSize);
  return 0;
}
