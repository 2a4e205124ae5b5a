// Adding a disk through the add-disk dialog at scale: the generated real-looking tree of
// 200,000 files (bench/common/realtree.h) on a fixture drive is added through frmAddDisk (drive
// chosen, name typed, Add Disk with its progress panel, the browser control refreshed), and
// with the disk scanner's own AddNewDisk alone, both from libbrevix.so by ProgID, each into a
// fresh catalog. Each figure is the best of three after a warm-up run of each.
//
//   bench_adddialog [files]   (default 200000 files in files / 10 folders)
//
// The last line prints the goal figure: dialog_vs_scanner=<dialog add / scanner add>.
#include <stdlib.h>

#include <QApplication>
#include <QFrame>
#include <QLineEdit>

#include <cstdio>
#include <filesystem>
#include <string>

#include "appstate.h"
#include "benchcomponents.h"
#include "frmadddisk.h"
#include "icompctl.h"
#include "iofilegraber.h"
#include "iteminfovariant.h"
#include "peer.h"
#include "treedrive.h"
#include "xcom/com.h"

namespace {

namespace fs = std::filesystem;
using bench::Check;
using bench::Clock;
using bench::Seconds;

}  // namespace

int main(int argc, char** argv) {
  const std::size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200000;
  const fs::path dir = bench::StartProgramRun("bench-adddialog");
  QApplication app(argc, argv);

  const bench::TreeDrive disk(dir, files, 'K');
  const fs::path catalogPath = dir / "bench.dkc";
  const std::u16string catalog = xcom::Utf8ToUtf16(catalogPath.string());
  auto fresh = [&] {
    std::error_code ec;
    fs::remove(catalogPath, ec);
    fs::remove(fs::path(catalogPath.string() + "-journal"), ec);
  };

  // The scanner alone.
  double scanner = 1e9;
  for (int i = 0; i < 4; ++i) {
    fresh();
    auto s = bench::CreateByProgId<IOFileGraber>(kProgIdOFileGraberIndependent);
    bench::CheckHr(s->put_DocFileName(xcom::Bstr(catalog).Get()), "DocFileName");
    bench::CheckHr(s->put_DiskType(xcom::Bstr(u"Local Disk").Get()), "DiskType");
    bench::CheckHr(s->put_BaseSerialNum(-1.0), "BaseSerialNum");
    xcom::Variant result;
    const auto t0 = Clock::now();
    bench::CheckHr(s->AddNewDisk(xcom::Bstr(u"k:\\").Get(), xcom::Bstr(u"[ K ] -- Drive").Get(),
                          xcom::Bstr(u"          | [BENCH]").Get(), &result, FLAG_DRIVE_BY_LETTER, xcom::Bstr(u"").Get()),
            "AddNewDisk");
    const double s1 = Seconds(t0, Clock::now());
    if (i > 0) scanner = std::min(scanner, s1);
  }

  // The dialog, over the browser control of a main window.
  auto ctl = bench::CreateByProgId<ICompCtl>(kProgIdCompCtlIndependent);
  double dialog = 1e9;
  for (int i = 0; i < 4; ++i) {
    fresh();
    bench::CheckHr(ctl->put_DocFileName(xcom::Bstr(catalog).Get()), "DocFileName");
    app::AppState state;
    state.print.BatchPrintMode = true;  // no label dialog after the add
    app::catalog::CatalogDialogParts parts;
    parts.state = &state;
    parts.compCtl = ctl.Get();
    app::catalog::frmAddDisk window(parts);
    window.show();
    app.processEvents();
    window.flow().DriveChanged("k: [Bench]");
    window.Sync();
    const auto t0 = Clock::now();
    window.AddDisk();
    const double s1 = Seconds(t0, Clock::now());
    Check(app::IsItemInfo(state.selection.AddUpdateResult), "the dialog's add failed");
    if (i > 0) dialog = std::min(dialog, s1);
  }

  bench::PrintShape(disk.tree, disk.shape);
  std::printf("scanner AddNewDisk %.3f s, add dialog %.3f s\n", scanner, dialog);
  std::printf("dialog_vs_scanner=%.3f\n", dialog / scanner);
  ctl.Reset();
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
