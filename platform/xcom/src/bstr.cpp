// Counted wide strings: allocation, lengths and views.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "xcom/automation.h"

namespace {

// [32-bit byte count][characters][NUL]; the BSTR points at the characters.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);

BSTR Allocate(const OLECHAR* pch, std::size_t len) {
  constexpr std::size_t kMaxChars =
      (std::numeric_limits<std::uint32_t>::max() - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR);
  if (len > kMaxChars) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + (len + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  std::uint32_t bytes = static_cast<std::uint32_t>(len * sizeof(OLECHAR));
  std::memcpy(block, &bytes, kPrefix);
  auto* text = reinterpret_cast<OLECHAR*>(block + kPrefix);
  if (pch) {
    std::memcpy(text, pch, len * sizeof(OLECHAR));
  } else {
    std::memset(text, 0, len * sizeof(OLECHAR));
  }
  text[len] = 0;
  return text;
}

std::uint32_t ByteCount(BSTR bstr) {
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<unsigned char*>(bstr) - kPrefix, kPrefix);
  return bytes;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  std::size_t len = 0;
  while (psz[len]) ++len;
  return Allocate(psz, len);
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT len) { return Allocate(pch, len); }

void SysFreeString(BSTR bstr) {
  if (bstr) std::free(reinterpret_cast<unsigned char*>(bstr) - kPrefix);
}

UINT SysStringLen(BSTR bstr) { return bstr ? ByteCount(bstr) / sizeof(OLECHAR) : 0; }

UINT SysStringByteLen(BSTR bstr) { return bstr ? ByteCount(bstr) : 0; }

namespace xcom {

BSTR AllocBstr(std::u16string_view text) { return Allocate(text.data(), text.size()); }

std::u16string_view BstrView(BSTR bstr) {
  return bstr ? std::u16string_view(bstr, SysStringLen(bstr)) : std::u16string_view();
}

}  // namespace xcom
