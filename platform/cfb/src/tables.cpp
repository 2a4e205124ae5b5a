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

Sector Docfile::FatGet(Sector s) {
  std::uint32_t k = Raw(s) >> fatShift_;
  if (k >= fatLocs_.size()) return kFreeSect<Sector>;
  return Sector{Get32(cache_.Get(fatLocs_[k]) + 4 * (Raw(s) & (perSector_ - 1)))};
}

void Docfile::FatSet(Sector s, Sector v) {
  std::uint32_t k = Raw(s) >> fatShift_;
  if (k >= fatLocs_.size()) Corrupt();
  Put32(cache_.GetDirty(fatLocs_[k]) + 4 * (Raw(s) & (perSector_ - 1)), Raw(v));
}

MiniSector Docfile::MiniFatGet(MiniSector m) {
  std::optional<Sector> sec = TryChainAt(miniFatChain_, Raw(m) >> fatShift_);
  if (!sec) return kFreeSect<MiniSector>;
  return MiniSector{Get32(cache_.Get(*sec) + 4 * (Raw(m) & (perSector_ - 1)))};
}

void Docfile::MiniFatSet(MiniSector m, MiniSector v) {
  std::uint32_t page = Raw(m) >> fatShift_;
  std::optional<Sector> sec;
  while (!(sec = TryChainAt(miniFatChain_, page))) {
    ChainGrow(miniFatChain_, 1, kOwnerMiniFat);
    std::memset(cache_.GetDirty(miniFatChain_.secs.back()), 0xFF, sectorSize_);
    Put32(header_ + kHNumMiniFat, static_cast<std::uint32_t>(miniFatChain_.secs.size()));
  }
  Put32(cache_.GetDirty(*sec) + 4 * (Raw(m) & (perSector_ - 1)), Raw(v));
}

Sector Docfile::AppendSector(Sector mark) {
  for (;;) {
    std::uint32_t n = sectorCount_;
    if (n > MAXREGSECT) Throw(STG_E_MEDIUMFULL);
    if (n >> fatShift_ >= fatLocs_.size()) {
      AddFatSector();
      continue;
    }
    const Sector s{n};
    if (FatGet(s) != kFreeSect<Sector>) Corrupt();  // the FAT claims sectors past the end
    sectorCount_ = n + 1;
    FatSet(s, mark);
    return s;
  }
}

void Docfile::AddFatSector() {
  std::uint32_t k = static_cast<std::uint32_t>(fatLocs_.size());
  std::uint32_t n = sectorCount_;  // == k * perSector_: the new sector lies in its own span
  if (n > MAXREGSECT) Throw(STG_E_MEDIUMFULL);
  const Sector f{n};
  std::memset(cache_.Fresh(f), 0xFF, sectorSize_);
  fatLocs_.push_back(f);
  sectorCount_ = n + 1;
  FatSet(f, Sector{FATSECT});
  Put32(header_ + kHNumFat, static_cast<std::uint32_t>(fatLocs_.size()));
  RegisterFatSector(k, f);
}

void Docfile::RegisterFatSector(std::uint32_t k, Sector loc) {
  if (k < static_cast<std::uint32_t>(kHeaderDifat)) {
    Put32(header_ + kHDifat + 4 * k, Raw(loc));
    return;
  }
  std::uint32_t per = perSector_ - 1;
  std::uint32_t d = (k - kHeaderDifat) / per;
  std::uint32_t slot = (k - kHeaderDifat) % per;
  while (d >= difatLocs_.size()) {
    Sector s = AppendSector(Sector{DIFSECT});
    if (d < difatLocs_.size()) {  // made while finding room for s
      FreeUnit(s);
      break;
    }
    std::uint8_t* p = cache_.Fresh(s);
    std::memset(p, 0xFF, sectorSize_);
    Put32(p + 4 * per, ENDOFCHAIN);
    if (difatLocs_.empty())
      Put32(header_ + kHFirstDifat, Raw(s));
    else
      Put32(cache_.GetDirty(difatLocs_.back()) + 4 * per, Raw(s));
    difatLocs_.push_back(s);
    Put32(header_ + kHNumDifat, static_cast<std::uint32_t>(difatLocs_.size()));
  }
  Put32(cache_.GetDirty(difatLocs_[d]) + 4 * slot, Raw(loc));
}

