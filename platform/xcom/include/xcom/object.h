// Component objects of an in-process server: reference counting, QueryInterface from an
// interface list, aggregation, class objects, and the library's count of living objects and
// locks behind DllCanUnloadNow.
//
// A class lists its interfaces and leaves IUnknown to the runtime:
//
//   class OStorage : public xcom::DispatchImpl<OStorage, IOStorage> {
//    public:
//     void* GetInterface(REFIID iid) { return xcom::FindInterface<IOStorage, IDispatch>(this, iid); }
//     HRESULT FinalConstruct();          // optional: a failure ends the creation
//     ... the interface's methods ...
//   };
//
// The library keeps one ServerModule and serves its classes from a table:
//
//   namespace {
//   xcom::ServerModule g_module;
//   const xcom::ClassEntry kClasses[] = {
//     {CLSID_OStorage, &xcom::CreateComponent<OStorage>},
//   };
//   }
//   extern "C" HRESULT DllGetClassObject(REFCLSID c, REFIID i, void** p) {
//     return g_module.GetClassObject(kClasses, c, i, p);
//   }
//   extern "C" HRESULT DllCanUnloadNow() { return g_module.CanUnloadNow(); }
//
// Objects the library makes for itself: xcom::MakeComponent<ONode>(g_module, &node, args...).
// Inside a class that reaches IUnknown along several interfaces, its own AddRef and Release
// are named through one of them: static_cast<IOStorage*>(this)->AddRef().
#pragma once

#include <atomic>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "refcounted.h"
#include "wintypes.h"
#include "xcom/com.h"

namespace xcom {

struct ClassEntry;

// The library's count of living objects (class objects included) and server locks.
class ServerModule {
 public:
  // An object of the library comes and goes.
  void Lock() noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
  void Unlock() noexcept { count_.fetch_sub(1, std::memory_order_acq_rel); }
  // IClassFactory::LockServer: TRUE adds a lock; FALSE removes one (E_UNEXPECTED when none is
  // held, so a surplus unlock cannot let the library go while objects live).
  HRESULT LockServer(BOOL fLock) noexcept;
  LONG LockCount() const noexcept { return count_.load(std::memory_order_acquire); }
  // S_OK when nothing of the library is alive or locked, else S_FALSE.
  HRESULT CanUnloadNow() const noexcept { return LockCount() == 0 ? S_OK : S_FALSE; }

  // DllGetClassObject: E_POINTER for a null ppv; CLASS_E_CLASSNOTAVAILABLE for a class not in
  // the table; E_NOINTERFACE when the class object lacks riid (IClassFactory and IUnknown are
  // offered). *ppv is null on failure.
  HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID rclsid, REFIID riid, void** ppv);

 private:
  std::atomic<LONG> count_{0};
  std::atomic<LONG> serverLocks_{0};
};

// One class a library serves: its identifier and how to create it (CreateComponent<T>).
struct ClassEntry {
  CLSID clsid;
  HRESULT (*create)(ServerModule& module, IUnknown* outer, REFIID riid, void** ppv);
};

// The interface list of a class for QueryInterface: each entry is an interface type I (answered
// for I::kIID with static_cast<I*>(self)) or Via<I, Path> (cast to I through the base Path,
// for a base reached along several paths such as IDispatch). The first entry also answers
// IID_IUnknown. Nullptr for an interface the class lacks.
template <class I, class Path>
struct Via {};

namespace object_detail {
template <class E>
struct EntryOf {
  using Interface = E;
  template <class T>
  static E* Cast(T* self) {
    return static_cast<E*>(self);
  }
};
template <class I, class Path>
struct EntryOf<Via<I, Path>> {
  using Interface = I;
  template <class T>
  static I* Cast(T* self) {
    return static_cast<I*>(static_cast<Path*>(self));
  }
};
}  // namespace object_detail

template <class First, class... Rest, class T>
void* FindInterface(T* self, REFIID iid) {
  using F = object_detail::EntryOf<First>;
  if (iid == IID_IUnknown) return static_cast<IUnknown*>(F::Cast(self));
  void* found = nullptr;
  ((found == nullptr && iid == IidOf<typename object_detail::EntryOf<First>::Interface>()
        ? (found = object_detail::EntryOf<First>::Cast(self), 0)
        : 0),
   ...,
   (found == nullptr && iid == IidOf<typename object_detail::EntryOf<Rest>::Interface>()
        ? (found = object_detail::EntryOf<Rest>::Cast(self), 0)
        : 0));
  return found;
}

