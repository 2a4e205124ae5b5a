// Case folding of UTF-8 text: the cased ranges and an in-place fold of the bytes.
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

}  // namespace

std::string FoldCase(std::string_view text) {
  // Every letter folds to one of the same UTF-8 length, so the text is folded in place.
  std::string out(text);
  auto continuation = [&](std::size_t k) {
    return k < out.size() && (static_cast<unsigned char>(out[k]) & 0xC0) == 0x80;
  };
  auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(out[k])); };
  std::size_t i = 0;
  while (i < out.size()) {
    char32_t b = byte(i);
    if (b < 0x80) {
      if (b >= 'A' && b <= 'Z') out[i] = static_cast<char>(b + 32);
      i += 1;
    } else if (b >= 0xC2 && b < 0xE0 && continuation(i + 1)) {
      char32_t c = Fold(((b & 0x1F) << 6) | (byte(i + 1) & 0x3F));
      out[i] = static_cast<char>(0xC0 | (c >> 6));
      out[i + 1] = static_cast<char>(0x80 | (c & 0x3F));
      i += 2;
    } else if (b >= 0xE0 && b < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
      char32_t c = ((b & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
      if (c >= 0x800) {
        c = Fold(c);
        out[i] = static_cast<char>(0xE0 | (c >> 12));
        out[i + 1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[i + 2] = static_cast<char>(0x80 | (c & 0x3F));
      }
      i += 3;
    } else {
      i += 1;  // four-byte letters have no case here; stray bytes stay as they are
    }
  }
  return out;
}

}  // namespace texttable
