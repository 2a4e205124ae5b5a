// The prompt dialog and the password gate: password logins, number limits, text entries.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "frmlogin.h"
#include "global.h"
#include "passwordgate.h"
#include "scriptedforms.h"
#include "test_support.h"
#include "testing_qt/test_support.h"
#include "windowlinks.h"

using namespace app;
using namespace shelltest;

namespace {

QPushButton* Button(QWidget* form, const char* name) {
  return form->findChild<QPushButton*>(QString::fromLatin1(name));
}

// Types each entry and presses OK; nothing presses Cancel; "<close>" closes the window.
std::function<void(QWidget*)> Entries(std::vector<std::optional<QString>> entries) {
  return [entries](QWidget* form) {
    auto* login = static_cast<frmLogin*>(form);
    for (const auto& entry : entries) {
      if (!entry) {
        Button(form, "cmdCancel")->click();
      } else if (*entry == QLatin1String("<close>")) {
        login->close();
      } else {
        login->txtPassword()->setText(*entry);
        Button(form, "cmdOK")->click();
      }
    }
  };
}

TEST(CheckThePassword, Table) {
  struct Case {
    const char* what;
    QString master, user;
    std::vector<std::optional<QString>> entries;  // empty: no prompt expected
    int wrongTries;
    const char* state;
    bool ok;
    LONG allowDelete;
  };
  const QString m = QStringLiteral("Secret"), u = QStringLiteral("guest");
  const Case cases[] = {
      {"no master password", QString(), u, {}, 0, "MASTER_LOGIN", true, 1},
      {"master", m, u, {m}, 0, "MASTER_LOGIN", true, 1},
      {"user", m, u, {u}, 0, "USER_LOGIN", true, 0},
      {"equal passwords log in as master", m, m, {m}, 0, "MASTER_LOGIN", true, 1},
      {"empty user password, empty entry", m, QString(), {QString()}, 0, "USER_LOGIN", true, 0},
      {"case differs, then cancel", m, u, {QStringLiteral("secret"), std::nullopt}, 1, "", false, 7},
      {"wrong twice, then right", m, u, {QStringLiteral("x"), QStringLiteral("y"), u}, 2, "USER_LOGIN", true, 0},
      {"close box", m, u, {QStringLiteral("<close>")}, 0, "", false, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto control = MakeFakeCompCtl();
    control->master = c.master;
    control->user = c.user;
    control->allowDelete = 7;
    Login login;
    login.LoginState = QStringLiteral("MASTER_LOGIN");  // left by the previous catalog
    forms::ScriptedForms script(testing_qt::FailTest);
    forms::ScopedForms use(script);
    if (!c.entries.empty()) script.ExpectWindow(QStringLiteral("frmLogin"), Entries(c.entries));
    for (int i = 0; i < c.wrongTries; ++i) script.ExpectMessage(forms::vbOK, QStringLiteral("Invalid Password, try again!"));
    std::vector<bool> panel;
    const bool ok = CheckThePassword(control.Get(), nullptr, [&](bool locked) { panel.push_back(locked); }, login);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(login.LoginState, QString::fromLatin1(c.state));
    EXPECT_EQ(control->allowDelete, c.ok || c.master.isEmpty() ? c.allowDelete : 7);
    EXPECT_EQ(panel, std::vector<bool>{!c.master.isEmpty()});
    EXPECT_TRUE(script.Done());
    for (const auto& shown : script.Shown()) {
      if (shown.kind == forms::ModalKind::Message) {
        EXPECT_EQ(shown.title, QStringLiteral("Login"));
      }
    }
  }
}

TEST(CheckThePassword, UnreadablePasswordsRaiseAndLeaveNoLogin) {
  auto control = MakeFakeCompCtl();
  control->passwordAnswer = STG_E_READFAULT;
  Login login;
  login.LoginState = QStringLiteral("MASTER_LOGIN");
  EXPECT_THROW(CheckThePassword(control.Get(), nullptr, nullptr, login), vbrt::RuntimeError);
  EXPECT_TRUE(login.LoginState.isEmpty());
}

TEST(LoginPrompt, NumberLimitsAreExclusiveAndLongEntriesAreRefused) {
  LoginPrompt p;
  p.SetFormType(kNumberForm);
  p.SetNumberLimit(25, 300, 12);
  const std::pair<const char*, bool> cases[] = {{"25", false},  {"26", true},  {"299", true}, {"300", false},
                                                {"", false},    {"abc", false}, {"0", false},
                                                {"99999999999999999999", false}, {"4294967322", false}};
  for (auto [entry, passes] : cases) {
    std::optional<QString> refusal = p.NumberRefusal(QString::fromLatin1(entry));
    EXPECT_EQ(!refusal, passes) << entry;
    if (refusal) {
      EXPECT_EQ(*refusal, QStringLiteral("Please enter a numeric value between 25 and 300."));
    }
  }
  LoginPrompt unlimited;
  unlimited.SetFormType(kNumberForm);
  EXPECT_FALSE(unlimited.NumberRefusal(QString()));
}

TEST(LoginPrompt, DigitsOnlyFiltersTypedAndPastedText) {
  LoginPrompt p;
  p.SetFormType(kNumberForm);
  EXPECT_EQ(p.Filtered(QStringLiteral("1a2")), QStringLiteral("1a2"));  // type 1 leaves the filter off
  p.SetNumberLimit(25, 300, 3);
  EXPECT_EQ(p.Filtered(QStringLiteral("1a2-3 4")), QStringLiteral("123"));
  p.SetFormType(kTextForm);
  EXPECT_FALSE(p.DigitsOnly());
  EXPECT_EQ(p.Minimum(), 0);
  EXPECT_EQ(p.Maximum(), 0);
}

TEST(frmLogin, NumberFormChecksAndZooms) {
  QString zoom;
  Links().SetZoomFactor = [&](const QString& code, bool apply) {
    EXPECT_TRUE(apply);
    zoom = code;
  };
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  frmLogin login;
  login.SetFormType(kNumberForm);
  login.SetNumberLimit(25, 300, 3);
  EXPECT_EQ(login.txtPassword()->echoMode(), QLineEdit::Normal);
  login.txtPassword()->setText(QStringLiteral("3x00"));  // pasted: the letter is dropped
  EXPECT_EQ(login.txtPassword()->text(), QStringLiteral("300"));
  script.ExpectMessage(forms::vbOK, QStringLiteral("Please enter a numeric value between 25 and 300."));
  Button(&login, "cmdOK")->click();
  EXPECT_EQ(script.Shown().back().title, QStringLiteral("ERROR!"));
  EXPECT_EQ(script.Shown().back().buttons, forms::vbCritical);
  EXPECT_TRUE(zoom.isEmpty());
  login.txtPassword()->setText(QStringLiteral("150"));
  Button(&login, "cmdOK")->click();
  EXPECT_EQ(zoom, QStringLiteral("150PC"));
  EXPECT_EQ(login.result(), QDialog::Accepted);
  Links().SetZoomFactor = nullptr;
  EXPECT_TRUE(script.Done());
}

TEST(frmLogin, TextFormStoresTheEntryAndCancelLeavesItEmpty) {
  PromptAnswers answers;
  Login state;
  answers.PromptValue = QStringLiteral("stale");
  {
    frmLogin login(nullptr, nullptr, state, answers);
    EXPECT_TRUE(answers.PromptValue.isEmpty());  // loading clears it
    login.SetFormType(kTextForm);
    EXPECT_EQ(login.windowTitle(), QStringLiteral("Add Removable Media Type"));
    login.SetMaxLen(20);
    login.txtPassword()->setText(QStringLiteral("Jaz Drive 2GB with a long name"));
    EXPECT_EQ(login.txtPassword()->text().size(), 20);
    Button(&login, "cmdOK")->click();
    EXPECT_EQ(answers.PromptValue, QStringLiteral("Jaz Drive 2GB with a"));
  }
  {
    frmLogin login(nullptr, nullptr, state, answers);
    login.SetFormType(kTextForm);
    login.txtPassword()->setText(QStringLiteral("Tape"));
    Button(&login, "cmdCancel")->click();
    EXPECT_TRUE(answers.PromptValue.isEmpty());
  }
}

TEST(AskDriveLetter, FirstCharacterAndRootOrNothing) {
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  script.ExpectWindow(QStringLiteral("frmLogin"), [](QWidget* form) {
    auto* login = static_cast<frmLogin*>(form);
    EXPECT_EQ(login->txtPassword()->maxLength(), 4);
    EXPECT_EQ(login->findChild<QLabel*>(QStringLiteral("lblLabels0"))->text(),
              QStringLiteral("Please enter a drive letter assosiated with the disk type \"Zip Disk\" (Ex.: D:, E:, F: etc.)"));
    login->txtPassword()->setText(QStringLiteral("F:"));
    Button(form, "cmdOK")->click();
  });
  EXPECT_EQ(AskDriveLetter(QStringLiteral("Zip Disk")), QStringLiteral("F:\\"));
  script.ExpectWindow(QStringLiteral("frmLogin"), Entries({std::nullopt}));
  EXPECT_EQ(AskDriveLetter(QStringLiteral("Zip Disk")), QString());
  EXPECT_TRUE(script.Done());
}

}  // namespace
