// The data of the streams of an open compound file: reading, writing and resizing through their
// chains, moving between the mini stream and whole sectors at the cutoff.
#include "docfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace cfb {

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

}  // namespace cfb
