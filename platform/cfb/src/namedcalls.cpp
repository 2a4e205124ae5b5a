// The element calls of IStorage for names held as strings, refusing a name that holds a NUL.
#include "namedcalls.h"

#include <algorithm>
#include <string>

#include "names.h"

namespace cfb {
namespace {

// Runs `call` with the name NUL-terminated: a name the format can hold is copied into a
// buffer on the stack (no allocation on the hot paths of a walk), a longer one into a string,
// so that the container answers it as it answers any name too long.
template <class Call>
HRESULT WithTerminatedName(std::u16string_view name, Call&& call) {
  if (!IsWholeName(name)) return STG_E_INVALIDNAME;
  if (name.size() <= kMaxNameUnits) {
    OLECHAR z[kMaxNameUnits + 1];
    std::copy(name.begin(), name.end(), z);
    z[name.size()] = 0;
    return call(z);
  }
  std::u16string z(name);
  return call(z.c_str());
}

}  // namespace

bool IsWholeName(std::u16string_view name) { return name.find(u'\0') == std::u16string_view::npos; }

HRESULT OpenStreamNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStream** out) {
  *out = nullptr;
  return WithTerminatedName(name, [&](const OLECHAR* z) { return parent->OpenStream(z, nullptr, mode, 0, out); });
}

HRESULT OpenStorageNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStorage** out) {
  *out = nullptr;
  return WithTerminatedName(name,
                            [&](const OLECHAR* z) { return parent->OpenStorage(z, nullptr, mode, nullptr, 0, out); });
}

HRESULT CreateStreamNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStream** out) {
  *out = nullptr;
  return WithTerminatedName(name, [&](const OLECHAR* z) { return parent->CreateStream(z, mode, 0, 0, out); });
}

HRESULT CreateStorageNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStorage** out) {
  *out = nullptr;
  return WithTerminatedName(name, [&](const OLECHAR* z) { return parent->CreateStorage(z, mode, 0, 0, out); });
}

}  // namespace cfb
