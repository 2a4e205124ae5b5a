// The pictures of media and catalog items the windows show (drives by kind, folders, files),
// drawn by the program at whatever size a window asks for, so that they look the same on every
// desktop whatever its icon theme.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace surface {

enum class MediaPicture {
  LocalDisk,     // a hard disk
  NetworkDrive,  // a share: a disk with a network cable
  Floppy,        // a 3.5" floppy disk
  Zip,           // a Zip disk: the thicker cartridge with a "Z"
  CD,            // an optical disc
  UserMedia,     // a removable medium of a type the user named
  Folder,
  FolderOpen,
  File,
  Computer,  // the whole catalog
};

// The picture at size x size pixels (at least 8).
QPixmap DrawMediaPicture(MediaPicture picture, int size);
// The picture at the sizes the windows use (16, 24, 32 and 48 pixels).
QIcon MediaIcon(MediaPicture picture);

}  // namespace surface
