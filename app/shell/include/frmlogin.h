// frmLogin: the catalog password prompt and the program's one-line input box (number and text
// modes). Callers make a fresh one per use: SetFormType first, then the setters, then show it
// modally (forms::ShowModal) and read LoginState or PromptValue after it has closed.
#pragma once

#include <QDialog>

#include "appstate.h"
#include "loginprompt.h"

struct ICompCtl;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class frmLogin : public QDialog {
  Q_OBJECT

 public:
  // control: the browser control whose passwords the password form checks (the main
  // window's by default). Loading clears PromptValue.
  explicit frmLogin(QWidget* parent = nullptr, ICompCtl* control = nullptr, Login& login = Global().login,
                    PromptAnswers& prompt = Global().prompt);

  void SetFormType(SHORT type);
  void SetDescription(const QString& text);
  void SetCaption(const QString& text);
  void SetMaxLen(SHORT length);
  void SetNumberLimit(LONG minimum, LONG maximum, SHORT maxLen = LoginPrompt::kNoLimit);
  // True when the entry satisfies the number limits; otherwise the "ERROR!" message is shown.
  bool CheckValueEntered();

  QLineEdit* txtPassword() const { return txtPassword_; }
  const LoginPrompt& prompt() const { return prompt_; }

  // Closing the window (close box, Escape) is Cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();
  void OnCancel();
  void SelectEntry();
  void ApplyEntryRules();

  ICompCtl* control_;
  Login& login_;
  PromptAnswers& answers_;
  LoginPrompt prompt_;
  QLabel* description_;
  QLabel* caption_;
  QLineEdit* txtPassword_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
  bool closing_ = false;
};

}  // namespace app
