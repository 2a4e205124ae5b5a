// Reading the date forms of report tables into sortable numbers.
#include "datekey.h"

namespace texttable {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  // A run of 1..maxDigits digits; its length in *digits.
  bool Number(int maxDigits, int* value, int* digits) {
    int n = 0, v = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && n < maxDigits) {
      v = v * 10 + (s_[pos_++] - '0');
      ++n;
    }
    if (n == 0 || (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')) return false;
    *value = v;
    if (digits) *digits = n;
    return true;
  }
  bool Char(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Blanks() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    return pos_ > start;
  }
  // "AM" or "PM" in either case: 0 for AM, 12 for PM, -1 for neither.
  int Meridiem() {
    if (pos_ + 2 > s_.size()) return -1;
    const char a = static_cast<char>(s_[pos_] & ~0x20), m = static_cast<char>(s_[pos_ + 1] & ~0x20);
    if (m != 'M' || (a != 'A' && a != 'P')) return -1;
    pos_ += 2;
    return a == 'A' ? 0 : 12;
  }
  bool AtEnd() const { return pos_ == s_.size(); }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

std::optional<std::int64_t> DateKey(std::string_view value) {
  Reader r(value);
  r.Blanks();
  int a, b, c, aDigits, cDigits;
  if (!r.Number(4, &a, &aDigits) || !r.Char('/') || !r.Number(2, &b, nullptr) || !r.Char('/') ||
      !r.Number(4, &c, &cDigits)) {
    return std::nullopt;
  }
  int year, month, day;
  if (aDigits == 4) {  // yyyy/mm/dd
    if (cDigits > 2) return std::nullopt;
    year = a, month = b, day = c;
  } else {  // m/d/yy or m/d/yyyy
    if (aDigits > 2 || (cDigits != 2 && cDigits != 4)) return std::nullopt;
    month = a, day = b;
    year = cDigits == 2 ? (c < 30 ? 2000 + c : 1900 + c) : c;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysIn(year, month)) return std::nullopt;

  int hour = 0, minute = 0, second = 0;
  const bool blank = r.Blanks();
  if (!r.AtEnd()) {
    if (!blank || !r.Number(2, &hour, nullptr) || !r.Char(':') || !r.Number(2, &minute, nullptr)) {
      return std::nullopt;
    }
    if (r.Char(':') && !r.Number(2, &second, nullptr)) return std::nullopt;
    if (minute > 59 || second > 59) return std::nullopt;
    r.Blanks();
    const int meridiem = r.Meridiem();
    if (meridiem >= 0) {
      if (hour < 1 || hour > 12) return std::nullopt;
      hour = hour % 12 + meridiem;
    } else if (hour > 23) {
      return std::nullopt;
    }
    r.Blanks();
    if (!r.AtEnd()) return std::nullopt;
  }
  const std::int64_t days = (static_cast<std::int64_t>(year) * 16 + month) * 32 + day;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace texttable
