// The page setup dialog's widgets: each control shows a field of the state's controls and hands
// its clicks and edits to the state's handlers.
#include "frmpagesetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace printsetup {

namespace {

constexpr double kPixelsPerInch = 18.0;  // the sheets' pictures
constexpr int kTwipsPerPixel = 15;

QColor ColorOf(LONG bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QDate QDateOf(DATE d) {
  const vbrt::DateParts p = vbrt::DateToParts(d);
  return QDate(p.year, p.month, p.day);
}

DATE DateOf(const QDate& d) { return vbrt::DateFromParts({d.year(), d.month(), d.day(), 0, 0, 0}).value_or(0); }

// "&&" in a caption shows one "&"; a single "&" marks the access key.
QString TabText(const QString& caption) { return caption; }

}  // namespace

// A label sheet's picture with one option button over each cell, red for the chosen cell.
class frmPageSetup::SheetPicture : public QWidget {
 public:
  SheetPicture(frmPageSetup& form, Grid grid, const QString& name, QWidget* parent)
      : QWidget(parent), form_(form), grid_(grid) {
    setObjectName(name == QLatin1String("Option1")      ? QStringLiteral("picFlpy")
                  : name == QLatin1String("optZip")     ? QStringLiteral("picZip")
                  : name == QLatin1String("optZipCase") ? QStringLiteral("picZipCase")
                                                        : QStringLiteral("picZipLbl"));
    const bool landscape = grid == kZipCaseGrid;
    const double w = landscape ? 11 : 8.5, h = landscape ? 8.5 : 11;
    setFixedSize(int(w * kPixelsPerInch) + 1, int(h * kPixelsPerInch) + 1);
    const std::vector<GridCell> cells = form.state_.Cells(grid);
    for (size_t i = 0; i < cells.size(); ++i) {
      auto* button = new QRadioButton(this);
      button->setObjectName(name + QLatin1Char('_') + QString::number(i));
      button->setAutoFillBackground(true);
      const GridCell& c = cells[i];
      button->setGeometry(int(c.left * kPixelsPerInch), int(c.top * kPixelsPerInch), int(c.width * kPixelsPerInch),
                          int(c.height * kPixelsPerInch));
      const int index = static_cast<int>(i);
      connect(button, &QRadioButton::clicked, this,
              [this, index] { form_.Handle([&] { form_.state_.CellClick(grid_, index); }); });
      buttons_.push_back(button);
    }
  }

  void Sync(const PageSetupControls& c) {
    const std::vector<LONG>& colors = c.cellColors[grid_];
    for (size_t i = 0; i < buttons_.size(); ++i) {
      QRadioButton* b = buttons_[i];
      const QColor color = i < colors.size() ? ColorOf(colors[i]) : QColor(Qt::white);
      b->setStyleSheet(QStringLiteral("QRadioButton { background-color: %1; }").arg(color.name()));
      const QSignalBlocker block(b);
      b->setChecked(int(i) == c.cellSelected[grid_]);
      b->setVisible(!(grid_ == kZipSlipGrid && c.zipGreyed));
    }
    greyed_ = grid_ == kZipSlipGrid && c.zipGreyed;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), greyed_ ? palette().color(QPalette::Button) : QColor(Qt::white));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }

 private:
  frmPageSetup& form_;
  Grid grid_;
  std::vector<QRadioButton*> buttons_;
  bool greyed_ = false;
};

template <typename F>
void frmPageSetup::Handle(F handler) {
  if (syncing_) return;
  handler();
  Sync();
}

frmPageSetup::frmPageSetup(PageSetupState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName(QStringLiteral("frmPageSetup"));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("ctlTab"));
  layout->addWidget(tabs_);
  general_ = BuildGeneral();
  custom_ = BuildCustom();
  batch_ = BuildBatch();
  layout->addWidget(general_);
  layout->addWidget(custom_);
  layout->addWidget(batch_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setObjectName(QStringLiteral("OKButton"));
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);
  layout->addStretch();

  // A tab chosen, not a click on the tab already shown.
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (syncing_ || index < 0) return;
    const QString key = tabs_->tabData(index).toString();
    Handle([&] { state_.TabClick(key); });
  });
  connect(okButton_, &QPushButton::clicked, this, [this] { Handle([&] { state_.Ok(); }); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { Handle([&] { state_.Cancel(); }); });
  state_.onHidden = [this] {
    if (isVisible()) done(QDialog::Accepted);
  };
  Sync();
}

