// Settings files in the initialisation-file format: "[Section]" lines and "key=value" lines.
//
// The two kernel functions read and write one value, taking the file's full path on every
// call and keeping no handle between calls. The file is read as UTF-8 text; a line that is
// not UTF-8 (a file carried over from the original platform, in its ANSI code page) is read
// as Windows-1252. Files are written in UTF-8.
//
// Reading (GetPrivateProfileStringA, ProfileFile::GetString):
//   - section and key names ignore (ASCII) case and the blanks around them; when a section
//     or a key occurs twice, the first occurrence wins;
//   - the blanks around a value are trimmed and one pair of enclosing quotes (" or ') is
//     stripped;
//   - a missing file, section or key gives the default (NULL reads as ""), whose trailing
//     blanks are trimmed; a key present with an empty value gives "" and a count of 0;
//   - the text is cut to fit the caller's buffer (size - 1 bytes and the NUL), never inside
//     a UTF-8 sequence; the result is the number of bytes copied, NUL not counted;
//   - a NULL or zero-sized buffer, or a NULL section or key name, gives 0.
//
// Writing (WritePrivateProfileStringA, ProfileFile::SetString + Save):
//   - a missing file is created; a new section is appended at the end of the file, a new key
//     after the last non-blank line of its section, an existing key is replaced in place
//     (keeping its spelling); every other line is kept as it was;
//   - nothing is ever deleted: a NULL section, key or value is refused (FALSE) and the file
//     stays untouched, as are names and values that could not be read back as written (an
//     empty name, a line break anywhere, "=" in a key, "]" in a section, a key beginning with
//     "[" or ";");
//   - every line of the written file ends with CR LF;
//   - the file is replaced atomically: the new text goes to a temporary file in the same
//     folder, which is flushed to disk and renamed over the old one, so that a crash leaves
//     either the old or the new file, never a half-written one;
//   - a file that could not be written in place (read-only: no write permission bit, or
//     refused for writing) is never replaced, whatever the folder allows.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "wintypes.h"

// Reads one value into lpReturnedString (nSize bytes including the NUL); returns the count.
DWORD GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpDefault,
                               char* lpReturnedString, DWORD nSize, const char* lpFileName);

// Writes one value; TRUE when the file now holds it.
BOOL WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpString,
                                const char* lpFileName);

namespace platform {

// One settings file held in memory: read once, queried and changed with the semantics above,
// then written back in one atomic replacement. A caller that reads or writes many values of
// one file uses this instead of one kernel call per value, so that the work stays linear in
// the file and a whole set of changes reaches the disk together or not at all.
class ProfileFile {
 public:
  ProfileFile();
  ~ProfileFile();
  ProfileFile(ProfileFile&&) noexcept;
  ProfileFile& operator=(ProfileFile&&) noexcept;
  ProfileFile(const ProfileFile&) = delete;
  ProfileFile& operator=(const ProfileFile&) = delete;

  // Reads the file. A missing file reads as an empty one and succeeds; a file that exists but
  // cannot be read gives false and leaves the object empty.
  bool Load(const std::filesystem::path& file);

  // Parses settings text as a file would hold it (for callers that have the text already).
  void Parse(std::string_view text);

  // As GetPrivateProfileStringA.
  DWORD GetString(std::string_view section, std::string_view key, const char* lpDefault,
                  char* lpReturnedString, DWORD nSize) const;

  // As WritePrivateProfileStringA, in memory; false (and nothing changed) for a name or value
  // that cannot be stored.
  bool SetString(std::string_view section, std::string_view key, std::string_view value);

  // The file text as Save writes it.
  std::string Text() const;

  // Why a Save failed.
  enum class SaveFailure {
    None,
    FileNotWritable,  // the file is there but could not be written in place
    DiskFull,         // no room (or quota) for the new text
    Other,            // the folder refused the new file, or the system failed otherwise
  };
  // Replaces the file atomically with Text(); false when it cannot be written (the old file,
  // if any, is then unchanged), with the reason in *why when asked.
  bool Save(const std::filesystem::path& file, SaveFailure* why = nullptr) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
