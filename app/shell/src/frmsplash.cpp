// frmSplash: the program's name and version while the main window loads.
#include "frmsplash.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "frmabout.h"

namespace app {

frmSplash::frmSplash(QWidget* owner) : QWidget(owner, Qt::SplashScreen | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0, 64, 128));
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(40, 30, 40, 30);
  auto* product = new QLabel(QStringLiteral("Xendora"), this);
  product->setObjectName(QStringLiteral("lblProductName"));
  QFont big = product->font();
  big.setPointSize(28);
  big.setBold(true);
  product->setFont(big);
  auto* line = new QLabel(QStringLiteral("Disk Catalog"), this);
  line->setObjectName(QStringLiteral("lblLicenseTo"));
  auto* version = new QLabel(VersionText(), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  for (QLabel* label : {product, line, version}) {
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(2000);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &QWidget::close);
  timer_->start();
}

void frmSplash::mousePressEvent(QMouseEvent*) { close(); }
void frmSplash::keyPressEvent(QKeyEvent*) { close(); }

}  // namespace app
