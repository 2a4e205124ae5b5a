// The options dialog: serial checks and messages, media types, the password page.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "frmlogin.h"
#include "frmoptions.h"
#include "optionsstate.h"
#include "scriptedforms.h"
#include "settings.h"
#include "test_support.h"
#include "testing_qt/test_support.h"

using namespace app;
using namespace shelltest;

namespace {

Settings Sample() {
  Settings s;
  s.StartSerials[kFloppyDisk] = 10;
  s.StartSerials[kZipDisk] = 100;
  s.StartSerials[kCdRwDisk] = 300;
  return s;
}

TEST(OptionsState, SerialEntryChecks) {
  OptionsState o;
  o.LoadFrom(Sample());
  auto used = [](double serial) { return serial == 42 ? QStringLiteral("Holiday 1999") : QString(); };
  const std::pair<const char*, const char*> cases[] = {
      {"-1", "Please specify a number between 0 and 9999999999"},
      {"9999999999", "Please specify a number between 0 and 9999999999"},
      {"abc", "Please specify a number between 0 and 9999999999"},
      {"", "Please specify a number between 0 and 9999999999"},
      {"100", "The Serial Number you've specified is in use.  Please specify a different serial number for this disk."},
      {"42", "The Serial Number you've specified is in use by the disk named Holiday 1999.  Please specify a different "
             "serial number for this disk."},
      {" 10 ", nullptr},  // the type's own serial
      {"9999999998", nullptr},
      {"0", nullptr},
  };
  for (auto [entry, message] : cases) {
    std::optional<OptionsMessage> m = o.CheckErrors(0, QString::fromLatin1(entry), used);
    EXPECT_EQ(m ? m->text : QString(), message ? QString::fromLatin1(message) : QString()) << entry;
  }
  EXPECT_EQ(o.Serial(0), 0);
  EXPECT_EQ(o.Item(0).text, QStringLiteral("Floppy Disk - 0"));
}

TEST(OptionsState, MediaTypesAddAfterTheLastAndDeleteWithTheirDrives) {
  OptionsState o;
  o.LoadFrom(Sample());
  EXPECT_EQ(o.Serial(o.AddMediaType(QStringLiteral("Jaz"))), 301);
  EXPECT_EQ(o.Item(3).key, QStringLiteral("Other0"));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(o.DeleteRefusal(i)) << i;
  EXPECT_EQ(o.DeleteRefusal(0)->text, QStringLiteral("Deleting of the Standard Media Types is not permitted."));

  Settings s = Sample();
  s.OtherMediaNames = {QStringLiteral("Jaz"), QStringLiteral("Tape"), QStringLiteral("MO")};
  s.OtherMediaSerials = {QStringLiteral("500"), QStringLiteral("600"), QStringLiteral("700")};
  s.SetDriveLetter(kFirstUserMediaType, QStringLiteral("J:\\"));
  s.SetDriveLetter(kFirstUserMediaType + 1, QStringLiteral("T:\\"));
  s.SetDriveLetter(kFirstUserMediaType + 2, QStringLiteral("M:\\"));
  o.LoadFrom(s);
  EXPECT_EQ(o.DeleteQuestion(3).text,
            QStringLiteral("You are about to delete the \"Jaz\" from the Media Type list.  Press \"OK\"to proceed."));
  o.DeleteMediaType(3);
  o.SaveTo(s);
  EXPECT_EQ(s.OtherMediaNames, (QStringList{QStringLiteral("Tape"), QStringLiteral("MO")}));
  EXPECT_EQ(s.OtherMediaSerials, (QStringList{QStringLiteral("600"), QStringLiteral("700")}));
  EXPECT_EQ(s.DriveLetter(kFirstUserMediaType), QStringLiteral("T:\\"));
  EXPECT_EQ(s.DriveLetter(kFirstUserMediaType + 1), QStringLiteral("M:\\"));
  EXPECT_EQ(s.DriveLetters.size(), kFirstUserMediaType + 2);
}

TEST(OptionsState, ProtectChecksInOrder) {
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"", "", "", "Please specify up to an 8-character Master Password."},
      {"m", "", "", "Please re-enter up to an 8-character Master Password."},
      {"m", "m", "", "Please specify up to an 8-character User Password."},
      {"m", "x", "u", "The second entry of the Master Password does not match the original.  Please re-enter Passwords."},
  };
  for (auto [m, r, u, text] : cases) {
    auto refusal = CheckProtect(QString::fromLatin1(m), QString::fromLatin1(r), QString::fromLatin1(u));
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, QString::fromLatin1(text));
  }
  EXPECT_FALSE(CheckProtect(QStringLiteral("m"), QStringLiteral("m"), QStringLiteral("u")));
}

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XENDORA_HOME", home.path().toUtf8());
    state.settings = Sample();
    control->docFileName = QStringLiteral("/data/cat/HOME.DKC");
    MainHooksForOptions() = {[this] { ++menusEnabled; }, [this](bool locked) { panel.push_back(locked); }};
  }
  void TearDown() override { MainHooksForOptions() = {}; }
  template <class T>
  T* Child(frmOptions& o, const char* name) {
    return o.findChild<T*>(QString::fromLatin1(name));
  }

  QTemporaryDir home;
  AppState state;
  xcom::ComPtr<FakeCompCtl> control = MakeFakeCompCtl();
  ScopedFileGraber graber;
  int menusEnabled = 0;
  std::vector<bool> panel;
  forms::ScriptedForms script{testing_qt::FailTest};
  forms::ScopedForms use{script};
};

