// The main window over a fake browser control: the load order, the first activation, closing
// into the tray, Exit, the menu and toolbar enable rules, the status texts and the popups.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "frmabout.h"
#include "frmlogin.h"
#include "frmmain.h"
#include "frmoptions.h"
#include "global.h"
#include "iteminfovariant.h"
#include "scriptedforms.h"
#include "settings.h"
#include "test_support.h"
#include "testing_qt/test_support.h"
#include "windowlinks.h"

using namespace app;
using namespace shelltest;

namespace {

class MainWindowTest : public MainWindowFixture {
 protected:
  void WriteSettings(const QString& text) {
    QFile f(home.filePath(QStringLiteral("ctgr.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
  }
  frmMain& Make() {
    window = MakeMainWindow(control, state);
    window->SetTrayAvailable(true);
    return *window;
  }
  QAction* Action(const char* name) const { return window->findChild<QAction*>(QString::fromLatin1(name)); }
};

const char kDrivesSet[] = "[Drives]\r\nFloppy=A:\\\r\nZIP=\r\nCD=\r\n";

TEST_F(MainWindowTest, LoadOpensTheLastCatalogBehindTheGateThenRefreshes) {
  WriteSettings(QStringLiteral("[Drives]\r\nFloppy=\r\nZIP=\r\nCD=\r\n[LastFile]\r\nName=/data/cat/MY.DKC\r\n"));
  control->master = QStringLiteral("pw");
  control->possibleCD = QStringLiteral("E:\\");
  script.ExpectWindow(QStringLiteral("frmLogin"), [](QWidget* form) {
    static_cast<frmLogin*>(form)->txtPassword()->setText(QStringLiteral("pw"));
    form->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  });
  frmMain& w = Make();
  w.Form_Load();
  EXPECT_EQ(control->calls.filter(QRegularExpression(QStringLiteral("^(GetPossibleDrives|DocFileName|Refresh)"))),
            (QStringList{QStringLiteral("GetPossibleDrives"), QStringLiteral("DocFileName=/data/cat/MY.DKC"),
                         QStringLiteral("Refresh")}));
  EXPECT_EQ(state.settings.DriveLetter(kCdRwDisk), QStringLiteral("E:\\"));
  EXPECT_EQ(state.login.LoginState, QStringLiteral("MASTER_LOGIN"));
  EXPECT_EQ(w.PanelText(QStringLiteral("SEC")), QStringLiteral("ON"));
  EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("SEC"))->property("image").toString(), QStringLiteral("LOCK"));
  EXPECT_EQ(w.PanelText(QStringLiteral("CAT")), QStringLiteral("MY.DKC"));
  EXPECT_TRUE(w.state().FirstActivatePending);
  EXPECT_FALSE(w.state().NoDriveAssigned);
  EXPECT_EQ(state.print.LabelRowCount, 1);
  EXPECT_TRUE(state.print.MouseTrace);
  EXPECT_EQ(state.shell.LastDriveIndex, -1);
  EXPECT_TRUE(w.findChild<QWidget*>(QStringLiteral("frmSplash"))->isVisible());
  EXPECT_EQ(MainCompCtl(), control.Get());
  EXPECT_EQ(control->SinkCount(), 1u);
  EXPECT_TRUE(script.Done());
}

TEST_F(MainWindowTest, NoLastCatalogSkipsTheGateAndTheRefresh) {
  // No key, and the empty name an earlier version saved after a refused open.
  const struct {
    const char* lastFile;
    const char* panel;
  } cases[] = {{"", "-1"}, {"[LastFile]\r\nName=\r\n", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lastFile);
    WriteSettings(QString::fromLatin1(kDrivesSet) + QString::fromLatin1(c.lastFile));
    control->master.clear();
    control->calls.clear();
    frmMain& w = Make();
    w.Form_Load();
    EXPECT_TRUE(w.PanelText(QStringLiteral("SEC")).isEmpty());
    EXPECT_FALSE(control->calls.contains(QStringLiteral("Refresh")));
    EXPECT_TRUE(control->calls.filter(QStringLiteral("DocFileName")).isEmpty());
    EXPECT_FALSE(control->calls.contains(QStringLiteral("GetPossibleDrives")));  // a drive is set
    EXPECT_EQ(w.PanelText(QStringLiteral("CAT")), QString::fromLatin1(c.panel));
    window.reset();
  }
  EXPECT_TRUE(script.Done());
}

TEST_F(MainWindowTest, AFailedGateLeavesNoCatalogAndCommandsThatReadItAreRefused) {
  WriteSettings(QString::fromLatin1(kDrivesSet) + QStringLiteral("[LastFile]\r\nName=/x/P.DKC\r\n"));
  control->master = QStringLiteral("pw");
  state.login.LoginState = QStringLiteral("MASTER_LOGIN");
  script.ExpectWindow(QStringLiteral("frmLogin"), [](QWidget* form) { form->close(); });
  frmMain& w = Make();
  w.Form_Load();
  EXPECT_TRUE(control->docFileName.isEmpty());
  EXPECT_TRUE(state.login.LoginState.isEmpty());
  EXPECT_EQ(control->calls.filter(QRegularExpression(QStringLiteral("^(DocFileName|Refresh)"))),
            (QStringList{QStringLiteral("DocFileName=/x/P.DKC"), QStringLiteral("DocFileName="), QStringLiteral("Refresh")}));
  EXPECT_EQ(w.PanelText(QStringLiteral("SEC")), QStringLiteral("ON"));
  bool found = false;
  Links().ShowFind = [&](QWidget*) { found = true; };
  script.ExpectMessage(forms::vbOK, QStringLiteral("There is no open catalog"));
  Action("mnuFind")->trigger();
  EXPECT_FALSE(found);
  control->selected[0] = Item(QStringLiteral("D1"), QStringLiteral("Zip Disk"));
  w.StoreCommand(QStringLiteral("PrintSelection"));
  bool updated = false;
  Links().ShowUpdateDisk = [&](QWidget*) { updated = true; };
  w.commands().Tick();
  EXPECT_FALSE(updated);
  // Adding and updating say why nothing happens, from the menus, the toolbar and its entries
  // (no "insert the disk" question, no dialog that would find every drive unavailable).
  bool added = false;
  Links().ShowAddDisk = [&](QWidget*) { added = true; };
  for (const char* command : {"AddDisk", "UpdateDisk"}) {
    script.ExpectMessage(forms::vbOK, QStringLiteral("There is no open catalog"));
    w.StoreCommand(QString::fromLatin1(command));
    w.commands().Tick();
  }
  for (const char* button : {"Toolbar2.Add", "Toolbar2.Update", "ADDFLP", "UPDCD"}) {
    script.ExpectMessage(forms::vbOK, QStringLiteral("There is no open catalog"));
    ASSERT_TRUE(Action(button)) << button;
    Action(button)->trigger();
  }
  EXPECT_FALSE(added);
  EXPECT_FALSE(updated);
  EXPECT_TRUE(script.Done());
}

TEST_F(MainWindowTest, AStartUpErrorBoxOutlivesTheSplash) {
  // The splash closes (and deletes itself) while a start-up error box is still open: the box
  // is not the splash's, so it stays up and takes its answer.
  WriteSettings(QString::fromLatin1(kDrivesSet) + QStringLiteral("[LastFile]\r\nName=/x/GONE.DKC\r\n"));
  control->docFileNameAnswer = STG_E_FILENOTFOUND;
  frmMain& w = Make();
  script.ExpectRealMessage(QStringLiteral("ERROR:  53"), [&](QWidget* shown) {
    QPointer<QWidget> box(shown);
    QPointer<QWidget> splash = w.findChild<QWidget*>(QStringLiteral("frmSplash"));
    ASSERT_TRUE(splash);
    splash->close();  // as its timer does after two seconds
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(splash);
    ASSERT_TRUE(box) << "the box went with the splash";
    EXPECT_TRUE(box->isVisible());
    QTest::keyClick(box->windowHandle(), Qt::Key_Return);
  });
  w.Form_Load();
  EXPECT_TRUE(script.Done());
  EXPECT_TRUE(control->docFileName.isEmpty());
}

TEST_F(MainWindowTest, FirstActivationWarnsOnceThenOpensTheOptions) {
  WriteSettings(QStringLiteral("[Drives]\r\nFloppy=\r\nZIP=\r\nCD=\r\n"));
  frmMain& w = Make();
  w.Form_Load();
  EXPECT_TRUE(w.state().NoDriveAssigned);
  for (const char* name : {"mnuAdd", "mnuUpdateDisk", "mnuAdd1", "mnuUpdate1", "Toolbar2.Add", "Toolbar2.Update"}) {
    EXPECT_FALSE(Action(name)->isEnabled()) << name;
  }
  script
      .ExpectMessage(forms::vbOK, QStringLiteral("Non of the drives available have been assigned the corresponding\r "
                                                 "drive letter.  Please setup drive letter using File|Options menu "
                                                 "command."))
      .ExpectWindow(QStringLiteral("frmOptions"), [](QWidget* form) { form->close(); });
  w.Form_Activate();
  EXPECT_EQ(script.Shown().front().title, QStringLiteral("WARNING!"));
  EXPECT_EQ(script.Shown().front().buttons, forms::vbExclamation);
  w.Form_Activate();  // no second warning
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(state.shell.OpenDialogCount, 0);
}

TEST_F(MainWindowTest, CloseBoxHidesIntoTheTrayOrMinimisesAndNeverQuits) {
  WriteSettings(QString::fromLatin1(kDrivesSet));
  frmMain& w = Make();
  w.Form_Load();
  w.show();
  EXPECT_FALSE(w.close());
  EXPECT_EQ(control->trayShown, 1);
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.Unloaded());
  // The tray icon's double click while a dialog is open leaves the window hidden.
  state.shell.OpenDialogCount = 1;
  control->FireTrayIconNotify(TRAY_LBUTTONDBLCLK);
  EXPECT_FALSE(w.isVisible());
  state.shell.OpenDialogCount = 0;
  control->FireTrayIconNotify(TRAY_LBUTTONDBLCLK);
  EXPECT_TRUE(w.isVisible());
  control->FireTrayIconNotify(TRAY_RBUTTONDOWN);
  EXPECT_EQ(w.LastPopup(), QStringLiteral("mnuIcon"));

