// The update dialog's print half, apart from its widgets: the report type chosen for a label,
// the two file views with their check boxes, the label job handed to the preparation of the
// disk's medium, and the directory report with its listing kept while its options stay.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "iofilegraber.h"
#include "printprep.h"
#include "printviews.h"
#include "xcom/com.h"

struct ICompCtl;

namespace texttable {
class Recordset;
}

namespace app {
struct AppState;
class ProgressTarget;
}  // namespace app

namespace app::catalog {

// The report types offered for a label: titles and the texts that explain them.
QStringList ReportDescriptions();

// The options of a directory report.
struct DirectoryReportOptions {
  bool listLayout = true;     // optPrnListView (else the tree layout)
  bool foldersOnly = false;   // chkShowFolders1
  bool currentLevel = false;  // optCurDir
  bool ascending = true;      // optSortOrder(0)
  int sortField = 0;          // lstSortBy: a field position of the list layout, or -1
};

class PrintHalf {
 public:
  PrintHalf(AppState& state, ICompCtl* compCtl, ProgressTarget* progress);

  // The window's progress panel: its text, and the panel with Stop shown (true) while a
  // listing walks and hidden (false) when it is done.
  void SetProgress(ProgressTarget* progress) { progress_ = progress; }
  void SetProgressPopup(std::function<void(bool)> popup) { popup_ = std::move(popup); }

  // lbRptType: index 0 to 3 makes ReportType index + 2; index 3 (choose files) switches the
  // check boxes on and unchecks every item, the others switch them off.
  void ChooseReportType(int index);
  int ReportTypeIndex() const { return typeIndex_; }
  bool CheckBoxes() const { return checkBoxes_; }

  // The views, filled on demand from the disk's catalog listing (ctlTab, btnPrint).
  PrintListView& List() { return list_; }
  PrintTreeView& Tree() { return tree_; }
  void FillList();
  void FillTree();
  void SetFromTree(bool fromTree) { fromTree_ = fromTree; }
  bool FromTree() const { return fromTree_; }

  // btnPrint: the label job of the disk's medium; the nothing-selected warning when no row
  // was written (a failing preparation shows only its own error).
  void Print();
  bool FirstLabelPrint() const { return firstLabelPrint_; }

  // Print-directory mode: the directory report lists this folder of a real drive.
  void SetPrintDirectory(const QString& path) {
    printDirectory_ = path;
    listingMade_ = false;
  }
  const QString& PrintDirectory() const { return printDirectory_; }
  // The sort fields offered (lstSortBy): those of the drive listing in print-directory mode.
  QStringList SortFieldTitles() const;
  // The disk scanner of the drive listing (made from the library when not set).
  void SetScanner(xcom::ComPtr<IOFileGraber> scanner) { scanner_ = std::move(scanner); }
  // Lists a folder of a real drive into "DATAEXP.TXT" through the scratch catalog
  // "_tmpprint.dkc", and binds it; a failure is shown as number + five blanks + description.
  bool FillDiskDirListBox(const QString& path, bool includeLocation, bool recursive);

  // btnPreview: the directory report of the disk, listed again only when its options changed
  // or the report table was rewritten since, sorted again only when the sort field changed.
  void Preview(const DirectoryReportOptions& options);
  int Rebuilds() const { return rebuilds_; }
  int Sorts() const { return sorts_; }

 private:
  QString DiskPath() const;
  bool ListingStillThere() const;

  AppState& state_;
  ICompCtl* compCtl_;
  ProgressTarget* progress_;
  std::function<void(bool)> popup_;
  PrintListView list_;
  PrintTreeView tree_;
  int typeIndex_ = 0;
  bool checkBoxes_ = false;
  bool fromTree_ = false;
  bool firstLabelPrint_ = true;
  // The directory listing in the report table: made with these options, at this rewrite
  // count of the table file, last sorted by this field.
  bool listingMade_ = false;
  DirectoryReportOptions listingOptions_;
  unsigned long listingRewrite_ = 0;
  QString lastSortField_;
  QString printDirectory_;
  xcom::ComPtr<IOFileGraber> scanner_;
  std::shared_ptr<texttable::Recordset> listing_;  // the listing's binding, sorted or not
  int rebuilds_ = 0;
  int sorts_ = 0;
};

}  // namespace app::catalog
