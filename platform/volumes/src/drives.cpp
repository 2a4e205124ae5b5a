// Drive letters over mount points and devices, and the kernel functions on drives:
// types, labels and free space.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "internal.h"
#include "programfolder.h"
#include "sysfs.h"

namespace volumes::detail {

namespace {

constexpr std::size_t kMaxLabelBytes = 255;
constexpr std::string_view kLabelTempName = ".xendora-label.tmp";
constexpr auto kSysfsRefresh = std::chrono::seconds(1);

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string(fallback);
}

// Identity of a file's state, to notice that it changed.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  std::int64_t mtime = 0, ctime = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
  FileStamp s;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  s.ctime = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
  return s;
}

// ---- Mount table cache ----------------------------------------------------------
// The kernel's mount table signals a change to poll() with POLLPRI; any other file (a
// test's sample) is re-read when its stamp changes.
class MountTable {
 public:
  const std::vector<Mount>& Get(const std::string& path, unsigned& generation) {
    bool reread = path != path_;
    if (!reread) {
      if (pollFd_ >= 0) {
        pollfd p{pollFd_, POLLPRI, 0};
        reread = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR));
      } else {
        // A kernel file that could not be opened for polling shows no changes in its
        // stamp: read it again each time.
        reread = path.rfind("/proc/", 0) == 0 || StampOf(path) != stamp_;
      }
    }
    if (reread) Load(path);
    generation = generation_;
    return mounts_;
  }

 private:
  void Load(const std::string& path) {
    if (path != path_) {
      if (pollFd_ >= 0) ::close(pollFd_);
      pollFd_ = -1;
      if (path.rfind("/proc/", 0) == 0) pollFd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      path_ = path;
    }
    stamp_ = StampOf(path);
    std::string text;
    if (!ReadFile(path, text)) text.clear();
    mounts_ = ParseMountinfo(text);
    ++generation_;
  }

  std::string path_;
  int pollFd_ = -1;
  FileStamp stamp_;
  std::vector<Mount> mounts_;
  unsigned generation_ = 0;
};

// ---- Drive table cache ----------------------------------------------------------
class TableFile {
 public:
  const DriveTable& Get(const std::string& path, unsigned& generation) {
    FileStamp stamp = StampOf(path);
    if (!stamp.exists && path != createdFor_) {
      // First use in this program folder: write the explained, empty table.
      createdFor_ = path;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        const std::size_t len = std::strlen(kDriveTableHeader);
        const bool ok = ::write(fd, kDriveTableHeader, len) == static_cast<ssize_t>(len);
        ::close(fd);
        if (!ok) ::unlink(path.c_str());
        stamp = StampOf(path);
      }
    }
    if (path != path_ || !(stamp == stamp_)) {
      path_ = path;
      stamp_ = stamp;
      std::string text;
      if (!stamp.exists || !ReadFile(path, text)) text.clear();
      table_ = ParseDriveTable(text, BaseName(path));
      for (const std::string& w : table_.warnings) std::fprintf(stderr, "xendora: %s\n", w.c_str());
      ++generation_;
    }
    generation = generation_;
    return table_;
  }

 private:
  std::string path_, createdFor_;
  FileStamp stamp_;
  DriveTable table_;
  unsigned generation_ = 0;
};

struct State {
  std::mutex mutex;
  MountTable mountTable;
  TableFile tableFile;
  Snapshot snapshot;
  bool built = false;
  unsigned mountGeneration = 0, tableGeneration = 0;
  std::string sysfs;
  std::chrono::steady_clock::time_point builtAt;
};

State& TheState() {
  static State* state = new State;  // lives as long as the process; no order of destruction
  return *state;
}

