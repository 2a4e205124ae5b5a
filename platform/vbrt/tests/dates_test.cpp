// DATE: calendar parts, arithmetic, the local clock, the default text and reading it back.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "test_support.h"
#include "vbrt.h"

using namespace vbrt;
using vbrt::testing::ErrorOf;
using vbrt::testing::Narrow;

namespace {

DATE D(int y, int m, int d, int h = 0, int mi = 0, int s = 0) { return *DateFromParts({y, m, d, h, mi, s}); }

TEST(DateParts, KnownDays) {
  struct Case {
    DateParts parts;
    DATE value;
  } cases[] = {
      {{1900, 1, 1}, 2.0},
      {{1899, 12, 30, 12, 0, 0}, 0.5},
      {{1899, 12, 30}, 0.0},
      {{1899, 12, 29, 6, 0, 0}, -1.25},  // the day, minus the time's magnitude
      {{1899, 12, 29, 18, 0, 0}, -1.75},
      {{2000, 2, 29}, 36585.0},
      {{100, 1, 1}, -657434.0},
      {{9999, 12, 31}, 2958465.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateFromParts(c.parts), c.value) << c.parts.year << "-" << c.parts.month;
    EXPECT_EQ(DateToParts(c.value), c.parts) << c.value;
  }
}

TEST(DateParts, InvalidFields) {
  DateParts invalid[] = {
      {2026, 2, 29}, {1900, 2, 29}, {2026, 13, 1}, {2026, 0, 1},        {2026, 4, 31},
      {99, 1, 1},    {10000, 1, 1}, {2026, 1, 1, 24, 0, 0}, {2026, 1, 1, 0, 60, 0}, {2026, 1, 1, 0, 0, -1},
  };
  for (const DateParts& p : invalid) EXPECT_EQ(DateFromParts(p), std::nullopt) << p.year << "-" << p.month << "-" << p.day;
  EXPECT_TRUE(DateFromParts({2024, 2, 29}).has_value());
  EXPECT_TRUE(DateFromParts({2000, 2, 29}).has_value());
}

TEST(DateParts, TimeRoundsToTheSecondAndNegativeZeroDayIsDayZero) {
  EXPECT_EQ(DateToParts(0.99999999), (DateParts{1899, 12, 31}));
  EXPECT_EQ(DateToParts(-0.5), (DateParts{1899, 12, 30, 12, 0, 0}));
  EXPECT_EQ(DateToParts(D(2026, 12, 9) + 86399.0 / 86400.0), (DateParts{2026, 12, 9, 23, 59, 59}));
  EXPECT_EQ(ErrorOf([] { DateToParts(3e6); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { DateToParts(-657435.0); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { DateToParts(std::numeric_limits<double>::quiet_NaN()); }), ErrOverflow);
}

TEST(DateLinear, NegativeDatesMapOntoOneLine) {
  EXPECT_EQ(DateToLinear(-1.25), -0.75);
  EXPECT_EQ(DateToLinear(2.5), 2.5);
  EXPECT_EQ(DateToLinear(-1.0), -1.0);
  for (DATE d : {-1.25, -1.75, -2.0, -0.5, 0.0, 0.25, 45000.5}) {
    double line = DateToLinear(d);
    DATE back = DateFromLinear(line);
    EXPECT_EQ(DateToParts(back), DateToParts(d)) << d;
  }
  // Earlier moments are smaller on the line.
  EXPECT_LT(DateToLinear(D(1899, 12, 29, 6)), DateToLinear(D(1899, 12, 29, 18)));
  EXPECT_LT(DateToLinear(D(1899, 12, 29, 18)), DateToLinear(D(1899, 12, 30, 1)));
}

TEST(DateArithmetic, AddingTime) {
  struct Case {
    DATE result;
    DATE expected;
  } cases[] = {
      {AddMonths(D(2026, 3, 31), -1), D(2026, 2, 28)},
      {AddMonths(D(2024, 3, 31), -1), D(2024, 2, 29)},
      {AddMonths(D(2026, 1, 31, 8, 30), 1), D(2026, 2, 28, 8, 30)},
      {AddMonths(D(2026, 12, 15), 1), D(2027, 1, 15)},
      {AddMonths(D(2026, 1, 15), -13), D(2024, 12, 15)},
      {AddDays(D(2026, 3, 1, 10), -7), D(2026, 2, 22, 10)},
      {AddDays(D(1900, 1, 1, 12), -3), D(1899, 12, 29, 12)},
      {AddSeconds(D(2026, 12, 9), 86399), D(2026, 12, 9, 23, 59, 59)},
      {AddSeconds(D(2026, 12, 31, 23, 59, 59), 1), D(2027, 1, 1)},
      {AddSeconds(-1.25, 86400), 0.25},
      {AddSeconds(0.25, -86400), -1.25},
      {AddSeconds(D(1899, 12, 30, 0, 0, 30), -60), D(1899, 12, 29, 23, 59, 30)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, c.expected);
}

TEST(DateArithmetic, LeavingTheRangeIsAnInvalidCall) {
  EXPECT_EQ(ErrorOf([] { AddMonths(D(9999, 12, 1), 1); }), ErrInvalidCall);
  EXPECT_EQ(ErrorOf([] { AddDays(D(100, 1, 1), -1); }), ErrInvalidCall);
  EXPECT_EQ(ErrorOf([] { AddSeconds(D(9999, 12, 31, 23, 59, 59), 1); }), ErrInvalidCall);
  EXPECT_EQ(ErrorOf([] { AddMonths(0.0, std::numeric_limits<std::int64_t>::max()); }), ErrInvalidCall);
  EXPECT_EQ(ErrorOf([] { AddSeconds(0.0, std::numeric_limits<std::int64_t>::min()); }), ErrInvalidCall);
}

class LocalClock : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  void TearDown() override {
    if (saved_) setenv("TZ", saved_->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  std::optional<std::string> saved_;
};

TEST_F(LocalClock, FollowsTheTimeZone) {
  setenv("TZ", "UTC", 1);
  EXPECT_EQ(DateFromUnixTime(0), 25569.0);
  EXPECT_EQ(UnixTimeFromDate(25569.0), 0);
  setenv("TZ", "EST5", 1);
  EXPECT_EQ(DateToParts(DateFromUnixTime(0)), (DateParts{1969, 12, 31, 19, 0, 0}));
  EXPECT_EQ(UnixTimeFromDate(D(1969, 12, 31, 19)), 0);
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  // 1 July 2026 10:00 UTC is noon in summer time.
  EXPECT_EQ(DateToParts(DateFromUnixTime(1782900000)), (DateParts{2026, 7, 1, 12, 0, 0}));
  EXPECT_EQ(UnixTimeFromDate(D(2026, 7, 1, 12)), 1782900000);
}

TEST_F(LocalClock, NowAndDate) {
  setenv("TZ", "EST5", 1);
  std::int64_t before = std::time(nullptr);
  DATE now = Now();
  std::int64_t after = std::time(nullptr);
  EXPECT_GE(UnixTimeFromDate(now), before);
  EXPECT_LE(UnixTimeFromDate(now), after);
  DATE today = Date();
  DateParts t = DateToParts(today);
  EXPECT_EQ(t.hour + t.minute + t.second, 0);
  EXPECT_LE(today, Now());
  EXPECT_GT(today + 1, now);
}

TEST(DateText, DefaultConversion) {
  struct Case {
    DATE value;
    const char16_t* text;
  } cases[] = {
      {D(2026, 12, 9, 15, 5, 7), u"12/9/2026 3:05:07 PM"},
      {D(2026, 1, 5, 0, 0, 1), u"1/5/2026 12:00:01 AM"},
      {D(2026, 12, 9), u"12/9/2026"},
      {0.25, u"6:00:00 AM"},
      {0.0, u"12:00:00 AM"},
      {-1.25, u"12/29/1899 6:00:00 AM"},
      {2.0, u"1/1/1900"},
  };
  for (const Case& c : cases) EXPECT_EQ(DateToText(c.value), c.text) << c.value;
}

TEST(DateText, ReadingBack) {
  struct Case {
    const char16_t* text;
    std::optional<DATE> value;
  } cases[] = {
      {u"1/5/30", D(1930, 1, 5)},
      {u"1/5/29", D(2029, 1, 5)},
      {u"1/5/00", D(2000, 1, 5)},
      {u"1/5/99", D(1999, 1, 5)},
      {u"12/09/26", D(2026, 12, 9)},
      {u"12/9/2026 3:05:07 PM", D(2026, 12, 9, 15, 5, 7)},
      {u"12/9/2026 12:00:01 am", D(2026, 12, 9, 0, 0, 1)},
      {u"2026/12/09 03:05 PM", D(2026, 12, 9, 15, 5)},
      {u"12/9/26 3:05 PM", D(2026, 12, 9, 15, 5)},
      {u"Dec 9, 2026  03:05 PM", D(2026, 12, 9, 15, 5)},
      {u"december 9 2026", D(2026, 12, 9)},
      {u"12-9-2026", D(2026, 12, 9)},
      {u"  12/9/2026  ", D(2026, 12, 9)},
      {u"12/9/2026 13:45", D(2026, 12, 9, 13, 45)},
      {u"6:00:00 AM", 0.25},
      {u"12:00:00 AM", 0.0},
      {u"12/29/1899 6:00:00 AM", -1.25},
      {u"2/29/2026", std::nullopt},
      {u"13/1/2026", std::nullopt},
      {u"12/9/2026 13:00 PM", std::nullopt},
      {u"12/9/2026 24:00", std::nullopt},
      {u"12/9/2026 10:60", std::nullopt},
      {u"12/9/2026 PM", std::nullopt},
      {u"12/9", std::nullopt},
      {u"1/5/100", std::nullopt},
      {u"12/9/20261", std::nullopt},
      {u"Foo 9, 2026", std::nullopt},
      {u"12/9/2026 10:30 xm", std::nullopt},
      {u"12/9-2026", std::nullopt},
      {u"abc", std::nullopt},
      {u"", std::nullopt},
      {u"12/9/2026 #", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDate(c.text), c.value) << Narrow(c.text);
  EXPECT_EQ(CDate(u"1/5/29"), D(2029, 1, 5));
  EXPECT_EQ(ErrorOf([] { CDate(u"(none)"); }), ErrTypeMismatch);
}

TEST(DateText, OwnOutputsRoundTrip) {
  const char16_t* patterns[] = {u"yyyy/mm/dd hh:mm AMPM", u"M/d/yy h:mm AMPM", u"M/d/yy hh:mm AMPM",
                                u"m/d/yyyy h:mm AMPM",    u"mmm d, yyyy  hh:mm AMPM"};
  DATE samples[] = {D(2026, 12, 9, 15, 5), D(2029, 1, 5, 0, 30), D(1930, 6, 30, 12, 0), D(2000, 2, 29, 23, 59)};
  for (DATE d : samples) {
    EXPECT_EQ(ParseDate(DateToText(d)), d);
    EXPECT_EQ(ParseDate(DateToText(d + 7.0 / 86400.0)), AddSeconds(d, 7));
    for (const char16_t* p : patterns) EXPECT_EQ(ParseDate(Format(d, p)), d) << Narrow(p);
  }
  for (DATE d : {-1.25, -700.75, 0.5}) EXPECT_EQ(ParseDate(DateToText(d)), d);
}

}  // namespace
