// The byte layout of a catalog file's streams: counted strings, the header and the long-name map.
#include "catalogformat.h"

#include <bit>
#include <cstring>

namespace brevix {

void ByteWriter::U16(WORD v) {
  out_.push_back(static_cast<BYTE>(v));
  out_.push_back(static_cast<BYTE>(v >> 8));
}

void ByteWriter::U32(DWORD v) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void ByteWriter::F64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) out_.push_back(static_cast<BYTE>(bits >> (8 * i)));
}

void ByteWriter::Counted(std::u16string_view s) {
  U32(static_cast<DWORD>(2 * s.size() + 2));
  const size_t at = out_.size();
  out_.resize(at + 2 * s.size() + 2);
  BYTE* p = out_.data() + at;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, s.data(), 2 * s.size());
  } else {
    for (size_t i = 0; i < s.size(); ++i) {
      p[2 * i] = static_cast<BYTE>(s[i]);
      p[2 * i + 1] = static_cast<BYTE>(s[i] >> 8);
    }
  }
  p[2 * s.size()] = 0;
  p[2 * s.size() + 1] = 0;
}

void ByteWriter::Counted(const CountedString& s) {
  if (!s) {
    U32(0);
    return;
  }
  Counted(std::u16string_view(*s));
}

bool ByteReader::U16(WORD& v) {
  if (remaining() < 2) return false;
  const BYTE* p = data_ + pos_;
  v = static_cast<WORD>(p[0] | (p[1] << 8));
  pos_ += 2;
  return true;
}

bool ByteReader::U32(DWORD& v) {
  if (remaining() < 4) return false;
  const BYTE* p = data_ + pos_;
  v = static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
      (static_cast<DWORD>(p[3]) << 24);
  pos_ += 4;
  return true;
}

bool ByteReader::F64(double& v) {
  if (remaining() < 8) return false;
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | data_[pos_ + i];
  std::memcpy(&v, &bits, sizeof v);
  pos_ += 8;
  return true;
}

bool ByteReader::Counted(CountedString& s) {
  size_t start = pos_;
  DWORD n;
  if (!U32(n)) return false;
  if (n == 0) {
    s.reset();
    return true;
  }
  if (n < 2 || (n & 1) != 0 || n > remaining()) {
    pos_ = start;
    return false;
  }
  size_t units = n / 2 - 1;
  std::u16string text(units, u'\0');
  const BYTE* p = data_ + pos_;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(text.data(), p, 2 * units);
  } else {
    for (size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  }
  pos_ += n;
  s = std::move(text);
  return true;
}

// ---------------------------------------------------------------------------------------------

std::vector<BYTE> EncodeHeader(const CatalogHeader& h) {
  std::vector<BYTE> out;
  ByteWriter w(out);
  w.F64(h.baseSerialNum);
  w.F64(h.fileVersion);
  w.Counted(h.masterPassword);
  w.Counted(h.userPassword);
  return out;
}

HRESULT DecodeHeader(const BYTE* data, size_t size, CatalogHeader& h) {
  ByteReader r(data, size);
  CatalogHeader t;
  if (!r.F64(t.baseSerialNum) || !r.F64(t.fileVersion) || !r.Counted(t.masterPassword) ||
      !r.Counted(t.userPassword)) {
    return E_FAIL;
  }
  h = std::move(t);
  return S_OK;
}

std::vector<BYTE> EncodeLongNameMap(const LongNameMapImage& m) {
  std::vector<BYTE> out;
  ByteWriter w(out);
  w.U16(static_cast<WORD>(m.entries.size()));
  w.U16(m.lastId);
  for (const LongNameEntry& e : m.entries) {
    w.Counted(std::u16string_view(e.name));
    w.U16(e.id);
  }
  return out;
}

HRESULT DecodeLongNameMap(const BYTE* data, size_t size, LongNameMapImage& m) {
  ByteReader r(data, size);
  WORD count, last;
  if (!r.U16(count) || !r.U16(last)) return E_FAIL;
  // Each entry takes at least 6 bytes (a null count and an identifier); a count that the
  // stream cannot hold is refused before anything is allocated for it.
  if (static_cast<size_t>(count) * 6 > r.remaining()) return E_FAIL;
  LongNameMapImage t;
  t.lastId = last;
  t.entries.reserve(count);
  for (WORD i = 0; i < count; ++i) {
    CountedString name;
    WORD id;
    if (!r.Counted(name) || !r.U16(id)) return E_FAIL;
    t.entries.push_back(LongNameEntry{name ? std::move(*name) : std::u16string(), id});
  }
  m = std::move(t);
  return S_OK;
}

}  // namespace brevix
