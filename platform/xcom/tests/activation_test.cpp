// Registration of a component library, creation by ProgID and class id, class objects,
// aggregation and the unload count, and the registration tool.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "test_support.h"
#include "testcomp.h"
#include "xcom/com.h"
#include "xcom/dispatch.h"
#include "xcom/registry.h"

namespace {

using xcom::ComPtr;

const std::string kLibrary = std::filesystem::canonical(XCOM_TESTCOMP_PATH).string();

template <class Fn>
Fn Export(const char* name) {
  void* h = ::dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(h, nullptr) << ::dlerror();
  return reinterpret_cast<Fn>(::dlsym(h, name));
}

// The string value of a key below HKEY_CLASSES_ROOT; "<absent>" for no key, "<no value>" for
// a key without that value.
std::string Value(const std::string& key, const char* name = "") {
  HKEY h{};
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<absent>";
  char buf[1024];
  DWORD size = sizeof buf;
  LONG e = RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return e == ERROR_SUCCESS ? std::string(buf) : "<no value>";
}

class XcomRegistered : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(xcom::RegisterServerLibrary(kLibrary), S_OK); }
  TempRegistry reg_;
};

TEST_F(XcomRegistered, WritesTheEntriesOfEachClass) {
  const std::string widget = "CLSID\\" + xcom::GuidToString(CLSID_TestWidget);
  const std::string gadget = "CLSID\\" + xcom::GuidToString(CLSID_TestGadget);
  const std::string helper = "CLSID\\" + xcom::GuidToString(CLSID_TestHelper);
  const std::string libid = xcom::GuidToString(LIBID_TestLib);
  struct Entry {
    std::string key;
    const char* name;
    std::string value;
  } entries[] = {
      {"XcomTest.Widget.1", "", "Widget Class"},
      {"XcomTest.Widget.1\\CLSID", "", xcom::GuidToString(CLSID_TestWidget)},
      {"XcomTest.Widget", "", "Widget Class"},
      {"XcomTest.Widget\\CLSID", "", xcom::GuidToString(CLSID_TestWidget)},
      {"XcomTest.Widget\\CurVer", "", "XcomTest.Widget.1"},
      {widget, "", "Widget Class"},
      {widget + "\\ProgID", "", "XcomTest.Widget.1"},
      {widget + "\\VersionIndependentProgID", "", "XcomTest.Widget"},
      {widget + "\\Programmable", "", "<no value>"},
      {widget + "\\InprocServer32", "", kLibrary},
      {widget + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {widget + "\\TypeLib", "", libid},
      {gadget + "\\Control", "", "<no value>"},
      {gadget + "\\Insertable", "", "<no value>"},
      {gadget + "\\ToolboxBitmap32", "", kLibrary + ", 102"},
      {gadget + "\\MiscStatus", "", "0"},
      {gadget + "\\MiscStatus\\1", "", "131473"},
      {gadget + "\\Version", "", "1.0"},
      {helper + "\\InprocServer32", "ThreadingModel", "both"},
      {"XcomTest.Helper\\CurVer", "", "<absent>"},
      {helper + "\\Programmable", "", "<absent>"},
      {helper + "\\TypeLib", "", "<absent>"},
      {widget + "\\Control", "", "<absent>"},
      {"TypeLib\\" + libid + "\\1.0", "", "XcomTest 1.0 Type Library"},
      {"TypeLib\\" + libid + "\\1.0\\0\\win32", "", kLibrary},
  };
  for (const Entry& e : entries) EXPECT_EQ(Value(e.key, e.name), e.value) << e.key << " " << e.name;
}

TEST(XcomRegistration, UnregisteringLeavesTheRegistryAsBeforeButTheClassesKey) {
  TempRegistry reg;
  HKEY h{};
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(h, "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4);
  RegCloseKey(h);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Other.Prog", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(h);
  const std::string before = reg.Text();

  ASSERT_EQ(xcom::RegisterServerLibrary(kLibrary), S_OK);
  const std::string once = reg.Text();
  ASSERT_EQ(xcom::RegisterServerLibrary(kLibrary), S_OK);
  EXPECT_EQ(reg.Text(), once);  // registering again rewrites the same entries
  ASSERT_EQ(xcom::UnregisterServerLibrary(kLibrary), S_OK);

  // What stays is the empty "CLSID" key; without it the registry is what it was.
  EXPECT_EQ(Value("CLSID"), "<no value>");
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);  // it has no subkeys left
  EXPECT_EQ(reg.Text(), before);
}

TEST_F(XcomRegistered, CreatesByProgIdVersionedProgIdAndClassId) {
  struct Case {
    const char16_t* name;
    CLSID clsid;
  } cases[] = {
      {u"XcomTest.Widget.1", CLSID_TestWidget},
      {u"XcomTest.Widget", CLSID_TestWidget},
      {u"xcomtest.widget", CLSID_TestWidget},
      {u"XcomTest.Helper", CLSID_TestHelper},
  };
  for (const Case& c : cases) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(c.name, &clsid), S_OK) << xcom::Utf16ToUtf8(c.name);
    EXPECT_EQ(clsid, c.clsid);
    ComPtr<IWidget> w;
    ASSERT_EQ(xcom::CreateInstance(clsid, &w), S_OK);
    LONG v = 0;
    EXPECT_EQ(w->get_Value(&v), S_OK);
    EXPECT_EQ(v, 7);
  }

  // A version-independent ProgID that only names its current version.
  ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "XcomTest.Widget\\CLSID"), ERROR_SUCCESS);
  CLSID viaCurVer{};
  EXPECT_EQ(CLSIDFromProgID(u"XcomTest.Widget", &viaCurVer), S_OK);
  EXPECT_EQ(viaCurVer, CLSID_TestWidget);
  CLSID none{};
  EXPECT_EQ(CLSIDFromProgID(u"XcomTest.Nothing", &none), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(nullptr, &none), E_INVALIDARG);

  // Driven by dispatch, and converted through its value property.
  ComPtr<IDispatch> d;
  ASSERT_EQ(xcom::CreateInstance(CLSID_TestWidget, &d), S_OK);
  xcom::Variant args[] = {xcom::Variant::String(u"12")};
  EXPECT_EQ(xcom::CallDispatch(d.Get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, args), S_OK);
  xcom::Variant obj = xcom::Variant::Adopt(VT_DISPATCH, d.Get());
  d->AddRef();
  xcom::Variant n;
  ASSERT_EQ(VariantChangeType(&n, &obj, 0, VT_I4), S_OK);
  EXPECT_EQ(n.lVal, 12);
}

