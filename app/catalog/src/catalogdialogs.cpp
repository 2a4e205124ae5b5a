// Opening the cataloguing dialogs with the program's parts.
#include "catalogdialogs.h"

#include "appstate.h"
#include "forms.h"
#include <QApplication>

#include "frmadddisk.h"
#include "frmfind.h"
#include "frmoptions.h"
#include "frmprop.h"
#include "frmupdate.h"
#include "global.h"
#include "iteminfovariant.h"
#include "mainstate.h"
#include "settings.h"
#include "vbrt.h"
#include "windowlinks.h"

#include <utility>

namespace app::catalog {

void SaveSettingsReportingFailure(const Settings& settings) {
  try {
    app::SaveSettings(settings, SettingsFilePath());
  } catch (const vbrt::RuntimeError& e) {
    forms::MsgBox(QStringLiteral("ERROR:   ") + QString::number(e.number()) + QChar(u'\r') +
                  QString::fromStdU16String(e.description()));
  }
}

void SelectInBrowser(const CatalogDialogParts& parts, const QString& path) {
  if (!parts.compCtl) return;
  parts.compCtl->SetSelectedItem(ToBstr(path).Get(), 0);
  xcom::Variant selected;
  if (SUCCEEDED(parts.compCtl->GetSelectedItem(0, &selected)) && parts.state)
    parts.state->selection.SelectedDiskNumber = TreeNodeStatusOf(FromControlVariant(selected)).selectedDiskNumber;
}

CatalogDialogParts GlobalDialogParts() {
  CatalogDialogParts p;
  p.state = &Global();
  p.compCtl = MainCompCtl();
  p.showOptions = [](const QString& mediaTypeName) {
    frmOptions options(QApplication::activeModalWidget(), MainCompCtl(), Global());
    if (!mediaTypeName.isEmpty()) options.ShowOnly(mediaTypeName);
    options.Load();
    forms::ShowModal(&options, QApplication::activeModalWidget());
  };
  return p;
}

namespace {
QString& PendingPrintDirectory() {
  static QString folder;
  return folder;
}
}  // namespace

void DoPrintDir(const QString& folder) { PendingPrintDirectory() = folder; }

QString TakePrintDirectory() { return std::exchange(PendingPrintDirectory(), QString()); }

void LinkCatalogWindows() {
  WindowLinks& links = Links();
  links.PrintDirectory = [](const QString& folder) { DoPrintDir(folder); };
  links.ShowAddDisk = [](QWidget* owner) { ShowAddDiskDialog(GlobalDialogParts(), owner); };
  links.ShowUpdateDisk = [](QWidget* owner) { ShowUpdateDialog(GlobalDialogParts(), owner); };
  links.ShowFind = [](QWidget* owner) {
    frmFind window(GlobalFindWindowParts(MainCompCtl()), owner);
    window.setWindowModality(Qt::ApplicationModal);
    forms::ShowModal(&window, owner);
  };
  links.ShowProperties = [](QWidget* owner) {
    frmProp dialog(Global(), MainCompCtl(), owner);
    forms::ShowModal(&dialog, owner);
  };
}

QString CatalogFileOf(ICompCtl* compCtl) {
  if (!compCtl) return QString();
  xcom::Bstr name;
  if (FAILED(compCtl->get_DocFileName(name.ReleaseAndGetAddressOf()))) return QString();
  return FromBstr(name.Get());
}

void ShowAddDiskDialog(const CatalogDialogParts& parts, QWidget* owner) {
  frmAddDisk dialog(parts, owner);
  forms::ShowModal(&dialog, owner);
}

void ShowUpdateDialog(const CatalogDialogParts& parts, QWidget* owner) {
  frmUpdate dialog(parts, owner);
  forms::ShowModal(&dialog, owner);
}

}  // namespace app::catalog
