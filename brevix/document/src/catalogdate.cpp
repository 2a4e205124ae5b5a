// Catalog dates: UTC file times to local automation dates and back, and their linear order.
#include "catalogdate.h"

#include <cmath>
#include <ctime>

namespace brevix {
namespace {

constexpr int kDaysBeforeMonth[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

bool IsLeap(int y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

// Seconds between 1 January 1601 and 1 January 1970.
constexpr std::int64_t kEpochDelta = 11644473600LL;

}  // namespace

std::optional<DATE> DateFromFields(int year, int month, int day, int hour, int minute, int second) {
  if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  bool leap = IsLeap(year);
  int days = kDaysBeforeMonth[month] - kDaysBeforeMonth[month - 1] + (leap && month == 2 ? 1 : 0);
  if (day > days) return std::nullopt;
  long dayNumber = static_cast<long>(year) * 365 + year / 4 - year / 100 + year / 400 +
                   kDaysBeforeMonth[month - 1] + day - 693959;
  if (leap && month <= 2) dayNumber -= 1;
  double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return dayNumber >= 0 ? dayNumber + fraction : dayNumber - fraction;
}

std::optional<DATE> FileTimeToDate(const FILETIME& ft) {
  std::uint64_t v = FileTimeToU64(ft);
  if (v >= 0x8000000000000000ULL) return std::nullopt;
  std::time_t t = static_cast<std::time_t>(static_cast<std::int64_t>(v / 10000000ULL) - kEpochDelta);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
  return DateFromFields(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

double DateLinear(DATE d) {
  if (d >= 0) return d;
  return 2 * std::ceil(d) - d;
}

}  // namespace brevix
