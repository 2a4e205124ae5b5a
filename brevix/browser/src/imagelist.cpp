// The control's image list: the media and item pictures, and the style's sort arrows.
#include "imagelist.h"

#include <QApplication>
#include <QStyle>
#include <array>

#include "browserrules.h"
#include "mediapictures.h"

namespace brevix {
namespace {

QPixmap Standard(QStyle::StandardPixmap which) {
  return QApplication::style()->standardIcon(which).pixmap(16, 16);
}

QIcon Media(surface::MediaPicture picture) { return surface::MediaIcon(picture); }

const std::array<QIcon, IMAGE_COUNT>& Images() {
  static const std::array<QIcon, IMAGE_COUNT> images = [] {
    std::array<QIcon, IMAGE_COUNT> a;
    using surface::MediaPicture;
    a[IMAGE_FILE] = Media(MediaPicture::File);
    a[IMAGE_FOLDER] = Media(MediaPicture::Folder);
    a[IMAGE_FOLDER_OPEN] = Media(MediaPicture::FolderOpen);
    a[IMAGE_FLOPPY] = Media(MediaPicture::Floppy);
    a[IMAGE_ZIP] = Media(MediaPicture::Zip);
    a[IMAGE_CD] = Media(MediaPicture::CD);
    a[IMAGE_ARROW_DOWN] = Standard(QStyle::SP_ArrowDown);
    a[IMAGE_ARROW_UP] = Standard(QStyle::SP_ArrowUp);
    a[IMAGE_HARD_DRIVE] = Media(MediaPicture::LocalDisk);
    a[IMAGE_NETWORK] = Media(MediaPicture::NetworkDrive);
    a[IMAGE_ROOT] = Media(MediaPicture::Computer);
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
