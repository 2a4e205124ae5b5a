// Format with the number, date and string patterns the program prints and stores.

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "vbrt.h"

using namespace vbrt;
using vbrt::testing::ErrorOf;
using vbrt::testing::Narrow;

namespace {

TEST(FormatNumber, Patterns) {
  struct Case {
    double value;
    const char16_t* pattern;
    const char16_t* text;
  } cases[] = {
      {1457664.0 / 1024.0, u"#,##0", u"1,424"},  // 1423.5 rounds half away from zero
      {1048576.0 / 1024.0, u"#,##0", u"1,024"},
      {0, u"#,##0", u"0"},
      {0, u"#,###", u""},
      {0.4, u"#,###", u""},
      {1234567, u"#,###", u"1,234,567"},
      {999.5, u"#,##0", u"1,000"},
      {-1234.5, u"#,##0", u"-1,235"},
      {42, u"0000000000", u"0000000042"},
      {12345678901.0, u"0000000000", u"12345678901"},
      {2.5, u"0", u"3"},
      {-2.5, u"0", u"-3"},
      {7, u"00", u"07"},
      {1.005, u"0.00", u"1.01"},  // the decimal value, not the binary one, is rounded
      {1.231, u"0.00", u"1.23"},
      {-0.004, u"0.00", u"0.00"},  // no minus sign on a zero
      {1.23456, u"0.000", u"1.235"},
      {0.05, u"0.0", u"0.1"},
      {9.96, u"0.0", u"10.0"},
      {1.2, u"0.", u"1."},
      {1.5, u"0.", u"2."},
      {5, u"0.00000", u"5.00000"},
      {0.5, u"#.##", u".5"},
      {1e20, u"0", u"100000000000000000000"},
      {3, u"0 KB", u"3 KB"},
      {3, u"\"n=\"0", u"n=3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format(c.value, c.pattern), c.text) << c.value << " " << Narrow(c.pattern);
  }
}

TEST(FormatNumber, EmptyPatternIsCStrAndStringPatternUsesCStr) {
  EXPECT_EQ(Format(5.0 / 12.0, u""), u"0.416666666666667");
  EXPECT_EQ(Format(42.0, u"@@@@@"), u"   42");
  EXPECT_EQ(Format(Currency::FromScaled(14576640000), u"#,##0"), u"1,457,664");
}

TEST(FormatText, StringPatternsAndTextsOfNumbersAndDates) {
  struct Case {
    const char16_t* text;
    const char16_t* pattern;
    const char16_t* result;
  } cases[] = {
      {u"MUSIC", u"!@@@@@@@@@@", u"MUSIC     "},
      {u"", u"!@@@@@@@@@@", u"          "},
      {u"LONGCATEGORY1", u"!@@@@@@@@@@", u"LONGCATEGORY1"},  // never cut
      {u"1,234", u"@@@@@@@@@@@", u"      1,234"},
      {u" 42", u"@@@@@@@@@@@", u"         42"},
      {u"123456789012", u"@@@@@@@@@@@", u"123456789012"},
      {u"abc", u">@@@@", u" ABC"},
      {u"ABC", u"!<@@@@", u"abc "},
      {u"abcd", u"&&", u"abcd"},
      {u"ab", u"&&&&", u"ab"},
      {u"ab", u"(@@@)", u"( ab)"},
      // Number and date patterns take a numeric or date text as its value.
      {u"0000000042", u"0", u"42"},
      {u"(none)", u"0", u"(none)"},
      {u"2026/12/09 03:05 PM", u"M/d/yy h:mm AMPM", u"12/9/26 3:05 PM"},
      {u"12/9/26 3:05 PM", u"M/dd/yy", u"12/09/26"},
      {u"2026/12/09 03:05 PM", u"m/d/yyyy h:mm AMPM", u"12/9/2026 3:05 PM"},
      {u"not a date", u"M/d/yy", u"not a date"},
      {u"anything", u"", u"anything"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format(std::u16string_view(c.text), c.pattern), c.result)
        << Narrow(c.text) << " " << Narrow(c.pattern);
  }
}

TEST(FormatDate, Patterns) {
  const DATE afternoon = *DateFromParts({2026, 12, 9, 15, 5, 7});
  const DATE morning = *DateFromParts({2026, 3, 1, 9, 7, 0});
  struct Case {
    DATE value;
    const char16_t* pattern;
    const char16_t* text;
  } cases[] = {
      {afternoon, u"mmddyy", u"120926"},
      {afternoon, u"yyyy/MM/dd hh:mm AMPM", u"2026/12/09 03:05 PM"},
      {afternoon, u"yyyy/mm/dd hh:mm AMPM", u"2026/12/09 03:05 PM"},
      {afternoon, u"M/d/yy hh:mm AMPM", u"12/9/26 03:05 PM"},
      {afternoon, u"M/d/yy h:mm AMPM", u"12/9/26 3:05 PM"},
      {afternoon, u"m/d/yy h:MM AMPM", u"12/9/26 3:05 PM"},
      {afternoon, u"m/d/yyyy h:mm AMPM", u"12/9/2026 3:05 PM"},
      {afternoon, u"mmm d, yyyy  hh:mm AMPM", u"Dec 9, 2026  03:05 PM"},
      {afternoon, u"M/dd/yy", u"12/09/26"},
      {afternoon, u"h:mm:ss", u"15:05:07"},
      {afternoon, u"mm:ss", u"05:07"},
      {afternoon, u"hh:nn am/pm", u"03:05 pm"},
      {afternoon, u"dddd, mmmm d", u"Wednesday, December 9"},
      {afternoon, u"ddd d mmm", u"Wed 9 Dec"},
      {afternoon, u"\"on \"yyyy", u"on 2026"},
      {morning, u"M/dd/yy", u"3/01/26"},
      {morning, u"mmddyy", u"030126"},
      {morning, u"hh:mm AMPM", u"09:07 AM"},
      {*DateFromParts({1899, 12, 30, 0, 30, 0}), u"hh:mm AMPM", u"12:30 AM"},
      {*DateFromParts({2026, 1, 1, 12, 0, 0}), u"h:mm AMPM", u"12:00 PM"},
      {*DateFromParts({2026, 1, 1, 0, 0, 0}), u"h:mm", u"0:00"},
      {-1.25, u"m/d/yyyy h:mm AMPM", u"12/29/1899 6:00 AM"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.value, c.pattern), c.text) << Narrow(c.pattern);
}

TEST(FormatDate, OutOfRangeDateRaisesOverflow) {
  try {
    Format(3e6, u"yyyy");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), ErrOverflow);
  }
}

}  // namespace
