// Drives and volumes: drive letters over Linux mount points and devices, drive types,
// volume labels, free space and directory walks, with the kernel's names, narrow "A"
// signatures, "X:\" root paths and error numbers (through GetLastError, per thread).
//
// Drive letters
//   A letter is, in this order of precedence:
//   1. a fixture drive of a test (volumes_fixture.h);
//   2. an entry of the drive table, the file "drives.txt" in the program folder
//      (platform::ProgramFolder()); its format is described in the comment the layer
//      writes at the top of the file when it creates it (see DriveTablePath());
//   3. an automatic letter for what /proc/self/mountinfo and /sys show, in these phases:
//      a. C: for "/";
//      b. from D: upwards, every optical drive (/sys/block/sr*, present even with no disc);
//      c. then every fixed data disk: a file system on a disk that is neither removable
//         (/sys/block/<disk>/removable) nor attached through USB, mounted outside the
//         system's own folders (/boot, /efi, /usr, /var, /opt, /tmp, /home, /root, /run ...)
//         and outside the folders plugged-in media are mounted under (/media, /run/media,
//         /mnt/usb), and not the device of "/" itself (a second partition at /mnt/data or
//         /srv), in the order of their mount points;
//      d. then every mounted file system on a removable disk, of an optical kind (iso9660,
//         udf) or on a hard disk plugged in (on USB, or mounted under /media), in mount order;
//      e. network mounts (nfs, nfs4, cifs, smb3, smbfs, sshfs) from Z: downwards.
//      So plugging a medium in or out never moves the letter of an optical drive, a fixed
//      disk or a share: they all come before (or, for shares, apart from) the media, whose
//      letters close up behind them. A: and B: are never given automatically. tmpfs and
//      other virtual file systems get no automatic letter (a RAM disk needs a table entry,
//      or is the root itself).
//   A device drive (an optical drive, a removable file system, a table entry naming a
//   block device) is ready while its medium is mounted, wherever it is mounted; a
//   folder entry of the table of type removable, cdrom, remote, ramdisk or auto is ready
//   while something is mounted on it (so that an unmounted share never looks like an
//   empty disk); a fixed folder entry while the folder exists.
//
// Types come from the mount: CD-ROM (sr devices, iso9660, udf), remote (network file
// systems), RAM disk (tmpfs, ramfs), removable (/sys/block/<disk>/removable), else fixed.
//
// Volume labels
//   A medium's label is the first line of the hidden file ".xendora-label" at the root of
//   the drive (UTF-8); while that file is absent, the file system's own label
//   (/dev/disk/by-label) is read. SetVolumeLabelA writes the file (an empty label is an
//   empty file); a read-only medium refuses with ERROR_WRITE_PROTECT, a folder the user
//   may not write with ERROR_ACCESS_DENIED. Walks leave the label file out of the
//   drive's root folder.
//
// Names
//   On disk a name is a string of bytes, normally UTF-8; in the catalog it is UTF-16.
//   NameFromDisk decodes UTF-8 and turns every byte that is not part of a valid UTF-8
//   sequence into the lone low surrogate U+DC00 + byte (U+DC80..U+DCFF); NameToDisk
//   turns such a lone surrogate back into its byte. The round trip bytes -> UTF-16 ->
//   bytes is exact for every name, so a folder or file with a malformed name can be
//   catalogued, compared and opened again.
//   Narrow strings of the "A" functions (root paths, drive paths, labels) are bytes as
//   on disk (UTF-8); build a drive path from catalog names with NameToDisk.
//
// Walks
//   volumes::Folder lists one folder of a drive: name, attributes, 64-bit size, creation
//   time (the birth time where the file system keeps one, else the change time),
//   last-write and last-access times as FILETIMEs (UTC); hidden entries included, "."
//   and ".." skipped. Subfolders are opened relative to their parent's descriptor, with
//   no path resolution per entry.
//   - A symbolic link is never followed: it is reported as a file (not a directory) with
//     FILE_ATTRIBUTE_REPARSE_POINT, the size and times of the link itself.
//   - A folder on which another file system is mounted is reported as a directory with
//     FILE_ATTRIBUTE_REPARSE_POINT (DirEntry::mountPoint) and lists as empty: the walk
//     shows that the folder exists and never enters the other file system.
//   - Other special files (devices, pipes, sockets) are reported as files of size 0.
//   - A folder's size is 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wintypes.h"

