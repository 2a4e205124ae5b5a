// Playing a window's animation file from the program folder.
#include "animation.h"

#include <QFile>
#include <QLabel>
#include <QMovie>

#include "programfolder.h"

namespace app::catalog {

void PlayAnimation(QLabel* label, QMovie*& movie, const char* fileName) {
  if (!movie) {
    const QString file = QString::fromStdString((platform::ProgramFolder() / fileName).string());
    if (!QFile::exists(file)) return;
    auto* m = new QMovie(file, QByteArray(), label);
    if (!m->isValid()) {
      delete m;
      return;
    }
    movie = m;
  }
  label->setMovie(movie);
  movie->start();
}

void StopAnimation(QMovie* movie) {
  if (movie) movie->stop();
}

}  // namespace app::catalog
