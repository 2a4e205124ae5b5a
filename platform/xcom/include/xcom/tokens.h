// Tokens: the 32-bit values that stand for an address where the interfaces carry one in a
// 32-bit integer (a callback procedure, a device context, an item record). The runtime hands
// a token out for a target, and resolves it back only for the same kind and the same C++
// type; an unknown, revoked or mismatched token resolves to null, so it is refused and never
// called or dereferenced.
//
//   xcom::ScopedToken cb(xcom::TokenKind::ItemCallback, &OnSearchResultItem);
//   ctl->FindItem(dir, name, note, size, start, end, type, cb.value());
//   ...
//   auto* fn = xcom::ResolveToken<ItemCallbackFn>(xcom::TokenKind::ItemCallback, lpCallbackFnPtr);
//   if (!fn) return STG_E_INVALIDPARAMETER;
//
// Tokens are positive (1 to 0x7FFFFFFF), so a token's negation is never a token and an
// interface may tell two kinds apart by sign. A token is not reused while the process lives
// (after about two thousand million tokens the count starts again, skipping live ones).
// The table is shared by every deliverable in the process and safe to use from any thread.
#pragma once

#include <cstdint>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "wintypes.h"

namespace xcom {

enum class TokenKind : std::uint32_t {
  ItemCallback = 1,        // the host's per-item callback of a catalog walk
  ItemRecordCallback = 2,  // the catalog library's own per-record callback
  DeviceContext = 3,       // a drawing surface passed as a device context
  ItemRecord = 4,          // an item record passed between the catalog library's classes
};

namespace token_detail {
using AnyFn = void (*)();
LONG Issue(TokenKind kind, const std::type_info& type, void* object, AnyFn function);
bool Resolve(TokenKind kind, LONG token, const std::type_info& type, void** object, AnyFn* function);
}  // namespace token_detail

// A token for an object or a function. 0 only when every token is in use.
template <class T>
LONG IssueToken(TokenKind kind, T* target) {
  if constexpr (std::is_function_v<T>) {
    return token_detail::Issue(kind, typeid(T), nullptr, reinterpret_cast<token_detail::AnyFn>(target));
  } else {
    return token_detail::Issue(kind, typeid(T), const_cast<void*>(static_cast<const volatile void*>(target)),
                               nullptr);
  }
}

// The target of a token of this kind issued for a T*; null for anything else.
template <class T>
T* ResolveToken(TokenKind kind, LONG token) {
  void* object = nullptr;
  token_detail::AnyFn function = nullptr;
  if (!token_detail::Resolve(kind, token, typeid(T), &object, &function)) return nullptr;
  if constexpr (std::is_function_v<T>) {
    return reinterpret_cast<T*>(function);
  } else {
    return static_cast<T*>(object);
  }
}

// Withdraws a token; false when it was not live.
bool RevokeToken(LONG token);

// A token that lives as long as this object.
class ScopedToken {
 public:
  ScopedToken() = default;
  template <class T>
  ScopedToken(TokenKind kind, T* target) : token_(IssueToken(kind, target)) {}
  ScopedToken(ScopedToken&& o) noexcept : token_(std::exchange(o.token_, 0)) {}
  ScopedToken& operator=(ScopedToken&& o) noexcept {
    if (this != &o) {
      reset();
      token_ = std::exchange(o.token_, 0);
    }
    return *this;
  }
  ~ScopedToken() { reset(); }

  LONG value() const { return token_; }
  void reset() {
    if (token_) RevokeToken(std::exchange(token_, 0));
  }

 private:
  LONG token_ = 0;
};

}  // namespace xcom
