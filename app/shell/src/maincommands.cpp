// frmMain's commands: the menu, toolbar, tray and status-bar handlers, the deferred commands'
// launchers, and the catalog file commands.
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "catalogfiles.h"
#include "forms.h"
#include "frmabout.h"
#include "frmmain.h"
#include "frmoptions.h"
#include "global.h"
#include "icompctl.h"
#include "iteminfovariant.h"
#include "passwordgate.h"
#include "printlaunchers.h"
#include "programfolder.h"
#include "shellexecute.h"
#include "windowlinks.h"

namespace app {

namespace {
const QString kNoCatalog = QStringLiteral("There is no open catalog. Please open one with File|Open/New Catalog.");

// The browser's pane that holds the keyboard focus (a label editor open in a pane counts as
// that pane); none when the focus is outside the browser.
std::optional<SHORT> PaneWithFocus(const QWidget* controlWindow) {
  QWidget* focus = QApplication::focusWidget();
  if (!controlWindow || !focus || !controlWindow->isAncestorOf(focus)) return std::nullopt;
  for (QWidget* w = focus; w && w != controlWindow; w = w->parentWidget()) {
    if (w->objectName() == QLatin1String("list")) return kListPane;
    if (w->objectName() == QLatin1String("tree")) return kTreePane;
  }
  return std::nullopt;
}
}  // namespace

void frmMain::ConnectCommands() {
  auto on = [this](const char* name, std::function<void()> handler) {
    QAction* action = Action(QString::fromLatin1(name));
    Q_ASSERT(action);
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
  };
  auto deferred = [this, on](const char* name, const char* code, std::function<void()> before = nullptr) {
    on(name, [this, code, before] {
      if (before) before();
      StoreCommand(QString::fromLatin1(code));
    });
  };
  // The tray menu acts only while no modal window is open.
  auto tray = [this, on](const char* name, std::function<void()> handler) {
    on(name, [this, handler] {
      if (!ModalOpen()) handler();
    });
  };
  auto reportZero = [this] { app_.print.ReportType = 0; };

  deferred("mnuAdd", "AddDisk");
  deferred("mnuAdd1", "AddDisk");
  deferred("mnuUpdateDisk", "UpdateDisk");
  deferred("mnuUpdate1", "UpdateDisk");
  deferred("mnuPrintFull", "FULLLB");
  deferred("mnuPrintFull1", "FULLLB");
  deferred("mnuBatchPrint", "BatchLoadPrint");
  deferred("mnuBatchPrint1", "BatchLoadPrint");
  deferred("mnuToolPrintDir", "ToolPrintDir");
  deferred("mnuPrintSelDiskRpt", "PrintDiskReport", reportZero);
  deferred("mnuPrnRpt", "PrintDiskReport", reportZero);
  deferred("mnuPrintSelection", "PrintSelection", reportZero);
  deferred("mnuPrnLabel1", "PrintSelection", reportZero);
  for (const LabelStockItem& item : kLabelStockItems) {
    deferred(item.action, "UserDefinedLabels", [this, item] {
      if (item.templateKind) app_.print.TemplateKind = *item.templateKind;
      app_.print.ReportType = item.reportType;
    });
  }

  for (const char* name : {"mnuFind", "mnuFind1"}) on(name, [this] { FindCommand(); });
  for (const char* name : {"mnuFileDelete", "mnuDel1", "mnuDel2"}) on(name, [this] { DeleteCommand(); });
  // File|Rename acts in the pane the user works in; the popup's Rename in the pane it popped up over.
  on("mnuFileRename", [this] { RenameCommand(PaneWithFocus(controlWindow_).value_or(main_.LastClickPane)); });
  on("mnuRename1", [this] { RenameCommand(main_.RightClickPane); });
  for (const char* name : {"mnuFileProp", "mnuProp1", "mnuProp2"}) on(name, [this] { PropertiesCommand(); });
  for (const char* name : {"mnuRefresh", "mnuRefresh1", "mnuRefresh2"}) on(name, [this] { RefreshCommand(); });
  for (const char* name : {"mnuOptions", "mnuOptions1"}) on(name, [this] { OptionsCommand(); });
  on("mnuOpen", [this] { OpenCatalog(); });
  for (const char* name : {"mnuBackup", "mnuBackup1"}) on(name, [this] { BackupCatalog(); });
  for (const char* name : {"mnuCompress", "mnuCompress1"}) on(name, [this] { CompressCatalog(); });
  on("mnuClose", [this] { HideIntoTray(); });
  on("mnuExit", [this] { Unload(); });
  on("mnuAbout", [this] { AboutCommand(); });
  on("mnuHelpDocs", [this] { HelpDocsCommand(); });
  on("mnuHelpWeb", [this] { HelpWebCommand(); });
  on("mnuViewBtn", [this] { toolbar_->setVisible(Action(QStringLiteral("mnuViewBtn"))->isChecked()); });
  on("mnuViewStat", [this] { statusBar()->setVisible(Action(QStringLiteral("mnuViewStat"))->isChecked()); });
  on("mnuViewTxtLab", [this] { SetTextLabels(Action(QStringLiteral("mnuViewTxtLab"))->isChecked()); });

  tray("mnuIconQolv", [this] { ShowFromTray(); });
  tray("mnuIconAdd", [this] { StoreCommand(QStringLiteral("AddDisk")); });
  tray("mnuIconUpdate", [this] { StoreCommand(QStringLiteral("UpdateDisk")); });
  tray("mnuIconFind", [this] { FindCommand(); });
  tray("mnuIconOptions", [this] { OptionsCommand(); });
  tray("mnuSubFloppy", [this] { TrayPrintLabel(QStringLiteral("UPDFLP")); });
  tray("mnuSubZip", [this] { TrayPrintLabel(QStringLiteral("UPDZIP")); });
  tray("mnuSubCD", [this] { TrayPrintLabel(QStringLiteral("UPDCD")); });
  tray("mnuIconExit", [this] {
    if (control_) control_->ShowInSysTray(0);
    loop_.StoreExit();
  });

  for (QAction* action : toolbar_->actions()) {
    const QString name = action->objectName();
    if (!name.startsWith(QLatin1String("Toolbar2."))) continue;
    const QString key = name.mid(9);
    connect(action, &QAction::triggered, this, [this, key] { ToolbarButtonClick(key); });
    if (QMenu* menu = action->menu()) {
      for (QAction* entry : menu->actions()) {
        connect(entry, &QAction::triggered, this, [this, entry] { ToolbarButtonMenuClick(entry->objectName()); });
      }
    }
  }
}

void frmMain::StoreCommand(const QString& code) { loop_.Store(code); }

bool frmMain::CheckThePassword() {
  return app::CheckThePassword(control_.Get(), this, [this](bool locked) { ShowSecurity(locked); }, app_.login);
}

void frmMain::EnableMenuChoces() {
  main_.NoDriveAssigned = NoDriveAssignedIn(app_.settings);
  const bool enabled = !main_.NoDriveAssigned;
  for (const char* name : {"Toolbar2.Update", "Toolbar2.Add", "mnuAdd", "mnuUpdateDisk", "mnuAdd1", "mnuUpdate1"}) {
    Action(QString::fromLatin1(name))->setEnabled(enabled);
  }
}

void frmMain::SetCatalogNameInStatusBar() {
  SetPanelText(QStringLiteral("CAT"), CatalogNameText(app_.settings.LastCatalogPath));
}

void frmMain::EnableFileMenuItems(bool enabled) {
  for (const char* name : {"mnuFileDelete", "mnuFileRename", "mnuFileProp"}) {
    Action(QString::fromLatin1(name))->setEnabled(enabled);
  }
}

void frmMain::EnableSubMenu(const QString& typeText) {
  const DiskMenuEnables e = DiskMenuFor(typeText, app_.settings);
  Action(QStringLiteral("mnuAdd1"))->setEnabled(e.add);
  Action(QStringLiteral("mnuUpdate1"))->setEnabled(e.update);
  Action(QStringLiteral("mnuPrnLabel1"))->setEnabled(e.printLabel);
}

bool frmMain::CatalogOpen() const {
  if (!control_) return false;
  xcom::Bstr name;
  control_->get_DocFileName(name.ReleaseAndGetAddressOf());
  return name.Length() > 0 && !app_.login.LoginState.isEmpty();
}

void frmMain::FindCommand() {
  if (!RequireCatalog()) return;
  app_.shell.PendingDiskCommand.clear();
  xcom::Variant info;
  control_->GetSelectedItem(kTreePane, &info);
  app_.selection.SelectedItemInfo = FromControlVariant(info);
  ShowFind(this);
}

void frmMain::PropertiesCommand() {
  if (!CatalogOpen()) return;
  xcom::Variant info;
  control_->GetSelectedItem(main_.LastClickPane, &info);
  app_.selection.SelectedItemInfo = FromControlVariant(info);
  if (IsItemInfo(app_.selection.SelectedItemInfo)) ShowProperties(this);
}

void frmMain::RenameCommand(SHORT pane) {
  if (control_) control_->Rename(pane);
}

void frmMain::DeleteCommand() {
  // The browser's own delete handling acts on its selection.
  QWidget* target = QApplication::focusWidget();
  if (!target) target = controlWindow_;
  if (!target) return;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

void frmMain::RefreshCommand() {
  if (control_) control_->Refresh();
}

void frmMain::OptionsCommand(const QString& showOnly) {
  auto* options = new frmOptions(this, control_.Get(), app_);
  if (!showOnly.isEmpty()) options->ShowOnly(showOnly);
  options->Load();
  forms::ShowModal(options, this);
  delete options;
}

void frmMain::AboutCommand() {
  frmAbout about(this);
  forms::ShowModal(&about, this);
}

void frmMain::HelpDocsCommand() {
  const QString docs = QString::fromStdString(platform::ShippedFile("XendoraDocs.pdf").string());
  forms::ShellExecuteA(this, QStringLiteral("open"), docs, QString(), QString(), forms::SW_SHOWNORMAL);
}

void frmMain::HelpWebCommand() {
  forms::ShellExecuteA(this, QStringLiteral("open"), WebSiteAddress(), QString(), QString(), forms::SW_SHOWNORMAL);
}

void frmMain::ToolbarButtonClick(const QString& key) {
  if (key == QLatin1String("Add")) {
    if (!RequireCatalog()) return;
    SetPanelText(QStringLiteral("1"), QStringLiteral("Adding files to the catalog. Please wait ..."));
    app_.shell.PendingDiskCommand.clear();
    ShowAddDisk(this);
  } else if (key == QLatin1String("Update")) {
    if (!RequireCatalog()) return;
    app_.shell.PendingDiskCommand.clear();
    SetPanelText(QStringLiteral("1"), QStringLiteral("Updating files in the catalog. Please wait ..."));
    app_.print.PrintOnlyMode = false;
    if (control_) {
      xcom::Variant info;
      control_->GetSelectedItem(kTreePane, &info);
      app_.selection.SelectedItemInfo = FromControlVariant(info);
    }
    ShowUpdateDisk(this);
  } else if (key == QLatin1String("Labels") || key == QLatin1String("Print") || key == QLatin1String("Tools")) {
    if (key != QLatin1String("Tools")) app_.shell.PendingDiskCommand.clear();
    const QString menu = key == QLatin1String("Labels")  ? QStringLiteral("mnuLabels")
                         : key == QLatin1String("Print") ? QStringLiteral("mnuPrint")
                                                         : QStringLiteral("mnuTools");
    lastPopup_ = menu;
    QWidget* button = toolbar_->widgetForAction(Action(QStringLiteral("Toolbar2.") + key));
    if (popupsShown_ && button) Menu(menu)->popup(button->mapToGlobal(QPoint(0, button->height())));
  } else if (key == QLatin1String("Find")) {
    FindCommand();
  } else if (key == QLatin1String("Options")) {
    OptionsCommand();
  }
  SetPanelText(QStringLiteral("1"), QStringLiteral("Done."));
}

void frmMain::ToolbarButtonMenuClick(const QString& key) {
  const bool add = key.startsWith(QLatin1String("ADD"));
  if (!add && !key.startsWith(QLatin1String("UPD"))) return;
  // Adding and updating write into the catalog: without one open, say so before asking for a disk.
  if (!RequireCatalog()) return;
  const int answer = forms::MsgBox(InsertDiskQuestion(key), forms::vbOKCancel + forms::vbExclamation,
                                   QStringLiteral("WARNING!"));
  if (!add) app_.print.TemplateFolder = TemplateFolderOfEntry(key);
  if (answer != forms::vbOK) return;
  app_.shell.PendingDiskCommand = key;
  if (add) {
    SetPanelText(QStringLiteral("1"), QStringLiteral("Adding files to the catalog. Please wait ..."));
    ShowAddDisk(this);
    SetPanelText(QStringLiteral("1"), QStringLiteral("Done"));
  } else {
    SetPanelText(QStringLiteral("1"), QStringLiteral("Updating files in the catalog. Please wait ..."));
    ShowUpdateDisk(this);
  }
}

void frmMain::TrayPrintLabel(const QString& key) {
  QAction* entry = findChild<QAction*>(key);
  if (entry && entry->isEnabled() && Action(QStringLiteral("Toolbar2.Update"))->isEnabled()) {
    ToolbarButtonMenuClick(key);
  } else {
    OptionsCommand();
  }
}

void frmMain::SecPanelClick() {
  const QString& login = app_.login.LoginState;
  if (login == QLatin1String("USER_LOGIN") || login == QLatin1String("MASTER_LOGIN")) {
    OptionsCommand(QStringLiteral("SECURITY_OPTION"));
  }
}

void frmMain::RunCommand(const QString& code) {
  auto fullReport = [this] { app_.print.TemplateFolder = QStringLiteral("Full Report"); };
  if (code == QLatin1String("FULLLB")) {
    fullReport();
    PrintFullReport();
  } else if (code == QLatin1String("ToolPrintDir")) {
    fullReport();
    DoToolPrintDir();
  } else if (code == QLatin1String("PrintDiskReport")) {
    fullReport();
    DoPrintDiskReport();
  } else if (code == QLatin1String("UserDefinedLabels")) {
    DoUserDefinedLabels();
  } else if (code == QLatin1String("PrintSelection")) {
    DoPrintSelection();
  } else if (code == QLatin1String("UpdateDisk")) {
    if (!RequireCatalog()) return;
    SetPanelText(QStringLiteral("1"), QStringLiteral("Updating files in the catalog. Please wait ..."));
    app_.shell.PendingDiskCommand.clear();
    ShowUpdateDisk(this);
    SetPanelText(QStringLiteral("1"), QStringLiteral("Done"));
  } else if (code == QLatin1String("AddDisk")) {
    if (!RequireCatalog()) return;
    app_.shell.PendingDiskCommand.clear();
    app_.print.PrintOnlyMode = false;
    if (control_) {
      xcom::Variant info;
      control_->GetSelectedItem(kTreePane, &info);
      app_.selection.SelectedItemInfo = FromControlVariant(info);
    }
    ShowAddDisk(this);
  } else if (code == QLatin1String("BatchLoadPrint")) {
    SetBatchPrint();
    ShowPageSetup(this);
  }
}

bool frmMain::FindSelectedDisk() {
  // Printing reads the catalog: without one open nothing is printed.
  if (!CatalogOpen()) return false;
  QVariant& result = app_.selection.AddUpdateResult;
  result = 0;
  xcom::Variant info = xcom::Variant::I4(0);
  control_->GetSelectedItem(main_.LastClickPane, &info);
  result = FromControlVariant(info);
  if (!IsItemInfo(result) && result == QVariant(0) && main_.LastClickPane == kListPane) {
    xcom::Variant tree = xcom::Variant::I4(0);
    control_->GetSelectedItem(kTreePane, &tree);
    result = FromControlVariant(tree);
  }
  return IsItemInfo(result);
}

namespace {
void SetInfo(QVariant& item, int index, const QVariant& value) {
  QVariantList list = item.toList();
  list[index] = value;
  item = list;
}
}  // namespace

void frmMain::PrintFullReport() {
  if (!FindSelectedDisk()) return;
  SetInfo(app_.selection.AddUpdateResult, kInfoName, QString());
  app_.print.TemplateFolder = QStringLiteral("HD");
  SetInfo(app_.selection.AddUpdateResult, kInfoType, QStringLiteral("Local Disk"));
  app_.print.PrintOnlyMode = true;
  ShowUpdateDisk(this);
  app_.print.PrintOnlyMode = false;
}

void frmMain::DoPrintDiskReport() {
  if (!FindSelectedDisk()) return;
  if (ItemInfoText(app_.selection.AddUpdateResult, kInfoType).isEmpty()) {
    forms::MsgBox(NoDiskSelectedWarning(), forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
    return;
  }
  app_.print.TemplateFolder = QStringLiteral("HD");
  SetInfo(app_.selection.AddUpdateResult, kInfoType, QStringLiteral("Local Disk"));
  app_.print.PrintOnlyMode = true;
  ShowUpdateDisk(this);
  app_.print.PrintOnlyMode = false;
}

void frmMain::DoPrintSelection() {
  if (!FindSelectedDisk()) return;
  const std::optional<LabelSelectionPlan> plan =
      PlanPrintSelection(ItemInfoText(app_.selection.AddUpdateResult, kInfoType));
  if (!plan) {
    forms::MsgBox(NoDiskSelectedWarning(), forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
    return;
  }
  if (plan->pendingDiskCommand) app_.shell.PendingDiskCommand = *plan->pendingDiskCommand;
  app_.print.TemplateFolder = plan->templateFolder;
  app_.print.PrintOnlyMode = true;
  ShowUpdateDisk(this);
  app_.print.PrintOnlyMode = false;
}

void frmMain::DoToolPrintDir() {
  if (!control_) return;
  const xcom::Bstr start = ToBstr(QStringLiteral("C:\\"));
  xcom::Bstr folder;
  control_->BrowseForFolder(start.Get(), folder.ReleaseAndGetAddressOf());
  if (folder.Length() == 0) return;
  app_.print.LabelMedium = 0;
  PrintDirectory(FromBstr(folder.Get()));
  ShowUpdateDisk(this);
}

void frmMain::DoUserDefinedLabels() {
  const LabelPagePlan plan = PlanUserDefinedLabels(app_.print.ReportType, app_.print.TemplateKind);
  ApplyLabelPlan(plan, app_.print);
  ApplyPageLayout(plan, reports::CurrentPageSettings());
  ShowPrintPreview();
  app_.print.TemplateFolder.clear();
}

CatalogFiles frmMain::CatalogFileCommands() {
  CatalogFiles::Hooks hooks;
  hooks.checkPassword = [this] { return CheckThePassword(); };
  hooks.status = [this](const QString& text) { SetPanelText(QStringLiteral("1"), text); };
  hooks.catalogNameChanged = [this](const QString& open) {
    SetPanelText(QStringLiteral("CAT"), CatalogNameText(open));
  };
  hooks.owner = this;
  return CatalogFiles(control_.Get(), app_.settings, app_.login, platform::ProgramFolder(), hooks);
}

bool frmMain::RequireCatalog() {
  if (CatalogOpen()) return true;
  forms::MsgBox(kNoCatalog, forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
  return false;
}

void frmMain::OpenCatalog() { CatalogFileCommands().Open(); }

void frmMain::BackupCatalog() {
  if (RequireCatalog()) CatalogFileCommands().Backup();
}

void frmMain::CompressCatalog() {
  if (RequireCatalog()) CatalogFileCommands().Compress();
}

}  // namespace app
