// The engine of one open compound file: header, FATs, mini stream, directory and sibling trees.
#include "docfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace cfb {
namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr int kDeepTree = 64;              // deeper than any red-black tree of 2^31 names
constexpr std::uint64_t kScanCredit = 4;   // pages a free-list scan may read per allocation
constexpr std::uint64_t kScanStart = 16;
constexpr std::size_t kCleanBudget = 64u << 20;
std::size_t dirtyBudget = 128u << 20;
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
constexpr std::uint32_t kOwnerDir = 0xFFFFFF00;
constexpr std::uint32_t kOwnerMiniFat = 0xFFFFFF01;

// Header fields.
constexpr int kHNumDirSectors = 40, kHNumFat = 44, kHFirstDir = 48, kHFirstMiniFat = 60,
              kHNumMiniFat = 64, kHFirstDifat = 68, kHNumDifat = 72, kHDifat = 76;
constexpr int kHeaderDifat = 109;

std::uint64_t NowFileTime() {
  using namespace std::chrono;
  auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
  return static_cast<std::uint64_t>(since1970) + 116444736000000000ull;
}

void InitEmptyEntry(std::uint8_t* e) {
  std::memset(e, 0, kEntrySize);
  Put32(e + 68, NOSTREAM);
  Put32(e + 72, NOSTREAM);
  Put32(e + 76, NOSTREAM);
}

void WriteName(std::uint8_t* e, const std::u16string& name) {
  std::memset(e, 0, 64);
  for (std::size_t i = 0; i < name.size(); ++i) Put16(e + 2 * i, name[i]);
  Put16(e + 64, static_cast<std::uint16_t>((name.size() + 1) * 2));
}

// The three sectors of an empty version 3 file: header, FAT, directory.
void BuildEmpty(std::uint8_t* header, std::uint8_t* fat, std::uint8_t* dir) {
  std::memset(header, 0, 512);
  std::memcpy(header, kSignature, 8);
  Put16(header + 24, 0x003E);
  Put16(header + 26, 3);
  Put16(header + 28, 0xFFFE);
  Put16(header + 30, 9);
  Put16(header + 32, 6);
  Put32(header + kHNumFat, 1);
  Put32(header + kHFirstDir, 1);
  Put32(header + 56, kMiniCutoff);
  Put32(header + kHFirstMiniFat, ENDOFCHAIN);
  Put32(header + kHFirstDifat, ENDOFCHAIN);
  for (int k = 0; k < kHeaderDifat; ++k) Put32(header + kHDifat + 4 * k, FREESECT);
  Put32(header + kHDifat, 0);
  std::memset(fat, 0xFF, 512);
  Put32(fat, FATSECT);
  Put32(fat + 4, ENDOFCHAIN);
  for (int i = 0; i < 4; ++i) InitEmptyEntry(dir + i * kEntrySize);
  WriteName(dir, u"Root Entry");
  dir[66] = kTypeRoot;
  dir[67] = 1;
  Put32(dir + 116, ENDOFCHAIN);
}

}  // namespace

// ---- SectorCache ---------------------------------------------------------------------------

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
  if (fileSectors == 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  std::uint64_t whole = static_cast<std::uint64_t>(st.st_size) / sectorSize;  // with the header
  if (whole < 2 || whole - 1 > fileSectors) return;
  if (!map_.Map(fd, static_cast<std::size_t>(whole * sectorSize))) return;  // read through calls instead
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
    dirtyList_.push_back(s);
    b.dirty |= bit;
  }
  ++mutations_;
}

std::uint8_t* SectorCache::GetDirty(std::uint32_t s) {
  Load(s);
  Block& b = *FindBlock(s);
  Own(b);  // a sector of the map is written in a copy of its block
  MarkDirty(b, s);
  return At(b, s);
}

