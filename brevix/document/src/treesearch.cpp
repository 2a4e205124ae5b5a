// The catalog search walk over the file's tree reader: every level listed from its directory
// entries, names matched in place, records and long-name maps read by entry, no objects.
//
// It visits, reads and answers exactly as the walk over storage objects (finditem.cpp): a
// listing keeps the folders and the files whose name can still pass, in one buffer per depth;
// an element that could not be opened there is skipped here too; a level's long-name map is
// read only once one of its long names is to be shown, and its names are looked up where
// the map's bytes hold them.
#include <algorithm>

#include "namefold.h"
#include "ostorage_impl.h"
#include "searchrun.h"

namespace brevix {
namespace {

using Id = cfb::TreeReader::Id;
constexpr Id kNone = cfb::TreeReader::kNone;
// Up to this many entries a map is searched from its start; a larger one is indexed once.
constexpr std::size_t kMapScanLimit = 16;

// Reads the level's long-name map, once. A map that is missing, cannot be opened or read, or
// does not decode shows every long name under its element name, as the document does.
void ReadLevelMap(cfb::TreeReader& reader, std::uint64_t refuseFrom, WalkLevel& level, Id storage) {
  if (level.map != WalkLevel::Map::Unread) return;
  level.map = WalkLevel::Map::Unusable;
  Id id = level.mapStream;
  if (id == kNone && FAILED(reader.Find(storage, kLongNameStreamName, &id))) return;
  if (FAILED(reader.Probe(id, STGTY_STREAM)) || FAILED(reader.ReadStream(id, refuseFrom, level.mapBytes))) return;
  WORD last = 0;
  if (FAILED(ScanLongNameMap(level.mapBytes.data(), level.mapBytes.size(), level.mapEntries, &last))) return;
  level.map = WalkLevel::Map::Read;
}

// The first entry of the map with that identifier, or null.
const LongNameRef* MapEntryOf(WalkLevel& level, WORD id) {
  const std::vector<LongNameRef>& all = level.mapEntries;
  if (all.size() <= kMapScanLimit) {
    for (const LongNameRef& r : all)
      if (r.id == id) return &r;
    return nullptr;
  }
  std::vector<uint32_t>& byId = level.mapById;
  if (byId.empty()) {
    byId.resize(all.size());
    for (uint32_t i = 0; i < byId.size(); ++i) byId[i] = i;
    std::stable_sort(byId.begin(), byId.end(), [&](uint32_t a, uint32_t b) { return all[a].id < all[b].id; });
  }
  auto it = std::lower_bound(byId.begin(), byId.end(), id, [&](uint32_t i, WORD v) { return all[i].id < v; });
  return it != byId.end() && all[*it].id == id ? &all[*it] : nullptr;
}

}  // namespace

HRESULT OStorage::ListTreeLevel(SearchRun& run, std::uint32_t storage) {
  WalkLevel& level = run.LevelAt(run.depth);
  level.Clear();
  const SearchCriteria& k = run.criteria;
  uint32_t seq = 0;
  auto visit = [&](const cfb::TreeReader::Element& el) {
    const std::u16string_view name = el.name;
    if (IsReservedStreamName(name)) {
      Id& reserved = name == kItemStreamName ? level.itemStream : level.mapStream;
      if (name != kHeaderStreamName && reserved == kNone) {
        reserved = el.id;
        run.reader.Prefetch(el.id);  // the record is read once the listing is done, the map soon after
      }
      return;
    }
    const uint32_t at = seq++;
    if (!el.openable || name.size() > kMaxElementName)
      return;  // opening it would fail: it is neither visited nor shown
    WalkLevel::Entry e{};
    e.id = el.id;
    e.seq = at;
    e.storage = el.type == STGTY_STORAGE;
    e.elemLen = e.shownLen = static_cast<uint32_t>(name.size());
    if (name.size() > kLongNamePrefix.size() && name[0] == kLongNamePrefix[0] && ParseLongNameElement(name)) {
      e.pending = true;  // its name is looked up once the level is visited
      ++level.pending;
    } else {
      // A file whose name fails is never visited: it is neither kept nor sorted.
      if (!e.storage && run.anyCriteria && !k.NameMayMatch(name)) return;
      char16_t folded[kMaxElementName + 1];
      FoldInto(name.data(), name.size(), folded);
      if (!e.storage && run.anyCriteria && !k.NameMatchesFolded(std::u16string_view(folded, name.size()))) return;
      e.folded = static_cast<uint32_t>(level.text.size() + name.size() + 1);
      e.elem = e.shown = static_cast<uint32_t>(level.text.size());
      level.text.append(name);
      level.text.push_back(u'\0');
      level.text.append(folded, name.size());
      level.entries.push_back(e);
      return;
    }
    e.elem = e.shown = static_cast<uint32_t>(level.text.size());
    level.text.append(name);
    level.text.push_back(u'\0');
    level.entries.push_back(e);
  };
  HRESULT hr = run.reader.List(storage, visit);
  level.listedWhole = SUCCEEDED(hr);
  return hr;
}

void OStorage::ShowTreeLevel(SearchRun& run, std::uint32_t storage, Frame* top) {
  WalkLevel& level = *run.levels[run.depth];
  if (level.pending != 0) {
    const SearchCriteria& k = run.criteria;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < level.entries.size(); ++i) {
      WalkLevel::Entry e = level.entries[i];
      if (e.pending) {
        e.pending = false;
        const auto element = level.View(e.elem, e.elemLen);
        if (top) {
          // The starting folder's map as the document holds it, changes not yet written included.
          std::u16string_view shown = ShownNameView(*top, element);
          if (shown.data() != element.data()) {
            std::u16string copy(shown);
            e.shown = static_cast<uint32_t>(level.text.size());
            e.shownLen = static_cast<uint32_t>(copy.size());
            level.text.append(copy);
          }
        } else {
          ReadLevelMap(run.reader, run.refuseFrom, level, storage);
          const LongNameRef* r =
              level.map == WalkLevel::Map::Read ? MapEntryOf(level, *ParseLongNameElement(element)) : nullptr;
          if (r) {
            e.shown = static_cast<uint32_t>(level.text.size());
            e.shownLen = r->units;
            AppendLongName(level.mapBytes.data(), *r, level.text);
          }
        }
        if (!e.storage && run.anyCriteria && !k.NameMayMatch(level.Shown(e))) continue;
        e.folded = level.AppendFolded(e.shown, e.shownLen);
        if (!e.storage && run.anyCriteria && !k.NameMatchesFolded(level.Folded(e))) continue;
      }
      level.entries[kept++] = e;
    }
    level.entries.resize(kept);
    level.pending = 0;
  }
  level.Sort();
}

