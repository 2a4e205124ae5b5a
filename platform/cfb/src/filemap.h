// Read-only maps of the files the layer holds open. A page of a map that cannot be read
// (the file was cut short behind its lock, or the medium failed) would end the process with
// a bus error; instead that page reads as zeros from then on and the map says it faulted,
// so that the call in progress can fail with STG_E_READFAULT and nothing read there is
// written back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace cfb {

class FileMap {
 public:
  FileMap() = default;
  ~FileMap() { Unmap(); }
  FileMap(const FileMap&) = delete;
  FileMap& operator=(const FileMap&) = delete;

  // Maps the first `bytes` of fd; false when it cannot (the caller reads through calls). The
  // map released last is taken again when it is of the same file and length.
  bool Map(int fd, std::size_t bytes);
  void Unmap();
  // Lets go of the map kept from the file released last (its pages count as the process's
  // own while it is mapped).
  static void ForgetKept();
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool Faulted() const;

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  int slot_ = -1;
  dev_t dev_ = 0;  // the file mapped
  ino_t ino_ = 0;
  bool keepable_ = false;  // mapped through a description that holds no lock
};

}  // namespace cfb
