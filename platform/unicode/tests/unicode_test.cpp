// The converter's table of cases under both policies, and the Windows-1252 decoding.
#include <gtest/gtest.h>

#include <string>

#include "unicode.h"

namespace {

using unicode::Policy;

struct BytesCase {
  const char* what;
  std::string bytes;
  std::u16string lossless;  // what a name read from a disk becomes
  std::u16string strict;    // what data becomes
};

TEST(Unicode, BytesToUtf16UnderEachPolicy) {
  const BytesCase cases[] = {
      {"empty", "", u"", u""},
      {"ascii", "readme.txt", u"readme.txt", u"readme.txt"},
      {"two- and three-byte forms", "caf\xC3\xA9 \xE4\xB8\xAD", u"caf\u00E9 \u4E2D", u"caf\u00E9 \u4E2D"},
      {"four-byte form", "\xF0\x9F\x98\x80.mp3", u"\U0001F600.mp3", u"\U0001F600.mp3"},
      {"highest scalar value", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", u"\U0010FFFF"},
      {"stray byte",
       "a\xFF"
       "b",
       u"a\xDCFF"
       "b",
       u"a\uFFFD"
       "b"},
      {"Windows-1252 e acute", "caf\xE9", u"caf\xDCE9", u"caf\uFFFD"},
      {"lone continuation", "\x80", u"\xDC80", u"\uFFFD"},
      {"cut-off sequence", "x\xE2\x82", u"x\xDCE2\xDC82", u"x\uFFFD\uFFFD"},
      {"cut-off four-byte form", "\xF0\x9F\x98", u"\xDCF0\xDC9F\xDC98", u"\uFFFD\uFFFD\uFFFD"},
      {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte NUL", "\xE0\x80\x80", u"\xDCE0\xDC80\xDC80", u"\uFFFD\uFFFD\uFFFD"},
      {"overlong four-byte form", "\xF0\x8F\xBF\xBF", u"\xDCF0\xDC8F\xDCBF\xDCBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"escape next to a real pair", "\xF0\x90\x82\x80\x80", u"\U00010080\xDC80", u"\U00010080\uFFFD"},
  };
  for (const BytesCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(unicode::Utf8ToUtf16(c.bytes, Policy::kLossless), c.lossless);
    EXPECT_EQ(unicode::Utf8ToUtf16(c.bytes, Policy::kStrict), c.strict);
    // Every name read from a disk turns back into its own bytes.
    EXPECT_EQ(unicode::Utf16ToUtf8(c.lossless, Policy::kLossless), c.bytes);
    EXPECT_EQ(unicode::IsUtf8(c.bytes), c.lossless == c.strict);
    EXPECT_EQ(unicode::IsUtf16(c.lossless), c.lossless == c.strict);
  }
}

struct TextCase {
  const char* what;
  std::u16string text;
  std::string lossless;
  std::string strict;
};

TEST(Unicode, Utf16ToBytesUnderEachPolicy) {
  const TextCase cases[] = {
      {"pair", u"\U0001F3B5", "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
      {"escaped stray byte", u"a\xDCFF", "a\xFF", "a\xEF\xBF\xBD"},
      {"lowest escape", u"\xDC80", "\x80", "\xEF\xBF\xBD"},
      {"lone high surrogate",
       u"a\xD800"
       "b",
       "a\xEF\xBF\xBD"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {"high surrogate at the end", u"a\xDBFF", "a\xEF\xBF\xBD", "a\xEF\xBF\xBD"},
      {"low surrogate no byte gives", u"\xDC41", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
      {"low surrogate past the escapes", u"\xDD00", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
      {"reversed pair", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(unicode::Utf16ToUtf8(c.text, Policy::kLossless), c.lossless);
    EXPECT_EQ(unicode::Utf16ToUtf8(c.text, Policy::kStrict), c.strict);
    EXPECT_EQ(unicode::Utf16ToUtf8(c.text.c_str(), Policy::kLossless), c.lossless);
  }
  EXPECT_EQ(unicode::Utf16ToUtf8(static_cast<const char16_t*>(nullptr), Policy::kStrict), "");
}

TEST(Unicode, Windows1252BecomesUtf8) {
  EXPECT_EQ(unicode::Windows1252ToUtf8("caf\xE9 \x80 \x9F \x81 \xFF plain"),
            "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC2\x81 \xC3\xBF plain");
  EXPECT_EQ(unicode::Windows1252ToUtf8("\x93quoted\x94 \x96 \x85"),
            "\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\x93 \xE2\x80\xA6");
}

}  // namespace
