// The browser control against the catalog document on one catalog of 200,000 files in 20,000
// folders (names of 1 to 76 characters, a third longer than 31, some non-ASCII):
//   reload_vs_walk  the control's Refresh (the whole tree loaded, offscreen) against the
//                   document's FindItem walk over folders only;
//   list_vs_enum    selecting a folder of 10,000 files until its list is filled, against
//                   enumerating that folder and reading its records through the document.
// Each side runs in its own process (this program started again, without a shell), warmed
// up once, best of three. Both wall and processor time are printed; the goal figures are the
// processor-time ratios, which a machine shared with other work disturbs far less (neither
// side waits for anything: the catalog is in the page cache and the window is offscreen).
#include <time.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cfb.h"
#include "compctl.h"
#include "benchcomponents.h"
#include "ostorage.h"
#include "peer.h"
#include "xcom/control.h"
#include "xcom/tokens.h"

namespace {

using bench::CheckHr;
using xcom::Bstr;
using xcom::ComPtr;

constexpr int kFolders = 20000;
constexpr int kFiles = 200000;
constexpr int kBigFolderFiles = 10000;
const std::u16string kBigFolder = u"Disk 1/Большая папка с файлами";

// A name of 1 to 76 characters: a third longer than 31, some with non-ASCII letters.
std::u16string Name(std::mt19937& rng, int serial, const char16_t* ext) {
  static const std::u16string words[] = {u"report", u"Musik", u"été", u"photo", u"данные", u"backup", u"Ångström",
                                         u"draft", u"νέα", u"final", u"資料", u"notes"};
  const int bucket = static_cast<int>(rng() % 3);
  const std::size_t target = bucket == 0 ? 32 + rng() % 45 : 1 + rng() % 31;
  std::u16string n;
  while (n.size() < target) n += words[rng() % 12] + u" ";
  std::u16string id = xcom::Utf8ToUtf16(std::to_string(serial));
  std::u16string tail = id + ext;
  if (target <= tail.size()) return tail.substr(0, std::max<std::size_t>(1, target));
  n.resize(target - tail.size());
  return n + tail;
}

void Build(const std::u16string& file) {
  std::filesystem::remove(std::filesystem::path(xcom::Utf16ToUtf8(file)));
  ComPtr<IOStorageInternal> doc;
  CheckHr(brevix::NewCatalogDocument(&doc), "document");
  CheckHr(doc->LoadDoc(Bstr(file).Get()), "LoadDoc");
  std::mt19937 rng(16);
  auto add = [&](const std::u16string& parent, ItemRecord rec) {
    HRESULT hr = parent.empty() ? doc->SetCurrentFolder(nullptr, FOLDER_ROOT)
                                : doc->SetCurrentFolder(Bstr(parent).Get(), FOLDER_PATH);
    if (FAILED(hr)) std::fprintf(stderr, "[%s] ", xcom::Utf16ToUtf8(parent).c_str());
    CheckHr(hr, "SetCurrentFolder");
    Bstr name(rec.name);
    CheckHr(doc->AddItem(nullptr, name.Get(), &rec), "AddItem");
  };
  auto record = [](std::u16string name, LONG kind, std::uint64_t size, std::u16string type = {}) {
    ItemRecord r = brevix::MakeItemRecord(std::move(name), std::nullopt, static_cast<DWORD>(size >> 32),
                                          static_cast<DWORD>(size), std::move(type), U64ToFileTime(132223104000000000ull),
                                          U64ToFileTime(132223104000000000ull), kind, 5.0);
    return r;
  };
  const int disks = 4;
  std::vector<std::u16string> folders;
  for (int d = 0; d < disks; ++d) {
    std::u16string disk = u"Disk " + xcom::Utf8ToUtf16(std::to_string(d));
    add(u"", record(disk, ItemDisk, 1ull << 34, d % 2 ? u"CD-RW Disk" : u"Local Disk"));
    folders.push_back(disk);
  }
  add(u"Disk 1", record(kBigFolder.substr(7), ItemFolder, 0));
  // Folders spread over a tree: each new folder goes below a random earlier one.
  std::vector<std::u16string> all = folders;
  std::set<std::u16string> used;
  for (int i = 0; i < kBigFolderFiles;) {
    std::u16string name = Name(rng, i, u".dat");
    if (!used.insert(kBigFolder + u"/" + name).second) continue;
    add(kBigFolder, record(name, ItemFile, 1000 + i));
    ++i;
  }
  all.push_back(kBigFolder);
  for (int f = 0; static_cast<int>(all.size()) - disks < kFolders; ++f) {
    const std::u16string& parent = all[rng() % all.size()];
    if (parent == kBigFolder) continue;
    std::u16string name = Name(rng, f, u"");
    if (!used.insert(parent + u"/" + name).second) continue;  // short names repeat: one folder each
    add(parent, record(name, ItemFolder, 0));
    all.push_back(parent + u"/" + name);
  }
  for (int i = kBigFolderFiles; i < kFiles;) {
    const std::u16string& parent = all[disks + 1 + rng() % (all.size() - disks - 1)];
    std::u16string name = Name(rng, i, u".txt");
    if (!used.insert(parent + u"/" + name).second) continue;
    add(parent, record(name, ItemFile, rng() % 100000));
    ++i;
  }
  CheckHr(doc->CloseDoc(1), "CloseDoc");
}

struct Times {
  double wall = 1e9;
  double cpu = 1e9;  // the process's processor time: steadier than wall time on a busy machine
};

double CpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One side, warmed up once, best of three (wall and processor time each); `prepare`, when
// given, runs untimed before each run.
Times Best(const std::function<void()>& f, const std::function<void()>& prepare = {}) {
  if (prepare) prepare();
  f();
  Times best;
  for (int i = 0; i < 3; ++i) {
    if (prepare) prepare();
    const auto w0 = std::chrono::steady_clock::now();
    const double c0 = CpuNow();
    f();
    best.cpu = std::min(best.cpu, CpuNow() - c0);
    best.wall = std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count());
  }
  return best;
}

