// Format: number, date and string patterns.

#include <cmath>
#include <vector>

#include "dates.h"
#include "decimal.h"
#include "vbrt.h"

namespace vbrt {

namespace {

using detail::Decimal;

// One character of a pattern; quoted characters ("..." or \x) are always literal.
struct Piece {
  char16_t c;
  bool quoted;

  bool Is(char16_t x) const { return !quoted && c == x; }
  bool IsLetter(char16_t lower) const { return !quoted && detail::ToLower(c) == lower; }
};

std::vector<Piece> Lex(std::u16string_view pattern) {
  std::vector<Piece> pieces;
  pieces.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char16_t c = pattern[i];
    if (c == u'\\' && i + 1 < pattern.size()) {
      pieces.push_back({pattern[++i], true});
    } else if (c == u'"') {
      for (++i; i < pattern.size() && pattern[i] != u'"'; ++i) pieces.push_back({pattern[i], true});
    } else {
      pieces.push_back({c, false});
    }
  }
  return pieces;
}

enum class Kind { Number, Date, String };

bool IsDateLetter(const Piece& p) {
  if (p.quoted) return false;
  switch (detail::ToLower(p.c)) {
    case u'd': case u'm': case u'y': case u'h': case u'n': case u's':
      return true;
    default:
      return false;
  }
}

// The AM/PM marker starting at i: 4 for "AMPM", 5 for "AM/PM", 0 when there is none.
std::size_t AmPmLength(const std::vector<Piece>& p, std::size_t i) {
  auto letter = [&](std::size_t k, char16_t lower) { return k < p.size() && p[k].IsLetter(lower); };
  if (letter(i, u'a') && letter(i + 1, u'm') && letter(i + 2, u'p') && letter(i + 3, u'm')) return 4;
  if (letter(i, u'a') && letter(i + 1, u'm') && i + 2 < p.size() && p[i + 2].Is(u'/') &&
      letter(i + 3, u'p') && letter(i + 4, u'm'))
    return 5;
  return 0;
}

Kind Classify(const std::vector<Piece>& p) {
  bool digits = false, dateTokens = false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i].Is(u'@') || p[i].Is(u'&') || p[i].Is(u'<') || p[i].Is(u'>')) return Kind::String;
    if (p[i].Is(u'0') || p[i].Is(u'#')) digits = true;
    if (IsDateLetter(p[i]) || AmPmLength(p, i) != 0) dateTokens = true;
  }
  if (!p.empty() && p[0].Is(u'!')) return Kind::String;
  return dateTokens && !digits ? Kind::Date : Kind::Number;
}

std::u16string Text(const std::vector<Piece>& p, std::size_t begin, std::size_t end) {
  std::u16string s;
  for (std::size_t i = begin; i < end; ++i) s += p[i].c;
  return s;
}

// ---------------------------------------------------------------------------------------------
// Numbers

bool IsBodyPiece(const Piece& p) { return p.Is(u'0') || p.Is(u'#') || p.Is(u',') || p.Is(u'.'); }

std::u16string FormatDecimal(Decimal d, const std::vector<Piece>& p) {
  // The body is the run of digit places, commas and the decimal point; the rest is literal.
  std::size_t begin = 0;
  while (begin < p.size() && !(p[begin].Is(u'0') || p[begin].Is(u'#') || p[begin].Is(u'.'))) ++begin;
  std::size_t end = begin;
  bool hasPoint = false, group = false;
  int fracPlaces = 0, fracZeros = 0;
  for (; end < p.size() && IsBodyPiece(p[end]); ++end) {
    const Piece& x = p[end];
    if (x.Is(u'.')) {
      if (hasPoint) break;
      hasPoint = true;
    } else if (x.Is(u',')) {
      if (!hasPoint) group = true;
    } else if (hasPoint) {
      ++fracPlaces;
      if (x.Is(u'0')) fracZeros = fracPlaces;
    }
  }
  // Minimum digits left of the point: the places from the first "0" to the point.
  int minInt = 0;
  {
    bool seenZero = false;
    for (std::size_t i = begin; i < end; ++i) {
      if (p[i].Is(u'.')) break;
      if (p[i].Is(u'0')) seenZero = true;
      if (seenZero && (p[i].Is(u'0') || p[i].Is(u'#'))) ++minInt;
    }
  }

  detail::RoundHalfAway(d, fracPlaces);

  std::u16string whole;
  if (d.point > 0) {
    for (int k = 0; k < d.point; ++k)
      whole += k < static_cast<int>(d.digits.size()) ? static_cast<char16_t>(d.digits[k]) : u'0';
  }
  if (static_cast<int>(whole.size()) < minInt) whole.insert(0, minInt - whole.size(), u'0');
  if (group && whole.size() > 3) {
    std::u16string grouped;
    grouped.reserve(whole.size() + whole.size() / 3);
    for (std::size_t k = 0; k < whole.size(); ++k) {
      if (k > 0 && (whole.size() - k) % 3 == 0) grouped += u',';
      grouped += whole[k];
    }
    whole.swap(grouped);
  }

  std::u16string fraction;
  for (int k = 0; k < fracPlaces; ++k) {
    long index = static_cast<long>(d.point) + k;  // digit position of decimal place k + 1
    bool inside = index >= 0 && index < static_cast<long>(d.digits.size());
    fraction += inside ? static_cast<char16_t>(d.digits[index]) : u'0';
  }
  while (static_cast<int>(fraction.size()) > fracZeros && fraction.back() == u'0') fraction.pop_back();

  std::u16string out;
  if (d.negative && !d.IsZero()) out += u'-';
  out += Text(p, 0, begin);
  out += whole;
  if (hasPoint) out += u'.';
  out += fraction;
  out += Text(p, end, p.size());
  return out;
}

