// DATE: calendar parts, arithmetic, the local clock, the default text and reading dates back.

#include <time.h>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <algorithm>
#include <limits>
#include <vector>

#include "dates.h"
#include "decimal.h"
#include "vbrt.h"

namespace vbrt {
namespace detail {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Day numbers of 1 January 100 and 31 December 9999, the ends of the DATE range.
constexpr std::int64_t kFirstDay = -657434;
constexpr std::int64_t kLastDay = 2958465;
// 30 December 1899 counted from 1 January 1970.
constexpr std::int64_t kUnixDayOfDayZero = -25569;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1 January 1970 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  std::int64_t era = FloorDiv(y, 400);
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  std::int64_t era = FloorDiv(z, 146097);
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::u16string_view MonthName(int month) {
  static constexpr std::u16string_view kNames[12] = {
      u"January", u"February", u"March",     u"April",   u"May",      u"June",
      u"July",    u"August",   u"September", u"October", u"November", u"December"};
  return kNames[month - 1];
}

std::u16string_view DayName(int weekday) {
  static constexpr std::u16string_view kNames[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                                    u"Thursday", u"Friday", u"Saturday"};
  return kNames[weekday];
}

int Weekday(const DateParts& p) {
  // 1 January 1970 was a Thursday.
  std::int64_t days = DaysFromCivil(p.year, p.month, p.day);
  return static_cast<int>(days + 4 - FloorDiv(days + 4, 7) * 7);
}

Moment MomentOf(DATE value) {
  // Slightly wider than the range so that a time rounding up to the next day is caught below.
  if (!(value > static_cast<double>(kFirstDay - 1) && value < static_cast<double>(kLastDay + 1)))
    throw RuntimeError(ErrOverflow);
  double whole = std::trunc(value);
  auto day = static_cast<std::int64_t>(whole);
  auto second = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kSecondsPerDay));
  if (second >= kSecondsPerDay) {
    second -= kSecondsPerDay;
    ++day;  // the time rounded up into the next calendar day
  }
  if (day < kFirstDay || day > kLastDay) throw RuntimeError(ErrOverflow);
  return Moment{day, second};
}

std::optional<DATE> DateOf(Moment m) {
  if (m.day < kFirstDay || m.day > kLastDay) return std::nullopt;
  double fraction = static_cast<double>(m.second) / kSecondsPerDay;
  double day = static_cast<double>(m.day);
  return m.day >= 0 ? day + fraction : day - fraction;
}

Moment MomentFromSeconds(std::int64_t total) {
  return Moment{FloorDiv(total, kSecondsPerDay), total - FloorDiv(total, kSecondsPerDay) * kSecondsPerDay};
}

std::int64_t SecondsOf(Moment m) { return m.day * kSecondsPerDay + m.second; }

DateParts PartsOf(Moment m) {
  DateParts p;
  CivilFromDays(m.day + kUnixDayOfDayZero, p.year, p.month, p.day);
  p.hour = static_cast<int>(m.second / 3600);
  p.minute = static_cast<int>(m.second / 60 % 60);
  p.second = static_cast<int>(m.second % 60);
  return p;
}

std::optional<Moment> MomentFromParts(const DateParts& p) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59)
    return std::nullopt;
  return Moment{DaysFromCivil(p.year, p.month, p.day) - kUnixDayOfDayZero,
                p.hour * 3600 + p.minute * 60 + p.second};
}

}  // namespace detail

using detail::Moment;

DateParts DateToParts(DATE value) { return detail::PartsOf(detail::MomentOf(value)); }

std::optional<DATE> DateFromParts(const DateParts& parts) {
  std::optional<Moment> m = detail::MomentFromParts(parts);
  if (!m) return std::nullopt;
  return detail::DateOf(*m);
}

double DateToLinear(DATE value) { return value >= 0 ? value : 2 * std::ceil(value) - value; }

DATE DateFromLinear(double linear) {
  if (linear >= 0) return linear;
  double day = std::floor(linear);
  return day - (linear - day);
}

namespace {

DATE DateOrRaise(Moment m) {
  std::optional<DATE> d = detail::DateOf(m);
  if (!d) throw RuntimeError(ErrInvalidCall);
  return *d;
}

// Far beyond any DATE, yet small enough that the sums below cannot overflow.
constexpr std::int64_t kArgumentLimit = std::int64_t(1) << 50;

}  // namespace

