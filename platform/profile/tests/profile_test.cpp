// Settings files: reading, writing, refusals, failures and files from the original platform.
#include "profile.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using testing_files::ReadBytes;
using testing_files::WriteBytes;
using TempDir = testing_files::ScratchFolder;

// A settings file in the folder holding the text, or no file for nothing.
fs::path Fixture(const TempDir& dir, const std::optional<std::string>& text, const char* name = "ctgr.ini") {
  fs::path file = dir.path() / name;
  fs::remove(file);
  if (text) WriteBytes(file, *text);
  return file;
}

struct ReadCase {
  const char* name;
  std::optional<std::string> file;  // nothing: no file
  const char* section;
  const char* key;
  const char* def;
  unsigned size;
  std::string expected;
};

TEST(GetPrivateProfileString, ReadsValuesAsTheSettingsStoreExpects) {
  const std::vector<ReadCase> cases = {
      {"missing file gives the default", std::nullopt, "Serial", "Floppy", "-1", 256, "-1"},
      {"missing section gives the default", "[Drives]\r\nFloppy=A:\\\r\n", "Serial", "Floppy", "-1", 256, "-1"},
      {"missing key gives the default", "[Serial]\r\nZIP=7\r\n", "Serial", "Floppy", "-1", 256, "-1"},
      {"key in another section is not found", "[Drives]\r\nFloppy=A:\r\n[Serial]\r\n", "Serial", "Floppy", "d", 256, "d"},
      {"empty value gives empty, not the default", "[S]\r\nK=\r\n", "S", "K", "dflt", 256, ""},
      {"names ignore case", "[SeRiAl]\r\nfLoPpY=5\r\n", "Serial", "FLOPPY", "-1", 256, "5"},
      {"blanks around names are ignored", "  [ Serial ]  \r\n  Floppy  = 5\r\n", "Serial", "Floppy", "", 256, "5"},
      {"first of two keys wins", "[S]\r\nK=first\r\nk=second\r\n", "S", "K", "", 256, "first"},
      {"first of two sections wins", "[S]\r\nK=1\r\n[s]\r\nK=2\r\nJ=3\r\n", "S", "J", "none", 256, "none"},
      {"blanks around the value are trimmed", "[S]\r\nK=  a b  \t\r\n", "S", "K", "", 256, "a b"},
      {"one pair of double quotes is stripped", "[S]\r\nK= \"  x  \" \r\n", "S", "K", "", 256, "  x  "},
      {"one pair of single quotes is stripped", "[S]\r\nK='y'\r\n", "S", "K", "", 256, "y"},
      {"only one pair is stripped", "[S]\r\nK=\"\"q\"\"\r\n", "S", "K", "", 256, "\"q\""},
      {"an unmatched quote stays", "[S]\r\nK=\"z\r\n", "S", "K", "", 256, "\"z"},
      {"a lone quote stays", "[S]\r\nK=\"\r\n", "S", "K", "", 256, "\""},
      {"value after the first equals sign", "[S]\r\nK=a=b\r\n", "S", "K", "", 256, "a=b"},
      {"the buffer cuts the value", "[S]\r\nK=abcdef\r\n", "S", "K", "", 4, "abc"},
      {"the buffer cuts the default", std::nullopt, "S", "K", "#@#@!@#", 4, "#@#"},
      {"a cut never splits a character", "[S]\r\nK=a\xC3\xA9z\r\n", "S", "K", "", 3, "a"},
      {"non-ASCII text reads whole", "[S]\r\nK=Caf\xC3\xA9\r\n", "S", "K", "", 256, "Caf\xC3\xA9"},
      {"trailing blanks of the default are trimmed", std::nullopt, "S", "K", "dd  ", 256, "dd"},
      {"NULL default reads as empty", std::nullopt, "S", "K", nullptr, 256, ""},
      {"LF and CR line ends", "[A]\nK=1\r[S]\nK=2\n", "S", "K", "", 256, "2"},
      {"a key before any section is in none", "K=0\r\n[S]\r\n", "S", "K", "d", 256, "d"},
      {"a comment line is no key", "[S]\r\n;K=1\r\n", "S", "K", "d", 256, "d"},
      {"a byte-order mark does not hide the first section", "\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "K", "", 256, "1"},
      {"a section line without its bracket", "[S\r\nK=1\r\n", "S", "K", "", 256, "1"},
      {"last line without a line end", "[S]\r\nK=last", "S", "K", "", 256, "last"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path file = Fixture(dir, c.file);
    std::vector<char> buffer(c.size + 8, 'X');
    DWORD n = GetPrivateProfileStringA(c.section, c.key, c.def, buffer.data(), c.size, file.c_str());
    EXPECT_EQ(std::string(buffer.data()), c.expected);
    EXPECT_EQ(n, c.expected.size());
  }
}

TEST(GetPrivateProfileString, RefusesWhatItCannotAnswer) {
  TempDir dir;
  fs::path file = dir.path() / "ctgr.ini";
  WriteBytes(file, "[S]\r\nK=1\r\n");
  char buffer[8] = "XXXXXXX";
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "d", buffer, 0, file.c_str()), 0u);
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "d", nullptr, 8, file.c_str()), 0u);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, "K", "d", buffer, 8, file.c_str()), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(GetPrivateProfileStringA("S", nullptr, "d", buffer, 8, file.c_str()), 0u);
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "d", buffer, 1, file.c_str()), 0u);
  EXPECT_STREQ(buffer, "");
}