QWidget* frmPageSetup::BuildGeneral() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("picGeneral"));
  auto* grid = new QGridLayout(page);
  auto* frame1 = new QGroupBox(QStringLiteral("Page Margins"), page);
  frame1->setObjectName(QStringLiteral("Frame1"));
  auto* f1 = new QGridLayout(frame1);
  const char* names[kBoxCount] = {"edXoff", "edYoff", "edLeftMarg", "edTopMarg", "edRightMarg", "edBottMarg"};
  for (int b = 0; b < kBoxCount; ++b) {
    boxes_[b] = new QLineEdit(page);
    boxes_[b]->setObjectName(QString::fromLatin1(names[b]));
    boxes_[b]->setFixedWidth(70);
    boxes_[b]->installEventFilter(this);
    const Box box = static_cast<Box>(b);
    connect(boxes_[b], &QLineEdit::textEdited, this, [this, box](const QString& text) {
      if (!syncing_) state_.SetBoxText(box, text);
    });
  }
  f1->addWidget(new QLabel(QStringLiteral("Top Margin:")), 0, 0);
  f1->addWidget(boxes_[kTopMarg], 0, 1);
  f1->addWidget(new QLabel(QStringLiteral("Left Margin:")), 0, 2);
  f1->addWidget(boxes_[kLeftMarg], 0, 3);
  f1->addWidget(new QLabel(QStringLiteral("Bottom Margin:")), 1, 0);
  f1->addWidget(boxes_[kBottMarg], 1, 1);
  f1->addWidget(new QLabel(QStringLiteral("Right Margin:")), 1, 2);
  f1->addWidget(boxes_[kRightMarg], 1, 3);
  chkMargins_ = new QCheckBox(frame1);
  chkMargins_->setObjectName(QStringLiteral("chkMargins"));
  chkWBreak_ = new QCheckBox(QStringLiteral("Print one item per line"), frame1);
  chkWBreak_->setObjectName(QStringLiteral("chkWBreak"));
  chkMouseTrace_ = new QCheckBox(QStringLiteral("Mouse trace"), frame1);
  chkMouseTrace_->setObjectName(QStringLiteral("chkMouseTrace"));
  f1->addWidget(chkMargins_, 2, 0, 1, 4);
  f1->addWidget(chkWBreak_, 3, 0, 1, 4);
  f1->addWidget(chkMouseTrace_, 4, 0, 1, 4);
  grid->addWidget(frame1, 0, 0, 2, 1);

  auto* frame2 = new QGroupBox(QStringLiteral("Orientation"), page);
  frame2->setObjectName(QStringLiteral("Frame2"));
  auto* f2 = new QVBoxLayout(frame2);
  optPortr_ = new QRadioButton(QStringLiteral("Portrait"), frame2);
  optPortr_->setObjectName(QStringLiteral("optPortr"));
  optLands_ = new QRadioButton(QStringLiteral("Landscape"), frame2);
  optLands_->setObjectName(QStringLiteral("optLands"));
  f2->addWidget(optPortr_);
  f2->addWidget(optLands_);
  grid->addWidget(frame2, 0, 1);

  auto* frame3 = new QGroupBox(QStringLiteral("Advanced"), page);
  frame3->setObjectName(QStringLiteral("Frame3"));
  auto* f3 = new QGridLayout(frame3);
  f3->addWidget(new QLabel(QStringLiteral("X offset:")), 0, 0);
  f3->addWidget(boxes_[kXoff], 0, 1);
  f3->addWidget(new QLabel(QStringLiteral("Y offset:")), 1, 0);
  f3->addWidget(boxes_[kYoff], 1, 1);
  chkDefault_ = new QCheckBox(QStringLiteral("Set as default"), frame3);
  chkDefault_->setObjectName(QStringLiteral("chkDefault"));
  f3->addWidget(chkDefault_, 2, 0, 1, 2);
  grid->addWidget(frame3, 1, 1);

  connect(chkMargins_, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { state_.MarginsClick(on); }); });
  connect(chkWBreak_, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { state_.WordBreakClick(on); }); });
  connect(chkMouseTrace_, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { state_.MouseTraceClick(on); }); });
  connect(chkDefault_, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { state_.DefaultClick(on); }); });
  connect(optPortr_, &QRadioButton::clicked, this, [this] { Handle([&] { state_.OrientationClick(1); }); });
  connect(optLands_, &QRadioButton::clicked, this, [this] { Handle([&] { state_.OrientationClick(2); }); });
  return page;
}

