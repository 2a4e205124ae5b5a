// frmMain: the browser control's host, load and unload, activation, closing into the tray,
// the tray icon's messages and the browser events.
#include "frmmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>

#include "forms.h"
#include "frmoptions.h"
#include "frmsplash.h"
#include "global.h"
#include "icompctl.h"
#include "iteminfovariant.h"
#include "passwordgate.h"
#include "settings.h"
#include "windowlinks.h"
#include "xcom/connpoint.h"
#include "xcom/control.h"
#include "xcom/dispatch.h"
#include "xcom/object.h"

namespace app {

namespace {

xcom::ServerModule& ProgramModule() {
  static xcom::ServerModule module;
  return module;
}

// The main window's sink for the browser control's events.
class BrowserEvents : public xcom::DispatchImpl<BrowserEvents, IDispatch> {
 public:
  void* GetInterface(REFIID iid) {
    if (iid == DIID__IVemraStorage) return static_cast<IDispatch*>(this);
    return xcom::FindInterface<IDispatch>(this, iid);
  }
  static const xcom::DispatchTable<BrowserEvents>& GetDispatchTable() {
    using M = xcom::Member<BrowserEvents>;
    static const xcom::DispatchTable<BrowserEvents> table{
        M::Method<&BrowserEvents::Click>("Click", DISPID_VEMRA_CLICK),
        M::Method<&BrowserEvents::DblClick>("DblClick", DISPID_VEMRA_DBLCLICK),
        M::Method<&BrowserEvents::RClick>("RClick", DISPID_VEMRA_RCLICK),
        M::Method<&BrowserEvents::TreeNodeChanged>("TreeNodeChanged", DISPID_VEMRA_TREENODECHANGED),
        M::Method<&BrowserEvents::TrayIconNotify>("TrayIconNotify", DISPID_VEMRA_TRAYICONNOTIFY),
    };
    return table;
  }
  HRESULT Click(SHORT pane) {
    if (owner) owner->CompCtl1_Click(pane);
    return S_OK;
  }
  HRESULT DblClick(SHORT pane) {
    if (owner) owner->CompCtl1_DblClick(pane);
    return S_OK;
  }
  HRESULT RClick(SHORT pane) {
    if (owner) owner->CompCtl1_RClick(pane);
    return S_OK;
  }
  HRESULT TreeNodeChanged(VARIANT item) {
    if (owner) owner->CompCtl1_TreeNodeChanged(FromControlVariant(item));
    return S_OK;
  }
  HRESULT TrayIconNotify(LONG lParam, LONG wParam) {
    if (owner) owner->CompCtl1_TrayIconNotify(lParam, wParam);
    return S_OK;
  }

  QPointer<frmMain> owner;
};

HRESULT CreateRegisteredControl(xcom::ComPtr<ICompCtl>* out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgIdCompCtlIndependent, &clsid);
  if (FAILED(hr)) return hr;
  return xcom::CreateInstance(clsid, out);
}

}  // namespace

frmMain::frmMain(ControlFactory factory, AppState& state)
    : factory_(factory ? std::move(factory) : ControlFactory(&CreateRegisteredControl)),
      app_(state),
      loop_(CommandLoop::Hooks{
          [this] { timer_->start(); }, [this] { timer_->stop(); }, [this] { return ModalOpen(); },
          [this] { Unload(); }, [this](const QString& code) { RunCommand(code); }}),
      trayAvailable_(QSystemTrayIcon::isSystemTrayAvailable()) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Xendora"));
  resize(900, 640);
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(200);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { loop_.Tick(); });
  BuildMenus();
  BuildToolbar();
  BuildStatusBar();
  ConnectCommands();
  MainHooksForOptions() = {[this] { EnableMenuChoces(); }, [this](bool locked) { ShowSecurity(locked); }};
}

frmMain::~frmMain() {
  MainHooksForOptions() = {};
  DisconnectEvents();
  if (MainCompCtl() == control_.Get()) SetMainCompCtl(nullptr);
  delete controlWindow_.data();
  control_.Reset();
}

bool frmMain::CreateControl() {
  HRESULT hr = factory_(&control_);
  xcom::ComPtr<IControlWindow> window;
  void* widget = nullptr;
  if (SUCCEEDED(hr) && control_) hr = control_.As(&window);
  if (SUCCEEDED(hr)) hr = window->CreateControlWindow(static_cast<QWidget*>(this), &widget);
  if (FAILED(hr) || !widget) {
    control_.Reset();
    // The program still starts, with no catalog browser; the reason stands in the status bar.
    const vbrt::RuntimeError e = vbrt::RuntimeError::FromHResult(FAILED(hr) ? hr : E_FAIL);
    SetPanelText(QStringLiteral("1"), QStringLiteral("ERROR:  ") + QString::number(e.number()) + u' ' +
                                          QString::fromStdU16String(e.description()));
    return false;
  }
  controlWindow_ = static_cast<QWidget*>(widget);
  controlWindow_->setObjectName(QStringLiteral("CompCtl1"));
  setCentralWidget(controlWindow_);
  SetMainCompCtl(control_.Get());
  ConnectEvents();
  return true;
}