// Drive types (GetDriveTypeA).
inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

// Entry attributes of a walk.
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;   // no write permission bit set
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;     // the name begins with "."
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;    // a regular file
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;     // none of the others
inline constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;  // a link or a mount point

// File system flags (GetVolumeInformationA).
inline constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
inline constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
inline constexpr DWORD FILE_UNICODE_ON_DISK = 0x00000004;
inline constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;

using HANDLE = void*;
#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#endif

// Root paths: "X:\" (the letter in either case; "X:" and "X:/" are taken as well).
// Every function sets GetLastError on failure: ERROR_INVALID_NAME for a malformed root,
// ERROR_INVALID_DRIVE for a letter with no drive, ERROR_NOT_READY for a drive without
// its medium, or the error of the failing file-system call.

// Bit i set: the letter 'A' + i is a drive (ready or not).
DWORD GetLogicalDrives();

// DRIVE_NO_ROOT_DIR for a malformed root or a letter with no drive; a drive that is not
// ready keeps its type.
UINT GetDriveTypeA(const char* lpRootPathName);

// The volume label (lpVolumeNameBuffer, nVolumeNameSize characters including the
// terminating NUL), a volume serial number, the longest name, the file system flags and
// the file system's name ("ext4", "vfat", "iso9660", "nfs4"...). Any pointer may be null.
// FALSE with ERROR_NOT_READY when the drive has no medium, ERROR_INSUFFICIENT_BUFFER
// when a text does not fit.
BOOL GetVolumeInformationA(const char* lpRootPathName, char* lpVolumeNameBuffer,
                           DWORD nVolumeNameSize, DWORD* lpVolumeSerialNumber,
                           DWORD* lpMaximumComponentLength, DWORD* lpFileSystemFlags,
                           char* lpFileSystemNameBuffer, DWORD nFileSystemNameSize);

// Writes the label (null or "" for an empty label). FALSE with ERROR_NOT_READY,
// ERROR_WRITE_PROTECT (read-only medium), ERROR_ACCESS_DENIED (no write permission),
// ERROR_LABEL_TOO_LONG (more than 255 bytes), ERROR_INVALID_NAME (a control character),
// ERROR_DISK_FULL.
BOOL SetVolumeLabelA(const char* lpRootPathName, const char* lpVolumeName);

// Drive geometry: sectors per cluster × bytes per sector is the allocation unit. On a
// large volume the cluster grows so that the cluster counts fit 32 bits; multiply the
// three factors in 64 bits (ULONGLONG) to get byte counts. Any pointer may be null.
BOOL GetDiskFreeSpaceA(const char* lpRootPathName, DWORD* lpSectorsPerCluster,
                       DWORD* lpBytesPerSector, DWORD* lpNumberOfFreeClusters,
                       DWORD* lpTotalNumberOfClusters);

// Byte counts of the drive holding lpDirectoryName (a root or any drive path): free bytes
// available to this user, total bytes, total free bytes. Any pointer may be null.
BOOL GetDiskFreeSpaceExA(const char* lpDirectoryName, ULARGE_INTEGER* lpFreeBytesAvailableToCaller,
                         ULARGE_INTEGER* lpTotalNumberOfBytes,
                         ULARGE_INTEGER* lpTotalNumberOfFreeBytes);

// -1, 0 or 1 as the first time is earlier than, equal to or later than the second.
LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2);

// One entry of a folder listing (FindFirstFileA / FindNextFileA). cFileName is the
// catalog form of the name (UTF-16, see Names above), not a narrow string.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh = 0;
  DWORD nFileSizeLow = 0;
  std::u16string cFileName;
};

