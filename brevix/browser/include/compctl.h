// The catalog browser control as the library creates it: for the library's class table and
// for tests that drive the control's own code.
#pragma once

#include "icompctl.h"
#include "xcom/com.h"
#include "xcom/object.h"

namespace brevix {

// The class object's creation function for CLSID_CompCtl (alone or inside an aggregate), for
// the library's class table: {CLSID_CompCtl, &brevix::CreateBrowserControl}. A control whose
// catalog document cannot be created still is, and works without one.
HRESULT CreateBrowserControl(xcom::ServerModule& module, IUnknown* outer, REFIID riid, void** ppv);

}  // namespace brevix