std::uint8_t* SectorCache::Fresh(std::uint32_t s) {
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

void SectorCache::DropClean(std::size_t keepBytes) {
  std::size_t clean = present_ - dirtyList_.size();
  if (clean * sectorSize_ <= keepBytes) return;
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
}

std::vector<std::uint32_t> SectorCache::DirtySorted() const {
  std::vector<std::uint32_t> v = dirtyList_;
  std::sort(v.begin(), v.end());
  return v;
}

void SectorCache::MarkAllClean() {
  for (std::uint32_t s : dirtyList_) FindBlock(s)->dirty = 0;
  dirtyList_.clear();
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
}

// ---- Opening ---------------------------------------------------------------------------------

Docfile::~Docfile() {
  if (!closed_) {
    try {
      Close();
    } catch (...) {
    }
  }
}

std::vector<std::uint8_t> Docfile::EmptyFileImage() {
  std::vector<std::uint8_t> img(1536);
  BuildEmpty(img.data(), img.data() + 512, img.data() + 1024);
  return img;
}

// On failure the descriptors stay with the caller.
std::shared_ptr<Docfile> Docfile::Open(int fd, std::string journalPath, bool writable) {
  std::shared_ptr<Docfile> d(new Docfile);
  d->closed_ = true;
  d->fd_ = fd;
  d->writable_ = writable;
  d->journal_ = std::make_unique<Journal>(std::move(journalPath));
  try {
    d->LoadHeader();
  } catch (const Failure&) {
    if (d->ReadFaulted()) Throw(STG_E_READFAULT);
    throw;
  }
  if (d->ReadFaulted()) Throw(STG_E_READFAULT);
  d->closed_ = false;
  return d;
}

std::shared_ptr<Docfile> Docfile::NewReplacing(int dataFd, int lockFd, std::string finalPath,
                                               std::string journalPath, std::string tempName) {
  std::shared_ptr<Docfile> d(new Docfile);
  d->closed_ = true;
  d->fd_ = dataFd;
  d->mode_ = Mode::Replace;
  d->finalPath_ = std::move(finalPath);
  d->writable_ = true;
  d->journal_ = std::make_unique<Journal>(std::move(journalPath));
  d->InitEmpty();
  d->lockFd_ = lockFd;
  d->tempName_ = std::move(tempName);
  d->closed_ = false;
  return d;
}

void Docfile::InitEmpty() {
  version_ = 3;
  sectorSize_ = 512;
  perSector_ = 128;
  fatShift_ = 7;
  entriesPerSector_ = 4;
  entryShift_ = 2;
  cache_.Init(fd_, sectorSize_, 0);
  std::uint8_t* fat = cache_.Fresh(0);
  std::uint8_t* dir = cache_.Fresh(1);
  BuildEmpty(header_, fat, dir);
  sectorCount_ = 2;
  fatLocs_ = {0};
  dirChain_.Reset(false, 1);
  dirChain_.secs = {1};
  dirChain_.complete = true;
  miniFatChain_.Reset(false, ENDOFCHAIN);
  miniChain_.Reset(false, ENDOFCHAIN);
  freeEntries_.items = {3, 2, 1};
  for (FreeList* f : {&freeSectors_, &freeMini_, &freeEntries_}) f->bounded = true;  // nothing to scan
  oldLength_ = 0;
}

void Docfile::LoadHeader() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Throw(ErrnoStatus(errno));
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  oldLength_ = size;
  if (size < 512) Throw(STG_E_FILEALREADYEXISTS);
  ReadAt(fd_, 0, header_, 512);
  if (std::memcmp(header_, kSignature, 8) != 0) Throw(STG_E_FILEALREADYEXISTS);
  int major = Get16(header_ + 26);
  int shift = Get16(header_ + 30);
  if (Get16(header_ + 28) != 0xFFFE) Throw(STG_E_INVALIDHEADER);
  if (major == 3 && shift == 9) {
    sectorSize_ = 512;
  } else if (major == 4 && shift == 12) {
    sectorSize_ = 4096;
  } else {
    Throw(STG_E_INVALIDHEADER);
  }
  version_ = major;
  if (Get16(header_ + 32) != 6 || Get32(header_ + 56) != kMiniCutoff) Throw(STG_E_INVALIDHEADER);
  if (size < sectorSize_) Throw(STG_E_INVALIDHEADER);
  perSector_ = sectorSize_ / 4;
  fatShift_ = static_cast<std::uint32_t>(__builtin_ctz(perSector_));
  entriesPerSector_ = sectorSize_ / kEntrySize;
  entryShift_ = static_cast<std::uint32_t>(__builtin_ctz(entriesPerSector_));
  std::uint64_t fileSectors64 = (size - sectorSize_ + sectorSize_ - 1) / sectorSize_;
  std::uint32_t fileSectors =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSectors64, MAXREGSECT + 1ull));
  cache_.Init(fd_, sectorSize_, fileSectors);

  std::uint32_t numFat = Get32(header_ + kHNumFat);
  std::uint32_t numDifat = Get32(header_ + kHNumDifat);
  if (numFat == 0 || numFat > fileSectors || numDifat > fileSectors) Throw(STG_E_INVALIDHEADER);
  if (numFat > kHeaderDifat + static_cast<std::uint64_t>(numDifat) * (perSector_ - 1))
    Throw(STG_E_INVALIDHEADER);
  fatLocs_.reserve(numFat);
  auto addFat = [&](std::uint32_t loc) {
    if (loc >= fileSectors) Throw(STG_E_INVALIDHEADER);
    fatLocs_.push_back(loc);
  };
  for (std::uint32_t k = 0; k < numFat && k < static_cast<std::uint32_t>(kHeaderDifat); ++k)
    addFat(Get32(header_ + kHDifat + 4 * k));
  std::uint32_t cur = Get32(header_ + kHFirstDifat);
  for (std::uint32_t n = 0; n < numDifat; ++n) {
    if (cur == ENDOFCHAIN || cur == FREESECT) break;
    if (cur >= fileSectors) Throw(STG_E_INVALIDHEADER);
    difatLocs_.push_back(cur);
    const std::uint8_t* p = cache_.Get(cur);
    for (std::uint32_t i = 0; i + 1 < perSector_ && fatLocs_.size() < numFat; ++i) addFat(Get32(p + 4 * i));
    cur = Get32(p + 4 * (perSector_ - 1));
  }
  if (fatLocs_.size() < numFat) Throw(STG_E_INVALIDHEADER);
  sectorCount_ = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(fileSectors, static_cast<std::uint64_t>(numFat) * perSector_));

  std::uint32_t firstDir = Get32(header_ + kHFirstDir);
  if (firstDir >= sectorCount_) Throw(STG_E_INVALIDHEADER);
  dirChain_.Reset(false, firstDir);
  std::uint32_t firstMiniFat = Get32(header_ + kHFirstMiniFat);
  miniFatChain_.Reset(false, firstMiniFat == FREESECT ? ENDOFCHAIN : firstMiniFat);

  const std::uint8_t* root = Entry(kRootId);
  if (root[66] != kTypeRoot) Corrupt();
  std::uint64_t miniSize = SizeOf(kRootId);
  std::uint32_t miniStart = Get32(root + 116);
  if (miniStart == FREESECT) miniStart = ENDOFCHAIN;
  if (miniSize > static_cast<std::uint64_t>(sectorCount_) * sectorSize_) Corrupt();
  if (miniSize > 0 && miniStart == ENDOFCHAIN) Corrupt();
  miniChain_.Reset(false, miniSize == 0 ? ENDOFCHAIN : miniStart);
  miniCount_ = static_cast<std::uint32_t>((miniSize + kMiniSize - 1) / kMiniSize);

  freeSectors_.backPage = numFat;
  freeSectors_.bounded = true;
  freeSectors_.credit = freeMini_.credit = freeEntries_.credit = kScanStart;
}

void Docfile::SetDirtyBudget(std::size_t bytes) { dirtyBudget = bytes; }

void Docfile::Trim() {
  if (writable_ && !Broken() && cache_.DirtyBytes() > dirtyBudget) Spill();
  cache_.DropClean(kCleanBudget);
}

// ---- Tables ------------------------------------------------------------------------------------

std::uint32_t Docfile::FatGet(std::uint32_t s) {
  std::uint32_t k = s >> fatShift_;
  if (k >= fatLocs_.size()) return FREESECT;
  return Get32(cache_.Get(fatLocs_[k]) + 4 * (s & (perSector_ - 1)));
}

void Docfile::FatSet(std::uint32_t s, std::uint32_t v) {
  std::uint32_t k = s >> fatShift_;
  if (k >= fatLocs_.size()) Corrupt();
  Put32(cache_.GetDirty(fatLocs_[k]) + 4 * (s & (perSector_ - 1)), v);
}

std::uint32_t Docfile::MiniFatGet(std::uint32_t m) {
  std::uint32_t sec = TryChainAt(miniFatChain_, m >> fatShift_);
  if (sec == NOSTREAM) return FREESECT;
  return Get32(cache_.Get(sec) + 4 * (m & (perSector_ - 1)));
}

void Docfile::MiniFatSet(std::uint32_t m, std::uint32_t v) {
  std::uint32_t page = m >> fatShift_;
  std::uint32_t sec;
  while ((sec = TryChainAt(miniFatChain_, page)) == NOSTREAM) {
    ChainGrow(miniFatChain_, 1, kOwnerMiniFat);
    std::memset(cache_.GetDirty(miniFatChain_.secs.back()), 0xFF, sectorSize_);
    Put32(header_ + kHNumMiniFat, static_cast<std::uint32_t>(miniFatChain_.secs.size()));
  }
  Put32(cache_.GetDirty(sec) + 4 * (m & (perSector_ - 1)), v);
}

std::uint32_t Docfile::AppendSector(std::uint32_t mark) {
  for (;;) {
    std::uint32_t s = sectorCount_;
    if (s > MAXREGSECT) Throw(STG_E_MEDIUMFULL);
    if (s >> fatShift_ >= fatLocs_.size()) {
      AddFatSector();
      continue;
    }
    if (FatGet(s) != FREESECT) Corrupt();  // the FAT claims sectors past the end
    sectorCount_ = s + 1;
    FatSet(s, mark);
    return s;
  }
}

void Docfile::AddFatSector() {
  std::uint32_t k = static_cast<std::uint32_t>(fatLocs_.size());
  std::uint32_t f = sectorCount_;  // == k * perSector_: the new sector lies in its own span
  if (f > MAXREGSECT) Throw(STG_E_MEDIUMFULL);
  std::memset(cache_.Fresh(f), 0xFF, sectorSize_);
  fatLocs_.push_back(f);
  sectorCount_ = f + 1;
  FatSet(f, FATSECT);
  Put32(header_ + kHNumFat, static_cast<std::uint32_t>(fatLocs_.size()));
  RegisterFatSector(k, f);
}

