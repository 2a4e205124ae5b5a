// Case folding of UTF-8 text for comparisons that ignore case.
#pragma once

#include <string>
#include <string_view>

namespace texttable {

// The text with every capital letter of the Latin, Greek, Cyrillic and Armenian scripts (and
// the full-width Latin capitals) replaced by its small letter, which has the same length in
// UTF-8. Bytes that are not valid UTF-8 are kept as they are. Comparing two folded texts byte
// by byte orders them by code point.
std::string FoldCase(std::string_view text);

}  // namespace texttable
