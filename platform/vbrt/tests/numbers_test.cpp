// Number-to-text and text-to-number conversions, rounding into integers, and currency.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "test_support.h"
#include "vbrt.h"

using namespace vbrt;
using vbrt::testing::ErrorOf;
using vbrt::testing::Narrow;

namespace {

TEST(CStr, Doubles) {
  struct Case {
    double value;
    const char16_t* text;
  } cases[] = {
      {5.0 / 12.0, u"0.416666666666667"},
      {0.875, u"0.875"},
      {1.0, u"1"},
      {-3.0, u"-3"},
      {-0.0, u"0"},
      {0.1 + 0.2, u"0.3"},
      {9999999999.0, u"9999999999"},
      {123456789012345.0, u"123456789012345"},
      {1e15, u"1E+15"},
      {1234567890123456.0, u"1.23456789012346E+15"},
      {1e100, u"1E+100"},
      {0.0001, u"0.0001"},
      {0.00001, u"1E-05"},
      {-1.5e-7, u"-1.5E-07"},
      {1457664.0 / 10000.0, u"145.7664"},
      {8.562, u"8.562"},
  };
  for (const Case& c : cases) EXPECT_EQ(CStr(c.value), c.text) << c.value;
}

TEST(CStr, SinglesIntegersAndBooleans) {
  EXPECT_EQ(CStr(0.1f), u"0.1");
  EXPECT_EQ(CStr(1.0f / 3.0f), u"0.3333333");
  EXPECT_EQ(CStr(12345678.0f), u"1.234568E+07");
  EXPECT_EQ(CStr(0), u"0");
  EXPECT_EQ(CStr(SHORT(-32768)), u"-32768");
  EXPECT_EQ(CStr(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(CStr(ULONG(4294967295u)), u"4294967295");
  EXPECT_EQ(CStr(true), u"True");
  EXPECT_EQ(CStr(false), u"False");
}

TEST(Str, LeadingBlankForNonNegativeNumbers) {
  struct Case {
    double value;
    const char16_t* text;
  } cases[] = {
      {42, u" 42"}, {0, u" 0"}, {-3, u"-3"}, {0.5, u" .5"}, {-0.5, u"-.5"}, {1.25, u" 1.25"},
  };
  for (const Case& c : cases) EXPECT_EQ(Str(c.value), c.text) << c.value;
}

TEST(ParseNumber, Grammar) {
  struct Case {
    const char16_t* text;
    std::optional<double> value;
  } cases[] = {
      {u"2003", 2003},
      {u" -1.5e3 ", -1500},
      {u".5", 0.5},
      {u"5.", 5},
      {u"+7", 7},
      {u"0000000042", 42},
      {u"1E-2", 0.01},
      {u"1e-400", 0.0},
      {u"", std::nullopt},
      {u"   ", std::nullopt},
      {u"-", std::nullopt},
      {u".", std::nullopt},
      {u"(none)", std::nullopt},
      {u"1,000", std::nullopt},
      {u"$5", std::nullopt},
      {u"&H10", std::nullopt},
      {u"1 2", std::nullopt},
      {u"1.2.3", std::nullopt},
      {u"1e", std::nullopt},
      {u"e5", std::nullopt},
      {u"12abc", std::nullopt},
      {u"1e400", std::nullopt},
      {u"inf", std::nullopt},
      {u"nan", std::nullopt},
  };
  for (const Case& c : cases) {
    std::u16string text = c.text;
    EXPECT_EQ(ParseNumber(text), c.value) << std::string(text.begin(), text.end());
    EXPECT_EQ(IsNumeric(text), c.value.has_value());
  }
}

TEST(ParseNumber, HugeExponentAndLongDigitRunsStayBounded) {
  EXPECT_FALSE(IsNumeric(u"1e99999999999999999999"));
  EXPECT_EQ(ParseNumber(u"1e-99999999999999999999"), 0.0);
  std::u16string longRun(100000, u'9');
  EXPECT_FALSE(IsNumeric(longRun));  // beyond the double range
  EXPECT_EQ(ParseNumber(u"0." + longRun.substr(0, 5000)), 1.0);
}

TEST(CDbl, RaisesTypeMismatchOrOverflow) {
  EXPECT_EQ(CDbl(u" 12.25 "), 12.25);
  EXPECT_EQ(ErrorOf([] { CDbl(u"abc"); }), ErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { CDbl(u""); }), ErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { CDbl(u"1e400"); }), ErrOverflow);
}

TEST(Val, LeadingNumericPrefix) {
  struct Case {
    const char16_t* text;
    double value;
  } cases[] = {
      {u"12abc", 12}, {u"abc", 0},  {u" 3.5e2x", 350}, {u"1.", 1},    {u"-.5", -0.5},
      {u"1e", 1},     {u"2e+", 2},  {u" \t\n7", 7},    {u"", 0},      {u"-", 0},
      {u"1,000", 1},  {u"0.25in", 0.25},
  };
  for (const Case& c : cases) EXPECT_EQ(Val(c.text), c.value);
  EXPECT_EQ(ErrorOf([] { Val(u"1e400"); }), ErrOverflow);
}

TEST(RoundingIntoIntegers, HalvesToEven) {
  struct Case {
    double value;
    LONG rounded;
  } cases[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.5, 0}, {1.5, 2}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3},
      {-0.4, 0}, {32767.4, 32767}, {-32768.5, -32768},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CInt(c.value), c.rounded) << c.value;
    EXPECT_EQ(CLng(c.value), c.rounded) << c.value;
    EXPECT_EQ(RoundToPixel(c.value), c.rounded) << c.value;
  }
  EXPECT_EQ(CLng(2147483646.5), 2147483646);
  EXPECT_EQ(CLng(-2147483648.5), std::numeric_limits<LONG>::min());
}

