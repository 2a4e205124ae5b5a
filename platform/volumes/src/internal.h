// Pieces shared by the layer's own sources: the mount table, the drive table, drive
// resolution and the error numbers of failed system calls.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "volumes.h"

namespace volumes::detail {

// The kernel error number for an errno value.
DWORD ErrorFromErrno(int err);
// Sets the thread's error and answers FALSE, for the kernel-style functions.
inline BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}
// The same, for functions answering bool.
inline bool Failed(DWORD code) {
  SetLastError(code);
  return false;
}

// The pieces of `text` between any of the `separators`, empty pieces included.
std::vector<std::string_view> Split(std::string_view text, std::string_view separators);
// The components of a path split at any of `separators`, with empty components and "."
// dropped and ".." taking back the previous component (never above the start).
std::vector<std::string> PathComponents(std::string_view path, std::string_view separators);

// ---- Mount table -------------------------------------------------------------------

struct Mount {
  unsigned major = 0, minor = 0;
  std::string root;        // the folder of the file system that is mounted ("/" for all of it)
  std::string mountPoint;
  std::string fsType;
  std::string source;
  bool readOnly = false;
};

std::vector<Mount> ParseMountinfo(std::string_view text);

// DRIVE_REMOTE, DRIVE_CDROM or DRIVE_RAMDISK for those kinds of file system, else 0.
UINT TypeOfFileSystem(std::string_view fsType);

// ---- Drive table -------------------------------------------------------------------

struct TableEntry {
  char letter = 0;
  std::string path;        // absolute folder or device path
  bool device = false;     // a path under /dev
  UINT type = DRIVE_UNKNOWN;  // DRIVE_UNKNOWN: "auto"
  std::string name;           // the name the user gave the drive ("" for none)
};

struct DriveTable {
  std::vector<TableEntry> entries;
  std::vector<std::string> warnings;
};

DriveTable ParseDriveTable(std::string_view text, std::string_view fileName);
extern const char kDriveTableHeader[];

// ---- Drives ------------------------------------------------------------------------

// What a letter stands for, with its readiness at the time the snapshot was taken.
struct Drive {
  enum class Kind {
    Folder,         // a table folder of type fixed: ready while it exists
    MountedFolder,  // a table folder that is ready while something is mounted on it
    Device,         // ready while the device is mounted
    Mount,          // an automatic mount ("/", a network share): gone when unmounted
    Fixture,
  };
  char letter = 0;
  Kind kind = Kind::Folder;
  DriveOrigin origin = DriveOrigin::Automatic;
  UINT type = DRIVE_UNKNOWN;
  std::string path;         // table folder or device; fixture folder; mount point of a share
  bool ready = false;
  std::string root;         // native root while ready
  std::string fileSystem;
  std::string source;
  std::string name;  // a table entry's name
  // The mount that carries the drive (for the file system's label), when known.
  std::optional<Mount> mount;
  // Fixture facts.
  bool writeProtected = false;
  bool sized = false;
  ULONGLONG totalBytes = 0, freeBytes = 0;
  std::string fixtureLabel;
};

// Every letter's drive, as the drive table, the mount table and /sys give them.
struct Snapshot {
  std::unique_ptr<Drive> drives[26];
  std::vector<std::string> warnings;
};
void BuildSnapshot(Snapshot& snap, const std::vector<Mount>& mounts, const DriveTable& table, const std::string& sysfs);

// The drive of a letter as it stands now; false with ERROR_INVALID_DRIVE when there is
// none. The drive may be not ready.
bool ResolveDrive(char letter, Drive& drive);

// Splits "X:\a\b" (either separator) into the upper-case letter and the components,
// with "." dropped and ".." taking back the previous component (never above the root).
// False for a malformed path.
bool ParseDrivePath(std::string_view path, char& letter, std::vector<std::string>& components);

// The ready drive's root, or false with GetLastError set (ERROR_INVALID_NAME,
// ERROR_INVALID_DRIVE, ERROR_NOT_READY).
bool ReadyDrive(std::string_view drivePath, Drive& drive, std::vector<std::string>& components);

// Fixture drives published in the environment.
bool FixtureFromEnvironment(char letter, Drive& drive);
std::string FixtureVariable(char letter);

// The sources the machine's facts are read from (environment overrides).
std::string MountinfoPath();
std::string SysfsPath();
std::string DiskByLabelPath();

}  // namespace volumes::detail
