// The guard that keeps a running walk's yields from running anything but Stop.
#include "walkguard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace app::catalog {

namespace {
WalkGuard* g_guard = nullptr;
}

WalkGuard::WalkGuard(QList<QObject*> allowed, std::function<void()> onCloseRequest)
    : onCloseRequest_(std::move(onCloseRequest)), outer_(g_guard) {
  for (QObject* o : allowed)
    if (o) allowed_.append(o);
  g_guard = this;
  if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

WalkGuard::~WalkGuard() {
  if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
  g_guard = outer_;
  for (const QPointer<QWidget>& w : held_) {
    if (!w) continue;
    QPointer<QWidget> target = w;
    QTimer::singleShot(0, target, [target] {
      if (target) target->close();
    });
  }
}

bool WalkGuard::Active() { return g_guard != nullptr; }

bool WalkGuard::ShownDuringWalk(const QObject* target) const {
  const auto* widget = qobject_cast<const QWidget*>(target);
  if (!widget) return false;
  const QWidget* window = widget->window();
  for (const QPointer<QWidget>& w : shown_)
    if (w && w == window) return true;
  return false;
}

bool WalkGuard::Allowed(QObject* target) const {
  // A window shown during the walk (its message boxes: the walk's own report, the cap's
  // notice, the Stop command's) takes its input.
  if (ShownDuringWalk(target)) return true;
  for (QObject* o = target; o; o = o->parent()) {
    for (const QPointer<QObject>& a : allowed_)
      if (a && a == o) return true;
  }
  return false;
}

bool WalkGuard::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show: {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->isWindow() && !shown_.contains(w)) {
        shown_.removeAll(nullptr);
        shown_.append(w);
      }
      return false;
    }
    case QEvent::Close: {
      auto* w = qobject_cast<QWidget*>(watched);
      if (!w || !w->isWindow()) return false;
      // A window shown during the walk closes as usual: a message box answered by its
      // buttons, its keys or its close box ends through its own close.
      if (ShownDuringWalk(w)) return false;
      if (!held_.contains(w)) held_.append(w);
      event->ignore();
      if (onCloseRequest_) onCloseRequest_();
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop:
      // Events on the platform windows pass, so that they reach the widgets below them.
      if (!watched->isWidgetType() && !watched->inherits("QAction")) return false;
      return !Allowed(watched);
    default:
      return false;
  }
}

}  // namespace app::catalog
