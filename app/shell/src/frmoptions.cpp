// frmOptions: media types, starting serials and the catalog passwords over OptionsState.
#include "frmoptions.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "forms.h"
#include "frmlogin.h"
#include "global.h"
#include "icompctl.h"
#include "iofilegraber.h"
#include "iteminfovariant.h"
#include "mediapictures.h"
#include "settings.h"

namespace app {

OptionsMainHooks& MainHooksForOptions() {
  static OptionsMainHooks hooks;
  return hooks;
}

namespace {

QLineEdit* PasswordEntry(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(8);
  return edit;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QString Password(ICompCtl* control, bool master) {
  if (!control) return QString();
  xcom::Bstr value;
  if (master) {
    control->get_MasterPassword(value.ReleaseAndGetAddressOf());
  } else {
    control->get_UserPassword(value.ReleaseAndGetAddressOf());
  }
  return FromBstr(value.Get());
}

}  // namespace

frmOptions::frmOptions(QWidget* parent, ICompCtl* control, AppState& state)
    : QDialog(parent), control_(control ? control : MainCompCtl()), app_(state) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Options"));

  tbsOptions_ = new QTabWidget(this);
  tbsOptions_->setObjectName(QStringLiteral("tbsOptions"));

  serPage_ = new QWidget;
  serPage_->setObjectName(QStringLiteral("picOptions0"));
  auto* serLayout = new QVBoxLayout(serPage_);
  auto* help = new QLabel(QStringLiteral("Please select a media type by clicking on one of the icons below.  Specify the "
                                         "Starting Serial Number for each of the available media types by entering a "
                                         "numeric value in the corresponding text box."),
                          serPage_);
  help->setWordWrap(true);
  serLayout->addWidget(help);
  auto* available = new QLabel(QStringLiteral("Available Media"), serPage_);
  serLayout->addWidget(available);
  lstAllDrives_ = new QListWidget(serPage_);
  lstAllDrives_->setObjectName(QStringLiteral("lstAllDrives"));
  lstAllDrives_->setViewMode(QListView::IconMode);
  lstAllDrives_->setResizeMode(QListView::Adjust);
  lstAllDrives_->setMovement(QListView::Static);
  lstAllDrives_->setGridSize(QSize(130, 64));
  lstAllDrives_->setIconSize(QSize(32, 32));
  lstAllDrives_->setWordWrap(true);
  serLayout->addWidget(lstAllDrives_, 1);
  frameSN_ = new QGroupBox(serPage_);
  frameSN_->setObjectName(QStringLiteral("frameSN"));
  auto* snLayout = new QFormLayout(frameSN_);
  edSerNum_ = new QLineEdit(frameSN_);
  edSerNum_->setObjectName(QStringLiteral("edSerNum"));
  snLayout->addRow(QStringLiteral("Starting Serial Number:"), edSerNum_);
  serLayout->addWidget(frameSN_);
  auto* mediaButtons = new QHBoxLayout;
  btnAddMedia_ = Button(serPage_, "btnAddMedia", "Add New Media Type");
  btnDelMedia_ = Button(serPage_, "btnDelMedia", "Delete Media Type");
  mediaButtons->addWidget(btnAddMedia_);
  mediaButtons->addWidget(btnDelMedia_);
  mediaButtons->addStretch();
  serLayout->addLayout(mediaButtons);

