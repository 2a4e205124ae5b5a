// Search criteria: the name pattern, size bounds in KB, the date conversion and its order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "catalogdate.h"
#include "itemmatch.h"

using namespace brevix;

TEST(NamePattern, Table) {
  struct Case {
    const char16_t* pattern;
    const char16_t* text;
    bool match;
  } cases[] = {
      {u"REP", u"report.txt", true},
      {u"REP", u"Rep 2", true},
      {u"REP", u"a report", false},       // anchored at the start
      {u"*port", u"report.txt", true},
      {u"*port", u"portable", true},
      {u"*.TXT", u"notes.txt.bak", true},  // the end is not anchored
      {u"*", u"anything", true},
      {u"**", u"", true},
      {u"", u"x", true},
      {u"A*A", u"a", false},               // pieces do not overlap
      {u"A*A", u"aa", true},
      {u"A*A", u"abA", true},
      {u"ab*ab", u"ab", false},
      {u"ab*ab", u"abab", true},
      {u"*zzz", u"file_zzz_1.dat", true},
      {u"*zzz", u"file_zz.dat", false},
      {u"a?c", u"abc", false},             // "?" is an ordinary character
      {u"a?c", u"A?C", true},
      {u"*b*d", u"abcd", true},
      {u"*d*b", u"abcd", false},           // order of the pieces counts
      {u"\u00e9t\u00e9", u"\u00c9T\u00c9 2026", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchPattern(c.text, c.pattern), c.match)
        << std::string(c.pattern, c.pattern + std::char_traits<char16_t>::length(c.pattern));
  }
}

TEST(SearchCriteria, SizeBoundsInKB) {
  struct Case {
    LONG limit;
    std::uint64_t size;
    bool match;
  } cases[] = {
      {1, 0, false},
      {1, 1, true},
      {1, 1024, true},
      {2, 1024, false},
      {2, 1025, true},
      {-1, 0, true},
      {-1, 1, true},
      {-1, 1024, true},    // at most 1 KB admits a full KB
      {-1, 1025, false},
      {-3, 3072, true},
      {-3, 3073, false},
      {1, 0xFFFFFFFFFFFFFFFFULL, true},   // no wrap at the top of the range
      {-2147483647 - 1, 0xFFFFFFFFFFFFFFFFULL, false},
      {-2147483647 - 1, 1ULL << 41, true},
      {2147483647, 1ULL << 41, true},
  };
  for (const Case& c : cases) {
    SearchCriteria k;
    k.sizeLimit = c.limit;
    ItemRecord r;
    r.SetSize(c.size);
    EXPECT_EQ(k.Matches(r), c.match) << c.limit << " " << c.size;
  }
  EXPECT_EQ(SizeInKB32(0), 0);
  EXPECT_EQ(SizeInKB32(1), 1);
  EXPECT_EQ(SizeInKB32(1ULL << 50), 2147483647);
}

TEST(SearchCriteria, NotePatternNeedsANote) {
  SearchCriteria k;
  k.note = NamePattern(u"*fun");
  ItemRecord r;
  EXPECT_FALSE(k.Matches(r));
  r.note = u"";
  EXPECT_FALSE(k.Matches(r));
  r.note = u"GAMES     | fun stuff";
  EXPECT_TRUE(k.Matches(r));
  k.name = NamePattern(u"x");
  r.name = u"y";
  EXPECT_FALSE(k.Matches(r));
  EXPECT_TRUE(k.MatchesExceptName(r));
}

namespace {

// Runs the test body under a POSIX time zone and restores the previous one.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (had_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool had_ = false;
};

// The UTC file time of a local wall-clock moment under a fixed offset (hours east of UTC).
FILETIME LocalToFileTime(int y, int mo, int d, int h, int mi, int s, int offsetHours) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  std::int64_t t = timegm(&tm) - offsetHours * 3600LL;
  return U64ToFileTime(static_cast<std::uint64_t>(t + 11644473600LL) * 10000000ULL);
}

}  // namespace

