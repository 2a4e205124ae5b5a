// The update-disk dialog's widgets.
#include "frmupdate.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include "animation.h"
#include "appstate.h"
#include "dialogwidgets.h"
#include "forms.h"
#include "global.h"
#include "iteminfovariant.h"
#include "printhalfpage.h"
#include "programfolder.h"
#include "volumes.h"
#include "windowlinks.h"

namespace app::catalog {

frmUpdate::frmUpdate(CatalogDialogParts parts, QWidget* parent) : QDialog(parent), parts_(std::move(parts)) {
  setObjectName(QStringLiteral("frmUpdate"));
  setWindowTitle(QStringLiteral("Update Disk"));
  auto* outer = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  outer->addWidget(pages_);

  // The update half.
  auto* update = new QWidget(pages_);
  auto* box = new QVBoxLayout(update);
  auto* frame1 = new QGroupBox(QStringLiteral("Storage Device"), update);
  frame1->setObjectName(QStringLiteral("Frame1"));
  auto* f1 = new QHBoxLayout(frame1);
  f1->addWidget(NamedLabel("Label2", QStringLiteral("Update Disk:"), frame1));
  Drive1_ = new QComboBox(frame1);
  Drive1_->setObjectName(QStringLiteral("Drive1"));
  f1->addWidget(Drive1_, 1);
  box->addWidget(frame1);
  auto* frameMT = new QGroupBox(QStringLiteral("Media Type"), update);
  frameMT->setObjectName(QStringLiteral("frameMT"));
  auto* mt = new QHBoxLayout(frameMT);
  Image1_ = NamedLabel("Image1", QString(), frameMT);
  Image1_->setFixedSize(32, 32);
  lstStandardType_ = new QComboBox(frameMT);
  lstStandardType_->setObjectName(QStringLiteral("lstStandardType"));
  mt->addWidget(Image1_);
  mt->addWidget(lstStandardType_, 1);
  box->addWidget(frameMT);
  auto* startRow = new QHBoxLayout;
  startRow->addStretch(1);
  btnStart_ = new QPushButton(QStringLiteral("&Start Update"), update);
  btnStart_->setObjectName(QStringLiteral("btnStart"));
  btnCancel_ = new QPushButton(QStringLiteral("Cancel"), update);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  startRow->addWidget(btnStart_);
  startRow->addWidget(btnCancel_);
  box->addLayout(startRow);
  Label1_ = NamedLabel("Label1", QString(), update);
  lbProgress_ = NamedLabel("lbProgress", QStringLiteral("Update process in progress . . ."), update);
  lbProgress1_ =
      NamedLabel("lbProgress1",
                 QStringLiteral("Adding new files and removing deleted files.  This may take a few seconds on "
                                "disks with a large number of files."),
                 update);
  lbProgress1_->setWordWrap(true);
  Animation1_ = NamedLabel("Animation1", QString(), update);
  Animation1_->setFixedSize(64, 40);
  for (QWidget* w : {static_cast<QWidget*>(Animation1_), static_cast<QWidget*>(Label1_),
                     static_cast<QWidget*>(lbProgress_), static_cast<QWidget*>(lbProgress1_)}) {
    box->addWidget(w);
    w->hide();
  }
  btnStop_ = new QPushButton(QStringLiteral("&Stop"), update);
  btnStop_->setObjectName(QStringLiteral("btnStop"));
  btnStop_->hide();
  btnPopup_ = new QPushButton(QStringLiteral("Processing Data . . ."), update);
  btnPopup_->setObjectName(QStringLiteral("btnPopup"));
  btnPopup_->hide();
  box->addStretch(1);
  pages_->addWidget(update);

  // The print half.
  printHalf_ = new PrintHalfPage(*parts_.state, parts_.compCtl, nullptr, pages_);
  pages_->addWidget(printHalf_);
  // The progress panel and Stop stand below both halves.
  outer->addWidget(btnPopup_);
  outer->addWidget(btnStop_);
  printHalf_->SetProgressPopup(
      this, [this](bool show) { showProgressPopup(show); }, btnStop_,
      [this] { parts_.state->walk.StopRequested = true; });

  FillDriveList(*Drive1_, DriveListEntries(DriveTextForm::LetterOnly));

  xcom::ComPtr<IOFileGraber> scanner;
  CreateFileGraber(&scanner);
  flow_ = std::make_unique<UpdateFlow>(*parts_.state, static_cast<UpdateView&>(*this), std::move(scanner), CatalogFileOf(parts_.compCtl));
  const QString printDirectory = TakePrintDirectory();
  if (!printDirectory.isEmpty()) {
    printOnlyBefore_ = std::exchange(parts_.state->print.PrintOnlyMode, true);
    printHalf_->half().SetPrintDirectory(printDirectory);
  }
  flow_->Load();
  if (!printDirectory.isEmpty()) parts_.state->print.LabelMedium = 0;
  if (parts_.state->print.PrintOnlyMode) ShowPrintHalf();
  if (!printDirectory.isEmpty())
    setWindowTitle(QStringLiteral("Print Windows Directory (") + printDirectory + QStringLiteral(")"));
  Sync();

  connect(Drive1_, &QComboBox::activated, this, [this](int index) {
    parts_.state->shell.LastDriveIndex = static_cast<SHORT>(index);
    flow_->DriveChanged(DriveTextAt(*Drive1_, index));
    Sync();
  });
  connect(lstStandardType_, &QComboBox::activated, this, [this](int index) {
    flow_->MediaTypeChosen(index);
    Sync();
  });
  connect(btnStart_, &QPushButton::clicked, this, [this] {
    if (flow_->Drive().isEmpty()) return;
    flow_->Start();
    if (!unloaded_) Sync();
  });
  connect(btnCancel_, &QPushButton::clicked, this, [this] { Unload(); });
  connect(btnStop_, &QPushButton::clicked, this, [this] { parts_.state->walk.StopRequested = true; });
  connect(printHalf_->ExitButton(), &QPushButton::clicked, this, [this] {
    if (printHalf_->ExitButton()->text() == QLatin1String("&Exit"))
      Unload();
    else
      printHalf_->findChild<QTabWidget*>(QStringLiteral("ctlTab"))->setCurrentIndex(0);
  });
}

frmUpdate::~frmUpdate() { UnloadSteps(); }

void frmUpdate::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (std::exchange(activated_, true)) return;
  // The first size comes from the wrapped texts' height at the dialog's width, which the
  // pages in tabs cannot report: too short for the disk's summary. Its full size hint fits.
  resize(size().expandedTo(sizeHint()));
  if (!parts_.state->print.PrintOnlyMode && !parts_.state->print.BatchPrintMode)
    parts_.state->shell.PendingDiskCommand.clear();  // consumed on the first activation
  if (!parts_.state->print.PrintOnlyMode && flow_->Drive().isEmpty()) {
    const SHORT last = parts_.state->shell.LastDriveIndex;
    if (last >= 0 && last < Drive1_->count()) flow_->DriveChanged(DriveTextAt(*Drive1_, last));
  }
  Sync();
}