TEST_F(OptionsDialogTest, PagesFollowTheLogin) {
  {
    frmOptions o(nullptr, control.Get(), state);
    o.Load();
    EXPECT_TRUE(o.HasPage(QStringLiteral("SER")));
    EXPECT_FALSE(o.HasPage(QStringLiteral("SEC")));
    EXPECT_EQ(state.shell.OpenDialogCount, 1);
    EXPECT_EQ(graber.scanner->docFileName, control->docFileName);
  }
  EXPECT_EQ(state.shell.OpenDialogCount, 0);
  state.login.LoginState = QStringLiteral("USER_LOGIN");
  control->master = QStringLiteral("m");
  {
    frmOptions o(nullptr, control.Get(), state);
    o.Load();
    EXPECT_FALSE(Child<QGroupBox>(o, "framePasswords")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(o, "Label1")->text().startsWith(QStringLiteral("This disk Catalog is password protected.")));
    EXPECT_TRUE(Child<QLineEdit>(o, "edMaster")->text().isEmpty());
    EXPECT_EQ(Child<QLabel>(o, "lbProtect")->text(), QStringLiteral("Protected"));
  }
  state.login.LoginState = QStringLiteral("MASTER_LOGIN");
  control->user = QStringLiteral("u");
  frmOptions o(nullptr, control.Get(), state);
  o.Load();
  EXPECT_EQ(Child<QLineEdit>(o, "edMaster1")->text(), QStringLiteral("m"));
  EXPECT_EQ(Child<QLineEdit>(o, "edUser")->text(), QStringLiteral("u"));
  EXPECT_EQ(Child<QLabel>(o, "Label1")->text(),
            QStringLiteral("To password protect current Disk Catalog (HOME.DKC), enter up to an 8-character Master "
                           "Password and up to an 8-character User Password in the corresponding fields below and "
                           "press the \"Protect\" button."));
}

TEST_F(OptionsDialogTest, ProtectAndRemoveProtection) {
  state.login.LoginState = QStringLiteral("MASTER_LOGIN");
  frmOptions o(nullptr, control.Get(), state);
  o.Load();
  EXPECT_EQ(Child<QLabel>(o, "lbProtect")->text(), QStringLiteral("Not Protected"));
  Child<QLineEdit>(o, "edMaster")->setText(QStringLiteral("abc"));
  Child<QLineEdit>(o, "edMaster1")->setText(QStringLiteral("abd"));
  Child<QLineEdit>(o, "edUser")->setText(QStringLiteral("u"));
  script.ExpectMessage(forms::vbOK, QStringLiteral("does not match the original"));
  Child<QPushButton>(o, "btnProtect")->click();
  EXPECT_TRUE(Child<QLineEdit>(o, "edUser")->text().isEmpty());
  EXPECT_TRUE(control->master.isEmpty());
  Child<QLineEdit>(o, "edMaster")->setText(QStringLiteral("abc"));
  Child<QLineEdit>(o, "edMaster1")->setText(QStringLiteral("abc"));
  Child<QLineEdit>(o, "edUser")->setText(QStringLiteral("u"));
  Child<QPushButton>(o, "btnProtect")->click();
  EXPECT_EQ(control->calls.filter(QStringLiteral("Password=")),
            (QStringList{QStringLiteral("MasterPassword=abc"), QStringLiteral("UserPassword=u")}));
  EXPECT_EQ(Child<QLabel>(o, "lbProtect")->text(), QStringLiteral("Protected"));
  Child<QPushButton>(o, "btnRemove")->click();
  EXPECT_TRUE(control->master.isEmpty());
  EXPECT_EQ(Child<QLabel>(o, "lbProtect")->text(), QStringLiteral("Not Protected"));
  EXPECT_EQ(panel, (std::vector<bool>{true, false}));
  EXPECT_EQ(script.Shown()[0].buttons, forms::vbExclamation);
  EXPECT_TRUE(script.Done());
}

