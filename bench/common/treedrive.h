// The generated tree written into a run's scratch folder and shown as a fixture drive, for the
// benchmarks that catalogue it as a disk.
#pragma once

#include <cstddef>
#include <filesystem>

#include "realtree.h"
#include "volumes_fixture.h"

namespace bench {

// The tree of `files` files in files / 10 folders (from kTreeSeed), written under
// `folder`/tree and shown as the fixed drive `letter` labelled "Bench" while this lives.
struct TreeDrive {
  TreeDrive(const std::filesystem::path& folder, std::size_t files, char letter);

  const RealTree tree;
  const TreeShape shape;
  const std::filesystem::path root;
  volumes::testing::FixtureDrive drive;
};

}  // namespace bench
