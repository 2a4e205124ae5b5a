// The forms runtime's value semantics: how numbers, dates, currency and Booleans turn into
// the texts the user sees and the files store, and back; the rounding rules; DATE and
// currency arithmetic; the runtime's error numbers and their descriptions.
//
// One locale only, US English, whatever the machine's locale: "." decimal point, ","
// thousands separator, "/" date and ":" time separators, AM/PM, English month and day names.
// Nothing here calls setlocale-dependent formatting.
//
// Rounding: Format rounds half away from zero on the number's decimal value (the double's 15
// significant digits), so 1.005 with "0.00" gives "1.01". CInt, CLng, CCur and pixel
// conversions round half to even (2.5 gives 2, 3.5 gives 4).
//
// Failures are reported by throwing vbrt::RuntimeError with the runtime's error number.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "wintypes.h"

// Days since 30 December 1899 00:00 with the time of day as the fraction. Before that day the
// integer part is still the day and the fraction the time's magnitude: -1.25 is 29 December
// 1899 06:00, and -0.5 is the same moment as 0.5. Valid from 1 January 100 to 31 December 9999.
using DATE = double;

namespace vbrt {

// ---------------------------------------------------------------------------------------------
// Runtime errors

// The error numbers that the program tests, raises or shows.
enum ErrorNumber : int {
  ErrInvalidCall = 5,             // "Invalid procedure call or argument"
  ErrOverflow = 6,                // "Overflow"
  ErrOutOfMemory = 7,             // "Out of memory"
  ErrSubscriptOutOfRange = 9,     // "Subscript out of range"
  ErrTypeMismatch = 13,           // "Type mismatch"
  ErrFileNotFound = 53,           // "File not found"
  ErrFileAlreadyExists = 58,      // "File already exists"
  ErrDiskFull = 61,               // "Disk full"
  ErrDeviceUnavailable = 68,      // "Device unavailable"
  ErrPermissionDenied = 70,       // "Permission denied"
  ErrPathFileAccess = 75,         // "Path/File access error"
  ErrPathNotFound = 76,           // "Path not found"
  ErrControlArrayElement = 340,   // a member of a control array that is not loaded
  ErrObjectAlreadyLoaded = 360,   // "Object already loaded"
  ErrInvalidPropertyValue = 380,  // "Invalid property value"
  ErrInvalidPicture = 481,        // "Invalid picture"
  ErrPrinter = 482,               // "Printer error"
  ErrCantCreateObject = 429,      // "ActiveX component can't create object"
  ErrNoAutomation = 430,          // the class lacks the expected interface
  ErrClassNotFound = 432,         // "File name or class name not found during Automation operation"
  ErrMemberNotFound = 438,        // "Object doesn't support this property or method"
  ErrAutomation = 440,            // "Automation error"
  ErrCancelSelected = 32755,      // the common dialog's "Cancel was selected."
  ErrElementNotFound = 35601,     // the common controls' "Element not found"
  ErrKeyNotUnique = 35602,        // the common controls' "Key is not unique in collection"
};

// The runtime's description of an error number; "Application-defined or object-defined error"
// for a number it does not know, and StatusDescription's for a negative one (a status).
std::u16string ErrorDescription(int number);

// How the runtime describes a failed status that it reports under no error number of its own:
// "Automation error", then, for the statuses of files and disks that the libraries answer
// (access denied, write protected, disk full, in use by another program, not found, invalid
// name, not a catalog file, damaged, disk faults, drive not ready), a line break ("\r\n") and
// the cause.
std::u16string StatusDescription(HRESULT hr);

// The error number under which the runtime reports a failed status from a component call:
// the well-known storage, automation and activation statuses map to their runtime errors
// (STG_E_MEDIUMFULL to 61, STG_E_FILENOTFOUND to 53, E_INVALIDARG to 5 ...), a status of the
// control facility (0x800Axxxx) to its low word, and any other status stays the status itself
// (a negative number, described by StatusDescription). A file held by another program
// (STG_E_SHAREVIOLATION, STG_E_LOCKVIOLATION) stays its status, so that its description says so
// rather than "Permission denied".
int ErrorNumberFromHResult(HRESULT hr);

// A runtime error: the number a procedure's error handler tests and shows, and its description.
class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(int number);                        // description from ErrorDescription
  RuntimeError(int number, std::u16string description);
  static RuntimeError FromHResult(HRESULT hr);              // ErrorNumberFromHResult and its text

  int number() const noexcept { return number_; }
  const std::u16string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }  // UTF-8 description

 private:
  int number_;
  std::u16string description_;
  std::string what_;
};

// ---------------------------------------------------------------------------------------------
// Numbers and text

