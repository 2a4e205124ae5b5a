// Serial labels and drive geometry: what the scanner reads from and writes onto a medium.
#include <cstdio>

#include "scanner_impl.h"

namespace brevix {

std::string DrivePathOf(BSTR path) { return volumes::NameToDisk(xcom::BstrView(path)); }

std::optional<double> SerialOfLabel(std::string_view label) {
  if (label.empty() || label[0] != '#') return std::nullopt;
  double serial = 0.0;
  size_t i = 1;
  for (; i < label.size() && label[i] >= '0' && label[i] <= '9'; ++i) serial = serial * 10.0 + (label[i] - '0');
  // "#" alone, or "#" and a word, is a label of the user's, not a serial this system wrote;
  // 0 is never a medium's serial: either would name the disks catalogued by drive letter,
  // which carry 0.
  if (i == 1 || serial == 0.0) return std::nullopt;
  return serial;
}

std::string SerialLabel(double serial) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "#%010.0f", serial);
  return buf;
}

bool ReadVolumeLabel(const std::string& root, std::string& label) {
  // Room for the longest label the platform writes (255 bytes) and its terminator.
  char name[261] = {};
  if (!GetVolumeInformationA(root.c_str(), name, sizeof name, nullptr, nullptr, nullptr, nullptr, 0)) return false;
  label = name;
  return true;
}

double ReadLabelSerial(const std::string& root) {
  std::string label;
  if (!ReadVolumeLabel(root, label)) {
    return GetLastError() == ERROR_NOT_READY ? LABEL_SERIAL_NOT_READY : LABEL_SERIAL_NONE;
  }
  return SerialOfLabel(label).value_or(LABEL_SERIAL_NONE);
}

bool WriteLabelSerial(const std::string& root, double serial) {
  return SetVolumeLabelA(root.c_str(), SerialLabel(serial).c_str()) != FALSE;
}

bool DriveGeometry(const std::string& path, std::uint64_t& capacity, std::uint64_t& freeBytes) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(path.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return false;
  }
  // Each factor is 32 bits wide; their product is not (a drive beyond 4 GiB).
  const std::uint64_t cluster = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  capacity = cluster * totalClusters;
  freeBytes = cluster * freeClusters;
  return true;
}

}  // namespace brevix
