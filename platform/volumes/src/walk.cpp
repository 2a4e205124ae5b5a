// Directory walks: folders of a drive opened relative to their parent's descriptor, one
// statx per entry, never following links, never entering another file system.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "internal.h"

namespace volumes {

namespace {

constexpr unsigned kEntryMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_CTIME |
                                STATX_ATIME | STATX_BTIME;
constexpr int kEntryFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

std::uint64_t DevOf(const struct statx& sx) { return makedev(sx.stx_dev_major, sx.stx_dev_minor); }

FILETIME TimeOf(const struct statx_timestamp& t) {
  return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

// A folder on which another file system is mounted, or the root of a bind mount.
bool OnOtherFileSystem(const struct statx& sx, std::uint64_t rootDev) {
  return DevOf(sx) != rootDev ||
         ((sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT));
}

bool IsLabelFile(const char* name) {
  return std::strcmp(name, ".xendora-label") == 0 || std::strcmp(name, ".xendora-label.tmp") == 0;
}

void Fill(DirEntry& e, const char* name, const struct statx& sx, std::uint64_t rootDev) {
  e.name = NameFromDisk(name);
  const mode_t mode = sx.stx_mode;
  e.symlink = S_ISLNK(mode);
  e.directory = S_ISDIR(mode);
  e.mountPoint = e.directory && OnOtherFileSystem(sx, rootDev);
  e.size = (S_ISREG(mode) || e.symlink) ? sx.stx_size : 0;
  e.lastWriteTime = TimeOf(sx.stx_mtime);
  e.lastAccessTime = TimeOf(sx.stx_atime);
  e.creationTime = (sx.stx_mask & STATX_BTIME) ? TimeOf(sx.stx_btime) : TimeOf(sx.stx_ctime);
  DWORD a = 0;
  if (e.directory) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (name[0] == '.') a |= FILE_ATTRIBUTE_HIDDEN;
  if (!e.symlink && (mode & 0222) == 0) a |= FILE_ATTRIBUTE_READONLY;
  if (S_ISREG(mode)) a |= FILE_ATTRIBUTE_ARCHIVE;
  if (e.symlink || e.mountPoint) a |= FILE_ATTRIBUTE_REPARSE_POINT;
  e.attributes = a ? a : FILE_ATTRIBUTE_NORMAL;
}

}  // namespace

Folder::Folder(Folder&& other) noexcept
    : fd_(other.fd_), dir_(other.dir_), empty_(other.empty_), driveRoot_(other.driveRoot_),
      rootDev_(other.rootDev_) {
  other.fd_ = -1;
  other.dir_ = nullptr;
  other.empty_ = false;
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    this->~Folder();
    fd_ = other.fd_;
    dir_ = other.dir_;
    empty_ = other.empty_;
    driveRoot_ = other.driveRoot_;
    rootDev_ = other.rootDev_;
    other.fd_ = -1;
    other.dir_ = nullptr;
    other.empty_ = false;
  }
  return *this;
}

Folder::~Folder() {
  if (dir_) {
    ::closedir(static_cast<DIR*>(dir_));
  } else if (fd_ >= 0) {
    ::close(fd_);
  }
  dir_ = nullptr;
  fd_ = -1;
}

Folder Folder::Child(int parentFd, const std::string& name, std::uint64_t rootDev) {
  Folder f;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return f;
  }
  struct statx sx;
  if (::statx(parentFd, name.c_str(), kEntryFlags, STATX_TYPE | STATX_MODE, &sx) != 0) {
    SetLastError(detail::ErrorFromErrno(errno));
    return f;
  }
  if (!S_ISDIR(sx.stx_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return f;
  }
  f.rootDev_ = rootDev;
  if (OnOtherFileSystem(sx, rootDev)) {  // shown, never entered
    f.empty_ = true;
    return f;
  }
  return OpenChildFolder(parentFd, name, rootDev);
}

Folder Folder::OpenChildFolder(int parentFd, const std::string& name, std::uint64_t rootDev) {
  Folder f;
  f.rootDev_ = rootDev;
  const int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == ELOOP || errno == ENOTDIR ? ERROR_DIRECTORY : detail::ErrorFromErrno(errno));
    return f;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || st.st_dev != rootDev) {  // swapped for a mount meanwhile
    ::close(fd);
    f.empty_ = true;
    return f;
  }
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    SetLastError(detail::ErrorFromErrno(errno));
    ::close(fd);
    return f;
  }
  f.fd_ = fd;
  f.dir_ = dir;
  return f;
}

Folder Folder::Open(std::string_view drivePath) {
  detail::Drive drive;
  std::vector<std::string> components;
  if (!detail::ReadyDrive(drivePath, drive, components)) return Folder();
  const int rootFd = ::open(drive.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) {
    SetLastError(errno == ENOENT ? ERROR_NOT_READY : detail::ErrorFromErrno(errno));
    return Folder();
  }
  struct stat st;
  if (::fstat(rootFd, &st) != 0) {
    SetLastError(detail::ErrorFromErrno(errno));
    ::close(rootFd);
    return Folder();
  }
  Folder f;
  f.rootDev_ = st.st_dev;
  f.fd_ = rootFd;
  f.driveRoot_ = true;
  for (const std::string& c : components) {
    if (f.empty_) break;  // below a mount point there is nothing
    Folder child = Child(f.fd_, c, f.rootDev_);
    if (!child.IsOpen()) {
      const DWORD err = GetLastError();
      SetLastError(err == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : err);
      return Folder();
    }
    f = std::move(child);
  }
  if (f.fd_ >= 0 && !f.dir_) {
    DIR* dir = ::fdopendir(f.fd_);
    if (!dir) {
      SetLastError(detail::ErrorFromErrno(errno));
      return Folder();
    }
    f.dir_ = dir;
  }
  return f;
}

