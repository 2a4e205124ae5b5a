// Counted wide strings and the UTF-8/UTF-16 conversions.
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

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    unsigned char c = s[i];
    char32_t cp;
    std::size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    bool ok = i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (s[i + k] & 0x3F);
      }
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are malformed.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace xcom