TEST(RoundingIntoIntegers, OverflowAndText) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(ErrorOf([] { CInt(32767.5); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { CInt(-32769.0); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([&] { CInt(nan); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { CLng(2147483647.5); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { RoundToPixel(1e12); }), ErrOverflow);
  EXPECT_EQ(CInt(u"12.5"), 12);
  EXPECT_EQ(CLng(u" 300 "), 300);
  EXPECT_EQ(ErrorOf([] { CInt(u"x"); }), ErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { CLng(u"99999999999"); }), ErrOverflow);
}

TEST(ParseBoolean, WordsAndNumbers) {
  EXPECT_EQ(ParseBoolean(u"True"), true);
  EXPECT_EQ(ParseBoolean(u" FALSE "), false);
  EXPECT_EQ(ParseBoolean(u"-1"), true);
  EXPECT_EQ(ParseBoolean(u"0"), false);
  EXPECT_EQ(ParseBoolean(u"yes"), std::nullopt);
  EXPECT_EQ(ParseBoolean(u""), std::nullopt);
}

TEST(Currency, FromDoubleAndText) {
  struct Case {
    std::optional<double> number;
    const char16_t* text;
    std::int64_t scaled;
  } cases[] = {
      {145.7664, u"145.7664", 1457664},
      {1457664.0, u"1457664", 14576640000},
      {0.00015, u"0.00015", 2},    // a tie rounds to the even unit
      {0.00025, u"0.00025", 2},
      {0.000251, u"0.000251", 3},
      {-0.00015, u"-0.00015", -2},
      {std::nullopt, u"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
      {std::nullopt, u"-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
      {std::nullopt, u"1.23456789e5", 1234567890},
  };
  for (const Case& c : cases) {
    if (c.number) {
      EXPECT_EQ(CCur(*c.number).scaled, c.scaled) << *c.number;
    }
    EXPECT_EQ(CCur(c.text).scaled, c.scaled);
  }
  EXPECT_EQ(ErrorOf([] { CCur(u"922337203685477.5808"); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { CCur(1e300); }), ErrOverflow);
  EXPECT_EQ(ErrorOf([] { CCur(u"12 KB"); }), ErrTypeMismatch);
}

TEST(Currency, ToDoubleAndText) {
  EXPECT_EQ(CurrencyToDouble(Currency::FromScaled(1457664)), 145.7664);
  EXPECT_EQ(CStr(Currency::FromScaled(1457664)), u"145.7664");
  EXPECT_EQ(CStr(Currency::FromScaled(14576640000)), u"1457664");
  EXPECT_EQ(CStr(Currency::FromScaled(-5)), u"-0.0005");
  EXPECT_EQ(CStr(Currency::FromScaled(0)), u"0");
  EXPECT_EQ(CStr(Currency::FromScaled(std::numeric_limits<std::int64_t>::min())),
            u"-922337203685477.5808");
  // Byte counts far beyond 15 significant digits stay exact.
  EXPECT_EQ(Format(Currency::FromScaled(std::numeric_limits<std::int64_t>::max()), u"#,##0.0000"),
            u"922,337,203,685,477.5807");
}

}  // namespace
