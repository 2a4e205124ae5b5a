// The animations that windows play from a file beside the program while a long operation
// runs ("findfile.avi", "filecopy.avi"); a file that is missing or cannot be played is ignored.
#pragma once

#include <QString>

class QLabel;
class QMovie;

namespace app::catalog {

// Starts the animation of the program folder's file in label (made once into movie, owned by
// the label); nothing when the file is missing or unplayable.
void PlayAnimation(QLabel* label, QMovie*& movie, const char* fileName);
void StopAnimation(QMovie* movie);

}  // namespace app::catalog
