// Temporary folders and an isolated drive set-up for the layer's tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "testing_files/test_support.h"
#include "volumes.h"
#include "volumes_fixture.h"

namespace volumes_test {

namespace fs = std::filesystem;

inline void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each test gets its own temporary folder with a program folder and a folder to serve as
// a medium, and sees none of the machine's drives.
class VolumesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tmp_ / "home");
    medium_ = tmp_ / "medium";
    fs::create_directories(medium_);
    ::setenv("XENDORA_HOME", (tmp_ / "home").c_str(), 1);
    volumes::testing::IsolateFromMachine();
  }
  void TearDown() override {
    volumes::testing::ResetMachineSources();
    ::unsetenv("XENDORA_HOME");
  }
  testing_files::ScratchFolder scratch_{"volumes-test"};
  const fs::path tmp_ = scratch_.path();
  fs::path medium_;
};

}  // namespace volumes_test