void Docfile::RegisterFatSector(std::uint32_t k, std::uint32_t loc) {
  if (k < static_cast<std::uint32_t>(kHeaderDifat)) {
    Put32(header_ + kHDifat + 4 * k, loc);
    return;
  }
  std::uint32_t per = perSector_ - 1;
  std::uint32_t d = (k - kHeaderDifat) / per;
  std::uint32_t slot = (k - kHeaderDifat) % per;
  while (d >= difatLocs_.size()) {
    std::uint32_t s = AppendSector(DIFSECT);
    if (d < difatLocs_.size()) {  // made while finding room for s
      FreeUnit(false, s);
      break;
    }
    std::uint8_t* p = cache_.Fresh(s);
    std::memset(p, 0xFF, sectorSize_);
    Put32(p + 4 * per, ENDOFCHAIN);
    if (difatLocs_.empty())
      Put32(header_ + kHFirstDifat, s);
    else
      Put32(cache_.GetDirty(difatLocs_.back()) + 4 * per, s);
    difatLocs_.push_back(s);
    Put32(header_ + kHNumDifat, static_cast<std::uint32_t>(difatLocs_.size()));
  }
  Put32(cache_.GetDirty(difatLocs_[d]) + 4 * slot, loc);
}

// kind: 0 FAT, 1 mini FAT, 2 directory.
bool Docfile::ScanFree(FreeList& f, int kind) {
  if (f.credit == 0) return false;
  if (!f.bounded) {
    f.backPage = ChainLength(kind == 1 ? miniFatChain_ : dirChain_);
    f.bounded = true;
  }
  if (f.frontPage >= f.backPage) return false;
  std::uint32_t page = f.fromBack ? --f.backPage : f.frontPage++;
  f.fromBack = !f.fromBack;
  --f.credit;
  std::uint32_t sec = kind == 0 ? fatLocs_[page] : ChainAt(kind == 1 ? miniFatChain_ : dirChain_, page);
  const std::uint8_t* p = cache_.Get(sec);
  if (kind == 2) {
    for (std::uint32_t i = entriesPerSector_; i-- > 0;)
      if (p[i * kEntrySize + 66] == kTypeEmpty) f.items.push_back(page * entriesPerSector_ + i);
  } else {
    std::uint32_t limit = kind == 0 ? sectorCount_ : miniCount_;
    for (std::uint32_t i = perSector_; i-- > 0;) {
      std::uint64_t s = static_cast<std::uint64_t>(page) * perSector_ + i;
      if (s < limit && Get32(p + 4 * i) == FREESECT) f.items.push_back(static_cast<std::uint32_t>(s));
    }
  }
  return true;
}

template <class IsFree>
std::uint32_t Docfile::TakeFree(FreeList& f, int kind, IsFree isFree) {
  f.credit += kScanCredit;
  for (;;) {
    while (!f.items.empty()) {
      std::uint32_t c = f.items.back();
      f.items.pop_back();
      if (isFree(c)) return c;  // a candidate may have been taken since it was listed
    }
    if (!ScanFree(f, kind)) return NOSTREAM;
  }
}

std::uint32_t Docfile::AllocSector() {
  std::uint32_t s = TakeFree(freeSectors_, 0, [&](std::uint32_t c) { return c < sectorCount_ && FatGet(c) == FREESECT; });
  if (s != NOSTREAM)
    FatSet(s, ENDOFCHAIN);
  else
    s = AppendSector(ENDOFCHAIN);
  cache_.Fresh(s);
  return s;
}

std::uint32_t Docfile::AppendMini() {
  std::uint32_t m = miniCount_;
  if (m >= MAXREGSECT) Throw(STG_E_MEDIUMFULL);
  std::uint64_t needSecs = (static_cast<std::uint64_t>(m + 1) * kMiniSize + sectorSize_ - 1) / sectorSize_;
  std::uint32_t have = ChainLength(miniChain_);
  if (have < needSecs) ChainGrow(miniChain_, static_cast<std::uint32_t>(needSecs - have), kRootId);
  if (MiniFatGet(m) != FREESECT) Corrupt();  // the mini FAT claims sectors past the mini stream
  miniCount_ = m + 1;
  SetSize(kRootId, static_cast<std::uint64_t>(miniCount_) * kMiniSize);
  MiniFatSet(m, ENDOFCHAIN);
  return m;
}

std::uint32_t Docfile::AllocMini() {
  std::uint32_t m = TakeFree(freeMini_, 1, [&](std::uint32_t c) { return c < miniCount_ && MiniFatGet(c) == FREESECT; });
  if (m != NOSTREAM)
    MiniFatSet(m, ENDOFCHAIN);
  else
    m = AppendMini();
  Chain one;
  one.Reset(true, m);
  std::memset(UnitPtr(true, one, 0, true), 0, kMiniSize);
  return m;
}

void Docfile::FreeUnit(bool mini, std::uint32_t s) {
  SetNext(mini, s, FREESECT);
  (mini ? freeMini_ : freeSectors_).items.push_back(s);
}

// ---- Chains ------------------------------------------------------------------------------------

std::uint32_t Docfile::TryChainOn(Chain& c, std::uint32_t i) {
  const std::uint8_t* page = nullptr;  // the FAT sector of the last step: runs stay in one
  std::uint32_t pageNo = 0xFFFFFFFF;
  while (c.secs.size() <= i) {
    if (c.complete) return NOSTREAM;
    std::uint32_t next;
    if (c.secs.empty()) {
      next = c.first;
    } else if (c.mini) {
      next = MiniFatGet(c.secs.back());
    } else {
      std::uint32_t cur = c.secs.back();
      if (cur >> fatShift_ != pageNo) {
        pageNo = cur >> fatShift_;
        page = pageNo < fatLocs_.size() ? cache_.Get(fatLocs_[pageNo]) : nullptr;
      }
      next = page ? Get32(page + 4 * (cur & (perSector_ - 1))) : FREESECT;
    }
    if (next == ENDOFCHAIN) {
      c.complete = true;
      return NOSTREAM;
    }
    std::uint32_t limit = Limit(c.mini);
    if (next >= limit || c.secs.size() >= limit) Corrupt();  // out of range, or a cycle
    c.secs.push_back(next);
  }
  return c.secs[i];
}

std::uint32_t Docfile::ChainAt(Chain& c, std::uint32_t i) {
  std::uint32_t s = TryChainAt(c, i);
  if (s == NOSTREAM) Corrupt();  // shorter than its size says
  return s;
}

std::uint32_t Docfile::ChainLength(Chain& c) {
  while (!c.complete) TryChainAt(c, static_cast<std::uint32_t>(c.secs.size()));
  return static_cast<std::uint32_t>(c.secs.size());
}

void Docfile::SetChainStart(std::uint32_t owner, std::uint32_t s) {
  if (owner == kOwnerDir) {
    Put32(header_ + kHFirstDir, s);
  } else if (owner == kOwnerMiniFat) {
    Put32(header_ + kHFirstMiniFat, s);
  } else {
    SetStart(owner, s);
  }
}

