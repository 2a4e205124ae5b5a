// The widgets of the update dialog's print half, thin in front of PrintHalf: the label pages
// (report type, sortable file list, folder tree with check boxes) and the directory report
// page with its layout and sort options.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "printhalf.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace app::catalog {

class WalkGuard;

class PrintHalfPage : public QWidget {
 public:
  PrintHalfPage(AppState& state, ICompCtl* compCtl, ProgressTarget* progress, QWidget* parent);
  ~PrintHalfPage() override;

  PrintHalf& half() { return half_; }
  // Shows the label pages (a disk's label) or the directory report page (LabelMedium 0).
  void ShowFor(SHORT labelMedium, bool zipStock);
  void SetSummary(const QString& text);
  QPushButton* ExitButton() const { return btnExit_; }
  // The window's progress panel: its text goes to progress; show(true) puts it up with its
  // Stop button, which alone keeps its input while a listing walks (stopRequest runs when the
  // window is closed meanwhile); show(false) takes it down.
  void SetProgressPopup(ProgressTarget* progress, std::function<void(bool)> show, QWidget* stop,
                        std::function<void()> stopRequest);
  // Print, Preview and Exit, off while the panel is up.
  void EnableCommands(bool enabled);

 private:
  void ChooseType(int index);
  void TabChanged(int index);
  void Caption(const QString& text);
  void ShowList();
  void ShowTree();
  DirectoryReportOptions Options() const;

  AppState& state_;
  PrintHalf half_;
  QStackedWidget* pages_;
  QTabWidget* ctlTab_;
  QLabel* lbSelected_;
  QLabel* lbExpl_;
  QLabel* lbSummary_;
  QComboBox* lstPrintTo_;
  QLabel* lblPrintTo_;
  QTreeWidget* lstResult_;
  QTreeWidget* ctlTree_;
  std::vector<QTreeWidgetItem*> treeItems_;  // by node index of the tree view's data
  QPushButton* btnExit_;
  QPushButton* btnPrint_ = nullptr;
  QPushButton* btnPreview_ = nullptr;
  ProgressTarget* progress_ = nullptr;
  std::unique_ptr<WalkGuard> guard_;
  QRadioButton* optPrnListView_;
  QComboBox* lstSortBy_;
  QRadioButton* optSortAscending_;
  QCheckBox* optCurDir_;
  QCheckBox* chkShowFolders1_;
  bool filling_ = false;
};

}  // namespace app::catalog