// ---------------------------------------------------------------------------------------------
// Dates

struct DateToken {
  enum Type { Literal, Day, Month, Year, Hour, Minute, Second, AmPm } type;
  int count = 0;           // letters in the run
  std::u16string literal;  // Literal text; AmPm: "AMPM", "AM/PM" or "am/pm" as written
};

std::vector<DateToken> LexDate(const std::vector<Piece>& p) {
  std::vector<DateToken> tokens;
  for (std::size_t i = 0; i < p.size();) {
    if (std::size_t n = AmPmLength(p, i)) {
      tokens.push_back({DateToken::AmPm, 0, Text(p, i, i + n)});
      i += n;
      continue;
    }
    if (IsDateLetter(p[i])) {
      char16_t letter = detail::ToLower(p[i].c);
      std::size_t j = i;
      while (j < p.size() && p[j].IsLetter(letter)) ++j;
      DateToken::Type type = letter == u'd'   ? DateToken::Day
                             : letter == u'm' ? DateToken::Month
                             : letter == u'y' ? DateToken::Year
                             : letter == u'h' ? DateToken::Hour
                             : letter == u'n' ? DateToken::Minute
                                              : DateToken::Second;
      tokens.push_back({type, static_cast<int>(j - i), {}});
      i = j;
      continue;
    }
    if (tokens.empty() || tokens.back().type != DateToken::Literal) tokens.push_back({DateToken::Literal, 0, {}});
    tokens.back().literal += p[i].c;
    ++i;
  }
  // An m or mm right after an hour or right before a second is minutes.
  auto neighbour = [&](std::size_t i, int step) -> const DateToken* {
    for (long k = static_cast<long>(i) + step; k >= 0 && k < static_cast<long>(tokens.size()); k += step) {
      if (tokens[k].type != DateToken::Literal) return &tokens[k];
    }
    return nullptr;
  };
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].type != DateToken::Month || tokens[i].count > 2) continue;
    const DateToken* before = neighbour(i, -1);
    const DateToken* after = neighbour(i, +1);
    if ((before && before->type == DateToken::Hour) || (after && after->type == DateToken::Second))
      tokens[i].type = DateToken::Minute;
  }
  return tokens;
}

void AppendNumber(std::u16string& out, int value, int width) {
  std::u16string digits = CStr(value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), u'0');
  out += digits;
}

int DayOfYear(const DateParts& p) {
  int days = p.day;
  for (int m = 1; m < p.month; ++m) days += detail::DaysInMonth(p.year, m);
  return days;
}

// ---------------------------------------------------------------------------------------------
// Strings