void Docfile::ChainGrow(Chain& c, std::uint32_t units, std::uint32_t owner) {
  ChainLength(c);
  for (std::uint32_t k = 0; k < units; ++k) {
    std::uint32_t s = c.mini ? AllocMini() : AllocSector();
    if (c.secs.empty()) {
      c.first = s;
      SetChainStart(owner, s);
    } else {
      SetNext(c.mini, c.secs.back(), s);
    }
    c.secs.push_back(s);
  }
  c.complete = true;
}

void Docfile::ChainTruncate(Chain& c, std::uint32_t keep, std::uint32_t owner) {
  std::uint32_t cur;
  if (keep == 0) {
    cur = c.first;
    c.first = ENDOFCHAIN;
    SetChainStart(owner, ENDOFCHAIN);
  } else {
    std::uint32_t last = ChainAt(c, keep - 1);
    cur = Next(c.mini, last);
    SetNext(c.mini, last, ENDOFCHAIN);
  }
  std::uint32_t limit = Limit(c.mini);
  std::uint64_t steps = 0;
  while (cur != ENDOFCHAIN) {
    if (cur >= limit || ++steps > limit) Corrupt();
    std::uint32_t next = Next(c.mini, cur);
    if (next == FREESECT) Corrupt();
    FreeUnit(c.mini, cur);
    cur = next;
  }
  c.secs.resize(std::min<std::size_t>(c.secs.size(), keep));
  c.complete = true;
}

std::uint8_t* Docfile::UnitPtr(bool mini, Chain& c, std::uint32_t i, bool dirty) {
  std::uint32_t s = ChainAt(c, i);
  if (!mini) return dirty ? cache_.GetDirty(s) : const_cast<std::uint8_t*>(cache_.Get(s));
  std::uint64_t off = static_cast<std::uint64_t>(s) * kMiniSize;
  std::uint32_t sec = ChainAt(miniChain_, static_cast<std::uint32_t>(off / sectorSize_));
  std::uint8_t* p = dirty ? cache_.GetDirty(sec) : const_cast<std::uint8_t*>(cache_.Get(sec));
  return p + off % sectorSize_;
}

// ---- Entries and trees ---------------------------------------------------------------------------

const std::uint8_t* Docfile::EntryOn(std::uint32_t id) {
  std::uint32_t sec = ChainAt(dirChain_, id >> entryShift_);
  return cache_.Get(sec) + (id & (entriesPerSector_ - 1)) * kEntrySize;
}

std::uint8_t* Docfile::EntryW(std::uint32_t id) {
  std::uint32_t sec = ChainAt(dirChain_, id >> entryShift_);
  return cache_.GetDirty(sec) + (id & (entriesPerSector_ - 1)) * kEntrySize;
}

void Docfile::Prefetch(std::uint32_t id) const {
  std::size_t i = id >> entryShift_;
  if (id == NOSTREAM || i >= dirChain_.secs.size()) return;
  if (const std::uint8_t* p = cache_.Peek(dirChain_.secs[i]))
    __builtin_prefetch(p + (id & (entriesPerSector_ - 1)) * kEntrySize + 64);
}

void Docfile::CopyName(const std::uint8_t* e, std::size_t n, char16_t* out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char16_t>(Get16(e + 2 * i));
}

std::size_t Docfile::NameUnits(const std::uint8_t* e) {
  std::uint16_t len = Get16(e + 64);
  if (len < 2 || len > 64 || len % 2) Corrupt();
  return len / 2 - 1;
}

NameKey Docfile::KeyOf(const std::uint8_t* e) {
  std::size_t n = NameUnits(e);
  char16_t units[kMaxNameUnits + 1];
  CopyName(e, n, units);
  return NameKey::From(units, n);
}

int Docfile::Cmp(const NameKey& k, const std::uint8_t* e) { return CompareKey(k, e, NameUnits(e)); }

std::uint8_t Docfile::TypeOf(std::uint32_t id) { return Entry(id)[66]; }

std::uint64_t Docfile::SizeOf(std::uint32_t id) {
  const std::uint8_t* e = Entry(id);
  return version_ == 3 ? Get32(e + 120) : Get64(e + 120);
}

void Docfile::SetSize(std::uint32_t id, std::uint64_t size) {
  std::uint8_t* e = EntryW(id);
  if (version_ == 3) {
    Put32(e + 120, static_cast<std::uint32_t>(size));
    Put32(e + 124, 0);
  } else {
    Put64(e + 120, size);
  }
}

void Docfile::InfoFrom(const std::uint8_t* e, ElementMeta& info) const {
  info.type = e[66];
  info.size = info.type != kTypeStream ? 0 : version_ == 3 ? Get32(e + 120) : Get64(e + 120);
  std::memcpy(info.clsid, e + 80, 16);
  info.stateBits = Get32(e + 96);
  info.ctime = Get64(e + 100);
  info.mtime = Get64(e + 108);
}

ElementInfo Docfile::Info(std::uint32_t id, bool withName) {
  const std::uint8_t* e = Entry(id);
  ElementInfo info;
  if (withName) {
    std::size_t n = NameUnits(e);
    info.name.resize(n);
    CopyName(e, n, info.name.data());
  }
  InfoFrom(e, info);
  return info;
}

std::uint32_t Docfile::AllocEntry() {
  std::uint32_t id = TakeFree(freeEntries_, 2, [&](std::uint32_t c) { return TypeOf(c) == kTypeEmpty; });
  if (id != NOSTREAM) return id;
  std::uint32_t n = ChainLength(dirChain_);
  if (static_cast<std::uint64_t>(n + 1) * entriesPerSector_ > MAXREGSECT) Throw(STG_E_MEDIUMFULL);
  ChainGrow(dirChain_, 1, kOwnerDir);
  std::uint8_t* p = cache_.GetDirty(dirChain_.secs.back());
  for (std::uint32_t i = 0; i < entriesPerSector_; ++i) InitEmptyEntry(p + i * kEntrySize);
  if (version_ == 4) Put32(header_ + kHNumDirSectors, n + 1);
  std::uint32_t first = n * entriesPerSector_;
  for (std::uint32_t i = entriesPerSector_; i-- > 1;) freeEntries_.items.push_back(first + i);
  return first;
}

void Docfile::FreeEntry(std::uint32_t id) {
  InitEmptyEntry(EntryW(id));
  freeEntries_.items.push_back(id);
}

std::uint32_t Docfile::Find(std::uint32_t storage, const NameKey& key) {
  if (!index_.empty()) {
    auto it = index_.find(storage);
    if (it != index_.end()) {
      const auto& ids = it->second;
      std::size_t lo = 0, hi = ids.size();
      while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        int c = Cmp(key, Node(ids[mid]));
        if (c == 0) return ids[mid];
        if (c < 0) hi = mid; else lo = mid + 1;
      }
      return NOSTREAM;
    }
  }
  std::uint32_t cur = TreeRoot(storage);
  int depth = 0;
  while (cur != NOSTREAM) {
    if (++depth > kDeepTree) {
      Rebalance(storage);
      return Find(storage, key);
    }
    const std::uint8_t* e = Node(cur);
    int c = Cmp(key, e);
    if (c == 0) return cur;
    cur = Get32(e + (c < 0 ? 68 : 72));
  }
  return NOSTREAM;
}

