// The animations that windows play from a file beside the program while a long operation
// runs ("findfile.avi", "filecopy.avi"); a file that is missing or cannot be played is ignored.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <vector>

class QLabel;
class QTimer;

namespace app::catalog {

// Plays an AVI clip's frames in a label, looping, on the label's thread; owned by the label.
class AnimationPlayer : public QObject {
 public:
  // The player of a clip file, or null when the file is missing or cannot be played.
  static AnimationPlayer* Open(QLabel* label, const QString& file);
  void Start();
  void Stop();
  bool Playing() const;
  int FrameIndex() const { return frame_; }

 private:
  AnimationPlayer(QLabel* label, std::vector<QImage> frames, int interval);
  void Show(int frame);

  QLabel* label_;
  std::vector<QImage> frames_;
  QTimer* timer_;
  int frame_ = 0;
};

// Starts the animation of the file beside the program in label (the player is made once, owned
// by the label); nothing when the file is missing or unplayable.
void PlayAnimation(QLabel* label, AnimationPlayer*& player, const char* fileName);
void StopAnimation(AnimationPlayer* player);

}  // namespace app::catalog