// The runtime's number-to-text conversion: up to 15 significant digits, no trailing zeros, no
// decimal point for whole numbers, "-" for negative numbers, exponent form ("1E+15",
// "1.5E-05") when the decimal exponent is 15 or more or below -4. 5/12 gives
// "0.416666666666667", 0.875 gives "0.875", -0.0 gives "0".
std::u16string CStr(double value);
// Single precision: 7 significant digits, the exponent form from a decimal exponent of 7.
std::u16string CStr(float value);
// Integers in decimal; a Boolean as "True" or "False".
template <std::integral T>
std::u16string CStr(T value);

// The runtime's Str: CStr's digits with a leading blank for a number that is not negative, and
// without the zero before the decimal point of a fraction: Str(42) gives " 42", Str(-3) "-3",
// Str(0.5) " .5".
std::u16string Str(double value);

// The numeric grammar that IsNumeric accepts and CDbl converts: optional blanks, an optional
// "+" or "-", digits with at most one decimal point (at least one digit, ".5" and "5." are
// numbers), an optional exponent "E" or "e" with optional sign and digits, optional blanks.
// No thousands separators, currency signs, parentheses or radix prefixes; the value must fit a
// double. IsNumeric("2003") and IsNumeric(" -1.5e3 ") are true, IsNumeric("(none)"),
// IsNumeric("") and IsNumeric("1,000") are false.
bool IsNumeric(std::u16string_view text);
// The value of a text in that grammar, or nothing.
std::optional<double> ParseNumber(std::u16string_view text);
// As ParseNumber, raising 13 (type mismatch) for a text outside the grammar and 6 (overflow)
// for a number beyond the double range.
double CDbl(std::u16string_view text);

// The runtime's Val: the number that the longest numeric prefix of the text spells, after
// leading blanks, tabs and line ends; 0 when there is none. Val("12abc") is 12, Val("abc") is 0,
// Val(" 3.5e2x") is 350, Val("1.") is 1.
double Val(std::u16string_view text);

// Half-to-even rounding into the 16-bit and 32-bit integer ranges; 6 (overflow) when the
// rounded value does not fit or is not a number. CInt(2.5) is 2, CInt(3.5) is 4, CInt(-2.5) is
// -2, CInt(32767.5) overflows.
SHORT CInt(double value);
LONG CLng(double value);
// Text through CDbl first: 13 for a text that is not numeric.
SHORT CInt(std::u16string_view text);
LONG CLng(std::u16string_view text);
// A device coordinate from a length already scaled to pixels: the nearest whole pixel, halves
// to even, as a 32-bit integer (6 when it does not fit).
LONG RoundToPixel(double pixels);

// Booleans: "True"/"False" (any letter case) or a number (non-zero is true); nothing otherwise.
std::optional<bool> ParseBoolean(std::u16string_view text);

// ---------------------------------------------------------------------------------------------
// Currency: a 64-bit integer scaled by 10000 (four decimal places).

struct Currency {
  std::int64_t scaled = 0;  // the value times 10000

  static constexpr Currency FromScaled(std::int64_t v) { return Currency{v}; }
  friend constexpr bool operator==(Currency, Currency) = default;
  friend constexpr auto operator<=>(Currency, Currency) = default;
};

// A double to currency, rounded half to even at the fourth decimal; 6 when out of range.
Currency CCur(double value);
// Text in the numeric grammar to currency, exact, rounded half to even at the fourth decimal;
// 13 for a text that is not numeric, 6 when out of range.
Currency CCur(std::u16string_view text);
// The nearest double.
double CurrencyToDouble(Currency value);
// Up to four decimals, no trailing zeros: 145.7664 gives "145.7664", 1457664 gives "1457664".
std::u16string CStr(Currency value);

// ---------------------------------------------------------------------------------------------
// Format