DATE AddSeconds(DATE value, std::int64_t seconds) {
  if (seconds > kArgumentLimit || seconds < -kArgumentLimit) throw RuntimeError(ErrInvalidCall);
  return DateOrRaise(detail::MomentFromSeconds(detail::SecondsOf(detail::MomentOf(value)) + seconds));
}

DATE AddDays(DATE value, std::int64_t days) {
  if (days > kArgumentLimit || days < -kArgumentLimit) throw RuntimeError(ErrInvalidCall);
  Moment m = detail::MomentOf(value);
  m.day += days;
  return DateOrRaise(m);
}

DATE AddMonths(DATE value, std::int64_t months) {
  if (months > kArgumentLimit || months < -kArgumentLimit) throw RuntimeError(ErrInvalidCall);
  DateParts p = DateToParts(value);
  std::int64_t index = std::int64_t(p.year) * 12 + (p.month - 1) + months;
  std::int64_t year = detail::FloorDiv(index, 12);
  if (year < 100 || year > 9999) throw RuntimeError(ErrInvalidCall);
  p.year = static_cast<int>(year);
  p.month = static_cast<int>(index - year * 12) + 1;
  p.day = std::min(p.day, detail::DaysInMonth(p.year, p.month));
  return *DateFromParts(p);
}

namespace {

// localtime_r reads the zone only once; re-read it when TZ has changed since the last call.
// (tzset on every call would cost a file check per converted time.)
void FollowZoneChanges() {
  static std::mutex mutex;
  static std::optional<std::string> seen;
  static bool initialised = false;
  std::lock_guard<std::mutex> lock(mutex);
  const char* tz = std::getenv("TZ");
  std::optional<std::string> now = tz ? std::optional<std::string>(tz) : std::nullopt;
  if (!initialised || now != seen) {
    tzset();
    seen = std::move(now);
    initialised = true;
  }
}

}  // namespace

DATE DateFromUnixTime(std::int64_t seconds) {
  FollowZoneChanges();
  time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) throw RuntimeError(ErrOverflow);
  DateParts p{local.tm_year + 1900, local.tm_mon + 1,        local.tm_mday,
              local.tm_hour,        local.tm_min,            std::min(local.tm_sec, 59)};
  std::optional<DATE> d = DateFromParts(p);
  if (!d) throw RuntimeError(ErrOverflow);
  return *d;
}

std::int64_t UnixTimeFromDate(DATE value) {
  DateParts p = DateToParts(value);
  struct tm local {};
  local.tm_year = p.year - 1900;
  local.tm_mon = p.month - 1;
  local.tm_mday = p.day;
  local.tm_hour = p.hour;
  local.tm_min = p.minute;
  local.tm_sec = p.second;
  local.tm_isdst = -1;  // let the zone decide whether summer time applies
  return static_cast<std::int64_t>(mktime(&local));
}

DATE Now() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  return DateFromUnixTime(ts.tv_sec);
}

DATE Date() {
  DateParts p = DateToParts(Now());
  p.hour = p.minute = p.second = 0;
  return *DateFromParts(p);
}

std::u16string DateToText(DATE value) {
  Moment m = detail::MomentOf(value);
  if (m.day == 0) return detail::FormatParts(detail::PartsOf(m), u"h:mm:ss AMPM");
  if (m.second == 0) return detail::FormatParts(detail::PartsOf(m), u"m/d/yyyy");
  return detail::FormatParts(detail::PartsOf(m), u"m/d/yyyy h:mm:ss AMPM");
}

// ---------------------------------------------------------------------------------------------
// Reading dates back