using wintypes::AnswerQuery;
using wintypes::RefCounted;

namespace object_detail {
template <class T>
HRESULT RunFinalConstruct(T& obj) {
  if constexpr (requires { obj.FinalConstruct(); }) {
    return obj.FinalConstruct();
  } else {
    return S_OK;
  }
}
}  // namespace object_detail

// A standalone object of class T: its own reference count; counted in the module while alive.
template <class T>
class ComObject final : public T, private RefCounted<ComObject<T>> {
 public:
  template <class... Args>
  explicit ComObject(ServerModule& module, Args&&... args) : T(std::forward<Args>(args)...), module_(module) {
    module_.Lock();
  }
  ~ComObject() { module_.Unlock(); }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return AnswerQuery(ppv ? T::GetInterface(riid) : nullptr, static_cast<IUnknown*>(T::GetInterface(IID_IUnknown)),
                       ppv);
  }
  ULONG AddRef() override { return this->AddRefImpl(); }
  ULONG Release() override { return this->ReleaseImpl(); }

 private:
  friend class RefCounted<ComObject<T>>;
  ServerModule& module_;
};

// An object of class T inside an aggregate: its interfaces' IUnknown methods go to the outer
// object; the outer object holds the inner, non-delegating IUnknown that owns it.
template <class T>
class AggregatedObject final : public IUnknown, private RefCounted<AggregatedObject<T>> {
 public:
  template <class... Args>
  AggregatedObject(ServerModule& module, IUnknown* outer, Args&&... args)
      : inner_(outer, std::forward<Args>(args)...), module_(module) {
    module_.Lock();
  }
  ~AggregatedObject() { module_.Unlock(); }

  // The inner unknown answers for itself; every other interface's references go to the
  // outer object.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) return AnswerQuery(static_cast<IUnknown*>(this), this, ppv);
    return AnswerQuery(ppv ? inner_.GetInterface(riid) : nullptr, inner_.outer(), ppv);
  }
  ULONG AddRef() override { return this->AddRefImpl(); }
  ULONG Release() override { return this->ReleaseImpl(); }
  T& object() { return inner_; }

 private:
  friend class RefCounted<AggregatedObject<T>>;

  class Contained final : public T {
   public:
    template <class... Args>
    explicit Contained(IUnknown* outer, Args&&... args) : T(std::forward<Args>(args)...), outer_(outer) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override { return outer_->QueryInterface(riid, ppv); }
    ULONG AddRef() override { return outer_->AddRef(); }
    ULONG Release() override { return outer_->Release(); }
    IUnknown* outer() const { return outer_; }

   private:
    IUnknown* outer_;  // not held: the outer object owns us
  };

  Contained inner_;
  ServerModule& module_;
};

// Creates an instance of T for a class object: alone, or inside the aggregate of outer (then
// riid must be IID_IUnknown, else CLASS_E_NOAGGREGATION, and *ppv is the inner unknown).
// FinalConstruct runs before the first interface is handed out; its failure is the answer.
template <class T>
HRESULT CreateComponent(ServerModule& module, IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  try {
    if (outer) {
      auto* agg = new AggregatedObject<T>(module, outer);
      agg->AddRef();
      HRESULT hr = object_detail::RunFinalConstruct(agg->object());
      if (SUCCEEDED(hr)) hr = agg->QueryInterface(riid, ppv);
      agg->Release();
      return hr;
    }
    auto* obj = new ComObject<T>(module);
    obj->AddRef();
    HRESULT hr = object_detail::RunFinalConstruct(static_cast<T&>(*obj));
    if (SUCCEEDED(hr)) hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Creates a standalone T for the library's own use, with constructor arguments; *out holds the
// one reference.
template <class T, class... Args>
HRESULT MakeComponent(ServerModule& module, ComPtr<T>* out, Args&&... args) {
  if (!out) return E_POINTER;
  out->Reset();
  try {
    auto* obj = new ComObject<T>(module, std::forward<Args>(args)...);
    ComPtr<T> held(static_cast<T*>(obj));
    HRESULT hr = object_detail::RunFinalConstruct(static_cast<T&>(*obj));
    if (FAILED(hr)) return hr;
    *out = std::move(held);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace xcom
