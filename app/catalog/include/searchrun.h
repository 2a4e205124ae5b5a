// The catalog search run: one FindItem of the browser control per request, and the callback
// that turns every hit into a result row, counts it, caps the results and lets Stop end the
// walk.
#pragma once

#include <QString>

#include "icompctl.h"
#include "vbrt.h"

namespace app {
struct WalkControl;
}

namespace app::catalog {

// The result cap: rows are added while the count before the hit is at most this, so a run
// shows at most kResultCap + 1 rows, and warns once the count reaches it.
inline constexpr LONG kResultCap = 10000;
// The callbacks yield to the event loop once every this many items.
inline constexpr LONG kYieldEvery = 200;
// The target is refreshed once when this many rows have arrived (the first screenful).
inline constexpr LONG kFirstScreenRows = 35;

inline constexpr char16_t kCapMessage[] =
    u"Number of files found exceeds the maximum allowed.  Please refine your search.";

// One hit as a row of a result list.
struct ResultRow {
  QString text;      // the name; a folder's with one blank in front
  int icon = 0;      // type code + 1: 1 local disk ... 6 folder, 7 file
  QString tag;       // the two-digit type code
  QString serial;    // "(none)" or ten digits
  QString location;  // "ROOT:\" [start folder "\"] parent path
  QString size;      // right-aligned KB
  QString modified;  // "yyyy/MM/dd hh:mm AMPM"
  QString note;      // as the walk passed it
  DATE date = 0;     // the hit's date
};

// The result list's columns, in order.
enum ResultColumn { kColName, kColSerial, kColLocation, kColSize, kColModified, kColNote, kResultColumns };

// One hit as the walk reported it, before any of its texts is made. The views point into the
// walk's strings and live only as long as the call that hands the hit over.
struct ResultHit {
  QStringView path;         // without a leading "\"
  QStringView note;
  QStringView startFolder;  // the run's start folder ("" the whole catalog)
  double serial = 0;
  LONG sizeKB = 0;
  DATE date = 0;
  int code = 0;             // the two-digit type code's value: 5 folder, 6 file, 0-4 disks
};

// The text of one column of a hit's row, as the result list shows it.
QString ResultColumnText(const ResultHit& hit, int column);
// The whole row of a hit.
ResultRow RowOfHit(const ResultHit& hit);

// Where the rows go: the find window's result list, the print setup's disk list, or a plain
// list (the find window's hidden disk list) that takes only names and icons.
class SearchResultTarget {
 public:
  virtual ~SearchResultTarget() = default;
  // True for a list that shows every column.
  virtual bool TakesColumns() const = 0;
  // A hit: by default its row is made and added; a list that makes its texts only when they
  // are shown takes the hit itself.
  virtual void AddHit(const ResultHit& hit) { AddRow(RowOfHit(hit)); }
  virtual void AddRow(const ResultRow&) {}
  // Shows the rows so far while the walk goes on.
  virtual void RefreshNow() {}
  // A folder hit: the find window's status bar shows its name.
  virtual void ShowFolderName(const QString&) {}
  // The walk is about to yield to the event loop: rows held back for speed may be shown now.
  virtual void Flush() {}
  // The walk has ended: every row held back is to be shown now.
  virtual void Finish() { Flush(); }
};

// The criteria boxes of the find window, as typed.
struct FindInputs {
  QString name;                     // lstName
  QString sizeText;                 // edSize
  QString sizeMode = "At least";    // lstSize: "At least" or "At most"
  QString category;                 // lstCategory: "", "ALL" or a category
  QString noteText;                 // edNote
};

// What FindItem is given for those inputs.
struct FindCriteria {
  QString name;
  QString note;
  LONG size = 0;  // > 0 at least, < 0 at most, 0 none
};

// The criteria of the inputs; a size that is no number raises 13 (type mismatch), one beyond
// 32 bits 6 (overflow).
FindCriteria CriteriaFromInputs(const FindInputs& inputs);

// The row of one hit; false when the hit gives no row (no type code).
bool BuildResultRow(const QString& path, double serial, const QString& note, LONG sizeKB, DATE date,
                    const QString& kind, const QString& startFolder, ResultRow& row);

// The callback handed to FindItem (an ItemCallbackFn).
LONG OnSearchResultItem(BSTR path, double serial, BSTR note, LONG sizeKB, DATE timeA, BSTR kind);

// The general search. criteria null: no name, size or note criterion. kindFilter: only hits
// of that kind (exactly) are taken. startFolder: a catalog folder with "\" ("" the whole
// catalog). The walk state (count, stop flag, date window, walk limits) is walk's. False when
// the search failed; the failure has then been reported in a message box. DisksOnly and the
// run's texts are reset on every path.
bool RunFileSearch(ICompCtl* compCtl, SearchResultTarget& target, const FindInputs* criteria, const QString& kindFilter,
                   const QString& startFolder, WalkControl& walk);
bool RunFileSearch(ICompCtl* compCtl, SearchResultTarget& target, const FindInputs* criteria, const QString& kindFilter,
                   const QString& startFolder);

// The disks of one media type catalogued since a moment (up to now).
bool RunTimedSearch(ICompCtl* compCtl, SearchResultTarget& target, DATE since, const QString& kindFilter,
                    WalkControl& walk);

// True while a search run's walk is going on (one at a time in the process).
bool SearchRunning();

}  // namespace app::catalog