TEST(FileTimeToDate, ConversionTableUnderTwoZones) {
  struct Zone {
    const char* tz;
    int offset;  // hours east of UTC
  } zones[] = {{"XST5", -5}, {"YST-9", 9}};
  struct Case {
    int y, mo, d, h, mi, s;
    DATE expected;
  } cases[] = {
      {1900, 1, 1, 0, 0, 0, 2.0},
      {1899, 12, 30, 12, 0, 0, 0.5},
      {1899, 12, 30, 0, 0, 0, 0.0},
      {1899, 12, 29, 6, 0, 0, -1.25},
      {1900, 3, 1, 0, 0, 0, 61.0},
      {2000, 2, 29, 18, 0, 0, 36585.75},
      {1998, 10, 23, 15, 30, 0, 36091.0 + 15.5 / 24},
  };
  for (const Zone& z : zones) {
    ZoneGuard guard(z.tz);
    for (const Case& c : cases) {
      std::optional<DATE> d = FileTimeToDate(LocalToFileTime(c.y, c.mo, c.d, c.h, c.mi, c.s, z.offset));
      ASSERT_TRUE(d) << z.tz << " " << c.y;
      EXPECT_DOUBLE_EQ(*d, c.expected) << z.tz << " " << c.y << "-" << c.mo << "-" << c.d;
    }
  }
}

TEST(FileTimeToDate, SummerTimeOfTheDateItself) {
  ZoneGuard guard("CET-1CEST,M3.5.0,M10.5.0/3");
  // 1 July 2020 10:00 UTC is noon in Central European summer time, 1 January 11:00 local.
  std::optional<DATE> summer = FileTimeToDate(LocalToFileTime(2020, 7, 1, 10, 0, 0, 0));
  std::optional<DATE> winter = FileTimeToDate(LocalToFileTime(2020, 1, 1, 10, 0, 0, 0));
  ASSERT_TRUE(summer && winter);
  EXPECT_DOUBLE_EQ(*summer, *DateFromFields(2020, 7, 1, 12, 0, 0));
  EXPECT_DOUBLE_EQ(*winter, *DateFromFields(2020, 1, 1, 11, 0, 0));
}

TEST(FileTimeToDate, InvalidFieldsAndTimes) {
  EXPECT_FALSE(DateFromFields(2001, 2, 29, 0, 0, 0));
  EXPECT_TRUE(DateFromFields(2000, 2, 29, 0, 0, 0));
  EXPECT_FALSE(DateFromFields(1900, 2, 29, 0, 0, 0));
  EXPECT_FALSE(DateFromFields(2000, 13, 1, 0, 0, 0));
  EXPECT_FALSE(DateFromFields(2000, 1, 1, 24, 0, 0));
  EXPECT_FALSE(DateFromFields(10000, 1, 1, 0, 0, 0));
  ZoneGuard guard("UTC0");
  EXPECT_FALSE(FileTimeToDate(U64ToFileTime(0x8000000000000000ULL)));
  EXPECT_FALSE(FileTimeToDate(U64ToFileTime(0x7FFFFFFFFFFFFFFFULL)));  // year 30828
}

TEST(DateOrder, LinearScale) {
  EXPECT_DOUBLE_EQ(DateLinear(-1.25), -0.75);
  EXPECT_DOUBLE_EQ(DateLinear(2.5), 2.5);
  // 29 December 1899 00:00 < 06:00 < 30 December 00:00 < 12:00 (-0.5 and 0.5 are one moment).
  EXPECT_TRUE(DateLess(-1.0, -1.25));
  EXPECT_TRUE(DateLess(-1.25, 0.0));
  EXPECT_TRUE(DateLess(0.0, -0.5));
  EXPECT_TRUE(DateLessOrEqual(-0.5, 0.5));
  EXPECT_TRUE(DateLessOrEqual(0.5, -0.5));
  EXPECT_FALSE(DateGreater(-1.25, -1.5));
}

TEST(SearchCriteria, DateRangeUsesDateAndTime) {
  ZoneGuard guard("UTC0");
  SearchCriteria k;
  k.startDate = *DateFromFields(2020, 1, 1, 0, 0, 0);
  k.endDate = *DateFromFields(2020, 1, 31, 0, 0, 0);
  struct Case {
    int d, h;
    bool match;
  } cases[] = {{1, 0, true}, {15, 12, true}, {31, 0, true}, {31, 9, false}};
  for (const Case& c : cases) {
    ItemRecord r;
    r.timeA = LocalToFileTime(2020, 1, c.d, c.h, 0, 0, 0);
    EXPECT_EQ(k.Matches(r), c.match) << c.d << " " << c.h;
  }
  ItemRecord before;
  before.timeA = LocalToFileTime(2019, 12, 31, 23, 59, 59, 0);
  EXPECT_FALSE(k.Matches(before));
}
