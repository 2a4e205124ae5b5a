// The byte layout of a catalog file's streams: counted strings, the header "J_R_X_" and the
// long-name map "N_~~LNG", with the names of the streams the catalog reserves for itself.
// Item records are in itemstream.h; the rules for element names in longnames.h. Everything
// is little-endian.
//
// These functions work on byte buffers: a stream is read whole, decoded here, and written
// whole, so a decoder never trusts a count beyond the bytes actually present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wintypes.h"

namespace brevix {

// A counted string: null (no string at all) is distinct from the empty string.
using CountedString = std::optional<std::u16string>;

// The stream names the catalog reserves. Every listing of a storage skips them.
inline constexpr std::u16string_view kHeaderStreamName = u"J_R_X_";
inline constexpr std::u16string_view kItemStreamName = u"I_T_E_M_";
inline constexpr std::u16string_view kLongNameStreamName = u"N_~~LNG";

// Little-endian writer over a growing buffer.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<BYTE>& out) : out_(out) {}
  void U16(WORD v);
  void U32(DWORD v);
  void F64(double v);
  void Counted(const CountedString& s);
  void Counted(std::u16string_view s);  // a present string, possibly empty

 private:
  std::vector<BYTE>& out_;
};

// Little-endian reader over a byte range. Every read fails (false) rather than run past the
// end; a failed read leaves the position where it was.
class ByteReader {
 public:
  ByteReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
  bool U16(WORD& v);
  bool U32(DWORD& v);
  bool F64(double& v);
  // A counted string: the byte count must be 0 (null) or an even number of at least 2 that
  // the remaining bytes hold; the last unit is the terminator and is not part of the text.
  bool Counted(CountedString& s);
  size_t remaining() const { return size_ - pos_; }
  size_t position() const { return pos_; }

 private:
  const BYTE* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The header stream.
struct CatalogHeader {
  double baseSerialNum = 0.0;
  double fileVersion = 1.1;
  CountedString masterPassword;
  CountedString userPassword;
};
std::vector<BYTE> EncodeHeader(const CatalogHeader& h);
// E_FAIL when the stream ends early or a count is not plausible; `h` is then untouched.
HRESULT DecodeHeader(const BYTE* data, size_t size, CatalogHeader& h);

// The long-name map stream of one storage, as stored.
struct LongNameEntry {
  std::u16string name;
  WORD id = 0;
};
struct LongNameMapImage {
  WORD lastId = 0;
  std::vector<LongNameEntry> entries;  // the count field is entries.size()
};
std::vector<BYTE> EncodeLongNameMap(const LongNameMapImage& m);
// E_FAIL when the stream is shorter than its count of entries claims or a count is not
// plausible; `m` is then untouched.
HRESULT DecodeLongNameMap(const BYTE* data, size_t size, LongNameMapImage& m);

}  // namespace brevix
