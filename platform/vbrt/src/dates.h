// DATE internals shared by the date functions and Format inside vbrt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vbrt.h"

namespace vbrt::detail {

// A DATE as a calendar day number (0 is 30 December 1899, negative before it) and the
// seconds into that day.
struct Moment {
  std::int64_t day = 0;
  std::int64_t second = 0;
};

// To the nearest second; 6 (overflow) outside the DATE range.
Moment MomentOf(DATE value);
// Nothing outside the DATE range.
std::optional<DATE> DateOf(Moment m);
Moment MomentFromSeconds(std::int64_t total);
std::int64_t SecondsOf(Moment m);
DateParts PartsOf(Moment m);
std::optional<Moment> MomentFromParts(const DateParts& p);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
std::u16string_view MonthName(int month);        // "January" ... "December"
std::u16string_view DayName(int weekday);        // 0 "Sunday" ... 6 "Saturday"
int Weekday(const DateParts& p);                 // 0 Sunday ... 6 Saturday

// Date parts through a date pattern (see Format).
std::u16string FormatParts(const DateParts& p, std::u16string_view pattern);

}  // namespace vbrt::detail
