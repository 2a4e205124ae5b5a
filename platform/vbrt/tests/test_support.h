// Helpers shared by the vbrt tests.
#pragma once

#include <string>
#include <string_view>

#include "vbrt.h"

namespace vbrt::testing {

// The runtime error number that a call raises, or 0 when it raises none.
template <typename Call>
int ErrorOf(Call&& call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

// ASCII texts for failure messages.
inline std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

}  // namespace vbrt::testing
