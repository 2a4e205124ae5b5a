// The find window at scale: the generated real-looking tree of 200,000 files
// (bench/common/realtree.h) is catalogued through the disk scanner, then searched for a name
// pattern that hits about 1% of the names, once through the find window (Find Now, rows
// arriving in the result list, the window shown on the offscreen platform, timed until the
// list with every row has been painted) and once through the
// browser control's FindItem alone with a callback that does nothing, both created from
// libbrevix.so by ProgID. Each figure is the best of three after a warm-up run of each.
//
//   bench_findwindow [files]   (default 200000 files in files / 10 folders)
//   XENDORA_BENCH_PROFILE=N    afterwards, N more window searches alone, for a profiler
//
// The last line prints the goal figures:
//   window_vs_finditem=<window search / FindItem alone> first_row_s=<Find Now to the first row
//   shown> walk_s=<the window's whole search>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>
#include <cctype>
#include <cmath>
#include <string>

#include "appstate.h"
#include "benchcomponents.h"
#include "frmfind.h"
#include "icompctl.h"
#include "iofilegraber.h"
#include "peer.h"
#include "treedrive.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace {

namespace fs = std::filesystem;
using bench::Check;
using bench::Clock;
using bench::Seconds;

// Notes the paints of the result list's rows.
class PaintSeen : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

long g_hits = 0;
LONG CountHit(BSTR, double, BSTR, LONG, DATE, BSTR) {
  ++g_hits;
  return 0;
}

// A pattern "*x*y*" (the letters x and y in that order, in either case) that matches the names of
// the tree's folders and files nearest to 1%; *share receives the fraction it matches.
std::string OnePercentPattern(const bench::RealTree& tree, double* share) {
  std::vector<long> counts(26 * 26, 0);
  auto count = [&](const std::string& name) {
    int first[26], last[26];
    std::fill(std::begin(first), std::end(first), 1 << 30);
    std::fill(std::begin(last), std::end(last), -1);
    for (int i = 0; i < static_cast<int>(name.size()); ++i) {
      const int c = std::tolower(static_cast<unsigned char>(name[i])) - 'a';
      if (c < 0 || c >= 26) continue;
      first[c] = std::min(first[c], i);
      last[c] = i;
    }
    for (int x = 0; x < 26; ++x)
      for (int y = 0; y < 26; ++y)
        if (first[x] < last[y]) ++counts[x * 26 + y];
  };
  for (const bench::TreeFile& f : tree.files) count(f.name);
  for (const bench::TreeFolder& f : tree.folders) count(f.name);
  const double n = static_cast<double>(tree.files.size() + tree.folders.size());
  int best = 0;
  for (int i = 1; i < 26 * 26; ++i)
    if (std::abs(counts[i] / n - 0.01) < std::abs(counts[best] / n - 0.01)) best = i;
  *share = counts[best] / n;
  return std::string("*") + static_cast<char>('a' + best / 26) + "*" + static_cast<char>('a' + best % 26) + "*";
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200000;
  const fs::path dir = bench::StartProgramRun("bench-findwindow");
  QApplication app(argc, argv);

  // The tree on a fixture drive, catalogued by the scanner.
  const bench::TreeDrive disk(dir, files, 'K');
  const bench::RealTree& tree = disk.tree;
  const std::u16string catalog = xcom::Utf8ToUtf16((dir / "bench.dkc").string());
  {
    auto scanner = bench::CreateByProgId<IOFileGraber>(kProgIdOFileGraberIndependent);
    bench::CheckHr(scanner->put_DocFileName(xcom::Bstr(catalog).Get()), "DocFileName");
    bench::CheckHr(scanner->put_DiskType(xcom::Bstr(u"Local Disk").Get()), "DiskType");
    xcom::Variant result;
    bench::CheckHr(scanner->AddNewDisk(xcom::Bstr(u"K:\\").Get(), xcom::Bstr(u"[ K ] -- Drive").Get(), xcom::Bstr(u"").Get(),
                                &result, FLAG_DRIVE_BY_LETTER, nullptr),
            "AddNewDisk");
  }
  auto ctl = bench::CreateByProgId<ICompCtl>(kProgIdCompCtlIndependent);
  bench::CheckHr(ctl->put_DocFileName(xcom::Bstr(catalog).Get()), "DocFileName");

  double share = 0;
  const std::string pattern = OnePercentPattern(tree, &share);
  const std::u16string pattern16 = xcom::Utf8ToUtf16(pattern);

  // FindItem alone, the callback counting only.
  double finditem = 1e9;
  long hits = 0;
  xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &CountHit);
  for (int i = 0; i < 4; ++i) {
    g_hits = 0;
    const auto t0 = Clock::now();
    bench::CheckHr(ctl->FindItem(xcom::Bstr(u"").Get(), xcom::Bstr(pattern16).Get(), xcom::Bstr(u"").Get(), 0, 0, 0, 0,
                          token.value()),
            "FindItem");
    const double s = Seconds(t0, Clock::now());
    if (i > 0) finditem = std::min(finditem, s);
    hits = g_hits;
  }

  // The find window.
  app::AppState state;
  app::catalog::FindWindowParts parts = app::catalog::FindWindowPartsOf(state, ctl.Get());
  app::catalog::frmFind window(parts);
  window.resize(900, 600);
  window.show();
  app.processEvents();
  auto* list = window.findChild<QTreeView*>("lstResult");
  auto* names = window.findChild<QComboBox*>("lstName");
  PaintSeen seen;
  list->viewport()->installEventFilter(&seen);
  double windowBest = 1e9, firstRow = 1e9;
  long rows = 0;
  for (int i = 0; i < 4; ++i) {
    names->setCurrentText(QString::fromStdString(pattern));
    Clock::time_point t0, first{};
    auto conn = QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
      if (first == Clock::time_point{}) first = Clock::now();
    });
    t0 = Clock::now();
    window.FindNow();
    // The search is over for the user once the list, laid out with every row, has been painted.
    seen.painted = false;
    for (int turn = 0; turn < 20 && !seen.painted; ++turn) app.processEvents();
    const double s = Seconds(t0, Clock::now());
    QObject::disconnect(conn);
    rows = list->model()->rowCount();
    if (i > 0 && s < windowBest) {
      windowBest = s;
      firstRow = Seconds(t0, first);
    }
    app.processEvents();
  }
  // Profiling: XENDORA_BENCH_PROFILE=N repeats only the window's search N more times, after
  // a line on stderr that a profiler can wait for before it attaches.
  if (const char* repeat = getenv("XENDORA_BENCH_PROFILE")) {
    std::fprintf(stderr, "profile: window searches start\n");
    for (long i = std::strtol(repeat, nullptr, 10); i > 0; --i) {
      names->setCurrentText(QString::fromStdString(pattern));
      window.FindNow();
      app.processEvents();
    }
    std::fprintf(stderr, "profile: window searches end\n");
  }
  Check(rows == hits, "the window listed " + std::to_string(rows) + " rows for " + std::to_string(hits) + " hits");

  bench::PrintShape(tree, disk.shape);
  std::printf("pattern %s: %ld hits (%.2f%% of the names by letters, %.2f%% by FindItem's hits)\n", pattern.c_str(),
              hits, 100 * share, 100.0 * hits / static_cast<double>(tree.files.size() + tree.folders.size()));
  std::printf("FindItem alone %.3f s, find window %.3f s, first row after %.4f s\n", finditem, windowBest, firstRow);
  std::printf("window_vs_finditem=%.3f first_row_s=%.4f walk_s=%.3f\n", windowBest / finditem, firstRow, windowBest);
  window.close();
  ctl.Reset();
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