// Scans one more page of the table that lists what is free of that kind: the FAT for sectors,
// the mini FAT for mini sectors, the directory for entries.
template <class Unit>
bool Docfile::ScanFree(FreeList<Unit>& f) {
  constexpr bool kFat = std::is_same_v<Unit, Sector>;
  constexpr bool kMiniFat = std::is_same_v<Unit, MiniSector>;
  if (f.credit == 0) return false;
  if (!f.bounded) {
    f.backPage = ChainLength(kMiniFat ? miniFatChain_ : dirChain_);
    f.bounded = true;
  }
  if (f.frontPage >= f.backPage) return false;
  std::uint32_t page = f.fromBack ? --f.backPage : f.frontPage++;
  f.fromBack = !f.fromBack;
  --f.credit;
  Sector sec = kFat ? fatLocs_[page] : ChainAt(kMiniFat ? miniFatChain_ : dirChain_, page);
  const std::uint8_t* p = cache_.Get(sec);
  if constexpr (std::is_same_v<Unit, EntryId>) {
    for (std::uint32_t i = entriesPerSector_; i-- > 0;)
      if (p[i * kEntrySize + kEType] == kTypeEmpty) f.items.push_back(EntryId{page * entriesPerSector_ + i});
  } else {
    std::uint32_t limit = Limit<Unit>();
    for (std::uint32_t i = perSector_; i-- > 0;) {
      std::uint64_t s = static_cast<std::uint64_t>(page) * perSector_ + i;
      if (s < limit && Get32(p + 4 * i) == FREESECT) f.items.push_back(Unit{static_cast<std::uint32_t>(s)});
    }
  }
  return true;
}

template <class Unit, class IsFree>
std::optional<Unit> Docfile::TakeFree(FreeList<Unit>& f, IsFree isFree) {
  f.credit += kScanCredit;
  for (;;) {
    while (!f.items.empty()) {
      Unit c = f.items.back();
      f.items.pop_back();
      if (isFree(c)) return c;  // a candidate may have been taken since it was listed
    }
    if (!ScanFree(f)) return std::nullopt;
  }
}

Sector Docfile::AllocSector() {
  std::optional<Sector> found =
      TakeFree(freeSectors_, [&](Sector c) { return Raw(c) < sectorCount_ && FatGet(c) == kFreeSect<Sector>; });
  Sector s;
  if (found) {
    s = *found;
    FatSet(s, kEndOfChain<Sector>);
  } else {
    s = AppendSector(kEndOfChain<Sector>);
  }
  cache_.Fresh(s);
  return s;
}

MiniSector Docfile::AppendMini() {
  std::uint32_t m = miniCount_;
  if (m >= MAXREGSECT) Throw(STG_E_MEDIUMFULL);
  std::uint64_t needSecs = (static_cast<std::uint64_t>(m + 1) * kMiniSize + sectorSize_ - 1) / sectorSize_;
  std::uint32_t have = ChainLength(miniChain_);
  if (have < needSecs) ChainGrow(miniChain_, static_cast<std::uint32_t>(needSecs - have), kRootId);
  const MiniSector unit{m};
  if (MiniFatGet(unit) != kFreeSect<MiniSector>) Corrupt();  // the mini FAT claims sectors past the mini stream
  miniCount_ = m + 1;
  SetSize(kRootId, static_cast<std::uint64_t>(miniCount_) * kMiniSize);
  MiniFatSet(unit, kEndOfChain<MiniSector>);
  return unit;
}

