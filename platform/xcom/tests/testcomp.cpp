// A component library for the runtime's tests: three classes registered the way the catalog
// and template libraries register theirs (a programmable class with a type library and
// CurVer, a control with its extra entries, and a "both" class without CurVer).
#include "testcomp.h"

#include "xcom/dispatch.h"
#include "xcom/object.h"
#include "xcom/registry.h"

namespace {

xcom::ServerModule g_module;

class Widget : public xcom::DispatchImpl<Widget, IWidget> {
 public:
  static const xcom::DispatchTable<Widget>& GetDispatchTable() {
    using M = xcom::Member<Widget>;
    static const xcom::DispatchTable<Widget> table{
        M::PropertyGet<&IWidget::get_Value>("Value", DISPID_VALUE),
        M::PropertyPut<&IWidget::put_Value>("Value", DISPID_VALUE),
    };
    return table;
  }
  void* GetInterface(REFIID iid) { return xcom::FindInterface<IWidget, IDispatch>(this, iid); }

  HRESULT get_Value(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = value_;
    return S_OK;
  }
  HRESULT put_Value(LONG newVal) override {
    value_ = newVal;
    return S_OK;
  }

 private:
  LONG value_ = 7;
};

const xcom::ClassEntry kClasses[] = {
    {CLSID_TestWidget, &xcom::CreateComponent<Widget>},
    {CLSID_TestGadget, &xcom::CreateComponent<Widget>},
    {CLSID_TestHelper, &xcom::CreateComponent<Widget>},
};

const xcom::ClassRegistration kRegistrations[] = {
    {CLSID_TestWidget, "Widget Class", "XcomTest.Widget.1", "XcomTest.Widget", "Apartment", true, true, &LIBID_TestLib},
    {CLSID_TestGadget, "Gadget Class", "XcomTest.Gadget.1", "XcomTest.Gadget", "Apartment", true, true, &LIBID_TestLib,
     xcom::kControlClassKeys},
    {CLSID_TestHelper, "Helper Class", "XcomTest.Helper.1", "XcomTest.Helper", "both", false, false},
};

const xcom::TypeLibRegistration kTypeLib{LIBID_TestLib, "1.0", "XcomTest 1.0 Type Library"};

const xcom::ServerRegistration kServer{kRegistrations, &kTypeLib};

}  // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return g_module.GetClassObject(kClasses, rclsid, riid, ppv);
}
extern "C" HRESULT DllCanUnloadNow() { return g_module.CanUnloadNow(); }
extern "C" HRESULT DllRegisterServer() { return xcom::RegisterServer(kServer); }
extern "C" HRESULT DllUnregisterServer() { return xcom::UnregisterServer(kServer); }
