// The structured-storage calls the catalog document makes, over byte buffers.
#include "stgio.h"

#include <cstdlib>

#include "namedcalls.h"

namespace brevix {
namespace {

// No catalog stream comes near this: a record holds a few hundred bytes, a long-name map at
// most 32767 names.
constexpr size_t kMaxStreamBytes = 64u << 20;

class StatName {
 public:
  ~StatName() { std::free(st_.pwcsName); }
  STATSTG* get() { return &st_; }
  std::u16string name() const { return st_.pwcsName ? std::u16string(st_.pwcsName) : std::u16string(); }

 private:
  STATSTG st_{};
};

}  // namespace

HRESULT OpenStreamIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStream>& out) {
  return cfb::OpenStreamNamed(parent, name, mode, out.ReleaseAndGetAddressOf());
}

HRESULT OpenStorageIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStorage>& out) {
  return cfb::OpenStorageNamed(parent, name, mode, out.ReleaseAndGetAddressOf());
}

HRESULT CreateStreamIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStream>& out) {
  return cfb::CreateStreamNamed(parent, name, mode, out.ReleaseAndGetAddressOf());
}

HRESULT CreateStorageIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStorage>& out) {
  return cfb::CreateStorageNamed(parent, name, mode, out.ReleaseAndGetAddressOf());
}

HRESULT StoredName(IStream* s, std::u16string& name) {
  StatName st;
  HRESULT hr = s->Stat(st.get(), STATFLAG_DEFAULT);
  if (SUCCEEDED(hr)) name = st.name();
  return hr;
}

HRESULT StoredName(IStorage* s, std::u16string& name) {
  StatName st;
  HRESULT hr = s->Stat(st.get(), STATFLAG_DEFAULT);
  if (SUCCEEDED(hr)) name = st.name();
  return hr;
}

HRESULT ProbeElement(IStorage* parent, const std::u16string& name, std::u16string* storedName, DWORD* type) {
  ComPtr<IStream> stream;
  HRESULT hr = OpenStreamIn(parent, name, kModeRead, stream);
  if (SUCCEEDED(hr)) {
    if (type) *type = STGTY_STREAM;
    return storedName ? StoredName(stream.Get(), *storedName) : S_OK;
  }
  if (hr != STG_E_FILENOTFOUND) return hr;
  ComPtr<IStorage> storage;
  hr = OpenStorageIn(parent, name, kModeRead, storage);
  if (SUCCEEDED(hr)) {
    if (type) *type = STGTY_STORAGE;
    return storedName ? StoredName(storage.Get(), *storedName) : S_OK;
  }
  return hr;
}

namespace {
constexpr ULONG kFirstChunk = 512;
constexpr ULONG kLargestChunk = 1u << 20;
}  // namespace

std::uint64_t WholeStreamRefusedFrom() {
  std::uint64_t total = 0;
  for (ULONG chunk = kFirstChunk;; chunk = chunk < kLargestChunk ? chunk * 2 : chunk) {
    total += chunk;
    if (total >= kMaxStreamBytes) return total;
  }
}

HRESULT ReadWholeStream(IStream* s, std::vector<BYTE>& out) {
  out.clear();
  ULONG chunk = kFirstChunk;
  for (;;) {
    size_t at = out.size();
    out.resize(at + chunk);
    ULONG got = 0;
    HRESULT hr = s->Read(out.data() + at, chunk, &got);
    if (FAILED(hr)) {
      out.clear();
      return hr;
    }
    out.resize(at + got);
    if (got < chunk) return S_OK;
    if (out.size() >= kMaxStreamBytes) {
      out.clear();
      return E_FAIL;
    }
    if (chunk < kLargestChunk) chunk *= 2;
  }
}

HRESULT WriteWholeStream(IStream* s, const std::vector<BYTE>& bytes, bool truncate) {
  ULONG written = 0;
  HRESULT hr = s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr)) return hr;
  if (written != bytes.size()) return STG_E_WRITEFAULT;
  if (truncate) {
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    hr = s->SetSize(size);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WriteNewStream(IStorage* parent, const std::u16string& name, const std::vector<BYTE>& bytes) {
  ComPtr<IStream> s;
  HRESULT hr = CreateStreamIn(parent, name, kModeCreateStream, s);
  return SUCCEEDED(hr) ? WriteWholeStream(s.Get(), bytes, false) : hr;
}

HRESULT ListChildren(IStorage* stg, std::vector<ChildElement>& out) {
  out.clear();
  ComPtr<IEnumSTATSTG> en;
  HRESULT hr = stg->EnumElements(0, nullptr, 0, en.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  constexpr ULONG kBatch = 64;
  STATSTG batch[kBatch];
  for (;;) {
    ULONG got = 0;
    hr = en->Next(kBatch, batch, &got);
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < got; ++i) {
      out.push_back(ChildElement{batch[i].pwcsName ? std::u16string(batch[i].pwcsName) : std::u16string(),
                                 batch[i].type});
      std::free(batch[i].pwcsName);
    }
    if (hr != S_OK || got < kBatch) return S_OK;
  }
}

}  // namespace brevix
