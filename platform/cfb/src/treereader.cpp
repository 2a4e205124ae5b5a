// The tree reader: a storage's elements and a stream's content read by directory entry.
#include <algorithm>
#include <bit>
#include <cstring>

#include "cfbtree.h"
#include "docfile.h"
#include "guard.h"

namespace cfb {

struct TreeReader::State {
  std::shared_ptr<Docfile> doc;
  StreamCursor cursor;  // reused: its chain keeps its capacity from stream to stream
};

TreeReader::TreeReader() : state_(std::make_unique<State>()) {}
TreeReader::~TreeReader() = default;

HRESULT TreeReader::Attach(IStorage* stg, Id* self) {
  state_->doc.reset();
  std::shared_ptr<Docfile> doc;
  EntryId id = kNoEntry;
  if (HRESULT hr = StorageElement(stg, &doc, &id); FAILED(hr)) return hr;
  state_->doc = std::move(doc);
  *self = Raw(id);
  return S_OK;
}

HRESULT TreeReader::Live() const {
  if (!state_->doc) return E_UNEXPECTED;
  return state_->doc->Closed() ? STG_E_REVERTED : S_OK;
}

namespace {

struct ListContext {
  TreeReader::Visit visit;
  void* context;
  char16_t name[kMaxNameUnits + 1];
};

}  // namespace

HRESULT TreeReader::List(Id storage, Visit visit, void* context) {
  if (HRESULT hr = Live(); FAILED(hr)) return hr;
  Docfile& d = *state_->doc;
  return Guard(d, [&]() -> HRESULT {
    const std::uint8_t type = d.TypeOf(EntryId{storage});
    if (type != kTypeStorage && type != kTypeRoot) return STG_E_FILENOTFOUND;
    ListContext ctx{visit, context, {}};
    d.VisitChildren(
        EntryId{storage},
        [](void* c, EntryId id, const std::uint8_t* e) {
          auto& x = *static_cast<ListContext*>(c);
          const std::size_t n = Docfile::NameUnits(e);  // a length the entry cannot hold fails here
          // Opening goes by the name up to its first null unit: a name with one inside names
          // something else, and one with a refused character cannot be opened at all.
          std::memcpy(x.name, e + kEName, 2 * n);
          if constexpr (std::endian::native != std::endian::little) Docfile::CopyName(e, n, x.name);
          unsigned refused = n == 0;
          for (std::size_t i = 0; i < n; ++i) refused |= x.name[i] == u'\0' || RefusedInName(x.name[i]);
          const bool openable = !refused;
          x.name[n] = u'\0';
          const Element el{Raw(id), e[kEType] == kTypeStream ? STGTY_STREAM : STGTY_STORAGE, std::u16string_view(x.name, n),
                           openable};
          x.visit(x.context, el);
        },
        &ctx);
    return S_OK;
  });
}

HRESULT TreeReader::Find(Id storage, std::u16string_view name, Id* id) {
  *id = kNone;
  if (HRESULT hr = Live(); FAILED(hr)) return hr;
  if (name.empty() || name.size() > kMaxNameUnits) return STG_E_INVALIDNAME;
  Docfile& d = *state_->doc;
  return Guard(d, [&]() -> HRESULT {
    const std::uint8_t type = d.TypeOf(EntryId{storage});
    if (type != kTypeStorage && type != kTypeRoot) return STG_E_FILENOTFOUND;
    const EntryId found = d.Find(EntryId{storage}, NameKey::From(name.data(), name.size()));
    if (found == kNoEntry) return STG_E_FILENOTFOUND;
    *id = Raw(found);
    return S_OK;
  });
}

HRESULT TreeReader::Probe(Id id, DWORD type) {
  if (HRESULT hr = Live(); FAILED(hr)) return hr;
  Docfile& d = *state_->doc;
  return Guard(d, [&]() -> HRESULT {
    if (d.TypeOf(EntryId{id}) != (type == STGTY_STREAM ? kTypeStream : kTypeStorage)) return STG_E_FILENOTFOUND;
    if (d.IsOpen(EntryId{id})) return STG_E_ACCESSDENIED;
    return S_OK;
  });
}

void TreeReader::Prefetch(Id id) const {
  if (state_->doc && !state_->doc->Closed()) state_->doc->PrefetchData(EntryId{id});
}

// A stream of the mini stream, read unit by unit along its chain in the mini FAT, with the
// checks of the stream objects' first read: a size the mini stream cannot hold, a chain that
// starts nowhere, ends early or leaves the mini stream is corrupt. `out` holds its size.
void TreeReader::ReadMini(Docfile& d, Id id, std::vector<BYTE>& out) {
  const std::size_t size = out.size();
  if (size > static_cast<std::uint64_t>(d.miniCount_) * kMiniSize) Corrupt();
  if (size == 0) return;
  MiniSector m{Get32(d.Entry(EntryId{id}) + kEStart)};
  const std::size_t units = (size + kMiniSize - 1) / kMiniSize;
  // The sector of the mini stream used last: a short stream mostly lies in one.
  const std::uint32_t perSector = d.sectorSize_ / kMiniSize;
  std::uint32_t held = NOSTREAM;
  const std::uint8_t* data = nullptr;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t at = Raw(m);
    if (at >= d.miniCount_) Corrupt();  // ENDOFCHAIN and FREESECT included
    if (at / perSector != held) {
      held = at / perSector;
      data = d.cache_.Get(d.ChainAt(d.miniChain_, held));
    }
    const std::size_t take = std::min<std::size_t>(kMiniSize, size - i * kMiniSize);
    std::memcpy(out.data() + i * kMiniSize, data + (at % perSector) * kMiniSize, take);
    if (i + 1 < units) m = d.MiniFatGet(m);
  }
}

HRESULT TreeReader::ReadStream(Id id, std::uint64_t refuseFrom, std::vector<BYTE>& out) {
  if (HRESULT hr = Live(); FAILED(hr)) {
    out.clear();
    return hr;
  }
  Docfile& d = *state_->doc;
  StreamCursor& c = state_->cursor;
  HRESULT hr = Guard(d, [&]() -> HRESULT {
    if (d.TypeOf(EntryId{id}) != kTypeStream) return STG_E_FILENOTFOUND;
    const std::uint64_t size = d.SizeOf(EntryId{id});
    if (size >= refuseFrom) return E_FAIL;
    // Nothing is allocated for a size beyond what the file can hold.
    const std::uint64_t room = size < kMiniCutoff ? static_cast<std::uint64_t>(d.miniCount_) * kMiniSize
                                                  : static_cast<std::uint64_t>(d.sectorCount_) * d.sectorSize_;
    if (size > room) Corrupt();
    out.resize(static_cast<std::size_t>(size));  // a buffer read into before is not zeroed again
    if (size >= kMiniCutoff) {
      c.id = EntryId{id};
      c.loaded = false;  // the size and start are checked against the file as it is now
      if (d.Read(c, 0, out.data(), out.size()) != out.size()) Corrupt();
    } else {
      ReadMini(d, id, out);
    }
    return S_OK;
  });
  if (FAILED(hr)) out.clear();
  return hr;
}

}  // namespace cfb
