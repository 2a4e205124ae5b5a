// The print half's widgets: label pages and the directory report page over PrintHalf.
#include "printhalfpage.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>

#include "appstate.h"
#include "dialogwidgets.h"
#include "forms.h"
#include "walkguard.h"
#include "windowlinks.h"

namespace app::catalog {

namespace {
const char* const kTypeTitles[] = {"List of Files", "Extended List of Files", "Disk Information", "Choose Files"};

// Hourglass while a listing runs.
struct Busy {
  Busy() { forms::SetScreenMousePointer(forms::vbHourglass); }
  ~Busy() { forms::SetScreenMousePointer(forms::vbDefault); }
};
}  // namespace

PrintHalfPage::PrintHalfPage(AppState& state, ICompCtl* compCtl, ProgressTarget* progress, QWidget* parent)
    : QWidget(parent), state_(state), half_(state, compCtl, progress) {
  auto* outer = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  outer->addWidget(pages_);

  // The label pages (picPage2).
  auto* labels = new QWidget(pages_);
  labels->setObjectName(QStringLiteral("picPage2"));
  auto* lbox = new QVBoxLayout(labels);
  ctlTab_ = new QTabWidget(labels);
  ctlTab_->setObjectName(QStringLiteral("ctlTab"));
  auto* rpts = new QWidget(ctlTab_);
  rpts->setObjectName(QStringLiteral("picRpts"));
  auto* rbox = new QVBoxLayout(rpts);
  for (int i = 0; i < 4; ++i) {
    auto* type = new QRadioButton(QString::fromLatin1(kTypeTitles[i]), rpts);
    type->setObjectName(QStringLiteral("lbRptType%1").arg(i));
    type->setChecked(i == 0);
    connect(type, &QRadioButton::clicked, this, [this, i] { ChooseType(i); });
    rbox->addWidget(type);
  }
  lbSelected_ = NamedLabel("lbSelected", QString::fromLatin1(kTypeTitles[0]).toUpper(), rpts);
  lbExpl_ = NamedLabel("lbExpl", ReportDescriptions()[0], rpts);
  lbExpl_->setWordWrap(true);
  lbSummary_ = NamedLabel("lbSummary", QString(), rpts);
  lbSummary_->setTextFormat(Qt::PlainText);
  rbox->addWidget(lbSelected_);
  rbox->addWidget(lbExpl_);
  rbox->addWidget(lbSummary_);
  auto* printTo = new QHBoxLayout;
  lblPrintTo_ = NamedLabel("lblPrintTo", QStringLiteral("Print To:"), rpts);
  lstPrintTo_ = new QComboBox(rpts);
  lstPrintTo_->setObjectName(QStringLiteral("lstPrintTo"));
  lstPrintTo_->addItems({QStringLiteral("ZipSlip"), QStringLiteral("Zip Case Insert Replacement"),
                         QStringLiteral("Zip Disk Labels (Avery 8925, 5925)")});
  printTo->addWidget(lblPrintTo_);
  printTo->addWidget(lstPrintTo_, 1);
  rbox->addLayout(printTo);
  rbox->addStretch(1);
  connect(lstPrintTo_, &QComboBox::activated, this, [this](int k) {
    if (k == state_.print.PrintToIndex) return;
    SetStockChoiceState(0);
    state_.print.PrintToIndex = static_cast<SHORT>(k);
  });
  ctlTab_->addTab(rpts, QStringLiteral("Report Type"));

  lstResult_ = new QTreeWidget(ctlTab_);
  lstResult_->setObjectName(QStringLiteral("lstResult"));
  lstResult_->setRootIsDecorated(false);
  lstResult_->setColumnCount(kListColumnCount);
  lstResult_->setHeaderLabels(ListColumnTitles());
  for (int c = kListFilledColumns; c < kListColumnCount; ++c) lstResult_->setColumnHidden(c, true);
  lstResult_->header()->setSectionsClickable(true);
  connect(lstResult_->header(), &QHeaderView::sectionClicked, this, [this](int c) {
    const int order = half_.List().ToggleColumnSort(c);
    if (order < 0) return;
    const Qt::SortOrder qtOrder = order == 1 ? Qt::DescendingOrder : Qt::AscendingOrder;
    lstResult_->header()->setSortIndicatorShown(true);
    lstResult_->header()->setSortIndicator(c, qtOrder);
    lstResult_->sortItems(c, qtOrder);
  });
  connect(lstResult_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (filling_) return;
    const int row = item->data(0, Qt::UserRole).toInt();
    half_.List().Items()[row].checked = item->checkState(0) == Qt::Checked;
  });
  ctlTab_->addTab(lstResult_, QStringLiteral("Sort Files"));