// The elements of one storage in the order of its sibling tree, each entry read once and
// handed to visit(id, entry) (entry pointers stay valid through the call). A walk of one
// storage marks what it visits in a bitmap kept for the file, and clears its marks when done;
// a walk of a subtree passes the set of everything seen so far.
template <class Visit>
void Docfile::Walk(std::uint32_t storage, std::unordered_set<std::uint32_t>* seen, Visit&& visit) {
  std::vector<WalkStep>& stack = walkStack_;  // kept for the file: no allocation per walk
  const std::size_t stackBase = stack.size();   // safe should walks nest
  const std::size_t from = walked_.size();
  auto mark = [&](std::uint32_t id) {
    if (seen) return seen->insert(id).second;
    std::size_t word = id >> 6;
    if (word >= marks_.size()) marks_.resize(word + 1 + marks_.size() / 2);
    std::uint64_t bit = std::uint64_t{1} << (id & 63);
    if (marks_[word] & bit) return false;
    marks_[word] |= bit;
    walked_.push_back(id);
    return true;
  };
  auto unmark = [&] {
    for (std::size_t i = from; i < walked_.size(); ++i)
      marks_[walked_[i] >> 6] &= ~(std::uint64_t{1} << (walked_[i] & 63));
    walked_.resize(from);
    stack.resize(stackBase);
  };
  try {
    std::uint32_t cur = TreeRoot(storage);
    while (cur != NOSTREAM || stack.size() > stackBase) {
      while (cur != NOSTREAM) {
        const std::uint8_t* e = Node(cur);  // an id past the directory fails here, before it is marked
        if (cur == storage || !mark(cur)) Corrupt();  // a cycle, or an element in two places
        // What comes next is asked for early: the name, in the entry's other half, is read
        // when it is visited, and the children's links when the walk gets there.
        __builtin_prefetch(e);
        Prefetch(Get32(e + 68));
        Prefetch(Get32(e + 72));
        if (e[66] == kTypeStorage) Prefetch(Get32(e + 76));  // opened next, most likely
        stack.push_back({cur, e});
        cur = Get32(e + 68);
      }
      WalkStep step = stack.back();
      stack.pop_back();
      visit(step.id, step.e);
      cur = Get32(step.e + 72);
    }
  } catch (...) {
    unmark();
    throw;
  }
  unmark();
}

void Docfile::Traverse(std::uint32_t storage, std::vector<std::uint32_t>& out,
                       std::unordered_set<std::uint32_t>* seen) {
  Walk(storage, seen, [&](std::uint32_t id, const std::uint8_t*) { out.push_back(id); });
}

std::vector<std::uint32_t> Docfile::Children(std::uint32_t storage) {
  std::vector<std::uint32_t> ids;
  Traverse(storage, ids);
  return ids;
}

Listing Docfile::List(std::uint32_t storage) {
  Listing out;
  out.items.reserve(32);  // most storages hold few elements: grown once or not at all
  out.names.reserve(32 * 20);
  Walk(storage, nullptr, [&](std::uint32_t, const std::uint8_t* e) {
    const std::size_t n = NameUnits(e), at = out.names.size();
    out.items.emplace_back();
    Listing::Item& item = out.items.back();
    InfoFrom(e, item.meta);
    item.nameAt = static_cast<std::uint32_t>(at);
    item.nameLen = static_cast<std::uint32_t>(n);
    out.names.resize(at + n + 1);
    CopyName(e, n, out.names.data() + at);
    out.names[at + n] = u'\0';
  });
  return out;
}

void Docfile::VisitChildren(std::uint32_t storage, EntryVisit visit, void* context) {
  Walk(storage, nullptr, [&](std::uint32_t id, const std::uint8_t* e) { visit(context, id, e); });
}

void Docfile::Rebalance(std::uint32_t storage) {
  std::vector<std::uint32_t> ids = Children(storage);
  std::vector<std::pair<NameKey, std::uint32_t>> keyed;
  keyed.reserve(ids.size());
  for (std::uint32_t id : ids) keyed.emplace_back(KeyOf(Node(id)), id);
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return CompareKeys(a.first, b.first) < 0; });
  for (std::size_t i = 1; i < keyed.size(); ++i)
    if (CompareKeys(keyed[i - 1].first, keyed[i].first) == 0) Corrupt();  // one name twice
  for (std::size_t i = 0; i < keyed.size(); ++i) ids[i] = keyed[i].second;
  if (!writable_) {
    index_[storage] = std::move(ids);
    return;
  }
  int redLevel = 0;
  while ((std::size_t{2} << redLevel) <= ids.size()) ++redLevel;  // floor(log2(n))
  SetTreeRoot(storage, BuildBalanced(ids, 0, ids.size(), 0, redLevel));
}

std::uint32_t Docfile::BuildBalanced(const std::vector<std::uint32_t>& ids, std::size_t lo,
                                     std::size_t hi, int level, int redLevel) {
  if (lo >= hi) return NOSTREAM;
  std::size_t mid = lo + (hi - lo) / 2;
  std::uint32_t id = ids[mid];
  SetLeft(id, BuildBalanced(ids, lo, mid, level + 1, redLevel));
  SetRight(id, BuildBalanced(ids, mid + 1, hi, level + 1, redLevel));
  SetRed(id, level == redLevel && level > 0);
  return id;
}

void Docfile::Relink(std::uint32_t storage, std::uint32_t parent, std::uint32_t oldChild,
                     std::uint32_t newChild) {
  if (parent == NOSTREAM)
    SetTreeRoot(storage, newChild);
  else if (Left(parent) == oldChild)
    SetLeft(parent, newChild);
  else
    SetRight(parent, newChild);
}

void Docfile::Insert(std::uint32_t storage, std::uint32_t id) {
  NameKey key = KeyOf(Entry(id));
  std::vector<std::uint32_t> path;
  int lastCmp = 0;
  if (Descend(storage, key, path, lastCmp) != NOSTREAM) Corrupt();
  Link(storage, id, path, lastCmp);
}

std::uint32_t Docfile::Descend(std::uint32_t storage, const NameKey& key, std::vector<std::uint32_t>& path,
                               int& lastCmp) {
  for (;;) {
    path.clear();
    lastCmp = 0;
    bool deep = false;
    for (std::uint32_t cur = TreeRoot(storage); cur != NOSTREAM;) {
      if (path.size() >= static_cast<std::size_t>(kDeepTree)) {
        deep = true;
        break;
      }
      path.push_back(cur);
      lastCmp = Cmp(key, Node(cur));
      if (lastCmp == 0) return cur;
      cur = lastCmp < 0 ? Left(cur) : Right(cur);
    }
    if (!deep) return NOSTREAM;
    Rebalance(storage);
  }
}

std::uint32_t Docfile::CreateOrFind(std::uint32_t storage, const std::u16string& name, std::uint8_t type,
                                    bool* existed) {
  const NameKey key = NameKey::From(name.data(), name.size());
  int lastCmp = 0;
  const std::uint32_t found = Descend(storage, key, insertPath_, lastCmp);
  *existed = found != NOSTREAM;
  if (found != NOSTREAM) return found;
  std::uint32_t id = AllocEntry();
  InitEmptyEntry(EntryW(id));
  InitElement(id, name, type);
  Link(storage, id, insertPath_, lastCmp);
  return id;
}

