// The read-ahead walk against the folder-by-folder one: the same listings in the same order,
// whatever is skipped or left early, with bounds small enough to stop and restart the workers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using namespace volumes_test;
using volumes::DirEntry;
using volumes::Folder;
using volumes::WalkAhead;
using volumes::testing::FixtureDrive;

// A tree of `folders` folders in a few levels, each with a few files of distinct sizes.
void MakeTree(const fs::path& root, int folders) {
  std::vector<fs::path> made{root};
  std::uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int i = 1; i < folders; ++i) {
    const fs::path parent = made[next() % made.size()];
    made.push_back(parent / ("dir " + std::to_string(i) + (i % 5 == 0 ? " \xD0\x96" : "")));
    fs::create_directories(made.back());
  }
  for (std::size_t i = 0; i < made.size(); ++i) {
    for (std::uint32_t k = next() % 6; k > 0; --k)
      WriteText(made[i] / ("file " + std::to_string(k)), std::string(i + k, 'x'));
  }
}

// The walk as one line per folder entered and entry seen. Every `skipEvery`th folder is skipped,
// and every `leaveEvery`th one is left after its first two entries.
std::vector<std::string> Walk(unsigned workers, WalkAhead::Bounds bounds, int skipEvery, int leaveEvery) {
  Folder top = Folder::Open("D:\\");
  EXPECT_TRUE(top.IsOpen());
  WalkAhead walk(std::move(top), workers, bounds);
  std::vector<std::string> seen;
  int folders = 0;
  struct Level {
    const WalkAhead::Listing* listing;
    std::size_t next = 0;
    bool early = false;
  };
  std::vector<Level> stack{{&walk.Top()}};
  while (!stack.empty()) {
    Level& level = stack.back();
    const auto& entries = level.listing->entries;
    if (level.next == entries.size() || (level.early && level.next == 2)) {
      stack.pop_back();
      if (!stack.empty()) walk.Leave();
      seen.push_back("<");
      continue;
    }
    const std::size_t i = level.next++;
    const DirEntry& e = entries[i];
    seen.push_back(std::string(e.directory ? "d " : "f ") + volumes::NameToDisk(e.name) + " " + std::to_string(e.size));
    if (!e.directory) continue;
    ++folders;
    if (skipEvery && folders % skipEvery == 0) {
      walk.Skip(i);
      continue;
    }
    const WalkAhead::Listing& sub = walk.Enter(i);
    seen.push_back(sub.open && sub.complete ? ">" : "> unlisted");
    stack.push_back({&sub, 0, leaveEvery && folders % leaveEvery == 0});
  }
  return seen;
}

class WalkAheadTest : public VolumesTest {
 protected:
  void SetUp() override {
    VolumesTest::SetUp();
    drive_ = std::make_unique<FixtureDrive>('D', DRIVE_FIXED, medium_);
    MakeTree(medium_, 300);
  }
  std::unique_ptr<FixtureDrive> drive_;
};

TEST_F(WalkAheadTest, ListsWhatTheFolderByFolderWalkLists) {
  struct Case {
    const char* what;
    WalkAhead::Bounds bounds;
    int skipEvery, leaveEvery;
  };
  const Case cases[] = {
      {"default bounds", {}, 0, 0},
      {"one folder ahead", {1, 65536}, 0, 0},
      {"a few folders ahead", {4, 65536}, 0, 0},
      {"a few entries ahead", {1024, 10}, 0, 0},
      {"skips and early leaves", {6, 40}, 7, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> serial = Walk(0, c.bounds, c.skipEvery, c.leaveEvery);
    ASSERT_GT(serial.size(), 300u);
    for (int round = 0; round < 3; ++round) EXPECT_EQ(Walk(4, c.bounds, c.skipEvery, c.leaveEvery), serial);
  }
}

}  // namespace
