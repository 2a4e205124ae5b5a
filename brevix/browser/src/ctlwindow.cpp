// The control's window: panes, splitter bar and the user's mouse and keys, reported to the
// control object.
#include "ctlwindow.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include "compctl_impl.h"

namespace brevix {
namespace {

// Hands the end of a tree label edit to the control; the control sets the item's text when
// the disk really took the name.
class TreeEditDelegate : public QStyledItemDelegate {
 public:
  TreeEditDelegate(CompCtl& control, QObject* parent) : QStyledItemDelegate(parent), control_(control) {}
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    QByteArray prop = editor->metaObject()->userProperty().name();
    control_.OnTreeEndEdit(index, editor->property(prop.isEmpty() ? "text" : prop.constData()).toString());
  }

 private:
  CompCtl& control_;
};

// Whether an edit request is one the user's edit triggers (or the host's Rename) start.
bool WantsEdit(bool editing, QAbstractItemView::EditTriggers triggers, QAbstractItemView::EditTrigger trigger) {
  return !editing && (trigger == QAbstractItemView::AllEditTriggers || (triggers & trigger));
}

}  // namespace

// ---- Both panes

Pane::Pane(CompCtl& control, QWidget* parent) : QTreeView(parent), control_(control) {
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setIconSize(QSize(16, 16));
}

bool Pane::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!WantsEdit(state() == EditingState, editTriggers(), trigger)) return QTreeView::edit(index, trigger, event);
  const QModelIndex label = BeginEdit(index);
  if (!label.isValid()) return false;
  return QTreeView::edit(label, QAbstractItemView::AllEditTriggers, event);
}

void Pane::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool hadFocus = editor && window()->focusWidget() == editor;
  QTreeView::closeEditor(editor, hint);
  if (hadFocus) setFocus();
}

// ---- Tree pane

TreePane::TreePane(CompCtl& control, QWidget* parent) : Pane(control, parent) {
  setObjectName(QStringLiteral("tree"));
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setExpandsOnDoubleClick(true);
  setItemDelegate(new TreeEditDelegate(control, this));
}

void TreePane::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) return;  // the right button selects on release
  if (e->button() == Qt::LeftButton) control_.OnTreePressed();
  QTreeView::mousePressEvent(e);
}

void TreePane::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    control_.OnTreeRightReleased(indexAt(e->position().toPoint()));
    return;
  }
  QTreeView::mouseReleaseEvent(e);
}

void TreePane::mouseDoubleClickEvent(QMouseEvent* e) {
  QTreeView::mouseDoubleClickEvent(e);
  if (e->button() == Qt::LeftButton) control_.OnTreeDoubleClicked();
}

void TreePane::keyPressEvent(QKeyEvent* e) {
  control_.OnTreeKey(e->key());
  QTreeView::keyPressEvent(e);
}

QModelIndex TreePane::BeginEdit(const QModelIndex& index) {
  return control_.OnTreeBeginEdit(index) ? index : QModelIndex();
}

// ---- List pane

ListPane::ListPane(CompCtl& control, QWidget* parent) : Pane(control, parent) {
  setObjectName(QStringLiteral("list"));
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListPane::mouseReleaseEvent(QMouseEvent* e) {
  QTreeView::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton) control_.OnListClicked();
  else if (e->button() == Qt::RightButton) control_.OnListRightReleased();
}

void ListPane::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return QTreeView::mouseDoubleClickEvent(e);
  const QModelIndex hit = indexAt(e->position().toPoint());
  if (hit.isValid()) setCurrentIndex(hit);
  control_.OnListDoubleClicked(hit.isValid() ? hit.row() : -1);
}

void ListPane::keyPressEvent(QKeyEvent* e) {
  control_.OnListKey(e->key());
  QTreeView::keyPressEvent(e);
}

QModelIndex ListPane::BeginEdit(const QModelIndex& index) {
  if (!index.isValid() || !control_.OnListBeginEdit(index.row())) return QModelIndex();
  return model()->index(index.row(), 0);
}

// ---- Window

CtlWindow::CtlWindow(CompCtl& control, QWidget* parent)
    : QWidget(parent),
      control_(control),
      tree_(new TreePane(control, this)),
      list_(new ListPane(control, this)),
      treeModel_(new QStandardItemModel(this)),
      listModel_(new ListModel(this)),
      dragBar_(new QWidget(this)) {
  setObjectName(QStringLiteral("CompCtl"));
  QFont f(QStringLiteral("MS Sans Serif"));
  f.setPointSize(8);
  setFont(f);
  tree_->setModel(treeModel_);
  list_->setModel(listModel_);
  dragBar_->setAutoFillBackground(true);
  QPalette pal = dragBar_->palette();
  pal.setColor(QPalette::Window, QColor(64, 64, 64));
  dragBar_->setPalette(pal);
  dragBar_->hide();
  resize(600, 347);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { control_.OnTreeSelectionChanged(); });
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int c) { control_.OnListColumnClicked(c); });
  listModel_->SetEditHandler([this](int row, const QString& text) { return control_.OnListEndEdit(row, text); });
}

CtlWindow::~CtlWindow() { control_.OnWindowDestroyed(); }

void CtlWindow::PlacePanes(int treeWidth, int listX) {
  const int h = height();
  tree_->setVisible(treeWidth >= 0);
  if (treeWidth >= 0) tree_->setGeometry(0, 0, treeWidth, h);
  list_->setVisible(listX >= 0);
  if (listX >= 0) list_->setGeometry(listX, 0, std::max(0, width() - listX), h);
}

void CtlWindow::SetSplitterEnabled(bool on) {
  splitter_ = on;
  if (on) setCursor(Qt::SizeHorCursor);
  else unsetCursor();
}

void CtlWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  control_.OnResize(width(), height());
}

void CtlWindow::mousePressEvent(QMouseEvent* e) {
  if (!splitter_ || e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
  dragging_ = true;
  grabMouse();
  dragBar_->setGeometry(tree_->geometry().right() + 1, 0, kSplitterBar, height());
  dragBar_->raise();
  dragBar_->show();
}

void CtlWindow::mouseMoveEvent(QMouseEvent* e) {
  if (!splitter_ || !dragging_) return QWidget::mouseMoveEvent(e);
  const int p = DragPosition(e->position().toPoint().x(), width());
  dragBar_->setGeometry(p + 1, 0, kSplitterBar, height());
}

void CtlWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (!splitter_ || !dragging_ || e->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(e);
  dragging_ = false;
  dragBar_->hide();
  releaseMouse();
  control_.OnSplitterDropped(DragPosition(e->position().toPoint().x(), width()));
}

}  // namespace brevix