TEST_F(OptionsDialogTest, SerialEntryMediaTypesAndOk) {
  graber.scanner->catalogued[55] = QStringLiteral("Holiday 1999");
  frmOptions o(nullptr, control.Get(), state);
  o.Load();
  auto* list = Child<QListWidget>(o, "lstAllDrives");
  auto* serial = Child<QLineEdit>(o, "edSerNum");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("Zip Disk - 100"));
  EXPECT_EQ(serial->text(), QStringLiteral("10"));
  EXPECT_EQ(Child<QGroupBox>(o, "frameSN")->title(), QStringLiteral("Floppy Disk"));

  // A catalogued disk's serial is refused, naming the disk; the entry goes back.
  serial->setText(QStringLiteral("55"));
  Child<QPushButton>(o, "btnApply")->setEnabled(true);
  script.ExpectMessage(forms::vbOK, QStringLiteral("in use by the disk named Holiday 1999."));
  Child<QPushButton>(o, "btnApply")->click();
  EXPECT_EQ(serial->text(), QStringLiteral("10"));
  EXPECT_EQ(script.Shown().back().title, QStringLiteral("WARNING!"));

  serial->setText(QStringLiteral("20"));
  Child<QPushButton>(o, "btnApply")->setEnabled(true);
  list->setCurrentRow(2);  // leaving the item checks and keeps the entry
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("Floppy Disk - 20"));
  EXPECT_EQ(serial->text(), QStringLiteral("300"));

  script.ExpectWindow(QStringLiteral("frmLogin"), [](QWidget* form) {
    static_cast<frmLogin*>(form)->txtPassword()->setText(QStringLiteral("Jaz"));
    form->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  });
  Child<QPushButton>(o, "btnAddMedia")->click();
  ASSERT_EQ(list->count(), 4);
  EXPECT_EQ(list->item(3)->text(), QStringLiteral("Jaz - 301"));

  list->setCurrentRow(1);
  script.ExpectMessage(forms::vbOK, QStringLiteral("Deleting of the Standard Media Types is not permitted."));
  Child<QPushButton>(o, "btnDelMedia")->click();

  Child<QPushButton>(o, "cmdOK")->click();
  EXPECT_EQ(o.result(), QDialog::Accepted);
  EXPECT_EQ(menusEnabled, 1);
  Settings saved;
  LoadSettings(saved, SettingsFilePath());
  EXPECT_EQ(saved.StartSerials[kFloppyDisk], 20);
  EXPECT_EQ(saved.OtherMediaNames, QStringList{QStringLiteral("Jaz")});
  EXPECT_EQ(saved.OtherMediaSerials, QStringList{QStringLiteral("301")});
  EXPECT_TRUE(script.Done());
}

TEST_F(OptionsDialogTest, ShowOnlyAMediaTypeOrThePasswordPage) {
  {
    frmOptions o(nullptr, control.Get(), state);
    o.ShowOnly(QStringLiteral("Zip Disk"));
    o.Load();
    auto* list = Child<QListWidget>(o, "lstAllDrives");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Zip Disk - 100"));
    EXPECT_FALSE(Child<QPushButton>(o, "btnAddMedia")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(o, "btnDelMedia")->isEnabled());
  }
  state.login.LoginState = QStringLiteral("MASTER_LOGIN");
  frmOptions o(nullptr, control.Get(), state);
  o.ShowOnly(QStringLiteral("SECURITY_OPTION"));
  o.Load();
  EXPECT_FALSE(o.HasPage(QStringLiteral("SER")));
  EXPECT_TRUE(o.HasPage(QStringLiteral("SEC")));
  Child<QPushButton>(o, "cmdOK")->click();  // nothing of the settings changes
  EXPECT_EQ(menusEnabled, 0);
}

}  // namespace