struct Write {
  const char* section;
  const char* key;
  const char* value;
};

struct WriteCase {
  const char* name;
  std::optional<std::string> before;  // nothing: no file
  std::vector<Write> writes;
  std::string after;
};

TEST(WritePrivateProfileString, ChangesOnlyWhatItWrites) {
  const std::vector<WriteCase> cases = {
      {"a new file", std::nullopt, {{"Serial", "Floppy", "1"}}, "[Serial]\r\nFloppy=1\r\n"},
      {"a new section goes at the end",
       "[A]\r\nx=1\r\n",
       {{"B", "y", "2"}},
       "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
      {"a new key goes at the end of its section, before its blank lines",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n",
       {{"A", "z", "3"}, {"A", "w", "4"}},
       "[A]\r\nx=1\r\nz=3\r\nw=4\r\n\r\n[B]\r\ny=2\r\n"},
      {"a new key in an empty section", "[A]\r\n[B]\r\n", {{"a", "k", "v"}}, "[A]\r\nk=v\r\n[B]\r\n"},
      {"a key is replaced in place and keeps its spelling",
       "[A]\r\n  KeY = old \r\nq=1\r\n",
       {{"a", "key", "new"}},
       "[A]\r\nKeY=new\r\nq=1\r\n"},
      {"the first of two keys is replaced",
       "[A]\r\nk=1\r\nk=2\r\n",
       {{"A", "k", "3"}},
       "[A]\r\nk=3\r\nk=2\r\n"},
      {"an empty value keeps the key", "[A]\r\nx=1\r\n", {{"A", "x", ""}}, "[A]\r\nx=\r\n"},
      {"values are written as they stand",
       std::nullopt,
       {{"A", "q", "\"quoted\""}, {"A", "b", " padded "}},
       "[A]\r\nq=\"quoted\"\r\nb= padded \r\n"},
      {"every line gets CR LF, odd lines are kept",
       "; comment\n[A]\nnot a key\nx=1\n\n",
       {{"A", "x", "2"}},
       "; comment\r\n[A]\r\nnot a key\r\nx=2\r\n\r\n"},
      {"a last line without its line end", "[A]\r\nx=1", {{"A", "y", "2"}}, "[A]\r\nx=1\r\ny=2\r\n"},
      {"a byte-order mark is kept", "\xEF\xBB\xBF[A]\r\n", {{"A", "k", "\xC3\xA9"}}, "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n"},
      {"keys before the first section stay there",
       "k=0\r\n[A]\r\n",
       {{"A", "k", "1"}},
       "k=0\r\n[A]\r\nk=1\r\n"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path file = Fixture(dir, c.before);
    for (const auto& w : c.writes) {
      EXPECT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, file.c_str()));
    }
    EXPECT_EQ(ReadBytes(file), c.after);
    // The same changes made in memory and saved once give the same file.
    platform::ProfileFile batch;
    fs::path other = Fixture(dir, c.before, "batch.ini");
    ASSERT_TRUE(batch.Load(other));
    for (const auto& w : c.writes) EXPECT_TRUE(batch.SetString(w.section, w.key, w.value));
    ASSERT_TRUE(batch.Save(other));
    EXPECT_EQ(ReadBytes(other), c.after);
  }
  // Nothing but the settings files is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"batch.ini", "ctgr.ini"}));
}

TEST(WritePrivateProfileString, WrittenValuesReadBack) {
  TempDir dir;
  fs::path file = dir.path() / "ctgr.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("LastFile", "Name", "/home/u/My Disks.DKC", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("lastfile", "NAME", "/home/u/Other.DKC", file.c_str()));
  char buffer[256];
  EXPECT_EQ(GetPrivateProfileStringA("LASTFILE", "name", "-1", buffer, 256, file.c_str()), 17u);
  EXPECT_STREQ(buffer, "/home/u/Other.DKC");
  EXPECT_EQ(ReadBytes(file), "[LastFile]\r\nName=/home/u/Other.DKC\r\n");
}

