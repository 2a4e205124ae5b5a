// The library as the component runtime serves it: every registered class created by its
// ProgIDs and class identifier, the registry entries, and the unload count.
#include <dlfcn.h>

#include "test_support.h"

namespace kyptest {
namespace {

struct ClassCase {
  const char* name;
  CLSID clsid;
  IID iid;
};

const ClassCase kClasses[] = {
    {"VemraKYP", CLSID_VemraKYP, IID_IVemraKYP}, {"ONodes", CLSID_ONodes, IID_IONodes},
    {"ONode", CLSID_ONode, IID_IONode},          {"OFields", CLSID_OFields, IID_IOFields},
    {"OField", CLSID_OField, IID_IOField},       {"OItemDefs", CLSID_OItemDefs, IID_IOItemDefs},
    {"OItemDef", CLSID_OItemDef, IID_IOItemDef},
};

std::string RegistryValue(const std::string& key, const char* value) {
  HKEY h{};
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
  char buf[1024];
  DWORD size = sizeof buf, type = 0;
  LONG r = RegQueryValueExA(h, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  if (r != ERROR_SUCCESS) return "<no value>";
  return std::string(buf, size > 0 && buf[size - 1] == '\0' ? size - 1 : size);
}

TEST(Registration, EveryClassIsCreatedByProgIdAndClassId) {
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(c.name);
    std::u16string independent = u"KYP." + U16(c.name);
    for (const std::u16string& progId : {independent, independent + u".1"}) {
      CLSID found{};
      ASSERT_EQ(CLSIDFromProgID(progId.c_str(), &found), S_OK);
      EXPECT_EQ(found, c.clsid);
    }
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, c.iid, object.ReleaseAndGetAddressOfVoid()),
              S_OK);
    ComPtr<IDispatch> disp;
    EXPECT_EQ(object.As(&disp), S_OK);
  }
  // The store class is never registered: its interface lives on the document root.
  CLSID none{};
  EXPECT_EQ(CLSIDFromProgID(u"KYP.OKYPStore", &none), CO_E_CLASSSTRING);
  ComPtr<IUnknown> store;
  EXPECT_EQ(CoCreateInstance(CLSID_OKYPStore, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             store.ReleaseAndGetAddressOfVoid()),
            REGDB_E_CLASSNOTREG);
  ComPtr<IVemraKYP> root;
  ASSERT_EQ(xcom::CreateInstance(CLSID_VemraKYP, &root), S_OK);
  for (const IID& iid : {IID_IOKYPStore, IID_IOKYPInternal, IID_IConnectionPointContainer}) {
    ComPtr<IUnknown> i;
    EXPECT_EQ(root->QueryInterface(iid, i.ReleaseAndGetAddressOfVoid()), S_OK);
  }
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(root.As(&cpc), S_OK);
  ComPtr<IConnectionPoint> cp;
  EXPECT_EQ(cpc->FindConnectionPoint(DIID__IVemraKYPEvents, cp.GetAddressOf()), CONNECT_E_NOCONNECTION);
}

TEST(Registration, EntriesOfTheRegistry) {
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(c.name);
    bool isRoot = c.clsid == CLSID_VemraKYP;
    std::string key = "CLSID\\" + xcom::GuidToString(c.clsid);
    EXPECT_EQ(RegistryValue(key, nullptr), std::string(c.name) + " Class");
    EXPECT_EQ(RegistryValue(key + "\\InprocServer32", "ThreadingModel"), isRoot ? "Apartment" : "both");
    EXPECT_EQ(RegistryValue(key + "\\ProgID", nullptr), "KYP." + std::string(c.name) + ".1");
    EXPECT_EQ(RegistryValue(key + "\\VersionIndependentProgID", nullptr), "KYP." + std::string(c.name));
    EXPECT_EQ(RegistryValue(key + "\\Programmable", nullptr) != "<no key>", isRoot);
    EXPECT_EQ(RegistryValue(key + "\\TypeLib", nullptr), isRoot ? xcom::GuidToString(LIBID_KYPLib) : "<no key>");
    EXPECT_EQ(RegistryValue("KYP." + std::string(c.name) + "\\CurVer", nullptr),
              isRoot ? "KYP.VemraKYP.1" : "<no key>");
  }
  EXPECT_EQ(RegistryValue("TypeLib\\" + xcom::GuidToString(LIBID_KYPLib) + "\\1.0", nullptr), "KYP 1.0 Type Library");
}

TEST(Registration, LibraryCanUnloadOnceEveryObjectIsGone) {
  ComPtr<IVemraKYP> root;
  ASSERT_EQ(xcom::CreateInstance(CLSID_VemraKYP, &root), S_OK);
  std::string path = RegistryValue("CLSID\\" + xcom::GuidToString(CLSID_VemraKYP) + "\\InprocServer32", nullptr);
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr) << path;
  auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(lib, "DllCanUnloadNow"));
  ASSERT_NE(canUnload, nullptr);
  ComPtr<IONodes> nodes;
  ASSERT_EQ(root->get_Nodes(nodes.GetAddressOf()), S_OK);
  root.Reset();
  EXPECT_EQ(canUnload(), S_FALSE);  // the collection still lives
  nodes.Reset();
  EXPECT_EQ(canUnload(), S_OK);
  dlclose(lib);
}

}  // namespace
}  // namespace kyptest
