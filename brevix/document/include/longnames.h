// The catalog's rules for element names and the long-name map of one open storage.
//
// A name the container can hold under itself is stored as its own element name; any other
// (too long, one that folds onto a reserved stream, one holding a NUL, a lone surrogate or a
// character the container refuses) is stored under an element "FLD~~n", and the storage's long-name map
// "N_~~LNG" gives the name of identifier n.
//
// The map is held in memory while the storage is open. It is read from "N_~~LNG" on first
// use and written back whole, once, when the storage is closed (or before the catalog is
// copied), so that adding or removing many long names in one folder costs one rewrite, not
// one per name. The bytes written are those the format prescribes: the live entries in the
// order they were added, the count, and the last identifier given out; a map left without
// entries removes its stream.
//
// Reading a map builds no index: a walk that only shows names asks for a few identifiers of a
// small map, found by a scan. The indexes by identifier and by name are built on the first
// lookup that needs them (a large map, a lookup by name, or any change).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogformat.h"
#include "cfb.h"
#include "wintypes.h"

namespace brevix {

inline constexpr std::u16string_view kLongNamePrefix = u"FLD~~";

// The container's longest element name, in UTF-16 units.
inline constexpr size_t kMaxElementName = 31;
// The highest long-name identifier this system gives out (the field is 16 bits wide and
// older readers take it as signed).
inline constexpr WORD kMaxLongNameId = 32767;

bool IsReservedStreamName(std::u16string_view elementName);  // exact, as enumerated
// A name that would land on a reserved stream when compared the way the container does.
bool FoldsToReservedName(std::u16string_view name);
// A name stored under itself: short enough, not one of the reserved streams, free of NULs
// (the container would see only the part before one) and valid UTF-16, so that every
// directory entry of a catalog reads as text in any compound-file tool (a name read from a
// disk keeps a byte that is not UTF-8 as a lone surrogate). Refused characters are found out
// by the container.
bool FitsOwnElement(const std::u16string& name);
// A name that may be found stored under itself: as above, but a name that is not valid
// UTF-16 too, as catalogs written before stored such names.
bool MayBeOwnElement(const std::u16string& name);
// "FLD~~" followed by an identifier (1..65535, decimal, no leading zero): the element of a
// long name. Anything else is a name of its own.
std::optional<WORD> ParseLongNameElement(std::u16string_view elementName);
std::u16string LongNameElement(WORD id);

class LongNameMap {
 public:
  // Reads the map of `stg`; a storage without one has an empty map. E_FAIL for a map whose
  // stream does not decode (the map is then unusable and nothing is ever written over it).
  // `scratch`, when given, holds the stream's bytes instead of a buffer of its own.
  HRESULT Load(IStorage* stg, std::vector<BYTE>* scratch = nullptr);

  // The first live entry of that identifier / that name (exact comparison).
  const std::u16string* NameOf(WORD id) const;
  std::optional<WORD> IdOf(std::u16string_view name) const;
  // How many live entries have a name equal to `name` ignoring letter case; *id the first.
  size_t CountIgnoringCase(std::u16string_view name, WORD* id) const;

  // An identifier for a new entry of `stg`: the last one given out plus one while that stays
  // within 32767 and names no element already in the storage; after that the lowest one
  // absent from both the map and the storage. STG_E_MEDIUMFULL when none is left.
  HRESULT NextId(IStorage* stg, WORD* id);

  void Add(std::u16string name, WORD id);
  bool RemoveId(WORD id);
  void Rename(WORD id, std::u16string name);
  void ChangeId(WORD from, WORD to);

  bool dirty() const { return dirty_; }
  // Writes the map into `stg` when it changed.
  HRESULT Flush(IStorage* stg);

 private:
  struct Entry {
    std::u16string name;
    WORD id = 0;
    bool live = true;
  };
  static void Unindex(std::vector<uint32_t>& list, uint32_t index);
  void Index(uint32_t index);
  void Rebuild();
  // Builds the indexes when they are not built yet; the one by upper-cased name only for a
  // lookup ignoring case (most walks look names up exactly).
  void Indexed();
  void FoldedIndexed();

  std::vector<Entry> entries_;
  // Built by Indexed(): the live entries of each name and of each identifier, in entry order.
  std::unordered_map<std::u16string, std::vector<uint32_t>> byName_;
  std::unordered_map<std::u16string, std::vector<uint32_t>> byFolded_;  // by upper-cased name
  std::unordered_map<WORD, std::vector<uint32_t>> byId_;
  bool indexed_ = false;        // byName_ and byId_ are built
  bool foldedIndexed_ = false;  // byFolded_ is built too
  size_t live_ = 0;
  WORD lastId_ = 0;
  WORD reuseFrom_ = 1;
  bool exists_ = false;  // the stream is in the storage
  bool dirty_ = false;
};

}  // namespace brevix
