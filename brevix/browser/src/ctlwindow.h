// The control's window: the tree pane and the list pane side by side with a splitter bar
// between them, as the layout of ControlType places them. The window reports what the user
// does to its control object, which decides what happens.
#pragma once

#include <QStandardItemModel>
#include <QTreeView>
#include <QWidget>

#include "listmodel.h"

namespace brevix {

class CompCtl;

inline constexpr int kTreeImageRole = Qt::UserRole + 1;          // a tree item's image
inline constexpr int kTreeSelectedImageRole = Qt::UserRole + 2;  // its selected image

// What the two panes share: the control they report to, and label edits that the user's edit
// triggers (or the host's Rename) start only where the control allows them.
class Pane : public QTreeView {
  Q_OBJECT
 public:
  using QTreeView::edit;
  // Starts the label edit of `index` as the host's Rename asks for it; false when the control
  // refuses it (the refusal is the control's answer, not a failure to report).
  bool StartEdit(const QModelIndex& index) { return edit(index, AllEditTriggers, nullptr); }

 protected:
  Pane(CompCtl& control, QWidget* parent);
  // The index whose label the edit opens, or an invalid one where the control refuses the edit.
  virtual QModelIndex BeginEdit(const QModelIndex& index) = 0;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  // A label edit ends with the focus in its pane, also when a message shown at its end (a
  // refused name) took the focus from the editor.
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  CompCtl& control_;
};

// The tree pane: Click on press (before the selection moves), RClick on release after the
// item under the mouse is selected; label edits go through the control's rules.
class TreePane : public Pane {
  Q_OBJECT
 public:
  TreePane(CompCtl& control, QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  QModelIndex BeginEdit(const QModelIndex& index) override;
};

// The list pane: a report view over the list model; a row's label is its first column.
class ListPane : public Pane {
  Q_OBJECT
 public:
  ListPane(CompCtl& control, QWidget* parent);

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  QModelIndex BeginEdit(const QModelIndex& index) override;
};

class CtlWindow : public QWidget {
  Q_OBJECT
 public:
  CtlWindow(CompCtl& control, QWidget* parent);
  ~CtlWindow() override;

  TreePane* tree() const { return tree_; }
  ListPane* list() const { return list_; }
  QStandardItemModel* treeModel() const { return treeModel_; }
  ListModel* listModel() const { return listModel_; }

  // Places the panes: the tree at (0, 0, treeWidth, height), the list from listX to the right;
  // treeWidth < 0 hides the tree, listX < 0 the list.
  void PlacePanes(int treeWidth, int listX);
  // Whether the splitter bar works (two panes).
  void SetSplitterEnabled(bool on);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  CompCtl& control_;
  TreePane* tree_;
  ListPane* list_;
  QStandardItemModel* treeModel_;
  ListModel* listModel_;
  QWidget* dragBar_;  // the inverted bar shown while the splitter is dragged
  bool splitter_ = false;
  bool dragging_ = false;
};

}  // namespace brevix
