// Builds compound files byte by byte for the tests: any sector size, sibling trees linked as
// the test says (unbalanced, or broken on purpose), streams laid out contiguously.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace cfbtest {

inline constexpr std::uint32_t kNone = 0xFFFFFFFF;

struct RawEntry {
  RawEntry(std::u16string n = {}, std::uint8_t t = 0) : name(std::move(n)), type(t) {}
  std::u16string name;
  std::uint8_t type;  // 1 storage, 2 stream, 5 root
  std::uint32_t left = kNone, right = kNone, child = kNone;
  std::uint8_t color = 1;  // black
  std::string data;        // streams
};

inline std::vector<std::uint8_t> BuildRaw(int version, const std::vector<RawEntry>& entries) {
  const std::uint32_t ss = version == 4 ? 4096 : 512, per = ss / 4, perDir = ss / 128;
  auto units = [](std::size_t n, std::size_t u) { return static_cast<std::uint32_t>((n + u - 1) / u); };
  std::string mini;
  std::vector<std::uint32_t> start(entries.size(), 0xFFFFFFFE);
  std::vector<std::uint32_t> miniNext;
  std::uint32_t regular = 0;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    if (e.type != 2 || e.data.empty()) continue;
    if (e.data.size() < 4096) {
      start[i] = static_cast<std::uint32_t>(mini.size() / 64);
      std::uint32_t n = units(e.data.size(), 64);
      for (std::uint32_t k = 0; k < n; ++k) miniNext.push_back(k + 1 < n ? start[i] + k + 1 : 0xFFFFFFFE);
      mini += e.data;
      mini.resize(mini.size() + (64 - mini.size() % 64) % 64, '\0');
    } else {
      regular += units(e.data.size(), ss);
    }
  }
  std::uint32_t dirSecs = units(entries.size(), perDir);
  std::uint32_t miniFatSecs = units(miniNext.size() * 4, ss), miniSecs = units(mini.size(), ss);
  std::uint32_t fatSecs = 1;
  while (fatSecs + dirSecs + miniFatSecs + miniSecs + regular > fatSecs * per) ++fatSecs;
  std::uint32_t total = fatSecs + dirSecs + miniFatSecs + miniSecs + regular;
  std::vector<std::uint8_t> f((total + 1) * ss, 0);
  auto put16 = [&](std::size_t off, std::uint16_t v) { f[off] = v & 0xFF; f[off + 1] = v >> 8; };
  auto put32 = [&](std::size_t off, std::uint32_t v) { for (int k = 0; k < 4; ++k) f[off + k] = (v >> (8 * k)) & 0xFF; };
  auto sec = [&](std::uint32_t s) { return static_cast<std::size_t>(s + 1) * ss; };
  const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(f.data(), sig, 8);
  put16(24, 0x3E);
  put16(26, static_cast<std::uint16_t>(version));
  put16(28, 0xFFFE);
  put16(30, version == 4 ? 12 : 9);
  put16(32, 6);
  if (version == 4) put32(40, dirSecs);
  put32(44, fatSecs);
  put32(48, fatSecs);
  put32(56, 4096);
  put32(60, miniFatSecs ? fatSecs + dirSecs : 0xFFFFFFFE);
  put32(64, miniFatSecs);
  put32(68, 0xFFFFFFFE);
  for (int k = 0; k < 109; ++k) put32(76 + 4 * k, k < static_cast<int>(fatSecs) ? k : 0xFFFFFFFF);
  std::uint32_t at = 0;
  auto chain = [&](std::uint32_t first, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) put32(sec((first + k) / per) + 4 * ((first + k) % per), k + 1 < n ? first + k + 1 : 0xFFFFFFFE);
  };
  for (std::uint32_t s = 0; s < fatSecs * per; ++s) put32(sec(s / per) + 4 * (s % per), s < fatSecs ? 0xFFFFFFFD : 0xFFFFFFFF);
  at = fatSecs;
  chain(at, dirSecs);
  std::uint32_t dirStart = at;
  at += dirSecs;
  chain(at, miniFatSecs);
  for (std::size_t m = 0; m < miniFatSecs * per; ++m)
    put32(sec(at) + 4 * m, m < miniNext.size() ? miniNext[m] : 0xFFFFFFFF);
  at += miniFatSecs;
  std::uint32_t miniStart = miniSecs ? at : 0xFFFFFFFE;
  chain(at, miniSecs);
  std::memcpy(f.data() + sec(at), mini.data(), mini.size());
  at += miniSecs;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    if (e.type != 2 || e.data.size() < 4096) continue;
    std::uint32_t n = units(e.data.size(), ss);
    start[i] = at;
    chain(at, n);
    std::memcpy(f.data() + sec(at), e.data.data(), e.data.size());
    at += n;
  }
  for (std::size_t s = entries.size(); s < dirSecs * perDir; ++s) {
    std::size_t off = sec(dirStart + static_cast<std::uint32_t>(s / perDir)) + (s % perDir) * 128;
    put32(off + 68, kNone);
    put32(off + 72, kNone);
    put32(off + 76, kNone);
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    std::size_t off = sec(dirStart + static_cast<std::uint32_t>(i / perDir)) + (i % perDir) * 128;
    for (std::size_t k = 0; k < e.name.size(); ++k) put16(off + 2 * k, e.name[k]);
    put16(off + 64, static_cast<std::uint16_t>((e.name.size() + 1) * 2));
    f[off + 66] = e.type;
    f[off + 67] = e.color;
    put32(off + 68, e.left);
    put32(off + 72, e.right);
    put32(off + 76, e.child);
    put32(off + 116, i == 0 ? miniStart : start[i]);
    put32(off + 120, static_cast<std::uint32_t>(i == 0 ? mini.size() : e.data.size()));
  }
  return f;
}

}  // namespace cfbtest
