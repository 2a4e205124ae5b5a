// The number picture formatter of the list pane's size and free-space cells.
#include "numberpicture.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace brevix {
namespace {

constexpr std::size_t kMaxPicture = 50;  // a picture of this many characters or more gives ""
constexpr std::size_t kMaxAffix = 9;     // characters kept of a prefix or suffix

struct Section {
  std::string prefix;
  std::string suffix;
  int width = 0;
  int decimals = 0;
  bool thousands = false;
  bool exponent = false;
};

Section Parse(std::string_view s) {
  Section p;
  std::size_t i = 0;
  auto keep = [](std::string& to, char c) {
    if (to.size() < kMaxAffix) to.push_back(c);
  };
  while (i < s.size() && s[i] != '9') keep(p.prefix, s[i++]);
  if (i < s.size()) {
    while (i < s.size() && (s[i] == '9' || s[i] == ',')) {
      if (s[i] == '9') ++p.width;
      else p.thousands = true;
      ++i;
    }
    if (i < s.size() && s[i] == '.') {
      ++p.width;
      ++i;
      while (i < s.size() && s[i] == '9') {
        ++p.width;
        ++p.decimals;
        ++i;
      }
    }
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
      p.exponent = true;
      ++i;
    }
    while (i < s.size()) keep(p.suffix, s[i++]);
  }
  return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string FormatNumberPicture(double value, const char* picture, int section, char decimal, char thousands) {
  if (!picture) return {};
  const std::size_t length = std::strlen(picture);
  if (length >= kMaxPicture) return {};
  if (section == 0) {
    section = value < 0 ? 2 : 1;
    if (value < 0) value = -value;
  }
  // The sections, empty ones skipped.
  std::vector<std::string_view> sections;
  std::string_view all(picture, length);
  while (!all.empty()) {
    std::size_t cut = all.find(';');
    std::string_view piece = all.substr(0, cut);
    if (!piece.empty()) sections.push_back(piece);
    if (cut == std::string_view::npos) break;
    all.remove_prefix(cut + 1);
  }
  if (section < 1 || static_cast<std::size_t>(section) > sections.size()) return {};
  const Section p = Parse(sections[section - 1]);

  std::string number;
  if (p.width > 0) {
    const char* format = p.exponent ? "%*.*e" : "%*.*f";
    int n = std::snprintf(nullptr, 0, format, p.width, p.decimals, value);
    if (n > 0) {
      std::string printed(static_cast<std::size_t>(n) + 1, '\0');
      std::snprintf(printed.data(), printed.size(), format, p.width, p.decimals, value);
      printed.resize(static_cast<std::size_t>(n));
      if (p.exponent) {
        number = printed;
      } else {
        // Rebuilt from the right: the decimal character, then the integer part with a
        // thousands character in front of every third digit that has a digit before it.
        std::size_t point = printed.find('.');
        std::size_t intEnd = point == std::string::npos ? printed.size() : point;
        std::string out;
        if (point != std::string::npos) out = std::string(1, decimal) + printed.substr(point + 1);
        int count = 0;
        for (std::size_t k = intEnd; k-- > 0;) {
          out.insert(out.begin(), printed[k]);
          ++count;
          if (p.thousands && count % 3 == 0 && IsDigit(printed[k]) && k > 0 && IsDigit(printed[k - 1]))
            out.insert(out.begin(), thousands);
        }
        number = std::move(out);
      }
    }
  }
  return p.prefix + number + p.suffix;
}

}  // namespace brevix
