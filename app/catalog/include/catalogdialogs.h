// What the cataloguing dialogs (add disk, update disk) work with: the shared state, the main
// window's browser control, and the options dialog of the shell, reached through a call the
// program sets (it does nothing while unset).
#pragma once

#include <QString>

#include <functional>

#include "icompctl.h"

class QWidget;

namespace app {
struct AppState;
struct Settings;
}

namespace app::catalog {

struct CatalogDialogParts {
  AppState* state = nullptr;
  ICompCtl* compCtl = nullptr;
  // frmOptions shown modally; with a media type name it opens on that type's serial.
  std::function<void(const QString& mediaTypeName)> showOptions;
};

// The parts of the whole program: Global() and the main window's browser control.
CatalogDialogParts GlobalDialogParts();

// Writes the settings to the program folder's "ctgr.ini". A file that cannot be written is
// reported ("ERROR:   " + number + CR + description) and the settings stay as they are in
// memory, to be written by the next save.
void SaveSettingsReportingFailure(const Settings& settings);

// Selects the item at `path` in the browser's tree ("" for the catalog root), then takes the
// disk number of the tree's selection into SelectedDiskNumber as the main window's selection
// handler does, so that the messages that follow name that disk whether or not the browser
// raised a selection event (it raises none when its tree stood there already).
void SelectInBrowser(const CatalogDialogParts& parts, const QString& path);

// The catalog the browser control has open ("" without a control).
QString CatalogFileOf(ICompCtl* compCtl);

// Sets the program's window links to the cataloguing windows (add disk, update disk, find,
// properties), over Global() and the main window's browser control.
void LinkCatalogWindows();

// The folder of a real drive the next update-disk dialog lists for printing (DoPrintDir), taken
// by that dialog; "" for none.
void DoPrintDir(const QString& folder);
QString TakePrintDirectory();

// Shows the add-disk dialog / the update-disk dialog modally.
void ShowAddDiskDialog(const CatalogDialogParts& parts, QWidget* owner = nullptr);
void ShowUpdateDialog(const CatalogDialogParts& parts, QWidget* owner = nullptr);

}  // namespace app::catalog
