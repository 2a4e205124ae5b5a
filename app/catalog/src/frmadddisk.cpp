// The add-disk dialog's widgets.
#include "frmadddisk.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPushButton>
#include <QTextEdit>

#include "animation.h"
#include "appstate.h"
#include "dialogwidgets.h"
#include "forms.h"
#include "frmcategory.h"
#include "frmlogin.h"
#include "global.h"
#include "iteminfovariant.h"
#include "itemnames.h"
#include "programfolder.h"
#include "settings.h"
#include "volumes.h"
#include "walkguard.h"

namespace app::catalog {

frmAddDisk::frmAddDisk(CatalogDialogParts parts, QWidget* parent) : QDialog(parent), parts_(std::move(parts)) {
  setObjectName(QStringLiteral("frmAddDisk"));
  setWindowTitle(QStringLiteral("Add Disk"));
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(NamedLabel("Label3", QStringLiteral("1.  Select the storage device"), this));
  auto* top = new QHBoxLayout;
  auto* driveBox = new QVBoxLayout;
  Drive1_ = new QComboBox(this);
  Drive1_->setObjectName(QStringLiteral("Drive1"));
  driveBox->addWidget(Drive1_);
  auto* lists = new QHBoxLayout;
  Dir1_ = new QListWidget(this);
  Dir1_->setObjectName(QStringLiteral("Dir1"));
  File1_ = new QListWidget(this);
  File1_->setObjectName(QStringLiteral("File1"));
  lists->addWidget(Dir1_);
  lists->addWidget(File1_);
  driveBox->addLayout(lists);
  top->addLayout(driveBox, 3);
  auto* frameMT = new QGroupBox(QStringLiteral("Media Type"), this);
  frameMT->setObjectName(QStringLiteral("frameMT"));
  auto* mt = new QGridLayout(frameMT);
  lstStandardType_ = new QComboBox(frameMT);
  lstStandardType_->setObjectName(QStringLiteral("lstStandardType"));
  btnOther_ = new QPushButton(QStringLiteral("Other..."), frameMT);
  btnOther_->setObjectName(QStringLiteral("btnOther"));
  Image1_ = new QLabel(frameMT);
  Image1_->setObjectName(QStringLiteral("Image1"));
  Image1_->setFixedSize(32, 32);
  lbSerial_ = new QLabel(frameMT);
  lbSerial_->setObjectName(QStringLiteral("lbSerial"));
  lbSerial_->setFrameShape(QFrame::StyledPanel);
  btnEditSer_ = new QPushButton(QStringLiteral("Edit"), frameMT);
  btnEditSer_->setObjectName(QStringLiteral("btnEditSer"));
  auto* label8 = NamedLabel("Label8", QStringLiteral("Serial Number:"), frameMT);
  mt->addWidget(Image1_, 0, 0);
  mt->addWidget(lstStandardType_, 0, 1);
  mt->addWidget(btnOther_, 0, 2);
  mt->addWidget(label8, 1, 0, 1, 1);
  mt->addWidget(lbSerial_, 1, 1);
  mt->addWidget(btnEditSer_, 1, 2);
  top->addWidget(frameMT, 2);
  outer->addLayout(top);

  auto* label4 = NamedLabel("Label4", QStringLiteral("2.  Specify the Disk Name, Category and Description"), this);
  outer->addWidget(label4);
  auto* form = new QFormLayout;
  dName_ = new QLineEdit(this);
  dName_->setObjectName(QStringLiteral("dName"));
  dName_->setMaxLength(static_cast<int>(kMaxDiskNameLength));
  auto* label1 = NamedLabel("Label1", QStringLiteral("Disk Name:"), this);
  form->addRow(label1, dName_);
  auto* catRow = new QHBoxLayout;
  cmbCategory_ = new QComboBox(this);
  cmbCategory_->setObjectName(QStringLiteral("cmbCategory"));
  btnEditCat_ = new QPushButton(QStringLiteral("..."), this);
  btnEditCat_->setObjectName(QStringLiteral("btnEditCat"));
  chkRecursive_ = new QCheckBox(QStringLiteral("Set the same category for subitems"), this);
  chkRecursive_->setObjectName(QStringLiteral("chkRecursive"));
  catRow->addWidget(cmbCategory_, 1);
  catRow->addWidget(btnEditCat_);
  catRow->addWidget(chkRecursive_);
  auto* label2 = NamedLabel("Label2", QStringLiteral("Disk Category:"), this);
  form->addRow(label2, catRow);
  dDesc_ = new QTextEdit(this);
  dDesc_->setObjectName(QStringLiteral("dDesc"));
  dDesc_->setAcceptRichText(false);
  dDesc_->setFixedHeight(60);
  auto* label5 = NamedLabel("Label5", QStringLiteral("Disk Description:"), this);
  form->addRow(label5, dDesc_);
  outer->addLayout(form);

  picUpdate_ = new QFrame(this);
  picUpdate_->setObjectName(QStringLiteral("picUpdate"));
  picUpdate_->setFrameShape(QFrame::StyledPanel);
  auto* progress = new QHBoxLayout(picUpdate_);
  Animation1_ = NamedLabel("Animation1", QString(), picUpdate_);
  Animation1_->setFixedSize(64, 40);
  progress->addWidget(Animation1_);
  progress->addWidget(NamedLabel("Label7", QStringLiteral("Adding files process in progress ..."), picUpdate_), 1);
  picUpdate_->hide();
  outer->addWidget(picUpdate_);

  auto* buttons = new QHBoxLayout;
  auto* btnOptions = new QPushButton(QStringLiteral("&Options"), this);
  btnOptions->setObjectName(QStringLiteral("btnOptions"));
  btnOK_ = new QPushButton(QStringLiteral("&Add Disk"), this);
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setDefault(true);
  btnExit_ = new QPushButton(QStringLiteral("&Cancel"), this);
  btnExit_->setObjectName(QStringLiteral("btnExit"));
  buttons->addWidget(btnOptions);
  buttons->addStretch(1);
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnExit_);
  outer->addLayout(buttons);
  partTwo_ = {Dir1_, File1_, label1, label2, label4, label5, label8, btnEditSer_, dName_, cmbCategory_, btnEditCat_,
              dDesc_, lbSerial_, frameMT, lstStandardType_};