Folder Folder::OpenSubfolder(std::u16string_view name) const {
  if (empty_ || fd_ < 0) {
    SetLastError(empty_ ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_HANDLE);
    return Folder();
  }
  return Child(fd_, NameToDisk(name), rootDev_);
}

Folder Folder::OpenSubfolder(const DirEntry& entry) const {
  if (empty_ || fd_ < 0) {
    SetLastError(empty_ ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_HANDLE);
    return Folder();
  }
  if (!entry.directory) {
    SetLastError(ERROR_DIRECTORY);
    return Folder();
  }
  if (entry.mountPoint) {  // shown, never entered
    Folder f;
    f.rootDev_ = rootDev_;
    f.empty_ = true;
    return f;
  }
  const std::string name = NameToDisk(entry.name);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return Folder();
  }
  return OpenChildFolder(fd_, name, rootDev_);
}

bool Folder::Next(DirEntry& entry) {
  if (!dir_) {
    SetLastError(empty_ ? ERROR_NO_MORE_FILES : ERROR_INVALID_HANDLE);
    return false;
  }
  DIR* dir = static_cast<DIR*>(dir_);
  for (;;) {
    errno = 0;
    const dirent64* e = ::readdir64(dir);
    if (!e) {
      SetLastError(errno ? detail::ErrorFromErrno(errno) : ERROR_NO_MORE_FILES);
      return false;
    }
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    if (driveRoot_ && IsLabelFile(name)) continue;
    struct statx sx;
    if (::statx(fd_, name, kEntryFlags, kEntryMask, &sx) != 0) {
      if (errno == ENOENT) continue;  // gone since the folder was read
      SetLastError(detail::ErrorFromErrno(errno));
      return false;
    }
    Fill(entry, name, sx, rootDev_);
    return true;
  }
}

}  // namespace volumes

// ---- FindFirstFileA / FindNextFileA over Folder --------------------------------------

namespace {

struct FindState {
  volumes::Folder folder;
};

std::mutex& HandlesMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::unordered_set<FindState*>& Handles() {
  static auto* handles = new std::unordered_set<FindState*>;
  return *handles;
}

void CopyEntry(const volumes::DirEntry& e, WIN32_FIND_DATAA* out) {
  out->dwFileAttributes = e.attributes;
  out->ftCreationTime = e.creationTime;
  out->ftLastAccessTime = e.lastAccessTime;
  out->ftLastWriteTime = e.lastWriteTime;
  out->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
  out->nFileSizeLow = static_cast<DWORD>(e.size & 0xFFFFFFFFu);
  out->cFileName = e.name;
}

FindState* Lookup(HANDLE h) {
  std::lock_guard<std::mutex> lock(HandlesMutex());
  auto* state = static_cast<FindState*>(h);
  return Handles().count(state) ? state : nullptr;
}

}  // namespace

HANDLE FindFirstFileA(const char* lpFileName, WIN32_FIND_DATAA* lpFindFileData) {
  if (!lpFileName || !lpFindFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string_view pattern(lpFileName);
  const std::size_t sep = pattern.find_last_of("\\/");
  const std::size_t colon = pattern.size() >= 2 && pattern[1] == ':' ? 1 : std::string_view::npos;
  const std::size_t cut = sep != std::string_view::npos ? sep : colon;
  if (cut == std::string_view::npos || (pattern.substr(cut + 1) != "*" && pattern.substr(cut + 1) != "*.*")) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  auto state = std::make_unique<FindState>();
  state->folder = volumes::Folder::Open(pattern.substr(0, cut + 1));
  if (!state->folder.IsOpen()) return INVALID_HANDLE_VALUE;
  volumes::DirEntry e;
  if (!state->folder.Next(e)) {
    if (GetLastError() == ERROR_NO_MORE_FILES) SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  CopyEntry(e, lpFindFileData);
  std::lock_guard<std::mutex> lock(HandlesMutex());
  Handles().insert(state.get());
  return state.release();
}

BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData) {
  FindState* state = Lookup(hFindFile);
  if (!state) return volumes::detail::Fail(ERROR_INVALID_HANDLE);
  if (!lpFindFileData) return volumes::detail::Fail(ERROR_INVALID_PARAMETER);
  volumes::DirEntry e;
  if (!state->folder.Next(e)) return FALSE;
  CopyEntry(e, lpFindFileData);
  return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
  {
    std::lock_guard<std::mutex> lock(HandlesMutex());
    if (!Handles().erase(static_cast<FindState*>(hFindFile))) return volumes::detail::Fail(ERROR_INVALID_HANDLE);
  }
  delete static_cast<FindState*>(hFindFile);
  return TRUE;
}
