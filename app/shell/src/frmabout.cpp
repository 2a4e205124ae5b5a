// frmAbout: version line, web link and the system information tool.
#include "frmabout.h"

#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStyle>

#include "forms.h"
#include "shellexecute.h"
#include "xcom/registry.h"

#ifndef XENDORA_VERSION_MAJOR
#define XENDORA_VERSION_MAJOR 1
#endif
#ifndef XENDORA_VERSION_MINOR
#define XENDORA_VERSION_MINOR 0
#endif

namespace app {

QString VersionText() {
  return QStringLiteral("Version 2.1.%1.%2").arg(XENDORA_VERSION_MAJOR).arg(XENDORA_VERSION_MINOR);
}

QString WebSiteAddress() { return QStringLiteral("https://www.example.org/xendora/"); }

bool GetKeyValue(std::uintptr_t root, const QString& keyName, const QString& valueName, QString& result) {
  result.clear();
  HKEY key{};
  const QByteArray name = keyName.toUtf8();
  if (RegOpenKeyExA(HKEY{root}, name.constData(), 0, 0x2003F, &key) != ERROR_SUCCESS) return false;
  char buffer[1024];
  DWORD size = sizeof buffer;
  DWORD type = 0;
  const QByteArray value = valueName.toUtf8();
  if (RegQueryValueExA(key, value.constData(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;
  }
  while (size > 0 && buffer[size - 1] == '\0') --size;
  result = QString::fromUtf8(buffer, qsizetype(size));
  RegCloseKey(key);
  return true;
}

void StartSysInfo() {
  const auto machine = static_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE);
  QString path;
  if (GetKeyValue(machine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"), path) &&
      QProcess::startDetached(path, {})) {
    return;
  }
  if (GetKeyValue(machine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO"), path)) {
    const QString tool = path + QStringLiteral("/MSINFO32.EXE");
    if (QFileInfo::exists(tool) && QProcess::startDetached(tool, {})) return;
  }
  forms::MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), forms::vbOKOnly);
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About Xendora"));
  auto* grid = new QGridLayout(this);
  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image2"));
  image->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(48, 48));
  image->setCursor(Qt::PointingHandCursor);
  auto* title = new QLabel(QStringLiteral("<b>Xendora</b> Disk Catalog"), this);
  title->setObjectName(QStringLiteral("lblTitle"));
  auto* version = new QLabel(VersionText(), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  lblWebSite_ = new QLabel(WebSiteAddress(), this);
  lblWebSite_->setObjectName(QStringLiteral("lblWebSite"));
  lblWebSite_->setCursor(Qt::PointingHandCursor);
  auto* warning = new QLabel(
      QStringLiteral("Custom label templates are kept by the KYP template store library."), this);
  warning->setObjectName(QStringLiteral("lblWarning"));
  warning->setWordWrap(true);
  auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
  sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  grid->addWidget(image, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(title, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(lblWebSite_, 2, 1);
  grid->addWidget(warning, 3, 0, 1, 2);
  grid->addWidget(sysInfo, 4, 0, 1, 2, Qt::AlignRight);
  grid->addWidget(ok, 5, 0, 1, 2, Qt::AlignRight);
  setMinimumWidth(360);
  for (QWidget* w : std::initializer_list<QWidget*>{this, image, title, version, lblWebSite_, warning}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  connect(sysInfo, &QPushButton::clicked, this, [] { StartSysInfo(); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    lblWebSite_->setStyleSheet(watched == lblWebSite_ ? QStringLiteral("color: rgb(255, 0, 0)")
                                                      : QStringLiteral("color: black"));
  } else if (event->type() == QEvent::MouseButtonPress &&
             (watched == lblWebSite_ || watched->objectName() == QLatin1String("Image2"))) {
    forms::ShellExecuteA(nullptr, QStringLiteral("open"), WebSiteAddress(), QString(), QString(), forms::SW_SHOWNORMAL);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace app
