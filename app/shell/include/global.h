// The shared utilities of the program's Global module: media type names and codes, drive
// kinds, asking for a drive letter, opening a catalogued file from its disk, two comparisons,
// rounding up to a number of decimals, the letter case of an edit box, the window that shows
// progress text, and the main window's browser control and disk scanners as other windows
// reach them.
#pragma once

#include <QString>
#include <QVariant>
#include <functional>

#include "appstate.h"
#include "xcom/com.h"

struct ICompCtl;
struct IOFileGraber;
class QLineEdit;
class QObject;
class QWidget;

namespace app {

// The main window's browser control (frmMain.CompCtl1), null while there is none. The main
// window sets it when its control is created and clears it when the control goes.
ICompCtl* MainCompCtl();
void SetMainCompCtl(ICompCtl* control);

// A new disk scanner ("Brevix.OFileGraber"). Tests replace the factory (an empty function puts
// the registered class back).
using FileGraberFactory = std::function<HRESULT(xcom::ComPtr<IOFileGraber>*)>;
HRESULT CreateFileGraber(xcom::ComPtr<IOFileGraber>* out);
FileGraberFactory SetFileGraberFactory(FileGraberFactory factory);

// The media type code of a media type name (0 for a name it does not know).
SHORT GetDiskTypeCode(const QString& name, const Settings& settings = Global().settings);

// The media type name of a drive's kind: "Floppy Disk", "Zip Disk", "Local Disk", "Network
// Connection", "CD-RW Disk" or "Other". The caller's drive text gets a "\" appended.
QString GetDriveTypeName(QString& drive);

// Asks for the drive of a media type through the prompt dialog: the entry's first character
// followed by ":\", or "" when nothing was entered.
QString AskDriveLetter(const QString& mediaTypeName, QWidget* owner = nullptr);

// Opens a file or folder of a catalogued disk ("Disk/folder/file") with the desktop's program
// for it, asking for the drive of a removable medium that has none and for the disk itself
// when the drive holds no serial-labelled disk. plainOpen: no working folder is given.
void OpenCatalogedFile(const QString& path, bool plainOpen);
void OpenCatalogedFile(ICompCtl* control, Settings& settings, const QString& path, bool plainOpen);

// The smaller (a on a tie) and the larger (b on a tie) of two values compared as variants.
QVariant MinOf(const QVariant& a, const QVariant& b);
QVariant MaxOf(const QVariant& a, const QVariant& b);

// The value rounded up (towards plus infinity) to that many decimals.
double FormatDecimal(double value, SHORT decimals);

// Forces the letter case of an edit box: upper or lower case from now on.
void SetTextCaseStyle(QLineEdit* edit, bool upper);

// Names the window that shows progress text during a catalog walk (a ProgressTarget).
void SetProgressTarget(QObject* window, WalkControl& walk = Global().walk);

}  // namespace app
