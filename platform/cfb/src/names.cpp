#include "names.h"

#include <algorithm>
#include <iterator>

namespace cfb {
namespace {

struct UpcaseRun {
  std::uint16_t first;
  std::uint16_t count;
  std::uint8_t stride;
  std::int32_t delta;
};

constexpr UpcaseRun kUpcaseRuns[] = {
#include "upcase_table.inc"
};

}  // namespace

char16_t UpcaseUnit(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  auto it = std::upper_bound(std::begin(kUpcaseRuns), std::end(kUpcaseRuns), c,
                             [](char16_t v, const UpcaseRun& r) { return v < r.first; });
  if (it == std::begin(kUpcaseRuns)) return c;
  const UpcaseRun& r = *(it - 1);
  unsigned off = c - r.first;
  if (off % r.stride != 0 || off / r.stride >= r.count) return c;
  return static_cast<char16_t>(c + r.delta);
}

HRESULT CheckName(const OLECHAR* name, std::u16string* out) {
  if (!name || !*name) return STG_E_INVALIDNAME;
  std::size_t n = 0;
  for (; name[n]; ++n) {
    if (n >= kMaxNameUnits) return STG_E_INVALIDNAME;
    char16_t c = name[n];
    if (c == u'/' || c == u'\\' || c == u':' || c == u'!') return STG_E_INVALIDNAME;
  }
  if (out) out->assign(name, n);
  return S_OK;
}

NameKey NameKey::From(const char16_t* s, std::size_t n) {
  NameKey k;
  k.length = std::min(n, kMaxNameUnits);
  for (std::size_t i = 0; i < k.length; ++i) k.units[i] = UpcaseUnit(s[i]);
  return k;
}

int CompareKey(const NameKey& a, const std::uint8_t* le, std::size_t n) {
  if (a.length != n) return a.length < n ? -1 : 1;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t b = UpcaseUnit(static_cast<char16_t>(le[2 * i] | (le[2 * i + 1] << 8)));
    if (a.units[i] != b) return a.units[i] < b ? -1 : 1;
  }
  return 0;
}

int CompareKeys(const NameKey& a, const NameKey& b) {
  if (a.length != b.length) return a.length < b.length ? -1 : 1;
  for (std::size_t i = 0; i < a.length; ++i)
    if (a.units[i] != b.units[i]) return a.units[i] < b.units[i] ? -1 : 1;
  return 0;
}

std::string ToUtf8(const char16_t* s) {
  std::string r;
  for (std::size_t i = 0; s[i]; ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      r += static_cast<char>(c);
    } else if (c < 0x800) {
      r += static_cast<char>(0xC0 | (c >> 6));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      r += static_cast<char>(0xE0 | (c >> 12));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      r += static_cast<char>(0xF0 | (c >> 18));
      r += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return r;
}

std::u16string FromUtf8(const std::string& s) {
  std::u16string r;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char b = s[i];
    char32_t c;
    int extra;
    if (b < 0x80) { c = b; extra = 0; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; extra = 1; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; extra = 2; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; extra = 3; }
    else { r += u'\uFFFD'; ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) { ok = false; break; }
      c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) { r += u'\uFFFD'; ++i; continue; }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      r += static_cast<char16_t>(0xD800 + (c >> 10));
      r += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      r += static_cast<char16_t>(c);
    }
  }
  return r;
}

}  // namespace cfb
