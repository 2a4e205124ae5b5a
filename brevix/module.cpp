// The library's entry points: class objects of the catalog document, the browser control and
// the disk scanner, the unload test and self-registration.
#include "compctl.h"
#include "iofilegraber.h"
#include "ofilegraber.h"
#include "ostorage.h"
#include "xcom/registry.h"

#define BREVIX_EXPORT extern "C" __attribute__((visibility("default")))

namespace brevix {
namespace {

const xcom::ClassEntry kClasses[] = {
    {CLSID_OStorage, &CreateCatalogDocument},
    {CLSID_CompCtl, &CreateBrowserControl},
    {CLSID_OFileGraber, &CreateFileGraber},
};

const xcom::ClassRegistration kRegisteredClasses[] = {
    {CLSID_OStorage,
     "OStorage Class",
     "Brevix.OStorage.1",
     "Brevix.OStorage",
     "Apartment",
     true,
     true,
     &LIBID_BREVIXLib,
     {}},
    {CLSID_CompCtl, "CompCtl Class", "Brevix.CompCtl.1", "Brevix.CompCtl", "Apartment", true, true, &LIBID_BREVIXLib,
     xcom::kControlClassKeys},
    {CLSID_OFileGraber,
     "OFileGraber Class",
     "Brevix.OFileGraber.1",
     "Brevix.OFileGraber",
     "Apartment",
     true,
     true,
     &LIBID_BREVIXLib,
     {}},
};

const xcom::TypeLibRegistration kTypeLib = {LIBID_BREVIXLib, "1.0", "Brevix 1.0 Type Library"};

}  // namespace

const xcom::ServerRegistration kServer = {kRegisteredClasses, &kTypeLib};

}  // namespace brevix

BREVIX_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return brevix::LibraryModule().GetClassObject(brevix::kClasses, rclsid, riid, ppv);
}

BREVIX_EXPORT HRESULT DllCanUnloadNow() { return brevix::LibraryModule().CanUnloadNow(); }

BREVIX_EXPORT HRESULT DllRegisterServer() { return xcom::RegisterServer(brevix::kServer); }

BREVIX_EXPORT HRESULT DllUnregisterServer() { return xcom::UnregisterServer(brevix::kServer); }