void frmUpdate::Sync() {
  Drive1_->setCurrentIndex(DriveIndexIn(*Drive1_, flow_->Drive()));
  lstStandardType_->clear();
  lstStandardType_->addItems(flow_->MediaTypes());
  lstStandardType_->setCurrentIndex(flow_->MediaTypeIndex());
  Image1_->setPixmap(MediaTypeIcon(flow_->MediaTypeCode()).pixmap(32, 32));
  btnStart_->setEnabled(!flow_->Drive().isEmpty() && !flow_->Ran());
  printHalf_->SetSummary(flow_->SummaryText());
}

void frmUpdate::showProgressPopup(bool show) {
  btnPopup_->setVisible(show);
  btnStop_->setVisible(show);
  printHalf_->EnableCommands(!show);
  if (show) btnStop_->setFocus();
  forms::DoEvents();
}

void frmUpdate::SetProcessMessage(const QString& text) {
  btnPopup_->setText(text);
  btnPopup_->repaint();
}

void frmUpdate::ShowScanLayout(const QString& driveLine) {
  resize(width(), std::max(height(), 3400 / 15));
  for (QWidget* w : {static_cast<QWidget*>(Animation1_), static_cast<QWidget*>(Label1_),
                     static_cast<QWidget*>(lbProgress_), static_cast<QWidget*>(lbProgress1_)})
    w->show();
  btnCancel_->hide();
  btnStart_->hide();
  lbProgress_->setText(driveLine);
  PlayAnimation(Animation1_, movie_, "filecopy.avi");
  repaint();
}

void frmUpdate::StopAnimation() { app::catalog::StopAnimation(movie_); }

void frmUpdate::UnloadSteps() {
  if (std::exchange(unloaded_, true)) return;
  AppState& s = *parts_.state;
  --s.shell.OpenDialogCount;
  s.print.LabelRowCount = 1;
  s.print.LabelColumnCount = 1;
  s.walk.FoldersOnly = false;
  s.walk.CurrentLevelOnly = false;
  s.print.ReportType = 1;
  if (printOnlyBefore_) s.print.PrintOnlyMode = *printOnlyBefore_;
  if (!s.print.BatchPrintMode) UnloadPageSetup();
  if (IsItemInfo(s.selection.AddUpdateResult)) SelectInBrowser(ItemInfoText(s.selection.AddUpdateResult, kInfoName));
  forms::SetScreenMousePointer(forms::vbDefault);
}

void frmUpdate::Unload() {
  UnloadSteps();
  hide();
  QDialog::done(QDialog::Rejected);
}

void frmUpdate::done(int r) {
  UnloadSteps();
  QDialog::done(r);
}

void frmUpdate::RefreshBrowser() {
  if (parts_.compCtl) parts_.compCtl->Refresh();
}

void frmUpdate::SelectInBrowser(const QString& name) { app::catalog::SelectInBrowser(parts_, name); }

void frmUpdate::ShowAddDialog() { ShowAddDiskDialog(parts_, parentWidget()); }

void frmUpdate::ShowPrintHalf() {
  pages_->setCurrentIndex(1);
  const SHORT medium = parts_.state->print.LabelMedium;
  printHalf_->ShowFor(medium, medium == 2);
  setWindowTitle(parts_.state->print.LabelMedium == 0 ? QStringLiteral("Select Report to Preview")
                                                      : QStringLiteral("Label Setup  (Select Label Type to print)"));
  Sync();
}

void frmUpdate::SetCaption(const QString& caption) { setWindowTitle(caption); }

}  // namespace app::catalog
