// The password gate over the browser control's passwords and frmLogin.
#include "passwordgate.h"

#include "forms.h"
#include "frmlogin.h"
#include "icompctl.h"
#include "iteminfovariant.h"
#include "vbrt.h"

namespace app {

bool CheckThePassword(ICompCtl* control, QWidget* owner, const SecurityPanel& showSecurity, Login& login) {
  login.LoginState.clear();
  if (!control) return false;
  xcom::Bstr master;
  HRESULT hr = control->get_MasterPassword(master.ReleaseAndGetAddressOf());
  if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
  if (master.Length() == 0) {
    login.LoginState = QStringLiteral("MASTER_LOGIN");
    if (showSecurity) showSecurity(false);
    control->put_AllowDelete(1);
    return true;
  }
  auto* dialog = new frmLogin(owner, control, login);
  dialog->SetFormType(kPasswordForm);
  forms::ShowModal(dialog, owner);
  delete dialog;
  if (showSecurity) showSecurity(true);
  return login.LoginState == QLatin1String("USER_LOGIN") || login.LoginState == QLatin1String("MASTER_LOGIN");
}

}  // namespace app