  // Load.
  xcom::ComPtr<IOFileGraber> scanner;
  CreateFileGraber(&scanner);
  flow_ = std::make_unique<AddDiskFlow>(*parts_.state, static_cast<AddDiskView&>(*this), std::move(scanner), CatalogFileOf(parts_.compCtl));
  flow_->Load();
  FillDrives();
  Sync();

  connect(Drive1_, &QComboBox::activated, this, [this](int index) {
    parts_.state->shell.LastDriveIndex = static_cast<SHORT>(index);
    flow_->DriveChanged(DriveTextAt(*Drive1_, index));
    Sync();
  });
  connect(lstStandardType_, &QComboBox::activated, this, [this](int index) {
    Read();
    flow_->MediaTypeChosen(index);
    Sync();
  });
  connect(cmbCategory_, &QComboBox::activated, this, [this](int index) {
    Read();
    flow_->CategoryChosen(index);
    Sync();
  });
  connect(dName_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const QString filtered = AddDiskFlow::FilterName(text);
    if (filtered != text) {
      QApplication::beep();
      dName_->setText(filtered);
      dName_->setCursorPosition(static_cast<int>(filtered.size()));
    }
  });
  connect(dDesc_, &QTextEdit::textChanged, this, [this] {
    const QString t = dDesc_->toPlainText();
    if (t.size() > 256) dDesc_->setPlainText(t.left(256));
  });
  connect(btnOther_, &QPushButton::clicked, this, [this] {
    Read();
    flow_->NewMediaType();
    Sync();
  });
  connect(btnEditSer_, &QPushButton::clicked, this, [this] {
    Read();
    flow_->EditSerial();
    Sync();
  });
  connect(btnOptions, &QPushButton::clicked, this, [this] {
    Read();
    flow_->Options();
    Sync();
  });
  connect(btnEditCat_, &QPushButton::clicked, this, [this] {
    Read();
    flow_->EditCategory();
    Sync();
  });
  connect(btnOK_, &QPushButton::clicked, this, [this] { AddDisk(); });
  connect(btnExit_, &QPushButton::clicked, this, [this] { Unload(); });
}

frmAddDisk::~frmAddDisk() {
  if (!unloaded_) {
    unloaded_ = true;
    flow_->Unloaded();
  }
}

void frmAddDisk::FillDrives() { FillDriveList(*Drive1_, DriveListEntries(DriveTextForm::WithLabel)); }

void frmAddDisk::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  const SHORT last = parts_.state->shell.LastDriveIndex;
  flow_->Activate();
  if (flow_->inputs().drive.isEmpty() && last >= 0 && last < Drive1_->count()) {
    flow_->DriveChanged(DriveTextAt(*Drive1_, last));
  }
  Sync();
}

void frmAddDisk::Read() {
  AddDiskFlow::Inputs& in = flow_->inputs();
  in.name = dName_->text();
  in.description = dDesc_->toPlainText();
  in.recursive = chkRecursive_->isChecked();
}

