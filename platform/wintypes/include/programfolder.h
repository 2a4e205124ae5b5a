// The program folder: where the settings file, the report tables, the templates, the scratch
// catalogs, the drive table and the component registry live; and the files the program ships
// beside it (the user guide, the animations).
//   1. $XENDORA_HOME when set and not empty;
//   2. else the folder of the running executable when it is writable;
//   3. else $XDG_DATA_HOME/xendora (default ~/.local/share/xendora), created on demand.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform {

// The folder of the running executable, where the program's component libraries lie beside
// it; empty when the system does not say.
inline std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

inline std::filesystem::path ProgramFolder() {
  namespace fs = std::filesystem;
  if (const char* home = std::getenv("XENDORA_HOME"); home && *home) return fs::path(home);
  std::error_code ec;
  if (fs::path dir = ExecutableFolder(); !dir.empty() && ::access(dir.c_str(), W_OK) == 0) return dir;
  fs::path data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    data = xdg;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    data = fs::path(h) / ".local" / "share";
  } else {
    data = fs::temp_directory_path(ec);
  }
  fs::path dir = data / "xendora";
  fs::create_directories(dir, ec);
  return dir;
}

// A file the program ships beside it ("XendoraDocs.pdf", "filecopy.avi"): the program folder's
// when it holds one, else the one in the executable's folder, where the build and the
// installation put them.
inline std::filesystem::path ShippedFile(const char* name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path inProgramFolder = ProgramFolder() / name;
  if (fs::exists(inProgramFolder, ec)) return inProgramFolder;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path beside = exe.parent_path() / name;
    if (fs::exists(beside, ec)) return beside;
  }
  return inProgramFolder;
}

}  // namespace platform
