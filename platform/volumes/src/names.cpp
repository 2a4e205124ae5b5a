// Names between disk bytes and catalog UTF-16, and Unix times as FILETIMEs.
#include <cstdint>
#include <string>
#include <string_view>

#include "unicode.h"
#include "volumes.h"

namespace volumes {

std::u16string NameFromDisk(std::string_view bytes) { return unicode::Utf8ToUtf16(bytes, unicode::Policy::kLossless); }

std::string NameToDisk(std::u16string_view name) { return unicode::Utf16ToUtf8(name, unicode::Policy::kLossless); }

FILETIME FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
  constexpr std::int64_t kEpochDelta = 11644473600;  // seconds from 1601 to 1970
  constexpr std::int64_t kMaxSeconds = static_cast<std::int64_t>(UINT64_MAX / 10000000u) - kEpochDelta;
  if (seconds < -kEpochDelta) return FILETIME{};
  if (seconds >= kMaxSeconds) return U64ToFileTime(UINT64_MAX);
  const auto ticks = static_cast<std::uint64_t>(seconds + kEpochDelta) * 10000000u + nanoseconds / 100u;
  return U64ToFileTime(ticks);
}

}  // namespace volumes

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
  const std::uint64_t x = FileTimeToU64(*a), y = FileTimeToU64(*b);
  return x < y ? -1 : (x > y ? 1 : 0);
}
