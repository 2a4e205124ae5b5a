// frmUpdate: the update-disk dialog, thin in front of UpdateFlow: the update half (drive,
// media type, Start, the progress display) and, after a run or in print-only mode, the page
// that offers the disk's label through the print preview.
#pragma once

#include <QDialog>

#include <memory>
#include <optional>

#include "appstate.h"
#include "catalogdialogs.h"
#include "updateflow.h"

class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace app::catalog {

class PrintHalfPage;
class AnimationPlayer;

class frmUpdate : public QDialog, private UpdateView, public ProgressTarget {
 public:
  explicit frmUpdate(CatalogDialogParts parts, QWidget* parent = nullptr);
  ~frmUpdate() override;

  UpdateFlow& flow() { return *flow_; }
  void Sync();
  void SetProcessMessage(const QString& text) override;
  // The progress panel with its Stop button, over the commands while a listing walks.
  void showProgressPopup(bool show);
  PrintHalfPage& printHalf() { return *printHalf_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int r) override;

 private:
  void ShowScanLayout(const QString& driveLine) override;
  void StopAnimation() override;
  void Unload() override;
  void RefreshBrowser() override;
  void SelectInBrowser(const QString& name) override;
  void ShowAddDialog() override;
  void ShowPrintHalf() override;
  void SetCaption(const QString& caption) override;
  void UnloadSteps();

  CatalogDialogParts parts_;
  std::unique_ptr<UpdateFlow> flow_;
  bool unloaded_ = false;
  bool activated_ = false;
  QStackedWidget* pages_;
  QComboBox* Drive1_;
  QComboBox* lstStandardType_;
  QLabel* Image1_;
  QPushButton* btnStart_;
  QPushButton* btnCancel_;
  QPushButton* btnStop_;
  QPushButton* btnPopup_;
  QLabel* Label1_;
  QLabel* lbProgress_;
  QLabel* lbProgress1_;
  QLabel* Animation1_;
  AnimationPlayer* movie_ = nullptr;
  PrintHalfPage* printHalf_;
  std::optional<bool> printOnlyBefore_;  // print-directory mode: PrintOnlyMode as it was
};

}  // namespace app::catalog