MiniSector Docfile::AllocMini() {
  std::optional<MiniSector> found =
      TakeFree(freeMini_, [&](MiniSector c) { return Raw(c) < miniCount_ && MiniFatGet(c) == kFreeSect<MiniSector>; });
  MiniSector m;
  if (found) {
    m = *found;
    MiniFatSet(m, kEndOfChain<MiniSector>);
  } else {
    m = AppendMini();
  }
  Chain<MiniSector> one;
  one.Reset(m);
  std::memset(UnitPtr(one, 0, true), 0, kMiniSize);
  return m;
}

void Docfile::FreeUnit(Sector s) {
  FatSet(s, kFreeSect<Sector>);
  freeSectors_.items.push_back(s);
}

void Docfile::FreeUnit(MiniSector m) {
  MiniFatSet(m, kFreeSect<MiniSector>);
  freeMini_.items.push_back(m);
}

EntryId Docfile::AllocEntry() {
  std::optional<EntryId> found = TakeFree(freeEntries_, [&](EntryId c) { return TypeOf(c) == kTypeEmpty; });
  if (found) return *found;
  std::uint32_t n = ChainLength(dirChain_);
  if (static_cast<std::uint64_t>(n + 1) * entriesPerSector_ > MAXREGSECT) Throw(STG_E_MEDIUMFULL);
  ChainGrow(dirChain_, 1, kOwnerDir);
  std::uint8_t* p = cache_.GetDirty(dirChain_.secs.back());
  for (std::uint32_t i = 0; i < entriesPerSector_; ++i) InitEmptyEntry(p + i * kEntrySize);
  if (version_ == 4) Put32(header_ + kHNumDirSectors, n + 1);
  std::uint32_t first = n * entriesPerSector_;
  for (std::uint32_t i = entriesPerSector_; i-- > 1;) freeEntries_.items.push_back(EntryId{first + i});
  return EntryId{first};
}

void Docfile::FreeEntry(EntryId id) {
  InitEmptyEntry(EntryW(id));
  freeEntries_.items.push_back(id);
}

// ---- Chains ------------------------------------------------------------------------------------

template <class Unit>
std::optional<Unit> Docfile::TryChainOn(Chain<Unit>& c, std::uint32_t i) {
  if constexpr (kPoolOf<Unit> == Pool::kRegular) {
    // Once the directory followed is worth more than comparing the FAT.
    if (&c == &dirChain_ && !chainsChecked_ && i >= kKeepChainsFrom && i >= fatLocs_.size()) {
      AdoptKeptChains();
      if (i < c.secs.size()) return c.secs[i];
    }
  }
  const std::uint8_t* page = nullptr;  // the FAT sector of the last step: runs stay in one
  std::uint32_t pageNo = 0xFFFFFFFF;
  while (c.secs.size() <= i) {
    if (c.complete) return std::nullopt;
    Unit next;
    if (c.secs.empty()) {
      next = c.first;
    } else if constexpr (kPoolOf<Unit> == Pool::kMini) {
      next = MiniFatGet(c.secs.back());
    } else {
      std::uint32_t cur = Raw(c.secs.back());
      if (cur >> fatShift_ != pageNo) {
        pageNo = cur >> fatShift_;
        page = pageNo < fatLocs_.size() ? cache_.Get(fatLocs_[pageNo]) : nullptr;
      }
      next = page ? Sector{Get32(page + 4 * (cur & (perSector_ - 1)))} : kFreeSect<Sector>;
    }
    if (next == kEndOfChain<Unit>) {
      c.complete = true;
      return std::nullopt;
    }
    std::uint32_t limit = Limit<Unit>();
    if (Raw(next) >= limit || c.secs.size() >= limit) Corrupt();  // out of range, or a cycle
    c.secs.push_back(next);
  }
  return c.secs[i];
}

template <class Unit>
Unit Docfile::ChainAt(Chain<Unit>& c, std::uint32_t i) {
  std::optional<Unit> s = TryChainAt(c, i);
  if (!s) Corrupt();  // shorter than its size says
  return *s;
}

