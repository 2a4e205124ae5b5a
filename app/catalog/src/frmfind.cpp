// The find window: its widgets, the search commands and the result list.
#include "frmfind.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMovie>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTreeView>

#include <array>
#include <cerrno>

#include "animation.h"
#include "appstate.h"
#include "forms.h"
#include "global.h"
#include "shellexecute.h"
#include "itemtypes.h"
#include "programfolder.h"
#include "reporttable.h"
#include "searchresults.h"
#include "walkguard.h"
#include "windowlinks.h"

namespace app::catalog {

namespace {

// During a search, rows that arrive below a full screen are shown at most this often: each
// showing lays the list out and paints it again, and those rows change only the scroll bar.
constexpr qint64 kShowRowsEveryMs = 250;

QDate ToQDate(DATE d) {
  const vbrt::DateParts p = vbrt::DateToParts(d);
  return QDate(p.year, p.month, p.day);
}

DATE FromQDate(const QDate& d) {
  vbrt::DateParts p;
  p.year = d.year();
  p.month = d.month();
  p.day = d.day();
  return vbrt::DateFromParts(p).value_or(0);
}

int SaveErrorNumber(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT: return vbrt::ErrDiskFull;
    case ENOENT:
    case ENOTDIR: return vbrt::ErrPathNotFound;
    default: return vbrt::ErrPermissionDenied;
  }
}

}  // namespace

// The result list as the search run's target: hits are kept as they arrive; the list shows
// them at the first screenful, while it has room on the screen, every kShowRowsEveryMs at a
// yield, and at the end of the walk.
class frmFind::ResultList : public SearchResultTarget {
 public:
  explicit ResultList(frmFind& w) : w_(w) {}
  bool TakesColumns() const override { return true; }
  void AddHit(const ResultHit& hit) override { w_.results_->Append(hit); }
  void RefreshNow() override {
    Show();
    // Laid out first, so that the paint of the layout is this one and not one more later.
    w_.lstResult_->doItemsLayout();
    w_.lstResult_->viewport()->repaint();
  }
  void ShowFolderName(const QString& name) override { folder_ = name; }
  void Flush() override {
    if (RoomOnScreen() || !sinceShown_.isValid() || sinceShown_.elapsed() >= kShowRowsEveryMs) Show();
    ShowFolder();
  }
  void Finish() override {
    Show();
    ShowFolder();
  }

 private:
  void Show() {
    w_.results_->ShowArrived();
    sinceShown_.start();
  }
  void ShowFolder() {
    if (!folder_.isEmpty()) w_.statusBar()->showMessage(std::exchange(folder_, QString()));
  }
  bool RoomOnScreen() const {
    const int shown = w_.results_->Shown();
    if (shown == 0) return true;
    const QRect last = w_.lstResult_->visualRect(w_.results_->index(shown - 1, 0));
    return last.isValid() && last.bottom() < w_.lstResult_->viewport()->height();
  }

  frmFind& w_;
  QString folder_;
  QElapsedTimer sinceShown_;
};

// The hidden disk list that the "Look in" box is filled from.
class frmFind::DiskList : public SearchResultTarget {
 public:
  explicit DiskList(QListWidget* list) : list_(list) {}
  bool TakesColumns() const override { return false; }
  void AddRow(const ResultRow& row) override {
    auto* item = new QListWidgetItem(row.text.trimmed(), list_);
    item->setData(Qt::UserRole, row.icon);
  }

 private:
  QListWidget* list_;
};

FindWindowParts FindWindowPartsOf(AppState& g, ICompCtl* compCtl) {
  FindWindowParts p;
  p.compCtl = compCtl;
  p.settings = &g.settings;
  p.walk = &g.walk;
  p.selection = &g.selection;
  p.shell = &g.shell;
  p.print = &g.print;
  Settings* settings = &g.settings;
  p.openCatalogedFile = [compCtl, settings](const QString& path, bool plainOpen) {
    OpenCatalogedFile(compCtl, *settings, path, plainOpen);
  };
  return p;
}

