// frmMain: the main window. It hosts the catalog browser control CompCtl1 (created through the
// component runtime, never linked), offers every command through its menus, toolbar, status
// bar and the tray menu, runs the deferred commands through its timer Timer1, and hides into
// the tray instead of closing. Its state and decisions live in MainWindowState, CommandLoop
// and the launcher plans; this class wires them to widgets.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "appstate.h"
#include "catalogfiles.h"
#include "commandloop.h"
#include "mainstate.h"
#include "xcom/com.h"

struct ICompCtl;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;

namespace app {

class frmSplash;

class frmMain : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the browser control ("Brevix.CompCtl" by default).
  using ControlFactory = std::function<HRESULT(xcom::ComPtr<ICompCtl>*)>;
  explicit frmMain(ControlFactory factory = ControlFactory(), AppState& state = Global());
  ~frmMain() override;

  // Window events, in the order the program raises them.
  void Form_Load();
  void Form_Activate();
  void Form_Unload();

  // Leaves the program (File|Exit): unloads the main window, then ends the event loop.
  void Unload();
  // Hides into the tray (the close box and File|Close); minimises where there is no tray.
  void HideIntoTray();
  // Shows the window again and lays it out (tray Open, a double click on the tray icon).
  void ShowFromTray();
  // Brings the window up for a second start of the program: restored, maximised, active.
  void ActivateFromSecondInstance();

  // Public procedures other windows call.
  bool CheckThePassword();
  void EnableMenuChoces();
  void SetCatalogNameInStatusBar();
  void EnableFileMenuItems(bool enabled);
  void EnableSubMenu(const QString& typeText);
  void ShowSecurity(bool locked);
  // Stores a deferred command and arms the timer.
  void StoreCommand(const QString& code);

  // Browser events.
  void CompCtl1_Click(SHORT pane);
  void CompCtl1_DblClick(SHORT pane);
  void CompCtl1_RClick(SHORT pane);
  void CompCtl1_TreeNodeChanged(const QVariant& item);
  void CompCtl1_TrayIconNotify(LONG lParam, LONG wParam);

  ICompCtl* CompCtl1() const { return control_.Get(); }
  MainWindowState& state() { return main_; }
  CommandLoop& commands() { return loop_; }
  QTimer* Timer1() const { return timer_; }
  QString PanelText(const QString& key) const;
  void SetPanelText(const QString& key, const QString& text);
  QMenu* Menu(const QString& name) const;

  // Where there is no tray, hiding minimises; tests choose.
  void SetTrayAvailable(bool available) { trayAvailable_ = available; }
  // When false, Unload does not end the event loop (tests).
  void SetQuitOnUnload(bool quit) { quitOnUnload_ = quit; }
  bool Unloaded() const { return unloaded_; }
  // The popup that the last right click or tray click opened (popups are not run in tests).
  QString LastPopup() const { return lastPopup_; }
  void SetPopupsShown(bool shown) { popupsShown_ = shown; }

 signals:
  void unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // mainmenus.cpp
  void BuildMenus();
  void BuildToolbar();
  void BuildStatusBar();
  QAction* Action(const QString& name) const;
  void Popup(const QString& menu);
  void SetTextLabels(bool on);

  // maincommands.cpp
  void ConnectCommands();
  void RunCommand(const QString& code);
  bool CatalogOpen() const;
  void FindCommand();
  void PropertiesCommand();
  // Renames the selection of `pane` (kTreePane, kListPane) in place.
  void RenameCommand(SHORT pane);
  void DeleteCommand();
  void RefreshCommand();
  void OptionsCommand(const QString& showOnly = QString());
  void AboutCommand();
  void HelpDocsCommand();
  void HelpWebCommand();
  void ToolbarButtonClick(const QString& key);
  void ToolbarButtonMenuClick(const QString& key);
  void TrayPrintLabel(const QString& key);
  void SecPanelClick();
  bool FindSelectedDisk();
  void PrintFullReport();
  void DoPrintDiskReport();
  void DoPrintSelection();
  void DoToolPrintDir();
  void DoUserDefinedLabels();
  CatalogFiles CatalogFileCommands();
  bool RequireCatalog();
  void OpenCatalog();
  void BackupCatalog();
  void CompressCatalog();
  bool ModalOpen() const;
  void ShowError(const QString& prefix, int number, const QString& description);

  bool CreateControl();
  void ConnectEvents();
  void DisconnectEvents();

  ControlFactory factory_;
  AppState& app_;
  MainWindowState main_;
  CommandLoop loop_;
  xcom::ComPtr<ICompCtl> control_;
  xcom::ComPtr<IUnknown> sink_;
  DWORD sinkCookie_ = 0;
  QPointer<QWidget> controlWindow_;
  QTimer* timer_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QLabel* panel1_ = nullptr;
  QLabel* panel2_ = nullptr;
  QLabel* catPanel_ = nullptr;
  QLabel* secPanel_ = nullptr;
  QPointer<frmSplash> splash_;
  bool trayAvailable_;
  bool quitOnUnload_ = true;
  bool unloading_ = false;
  bool unloaded_ = false;
  bool popupsShown_ = true;
  QString lastPopup_;
};

}  // namespace app