HRESULT OStorage::SearchTreeLevel(SearchRun& run, SHORT srchType, double serial, std::uint32_t storage, Frame* top) {
  const bool descend = WalkDescends(srchType);

  const bool atRoot = top == &root_;
  cfb::TreeReader& reader = run.reader;

  // A level below the first was listed by its parent, before the parent read its record.
  if (top) {
    HRESULT hr = ListTreeLevel(run, storage);
    if (FAILED(hr)) return hr;
  }
  ShowTreeLevel(run, storage, top);
  WalkLevel& level = *run.levels[run.depth];
  DepthScope deeper(run.depth);

  for (const WalkLevel::Entry& e : level.entries) {
    if (!e.storage) continue;
    if (run.Inside(e.id) || FAILED(reader.Probe(e.id, STGTY_STORAGE))) continue;
    // A folder to descend into is listed before its record is read: the listing finds the
    // record's stream on the way.
    HRESULT listed = descend ? ListTreeLevel(run, e.id) : S_OK;
    Id itemId = kNone;
    if (descend && run.levels[run.depth]->listedWhole) itemId = run.levels[run.depth]->itemStream;
    ItemRecord rec;
    rec.kind = atRoot ? ItemDisk : ItemFolder;
    if ((itemId == kNone && FAILED(reader.Find(e.id, kItemStreamName, &itemId))) ||
        FAILED(reader.Probe(itemId, STGTY_STREAM)) || FAILED(reader.ReadStream(itemId, run.refuseFrom, buffer_)) ||
        FAILED(DecodeItemRecord(buffer_.data(), buffer_.size(), rec))) {
      continue;  // a folder without a readable record is passed over, as if never opened
    }
    double childSerial = rec.kind == ItemDisk ? rec.serial : serial;
    std::size_t folderLen = 0;
    if (run.VisitFolder(level, e, rec, childSerial, folderLen, hitCount_)) {
      run.path.resize(folderLen);
      return S_OK;
    }
    if (descend) {
      run.SetInside(e.id, true);
      HRESULT hr = FAILED(listed) ? listed : SearchTreeLevel(run, srchType, childSerial, e.id, nullptr);
      run.SetInside(e.id, false);
      if (FAILED(hr) && SUCCEEDED(run.firstError)) run.firstError = hr;
    }
    run.path.resize(folderLen);
  }

  if (srchType == SEARCH_FOLDERS_ONLY) return S_OK;
  for (const WalkLevel::Entry& e : level.entries) {
    if (e.storage) continue;
    // The level holds only files whose name passed: the rest were left out when it was listed.
    if (FAILED(reader.Probe(e.id, STGTY_STREAM))) continue;
    ItemRecord rec;  // a fresh record for every element: an unreadable one stays empty
    rec.kind = ItemFile;
    if (SUCCEEDED(reader.ReadStream(e.id, run.refuseFrom, buffer_)))
      DecodeItemRecord(buffer_.data(), buffer_.size(), rec);
    if (run.VisitFile(level, e, rec, serial, hitCount_)) return S_OK;
  }
  return S_OK;
}

}  // namespace brevix
