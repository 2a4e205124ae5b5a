// The FAT, DIFAT and mini FAT of an open compound file, allocation from their free lists, and
// the sector chains of streams, the directory and the mini stream.
#include "docfile.h"

#include <algorithm>
#include <cstring>

namespace cfb {
namespace {

constexpr std::uint64_t kScanCredit = 4;  // pages a free-list scan may read per allocation

}  // namespace

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

}  // namespace cfb
