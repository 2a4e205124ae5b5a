// A tree of folders and files that looks like a user's disk, generated from a seed: names of 1 to
// 76 bytes from a mix of words, numbers and punctuation, about a third of them longer than 31
// characters, about a quarter of the paths holding non-ASCII characters, file sizes from one byte
// to tens of megabytes and last-write times spread over twenty years.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct TreeFolder {
  std::uint32_t parent = 0;                   // folder 0 is the tree's root, its own parent
  std::string name;                           // UTF-8; empty for the root
  std::string path;                           // from the root, "/"-separated, without a leading "/"
  std::vector<std::uint32_t> folders, files;  // children, in creation order
};

struct TreeFile {
  std::uint32_t folder = 0;
  std::string name;  // UTF-8
  std::uint64_t size = 0;
  std::int64_t mtime = 0;  // Unix seconds
  bool marked = false;     // the name holds kNameMarker
};

struct RealTree {
  std::vector<TreeFolder> folders;
  std::vector<TreeFile> files;
  std::string PathOf(const TreeFile& f) const;  // from the root, "/"-separated
};

// The text a name search looks for: it appears, in either letter case, in one file name in a
// thousand and in no other name or path.
inline constexpr const char* kNameMarker = "qzv";

// The seed every benchmark generates its tree from, so that their figures speak of one tree.
inline constexpr std::uint64_t kTreeSeed = 20261211;

// `files` files in `folders` folders (the root counted), the same tree for the same seed.
RealTree GenerateTree(std::uint64_t seed, std::size_t files, std::size_t folders);

// What the tree's names look like: printed by the benchmarks beside their figures.
struct TreeShape {
  double longNames = 0;      // fraction of names longer than 31 UTF-16 units
  double nonAsciiPaths = 0;  // fraction of file paths with a non-ASCII character
  double meanDepth = 0;      // mean folder depth of a file
  std::size_t maxNameBytes = 0, minNameBytes = 0;
};
TreeShape ShapeOf(const RealTree& tree);
// Prints "tree: N files, M folders, long names ...%, non-ASCII paths ...%, names a-b bytes".
void PrintShape(const RealTree& tree, const TreeShape& shape);

// Writes the tree under `root` (an existing empty folder): sparse files of their sizes and
// last-write times. Exits the process with a message on failure.
void WriteTree(const RealTree& tree, const std::string& root);

// A deterministic generator (splitmix64).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }
  double Unit() { return (Next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  std::uint64_t state_;
};

}  // namespace bench