FindWindowParts GlobalFindWindowParts(ICompCtl* compCtl) { return FindWindowPartsOf(Global(), compCtl); }

frmFind::frmFind(FindWindowParts parts, QWidget* parent)
    : QMainWindow(parent), parts_(std::move(parts)), resultTarget_(std::make_unique<ResultList>(*this)) {
  setObjectName(QStringLiteral("frmFind"));
  setWindowTitle(QStringLiteral("Find: All Files"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  BuildWidgets();

  // Load.
  lstCategory_->clear();
  lstCategory_->addItems(parts_.settings->CategoryNames);
  lstCategory_->addItem(QString());  // the list's end: no category
  lstCategory_->setCurrentIndex(-1);
  ++parts_.shell->OpenDialogCount;
  collapsed_ = true;
  lstName_->addItems(HistoryFromSettings(parts_.settings->SearchHistory));
  lstName_->setCurrentText(QString());
  dtFrom_->setDate(ToQDate(vbrt::Date()));
  dtTo_->setDate(ToQDate(vbrt::Date()));
  optAll_->setChecked(true);
  OnDateOption();
  EnableAllFrames(true);
  btnPrint_->setEnabled(false);
  lstResult_->hide();
  statusBar()->hide();
  SetHeightTwips(kCollapsedHeightTwips);
  FillDriveList();
}

frmFind::~frmFind() = default;

void frmFind::BuildWidgets() {
  // Menus.
  QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile->setObjectName(QStringLiteral("mnuFile"));
  auto action = [&](QMenu* menu, const char* name, const QString& text, auto slot) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  mnuFind_ = action(mnuFile, "mnuFind", QStringLiteral("&Find Now"), [this] { FindNow(); });
  mnuStop_ = action(mnuFile, "mnuStop", QStringLiteral("&Stop"), [this] { Stop(); });
  mnuNewSearch_ = action(mnuFile, "mnuNewSearch", QStringLiteral("&New Search"), [this] { NewSearch(); });
  mnuFindSave_ = action(mnuFile, "mnuFindSave", QStringLiteral("&Save"), [this] { SaveResults(); });
  mnuFile->addSeparator();
  mnuExit_ = action(mnuFile, "mnuExit", QStringLiteral("E&xit"), [this] { close(); });
  QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("Help"));
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  action(mnuHelp, "mnuAbout", QStringLiteral("&About"), [this] {
    if (parts_.showAbout) parts_.showAbout();
  });

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(5, 5, 5, 5);
  auto* top = new QHBoxLayout;
  outer->addLayout(top);

  auto* left = new QVBoxLayout;
  top->addLayout(left, 1);
  ctlTab_ = new QTabBar(central);
  ctlTab_->setObjectName(QStringLiteral("ctlTab"));
  ctlTab_->addTab(QStringLiteral("Name && Location"));
  ctlTab_->setTabData(0, QStringLiteral("Name"));
  ctlTab_->addTab(QStringLiteral("Date Modified"));
  ctlTab_->setTabData(1, QStringLiteral("Date"));
  ctlTab_->setExpanding(false);
  left->addWidget(ctlTab_);
  connect(ctlTab_, &QTabBar::currentChanged, this, [this](int i) { ShowTab(i); });

  auto label = [&](const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    labels_.append(l);
    return l;
  };

  // Name tab.
  frameName_ = new QFrame(central);
  frameName_->setObjectName(QStringLiteral("frameName"));
  frameName_->setFrameShape(QFrame::StyledPanel);
  auto* nameForm = new QFormLayout(frameName_);
  nameForm->setContentsMargins(8, 6, 8, 6);
  nameForm->setVerticalSpacing(4);
  lstName_ = new QComboBox(frameName_);
  lstName_->setObjectName(QStringLiteral("lstName"));
  lstName_->setEditable(true);
  lstName_->setInsertPolicy(QComboBox::NoInsert);
  nameForm->addRow(label(QStringLiteral("Named:"), frameName_), lstName_);
  cmbPath_ = new QComboBox(frameName_);
  cmbPath_->setObjectName(QStringLiteral("cmbPath"));
  cmbPath_->setEditable(true);
  cmbPath_->setInsertPolicy(QComboBox::NoInsert);
  nameForm->addRow(label(QStringLiteral("Look in:"), frameName_), cmbPath_);
  edNote_ = new QLineEdit(frameName_);
  edNote_->setObjectName(QStringLiteral("edNote"));
  nameForm->addRow(label(QStringLiteral("Note containing:"), frameName_), edNote_);
  auto* catRow = new QHBoxLayout;
  lstCategory_ = new QComboBox(frameName_);
  lstCategory_->setObjectName(QStringLiteral("lstCategory"));
  catRow->addWidget(lstCategory_, 1);
  catRow->addWidget(label(QStringLiteral("Size is:"), frameName_));
  lstSize_ = new QComboBox(frameName_);
  lstSize_->setObjectName(QStringLiteral("lstSize"));
  lstSize_->addItems({QStringLiteral("At least"), QStringLiteral("At most")});
  catRow->addWidget(lstSize_);
  edSize_ = new QLineEdit(frameName_);
  edSize_->setObjectName(QStringLiteral("edSize"));
  edSize_->setMaximumWidth(80);
  catRow->addWidget(edSize_);
  updwSize_ = new QSpinBox(frameName_);
  updwSize_->setObjectName(QStringLiteral("updwSize"));
  updwSize_->setRange(0, 2147483647);
  updwSize_->setFixedWidth(18);
  connect(updwSize_, &QSpinBox::valueChanged, this, [this](int v) { edSize_->setText(QString::number(v)); });
  catRow->addWidget(updwSize_);
  catRow->addWidget(label(QStringLiteral("KB"), frameName_));
  nameForm->addRow(label(QStringLiteral("Category:"), frameName_), catRow);
  left->addWidget(frameName_);

  // Date tab.
  frameDate_ = new QFrame(central);
  frameDate_->setObjectName(QStringLiteral("frameDate"));
  frameDate_->setFrameShape(QFrame::StyledPanel);
  auto* dateBox = new QVBoxLayout(frameDate_);
  dateBox->setContentsMargins(8, 6, 8, 6);
  optAll_ = new QRadioButton(QStringLiteral("&All files"), frameDate_);
  optAll_->setObjectName(QStringLiteral("optAll"));
  optFindMain_ = new QRadioButton(QStringLiteral("Find all files created or modified:"), frameDate_);
  optFindMain_->setObjectName(QStringLiteral("optFindMain"));
  dateBox->addWidget(optAll_);
  dateBox->addWidget(optFindMain_);
  auto* frame1 = new QGroupBox(frameDate_);
  frame1->setObjectName(QStringLiteral("Frame1"));
  auto* grid = new QGridLayout(frame1);
  grid->setContentsMargins(16, 2, 4, 2);
  optBetween_ = new QRadioButton(QStringLiteral("between"), frame1);
  optBetween_->setObjectName(QStringLiteral("optBetween"));
  dtFrom_ = new QDateEdit(frame1);
  dtFrom_->setObjectName(QStringLiteral("dtFrom"));
  dtFrom_->setCalendarPopup(true);
  dtTo_ = new QDateEdit(frame1);
  dtTo_->setObjectName(QStringLiteral("dtTo"));
  dtTo_->setCalendarPopup(true);
  grid->addWidget(optBetween_, 0, 0);
  grid->addWidget(dtFrom_, 0, 1);
  grid->addWidget(label(QStringLiteral("and"), frame1), 0, 2);
  grid->addWidget(dtTo_, 0, 3);
  optMonths_ = new QRadioButton(QStringLiteral("during the previou&s"), frame1);
  optMonths_->setObjectName(QStringLiteral("optMonths"));
  edMonths_ = new QLineEdit(QStringLiteral("1"), frame1);
  edMonths_->setObjectName(QStringLiteral("edMonths"));
  updwMonth_ = new QSpinBox(frame1);
  updwMonth_->setObjectName(QStringLiteral("updwMonth"));
  updwMonth_->setRange(0, 999);
  updwMonth_->setFixedWidth(18);
  grid->addWidget(optMonths_, 1, 0);
  grid->addWidget(edMonths_, 1, 1);
  grid->addWidget(updwMonth_, 1, 2);
  grid->addWidget(label(QStringLiteral("month(s)"), frame1), 1, 3);
  optDays_ = new QRadioButton(QStringLiteral("&during the previous"), frame1);
  optDays_->setObjectName(QStringLiteral("optDays"));
  edDays_ = new QLineEdit(QStringLiteral("1"), frame1);
  edDays_->setObjectName(QStringLiteral("edDays"));
  updwDays_ = new QSpinBox(frame1);
  updwDays_->setObjectName(QStringLiteral("updwDays"));
  updwDays_->setRange(0, 9999);
  updwDays_->setFixedWidth(18);
  grid->addWidget(optDays_, 2, 0);
  grid->addWidget(edDays_, 2, 1);
  grid->addWidget(updwDays_, 2, 2);
  grid->addWidget(label(QStringLiteral("day(s)"), frame1), 2, 3);
  dateBox->addWidget(frame1);
  left->addWidget(frameDate_);
  frameDate_->hide();

  // The two option groups: all / find main, and the three sub-options.
  for (QRadioButton* r : {optBetween_, optMonths_, optDays_}) r->setAutoExclusive(true);
  connect(optAll_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnDateOption();
  });
  connect(optFindMain_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnDateOption();
  });
  for (QRadioButton* r : {optBetween_, optMonths_, optDays_})
    connect(r, &QRadioButton::toggled, this, [this](bool on) {
      if (on) OnDateOption();
    });
  connect(dtFrom_, &QDateEdit::dateChanged, this, [this](const QDate& d) { parts_.walk->SearchFromDate = FromQDate(d); });
  connect(dtTo_, &QDateEdit::dateChanged, this,
          [this](const QDate& d) { parts_.walk->SearchToDate = EndOfDay(FromQDate(d)); });
  connect(edDays_, &QLineEdit::textEdited, this, [this] { DaysChanged(); });
  connect(edMonths_, &QLineEdit::textEdited, this, [this] { MonthsChanged(); });
  connect(updwDays_, &QSpinBox::valueChanged, this, [this](int v) {
    edDays_->setText(QString::number(v));
    DaysChanged();
  });
  connect(updwMonth_, &QSpinBox::valueChanged, this, [this](int v) {
    edMonths_->setText(QString::number(v));
    MonthsChanged();
  });

  // Commands along the right edge.
  auto* right = new QVBoxLayout;
  top->addLayout(right);
  auto button = [&](const char* name, const QString& text, auto slot) {
    auto* b = new QPushButton(text, central);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, slot);
    right->addWidget(b);
    return b;
  };
  btnFindNow_ = button("btnFindNow", QStringLiteral("&Find Now"), [this] { FindNow(); });
  btnFindNow_->setDefault(true);
  btnStop_ = button("btnStop", QStringLiteral("Stop"), [this] { Stop(); });
  btnNewSearch_ = button("btnNewSearch", QStringLiteral("&New Search"), [this] { NewSearch(); });
  btnPrint_ = button("btnPrint", QStringLiteral("&Print Preview"), [this] { PrintPreview(); });
  animation_ = new QLabel(central);
  animation_->setObjectName(QStringLiteral("Animation1"));
  animation_->setFixedSize(80, 50);
  animation_->setAlignment(Qt::AlignCenter);
  right->addWidget(animation_);
  right->addStretch(1);

  results_ = new ResultModel(this);
  lstResult_ = new QTreeView(central);
  lstResult_->setObjectName(QStringLiteral("lstResult"));
  lstResult_->setModel(results_);
  lstResult_->setRootIsDecorated(false);
  lstResult_->setItemsExpandable(false);
  lstResult_->setUniformRowHeights(true);
  lstResult_->setAllColumnsShowFocus(true);
  lstResult_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstResult_->header()->setSectionsClickable(true);
  lstResult_->header()->setSortIndicatorShown(false);
  lstResult_->setColumnWidth(0, 200);
  lstResult_->setColumnWidth(1, 90);
  lstResult_->setColumnWidth(2, 220);
  lstResult_->setColumnWidth(3, 110);
  lstResult_->setColumnWidth(4, 150);
  connect(lstResult_->header(), &QHeaderView::sectionClicked, this, [this](int section) { SortColumn(section + 1); });
  connect(lstResult_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) OpenHit(index.row());
  });
  outer->addWidget(lstResult_, 1);

  lstTemp_ = new QListWidget(central);
  lstTemp_->setObjectName(QStringLiteral("lstTemp"));
  lstTemp_->hide();

  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  setCentralWidget(central);
}