void Docfile::Link(std::uint32_t storage, std::uint32_t id, const std::vector<std::uint32_t>& path, int lastCmp) {
  std::uint8_t* e = EntryW(id);
  Put32(e + 68, NOSTREAM);
  Put32(e + 72, NOSTREAM);
  e[67] = 0;  // red
  if (path.empty())
    SetTreeRoot(storage, id);
  else if (lastCmp < 0)
    SetLeft(path.back(), id);
  else
    SetRight(path.back(), id);

  std::uint32_t x = id;
  std::size_t i = path.size();  // path[i-1] is x's parent
  while (i >= 2 && Red(path[i - 1])) {
    std::uint32_t p = path[i - 1];
    std::uint32_t g = path[i - 2];
    std::uint32_t gp = i >= 3 ? path[i - 3] : NOSTREAM;
    bool leftSide = Left(g) == p;
    std::uint32_t u = leftSide ? Right(g) : Left(g);
    if (Red(u)) {
      SetRed(p, false);
      SetRed(u, false);
      SetRed(g, true);
      x = g;
      i -= 2;
      continue;
    }
    // inner: the side of p that faces the middle of g's subtree; outer: the other side.
    auto inner = [&](std::uint32_t n) { return leftSide ? Right(n) : Left(n); };
    auto outer = [&](std::uint32_t n) { return leftSide ? Left(n) : Right(n); };
    auto setInner = [&](std::uint32_t n, std::uint32_t v) { leftSide ? SetRight(n, v) : SetLeft(n, v); };
    auto setOuter = [&](std::uint32_t n, std::uint32_t v) { leftSide ? SetLeft(n, v) : SetRight(n, v); };
    if (inner(p) == x) {
      setInner(p, outer(x));
      setOuter(x, p);
      setOuter(g, x);
      std::swap(x, p);
    }
    setOuter(g, inner(p));
    setInner(p, g);
    Relink(storage, gp, g, p);
    SetRed(p, false);
    SetRed(g, true);
    break;
  }
  std::uint32_t root = TreeRoot(storage);
  if (Red(root)) SetRed(root, false);
}

void Docfile::Remove(std::uint32_t storage, std::uint32_t id) {
  NameKey key = KeyOf(Node(id));
  std::vector<std::uint32_t> path;
  std::uint32_t cur = TreeRoot(storage);
  while (cur != id) {
    if (cur == NOSTREAM) Corrupt();
    if (path.size() >= static_cast<std::size_t>(kDeepTree)) {
      Rebalance(storage);
      Remove(storage, id);
      return;
    }
    path.push_back(cur);
    int c = Cmp(key, Node(cur));
    if (c == 0) Corrupt();
    cur = c < 0 ? Left(cur) : Right(cur);
  }
  std::uint32_t pz = path.empty() ? NOSTREAM : path.back();
  std::uint32_t x;
  bool xLeft;
  bool removedRed;
  if (Left(id) == NOSTREAM || Right(id) == NOSTREAM) {
    x = Left(id) != NOSTREAM ? Left(id) : Right(id);
    xLeft = pz != NOSTREAM && Left(pz) == id;
    Relink(storage, pz, id, x);
    removedRed = Red(id);
  } else {
    std::vector<std::uint32_t> q;
    std::uint32_t y = Right(id);
    while (Left(y) != NOSTREAM) {
      if (path.size() + q.size() >= static_cast<std::size_t>(kDeepTree)) {
        Rebalance(storage);
        Remove(storage, id);
        return;
      }
      q.push_back(y);
      y = Left(y);
    }
    removedRed = Red(y);
    x = Right(y);
    bool zRed = Red(id);
    if (q.empty()) {
      SetLeft(y, Left(id));
      Relink(storage, pz, id, y);
      path.push_back(y);
      xLeft = false;
    } else {
      std::uint32_t yp = q.back();
      SetLeft(yp, x);
      SetRight(y, Right(id));
      SetLeft(y, Left(id));
      Relink(storage, pz, id, y);
      path.push_back(y);
      path.insert(path.end(), q.begin(), q.end());
      xLeft = true;
    }
    SetRed(y, zRed);
  }
  if (!removedRed) {
    while (!path.empty() && !Red(x)) {
      std::uint32_t p = path.back();
      std::uint32_t gp = path.size() >= 2 ? path[path.size() - 2] : NOSTREAM;
      auto near = [&](std::uint32_t n) { return xLeft ? Left(n) : Right(n); };
      auto far = [&](std::uint32_t n) { return xLeft ? Right(n) : Left(n); };
      auto setNear = [&](std::uint32_t n, std::uint32_t v) { xLeft ? SetLeft(n, v) : SetRight(n, v); };
      auto setFar = [&](std::uint32_t n, std::uint32_t v) { xLeft ? SetRight(n, v) : SetLeft(n, v); };
      std::uint32_t w = far(p);
      if (Red(w)) {  // rotate the red sibling up
        SetRed(w, false);
        SetRed(p, true);
        setFar(p, near(w));
        setNear(w, p);
        Relink(storage, gp, p, w);
        path.back() = w;
        path.push_back(p);
        gp = w;
        w = far(p);
      }
      if (w == NOSTREAM || (!Red(near(w)) && !Red(far(w)))) {
        if (w != NOSTREAM) SetRed(w, true);
        x = p;
        path.pop_back();
        xLeft = !path.empty() && Left(path.back()) == x;
        continue;
      }
      if (!Red(far(w))) {
        std::uint32_t wn = near(w);
        SetRed(wn, false);
        SetRed(w, true);
        setNear(w, far(wn));
        setFar(wn, w);
        setFar(p, wn);
        w = wn;
      }
      SetRed(w, Red(p));
      SetRed(p, false);
      if (far(w) != NOSTREAM) SetRed(far(w), false);
      setFar(p, near(w));
      setNear(w, p);
      Relink(storage, gp, p, w);
      x = NOSTREAM;
      break;
    }
    if (x != NOSTREAM && Red(x)) SetRed(x, false);
  }
  std::uint32_t root = TreeRoot(storage);
  if (Red(root)) SetRed(root, false);
}

// An empty element of that name and type; the colour and sibling links are kept.
void Docfile::InitElement(std::uint32_t id, const std::u16string& name, std::uint8_t type) {
  std::uint8_t* e = EntryW(id);
  std::uint8_t links[9];
  std::memcpy(links, e + 67, 9);  // colour, left, right
  InitEmptyEntry(e);
  std::memcpy(e + 67, links, 9);
  WriteName(e, name);
  e[66] = type;
  if (type == kTypeStream) {
    Put32(e + 116, ENDOFCHAIN);
  } else {
    std::uint64_t now = NowFileTime();
    Put64(e + 100, now);
    Put64(e + 108, now);
  }
}

std::uint32_t Docfile::Create(std::uint32_t storage, const std::u16string& name, std::uint8_t type) {
  std::uint32_t id = AllocEntry();
  InitEmptyEntry(EntryW(id));
  InitElement(id, name, type);
  Insert(storage, id);
  return id;
}

void Docfile::CollectBelow(std::uint32_t storage, std::unordered_set<std::uint32_t>& seen,
                           std::vector<std::uint32_t>& out) {
  std::size_t from = out.size();
  Traverse(storage, out, &seen);
  for (std::size_t i = from; i < out.size(); ++i)
    if (TypeOf(out[i]) == kTypeStorage) Traverse(out[i], out, &seen);
}