  // Without a tray the window is minimised instead of stranded.
  control->trayShown = -1;
  w.SetTrayAvailable(false);
  Action("mnuClose")->trigger();
  EXPECT_EQ(control->trayShown, -1);
  EXPECT_TRUE(w.isMinimized() || w.windowState().testFlag(Qt::WindowMinimized));
  EXPECT_FALSE(w.Unloaded());
}

TEST_F(MainWindowTest, ExitSavesTheSettingsAndTrayExitUnloadsOnTheNextTick) {
  WriteSettings(QString::fromLatin1(kDrivesSet));
  bool pageSetupUnloaded = false;
  Links().UnloadPageSetup = [&] { pageSetupUnloaded = true; };
  frmMain& w = Make();
  w.Form_Load();
  state.settings.LastCatalogPath = QStringLiteral("/data/NEW.DKC");
  QFile::remove(home.filePath(QStringLiteral("ctgr.ini")));
  Action("mnuExit")->trigger();
  EXPECT_TRUE(w.Unloaded());
  EXPECT_TRUE(pageSetupUnloaded);
  Settings saved;
  LoadSettings(saved, SettingsFilePath());
  EXPECT_EQ(saved.LastCatalogPath, QStringLiteral("/data/NEW.DKC"));

  // The tray's Exit: the icon goes, the next tick unloads, whatever command was stored.
  frmMain& second = Make();
  second.Form_Load();
  second.StoreCommand(QStringLiteral("AddDisk"));
  second.findChild<QAction*>(QStringLiteral("mnuIconExit"))->trigger();
  EXPECT_EQ(control->trayShown, 0);
  EXPECT_TRUE(second.Timer1()->isActive());
  bool added = false;
  Links().ShowAddDisk = [&](QWidget*) { added = true; };
  second.commands().Tick();
  EXPECT_TRUE(second.Unloaded());
  EXPECT_FALSE(added);
}

TEST_F(MainWindowTest, DiskPopupFollowsTheMediumItsDriveAndTheLogin) {
  WriteSettings(QStringLiteral("[Drives]\r\nFloppy=\r\nZIP=G:\\\r\nCD=\r\n"));
  frmMain& w = Make();
  w.Form_Load();
  struct Case {
    const char* what;
    QVariant item;
    const char* login;
    const char* popup;
    bool add, update, label, del, rename, prop, prnLabel;
  } cases[] = {
      {"local disk", Item(QStringLiteral("[ C ] -- Drive"), QStringLiteral("Local Disk")), "MASTER_LOGIN", "mnuJRX",
       false, true, false, true, true, true, true},
      {"zip with its drive, user login", Item(QStringLiteral("Z1"), QStringLiteral("Zip Disk")), "USER_LOGIN", "mnuJRX",
       true, true, true, false, false, true, true},
      {"floppy without a drive", Item(QStringLiteral("F1"), QStringLiteral("Floppy Disk")), "MASTER_LOGIN", "mnuJRX",
       false, true, false, true, true, true, true},
      {"root", Item(QString(), QString()), "MASTER_LOGIN", "mnuJRX", false, true, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state.login.LoginState = QString::fromLatin1(c.login);
    control->selected[1] = c.item;
    control->FireRClick(kListPane);
    EXPECT_EQ(w.LastPopup(), QString::fromLatin1(c.popup));
    EXPECT_EQ(w.state().RightClickPane, kListPane);
    EXPECT_EQ(w.state().LastClickPane, kListPane);
    if (ItemInfoText(c.item, kInfoName).isEmpty()) {
      EXPECT_FALSE(Action("mnuDel1")->isVisible());
    } else {
      EXPECT_EQ(Action("mnuAdd1")->isEnabled(), c.add);
      EXPECT_EQ(Action("mnuUpdate1")->isEnabled(), c.update);
      EXPECT_EQ(Action("mnuPrnLabel1")->isEnabled(), c.label);
      EXPECT_EQ(Action("mnuDel2")->isVisible(), c.del);
    }
    EXPECT_EQ(Action("mnuDel1")->isVisible(), c.del);
    EXPECT_EQ(Action("mnuRename1")->isVisible(), c.rename);
    EXPECT_EQ(Action("mnuProp1")->isVisible(), c.prop);
    EXPECT_EQ(Action("mnuPrnLabel1")->isVisible(), c.prnLabel);
  }
  control->selected[0] = Item(QStringLiteral("Z1/docs"), QStringLiteral("File Folder"));
  control->FireRClick(kTreePane);
  EXPECT_EQ(w.LastPopup(), QStringLiteral("mnuFolder"));
}

TEST_F(MainWindowTest, TreeNodeStatusTexts) {
  frmMain& w = Make();
  w.Form_Load();
  struct Case {
    QVariant item;
    const char* panel1;
    const char* panel2;
    double disk;
    bool fileItems;
  } cases[] = {
      {Item(QStringLiteral("Floppy 7"), QStringLiteral("Floppy Disk"), 1457664, 7, 1536), "ROOT:\\Floppy 7   (#7)",
       "SIZE: 1,422K (1,456,128 Bytes)", 7, true},
      {Item(QStringLiteral("Floppy 7/empty.txt"), QStringLiteral("TXT File"), 0), "ROOT:\\Floppy 7\\empty.txt",
       "SIZE: K (0 Bytes)", 0, true},
      {Item(QString(), QString()), "ROOT:\\", "", 0, false},
      {Item(QStringLiteral("[ C ] -- Drive"), QStringLiteral("Local Disk"), 2048, 0, 1024), "ROOT:\\[ C ] -- Drive",
       "SIZE: 2K (2,048 Bytes)", 0, true},
      {Item(QStringLiteral("Zip 9999999998/a/b"), QStringLiteral("File Folder"), 5000, 9999999998.0),
       "ROOT:\\Zip 9999999998\\a\\b", "SIZE: 5K (5,000 Bytes)", 0, true},
  };
  for (const Case& c : cases) {
    control->FireTreeNodeChanged(c.item);
    EXPECT_EQ(w.PanelText(QStringLiteral("1")), QString::fromUtf8(c.panel1));
    EXPECT_EQ(w.PanelText(QStringLiteral("2")), QString::fromUtf8(c.panel2));
    EXPECT_EQ(state.selection.SelectedDiskNumber, c.disk);
    EXPECT_EQ(Action("mnuFileDelete")->isEnabled(), c.fileItems);
    EXPECT_EQ(Action("mnuFileProp")->isEnabled(), c.fileItems);
  }
  // A value that is no item: the panels stay, the file items go off.
  control->FireTreeNodeChanged(QVariant());
  EXPECT_EQ(w.PanelText(QStringLiteral("1")), QStringLiteral("ROOT:\\Zip 9999999998\\a\\b"));
  EXPECT_FALSE(Action("mnuFileRename")->isEnabled());
}

TEST_F(MainWindowTest, DoubleClickOpensOnlyFromTheList) {
  frmMain& w = Make();
  w.Form_Load();
  RecordingOpener opener;
  control->selected[0] = Item(QStringLiteral("[ C ] -- Drive/tmp"), QStringLiteral("File Folder"));
  control->selected[1] = Item(QStringLiteral("[ C ] -- Drive/tmp/a.txt"), QStringLiteral("TXT File"));
  control->FireDblClick(kTreePane);
  EXPECT_TRUE(opener.requests.empty());
  control->FireDblClick(kListPane);
  ASSERT_EQ(opener.requests.size(), 1u);
  EXPECT_EQ(opener.requests[0].file, QStringLiteral("/tmp/a.txt"));
  control->FireClick(kTreePane);
  EXPECT_EQ(w.state().LastClickPane, kTreePane);
}

TEST_F(MainWindowTest, FileRenameActsInThePaneWithTheFocus) {
  frmMain& w = Make();
  w.Form_Load();
  // The browser's panes, as the control names them.
  ASSERT_TRUE(control->window);
  auto* tree = new QLineEdit(control->window);
  tree->setObjectName(QStringLiteral("tree"));
  auto* list = new QLineEdit(control->window);
  list->setObjectName(QStringLiteral("list"));
  auto* elsewhere = new QLineEdit(&w);
  control->FireTreeNodeChanged(Item(QStringLiteral("Floppy1"), QStringLiteral("Floppy Disk")));
  w.show();
  w.activateWindow();
  QApplication::processEvents();
  auto renameWith = [&](QWidget* focus, const char* action) {
    focus->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), focus);
    control->calls.clear();
    Action(action)->trigger();
    return control->calls.filter(QStringLiteral("Rename")).join(QLatin1Char(' '));
  };
  // No click yet, the list has the focus: its selection is renamed, not the tree's disk.
  EXPECT_EQ(renameWith(list, "mnuFileRename"), QStringLiteral("Rename(1)"));
  control->FireRClick(kListPane);
  EXPECT_EQ(renameWith(tree, "mnuFileRename"), QStringLiteral("Rename(0)"));
  // The focus outside the browser: the pane clicked last.
  EXPECT_EQ(renameWith(elsewhere, "mnuFileRename"), QStringLiteral("Rename(1)"));
  control->FireClick(kTreePane);
  EXPECT_EQ(renameWith(elsewhere, "mnuFileRename"), QStringLiteral("Rename(0)"));
  // The popup's Rename acts where it popped up.
  EXPECT_EQ(renameWith(tree, "mnuRename1"), QStringLiteral("Rename(1)"));
}

