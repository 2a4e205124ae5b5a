// The decimal form that every number passes through on its way to text: a sign, the
// significant digits and the position of the decimal point. Shared by the conversions and
// Format inside vbrt; not part of the public interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vbrt.h"

namespace vbrt::detail {

// value = 0.d1 d2 d3 ... x 10^point; no leading or trailing zero digits; zero has no digits.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;

  bool IsZero() const { return digits.empty(); }
};

// The shortest digits of the value correctly rounded to `significant` digits.
Decimal DecimalFromDouble(double value, int significant);
Decimal DecimalFromCurrency(Currency value);

// Round to `fraction` digits after the point: half away from zero, or half to even.
void RoundHalfAway(Decimal& d, int fraction);
void RoundHalfEven(Decimal& d, int fraction);

// How a text matches the numeric grammar of IsNumeric.
enum class ParseStatus { Ok, Malformed, Overflow };
// The whole text (blanks allowed around it) as a decimal.
ParseStatus ParseDecimal(std::u16string_view text, Decimal& out);
// The nearest double; Overflow beyond the double range (values too small become zero).
ParseStatus DecimalToDouble(const Decimal& d, double& out);
// The exact currency, rounded half to even at four decimals; Overflow beyond its range.
ParseStatus DecimalToCurrency(Decimal d, Currency& out);

// The runtime's text of a decimal: plain digits, or the exponent form ("1.5E+15", "1E-05")
// when the decimal exponent is `maxExponent` or more or below -4.
std::u16string DecimalToText(const Decimal& d, int maxExponent);

// Whole-number rounding, halves to even.
double RoundHalfEvenWhole(double value);

// Letter case of one character in the fixed locale: ASCII and Latin-1 letters.
char16_t ToUpper(char16_t c);
char16_t ToLower(char16_t c);
bool IsBlank(char16_t c);

std::u16string FromAscii(std::string_view text);

}  // namespace vbrt::detail