QWidget* frmPageSetup::BuildCustom() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("picCustom"));
  auto* grid = new QGridLayout(page);
  plCols_ = new QGroupBox(QStringLiteral("Print Files/Folders in ..."), page);
  plCols_->setObjectName(QStringLiteral("plCols"));
  auto* cols = new QVBoxLayout(plCols_);
  const char* captions[3] = {"1 column", "2 columns", "3 columns"};
  for (int i = 0; i < 3; ++i) {
    optCol_[i] = new QRadioButton(QString::fromLatin1(captions[i]), plCols_);
    optCol_[i]->setObjectName(QStringLiteral("optCol_%1").arg(i));
    cols->addWidget(optCol_[i]);
    connect(optCol_[i], &QRadioButton::clicked, this, [this, i] { Handle([&] { state_.ColumnsClick(i); }); });
  }
  lbCols_ = new QLabel(plCols_);
  lbCols_->setObjectName(QStringLiteral("lbCols"));
  cols->addWidget(lbCols_);

  plFont_ = new QGroupBox(QStringLiteral("File Name Font"), page);
  plFont_->setObjectName(QStringLiteral("plFont"));
  auto* font = new QGridLayout(plFont_);
  lstFont_ = new QComboBox(plFont_);
  lstFont_->setObjectName(QStringLiteral("lstFont"));
  lstFont_->addItems({QStringLiteral("Arial"), QStringLiteral("MS Sans Serif"), QStringLiteral("Times New Roman")});
  lstSize_ = new QComboBox(plFont_);
  lstSize_->setObjectName(QStringLiteral("lstSize"));
  lstSize_->addItems({QStringLiteral("6pt"), QStringLiteral("7pt"), QStringLiteral("8pt"), QStringLiteral("9pt")});
  font->addWidget(new QLabel(QStringLiteral("Type Face:")), 0, 0);
  font->addWidget(lstFont_, 0, 1);
  font->addWidget(new QLabel(QStringLiteral("Font Size:")), 1, 0);
  font->addWidget(lstSize_, 1, 1);
  connect(lstFont_, &QComboBox::textActivated, this,
          [this](const QString& t) { Handle([&] { state_.FontNameChosen(t); }); });
  connect(lstSize_, &QComboBox::textActivated, this,
          [this](const QString& t) { Handle([&] { state_.FontSizeChosen(t); }); });

  chkSingle_ = new QCheckBox(QStringLiteral("Force single label"), page);
  chkSingle_->setObjectName(QStringLiteral("chkSingle"));
  connect(chkSingle_, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { state_.SingleClick(on); }); });

  frmLocation_ = new QGroupBox(QStringLiteral("Position"), page);
  frmLocation_->setObjectName(QStringLiteral("frmLocation"));
  auto* location = new QHBoxLayout(frmLocation_);
  const char* names[kGridCount] = {"Option1", "optZip", "optZipCase", "optZipLbl"};
  for (int g = 0; g < kGridCount; ++g) {
    pictures_[g] = new SheetPicture(*this, static_cast<Grid>(g), QString::fromLatin1(names[g]), frmLocation_);
    location->addWidget(pictures_[g]);
  }
  grid->addWidget(plFont_, 0, 0);
  grid->addWidget(plCols_, 1, 0);
  grid->addWidget(chkSingle_, 2, 0);
  grid->addWidget(frmLocation_, 0, 1, 3, 1);
  return page;
}

