// Catalog search at scale: a catalog of 1,000,000 files in 50,000 folders built through the
// catalog document, searched with FindItem for the name pattern "*zzz" (the walk visits every
// element), against grep -c zzz over a text file of the same paths, in the same run.
//
//   bench_search [files]      (default 1000000; folders are files / 20)
//
// The last line prints the goal figure: search_vs_grep=<FindItem time / grep time>.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "itemstream.h"
#include "ostorage.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

long g_hits = 0;
LONG CountHit(BSTR, double, BSTR, LONG, DATE, BSTR) {
  ++g_hits;
  return 0;
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

std::string Num(long v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const long files = argc > 1 ? std::atol(argv[1]) : 1000000;
  const long folders = files / 20;                // 20 files in every folder
  const long disks = 10;
  const long topPerDisk = folders / disks / 100;  // each top folder holds 99 folders
  if (topPerDisk < 1) {
    std::fprintf(stderr, "too few files\n");
    return 2;
  }

  std::string tmpl = (std::filesystem::temp_directory_path() / "bench-search-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return 2;
  const std::filesystem::path dir(tmpl);
  const std::u16string catalog = xcom::Utf8ToUtf16((dir / "bench.dkc").string());
  const std::string pathsFile = (dir / "paths.txt").string();

  // Build the catalog through the document, and write the same paths as a text file.
  xcom::ComPtr<IOStorageInternal> doc;
  Check(brevix::NewCatalogDocument(&doc), "create document");
  std::ofstream paths(pathsFile);
  auto t0 = Clock::now();
  Check(doc->LoadDoc(xcom::Bstr(catalog).Get()), "LoadDoc");
  long fileNo = 0, folderCount = 0, expected = 0;
  auto add = [&](const std::u16string& name, ItemRecord rec) {
    rec.name = name;
    Check(doc->AddItem(nullptr, xcom::Bstr(name).Get(), &rec), "AddItem");
  };
  auto addFiles = [&](const std::string& folderPath) {
    for (int f = 0; f < 20; ++f, ++fileNo) {
      // One file in a thousand carries the searched text.
      std::string name = (fileNo % 1000 == 0 ? "file_zzz_" : "file_") + Num(fileNo, 7) + ".dat";
      paths << folderPath << '\\' << name << '\n';
      if (fileNo % 1000 == 0) ++expected;
      add(xcom::Utf8ToUtf16(name),
          brevix::MakeItemRecord({}, std::nullopt, 0, static_cast<DWORD>(1000 + fileNo % 50000), {},
                                 U64ToFileTime(132000000000000000ULL + fileNo), U64ToFileTime(132000000000000000ULL),
                                 ItemFile));
    }
  };
  // A folder with its 20 files under the folder `parent`; it stays the current folder.
  auto addFolder = [&](const std::string& parent, const std::string& name) {
    std::string path = parent + "\\" + name;
    paths << path << '\n';
    add(xcom::Utf8ToUtf16(name), brevix::MakeItemRecord({}, std::nullopt, 0, 0, {}, {}, {}, ItemFolder));
    ++folderCount;
    addFiles(path);
    return path;
  };
  for (long d = 0; d < disks; ++d) {
    std::string disk = "Disk " + Num(d, 2);
    paths << disk << '\n';
    Check(doc->SetCurrentFolder(nullptr, FOLDER_ROOT), "SetCurrentFolder");
    add(xcom::Utf8ToUtf16(disk), brevix::MakeItemRecord({}, std::nullopt, 0, 700000000, u"CD-RW Disk", {}, {},
                                                        ItemDisk, static_cast<double>(d + 1), 0, 1000));
    for (long t = 0; t < topPerDisk; ++t) {
      std::string topPath = addFolder(disk, "Folder " + Num(t, 3));
      for (int s = 0; s < 99; ++s) {
        addFolder(topPath, "Sub " + Num(s, 2));
        Check(doc->SetCurrentFolder(nullptr, FOLDER_PARENT), "SetCurrentFolder");
      }
      Check(doc->SetCurrentFolder(nullptr, FOLDER_PARENT), "SetCurrentFolder");
    }
  }
  Check(doc->CloseDoc(1), "CloseDoc");
  paths.close();
  auto t1 = Clock::now();
  std::printf("catalog: %ld files in %ld folders on %ld disks, built in %.2f s (%.1f MB)\n", fileNo, folderCount,
              disks, Seconds(t0, t1), std::filesystem::file_size(dir / "bench.dkc") / 1048576.0);

  xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &CountHit);
  auto search = [&] {
    g_hits = 0;
    auto a = Clock::now();
    Check(doc->FindItem(nullptr, xcom::Bstr(u"*zzz").Get(), nullptr, 0, 0, 0, SEARCH_ALL, token.value()),
          "FindItem");
    return Seconds(a, Clock::now());
  };
  const std::string grepCmd = "grep -c zzz '" + pathsFile + "' > '" + (dir / "grep.out").string() + "'";
  auto grep = [&] {
    auto a = Clock::now();
    int rc = std::system(grepCmd.c_str());
    double s = Seconds(a, Clock::now());
    if (rc != 0) {
      std::fprintf(stderr, "grep failed\n");
      std::exit(1);
    }
    return s;
  };

  // Warm both, then take the best of three runs of each.
  search();
  grep();
  double bestSearch = 1e9, bestGrep = 1e9;
  for (int i = 0; i < 3; ++i) {
    bestSearch = std::min(bestSearch, search());
    bestGrep = std::min(bestGrep, grep());
  }
  long grepCount = 0;
  {
    std::ifstream in(dir / "grep.out");
    in >> grepCount;
  }
  std::printf("FindItem \"*zzz\": %ld hits (expected %ld, grep counts %ld) in %.3f s\n", g_hits, expected, grepCount,
              bestSearch);
  std::printf("grep -c zzz over %.1f MB of paths: %.3f s\n", std::filesystem::file_size(pathsFile) / 1048576.0,
              bestGrep);
  std::filesystem::remove_all(dir);
  if (g_hits != expected || grepCount != expected) {
    std::fprintf(stderr, "hit counts differ\n");
    return 1;
  }
  std::printf("search_s=%.3f grep_s=%.3f search_vs_grep=%.2f\n", bestSearch, bestGrep, bestSearch / bestGrep);
  return 0;
}