void Docfile::FreeElements(const std::vector<std::uint32_t>& ids) {
  for (std::uint32_t id : ids) {
    if (TypeOf(id) == kTypeStream) {
      StreamCursor c;
      c.id = id;
      LoadCursor(c);
      ChainTruncate(c.chain, 0, id);
    }
    FreeEntry(id);
  }
}

void Docfile::Destroy(std::uint32_t storage, std::uint32_t id, const std::vector<std::uint32_t>& storagePath) {
  std::unordered_set<std::uint32_t> seen(storagePath.begin(), storagePath.end());
  seen.insert(storage);
  seen.insert(id);
  std::vector<std::uint32_t> all{id};
  if (TypeOf(id) == kTypeStorage) CollectBelow(id, seen, all);  // everything is read before anything changes
  Remove(storage, id);
  FreeElements(all);
}

void Docfile::Reinit(std::uint32_t id, const std::u16string& name, std::uint8_t type) {
  if (TypeOf(id) == kTypeStorage) {
    std::vector<std::uint32_t> below;
    std::unordered_set<std::uint32_t> seen{id};
    CollectBelow(id, seen, below);
    FreeElements(below);
  } else {
    StreamCursor c;
    c.id = id;
    LoadCursor(c);
    ChainTruncate(c.chain, 0, id);
  }
  InitElement(id, name, type);
}

void Docfile::Rename(std::uint32_t storage, std::uint32_t id, const std::u16string& name) {
  NameKey oldKey = KeyOf(Node(id));
  NameKey newKey = NameKey::From(name.data(), name.size());
  if (CompareKeys(oldKey, newKey) == 0) {
    WriteName(EntryW(id), name);
    return;
  }
  Remove(storage, id);
  WriteName(EntryW(id), name);
  Insert(storage, id);
}

void Docfile::SetMeta(std::uint32_t id, const ElementMeta& from) {
  std::uint8_t* e = EntryW(id);
  std::memcpy(e + 80, from.clsid, 16);
  Put32(e + 96, from.stateBits);
  Put64(e + 100, from.ctime);
  Put64(e + 108, from.mtime);
}

bool Docfile::OpenWithin(std::uint32_t id) const {
  for (const auto& [oid, e] : open_) {
    if (oid == id) return true;
    for (std::uint32_t p : e->path)
      if (p == id) return true;
  }
  return false;
}

// ---- Stream data -------------------------------------------------------------------------------

void Docfile::LoadCursor(StreamCursor& c) {
  if (c.loaded) return;
  const std::uint8_t* e = Entry(c.id);
  std::uint64_t size = SizeOf(c.id);
  std::uint32_t start = Get32(e + 116);
  bool mini = size < kMiniCutoff;
  std::uint64_t room = mini ? static_cast<std::uint64_t>(miniCount_) * kMiniSize
                            : static_cast<std::uint64_t>(sectorCount_) * sectorSize_;
  if (size > room) Corrupt();  // a size past the end of what holds it
  if (size == 0) start = ENDOFCHAIN;
  else if (start == ENDOFCHAIN || start == FREESECT) Corrupt();
  c.chain.Reset(mini, start);
  c.loaded = true;
}

std::size_t Docfile::Read(StreamCursor& c, std::uint64_t pos, void* buf, std::size_t n) {
  LoadCursor(c);
  std::uint64_t size = SizeOf(c.id);
  if (pos >= size || n == 0) return 0;
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size - pos));
  bool mini = c.chain.mini;
  std::uint32_t unit = UnitSize(mini);
  auto* out = static_cast<std::uint8_t*>(buf);
  std::size_t done = 0;
  while (done < n) {
    std::uint64_t at = pos + done;
    std::uint32_t off = static_cast<std::uint32_t>(at % unit);
    std::size_t take = std::min<std::size_t>(n - done, unit - off);
    const std::uint8_t* p = UnitPtr(mini, c.chain, static_cast<std::uint32_t>(at / unit), false);
    std::memcpy(out + done, p + off, take);
    done += take;
  }
  return n;
}

void Docfile::Write(StreamCursor& c, std::uint64_t pos, const void* buf, std::size_t n) {
  if (n == 0) return;
  LoadCursor(c);
  std::uint64_t end = pos + n;
  if (end > MaxStreamSize()) Throw(STG_E_MEDIUMFULL);
  if (end > SizeOf(c.id)) Resize(c, end);
  bool mini = c.chain.mini;
  std::uint32_t unit = UnitSize(mini);
  const auto* in = static_cast<const std::uint8_t*>(buf);
  std::size_t done = 0;
  while (done < n) {
    std::uint64_t at = pos + done;
    std::uint32_t off = static_cast<std::uint32_t>(at % unit);
    std::size_t take = std::min<std::size_t>(n - done, unit - off);
    std::uint8_t* p = UnitPtr(mini, c.chain, static_cast<std::uint32_t>(at / unit), true);
    std::memcpy(p + off, in + done, take);
    done += take;
  }
}

void Docfile::Resize(StreamCursor& c, std::uint64_t newSize) {
  LoadCursor(c);
  std::uint64_t size = SizeOf(c.id);
  if (newSize == size) return;
  if (newSize > MaxStreamSize()) Throw(STG_E_MEDIUMFULL);
  bool oldMini = c.chain.mini;
  bool newMini = newSize < kMiniCutoff;
  std::uint32_t oldUnit = UnitSize(oldMini);
  std::uint64_t oldUnits = (size + oldUnit - 1) / oldUnit;
  std::uint32_t have = ChainLength(c.chain);
  if (have < oldUnits) Corrupt();
  if (have > oldUnits) ChainTruncate(c.chain, static_cast<std::uint32_t>(oldUnits), c.id);
  if (oldMini != newMini) {
    // Moves between the mini stream and whole sectors; what moves is under 4096 bytes.
    std::vector<std::uint8_t> keep(static_cast<std::size_t>(std::min(size, newSize)));
    Read(c, 0, keep.data(), keep.size());
    ChainTruncate(c.chain, 0, c.id);
    c.chain.Reset(newMini, ENDOFCHAIN);
    std::uint32_t unit = UnitSize(newMini);
    ChainGrow(c.chain, static_cast<std::uint32_t>((newSize + unit - 1) / unit), c.id);
    SetSize(c.id, newSize);
    std::size_t done = 0;
    while (done < keep.size()) {
      std::size_t take = std::min<std::size_t>(keep.size() - done, unit);
      std::memcpy(UnitPtr(newMini, c.chain, static_cast<std::uint32_t>(done / unit), true), keep.data() + done, take);
      done += take;
    }
    return;
  }
  std::uint64_t newUnits = (newSize + oldUnit - 1) / oldUnit;
  if (newSize > size) {
    if (size % oldUnit != 0) {
      std::uint8_t* p = UnitPtr(oldMini, c.chain, static_cast<std::uint32_t>(oldUnits - 1), true);
      std::memset(p + size % oldUnit, 0, oldUnit - size % oldUnit);
    }
    if (newUnits > oldUnits) ChainGrow(c.chain, static_cast<std::uint32_t>(newUnits - oldUnits), c.id);
  } else if (newUnits < oldUnits) {
    ChainTruncate(c.chain, static_cast<std::uint32_t>(newUnits), c.id);
  }
  SetSize(c.id, newSize);
}