void frmAddDisk::Sync() {
  syncing_ = true;
  const AddDiskFlow::Inputs& in = flow_->inputs();
  Drive1_->setCurrentIndex(DriveIndexIn(*Drive1_, in.drive));
  Dir1_->clear();
  Dir1_->addItems(in.rootFolders);
  File1_->clear();
  File1_->addItems(in.rootFiles);
  lstStandardType_->clear();
  lstStandardType_->addItems(in.mediaTypes);
  lstStandardType_->setCurrentIndex(in.mediaTypeIndex);
  Image1_->setPixmap(MediaTypeIcon(flow_->MediaTypeCode()).pixmap(32, 32));
  lbSerial_->setText(in.serial);
  if (dName_->text() != in.name) dName_->setText(in.name);
  if (dDesc_->toPlainText() != in.description) dDesc_->setPlainText(in.description);
  cmbCategory_->clear();
  cmbCategory_->addItems(in.categories);
  cmbCategory_->setCurrentIndex(in.categoryIndex);
  Drive1_->setEnabled(true);
  for (QPushButton* b : findChildren<QPushButton*>()) b->setEnabled(true);
  for (QWidget* w : partTwo_) w->setEnabled(in.partTwoEnabled);
  Dir1_->setEnabled(in.dirEnabled);
  File1_->setEnabled(in.dirEnabled);
  btnOK_->setEnabled(in.okEnabled);
  dName_->setEnabled(in.partTwoEnabled && in.nameEnabled);
  btnEditSer_->setEnabled(in.partTwoEnabled && in.serialEditEnabled);
  btnOther_->setEnabled(in.otherEnabled);
  chkRecursive_->setEnabled(in.partTwoEnabled && in.recursiveEnabled);
  chkRecursive_->setChecked(in.recursive);
  syncing_ = false;
}

void frmAddDisk::AddDisk() {
  Read();
  flow_->Add();
  if (!unloaded_) Sync();
}

void frmAddDisk::ShowProgress(bool show) {
  picUpdate_->setVisible(show);
  // While the scanner runs nothing of the dialog can be used; Sync enables it again.
  for (QWidget* w : findChildren<QPushButton*>()) w->setEnabled(!show);
  Drive1_->setEnabled(!show);
  if (show) {
    PlayAnimation(Animation1_, movie_, "filecopy.avi");
    repaint();
    // Paint the panel once before the scan; nothing else runs meanwhile.
    WalkGuard guard({});
    forms::DoEvents();
  } else {
    StopAnimation(movie_);
  }
}

void frmAddDisk::Unload() {
  if (!unloaded_) {
    unloaded_ = true;
    flow_->Unloaded();
  }
  hide();
  QDialog::done(QDialog::Rejected);
}

void frmAddDisk::done(int r) {
  if (!unloaded_) {
    unloaded_ = true;
    flow_->Unloaded();
  }
  QDialog::done(r);
}

void frmAddDisk::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    unloaded_ = true;
    flow_->Unloaded();
  }
  QDialog::closeEvent(event);
}

void frmAddDisk::RefreshBrowser() {
  if (parts_.compCtl) parts_.compCtl->Refresh();
}

void frmAddDisk::SelectInBrowser(const QString& name) { app::catalog::SelectInBrowser(parts_, name); }

void frmAddDisk::ShowUpdateDialog() { app::catalog::ShowUpdateDialog(parts_, parentWidget()); }

void frmAddDisk::ShowSerialOptions(const QString& mediaTypeName) {
  if (parts_.showOptions) parts_.showOptions(mediaTypeName);
}

void frmAddDisk::ShowOptions() {
  if (parts_.showOptions) parts_.showOptions(QString());
}

QString frmAddDisk::EditCategories() {
  frmCategory editor(parts_.state->settings, [this] { SaveSettings(); }, this);
  forms::ShowModal(&editor, this);
  return editor.ChosenCategory;
}

QString frmAddDisk::AskMediaTypeName() {
  frmLogin prompt(this, parts_.compCtl, parts_.state->login, parts_.state->prompt);
  prompt.SetFormType(kTextForm);
  prompt.SetDescription(QStringLiteral("Please enter the Media Type below (maximum 20-characters)."));
  prompt.SetCaption(QStringLiteral("Media Type:"));
  prompt.SetMaxLen(20);
  forms::ShowModal(&prompt, this);
  return parts_.state->prompt.PromptValue;
}

void frmAddDisk::FocusName() { dName_->setFocus(); }

void frmAddDisk::SaveSettings() { SaveSettingsReportingFailure(parts_.state->settings); }

}  // namespace app::catalog
