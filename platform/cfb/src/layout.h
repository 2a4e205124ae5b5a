// The on-disk layout of a compound file: special sector numbers, element types, sizes, the
// header's fields, little-endian access, and the directory entry's empty form and name.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace cfb {

inline constexpr std::uint32_t MAXREGSECT = 0xFFFFFFFA;
inline constexpr std::uint32_t DIFSECT = 0xFFFFFFFC;
inline constexpr std::uint32_t FATSECT = 0xFFFFFFFD;
inline constexpr std::uint32_t ENDOFCHAIN = 0xFFFFFFFE;
inline constexpr std::uint32_t FREESECT = 0xFFFFFFFF;
inline constexpr std::uint32_t NOSTREAM = 0xFFFFFFFF;

// The three kinds of number the file links by, each a type of its own so that one cannot be
// passed where another is meant: directory entries, sectors (counted after the header), and
// mini sectors (64-byte units of the mini stream). The special values the FATs and entries
// hold (ENDOFCHAIN, FREESECT, NOSTREAM) are values of these types too.
enum class EntryId : std::uint32_t {};
enum class Sector : std::uint32_t {};
enum class MiniSector : std::uint32_t {};
constexpr std::uint32_t Raw(EntryId v) { return static_cast<std::uint32_t>(v); }
constexpr std::uint32_t Raw(Sector v) { return static_cast<std::uint32_t>(v); }
constexpr std::uint32_t Raw(MiniSector v) { return static_cast<std::uint32_t>(v); }

static_assert(!std::is_convertible_v<Sector, EntryId> && !std::is_convertible_v<MiniSector, Sector> &&
              !std::is_convertible_v<EntryId, MiniSector> && !std::is_convertible_v<std::uint32_t, Sector>);
static_assert(sizeof(EntryId) == 4 && sizeof(Sector) == 4 && sizeof(MiniSector) == 4);

inline constexpr EntryId kNoEntry{NOSTREAM};
template <class Unit>
inline constexpr Unit kEndOfChain{ENDOFCHAIN};
template <class Unit>
inline constexpr Unit kFreeSect{FREESECT};

// Where a stream's data lives: in whole sectors, or, below the cutoff, in the mini stream.
enum class Pool : std::uint8_t { kRegular, kMini };
template <class Unit>
inline constexpr Pool kPoolOf = std::is_same_v<Unit, MiniSector> ? Pool::kMini : Pool::kRegular;

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

inline constexpr std::uint32_t kHeaderBytes = 512;  // the header's own part of its sector
inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Header fields, by their offset in the header.
inline constexpr int kHMinorVersion = 24, kHMajorVersion = 26, kHByteOrder = 28, kHSectorShift = 30,
                     kHMiniSectorShift = 32, kHNumDirSectors = 40, kHNumFat = 44, kHFirstDir = 48, kHMiniCutoff = 56,
                     kHFirstMiniFat = 60, kHNumMiniFat = 64, kHFirstDifat = 68, kHNumDifat = 72, kHDifat = 76;
inline constexpr int kHeaderDifat = 109;  // FAT sector locations the header holds itself
inline constexpr std::uint16_t kMinorVersion = 0x003E;
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;  // little-endian
inline constexpr std::uint16_t kMiniSectorShift = 6;     // 64-byte mini sectors

// Directory entry fields, by their offset in the entry.
inline constexpr int kEName = 0;         // up to 32 UTF-16 units, the last a null
inline constexpr int kENameBytes = 64;   // the name field's size
inline constexpr int kENameLength = 64;  // 16 bits: bytes of the name with its null
inline constexpr int kEType = 66;        // kTypeEmpty, kTypeStorage, kTypeStream or kTypeRoot
inline constexpr int kEColour = 67;      // kRed or kBlack
inline constexpr int kELeft = 68;        // sibling trees: the entry ordered before, or NOSTREAM
inline constexpr int kERight = 72;       // the entry ordered after, or NOSTREAM
inline constexpr int kEChild = 76;       // a storage's tree of elements: its root, or NOSTREAM
inline constexpr int kEClsid = 80;       // 16 bytes
inline constexpr int kEClsidBytes = 16;
inline constexpr int kEStateBits = 96;
inline constexpr int kECreated = 100;   // 64-bit file time
inline constexpr int kEModified = 108;  // 64-bit file time
inline constexpr int kEStart = 116;     // a stream's first sector or mini sector; the root's mini stream
inline constexpr int kESize = 120;      // 64 bits; a version 3 file keeps only the low 32
inline constexpr int kESizeHigh = 124;
inline constexpr std::uint8_t kRed = 0;
inline constexpr std::uint8_t kBlack = 1;

inline EntryId LeftOf(const std::uint8_t* e) { return EntryId{Get32(e + kELeft)}; }
inline EntryId RightOf(const std::uint8_t* e) { return EntryId{Get32(e + kERight)}; }
inline EntryId ChildOf(const std::uint8_t* e) { return EntryId{Get32(e + kEChild)}; }

inline void InitEmptyEntry(std::uint8_t* e) {
  std::memset(e, 0, kEntrySize);
  Put32(e + kELeft, NOSTREAM);
  Put32(e + kERight, NOSTREAM);
  Put32(e + kEChild, NOSTREAM);
}

inline void WriteName(std::uint8_t* e, const std::u16string& name) {
  std::memset(e + kEName, 0, kENameBytes);
  for (std::size_t i = 0; i < name.size(); ++i) Put16(e + kEName + 2 * i, name[i]);
  Put16(e + kENameLength, static_cast<std::uint16_t>((name.size() + 1) * 2));
}

}  // namespace cfb