void frmMain::ConnectEvents() {
  xcom::ComPtr<BrowserEvents> sink;
  if (FAILED(xcom::MakeComponent(ProgramModule(), &sink))) return;
  sink->owner = this;
  xcom::ComPtr<IConnectionPointContainer> container;
  xcom::ComPtr<IConnectionPoint> point;
  if (FAILED(control_.As(&container)) ||
      FAILED(container->FindConnectionPoint(DIID__IVemraStorage, point.ReleaseAndGetAddressOf())) ||
      FAILED(point->Advise(static_cast<IDispatch*>(sink.Get()), &sinkCookie_))) {
    return;
  }
  sink_ = xcom::ComPtr<IUnknown>(static_cast<IUnknown*>(static_cast<IDispatch*>(sink.Get())));
}

void frmMain::DisconnectEvents() {
  if (!control_ || !sinkCookie_) return;
  xcom::ComPtr<IConnectionPointContainer> container;
  xcom::ComPtr<IConnectionPoint> point;
  if (SUCCEEDED(control_.As(&container)) &&
      SUCCEEDED(container->FindConnectionPoint(DIID__IVemraStorage, point.ReleaseAndGetAddressOf()))) {
    point->Unadvise(sinkCookie_);
  }
  sinkCookie_ = 0;
  sink_.Reset();
}

void frmMain::Form_Load() {
  // 1. The splash, modeless, owned by the main window.
  splash_ = new frmSplash(this);
  splash_->show();
  splash_->repaint();
  CreateControl();
  // 2. Values the shared state starts from.
  app_.print.IndentWidth = 5;
  app_.print.PrintHeader = true;
  app_.print.PrintFooter = true;
  app_.print.PageColumnCount = 1;
  app_.shell.LastDriveIndex = -1;
  // 3. The settings.
  Settings& s = app_.settings;
  try {
    LoadSettings(s, SettingsFilePath());
  } catch (const vbrt::RuntimeError& e) {
    ShowError(QStringLiteral("ERROR:  "), e.number(), QString::fromStdU16String(e.description()));
  }
  // 4. The control proposes this machine's floppy, Zip and CD drives when none is set.
  if (control_ && s.DriveLetter(kFloppyDisk).isEmpty() && s.DriveLetter(kZipDisk).isEmpty() &&
      s.DriveLetter(kCdRwDisk).isEmpty()) {
    xcom::Bstr floppy = ToBstr(s.DriveLetter(kFloppyDisk)), zip = ToBstr(s.DriveLetter(kZipDisk)),
               cd = ToBstr(s.DriveLetter(kCdRwDisk));
    BSTR f = floppy.Detach(), z = zip.Detach(), c = cd.Detach();
    control_->GetPossibleDrives(&f, &z, &c);
    floppy.Attach(f);
    zip.Attach(z);
    cd.Attach(c);
    s.SetDriveLetter(kFloppyDisk, FromBstr(floppy.Get()));
    s.SetDriveLetter(kZipDisk, FromBstr(zip.Get()));
    s.SetDriveLetter(kCdRwDisk, FromBstr(cd.Get()));
  }
  // 5. The report tables live in the program folder (the report table opens them there).
  // 6. The catalog of the last run, behind the password gate. An empty name (left in the
  // settings file by a refused open of an earlier version) names no catalog either.
  if (s.LastCatalogPath != QLatin1String("-1") && !s.LastCatalogPath.isEmpty() && control_) {
    const xcom::Bstr name = ToBstr(s.LastCatalogPath);
    HRESULT hr = control_->put_DocFileName(name.Get());
    bool ok = SUCCEEDED(hr);
    if (!ok) {
      const vbrt::RuntimeError e = vbrt::RuntimeError::FromHResult(hr);
      ShowError(QStringLiteral("ERROR:  "), e.number(), QString::fromStdU16String(e.description()));
    } else {
      try {
        ok = CheckThePassword();
      } catch (const vbrt::RuntimeError& e) {
        ok = false;
        ShowError(QStringLiteral("ERROR:  "), e.number(), QString::fromStdU16String(e.description()));
      }
    }
    if (!ok) {
      const xcom::Bstr none = ToBstr(QString());
      control_->put_DocFileName(none.Get());
      app_.login.LoginState.clear();
    }
    control_->Refresh();
  }
  // 7 to 10.
  EnableMenuChoces();
  main_.FirstActivatePending = true;
  SetCatalogNameInStatusBar();
  app_.print.MouseTrace = true;
  app_.print.LabelColumnCount = 1;
  app_.print.LabelRowCount = 1;
}

void frmMain::Form_Activate() {
  if (main_.FirstActivatePending) {
    main_.FirstActivatePending = false;
    if (main_.NoDriveAssigned) {
      forms::MsgBox(QStringLiteral("Non of the drives available have been assigned the corresponding") + u'\r' +
                        QStringLiteral(" drive letter.  Please setup drive letter using File|Options menu command."),
                    forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
      OptionsCommand();
    }
  }
}

bool frmMain::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && main_.FirstActivatePending) {
    // Out of the activation itself: the warning and the options dialog are modal.
    QTimer::singleShot(0, this, [this] { Form_Activate(); });
  }
  return QMainWindow::event(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (unloading_) {
    event->accept();
    return;
  }
  event->ignore();
  HideIntoTray();
}

