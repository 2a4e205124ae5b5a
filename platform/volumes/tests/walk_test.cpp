// Directory walks over fixture drives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "test_support.h"

namespace {

using namespace volumes_test;
using volumes::DirEntry;
using volumes::Folder;
using volumes::testing::FixtureDrive;

class WalkTest : public VolumesTest {
 protected:
  void SetUp() override {
    VolumesTest::SetUp();
    drive_ = std::make_unique<FixtureDrive>('D', DRIVE_REMOVABLE, medium_);
  }

  static std::map<std::u16string, DirEntry> List(Folder& f) {
    std::map<std::u16string, DirEntry> out;
    DirEntry e;
    while (f.Next(e)) out[e.name] = e;
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    return out;
  }

  static void SetTimes(const fs::path& p, std::time_t mtime) {
    const timespec times[2] = {{mtime, 0}, {mtime, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }

  std::unique_ptr<FixtureDrive> drive_;
};

TEST_F(WalkTest, EntriesWithSizesTimesAndAttributes) {
  WriteText(medium_ / "empty.txt", "");
  WriteText(medium_ / "a.txt", "hello");
  WriteText(medium_ / ".hidden", "x");
  WriteText(medium_ / "Music" / "song.mp3", std::string(5000, 's'));
  {
    const int fd = ::open((medium_ / "big.iso").c_str(), O_CREAT | O_WRONLY, 0444);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5ll << 30), 0);  // sparse, 5 GiB
    ::close(fd);
  }
  SetTimes(medium_ / "a.txt", 1000000000);
  SetTimes(medium_ / "Music", 1200000000);

  Folder root = Folder::Open("D:\\");
  ASSERT_TRUE(root.IsOpen());
  auto entries = List(root);
  ASSERT_EQ(entries.size(), 5u);

  const DirEntry& a = entries.at(u"a.txt");
  EXPECT_FALSE(a.directory);
  EXPECT_EQ(a.size, 5u);
  EXPECT_EQ(FileTimeToU64(a.lastWriteTime), FileTimeToU64(volumes::FileTimeFromUnix(1000000000, 500)));
  EXPECT_EQ(a.attributes, FILE_ATTRIBUTE_ARCHIVE);
  const ULONGLONG now = FileTimeToU64(volumes::FileTimeFromUnix(std::time(nullptr) + 5, 0));
  EXPECT_GT(FileTimeToU64(a.creationTime), FileTimeToU64(volumes::FileTimeFromUnix(1000000000, 500)))
      << "created (or changed) now, not at the set write time";
  EXPECT_LT(FileTimeToU64(a.creationTime), now);

