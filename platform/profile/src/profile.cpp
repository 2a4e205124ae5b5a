// Settings files: parsing, lookup, in-place change and atomic replacement.
#include "profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <unordered_map>
#include <vector>

#include "unicode.h"

namespace platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Names compare ignoring ASCII case; bytes beyond ASCII compare as they are.
std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Joins texts into one string (one allocation).
std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  size_t size = 0;
  for (std::string_view p : parts) size += p.size();
  out.reserve(size);
  for (std::string_view p : parts) out.append(p);
  return out;
}

bool HasAny(std::string_view s, std::string_view chars) { return s.find_first_of(chars) != s.npos; }

constexpr std::string_view kLineBreaks("\r\n\0", 3);
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The section name of a "[name]" line, or nothing when the line is not a section line.
bool SectionName(std::string_view line, std::string_view* name) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return false;
  t.remove_prefix(1);
  *name = Trim(t.substr(0, t.find(']')));
  return true;
}

// The key name and raw value of a "key=value" line, or nothing for any other line.
bool KeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == t.npos) return false;
  *key = Trim(t.substr(0, eq));
  if (key->empty()) return false;
  *value = t.substr(eq + 1);
  return true;
}

// A value as the reader hands it out: blanks trimmed, one pair of enclosing quotes removed.
std::string_view ReadValue(std::string_view raw) {
  std::string_view v = Trim(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// Copies text into the caller's buffer, cut to size - 1 bytes but never inside a UTF-8
// sequence, and returns the number of bytes copied.
DWORD CopyOut(std::string_view text, char* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  size_t n = std::min<size_t>(text.size(), size - 1);
  if (n < text.size()) {
    // A continuation byte at the cut means the cut splits a character: drop its beginning.
    size_t back = 0;
    while (n > 0 && back < 3 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
      --n;
      ++back;
    }
  }
  std::copy_n(text.data(), n, buffer);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

}  // namespace

struct ProfileFile::Impl {
  struct Section {
    std::string name;  // as the file spells it; empty for the lines before the first section
    std::vector<std::string> lines;  // lines[0] is the "[name]" line, except in the preamble
    std::unordered_map<std::string, size_t> keys;  // folded key -> index in lines (first one)
  };

  bool bom = false;
  std::vector<Section> sections;  // sections[0]: the lines before the first section line
  std::unordered_map<std::string, size_t> index;  // folded name -> first section of that name

  Impl() { sections.emplace_back(); }

  void AddLine(std::string_view line) {
    std::string_view name, key, value;
    if (SectionName(line, &name)) {
      sections.push_back(Section{std::string(name), {std::string(line)}, {}});
      index.try_emplace(Fold(name), sections.size() - 1);
      return;
    }
    Section& s = sections.back();
    s.lines.emplace_back(line);
    if (&s != &sections.front() && KeyLine(line, &key, &value)) {
      s.keys.try_emplace(Fold(key), s.lines.size() - 1);
    }
  }

  const Section* FindSection(std::string_view name) const {
    auto it = index.find(Fold(Trim(name)));
    return it == index.end() ? nullptr : &sections[it->second];
  }

  // The raw value of a key, or nothing.
  bool Find(std::string_view section, std::string_view key, std::string_view* value) const {
    const Section* s = FindSection(section);
    if (!s) return false;
    auto it = s->keys.find(Fold(Trim(key)));
    if (it == s->keys.end()) return false;
    std::string_view k;
    return KeyLine(s->lines[it->second], &k, value);
  }
};

ProfileFile::ProfileFile() : impl_(std::make_unique<Impl>()) {}
ProfileFile::~ProfileFile() = default;
ProfileFile::ProfileFile(ProfileFile&&) noexcept = default;
ProfileFile& ProfileFile::operator=(ProfileFile&&) noexcept = default;

void ProfileFile::Parse(std::string_view text) {
  impl_ = std::make_unique<Impl>();
  if (text.starts_with(kBom)) {
    impl_->bom = true;
    text.remove_prefix(kBom.size());
  }
  // A file written on the original platform holds its ANSI code page (Windows-1252): a line
  // that is not UTF-8 is read as that code page, and written back as UTF-8.
  const bool utf8 = unicode::IsUtf8(text);
  auto add = [&](std::string_view line) {
    if (utf8 || unicode::IsUtf8(line)) {
      impl_->AddLine(line);
    } else {
      impl_->AddLine(unicode::Windows1252ToUtf8(line));
    }
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == text.npos) {
      add(text.substr(pos));
      break;
    }
    add(text.substr(pos, end - pos));
    pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

bool ProfileFile::Load(const std::filesystem::path& file) {
  impl_ = std::make_unique<Impl>();
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
  std::string text;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  Parse(text);
  return true;
}

DWORD ProfileFile::GetString(std::string_view section, std::string_view key, const char* lpDefault,
                             char* lpReturnedString, DWORD nSize) const {
  std::string_view raw;
  if (impl_->Find(section, key, &raw)) return CopyOut(ReadValue(raw), lpReturnedString, nSize);
  return CopyOut(TrimRight(lpDefault ? lpDefault : ""), lpReturnedString, nSize);
}

bool ProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || HasAny(section, kLineBreaks) || section.find(']') != section.npos) return false;
  if (key.empty() || HasAny(key, kLineBreaks) || key.find('=') != key.npos || key.front() == '[' ||
      key.front() == ';') {
    return false;
  }
  if (HasAny(value, kLineBreaks)) return false;

  Impl& m = *impl_;
  std::string folded = Fold(section);
  auto sit = m.index.find(folded);
  if (sit == m.index.end()) {
    m.sections.push_back(Impl::Section{std::string(section), {Concat({"[", section, "]"})}, {}});
    sit = m.index.emplace(folded, m.sections.size() - 1).first;
  }
  Impl::Section& s = m.sections[sit->second];
  std::string fkey = Fold(key);
  if (auto kit = s.keys.find(fkey); kit != s.keys.end()) {
    std::string_view name, old;
    KeyLine(s.lines[kit->second], &name, &old);
    s.lines[kit->second] = Concat({name, "=", value});
    return true;
  }
  // A new key goes after the section's last non-blank line; only blank lines move down.
  size_t at = s.lines.size();
  while (at > 1 && Trim(s.lines[at - 1]).empty()) --at;
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), Concat({key, "=", value}));
  s.keys.emplace(std::move(fkey), at);
  return true;
}

