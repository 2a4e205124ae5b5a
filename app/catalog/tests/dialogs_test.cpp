// The note format, the properties dialog's rules, the category editor and the add dialog
// offscreen, and an add and an update end to end through the real scanner.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "adddiskflow.h"
#include "animation.h"
#include "appstate.h"
#include "frmadddisk.h"
#include "frmcategory.h"
#include "frmprop.h"
#include "frmupdate.h"
#include "global.h"
#include "iostorage.h"
#include "notes.h"
#include "printhalfpage.h"
#include "test_support.h"
#include "updateflow.h"
#include "volumes_fixture.h"

using namespace app::catalog;
using catalog_testing::FakeScanner;
using catalog_testing::ScannerHandle;

namespace {

TEST(Notes, SplitAtTheFirstBar) {
  const struct {
    const char* note;
    const char* category;
    const char* text;
  } cases[] = {
      {"WORK      | x", "WORK      ", "x"}, {"WORK      |", "WORK      ", ""}, {"WORK|x", "WORK", "x"},
      {"plain note", "", "plain note"},    {"A| b|c", "A", "b|c"},          {"", "", ""},
  };
  for (const auto& c : cases) {
    const SplitNote s = SplitCategoryNote(c.note);
    EXPECT_EQ(s.category, c.category) << c.note;
    EXPECT_EQ(s.text, c.text) << c.note;
  }
  EXPECT_EQ(SubItemCategory("WORK"), "WORK      | ");
  EXPECT_EQ(SubItemCategory(""), "");
}

TEST(Properties, ItemKindsAndTexts) {
  const struct {
    const char* type;
    const char* icon;
    SHORT kind;
    bool recursive;
  } cases[] = {{"File Folder", "FOLDER", 1, true}, {"TXT File", "FILE", 0, false}, {"Zip Disk", "ZIP", 2, true},
               {"Local Disk", "HD", 2, true},      {"DVD Box", "FLOPPY", 2, true}, {"CD-RW Disk", "CD", 2, true}};
  for (const auto& c : cases) {
    const PropState s = PropState::FromItemInfo(QVariantList{qlonglong(1048576), 46000.5, 0, 1, 0, "D/Music/a.txt",
                                                             QString(c.type), "WORK      | hello"});
    EXPECT_EQ(s.iconKey, c.icon);
    EXPECT_EQ(s.kind, c.kind);
    EXPECT_EQ(s.recursiveEnabled, c.recursive);
    EXPECT_EQ(s.size, "1,024K (1048576 Bytes)");
    EXPECT_EQ(s.location, "ROOT:\\D\\Music");
    EXPECT_EQ(s.name, "a.txt");
    EXPECT_EQ(s.loadedNote, "hello");
    EXPECT_EQ(s.loadedCategory, "WORK      ");
  }
  const PropState disk = PropState::FromItemInfo(QVariantList{0, 0, 0, 1, 0, "D", "Zip Disk", ""});
  EXPECT_EQ(disk.location, "ROOT:\\");
}

class PropApply : public catalog_testing::CatalogTest {};

TEST_F(PropApply, WritesAndAsks) {
  const PropState s = PropState::FromItemInfo(QVariantList{0, 0, 0, 1, 0, "D/a", "File Folder", "WORK      | hello"});
  bool declined = false;
  // Unchanged, but the stored field holds blanks: written again.
  auto c = ApplyProperties(s, "WORK", "hello", false, &declined);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->note, "WORK      | hello");
  EXPECT_EQ(c->recursive, 0);
  c = ApplyProperties(s, "", "", false, &declined);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->note, "");
  c = ApplyProperties(s, "MUSIC", "x", true, &declined);
  EXPECT_EQ(c->recurNote, "MUSIC     | ");
  EXPECT_EQ(c->recursive, 1);
  script_.ExpectMessage(forms::vbNo, "No category selected for this item.");
  EXPECT_FALSE(ApplyProperties(s, "", "x", true, &declined));
  EXPECT_TRUE(declined);
  script_.ExpectMessage(forms::vbYes, "categories for the subitems will be cleared");
  c = ApplyProperties(s, "", "x", true, &declined);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->recurNote, "");
  EXPECT_EQ(c->note, QString(10, u' ') + "| x");
  EXPECT_TRUE(script_.Done());
  const PropState plain = PropState::FromItemInfo(QVariantList{0, 0, 0, 1, 0, "D/a", "File Folder", "hello"});
  EXPECT_FALSE(ApplyProperties(plain, "", "hello", false, &declined));
}

