// Opening the cataloguing dialogs with the program's parts.
#include "catalogdialogs.h"

#include "appstate.h"
#include "forms.h"
#include "frmadddisk.h"
#include "frmupdate.h"
#include "global.h"
#include "iteminfovariant.h"

namespace app::catalog {

CatalogDialogParts GlobalDialogParts() {
  CatalogDialogParts p;
  p.state = &Global();
  p.compCtl = MainCompCtl();
  return p;
}

QString CatalogFileOf(ICompCtl* compCtl) {
  if (!compCtl) return QString();
  xcom::Bstr name;
  if (FAILED(compCtl->get_DocFileName(name.ReleaseAndGetAddressOf()))) return QString();
  return FromBstr(name.Get());
}

void ShowAddDiskDialog(const CatalogDialogParts& parts, QWidget* owner) {
  frmAddDisk dialog(parts, owner);
  forms::ShowModal(&dialog, owner);
}

void ShowUpdateDialog(const CatalogDialogParts& parts, QWidget* owner) {
  frmUpdate dialog(parts, owner);
  forms::ShowModal(&dialog, owner);
}

}  // namespace app::catalog