LONG CountFolder(BSTR, double, BSTR, LONG, DATE, BSTR) { return 0; }

int RunSide(const std::string& side, const std::u16string& file) {
  Times t;
  if (side == "walk" || side == "enum") {
    ComPtr<IOStorageInternal> doc;
    CheckHr(brevix::NewCatalogDocument(&doc), "document");
    CheckHr(doc->SetDocName(Bstr(file).Get()), "SetDocName");
    if (side == "walk") {
      xcom::ScopedToken cb(xcom::TokenKind::ItemCallback, &CountFolder);
      t = Best([&] {
        CheckHr(doc->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, SEARCH_FOLDERS_ONLY, cb.value()), "FindItem");
      });
    } else {
      t = Best([&] {
        CheckHr(doc->LoadDoc(nullptr), "LoadDoc");
        CheckHr(doc->SetCurrentFolder(Bstr(kBigFolder).Get(), FOLDER_PATH), "SetCurrentFolder");
        ComPtr<IEnumSTATSTG> en;
        CheckHr(doc->EnumElements(FOLDER_CHILD, en.GetAddressOf()), "EnumElements");
        std::vector<ItemRecord> records;
        STATSTG st;
        while (en->Next(1, &st, nullptr) == S_OK) {
          ItemRecord r;
          r.name = st.pwcsName;
          r.kind = st.type == STGTY_STORAGE ? ItemFolder : ItemFile;
          CoTaskMemFree(st.pwcsName);
          if (r.name == u"I_T_E_M_") continue;
          doc->GetItemInfo(nullptr, &r);
          records.push_back(std::move(r));
        }
        en.Reset();
        doc->CloseDoc(0);
      });
    }
  } else {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_browser";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    ComPtr<ICompCtl> ctl;
    CheckHr(
        brevix::CreateBrowserControl(brevix::LibraryModule(), nullptr, IID_ICompCtl, ctl.ReleaseAndGetAddressOfVoid()),
        "control");
    CheckHr(ctl->put_DocFileName(Bstr(file).Get()), "DocFileName");
    ComPtr<IControlWindow> win;
    CheckHr(ctl.As(&win), "IControlWindow");
    QWidget host;
    host.resize(900, 600);
    void* w = nullptr;
    CheckHr(win->CreateControlWindow(&host, &w), "window");
    static_cast<QWidget*>(w)->resize(900, 600);
    host.show();
    if (side == "reload") {
      t = Best([&] { CheckHr(ctl->Refresh(), "Refresh"); });
    } else {
      CheckHr(ctl->Refresh(), "Refresh");
      Bstr big(kBigFolder), root(u"");
      // Before each run the selection moves away (to the root), untimed, so the folder is
      // selected anew.
      t = Best([&] { ctl->SetSelectedItem(big.Get(), 0); }, [&] { ctl->SetSelectedItem(root.Get(), 0); });
    }
  }
  std::printf("%.6f %.6f\n", t.wall, t.cpu);
  return 0;
}

// Runs this program for one side and reads its figure.
Times Side(const char* self, const std::string& side, const std::string& file) {
  const std::string out = file + "." + side + ".txt";
  bench::RunPeer({self, "--side", side, file}, out);
  Times t;
  std::ifstream in(out);
  bench::Check(static_cast<bool>(in >> t.wall >> t.cpu), "reading the figures of side " + side);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--side") == 0) return RunSide(argv[2], xcom::Utf8ToUtf16(argv[3]));
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "xendora-bench-browser";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "browser.dkc").string();
  std::fprintf(stderr, "building %d files in %d folders...\n", kFiles, kFolders);
  Build(xcom::Utf8ToUtf16(file));
  const Times reload = Side(argv[0], "reload", file);
  const Times walk = Side(argv[0], "walk", file);
  const Times select = Side(argv[0], "select", file);
  const Times enumerate = Side(argv[0], "enum", file);
  std::printf("wall: reload_s=%.4f walk_s=%.4f select_s=%.4f enum_s=%.4f reload_vs_walk_wall=%.3f list_vs_enum_wall=%.3f\n",
              reload.wall, walk.wall, select.wall, enumerate.wall, reload.wall / walk.wall, select.wall / enumerate.wall);
  std::printf("cpu: reload_s=%.4f walk_s=%.4f select_s=%.4f enum_s=%.4f\n", reload.cpu, walk.cpu, select.cpu,
              enumerate.cpu);
  std::printf("reload_vs_walk=%.3f list_vs_enum=%.3f\n", reload.cpu / walk.cpu, select.cpu / enumerate.cpu);
  if (!getenv("XENDORA_BENCH_KEEP")) std::filesystem::remove_all(dir);
  return 0;
}
