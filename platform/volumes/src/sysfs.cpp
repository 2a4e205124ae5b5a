// What the kernel's /sys and the file system say about devices: small files, real paths,
// device numbers, removable and optical disks, a device's partitions, the optical drives.
#include "sysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace volumes::detail {

namespace {

int NaturalNumber(const std::string& name, std::size_t from) {
  int n = 0;
  for (std::size_t i = from; i < name.size() && name[i] >= '0' && name[i] <= '9' && n < 100000; ++i)
    n = n * 10 + (name[i] - '0');
  return n;
}

}  // namespace

// Reads a whole small file; false when it cannot be read.
bool ReadFile(const std::string& path, std::string& out, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  out.clear();
  char buf[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() >= limit) break;
  }
  ::close(fd);
  return true;
}

std::string FirstLine(std::string s) {
  const std::size_t nl = s.find('\n');
  if (nl != std::string::npos) s.resize(nl);
  if (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}

std::string RealPathOr(const std::string& path) {
  char* r = ::realpath(path.c_str(), nullptr);
  if (!r) return path;
  std::string out(r);
  std::free(r);
  return out;
}

bool RealPath(const std::string& path, std::string& out) {
  char* r = ::realpath(path.c_str(), nullptr);
  if (!r) return false;
  out = r;
  std::free(r);
  return true;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ParseDevNumbers(std::string_view s, unsigned& major, unsigned& minor) {
  const std::size_t colon = s.find(':');
  if (colon == std::string_view::npos) return false;
  char* end = nullptr;
  const std::string a(s.substr(0, colon)), b(s.substr(colon + 1));
  major = static_cast<unsigned>(std::strtoul(a.c_str(), &end, 10));
  if (end == a.c_str()) return false;
  minor = static_cast<unsigned>(std::strtoul(b.c_str(), &end, 10));
  return end != b.c_str();
}

DiskFacts FactsOfDevice(const std::string& sysfs, unsigned major, unsigned minor, const std::string& source) {
  DiskFacts f;
  std::string dir;
  bool found = major != 0 && RealPath(sysfs + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), dir);
  if (!found && source.rfind("/dev/", 0) == 0)
    found = RealPath(sysfs + "/class/block/" + BaseName(RealPathOr(source)), dir);
  if (!found) return f;
  struct stat st;
  if (::stat((dir + "/partition").c_str(), &st) == 0) dir = dir.substr(0, dir.rfind('/'));
  f.known = true;
  std::string text;
  f.removable = ReadFile(dir + "/removable", text, 64) && FirstLine(text) == "1";
  f.optical = BaseName(dir).rfind("sr", 0) == 0;
  f.usb = dir.find("/usb") != std::string::npos;
  return f;
}

UINT TypeOfMount(const Mount& m, const std::string& sysfs) {
  if (const UINT t = TypeOfFileSystem(m.fsType)) return t;
  const DiskFacts f = FactsOfDevice(sysfs, m.major, m.minor, m.source);
  if (f.optical) return DRIVE_CDROM;
  if (f.removable) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

bool DeviceIdentity::Matches(const Mount& m) const {
  for (const auto& [maj, min] : numbers)
    if (maj == m.major && min == m.minor && maj != 0) return true;
  if (m.source.empty() || m.source[0] != '/') return false;  // "tmpfs", "nas:/export"...
  const std::string real = RealPathOr(m.source);
  for (const std::string& p : paths)
    if (p == m.source || p == real) return true;
  return false;
}

DeviceIdentity IdentityOfDevicePath(const std::string& path, const std::string& sysfs) {
  DeviceIdentity id;
  id.paths.push_back(path);
  id.paths.push_back(RealPathOr(path));
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
    const unsigned maj = ::major(st.st_rdev), min = ::minor(st.st_rdev);
    id.numbers.emplace_back(maj, min);
    // A whole disk is ready while one of its partitions is mounted.
    std::string dir;
    if (RealPath(sysfs + "/dev/block/" + std::to_string(maj) + ":" + std::to_string(min), dir)) {
      if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
          if (e->d_name[0] == '.') continue;
          std::string text;
          const std::string sub = dir + "/" + e->d_name;
          unsigned pmaj, pmin;
          if (::access((sub + "/partition").c_str(), F_OK) == 0 && ReadFile(sub + "/dev", text, 64) &&
              ParseDevNumbers(FirstLine(text), pmaj, pmin))
            id.numbers.emplace_back(pmaj, pmin);
        }
        ::closedir(d);
      }
    }
  }
  return id;
}

std::vector<OpticalDevice> OpticalDevices(const std::string& sysfs) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir((sysfs + "/block").c_str())) {
    while (dirent* e = ::readdir(dir))
      if (std::strncmp(e->d_name, "sr", 2) == 0) names.emplace_back(e->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NaturalNumber(a, 2) < NaturalNumber(b, 2); });
  std::vector<OpticalDevice> out;
  for (const std::string& name : names) {
    std::string text;
    OpticalDevice d;
    if (!ReadFile(sysfs + "/block/" + name + "/dev", text, 64) || !ParseDevNumbers(FirstLine(text), d.major, d.minor))
      continue;
    d.path = "/dev/" + name;
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace volumes::detail
