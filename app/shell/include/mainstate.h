// The main window's state and decisions, without widgets: the enable rules that follow the
// drive letters, the selection and the login; the status texts of the selected tree node; what
// a right click pops up; the catalog name panel.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

#include "appstate.h"

namespace app {

// The pane an event came from.
enum Pane : SHORT { kTreePane = 0, kListPane = 1 };

// frmMain's fields.
struct MainWindowState {
  bool FirstActivatePending = false;
  bool NoDriveAssigned = true;
  QString PendingCommand;
  SHORT RightClickPane = kTreePane;
  SHORT LastClickPane = kTreePane;
};

// True when none of the media codes 0 to 5 has a drive (EnableMenuChoces).
bool NoDriveAssignedIn(const Settings& settings);

// The "CAT" panel: the part of the catalog path after its last folder separator ("\\" or "/";
// the whole text without one).
QString CatalogNameText(const QString& lastCatalogPath);

// The disk popup for a disk of that type text (EnableSubMenu).
struct DiskMenuEnables {
  bool add = false;        // mnuAdd1
  bool update = true;      // mnuUpdate1
  bool printLabel = false;  // mnuPrnLabel1
};
DiskMenuEnables DiskMenuFor(const QString& typeText, const Settings& settings);

// "SIZE: 1,422K (1,456,128 Bytes)".
QString SizeText(qlonglong bytes);

// What a new tree node shows (TreeNodeChanged).
struct TreeNodeStatus {
  std::optional<QString> panel1;  // nothing: unchanged
  std::optional<QString> panel2;
  double selectedDiskNumber = 0;
  bool fileItemsEnabled = false;  // EnableFileMenuItems
};
TreeNodeStatus TreeNodeStatusOf(const QVariant& item);

// What a right click pops up and how the disk popup's items show.
enum class PopupMenu { None, Folder, Disk };
struct RightClickPlan {
  PopupMenu menu = PopupMenu::None;
  std::optional<QString> diskType;     // EnableSubMenu with it (disks)
  std::optional<bool> deleteVisible;   // mnuDel1 (nothing: as before)
  std::optional<bool> folderDeleteVisible;  // mnuDel2, which keeps the last disk's setting
  std::optional<bool> renameVisible;   // mnuRename1
  std::optional<bool> propVisible;     // mnuProp1
  std::optional<bool> printLabelVisible;  // mnuPrnLabel1
};
RightClickPlan RightClickPlanFor(const QVariant& item, const QString& loginState);

// The insert-disk question of a toolbar entry ("ADDCD", "UPDZIP" ...) and the template folder
// of an update entry.
QString InsertDiskQuestion(const QString& key);
QString TemplateFolderOfEntry(const QString& key);

}  // namespace app
