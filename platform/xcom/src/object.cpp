// Class objects of component libraries and the library's unload count.
#include "xcom/object.h"

#include <atomic>
#include <new>

namespace xcom {

namespace {

class ClassFactory final : public IClassFactory, private RefCounted<ClassFactory> {
 public:
  ClassFactory(ServerModule& module, const ClassEntry& entry) : module_(module), entry_(entry) { module_.Lock(); }
  ~ClassFactory() { module_.Unlock(); }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    bool known = riid == IID_IUnknown || riid == IID_IClassFactory;
    return AnswerQuery(known ? static_cast<IClassFactory*>(this) : nullptr, this, ppv);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return entry_.create(module_, pUnkOuter, riid, ppvObject);
  }
  HRESULT LockServer(BOOL fLock) override { return module_.LockServer(fLock); }

 private:
  friend class RefCounted<ClassFactory>;
  ServerModule& module_;
  ClassEntry entry_;
};

}  // namespace

HRESULT ServerModule::LockServer(BOOL fLock) noexcept {
  if (fLock) {
    serverLocks_.fetch_add(1, std::memory_order_relaxed);
    Lock();
    return S_OK;
  }
  LONG held = serverLocks_.load(std::memory_order_relaxed);
  do {
    if (held <= 0) return E_UNEXPECTED;
  } while (!serverLocks_.compare_exchange_weak(held, held - 1, std::memory_order_acq_rel));
  Unlock();
  return S_OK;
}

HRESULT ServerModule::GetClassObject(std::span<const ClassEntry> classes, REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ClassEntry& entry : classes) {
    if (entry.clsid != rclsid) continue;
    if (!entry.create) return CLASS_E_CLASSNOTAVAILABLE;
    try {
      auto* factory = new ClassFactory(*this, entry);
      factory->AddRef();
      HRESULT hr = factory->QueryInterface(riid, ppv);
      factory->Release();
      return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace xcom
