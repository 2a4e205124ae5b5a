// Playing a window's animation file from beside the program.
#include "animation.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

#include "aviclip.h"
#include "programfolder.h"

namespace app::catalog {

AnimationPlayer::AnimationPlayer(QLabel* label, std::vector<QImage> frames, int interval)
    : QObject(label), label_(label), frames_(std::move(frames)), timer_(new QTimer(this)) {
  timer_->setInterval(interval);
  connect(timer_, &QTimer::timeout, this, [this] { Show((frame_ + 1) % static_cast<int>(frames_.size())); });
}

AnimationPlayer* AnimationPlayer::Open(QLabel* label, const QString& file) {
  resources::AviClip clip;
  if (!resources::ReadAviClip(file, clip)) return nullptr;
  const int interval = std::clamp(clip.microsecondsPerFrame / 1000, 20, 1000);
  label->setFixedSize(clip.frames.front().size());
  return new AnimationPlayer(label, std::move(clip.frames), interval);
}

void AnimationPlayer::Show(int frame) {
  frame_ = frame;
  label_->setPixmap(QPixmap::fromImage(frames_[static_cast<std::size_t>(frame)]));
}

void AnimationPlayer::Start() {
  Show(0);
  timer_->start();
}

void AnimationPlayer::Stop() { timer_->stop(); }

bool AnimationPlayer::Playing() const { return timer_->isActive(); }

void PlayAnimation(QLabel* label, AnimationPlayer*& player, const char* fileName) {
  if (!player) player = AnimationPlayer::Open(label, QString::fromStdString(platform::ShippedFile(fileName).string()));
  if (player) player->Start();
}

void StopAnimation(AnimationPlayer* player) {
  if (player) player->Stop();
}

}  // namespace app::catalog