// Lists the folder of a pattern in drive-letter form whose last component is "*" or
// "*.*" (every entry): "D:\Music\*.*". "." and ".." are not delivered, so an empty folder
// gives INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND, which means "listed, nothing in
// it"; a folder that cannot be listed gives another error (ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_NOT_READY...). Any other pattern: ERROR_INVALID_NAME.
HANDLE FindFirstFileA(const char* lpFileName, WIN32_FIND_DATAA* lpFindFileData);
// FALSE with ERROR_NO_MORE_FILES at the end; any other error means the listing broke
// off and is incomplete.
BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

namespace volumes {

// The catalog form of an on-disk name, and back (see Names above). NameToDisk writes a
// lone surrogate outside U+DC80..U+DCFF, which no disk name produces, as U+FFFD.
std::u16string NameFromDisk(std::string_view bytes);
std::string NameToDisk(std::u16string_view name);

// A Unix time as a FILETIME (100 ns since 1601-01-01 UTC); times before 1601 give 0.
FILETIME FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);

// The name of the label file at a medium's root.
inline constexpr std::string_view kLabelFileName = ".xendora-label";

enum class DriveOrigin { Automatic, Table, Fixture };

struct DriveInfo {
  char letter = 0;           // 'A'..'Z'
  UINT type = DRIVE_UNKNOWN;
  bool ready = false;
  std::string root;          // the folder of the drive's root while ready, else ""
  std::string source;        // the device ("/dev/sr0"), the share ("nas:/export",
                             // "//nas/music") or the folder the drive names
  std::string fileSystem;    // "ext4", "iso9660", "nfs4"... ("" when not known)
  DriveOrigin origin = DriveOrigin::Automatic;
  std::string name;  // the name a drive table entry gives the drive ("" for none)
};

// Every drive, in letter order.
std::vector<DriveInfo> ListDrives();
// The drive of a letter (either case); false with ERROR_INVALID_DRIVE when there is none.
bool QueryDrive(char letter, DriveInfo& info);

// The drive table file, and the problems its last reading found ("drives.txt:4: ...").
// Lines with a problem are left out; the rest of the table holds.
std::string DriveTablePath();
std::vector<std::string> DriveTableWarnings();

// "D:\Music\a.mp3" -> "/media/stick/Music/a.mp3" (either separator; "." and ".." are
// resolved by name and never leave the drive's root). False with GetLastError set.
bool ToNativePath(std::string_view drivePath, std::string& nativePath);
// The native path of catalog names below a drive path: "D:\" and {u"Music", u"a\\b.mp3"} ->
// "/media/stick/Music/a\b.mp3". Each name is one component, turned back into its bytes with
// NameToDisk, so a name holding "\" or a byte that is not UTF-8 names that very file. False
// with GetLastError set: ERROR_INVALID_NAME for a name that no folder entry can have (empty,
// "." or "..", holding "/" or NUL), else as ToNativePath.
bool ToNativePath(std::string_view drivePath, const std::vector<std::u16string>& names, std::string& nativePath);
// "/media/stick/Music" -> "D:\Music": the ready drive whose root holds the path most
// closely. False with ERROR_PATH_NOT_FOUND when no drive holds it, ERROR_INVALID_NAME
// when a component holds a backslash (a drive path cannot express it).
bool ToDrivePath(std::string_view nativePath, std::string& drivePath);

struct DirEntry {
  std::u16string name;            // catalog form
  DWORD attributes = 0;           // FILE_ATTRIBUTE_*
  bool directory = false;         // a folder (descend with OpenSubfolder); never a link
  bool symlink = false;           // a symbolic link, reported as a file
  bool mountPoint = false;        // a folder with another file system on it; lists empty
  ULONGLONG size = 0;             // bytes; 0 for folders
  FILETIME creationTime;          // birth time, else change time
  FILETIME lastWriteTime;
  FILETIME lastAccessTime;
};

// One open folder of a drive. Move-only; the descriptor is closed with the object.
class Folder {
 public:
  Folder() noexcept = default;
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder();

