// frmFind: the catalog search window ("Find: All Files"): criteria on two tabs, Find Now,
// Stop, New Search, Print Preview, the sortable result list, double-click to open a hit, and
// saving the results.
#pragma once

#include <QMainWindow>
#include <QList>

#include <functional>
#include <memory>

#include "findstate.h"
#include "resultmodel.h"
#include "searchrun.h"

class QAction;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabBar;
class QTreeView;

namespace app {
struct AppState;
struct Settings;
struct WalkControl;
struct Selection;
struct ShellState;
struct PrintJob;
}  // namespace app

namespace app::catalog {

class AnimationPlayer;
class WalkGuard;

// What the window works with: the main window's browser control and the shared state parts.
struct FindWindowParts {
  ICompCtl* compCtl = nullptr;
  Settings* settings = nullptr;
  WalkControl* walk = nullptr;
  Selection* selection = nullptr;
  ShellState* shell = nullptr;
  PrintJob* print = nullptr;
  // Opens a catalogued item (the shell's OpenCatalogedFile): its catalog path, and false for a
  // file, true for a folder or disk.
  std::function<void(const QString& path, bool isFolder)> openCatalogedFile;
  // Shows the about box.
  std::function<void()> showAbout;
};

// The parts of a program's state, opening hits through the shell's OpenCatalogedFile.
FindWindowParts FindWindowPartsOf(AppState& state, ICompCtl* compCtl);
// The parts of the whole program (Global()).
FindWindowParts GlobalFindWindowParts(ICompCtl* compCtl);

class frmFind : public QMainWindow {
 public:
  explicit frmFind(FindWindowParts parts, QWidget* parent = nullptr);
  ~frmFind() override;

  // Commands, as the buttons and menus run them.
  void FindNow();
  void Stop();
  void NewSearch();
  void PrintPreview();
  void SaveResults();
  void SortColumn(int column);  // 1-based

  bool Searching() const { return searching_; }
  bool Collapsed() const { return collapsed_; }
  // The rows in list order.
  QList<ResultRow> Rows() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class ResultList;
  class DiskList;

  void BuildWidgets();
  void FillDriveList();
  void EnableAllFrames(bool flag);
  void SetHeightTwips(int twips);
  void ShowTab(int index);
  void OnDateOption();
  void DaysChanged();
  void MonthsChanged();
  void OpenHit(int row);
  void StartAnimation();
  void StopAnimation();

  FindWindowParts parts_;
  bool collapsed_ = true;
  bool searching_ = false;
  bool closeAfterSearch_ = false;
  bool unloaded_ = false;
  ColumnSorting sorting_;
  ResultModel* results_ = nullptr;
  std::unique_ptr<ResultList> resultTarget_;

  QTabBar* ctlTab_ = nullptr;
  QFrame* frameName_ = nullptr;
  QFrame* frameDate_ = nullptr;
  QComboBox* lstName_ = nullptr;
  QComboBox* cmbPath_ = nullptr;
  QLineEdit* edNote_ = nullptr;
  QComboBox* lstCategory_ = nullptr;
  QComboBox* lstSize_ = nullptr;
  QLineEdit* edSize_ = nullptr;
  QSpinBox* updwSize_ = nullptr;
  QRadioButton* optAll_ = nullptr;
  QRadioButton* optFindMain_ = nullptr;
  QRadioButton* optBetween_ = nullptr;
  QRadioButton* optMonths_ = nullptr;
  QRadioButton* optDays_ = nullptr;
  QDateEdit* dtFrom_ = nullptr;
  QDateEdit* dtTo_ = nullptr;
  QLineEdit* edMonths_ = nullptr;
  QLineEdit* edDays_ = nullptr;
  QSpinBox* updwMonth_ = nullptr;
  QSpinBox* updwDays_ = nullptr;
  QPushButton* btnFindNow_ = nullptr;
  QPushButton* btnStop_ = nullptr;
  QPushButton* btnNewSearch_ = nullptr;
  QPushButton* btnPrint_ = nullptr;
  QLabel* animation_ = nullptr;
  AnimationPlayer* movie_ = nullptr;
  QTreeView* lstResult_ = nullptr;
  QListWidget* lstTemp_ = nullptr;
  QList<QWidget*> labels_;
  QAction* mnuFind_ = nullptr;
  QAction* mnuStop_ = nullptr;
  QAction* mnuNewSearch_ = nullptr;
  QAction* mnuFindSave_ = nullptr;
  QAction* mnuExit_ = nullptr;
};

}  // namespace app::catalog
