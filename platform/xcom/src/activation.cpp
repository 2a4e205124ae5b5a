// Activation of in-process servers, ProgIDs, GUID texts, apartments, task memory and time,
// and loading libraries for registration.
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

#include "registry_internal.h"
#include "xcom/automation.h"
#include "xcom/com.h"
#include "xcom/registry.h"

namespace {

using xcom::internal::ReadRegistryString;
using xcom::internal::RegistryRead;

// Libraries loaded for their class objects or their registration; never unloaded.
struct Libraries {
  std::mutex mu;
  std::unordered_map<std::string, void*> byPath;
};

Libraries& LoadedLibraries() {
  static Libraries* libs = new Libraries;
  return *libs;
}

HRESULT LoadLibrary(const std::string& path, void** handle, std::string* error) {
  Libraries& libs = LoadedLibraries();
  std::lock_guard<std::mutex> lock(libs.mu);
  auto it = libs.byPath.find(path);
  if (it != libs.byPath.end()) {
    *handle = it->second;
    return S_OK;
  }
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    if (error) {
      const char* msg = ::dlerror();
      *error = msg ? msg : "the library could not be loaded";
    }
    return CO_E_DLLNOTFOUND;
  }
  libs.byPath.emplace(path, h);
  *handle = h;
  return S_OK;
}

template <class Fn>
HRESULT EntryPoint(const std::string& path, const char* name, Fn* fn, std::string* error) {
  void* handle = nullptr;
  HRESULT hr = LoadLibrary(path, &handle, error);
  if (FAILED(hr)) return hr;
  void* sym = ::dlsym(handle, name);
  if (!sym) {
    if (error) *error = std::string("the library does not export ") + name;
    return CO_E_ERRORINDLL;
  }
  *fn = reinterpret_cast<Fn>(sym);
  return S_OK;
}

HRESULT RunRegistration(const std::string& path, const char* entry, std::string* error) {
  LPFNREGISTERSERVER fn = nullptr;
  HRESULT hr = EntryPoint(path, entry, &fn, error);
  if (FAILED(hr)) return hr;
  return fn();
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

template <class Char>
bool ParseGuid(std::basic_string_view<Char> t, GUID* g) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (t.size() != 38 || t[0] != '{' || t[37] != '}') return false;
  static constexpr int kDashes[] = {9, 14, 19, 24};
  for (int d : kDashes) {
    if (t[static_cast<std::size_t>(d)] != '-') return false;
  }
  unsigned char bytes[16];
  std::size_t pos = 1;
  for (unsigned char& b : bytes) {
    if (t[pos] == '-') ++pos;
    int hi = HexValue(static_cast<char16_t>(t[pos])), lo = HexValue(static_cast<char16_t>(t[pos + 1]));
    if (hi < 0 || lo < 0) return false;
    b = static_cast<unsigned char>(hi * 16 + lo);
    pos += 2;
  }
  g->Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g->Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g->Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g->Data4[i] = bytes[8 + i];
  return true;
}

struct Apartment {
  int count = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment t_apartment;

}  // namespace

namespace xcom {

std::string GuidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.Data1),
                static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

bool GuidFromString(std::string_view text, GUID* guid) { return guid && ParseGuid(text, guid); }

HRESULT RegisterServerLibrary(const std::string& libraryPath, std::string* error) {
  return RunRegistration(libraryPath, "DllRegisterServer", error);
}

HRESULT UnregisterServerLibrary(const std::string& libraryPath, std::string* error) {
  return RunRegistration(libraryPath, "DllUnregisterServer", error);
}

namespace {

// Whether the registry creates the class of a ProgID from a library file that exists.
RegistryRead ServedFromAFile(const char* progId) {
  CLSID clsid;
  const std::u16string name = Utf8ToUtf16(progId);
  HRESULT hr = ::CLSIDFromProgID(name.c_str(), &clsid);
  if (hr == REGDB_E_READREGDB) return RegistryRead::Unreadable;
  if (FAILED(hr)) return RegistryRead::Missing;
  std::string path;
  RegistryRead r =
      ReadRegistryString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "", &path);
  if (r != RegistryRead::Found) return r;
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec) ? RegistryRead::Found : RegistryRead::Missing;
}

}  // namespace

