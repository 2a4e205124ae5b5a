// Global's shared utilities: media type codes, drive kinds, comparisons, rounding up, letter
// case, and opening a catalogued file from its disk.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "frmlogin.h"
#include "global.h"
#include "scriptedforms.h"
#include "test_support.h"
#include "testing_qt/test_support.h"
#include "unicode.h"
#include "volumes_fixture.h"

using namespace app;
using namespace shelltest;

namespace {

// Answers the next frmLogin with an entry (nothing: Cancel).
std::function<void(QWidget*)> Answer(std::optional<QString> entry) {
  return [entry](QWidget* form) {
    auto* login = static_cast<frmLogin*>(form);
    if (!entry) {
      login->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
      return;
    }
    login->txtPassword()->setText(*entry);
    login->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  };
}

TEST(GetDiskTypeCode, NamesInTableOrderThenUserTypes) {
  Settings s;
  s.OtherMediaNames = {QStringLiteral("Jaz"), QStringLiteral("Tape")};
  const QString floppy35 = QStringLiteral("3") + QChar(0x00BD) + QStringLiteral("\" Floppy Disk");
  const std::pair<QString, int> cases[] = {
      {floppy35, 2},           {QStringLiteral("Floppy Disk"), 2},  {QStringLiteral("CD-RW Disk"), 4},
      {QStringLiteral("100MB Zip Drive"), 3}, {QStringLiteral("Zip Drive"), 3}, {QStringLiteral("Zip Disk"), 3},
      {QStringLiteral("Local Disk"), 0},      {QStringLiteral("Network Connection"), 1},
      {QStringLiteral("Jaz"), 5},             {QStringLiteral("Tape"), 6},
      {QStringLiteral("zip disk"), 0},        {QStringLiteral("Something"), 0},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(GetDiskTypeCode(name, s), code) << name.toStdString();
}

TEST(GetDriveTypeName, KindsOfFixtureDrives) {
  QTemporaryDir dir;
  volumes::testing::IsolateFromMachine();
  volumes::testing::FixtureDrive b('B', DRIVE_REMOVABLE, dir.path().toStdString());
  volumes::testing::FixtureDrive g('G', DRIVE_REMOVABLE, dir.path().toStdString());
  volumes::testing::FixtureDrive e('E', DRIVE_CDROM, dir.path().toStdString());
  volumes::testing::FixtureDrive n('N', DRIVE_REMOTE, dir.path().toStdString());
  volumes::testing::FixtureDrive r('R', DRIVE_RAMDISK, dir.path().toStdString());
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("b:"), QStringLiteral("Floppy Disk")}, {QStringLiteral("G:"), QStringLiteral("Zip Disk")},
      {QStringLiteral("E:"), QStringLiteral("CD-RW Disk")},  {QStringLiteral("N:"), QStringLiteral("Network Connection")},
      {QStringLiteral("R:"), QStringLiteral("Other")},       {QStringLiteral("Q:"), QStringLiteral("Other")},
  };
  for (auto [drive, name] : cases) {
    const QString given = drive;
    EXPECT_EQ(GetDriveTypeName(drive), name) << given.toStdString();
    EXPECT_EQ(drive, given + u'\\');
  }
  volumes::testing::ResetMachineSources();
}

TEST(MinMaxOf, TiesGoToTheFirstForMinAndTheSecondForMax) {
  const QVariant one(1), oneReal(1.0), two(2.5);
  EXPECT_EQ(MinOf(one, oneReal).typeId(), QMetaType::Int);
  EXPECT_EQ(MaxOf(one, oneReal).typeId(), QMetaType::Double);
  EXPECT_EQ(MinOf(two, one), one);
  EXPECT_EQ(MaxOf(one, two), two);
  EXPECT_EQ(MaxOf(two, one), two);
  EXPECT_EQ(MinOf(QVariant(QStringLiteral("b")), QVariant(QStringLiteral("a"))).toString(), QStringLiteral("a"));
}

