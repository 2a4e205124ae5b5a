// Drive letters from sample mount tables and /sys trees, the drive table file, drive types
// and path translation.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "test_support.h"

namespace {

using namespace volumes_test;
using volumes::DriveInfo;
using volumes::DriveOrigin;

// A machine with a system disk (sda), a USB stick (sdb, removable), two optical drives
// (sr0 with a disc, sr1 empty), an NFS share, a tmpfs and the usual virtual file systems.
class MachineTest : public VolumesTest {
 protected:
  void SetUp() override {
    VolumesTest::SetUp();
    sys_ = tmp_ / "sys";
    Disk("sda", "8:0", false, {{"sda2", "8:2"}, {"sda3", "8:3"}});
    Disk("sdb", "8:16", true, {{"sdb1", "8:17"}});
    Disk("sr0", "11:0", true, {});
    Disk("sr1", "11:1", true, {});
    stick_ = tmp_ / "media" / "u" / "MY STICK";
    cdrom_ = tmp_ / "media" / "u" / "CDROM";
    nas_ = tmp_ / "mnt" / "nas";
    for (const fs::path& p : {stick_, cdrom_, nas_}) fs::create_directories(p);
    Mountinfo(StickLine(stick_));
  }

  void Disk(const std::string& name, const std::string& dev, bool removable,
            std::map<std::string, std::string> partitions) {
    const fs::path disk = sys_ / "block" / name;
    WriteText(disk / "dev", dev + "\n");
    WriteText(disk / "removable", removable ? "1\n" : "0\n");
    fs::create_directories(sys_ / "dev" / "block");
    fs::create_symlink(fs::path("../../block") / name, sys_ / "dev" / "block" / dev);
    for (const auto& [part, partDev] : partitions) {
      WriteText(disk / part / "partition", "1\n");
      WriteText(disk / part / "dev", partDev + "\n");
      fs::create_symlink(fs::path("../../block") / name / part, sys_ / "dev" / "block" / partDev);
    }
  }

  static std::string Escaped(const fs::path& p) {
    std::string out;
    for (char c : p.string()) out += c == ' ' ? std::string("\\040") : std::string(1, c);
    return out;
  }

  // The stick's partition; its device node is a plain file of the test, so that the
  // file system label's link can point at it.
  std::string StickLine(const fs::path& mountPoint, const std::string& source = "") {
    return "50 28 8:17 / " + Escaped(mountPoint) + " rw,nosuid - vfat " +
           (source.empty() ? (tmp_ / "dev" / "sdb1").string() : source) + " rw\n";
  }

  // Writes a new sample mount table (a new file each time, so that the change is seen).
  void Mountinfo(const std::string& extra) {
    const fs::path file = tmp_ / ("mountinfo" + std::to_string(++generation_));
    WriteText(file,
              "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
              "23 28 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
              "28 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n"
              "40 28 0:40 / /tmp rw - tmpfs tmpfs rw,size=1024k\n"
              "41 28 8:3 / /home rw - ext4 /dev/sda3 rw\n" +
                  extra +
                  "51 28 11:0 / " + cdrom_.string() + " ro - iso9660 /dev/sr0 ro\n"
                  "52 28 0:52 / " + nas_.string() + " rw - nfs4 nas:/export rw,vers=4.2\n");
    volumes::testing::SetMachineSources({file.string(), sys_.string(), (tmp_ / "by-label").string()});
  }

  void Table(const std::string& lines) { WriteText(tmp_ / "home" / "drives.txt", lines); }

  static std::map<char, DriveInfo> Drives() {
    std::map<char, DriveInfo> out;
    for (const DriveInfo& d : volumes::ListDrives()) out[d.letter] = d;
    return out;
  }