TEST_F(MainWindowTest, ToolbarEntriesTextLabelsAndTheSecurityPanel) {
  WriteSettings(QString::fromLatin1(kDrivesSet) + QStringLiteral("[LastFile]\r\nName=/x/P.DKC\r\n"));
  frmMain& w = Make();
  w.Form_Load();
  // An update entry's question cancelled still chooses the medium's template folder.
  script.ExpectMessage(forms::vbCancel, QStringLiteral("Please make sure that the Zip Disk is inserted"));
  w.findChild<QAction*>(QStringLiteral("UPDZIP"))->trigger();
  EXPECT_EQ(state.print.TemplateFolder, QStringLiteral("Zip"));
  EXPECT_TRUE(state.shell.PendingDiskCommand.isEmpty());
  QString added;
  Links().ShowAddDisk = [&](QWidget*) { added = state.shell.PendingDiskCommand; };
  script.ExpectMessage(forms::vbOK, QStringLiteral("Please insert a floppy disk into the A: drive and press OK."));
  w.findChild<QAction*>(QStringLiteral("ADDFLP"))->trigger();
  EXPECT_EQ(added, QStringLiteral("ADDFLP"));
  EXPECT_EQ(w.PanelText(QStringLiteral("1")), QStringLiteral("Done"));

  QToolBar* bar = w.findChild<QToolBar*>(QStringLiteral("Toolbar2"));
  auto captions = [&] {
    QStringList texts;
    for (QAction* a : bar->actions()) {
      if (!a->isSeparator()) texts << a->iconText();
    }
    return texts;
  };
  EXPECT_EQ(captions(), QStringList(7, QString()));
  Action("mnuViewTxtLab")->trigger();
  EXPECT_EQ(captions(), (QStringList{"Add Disk", "Update Disk", "Print Label", "Reports", "Find", "Tools", "Options"}));
  Action("mnuViewBtn")->trigger();
  EXPECT_TRUE(bar->isHidden());

  // The "SEC" panel opens the password page only for a logged-in catalog.
  QLabel* sec = w.findChild<QLabel*>(QStringLiteral("SEC"));
  auto click = [&] {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(sec, &press);
  };
  state.login.LoginState.clear();
  click();
  EXPECT_TRUE(script.Done());
  state.login.LoginState = QStringLiteral("USER_LOGIN");
  script.ExpectWindow(QStringLiteral("frmOptions"), [](QWidget* form) {
    auto* options = static_cast<frmOptions*>(form);
    EXPECT_FALSE(options->HasPage(QStringLiteral("SER")));
    EXPECT_TRUE(options->HasPage(QStringLiteral("SEC")));
    form->close();
  });
  click();
  EXPECT_TRUE(script.Done());
}

}  // namespace

namespace {

TEST(frmAbout, VersionWebLinkAndNoSystemInformation) {
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  RecordingOpener opener;
  frmAbout about;
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About Xendora"));
  const QString version = about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version 2\\.1\\.\\d+\\.\\d+$")).match(version).hasMatch()) << version.toStdString();
  QLabel* web = about.findChild<QLabel*>(QStringLiteral("lblWebSite"));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(web, &press);
  ASSERT_EQ(opener.requests.size(), 1u);
  EXPECT_EQ(opener.requests[0].file, WebSiteAddress());
  script.ExpectMessage(forms::vbOK, QStringLiteral("System Information Is Unavailable At This Time"));
  about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
  EXPECT_TRUE(script.Done());
}

}  // namespace
