// Component activation: class objects, creation by class identifier and ProgID over the
// component registry, the apartment bookkeeping, task memory, GUID texts, the current time,
// and a reference-holding interface pointer.
//
// In-process servers only: CoCreateInstance reads the class's InprocServer32 entry, loads
// that library with dlopen (once; a library is never unloaded, since it may hold Qt code),
// calls its exported DllGetClassObject and asks the class object for the instance.
#pragma once

#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "wintypes.h"
#include "xcom/automation.h"

// ---------------------------------------------------------------------------------------------
// Interface identifiers

// The identifier of interface I: I::kIID. Every interface declares one, for example
//   struct IOStorage : IDispatch { static constexpr IID kIID = {...}; ... };
namespace xcom {
template <class I>
constexpr const IID& IidOf() {
  if constexpr (std::is_same_v<I, IUnknown>) {
    return IID_IUnknown;
  } else {
    return I::kIID;
  }
}
}  // namespace xcom

// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IClassFactory : IUnknown {
  static constexpr const IID& kIID = IID_IClassFactory;
  // With an outer unknown (aggregation) riid must be IID_IUnknown, else CLASS_E_NOAGGREGATION.
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  // TRUE keeps the server's library counted as in use, FALSE releases that lock.
  virtual HRESULT LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The entry points a component library exports (extern "C", default visibility):
//   HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
//   HRESULT DllCanUnloadNow();
//   HRESULT DllRegisterServer();
//   HRESULT DllUnregisterServer();
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID, REFIID, void**);
using LPFNCANUNLOADNOW = HRESULT (*)();
using LPFNREGISTERSERVER = HRESULT (*)();

// ---------------------------------------------------------------------------------------------
// Activation

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// Creates an instance of a registered class. *ppv is null on failure. E_INVALIDARG for a null
// ppv; CLASS_E_NOAGGREGATION when pUnkOuter is given and riid is not IID_IUnknown;
// REGDB_E_CLASSNOTREG when the class or its InprocServer32 entry is not registered, or the
// context has no CLSCTX_INPROC_SERVER; CO_E_DLLNOTFOUND when the library does not load;
// CO_E_ERRORINDLL when it exports no DllGetClassObject; else the class object's answer.
// A thread need not call CoInitialize first: every thread is its own apartment and nothing is
// marshalled.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv);
// The class object of a registered class (the same lookup, without creating an instance).
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid,
                         void** ppv);

// The class identifier of a ProgID ("Brevix.OFileGraber.1" or the version-independent
// "Brevix.OFileGraber"): the ProgID key's CLSID entry, else the CLSID of the ProgID its CurVer
// names. CO_E_CLASSSTRING for an unknown ProgID, E_INVALIDARG for null arguments.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
// "{B09D44AA-90DB-11D2-A245-00104BCD093B}" (either letter case) to a GUID;
// CO_E_CLASSSTRING for any other text.
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
// The GUID's text in upper-case braces into lpsz; the characters written including the NUL
// (39), or 0 when cchMax is below 39.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

// ---------------------------------------------------------------------------------------------
// Apartments

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Per thread: the first call answers S_OK, later ones S_FALSE (each needs a CoUninitialize);
// asking for the other threading model than the thread's first call answers
// RPC_E_CHANGED_MODE and counts nothing.
HRESULT CoInitialize(void* pvReserved);
HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
void CoUninitialize();

// ---------------------------------------------------------------------------------------------
// Task memory and time

// std::malloc/std::free compatible: memory from one may be released by the other (the
// compound-file layer allocates STATSTG names with std::malloc; callers free them here).
void* CoTaskMemAlloc(std::size_t cb);
void* CoTaskMemRealloc(void* pv, std::size_t cb);
void CoTaskMemFree(void* pv);

// The current time as a UTC FILETIME. E_INVALIDARG for null.
HRESULT CoFileTimeNow(FILETIME* lpFileTime);

namespace xcom {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidToString(const GUID& guid);
// The braced text (either letter case) to a GUID; false for any other text.
bool GuidFromString(std::string_view text, GUID* guid);

// Loads a component library and runs its DllRegisterServer (or DllUnregisterServer) against
// the component registry; what the registration tool does. CO_E_DLLNOTFOUND when the library
// does not load, CO_E_ERRORINDLL when it lacks the entry point, else the entry point's answer.
// The library stays loaded. *error (may be null) receives the loader's message on failure.
HRESULT RegisterServerLibrary(const std::string& libraryPath, std::string* error = nullptr);
HRESULT UnregisterServerLibrary(const std::string& libraryPath, std::string* error = nullptr);

// ---------------------------------------------------------------------------------------------
// ComPtr<T>: holds one reference to an interface or component object.

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) AddRefOf(p_);
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
    requires std::is_convertible_v<U*, T*>
  ComPtr(const ComPtr<U>& o) noexcept : ComPtr(static_cast<T*>(o.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) noexcept {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out parameters: the slot itself (must be empty) or after releasing what is held.
  T** GetAddressOf() noexcept { return &p_; }
  T** ReleaseAndGetAddressOf() noexcept {
    Reset();
    return &p_;
  }
  void** ReleaseAndGetAddressOfVoid() noexcept { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

  // Adopts p's existing reference / gives the held reference away.
  void Attach(T* p) noexcept {
    Reset();
    p_ = p;
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) ReleaseOf(p);
  }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  // A new reference into *pp (which need not be empty: it is overwritten, not released).
  HRESULT CopyTo(T** pp) const noexcept {
    if (!pp) return E_POINTER;
    *pp = p_;
    if (p_) AddRefOf(p_);
    return S_OK;
  }
  // QueryInterface for U.
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    if (!out) return E_POINTER;
    if (!p_) {
      out->Reset();
      return E_POINTER;
    }
    return UnknownOf(p_)->QueryInterface(IidOf<U>(), out->ReleaseAndGetAddressOfVoid());
  }

 private:
  // A component class reaches IUnknown along several interfaces; it names one through its
  // GetInterface (see object.h), and its references are counted once whichever is used.
  static IUnknown* UnknownOf(T* p) noexcept {
    if constexpr (requires { static_cast<IUnknown*>(p); }) {
      return static_cast<IUnknown*>(p);
    } else {
      return static_cast<IUnknown*>(p->GetInterface(IID_IUnknown));
    }
  }
  static void AddRefOf(T* p) noexcept { UnknownOf(p)->AddRef(); }
  static void ReleaseOf(T* p) noexcept { UnknownOf(p)->Release(); }

  T* p_ = nullptr;
};