  auto* treePage = new QWidget(ctlTab_);
  auto* tbox = new QVBoxLayout(treePage);
  ctlTree_ = new QTreeWidget(treePage);
  ctlTree_->setObjectName(QStringLiteral("ctlTree"));
  ctlTree_->setHeaderHidden(true);
  connect(ctlTree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (filling_) return;
    const int node = item->data(0, Qt::UserRole).toInt();
    half_.Tree().SetChecked(node, item->checkState(0) == Qt::Checked);
    filling_ = true;
    for (size_t n = 0; n < treeItems_.size(); ++n)
      treeItems_[n]->setCheckState(0, half_.Tree().At(static_cast<int>(n)).checked ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
  });
  tbox->addWidget(ctlTree_);
  auto* chkFolders = new QCheckBox(QStringLiteral("Folders only"), treePage);
  chkFolders->setObjectName(QStringLiteral("chkFolders"));
  connect(chkFolders, &QCheckBox::clicked, this, [this](bool on) {
    if (on == state_.walk.FoldersOnly) return;
    state_.walk.FoldersOnly = on;
    half_.List().Clear();
    half_.Tree().Clear();
    Busy busy;
    Caption(QStringLiteral("Preparing File View . . ."));
    half_.FillList();
    half_.FillTree();
    ShowList();
    ShowTree();
  });
  tbox->addWidget(chkFolders);
  ctlTab_->addTab(treePage, QStringLiteral("Tree View"));
  connect(ctlTab_, &QTabWidget::currentChanged, this, [this](int index) { TabChanged(index); });
  lbox->addWidget(ctlTab_);
  pages_->addWidget(labels);

  // The directory report page (picPrintHDPage).
  auto* reports = new QWidget(pages_);
  reports->setObjectName(QStringLiteral("picPrintHDPage"));
  auto* dbox = new QVBoxLayout(reports);
  auto* layoutBox = new QGroupBox(QStringLiteral("Report Layout"), reports);
  auto* lay = new QVBoxLayout(layoutBox);
  optPrnListView_ = new QRadioButton(QStringLiteral("List (with location)"), layoutBox);
  optPrnListView_->setObjectName(QStringLiteral("optPrnListView"));
  optPrnListView_->setChecked(true);
  auto* optPrnTreeView = new QRadioButton(QStringLiteral("Tree"), layoutBox);
  optPrnTreeView->setObjectName(QStringLiteral("optPrnTreeView"));
  lay->addWidget(optPrnListView_);
  lay->addWidget(optPrnTreeView);
  dbox->addWidget(layoutBox);
  auto* framSortBy = new QGroupBox(QStringLiteral("Sort By"), reports);
  framSortBy->setObjectName(QStringLiteral("framSortBy"));
  auto* sort = new QHBoxLayout(framSortBy);
  lstSortBy_ = new QComboBox(framSortBy);
  lstSortBy_->setObjectName(QStringLiteral("lstSortBy"));
  lstSortBy_->addItems({QStringLiteral("Name"), QStringLiteral("Serial #"), QStringLiteral("Location"),
                        QStringLiteral("Type"), QStringLiteral("Date Modified"), QStringLiteral("Note")});
  optSortAscending_ = new QRadioButton(QStringLiteral("Ascending"), framSortBy);
  optSortAscending_->setObjectName(QStringLiteral("optSortOrder0"));
  optSortAscending_->setChecked(true);
  auto* descending = new QRadioButton(QStringLiteral("Descending"), framSortBy);
  descending->setObjectName(QStringLiteral("optSortOrder1"));
  sort->addWidget(lstSortBy_, 1);
  sort->addWidget(optSortAscending_);
  sort->addWidget(descending);
  dbox->addWidget(framSortBy);
  connect(optPrnListView_, &QRadioButton::toggled, framSortBy, &QWidget::setEnabled);
  optCurDir_ = new QCheckBox(QStringLiteral("This folder only"), reports);
  optCurDir_->setObjectName(QStringLiteral("optCurDir"));
  chkShowFolders1_ = new QCheckBox(QStringLiteral("Folders only"), reports);
  chkShowFolders1_->setObjectName(QStringLiteral("chkShowFolders1"));
  dbox->addWidget(optCurDir_);
  dbox->addWidget(chkShowFolders1_);
  dbox->addStretch(1);
  pages_->addWidget(reports);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* btnPrint = btnPrint_ = new QPushButton(QStringLiteral("&Print Preview"), this);
  btnPrint->setObjectName(QStringLiteral("btnPrint"));
  auto* btnPreview = btnPreview_ = new QPushButton(QStringLiteral("&Print Preview"), this);
  btnPreview->setObjectName(QStringLiteral("btnPreview"));
  btnExit_ = new QPushButton(QStringLiteral("&Exit"), this);
  btnExit_->setObjectName(QStringLiteral("btnExit"));
  buttons->addWidget(btnPrint);
  buttons->addWidget(btnPreview);
  buttons->addWidget(btnExit_);
  outer->addLayout(buttons);
  connect(btnPrint, &QPushButton::clicked, this, [this] {
    Busy busy;
    if (state_.print.ReportType != 4 && half_.List().Empty()) {
      Caption(QStringLiteral("Processing Files . . ."));
      half_.FillList();
    }
    half_.Print();
  });
  connect(btnPreview, &QPushButton::clicked, this, [this] {
    Busy busy;
    half_.Preview(Options());
  });
  connect(pages_, &QStackedWidget::currentChanged, this, [this, btnPrint, btnPreview](int page) {
    btnPrint->setVisible(page == 0);
    btnPreview->setVisible(page == 1);
  });
  btnPreview->hide();
}

