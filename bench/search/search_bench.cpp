// Catalog search at scale: the generated real-looking tree (bench/common/realtree.h) of 200,000
// files in 20,000 folders is catalogued as one disk through the catalog document, with notes on
// some of its items, and searched with FindItem twice: for a name pattern that one file name in a
// thousand holds, and for a note pattern. The peers run in the same run as their own processes (no
// shell): `grep -c -i` over a text file of the same paths (and of the paths with their notes), and
// plocate over an index of the same paths when it is installed. Every figure is the best of three
// runs after a warm-up run of each.
//
//   bench_search [files] [--names-only]   (default 200000; folders are files / 10)
//   bench_search [files] --profile N
//     for profilers: the name search alone, N rounds after the catalog is built, each printed.
//
// The last line prints the goal figures: search_vs_grep=<name search / grep>, then
// notes_vs_grep=<note search / grep over paths and notes> and, with plocate,
// search_vs_plocate=<name search / plocate -c -i>.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "benchcomponents.h"
#include "itemstream.h"
#include "ostorage.h"
#include "peer.h"
#include "realtree.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace {

namespace fs = std::filesystem;
using bench::CheckHr;
using bench::Clock;
using bench::Seconds;
// The text of the note search; no name holds it.
constexpr const char* kNoteMarker = "autographed";

long g_hits = 0;
LONG CountHit(BSTR, double, BSTR, LONG, DATE, BSTR) {
  ++g_hits;
  return 0;
}

// Some items carry a note, a few of them the searched text.
std::string NoteOf(bench::Random& rng) {
  static const char* const kPlaces[] = {"Box", "Shelf", "Drawer", "Binder", "Crate"};
  static const char* const kWhat[] = {"original", "second copy", "scanned",       "from Grandma",   "keep",
                                      "to sort",  "checked",     "lent to Marta", "Ordner München", "取扱注意"};
  if (rng.Below(20) != 0) return {};
  std::string note =
      std::string(kPlaces[rng.Below(5)]) + " " + std::to_string(rng.Below(200)) + ", " + kWhat[rng.Below(10)];
  if (rng.Below(10) == 0) note += rng.Below(2) ? ", autographed" : ", AUTOGRAPHED by the band";
  return note;
}