TEST_F(PropApply, TheDialogWritesThroughTheControl) {
  app::AppState state;
  state.settings.CategoryNames = {"WORK", "MUSIC"};
  state.selection.SelectedItemInfo = QVariantList{0, 0, 0, 1, 0, "D/Music", "File Folder", "WORK      | hello"};
  catalog_testing::FakeCompCtl ctl;
  {
    frmProp dialog(state, &ctl);
    EXPECT_EQ(state.shell.OpenDialogCount, 1);
    auto* category = dialog.findChild<QComboBox*>("lstCategory");
    EXPECT_EQ(category->currentText(), "WORK");
    category->setCurrentIndex(1);
    dialog.findChild<QCheckBox*>("chkRecursive")->setChecked(true);
    EXPECT_TRUE(dialog.Apply());
  }
  EXPECT_EQ(state.shell.OpenDialogCount, 0);
  EXPECT_EQ(ctl.notes, std::vector<std::u16string>{u"D/Music|MUSIC     | hello|1|MUSIC     | |1"});
}

TEST_F(PropApply, ANewCategoryThatCannotBeSavedIsReportedAndKept) {
  // "ctgr.ini" made read-only: OK in the category editor reports the failure as the add
  // dialog does; the edited list stays in memory and in the dialog, the file as it was.
  const std::filesystem::path ini = std::filesystem::path(scratch_.path()) / "ctgr.ini";
  const std::string before = "[Categories]\r\nCategory0=WORK\r\nCategory1=#@#@!@#\r\n";
  {
    std::ofstream out(ini, std::ios::binary);
    out << before;
  }
  std::filesystem::permissions(ini, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  app::AppState state;
  state.settings.CategoryNames = {"WORK"};
  state.selection.SelectedItemInfo = QVariantList{0, 0, 0, 1, 0, "D/Music", "File Folder", "WORK      | hello"};
  catalog_testing::FakeCompCtl ctl;
  frmProp dialog(state, &ctl);
  script_.ExpectWindow("frmCategory", [](QWidget* form) {
    QTest::keyClicks(form->findChild<QLineEdit*>("edCategory"), "photos");
    form->findChild<QPushButton*>("btnAdd")->click();
    form->findChild<QPushButton*>("cmdOK")->click();
  });
  script_.ExpectMessage(forms::vbOK, "ERROR:   75\r");
  dialog.findChild<QPushButton*>("btnEdit")->click();
  EXPECT_TRUE(script_.Done());
  EXPECT_EQ(state.settings.CategoryNames, (QStringList{"WORK", "PHOTOS"}));
  EXPECT_EQ(dialog.findChild<QComboBox*>("lstCategory")->currentText(), "PHOTOS");
  std::ifstream in(ini, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
  std::filesystem::permissions(ini, std::filesystem::perms::owner_all);
}

class CategoryEditor : public catalog_testing::CatalogTest {};

TEST_F(CategoryEditor, OkAndCancel) {
  app::Settings settings;
  settings.CategoryNames = {"work", "MUSIC"};
  int saves = 0;
  {
    frmCategory editor(settings, [&] { ++saves; });
    auto* edit = editor.findChild<QLineEdit*>("edCategory");
    auto* add = editor.findChild<QPushButton*>("btnAdd");
    auto* list = editor.findChild<QListWidget*>("lstCategory");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 0);
    QTest::keyClicks(edit, "ph|otos and more");
    EXPECT_EQ(edit->text(), "PHOTOS AND");
    EXPECT_TRUE(add->isEnabled());
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_FALSE(add->isEnabled());
    editor.findChild<QPushButton*>("cmdCancel")->click();
  }
  EXPECT_EQ(settings.CategoryNames, (QStringList{"work", "MUSIC"}));
  EXPECT_EQ(saves, 0);
  frmCategory editor(settings, [&] { ++saves; });
  QTest::keyClicks(editor.findChild<QLineEdit*>("edCategory"), "photos");
  editor.AddCategory();
  editor.findChild<QPushButton*>("cmdOK")->click();
  EXPECT_EQ(settings.CategoryNames, (QStringList{"work", "MUSIC", "PHOTOS"}));
  EXPECT_EQ(editor.ChosenCategory, "PHOTOS");
  EXPECT_EQ(saves, 1);
}

class AddDialog : public catalog_testing::CatalogTest {
 protected:
  AddDialog() : zip_('D', DRIVE_REMOVABLE, scratch_.path(), "") {
    previous_ = app::SetFileGraberFactory([this](xcom::ComPtr<IOFileGraber>* out) {
      *out = scanner_.Ptr();
      return S_OK;
    });
    state_.settings.StartSerials = {0, 0, 100, 200, 300, 0};
  }
  ~AddDialog() override { app::SetFileGraberFactory(previous_); }
  volumes::testing::FixtureDrive zip_;
  ScannerHandle scanner_;
  app::FileGraberFactory previous_;
  app::AppState state_;
};

TEST_F(AddDialog, EnablingAndKeyFilters) {
  CatalogDialogParts parts;
  parts.state = &state_;
  frmAddDisk dialog(parts);
  dialog.show();
  auto* ok = dialog.findChild<QPushButton*>("btnOK");
  auto* name = dialog.findChild<QLineEdit*>("dName");
  auto* recursive = dialog.findChild<QCheckBox*>("chkRecursive");
  EXPECT_FALSE(ok->isEnabled());  // nothing until a drive answered
  dialog.flow().DriveChanged("d:");
  dialog.Sync();
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_TRUE(name->isEnabled());
  EXPECT_FALSE(recursive->isEnabled());
  QTest::keyClicks(name, "a:b\\c/d");
  EXPECT_EQ(name->text(), "abcd");
  EXPECT_EQ(dialog.findChild<QComboBox*>("cmbCategory")->itemText(0), "(none)");
  EXPECT_EQ(dialog.findChild<QComboBox*>("lstStandardType")->currentText(), "Zip Disk");
  // Adding shows the name check's message and keeps the dialog open.
  scanner_->namesUsed = {"abcd"};
  script_.ExpectMessage(forms::vbOK, "currently in use");
  dialog.AddDisk();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDialog, AMediumAlreadyCataloguedIsNamedWithItsDiskNumber) {
  // The browser selects the catalogued disk but raises no selection event (its tree stood
  // there already): the add and update questions still name the number of that disk.
  const struct {
    const char* dialog;
    const char* question;
  } cases[] = {{"add", "under the name \"Backup\", Disk No. 100.\r"},
               {"update", "You are about to update the data for the disk #100 cataloged under the name \"Backup\""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dialog);
    catalog_testing::FakeCompCtl ctl;
    ctl.treeItems["Backup"] = FakeScanner::Info("Backup", 100, "Zip Disk");
    CatalogDialogParts parts;
    parts.state = &state_;
    parts.compCtl = &ctl;
    state_.selection.SelectedDiskNumber = 0;
    scanner_->filed = "Backup";
    scanner_->labelSerial = 100;
    if (std::string(c.dialog) == "add") {
      frmAddDisk dialog(parts);
      script_.ExpectMessage(forms::vbNo, c.question);
      dialog.flow().DriveChanged("d:");
    } else {
      frmUpdate dialog(parts);
      script_.ExpectMessage(forms::vbCancel, c.question);
      dialog.flow().DriveChanged("d:");
      dialog.flow().Start();
    }
    EXPECT_TRUE(script_.Done());
  }
}

TEST_F(AddDialog, StopEndsThePrintHalfsListing) {
  catalog_testing::FakeCompCtl ctl;
  for (int i = 0; i < 400; ++i)
    ctl.hits.push_back({QStringLiteral("f%1.txt").arg(i).toStdU16String(), 7, u"", 1, 0, u"FILE"});
  CatalogDialogParts parts;
  parts.state = &state_;
  parts.compCtl = &ctl;
  frmUpdate dialog(parts);
  auto* stop = dialog.findChild<QPushButton*>(QStringLiteral("btnStop"));
  auto* print = dialog.findChild<QPushButton*>(QStringLiteral("btnPrint"));
  ASSERT_TRUE(stop && print);
  bool panelUp = false, commandsOff = false;
  ctl.beforeHit = [&](size_t i) {
    if (i != 50) return;
    panelUp = !stop->isHidden();
    commandsOff = !print->isEnabled();
    stop->click();
  };
  dialog.printHalf().half().FillList();
  EXPECT_TRUE(panelUp);
  EXPECT_TRUE(commandsOff);
  EXPECT_EQ(ctl.delivered, 51u);  // the walk ended at the first item after Stop
  EXPECT_TRUE(stop->isHidden());
  EXPECT_TRUE(print->isEnabled());
  EXPECT_FALSE(state_.walk.StopRequested);
}

// The real scanner through the component runtime.
LONG CollectNote(BSTR path, double, BSTR note, LONG, DATE, BSTR kind);
std::vector<std::pair<QString, QString>>* g_items = nullptr;
LONG CollectNote(BSTR path, double, BSTR note, LONG, DATE, BSTR kind) {
  if (app::FromBstr(kind) == u"FOLDER" || app::FromBstr(kind) == u"FILE")
    g_items->emplace_back(app::FromBstr(path), app::FromBstr(note));
  return 0;
}

class EndToEnd : public catalog_testing::CatalogTest {
 protected:
  std::vector<std::pair<QString, QString>> Items(const QString& catalog) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(kProgIdOStorageIndependent, &clsid), S_OK);
    xcom::ComPtr<IOStorage> doc;
    EXPECT_EQ(xcom::CreateInstance(clsid, &doc), S_OK);
    std::vector<std::pair<QString, QString>> items;
    g_items = &items;
    xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &CollectNote);
    EXPECT_EQ(doc->LoadDoc(app::ToBstr(catalog).Get()), S_OK);
    EXPECT_EQ(doc->FindItem(xcom::Bstr(u"").Get(), xcom::Bstr(u"").Get(), xcom::Bstr(u"").Get(), 0, 0, 0, 0,
                            token.value()),
              S_OK);
    doc->CloseDoc(0);
    g_items = nullptr;
    std::sort(items.begin(), items.end());
    return items;
  }
};