void frmMain::HideIntoTray() {
  if (!trayAvailable_ || !control_) {
    // Without a tray there would be no way back: minimise instead.
    showMinimized();
    return;
  }
  control_->ShowInSysTray(1);
  hide();
}

void frmMain::ShowFromTray() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void frmMain::ActivateFromSecondInstance() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  showNormal();
  showMaximized();
  raise();
  activateWindow();
}

void frmMain::Form_Unload() {
  UnloadPageSetup();
  try {
    SaveSettings(app_.settings, SettingsFilePath());
  } catch (const vbrt::RuntimeError& e) {
    ShowError(QStringLiteral("ERROR:  "), e.number(), QString::fromStdU16String(e.description()));
  }
}

void frmMain::Unload() {
  if (unloaded_) return;
  unloading_ = true;
  Form_Unload();
  unloaded_ = true;
  if (control_) control_->ShowInSysTray(0);
  if (splash_) splash_->close();
  close();
  emit unloaded();
  if (quitOnUnload_) QCoreApplication::quit();
}

bool frmMain::ModalOpen() const {
  return QApplication::activeModalWidget() != nullptr || app_.shell.OpenDialogCount > 0 || loop_.Running();
}

void frmMain::ShowError(const QString& prefix, int number, const QString& description) {
  forms::MsgBox(prefix + QString::number(number) + u'\r' + description, forms::vbOKOnly);
}

void frmMain::CompCtl1_TrayIconNotify(LONG lParam, LONG) {
  if (lParam == TRAY_LBUTTONDOWN || lParam == TRAY_RBUTTONDOWN) {
    Popup(QStringLiteral("mnuIcon"));
  } else if (lParam == TRAY_LBUTTONDBLCLK) {
    if (app_.shell.OpenDialogCount == 0 && !ModalOpen()) ShowFromTray();
  }
}

void frmMain::Popup(const QString& name) {
  lastPopup_ = name;
  if (QMenu* menu = Menu(name); menu && popupsShown_) menu->popup(QCursor::pos());
}

void frmMain::CompCtl1_Click(SHORT pane) { main_.LastClickPane = pane; }

void frmMain::CompCtl1_DblClick(SHORT pane) {
  if (pane != kListPane || !control_) return;
  xcom::Variant info;
  control_->GetSelectedItem(pane, &info);
  app_.selection.SelectedItemInfo = FromControlVariant(info);
  if (IsItemInfo(app_.selection.SelectedItemInfo)) {
    bool plain = false;
    OpenCatalogedFile(control_.Get(), app_.settings, ItemInfoText(app_.selection.SelectedItemInfo, kInfoName), plain);
  }
}

void frmMain::CompCtl1_RClick(SHORT pane) {
  if (!control_) return;
  xcom::Variant info;
  control_->GetSelectedItem(pane, &info);
  app_.selection.SelectedItemInfo = FromControlVariant(info);
  main_.RightClickPane = pane;
  main_.LastClickPane = pane;
  const RightClickPlan plan = RightClickPlanFor(app_.selection.SelectedItemInfo, app_.login.LoginState);
  if (plan.menu == PopupMenu::None) return;
  if (plan.diskType) EnableSubMenu(*plan.diskType);
  auto show = [this](const char* name, const std::optional<bool>& visible) {
    if (visible) Action(QString::fromLatin1(name))->setVisible(*visible);
  };
  show("mnuDel1", plan.deleteVisible);
  show("mnuDel2", plan.folderDeleteVisible);
  show("mnuRename1", plan.renameVisible);
  show("mnuProp1", plan.propVisible);
  show("mnuPrnLabel1", plan.printLabelVisible);
  Popup(plan.menu == PopupMenu::Folder ? QStringLiteral("mnuFolder") : QStringLiteral("mnuJRX"));
}

void frmMain::CompCtl1_TreeNodeChanged(const QVariant& item) {
  app_.selection.SelectedDiskNumber = 0;
  const TreeNodeStatus status = TreeNodeStatusOf(item);
  if (status.panel1) SetPanelText(QStringLiteral("1"), *status.panel1);
  if (status.panel2) SetPanelText(QStringLiteral("2"), *status.panel2);
  app_.selection.SelectedDiskNumber = status.selectedDiskNumber;
  EnableFileMenuItems(status.fileItemsEnabled);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == secPanel_ && mouse->button() == Qt::LeftButton) {
      SecPanelClick();
      return true;
    }
    if (watched == toolbar_ && mouse->button() == Qt::RightButton) {
      lastPopup_ = QStringLiteral("mnuView");
      if (popupsShown_) Menu(QStringLiteral("mnuView"))->popup(mouse->globalPosition().toPoint());
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace app
