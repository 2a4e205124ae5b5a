// The named labels, media type pictures and drive list lookup of the cataloguing dialogs.
#include "dialogwidgets.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QStyle>

#include "appstate.h"

namespace app::catalog {

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QIcon MediaTypeIcon(SHORT code) {
  QStyle* style = QApplication::style();
  switch (code) {
    case kNetworkConnection: return style->standardIcon(QStyle::SP_DriveNetIcon);
    case kFloppyDisk:
    case kZipDisk: return style->standardIcon(QStyle::SP_DriveFDIcon);
    case kCdRwDisk: return style->standardIcon(QStyle::SP_DriveCDIcon);
    default: return style->standardIcon(QStyle::SP_DriveHDIcon);
  }
}

int DriveIndexIn(const QComboBox& drives, const QString& drive) {
  int index = -1;
  if (drive.isEmpty()) return index;
  for (int i = 0; i < drives.count(); ++i)
    if (drives.itemText(i).left(2) == drive.left(2)) index = i;
  return index;
}

}  // namespace app::catalog