QWidget* frmPageSetup::BuildBatch() {
  auto* page = new QGroupBox(this);
  page->setObjectName(QStringLiteral("plBatch"));
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("Select Label Type:")), 0, 0);
  lstPrintTo_ = new QListWidget(page);
  lstPrintTo_->setObjectName(QStringLiteral("lstPrintTo"));
  lstPrintTo_->setFixedHeight(80);
  grid->addWidget(lstPrintTo_, 1, 0, 1, 5);
  chkUpdated_ = new QCheckBox(QStringLiteral("Show disks updated between:"), page);
  chkUpdated_->setObjectName(QStringLiteral("chkUpdated"));
  dtFrom_ = new QDateEdit(page);
  dtFrom_->setObjectName(QStringLiteral("dtFrom"));
  dtFrom_->setCalendarPopup(true);
  label11_ = new QLabel(QStringLiteral("and"), page);
  label11_->setObjectName(QStringLiteral("Label11"));
  dtTo_ = new QDateEdit(page);
  dtTo_->setObjectName(QStringLiteral("dtTo"));
  dtTo_->setCalendarPopup(true);
  grid->addWidget(chkUpdated_, 2, 0);
  grid->addWidget(dtFrom_, 2, 1);
  grid->addWidget(label11_, 2, 2);
  grid->addWidget(dtTo_, 2, 3);
  lstDisks_ = new QTreeWidget(page);
  lstDisks_->setObjectName(QStringLiteral("lstDisks"));
  lstDisks_->setRootIsDecorated(false);
  lstDisks_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Disk Number"), QStringLiteral("Location"),
                              QStringLiteral("Free"), QStringLiteral("Modified"), QStringLiteral("Note")});
  lstDisks_->header()->setSectionsClickable(true);
  lstDisks_->setMinimumSize(560, 180);
  lstDisks_->setColumnWidth(0, 170);
  grid->addWidget(lstDisks_, 3, 0, 1, 5);
  lblCount_ = new QLabel(page);
  lblCount_->setObjectName(QStringLiteral("lblCount"));
  btnApply_ = new QPushButton(page);
  btnApply_->setObjectName(QStringLiteral("btnApply"));
  grid->addWidget(lblCount_, 4, 0);
  grid->addWidget(btnApply_, 4, 4);

  connect(lstPrintTo_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) Handle([&] { state_.PrintToClick(row); });
  });
  connect(chkUpdated_, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { state_.UpdatedClick(on); }); });
  auto dates = [this] { Handle([&] { state_.DatesChanged(DateOf(dtFrom_->date()), DateOf(dtTo_->date())); }); };
  connect(dtFrom_, &QDateEdit::dateChanged, this, dates);
  connect(dtTo_, &QDateEdit::dateChanged, this, dates);
  connect(btnApply_, &QPushButton::clicked, this, [this] { Handle([&] { state_.ApplyClick(); }); });
  connect(lstDisks_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column != 0 || syncing_) return;
    const int row = lstDisks_->indexOfTopLevelItem(item);
    const bool on = item->checkState(0) == Qt::Checked;
    Handle([&] { state_.DiskItemCheck(row, on); });
  });
  connect(lstDisks_->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { Handle([&] { state_.ColumnClick(column); }); });
  return page;
}