  // Opens a folder given in drive-letter form ("D:\", "D:\Music", "d:/music/"). Every
  // component below the root is opened without following symbolic links; a component
  // that is a mount point gives an open, empty folder. On failure the result is not
  // open and GetLastError says why: ERROR_INVALID_NAME, ERROR_INVALID_DRIVE,
  // ERROR_NOT_READY, ERROR_PATH_NOT_FOUND (missing, not a folder, or a link),
  // ERROR_ACCESS_DENIED...
  static Folder Open(std::string_view drivePath);

  // Opens a subfolder of this folder by its catalog name, relative to this folder's
  // descriptor. A link or a non-folder gives ERROR_DIRECTORY, a missing one
  // ERROR_PATH_NOT_FOUND; a mount point gives an open, empty folder.
  Folder OpenSubfolder(std::u16string_view name) const;
  // The same for an entry this folder listed, with what its listing already found out about
  // it (a folder, a mount point), so the entry is not examined a second time. Safe to call
  // from several threads at once on one folder.
  Folder OpenSubfolder(const DirEntry& entry) const;

  bool IsOpen() const { return fd_ >= 0 || empty_; }

  // The next entry. False at the end with ERROR_NO_MORE_FILES; false with any other
  // error when reading the folder failed: the listing is then incomplete. An entry that
  // vanishes while the folder is read is passed over.
  bool Next(DirEntry& entry);

 private:
  // Opens the subfolder `name` (bytes as on disk) of the folder open at `parentFd`.
  static Folder Child(int parentFd, const std::string& name, std::uint64_t rootDev);
  // The same once the entry is known to be a folder on the drive's file system.
  static Folder OpenChildFolder(int parentFd, const std::string& name, std::uint64_t rootDev);

  int fd_ = -1;
  void* dir_ = nullptr;         // DIR*
  bool empty_ = false;          // a mount point: open, lists nothing
  bool driveRoot_ = false;      // the drive's root folder: the label file is not listed
  std::uint64_t rootDev_ = 0;   // the drive's file system; entries on another are mount points
};

// A depth-first walk of a folder tree whose listings are read ahead on worker threads: while
// the caller works through one folder, the folders it will enter next are opened and listed,
// in the order it will enter them. The caller sees exactly what a walk of its own with
// Folder::OpenSubfolder and Folder::Next would see, only sooner; everything it is given is
// handed over on its own thread. What is read ahead is bounded (folders and entries), and what
// the caller leaves or skips is dropped. With no workers, every folder is opened and listed
// when it is entered.
class WalkAhead {
 public:
  struct Listing {
    bool open = false;              // the folder could be opened (else it lists nothing)
    std::vector<DirEntry> entries;  // in the order the folder gave them
    bool complete = false;          // read to its end (Next ended with ERROR_NO_MORE_FILES)
  };

  // How far the workers read ahead of the walk: folders listed and not yet entered, and the
  // entries they hold. Stopped at a bound, they start again below half of it. Few of those
  // folders stay open: a folder is closed once its last subfolder is opened.
  struct Bounds {
    std::size_t folders = 1024;
    std::size_t entries = 65536;
  };

  // Walks the tree of `top` (an open folder) with `workers` threads reading ahead.
  WalkAhead(Folder top, unsigned workers) : WalkAhead(std::move(top), workers, Bounds{}) {}
  WalkAhead(Folder top, unsigned workers, Bounds bounds);
  ~WalkAhead();
  WalkAhead(const WalkAhead&) = delete;
  WalkAhead& operator=(const WalkAhead&) = delete;

  // The number of workers a walk of a whole disk uses on this machine.
  static unsigned DefaultWorkers();

  // The top folder, listed; it becomes the current folder. Called once, first.
  const Listing& Top();
  // Enters the subfolder that is entry `index` of the current folder (a directory entry) and
  // gives its listing, valid until it is left.
  const Listing& Enter(std::size_t index);
  // Declares that the subfolder of entry `index` of the current folder will not be entered.
  void Skip(std::size_t index);
  // Goes back from the current folder to its parent; nothing below it is entered any more.
  void Leave();

 private:
  struct Node;
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<Node>> stack_;  // the top folder down to the current one
  std::vector<std::shared_ptr<Node>> retiring_;  // left, handed to the workers in batches
};

}  // namespace volumes