void frmFind::ShowTab(int index) {
  const QString key = ctlTab_->tabData(index).toString();
  frameName_->setVisible(key == u"Name");
  frameDate_->setVisible(key == u"Date");
}

void frmFind::FillDriveList() {
  cmbPath_->clear();
  cmbPath_->addItem(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon), QStringLiteral("ALL"));
  lstTemp_->clear();
  parts_.walk->DisksOnly = true;
  DiskList disks(lstTemp_);
  RunFileSearch(parts_.compCtl, disks, nullptr, QString(), QString(), *parts_.walk);  // resets DisksOnly
  parts_.walk->FoundCount = 0;
  cmbPath_->setCurrentIndex(0);
  for (int i = 0; i < lstTemp_->count(); ++i) {
    QListWidgetItem* d = lstTemp_->item(i);
    cmbPath_->addItem(TypeIcon(d->data(Qt::UserRole).toInt()), d->text(), d->text());
  }
  const QVariantList info = parts_.selection->SelectedItemInfo.toList();
  if (info.size() >= kItemInfoCount) {
    const QString type = info[kInfoType].toString();
    const QString name = info[kInfoName].toString();
    if (type == u"File Folder") {
      QString path = name;
      path.replace(u'/', u'\\');
      cmbPath_->addItem(QApplication::style()->standardIcon(QStyle::SP_DirIcon), path, path);
      cmbPath_->setCurrentIndex(cmbPath_->count() - 1);
    } else if (!name.isEmpty()) {
      const int at = cmbPath_->findData(name);
      if (at >= 0) cmbPath_->setCurrentIndex(at);  // a file's name is no disk: "ALL" stays
    }
  }
}