  secPage_ = new QWidget;
  secPage_->setObjectName(QStringLiteral("picOptions1"));
  auto* secLayout = new QVBoxLayout(secPage_);
  Label1_ = new QLabel(secPage_);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setWordWrap(true);
  secLayout->addWidget(Label1_);
  framePasswords_ = new QGroupBox(QStringLiteral("Password Setup"), secPage_);
  framePasswords_->setObjectName(QStringLiteral("framePasswords"));
  auto* pwLayout = new QFormLayout(framePasswords_);
  edMaster_ = PasswordEntry(framePasswords_, "edMaster");
  edMaster1_ = PasswordEntry(framePasswords_, "edMaster1");
  edUser_ = PasswordEntry(framePasswords_, "edUser");
  pwLayout->addRow(QStringLiteral("Master Password:"), edMaster_);
  pwLayout->addRow(QStringLiteral("Re-enter Master:"), edMaster1_);
  pwLayout->addRow(QStringLiteral("User Password:"), edUser_);
  auto* pwButtons = new QHBoxLayout;
  btnProtect_ = Button(framePasswords_, "btnProtect", "&Protect");
  btnRemove_ = Button(framePasswords_, "btnRemove", "&Remove Protection");
  pwButtons->addWidget(btnProtect_);
  pwButtons->addWidget(btnRemove_);
  pwLayout->addRow(pwButtons);
  secLayout->addWidget(framePasswords_);
  auto* current = new QGroupBox(QStringLiteral("Current State"), secPage_);
  auto* currentLayout = new QHBoxLayout(current);
  Image1_ = new QLabel(current);
  Image1_->setObjectName(QStringLiteral("Image1"));
  lbProtect_ = new QLabel(current);
  lbProtect_->setObjectName(QStringLiteral("lbProtect"));
  currentLayout->addWidget(Image1_);
  currentLayout->addWidget(lbProtect_, 1);
  secLayout->addWidget(current);
  secLayout->addStretch();

  tbsOptions_->addTab(serPage_, QStringLiteral("Serial Numbers"));
  tbsOptions_->setTabToolTip(0, QStringLiteral("SER"));
  tbsOptions_->addTab(secPage_, QStringLiteral("Security"));
  tbsOptions_->setTabToolTip(1, QStringLiteral("SEC"));

  cmdOK_ = Button(this, "cmdOK", "OK");
  cmdOK_->setDefault(true);
  cmdCancel_ = Button(this, "cmdCancel", "&Cancel");
  btnApply_ = Button(this, "btnApply", "&Apply");
  btnApply_->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  buttons->addWidget(btnApply_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tbsOptions_, 1);
  layout->addLayout(buttons);
  resize(480, 420);

