// Reading a compound file's tree by directory entry, beside the interface objects: the
// elements of a storage as the entries hold them, and a stream's whole content, without a
// storage, stream or enumerator object and without a copy of each name.
//
// This is the layer's own service for walks that read a large tree once (the catalog
// search): a storage object of this layer gives the reader of its file and its entry; the
// reader then names elements by entry id. Every call checks what it is given as the file
// holds it (an id past the directory, a free entry, a sibling tree with a cycle, a chain
// that runs out or loops: STG_E_DOCFILECORRUPT) and answers as the interface objects would:
// an element that is open elsewhere is refused as opening it would be (STG_E_ACCESSDENIED),
// and a file whose pages could not be read gives STG_E_READFAULT from then on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "cfb.h"

namespace cfb {

class Docfile;

class TreeReader {
 public:
  using Id = std::uint32_t;
  static constexpr Id kNone = 0xFFFFFFFF;

  // One element of a storage, as a listing hands it over.
  struct Element {
    Id id;
    DWORD type;                // STGTY_STORAGE or STGTY_STREAM
    std::u16string_view name;  // the stored name, valid during the visit only
    // Whether OpenStorage or OpenStream would take the name (no refused character, no null
    // unit inside it).
    bool openable;
  };
  using Visit = void (*)(void* context, const Element& element);

  TreeReader();
  ~TreeReader();
  TreeReader(const TreeReader&) = delete;
  TreeReader& operator=(const TreeReader&) = delete;

  // Reads the file behind `stg`, a storage object of this layer; *self receives its entry.
  // E_NOINTERFACE for a storage of another kind, STG_E_REVERTED for one whose file is closed.
  HRESULT Attach(IStorage* stg, Id* self);

  // Hands every element of the storage `storage` to visit, in the order EnumElements gives
  // them. The visitor must not call the reader, but for Prefetch.
  HRESULT List(Id storage, Visit visit, void* context);
  template <class F>
  HRESULT List(Id storage, F& visit) {
    return List(
        storage, [](void* c, const Element& e) { (*static_cast<F*>(c))(e); }, &visit);
  }

  // The element of that name in `storage`, found as OpenStream and OpenStorage find it:
  // STG_E_FILENOTFOUND when there is none.
  HRESULT Find(Id storage, std::u16string_view name, Id* id);
  // S_OK when the element could be opened as `type` (STGTY_STORAGE or STGTY_STREAM);
  // otherwise what opening it would answer: STG_E_FILENOTFOUND for an element of the other
  // kind, STG_E_ACCESSDENIED for one that is open.
  HRESULT Probe(Id id, DWORD type);
  // A hint that the stream `id` is read soon: the start of its data is asked for now, so that
  // the reads of several streams overlap. It reads nothing that can fail and answers nothing.
  void Prefetch(Id id) const;
  // The whole content of the stream `id` (probed first). E_FAIL, with nothing read, for a
  // stream of `refuseFrom` bytes or more; on any failure `out` is left empty.
  HRESULT ReadStream(Id id, std::uint64_t refuseFrom, std::vector<BYTE>& out);

 private:
  HRESULT Live() const;
  static void ReadMini(Docfile& d, Id id, std::vector<BYTE>& out);
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace cfb