void frmFind::EnableAllFrames(bool flag) {
  btnFindNow_->setEnabled(flag);
  btnStop_->setEnabled(!flag);
  for (QWidget* w : std::initializer_list<QWidget*>{lstName_, cmbPath_, lstCategory_, edNote_, lstSize_, edSize_,
                                                     updwSize_, optAll_, optFindMain_, optBetween_, optMonths_,
                                                     optDays_, btnNewSearch_})
    if (w) w->setEnabled(flag);
  for (QWidget* l : labels_) l->setEnabled(flag);
  const bool main = flag && optFindMain_->isChecked();
  dtFrom_->setEnabled(main && optBetween_->isChecked());
  dtTo_->setEnabled(main && optBetween_->isChecked());
  edMonths_->setEnabled(main && optMonths_->isChecked());
  updwMonth_->setEnabled(main && optMonths_->isChecked());
  edDays_->setEnabled(main && optDays_->isChecked());
  updwDays_->setEnabled(main && optDays_->isChecked());
  // While a search runs only Stop is live: the other commands would enter the walk again or
  // unload the window under it.
  mnuFind_->setEnabled(flag);
  mnuStop_->setEnabled(!flag);
  mnuNewSearch_->setEnabled(flag);
  mnuFindSave_->setEnabled(flag);
  mnuExit_->setEnabled(flag);
}

