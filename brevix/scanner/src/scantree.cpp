// The scan of a drive's tree into the catalog (ScanFolder), for adding and for updating disks.
//
// The walk keeps one level per open folder: the medium folder's listing, the running byte
// total and, when updating, the names of the catalogued items the medium still has. A level
// is entered when its catalog folder has become current (added, or opened by name) and left by
// going back to the parent folder, always, whatever happened below. The medium's folders are
// opened and listed ahead of the walk on worker threads (volumes::WalkAhead); every catalog
// call is made here, on the caller's thread, in the walk's order.
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cfb.h"
#include "namefold.h"
#include "scanner_impl.h"

namespace brevix {
namespace {

using xcom::Bstr;
using xcom::ComPtr;

struct U16Hash {
  size_t operator()(const std::u16string& s) const noexcept {
    return std::hash<std::u16string_view>{}(s);
  }
};
using NameSet = std::unordered_set<std::u16string, U16Hash>;

}  // namespace

HRESULT ListCurrentFolder(IOStorageInternal* doc, std::vector<CatalogItem>& out) {
  out.clear();
  {
    ComPtr<IEnumSTATSTG> en;
    HRESULT hr = doc->EnumElements(1, en.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    STATSTG batch[64];
    ULONG got = 0;
    do {
      got = 0;
      hr = en->Next(64, batch, &got);
      if (FAILED(hr)) return hr;
      for (ULONG i = 0; i < got; ++i) {
        std::u16string name(batch[i].pwcsName ? batch[i].pwcsName : u"");
        CoTaskMemFree(batch[i].pwcsName);
        if (!IsReservedStreamName(name)) out.push_back({std::move(name), {}, batch[i].type == STGTY_STORAGE});
      }
    } while (hr == S_OK && got > 0);
  }
  for (CatalogItem& item : out) {
    item.shown = item.element;
    if (!ParseLongNameElement(item.element)) continue;
    Bstr longName;
    HRESULT hr = doc->LongNameFromElement(item.element.c_str(), longName.ReleaseAndGetAddressOf());
    // A map that cannot be read leaves the folder's names unknown: no caller may act on them.
    if (FAILED(hr) && hr != STG_E_FILENOTFOUND) return hr;
    if (SUCCEEDED(hr) && !longName.IsNull()) item.shown = std::u16string(longName.View());
  }
  return S_OK;
}

namespace {

// Whether the long-name map of the current catalog folder can be read: its read failure when
// it cannot (a folder without long names has an empty map).
HRESULT CheckLongNameMap(IOStorageInternal* doc) {
  Bstr name;
  HRESULT hr = doc->LongNameFromElement(LongNameElement(1).c_str(), name.ReleaseAndGetAddressOf());
  return hr == STG_E_FILENOTFOUND ? S_OK : hr;
}

// The catalogued items of one folder that the medium does not have under their exact names,
// by their upper-cased names: where a medium name has no exact match, the item whose name
// differs only in letter case is the same item, renamed on the medium.
class CaseTwins {
 public:
  HRESULT Load(IOStorageInternal* doc, const std::vector<volumes::DirEntry>& medium) {
    NameSet onMedium;
    onMedium.reserve(medium.size());
    for (const volumes::DirEntry& e : medium) onMedium.insert(e.name);
    std::vector<CatalogItem> items;
    HRESULT hr = ListCurrentFolder(doc, items);
    if (FAILED(hr)) return hr;
    for (CatalogItem& item : items) {
      if (onMedium.count(item.shown)) continue;
      std::u16string key = Folded(item.shown);
      byFolded_[std::move(key)].push_back({std::move(item.shown), item.storage});
    }
    return S_OK;
  }

  // The catalogued name of the item `name` (a folder or a file) was renamed from, claimed so
  // that no other entry takes it too; nothing when there is none.
  std::optional<std::u16string> Claim(const std::u16string& name, bool folder) {
    auto it = byFolded_.find(Folded(name));
    if (it == byFolded_.end()) return std::nullopt;
    for (auto c = it->second.begin(); c != it->second.end(); ++c) {
      if (c->storage == folder) {
        std::u16string found = std::move(c->name);
        it->second.erase(c);
        return found;
      }
    }
    return std::nullopt;
  }

 private:
  struct Candidate {
    std::u16string name;
    bool storage = false;
  };
  std::unordered_map<std::u16string, std::vector<Candidate>, U16Hash> byFolded_;
};

// The listing of a folder that is not read.
const volumes::WalkAhead::Listing kNothingListed;

struct Level {
  const volumes::WalkAhead::Listing* listing = nullptr;
  bool walked = true;    // entered in the walk (left there too when the level ends)
  bool complete = true;  // the listing was read to its end
  size_t next = 0;
  ScanMode mode = ScanMode::Add;
  std::uint64_t total = 0;
  HRESULT status = S_OK;
  NameSet seen;                       // update: catalogued names the medium still has
  std::unique_ptr<CaseTwins> twins;   // update: loaded on the first name without a match
  // This folder's own record in its parent (every level but the top).
  ItemRecord record;
  bool timeChanged = false;
  std::uint64_t storedSize = 0;
};

ItemRecord EntryRecord(const volumes::DirEntry& e, const CountedString& note, LONG kind) {
  ItemRecord r;
  r.name = e.name;
  r.note = note;
  r.SetSize(kind == ItemFile ? e.size : 0);
  r.timeA = e.lastWriteTime;
  r.timeB = e.creationTime;
  r.kind = kind;
  return r;
}

class TreeScan {
 public:
  TreeScan(IOStorageInternal* doc, const CountedString& note, volumes::Folder top, unsigned readAhead)
      : doc_(doc), note_(note), walk_(std::move(top), readAhead) {}

  HRESULT Run(ScanMode mode, std::uint64_t* total) {
    auto first = std::make_unique<Level>();
    first->mode = mode;
    if (mode == ScanMode::Update && FAILED(mapFailure_ = CheckLongNameMap(doc_))) {
      // The disk's own names are not known: it stays as catalogued.
      first->listing = &kNothingListed;
      first->complete = false;
    } else {
      first->listing = &walk_.Top();
      first->complete = first->listing->complete;
    }
    stack_.push_back(std::move(first));
    HRESULT result = S_OK;
    while (!stack_.empty()) {
      Level& level = *stack_.back();
      const std::vector<volumes::DirEntry>& entries = level.listing->entries;
      if (FAILED(level.status) || level.next == entries.size()) {
        result = Leave();
        continue;
      }
      const std::size_t index = level.next++;
      const volumes::DirEntry& e = entries[index];
      if (e.directory) {
        Folder(level, e, index);
      } else if (e.size != 0) {  // empty files are neither catalogued nor seen
        File(level, e);
      }
    }
    if (total) *total = topTotal_;
    // A folder whose long-name map could not be read was left as it was catalogued: the rest
    // is done, and the caller learns why that folder was not.
    return FAILED(result) ? result : mapFailure_;
  }

 private:
  // The item of the current catalog folder that holds the medium entry: its record read into
  // `stored` (whose name becomes the catalogued one). STG_E_FILENOTFOUND when it has none.
  // An item whose name differs from the medium's only in letter case takes the medium's
  // name, with its note and record, so that the catalog shows the names the medium has.
  HRESULT Match(Level& level, const volumes::DirEntry& e, LONG kind, ItemRecord& stored) {
    stored = ItemRecord{};
    stored.name = e.name;
    stored.kind = kind;
    HRESULT hr = doc_->GetItemInfo(nullptr, &stored);
    // The document finds a name that differs only in letter case too: here only the exact
    // name is this entry's own, and the case twins below decide the rest.
    if (SUCCEEDED(hr) && stored.name != e.name) hr = STG_E_FILENOTFOUND;
    if (hr != STG_E_FILENOTFOUND) return hr;
    if (!level.twins) {
      level.twins = std::make_unique<CaseTwins>();
      if (FAILED(level.twins->Load(doc_, level.listing->entries))) return STG_E_FILENOTFOUND;
    }
    std::optional<std::u16string> renamed = level.twins->Claim(e.name, kind == ItemFolder);
    if (!renamed) return STG_E_FILENOTFOUND;
    stored = ItemRecord{};
    stored.name = std::move(*renamed);
    stored.kind = kind;
    hr = doc_->GetItemInfo(nullptr, &stored);
    if (FAILED(hr)) return hr;
    // A rename that fails leaves the item under its catalogued name, as it was.
    if (SUCCEEDED(doc_->RenameItem(nullptr, Bstr(stored.name).Get(), Bstr(e.name).Get()))) stored.name = e.name;
    return S_OK;
  }

  HRESULT AddHere(ItemRecord& rec) {
    Bstr name(rec.name);
    return doc_->AddItem(nullptr, name.Get(), &rec);
  }

  // Enters the medium folder of entry `index` of the level on top, whose catalog folder has
  // become current; without an index, a folder taken as one that cannot be listed.
  void Enter(std::optional<std::size_t> index, ScanMode mode, ItemRecord record, bool timeChanged,
             std::uint64_t storedSize) {
    auto level = std::make_unique<Level>();
    level->walked = index.has_value();
    level->listing = index ? &walk_.Enter(*index) : &kNothingListed;
    level->mode = mode;
    level->record = std::move(record);
    level->timeChanged = timeChanged;
    level->storedSize = storedSize;
    if (level->listing->open) {
      level->complete = level->listing->complete;
    } else {
      // A folder that cannot be listed: nothing below it is known, so nothing below it
      // changes, and its catalogued size stays.
      level->complete = false;
      level->total = storedSize;
    }
    stack_.push_back(std::move(level));
  }

  void Folder(Level& level, const volumes::DirEntry& e, std::size_t index) {
    ItemRecord rec = EntryRecord(e, note_, ItemFolder);
    if (level.mode == ScanMode::Add) {
      // The new folder's storage becomes current; a folder that cannot be added is skipped.
      if (SUCCEEDED(AddHere(rec))) {
        Enter(index, ScanMode::Add, std::move(rec), false, 0);
      } else {
        walk_.Skip(index);
      }
      return;
    }
    ItemRecord stored;
    HRESULT hr = Match(level, e, ItemFolder, stored);
    if (hr == STG_E_FILENOTFOUND) {
      // New on the medium: everything below it is new too.
      if (SUCCEEDED(AddHere(rec))) {
        level.seen.insert(e.name);
        Enter(index, ScanMode::Add, std::move(rec), false, 0);
      } else {
        walk_.Skip(index);
      }
      return;
    }
    if (FAILED(hr)) {
      // A record that cannot be read: the folder is left as it is, and is not removed.
      level.seen.insert(e.name);
      walk_.Skip(index);
      return;
    }
    level.seen.insert(stored.name);
    Bstr name(stored.name);
    if (FAILED(doc_->SetCurrentFolder(name.Get(), FOLDER_CHILD))) {  // no descent
      walk_.Skip(index);
      return;
    }
    const bool changed = CompareFileTime(&stored.timeA, &e.lastWriteTime) != 0;
    if (changed) stored.timeA = e.lastWriteTime;
    const std::uint64_t storedSize = stored.Size();
    if (HRESULT map = CheckLongNameMap(doc_); FAILED(map)) {
      // The folder's names cannot be told: like a folder that cannot be listed, it keeps
      // what is catalogued, and nothing below it changes.
      if (SUCCEEDED(mapFailure_)) mapFailure_ = map;
      walk_.Skip(index);
      Enter(std::nullopt, ScanMode::Update, std::move(stored), changed, storedSize);
      return;
    }
    Enter(index, ScanMode::Update, std::move(stored), changed, storedSize);
  }

  void File(Level& level, const volumes::DirEntry& e) {
    level.total += e.size;
    HRESULT hr;
    if (level.mode == ScanMode::Add) {
      ItemRecord rec = EntryRecord(e, note_, ItemFile);
      hr = AddHere(rec);
    } else {
      // The medium's record is made only for a file that is new or changed.
      ItemRecord stored;
      hr = Match(level, e, ItemFile, stored);
      if (hr == STG_E_FILENOTFOUND) {
        ItemRecord rec = EntryRecord(e, note_, ItemFile);
        hr = AddHere(rec);
        if (SUCCEEDED(hr)) level.seen.insert(e.name);
      } else if (FAILED(hr)) {
        level.seen.insert(e.name);  // left as it is, not removed
        return;
      } else {
        if (CompareFileTime(&stored.timeA, &e.lastWriteTime) != 0) {
          ItemRecord rec = EntryRecord(e, note_, ItemFile);
          rec.name = stored.name;
          rec.note = std::move(stored.note);
          hr = doc_->SetItemInfo(nullptr, &rec);
        }
        level.seen.insert(std::move(stored.name));
      }
    }
    if (FAILED(hr) && hr != STG_E_INVALIDNAME) level.status = hr;
  }

  // Ends the level on top: the clean-up of its folder, then back to the parent folder with
  // the folder's size. Answers the status of the level when it was the top one.
  HRESULT Leave() {
    std::unique_ptr<Level> level = std::move(stack_.back());
    stack_.pop_back();
    if (level->walked) walk_.Leave();
    if (level->mode == ScanMode::Update && level->complete && SUCCEEDED(level->status)) {
      HRESULT hr = RemoveVanished(level->seen);
      if (FAILED(hr)) level->status = hr;
    }
    if (stack_.empty()) {
      topTotal_ = level->total;
      return level->status;
    }
    Level& parent = *stack_.back();
    HRESULT hr = doc_->SetCurrentFolder(nullptr, FOLDER_PARENT);
    if (FAILED(hr)) {
      parent.status = hr;
    } else if (SUCCEEDED(level->status)) {
      const bool resized = level->record.Size() != level->total;
      if (resized || level->timeChanged) {
        level->record.SetSize(level->total);
        hr = doc_->SetItemInfo(nullptr, &level->record);
        if (FAILED(hr)) parent.status = hr;
      }
    } else {
      parent.status = level->status;  // a failure below ends the folders above
    }
    parent.total += level->total;
    return S_OK;
  }

  // Deletes every item of the current folder whose name the medium no longer has. The names
  // are collected before anything is deleted, so no element goes while its enumerator lives.
  HRESULT RemoveVanished(const NameSet& seen) {
    std::vector<CatalogItem> items;
    HRESULT hr = ListCurrentFolder(doc_, items);
    if (FAILED(hr)) return hr;
    for (const CatalogItem& item : items) {
      if (seen.count(item.shown)) continue;
      hr = doc_->DeleteFile(nullptr, Bstr(item.shown).Get());
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  IOStorageInternal* doc_;
  const CountedString& note_;
  volumes::WalkAhead walk_;
  std::vector<std::unique_ptr<Level>> stack_;
  std::uint64_t topTotal_ = 0;
  HRESULT mapFailure_ = S_OK;  // the first long-name map that could not be read
};

}  // namespace

HRESULT ScanTree(IOStorageInternal* doc, volumes::Folder top, ScanMode mode, const CountedString& note,
                 std::uint64_t* total, unsigned readAhead) {
  TreeScan scan(doc, note, std::move(top), readAhead);
  return scan.Run(mode, total);
}

}  // namespace brevix