  fs::path sys_, stick_, cdrom_, nas_;
  int generation_ = 0;
};

TEST_F(MachineTest, AutomaticLettersFollowTheMounts) {
  const auto drives = Drives();
  struct Expect {
    char letter;
    UINT type;
    bool ready;
    std::string root;
    std::string source;
  };
  const Expect expected[] = {
      {'C', DRIVE_FIXED, true, "/", "/dev/sda2"},
      {'D', DRIVE_CDROM, true, cdrom_.string(), "/dev/sr0"},
      {'E', DRIVE_CDROM, false, "", "/dev/sr1"},  // empty optical drive keeps its letter
      {'F', DRIVE_REMOVABLE, true, stick_.string(), (tmp_ / "dev" / "sdb1").string()},
      {'Z', DRIVE_REMOTE, true, nas_.string(), "nas:/export"},
  };
  ASSERT_EQ(drives.size(), std::size(expected));  // no letter for /home, /tmp, /proc, /sys
  for (const Expect& e : expected) {
    SCOPED_TRACE(std::string(1, e.letter));
    ASSERT_EQ(drives.count(e.letter), 1u);
    const DriveInfo& d = drives.at(e.letter);
    EXPECT_EQ(d.type, e.type);
    EXPECT_EQ(d.ready, e.ready);
    EXPECT_EQ(d.root, e.root);
    EXPECT_EQ(d.source, e.source);
    EXPECT_EQ(d.origin, DriveOrigin::Automatic);
    const char root[] = {e.letter, ':', '\\', 0};
    EXPECT_EQ(GetDriveTypeA(root), e.type);
  }
  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5) | (1u << 25));
  EXPECT_EQ(drives.at('Z').fileSystem, "nfs4");
}

