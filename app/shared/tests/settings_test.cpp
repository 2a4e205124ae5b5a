// The settings store against exact "ctgr.ini" texts: defaults, lists, serials, drives and faults.
#include "settings.h"

#include "test_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Settings = app::Settings;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& text) { testing_files::WriteBytes(file_, text); }
  std::string ReadFile() const { return testing_files::ReadBytes(file_); }
  Settings Load(const std::string& text) {
    WriteFile(text);
    Settings state;
    app::LoadSettings(state, file_);
    return state;
  }

  testing_files::ScratchFolder scratch_;
  const fs::path& dir_ = scratch_.path();
  const fs::path file_ = dir_ / "ctgr.ini";
};

// Lines joined with CR LF, each line ended by one.
std::string Crlf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

QStringList List(std::initializer_list<const char*> items) {
  QStringList list;
  for (const char* item : items) list << QString::fromUtf8(item);
  return list;
}

const std::string kDefaultLayout = Crlf({
    "[Categories]", "Category0=#@#@!@#",
    "[Search]", "String0=",
    "[Serial]", "NumOthers=0", "Floppy=-1", "ZIP=-1", "CD=-1",
    "[Drives]", "Floppy=-1", "ZIP=-1", "CD=-1",
    "[LastFile]", "Name=-1",
});

TEST_F(SettingsTest, WithoutAFileEverySettingHasItsDefaultAndTheFirstSaveWritesThemAll) {
  ASSERT_EQ(::setenv("XENDORA_HOME", dir_.c_str(), 1), 0);
  EXPECT_EQ(app::SettingsFilePath(), file_);
  app::LoadSettings();
  const Settings& state = app::Global().settings;
  EXPECT_TRUE(state.CategoryNames.isEmpty());
  for (const QString& s : state.SearchHistory) EXPECT_TRUE(s.isEmpty());
  EXPECT_TRUE(state.OtherMediaNames.isEmpty());
  EXPECT_TRUE(state.OtherMediaSerials.isEmpty());
  EXPECT_EQ(state.StartSerials, (std::array<double, 6>{0, 0, -1, -1, -1, 0}));
  EXPECT_EQ(state.DriveLetters, List({"", "", "-1", "-1", "-1", ""}));
  EXPECT_EQ(state.LastCatalogPath, "-1");
  app::SaveSettings();
  EXPECT_EQ(ReadFile(), kDefaultLayout);
}

TEST_F(SettingsTest, AFullFileRoundTripsToTheSameText) {
  const std::string text = Crlf({
      "[Categories]", "Category0=MUSIC", "Category1=PHOTOS", "Category2=#@#@!@#",
      "[Search]", "String0=*.mp3", "String1=report", "String2=",
      "[Serial]", "NumOthers=2", "Floppy=12", "ZIP=3000000001", "CD=9999999999", "Other0=5000", "Other1=6000.5",
      "[Drives]", "Floppy=A:\\", "ZIP=E:\\", "CD=D:\\", "Other0=F:\\", "Other1=",
      "[DriveNames]", "Other0=Jaz Disk", "Other1=M\xC3\xA9moire USB",
      "[LastFile]", "Name=/home/user/My Catalogs/Main.DKC",
  });
  Settings state = Load(text);
  EXPECT_EQ(state.CategoryNames, List({"MUSIC", "PHOTOS"}));
  EXPECT_EQ(state.SearchHistory[0], "*.mp3");
  EXPECT_EQ(state.SearchHistory[1], "report");
  EXPECT_EQ(state.StartSerials[app::kFloppyDisk], 12);
  EXPECT_EQ(state.StartSerials[app::kZipDisk], 3000000001.0);
  EXPECT_EQ(state.StartSerials[app::kCdRwDisk], 9999999999.0);
  EXPECT_EQ(state.OtherMediaNames, List({"Jaz Disk", "M\xC3\xA9moire USB"}));
  EXPECT_EQ(state.OtherMediaSerials, List({"5000", "6000.5"}));
  EXPECT_EQ(state.DriveLetters, List({"", "", "A:\\", "E:\\", "D:\\", "F:\\", ""}));
  EXPECT_EQ(state.LastCatalogPath, "/home/user/My Catalogs/Main.DKC");

  app::SaveSettings(state, file_);  // over the same file
  EXPECT_EQ(ReadFile(), text);
  fs::remove(file_);
  app::SaveSettings(state, file_);  // into a new file
  EXPECT_EQ(ReadFile(), text);
}

