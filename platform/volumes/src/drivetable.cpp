// The drive table file: letters the user gives to folders and devices.
#include <string>
#include <string_view>

#include "internal.h"

namespace volumes::detail {

const char kDriveTableHeader[] =
    "# Xendora drive table: which folder or device each drive letter stands for.\n"
    "#\n"
    "# One drive per line:   <letter>:  <folder or device>  <type>  [\"<name>\"]\n"
    "#\n"
    "#   letter   A to Z, followed by a colon.\n"
    "#   folder   an absolute path (blanks allowed): the root of the drive. A \"fixed\" folder\n"
    "#            is ready while it exists; a removable, cdrom, remote, ramdisk or auto\n"
    "#            folder is ready while a file system is mounted on it.\n"
    "#   device   a block device under /dev (/dev/sr0, /dev/sdb1, /dev/disk/by-label/PHOTOS):\n"
    "#            the drive is ready while the device, or a partition of it, is mounted,\n"
    "#            wherever it is mounted.\n"
    "#   type     removable, fixed, remote, cdrom, ramdisk, or auto (the kind of the mounted\n"
    "#            file system).\n"
    "#   name     optional, in double quotes: what the drive lists show beside the letter\n"
    "#            (else the medium's label).\n"
    "#\n"
    "# Letters given here come first. The others are given automatically: C: for \"/\";\n"
    "# from D: up the optical drives, then fixed data disks (a second disk or partition\n"
    "# mounted outside the system's folders, such as /mnt/data or /srv), then mounted\n"
    "# removable media; network shares from Z: down.\n"
    "# A folder or device named here gets no automatic letter besides its own.\n"
    "# Lines beginning with \"#\" are comments.\n"
    "#\n"
    "# Examples:\n"
    "#   A:  /dev/fd0                     removable\n"
    "#   E:  /dev/disk/by-label/PHOTOS    removable\n"
    "#   M:  /home/me/Music Archive       fixed      \"Music\"\n"
    "#   N:  /mnt/nas                     remote\n";

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Quoted(std::string_view s) {
  std::string out(1, '"');
  out.append(s);
  out.push_back('"');
  return out;
}

bool TypeFromWord(std::string_view word, UINT& type) {
  struct Named {
    std::string_view name;
    UINT type;
  };
  static constexpr Named kTypes[] = {{"removable", DRIVE_REMOVABLE}, {"fixed", DRIVE_FIXED},
                                     {"remote", DRIVE_REMOTE},       {"cdrom", DRIVE_CDROM},
                                     {"ramdisk", DRIVE_RAMDISK},     {"auto", DRIVE_UNKNOWN}};
  std::string lower(word);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const Named& n : kTypes) {
    if (lower == n.name) {
      type = n.type;
      return true;
    }
  }
  return false;
}

}  // namespace

DriveTable ParseDriveTable(std::string_view text, std::string_view fileName) {
  DriveTable table;
  bool taken[26] = {};
  int lineNumber = 0;
  for (std::string_view raw : Split(text, "\n")) {
    std::string_view line = Trim(raw);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    auto warn = [&](const std::string& what) {
      table.warnings.push_back(std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + what);
    };
    // An optional name in double quotes ends the line.
    std::string name;
    if (line.back() == '"') {
      const std::size_t open = line.size() > 1 ? line.rfind('"', line.size() - 2) : std::string_view::npos;
      if (open == std::string_view::npos || open == 0) {
        warn("the drive's name has no opening double quote");
        continue;
      }
      name = std::string(line.substr(open + 1, line.size() - open - 2));
      line = Trim(line.substr(0, open));
    }
    std::size_t firstEnd = 0;
    while (firstEnd < line.size() && !IsBlank(line[firstEnd])) ++firstEnd;
    std::size_t lastStart = line.size();
    while (lastStart > 0 && !IsBlank(line[lastStart - 1])) --lastStart;
    if (lastStart <= firstEnd) {
      warn("expected a letter, a folder or device, and a type");
      continue;
    }
    const std::string_view letterField = line.substr(0, firstEnd);
    const std::string_view typeField = line.substr(lastStart);
    const std::string_view path = Trim(line.substr(firstEnd, lastStart - firstEnd));

    char letter = letterField.empty() ? 0 : letterField[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z' || !(letterField.size() == 1 || (letterField.size() == 2 && letterField[1] == ':'))) {
      warn(Quoted(letterField) + " is not a drive letter (A: to Z:)");
      continue;
    }
    UINT type = DRIVE_UNKNOWN;
    if (!TypeFromWord(typeField, type)) {
      warn("unknown drive type " + Quoted(typeField) + " (removable, fixed, remote, cdrom, ramdisk or auto)");
      continue;
    }
    if (path.empty() || path.front() != '/') {
      warn(Quoted(path) + " is not an absolute folder or device path");
      continue;
    }
    if (taken[letter - 'A']) {
      warn(std::string(1, letter) + ": is given twice; the first line holds");
      continue;
    }
    taken[letter - 'A'] = true;
    TableEntry entry;
    entry.letter = letter;
    entry.path = std::string(path);
    while (entry.path.size() > 1 && entry.path.back() == '/') entry.path.pop_back();
    entry.device = entry.path.rfind("/dev/", 0) == 0;
    entry.type = type;
    entry.name = std::move(name);
    table.entries.push_back(std::move(entry));
  }
  return table;
}

}  // namespace volumes::detail
