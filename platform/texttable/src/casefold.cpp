// Case folding of UTF-8 text: a decoder, a table of the cased ranges, an encoder.
#include "casefold.h"

namespace texttable {

namespace {

// Ranges where capitals and small letters alternate, capital first.
bool AlternatingCapital(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kEvenCapitals[] = {
      {0x0100, 0x012F}, {0x0132, 0x0137}, {0x014A, 0x0177}, {0x0182, 0x0185}, {0x01A0, 0x01A5},
      {0x01DE, 0x01EF}, {0x01F8, 0x021F}, {0x0222, 0x0233}, {0x03D8, 0x03EF}, {0x0460, 0x0481},
      {0x048A, 0x04BF}, {0x04D0, 0x052F}, {0x1E00, 0x1E95}, {0x1EA0, 0x1EFF},
  };
  static constexpr Range kOddCapitals[] = {{0x0139, 0x0148}, {0x0179, 0x017E}, {0x01CD, 0x01DC}, {0x04C1, 0x04CE}};
  for (const auto& r : kEvenCapitals) {
    if (c >= r.first && c <= r.last) return c % 2 == 0;
  }
  for (const auto& r : kOddCapitals) {
    if (c >= r.first && c <= r.last) return c % 2 == 1;
  }
  return false;
}

char32_t Fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if ((c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)) return c + 32;
  if (c == 0x0178) return 0x00FF;
  if (c == 0x0130) return 'i';
  if (AlternatingCapital(c)) return c + 1;
  if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return c + 32;  // Greek capitals
  if (c == 0x03C2) return 0x03C3;                                  // final sigma
  if (c == 0x0386) return 0x03AC;
  if (c >= 0x0388 && c <= 0x038A) return c + 37;
  if (c == 0x038C) return 0x03CC;
  if (c == 0x038E || c == 0x038F) return c + 63;
  if (c >= 0x0400 && c <= 0x040F) return c + 80;  // Cyrillic capitals
  if (c >= 0x0410 && c <= 0x042F) return c + 32;
  if (c == 0x04C0) return 0x04CF;
  if (c >= 0x0531 && c <= 0x0556) return c + 48;  // Armenian capitals
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin capitals
  return c;
}

void Encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
      ++i;
      continue;
    }
    std::size_t len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    char32_t c = len == 4 ? b & 0x07 : len == 3 ? b & 0x0F : b & 0x1F;
    bool valid = len != 0 && i + len <= text.size();
    for (std::size_t k = 1; valid && k < len; ++k) {
      unsigned char cb = static_cast<unsigned char>(text[i + k]);
      if ((cb & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (cb & 0x3F);
    }
    // Over-long forms, surrogates and values beyond U+10FFFF are not valid UTF-8.
    if (valid && ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
      valid = false;
    }
    if (!valid) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    Encode(Fold(c), out);
    i += len;
  }
  return out;
}

}  // namespace texttable
