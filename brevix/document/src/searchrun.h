// One run of the catalog search: its criteria and callbacks, the path text, and one listing
// buffer per depth, shared by the walk over the tree reader and the walk over storage objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogformat.h"
#include "cfbtree.h"
#include "ostorage_impl.h"

namespace brevix {

// One level of the walk, listed and sorted before any of it is visited: the element names,
// the names shown (long names mapped back) and their upper-cased forms, kept in one buffer.
struct WalkLevel {
  struct Entry {
    uint32_t elem, elemLen;
    uint32_t shown, shownLen;
    uint32_t folded;         // shownLen units
    uint32_t seq;            // position in the enumeration
    cfb::TreeReader::Id id;  // the directory entry (walks over the tree reader)
    bool storage;
    bool pending;  // a long name not looked up yet: shown and folded are not set
  };
  std::u16string text;
  std::vector<Entry> entries;
  // Walks over the tree reader: the level's own reserved streams where the listing found
  // them, the long-name map as read (only once a long name needs it), and whether the
  // listing went through.
  cfb::TreeReader::Id itemStream = cfb::TreeReader::kNone;
  cfb::TreeReader::Id mapStream = cfb::TreeReader::kNone;
  bool listedWhole = false;
  size_t pending = 0;
  enum class Map { Unread, Read, Unusable } map = Map::Unread;
  std::vector<BYTE> mapBytes;
  std::vector<LongNameRef> mapEntries;
  std::vector<uint32_t> mapById;  // entry indexes by identifier, then stream order; built for a large map

  void Clear() {
    text.clear();
    entries.clear();
    itemStream = mapStream = cfb::TreeReader::kNone;
    listedWhole = false;
    pending = 0;
    map = Map::Unread;
    mapById.clear();
  }

  std::u16string_view View(uint32_t at, uint32_t len) const { return {text.data() + at, len}; }
  const OLECHAR* Element(const Entry& e) const { return text.data() + e.elem; }
  std::u16string_view Shown(const Entry& e) const { return View(e.shown, e.shownLen); }
  std::u16string_view Folded(const Entry& e) const { return View(e.folded, e.shownLen); }
  // Appends the upper-cased form of the text at `from` and gives where it starts.
  uint32_t AppendFolded(uint32_t from, uint32_t len);
  // Storages before streams; then by name ignoring case; of two equal names the one listed
  // later comes first.
  void Sort();
};

struct OStorage::SearchRun {
  SearchCriteria criteria;
  bool anyCriteria = false;
  ItemCallbackFn* itemCallback = nullptr;
  ItemRecordCallbackFn* recordCallback = nullptr;
  xcom::Bstr folderKind{u"FOLDER"};
  xcom::Bstr fileKind{u"FILE"};
  std::u16string path;  // the path text of the level being walked
  HRESULT firstError = S_OK;
  // Kept for the whole walk: one listing per depth (each level is listed whole before the
  // walk goes deeper).
  std::vector<std::unique_ptr<WalkLevel>> levels;
  std::size_t depth = 0;
  // Walks over storage objects: one batch for the enumerators, and the name being listed.
  std::vector<STATSTG> batch = std::vector<STATSTG>(256);
  std::vector<ULONG> lengths = std::vector<ULONG>(256);
  std::u16string folded;
  // Walks over the tree reader.
  cfb::TreeReader reader;
  std::uint64_t refuseFrom = 0;  // the stream size from which a whole read fails
  // The storages the walk is inside, by entry: a storage opened by the walk over objects
  // cannot be opened again below itself, so a damaged tree that leads back up is not
  // followed there either.
  std::vector<std::uint64_t> inside;
  bool Inside(cfb::TreeReader::Id id) const {
    return id / 64 < inside.size() && (inside[id / 64] >> (id % 64) & 1) != 0;
  }
  void SetInside(cfb::TreeReader::Id id, bool on) {
    if (id / 64 >= inside.size()) inside.resize(id / 64 + 1);
    if (on)
      inside[id / 64] |= std::uint64_t{1} << (id % 64);
    else
      inside[id / 64] &= ~(std::uint64_t{1} << (id % 64));
  }

  WalkLevel& LevelAt(std::size_t d) {
    while (levels.size() <= d) levels.push_back(std::make_unique<WalkLevel>());
    return *levels[d];
  }
  // A folder or disk of `level` whose record was read: the path text is extended with its
  // name (the caller cuts it back to `folderLen`, its length before), and a match goes to the
  // callback. True when the item callback's answer ends the level.
  bool VisitFolder(const WalkLevel& level, const WalkLevel::Entry& e, ItemRecord& rec, double childSerial,
                   std::size_t& folderLen, LONG& hitCount);
  // A file of `level` with its record (empty when it could not be read): a match goes to the
  // callback. True when the item callback's answer ends the level.
  bool VisitFile(const WalkLevel& level, const WalkLevel::Entry& e, ItemRecord& rec, double serial, LONG& hitCount);
  // Hands one hit to the callback and counts it; the item callback's answer.
  LONG Deliver(const ItemRecord& rec, std::u16string_view folderPath, std::u16string_view hitPath, double hitSerial,
               std::uint64_t bytesForKB, BSTR kind, LONG& hitCount);
};

// Takes the level limit off a walk mode (value + 100); false when the walk does not descend.
inline bool WalkDescends(SHORT& srchType) {
  bool descend = true;
  if (srchType > 99) {
    srchType = static_cast<SHORT>(srchType - 100);
    descend = false;
  }
  return descend && srchType != SEARCH_NO_DESCENT;
}

// One level deeper for as long as it lives.
struct DepthScope {
  std::size_t& depth;
  explicit DepthScope(std::size_t& d) : depth(d) { ++depth; }
  ~DepthScope() { --depth; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;
};

// Walks over storage objects instead of the tree reader, for tests that compare the two.
void UseObjectSearchWalk(bool on);

}  // namespace brevix
