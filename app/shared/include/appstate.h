// The program's shared state, in a few small parts: the lasting settings, the login, the
// prompt dialog's answer, the shell's bookkeeping, the selection, the walk control, the print
// job and the designer's objects. Each window takes the part it needs (by reference, so tests
// hand it a part of their own); Global() holds the one set of parts of the whole run, touched
// only on the user-interface thread.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <memory>
#include <optional>

#include "vbrt.h"
#include "wintypes.h"

namespace texttable {
class Recordset;
}

namespace app {

// Media type codes: they index StartSerials and DriveLetters; user media type i has code
// kFirstUserMediaType + i.
enum MediaTypeCode : int {
  kLocalDisk = 0,
  kNetworkConnection = 1,
  kFloppyDisk = 2,
  kZipDisk = 3,
  kCdRwDisk = 4,
  kFirstUserMediaType = 5,
};

// The settings file's value for a key that is absent; a value whose first 7 characters are
// these counts as absent.
inline constexpr char kAbsentMarker[] = "#@#@!@#";

// The elements of an item information array (SelectedItemInfo, AddUpdateResult).
enum ItemInfoIndex : int {
  kInfoSize = 0,       // size in bytes
  kInfoTimeA = 1,      // last write; for a disk the time it was added or last updated
  kInfoTimeB = 2,      // creation; for a disk the time it was added
  kInfoSerial = 3,     // disk serial number
  kInfoFreeSpace = 4,  // free space in bytes (disks)
  kInfoName = 5,       // item name or catalog path
  kInfoType = 6,       // type text ("File Folder", "File", "TXT File", a media type name)
  kInfoNote = 7,       // note
  kItemInfoCount = 8,
};

// One font of the shared font table.
struct FontSlot {
  QString FontName;
  SHORT FontSize = 0;  // points; 0 means the slot was never set
  bool FontBold = false;
  bool FontItal = false;
  bool FontUnder = false;
  LONG FontColor = 0;  // 0x00BBGGRR
  SHORT FontAngle = 0;  // degrees
};

// A designer text object. Positions and sizes are inches at zoom 1.0. A slot is free when
// Left and Top are both kFreeSlot.
struct CustomTextRecord {
  double Left = 0.0;
  double Top = 0.0;
  double Width = 0.0;
  double Height = 0.0;
  SHORT FontSize = 0;
  SHORT FontBold = 0;
  SHORT FontItal = 0;
  SHORT FontUnder = 0;
  LONG FontColor = 0;
  QString FontName;
  QString Text;
  SHORT FontAlign = 0;  // 0 left, 1 right, 2 centre
  SHORT FontAngle = 0;  // degrees
};

// A designer picture object: position in inches at zoom 1.0 and the picture file's path. A
// slot is free when Left and Top are both kFreeSlot.
struct CustomPictureRecord {
  double Left = 0.0;
  double Top = 0.0;
  QString Name;
};

inline constexpr double kFreeSlot = -1.0;

// A window that shows progress text during a catalog walk (ProgressForm).
class ProgressTarget {
 public:
  virtual void SetProcessMessage(const QString& text) = 0;

 protected:
  ~ProgressTarget() = default;
};

// The lasting settings, kept in "ctgr.ini" (settings.h).
//
// Lists that the settings store grows (CategoryNames, OtherMediaNames, OtherMediaSerials)
// hold exactly their entries: size() is the number of entries, with no spare element at the
// end. DriveLetters is indexed by media type code; read it through DriveLetter (which gives
// "" past the end) and write it through SetDriveLetter (which grows it), so that a media type
// added without a drive never leaves it short.
struct Settings {
  QStringList CategoryNames;
  std::array<double, 6> StartSerials{};  // next serial by media type code; 2, 3, 4 used
  QStringList DriveLetters;              // drive root by media type code; "" for none
  QStringList OtherMediaNames;           // user media type names (at most 20 characters)
  QStringList OtherMediaSerials;         // their next serial numbers, as text
  std::array<QString, 11> SearchHistory;  // 0 to 9 used, in the find window's order
  QString LastCatalogPath = QStringLiteral("-1");  // "-1": none

