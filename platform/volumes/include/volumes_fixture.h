// Fixture drives and machine sources for tests.
//
// A fixture drive is a folder registered as a drive letter with a type, a file-system
// label, a ready switch, a write-protect switch and injected sizes. It takes precedence
// over the drive table and the automatic letters while the object lives.
//
// Fixtures and sources live in the process environment (XENDORA_FIXTURE_DRIVE_<letter>,
// XENDORA_MOUNTINFO, XENDORA_SYSFS, XENDORA_DISK_BY_LABEL), so every copy of this layer
// in the process (the program and each component library link their own) and every child
// process sees the same drives. Not for use from several threads at once.
#pragma once

#include <filesystem>
#include <string>

#include "volumes.h"

namespace volumes::testing {

// Where the layer reads the machine's mounts, devices and labels.
struct MachineSources {
  std::string mountinfo = "/proc/self/mountinfo";
  std::string sysfs = "/sys";
  std::string diskByLabel = "/dev/disk/by-label";
};
void SetMachineSources(const MachineSources& sources);
// No mounts, no devices, no labels: only fixture drives and the drive table remain.
void IsolateFromMachine();
// Back to the machine's own sources.
void ResetMachineSources();

class FixtureDrive {
 public:
  // Registers `folder` (which must exist) as drive `letter` ('A'..'Z', either case) of
  // `type`, ready, writable, with the file system label `label` and the real sizes of the
  // folder's file system. A letter outside A to Z throws std::invalid_argument.
  FixtureDrive(char letter, UINT type, const std::filesystem::path& folder,
               const std::string& label = "");
  ~FixtureDrive();  // unregisters the letter
  FixtureDrive(const FixtureDrive&) = delete;
  FixtureDrive& operator=(const FixtureDrive&) = delete;

  // No medium: the label, sizes and walks answer ERROR_NOT_READY.
  void SetReady(bool ready);
  // SetVolumeLabelA answers ERROR_WRITE_PROTECT.
  void SetWriteProtected(bool writeProtected);
  // The file system's own label, read while the folder has no label file.
  void SetLabel(const std::string& label);
  // Total and free bytes in place of the real ones.
  void SetSizes(ULONGLONG totalBytes, ULONGLONG freeBytes);

  char Letter() const { return letter_; }
  // "X:\"
  std::string Root() const;

 private:
  void Publish() const;

  char letter_;
  UINT type_;
  std::string folder_;
  std::string label_;
  bool ready_ = true;
  bool writeProtected_ = false;
  bool sized_ = false;
  ULONGLONG total_ = 0;
  ULONGLONG free_ = 0;
};

}  // namespace volumes::testing