TEST_F(XcomRegistered, CreationFailures) {
  const std::string widget = "CLSID\\" + xcom::GuidToString(CLSID_TestWidget) + "\\InprocServer32";
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(LIBID_TestLib, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, &p), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_LOCAL_SERVER, IID_IWidget, &p), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, nullptr), E_INVALIDARG);
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &p), E_NOINTERFACE);

  auto pointAt = [&](const std::string& path) {
    HKEY h{};
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, widget.c_str(), 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
    RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), static_cast<DWORD>(path.size() + 1));
    RegCloseKey(h);
  };
  pointAt((reg_.dir() / "no-such-library.so").string());
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, &p), CO_E_DLLNOTFOUND);
  pointAt(xcom::ModulePathOf(reinterpret_cast<const void*>(&SysAllocString)));  // the runtime: no class objects
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, &p), CO_E_ERRORINDLL);
  EXPECT_EQ(p, nullptr);
}

TEST(XcomClassObjects, AnswerForTheirClassesOnly) {
  auto getClassObject = Export<LPFNGETCLASSOBJECT>("DllGetClassObject");
  ASSERT_NE(getClassObject, nullptr);
  EXPECT_EQ(getClassObject(CLSID_TestWidget, IID_IClassFactory, nullptr), E_POINTER);
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(LIBID_TestLib, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(getClassObject(CLSID_TestWidget, IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(getClassObject(CLSID_TestWidget, IID_IClassFactory, &p), S_OK);
  static_cast<IClassFactory*>(p)->Release();
}

TEST(XcomClassObjects, UnloadCountFollowsObjectsAndLocks) {
  auto getClassObject = Export<LPFNGETCLASSOBJECT>("DllGetClassObject");
  auto canUnloadNow = Export<LPFNCANUNLOADNOW>("DllCanUnloadNow");
  EXPECT_EQ(canUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_TestWidget, IID_IClassFactory, factory.ReleaseAndGetAddressOfVoid()), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);  // the class object is alive
  ComPtr<IWidget> a, b;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IWidget, a.ReleaseAndGetAddressOfVoid()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IWidget, b.ReleaseAndGetAddressOfVoid()), S_OK);
  factory.Reset();
  a.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  b.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);  // the last object went

  // A server lock keeps the library in use with no object alive.
  ASSERT_EQ(getClassObject(CLSID_TestWidget, IID_IClassFactory, factory.ReleaseAndGetAddressOfVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  ASSERT_EQ(getClassObject(CLSID_TestWidget, IID_IClassFactory, factory.ReleaseAndGetAddressOfVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), E_UNEXPECTED);  // no lock left to remove
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

// An outer object that aggregates the test widget and answers IWidget through it.
class Outer final : public IUnknown {
 public:
  HRESULT Init(HRESULT* refusal) {
    void* p = nullptr;
    *refusal = CoCreateInstance(CLSID_TestWidget, this, CLSCTX_INPROC_SERVER, IID_IWidget, &p);
    return CoCreateInstance(CLSID_TestWidget, this, CLSCTX_INPROC_SERVER, IID_IUnknown,
                            reinterpret_cast<void**>(&inner_));
  }
  ~Outer() {
    if (inner_) inner_->Release();
  }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    if (riid == IID_IWidget) return inner_->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }  // the test owns the outer object

  std::atomic<ULONG> refs{1};
  IUnknown* inner_ = nullptr;
};

TEST_F(XcomRegistered, AggregationAsSpecified) {
  auto canUnloadNow = Export<LPFNCANUNLOADNOW>("DllCanUnloadNow");
  {
    Outer outer;
    HRESULT refusal = S_OK;
    ASSERT_EQ(outer.Init(&refusal), S_OK);
    EXPECT_EQ(refusal, CLASS_E_NOAGGREGATION);
    ASSERT_NE(outer.inner_, nullptr);

    ComPtr<IWidget> w;
    ASSERT_EQ(outer.QueryInterface(IID_IWidget, w.ReleaseAndGetAddressOfVoid()), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // the widget's references are the outer object's
    IUnknown* identity = nullptr;
    ASSERT_EQ(w->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    LONG v = 0;
    EXPECT_EQ(w->get_Value(&v), S_OK);
    EXPECT_EQ(v, 7);
    w.Reset();
    EXPECT_EQ(outer.refs, 1u);

    // The inner unknown answers for itself.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(outer.inner_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, outer.inner_);
    innerAgain->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST(XcomBuildTree, RegistryHoldsTheLibrariesBuilt) {
  // The build registers its component libraries into the registry every test is given.
  ASSERT_NE(std::getenv("XCOM_REGISTRY"), nullptr);
  ComPtr<IWidget> w;
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"XcomTest.Widget", &clsid), S_OK);
  EXPECT_EQ(xcom::CreateInstance(clsid, &w), S_OK);
}

TEST(XcomRegistrationTool, RegistersAndUnregisters) {
  TempRegistry reg;
  auto run = [&](const std::string& args) {
    std::string cmd = "XCOM_REGISTRY='" + reg.file().string() + "' '" + XCOMREG_PATH + "' " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const std::string key = "CLSID\\" + xcom::GuidToString(CLSID_TestWidget) + "\\InprocServer32";
  EXPECT_EQ(run("'" + kLibrary + "'"), 0);
  EXPECT_EQ(Value(key), kLibrary);
  EXPECT_EQ(run("/u /s '" + kLibrary + "'"), 0);
  EXPECT_EQ(Value(key), "<absent>");
  EXPECT_EQ(run(""), 1);
  EXPECT_EQ(run("'" + (reg.dir() / "missing.so").string() + "'"), 3);
}

TEST(XcomGuids, TextForms) {
  EXPECT_EQ(xcom::GuidToString(CLSID_TestWidget), "{6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E01}");
  OLECHAR buf[39];
  EXPECT_EQ(StringFromGUID2(CLSID_TestWidget, buf, 39), 39);
  EXPECT_EQ(std::u16string_view(buf), u"{6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E01}");
  EXPECT_EQ(StringFromGUID2(CLSID_TestWidget, buf, 38), 0);

  struct Case {
    const char16_t* text;
    HRESULT hr;
  } cases[] = {
      {u"{6e1d2c90-4a3b-4c55-9d1e-0a1b2c3d4e01}", S_OK},
      {u"{6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E01}", S_OK},
      {u"6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E01", CO_E_CLASSSTRING},
      {u"{6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E0G}", CO_E_CLASSSTRING},
      {u"{6E1D2C904-A3B-4C55-9D1E-0A1B2C3D4E01}", CO_E_CLASSSTRING},
      {u"XcomTest.Widget", CO_E_CLASSSTRING},
  };
  for (const Case& c : cases) {
    CLSID g{};
    EXPECT_EQ(CLSIDFromString(c.text, &g), c.hr) << xcom::Utf16ToUtf8(c.text);
    if (c.hr == S_OK) {
      EXPECT_EQ(g, CLSID_TestWidget);
    }
  }
}

TEST(XcomApartments, CountedPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is ignored
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  CoUninitialize();
}

TEST(XcomTime, FileTimeNowIsTheCurrentUtcTime) {
  FILETIME ft{};
  ASSERT_EQ(CoFileTimeNow(&ft), S_OK);
  std::uint64_t seconds = FileTimeToU64(ft) / 10000000ULL - 11644473600ULL;
  std::uint64_t now = static_cast<std::uint64_t>(std::time(nullptr));
  EXPECT_LE(seconds > now ? seconds - now : now - seconds, 2u);
  EXPECT_EQ(CoFileTimeNow(nullptr), E_INVALIDARG);
}

}  // namespace