class QuietView : public AddDiskView, public UpdateView {
 public:
  void ShowProgress(bool) override {}
  void Unload() override {}
  void RefreshBrowser() override {}
  void SelectInBrowser(const QString&) override {}
  void ShowUpdateDialog() override {}
  void ShowSerialOptions(const QString&) override {}
  void ShowOptions() override {}
  QString EditCategories() override { return {}; }
  QString AskMediaTypeName() override { return {}; }
  void SaveSettings() override {}
  void ShowScanLayout(const QString&) override {}
  void StopAnimation() override {}
  void ShowAddDialog() override {}
  void ShowPrintHalf() override {}
  void SetCaption(const QString&) override {}
};

TEST_F(EndToEnd, AddChangeUpdate) {
  namespace fs = std::filesystem;
  const fs::path media = scratch_.path() / "media";
  fs::create_directories(media / "Music" / "2003");
  std::ofstream(media / "Music" / "2003" / "song.mp3") << "la la";
  std::ofstream(media / "readme.txt") << "hello";
  volumes::testing::FixtureDrive drive('D', DRIVE_REMOVABLE, media, "");
  const QString catalog = QString::fromStdString((scratch_.path() / "cat.dkc").string());
  app::AppState state;
  state.settings.StartSerials = {0, 0, 100, 200, 300, 0};
  state.settings.CategoryNames = {"WORK"};
  state.print.BatchPrintMode = true;
  QuietView view;
  {
    xcom::ComPtr<IOFileGraber> scanner;
    ASSERT_EQ(app::CreateFileGraber(&scanner), S_OK);
    AddDiskFlow add(state, view, scanner, catalog);
    add.Load();
    add.DriveChanged("d:");
    ASSERT_TRUE(add.inputs().okEnabled);
    EXPECT_EQ(add.inputs().serial, "200");
    add.inputs().name = "Backup";
    add.CategoryChosen(0);
    add.inputs().recursive = true;
    ASSERT_TRUE(add.Add());
  }
  EXPECT_EQ(state.settings.StartSerials[3], 201);
  auto items = Items(catalog);
  ASSERT_EQ(items.size(), 4u);
  for (const auto& [path, note] : items) EXPECT_EQ(note, "WORK      | ") << path.toStdString();

  fs::remove(media / "readme.txt");
  std::ofstream(media / "Music" / "new.flac") << "new";
  {
    xcom::ComPtr<IOFileGraber> scanner;
    ASSERT_EQ(app::CreateFileGraber(&scanner), S_OK);
    UpdateFlow update(state, view, scanner, catalog);
    update.Load();
    update.DriveChanged("d:");
    script_.ExpectMessage(forms::vbOK, "cataloged under the name \"Backup\"");
    update.Start();
    EXPECT_TRUE(update.Ran());
    EXPECT_TRUE(app::IsItemInfo(state.selection.AddUpdateResult));
  }
  items = Items(catalog);
  std::vector<QString> paths;
  for (const auto& item : items) paths.push_back(item.first);
  EXPECT_EQ(paths, (std::vector<QString>{"Backup\\Music", "Backup\\Music\\2003", "Backup\\Music\\2003\\song.mp3",
                                         "Backup\\Music\\new.flac"}));
  EXPECT_TRUE(script_.Done());
}

