// Catalog listings: a disk's contents as tree and list views (FillReportTree), as rows of the
// directory report (RunDirectoryReport), and a drive's contents as rows of the drive listing
// (OnDiskDirItem); each a driver that starts a walk and the callback the walk calls per item.
#pragma once

#include <QString>

#include <QStringList>

#include <optional>
#include <ostream>

#include "icompctl.h"
#include "iofilegraber.h"
#include "vbrt.h"

namespace app {
struct WalkControl;
struct PrintJob;
class ProgressTarget;
}  // namespace app

namespace app::catalog {

// A list item of a tree listing.
struct ListingItem {
  QString text;    // name, with one blank in front for a folder, two for a disk
  int icon = 0;    // the type code's value
  QString tag;     // the type code
  QString folder;  // the path without the name (ending in "\"), or empty
  QString size;
  QString date;    // "M/d/yy h:mm AMPM"
  QString type;    // the type text
};

// The views a tree listing fills.
class ListingListTarget {
 public:
  virtual ~ListingListTarget() = default;
  virtual void AddItem(const ListingItem& item) = 0;
};
class ListingTreeTarget {
 public:
  virtual ~ListingTreeTarget() = default;
  // The root node (key "R").
  virtual void AddRoot(const QString& text, int image) = 0;
  // A node under parentKey, with its own key (empty: no key). False when the parent is not
  // there or the key is taken.
  virtual bool AddNode(const QString& parentKey, const QString& key, const QString& text, int image) = 0;
  // The walk has ended: the root is expanded and sorted.
  virtual void Finish() {}
};

// Lists startPath (a "/"-separated catalog path) into the views through the control's
// FindItem with walk limit srchType; "TREEVIEW.TXT" is rewritten with its header first.
// Failures are reported in a message box ("ERROR: " form); false then.
bool FillReportTree(ProgressTarget* form, ICompCtl* compCtl, ListingListTarget* listView, ListingTreeTarget* treeView,
                    const QString& startPath, bool fillList, bool fillTree, SHORT srchType, WalkControl& walk,
                    PrintJob& job);

// Adds the directory report rows of a catalog path to the bound report table (its header is
// the caller's). Walk limits from walk (FoldersOnly, DisksOnly, CurrentLevelOnly); DisksOnly
// is cleared afterwards. Failures throw (the walk's status as a runtime error, a row that
// cannot be written as its table error).
void RunDirectoryReport(ProgressTarget* form, ICompCtl* compCtl, const QString& path, WalkControl& walk,
                        PrintJob& job);

// Writes the drive listing of a drive folder as lines of a report table (quoted values, CR
// LF) to out, through the scanner's DisplayDirectoryFiles. Failures throw.
void WriteDriveListing(ProgressTarget* form, IOFileGraber* scanner, const QString& drivePath, SHORT srchType,
                       std::ostream& out, WalkControl& walk, const PrintJob& job);

// The row builders of the two reports; nothing when the item gives no row (no type code).
// Directory report: with includeLocation NAME (upper case), DISK_SERIAL_NUMBER, LOCATION, TYPE,
// else NAME (indented by depth), DISK_SERIAL_NUMBER, TYPE, SIZE; then MODIFIED and NOTE.
std::optional<QStringList> DirectoryReportRow(const QString& path, double serial, const QString& note, LONG sizeKB,
                                              DATE date, const QString& kind, bool includeLocation, LONG indentWidth,
                                              bool foldersOnly);
// Drive listing: first is the listing's starting point (skipped with includeLocation, else
// named by its whole path at depth 0).
std::optional<QStringList> DiskDirRow(const QString& path, bool first, LONG sizeKB, DATE date, const QString& kind,
                                      bool includeLocation, LONG indentWidth, bool foldersOnly);

// The callbacks (ItemCallbackFn).
LONG OnReportTreeItem(BSTR path, double serial, BSTR note, LONG sizeKB, DATE timeA, BSTR kind);
LONG OnDirectoryReportItem(BSTR path, double serial, BSTR note, LONG sizeKB, DATE timeA, BSTR kind);
LONG OnDiskDirItem(BSTR path, double serial, BSTR note, LONG sizeKB, DATE timeA, BSTR kind);

}  // namespace app::catalog
