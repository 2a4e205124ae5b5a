// Fixture drives and machine sources, kept in the process environment so that every copy
// of this layer in the process, and every child process, sees the same drives.
//
// XENDORA_FIXTURE_DRIVE_<letter> = "type=N;ready=0|1;wp=0|1;sized=0|1;total=N;free=N;
// label=TEXT;dir=PATH", with "%", ";" and bytes below 0x20 of TEXT and PATH written as
// %XX.
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "internal.h"
#include "volumes_fixture.h"

namespace volumes::detail {

namespace {

std::string Encode(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (c == '%' || c == ';' || c < 0x20) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Decode(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 &&
        HexValue(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

ULONGLONG Number(std::string_view s) {
  ULONGLONG v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + static_cast<ULONGLONG>(c - '0');
  }
  return v;
}

}  // namespace

std::string FixtureVariable(char letter) { return std::string("XENDORA_FIXTURE_DRIVE_") + letter; }

bool FixtureFromEnvironment(char letter, Drive& drive) {
  const char* value = std::getenv(FixtureVariable(letter).c_str());
  if (!value) return false;
  drive = Drive();
  drive.letter = letter;
  drive.kind = Drive::Kind::Fixture;
  drive.origin = DriveOrigin::Fixture;
  for (std::string_view field : Split(value, ";")) {
    const std::size_t eq = field.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = field.substr(0, eq), v = field.substr(eq + 1);
    if (key == "type") drive.type = static_cast<UINT>(Number(v));
    else if (key == "ready") drive.ready = v == "1";
    else if (key == "wp") drive.writeProtected = v == "1";
    else if (key == "sized") drive.sized = v == "1";
    else if (key == "total") drive.totalBytes = Number(v);
    else if (key == "free") drive.freeBytes = Number(v);
    else if (key == "label") drive.fixtureLabel = Decode(v);
    else if (key == "dir") drive.path = Decode(v);
  }
  drive.source = drive.path;
  drive.fileSystem = "fixture";
  return true;
}

}  // namespace volumes::detail

namespace volumes::testing {

namespace {

void SetOrUnset(const char* name, const std::string& value, bool set) {
  if (set) {
    ::setenv(name, value.c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace

void SetMachineSources(const MachineSources& sources) {
  SetOrUnset("XENDORA_MOUNTINFO", sources.mountinfo, true);
  SetOrUnset("XENDORA_SYSFS", sources.sysfs, true);
  SetOrUnset("XENDORA_DISK_BY_LABEL", sources.diskByLabel, true);
}

void IsolateFromMachine() {
  // Paths below a file never open: no mounts, no devices, no labels.
  SetMachineSources(MachineSources{"/dev/null", "/dev/null/sys", "/dev/null/by-label"});
}

void ResetMachineSources() {
  SetOrUnset("XENDORA_MOUNTINFO", "", false);
  SetOrUnset("XENDORA_SYSFS", "", false);
  SetOrUnset("XENDORA_DISK_BY_LABEL", "", false);
}

FixtureDrive::FixtureDrive(char letter, UINT type, const std::filesystem::path& folder,
                           const std::string& label)
    : letter_(static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter)),
      type_(type),
      folder_(std::filesystem::absolute(folder).lexically_normal().string()),
      label_(label) {
  if (letter_ < 'A' || letter_ > 'Z') throw std::invalid_argument("a fixture drive needs a letter from A to Z");
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  Publish();
}

FixtureDrive::~FixtureDrive() { ::unsetenv(detail::FixtureVariable(letter_).c_str()); }

void FixtureDrive::SetReady(bool ready) {
  ready_ = ready;
  Publish();
}

void FixtureDrive::SetWriteProtected(bool writeProtected) {
  writeProtected_ = writeProtected;
  Publish();
}

void FixtureDrive::SetLabel(const std::string& label) {
  label_ = label;
  Publish();
}

void FixtureDrive::SetSizes(ULONGLONG totalBytes, ULONGLONG freeBytes) {
  sized_ = true;
  total_ = totalBytes;
  free_ = freeBytes;
  Publish();
}

std::string FixtureDrive::Root() const { return std::string{letter_, ':', '\\'}; }

void FixtureDrive::Publish() const {
  const std::string value = "type=" + std::to_string(type_) + ";ready=" + (ready_ ? "1" : "0") +
                            ";wp=" + (writeProtected_ ? "1" : "0") + ";sized=" + (sized_ ? "1" : "0") +
                            ";total=" + std::to_string(total_) + ";free=" + std::to_string(free_) +
                            ";label=" + detail::Encode(label_) + ";dir=" + detail::Encode(folder_);
  ::setenv(detail::FixtureVariable(letter_).c_str(), value.c_str(), 1);
}

}  // namespace volumes::testing
