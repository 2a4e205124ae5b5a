// Grabs the prompt dialog and both pages of the options dialog as a person sees them (run it
// under a display, e.g. xvfb-run): shell_screenshots <folder>. With a disk name as well, the
// main window over the settings of $XENDORA_HOME and its registered browser control, with
// that disk selected: shell_screenshots <folder> <disk>.
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include "frmlogin.h"
#include "frmmain.h"
#include "icompctl.h"
#include "iteminfovariant.h"
#include "frmoptions.h"
#include "test_support.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2 && argc != 3) return 2;
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (argc == 3) {
    app::frmMain main;
    main.SetQuitOnUnload(false);
    main.Form_Load();
    main.show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    if (ICompCtl* control = main.CompCtl1()) {
      const xcom::Bstr disk = app::ToBstr(QString::fromLocal8Bit(argv[2]));
      control->SetSelectedItem(disk.Get(), 0);
    }
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    main.grab().save(folder + QStringLiteral("/frmMain.png"));
    return 0;
  }
  auto control = shelltest::MakeFakeCompCtl();
  control->docFileName = QStringLiteral("/home/ann/Catalogs/Family.DKC");
  control->master = QStringLiteral("secret");
  control->user = QStringLiteral("guest");
  shelltest::ScopedFileGraber graber;
  app::AppState state;
  state.settings.StartSerials[app::kFloppyDisk] = 10;
  state.settings.StartSerials[app::kZipDisk] = 100;
  state.settings.StartSerials[app::kCdRwDisk] = 300;
  state.settings.OtherMediaNames = {QStringLiteral("Jaz 2GB")};
  state.settings.OtherMediaSerials = {QStringLiteral("301")};

  auto save = [&](QWidget* w, const char* name) {
    w->show();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    w->grab().save(folder + u'/' + QString::fromLatin1(name));
  };
  app::frmLogin login(nullptr, control.Get(), state.login, state.prompt);
  login.SetFormType(app::kPasswordForm);
  login.txtPassword()->setText(QStringLiteral("abc"));
  save(&login, "frmLogin.png");
  login.hide();

  state.login.LoginState = QStringLiteral("MASTER_LOGIN");  // the password prompt cleared it
  app::frmOptions options(nullptr, control.Get(), state);
  options.Load();
  save(&options, "frmOptions-SER.png");
  options.findChild<QTabWidget*>(QStringLiteral("tbsOptions"))->setCurrentIndex(1);
  save(&options, "frmOptions-SEC.png");
  return 0;
}
