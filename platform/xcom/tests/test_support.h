// A registry of the test's own: XCOM_REGISTRY names a file in a fresh temporary folder while
// the fixture lives.
#pragma once

#include <filesystem>
#include <string>

class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  const std::filesystem::path& file() const { return file_; }
  // The file's text ("" when there is no file).
  std::string Text() const;
  // Replaces the file's text, as another process would.
  void Write(const std::string& text) const;

 private:
  std::filesystem::path dir_;
  std::filesystem::path file_;
  std::string saved_;
  bool hadSaved_ = false;
};
