// What the cataloguing dialogs build their widgets from: labels named as the dialogs' controls,
// a media type's picture, and the drive list's entry for a drive.
#pragma once

#include <QIcon>
#include <QString>

#include "wintypes.h"

class QComboBox;
class QLabel;
class QWidget;

namespace app::catalog {

// A label with the object name a test and the dialog's code find it by.
QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent);

// The picture of a media type code: network, CD, floppy or Zip, else a hard disk.
QIcon MediaTypeIcon(SHORT code);

// The index of the drive list's last entry whose drive ("d:") is that of `drive` ("d:" or
// "d: [label]"); -1 for none or an empty drive.
int DriveIndexIn(const QComboBox& drives, const QString& drive);

}  // namespace app::catalog