  EXPECT_EQ(entries.at(u"empty.txt").size, 0u);
  EXPECT_EQ(entries.at(u".hidden").attributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(entries.at(u"big.iso").size, 5ull << 30);
  EXPECT_TRUE(entries.at(u"big.iso").attributes & FILE_ATTRIBUTE_READONLY);
  const DirEntry& music = entries.at(u"Music");
  EXPECT_TRUE(music.directory);
  EXPECT_FALSE(music.mountPoint);
  EXPECT_EQ(music.size, 0u);
  EXPECT_EQ(music.attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(FileTimeToU64(music.lastWriteTime), FileTimeToU64(volumes::FileTimeFromUnix(1200000000, 500)));

  Folder sub = root.OpenSubfolder(u"Music");
  ASSERT_TRUE(sub.IsOpen());
  entries = List(sub);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.at(u"song.mp3").size, 5000u);
}

TEST_F(WalkTest, SymbolicLinksAreFilesAndNeverFollowed) {
  fs::create_directories(medium_ / "a" / "b");
  fs::create_directory_symlink("..", medium_ / "a" / "b" / "up");      // a loop
  fs::create_directory_symlink("/", medium_ / "a" / "outside");        // leaves the drive
  fs::create_symlink("missing", medium_ / "a" / "dangling");

  // A full recursive walk ends and sees every link once, as a file.
  std::vector<std::u16string> links;
  int folders = 0;
  std::function<void(Folder&)> walk = [&](Folder& f) {
    DirEntry e;
    while (f.Next(e)) {
      if (e.symlink) {
        EXPECT_FALSE(e.directory);
        EXPECT_TRUE(e.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        EXPECT_FALSE(e.attributes & FILE_ATTRIBUTE_DIRECTORY);
        links.push_back(e.name);
      }
      if (e.directory) {
        ++folders;
        Folder child = f.OpenSubfolder(e.name);
        ASSERT_TRUE(child.IsOpen());
        walk(child);
      }
    }
  };
  Folder root = Folder::Open("D:\\");
  walk(root);
  std::sort(links.begin(), links.end());
  EXPECT_EQ(links, (std::vector<std::u16string>{u"dangling", u"outside", u"up"}));
  EXPECT_EQ(folders, 2);

  Folder a = Folder::Open("D:\\a");
  auto entries = List(a);
  EXPECT_EQ(entries.at(u"outside").size, 1u) << "the size of the link itself";
  EXPECT_FALSE(a.OpenSubfolder(u"outside").IsOpen());
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_FALSE(Folder::Open("D:\\a\\b\\up").IsOpen());
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(Folder::Open("D:\\a\\outside\\etc").IsOpen());
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(WalkTest, MalformedNamesRoundTrip) {
  const std::string bad = "bad\xFF name";
  WriteText(medium_ / bad / "inner.txt", "12");
  Folder root = Folder::Open("D:\\");
  DirEntry e;
  ASSERT_TRUE(root.Next(e));
  EXPECT_EQ(e.name, u"bad\xDCFF name");
  Folder sub = root.OpenSubfolder(e.name);
  ASSERT_TRUE(sub.IsOpen());
  ASSERT_TRUE(sub.Next(e));
  EXPECT_EQ(e.name, u"inner.txt");

  WIN32_FIND_DATAA fd;
  const std::string pattern = "D:\\" + volumes::NameToDisk(u"bad\xDCFF name") + "\\*.*";
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fd.cFileName, u"inner.txt");
  FindClose(h);
}

TEST_F(WalkTest, FindFirstAndNextFile) {
  WriteText(medium_ / "sub" / "one", "1");
  WriteText(medium_ / "sub" / "two", "22");
  fs::create_directories(medium_ / "empty");
  {
    const int fd = ::open((medium_ / "sub" / "huge").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(fd, (1ll << 32) + 7), 0);
    ::close(fd);
  }

  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA("d:/sub/*.*", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::map<std::u16string, ULONGLONG> sizes;
  do {
    sizes[fd.cFileName] = (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  } while (FindNextFileA(h, &fd));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  EXPECT_EQ(sizes, (std::map<std::u16string, ULONGLONG>{{u"one", 1}, {u"two", 2}, {u"huge", (1ull << 32) + 7}}));
  EXPECT_FALSE(FindClose(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  struct Case {
    const char* pattern;
    DWORD error;
  };
  const Case failures[] = {
      {"D:\\empty\\*.*", ERROR_FILE_NOT_FOUND},  // listed, nothing in it
      {"D:\\missing\\*.*", ERROR_PATH_NOT_FOUND},
      {"D:\\sub\\one\\*.*", ERROR_PATH_NOT_FOUND},
      {"D:\\sub\\*.txt", ERROR_INVALID_NAME},
      {"D:\\sub", ERROR_INVALID_NAME},
      {"Q:\\*.*", ERROR_INVALID_DRIVE},
  };
  for (const Case& c : failures) {
    EXPECT_EQ(FindFirstFileA(c.pattern, &fd), INVALID_HANDLE_VALUE) << c.pattern;
    EXPECT_EQ(GetLastError(), c.error) << c.pattern;
  }
  h = FindFirstFileA("D:\\sub\\..\\..\\..\\*", &fd);  // ".." stops at the drive's root
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  drive_->SetReady(false);
  EXPECT_EQ(FindFirstFileA("D:\\*.*", &fd), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(WalkTest, DeepPathsOpen) {
  fs::path p = medium_;
  std::string drivePath = "D:";
  for (int level = 0; level < 60; ++level) {
    const std::string name = "level-" + std::to_string(level) + "-with-a-longer-name";
    p /= name;
    drivePath += "\\" + name;
  }
  WriteText(p / "leaf.txt", "leaf");
  Folder f = Folder::Open(drivePath);
  ASSERT_TRUE(f.IsOpen()) << GetLastError();
  DirEntry e;
  ASSERT_TRUE(f.Next(e));
  EXPECT_EQ(e.name, u"leaf.txt");
}

// Another file system below the drive's root is shown as an empty folder. /proc is one
// below "/" on every Linux system.
TEST_F(VolumesTest, MountPointsAreShownButNotEntered) {
  struct stat root, proc;
  if (::stat("/", &root) != 0 || ::stat("/proc", &proc) != 0 || root.st_dev == proc.st_dev)
    GTEST_SKIP() << "/proc is not a separate file system here";
  FixtureDrive c('C', DRIVE_FIXED, "/");
  Folder top = Folder::Open("C:\\");
  DirEntry e;
  bool seen = false;
  while (top.Next(e)) {
    if (e.name != u"proc") continue;
    seen = true;
    EXPECT_TRUE(e.directory);
    EXPECT_TRUE(e.mountPoint);
    EXPECT_TRUE(e.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }
  EXPECT_TRUE(seen);
  Folder below[] = {Folder::Open("C:\\proc"), Folder::Open("C:\\proc\\self"), top.OpenSubfolder(u"proc")};
  for (Folder& f : below) {
    EXPECT_TRUE(f.IsOpen());
    EXPECT_FALSE(f.Next(e));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  }
}

}  // namespace