// Creates an instance of a registered class as interface T.
template <class T>
HRESULT CreateInstance(REFCLSID clsid, ComPtr<T>* out, IUnknown* outer = nullptr) {
  if (!out) return E_POINTER;
  return CoCreateInstance(clsid, outer, CLSCTX_INPROC_SERVER, IidOf<T>(), out->ReleaseAndGetAddressOfVoid());
}

// ---------------------------------------------------------------------------------------------
// Bstr: owns one BSTR (null or not).

class Bstr {
 public:
  Bstr() noexcept = default;
  Bstr(std::nullptr_t) noexcept {}
  explicit Bstr(std::u16string_view text) : s_(AllocBstr(text)) {}
  Bstr(const char16_t* text) : s_(SysAllocString(text)) {}
  Bstr(const Bstr& o) : s_(o.s_ ? SysAllocStringLen(o.s_, SysStringLen(o.s_)) : nullptr) {}
  Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  ~Bstr() { SysFreeString(s_); }
  Bstr& operator=(Bstr o) noexcept {
    std::swap(s_, o.s_);
    return *this;
  }

  BSTR Get() const noexcept { return s_; }
  bool IsNull() const noexcept { return s_ == nullptr; }
  UINT Length() const noexcept { return SysStringLen(s_); }
  std::u16string_view View() const noexcept { return BstrView(s_); }
  // For out parameters: frees what is held and gives the slot.
  BSTR* ReleaseAndGetAddressOf() noexcept {
    Reset();
    return &s_;
  }
  void Attach(BSTR s) noexcept {
    Reset();
    s_ = s;
  }
  BSTR Detach() noexcept { return std::exchange(s_, nullptr); }
  void Reset() noexcept { SysFreeString(std::exchange(s_, nullptr)); }

 private:
  BSTR s_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Variant: a VARIANT that clears itself.

struct Variant : VARIANT {
  Variant() noexcept { VariantInit(this); }
  Variant(const Variant& o) : Variant() { VariantCopy(this, &o); }
  Variant(const VARIANT& o) : Variant() { VariantCopy(this, &o); }
  Variant(Variant&& o) noexcept : VARIANT(o) { VariantInit(&o); }
  ~Variant() { VariantClear(this); }
  Variant& operator=(const Variant& o) {
    if (this != &o) VariantCopy(this, &o);
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      VariantClear(this);
      static_cast<VARIANT&>(*this) = o;
      VariantInit(&o);
    }
    return *this;
  }

  static Variant I2(SHORT v) { return Scalar(VT_I2, &v, sizeof v); }
  static Variant I4(LONG v) { return Scalar(VT_I4, &v, sizeof v); }
  static Variant R8(double v) { return Scalar(VT_R8, &v, sizeof v); }
  static Variant Date(DATE v) { return Scalar(VT_DATE, &v, sizeof v); }
  static Variant Bool(bool v) {
    VARIANT_BOOL b = v ? VARIANT_TRUE : VARIANT_FALSE;
    return Scalar(VT_BOOL, &b, sizeof b);
  }
  static Variant Currency(LONGLONG int64) { return Scalar(VT_CY, &int64, sizeof int64); }
  static Variant String(std::u16string_view text) {
    Variant r;
    r.bstrVal = AllocBstr(text);
    r.vt = VT_BSTR;
    return r;
  }
  // Takes over a string, interface reference or array (no copy).
  static Variant Adopt(VARTYPE vt, void* owned) {
    Variant r;
    r.byref = owned;
    r.vt = vt;
    return r;
  }

  // Gives the contents away, leaving this empty.
  VARIANT Detach() noexcept {
    VARIANT r = *this;
    VariantInit(this);
    return r;
  }

 private:
  static Variant Scalar(VARTYPE vt, const void* p, std::size_t n) {
    Variant r;
    std::memcpy(&r.llVal, p, n);
    r.vt = vt;
    return r;
  }
};

// An array of Variant as the VARIANTs it is (a Variant adds no data).
static_assert(sizeof(Variant) == sizeof(VARIANT));
inline std::span<VARIANT> AsVariants(std::span<Variant> args) {
  return {static_cast<VARIANT*>(args.data()), args.size()};
}

// An array of Variant as the VARIANTs it is (a Variant adds no data).
static_assert(sizeof(Variant) == sizeof(VARIANT));
template <std::size_t N>
std::span<VARIANT> AsVariants(Variant (&args)[N]) {
  return {static_cast<VARIANT*>(&args[0]), N};
}

}  // namespace xcom
