// Numbers to text and back, whole-number rounding and currency.

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "decimal.h"
#include "vbrt.h"

namespace vbrt {
namespace detail {

namespace {

void StripTrailingZeros(Decimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.point = 0;
}

// Adds one unit at the last kept digit; a carry out of the first digit moves the point.
void IncrementLastDigit(Decimal& d) {
  for (std::size_t i = d.digits.size(); i-- > 0;) {
    if (d.digits[i] != '9') {
      ++d.digits[i];
      return;
    }
    d.digits[i] = '0';
  }
  d.digits.insert(d.digits.begin(), '1');
  ++d.point;
}

// Keeps `keep` digits and reports whether the dropped part is above, at or below half a unit.
enum class Dropped { Below, Half, Above };
Dropped Truncate(Decimal& d, long keep) {
  if (keep < 0) {
    d.digits.clear();
    d.point = 0;
    return Dropped::Below;
  }
  auto k = static_cast<std::size_t>(keep);
  if (k >= d.digits.size()) return Dropped::Below;
  Dropped dropped = Dropped::Below;
  if (d.digits[k] > '5') {
    dropped = Dropped::Above;
  } else if (d.digits[k] == '5') {
    // Digits carry no trailing zeros, so anything after the 5 makes it more than half.
    dropped = k + 1 < d.digits.size() ? Dropped::Above : Dropped::Half;
  }
  d.digits.resize(k);
  return dropped;
}

void Round(Decimal& d, int fraction, bool halfEven) {
  if (d.IsZero()) return;
  long keep = static_cast<long>(d.point) + fraction;
  Dropped dropped = Truncate(d, keep);
  bool up = dropped == Dropped::Above;
  if (dropped == Dropped::Half) {
    if (!halfEven) {
      up = true;
    } else {
      int last = d.digits.empty() ? 0 : d.digits.back() - '0';
      up = (last % 2) != 0;
    }
  }
  if (up) {
    if (d.digits.empty()) {
      // Every kept place was zero: the unit lands at the last kept place.
      d.digits.assign(1, '1');
      d.point = -fraction + 1;
    } else {
      IncrementLastDigit(d);
    }
  }
  StripTrailingZeros(d);
  if (d.IsZero()) d.negative = false;
}

}  // namespace

Decimal DecimalFromDouble(double value, int significant) {
  Decimal d;
  if (value == 0 || !std::isfinite(value)) return d;
  d.negative = value < 0;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific,
                           significant - 1);
  std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
  std::size_t e = s.find('e');
  for (char c : s.substr(0, e)) {
    if (c != '.') d.digits.push_back(c);
  }
  int exponent = 0;
  std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);
  d.point = exponent + 1;
  StripTrailingZeros(d);
  return d;
}

Decimal DecimalFromCurrency(Currency value) {
  Decimal d;
  if (value.scaled == 0) return d;
  d.negative = value.scaled < 0;
  auto magnitude = d.negative ? 0 - static_cast<std::uint64_t>(value.scaled)
                              : static_cast<std::uint64_t>(value.scaled);
  d.digits = std::to_string(magnitude);
  d.point = static_cast<int>(d.digits.size()) - 4;
  StripTrailingZeros(d);
  return d;
}

void RoundHalfAway(Decimal& d, int fraction) { Round(d, fraction, false); }
void RoundHalfEven(Decimal& d, int fraction) { Round(d, fraction, true); }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

ParseStatus ParseDecimal(std::u16string_view text, Decimal& out) {
  std::size_t i = 0, n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;
  Decimal d;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) d.negative = text[i++] == u'-';
  bool anyDigit = false, seenPoint = false;
  long point = 0;
  for (; i < n; ++i) {
    char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      anyDigit = true;
      if (d.digits.empty() && c == u'0') {
        if (seenPoint) --point;  // leading zeros after the point shift it
        continue;
      }
      d.digits.push_back(static_cast<char>(c));
      if (!seenPoint) ++point;
    } else if (c == u'.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return ParseStatus::Malformed;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    bool negExp = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negExp = text[i++] == u'-';
    if (i == n || text[i] < u'0' || text[i] > u'9') return ParseStatus::Malformed;
    long exponent = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
      // Saturate: any exponent this large already over- or underflows every type here.
      if (exponent < 100000000) exponent = exponent * 10 + (text[i] - u'0');
    }
    point += negExp ? -exponent : exponent;
  }
  if (i != n) return ParseStatus::Malformed;
  if (point > std::numeric_limits<int>::max() / 2 || point < std::numeric_limits<int>::min() / 2)
    point = point > 0 ? std::numeric_limits<int>::max() / 2 : std::numeric_limits<int>::min() / 2;
  d.point = static_cast<int>(point);
  StripTrailingZeros(d);
  if (d.IsZero()) d.negative = false;
  out = std::move(d);
  return ParseStatus::Ok;
}

