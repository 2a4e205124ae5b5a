// The named labels, media type pictures and drive list lookup of the cataloguing dialogs.
#include "dialogwidgets.h"

#include <QComboBox>
#include <QLabel>

#include "appstate.h"
#include "mediapictures.h"
#include "volumes.h"

namespace app::catalog {

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QIcon MediaTypeIcon(SHORT code) {
  using surface::MediaPicture;
  switch (code) {
    case kLocalDisk: return surface::MediaIcon(MediaPicture::LocalDisk);
    case kNetworkConnection: return surface::MediaIcon(MediaPicture::NetworkDrive);
    case kFloppyDisk: return surface::MediaIcon(MediaPicture::Floppy);
    case kZipDisk: return surface::MediaIcon(MediaPicture::Zip);
    case kCdRwDisk: return surface::MediaIcon(MediaPicture::CD);
    default: return surface::MediaIcon(code >= kFirstUserMediaType ? MediaPicture::UserMedia : MediaPicture::LocalDisk);
  }
}

namespace {

constexpr int kLongestLocation = 44;

QString KindOfDrive(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE: return QStringLiteral("Removable Disk");
    case DRIVE_CDROM: return QStringLiteral("CD Drive");
    case DRIVE_REMOTE: return QStringLiteral("Network Drive");
    case DRIVE_RAMDISK: return QStringLiteral("RAM Disk");
    default: return QStringLiteral("Local Disk");
  }
}

}  // namespace

QString ShortenInTheMiddle(const QString& text, int max) {
  if (text.size() <= max || max < 3) return text;
  const qsizetype tail = (max - 1) / 2;
  const qsizetype head = max - 1 - tail;
  return text.left(head) + QChar(u'\u2026') + text.right(tail);
}

DriveListEntry DriveListEntryOf(const volumes::DriveInfo& drive, const QString& label, DriveTextForm form) {
  DriveListEntry e;
  const QString letter = QString(QChar(drive.letter).toLower()) + u':';
  const QString source = QString::fromUtf8(drive.source.data(), static_cast<qsizetype>(drive.source.size()));
  e.driveText = letter;
  if (form == DriveTextForm::WithLabel && (drive.type == DRIVE_FIXED || drive.type == DRIVE_REMOTE)) {
    if (!label.isEmpty())
      e.driveText += QStringLiteral(" [") + label + u']';
    else if (drive.type == DRIVE_REMOTE && !source.isEmpty())
      e.driveText += QStringLiteral(" [") + source + u']';
  }
  QString what = QString::fromStdString(drive.name);
  if (what.isEmpty()) what = label;
  if (what.isEmpty() && drive.type == DRIVE_REMOTE) what = source;
  if (what.isEmpty()) what = KindOfDrive(drive.type);
  const QString where = drive.ready ? QString::fromUtf8(drive.root.data(), static_cast<qsizetype>(drive.root.size()))
                                    : source + QStringLiteral(", not ready");
  using surface::MediaPicture;
  switch (drive.type) {
    case DRIVE_REMOTE: e.picture = surface::MediaIcon(MediaPicture::NetworkDrive); break;
    case DRIVE_CDROM: e.picture = surface::MediaIcon(MediaPicture::CD); break;
    case DRIVE_REMOVABLE:
      e.picture = surface::MediaIcon(drive.letter <= 'B' ? MediaPicture::Floppy : MediaPicture::UserMedia);
      break;
    default: e.picture = surface::MediaIcon(MediaPicture::LocalDisk);
  }
  e.shown =
      letter + QStringLiteral("  ") + what + QStringLiteral("  \u2014  ") + ShortenInTheMiddle(where, kLongestLocation);
  return e;
}

QList<DriveListEntry> DriveListEntries(DriveTextForm form) {
  QList<DriveListEntry> entries;
  for (const volumes::DriveInfo& d : volumes::ListDrives()) {
    char label[261] = {};
    const std::string root = std::string(1, d.letter) + ":\\";
    if (!d.ready || !GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
      label[0] = 0;
    entries.append(DriveListEntryOf(d, QString::fromUtf8(label), form));
  }
  return entries;
}

void FillDriveList(QComboBox& drives, const QList<DriveListEntry>& entries) {
  drives.clear();
  for (const DriveListEntry& e : entries) drives.addItem(e.picture, e.shown, e.driveText);
  drives.setCurrentIndex(-1);
}

QString DriveTextAt(const QComboBox& drives, int index) {
  const QVariant data = drives.itemData(index);
  return data.isValid() ? data.toString() : drives.itemText(index);
}

int DriveIndexIn(const QComboBox& drives, const QString& drive) {
  int index = -1;
  if (drive.isEmpty()) return index;
  for (int i = 0; i < drives.count(); ++i)
    if (drives.itemText(i).left(2) == drive.left(2)) index = i;
  return index;
}

}  // namespace app::catalog