  // The drive assigned to a media type code; "" for a code beyond the list.
  QString DriveLetter(int code) const;
  // Assigns a drive to a media type code, growing the list as needed (a negative code is
  // ignored).
  void SetDriveLetter(int code, const QString& drive);
};

// Who opened the catalog: "" (no login), "USER_LOGIN" or "MASTER_LOGIN".
struct Login {
  QString LoginState;
};

// What the prompt dialog's text mode answered.
struct PromptAnswers {
  QString PromptValue;
};

// The shell's bookkeeping between its windows.
struct ShellState {
  SHORT OpenDialogCount = 0;  // modal dialogs open now
  SHORT LastDriveIndex = -1;
  QString PendingDiskCommand;  // "ADDFLP", "UPDZIP", ... or ""
};

// The browser's selected item and the disk being added, updated or printed, as item
// information arrays (a QVariantList of kItemInfoCount elements). AddUpdateResult holds a
// number instead after a failed add or update, so readers test for a list first.
struct Selection {
  QVariant SelectedItemInfo;
  QVariant AddUpdateResult;
  double SelectedDiskNumber = 0;  // the selection's disk serial (serials reach 9999999999)
};

// The control of a running catalog walk (search, listing, scan) and its criteria.
struct WalkControl {
  bool StopRequested = false;
  LONG FoundCount = 0;
  QPointer<QObject> ProgressForm;  // a window that is a ProgressTarget, or none
  bool FoldersOnly = false;
  bool DisksOnly = false;
  bool CurrentLevelOnly = false;
  QString SearchText;   // the kind filter of a search run
  QString SearchText2;  // the start folder of a search run
  DATE SearchFromDate = 0;
  DATE SearchToDate = 0;
  bool SkipUpdateConfirm = false;
};

// What a printout is, how its pages are laid out and which rows it prints.
struct PrintJob {
  SHORT ReportType = 0;    // 0 to 12
  SHORT TemplateKind = 0;  // 0 to 6 (22 and 33 while the Zip sheet strips are drawn)
  SHORT LabelMedium = 0;   // 0 paper, 1 floppy label, 2 Zip label sheet, 3 CD case insert
  QString TemplateFolder;  // "Floppy", "Zip", "CD", ..., also the template subfolder
  bool PrintOnlyMode = false;
  bool BatchPrintMode = false;
  bool PrintOutlines = false;
  bool PrintHeader = true;
  bool PrintFooter = true;
  SHORT PageColumnCount = 1;
  SHORT LabelRowCount = 1;
  SHORT LabelColumnCount = 1;
  bool MouseTrace = false;
  LONG IndentWidth = 5;  // blanks per tree level in exported names
  bool DescendingOrder = false;
  bool IncludeLocation = false;
  SHORT PrintToIndex = 0;
  SHORT ZipStartColumn = 0;  // 0 to 1
  SHORT ZipStartRow = 0;     // 0 to 2
  bool ForceSingleLabel = false;
  LONG CellTextFlags = 0;  // 16 (word break) or 0
  double LabelOffsetX = 0;
  double LabelOffsetY = 0;
  bool PageSetupIsDefault = false;
  bool PageSetupChanged = false;

  // Report table description.
  QString ReportTitle;
  QStringList ReportFieldNames;
  std::optional<QStringList> ReportColumnTitles;  // nothing: no titles were given
  QList<double> ReportColumnWidths;               // percent of a page column per cell
  QStringList ReportColumnFormats;                // "IL@", "R@", ...
  SHORT ReportColumnCount = 0;
  LONG CellAlignFlags = 0;
  double ColumnGap = 0;  // inches between page columns, in total
  // The report table's recordset while a printout runs.
  std::shared_ptr<texttable::Recordset> ReportRecordset;

  // Page geometry, inches.
  double PageWidth = 0;
  double PageHeight = 0;
  double PrintLeft = 0;
  double PrintTop = 0;
  double PrintRight = 0;
  double PrintBottom = 0;
  double PrinterOffsetX = 0;
  double PrinterOffsetY = 0;
  double PrintableWidth = 0;
  double PrintableHeight = 0;
  double LabelCellLeft = 0;
  double LabelCellTop = 0;
  double LabelCellWidth = 0;
  double LabelCellHeight = 0;

  // The fonts shared by page setup, report drawing and the designer.
  std::array<FontSlot, 9> FontTable;  // 0 title, 1 page header, 2 footer, 3 subtitle,
                                      // 4 table titles, 5 file names, 7 designer's working font
};

// The preview's scale and find position, and the designer's objects.
struct Designer {
  Designer();

  double ZoomFactor = 1.0;  // 1.0 = 100 %
  SHORT FindPage = 0;
  SHORT FindRow = 0;
  QList<CustomTextRecord> CustomTexts;        // fresh: slot 0 free, slot 1 the spare slot
  QList<CustomPictureRecord> CustomPictures;  // the same
  QString NoteText;
  SHORT NoteAlignment = 0;  // 0 left, 1 centre, 2 right
};

// The parts of the whole run.
struct AppState {
  Settings settings;
  Login login;
  PromptAnswers prompt;
  ShellState shell;
  Selection selection;
  WalkControl walk;
  PrintJob print;
  Designer designer;
};

// The one shared state of the program.
AppState& Global();

// The ProgressTarget that ProgressForm names, or none (also when that window is gone).
ProgressTarget* ProgressTargetOf(const WalkControl& walk);

}  // namespace app
