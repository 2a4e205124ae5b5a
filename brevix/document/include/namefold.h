// Letter case for catalog names: the container compares element names ignoring case, the
// search compares names and notes ignoring case, and the disk-name check ignores case. All
// three fold with the same upper-casing, one UTF-16 unit at a time, independent of the
// machine's locale.
#pragma once

#include <string>
#include <string_view>

namespace brevix {

// The upper-case form of a unit beyond ASCII (simple Unicode mapping).
char16_t FoldUpperWide(char16_t c);

// The upper-case form of one UTF-16 unit.
inline char16_t FoldUpper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  return FoldUpperWide(c);
}

// Writes the upper-cased form of `n` units to `out` (which may be `text` itself).
void FoldInto(const char16_t* text, size_t n, char16_t* out);
// Appends the upper-cased form of `text` to `out`.
void AppendFolded(std::u16string_view text, std::u16string& out);
std::u16string Folded(std::u16string_view text);

// Equality and order of two names ignoring case.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
int CompareIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace brevix
