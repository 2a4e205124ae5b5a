// The generated tree on a fixture drive.
#include "treedrive.h"

namespace bench {
namespace {

std::filesystem::path WriteUnder(const std::filesystem::path& folder, const RealTree& tree) {
  const std::filesystem::path root = folder / "tree";
  std::filesystem::create_directories(root);
  WriteTree(tree, root.string());
  return root;
}

}  // namespace

TreeDrive::TreeDrive(const std::filesystem::path& folder, std::size_t files, char letter)
    : tree(GenerateTree(kTreeSeed, files, files / 10)),
      shape(ShapeOf(tree)),
      root(WriteUnder(folder, tree)),
      drive(letter, DRIVE_FIXED, root, "Bench") {}

}  // namespace bench