template <class Unit>
std::uint32_t Docfile::ChainLength(Chain<Unit>& c) {
  while (!c.complete) TryChainAt(c, static_cast<std::uint32_t>(c.secs.size()));
  return static_cast<std::uint32_t>(c.secs.size());
}

template <class Unit>
void Docfile::SetChainStart(EntryId owner, Unit s) {
  if (owner == kOwnerDir) {
    Put32(header_ + kHFirstDir, Raw(s));
  } else if (owner == kOwnerMiniFat) {
    Put32(header_ + kHFirstMiniFat, Raw(s));
  } else {
    SetStart(owner, s);
  }
}

template <class Unit>
void Docfile::ChainGrow(Chain<Unit>& c, std::uint32_t units, EntryId owner) {
  ChainLength(c);
  for (std::uint32_t k = 0; k < units; ++k) {
    Unit s;
    if constexpr (kPoolOf<Unit> == Pool::kMini)
      s = AllocMini();
    else
      s = AllocSector();
    if (c.secs.empty()) {
      c.first = s;
      SetChainStart(owner, s);
    } else {
      SetNext(c.secs.back(), s);
    }
    c.secs.push_back(s);
  }
  c.complete = true;
}

template <class Unit>
void Docfile::ChainTruncate(Chain<Unit>& c, std::uint32_t keep, EntryId owner) {
  Unit cur;
  if (keep == 0) {
    cur = c.first;
    c.first = kEndOfChain<Unit>;
    SetChainStart(owner, kEndOfChain<Unit>);
  } else {
    Unit last = ChainAt(c, keep - 1);
    cur = Next(last);
    SetNext(last, kEndOfChain<Unit>);
  }
  std::uint32_t limit = Limit<Unit>();
  std::uint64_t steps = 0;
  while (cur != kEndOfChain<Unit>) {
    if (Raw(cur) >= limit || ++steps > limit) Corrupt();
    Unit next = Next(cur);
    if (next == kFreeSect<Unit>) Corrupt();
    FreeUnit(cur);
    cur = next;
  }
  c.secs.resize(std::min<std::size_t>(c.secs.size(), keep));
  c.complete = true;
}

std::uint8_t* Docfile::UnitPtr(Chain<Sector>& c, std::uint32_t i, bool dirty) {
  Sector s = ChainAt(c, i);
  return dirty ? cache_.GetDirty(s) : const_cast<std::uint8_t*>(cache_.Get(s));
}

std::uint8_t* Docfile::UnitPtr(Chain<MiniSector>& c, std::uint32_t i, bool dirty) {
  std::uint64_t off = static_cast<std::uint64_t>(Raw(ChainAt(c, i))) * kMiniSize;
  Sector sec = ChainAt(miniChain_, static_cast<std::uint32_t>(off / sectorSize_));
  std::uint8_t* p = dirty ? cache_.GetDirty(sec) : const_cast<std::uint8_t*>(cache_.Get(sec));
  return p + off % sectorSize_;
}

// The chain operations the other parts of the engine use, for both pools.
template Sector Docfile::ChainAt(Chain<Sector>&, std::uint32_t);
template MiniSector Docfile::ChainAt(Chain<MiniSector>&, std::uint32_t);
template std::uint32_t Docfile::ChainLength(Chain<Sector>&);
template std::uint32_t Docfile::ChainLength(Chain<MiniSector>&);
template void Docfile::ChainGrow(Chain<Sector>&, std::uint32_t, EntryId);
template void Docfile::ChainGrow(Chain<MiniSector>&, std::uint32_t, EntryId);
template void Docfile::ChainTruncate(Chain<Sector>&, std::uint32_t, EntryId);
template void Docfile::ChainTruncate(Chain<MiniSector>&, std::uint32_t, EntryId);

}  // namespace cfb
