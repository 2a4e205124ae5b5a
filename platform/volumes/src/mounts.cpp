// The mount table of /proc/self/mountinfo, and the kinds of file system.
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace volumes::detail {

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_PATH_NOT_FOUND;
    case ENOTDIR: return ERROR_DIRECTORY;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
    case ENOTCONN:
    case ESTALE: return ERROR_NOT_READY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EBUSY: return ERROR_BUSY;
    case EISDIR: return ERROR_ACCESS_DENIED;
    default: return ERROR_GEN_FAILURE;
  }
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = text.find_first_of(separators, pos);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(pos));
      return pieces;
    }
    pieces.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
}

std::vector<std::string> PathComponents(std::string_view path, std::string_view separators) {
  std::vector<std::string> components;
  for (std::string_view c : Split(path, separators)) {
    if (c.empty() || c == ".") continue;
    if (c == "..") {
      if (!components.empty()) components.pop_back();
    } else {
      components.emplace_back(c);
    }
  }
  return components;
}

namespace {

// mountinfo writes blanks, tabs, newlines and backslashes in names as \ooo.
std::string Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' &&
        s[i + 3] >= '0' && s[i + 3] <= '7') {
      out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

bool HasOption(std::string_view options, std::string_view option) {
  std::size_t pos = 0;
  while (pos <= options.size()) {
    std::size_t comma = options.find(',', pos);
    if (comma == std::string_view::npos) comma = options.size();
    if (options.substr(pos, comma - pos) == option) return true;
    pos = comma + 1;
  }
  return false;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::string_view f : Split(line, " "))
    if (!f.empty()) fields.push_back(f);
  return fields;
}

bool ParseDevice(std::string_view field, unsigned& major, unsigned& minor) {
  const std::size_t colon = field.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 >= field.size()) return false;
  unsigned long values[2] = {0, 0};
  const std::string_view parts[2] = {field.substr(0, colon), field.substr(colon + 1)};
  for (int k = 0; k < 2; ++k) {
    for (char c : parts[k]) {
      if (c < '0' || c > '9' || values[k] > 0xFFFFFFFu) return false;
      values[k] = values[k] * 10 + static_cast<unsigned>(c - '0');
    }
  }
  major = static_cast<unsigned>(values[0]);
  minor = static_cast<unsigned>(values[1]);
  return true;
}

}  // namespace

std::vector<Mount> ParseMountinfo(std::string_view text) {
  std::vector<Mount> mounts;
  for (std::string_view line : Split(text, "\n")) {
    const std::vector<std::string_view> f = Fields(line);
    // id parent major:minor root mount-point options [optional...] - type source super
    std::size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (f.size() < 7 || dash + 2 >= f.size()) continue;
    Mount m;
    if (!ParseDevice(f[2], m.major, m.minor)) continue;
    m.root = Unescape(f[3]);
    m.mountPoint = Unescape(f[4]);
    m.fsType = Unescape(f[dash + 1]);
    m.source = Unescape(f[dash + 2]);
    m.readOnly = HasOption(f[5], "ro") || (dash + 3 < f.size() && HasOption(f[dash + 3], "ro"));
    if (m.mountPoint.empty() || m.mountPoint[0] != '/') continue;
    mounts.push_back(std::move(m));
  }
  return mounts;
}

UINT TypeOfFileSystem(std::string_view fsType) {
  static constexpr std::string_view kRemote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs",
                                                 "fuse.sshfs", "sshfs"};
  static constexpr std::string_view kOptical[] = {"iso9660", "udf"};
  static constexpr std::string_view kRam[] = {"tmpfs", "ramfs"};
  for (auto t : kRemote)
    if (fsType == t) return DRIVE_REMOTE;
  for (auto t : kOptical)
    if (fsType == t) return DRIVE_CDROM;
  for (auto t : kRam)
    if (fsType == t) return DRIVE_RAMDISK;
  return 0;
}

}  // namespace volumes::detail