void frmFind::OnDateOption() {
  WalkControl& walk = *parts_.walk;
  if (optAll_->isChecked()) {
    for (QRadioButton* r : {optBetween_, optMonths_, optDays_}) {
      r->setAutoExclusive(false);
      r->setChecked(false);
      r->setAutoExclusive(true);
    }
    walk.SearchFromDate = 0;
    walk.SearchToDate = 0;
  } else if (optFindMain_->isChecked()) {
    if (optBetween_->isChecked()) {
      walk.SearchFromDate = FromQDate(dtFrom_->date());
      walk.SearchToDate = EndOfDay(FromQDate(dtTo_->date()));
    } else if (optMonths_->isChecked()) {
      MonthsChanged();
    } else if (optDays_->isChecked()) {
      DaysChanged();
    }
  } else if (optBetween_->isChecked() || optMonths_->isChecked() || optDays_->isChecked()) {
    optFindMain_->setChecked(true);  // a sub-option picks the date criterion
    return;
  }
  if (!searching_) EnableAllFrames(true);
}

void frmFind::DaysChanged() {
  if (edDays_->text().isEmpty()) edDays_->setText(QStringLiteral("0"));
  if (!optDays_->isChecked() || !optFindMain_->isChecked()) return;
  if (auto w = PreviousDays(edDays_->text(), vbrt::Date())) {
    parts_.walk->SearchFromDate = w->from;
    parts_.walk->SearchToDate = w->to;
  }
}