// Brings the snapshot up to date; the state's mutex must be held.
void Refresh(State& s) {
  unsigned mg = 0, tg = 0;
  const std::vector<Mount>& mounts = s.mountTable.Get(MountinfoPath(), mg);
  const DriveTable& table = s.tableFile.Get(DriveTablePath(), tg);
  const std::string sysfs = SysfsPath();
  const auto now = std::chrono::steady_clock::now();
  if (!s.built || mg != s.mountGeneration || tg != s.tableGeneration || sysfs != s.sysfs ||
      now - s.builtAt >= kSysfsRefresh) {
    BuildSnapshot(s.snapshot, mounts, table, sysfs);
    s.built = true;
    s.mountGeneration = mg;
    s.tableGeneration = tg;
    s.sysfs = sysfs;
    s.builtAt = now;
  }
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A root path: "X:\", "X:/" or "X:".
bool ParseRoot(const char* root, char& letter) {
  if (!root) return false;
  std::vector<std::string> components;
  const std::string_view s(root);
  return s.size() >= 2 && s.size() <= 3 && ParseDrivePath(s, letter, components) && components.empty();
}

// The drive's file system label from /dev/disk/by-label, which names each label as a link
// to its device, with udev's \xNN escapes.
std::string FileSystemLabel(const Drive& d) {
  if (d.kind == Drive::Kind::Fixture) return d.fixtureLabel;
  DeviceIdentity id;
  if (d.mount) {
    if (d.mount->major != 0) id.numbers.emplace_back(d.mount->major, d.mount->minor);
    if (d.mount->source.rfind("/dev/", 0) == 0) {
      id.paths.push_back(d.mount->source);
      id.paths.push_back(RealPathOr(d.mount->source));
    }
  }
  if (d.kind == Drive::Kind::Device) {
    id.paths.push_back(d.path);
    id.paths.push_back(RealPathOr(d.path));
  }
  if (id.numbers.empty() && id.paths.empty()) return "";
  const std::string dirPath = DiskByLabelPath();
  DIR* dir = ::opendir(dirPath.c_str());
  if (!dir) return "";
  std::string label;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string link = dirPath + "/" + e->d_name;
    bool match = false;
    struct stat st;
    if (::stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      for (const auto& [maj, min] : id.numbers)
        match = match || (::major(st.st_rdev) == maj && ::minor(st.st_rdev) == min);
    }
    std::string real;
    if (!match && RealPath(link, real))
      match = std::find(id.paths.begin(), id.paths.end(), real) != id.paths.end();
    if (!match) continue;
    const std::string_view name(e->d_name);
    for (std::size_t i = 0; i < name.size(); ++i) {
      unsigned v;
      if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
          std::sscanf(std::string(name.substr(i + 2, 2)).c_str(), "%2x", &v) == 1) {
        label.push_back(static_cast<char>(v));
        i += 3;
      } else {
        label.push_back(name[i]);
      }
    }
    break;
  }
  ::closedir(dir);
  return label;
}

// The label of a ready drive: the label file, else the file system's label.
bool ReadLabel(const Drive& d, int rootFd, std::string& label) {
  const int fd = ::openat(rootFd, std::string(kLabelFileName).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      std::string text;
      char buf[4096];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      ::close(fd);
      if (n < 0) return Failed(ErrorFromErrno(errno));
      label = FirstLine(std::string(buf, static_cast<std::size_t>(n)));
      return true;
    }
    ::close(fd);
  }
  label = FileSystemLabel(d);
  return true;
}

int OpenRoot(const Drive& d) {
  const int fd = ::open(d.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) SetLastError(errno == ENOENT ? ERROR_NOT_READY : ErrorFromErrno(errno));
  return fd;
}

struct Sizes {
  ULONGLONG total = 0, free = 0, available = 0, unit = 512;
};

bool SizesOf(const Drive& d, Sizes& sizes) {
  if (d.kind == Drive::Kind::Fixture && d.sized) {
    sizes.total = d.totalBytes;
    sizes.free = sizes.available = d.freeBytes;
    sizes.unit = 1;
    for (ULONGLONG u : {4096ull, 2048ull, 1024ull, 512ull}) {
      if (sizes.total % u == 0 && sizes.free % u == 0) {
        sizes.unit = u;
        break;
      }
    }
    return true;
  }
  const int fd = OpenRoot(d);
  if (fd < 0) return false;
  struct statvfs vfs;
  const int rc = ::fstatvfs(fd, &vfs);
  const int err = errno;
  ::close(fd);
  if (rc != 0) return Failed(ErrorFromErrno(err));
  const ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  auto times = [](ULONGLONG a, ULONGLONG b) {  // saturating
    return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
  };
  sizes.total = times(vfs.f_blocks, unit);
  sizes.free = times(vfs.f_bfree, unit);
  sizes.available = times(vfs.f_bavail, unit);
  sizes.unit = unit ? unit : 1;
  return true;
}