TEST_F(MachineTest, RemovableDriveIsReadyWhereverItIsMounted) {
  Mountinfo("");  // stick pulled out: its letter goes, the others stay
  auto drives = Drives();
  EXPECT_EQ(drives.count('F'), 0u);
  EXPECT_TRUE(drives.at('Z').ready);

  const fs::path elsewhere = tmp_ / "run" / "stick";
  fs::create_directories(elsewhere);
  Table("E: /dev/sdb1 removable\n");
  Mountinfo("");
  drives = Drives();
  EXPECT_EQ(drives.at('E').origin, DriveOrigin::Table);
  EXPECT_FALSE(drives.at('E').ready);
  char label[50];
  EXPECT_FALSE(GetVolumeInformationA("E:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);

  Mountinfo(StickLine(elsewhere, "/dev/sdb1"));
  drives = Drives();
  EXPECT_TRUE(drives.at('E').ready);
  EXPECT_EQ(drives.at('E').root, elsewhere.string());
  EXPECT_EQ(drives.at('E').type, DRIVE_REMOVABLE);
  int stickLetters = 0;
  for (const auto& [letter, d] : drives) stickLetters += d.source == drives.at('E').source;
  EXPECT_EQ(stickLetters, 1) << "a device named in the table gets no automatic letter";
  EXPECT_EQ(drives.at('F').source, "/dev/sr1") << "the automatic letters close up";
}

TEST_F(MachineTest, TableFoldersAndShares) {
  const fs::path music = tmp_ / "Music Archive";
  fs::create_directories(music);
  Table("# my drives\n"
        "M:  " + music.string() + "   fixed\n"
        "n: " + nas_.string() + " remote\n"
        "R: " + (tmp_ / "mnt" / "empty").string() + " remote\n"
        "S: " + stick_.string() + " auto\n");
  fs::create_directories(tmp_ / "mnt" / "empty");
  const auto drives = Drives();
  EXPECT_TRUE(drives.at('M').ready);
  EXPECT_EQ(drives.at('M').root, music.string());
  EXPECT_EQ(GetDriveTypeA("m:\\"), DRIVE_FIXED);
  EXPECT_TRUE(drives.at('N').ready);
  EXPECT_EQ(drives.at('N').type, DRIVE_REMOTE);
  EXPECT_EQ(drives.count('Z'), 0u) << "the share named in the table has no automatic letter";
  EXPECT_FALSE(drives.at('R').ready) << "a share folder with nothing mounted is not ready";
  EXPECT_EQ(drives.at('S').type, DRIVE_REMOVABLE);
  EXPECT_TRUE(drives.at('S').ready);
  EXPECT_EQ(drives.count('F'), 0u);

  fs::remove(music);
  EXPECT_FALSE(Drives().at('M').ready) << "a fixed folder is ready while it exists";
}

TEST_F(MachineTest, TableProblemsAreReportedAndTheRestHolds) {
  Table("Q: /srv/q fixed\n"
        "QQ /srv/x fixed\n"
        "1: /srv/x fixed\n"
        "K: /srv/k floppy\n"
        "L: relative/path fixed\n"
        "Q: /srv/other fixed\n"
        "W:\n"
        "V: /srv/v Fixed\n");
  const auto warnings = volumes::DriveTableWarnings();
  ASSERT_EQ(warnings.size(), 6u);
  EXPECT_EQ(warnings[0].rfind("drives.txt:2:", 0), 0u) << warnings[0];
  EXPECT_NE(warnings[2].find("floppy"), std::string::npos);
  EXPECT_NE(warnings[4].find("given twice"), std::string::npos);
  const auto drives = Drives();
  EXPECT_EQ(drives.at('Q').source, "/srv/q");
  EXPECT_EQ(drives.at('V').type, DRIVE_FIXED);
  EXPECT_EQ(drives.count('K'), 0u);
}

// Fixed data disks: a second disk's partitions mounted at /srv and /mnt/data get letters after
// the optical drives, in the order of their mount points; a partition of the system disk, a
// bind mount, a system folder and a USB hard disk under /media are not fixed data disks.
TEST_F(MachineTest, FixedDataDisksGetLettersThatMediaNeverMove) {
  Disk("sdc", "8:32", false, {{"sdc1", "8:33"}, {"sdc2", "8:34"}, {"sdc3", "8:35"}});
  const std::string fixed =
      "60 28 8:34 / /srv rw - xfs /dev/sdc2 rw\n"
      "61 28 8:33 / /mnt/data rw - ext4 /dev/sdc1 rw\n"
      "62 28 8:35 / /var/lib/containers rw - ext4 /dev/sdc3 rw\n"  // a system folder
      "63 28 8:33 /photos /mnt/photos rw - ext4 /dev/sdc1 rw\n"    // a bind mount of a folder
      "64 28 8:2 / /mnt/again rw - ext4 /dev/sda2 rw\n";           // the system disk again
  struct Step {
    const char* what;
    std::string extra;
    std::map<char, std::string> letters;  // letter -> source
  };
  const std::string stick = (tmp_ / "dev" / "sdb1").string();
  const Step steps[] = {
      {"stick in",
       StickLine(stick_) + fixed,
       {{'C', "/dev/sda2"},
        {'D', "/dev/sr0"},
        {'E', "/dev/sr1"},
        {'F', "/dev/sdc1"},
        {'G', "/dev/sdc2"},
        {'H', stick},
        {'Z', "nas:/export"}}},
      {"stick out",
       fixed,
       {{'C', "/dev/sda2"},
        {'D', "/dev/sr0"},
        {'E', "/dev/sr1"},
        {'F', "/dev/sdc1"},
        {'G', "/dev/sdc2"},
        {'Z', "nas:/export"}}},
      {"stick mounted before the disks",
       StickLine(stick_) + fixed,
       {{'C', "/dev/sda2"},
        {'D', "/dev/sr0"},
        {'E', "/dev/sr1"},
        {'F', "/dev/sdc1"},
        {'G', "/dev/sdc2"},
        {'H', stick},
        {'Z', "nas:/export"}}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    Mountinfo(step.extra);
    std::map<char, std::string> letters;
    for (const auto& [letter, d] : Drives()) letters[letter] = d.source;
    EXPECT_EQ(letters, step.letters);
  }
  const auto drives = Drives();
  EXPECT_EQ(drives.at('F').type, DRIVE_FIXED);
  EXPECT_EQ(drives.at('F').root, "/mnt/data");
  EXPECT_TRUE(drives.at('F').ready);
  EXPECT_EQ(drives.at('G').root, "/srv");

  // A hard disk on USB, mounted where the desktop mounts plugged-in media, comes and goes
  // with the media, behind the fixed disks.
  Disk("sdd", "8:48", false, {{"sdd1", "8:49"}});
  Mountinfo(fixed + "70 28 8:49 / /media/u/BACKUP rw - ext4 /dev/sdd1 rw\n");
  const auto withUsbDisk = Drives();
  EXPECT_EQ(withUsbDisk.at('H').source, "/dev/sdd1");
  EXPECT_EQ(withUsbDisk.at('H').type, DRIVE_FIXED);
  EXPECT_EQ(withUsbDisk.at('F').source, "/dev/sdc1");
}

TEST_F(MachineTest, TableEntriesCarryTheirNames) {
  const fs::path music = tmp_ / "Music Archive";
  fs::create_directories(music);
  Table("M:  " + music.string() +
        "   fixed   \"My Music\"\n"
        "N: " +
        nas_.string() +
        " remote\n"
        "P: /srv/p fixed \"unclosed\n"
        "Q: /srv/q fixed unclosed\"\n");
  const auto drives = Drives();
  EXPECT_EQ(drives.at('M').name, "My Music");
  EXPECT_EQ(drives.at('M').root, music.string());
  EXPECT_EQ(drives.at('N').name, "");
  EXPECT_EQ(drives.count('P'), 0u);
  EXPECT_EQ(drives.count('Q'), 0u);
  const auto warnings = volumes::DriveTableWarnings();
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0].rfind("drives.txt:3:", 0), 0u) << warnings[0];
  EXPECT_EQ(warnings[1].rfind("drives.txt:4:", 0), 0u) << warnings[1];
}

TEST_F(VolumesTest, TheDriveTableIsCreatedWithItsDescription) {
  EXPECT_EQ(GetLogicalDrives(), 0u);
  const std::string text = ReadText(tmp_ / "home" / "drives.txt");
  EXPECT_EQ(text.rfind("# Xendora drive table", 0), 0u);
  EXPECT_TRUE(volumes::DriveTableWarnings().empty()) << "the description alone holds no drive";
}

TEST_F(MachineTest, RootPathForms) {
  struct Case {
    const char* root;
    UINT type;
  };
  const Case cases[] = {
      {"C:\\", DRIVE_FIXED},         {"c:\\", DRIVE_FIXED},        {"C:", DRIVE_FIXED},
      {"C:/", DRIVE_FIXED},          {"C:\\Windows\\", DRIVE_NO_ROOT_DIR},
      {"", DRIVE_NO_ROOT_DIR},       {"1:\\", DRIVE_NO_ROOT_DIR},  {"Q:\\", DRIVE_NO_ROOT_DIR},
      {"\\\\\\", DRIVE_NO_ROOT_DIR}, {"CC:\\", DRIVE_NO_ROOT_DIR},
  };
  for (const Case& c : cases) EXPECT_EQ(GetDriveTypeA(c.root), c.type) << c.root;
  EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_NO_ROOT_DIR);
}

