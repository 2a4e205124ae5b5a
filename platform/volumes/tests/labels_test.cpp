// Volume labels and free space of fixture drives.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

namespace {

using namespace volumes_test;
using volumes::testing::FixtureDrive;

class FixtureTest : public VolumesTest {
 protected:
  static bool Label(const char* root, std::string& label) {
    char buffer[50] = {};
    if (!GetVolumeInformationA(root, buffer, sizeof buffer, nullptr, nullptr, nullptr, nullptr, 0))
      return false;
    label = buffer;
    return true;
  }
};

TEST_F(FixtureTest, LabelsOfReadyAndEmptyDrives) {
  FixtureDrive a('a', DRIVE_REMOVABLE, medium_, "#0000000042");
  std::string label;
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, "#0000000042");
  EXPECT_EQ(GetDriveTypeA("A:\\"), DRIVE_REMOVABLE);

  a.SetReady(false);
  EXPECT_FALSE(Label("A:\\", label));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_EQ(GetDriveTypeA("A:\\"), DRIVE_REMOVABLE) << "an empty drive keeps its type";
  EXPECT_EQ(GetLogicalDrives(), 1u);
  EXPECT_FALSE(SetVolumeLabelA("A:\\", "#0000000001"));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(FixtureTest, WrittenLabelIsReadBackAndNeverListed) {
  FixtureDrive a('A', DRIVE_REMOVABLE, medium_, "OLDNAME");
  ASSERT_TRUE(SetVolumeLabelA("A:\\", "#0000000007"));
  std::string label;
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, "#0000000007") << "the label file comes before the file system's label";
  ASSERT_TRUE(SetVolumeLabelA("A:\\", " Tapes 1-2 "));
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, " Tapes 1-2 ");

  ASSERT_TRUE(SetVolumeLabelA("A:\\", ""));
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, "") << "an empty label stays empty";
  ASSERT_TRUE(SetVolumeLabelA("A:\\", nullptr));
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, "");

  WriteText(medium_ / "sub" / ".xendora-label", "not a label");
  volumes::Folder root = volumes::Folder::Open("A:\\");
  volumes::DirEntry e;
  std::vector<std::u16string> names;
  while (root.Next(e)) names.push_back(e.name);
  EXPECT_EQ(names, std::vector<std::u16string>{u"sub"});
  volumes::Folder sub = volumes::Folder::Open("A:\\sub");
  ASSERT_TRUE(sub.Next(e)) << "only the medium's own label file is left out";
  EXPECT_EQ(e.name, u".xendora-label");
}

