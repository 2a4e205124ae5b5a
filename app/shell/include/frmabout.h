// frmAbout: the program's version, a link to its web page and the system information button.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;

namespace app {

// "Version 2.1.<major>.<minor>" from the build's version.
QString VersionText();
// The program's web page.
QString WebSiteAddress();

// A registry value as text (the component registry): true when it was read.
bool GetKeyValue(std::uintptr_t root, const QString& keyName, const QString& valueName, QString& result);
// Starts the system information tool, or says that there is none.
void StartSysInfo();

class frmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit frmAbout(QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* lblWebSite_;
};

}  // namespace app
