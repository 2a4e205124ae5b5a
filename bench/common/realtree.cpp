// The generated real-looking tree of the benchmarks, its shape, and its writing to disk.
#include "realtree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace bench {
namespace {

constexpr std::size_t kMaxNameBytes = 76;

const char* const kWords[] = {
    "Photos",  "holiday",   "IMG",      "DSC",     "report",       "final",  "draft",     "Backup",    "music",
    "Album",   "track",     "Projects", "invoice", "scan",         "letter", "Documents", "notes",     "meeting",
    "budget",  "summary",   "copy",     "old",     "new",          "Videos", "family",    "wedding",   "birthday",
    "party",   "trip",      "summer",   "winter",  "Spring",       "autumn", "Work",      "school",    "homework",
    "essay",   "thesis",    "chapter",  "slides",  "presentation", "data",   "export",    "import",    "archive",
    "setup",   "install",   "readme",   "License", "changelog",    "config", "settings",  "Downloads", "Desktop",
    "temp",    "misc",      "stuff",    "various", "best",         "of",     "the",       "and",       "live",
    "remix",   "edit",      "mix",      "version", "v2",           "rev",    "part",      "disc",      "Season",
    "episode", "movie",     "trailer",  "sample",  "demo",         "test",   "Client",    "Contract",  "tax",
    "bank",    "statement", "receipt",  "recipe",  "Garden",       "house",  "Car",       "Insurance", "manual",
    "guide",   "book",      "Ebook",    "poster",  "logo",         "icon",   "Wallpaper", "screenshot"};

const char* const kWideWords[] = {
    "Фотографии", "отпуск",   "Музыка",       "документы", "Μουσική",     "διακοπές", "写真",      "音楽",
    "文档",       "資料",     "résumé",       "café",      "Überweisung", "Größe",    "año",       "niño",
    "façade",     "Ångström", "smörgåsbord",  "Ελλάδα",    "Привет",      "日本語",   "夏休み",    "한국어",
    "사진",       "über",     "crème brûlée", "São Paulo", "Kraków",      "İstanbul", "naïve",     "Zürich",
    "Łódź",       "Čeština",  "ĉapelo",       "♫ mix",     "🎵 track",     "📷 camera", "€ invoice", "½ done"};

const char* const kExtensions[] = {".jpg",  ".JPG", ".png", ".mp3", ".flac", ".txt", ".pdf", ".docx", ".xlsx", ".mp4",
                                   ".avi",  ".mkv", ".zip", ".7z",  ".iso",  ".exe", ".dll", ".html", ".cpp",  ".h",
                                   ".json", ".xml", ".csv", ".odt", ".wav",  ".ogg", ".bak", ""};

const char* const kSeparators[] = {" ", " ", "_", "-", ".", " - ", ""};

template <typename T, std::size_t N>
constexpr std::size_t Count(const T (&)[N]) {
  return N;
}

// UTF-16 units of a UTF-8 text.
std::size_t Units(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
  }
  return n;
}

// `s` cut to at most `units` UTF-16 units and `bytes` bytes, on a character boundary.
void Cut(std::string& s, std::size_t units, std::size_t bytes) {
  std::size_t u = 0, i = 0, keep = 0;
  while (i < s.size()) {
    std::size_t len = 1;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0xF0)
      len = 4;
    else if (c >= 0xE0)
      len = 3;
    else if (c >= 0xC0)
      len = 2;
    const std::size_t w = len == 4 ? 2 : 1;
    if (u + w > units || i + len > bytes) break;
    u += w;
    i += len;
    keep = i;
  }
  s.resize(keep);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool HoldsMarker(std::string_view name) { return Lower(name).find(kNameMarker) != std::string::npos; }

class NameMaker {
 public:
  explicit NameMaker(Random& rng) : rng_(rng) {}

  // A name of one folder or file; `wide` asks for a non-ASCII word in it.
  std::string Make(bool file, bool wide, bool marked) {
    const bool longName = rng_.Below(3) == 0;
    std::size_t target = longName ? 32 + rng_.Below(45) : 1 + Skewed(31);
    if (marked) target = std::max<std::size_t>(target, 3 + 5);
    std::string ext = file ? kExtensions[rng_.Below(Count(kExtensions))] : "";
    if (ext.size() + (marked ? 3 : 1) > target) ext.clear();
    const std::size_t baseUnits = target - ext.size();
    const std::size_t baseBytes = kMaxNameBytes - ext.size();
    const char* sep = kSeparators[rng_.Below(Count(kSeparators))];
    std::string base;
    std::size_t wideAt = wide ? rng_.Below(2) : 99;
    for (std::size_t piece = 0; Units(base) < baseUnits + 4 && base.size() < baseBytes + 8; ++piece) {
      if (piece > 0) base += sep;
      if (marked && piece == 0) {
        static const char* const kMarkerForms[] = {"qzv", "QZV", "Qzv"};
        base += kMarkerForms[rng_.Below(3)];
      } else if (piece == wideAt) {
        base += kWideWords[rng_.Below(Count(kWideWords))];
      } else if (rng_.Below(5) == 0) {
        base += std::to_string(rng_.Below(rng_.Below(2) ? 100 : 100000));
      } else {
        std::string w = kWords[rng_.Below(Count(kWords))];
        if (rng_.Below(4) == 0) w = Lower(w);
        base += w;
      }
    }
    Cut(base, baseUnits, baseBytes);
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    while (!base.empty() && base.front() == ' ') base.erase(base.begin());
    if (base.empty() || base == "." || base == "..") base = std::to_string(rng_.Below(1000));
    return base + ext;
  }