// The sizes of the ready drive of a drive path.
bool SizesOfPath(const char* drivePath, Sizes& sizes) {
  if (!drivePath) return Failed(ERROR_INVALID_PARAMETER);
  Drive d;
  std::vector<std::string> components;
  return ReadyDrive(drivePath, d, components) && SizesOf(d, sizes);
}

}  // namespace

std::string MountinfoPath() { return EnvOr("XENDORA_MOUNTINFO", "/proc/self/mountinfo"); }
std::string SysfsPath() { return EnvOr("XENDORA_SYSFS", "/sys"); }
std::string DiskByLabelPath() { return EnvOr("XENDORA_DISK_BY_LABEL", "/dev/disk/by-label"); }

bool ParseDrivePath(std::string_view path, char& letter, std::vector<std::string>& components) {
  components.clear();
  if (path.size() < 2 || path[1] != ':' || path.find('\0') != std::string_view::npos) return false;
  letter = path[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') return false;
  components = PathComponents(path.substr(2), "\\/");
  return true;
}

bool ResolveDrive(char letter, Drive& drive) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') return Failed(ERROR_INVALID_DRIVE);
  if (FixtureFromEnvironment(letter, drive)) {
    drive.ready = drive.ready && IsDirectory(drive.path);
    drive.root = drive.ready ? drive.path : std::string();
    return true;
  }
  State& s = TheState();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    Refresh(s);
    const Drive* d = s.snapshot.drives[letter - 'A'].get();
    if (!d) return Failed(ERROR_INVALID_DRIVE);
    drive = *d;
  }
  if (drive.kind == Drive::Kind::Folder) drive.ready = IsDirectory(drive.root);
  if (!drive.ready) drive.root.clear();
  return true;
}

bool ReadyDrive(std::string_view drivePath, Drive& drive, std::vector<std::string>& components) {
  char letter;
  if (!ParseDrivePath(drivePath, letter, components)) return Failed(ERROR_INVALID_NAME);
  if (!ResolveDrive(letter, drive)) return false;
  if (!drive.ready) return Failed(ERROR_NOT_READY);
  return true;
}

}  // namespace volumes::detail

using volumes::detail::Drive;
using volumes::detail::Fail;
using volumes::detail::Failed;