void PrintHalfPage::ShowFor(SHORT labelMedium, bool zipStock) {
  pages_->setCurrentIndex(labelMedium == 0 ? 1 : 0);
  lstPrintTo_->setVisible(zipStock);
  lblPrintTo_->setVisible(zipStock);
  if (zipStock) lstPrintTo_->setCurrentIndex(state_.print.PrintToIndex);
  chkShowFolders1_->setChecked(state_.walk.FoldersOnly);
  lstSortBy_->clear();
  lstSortBy_->addItems(half_.SortFieldTitles());
  lstSortBy_->setCurrentIndex(0);
  // The second report type needs the floppy or Zip label's room.
  if (auto* second = findChild<QRadioButton*>(QStringLiteral("lbRptType1")))
    second->setEnabled(labelMedium == 1 || labelMedium == 2);
}

PrintHalfPage::~PrintHalfPage() = default;

void PrintHalfPage::SetProgressPopup(ProgressTarget* progress, std::function<void(bool)> show, QWidget* stop,
                                     std::function<void()> stopRequest) {
  progress_ = progress;
  half_.SetProgress(progress);
  half_.SetProgressPopup([this, show = std::move(show), stop, stopRequest = std::move(stopRequest)](bool on) {
    if (on) {
      if (show) show(true);
      guard_ = std::make_unique<WalkGuard>(QList<QObject*>{stop}, stopRequest);
    } else {
      guard_.reset();
      if (show) show(false);
    }
  });
}

void PrintHalfPage::EnableCommands(bool enabled) {
  for (QPushButton* b : {btnPrint_, btnPreview_, btnExit_})
    if (b) b->setEnabled(enabled);
}

void PrintHalfPage::Caption(const QString& text) {
  if (progress_) progress_->SetProcessMessage(text);
}

void PrintHalfPage::SetSummary(const QString& text) {
  QString shown = text;
  lbSummary_->setText(shown.replace(u'\r', u'\n'));
}

void PrintHalfPage::ChooseType(int index) {
  half_.ChooseReportType(index);
  lbSelected_->setText(QString::fromLatin1(kTypeTitles[index]).toUpper());
  lbExpl_->setText(ReportDescriptions()[index]);
  ShowList();
  ShowTree();
}

void PrintHalfPage::TabChanged(int index) {
  btnExit_->setText(index == 0 ? QStringLiteral("&Exit") : QStringLiteral("<< &Back"));
  if (index == 1) {
    half_.SetFromTree(false);
    if (half_.List().Empty()) {
      Busy busy;
      Caption(QStringLiteral("Sorting Files . . ."));
      half_.FillList();
    }
    ShowList();
  } else if (index == 2) {
    half_.SetFromTree(true);
    if (half_.Tree().Empty()) {
      Busy busy;
      Caption(QStringLiteral("Preparing Tree View . . ."));
      half_.FillTree();
    }
    ShowTree();
  }
}

void PrintHalfPage::ShowList() {
  filling_ = true;
  lstResult_->clear();
  const auto& items = half_.List().Items();
  for (size_t i = 0; i < items.size(); ++i) {
    const ListingItem& it = items[i].item;
    auto* row = new QTreeWidgetItem(lstResult_, ListColumnTexts(it));
    row->setData(0, Qt::UserRole, static_cast<int>(i));
    if (half_.CheckBoxes()) row->setCheckState(0, items[i].checked ? Qt::Checked : Qt::Unchecked);
  }
  filling_ = false;
}

void PrintHalfPage::ShowTree() {
  filling_ = true;
  ctlTree_->clear();
  treeItems_.clear();
  const auto& nodes = half_.Tree().Nodes();
  treeItems_.resize(nodes.size());
  for (size_t n = 0; n < nodes.size(); ++n) {
    QTreeWidgetItem* item =
        nodes[n].parent < 0 ? new QTreeWidgetItem(ctlTree_) : new QTreeWidgetItem(treeItems_[nodes[n].parent]);
    item->setText(0, nodes[n].text);
    item->setData(0, Qt::UserRole, static_cast<int>(n));
    if (half_.CheckBoxes()) item->setCheckState(0, nodes[n].checked ? Qt::Checked : Qt::Unchecked);
    treeItems_[n] = item;
  }
  if (!treeItems_.empty()) treeItems_[0]->setExpanded(true);
  filling_ = false;
}

DirectoryReportOptions PrintHalfPage::Options() const {
  DirectoryReportOptions o;
  o.listLayout = optPrnListView_->isChecked();
  o.foldersOnly = chkShowFolders1_->isChecked();
  o.currentLevel = optCurDir_->isChecked();
  o.ascending = optSortAscending_->isChecked();
  o.sortField = lstSortBy_->currentIndex();
  return o;
}

}  // namespace app::catalog
