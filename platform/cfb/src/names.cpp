// Element names: validation, upper-casing and the format's ordering.
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
    if (RefusedInName(name[n])) return STG_E_INVALIDNAME;
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

}  // namespace cfb
