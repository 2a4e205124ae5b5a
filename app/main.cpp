// The executable xendora: the application object, then the start-up window.
#include <QApplication>

#include "catalogdialogs.h"
#include "frmstart.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Xendora"));
  app::catalog::LinkCatalogWindows();
  return app::frmStart::Run(application);
}
