// The one converter between bytes, UTF-8 and UTF-16, with its policy named at each call.
//
// Policies
//   kLossless  names read from a disk and file-system paths. Every byte that is not part of
//              a valid, shortest-form UTF-8 sequence of a scalar value becomes the lone low
//              surrogate U+DC00 + byte (U+DC80..U+DCFF), and such a surrogate turns back into
//              its byte; so bytes -> UTF-16 -> bytes is exact for every name, and a file whose
//              name was read can be opened again. A lone surrogate that no byte gives
//              (U+D800..U+DC7F, U+DD00..U+DFFF) becomes U+FFFD.
//   kStrict    data (component strings, texts). Anything malformed (stray bytes, overlong
//              forms, encoded surrogates, values beyond U+10FFFF, cut-off sequences, lone
//              surrogates) becomes U+FFFD, one per byte or unit.
//
// Well-formed input converts the same under both policies.
#pragma once

#include <string>
#include <string_view>

namespace unicode {

enum class Policy { kLossless, kStrict };

std::u16string Utf8ToUtf16(std::string_view bytes, Policy policy);
std::string Utf16ToUtf8(std::u16string_view text, Policy policy);

// Same, for a NUL-terminated string (null reads as empty).
std::string Utf16ToUtf8(const char16_t* text, Policy policy);

// True when the bytes are well-formed UTF-8 throughout.
bool IsUtf8(std::string_view bytes);

// True when the text is well-formed UTF-16 (every surrogate paired).
bool IsUtf16(std::u16string_view text);

// Text in the Windows ANSI code page 1252, as UTF-8. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace unicode
