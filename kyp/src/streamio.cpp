// The byte forms of the template file's streams: integers, counted strings, tagged variants, objects.
#include "streamio.h"

#include <cstring>
#include <limits>

namespace kyp {

namespace {

// A picture's own stream: this signature, the byte count, then the picture file's bytes.
constexpr BYTE kPictureSignature[4] = {'l', 't', 0, 0};

// The smallest encoding of a tagged variant: its type alone is 2 bytes.
constexpr std::uint64_t kMinTaggedBytes = 2;

// The variant a value refers to, read through one level of reference.
HRESULT Plain(const VARIANT& v, xcom::Variant* out) {
  if (v.vt & VT_BYREF) return VariantCopyInd(out, &v);
  return VariantCopy(out, &v);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading

HRESULT StreamReader::Start() {
  LARGE_INTEGER zero{};
  ULARGE_INTEGER pos{};
  HRESULT hr = stream_->Seek(zero, STREAM_SEEK_CUR, &pos);
  if (FAILED(hr)) return hr;
  STATSTG st{};
  hr = stream_->Stat(&st, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  pos_ = pos.QuadPart;
  size_ = st.cbSize.QuadPart;
  return S_OK;
}

HRESULT StreamReader::Bytes(void* dst, std::uint64_t n) {
  if (n > remaining()) return E_FAIL;
  auto* p = static_cast<BYTE*>(dst);
  while (n > 0) {
    ULONG chunk = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
    ULONG got = 0;
    HRESULT hr = stream_->Read(p, chunk, &got);
    if (FAILED(hr)) return hr;
    pos_ += got;
    if (got != chunk) return E_FAIL;
    p += got;
    n -= got;
  }
  return S_OK;
}

namespace {
template <class T>
HRESULT ReadLe(StreamReader& r, T* v, int bytes) {
  BYTE b[8];
  HRESULT hr = r.Bytes(b, static_cast<std::uint64_t>(bytes));
  if (FAILED(hr)) return hr;
  std::uint64_t x = 0;
  for (int i = bytes - 1; i >= 0; --i) x = (x << 8) | b[i];
  *v = static_cast<T>(x);
  return S_OK;
}
}  // namespace

HRESULT StreamReader::I16(SHORT* v) { return ReadLe(*this, v, 2); }
HRESULT StreamReader::U16(USHORT* v) { return ReadLe(*this, v, 2); }
HRESULT StreamReader::I32(LONG* v) { return ReadLe(*this, v, 4); }
HRESULT StreamReader::U32(ULONG* v) { return ReadLe(*this, v, 4); }
HRESULT StreamReader::I64(LONGLONG* v) { return ReadLe(*this, v, 8); }
HRESULT StreamReader::U8(BYTE* v) { return Bytes(v, 1); }

HRESULT StreamReader::Guid(GUID* g) {
  HRESULT hr = U32(&g->Data1);
  if (SUCCEEDED(hr)) hr = U16(&g->Data2);
  if (SUCCEEDED(hr)) hr = U16(&g->Data3);
  if (SUCCEEDED(hr)) hr = Bytes(g->Data4, sizeof g->Data4);
  return hr;
}

HRESULT StreamReader::String(xcom::Bstr* out) {
  out->Reset();
  ULONG count = 0;
  HRESULT hr = U32(&count);
  if (FAILED(hr)) return hr;
  if (count == 0) return S_OK;  // a null string
  // The code units and one zero unit: an even count of at least 2 that the stream holds.
  if (count < 2 || count % 2 != 0 || count > remaining()) return E_FAIL;
  UINT units = count / 2 - 1;
  BSTR s = SysAllocStringLen(nullptr, units);
  if (!s) return E_OUTOFMEMORY;
  out->Attach(s);
  std::vector<BYTE> raw(count);
  hr = Bytes(raw.data(), count);
  if (FAILED(hr)) return hr;
  for (UINT i = 0; i <= units; ++i) {
    char16_t unit = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    if (i == units) {
      if (unit != 0) return E_FAIL;  // the terminating zero unit is part of the form
    } else {
      s[i] = unit;
    }
  }
  return S_OK;
}

HRESULT StreamReader::Object(VARTYPE vt, VARIANT* out) {
  GUID clsid{};
  HRESULT hr = Guid(&clsid);
  if (FAILED(hr)) return hr;
  if (clsid == GUID_NULL) {
    out->punkVal = nullptr;
    out->vt = vt;
    return S_OK;
  }
  ComPtr<IUnknown> object;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.ReleaseAndGetAddressOfVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IPersistStream> ps;
  ComPtr<IPersistStreamInit> psi;
  if (SUCCEEDED(object.As(&ps))) {
    hr = ps->Load(stream_);
  } else if (SUCCEEDED(object.As(&psi))) {
    hr = psi->Load(stream_);
  } else {
    return E_NOINTERFACE;
  }
  // The object read the stream itself: learn where it left off.
  HRESULT sync = Start();
  if (FAILED(hr)) return hr;
  if (FAILED(sync)) return sync;
  if (vt == VT_DISPATCH) {
    IDispatch* d = nullptr;
    hr = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    if (FAILED(hr)) return hr;
    out->pdispVal = d;
  } else {
    out->punkVal = object.Detach();
  }
  out->vt = vt;
  return S_OK;
}

HRESULT StreamReader::TaggedVariant(VARIANT* out) {
  USHORT vt = 0;
  HRESULT hr = U16(&vt);
  if (FAILED(hr)) return hr;
  xcom::Variant v;
  switch (vt) {
    case VT_I2: case VT_UI2: hr = U16(&v.uiVal); break;
    case VT_BOOL: {
      SHORT b = 0;
      hr = I16(&b);
      v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    }
    case VT_I4: case VT_R4: case VT_ERROR: case VT_UI4: case VT_INT: case VT_UINT:
      hr = U32(&v.ulVal);
      break;
    case VT_R8: case VT_CY: case VT_DATE:
      hr = I64(&v.llVal);
      break;
    case VT_I1: case VT_UI1: hr = U8(&v.bVal); break;
    case VT_DISPATCH: case VT_UNKNOWN: {
      hr = Object(vt, &v);
      if (FAILED(hr)) return hr;
      *out = v.Detach();
      return S_OK;
    }
    case VT_BSTR: {
      xcom::Bstr s;
      hr = String(&s);
      if (FAILED(hr)) return hr;
      v.bstrVal = s.Detach();
      break;
    }
    default: {
      // Any other type travels as its text and is converted back to the stored type.
      xcom::Bstr s;
      hr = String(&s);
      if (FAILED(hr)) return hr;
      if (vt == VT_EMPTY || vt == VT_NULL) break;
      if (vt & ~VT_TYPEMASK) return E_FAIL;  // no array or reference comes from a file
      xcom::Variant text;
      text.bstrVal = s.Detach();
      text.vt = VT_BSTR;
      hr = VariantChangeType(&v, &text, 0, vt);
      if (FAILED(hr)) return hr;
      *out = v.Detach();
      return S_OK;
    }
  }
  if (FAILED(hr)) return hr;
  v.vt = vt;
  *out = v.Detach();
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Writing

void StreamWriter::Bytes(const void* src, std::size_t n) {
  const auto* p = static_cast<const BYTE*>(src);
  buffer_.insert(buffer_.end(), p, p + n);
}

void StreamWriter::Le(std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) buffer_.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void StreamWriter::Guid(const GUID& g) {
  U32(g.Data1);
  U16(g.Data2);
  U16(g.Data3);
  Bytes(g.Data4, sizeof g.Data4);
}

HRESULT StreamWriter::String(BSTR s) { return String(View(s), s == nullptr); }

HRESULT StreamWriter::String(std::u16string_view s, bool isNull) {
  if (isNull) {
    U32(0);
    return S_OK;
  }
  if (s.size() > (std::numeric_limits<ULONG>::max() - 2) / 2) return STG_E_MEDIUMFULL;
  U32(static_cast<ULONG>(s.size() * 2 + 2));
  buffer_.reserve(buffer_.size() + s.size() * 2 + 2);
  for (char16_t c : s) U16(c);
  U16(0);
  return S_OK;
}

HRESULT StreamWriter::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    std::size_t left = buffer_.size() - done;
    ULONG chunk = left > 0x40000000u ? 0x40000000u : static_cast<ULONG>(left);
    ULONG written = 0;
    HRESULT hr = stream_->Write(buffer_.data() + done, chunk, &written);
    if (FAILED(hr)) return hr;
    if (written != chunk) return STG_E_WRITEFAULT;
    done += chunk;
  }
  buffer_.clear();
  return S_OK;
}

HRESULT StreamWriter::Object(IUnknown* object) {
  if (!object) {
    Guid(GUID_NULL);
    return S_OK;
  }
  ComPtr<IUnknown> unk(object);
  ComPtr<IPersistStream> ps;
  ComPtr<IPersistStreamInit> psi;
  IPersist* persist = nullptr;
  if (SUCCEEDED(unk.As(&ps))) {
    persist = ps.Get();
  } else if (SUCCEEDED(unk.As(&psi))) {
    persist = psi.Get();
  } else {
    return E_NOINTERFACE;  // an object that cannot persist itself to a stream
  }
  CLSID clsid{};
  HRESULT hr = persist->GetClassID(&clsid);
  if (FAILED(hr)) return hr;
  Guid(clsid);
  hr = Flush();
  if (FAILED(hr)) return hr;
  return ps ? ps->Save(stream_, TRUE) : psi->Save(stream_, TRUE);
}

HRESULT StreamWriter::TaggedVariant(const VARIANT& value) {
  xcom::Variant v;
  HRESULT hr = Plain(value, &v);
  if (FAILED(hr)) return hr;
  switch (v.vt) {
    case VT_I2: case VT_BOOL: case VT_UI2:
      U16(v.vt);
      U16(v.uiVal);
      return S_OK;
    case VT_I4: case VT_R4: case VT_ERROR: case VT_UI4: case VT_INT: case VT_UINT:
      U16(v.vt);
      U32(v.ulVal);
      return S_OK;
    case VT_R8: case VT_CY: case VT_DATE:
      U16(v.vt);
      I64(v.llVal);
      return S_OK;
    case VT_I1: case VT_UI1:
      U16(v.vt);
      U8(v.bVal);
      return S_OK;
    case VT_DISPATCH: case VT_UNKNOWN:
      U16(v.vt);
      return Object(v.punkVal);
    case VT_BSTR:
      U16(v.vt);
      return String(v.bstrVal);
    case VT_EMPTY: case VT_NULL:
      // No value to convert: the type alone tells it, with a null string after it.
      U16(v.vt);
      U32(0);
      return S_OK;
    default: {
      xcom::Variant text;
      hr = VariantChangeType(&text, &v, 0, VT_BSTR);
      if (FAILED(hr)) return hr;
      U16(v.vt);
      return String(text.bstrVal);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Field values

namespace {

VARTYPE ScalarVt(SHORT type) {
  switch (type) {
    case kypInteger: return VT_I2;
    case kypBoolean: return VT_BOOL;
    case kypLong: return VT_I4;
    case kypSingle: return VT_R4;
    case kypDouble: return VT_R8;
    case kypByte: return VT_UI1;
    case kypDate: return VT_DATE;
    default: return VT_EMPTY;
  }
}

HRESULT WriteArray(StreamWriter& out, const VARIANT& value) {
  xcom::Variant v;
  HRESULT hr = Plain(value, &v);
  if (FAILED(hr)) return hr;
  if (v.vt != (VT_ARRAY | VT_VARIANT) || !v.parray || SafeArrayGetDim(v.parray) != 1) return E_INVALIDARG;
  LONG lower = 0, upper = -1;
  hr = SafeArrayGetLBound(v.parray, 1, &lower);
  if (SUCCEEDED(hr)) hr = SafeArrayGetUBound(v.parray, 1, &upper);
  if (FAILED(hr)) return hr;
  // The real number of elements, whatever the lower bound.
  ULONG count = v.parray->rgsabound[0].cElements;
  if (count > static_cast<ULONG>(std::numeric_limits<LONG>::max())) return E_INVALIDARG;
  out.I32(static_cast<LONG>(count));
  VARIANT* elements = nullptr;
  hr = SafeArrayAccessData(v.parray, reinterpret_cast<void**>(&elements));
  if (FAILED(hr)) return hr;
  for (ULONG i = 0; i < count && SUCCEEDED(hr); ++i) hr = out.TaggedVariant(elements[i]);
  SafeArrayUnaccessData(v.parray);
  return hr;
}

HRESULT ReadArray(StreamReader& in, VARIANT* value) {
  LONG count = 0;
  HRESULT hr = in.I32(&count);
  if (FAILED(hr)) return hr;
  if (count < 0 || static_cast<std::uint64_t>(count) * kMinTaggedBytes > in.remaining()) return E_FAIL;
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
  if (!sa) return E_OUTOFMEMORY;
  xcom::Variant holder = xcom::Variant::Adopt(VT_ARRAY | VT_VARIANT, sa);
  VARIANT* elements = nullptr;
  hr = SafeArrayAccessData(sa, reinterpret_cast<void**>(&elements));
  if (FAILED(hr)) return hr;
  for (LONG i = 0; i < count && SUCCEEDED(hr); ++i) hr = in.TaggedVariant(&elements[i]);
  SafeArrayUnaccessData(sa);
  if (FAILED(hr)) return hr;
  *value = holder.Detach();
  return S_OK;
}

HRESULT WritePicture(StreamWriter& out, const VARIANT& value) {
  xcom::Variant v;
  HRESULT hr = Plain(value, &v);
  if (FAILED(hr)) return hr;
  out.Bytes(kPictureSignature, sizeof kPictureSignature);
  if (v.vt == VT_EMPTY) {
    out.U32(0);
    return S_OK;
  }
  if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray || SafeArrayGetDim(v.parray) != 1) return DISP_E_TYPEMISMATCH;
  ULONG count = v.parray->rgsabound[0].cElements;
  out.U32(count);
  const BYTE* data = nullptr;
  hr = SafeArrayAccessData(v.parray, reinterpret_cast<void**>(const_cast<BYTE**>(&data)));
  if (FAILED(hr)) return hr;
  out.Bytes(data, count);
  SafeArrayUnaccessData(v.parray);
  return S_OK;
}

HRESULT ReadPicture(StreamReader& in, VARIANT* value) {
  // The picture's bytes follow the signature and their count; a stream without the
  // signature is taken as the picture file itself.
  std::uint64_t count = in.remaining();
  if (count >= 8) {
    BYTE head[8];
    HRESULT hr = in.Bytes(head, sizeof head);
    if (FAILED(hr)) return hr;
    if (std::memcmp(head, kPictureSignature, sizeof kPictureSignature) == 0) {
      count = static_cast<std::uint64_t>(head[4]) | (head[5] << 8) | (head[6] << 16) |
              (static_cast<std::uint64_t>(head[7]) << 24);
      if (count > in.remaining()) return E_FAIL;
    } else {
      LARGE_INTEGER back{};
      back.QuadPart = -static_cast<LONGLONG>(sizeof head);
      hr = in.stream()->Seek(back, STREAM_SEEK_CUR, nullptr);
      if (SUCCEEDED(hr)) hr = in.Start();
      if (FAILED(hr)) return hr;
    }
  }
  if (count == 0) return S_OK;  // no picture
  if (count > std::numeric_limits<ULONG>::max()) return E_FAIL;
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count));
  if (!sa) return E_OUTOFMEMORY;
  xcom::Variant holder = xcom::Variant::Adopt(VT_ARRAY | VT_UI1, sa);
  HRESULT hr = in.Bytes(sa->pvData, count);
  if (FAILED(hr)) return hr;
  *value = holder.Detach();
  return S_OK;
}

}  // namespace

HRESULT WriteFieldValue(StreamWriter& out, SHORT type, const VARIANT& value) {
  switch (type) {
    case kypVariant: return out.TaggedVariant(value);
    case kypArray: return WriteArray(out, value);
    case kypPicture: return WritePicture(out, value);
    default: break;
  }
  VARTYPE vt = ScalarVt(type);
  if (vt == VT_EMPTY) return S_OK;  // a type that holds nothing
  xcom::Variant v;
  HRESULT hr = VariantChangeType(&v, &value, 0, vt);
  if (FAILED(hr)) return hr;
  switch (vt) {
    case VT_I2: out.I16(v.iVal); break;
    case VT_BOOL: out.U8(v.boolVal ? 0xFF : 0x00); break;
    case VT_I4: out.I32(v.lVal); break;
    case VT_R4: out.U32(v.ulVal); break;
    case VT_R8: case VT_DATE: out.I64(v.llVal); break;
    case VT_UI1: out.U8(v.bVal); break;
    default: break;
  }
  return S_OK;
}

HRESULT ReadFieldValue(StreamReader& in, SHORT type, VARIANT* value) {
  switch (type) {
    case kypVariant: return in.TaggedVariant(value);
    case kypArray: return ReadArray(in, value);
    case kypPicture: return ReadPicture(in, value);
    default: break;
  }
  VARTYPE vt = ScalarVt(type);
  if (vt == VT_EMPTY) return S_OK;
  xcom::Variant v;
  HRESULT hr = S_OK;
  switch (vt) {
    case VT_I2: hr = in.I16(&v.iVal); break;
    case VT_BOOL: {
      BYTE b = 0;
      hr = in.U8(&b);
      v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    }
    case VT_I4: hr = in.I32(&v.lVal); break;
    case VT_R4: hr = in.U32(&v.ulVal); break;
    case VT_R8: case VT_DATE: hr = in.I64(&v.llVal); break;
    case VT_UI1: hr = in.U8(&v.bVal); break;
    default: break;
  }
  if (FAILED(hr)) return hr;
  v.vt = vt;
  *value = v.Detach();
  return S_OK;
}

}  // namespace kyp