HRESULT RegisterMissingServers(const std::filesystem::path& folder, std::span<const ShippedServer> servers,
                               std::string* error) {
  HRESULT first = S_OK;
  auto fail = [&](HRESULT hr, const std::string& why) {
    if (SUCCEEDED(first)) {
      first = hr;
      if (error) *error = why;
    }
  };
  for (const ShippedServer& server : servers) {
    bool missing = false;
    for (const char* progId : server.progIds) {
      RegistryRead r = ServedFromAFile(progId);
      if (r == RegistryRead::Unreadable) {
        fail(REGDB_E_READREGDB, RegistryFile().string() + ": the component registry cannot be read");
        return first;
      }
      if (r == RegistryRead::Missing) missing = true;
    }
    if (!missing) continue;
    const std::filesystem::path library = folder / server.fileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(library, ec)) {
      fail(CO_E_DLLNOTFOUND, library.string() + ": no such library");
      continue;
    }
    std::string why;
    HRESULT hr = RegisterServerLibrary(library.string(), &why);
    if (FAILED(hr)) fail(hr, library.string() + (why.empty() ? std::string() : ": " + why));
  }
  return first;
}

}  // namespace xcom

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  std::string path;
  switch (ReadRegistryString(HKEY_CLASSES_ROOT, "CLSID\\" + xcom::GuidToString(rclsid) + "\\InprocServer32", "", &path)) {
    case RegistryRead::Found: break;
    case RegistryRead::Missing: return REGDB_E_CLASSNOTREG;
    case RegistryRead::Unreadable: return REGDB_E_READREGDB;
  }
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  HRESULT hr = EntryPoint(path, "DllGetClassObject", &getClassObject, nullptr);
  if (FAILED(hr)) return hr;
  return getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  std::string progId = xcom::Utf16ToUtf8(lpszProgID);
  // A version-independent ProgID without a CLSID of its own names its current version; a few
  // steps at most, so that a CurVer loop cannot hold the caller.
  for (int step = 0; step < 4; ++step) {
    std::string text;
    RegistryRead r = ReadRegistryString(HKEY_CLASSES_ROOT, progId + "\\CLSID", "", &text);
    if (r == RegistryRead::Unreadable) return REGDB_E_READREGDB;
    if (r == RegistryRead::Found) return xcom::GuidFromString(text, lpclsid) ? S_OK : CO_E_CLASSSTRING;
    std::string next;
    if (ReadRegistryString(HKEY_CLASSES_ROOT, progId + "\\CurVer", "", &next) != RegistryRead::Found || next == progId)
      break;
    progId = std::move(next);
  }
  return CO_E_CLASSSTRING;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
  if (!lpsz || !pclsid) return E_INVALIDARG;
  return ParseGuid(std::u16string_view(lpsz), pclsid) ? S_OK : CO_E_CLASSSTRING;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < 39) return 0;
  std::string text = xcom::GuidToString(rguid);
  for (std::size_t i = 0; i < text.size(); ++i) lpsz[i] = static_cast<OLECHAR>(text[i]);
  lpsz[text.size()] = 0;
  return static_cast<int>(text.size() + 1);
}

HRESULT CoInitialize(void* pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD dwCoInit) {
  DWORD model = (dwCoInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
  Apartment& a = t_apartment;
  if (a.count > 0 && a.model != model) return RPC_E_CHANGED_MODE;
  a.model = model;
  return a.count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (t_apartment.count > 0) --t_apartment.count;
}

void* CoTaskMemAlloc(std::size_t cb) { return std::malloc(cb ? cb : 1); }

void* CoTaskMemRealloc(void* pv, std::size_t cb) { return std::realloc(pv, cb ? cb : 1); }

void CoTaskMemFree(void* pv) { std::free(pv); }

HRESULT CoFileTimeNow(FILETIME* lpFileTime) {
  if (!lpFileTime) return E_INVALIDARG;
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  // 100-nanosecond intervals since 1 January 1601; 11644473600 seconds lie between 1601 and 1970.
  std::uint64_t ticks = (static_cast<std::uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL +
                        static_cast<std::uint64_t>(ts.tv_nsec) / 100;
  *lpFileTime = U64ToFileTime(ticks);
  return S_OK;
}
