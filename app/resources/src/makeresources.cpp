// The build's maker of the files the program ships: xendora_resources <output folder> <guide source>
// writes "filecopy.avi", "findfile.avi" and "XendoraDocs.pdf" into the output folder.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

#include "clips.h"
#include "guide.h"

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: xendora_resources <output folder> <guide source>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const QString source = QString::fromLocal8Bit(argv[2]);
  if (!Write(out.filePath("filecopy.avi"), resources::AviFileOf(resources::FileCopyClip())) ||
      !Write(out.filePath("findfile.avi"), resources::AviFileOf(resources::FindFileClip()))) {
    std::fprintf(stderr, "xendora_resources: cannot write the animations into %s\n", argv[1]);
    return 1;
  }
  QString error;
  if (!resources::WriteGuide(source, out.filePath("XendoraDocs.pdf"), &error)) {
    std::fprintf(stderr, "xendora_resources: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