namespace volumes {

std::string DriveTablePath() { return (platform::ProgramFolder() / "drives.txt").string(); }

std::vector<std::string> DriveTableWarnings() {
  detail::State& s = detail::TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  detail::Refresh(s);
  return s.snapshot.warnings;
}

bool QueryDrive(char letter, DriveInfo& info) {
  Drive d;
  if (!detail::ResolveDrive(letter, d)) return false;
  info.letter = d.letter;
  info.type = d.type;
  info.ready = d.ready;
  info.root = d.root;
  info.source = d.source;
  info.fileSystem = d.fileSystem;
  info.origin = d.origin;
  info.name = d.name;
  return true;
}

std::vector<DriveInfo> ListDrives() {
  std::vector<DriveInfo> drives;
  for (char c = 'A'; c <= 'Z'; ++c) {
    DriveInfo info;
    if (QueryDrive(c, info)) drives.push_back(std::move(info));
  }
  return drives;
}

bool ToNativePath(std::string_view drivePath, std::string& nativePath) {
  Drive d;
  std::vector<std::string> components;
  if (!detail::ReadyDrive(drivePath, d, components)) return false;
  nativePath = d.root;
  for (const std::string& c : components) {
    if (nativePath.empty() || nativePath.back() != '/') nativePath.push_back('/');
    nativePath += c;
  }
  return true;
}

bool ToNativePath(std::string_view drivePath, const std::vector<std::u16string>& names, std::string& nativePath) {
  std::string path;
  if (!ToNativePath(drivePath, path)) return false;
  for (const std::u16string& name : names) {
    const std::string bytes = NameToDisk(name);
    if (bytes.empty() || bytes == "." || bytes == ".." ||
        bytes.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
      return Failed(ERROR_INVALID_NAME);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += bytes;
  }
  nativePath = std::move(path);
  return true;
}

bool ToDrivePath(std::string_view nativePath, std::string& drivePath) {
  if (nativePath.empty() || nativePath.front() != '/') return Failed(ERROR_PATH_NOT_FOUND);
  auto normalize = [](std::string_view p) { return detail::PathComponents(p, "/"); };
  std::string real;
  const std::vector<std::string> path =
      normalize(detail::RealPath(std::string(nativePath), real) ? std::string_view(real) : nativePath);
  const std::vector<DriveInfo> drives = ListDrives();
  const DriveInfo* best = nullptr;
  std::size_t bestDepth = 0;
  for (const DriveInfo& d : drives) {
    if (!d.ready) continue;
    const std::vector<std::string> root = normalize(detail::RealPathOr(d.root));
    if (root.size() > path.size() || !std::equal(root.begin(), root.end(), path.begin())) continue;
    if (!best || root.size() > bestDepth) {
      best = &d;
      bestDepth = root.size();
    }
  }
  if (!best) return Failed(ERROR_PATH_NOT_FOUND);
  std::string out{best->letter, ':', '\\'};
  for (std::size_t i = bestDepth; i < path.size(); ++i) {
    if (path[i].find('\\') != std::string::npos) return Failed(ERROR_INVALID_NAME);
    if (i > bestDepth) out.push_back('\\');
    out += path[i];
  }
  drivePath = std::move(out);
  return true;
}

}  // namespace volumes

// ---- Kernel functions ---------------------------------------------------------------

DWORD GetLogicalDrives() {
  DWORD mask = 0;
  for (char c = 'A'; c <= 'Z'; ++c) {
    Drive d;
    if (volumes::detail::ResolveDrive(c, d)) mask |= 1u << (c - 'A');
  }
  return mask;
}

UINT GetDriveTypeA(const char* lpRootPathName) {
  char letter;
  Drive d;
  if (!volumes::detail::ParseRoot(lpRootPathName, letter)) {
    SetLastError(ERROR_INVALID_NAME);
    return DRIVE_NO_ROOT_DIR;
  }
  if (!volumes::detail::ResolveDrive(letter, d)) return DRIVE_NO_ROOT_DIR;
  return d.type;
}

namespace {

bool RootDrive(const char* root, Drive& d) {
  char letter;
  if (!volumes::detail::ParseRoot(root, letter)) return Failed(ERROR_INVALID_NAME);
  if (!volumes::detail::ResolveDrive(letter, d)) return false;
  if (!d.ready) return Failed(ERROR_NOT_READY);
  return true;
}

bool CopyOut(const std::string& text, char* buffer, DWORD size) {
  if (!buffer) return true;
  if (text.size() + 1 > size) return Failed(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

BOOL GetVolumeInformationA(const char* lpRootPathName, char* lpVolumeNameBuffer,
                           DWORD nVolumeNameSize, DWORD* lpVolumeSerialNumber,
                           DWORD* lpMaximumComponentLength, DWORD* lpFileSystemFlags,
                           char* lpFileSystemNameBuffer, DWORD nFileSystemNameSize) {
  Drive d;
  if (!RootDrive(lpRootPathName, d)) return FALSE;
  const int fd = volumes::detail::OpenRoot(d);
  if (fd < 0) return FALSE;
  std::string label;
  struct statvfs vfs;
  const bool haveVfs = ::fstatvfs(fd, &vfs) == 0;
  const bool ok = volumes::detail::ReadLabel(d, fd, label);
  ::close(fd);
  if (!ok) return FALSE;
  if (!CopyOut(label, lpVolumeNameBuffer, nVolumeNameSize) ||
      !CopyOut(d.fileSystem, lpFileSystemNameBuffer, nFileSystemNameSize))
    return FALSE;
  if (lpVolumeSerialNumber) {
    const std::uint64_t fsid = haveVfs ? static_cast<std::uint64_t>(vfs.f_fsid) : 0;
    *lpVolumeSerialNumber = static_cast<DWORD>(fsid ^ (fsid >> 32));
  }
  if (lpMaximumComponentLength) *lpMaximumComponentLength = haveVfs ? static_cast<DWORD>(vfs.f_namemax) : 255;
  if (lpFileSystemFlags) {
    DWORD flags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    if ((haveVfs && (vfs.f_flag & ST_RDONLY)) || d.writeProtected) flags |= FILE_READ_ONLY_VOLUME;
    *lpFileSystemFlags = flags;
  }
  return TRUE;
}

BOOL SetVolumeLabelA(const char* lpRootPathName, const char* lpVolumeName) {
  using volumes::detail::ErrorFromErrno;
  Drive d;
  if (!RootDrive(lpRootPathName, d)) return FALSE;
  const std::string label = lpVolumeName ? lpVolumeName : "";
  if (label.size() > volumes::detail::kMaxLabelBytes) return Fail(ERROR_LABEL_TOO_LONG);
  for (unsigned char c : label)
    if (c < 0x20 || c == 0x7F) return Fail(ERROR_INVALID_NAME);
  if (d.writeProtected) return Fail(ERROR_WRITE_PROTECT);
  const int rootFd = volumes::detail::OpenRoot(d);
  if (rootFd < 0) return FALSE;
  struct statvfs vfs;
  if (::fstatvfs(rootFd, &vfs) == 0 && (vfs.f_flag & ST_RDONLY)) {
    ::close(rootFd);
    return Fail(ERROR_WRITE_PROTECT);
  }
  // Write a new file beside the old one and put it in place, so that a medium pulled out
  // half-way keeps its old label or has the new one, never a part of it.
  const std::string temp(volumes::detail::kLabelTempName);
  ::unlinkat(rootFd, temp.c_str(), 0);
  int err = 0;
  const int fd = ::openat(rootFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    err = errno;
  } else {
    const std::string text = label.empty() ? std::string() : label + "\n";
    if (!text.empty() && ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
      err = errno ? errno : ENOSPC;
    if (!err && ::fsync(fd) != 0 && errno != EINVAL) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::renameat(rootFd, temp.c_str(), rootFd, std::string(volumes::kLabelFileName).c_str()) != 0)
      err = errno;
    if (err) ::unlinkat(rootFd, temp.c_str(), 0);
  }
  if (!err) ::fsync(rootFd);
  ::close(rootFd);
  if (err) return Fail(ErrorFromErrno(err));
  return TRUE;
}

BOOL GetDiskFreeSpaceA(const char* lpRootPathName, DWORD* lpSectorsPerCluster,
                       DWORD* lpBytesPerSector, DWORD* lpNumberOfFreeClusters,
                       DWORD* lpTotalNumberOfClusters) {
  volumes::detail::Sizes s;
  if (!volumes::detail::SizesOfPath(lpRootPathName, s)) return FALSE;
  // Bytes per sector 512 where the unit allows; clusters grow until the counts fit.
  ULONGLONG bytesPerSector = s.unit % 512 == 0 ? 512 : std::min<ULONGLONG>(s.unit, 0xFFFFFFFFu);
  ULONGLONG sectorsPerCluster = std::max<ULONGLONG>(1, s.unit / bytesPerSector);
  while (s.total / (bytesPerSector * sectorsPerCluster) > 0xFFFFFFFFu && sectorsPerCluster < 0x80000000u)
    sectorsPerCluster *= 2;
  const ULONGLONG cluster = bytesPerSector * sectorsPerCluster;
  auto clamp32 = [](ULONGLONG v) { return static_cast<DWORD>(std::min<ULONGLONG>(v, 0xFFFFFFFFu)); };
  if (lpSectorsPerCluster) *lpSectorsPerCluster = clamp32(sectorsPerCluster);
  if (lpBytesPerSector) *lpBytesPerSector = clamp32(bytesPerSector);
  if (lpNumberOfFreeClusters) *lpNumberOfFreeClusters = clamp32(s.free / cluster);
  if (lpTotalNumberOfClusters) *lpTotalNumberOfClusters = clamp32(s.total / cluster);
  return TRUE;
}

BOOL GetDiskFreeSpaceExA(const char* lpDirectoryName, ULARGE_INTEGER* lpFreeBytesAvailableToCaller,
                         ULARGE_INTEGER* lpTotalNumberOfBytes,
                         ULARGE_INTEGER* lpTotalNumberOfFreeBytes) {
  volumes::detail::Sizes s;
  if (!volumes::detail::SizesOfPath(lpDirectoryName, s)) return FALSE;
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = s.available;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = s.total;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = s.free;
  return TRUE;
}
