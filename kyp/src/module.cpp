// The library's entry points: class objects for the registered classes, the unload test and
// self-registration.
#include "root.h"

#define KYP_EXPORT extern "C" __attribute__((visibility("default")))

namespace kyp {
namespace {

const xcom::ClassEntry kClasses[] = {
    {CLSID_VemraKYP, &xcom::CreateComponent<VemraKYP>},
    {CLSID_ONodes, &xcom::CreateComponent<ONodes>},
    {CLSID_ONode, &xcom::CreateComponent<ONode>},
    {CLSID_OFields, &xcom::CreateComponent<OFields>},
    {CLSID_OField, &xcom::CreateComponent<OField>},
    {CLSID_OItemDefs, &xcom::CreateComponent<OItemDefs>},
    {CLSID_OItemDef, &xcom::CreateComponent<OItemDef>},
};

// The document root alone is programmable, names the type library and has a current
// version under its version-independent ProgID; the other classes run in either model.
xcom::ClassRegistration Secondary(const CLSID& clsid, const char* description, const char* progId,
                                  const char* independentProgId) {
  return {clsid, description, progId, independentProgId, "both", false, false, nullptr, {}};
}

const xcom::ClassRegistration kRegisteredClasses[] = {
    {CLSID_VemraKYP, "VemraKYP Class", "KYP.VemraKYP.1", "KYP.VemraKYP", "Apartment", true, true,
     &LIBID_KYPLib, {}},
    Secondary(CLSID_ONodes, "ONodes Class", "KYP.ONodes.1", "KYP.ONodes"),
    Secondary(CLSID_ONode, "ONode Class", "KYP.ONode.1", "KYP.ONode"),
    Secondary(CLSID_OFields, "OFields Class", "KYP.OFields.1", "KYP.OFields"),
    Secondary(CLSID_OField, "OField Class", "KYP.OField.1", "KYP.OField"),
    Secondary(CLSID_OItemDefs, "OItemDefs Class", "KYP.OItemDefs.1", "KYP.OItemDefs"),
    Secondary(CLSID_OItemDef, "OItemDef Class", "KYP.OItemDef.1", "KYP.OItemDef"),
};

const xcom::TypeLibRegistration kTypeLib = {LIBID_KYPLib, "1.0", "KYP 1.0 Type Library"};

}  // namespace

const xcom::ServerRegistration kServer = {kRegisteredClasses, &kTypeLib};

}  // namespace kyp

KYP_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return kyp::Module().GetClassObject(kyp::kClasses, rclsid, riid, ppv);
}

KYP_EXPORT HRESULT DllCanUnloadNow() { return kyp::Module().CanUnloadNow(); }

KYP_EXPORT HRESULT DllRegisterServer() { return xcom::RegisterServer(kyp::kServer); }

KYP_EXPORT HRESULT DllUnregisterServer() { return xcom::UnregisterServer(kyp::kServer); }
