// Dates as report tables write them, read back as numbers that sort in time order.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace texttable {

// The value's date and time as a number increasing with time, when the value is a date in
// one of the forms report tables hold: "yyyy/mm/dd" or "m/d/yy" (also "m/d/yyyy"; a two-digit
// year is 1930..2029), optionally followed by a time "h:mm" or "h:mm:ss" with or without
// "AM"/"PM" (either case). Anything else, blanks around the value aside, is no date.
std::optional<std::int64_t> DateKey(std::string_view value);

}  // namespace texttable
