// What the kernel's /sys and the file system say about devices, for assigning drive letters
// and drive types: small files, real paths, device numbers, disk facts and identities.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "internal.h"

namespace volumes::detail {

// Reads a whole small file (at most about limit bytes); false when it cannot be read.
bool ReadFile(const std::string& path, std::string& out, std::size_t limit = 1 << 24);
// The text up to its first line end.
std::string FirstLine(std::string s);
// The real path of path, or path itself when it has none.
std::string RealPathOr(const std::string& path);
bool RealPath(const std::string& path, std::string& out);
std::string BaseName(const std::string& path);
// "major:minor" as in /sys/.../dev.
bool ParseDevNumbers(std::string_view s, unsigned& major, unsigned& minor);

// A disk as /sys describes it (known: /sys has it).
struct DiskFacts {
  bool known = false;
  bool removable = false;
  bool optical = false;
  bool usb = false;  // attached through USB: plugged in and out
};
DiskFacts FactsOfDevice(const std::string& sysfs, unsigned major, unsigned minor, const std::string& source);

// The drive type of a mount: from its file system, else from its disk.
UINT TypeOfMount(const Mount& m, const std::string& sysfs);

// A block device and its partitions, as the mount table names them.
struct DeviceIdentity {
  std::vector<std::pair<unsigned, unsigned>> numbers;
  std::vector<std::string> paths;  // the device's path and its real path
  bool Matches(const Mount& m) const;
};
DeviceIdentity IdentityOfDevicePath(const std::string& path, const std::string& sysfs);

// The optical drives (sr0, sr1 ... in number order), with or without a disc.
struct OpticalDevice {
  std::string path;  // "/dev/sr0"
  unsigned major = 0, minor = 0;
};
std::vector<OpticalDevice> OpticalDevices(const std::string& sysfs);

}  // namespace volumes::detail
