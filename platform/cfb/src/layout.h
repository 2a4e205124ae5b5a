// The on-disk layout of a compound file: special sector numbers, element types, sizes, the
// header's fields, little-endian access, and the directory entry's empty form and name.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace cfb {

inline constexpr std::uint32_t MAXREGSECT = 0xFFFFFFFA;
inline constexpr std::uint32_t DIFSECT = 0xFFFFFFFC;
inline constexpr std::uint32_t FATSECT = 0xFFFFFFFD;
inline constexpr std::uint32_t ENDOFCHAIN = 0xFFFFFFFE;
inline constexpr std::uint32_t FREESECT = 0xFFFFFFFF;
inline constexpr std::uint32_t NOSTREAM = 0xFFFFFFFF;

inline constexpr std::uint8_t kTypeEmpty = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;

inline constexpr std::uint32_t kMiniCutoff = 4096;
inline constexpr std::uint32_t kMiniSize = 64;
inline constexpr std::uint32_t kEntrySize = 128;

inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) { return Get32(p) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32); }
inline void Put16(std::uint8_t* p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}
inline void Put64(std::uint8_t* p, std::uint64_t v) { Put32(p, static_cast<std::uint32_t>(v)); Put32(p + 4, static_cast<std::uint32_t>(v >> 32)); }

// Header fields.
inline constexpr int kHNumDirSectors = 40, kHNumFat = 44, kHFirstDir = 48, kHFirstMiniFat = 60,
              kHNumMiniFat = 64, kHFirstDifat = 68, kHNumDifat = 72, kHDifat = 76;
inline constexpr int kHeaderDifat = 109;

inline void InitEmptyEntry(std::uint8_t* e) {
  std::memset(e, 0, kEntrySize);
  Put32(e + 68, NOSTREAM);
  Put32(e + 72, NOSTREAM);
  Put32(e + 76, NOSTREAM);
}

inline void WriteName(std::uint8_t* e, const std::u16string& name) {
  std::memset(e, 0, 64);
  for (std::size_t i = 0; i < name.size(); ++i) Put16(e + 2 * i, name[i]);
  Put16(e + 64, static_cast<std::uint16_t>((name.size() + 1) * 2));
}


}  // namespace cfb