TEST(FormatDecimal, RoundsUpToTheDecimals) {
  struct Case {
    double value;
    SHORT decimals;
    double expected;
  } cases[] = {{1.231, 2, 1.24}, {1.23, 2, 1.23}, {-1.239, 2, -1.23}, {1.2, 0, 2}, {-1.5, 0, -1}, {2, 0, 2},
               {0.0001, 3, 0.001}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(FormatDecimal(c.value, c.decimals), c.expected) << c.value;
}

TEST(SetTextCaseStyle, TypedAndExistingTextFollowTheCase) {
  QLineEdit edit;
  edit.setText(QStringLiteral("abc"));
  SetTextCaseStyle(&edit, true);
  EXPECT_EQ(edit.text(), QStringLiteral("ABC"));
  edit.insert(QStringLiteral("dé"));
  EXPECT_EQ(edit.text(), QStringLiteral("ABCDÉ"));
  SetTextCaseStyle(&edit, false);  // a case once set is never cleared
  EXPECT_EQ(edit.text(), QStringLiteral("ABCDÉ"));
  QLineEdit lower;
  SetTextCaseStyle(&lower, false);
  lower.insert(QStringLiteral("XyZ"));
  EXPECT_EQ(lower.text(), QStringLiteral("xyz"));
}

TEST(SetProgressTarget, NamesTheWindow) {
  WalkControl walk;
  QObject window;
  SetProgressTarget(&window, walk);
  EXPECT_EQ(walk.ProgressForm.data(), &window);
}

class OpenCatalogedFileTest : public ::testing::Test {
 protected:
  void SetUp() override { control->docFileName = QStringLiteral("C:\\cat\\MY.DKC"); }
  xcom::ComPtr<FakeCompCtl> control = MakeFakeCompCtl();
  ScopedFileGraber graber;
  Settings settings;
};

TEST_F(OpenCatalogedFileTest, DriveLetterDiskGoesStraightToTheDrive) {
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  RecordingOpener opener;
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("[ C ] -- Drive/a/b.txt"), false);
  ASSERT_EQ(opener.requests.size(), 1u);
  EXPECT_EQ(opener.requests[0].operation, QStringLiteral("open"));
  EXPECT_EQ(opener.requests[0].file, QStringLiteral("/a/b.txt"));
  EXPECT_EQ(opener.requests[0].directory, QStringLiteral("/a"));
  EXPECT_EQ(opener.requests[0].parameters, QStringLiteral("0"));
  EXPECT_FALSE(control->calls.contains(QStringLiteral("GetItemInfo=[ C ] -- Drive")));
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(forms::ScreenMousePointer(), forms::vbDefault);
}

TEST_F(OpenCatalogedFileTest, TargetWithoutBackslashIsItsOwnFolderAndPlainOpenPassesZero) {
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  RecordingOpener opener;
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("[ C ] -- Drive"), true);
  ASSERT_EQ(opener.requests.size(), 1u);
  EXPECT_EQ(opener.requests[0].file, QStringLiteral("/"));
  EXPECT_EQ(opener.requests[0].directory, QStringLiteral("0"));
}

TEST_F(OpenCatalogedFileTest, UnassignedZipDriveAsksAndEmptyAnswerEndsQuietly) {
  control->items[QStringLiteral("Backup 1")] = Item(QStringLiteral("Backup 1"), QStringLiteral("Zip Disk"), 0, 42);
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  script.ExpectWindow(QStringLiteral("frmLogin"), Answer(std::nullopt));
  RecordingOpener opener;
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("Backup 1/docs/a.txt"), false);
  EXPECT_TRUE(opener.requests.empty());
  EXPECT_TRUE(settings.DriveLetter(kZipDisk).isEmpty());
  EXPECT_TRUE(script.Done());
}

TEST_F(OpenCatalogedFileTest, AskedDriveIsKeptAndAMissingDiskIsAskedFor) {
  QTemporaryDir dir;
  QDir(dir.path()).mkpath(QStringLiteral("docs"));
  volumes::testing::FixtureDrive g('G', DRIVE_REMOVABLE, dir.path().toStdString());
  control->items[QStringLiteral("Backup 1")] = Item(QStringLiteral("Backup 1"), QStringLiteral("Zip Disk"), 0, 42);
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  script.ExpectWindow(QStringLiteral("frmLogin"), Answer(QStringLiteral("g:")))
      .ExpectMessage(forms::vbOK, QStringLiteral("Please insert the following Zip Disk in the drive:\r\n\r\nDisk "
                                                 "Number:\t42\r\nDisk Name:\tBackup 1"));
  RecordingOpener opener;
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("Backup 1/docs/a.txt"), false);
  EXPECT_EQ(settings.DriveLetter(kZipDisk), QStringLiteral("g:\\"));
  ASSERT_EQ(opener.requests.size(), 1u);
  EXPECT_EQ(opener.requests[0].file, dir.path() + QStringLiteral("/docs/a.txt"));
  EXPECT_EQ(graber.scanner->calls.value(0), QStringLiteral("GetDiskSerial=g:\\"));
  EXPECT_EQ(graber.scanner->docFileName, control->docFileName);
  EXPECT_TRUE(script.Done());

  // With the labelled disk in the drive nothing is asked.
  graber.scanner->labelSerials[QStringLiteral("G:\\")] = 42;
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("Backup 1"), false);
  ASSERT_EQ(opener.requests.size(), 2u);
  EXPECT_EQ(opener.requests[1].file, dir.path());
  EXPECT_TRUE(script.Done());
}

