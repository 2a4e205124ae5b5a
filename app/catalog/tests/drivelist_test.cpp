// The drive lists' entries: what each letter stands for, from the drive facts and from a sample
// mount table and /sys tree.
#include <QComboBox>

#include <filesystem>
#include <fstream>

#include "dialogwidgets.h"
#include "test_support.h"
#include "volumes.h"
#include "volumes_fixture.h"

using namespace app::catalog;

namespace {

namespace fs = std::filesystem;

volumes::DriveInfo Info(char letter, UINT type, bool ready, std::string root, std::string source,
                        std::string name = "") {
  volumes::DriveInfo d;
  d.letter = letter;
  d.type = type;
  d.ready = ready;
  d.root = std::move(root);
  d.source = std::move(source);
  d.name = std::move(name);
  return d;
}

TEST(DriveList, EntriesSayWhatEachLetterStandsFor) {
  struct Case {
    const char* what;
    volumes::DriveInfo drive;
    QString label;
    QString driveText;  // of the add-disk dialog
    QString shown;
  };
  const Case cases[] = {
      {"table folder with a name", Info('M', DRIVE_FIXED, true, "/home/me/Music", "/home/me/Music", "My Music"), "",
       "m:", "m:  My Music  —  /home/me/Music"},
      {"table name before the label", Info('M', DRIVE_FIXED, true, "/home/me/Music", "/home/me/Music", "My Music"),
       "ARCHIVE", "m: [ARCHIVE]", "m:  My Music  —  /home/me/Music"},
      {"mounted removable medium", Info('E', DRIVE_REMOVABLE, true, "/media/me/HOLIDAY", "/dev/sdb1"), "HOLIDAY",
       "e:", "e:  HOLIDAY  —  /media/me/HOLIDAY"},
      {"removable medium without a label", Info('E', DRIVE_REMOVABLE, true, "/media/me/1234-ABCD", "/dev/sdb1"), "",
       "e:", "e:  Removable Disk  —  /media/me/1234-ABCD"},
      {"network mount", Info('Z', DRIVE_REMOTE, true, "/mnt/nas", "nas:/export"), "", "z: [nas:/export]",
       "z:  nas:/export  —  /mnt/nas"},
      {"fixed data disk", Info('F', DRIVE_FIXED, true, "/mnt/data", "/dev/sdc1"), "DATA", "f: [DATA]",
       "f:  DATA  —  /mnt/data"},
      {"empty optical drive", Info('D', DRIVE_CDROM, false, "", "/dev/sr0"), "",
       "d:", "d:  CD Drive  —  /dev/sr0, not ready"},
      {"long folder, shortened in the middle",
       Info('G', DRIVE_FIXED, true, "/home/someone/Documents/Projects/2019/Photographs/Holiday in Portugal", "x"), "",
       "g:", "g:  Local Disk  —  /home/someone/Document…s/Holiday in Portugal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DriveListEntry e = DriveListEntryOf(c.drive, c.label, DriveTextForm::WithLabel);
    EXPECT_EQ(e.driveText, c.driveText);
    EXPECT_EQ(e.shown, c.shown);
    EXPECT_LE(e.shown.size() - e.shown.indexOf(QChar(0x2014)), 47);
    EXPECT_EQ(DriveListEntryOf(c.drive, c.label, DriveTextForm::LetterOnly).driveText, c.driveText.left(2));
  }
  EXPECT_EQ(ShortenInTheMiddle("abcdefghij", 7), "abc…hij");
  EXPECT_EQ(ShortenInTheMiddle("abcdefg", 7), "abcdefg");
}

// A machine with a USB stick that carries a label, a second disk mounted at /srv, a share and a
// folder of the drive table: the drive list shows each, and hands the dialog its drive text.
class DriveListMachine : public catalog_testing::CatalogTest {
 protected:
  static void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
  }
  void Disk(const std::string& name, const std::string& dev, bool removable, const std::string& part,
            const std::string& partDev) {
    const fs::path sys = scratch_.path() / "sys";
    Write(sys / "block" / name / "dev", dev + "\n");
    Write(sys / "block" / name / "removable", removable ? "1\n" : "0\n");
    Write(sys / "block" / name / part / "partition", "1\n");
    Write(sys / "block" / name / part / "dev", partDev + "\n");
    fs::create_directories(sys / "dev" / "block");
    fs::create_symlink(fs::path("../../block") / name / part, sys / "dev" / "block" / partDev);
  }
};

TEST_F(DriveListMachine, TheListShowsEveryDrive) {
  const fs::path top = scratch_.path();
  const fs::path stick = top / "media" / "STICK";
  const fs::path music = top / "Music";
  fs::create_directories(music);
  Write(stick / ".xendora-label", "HOLIDAY\n");
  Disk("sdb", "8:16", true, "sdb1", "8:17");
  Disk("sdc", "8:32", false, "sdc1", "8:33");
  Write(top / "mountinfo",
        "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
        "50 28 8:17 / " +
            stick.string() +
            " rw - vfat /dev/sdb1 rw\n"
            "51 28 8:33 / /srv rw - ext4 /dev/sdc1 rw\n"
            "52 28 0:52 / /mnt/nas rw - nfs4 nas:/export rw\n");
  Write(top / "drives.txt", "M: " + music.string() + " fixed \"Music\"\n");
  volumes::testing::SetMachineSources({(top / "mountinfo").string(), (top / "sys").string(), (top / "none").string()});
  QComboBox list;
  FillDriveList(list, DriveListEntries(DriveTextForm::WithLabel));
  volumes::testing::ResetMachineSources();
  ASSERT_EQ(list.count(), 5);
  EXPECT_EQ(list.currentIndex(), -1);
  const QString shown[] = {"c:  Local Disk  —  /", "d:  Local Disk  —  /srv", "e:  HOLIDAY  —  ", "m:  Music  —  ",
                           "z:  nas:/export  —  /mnt/nas"};
  const QString driveText[] = {"c:", "d:", "e:", "m:", "z: [nas:/export]"};
  for (int i = 0; i < list.count(); ++i) {
    EXPECT_TRUE(list.itemText(i).startsWith(shown[i])) << list.itemText(i).toStdString();
    EXPECT_EQ(DriveTextAt(list, i), driveText[i]);
  }
  EXPECT_EQ(DriveIndexIn(list, "e:"), 2);
}

}  // namespace