bool frmPageSetup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && !syncing_) {
    for (int b = 0; b < kBoxCount; ++b) {
      if (watched != boxes_[b] || !state_.Shown()) continue;
      const Box box = static_cast<Box>(b);
      // Leaving for Cancel keeps the text unchecked: Cancel puts the saved one back.
      if (QApplication::focusWidget() == cancelButton_) break;
      state_.SetBoxText(box, boxes_[b]->text());
      Handle([&] { state_.BoxLostFocus(box); });
      break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmPageSetup::reject() {
  Handle([&] { state_.Cancel(); });
}

void frmPageSetup::SyncTabs() {
  const PageSetupControls& c = state_.Controls();
  while (tabs_->count() > static_cast<int>(c.tabs.size())) tabs_->removeTab(tabs_->count() - 1);
  while (tabs_->count() < static_cast<int>(c.tabs.size())) tabs_->addTab(QString());
  for (size_t i = 0; i < c.tabs.size(); ++i) {
    tabs_->setTabText(int(i), TabText(c.tabs[i].caption));
    tabs_->setTabData(int(i), c.tabs[i].key);
    if (c.tabs[i].key == c.selectedTab) tabs_->setCurrentIndex(int(i));
  }
  QFont font = tabs_->font();
  font.setBold(c.tabsBold);
  tabs_->setFont(font);
}

void frmPageSetup::SyncDisks() {
  const PageSetupControls& c = state_.Controls();
  lstDisks_->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(c.disks.size()));
  for (const DiskRow& row : c.disks) {
    auto* item = new QTreeWidgetItem(QStringList{row.text, row.serial, row.location, row.size, row.modified, row.note});
    if (c.diskCheckBoxes) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    }
    items.append(item);
  }
  lstDisks_->addTopLevelItems(items);
  lstDisks_->setColumnHidden(2, c.locationColumnHidden);
  lstDisks_->setColumnHidden(3, c.sizeColumnHidden);
  lstDisks_->header()->setSortIndicatorShown(c.sortColumn >= 0);
  if (c.sortColumn >= 0)
    lstDisks_->header()->setSortIndicator(c.sortColumn, c.sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
  lstDisks_->setMinimumHeight(c.disksHeight / kTwipsPerPixel);
}

void frmPageSetup::Sync() {
  syncing_ = true;
  const PageSetupControls& c = state_.Controls();
  setWindowTitle(c.caption);
  SyncTabs();
  general_->setVisible(c.generalVisible);
  custom_->setVisible(c.customVisible);
  batch_->setVisible(c.batchVisible);

  for (int b = 0; b < kBoxCount; ++b) {
    if (boxes_[b]->text() != c.boxes[b]) boxes_[b]->setText(c.boxes[b]);
    boxes_[b]->setEnabled(b > kYoff || c.offsetsEnabled);
  }
  auto toggle = [](QCheckBox* box, const Toggle& t) {
    box->setChecked(t.checked);
    box->setEnabled(t.enabled);
    box->setVisible(t.visible);
  };
  toggle(chkMargins_, c.chkMargins);
  chkMargins_->setText(c.marginsCaption);
  toggle(chkWBreak_, c.chkWBreak);
  toggle(chkMouseTrace_, c.chkMouseTrace);
  toggle(chkDefault_, c.chkDefault);
  toggle(chkSingle_, c.chkSingle);
  optPortr_->setChecked(c.orientation == 1);
  optLands_->setChecked(c.orientation == 2);
  optPortr_->setEnabled(c.portraitEnabled);
  optLands_->setEnabled(c.landscapeEnabled);

  lstFont_->setCurrentText(c.fontName);
  lstSize_->setCurrentText(c.fontSize);
  plFont_->setEnabled(c.fontEnabled);
  for (int i = 0; i < 3; ++i) optCol_[i]->setChecked(c.columns == i + 1);
  plCols_->setVisible(c.columnsVisible);
  plCols_->setEnabled(c.columnsEnabled);
  lbCols_->setText(QString(c.columnsSample).replace(QChar(u'\r'), QChar(u'\n')));
  frmLocation_->setVisible(c.locationVisible);
  frmLocation_->setEnabled(c.locationEnabled);
  for (int g = 0; g < kGridCount; ++g) {
    pictures_[g]->setVisible(c.gridVisible[g]);
    pictures_[g]->Sync(c);
  }

  if (lstPrintTo_->count() != c.printTo.size() || [&] {
        for (int i = 0; i < lstPrintTo_->count(); ++i)
          if (lstPrintTo_->item(i)->text() != c.printTo[i]) return true;
        return false;
      }()) {
    lstPrintTo_->clear();
    lstPrintTo_->addItems(c.printTo);
  }
  lstPrintTo_->setCurrentRow(c.printToIndex);
  SyncDisks();
  toggle(chkUpdated_, c.chkUpdated);
  dtFrom_->setDate(QDateOf(c.dtFrom));
  dtTo_->setDate(QDateOf(c.dtTo));
  for (QWidget* w : {static_cast<QWidget*>(dtFrom_), static_cast<QWidget*>(dtTo_), static_cast<QWidget*>(label11_)}) {
    w->setVisible(c.datesVisible);
    w->setEnabled(c.datesEnabled);
  }
  lblCount_->setText(c.countText);
  lblCount_->setVisible(c.countVisible);
  btnApply_->setText(c.applyCaption);
  btnApply_->setEnabled(c.btnApply.enabled);
  btnApply_->setVisible(c.btnApply.visible);
  okButton_->setEnabled(c.okEnabled);
  syncing_ = false;

  if (c.focusBox) {
    QLineEdit* box = boxes_[*c.focusBox];
    state_.Controls().focusBox.reset();
    box->setFocus();
    box->selectAll();
  }
}

}  // namespace printsetup
