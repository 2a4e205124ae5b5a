// While a catalog walk runs, it yields to the event loop now and then so that Stop can be
// clicked; a WalkGuard keeps everything else out meanwhile: input meant for any widget but the
// allowed ones (the Stop commands) is dropped, and a window closed during the walk is closed
// only once the walk has returned. Windows shown while the guard stands (the walk's message
// boxes, during the walk or at its end) keep their input and close as usual.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace app::catalog {

class WalkGuard : public QObject {
 public:
  // allowed: the widgets (with their children) that keep their input. onCloseRequest runs when
  // a window is closed during the walk (to ask the walk to stop).
  explicit WalkGuard(QList<QObject*> allowed, std::function<void()> onCloseRequest = {});
  // Closes, after the walk, the windows whose closing was held back.
  ~WalkGuard() override;
  WalkGuard(const WalkGuard&) = delete;
  WalkGuard& operator=(const WalkGuard&) = delete;

  // True while some guard is alive: a walk is running.
  static bool Active();
  // Whether a close was held back.
  bool CloseHeld() const { return !held_.isEmpty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Allowed(QObject* target) const;
  bool ShownDuringWalk(const QObject* target) const;

  QList<QPointer<QObject>> allowed_;
  std::function<void()> onCloseRequest_;
  QList<QPointer<QWidget>> held_;
  QList<QPointer<QWidget>> shown_;  // windows shown since the guard was made
  WalkGuard* outer_ = nullptr;
};

}  // namespace app::catalog