long CountLines(const fs::path& p) {
  std::ifstream in(p);
  long n = -1;
  in >> n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t files = 200000;
  bool namesOnly = false;  // for profiling: the name search alone
  int profileRounds = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--names-only") {
      namesOnly = true;
    } else if (std::string(argv[i]) == "--profile" && i + 1 < argc) {
      profileRounds = std::atoi(argv[++i]);
    } else {
      files = std::strtoul(argv[i], nullptr, 10);
    }
  }
  if (files < 100) {
    std::fprintf(stderr, "usage: bench_search [files >= 100] [--names-only | --profile rounds]\n");
    return 2;
  }
  const fs::path dir = bench::MakeScratchFolder("bench-search");
  const std::u16string catalog = xcom::Utf8ToUtf16((dir / "bench.dkc").string());
  const fs::path pathsFile = dir / "paths.txt", notesFile = dir / "notes.txt";

  long expectedNames = 0, expectedNotes = 0;
  xcom::ComPtr<IOStorageInternal> doc;
  CheckHr(brevix::NewCatalogDocument(&doc), "create document");
  {
    auto t0 = Clock::now();
    const bench::RealTree t = bench::GenerateTree(bench::kTreeSeed, files, files / 10);
    const bench::TreeShape shape = bench::ShapeOf(t);
    bench::Random rng(bench::kTreeSeed + 1);
    std::ofstream paths(pathsFile), notes(notesFile);
    CheckHr(doc->LoadDoc(xcom::Bstr(catalog).Get()), "LoadDoc");
    const std::string diskName = "Disk 00";
    auto add = [&](const std::string& name, const std::string& path, ItemRecord rec) {
      const std::string note = NoteOf(rng);
      if (!note.empty()) {
        rec.note = xcom::Utf8ToUtf16(note);
        if (note.find("utographed") != std::string::npos || note.find("UTOGRAPHED") != std::string::npos)
          ++expectedNotes;
      }
      paths << path << '\n';
      notes << path << '\t' << note << '\n';
      rec.name = xcom::Utf8ToUtf16(name);
      CheckHr(doc->AddItem(nullptr, xcom::Bstr(rec.name).Get(), &rec), "AddItem");
    };
    CheckHr(doc->SetCurrentFolder(nullptr, FOLDER_ROOT), "SetCurrentFolder");
    add(diskName, diskName,
        brevix::MakeItemRecord({}, std::nullopt, 0, 700000000, u"Local Disk", {}, {}, ItemDisk, 1.0, 0, 1000));
    // Depth first: a folder's files, then its subfolders, each subfolder current while it is
    // filled.
    struct Step {
      std::uint32_t folder;
      std::size_t next;
      std::string path;
    };
    std::vector<Step> stack{{0, 0, diskName}};
    auto addFiles = [&](const Step& s) {
      for (std::uint32_t i : t.folders[s.folder].files) {
        const bench::TreeFile& f = t.files[i];
        if (f.marked) ++expectedNames;
        add(f.name, s.path + "\\" + f.name,
            brevix::MakeItemRecord({}, std::nullopt, static_cast<DWORD>(f.size >> 32), static_cast<DWORD>(f.size), {},
                                   U64ToFileTime(116444736000000000ULL + f.mtime * 10000000ULL),
                                   U64ToFileTime(116444736000000000ULL + f.mtime * 10000000ULL), ItemFile));
      }
    };
    addFiles(stack.back());
    while (!stack.empty()) {
      Step& s = stack.back();
      const std::vector<std::uint32_t>& subs = t.folders[s.folder].folders;
      if (s.next == subs.size()) {
        stack.pop_back();
        if (!stack.empty()) CheckHr(doc->SetCurrentFolder(nullptr, FOLDER_PARENT), "SetCurrentFolder");
        continue;
      }
      const bench::TreeFolder& sub = t.folders[subs[s.next++]];
      std::string path = s.path + "\\" + sub.name;
      add(sub.name, path, brevix::MakeItemRecord({}, std::nullopt, 0, 0, {}, {}, {}, ItemFolder));
      stack.push_back({subs[s.next - 1], 0, std::move(path)});
      addFiles(stack.back());
    }
    CheckHr(doc->CloseDoc(1), "CloseDoc");
    std::printf(
        "catalog: %zu files in %zu folders built in %.2f s (%.1f MB); "
        "names %zu..%zu bytes, %.0f%% longer "
        "than 31, %.0f%% of paths non-ASCII, mean depth %.1f\n",
        t.files.size(), t.folders.size(), Seconds(t0, Clock::now()), fs::file_size(dir / "bench.dkc") / 1048576.0,
        shape.minNameBytes, shape.maxNameBytes, shape.longNames * 100, shape.nonAsciiPaths * 100, shape.meanDepth);
  }

  xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &CountHit);
  auto search = [&](const char16_t* name, const char16_t* note) {
    g_hits = 0;
    const xcom::Bstr n = name ? xcom::Bstr(name) : xcom::Bstr(), m = note ? xcom::Bstr(note) : xcom::Bstr();
    const auto a = Clock::now();
    CheckHr(doc->FindItem(nullptr, n.Get(), m.Get(), 0, 0, 0, SEARCH_ALL, token.value()), "FindItem");
    return Seconds(a, Clock::now());
  };
  if (profileRounds > 0) {
    double best = 1e9;
    for (int i = 0; i < profileRounds; ++i) {
      const double s = search(u"*qzv", nullptr);
      best = std::min(best, s);
      std::printf("round %d: FindItem name \"*qzv\" %.4f s, %ld hits\n", i + 1, s, g_hits);
    }
    std::printf("best %.4f s\n", best);
    fs::remove_all(dir);
    return 0;
  }
  const fs::path out = dir / "peer.out";
  auto grep = [&](const char* what, const fs::path& file) {
    return bench::RunPeer({"grep", "-c", "-i", what, file.string()}, out.string(), 1);
  };
  const bool plocate = bench::HavePeer("plocate") && bench::HavePeer("plocate-build");
  const fs::path db = dir / "paths.plocate";
  if (plocate) bench::RunPeer({"plocate-build", "-p", "-l", "no", pathsFile.string(), db.string()}, "/dev/null");
  auto locate = [&] {
    return bench::RunPeer({"plocate", "-d", db.string(), "-c", "-i", bench::kNameMarker}, out.string(), 1);
  };

  struct Figure {
    double ours = 1e9, peer = 1e9, plocate = 1e9;
    long hits = 0, peerHits = 0, plocateHits = -1;
  };
  auto measure = [&](const char16_t* name, const char16_t* note, const char* peerText, const fs::path& peerFile,
                     bool withPlocate) {
    Figure f;
    search(name, note);  // warm-up of each
    grep(peerText, peerFile);
    if (withPlocate) locate();
    for (int i = 0; i < 3; ++i) {
      f.ours = std::min(f.ours, search(name, note));
      f.hits = g_hits;
      f.peer = std::min(f.peer, grep(peerText, peerFile));
      f.peerHits = CountLines(out);
      if (withPlocate) {
        f.plocate = std::min(f.plocate, locate());
        f.plocateHits = CountLines(out);
      }
    }
    return f;
  };
  const Figure names = measure(u"*qzv", nullptr, bench::kNameMarker, pathsFile, plocate);
  const Figure notes = namesOnly ? Figure{} : measure(nullptr, u"*autographed", kNoteMarker, notesFile, false);
  if (namesOnly) expectedNotes = 0;

  std::printf("FindItem name \"*qzv\": %ld hits (expected %ld, grep %ld", names.hits, expectedNames, names.peerHits);
  if (plocate) std::printf(", plocate %ld", names.plocateHits);
  std::printf(") in %.3f s; grep -c -i %.3f s over %.1f MB of paths", names.ours, names.peer,
              fs::file_size(pathsFile) / 1048576.0);
  if (plocate) std::printf("; plocate -c -i %.4f s", names.plocate);
  std::printf(
      "\nFindItem note \"*autographed\": %ld hits (expected %ld, grep "
      "%ld) in %.3f s; grep -c -i %.3f s "
      "over %.1f MB of paths and notes\n",
      notes.hits, expectedNotes, notes.peerHits, notes.ours, notes.peer, fs::file_size(notesFile) / 1048576.0);
  fs::remove_all(dir);
  if (names.hits != expectedNames || names.peerHits != expectedNames || notes.hits != expectedNotes ||
      notes.peerHits != expectedNotes || (plocate && names.plocateHits != expectedNames)) {
    std::fprintf(stderr, "hit counts differ\n");
    return 1;
  }
  std::printf("search_s=%.3f grep_s=%.3f search_vs_grep=%.2f notes_vs_grep=%.2f", names.ours, names.peer,
              names.ours / names.peer, notes.ours / notes.peer);
  if (plocate) std::printf(" search_vs_plocate=%.1f", names.ours / names.plocate);
  std::printf("\n");
  return 0;
}
