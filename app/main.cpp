// The executable xendora: the application object, then the start-up window.
#include <QApplication>

#include "catalogdialogs.h"
#include "designerlinks.h"
#include "frmstart.h"
#include "pagesetuplinks.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Xendora"));
  app::catalog::LinkCatalogWindows();
  designer::LinkPrintPreview();
  printsetup::LinkPageSetup();
  return app::frmStart::Run(application);
}