TEST_F(MachineTest, DrivePathsAndNativePathsTranslate) {
  struct Case {
    const char* drivePath;
    std::string native;  // empty: fails
    DWORD error;
  };
  const std::string stick = stick_.string();
  const Case toNative[] = {
      {"F:\\Music\\a.mp3", stick + "/Music/a.mp3", 0},
      {"f:/Music/", stick + "/Music", 0},
      {"F:\\", stick, 0},
      {"F:\\..\\..\\etc\\.\\x", stick + "/etc/x", 0},  // never above the drive's root
      {"C:\\home\\me", "/home/me", 0},
      {"E:\\", "", ERROR_NOT_READY},
      {"Q:\\", "", ERROR_INVALID_DRIVE},
      {"hello", "", ERROR_INVALID_NAME},
  };
  for (const Case& c : toNative) {
    SCOPED_TRACE(c.drivePath);
    std::string native;
    const bool ok = volumes::ToNativePath(c.drivePath, native);
    EXPECT_EQ(ok, !c.native.empty());
    if (ok) EXPECT_EQ(native, c.native);
    else EXPECT_EQ(GetLastError(), c.error);
  }

  struct Back {
    std::string native;
    std::string drivePath;
  };
  const Back toDrive[] = {
      {stick + "/Music/a.mp3", "F:\\Music\\a.mp3"},
      {stick, "F:\\"},
      {stick + "/../CDROM/x", "D:\\x"},
      {"/nonexistent/dir", "C:\\nonexistent\\dir"},
  };
  for (const Back& b : toDrive) {
    std::string drivePath;
    EXPECT_TRUE(volumes::ToDrivePath(b.native, drivePath)) << b.native;
    EXPECT_EQ(drivePath, b.drivePath);
  }
  std::string out;
  EXPECT_FALSE(volumes::ToDrivePath(stick + "/a\\b", out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(volumes::ToDrivePath("relative", out));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(MachineTest, FileSystemLabelFromDiskByLabel) {
  WriteText(tmp_ / "dev" / "sdb1", "");
  fs::create_directories(tmp_ / "by-label");
  fs::create_symlink("../dev/sdb1", tmp_ / "by-label" / "HOLIDAY\\x202019");
  char label[50] = "junk";
  ASSERT_TRUE(GetVolumeInformationA("F:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_STREQ(label, "HOLIDAY 2019");
  ASSERT_TRUE(GetVolumeInformationA("D:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_STREQ(label, "") << "a medium with no label of either kind";
}

}  // namespace
