// frmLogin: the password prompt and one-line input box over LoginPrompt.
#include "frmlogin.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "forms.h"
#include "global.h"
#include "icompctl.h"
#include "iteminfovariant.h"
#include "windowlinks.h"

namespace app {

namespace {

QString ReadPassword(ICompCtl* control, bool master) {
  if (!control) return QString();
  xcom::Bstr value;
  HRESULT hr = master ? control->get_MasterPassword(value.ReleaseAndGetAddressOf())
                      : control->get_UserPassword(value.ReleaseAndGetAddressOf());
  if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
  return FromBstr(value.Get());
}

}  // namespace

frmLogin::frmLogin(QWidget* parent, ICompCtl* control, Login& login, PromptAnswers& prompt)
    : QDialog(parent), control_(control ? control : MainCompCtl()), login_(login), answers_(prompt) {
  setObjectName(QStringLiteral("frmLogin"));
  setWindowTitle(QStringLiteral("Login"));
  answers_.PromptValue.clear();

  description_ = new QLabel(
      QStringLiteral("The current Disk Catalog has been password protected.  Please enter your user password."), this);
  description_->setObjectName(QStringLiteral("lblLabels0"));
  description_->setWordWrap(true);
  caption_ = new QLabel(QStringLiteral("&Password:"), this);
  caption_->setObjectName(QStringLiteral("lblLabels1"));
  txtPassword_ = new QLineEdit(this);
  txtPassword_->setObjectName(QStringLiteral("txtPassword"));
  caption_->setBuddy(txtPassword_);
  cmdOK_ = new QPushButton(QStringLiteral("&OK"), this);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdOK_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(description_, 0, 0, 1, 2);
  grid->addWidget(caption_, 1, 0);
  grid->addWidget(txtPassword_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  grid->addLayout(buttons, 2, 0, 1, 2);
  setMinimumWidth(380);

  connect(cmdOK_, &QPushButton::clicked, this, &frmLogin::OnOk);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmLogin::OnCancel);
  // Typed and pasted text alike pass the filter.
  connect(txtPassword_, &QLineEdit::textChanged, this, [this](const QString& text) {
    const QString filtered = prompt_.Filtered(text);
    if (filtered != text) {
      const int cursor = txtPassword_->cursorPosition() - int(text.size() - filtered.size());
      txtPassword_->setText(filtered);
      txtPassword_->setCursorPosition(qMax(0, cursor));
    }
  });
  ApplyEntryRules();
}

void frmLogin::ApplyEntryRules() {
  txtPassword_->setEchoMode(prompt_.Masked() ? QLineEdit::Password : QLineEdit::Normal);
  // Digits-only entries drop what is not a digit before the length counts, so the filter
  // keeps the limit itself.
  txtPassword_->setMaxLength(prompt_.DigitsOnly() ? LoginPrompt::kNoLimit : prompt_.MaxLen());
}

void frmLogin::SetFormType(SHORT type) {
  prompt_.SetFormType(type);
  if (type == kTextForm) setWindowTitle(QStringLiteral("Add Removable Media Type"));
  if (type == kPasswordForm) login_.LoginState.clear();
  ApplyEntryRules();
}

void frmLogin::SetDescription(const QString& text) { description_->setText(text); }
void frmLogin::SetCaption(const QString& text) { caption_->setText(text); }

void frmLogin::SetMaxLen(SHORT length) {
  prompt_.SetMaxLen(length);
  ApplyEntryRules();
}

void frmLogin::SetNumberLimit(LONG minimum, LONG maximum, SHORT maxLen) {
  prompt_.SetNumberLimit(minimum, maximum, maxLen);
  ApplyEntryRules();
  txtPassword_->setText(prompt_.Filtered(txtPassword_->text()));
}

bool frmLogin::CheckValueEntered() {
  if (std::optional<QString> refusal = prompt_.NumberRefusal(txtPassword_->text())) {
    forms::MsgBox(*refusal, forms::vbCritical, QStringLiteral("ERROR!"));
    SelectEntry();
    return false;
  }
  return true;
}

void frmLogin::SelectEntry() {
  txtPassword_->setFocus();
  txtPassword_->selectAll();
}

void frmLogin::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QTimer::singleShot(0, this, [this] { SelectEntry(); });
}

void frmLogin::OnOk() {
  const QString entry = txtPassword_->text();
  switch (prompt_.FormType()) {
    case kPasswordForm: {
      QString master, user;
      try {
        master = ReadPassword(control_, true);
        user = ReadPassword(control_, false);
      } catch (const vbrt::RuntimeError& e) {
        // A catalog whose passwords cannot be read admits nobody.
        forms::MsgBox(QStringLiteral("ERROR:  ") + QString::number(e.number()) + u'\r' +
                          QString::fromStdU16String(e.description()),
                      forms::vbCritical, QStringLiteral("ERROR!"));
        OnCancel();
        return;
      }
      switch (LoginPrompt::CheckPassword(entry, master, user)) {
        case PasswordMatch::Master:
          login_.LoginState = QStringLiteral("MASTER_LOGIN");
          if (control_) control_->put_AllowDelete(1);
          break;
        case PasswordMatch::User:
          login_.LoginState = QStringLiteral("USER_LOGIN");
          if (control_) control_->put_AllowDelete(0);
          break;
        case PasswordMatch::Wrong:
          forms::MsgBox(QStringLiteral("Invalid Password, try again!"), forms::vbOKOnly, QStringLiteral("Login"));
          SelectEntry();
          return;
      }
      break;
    }
    case kNumberForm:
      if (!CheckValueEntered()) return;
      SetZoomFactor(entry + QStringLiteral("PC"), true);
      break;
    default:
      answers_.PromptValue = entry;
      break;
  }
  closing_ = true;
  accept();
}

void frmLogin::OnCancel() {
  if (prompt_.FormType() == kPasswordForm) login_.LoginState.clear();
  closing_ = true;
  QDialog::reject();
}

void frmLogin::reject() {
  if (closing_) {
    QDialog::reject();
    return;
  }
  OnCancel();
}

}  // namespace app
