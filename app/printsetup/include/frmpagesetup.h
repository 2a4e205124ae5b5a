// The page setup dialog: the tab strip, the general, custom and batch pages, OK and Cancel,
// over the PageSetupState that holds its state and decisions.
#pragma once

#include <QDialog>

#include <array>

#include "pagesetupstate.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTreeWidget;

namespace printsetup {

class frmPageSetup : public QDialog {
  Q_OBJECT
 public:
  explicit frmPageSetup(PageSetupState& state, QWidget* parent = nullptr);

  PageSetupState& State() { return state_; }
  // Shows what the state holds.
  void Sync();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  class SheetPicture;
  QWidget* BuildGeneral();
  QWidget* BuildCustom();
  QWidget* BuildBatch();
  // Runs a handler and shows its outcome.
  template <typename F>
  void Handle(F handler);
  void SyncTabs();
  void SyncDisks();

  PageSetupState& state_;
  bool syncing_ = false;
  QTabBar* tabs_ = nullptr;
  QWidget* general_ = nullptr;
  QWidget* custom_ = nullptr;
  QWidget* batch_ = nullptr;
  std::array<QLineEdit*, kBoxCount> boxes_{};
  QCheckBox* chkMargins_ = nullptr;
  QCheckBox* chkWBreak_ = nullptr;
  QCheckBox* chkMouseTrace_ = nullptr;
  QCheckBox* chkDefault_ = nullptr;
  QCheckBox* chkSingle_ = nullptr;
  QRadioButton* optPortr_ = nullptr;
  QRadioButton* optLands_ = nullptr;
  QGroupBox* plCols_ = nullptr;
  std::array<QRadioButton*, 3> optCol_{};
  QLabel* lbCols_ = nullptr;
  QGroupBox* plFont_ = nullptr;
  QComboBox* lstFont_ = nullptr;
  QComboBox* lstSize_ = nullptr;
  QGroupBox* frmLocation_ = nullptr;
  std::array<SheetPicture*, kGridCount> pictures_{};
  QListWidget* lstPrintTo_ = nullptr;
  QTreeWidget* lstDisks_ = nullptr;
  QCheckBox* chkUpdated_ = nullptr;
  QDateEdit* dtFrom_ = nullptr;
  QDateEdit* dtTo_ = nullptr;
  QLabel* label11_ = nullptr;
  QLabel* lblCount_ = nullptr;
  QPushButton* btnApply_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace printsetup