ParseStatus DecimalToDouble(const Decimal& d, double& out) {
  if (d.IsZero()) {
    out = 0.0;
    return ParseStatus::Ok;
  }
  // Far outside the double range either way: decide without building a long text.
  if (d.point > 400) return ParseStatus::Overflow;
  if (d.point < -400) {
    out = 0.0;
    return ParseStatus::Ok;
  }
  std::string s = d.digits;
  s += 'e';
  s += std::to_string(static_cast<long>(d.point) - static_cast<long>(d.digits.size()));
  double v = 0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    if (d.point > 0) return ParseStatus::Overflow;
    v = 0.0;
  } else if (res.ec != std::errc()) {
    return ParseStatus::Malformed;
  }
  out = d.negative ? -v : v;
  return ParseStatus::Ok;
}

ParseStatus DecimalToCurrency(Decimal d, Currency& out) {
  RoundHalfEven(d, 4);
  if (d.IsZero()) {
    out = Currency{0};
    return ParseStatus::Ok;
  }
  long places = static_cast<long>(d.point) + 4;  // digits of the scaled integer
  if (places > 19) return ParseStatus::Overflow;
  std::uint64_t magnitude = 0;
  for (long k = 0; k < places; ++k) {
    unsigned digit = k < static_cast<long>(d.digits.size()) ? unsigned(d.digits[k] - '0') : 0u;
    if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
      return ParseStatus::Overflow;
    magnitude = magnitude * 10 + digit;
  }
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (magnitude > kMax + (d.negative ? 1u : 0u)) return ParseStatus::Overflow;
  out.scaled = d.negative ? static_cast<std::int64_t>(0 - magnitude)
                          : static_cast<std::int64_t>(magnitude);
  return ParseStatus::Ok;
}

std::u16string DecimalToText(const Decimal& d, int maxExponent) {
  if (d.IsZero()) return u"0";
  std::u16string s;
  if (d.negative) s += u'-';
  int exponent = d.point - 1;
  const std::string& g = d.digits;
  if (exponent >= maxExponent || exponent < -4) {
    s += static_cast<char16_t>(g[0]);
    if (g.size() > 1) {
      s += u'.';
      for (std::size_t k = 1; k < g.size(); ++k) s += static_cast<char16_t>(g[k]);
    }
    s += u'E';
    s += exponent < 0 ? u'-' : u'+';
    int magnitude = std::abs(exponent);
    if (magnitude < 10) s += u'0';
    s += FromAscii(std::to_string(magnitude));
    return s;
  }
  if (d.point <= 0) {
    s += u"0.";
    s.append(static_cast<std::size_t>(-d.point), u'0');
    s += FromAscii(g);
    return s;
  }
  auto whole = static_cast<std::size_t>(d.point);
  for (std::size_t k = 0; k < whole; ++k) s += k < g.size() ? static_cast<char16_t>(g[k]) : u'0';
  if (g.size() > whole) {
    s += u'.';
    for (std::size_t k = whole; k < g.size(); ++k) s += static_cast<char16_t>(g[k]);
  }
  return s;
}

double RoundHalfEvenWhole(double value) {
  double f = std::floor(value);
  double diff = value - f;
  if (diff < 0.5) return f;
  if (diff > 0.5) return f + 1;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

char16_t ToUpper(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

char16_t ToLower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

std::u16string FromAscii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace detail

using detail::Decimal;
using detail::ParseStatus;

namespace {

std::u16string NonFiniteText(double value) {
  if (std::isnan(value)) return u"NaN";
  return value < 0 ? u"-Infinity" : u"Infinity";
}

[[noreturn]] void RaiseFor(ParseStatus status) {
  throw RuntimeError(status == ParseStatus::Overflow ? ErrOverflow : ErrTypeMismatch);
}

template <typename Int>
Int RoundInto(double value) {
  double r = detail::RoundHalfEvenWhole(value);
  if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        r <= static_cast<double>(std::numeric_limits<Int>::max())))
    throw RuntimeError(ErrOverflow);
  return static_cast<Int>(r);
}

}  // namespace