std::u16string FormatString(std::u16string_view text, const std::vector<Piece>& p) {
  bool leftToRight = false;
  int caseShift = 0;  // -1 lower, +1 upper
  std::vector<std::size_t> places;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i].Is(u'!')) leftToRight = true;
    if (p[i].Is(u'<')) caseShift = -1;
    if (p[i].Is(u'>')) caseShift = +1;
    if (p[i].Is(u'@') || p[i].Is(u'&')) places.push_back(i);
  }
  std::u16string value(text);
  if (caseShift != 0) {
    for (char16_t& c : value) c = caseShift > 0 ? detail::ToUpper(c) : detail::ToLower(c);
  }
  // A longer text is never cut: filling from the right, its extra characters stand before the
  // first place; filling from the left, after the last.
  std::size_t n = places.size(), len = value.size();
  std::u16string out;
  if (n == 0) {
    for (const Piece& x : p)
      if (!(x.Is(u'!') || x.Is(u'<') || x.Is(u'>'))) out += x.c;
    return out + value;
  }
  std::size_t extra = len > n ? len - n : 0;
  std::size_t missing = n > len ? n - len : 0;
  std::size_t k = 0;  // index of the place
  for (const Piece& x : p) {
    if (x.Is(u'!') || x.Is(u'<') || x.Is(u'>')) continue;
    if (!(x.Is(u'@') || x.Is(u'&'))) {
      out += x.c;
      continue;
    }
    // The text index this place shows, or none.
    std::optional<std::size_t> index;
    if (leftToRight) {
      if (k < len) index = k;
    } else {
      if (k == 0) out.append(value, 0, extra);
      if (k >= missing) index = k - missing + extra;
    }
    if (index) out += value[*index];
    else if (x.Is(u'@')) out += u' ';
    if (leftToRight && k + 1 == n) out.append(value, n < len ? n : len, extra);
    ++k;
  }
  return out;
}

}  // namespace

namespace detail {

std::u16string FormatParts(const DateParts& d, std::u16string_view pattern) {
  std::vector<DateToken> tokens = LexDate(Lex(pattern));
  bool twelveHour = false;
  for (const DateToken& t : tokens) twelveHour |= t.type == DateToken::AmPm;
  std::u16string out;
  for (const DateToken& t : tokens) {
    switch (t.type) {
      case DateToken::Literal:
        out += t.literal;
        break;
      case DateToken::Day:
        if (t.count <= 2) AppendNumber(out, d.day, t.count);
        else if (t.count == 3) out += DayName(Weekday(d)).substr(0, 3);
        else out += DayName(Weekday(d));
        break;
      case DateToken::Month:
        if (t.count <= 2) AppendNumber(out, d.month, t.count);
        else if (t.count == 3) out += MonthName(d.month).substr(0, 3);
        else out += MonthName(d.month);
        break;
      case DateToken::Year:
        if (t.count == 1) AppendNumber(out, DayOfYear(d), 1);
        else if (t.count < 4) AppendNumber(out, d.year % 100, 2);
        else AppendNumber(out, d.year, 4);
        break;
      case DateToken::Hour: {
        int hour = d.hour;
        if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(out, hour, std::min(t.count, 2));
        break;
      }
      case DateToken::Minute:
        AppendNumber(out, d.minute, std::min(t.count, 2));
        break;
      case DateToken::Second:
        AppendNumber(out, d.second, std::min(t.count, 2));
        break;
      case DateToken::AmPm: {
        bool lower = t.literal == u"am/pm";
        if (d.hour < 12) out += lower ? u"am" : u"AM";
        else out += lower ? u"pm" : u"PM";
        break;
      }
    }
  }
  return out;
}

}  // namespace detail

namespace {

// A number through a pattern: its CStr for string patterns, its DATE for date patterns, its
// decimal digits for number patterns.
template <typename Number, typename ToDecimal>
std::u16string FormatNumber(Number value, double asDate, std::u16string_view pattern, ToDecimal toDecimal) {
  if (pattern.empty()) return CStr(value);
  std::vector<Piece> p = Lex(pattern);
  switch (Classify(p)) {
    case Kind::String:
      return FormatString(CStr(value), p);
    case Kind::Date:
      return detail::FormatParts(DateToParts(asDate), pattern);
    case Kind::Number:
      break;
  }
  return FormatDecimal(toDecimal(value), p);
}

}  // namespace

std::u16string Format(double value, std::u16string_view pattern) {
  if (!std::isfinite(value)) return CStr(value);
  return FormatNumber(value, value, pattern, [](double v) { return detail::DecimalFromDouble(v, 15); });
}

std::u16string Format(Currency value, std::u16string_view pattern) {
  return FormatNumber(value, CurrencyToDouble(value), pattern, detail::DecimalFromCurrency);
}

std::u16string Format(std::u16string_view text, std::u16string_view pattern) {
  if (pattern.empty()) return std::u16string(text);
  std::vector<Piece> p = Lex(pattern);
  if (Classify(p) == Kind::String) return FormatString(text, p);
  if (std::optional<double> number = ParseNumber(text)) return Format(*number, pattern);
  if (std::optional<DATE> date = ParseDate(text)) return Format(*date, pattern);
  return std::u16string(text);
}

}  // namespace vbrt
