// Helpers shared by the runtime's own sources.
#pragma once

#include <cstddef>

#include "xcom/automation.h"

namespace xcom::internal {

// The bytes of one value of a base type (VT_VARIANT: a whole VARIANT); 0 for a type that has
// no storage or is unknown.
std::size_t ValueSize(VARTYPE base);

// Whether a variant type is one the runtime knows: a base type, alone or with VT_ARRAY and/or
// VT_BYREF where that makes sense.
bool IsValidVariantType(VARTYPE vt);

// Whether a base type may be an array element.
bool IsArrayElementType(VARTYPE base);

// ASCII letters folded to lower case; other characters unchanged.
constexpr char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
constexpr char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

}  // namespace xcom::internal
