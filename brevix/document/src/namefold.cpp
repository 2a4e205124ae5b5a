// Letter case for catalog names: the folds the container, the search and the disk-name check use.
#include "namefold.h"

#include <locale.h>
#include <wctype.h>

namespace brevix {
namespace {

// The C.UTF-8 locale carries the full Unicode case tables whatever locale the process runs
// in; opened once and kept for the life of the process.
locale_t UnicodeLocale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

}  // namespace

char16_t FoldUpperWide(char16_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) return c;  // halves of a surrogate pair stay as they are
  locale_t loc = UnicodeLocale();
  if (loc == static_cast<locale_t>(0)) return c;
  wint_t up = towupper_l(static_cast<wint_t>(c), loc);
  return up <= 0xFFFF ? static_cast<char16_t>(up) : c;
}

// ASCII letters in one pass the compiler can vectorise; the rest, where there is any, after.
void FoldInto(const char16_t* text, size_t n, char16_t* out) {
  unsigned seen = 0;
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    seen |= c;
    out[i] = static_cast<char16_t>(c - (static_cast<unsigned>(c - u'a') < 26u ? 32 : 0));
  }
  if (seen < 0x80) return;
  for (size_t i = 0; i < n; ++i)
    if (text[i] >= 0x80) out[i] = FoldUpperWide(text[i]);
}

void AppendFolded(std::u16string_view text, std::u16string& out) {
  size_t at = out.size();
  out.resize(at + text.size());
  FoldInto(text.data(), text.size(), out.data() + at);
}

std::u16string Folded(std::u16string_view text) {
  std::u16string out;
  AppendFolded(text, out);
  return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldUpper(a[i]) != FoldUpper(b[i])) return false;
  }
  return true;
}

int CompareIgnoreCase(std::u16string_view a, std::u16string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = FoldUpper(a[i]), y = FoldUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace brevix