// A settings file written on the original platform holds its ANSI code page: its names read
// as they were typed there, and the next save writes them in UTF-8.
TEST(WritePrivateProfileString, AWindows1252FileReadsAsTypedAndIsSavedAsUtf8) {
  TempDir dir;
  const fs::path file = Fixture(dir, std::string("[Categories]\r\nCat1=Caf\xE9 \x96 \x93Jazz\x94\r\n"
                                                 "[Media]\r\nMedia1=Disquette 3\xBD\r\n"
                                                 "[LastFile]\r\nName=caf\xC3\xA9.DKC\r\n"));
  char buffer[256];
  struct Case {
    const char* section;
    const char* key;
    std::string expected;
  } cases[] = {
      {"Categories", "Cat1", "Caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9CJazz\xE2\x80\x9D"},
      {"Media", "Media1", "Disquette 3\xC2\xBD"},
      {"LastFile", "Name", "caf\xC3\xA9.DKC"},  // a line already in UTF-8 stays as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    GetPrivateProfileStringA(c.section, c.key, "", buffer, 256, file.c_str());
    EXPECT_EQ(std::string(buffer), c.expected);
  }
  ASSERT_TRUE(WritePrivateProfileStringA("Categories", "Cat2", "Rock", file.c_str()));
  EXPECT_EQ(ReadBytes(file),
            "[Categories]\r\nCat1=Caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9CJazz\xE2\x80\x9D\r\n"
            "Cat2=Rock\r\n[Media]\r\nMedia1=Disquette 3\xC2\xBD\r\n"
            "[LastFile]\r\nName=caf\xC3\xA9.DKC\r\n");
}

TEST(WritePrivateProfileString, RefusesWritesThatWouldDeleteOrCorrupt) {
  const std::vector<Write> refused = {
      {"A", "x", nullptr},      // would delete the key
      {"A", nullptr, "v"},      // would delete the section
      {nullptr, "x", "v"},
      {"", "x", "v"},
      {"A", " ", "v"},
      {"A", "k=j", "v"},        // reads back as another key
      {"A", "[k", "v"},         // reads back as a section
      {"A", ";k", "v"},         // reads back as a comment
      {"A]", "x", "v"},
      {"A", "x", "two\r\nlines"},
      {"A", "x", "new\n[B]"},
      {"A\n", "x", "v"},
  };
  TempDir dir;
  fs::path file = dir.path() / "ctgr.ini";
  const std::string before = "[A]\r\nx=1\r\n";
  WriteBytes(file, before);
  for (const auto& w : refused) {
    SCOPED_TRACE(std::string(w.section ? w.section : "(null)") + "/" + (w.key ? w.key : "(null)"));
    EXPECT_FALSE(WritePrivateProfileStringA(w.section, w.key, w.value, file.c_str()));
    EXPECT_EQ(ReadBytes(file), before);
  }
}

TEST(WritePrivateProfileString, FailsWithoutHarmWhereItCannotWrite) {
  TempDir dir;
  // No such folder.
  fs::path missing = dir.path() / "nofolder" / "ctgr.ini";
  EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "1", missing.c_str()));
  EXPECT_FALSE(fs::exists(missing.parent_path()));
  // Something that exists but cannot be read as a file is not replaced.
  fs::path folder = dir.path() / "ctgr.ini";
  fs::create_directory(folder);
  fs::create_directory(folder / "inside");
  EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "1", folder.c_str()));
  EXPECT_TRUE(fs::is_directory(folder / "inside"));
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("A", "x", "d", buffer, 8, folder.c_str()), 1u);
  EXPECT_STREQ(buffer, "d");
  // A file made read-only is not replaced, though its folder would take a new file.
  fs::path readOnly = dir.path() / "locked.ini";
  WriteBytes(readOnly, "[A]\r\nx=0\r\n");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "1", readOnly.c_str()));
  EXPECT_EQ(ReadBytes(readOnly), "[A]\r\nx=0\r\n");
  platform::ProfileFile file;
  ASSERT_TRUE(file.Load(readOnly));
  platform::ProfileFile::SaveFailure why = platform::ProfileFile::SaveFailure::None;
  EXPECT_FALSE(file.Save(readOnly, &why));
  EXPECT_EQ(why, platform::ProfileFile::SaveFailure::FileNotWritable);
}

TEST(WritePrivateProfileString, KeepsTheFileModeAndWritesThroughALink) {
  TempDir dir;
  fs::path real = dir.path() / "real.ini";
  WriteBytes(real, "[A]\r\n");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::path link = dir.path() / "ctgr.ini";
  fs::create_symlink(real, link);
  ASSERT_TRUE(WritePrivateProfileStringA("A", "x", "1", link.c_str()));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "[A]\r\nx=1\r\n");
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
