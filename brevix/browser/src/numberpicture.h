// The number picture formatter: a number turned into text after a picture such as "9,999K"
// (literal text around a run of digit places, decimals, thousands separators, an exponent
// form, and separate sections for values that are not negative and for negative ones).
#pragma once

#include <string>
#include <string_view>

namespace brevix {

// Formats `value` after section `section` of `picture` (sections split at ";", numbered from
// 1; section 0 chooses 1 for a value >= 0 and 2, with the value negated, for a value < 0).
// No picture, a picture of 50 characters or more, or a missing section give "".
std::string FormatNumberPicture(double value, const char* picture, int section, char decimal = '.',
                                char thousands = ',');

}  // namespace brevix