std::u16string CStr(double value) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  return detail::DecimalToText(detail::DecimalFromDouble(value, 15), 15);
}

std::u16string CStr(float value) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  return detail::DecimalToText(detail::DecimalFromDouble(value, 7), 7);
}

std::u16string Str(double value) {
  std::u16string text = CStr(value);
  if (!std::isfinite(value)) return text;
  std::size_t start = text[0] == u'-' ? 1 : 0;
  // The runtime's Str writes a fraction without the zero before its point.
  if (text.size() > start + 1 && text[start] == u'0' && text[start + 1] == u'.')
    text.erase(start, 1);
  if (start == 0) text.insert(text.begin(), u' ');
  return text;
}

std::optional<double> ParseNumber(std::u16string_view text) {
  Decimal d;
  double v = 0;
  if (detail::ParseDecimal(text, d) != ParseStatus::Ok) return std::nullopt;
  if (detail::DecimalToDouble(d, v) != ParseStatus::Ok) return std::nullopt;
  return v;
}

bool IsNumeric(std::u16string_view text) { return ParseNumber(text).has_value(); }

double CDbl(std::u16string_view text) {
  Decimal d;
  double v = 0;
  ParseStatus status = detail::ParseDecimal(text, d);
  if (status == ParseStatus::Ok) status = detail::DecimalToDouble(d, v);
  if (status != ParseStatus::Ok) RaiseFor(status);
  return v;
}

double Val(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (detail::IsBlank(text[i]) || text[i] == u'\n' || text[i] == u'\r')) ++i;
  auto isDigit = [&](std::size_t k) { return k < text.size() && text[k] >= u'0' && text[k] <= u'9'; };
  std::size_t start = i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  std::size_t digits = 0;
  while (isDigit(i)) ++i, ++digits;
  if (i < text.size() && text[i] == u'.') {
    ++i;
    while (isDigit(i)) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  // An exponent counts only when digits follow it.
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t k = i + 1;
    if (k < text.size() && (text[k] == u'+' || text[k] == u'-')) ++k;
    if (isDigit(k)) {
      while (isDigit(k)) ++k;
      end = k;
    }
  }
  return CDbl(text.substr(start, end - start));
}

SHORT CInt(double value) { return RoundInto<SHORT>(value); }
LONG CLng(double value) { return RoundInto<LONG>(value); }
SHORT CInt(std::u16string_view text) { return CInt(CDbl(text)); }
LONG CLng(std::u16string_view text) { return CLng(CDbl(text)); }
LONG RoundToPixel(double pixels) { return RoundInto<LONG>(pixels); }

std::optional<bool> ParseBoolean(std::u16string_view text) {
  std::size_t i = 0, n = text.size();
  while (i < n && detail::IsBlank(text[i])) ++i;
  while (n > i && detail::IsBlank(text[n - 1])) --n;
  std::u16string word;
  for (std::size_t k = i; k < n; ++k) word += detail::ToLower(text[k]);
  if (word == u"true") return true;
  if (word == u"false") return false;
  if (std::optional<double> v = ParseNumber(text)) return *v != 0;
  return std::nullopt;
}

Currency CCur(double value) {
  if (!std::isfinite(value)) throw RuntimeError(ErrOverflow);
  Currency c;
  ParseStatus status = detail::DecimalToCurrency(detail::DecimalFromDouble(value, 15), c);
  if (status != ParseStatus::Ok) RaiseFor(status);
  return c;
}

Currency CCur(std::u16string_view text) {
  Decimal d;
  Currency c;
  ParseStatus status = detail::ParseDecimal(text, d);
  if (status == ParseStatus::Ok) status = detail::DecimalToCurrency(std::move(d), c);
  if (status != ParseStatus::Ok) RaiseFor(status);
  return c;
}

double CurrencyToDouble(Currency value) { return static_cast<double>(value.scaled) / 10000.0; }

std::u16string CStr(Currency value) {
  return detail::DecimalToText(detail::DecimalFromCurrency(value), 1000);
}

}  // namespace vbrt
