// What the cataloguing dialogs build their widgets from: labels named as the dialogs' controls,
// a media type's picture, and the drive list's entries.
#pragma once

#include <QIcon>
#include <QList>
#include <QString>

#include "wintypes.h"

class QComboBox;
class QLabel;
class QWidget;

namespace volumes {
struct DriveInfo;
}

namespace app::catalog {

// A label with the object name a test and the dialog's code find it by.
QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent);

// The picture of a media type code: local or network disk, floppy, Zip, CD or a user's type.
QIcon MediaTypeIcon(SHORT code);

// One entry of a drive list: the drive text the dialog works with ("c: [label]" for fixed and
// network drives in the add-disk dialog, else "d:"), and the text shown, which says what the
// letter stands for: "d:  PHOTOS  —  /media/me/PHOTOS".
struct DriveListEntry {
  QString driveText;
  QString shown;
  QIcon picture;  // the kind of drive
};
enum class DriveTextForm { LetterOnly, WithLabel };

// The entry of a drive whose label (the medium's, or "" when it has none or is not ready) was
// read. What the letter stands for is the drive table's name for it, else the label, else, for a
// share, its source, else the kind of drive; then its mount point or folder, shortened in the
// middle when long, or where its medium would be and that it is not ready.
DriveListEntry DriveListEntryOf(const volumes::DriveInfo& drive, const QString& label, DriveTextForm form);
// Every drive's entry, with the labels read from the drives.
QList<DriveListEntry> DriveListEntries(DriveTextForm form);
// Fills a drive list: each item shows its entry's picture and text and carries its drive text
// (item data).
void FillDriveList(QComboBox& drives, const QList<DriveListEntry>& entries);
// The drive text of a drive list's item.
QString DriveTextAt(const QComboBox& drives, int index);

// text, or its beginning and end with "…" between them, in at most max characters.
QString ShortenInTheMiddle(const QString& text, int max);

// The index of the drive list's last entry whose drive ("d:") is that of `drive` ("d:" or
// "d: [label]"); -1 for none or an empty drive.
int DriveIndexIn(const QComboBox& drives, const QString& drive);

}  // namespace app::catalog