namespace {

struct Token {
  enum Kind { Number, Word, Separator } kind = Number;
  int value = 0;       // a number's value
  int digits = 0;      // a number's digit count
  std::u16string word; // a word in lower case
  char16_t separator = 0;
};

// Numbers, words and separators; blanks only split tokens. Nothing for any other character.
std::optional<std::vector<Token>> Tokenize(std::u16string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    char16_t c = text[i];
    if (detail::IsBlank(c)) {
      ++i;
    } else if (c >= u'0' && c <= u'9') {
      Token t;
      t.kind = Token::Number;
      for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (++t.digits > 4) return std::nullopt;  // no part of a date has more digits
        t.value = t.value * 10 + (text[i] - u'0');
      }
      tokens.push_back(t);
    } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
      Token t;
      t.kind = Token::Word;
      for (; i < text.size() && ((text[i] >= u'a' && text[i] <= u'z') ||
                                 (text[i] >= u'A' && text[i] <= u'Z'));
           ++i) {
        if (t.word.size() > 16) return std::nullopt;
        t.word += detail::ToLower(text[i]);
      }
      tokens.push_back(t);
    } else if (c == u'/' || c == u'-' || c == u':' || c == u',' || c == u'.') {
      Token t;
      t.kind = Token::Separator;
      t.separator = c;
      tokens.push_back(t);
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

int MonthFromWord(const std::u16string& word) {
  for (int m = 1; m <= 12; ++m) {
    std::u16string_view full = detail::MonthName(m);
    std::u16string lower;
    for (char16_t c : full) lower += detail::ToLower(c);
    if (word == lower || (word.size() == 3 && lower.compare(0, 3, word) == 0)) return m;
  }
  return 0;
}

int WindowYear(const Token& t) {
  if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

bool IsNumber(const std::vector<Token>& t, std::size_t i) {
  return i < t.size() && t[i].kind == Token::Number;
}
bool IsSeparator(const std::vector<Token>& t, std::size_t i, char16_t c) {
  return i < t.size() && t[i].kind == Token::Separator && t[i].separator == c;
}

// The date tokens [0, end): month/day/year, year/month/day or "Dec 9, 2026".
bool ReadDatePart(const std::vector<Token>& t, std::size_t end, DateParts& p) {
  if (end == 5 && IsNumber(t, 0) && IsNumber(t, 2) && IsNumber(t, 4) && t[1].kind == Token::Separator &&
      (t[1].separator == u'/' || t[1].separator == u'-') && IsSeparator(t, 3, t[1].separator)) {
    if (t[0].digits >= 3) {
      p.year = t[0].value;
      p.month = t[2].value;
      p.day = t[4].value;
    } else {
      if (t[4].digits == 3) return false;
      p.month = t[0].value;
      p.day = t[2].value;
      p.year = WindowYear(t[4]);
    }
    return true;
  }
  if ((end == 3 || end == 4) && t[0].kind == Token::Word && IsNumber(t, 1) && IsNumber(t, end - 1) &&
      (end == 3 || IsSeparator(t, 2, u','))) {
    p.month = MonthFromWord(t[0].word);
    p.day = t[1].value;
    if (t[end - 1].digits == 3) return false;
    p.year = WindowYear(t[end - 1]);
    return p.month != 0;
  }
  return false;
}

// The time tokens [begin, size): h:mm or h:mm:ss, then AM or PM or nothing.
bool ReadTimePart(const std::vector<Token>& t, std::size_t begin, DateParts& p) {
  std::size_t i = begin;
  if (!IsNumber(t, i) || !IsSeparator(t, i + 1, u':') || !IsNumber(t, i + 2)) return false;
  if (t[i].digits > 2 || t[i + 2].digits > 2) return false;
  p.hour = t[i].value;
  p.minute = t[i + 2].value;
  i += 3;
  if (IsSeparator(t, i, u':')) {
    if (!IsNumber(t, i + 1) || t[i + 1].digits > 2) return false;
    p.second = t[i + 1].value;
    i += 2;
  }
  if (i < t.size() && t[i].kind == Token::Word) {
    bool pm = t[i].word == u"pm";
    if (!pm && t[i].word != u"am") return false;
    if (p.hour > 12) return false;
    if (p.hour == 12) p.hour = 0;
    if (pm) p.hour += 12;
    ++i;
  }
  return i == t.size();
}

}  // namespace

std::optional<DATE> ParseDate(std::u16string_view text) {
  std::optional<std::vector<Token>> tokens = Tokenize(text);
  if (!tokens || tokens->empty()) return std::nullopt;
  const std::vector<Token>& t = *tokens;
  // The time begins with the number in front of the first ":".
  std::size_t timeBegin = t.size();
  for (std::size_t i = 1; i < t.size(); ++i) {
    if (IsSeparator(t, i, u':')) {
      timeBegin = i - 1;
      break;
    }
  }
  DateParts p;  // day 0 at midnight until the text says otherwise
  if (timeBegin > 0 && !ReadDatePart(t, timeBegin, p)) return std::nullopt;
  if (timeBegin < t.size() && !ReadTimePart(t, timeBegin, p)) return std::nullopt;
  return DateFromParts(p);
}

DATE CDate(std::u16string_view text) {
  std::optional<DATE> d = ParseDate(text);
  if (!d) throw RuntimeError(ErrTypeMismatch);
  return *d;
}

}  // namespace vbrt
