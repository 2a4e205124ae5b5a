// The library's registration and class objects: the three classes by every ProgID, the keys
// DllRegisterServer writes into a registry of its own and DllUnregisterServer removes, and
// the entry points' answers.
#include <dlfcn.h>
#include <stdlib.h>

#include <fstream>
#include <set>

#include "iofilegraber.h"
#include "test_support.h"
#include "xcom/registry.h"

namespace brevixtest {
namespace {

TEST(Registration, EveryClassByEveryProgId) {
  struct Case {
    const char16_t* progId;
    CLSID clsid;
    IID iid;
  } cases[] = {
      {u"Brevix.CompCtl", CLSID_CompCtl, IID_ICompCtl},
      {u"Brevix.CompCtl.1", CLSID_CompCtl, IID_ICompCtl},
      {u"Brevix.OFileGraber", CLSID_OFileGraber, IID_IOFileGraber},
      {u"Brevix.OFileGraber.1", CLSID_OFileGraber, IID_IOFileGraber},
      {u"Brevix.OStorage", CLSID_OStorage, IID_IOStorage},
      {u"Brevix.OStorage.1", CLSID_OStorage, IID_IOStorage},
  };
  App();
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.progId));
    CLSID found{};
    ASSERT_EQ(CLSIDFromProgID(c.progId, &found), S_OK);
    EXPECT_EQ(found, c.clsid);
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, c.iid, object.ReleaseAndGetAddressOfVoid()), S_OK);
    ComPtr<IDispatch> disp;
    EXPECT_EQ(object.As(&disp), S_OK);
  }
}

std::string LibraryPath() {
  HKEY h{};
  std::string key = "CLSID\\" + xcom::GuidToString(CLSID_CompCtl) + "\\InprocServer32";
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return {};
  char buf[4096];
  DWORD size = sizeof buf;
  LONG r = RegQueryValueExA(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return r == ERROR_SUCCESS ? std::string(buf) : std::string();
}

// The keys of a registry file, below HKEY_CLASSES_ROOT.
std::set<std::string> KeysOf(const std::filesystem::path& file) {
  std::set<std::string> keys;
  std::ifstream in(file);
  std::string line;
  const std::string root = "[HKEY_CLASSES_ROOT\\";
  while (std::getline(in, line))
    if (line.rfind(root, 0) == 0 && line.back() == ']') keys.insert(line.substr(root.size(), line.size() - root.size() - 1));
  return keys;
}

TEST(Registration, ExactlyTheLibrarysKeysAndTheirRemoval) {
  const std::string library = LibraryPath();
  ASSERT_FALSE(library.empty());
  void* lib = dlopen(library.c_str(), RTLD_NOW);
  ASSERT_TRUE(lib) << dlerror();
  auto reg = reinterpret_cast<LPFNREGISTERSERVER>(dlsym(lib, "DllRegisterServer"));
  auto unreg = reinterpret_cast<LPFNREGISTERSERVER>(dlsym(lib, "DllUnregisterServer"));
  auto getClass = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(lib, "DllGetClassObject"));
  auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(lib, "DllCanUnloadNow"));
  ASSERT_TRUE(reg && unreg && getClass && canUnload);

  TempDir dir;
  const std::string previous = getenv("XCOM_REGISTRY") ? getenv("XCOM_REGISTRY") : "";
  const std::filesystem::path file = dir.path() / "xcom.reg";
  setenv("XCOM_REGISTRY", file.c_str(), 1);
  EXPECT_EQ(reg(), S_OK);
  std::set<std::string> expected = {"CLSID", "TypeLib"};
  const std::string lib1 = xcom::GuidToString(LIBID_BREVIXLib);
  for (const char* k : {"", "\\1.0", "\\1.0\\0", "\\1.0\\0\\win32", "\\1.0\\FLAGS", "\\1.0\\HELPDIR"})
    expected.insert("TypeLib\\" + lib1 + k);
  struct Class {
    const char* name;
    CLSID clsid;
  } classes[] = {{"OStorage", CLSID_OStorage}, {"CompCtl", CLSID_CompCtl}, {"OFileGraber", CLSID_OFileGraber}};
  for (const Class& c : classes) {
    const std::string prog = std::string("Brevix.") + c.name;
    for (const std::string& k : {prog, prog + "\\CLSID", prog + "\\CurVer", prog + ".1", prog + ".1\\CLSID"})
      expected.insert(k);
    const std::string key = "CLSID\\" + xcom::GuidToString(c.clsid);
    for (const char* k : {"", "\\ProgID", "\\VersionIndependentProgID", "\\Programmable", "\\InprocServer32", "\\TypeLib"})
      expected.insert(key + k);
    if (c.clsid == CLSID_CompCtl)
      for (const char* k : {"\\Control", "\\Insertable", "\\ToolboxBitmap32", "\\MiscStatus", "\\MiscStatus\\1", "\\Version"})
        expected.insert(key + k);
  }
  EXPECT_EQ(KeysOf(file), expected);
  auto value = [](const std::string& key, const char* name) {
    HKEY h{};
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::string("<none>");
    char buf[4096];
    DWORD size = sizeof buf;
    LONG r = RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    return r == ERROR_SUCCESS ? std::string(buf) : std::string("<none>");
  };
  const std::string ctl = "CLSID\\" + xcom::GuidToString(CLSID_CompCtl);
  EXPECT_EQ(value(ctl, nullptr), "CompCtl Class");
  EXPECT_EQ(value(ctl + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(value(ctl + "\\InprocServer32", nullptr), library);
  EXPECT_EQ(value(ctl + "\\ToolboxBitmap32", nullptr), library + ", 102");
  EXPECT_EQ(value(ctl + "\\MiscStatus", nullptr), "0");
  EXPECT_EQ(value(ctl + "\\MiscStatus\\1", nullptr), "131473");
  EXPECT_EQ(value(ctl + "\\Version", nullptr), "1.0");
  EXPECT_EQ(value("Brevix.OFileGraber\\CurVer", nullptr), "Brevix.OFileGraber.1");
  EXPECT_EQ(value("TypeLib\\" + lib1 + "\\1.0", nullptr), "Brevix 1.0 Type Library");
  EXPECT_EQ(unreg(), S_OK);
  EXPECT_EQ(KeysOf(file), std::set<std::string>{"CLSID"});
  if (previous.empty()) unsetenv("XCOM_REGISTRY");
  else setenv("XCOM_REGISTRY", previous.c_str(), 1);

  // The class objects.
  EXPECT_EQ(getClass(CLSID_CompCtl, IID_IClassFactory, nullptr), E_POINTER);
  void* p = nullptr;
  EXPECT_EQ(getClass(IID_ICompCtl, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(getClass(CLSID_OStorage, IID_IClassFactory, factory.ReleaseAndGetAddressOfVoid()), S_OK);
  EXPECT_EQ(canUnload(), S_FALSE);
  factory.Reset();
}

}  // namespace
}  // namespace brevixtest
