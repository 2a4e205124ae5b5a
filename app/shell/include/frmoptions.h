// frmOptions: the media types with their starting serial numbers (page "SER") and the open
// catalog's passwords (page "SEC"). Made fresh per use: ShowOnly (optional), Load, then shown
// modally; settings change only on OK, passwords at once on Protect and Remove Protection.
#pragma once

#include <QDialog>
#include <functional>

#include "appstate.h"
#include "optionsstate.h"
#include "xcom/com.h"

struct ICompCtl;
struct IOFileGraber;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace app {

// What the options dialog asks of the main window: its menus follow the drives after OK, and
// its "SEC" panel follows the protection. The main window sets these while it lives.
struct OptionsMainHooks {
  std::function<void()> enableMenuChoices;
  std::function<void(bool locked)> showSecurity;
};
OptionsMainHooks& MainHooksForOptions();

class frmOptions : public QDialog {
  Q_OBJECT

 public:
  explicit frmOptions(QWidget* parent = nullptr, ICompCtl* control = nullptr, AppState& state = Global());
  ~frmOptions() override;

  // "SECURITY_OPTION": only the password page; a media type name: only that type.
  void ShowOnly(const QString& key);
  // Builds the pages for the current login and settings (the window's load).
  void Load();
  void SetupSecurityTab();
  bool CheckErrors(int index);
  void DeleteCurrentMediaType();
  void ProtectIt();
  SHORT GetSelectedIndex() const { return 0; }

  const OptionsState& options() const { return state_; }
  bool HasPage(const QString& key) const;

 protected:
  void done(int result) override;

 private:
  void FillList();
  void SelectItem(int row);
  void Apply();
  void OnOk();
  void OnAddMedia();
  void OnDelete();
  void OnProtect();
  void OnRemove();
  QString IsSerialUsed(double serial);
  void ShowMessage(const OptionsMessage& m);
  int RowOfIndex(int index) const;
  int IndexOfRow(int row) const;

  ICompCtl* control_;
  AppState& app_;
  OptionsState state_;
  xcom::ComPtr<IOFileGraber> scanner_;
  QString showOnlyKey_;
  bool showOnlyFlag_ = false;
  int selectedRow_ = -1;
  bool errorFlag_ = false;
  bool checking_ = false;
  bool loaded_ = false;

  QTabWidget* tbsOptions_;
  QWidget* serPage_;
  QWidget* secPage_;
  QListWidget* lstAllDrives_;
  QGroupBox* frameSN_;
  QLineEdit* edSerNum_;
  QPushButton* btnAddMedia_;
  QPushButton* btnDelMedia_;
  QGroupBox* framePasswords_;
  QLineEdit* edMaster_;
  QLineEdit* edMaster1_;
  QLineEdit* edUser_;
  QLabel* Label1_;
  QPushButton* btnProtect_;
  QPushButton* btnRemove_;
  QLabel* lbProtect_;
  QLabel* Image1_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
  QPushButton* btnApply_;
};

}  // namespace app
