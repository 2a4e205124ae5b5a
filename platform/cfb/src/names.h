// Element names as the compound-file format knows them: validation, upper-casing and the
// format's ordering (shorter names first, then unit by unit after upper-casing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wintypes.h"

namespace cfb {

inline constexpr std::size_t kMaxNameUnits = 31;

// S_OK, or STG_E_INVALIDNAME for a null, empty or too long name, or one holding a refused
// character ('/', '\', ':', '!').
HRESULT CheckName(const OLECHAR* name, std::u16string* out);
// The characters CheckName refuses in a name.
inline bool RefusedInName(char16_t c) { return c == u'/' || c == u'\\' || c == u':' || c == u'!'; }

char16_t UpcaseUnit(char16_t c);

// A name upper-cased once, ready to be compared with stored names.
struct NameKey {
  char16_t units[kMaxNameUnits + 1];
  std::size_t length = 0;
  static NameKey From(const char16_t* s, std::size_t n);
};

// <0, 0, >0 as the format orders a against a stored name given as little-endian bytes.
int CompareKey(const NameKey& a, const std::uint8_t* storedLE, std::size_t storedUnits);
int CompareKeys(const NameKey& a, const NameKey& b);

}  // namespace cfb
