// frmStart: single instance, then the main window's load and the event loop.
#include "frmstart.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "components.h"
#include "drivetablenotice.h"
#include "forms.h"
#include "frmmain.h"
#include "programfolder.h"
#include "singleinstance.h"

namespace app {

int frmStart::Run(QApplication& application) {
  SingleInstance instance(SingleInstance::KeyFor(platform::ProgramFolder()));
  if (!instance.Claim()) {
    // Another start runs: its window comes up, this one ends (a first start that does not
    // answer does not keep this one alive either).
    instance.AskFirstToActivate();
    return 0;
  }
  // The component registry of this program folder may not know the libraries yet (a new
  // program folder, or a registry written for another copy of the program): the libraries
  // beside the executable register themselves into it before the main window creates the
  // browser control. A failure still starts the program; the control's absence is shown.
  std::string why;
  if (FAILED(RegisterShippedComponents(&why))) std::fprintf(stderr, "xendora: %s\n", why.c_str());
  // The program ends only through Exit, never because its last visible window closed (the
  // main window may be hidden in the tray while a dialog closes).
  application.setQuitOnLastWindowClosed(false);
  forms::SetAppTitle(QStringLiteral("Xendora"));
  auto main = std::make_unique<frmMain>();
  QObject::connect(&instance, &SingleInstance::activateRequested, main.get(),
                   [window = main.get()] { window->ActivateFromSecondInstance(); });
  main->Form_Load();
  main->show();
  main->activateWindow();
  ShowDriveTableProblems();
  const int code = application.exec();
  main.reset();
  return code;
}

}  // namespace app
