// Test fixtures that the tests of every layer share: a scratch folder removed at the end of the
// test, and whole-file reads and writes in bytes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testing_files {

// A fresh folder "<prefix>-XXXXXX" under the temporary folder; it goes, with what the test left
// in it, when this does, folders the test made unreadable or read-only too. A folder that
// cannot be made throws.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix = "xendora") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder " + pattern);
    path_ = pattern;
  }
  ~ScratchFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::remove_all(path_, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace testing_files
