// Dates of catalog items: the catalog stores UTC file times; the library hands local
// automation dates (days since 30 December 1899, the time of day as the fraction) to its
// host and compares them on one linear scale.
#pragma once

#include <optional>

#include "wintypes.h"

using DATE = double;

namespace brevix {

// The local date of a UTC file time, milliseconds dropped; nothing when the time has no
// local calendar form or falls after the year 9999.
std::optional<DATE> FileTimeToDate(const FILETIME& ft);

// The calendar fields to a date: the day number and the time of day, the fraction taken away
// from a negative day number (so 29 December 1899 06:00 is -1.25). Nothing when the fields
// are not a valid date and time.
std::optional<DATE> DateFromFields(int year, int month, int day, int hour, int minute, int second);

// Dates before day 0 keep their time as a positive magnitude, so they do not order as plain
// numbers: -1.25 lies after -1.0 and before -0.5. This maps a date onto a scale that does.
double DateLinear(DATE d);
inline bool DateLess(DATE a, DATE b) { return DateLinear(a) < DateLinear(b); }
inline bool DateGreater(DATE a, DATE b) { return DateLinear(a) > DateLinear(b); }
inline bool DateLessOrEqual(DATE a, DATE b) { return DateLinear(a) <= DateLinear(b); }

}  // namespace brevix