TEST_F(FixtureTest, LabelWritesThatAreRefused) {
  FixtureDrive a('A', DRIVE_REMOVABLE, medium_, "KEEP");
  struct Case {
    std::string label;
    DWORD error;
  };
  const Case cases[] = {
      {std::string(256, 'x'), ERROR_LABEL_TOO_LONG},
      {"two\nlines", ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(SetVolumeLabelA("A:\\", c.label.c_str()));
    EXPECT_EQ(GetLastError(), c.error);
  }
  a.SetWriteProtected(true);
  EXPECT_FALSE(SetVolumeLabelA("A:\\", "#0000000042"));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  std::string label;
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, "KEEP");
  EXPECT_FALSE(fs::exists(medium_ / ".xendora-label"));
  DWORD flags = 0;
  ASSERT_TRUE(GetVolumeInformationA("A:\\", nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
  EXPECT_TRUE(flags & FILE_READ_ONLY_VOLUME);

  char small[4];  // "KEEP" and its NUL need 5
  EXPECT_FALSE(GetVolumeInformationA("A:\\", small, sizeof small, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  a.SetWriteProtected(false);
  EXPECT_TRUE(SetVolumeLabelA("A:\\", std::string(255, 'x').c_str()));
}

TEST_F(FixtureTest, LabelFileThatIsALinkIsNotFollowed) {
  WriteText(tmp_ / "secret", "#0000000099\n");
  fs::create_symlink(tmp_ / "secret", medium_ / ".xendora-label");
  FixtureDrive a('A', DRIVE_REMOVABLE, medium_, "OWN");
  std::string label;
  ASSERT_TRUE(Label("A:\\", label));
  EXPECT_EQ(label, "OWN");
  ASSERT_TRUE(SetVolumeLabelA("A:\\", "#0000000001"));
  EXPECT_EQ(ReadText(tmp_ / "secret"), "#0000000099\n") << "the link's target is not written";
  EXPECT_EQ(ReadText(medium_ / ".xendora-label"), "#0000000001\n");
}

TEST_F(FixtureTest, GeometryAndByteCountsIn64Bits) {
  FixtureDrive a('D', DRIVE_REMOVABLE, medium_);
  struct Case {
    const char* what;
    ULONGLONG total, free;
  };
  const Case cases[] = {
      {"floppy", 1457664, 512000},
      {"3 TiB", 3ull << 40, (5ull << 40) / 2},
      {"40 TiB, clusters grow to fit 32 bits", 40ull << 40, 17ull << 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    a.SetSizes(c.total, c.free);
    DWORD spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("D:\\", &spc, &bps, &freeClusters, &totalClusters));
    const ULONGLONG cluster = static_cast<ULONGLONG>(spc) * bps;
    EXPECT_EQ(cluster * totalClusters, c.total);
    EXPECT_EQ(cluster * freeClusters, c.free);
    ULARGE_INTEGER avail{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA("d:\\", &avail, &total, &free));
    EXPECT_EQ(total.QuadPart, c.total);
    EXPECT_EQ(free.QuadPart, c.free);
    EXPECT_EQ(avail.QuadPart, c.free);
  }
  a.SetReady(false);
  EXPECT_FALSE(GetDiskFreeSpaceA("D:\\", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_FALSE(GetDiskFreeSpaceExA("D:\\", nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(FixtureTest, RealSizesOfAnUnsizedFixture) {
  FixtureDrive a('D', DRIVE_FIXED, medium_);
  ULARGE_INTEGER avail{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExA("D:\\sub\\folder", &avail, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(free.QuadPart, total.QuadPart);
  EXPECT_LE(avail.QuadPart, free.QuadPart);
}

TEST_F(FixtureTest, FixtureGoesWithItsObjectAndHidesTheTable) {
  WriteText(tmp_ / "home" / "drives.txt", "D: " + tmp_.string() + " fixed\n");
  EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_FIXED);
  {
    FixtureDrive d('D', DRIVE_CDROM, medium_);
    EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_CDROM);
    EXPECT_EQ(d.Root(), "D:\\");
  }
  EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_FIXED);
}

// The machine's own mount table, in a private mount namespace of a child process: a
// table folder becomes ready when a file system is mounted on it, and a read-only medium
// refuses its label.
TEST_F(FixtureTest, MountedFolderOfTheMachine) {
  const fs::path ram = tmp_ / "ram";
  fs::create_directories(ram);
  WriteText(tmp_ / "home" / "drives.txt", "R: " + ram.string() + " ramdisk\n");
  volumes::testing::ResetMachineSources();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      ::_exit(77);
    volumes::DriveInfo d;
    auto ready = [&] { return volumes::QueryDrive('R', d) && d.ready; };
    if (ready()) ::_exit(1);
    if (::mount("none", ram.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) ::_exit(77);
    if (!ready() || d.fileSystem != "tmpfs") ::_exit(2);
    if (SetVolumeLabelA("R:\\", "#0000000001") || GetLastError() != ERROR_WRITE_PROTECT) ::_exit(3);
    if (::mount(nullptr, ram.c_str(), nullptr, MS_REMOUNT, nullptr) != 0) ::_exit(77);
    if (!SetVolumeLabelA("R:\\", "#0000000001")) ::_exit(4);
    ::umount(ram.c_str());
    if (ready()) ::_exit(5);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed at step " << WEXITSTATUS(status);
  EXPECT_FALSE(fs::exists(ram / ".xendora-label")) << "the label went with the unmounted medium";
}

}  // namespace
