// The plumbing every object of the platform layers and libraries shares: the reference count,
// QueryInterface's answer and the enumerator over a snapshot of items.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>

#include "wintypes.h"

namespace wintypes {

// The reference count of an object that deletes itself with its last reference. It starts at
// 0: whoever makes the object takes the first reference. A copy starts with no references.
template <class Self>
class RefCounted {
 protected:
  RefCounted() = default;
  RefCounted(const RefCounted&) noexcept {}
  RefCounted& operator=(const RefCounted&) noexcept { return *this; }
  ~RefCounted() = default;

  ULONG AddRefImpl() noexcept { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG ReleaseImpl() noexcept {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete static_cast<Self*>(this);
    return left;
  }

 private:
  std::atomic<ULONG> refs_{0};
};

// A new object of type T holding its first reference; null when memory runs out.
template <class T, class... Args>
T* NewCounted(Args&&... args) {
  T* object = nullptr;
  try {
    object = new T(static_cast<Args&&>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  object->AddRef();
  return object;
}

// QueryInterface's answer: the interface found (null: E_NOINTERFACE) into *ppv, with a new
// reference taken through counted.
inline HRESULT AnswerQuery(void* found, IUnknown* counted, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = found;
  if (!found) return E_NOINTERFACE;
  counted->AddRef();
  return S_OK;
}

// What every enumerator over a snapshot of items shares: its count, its position, Skip,
// Reset and Clone. Self derives from it, is copyable (a clone stands where its original
// stands) and gives ItemCount(); its Next hands out items from pos_ on, moving pos_ past them.
template <class Self, class Iface>
class SnapshotEnumerator : public Iface, public RefCounted<Self> {
 public:
  ULONG AddRef() override { return this->AddRefImpl(); }
  ULONG Release() override { return this->ReleaseImpl(); }

  HRESULT Skip(ULONG count) override {
    const std::size_t left = Items() - pos_;
    if (count > left) {
      pos_ = Items();
      return S_FALSE;
    }
    pos_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(Iface** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = NewCounted<Self>(static_cast<const Self&>(*this));
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  SnapshotEnumerator() = default;
  SnapshotEnumerator(const SnapshotEnumerator&) = default;
  ~SnapshotEnumerator() = default;
  std::size_t Items() const { return static_cast<const Self*>(this)->ItemCount(); }
  std::size_t pos_ = 0;
};

}  // namespace wintypes