TEST_F(SettingsTest, TheCategoryListEndsAtTheFirstAbsentKey) {
  struct Case {
    const char* name;
    std::string categories;
    QStringList expected;
  };
  const std::vector<Case> cases = {
      {"end marker, then a stale name", Crlf({"Category0=A", "Category1=B", "Category2=C", "Category3=#@#@!@#", "Category4=OLD"}),
       List({"A", "B", "C"})},
      {"an empty value is kept and ends the list", Crlf({"Category0=A", "Category1=", "Category2=C"}), List({"A", ""})},
      {"a gap ends the list", Crlf({"Category0=A", "Category2=C"}), List({"A"})},
      {"a value beginning with the marker counts as absent", Crlf({"Category0=A", "Category1=#@#@!@#X", "Category2=C"}),
       List({"A"})},
      {"no categories", "", List({})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Load("[Categories]\r\n" + c.categories).CategoryNames, c.expected);
  }
}

TEST_F(SettingsTest, ASavedListEndsWithTheMarkerWhateverTheFileHeldBefore) {
  const std::string before = Crlf({"[Categories]", "Category0=A", "Category1=B", "Category2=C", "Category3=#@#@!@#"});
  // A shorter list, and a list that was never filled.
  Settings shorter = Load(before);
  shorter.CategoryNames = List({"Z"});
  app::SaveSettings(shorter, file_);
  EXPECT_TRUE(ReadFile().starts_with(
      Crlf({"[Categories]", "Category0=Z", "Category1=#@#@!@#", "Category2=C", "Category3=#@#@!@#", "[Search]"})));
  EXPECT_EQ(Load(ReadFile()).CategoryNames, List({"Z"}));

  WriteFile(before);
  app::SaveSettings(Settings{}, file_);
  EXPECT_TRUE(ReadFile().starts_with(
      Crlf({"[Categories]", "Category0=#@#@!@#", "Category1=B", "Category2=C", "Category3=#@#@!@#", "[Search]"})));
  EXPECT_TRUE(Load(ReadFile()).CategoryNames.isEmpty());
}

TEST_F(SettingsTest, SearchHistoryKeepsItsOrderAndASaveStopsAfterTheFirstEmptyText) {
  std::string before = "[Search]\r\n";
  for (int n = 0; n < 10; ++n) before += "String" + std::to_string(n) + "=old" + std::to_string(n) + "\r\n";
  Settings state = Load(before);
  for (int n = 0; n < 10; ++n) EXPECT_EQ(state.SearchHistory[n], QString("old%1").arg(n));
  state.SearchHistory = {};
  state.SearchHistory[0] = "newest";
  state.SearchHistory[1] = "older";
  app::SaveSettings(state, file_);
  EXPECT_TRUE(ReadFile().starts_with(Crlf({"[Search]", "String0=newest", "String1=older", "String2=", "String3=old3",
                                           "String4=old4", "String5=old5", "String6=old6", "String7=old7",
                                           "String8=old8", "String9=old9", "[Categories]"})));
  Settings again = Load(ReadFile());
  EXPECT_EQ(again.SearchHistory[0], "newest");
  EXPECT_EQ(again.SearchHistory[1], "older");
  EXPECT_EQ(again.SearchHistory[2], "");
  EXPECT_EQ(again.SearchHistory[3], "old3");
}

TEST_F(SettingsTest, UserMediaTypeListsAlwaysHaveOneLength) {
  // The count says two types, but the second has only its name.
  Settings state = Load(Crlf({"[Serial]", "NumOthers=2", "Other0=5000", "[Drives]", "Other0=F:\\", "[DriveNames]",
                              "Other0=Jaz", "Other1=SuperDisk", "[LastFile]", "Name=/c/main.DKC"}));
  EXPECT_EQ(state.OtherMediaNames, List({"Jaz", "SuperDisk"}));
  EXPECT_EQ(state.OtherMediaSerials, List({"5000", ""}));
  EXPECT_EQ(state.DriveLetter(app::kFirstUserMediaType + 1), "");
  EXPECT_EQ(state.DriveLetters.size(), app::kFirstUserMediaType + 2);

  // A type added without a drive entry, and a drive remembered for a code beyond the list.
  state.OtherMediaNames << "Tape";
  state.OtherMediaSerials << "700";
  EXPECT_EQ(state.DriveLetter(40), "");
  state.LastCatalogPath = "/c/other.DKC";
  app::SaveSettings(state, file_);
  EXPECT_EQ(ReadFile(), Crlf({"[Serial]", "NumOthers=3", "Other0=5000", "Floppy=-1", "ZIP=-1", "CD=-1",
                              "Other1=", "Other2=700",
                              "[Drives]", "Other0=F:\\", "Floppy=-1", "ZIP=-1", "CD=-1", "Other1=", "Other2=",
                              "[DriveNames]", "Other0=Jaz", "Other1=SuperDisk", "Other2=Tape",
                              "[LastFile]", "Name=/c/other.DKC",
                              "[Categories]", "Category0=#@#@!@#", "[Search]", "String0="}));
  state.SetDriveLetter(app::kFirstUserMediaType + 9, "G:\\");
  EXPECT_EQ(state.DriveLetters.size(), app::kFirstUserMediaType + 10);
  EXPECT_EQ(state.DriveLetter(app::kFirstUserMediaType + 9), "G:\\");
}

