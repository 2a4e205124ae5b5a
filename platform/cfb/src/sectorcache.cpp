// The sector cache of an open compound file: blocks of sectors read through the file's map or
// into memory from pooled arenas, and the dirty sectors the engine writes out.
#include "sectorcache.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "fileio.h"

namespace cfb {
namespace {

constexpr std::size_t kArenaSize = 1u << 20;
// Arenas of closed files kept for the next open, up to the clean budget and a little more:
// a search opens and closes the catalog each time, and fresh memory costs a page fault per
// page.
constexpr std::size_t kPooledArenas = (kCleanBudget >> 20) + 16;

std::mutex arenaPoolLock;
std::vector<std::unique_ptr<std::uint8_t[]>>& ArenaPool() {
  static auto* pool = new std::vector<std::unique_ptr<std::uint8_t[]>>();  // outlives every file
  return *pool;
}

std::unique_ptr<std::uint8_t[]> TakeArena() {
  {
    std::lock_guard<std::mutex> hold(arenaPoolLock);
    auto& pool = ArenaPool();
    if (!pool.empty()) {
      auto a = std::move(pool.back());
      pool.pop_back();
      return a;
    }
  }
  return std::make_unique_for_overwrite<std::uint8_t[]>(kArenaSize);
}

void GiveBackArenas(std::vector<std::unique_ptr<std::uint8_t[]>>& arenas) {
  std::lock_guard<std::mutex> hold(arenaPoolLock);
  auto& pool = ArenaPool();
  for (auto& a : arenas) {
    if (pool.size() >= kPooledArenas) break;
    pool.push_back(std::move(a));
  }
  arenas.clear();
}

}  // namespace

SectorCache::~SectorCache() { GiveBackArenas(arenas_); }

// The sectors the file holds at open are read through a map of it: clean sectors are then
// used where the system keeps them, without a copy. The file never becomes shorter than it
// was at open while it is held (a release only grows it, and an undone release goes back to
// a length at least as long), so the map stays within the file.
void SectorCache::Init(int fd, std::uint32_t sectorSize, std::uint32_t fileSectors) {
  map_.Unmap();
  mappedSectors_ = 0;
  cutShort_ = false;
  fd_ = fd;
  sectorSize_ = sectorSize;
  perBlock_ = std::max<std::uint32_t>(1, std::min<std::uint32_t>(64, kBlockBytes / sectorSize));
  blockShift_ = static_cast<std::uint32_t>(__builtin_ctz(perBlock_));
  fileSectors_ = fileSectors;
  struct stat st {};
  std::uint64_t whole = 0;  // sectors with the header
  if (fileSectors != 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
    whole = static_cast<std::uint64_t>(st.st_size) / sectorSize;
  // A file that is not mapped is read through calls; the map kept from another file goes.
  if (whole < 2 || whole - 1 > fileSectors || !map_.Map(fd, static_cast<std::size_t>(whole * sectorSize))) {
    FileMap::ForgetKept();
    return;
  }
  mappedSectors_ = static_cast<std::uint32_t>(whole - 1);
}

SectorCache::Block& SectorCache::SlotOf(std::uint32_t s) {
  std::size_t bi = s >> blockShift_;
  std::size_t ci = bi >> kChunkBits;
  if (ci >= chunks_.size()) chunks_.resize(ci + 1);
  if (!chunks_[ci]) chunks_[ci] = std::make_unique<Chunk>();
  return chunks_[ci]->blocks[bi & (kChunk - 1)];
}

// A block of its own memory, to be written or read into.
SectorCache::Block& SectorCache::BlockOf(std::uint32_t s) {
  Block& b = SlotOf(s);
  if (!b.data) b.data = NewBuffer();
  else Own(b);
  return b;
}

void SectorCache::Own(Block& b) {
  if (!b.mapped) return;
  std::uint8_t* buf = NewBuffer();
  std::memcpy(buf, b.data, static_cast<std::size_t>(perBlock_) * sectorSize_);
  b.data = buf;
  b.mapped = false;
}

std::uint8_t* SectorCache::NewBuffer() {
  if (!spare_.empty()) {
    std::uint8_t* p = spare_.back();
    spare_.pop_back();
    return p;
  }
  const std::size_t bytes = static_cast<std::size_t>(perBlock_) * sectorSize_;
  if (arenas_.empty() || arenaUsed_ + bytes > kArenaSize) {
    arenas_.push_back(TakeArena());
    arenaUsed_ = 0;
  }
  std::uint8_t* p = arenas_.back().get() + arenaUsed_;
  arenaUsed_ += bytes;
  return p;
}

// Reads the sectors [first, first+count) of the block from the file, in one call; the bytes
// of a last sector cut short read as zeros.
void SectorCache::ReadInto(Block& b, std::uint32_t first, std::uint32_t count) {
  std::size_t got = ReadAt(fd_, static_cast<std::uint64_t>(first + 1) * sectorSize_, At(b, first),
                           static_cast<std::size_t>(count) * sectorSize_);
  // Only the file's last sector may be short; a file that ends before it was cut short
  // behind its lock, and nothing more is read from it or written to it.
  if (first + got / sectorSize_ < std::min(first + count, fileSectors_ - 1)) {
    cutShort_ = true;
    Throw(STG_E_READFAULT);
  }
  std::uint32_t from = first & (perBlock_ - 1);
  std::uint64_t bits = (count >= 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << count) - 1)) << from;
  present_ += static_cast<std::size_t>(__builtin_popcountll(bits & ~b.valid));
  b.valid |= bits;
}