void frmFind::MonthsChanged() {
  if (edMonths_->text().isEmpty()) edMonths_->setText(QStringLiteral("0"));
  if (!optMonths_->isChecked() || !optFindMain_->isChecked()) return;
  if (auto w = PreviousMonths(edMonths_->text(), vbrt::Date())) {
    parts_.walk->SearchFromDate = w->from;
    parts_.walk->SearchToDate = w->to;
  }
}

void frmFind::SetHeightTwips(int twips) {
  const int h = std::max(twips / kTwipsPerPixel, minimumSizeHint().height());
  if (collapsed_) {
    setFixedHeight(h);
  } else {
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    resize(width(), h);
  }
}

void frmFind::StartAnimation() { PlayAnimation(animation_, movie_, "findfile.avi"); }

void frmFind::StopAnimation() { app::catalog::StopAnimation(movie_); }

void frmFind::FindNow() {
  if (searching_ || SearchRunning()) return;
  WalkControl& walk = *parts_.walk;
  collapsed_ = false;
  results_->Clear();
  walk.FoundCount = 0;
  statusBar()->show();
  lstResult_->show();
  EnableAllFrames(false);
  if (height() < kExpandedMinHeightTwips / kTwipsPerPixel) SetHeightTwips(kExpandedMinHeightTwips);
  else SetHeightTwips(height() * kTwipsPerPixel);
  StartAnimation();
  statusBar()->showMessage(QStringLiteral("Searching for files..."));

  FindInputs inputs;
  inputs.name = lstName_->currentText();
  inputs.sizeText = edSize_->text();
  inputs.sizeMode = lstSize_->currentText();
  inputs.category = lstCategory_->currentText();
  inputs.noteText = edNote_->text();
  const QString start = cmbPath_->currentText() == u"ALL" ? QString() : cmbPath_->currentText();
  searching_ = true;
  {
    WalkGuard guard({btnStop_, menuBar()}, [this] {
      parts_.walk->StopRequested = true;
      closeAfterSearch_ = true;
    });
    RunFileSearch(parts_.compCtl, *resultTarget_, &inputs, QString(), start, walk);
    searching_ = false;
  }
  btnPrint_->setEnabled(true);
  Stop();
  walk.StopRequested = false;
  statusBar()->showMessage(QString::number(walk.FoundCount) + QStringLiteral(" File(s) found."));
  walk.FoundCount = 0;

  const QString name = lstName_->currentText();
  QStringList history;
  for (int i = 0; i < lstName_->count(); ++i) history.append(lstName_->itemText(i));
  const QStringList before = history;
  AddToHistory(history, name);
  if (history != before) {
    lstName_->clear();
    lstName_->addItems(history);
    lstName_->setCurrentText(name);
  }
}

void frmFind::Stop() {
  parts_.walk->StopRequested = true;
  collapsed_ = false;
  if (!searching_) EnableAllFrames(true);
  StopAnimation();
}