// ---- Writing out -------------------------------------------------------------------------------

bool Docfile::BeginJournal() {
  if (journal_->active()) return true;
  if (unjournaled_) return false;
  try {
    journal_->Begin(fd_, oldLength_);
  } catch (const Failure& f) {
    // A full disk refuses the release: written in place without its journal, it would stop
    // half-way and leave a file that is neither state.
    if (f.hr == STG_E_MEDIUMFULL) throw;
    unjournaled_ = true;  // no journal can be made beside the file: write in place all the same
    return false;
  }
  journaled_.assign(cache_.FileSectors(), false);
  headerJournaled_ = false;
  return true;
}

// Saves in the journal what the file holds now of the sectors about to be overwritten, once.
void Docfile::SaveOriginals(const std::vector<std::uint32_t>& dirty, bool header) {
  auto offsetOf = [&](std::uint32_t s) { return static_cast<std::uint64_t>(s + 1) * sectorSize_; };
  auto saved = [&](std::uint32_t s) {
    return offsetOf(s) >= oldLength_ || (s < journaled_.size() && journaled_[s]);
  };
  std::vector<std::uint8_t> orig;
  if (header && !headerJournaled_) {
    orig.resize(sectorSize_);
    ReadAt(fd_, 0, orig.data(), sectorSize_);
    journal_->Save(0, orig.data(), sectorSize_);
    headerJournaled_ = true;
  }
  std::size_t i = 0;
  while (i < dirty.size()) {
    if (saved(dirty[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < dirty.size() && dirty[j] == dirty[i] + (j - i) && !saved(dirty[j]) && j - i < 2048) ++j;
    std::size_t bytes = (j - i) * sectorSize_;
    orig.resize(bytes);
    ReadAt(fd_, offsetOf(dirty[i]), orig.data(), bytes);
    journal_->Save(offsetOf(dirty[i]), orig.data(), bytes);
    for (std::size_t k = i; k < j; ++k)
      if (dirty[k] < journaled_.size()) journaled_[dirty[k]] = true;
    i = j;
  }
}

void Docfile::WriteSectors(const std::vector<std::uint32_t>& dirty) {
  if (!dirty.empty()) TraceIo(IoStep::FileWrite);
  std::size_t i = 0;
  while (i < dirty.size()) {
    std::size_t j = i;
    std::vector<Piece> pieces;
    while (j < dirty.size() && dirty[j] == dirty[i] + (j - i) && pieces.size() < 2048) {
      pieces.push_back({cache_.Get(dirty[j]), sectorSize_});
      ++j;
    }
    WriteRun(fd_, static_cast<std::uint64_t>(dirty[i] + 1) * sectorSize_, pieces);
    i = j;
  }
}

// Writes the dirty sectors out before the release (the header stays in memory): in place
// they go through the journal first, so that the file still opens as the last release.
void Docfile::Spill() {
  std::vector<std::uint32_t> dirty = cache_.DirtySorted();
  if (mode_ == Mode::InPlace && BeginJournal()) {
    SaveOriginals(dirty, false);
    journal_->Sync();
  }
  WriteSectors(dirty);
  cache_.MarkAllClean();
  spilled_ = true;
  if (!dirty.empty() && dirty.back() >= cache_.FileSectors()) cache_.SetFileSectors(dirty.back() + 1);
}

void Docfile::Flush() {
  if (closed_ || !writable_) return;
  if (Broken()) Throw(brokenHr_);
  if (!cache_.HasDirty() && !spilled_) return;
  std::vector<std::uint8_t> head(sectorSize_, 0);
  std::memcpy(head.data(), header_, 512);
  std::vector<std::uint32_t> dirty = cache_.DirtySorted();
  auto writeAll = [&] {
    WriteSectors(dirty);
    TraceIo(IoStep::FileWrite);
    WriteAt(fd_, 0, head.data(), head.size());
    if (::fdatasync(fd_) != 0) Throw(ErrnoStatus(errno));
    TraceIo(IoStep::FileSync);
  };

  if (mode_ == Mode::InPlace) {
    bool journaled = BeginJournal();
    try {
      if (journaled) {
        SaveOriginals(dirty, true);
        journal_->Sync();
      }
      writeAll();
    } catch (const Failure&) {
      // Put back, the file is the last release again; what was spilled is no longer in it.
      if (!journaled || !journal_->RollBack(fd_) || spilled_) MarkBroken(STG_E_WRITEFAULT);
      throw;
    }
    journal_->Finish();
    unjournaled_ = false;
  } else if (lockFd_ < 0) {
    // A new file with nothing to replace appears at its path only now, whole: linked in under
    // its name, never over a file someone made there meanwhile.
    writeAll();
    std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) != 0)
      Throw(errno == EEXIST ? STG_E_FILEALREADYEXISTS : ErrnoStatus(errno));
    SyncFolderOf(finalPath_);
    mode_ = Mode::InPlace;
  } else {
    writeAll();
    // The new file goes into place in one step; until then the old one is whole.
    // The lock on the old file is still held, so a "<file>.new" already there is a stale one
    // from a replacement that was killed before its rename; the next open removes it too.
    std::string from = tempName_;
    if (from.empty()) {
      std::string name = ReplacementName(finalPath_);
      std::string proc = "/proc/self/fd/" + std::to_string(fd_);
      for (int tries = 0; tries < 2 && from.empty(); ++tries) {
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
          from = name;
        else if (errno == EEXIST)
          ::unlink(name.c_str());
        else
          Throw(ErrnoStatus(errno));
      }
      if (from.empty()) Throw(STG_E_WRITEFAULT);
    }
    if (::rename(from.c_str(), finalPath_.c_str()) != 0) {
      int err = errno;
      ::unlink(from.c_str());
      tempName_.clear();
      Throw(ErrnoStatus(err));
    }
    tempName_.clear();
    SyncFolderOf(finalPath_);  // the new file's name is durable before the release answers
    ::unlink((finalPath_ + "-journal").c_str());  // one left for the file that was replaced
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
    mode_ = Mode::InPlace;
  }
  cache_.MarkAllClean();
  spilled_ = false;
  struct stat st {};
  if (::fstat(fd_, &st) == 0) oldLength_ = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t secs = oldLength_ > sectorSize_ ? (oldLength_ - sectorSize_ + sectorSize_ - 1) / sectorSize_ : 0;
  cache_.SetFileSectors(static_cast<std::uint32_t>(std::min<std::uint64_t>(secs, MAXREGSECT + 1ull)));
}


void Docfile::Close() {
  if (closed_) return;
  if (writable_ && !Broken()) {
    try {
      Flush();
    } catch (const Failure&) {
      // The file keeps the state of the previous release.
    } catch (const std::bad_alloc&) {
    }
  }
  // What a session that cannot be written spilled early is taken back out of the file.
  if (journal_ && journal_->active()) journal_->RollBack(fd_);
  for (auto& [id, e] : open_) e->Invalidate();
  open_.clear();
  if (fd_ >= 0) ::close(fd_);
  if (lockFd_ >= 0) ::close(lockFd_);
  if (!tempName_.empty()) ::unlink(tempName_.c_str());
  fd_ = lockFd_ = -1;
  cache_.Clear();
  closed_ = true;
}

}  // namespace cfb