std::uint8_t* SectorCache::LoadMissing(std::uint32_t s) {
  // Only sectors made in this session live past the end of the file.
  if (s >= fileSectors_) Corrupt();
  const std::uint32_t first = s & ~(perBlock_ - 1);
  Block& b = SlotOf(s);
  const bool fresh = !b.data;
  if (fresh && first + perBlock_ <= mappedSectors_) {
    b.data = const_cast<std::uint8_t*>(map_.data()) + static_cast<std::size_t>(first + 1) * sectorSize_;
    b.mapped = true;
    b.valid = perBlock_ == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << perBlock_) - 1;
    present_ += perBlock_;
    return At(b, s);
  }
  if (fresh) b.data = NewBuffer();
  else Own(b);  // never read into the map
  try {
    if (fresh) {
      // A new block: every sector of it the file holds, in one read.
      std::uint32_t count = std::min(perBlock_, fileSectors_ - first);
      ReadInto(b, first, count);
    } else {
      ReadInto(b, s, 1);  // a block held in part: only what is missing, never over a sector held
    }
  } catch (...) {
    if (fresh) {
      spare_.push_back(b.data);
      b = Block{};
    }
    throw;
  }
  return At(b, s);
}

void SectorCache::MarkDirty(Block& b, std::uint32_t s) {
  const std::uint64_t bit = std::uint64_t{1} << (s & (perBlock_ - 1));
  if (!(b.dirty & bit)) {
    dirtyList_.push_back(Sector{s});
    b.dirty |= bit;
  }
  ++mutations_;
}

std::uint8_t* SectorCache::GetDirty(Sector sector) {
  const std::uint32_t s = Raw(sector);
  Load(s);
  Block& b = *FindBlock(s);
  Own(b);  // a sector of the map is written in a copy of its block
  MarkDirty(b, s);
  return At(b, s);
}

std::uint8_t* SectorCache::Fresh(Sector sector) {
  const std::uint32_t s = Raw(sector);
  Block& b = BlockOf(s);
  const std::uint64_t bit = std::uint64_t{1} << (s & (perBlock_ - 1));
  if (!(b.valid & bit)) {
    b.valid |= bit;
    ++present_;
  }
  std::uint8_t* p = At(b, s);
  std::memset(p, 0, sectorSize_);
  MarkDirty(b, s);
  return p;
}

// Clean sectors in a block with a dirty one stay until the write-out, so the pass counts only
// what was read since the last one: a pass over every block on each call, while the kept
// clean data alone passes the budget, would cost as much as the cache holds each time.
void SectorCache::DropClean(std::size_t keepBytes) {
  const std::size_t clean = present_ - dirtyList_.size();
  const std::size_t added = clean > keptClean_ ? clean - keptClean_ : 0;
  if (added * sectorSize_ <= keepBytes) return;
  for (auto& c : chunks_) {
    if (!c) continue;
    for (Block& b : c->blocks) {
      if (b.data && !b.dirty) {
        present_ -= static_cast<std::size_t>(__builtin_popcountll(b.valid));
        if (!b.mapped) spare_.push_back(b.data);
        b = Block{};
      }
    }
  }
  keptClean_ = present_ - dirtyList_.size();
}

std::vector<Sector> SectorCache::DirtySorted() const {
  std::vector<Sector> v = dirtyList_;
  std::sort(v.begin(), v.end());
  return v;
}

void SectorCache::MarkAllClean() {
  for (Sector s : dirtyList_) FindBlock(Raw(s))->dirty = 0;
  dirtyList_.clear();
  keptClean_ = 0;  // every block may go now
}

void SectorCache::Clear() {
  map_.Unmap();
  mappedSectors_ = 0;
  chunks_.clear();
  dirtyList_.clear();
  spare_.clear();
  GiveBackArenas(arenas_);
  arenaUsed_ = 0;
  present_ = 0;
  keptClean_ = 0;
}

}  // namespace cfb
