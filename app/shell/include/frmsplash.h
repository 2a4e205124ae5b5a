// frmSplash: the window shown while the main window loads; it goes after 2 seconds, or at once
// on a click or a key press.
#pragma once

#include <QWidget>

class QTimer;

namespace app {

class frmSplash : public QWidget {
  Q_OBJECT

 public:
  explicit frmSplash(QWidget* owner = nullptr);
  QTimer* Timer1() const { return timer_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTimer* timer_;
};

}  // namespace app
