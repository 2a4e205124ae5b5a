// Names between disk bytes and catalog UTF-16, and file times.
#include <gtest/gtest.h>

#include <string>

#include "volumes.h"

namespace {

struct NameCase {
  const char* what;
  std::string bytes;
  std::u16string expected;  // the catalog form
};

TEST(Names, DiskBytesToCatalogAndBack) {
  const NameCase cases[] = {
      {"ascii", "readme.txt", u"readme.txt"},
      {"two- and three-byte", "caf\xC3\xA9 \xE4\xB8\xAD", u"caf\u00E9 \u4E2D"},
      {"outside the basic plane", "\xF0\x9F\x98\x80.mp3", u"\U0001F600.mp3"},
      {"stray byte", "a\xFF" "b", u"a\xDCFF" "b"},
      {"lone continuation", "\x80", u"\xDC80"},
      {"cut-off sequence", "x\xE2\x82", u"x\xDCE2\xDC82"},
      {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
      {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {"escape next to a real pair", "\xF0\x90\x82\x80\x80", u"\U00010080\xDC80"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string name = volumes::NameFromDisk(c.bytes);
    EXPECT_EQ(name, c.expected);
    EXPECT_EQ(volumes::NameToDisk(name), c.bytes);
  }
}

TEST(Names, SurrogatesNoDiskNameProducesBecomeReplacementCharacters) {
  EXPECT_EQ(volumes::NameToDisk(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(volumes::NameToDisk(u"\xDC41"), "\xEF\xBF\xBD");
}

TEST(FileTimes, UnixTimesBecomeFileTimes) {
  EXPECT_EQ(FileTimeToU64(volumes::FileTimeFromUnix(0, 0)), 116444736000000000ull);
  EXPECT_EQ(FileTimeToU64(volumes::FileTimeFromUnix(1000000000, 123456789)), 126444736001234567ull);
  EXPECT_EQ(FileTimeToU64(volumes::FileTimeFromUnix(-11644473600, 0)), 0u);
  EXPECT_EQ(FileTimeToU64(volumes::FileTimeFromUnix(-20000000000, 0)), 0u);  // before 1601
  const FILETIME a = volumes::FileTimeFromUnix(10, 0), b = volumes::FileTimeFromUnix(10, 100);
  EXPECT_EQ(CompareFileTime(&a, &b), -1);
  EXPECT_EQ(CompareFileTime(&b, &a), 1);
  EXPECT_EQ(CompareFileTime(&a, &a), 0);
}

}  // namespace