// Format(value, pattern): the runtime's Format for the patterns the program uses.
//
// Number patterns: optional literal text, a run of digit places ("0" shows a digit or a zero,
// "#" a digit or nothing, "," among them groups thousands), an optional "." with decimal
// places ("0" always, "#" only up to the last significant digit; the point itself is always
// shown, so "0." with 1.2 gives "1."), then literal text. Rounding is half away from zero on
// the decimal value; a result that rounds to zero has no minus sign. Examples: "#,##0" with
// 1423.5 gives "1,424"; "#,###" with 0 gives ""; "0000000000" with 42 gives "0000000042".
//
// Date patterns (tokens in any letter case): d, dd, ddd, dddd; m, mm, mmm ("Dec"), mmmm
// ("December"); yy, yyyy; h, hh; n, nn; s, ss; AMPM or AM/PM ("AM"/"PM", and a 12-hour clock
// for h and hh: 0:30 gives 12:30 AM). An m or mm right after h or hh, or right before s or
// ss, is minutes. "/", ":", blanks and other characters are literal; "\x" and "..." quote
// literals. A pattern with date tokens and no "0" or "#" is a date pattern, and the number is
// taken as a DATE.
//
// String patterns: "@" a character or a blank, "&" a character or nothing; the text fills
// the places from the right (right-aligned) or, after a leading "!", from the left; a longer
// text is never cut. "<" and ">" lower- or upper-case the text. "!@@@@@@@@@@" pads to 10 on
// the right, "@@@@@@@@@@@" to 11 on the left. A number with a string pattern is CStr first.
//
// An empty pattern, and a value that is not a finite number, give CStr(value).
std::u16string Format(double value, std::u16string_view pattern);
// Currency with number patterns, exactly (no passage through double).
std::u16string Format(Currency value, std::u16string_view pattern);
// Text: string patterns apply to the text; with a number or date pattern a numeric text is
// formatted as its number and a date text (see ParseDate) as its date; any other text, and
// any text with an empty pattern, comes back unchanged.
std::u16string Format(std::u16string_view text, std::u16string_view pattern);

// ---------------------------------------------------------------------------------------------
// DATE

struct DateParts {
  int year = 1899;   // 100 to 9999
  int month = 12;    // 1 to 12
  int day = 30;      // 1 to the days of the month
  int hour = 0;      // 0 to 23
  int minute = 0;    // 0 to 59
  int second = 0;    // 0 to 59
  friend bool operator==(const DateParts&, const DateParts&) = default;
};

// The calendar parts of a DATE, to the nearest second; 6 (overflow) outside the DATE range or
// for a value that is not a number.
DateParts DateToParts(DATE value);
// The DATE of calendar parts; nothing when a field is out of its range (31 February, hour 24).
std::optional<DATE> DateFromParts(const DateParts& parts);

// A DATE as a point on a straight time line (days since day 0, fraction included), and back:
// for d >= 0 the same number, for negative d it is 2 * ceil(d) - d (-1.25 maps to -0.75).
// Comparing and subtracting DATEs is done on this scale.
double DateToLinear(DATE value);
DATE DateFromLinear(double linear);

// Adding time: whole seconds, whole days (the time of day kept), whole months (the day clamped
// to the end of a shorter month: 31 March minus one month is 28 or 29 February), all to the
// nearest second. 5 (invalid call) when the result leaves the DATE range, 6 when the value
// given is outside it.
DATE AddSeconds(DATE value, std::int64_t seconds);
DATE AddDays(DATE value, std::int64_t days);
DATE AddMonths(DATE value, std::int64_t months);

// The local clock (the TZ environment variable is honoured), to the second; Date() is today at
// midnight.
DATE Now();
DATE Date();
// A moment (seconds since 1970-01-01 UTC) as a local DATE, and a local DATE as that moment.
DATE DateFromUnixTime(std::int64_t seconds);
std::int64_t UnixTimeFromDate(DATE value);

// The default date-to-text conversion: "M/d/yyyy h:mm:ss AM" ("12/9/2026 3:05:07 PM"); the date
// alone at midnight ("12/9/2026"); the time alone on day 0 ("6:00:00 AM"; day 0 at midnight is
// "12:00:00 AM").
std::u16string DateToText(DATE value);

// Reads the program's own date texts back: month/day/year ("12/9/2026", "12/09/26"),
// year/month/day ("2026/12/09"), "Dec 9, 2026" (English month names or their first three
// letters, any letter case), each optionally followed by a time "h:mm" or "h:mm:ss" with an
// optional AM or PM (without it a 24-hour clock), or a time alone (day 0). Blanks between the
// parts are free. Two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999. Nothing when the
// text is not such a date or names a day that does not exist.
std::optional<DATE> ParseDate(std::u16string_view text);
// As ParseDate, raising 13 (type mismatch) when the text is not a date.
DATE CDate(std::u16string_view text);

// ---------------------------------------------------------------------------------------------

template <std::integral T>
std::u16string CStr(T value) {
  if constexpr (std::same_as<T, bool>) {
    return value ? u"True" : u"False";
  } else {
    char16_t buf[24];
    char16_t* end = buf + 24;
    char16_t* p = end;
    bool negative = value < 0;
    // Work in the unsigned domain so that the most negative value survives.
    using U = std::make_unsigned_t<T>;
    U magnitude = negative ? static_cast<U>(U(0) - static_cast<U>(value)) : static_cast<U>(value);
    do {
      *--p = static_cast<char16_t>(u'0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--p = u'-';
    return std::u16string(p, end);
  }
}

}  // namespace vbrt
