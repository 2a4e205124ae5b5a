// A registry of the test's own, in a fresh temporary folder while the fixture lives.
#include "test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempRegistry::TempRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "xcom-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  file_ = dir_ / "xcom.reg";
  if (const char* old = std::getenv("XCOM_REGISTRY")) {
    saved_ = old;
    hadSaved_ = true;
  }
  ::setenv("XCOM_REGISTRY", file_.c_str(), 1);
}

TempRegistry::~TempRegistry() {
  if (hadSaved_) {
    ::setenv("XCOM_REGISTRY", saved_.c_str(), 1);
  } else {
    ::unsetenv("XCOM_REGISTRY");
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempRegistry::Text() const {
  std::ifstream in(file_, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void TempRegistry::Write(const std::string& text) const {
  std::filesystem::path tmp = file_;
  tmp += ".new";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::filesystem::rename(tmp, file_);
}
