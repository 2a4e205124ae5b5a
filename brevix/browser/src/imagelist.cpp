// The control's image list, drawn from the style's standard pictures.
#include "imagelist.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <array>

#include "browserrules.h"

namespace brevix {
namespace {

QPixmap Standard(QStyle::StandardPixmap which) {
  return QApplication::style()->standardIcon(which).pixmap(16, 16);
}

// The Zip drive: the floppy drive's picture with a "Z" on it.
QPixmap ZipDrive() {
  QPixmap p = Standard(QStyle::SP_DriveFDIcon);
  if (p.isNull()) p = QPixmap(16, 16), p.fill(Qt::transparent);
  QPainter g(&p);
  QFont f = g.font();
  f.setPixelSize(9);
  f.setBold(true);
  g.setFont(f);
  g.setPen(QColor(0, 0, 160));
  g.drawText(QRect(0, 0, 16, 16), Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Z"));
  return p;
}

const std::array<QIcon, IMAGE_COUNT>& Images() {
  static const std::array<QIcon, IMAGE_COUNT> images = [] {
    std::array<QIcon, IMAGE_COUNT> a;
    a[IMAGE_FILE] = Standard(QStyle::SP_FileIcon);
    a[IMAGE_FOLDER] = Standard(QStyle::SP_DirClosedIcon);
    a[IMAGE_FOLDER_OPEN] = Standard(QStyle::SP_DirOpenIcon);
    a[IMAGE_FLOPPY] = Standard(QStyle::SP_DriveFDIcon);
    a[IMAGE_ZIP] = ZipDrive();
    a[IMAGE_CD] = Standard(QStyle::SP_DriveCDIcon);
    a[IMAGE_ARROW_DOWN] = Standard(QStyle::SP_ArrowDown);
    a[IMAGE_ARROW_UP] = Standard(QStyle::SP_ArrowUp);
    a[IMAGE_HARD_DRIVE] = Standard(QStyle::SP_DriveHDIcon);
    a[IMAGE_NETWORK] = Standard(QStyle::SP_DriveNetIcon);
    a[IMAGE_ROOT] = Standard(QStyle::SP_ComputerIcon);
    return a;
  }();
  return images;
}

}  // namespace

QIcon ImageAt(int index) {
  if (index < 0 || index >= IMAGE_COUNT) return QIcon();
  return Images()[static_cast<std::size_t>(index)];
}

QIcon TreeIcon(int image, int selectedImage) {
  if (image == selectedImage) return ImageAt(image);
  QIcon icon;
  const QIcon normal = ImageAt(image);
  const QIcon selected = ImageAt(selectedImage);
  if (!normal.isNull()) icon.addPixmap(normal.pixmap(16, 16), QIcon::Normal);
  if (!selected.isNull()) icon.addPixmap(selected.pixmap(16, 16), QIcon::Selected);
  return icon;
}

}  // namespace brevix