 private:
  // 1..n, short names more likely than long ones.
  std::size_t Skewed(std::size_t n) {
    const double u = rng_.Unit();
    return static_cast<std::size_t>(u * u * 0.6 * n + u * 0.4 * n) % n;
  }
  Random& rng_;
};

}  // namespace

std::uint64_t Random::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::string RealTree::PathOf(const TreeFile& f) const {
  const std::string& dir = folders[f.folder].path;
  return dir.empty() ? f.name : dir + "/" + f.name;
}

RealTree GenerateTree(std::uint64_t seed, std::size_t files, std::size_t folders) {
  Random rng(seed);
  NameMaker names(rng);
  RealTree t;
  folders = std::max<std::size_t>(folders, 1);
  t.folders.resize(folders);
  t.files.resize(files);
  std::vector<std::uint32_t> depth(folders, 0);
  // Names are unique in their folder, ignoring ASCII letter case.
  std::unordered_set<std::string> taken;
  taken.reserve((files + folders) * 2);
  auto unique = [&](std::uint32_t folder, bool file, bool wide, bool marked) {
    for (int attempt = 0;; ++attempt) {
      std::string name = names.Make(file, wide, marked);
      if (attempt > 20) name = std::to_string(rng.Next() % 1000000000) + (file ? ".dat" : "");
      if (!marked && HoldsMarker(name)) continue;
      if (taken.insert(std::to_string(folder) + "/" + Lower(name)).second) return name;
    }
  };
  for (std::uint32_t i = 1; i < folders; ++i) {
    // Most folders hang anywhere; some stay near the top, so the tree is neither a list nor flat.
    std::uint32_t parent =
        rng.Below(5) < 3 ? static_cast<std::uint32_t>(rng.Below(i)) : static_cast<std::uint32_t>(rng.Below(1 + i / 64));
    while (depth[parent] >= 18) parent = t.folders[parent].parent;
    depth[i] = depth[parent] + 1;
    TreeFolder& f = t.folders[i];
    f.parent = parent;
    f.name = unique(parent, false, rng.Below(100) < 8, false);
    f.path = t.folders[parent].path.empty() ? f.name : t.folders[parent].path + "/" + f.name;
    t.folders[parent].folders.push_back(i);
  }
  for (std::size_t i = 0; i < files; ++i) {
    TreeFile& f = t.files[i];
    f.folder = static_cast<std::uint32_t>(rng.Below(folders));
    f.marked = i % 1000 == 500;
    f.name = unique(f.folder, true, rng.Below(100) < 15, f.marked);
    // Log-uniform from 1 byte to 64 MiB.
    f.size = 1 + static_cast<std::uint64_t>(std::exp2(rng.Unit() * 26.0)) - 1;
    if (f.size == 0) f.size = 1;
    f.mtime = 1104537600 + static_cast<std::int64_t>(rng.Below(20LL * 365 * 86400));
    t.folders[f.folder].files.push_back(static_cast<std::uint32_t>(i));
  }
  return t;
}

TreeShape ShapeOf(const RealTree& t) {
  TreeShape s;
  s.minNameBytes = kMaxNameBytes + 1;
  std::size_t names = 0, longNames = 0, wide = 0;
  double depthSum = 0;
  auto name = [&](const std::string& n) {
    ++names;
    if (Units(n) > 31) ++longNames;
    s.maxNameBytes = std::max(s.maxNameBytes, n.size());
    s.minNameBytes = std::min(s.minNameBytes, n.size());
  };
  for (std::size_t i = 1; i < t.folders.size(); ++i) name(t.folders[i].name);
  for (const TreeFile& f : t.files) {
    name(f.name);
    const std::string p = t.PathOf(f);
    if (std::any_of(p.begin(), p.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) ++wide;
    depthSum += static_cast<double>(std::count(p.begin(), p.end(), '/'));
  }
  s.longNames = names ? static_cast<double>(longNames) / names : 0;
  s.nonAsciiPaths = t.files.empty() ? 0 : static_cast<double>(wide) / t.files.size();
  s.meanDepth = t.files.empty() ? 0 : depthSum / t.files.size();
  return s;
}

void PrintShape(const RealTree& tree, const TreeShape& shape) {
  std::printf("tree: %zu files, %zu folders, long names %.1f%%, non-ASCII paths %.1f%%, names %zu-%zu bytes\n",
              tree.files.size(), tree.folders.size(), 100 * shape.longNames, 100 * shape.nonAsciiPaths,
              shape.minNameBytes, shape.maxNameBytes);
}

void WriteTree(const RealTree& t, const std::string& root) {
  auto fail = [](const std::string& what) {
    std::fprintf(stderr, "writing the tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
  };
  const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) fail(root);
  for (std::size_t i = 1; i < t.folders.size(); ++i) {  // parents come before their subfolders
    if (::mkdirat(rootFd, t.folders[i].path.c_str(), 0755) != 0) fail(t.folders[i].path);
  }
  for (const TreeFile& f : t.files) {
    const std::string path = t.PathOf(f);
    const int fd = ::openat(rootFd, path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) fail(path);
    if (::ftruncate(fd, static_cast<off_t>(f.size)) != 0) fail(path);
    struct timespec times[2] = {{f.mtime, 0}, {f.mtime, 0}};
    if (::futimens(fd, times) != 0) fail(path);
    ::close(fd);
  }
  ::close(rootFd);
}

}  // namespace bench
