// The data of the streams of an open compound file: reading, writing and resizing through their
// chains, moving between the mini stream and whole sectors at the cutoff.
#include "docfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace cfb {
namespace {

// Calls f with the stream's chain in the pool that holds its data now.
template <class F>
void OnChain(StreamCursor& c, F&& f) {
  if (c.pool == Pool::kMini)
    f(c.minis);
  else
    f(c.sectors);
}

// Steps through the bytes [pos, pos + n) of a stream one unit (sector or mini sector) at a
// time: step(the unit's bytes, the offset in it, the bytes done so far, the bytes of this unit).
template <class UnitAt, class Step>
void ForUnits(std::uint32_t unit, std::uint64_t pos, std::size_t n, UnitAt&& unitAt, Step&& step) {
  std::size_t done = 0;
  while (done < n) {
    std::uint64_t at = pos + done;
    std::uint32_t off = static_cast<std::uint32_t>(at % unit);
    std::size_t take = std::min<std::size_t>(n - done, unit - off);
    step(unitAt(static_cast<std::uint32_t>(at / unit)), off, done, take);
    done += take;
  }
}

}  // namespace

void Docfile::LoadCursor(StreamCursor& c) {
  if (c.loaded) return;
  const std::uint8_t* e = Entry(c.id);
  std::uint64_t size = SizeOf(c.id);
  std::uint32_t start = Get32(e + kEStart);
  const Pool pool = size < kMiniCutoff ? Pool::kMini : Pool::kRegular;
  std::uint64_t room = pool == Pool::kMini ? static_cast<std::uint64_t>(miniCount_) * kMiniSize
                                           : static_cast<std::uint64_t>(sectorCount_) * sectorSize_;
  if (size > room) Corrupt();  // a size past the end of what holds it
  if (size == 0) start = ENDOFCHAIN;
  else if (start == ENDOFCHAIN || start == FREESECT) Corrupt();
  c.pool = pool;
  if (pool == Pool::kMini)
    c.minis.Reset(MiniSector{start});
  else
    c.sectors.Reset(Sector{start});
  c.loaded = true;
}

void Docfile::DropData(EntryId id) {
  StreamCursor c;
  c.id = id;
  LoadCursor(c);
  OnChain(c, [&](auto& chain) { ChainTruncate(chain, 0, id); });
}

std::size_t Docfile::Read(StreamCursor& c, std::uint64_t pos, void* buf, std::size_t n) {
  LoadCursor(c);
  std::uint64_t size = SizeOf(c.id);
  if (pos >= size || n == 0) return 0;
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size - pos));
  const std::uint32_t unit = UnitSize(c.pool);
  auto* out = static_cast<std::uint8_t*>(buf);
  OnChain(c, [&](auto& chain) {
    ForUnits(
        unit, pos, n, [&](std::uint32_t i) { return UnitPtr(chain, i, false); },
        [&](const std::uint8_t* p, std::uint32_t off, std::size_t done, std::size_t take) {
          std::memcpy(out + done, p + off, take);
        });
  });
  return n;
}

void Docfile::Write(StreamCursor& c, std::uint64_t pos, const void* buf, std::size_t n) {
  if (n == 0) return;
  LoadCursor(c);
  std::uint64_t end = pos + n;
  if (end > MaxStreamSize()) Throw(STG_E_MEDIUMFULL);
  if (end > SizeOf(c.id)) Resize(c, end);
  const std::uint32_t unit = UnitSize(c.pool);
  const auto* in = static_cast<const std::uint8_t*>(buf);
  OnChain(c, [&](auto& chain) {
    ForUnits(
        unit, pos, n, [&](std::uint32_t i) { return UnitPtr(chain, i, true); },
        [&](std::uint8_t* p, std::uint32_t off, std::size_t done, std::size_t take) {
          std::memcpy(p + off, in + done, take);
        });
  });
}

void Docfile::Resize(StreamCursor& c, std::uint64_t newSize) {
  LoadCursor(c);
  std::uint64_t size = SizeOf(c.id);
  if (newSize == size) return;
  if (newSize > MaxStreamSize()) Throw(STG_E_MEDIUMFULL);
  const Pool oldPool = c.pool;
  const Pool newPool = newSize < kMiniCutoff ? Pool::kMini : Pool::kRegular;
  std::uint32_t oldUnit = UnitSize(oldPool);
  std::uint64_t oldUnits = (size + oldUnit - 1) / oldUnit;
  OnChain(c, [&](auto& chain) {
    std::uint32_t have = ChainLength(chain);
    if (have < oldUnits) Corrupt();
    if (have > oldUnits) ChainTruncate(chain, static_cast<std::uint32_t>(oldUnits), c.id);
  });
  if (oldPool != newPool) {
    // Moves between the mini stream and whole sectors; what moves is under 4096 bytes.
    std::vector<std::uint8_t> keep(static_cast<std::size_t>(std::min(size, newSize)));
    Read(c, 0, keep.data(), keep.size());
    OnChain(c, [&](auto& chain) { ChainTruncate(chain, 0, c.id); });
    c.pool = newPool;
    const std::uint32_t unit = UnitSize(newPool);
    OnChain(c, [&](auto& chain) {
      chain.Reset();
      ChainGrow(chain, static_cast<std::uint32_t>((newSize + unit - 1) / unit), c.id);
      SetSize(c.id, newSize);
      ForUnits(
          unit, 0, keep.size(), [&](std::uint32_t i) { return UnitPtr(chain, i, true); },
          [&](std::uint8_t* p, std::uint32_t off, std::size_t done, std::size_t take) {
            std::memcpy(p + off, keep.data() + done, take);
          });
    });
    return;
  }
  std::uint64_t newUnits = (newSize + oldUnit - 1) / oldUnit;
  OnChain(c, [&](auto& chain) {
    if (newSize > size) {
      if (size % oldUnit != 0) {
        std::uint8_t* p = UnitPtr(chain, static_cast<std::uint32_t>(oldUnits - 1), true);
        std::memset(p + size % oldUnit, 0, oldUnit - size % oldUnit);
      }
      if (newUnits > oldUnits) ChainGrow(chain, static_cast<std::uint32_t>(newUnits - oldUnits), c.id);
    } else if (newUnits < oldUnits) {
      ChainTruncate(chain, static_cast<std::uint32_t>(newUnits), c.id);
    }
  });
  SetSize(c.id, newSize);
}

}  // namespace cfb