  connect(lstAllDrives_, &QListWidget::currentRowChanged, this, [this](int row) { SelectItem(row); });
  connect(edSerNum_, &QLineEdit::textEdited, this, [this] { btnApply_->setEnabled(true); });
  connect(edSerNum_, &QLineEdit::editingFinished, this, [this] {
    if (selectedRow_ >= 0 && btnApply_->isEnabled()) CheckErrors(IndexOfRow(selectedRow_) + 1);
  });
  connect(btnApply_, &QPushButton::clicked, this, [this] { Apply(); });
  connect(cmdOK_, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnAddMedia_, &QPushButton::clicked, this, [this] { OnAddMedia(); });
  connect(btnDelMedia_, &QPushButton::clicked, this, [this] { OnDelete(); });
  connect(btnProtect_, &QPushButton::clicked, this, [this] { OnProtect(); });
  connect(btnRemove_, &QPushButton::clicked, this, [this] { OnRemove(); });
  auto* switchPage = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
  connect(switchPage, &QShortcut::activated, this,
          [this] { tbsOptions_->setCurrentIndex((tbsOptions_->currentIndex() + 1) % qMax(1, tbsOptions_->count())); });
}

frmOptions::~frmOptions() {
  if (loaded_) --app_.shell.OpenDialogCount;
}

void frmOptions::ShowOnly(const QString& key) {
  showOnlyKey_ = key;
  showOnlyFlag_ = true;
}

bool frmOptions::HasPage(const QString& key) const {
  QWidget* page = key == QLatin1String("SER") ? serPage_ : secPage_;
  return tbsOptions_->indexOf(page) >= 0;
}

void frmOptions::Load() {
  if (loaded_) return;
  loaded_ = true;
  ++app_.shell.OpenDialogCount;
  if (SUCCEEDED(CreateFileGraber(&scanner_)) && scanner_ && control_) {
    xcom::Bstr doc;
    control_->get_DocFileName(doc.ReleaseAndGetAddressOf());
    scanner_->put_DocFileName(doc.Get());
  }
  const QString& login = app_.login.LoginState;
  if (login == QLatin1String("USER_LOGIN") || login == QLatin1String("MASTER_LOGIN")) {
    SetupSecurityTab();
  } else {
    tbsOptions_->removeTab(tbsOptions_->indexOf(secPage_));
  }
  if (showOnlyKey_ == QLatin1String("SECURITY_OPTION")) {
    tbsOptions_->removeTab(tbsOptions_->indexOf(serPage_));
    tbsOptions_->setCurrentWidget(secPage_);
    showOnlyKey_.clear();
    return;
  }
  state_.LoadFrom(app_.settings);
  if (showOnlyFlag_ && !showOnlyKey_.isEmpty()) {
    btnDelMedia_->setEnabled(false);
    btnAddMedia_->setEnabled(false);
  }
  FillList();
  lstAllDrives_->setCurrentRow(0);
}

int frmOptions::IndexOfRow(int row) const {
  QListWidgetItem* item = lstAllDrives_->item(row);
  return item ? item->data(Qt::UserRole).toInt() : -1;
}

int frmOptions::RowOfIndex(int index) const {
  for (int row = 0; row < lstAllDrives_->count(); ++row) {
    if (IndexOfRow(row) == index) return row;
  }
  return -1;
}

void frmOptions::FillList() {
  QSignalBlocker block(lstAllDrives_);
  lstAllDrives_->clear();
  const int only = showOnlyFlag_ && !showOnlyKey_.isEmpty() ? state_.IndexOfName(showOnlyKey_) : -1;
  const QList<MediaListItem> items = state_.Items();
  for (int i = 0; i < items.size(); ++i) {
    if (only >= 0 && i != only) continue;
    using surface::MediaPicture;
    const MediaPicture picture = i == 0   ? MediaPicture::Floppy
                                 : i == 1 ? MediaPicture::Zip
                                 : i == 2 ? MediaPicture::CD
                                          : MediaPicture::UserMedia;
    auto* item = new QListWidgetItem(surface::MediaIcon(picture), items[i].text, lstAllDrives_);
    item->setData(Qt::UserRole, i);
    item->setData(Qt::UserRole + 1, items[i].key);
  }
  selectedRow_ = -1;
}

void frmOptions::SelectItem(int row) {
  if (row == selectedRow_) return;
  if (selectedRow_ >= 0 && btnApply_->isEnabled() && !CheckErrors(IndexOfRow(selectedRow_) + 1)) {
    QSignalBlocker block(lstAllDrives_);
    lstAllDrives_->setCurrentRow(selectedRow_);
    return;
  }
  selectedRow_ = row;
  const int index = IndexOfRow(row);
  if (index < 0) return;
  frameSN_->setTitle(state_.Name(index));
  QSignalBlocker block(edSerNum_);
  edSerNum_->setText(QString::fromStdU16String(vbrt::CStr(state_.Serial(index))));
  btnApply_->setEnabled(false);
}

QString frmOptions::IsSerialUsed(double serial) {
  if (!scanner_) return QString();
  xcom::Bstr name;
  HRESULT hr = scanner_->IsSerialUsed(serial, name.ReleaseAndGetAddressOf());
  if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
  return FromBstr(name.Get());
}

void frmOptions::ShowMessage(const OptionsMessage& m) { forms::MsgBox(m.text, m.buttons, m.title); }

bool frmOptions::CheckErrors(int index) {
  if (checking_) return true;
  checking_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{checking_};
  const int i = index - 1;
  std::optional<OptionsMessage> refusal =
      state_.CheckErrors(i, edSerNum_->text(), [this](double serial) { return IsSerialUsed(serial); });
  if (refusal) {
    ShowMessage(*refusal);
    edSerNum_->setText(QString::fromStdU16String(vbrt::CStr(state_.Serial(i))));
    edSerNum_->selectAll();
    edSerNum_->setFocus();
    return false;
  }
  btnApply_->setEnabled(false);
  if (QListWidgetItem* item = lstAllDrives_->item(RowOfIndex(i))) item->setText(state_.Item(i).text);
  return true;
}

void frmOptions::Apply() {
  errorFlag_ = false;
  try {
    const bool changed = btnApply_->isEnabled();
    btnApply_->setEnabled(false);
    if (selectedRow_ >= 0 && changed) {
      btnApply_->setEnabled(true);
      if (!CheckErrors(IndexOfRow(selectedRow_) + 1)) errorFlag_ = true;
    }
  } catch (const vbrt::RuntimeError& e) {
    errorFlag_ = true;
    if (e.number() == vbrt::ErrDeviceUnavailable) {
      forms::MsgBox(QStringLiteral("Device unavailable.") + u'\r' +
                        QStringLiteral("Please insert one disk (e. g., Floppy Disk, Zip Disk) in each drive before "
                                       "assigning any drive letters."),
                    forms::vbExclamation, QStringLiteral("WARNING!"));
    } else {
      forms::MsgBox(QStringLiteral("ERROR NUMBER: ") + QString::number(e.number()) + u'\r' +
                        QString::fromStdU16String(e.description()),
                    forms::vbCritical, QStringLiteral("ERROR!"));
    }
  }
}

void frmOptions::OnOk() {
  try {
    if (btnApply_->isEnabled()) {
      Apply();
      if (errorFlag_) return;
    }
    if (HasPage(QStringLiteral("SER")) && HasPage(QStringLiteral("SEC")) && selectedRow_ >= 0) {
      const int index = IndexOfRow(selectedRow_);
      const QString disk = IsSerialUsed(state_.Serial(index));
      if (!disk.isEmpty()) {
        forms::MsgBox(QStringLiteral("The Serial Number you've specified is in use by the disk named ") + disk +
                          QStringLiteral(".  Please specify a different serial number for this disk."),
                      forms::vbExclamation, QStringLiteral("WARNING!"));
        tbsOptions_->setCurrentWidget(serPage_);
        edSerNum_->setFocus();
        return;
      }
    }
    if (HasPage(QStringLiteral("SER"))) {
      state_.SaveTo(app_.settings);
      SaveSettings(app_.settings, SettingsFilePath());
      if (MainHooksForOptions().enableMenuChoices) MainHooksForOptions().enableMenuChoices();
    }
    accept();
  } catch (const vbrt::RuntimeError& e) {
    forms::MsgBox(QStringLiteral("ERROR: ") + QString::number(e.number()) + u'\r' +
                      QString::fromStdU16String(e.description()),
                  forms::vbCritical, QStringLiteral("ERROR!"));
  }
}

void frmOptions::OnAddMedia() {
  auto* prompt = new frmLogin(this, control_, app_.login, app_.prompt);
  prompt->SetFormType(kTextForm);
  prompt->SetDescription(QStringLiteral("Please enter a Removable Media Type name (maximum 20 characters)."));
  prompt->SetCaption(QStringLiteral("Media Type:"));
  prompt->SetMaxLen(20);
  forms::ShowModal(prompt, this);
  delete prompt;
  const QString name = app_.prompt.PromptValue;
  if (name.isEmpty()) return;
  const int index = state_.AddMediaType(name);
  const MediaListItem m = state_.Item(index);
  auto* item = new QListWidgetItem(surface::MediaIcon(surface::MediaPicture::UserMedia), m.text, lstAllDrives_);
  item->setData(Qt::UserRole, index);
  item->setData(Qt::UserRole + 1, m.key);
}

void frmOptions::OnDelete() {
  if (selectedRow_ < 0) return;
  const int index = IndexOfRow(selectedRow_);
  if (std::optional<OptionsMessage> refusal = state_.DeleteRefusal(index)) {
    ShowMessage(*refusal);
    return;
  }
  const OptionsMessage question = state_.DeleteQuestion(index);
  if (forms::MsgBox(question.text, question.buttons, question.title) != forms::vbOK) return;
  DeleteCurrentMediaType();
}

void frmOptions::DeleteCurrentMediaType() {
  if (selectedRow_ < 0) return;
  state_.DeleteMediaType(IndexOfRow(selectedRow_));
  btnApply_->setEnabled(false);
  FillList();
  lstAllDrives_->setCurrentRow(0);
  SelectItem(0);
}

void frmOptions::SetupSecurityTab() {
  QString file;
  if (control_) {
    xcom::Bstr doc;
    control_->get_DocFileName(doc.ReleaseAndGetAddressOf());
    file = QFileInfo(FromBstr(doc.Get()).replace(u'\\', u'/')).fileName();
  }
  const bool master = app_.login.LoginState == QLatin1String("MASTER_LOGIN");
  if (master) {
    edMaster_->setText(Password(control_, true));
    edMaster1_->setText(Password(control_, true));
    edUser_->setText(Password(control_, false));
  }
  framePasswords_->setEnabled(master);
  Label1_->setText(SecurityDescription(app_.login.LoginState, file));
  ProtectIt();
}

void frmOptions::OnProtect() {
  if (std::optional<ProtectRefusal> refusal = CheckProtect(edMaster_->text(), edMaster1_->text(), edUser_->text())) {
    forms::MsgBox(refusal->text, forms::vbExclamation);
    if (refusal->clearAll) {
      edMaster_->clear();
      edMaster1_->clear();
      edUser_->clear();
    }
    if (auto* focus = findChild<QLineEdit*>(refusal->focus)) focus->setFocus();
    return;
  }
  if (control_) {
    const xcom::Bstr m = ToBstr(edMaster_->text()), u = ToBstr(edUser_->text());
    HRESULT hr = control_->put_MasterPassword(m.Get());
    if (SUCCEEDED(hr)) hr = control_->put_UserPassword(u.Get());
    if (FAILED(hr)) {
      const vbrt::RuntimeError e = vbrt::RuntimeError::FromHResult(hr);
      forms::MsgBox(QStringLiteral("ERROR: ") + QString::number(e.number()) + u'\r' +
                        QString::fromStdU16String(e.description()),
                    forms::vbCritical, QStringLiteral("ERROR!"));
    }
  }
  ProtectIt();
  if (MainHooksForOptions().showSecurity) MainHooksForOptions().showSecurity(!Password(control_, true).isEmpty());
}

void frmOptions::OnRemove() {
  edMaster_->clear();
  edMaster1_->clear();
  edUser_->clear();
  if (control_) {
    const xcom::Bstr empty = ToBstr(QString());
    control_->put_MasterPassword(empty.Get());
    control_->put_UserPassword(empty.Get());
  }
  ProtectIt();
  if (MainHooksForOptions().showSecurity) MainHooksForOptions().showSecurity(!Password(control_, true).isEmpty());
}

void frmOptions::ProtectIt() {
  const bool protectedCatalog = !Password(control_, true).isEmpty();
  lbProtect_->setText(protectedCatalog ? QStringLiteral("Protected") : QStringLiteral("Not Protected"));
  Image1_->setProperty("image", protectedCatalog ? QStringLiteral("SEC") : QStringLiteral("UNSEC"));
  Image1_->setPixmap(style()
                         ->standardIcon(protectedCatalog ? QStyle::SP_DialogApplyButton : QStyle::SP_MessageBoxWarning)
                         .pixmap(24, 24));
}

void frmOptions::done(int result) {
  scanner_.Reset();
  QDialog::done(result);
}

}  // namespace app
