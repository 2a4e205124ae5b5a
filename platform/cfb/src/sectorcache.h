// The sectors of an open compound file held in memory: read in blocks, through a map of the
// file where it can, written out by the engine at the release.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "filemap.h"
#include "layout.h"

namespace cfb {

// Clean sectors kept between calls; beyond it they are let go at the start of the next one.
inline constexpr std::size_t kCleanBudget = 64u << 20;

// Sectors of the file held in memory, by sector number, in blocks of neighbouring sectors
// that are read from the file in one call: what the file holds near a sector is usually
// read next (directory pages, a stream's data). Clean blocks may be dropped at any call's
// start (never in the middle of one); a block with a dirty sector stays until it is
// written. A sector held is never read over: a dirty one is newer than the file.
class SectorCache {
 public:
  SectorCache() = default;
  ~SectorCache();
  SectorCache(const SectorCache&) = delete;
  SectorCache& operator=(const SectorCache&) = delete;

  void Init(int fd, std::uint32_t sectorSize, std::uint32_t fileSectors);
  void SetFileSectors(std::uint32_t n) { fileSectors_ = n; }
  std::uint32_t FileSectors() const { return fileSectors_; }

  const std::uint8_t* Get(Sector s) { return Load(Raw(s)); }
  // Where sector s is in the map of the file, or null: for a hint to the processor only,
  // as a sector written since may be held elsewhere.
  const std::uint8_t* Peek(Sector s) const {
    const std::uint32_t n = Raw(s);
    return n < mappedSectors_ ? map_.data() + static_cast<std::size_t>(n + 1) * sectorSize_ : nullptr;
  }
  // The file could not be read where it must hold data: a page of the map gave zeros, or
  // the file ends before the sectors it held at open.
  bool ReadFaulted() const { return cutShort_ || map_.Faulted(); }
  std::uint8_t* GetDirty(Sector s);
  std::uint8_t* Fresh(Sector s);  // zeroed and dirty, nothing read

  void DropClean(std::size_t keepBytes);
  std::vector<Sector> DirtySorted() const;
  void MarkAllClean();
  std::uint64_t Mutations() const { return mutations_; }
  bool HasDirty() const { return !dirtyList_.empty(); }
  std::size_t DirtyBytes() const { return dirtyList_.size() * sectorSize_; }
  void Clear();

 private:
  static constexpr std::uint32_t kBlockBytes = 32768;
  static constexpr std::uint32_t kChunkBits = 10;  // blocks per chunk of the index
  static constexpr std::uint32_t kChunk = 1u << kChunkBits;
  struct Block {
    std::uint8_t* data = nullptr;
    bool mapped = false;  // data points into the file's map
    std::uint64_t valid = 0;  // sectors held, by position in the block
    std::uint64_t dirty = 0;
  };
  struct Chunk {
    Block blocks[kChunk];
  };
  std::uint8_t* Load(std::uint32_t s) {
    if (Block* found = FindBlock(s); found && (found->valid >> (s & (perBlock_ - 1)) & 1)) return At(*found, s);
    return LoadMissing(s);
  }
  std::uint8_t* LoadMissing(std::uint32_t s);
  Block& BlockOf(std::uint32_t s);
  Block& SlotOf(std::uint32_t s);
  void Own(Block& b);
  Block* FindBlock(std::uint32_t s) const {
    std::size_t bi = s >> blockShift_;
    std::size_t ci = bi >> kChunkBits;
    if (ci >= chunks_.size() || !chunks_[ci]) return nullptr;
    return &chunks_[ci]->blocks[bi & (kChunk - 1)];
  }
  void ReadInto(Block& b, std::uint32_t first, std::uint32_t count);
  std::uint8_t* NewBuffer();
  void MarkDirty(Block& b, std::uint32_t s);
  std::uint8_t* At(Block& b, std::uint32_t s) const { return b.data + (s & (perBlock_ - 1)) * sectorSize_; }

  int fd_ = -1;
  FileMap map_;  // the file as it was at open, whole sectors only
  std::uint32_t mappedSectors_ = 0;
  bool cutShort_ = false;
  std::uint32_t sectorSize_ = 512;
  std::uint32_t perBlock_ = kBlockBytes / 512;  // a power of two, at most 64
  std::uint32_t blockShift_ = 6;               // its logarithm
  std::uint32_t fileSectors_ = 0;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::vector<Sector> dirtyList_;
  std::vector<std::uint8_t*> spare_;
  std::vector<std::unique_ptr<std::uint8_t[]>> arenas_;
  std::size_t arenaUsed_ = 0;
  std::size_t present_ = 0;  // sectors held
  std::size_t keptClean_ = 0;  // clean sectors the last pass left, in blocks with a dirty one
  std::uint64_t mutations_ = 0;
};

}  // namespace cfb