// The add runs the scan off the window's thread: a timer of the window's thread keeps ticking,
// the progress panel's animation plays, and the catalog and the answers are those of the add.
class AliveView : public QuietView {
 public:
  explicit AliveView(QLabel* animation) : animation_(animation) {}
  void ShowProgress(bool show) override {
    if (show)
      PlayAnimation(animation_, player, "filecopy.avi");
    else
      app::catalog::StopAnimation(player);
  }
  AnimationPlayer* player = nullptr;

 private:
  QLabel* animation_;
};

TEST_F(EndToEnd, TheWindowThreadStaysAliveDuringALongAdd) {
  namespace fs = std::filesystem;
  const fs::path media = scratch_.path() / "media";
  constexpr int kFolders = 100, kFilesPerFolder = 200;
  for (int f = 0; f < kFolders; ++f) {
    const fs::path folder = media / ("Folder " + std::to_string(f));
    fs::create_directories(folder);
    for (int i = 0; i < kFilesPerFolder; ++i) std::ofstream(folder / ("file-" + std::to_string(i) + ".dat")) << i;
  }
  fs::copy_file(XENDORA_BIN_DIR "/filecopy.avi", scratch_.path() / "filecopy.avi");
  volumes::testing::FixtureDrive drive('D', DRIVE_REMOVABLE, media, "");
  const QString catalog = QString::fromStdString((scratch_.path() / "cat.dkc").string());
  app::AppState state;
  state.settings.StartSerials = {0, 0, 100, 200, 300, 0};
  state.print.BatchPrintMode = true;
  QLabel animation;
  AliveView view(&animation);

  // The longest gap between ticks of a 5 ms timer of the window's thread while `run` runs.
  std::set<int> framesSeen;
  auto longestGap = [&](const std::function<void()>& run) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
      if (view.player) framesSeen.insert(view.player->FrameIndex());
    });
    clock.start();
    ticker.start();
    run();
    longest = std::max(longest, clock.elapsed() - last);
    return longest;
  };
  // What this machine's load alone costs the timer: the same wait with the thread idle.
  const qint64 idleGap = longestGap([] { QTest::qWait(500); });

  xcom::ComPtr<IOFileGraber> scanner;
  ASSERT_EQ(app::CreateFileGraber(&scanner), S_OK);
  AddDiskFlow add(state, view, scanner, catalog);
  add.Load();
  add.DriveChanged("d:");
  ASSERT_TRUE(add.inputs().okEnabled);
  add.inputs().name = "Archive";
  bool added = false;
  QElapsedTimer took;
  took.start();
  const qint64 addGap = longestGap([&] { added = add.Add(); });
  const qint64 addTime = took.elapsed();
  EXPECT_LT(addGap, 100 + idleGap) << "idle gap " << idleGap << " ms, add took " << addTime << " ms";
  ASSERT_TRUE(added);
  EXPECT_GT(framesSeen.size(), addTime > 1000 ? 2u : 0u) << "the animation plays during the add";
  EXPECT_FALSE(view.player && view.player->Playing());
  EXPECT_TRUE(app::IsItemInfo(state.selection.AddUpdateResult));
  EXPECT_EQ(state.settings.StartSerials[3], 201);
  EXPECT_EQ(Items(catalog).size(), std::size_t{kFolders} * (kFilesPerFolder + 1));
  EXPECT_TRUE(script_.Done());
}

}  // namespace
