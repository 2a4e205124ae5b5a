// The byte forms of the template file's streams: little-endian integers, the counted string
// form, the tagged variant form, persisted objects, arrays and pictures, and the value of a
// field in the form of its type.
//
// Reading never trusts a count from the file: a string, array or list that claims more than
// the rest of the stream holds is refused with E_FAIL before anything is allocated for it,
// and so is a stream that ends inside a value.
#pragma once

#include <cstdint>
#include <vector>

#include "internal.h"

namespace kyp {

// {00000109-0000-0000-C000-000000000046}: the stream persistence that persisted objects in
// tagged variants use (objects that offer IPersistStreamInit instead are served too).
inline constexpr IID IID_IPersistStream = {0x00000109, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
struct IPersistStream : IPersist {
  static constexpr const IID& kIID = IID_IPersistStream;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* pStm) = 0;
  virtual HRESULT Save(IStream* pStm, BOOL fClearDirty) = 0;
  virtual HRESULT GetSizeMax(ULARGE_INTEGER* pcbSize) = 0;

 protected:
  ~IPersistStream() = default;
};

// Reads from a stream at its seek position, knowing how much of the stream is left.
class StreamReader {
 public:
  explicit StreamReader(IStream* stream) : stream_(stream) {}

  // Learns the position and size; every reader starts with it.
  HRESULT Start();
  std::uint64_t remaining() const { return size_ > pos_ ? size_ - pos_ : 0; }
  IStream* stream() const { return stream_; }

  HRESULT Bytes(void* dst, std::uint64_t n);
  HRESULT I16(SHORT* v);
  HRESULT U16(USHORT* v);
  HRESULT I32(LONG* v);
  HRESULT U32(ULONG* v);
  HRESULT I64(LONGLONG* v);
  HRESULT U8(BYTE* v);
  HRESULT Guid(GUID* v);
  // The string form: null for the count 0.
  HRESULT String(xcom::Bstr* out);
  // The tagged variant form into an empty variant.
  HRESULT TaggedVariant(VARIANT* out);
  // A persisted object (class identifier, then the object's own data); null for the zero
  // identifier. vt is VT_DISPATCH or VT_UNKNOWN.
  HRESULT Object(VARTYPE vt, VARIANT* out);

 private:
  IStream* stream_;
  std::uint64_t pos_ = 0;
  std::uint64_t size_ = 0;
};

// Collects bytes and writes them to a stream at Flush (or before an object writes itself).
class StreamWriter {
 public:
  explicit StreamWriter(IStream* stream) : stream_(stream) {}

  void Bytes(const void* src, std::size_t n);
  void I16(SHORT v) { Le(static_cast<std::uint16_t>(v), 2); }
  void U16(USHORT v) { Le(v, 2); }
  void I32(LONG v) { Le(static_cast<std::uint32_t>(v), 4); }
  void U32(ULONG v) { Le(v, 4); }
  void I64(LONGLONG v) { Le(static_cast<std::uint64_t>(v), 8); }
  void U8(BYTE v) { buffer_.push_back(v); }
  void Guid(const GUID& g);
  HRESULT String(BSTR s);
  HRESULT String(std::u16string_view s, bool isNull);
  HRESULT TaggedVariant(const VARIANT& v);
  HRESULT Object(IUnknown* object);
  HRESULT Flush();

 private:
  void Le(std::uint64_t v, int bytes);

  IStream* stream_;
  std::vector<BYTE> buffer_;
};

// A field's value in the form of its type code (the "__NODE_DATA_" form, or the own stream
// of types 10 and 11). Writing converts the value to the field's type; reading makes a
// value of that type.
HRESULT WriteFieldValue(StreamWriter& out, SHORT type, const VARIANT& value);
HRESULT ReadFieldValue(StreamReader& in, SHORT type, VARIANT* value);

// Whether values of a type live in a stream of their own ("_F_" + field name).
inline bool HasOwnStream(SHORT type) { return type == kypArray || type == kypPicture; }

}  // namespace kyp
