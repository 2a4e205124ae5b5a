// frmAddDisk: the add-disk dialog ("Add Disk"), thin in front of AddDiskFlow.
#pragma once

#include <QDialog>

#include <memory>

#include "adddiskflow.h"
#include "catalogdialogs.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextEdit;

namespace app::catalog {

class AnimationPlayer;

class frmAddDisk : public QDialog, private AddDiskView {
 public:
  explicit frmAddDisk(CatalogDialogParts parts, QWidget* parent = nullptr);
  ~frmAddDisk() override;

  AddDiskFlow& flow() { return *flow_; }
  // Shows the flow's state in the widgets.
  void Sync();
  // Add Disk.
  void AddDisk();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void done(int r) override;

 private:
  // AddDiskView
  void ShowProgress(bool show) override;
  void Unload() override;
  void RefreshBrowser() override;
  void SelectInBrowser(const QString& name) override;
  void ShowUpdateDialog() override;
  void ShowSerialOptions(const QString& mediaTypeName) override;
  void ShowOptions() override;
  QString EditCategories() override;
  QString AskMediaTypeName() override;
  void FocusName() override;
  void SaveSettings() override;

  void Read();
  void FillDrives();

  CatalogDialogParts parts_;
  std::unique_ptr<AddDiskFlow> flow_;
  bool syncing_ = false;
  bool unloaded_ = false;
  QComboBox* Drive1_;
  QListWidget* Dir1_;
  QListWidget* File1_;
  QComboBox* lstStandardType_;
  QPushButton* btnOther_;
  QLabel* Image1_;
  QLabel* lbSerial_;
  QPushButton* btnEditSer_;
  QLineEdit* dName_;
  QComboBox* cmbCategory_;
  QPushButton* btnEditCat_;
  QCheckBox* chkRecursive_;
  QTextEdit* dDesc_;
  QPushButton* btnOK_;
  QPushButton* btnExit_;
  QFrame* picUpdate_;
  QLabel* Animation1_;
  AnimationPlayer* movie_ = nullptr;
  QList<QWidget*> partTwo_;
};

}  // namespace app::catalog