TEST_F(SettingsTest, CountsAndSerialsThatAreNotNumbersKeepTheirDefaults) {
  struct Case {
    const char* numOthers;
    const char* floppy;
    int types;
    double floppySerial;
  };
  const std::vector<Case> cases = {
      {"abc", "12", 0, 12},     {"99999", "x", 0, -1},  {"-3", "", 0, -1},
      {"1.5", " 7 ", 2, 7},     {"2.5", "1e3", 2, 1000}, {"1", "-1", 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.numOthers);
    Settings state = Load(Crlf({"[Serial]", (std::string("NumOthers=") + c.numOthers).c_str(),
                                (std::string("Floppy=") + c.floppy).c_str(), "Other0=1", "Other1=2", "[DriveNames]",
                                "Other0=A", "Other1=B"}));
    EXPECT_EQ(state.OtherMediaNames.size(), c.types);
    EXPECT_EQ(state.OtherMediaSerials.size(), c.types);
    EXPECT_EQ(state.StartSerials[app::kFloppyDisk], c.floppySerial);
  }
}

TEST_F(SettingsTest, ValuesReadBackAsTheyWereSaved) {
  Settings state;
  state.DriveLetters = List({"", "", "-1", "-1", "-1", ""});
  state.SearchHistory[0] = " padded ";
  state.SearchHistory[1] = "\"quoted\"";
  state.SearchHistory[2] = "'single'";
  state.SearchHistory[3] = "line\r\nbreak";
  state.CategoryNames = List({"\xC3\x89T\xC3\x89", "\"X"});
  const QString longPath = "/home/" + QString(300, 'p') + "/Main.DKC";
  state.LastCatalogPath = longPath;
  app::SaveSettings(state, file_);
  Settings back;
  app::LoadSettings(back, file_);
  EXPECT_EQ(back.SearchHistory[0], " padded ");
  EXPECT_EQ(back.SearchHistory[1], "\"quoted\"");
  EXPECT_EQ(back.SearchHistory[2], "'single'");
  EXPECT_EQ(back.SearchHistory[3], "line break");
  EXPECT_EQ(back.CategoryNames, state.CategoryNames);
  EXPECT_EQ(back.LastCatalogPath, longPath);
}

TEST_F(SettingsTest, LongValuesAreCutTo255BytesOnACharacterBoundary) {
  std::string e_acute = "\xC3\xA9";
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += e_acute;
  Settings state = Load(Crlf({"[Search]", ("String0=" + std::string(300, 'a')).c_str(), ("String1=" + accents).c_str()}));
  EXPECT_EQ(state.SearchHistory[0], QString(255, 'a'));
  EXPECT_EQ(state.SearchHistory[1], QString(127, QChar(0xE9)));
}

TEST_F(SettingsTest, FailuresReachTheCaller) {
  auto errorOf = [](auto&& f) {
    try {
      f();
    } catch (const vbrt::RuntimeError& e) {
      return e.number();
    }
    return 0;
  };
  Settings state;
  const fs::path inMissingFolder = dir_ / "missing" / "ctgr.ini";
  EXPECT_EQ(errorOf([&] { app::SaveSettings(state, inMissingFolder); }), vbrt::ErrPathNotFound);
  EXPECT_FALSE(fs::exists(inMissingFolder.parent_path()));
  // A settings file that cannot be read is neither read as defaults nor replaced.
  fs::create_directory(file_);
  EXPECT_EQ(errorOf([&] { app::LoadSettings(state, file_); }), vbrt::ErrPermissionDenied);
  EXPECT_EQ(errorOf([&] { app::SaveSettings(state, file_); }), vbrt::ErrPermissionDenied);
  EXPECT_TRUE(fs::is_directory(file_));
  fs::remove(file_);

  // A settings file the user made read-only stays as it is: 75, "Path/File access error".
  WriteFile(Crlf({"[LastFile]", "Name=kept"}));
  fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  state.LastCatalogPath = QStringLiteral("new");
  EXPECT_EQ(errorOf([&] { app::SaveSettings(state, file_); }), vbrt::ErrPathFileAccess);
  EXPECT_EQ(ReadFile(), Crlf({"[LastFile]", "Name=kept"}));
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add);

  // A disk without room for the new text: 61, "Disk full", and the old file stays. The
  // limit on a file's size stands in for the full disk, in a process of its own.
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(errorOf([&] { app::SaveSettings(state, file_); }) == vbrt::ErrDiskFull ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(), Crlf({"[LastFile]", "Name=kept"}));
  std::size_t leftovers = 0;
  for (const auto& e : fs::directory_iterator(dir_)) leftovers += e.path() != file_;
  EXPECT_EQ(leftovers, 0u);
}

}  // namespace