std::string ProfileFile::Text() const {
  std::string out;
  if (impl_->bom) out += kBom;
  for (const auto& s : impl_->sections) {
    for (const auto& line : s.lines) {
      out += line;
      out += "\r\n";
    }
  }
  return out;
}

namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

bool ProfileFile::Save(const std::filesystem::path& file, SaveFailure* why) const {
  namespace fs = std::filesystem;
  auto fail = [&](int err) {
    if (why) *why = (err == ENOSPC || err == EDQUOT || err == EFBIG) ? SaveFailure::DiskFull : SaveFailure::Other;
    return false;
  };
  if (why) *why = SaveFailure::None;
  std::error_code ec;
  // Replace the file a symbolic link points to, not the link.
  fs::path target = fs::is_symlink(fs::symlink_status(file, ec)) ? fs::weakly_canonical(file, ec) : file;
  if (ec || target.empty()) target = file;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";

  // A file that could not be written in place is not replaced behind the user's back: one
  // made read-only stays as it is, even in a folder that lets a new file in.
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    bool writable = (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    if (writable) {
      int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
      if (probe >= 0) ::close(probe);
      else writable = !(errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY);
    }
    if (!writable) {
      if (why) *why = SaveFailure::FileNotWritable;
      return false;
    }
  }

  static std::atomic<unsigned> counter{0};
  fs::path temp = dir / Concat({".", target.filename().string(), ".tmp", std::to_string(::getpid()), ".",
                                std::to_string(counter.fetch_add(1))});
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(errno);
  struct stat old {};
  bool ok = WriteAll(fd, Text());
  if (ok && ::stat(target.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && ::fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return fail(err);
  }
  if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace platform

DWORD GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpDefault,
                               char* lpReturnedString, DWORD nSize, const char* lpFileName) {
  if (!lpReturnedString || nSize == 0) return 0;
  if (!lpAppName || !lpKeyName || !lpFileName) {
    lpReturnedString[0] = '\0';
    return 0;
  }
  platform::ProfileFile profile;
  profile.Load(lpFileName);  // an unreadable file reads as a missing one: every value is its default
  return profile.GetString(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpString,
                                const char* lpFileName) {
  if (!lpAppName || !lpKeyName || !lpString || !lpFileName) return FALSE;
  platform::ProfileFile profile;
  if (!profile.Load(lpFileName)) return FALSE;  // never replace a file that could not be read
  if (!profile.SetString(lpAppName, lpKeyName, lpString)) return FALSE;
  return profile.Save(lpFileName) ? TRUE : FALSE;
}