TEST_F(OpenCatalogedFileTest, FileNotFoundAndAbsentDriveEntry) {
  control->items[QStringLiteral("F1")] = Item(QStringLiteral("F1"), QStringLiteral("Floppy Disk"), 0, 7);
  control->items[QStringLiteral("HD")] = Item(QStringLiteral("HD"), QStringLiteral("Local Disk"), 0, 9);
  graber.scanner->labelSerials[QStringLiteral("-1")] = 7;
  settings.SetDriveLetter(kFloppyDisk, QStringLiteral("-1"));  // read from an absent key: counts as assigned
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  script.ExpectMessage(forms::vbOK, QStringLiteral("Please insert the following Floppy Disk"))
      .ExpectMessage(forms::vbOK, QStringLiteral("Selected file was not found on the disk."));
  RecordingOpener opener;
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("F1/x.txt"), false);
  EXPECT_TRUE(opener.requests.empty());  // "-1x.txt" names no drive
  EXPECT_EQ(script.Shown().back().buttons, forms::vbCritical);
  // A local disk catalogued by name has no drive to go to: nothing happens.
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("HD/x.txt"), false);
  EXPECT_TRUE(script.Done());

  opener.answer = forms::SE_ERR_FNF;
  script.ExpectMessage(forms::vbOK, QStringLiteral("Selected file was not found on the disk."));
  OpenCatalogedFile(control.Get(), settings, QStringLiteral("[ C ] -- Drive/none.txt"), false);
  EXPECT_EQ(opener.requests.size(), 1u);
  EXPECT_TRUE(script.Done());
}

// Names a disk can hold that a path in drive-letter form cannot say plainly: a "\" inside a
// name (beside a folder that the "\" would otherwise split it into), bytes that are not UTF-8,
// and other odd but valid names. Every file opens as itself, its folder as the working folder.
TEST_F(OpenCatalogedFileTest, EveryOddNameOfTheDriveOpensThatVeryFile) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  const char* const folders[] = {"dir", "dir/a", "sub\xC0\xAF", "caf\xE9 \\ folder", "C:\\"};
  const char* const files[] = {
      "dir/a\\b.txt",
      "dir/a/b.txt",
      "caf\xFF.txt",
      "sub\xC0\xAF/inner.txt",
      "caf\xE9 \\ folder/x\\y",
      "back\\",
      "\\lead.txt",
      " spaced  name .txt",
      "100%25 #1?*.txt",
      "\xE6\x97\xA5\xE6\x9C\xAC \xC3\xA9t\xC3\xA9.txt",
      "...",
      ".hidden",
      "new\nline",
      "cut\xE2\x82",
      "C:\\/x",
  };
  for (const char* f : folders) ASSERT_EQ(::mkdir((root + '/' + f).c_str(), 0755), 0) << f;
  for (const char* f : files) std::ofstream(root + '/' + f) << f;  // each file holds its own path
  volumes::testing::FixtureDrive g('G', DRIVE_REMOVABLE, root);
  control->items[QStringLiteral("Odd Names")] = Item(QStringLiteral("Odd Names"), QStringLiteral("Zip Disk"), 0, 5);
  settings.SetDriveLetter(kZipDisk, QStringLiteral("G:\\"));
  graber.scanner->labelSerials[QStringLiteral("G:\\")] = 5;

  // Every file of the drive by its names as a walk of the drive reads them, as they are catalogued.
  std::vector<std::vector<std::u16string>> found;
  std::function<void(volumes::Folder&, const std::vector<std::u16string>&)> list =
      [&](volumes::Folder& folder, const std::vector<std::u16string>& names) {
        volumes::DirEntry entry;
        while (folder.Next(entry)) {
          std::vector<std::u16string> path = names;
          path.push_back(entry.name);
          if (entry.directory) {
            volumes::Folder sub = folder.OpenSubfolder(entry);
            ASSERT_TRUE(sub.IsOpen());
            list(sub, path);
          } else {
            found.push_back(path);
          }
        }
      };
  volumes::Folder top = volumes::Folder::Open("G:\\");
  ASSERT_TRUE(top.IsOpen());
  list(top, {});
  ASSERT_EQ(found.size(), std::size(files));

  const auto bytesOf = [](const QString& text) {
    return unicode::Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())),
        unicode::Policy::kLossless);
  };
  for (const QString disk : {QStringLiteral("Odd Names"), QStringLiteral("[ G ] -- Drive")}) {
    for (const std::vector<std::u16string>& names : found) {
      // The catalog path: the disk, then the names, each as the catalog holds it.
      QString path = disk;
      std::string relative;
      for (const std::u16string& name : names) {
        path += u'/' + QString(reinterpret_cast<const QChar*>(name.data()), qsizetype(name.size()));
        relative += (relative.empty() ? "" : "/") + volumes::NameToDisk(name);
      }
      SCOPED_TRACE(relative);
      forms::ScriptedForms script(testing_qt::FailTest);
      forms::ScopedForms use(script);
      RecordingOpener opener;
      OpenCatalogedFile(control.Get(), settings, path, false);
      ASSERT_EQ(opener.requests.size(), 1u);
      const std::string file = bytesOf(opener.requests[0].file);
      EXPECT_EQ(file, root + '/' + relative);
      std::ifstream in(file);
      std::stringstream content;
      content << in.rdbuf();
      EXPECT_EQ(content.str(), relative);  // that very file
      EXPECT_EQ(bytesOf(opener.requests[0].directory), file.substr(0, file.rfind('/')));
      EXPECT_TRUE(script.Done());
    }
  }
}

}  // namespace
