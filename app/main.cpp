// The executable xendora: the application object, then the start-up window.
#include <QApplication>

#include "catalogdialogs.h"
#include "designerlinks.h"
#include "frmstart.h"
#include "pagesetuplinks.h"
#include "surface_xcom.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The browser control draws rotated text on the program's surfaces by their device contexts.
  surface::UseComponentDeviceContexts();
  QApplication::setApplicationName(QStringLiteral("Xendora"));
  app::catalog::LinkCatalogWindows();
  designer::LinkPrintPreview();
  printsetup::LinkPageSetup();
  return app::frmStart::Run(application);
}