void frmFind::NewSearch() {
  if (searching_) return;
  optAll_->setChecked(true);
  OnDateOption();
  btnPrint_->setEnabled(false);
  collapsed_ = true;
  statusBar()->hide();
  StopAnimation();
  EnableAllFrames(true);
  lstName_->setCurrentText(QString());
  results_->Clear();
  lstResult_->hide();
  SetHeightTwips(kCollapsedHeightTwips);
}

QList<ResultRow> frmFind::Rows() const { return results_->Rows().Rows(); }

void frmFind::SortColumn(int column) {
  if (column < 1 || column > kResultColumns || searching_) return;
  const int order = sorting_.Click(column);
  QStyle* style = QApplication::style();
  results_->SetHeaderIcon(column - 1, style->standardIcon(order == 1 ? QStyle::SP_ArrowDown : QStyle::SP_ArrowUp));
  if (sorting_.Previous() >= 1) results_->SetHeaderIcon(sorting_.Previous() - 1, QIcon());
  results_->SortBy(column - 1, order == 1);
}

void frmFind::OpenHit(int row) {
  if (searching_ || row < 0 || row >= results_->Shown()) return;
  const FoundRows& rows = results_->Rows();
  if (parts_.openCatalogedFile)
    parts_.openCatalogedFile(CatalogPathOfHit(rows.Text(row, kColLocation), rows.Text(row, kColName)),
                             rows.Icon(row) != 7);
}

void frmFind::PrintPreview() {
  if (searching_) return;
  if (results_->Shown() == 0) {
    forms::MsgBox(QStringLiteral("No data available to print!"), forms::vbCritical, QStringLiteral("ERROR!"));
    return;
  }
  DescribeSearchReport(*parts_.print);
  try {
    WriteSearchReportTable(*parts_.print, Rows(), [this](const QString& text) { statusBar()->showMessage(text); });
  } catch (...) {
    forms::MsgBox(ErrorMessage(DescribeError(std::current_exception())), forms::vbCritical, QStringLiteral("ERROR!"));
    return;
  }
  ShowPrintPreview();
}

void frmFind::SaveResults() {
  if (searching_) return;
  forms::CommonDialog dialog;
  dialog.InitDir = QString::fromStdString(platform::ProgramFolder().string());
  dialog.Filter = QStringLiteral("Text Files (*.TXT)|*.TXT");
  dialog.FileName = QString::fromLatin1(kSearchResultsFile);
  dialog.DefaultExt = QStringLiteral("TXT");
  dialog.Flags |= forms::cdlOFNOverwritePrompt;
  dialog.CancelError = true;
  dialog.Owner = this;
  try {
    dialog.ShowSave();
  } catch (const vbrt::RuntimeError&) {
    return;  // cancelled: nothing written, nothing opened
  }
  if (dialog.FileName.isEmpty()) return;
  if (!SaveResultsFile(std::filesystem::path(dialog.FileName.toStdString()), Rows())) {
    const int number = SaveErrorNumber(errno);
    forms::MsgBox(ErrorMessage({number, QString::fromStdU16String(vbrt::ErrorDescription(number))}),
                  forms::vbCritical, QStringLiteral("ERROR!"));
    return;
  }
  forms::ShellExecuteA(this, QStringLiteral("open"), dialog.FileName, QString(), QString(), forms::SW_SHOWNORMAL);
}

void frmFind::closeEvent(QCloseEvent* event) {
  if (searching_) {
    // The walk still runs under this window: stop it and close once it has returned.
    parts_.walk->StopRequested = true;
    closeAfterSearch_ = true;
    event->ignore();
    return;
  }
  if (!unloaded_) {
    unloaded_ = true;
    --parts_.shell->OpenDialogCount;
    parts_.walk->SearchFromDate = 0;
    parts_.walk->SearchToDate = 0;
    QStringList history;
    for (int i = 0; i < lstName_->count(); ++i) history.append(lstName_->itemText(i));
    StoreHistory(history, parts_.settings->SearchHistory);
  }
  event->accept();
}

}  // namespace app::catalog
