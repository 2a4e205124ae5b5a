// The password gate: whenever a catalog is opened, decides the user's rights for it and keeps
// them in the login state.
#pragma once

#include <functional>

#include "appstate.h"

struct ICompCtl;
class QWidget;

namespace app {

// Shows the protection state in the main window's "SEC" panel: true "LOCK"/"ON", false
// "UNLOCK"/"OFF".
using SecurityPanel = std::function<void(bool locked)>;

// Called once the control names the catalog. A catalog without a master password logs in as
// "MASTER_LOGIN" with deleting allowed; otherwise frmLogin asks for a password. True when the
// user may work with the catalog. The login state is cleared first, so a prompt closed any
// way but by a matching password leaves no login. A failure reading the passwords raises
// vbrt::RuntimeError (no login).
bool CheckThePassword(ICompCtl* control, QWidget* owner, const SecurityPanel& showSecurity,
                      Login& login = Global().login);

}  // namespace app
