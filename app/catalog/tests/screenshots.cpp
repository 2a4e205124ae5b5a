// Shows the find window with results, the add-disk dialog during an add and the update dialog's
// print half, each over fakes, and saves what the screen shows: screenshots <folder> (find.png,
// find-sorted.png, adddisk.png, update-print-types.png, update-print-tree.png). Run under a
// display (xvfb-run) to look at the windows as a person sees them.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include "appstate.h"
#include "frmadddisk.h"
#include "frmfind.h"
#include "frmupdate.h"
#include "global.h"
#include "test_support.h"
#include "volumes_fixture.h"

using catalog_testing::FakeCompCtl;
using catalog_testing::FakeScanner;
using catalog_testing::ScannerHandle;

namespace {

void Shot(QWidget& w, const QString& file) {
  // Delayed layouts and repaints, and the display server's copy of them, take a few turns.
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 200) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QScreen* screen = QGuiApplication::primaryScreen();
  QPixmap pixmap = screen && qgetenv("QT_QPA_PLATFORM") != "offscreen" ? screen->grabWindow(0) : w.grab();
  pixmap.save(file);
}

// A scanner whose add takes the picture of the dialog while it runs.
class ShootingScanner : public FakeScanner {
 public:
  QWidget* dialog = nullptr;
  QString file;
  HRESULT AddNewDisk(BSTR path, BSTR name, BSTR descrip, VARIANT* pData, SHORT flag, BSTR category) override {
    if (dialog) Shot(*dialog, file);
    return FakeScanner::AddNewDisk(path, name, descrip, pData, flag, category);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  testing_files::ScratchFolder scratch;
  setenv("XENDORA_HOME", scratch.path().c_str(), 1);

  // The find window with the hits of a search.
  app::AppState state;
  state.settings.CategoryNames = {"WORK", "MUSIC", "PHOTOS"};
  state.settings.SearchHistory[0] = "*.mp3";
  FakeCompCtl ctl;
  ctl.hits = {{u"Music 2003", 42, u"", 0, 46000, u"Zip Disk"}, {u"Photos \u00e9t\u00e9", 43, u"", 0, 46000, u"CD-RW Disk"}};
  app::catalog::FindWindowParts parts = app::catalog::FindWindowPartsOf(state, &ctl);
  {
    app::catalog::frmFind find(parts);
    find.resize(900, 520);
    find.move(20, 20);
    find.show();
    ctl.hits.clear();
    const char16_t* names[] = {u"Blue in Green.mp3", u"So What.mp3", u"Caf\u00e9 del Mar \u2014 Remastered (2003 Edition).mp3",
                               u"Freddie Freeloader.mp3", u"All Blues.mp3", u"\u65e5\u672c\u306e\u6b4c.mp3"};
    int i = 0;
    ctl.hits.push_back({u"Music 2003\\Jazz", 42, u"", 0, 46000.4, u"FOLDER"});
    for (const char16_t* n : names)
      ctl.hits.push_back({std::u16string(u"Music 2003\\Jazz\\") + n, 42, i % 2 ? u"MUSIC     | favourites" : u"",
                          LONG(3000 + 1234 * i++), 46000.5 + i, u"FILE"});
    ctl.hits.push_back({u"Photos \u00e9t\u00e9\\mix.mp3", 43, u"", 4100, 46100.75, u"FILE"});
    find.findChild<QComboBox*>("lstName")->setCurrentText("*.mp3");
    find.FindNow();
    Shot(find, folder + "/find.png");
    find.SortColumn(1);  // the first click on a column sorts it descending
    Shot(find, folder + "/find-sorted.png");
  }

  // The add dialog while the scanner runs.
  volumes::testing::FixtureDrive drive('D', DRIVE_REMOVABLE, scratch.path(), "");
  auto* scanner = new ShootingScanner;
  xcom::ComPtr<IOFileGraber> keep(scanner);
  scanner->rootFolders = {"Music", "Photos", "Documents"};
  scanner->rootFiles = {"readme.txt", "setup.exe"};
  scanner->addResult = FakeScanner::Info("Backup 2026", 200, "Zip Disk");
  app::SetFileGraberFactory([&](xcom::ComPtr<IOFileGraber>* out) {
    *out = keep;
    return S_OK;
  });
  state.settings.StartSerials = {0, 0, 100, 200, 300, 0};
  state.print.BatchPrintMode = true;
  app::catalog::CatalogDialogParts dialogParts;
  dialogParts.state = &state;
  app::catalog::frmAddDisk add(dialogParts);
  add.move(20, 20);
  add.show();
  add.flow().DriveChanged("d:");
  add.Sync();
  add.findChild<QLineEdit*>("dName")->setText("Backup 2026");
  scanner->dialog = &add;
  scanner->file = folder + "/adddisk.png";
  add.AddDisk();

  // The print half of the update dialog for a CD's label: the report types, then the tree of
  // the disk's files with check boxes after "Choose Files".
  state.print.BatchPrintMode = false;
  state.print.PrintOnlyMode = true;
  state.selection.AddUpdateResult = FakeScanner::Info("Backup 2026", 200, "CD-RW Disk");
  ctl.hits = {{u"Music", 200, u"", 0, 46000, u"FOLDER"},
              {u"Music\\Caf\u00e9 del Mar.mp3", 200, u"", 4100, 46000.5, u"FILE"},
              {u"Music\\Blue in Green.mp3", 200, u"", 3100, 46000.5, u"FILE"},
              {u"Photos \u00e9t\u00e9", 200, u"", 0, 46000, u"FOLDER"},
              {u"Photos \u00e9t\u00e9\\Strand.jpg", 200, u"", 900, 46000.5, u"FILE"},
              {u"readme.txt", 200, u"", 1, 46000.5, u"FILE"}};
  dialogParts.compCtl = &ctl;
  {
    app::catalog::frmUpdate update(dialogParts);
    update.move(20, 20);
    update.resize(560, 420);
    update.show();
    Shot(update, folder + "/update-print-types.png");
    update.findChild<QRadioButton*>("lbRptType3")->click();
    update.findChild<QTabWidget*>("ctlTab")->setCurrentIndex(2);
    Shot(update, folder + "/update-print-tree.png");
    update.findChild<QTabWidget*>("ctlTab")->setCurrentIndex(1);
    Shot(update, folder + "/update-print-list.png");
    update.close();
  }
  app::SetFileGraberFactory({});
  return 0;
}
