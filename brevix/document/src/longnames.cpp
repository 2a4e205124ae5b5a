// The catalog's rules for element names, and the long-name map of one open storage.
#include "longnames.h"

#include <algorithm>

#include "namedcalls.h"
#include "namefold.h"
#include "stgio.h"
#include "unicode.h"

namespace brevix {

// ---------------------------------------------------------------------------------------------
// Element names

bool IsReservedStreamName(std::u16string_view n) {
  return n == kHeaderStreamName || n == kItemStreamName || n == kLongNameStreamName;
}

bool FoldsToReservedName(std::u16string_view n) {
  return EqualsIgnoreCase(n, kHeaderStreamName) || EqualsIgnoreCase(n, kItemStreamName) ||
         EqualsIgnoreCase(n, kLongNameStreamName);
}

bool MayBeOwnElement(const std::u16string& name) {
  return name.size() <= kMaxElementName && !FoldsToReservedName(name) && cfb::IsWholeName(name);
}

bool FitsOwnElement(const std::u16string& name) { return MayBeOwnElement(name) && unicode::IsUtf16(name); }

std::optional<WORD> ParseLongNameElement(std::u16string_view n) {
  if (n.size() <= kLongNamePrefix.size() || n.substr(0, kLongNamePrefix.size()) != kLongNamePrefix) {
    return std::nullopt;
  }
  std::u16string_view digits = n.substr(kLongNamePrefix.size());
  if (digits.size() > 5 || digits[0] == u'0') return std::nullopt;
  DWORD v = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  if (v == 0 || v > 0xFFFF) return std::nullopt;
  return static_cast<WORD>(v);
}

std::u16string LongNameElement(WORD id) {
  std::u16string s(kLongNamePrefix);
  char buf[8];
  int len = 0;
  unsigned v = id;
  do {
    buf[len++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (len > 0) s.push_back(static_cast<char16_t>(buf[--len]));
  return s;
}

// ---------------------------------------------------------------------------------------------
// The long-name map

namespace {

const std::u16string kMapStream(kLongNameStreamName);
// Up to this many entries, a map that was only read answers NameOf by a scan.
constexpr std::size_t kScanLimit = 16;

// Whether an element of that name is in the storage; an element that cannot be probed for
// another reason counts as present, so that its name is never given out twice.
bool ElementPresent(IStorage* stg, WORD id) {
  HRESULT hr = ProbeElement(stg, LongNameElement(id), nullptr, nullptr);
  return hr != STG_E_FILENOTFOUND;
}

}  // namespace

HRESULT LongNameMap::Load(IStorage* stg, std::vector<BYTE>* scratch) {
  entries_.clear();
  byName_.clear();
  byFolded_.clear();
  byId_.clear();
  indexed_ = true;
  foldedIndexed_ = false;
  live_ = 0;
  lastId_ = 0;
  reuseFrom_ = 1;
  exists_ = false;
  dirty_ = false;

  ComPtr<IStream> s;
  HRESULT hr = OpenStreamIn(stg, kMapStream, kModeRead, s);
  if (hr == STG_E_FILENOTFOUND) return S_OK;
  if (FAILED(hr)) return hr;
  std::vector<BYTE> own;
  std::vector<BYTE>& bytes = scratch ? *scratch : own;
  hr = ReadWholeStream(s.Get(), bytes);
  if (FAILED(hr)) return hr;
  s = nullptr;
  LongNameMapImage image;
  hr = DecodeLongNameMap(bytes.data(), bytes.size(), image);
  if (FAILED(hr)) return hr;
  exists_ = true;
  lastId_ = image.lastId;
  entries_.reserve(image.entries.size());
  for (LongNameEntry& e : image.entries) entries_.push_back(Entry{std::move(e.name), e.id, true});
  live_ = entries_.size();
  indexed_ = false;
  return S_OK;
}

void LongNameMap::Indexed() {
  if (!indexed_) Rebuild();
}

void LongNameMap::Index(uint32_t i) {
  byName_[entries_[i].name].push_back(i);
  if (foldedIndexed_) byFolded_[Folded(entries_[i].name)].push_back(i);
  byId_[entries_[i].id].push_back(i);
}

void LongNameMap::FoldedIndexed() {
  Indexed();
  if (foldedIndexed_) return;
  foldedIndexed_ = true;
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].live) byFolded_[Folded(entries_[i].name)].push_back(i);
  }
}

void LongNameMap::Rebuild() {
  byName_.clear();
  byFolded_.clear();
  byId_.clear();
  indexed_ = true;
  foldedIndexed_ = false;
  live_ = 0;
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    if (!entries_[i].live) continue;
    Index(i);
    ++live_;
  }
}

void LongNameMap::Unindex(std::vector<uint32_t>& list, uint32_t index) {
  auto it = std::find(list.begin(), list.end(), index);
  if (it != list.end()) list.erase(it);
}

const std::u16string* LongNameMap::NameOf(WORD id) const {
  if (!indexed_) {
    // A map as read holds only live entries; a small one is scanned, a large one indexed once.
    if (entries_.size() > kScanLimit) {
      const_cast<LongNameMap*>(this)->Rebuild();
      return NameOf(id);
    }
    for (const Entry& e : entries_) {
      if (e.id == id) return &e.name;
    }
    return nullptr;
  }
  auto it = byId_.find(id);
  if (it == byId_.end() || it->second.empty()) return nullptr;
  return &entries_[it->second.front()].name;
}

std::optional<WORD> LongNameMap::IdOf(std::u16string_view name) const {
  const_cast<LongNameMap*>(this)->Indexed();
  auto it = byName_.find(std::u16string(name));
  if (it == byName_.end() || it->second.empty()) return std::nullopt;
  return entries_[it->second.front()].id;
}

size_t LongNameMap::CountIgnoringCase(std::u16string_view name, WORD* id) const {
  const_cast<LongNameMap*>(this)->FoldedIndexed();
  auto it = byFolded_.find(Folded(name));
  if (it == byFolded_.end() || it->second.empty()) return 0;
  *id = entries_[it->second.front()].id;
  return it->second.size();
}

HRESULT LongNameMap::NextId(IStorage* stg, WORD* id) {
  Indexed();
  auto free = [&](WORD c) { return NameOf(c) == nullptr && !ElementPresent(stg, c); };
  for (DWORD c = static_cast<DWORD>(lastId_) + 1; c <= kMaxLongNameId; ++c) {
    if (free(static_cast<WORD>(c))) {
      lastId_ = static_cast<WORD>(c);
      *id = lastId_;
      return S_OK;
    }
  }
  // The identifiers up to the limit have all been given out once: reuse one that nothing in
  // this storage carries any more, searching on from where the last search stopped.
  for (int pass = 0; pass < 2; ++pass) {
    for (DWORD c = reuseFrom_; c <= kMaxLongNameId; ++c) {
      if (free(static_cast<WORD>(c))) {
        reuseFrom_ = static_cast<WORD>(c + 1);
        *id = static_cast<WORD>(c);
        return S_OK;
      }
    }
    reuseFrom_ = 1;
  }
  return STG_E_MEDIUMFULL;
}

void LongNameMap::Add(std::u16string name, WORD id) {
  Indexed();
  entries_.push_back(Entry{std::move(name), id, true});
  Index(static_cast<uint32_t>(entries_.size() - 1));
  ++live_;
  if (id > lastId_ && id <= kMaxLongNameId) lastId_ = id;
  dirty_ = true;
}

bool LongNameMap::RemoveId(WORD id) {
  Indexed();
  auto it = byId_.find(id);
  if (it == byId_.end() || it->second.empty()) return false;
  uint32_t i = it->second.front();
  it->second.erase(it->second.begin());
  Unindex(byName_[entries_[i].name], i);
  if (foldedIndexed_) Unindex(byFolded_[Folded(entries_[i].name)], i);
  entries_[i].live = false;
  --live_;
  dirty_ = true;
  return true;
}

void LongNameMap::Rename(WORD id, std::u16string name) {
  Indexed();
  auto it = byId_.find(id);
  if (it == byId_.end() || it->second.empty()) return;
  uint32_t i = it->second.front();
  Unindex(byName_[entries_[i].name], i);
  if (foldedIndexed_) Unindex(byFolded_[Folded(entries_[i].name)], i);
  entries_[i].name = std::move(name);
  std::vector<uint32_t>& list = byName_[entries_[i].name];
  list.insert(std::upper_bound(list.begin(), list.end(), i), i);
  if (foldedIndexed_) {
    std::vector<uint32_t>& folded = byFolded_[Folded(entries_[i].name)];
    folded.insert(std::upper_bound(folded.begin(), folded.end(), i), i);
  }
  dirty_ = true;
}

void LongNameMap::ChangeId(WORD from, WORD to) {
  Indexed();
  auto it = byId_.find(from);
  if (it == byId_.end() || it->second.empty()) return;
  uint32_t i = it->second.front();
  it->second.erase(it->second.begin());
  entries_[i].id = to;
  std::vector<uint32_t>& list = byId_[to];
  list.insert(std::upper_bound(list.begin(), list.end(), i), i);
  if (to > lastId_ && to <= kMaxLongNameId) lastId_ = to;
  dirty_ = true;
}

HRESULT LongNameMap::Flush(IStorage* stg) {
  if (!dirty_) return S_OK;
  if (live_ == 0) {
    if (exists_) {
      HRESULT hr = stg->DestroyElement(kMapStream.c_str());
      if (FAILED(hr) && hr != STG_E_FILENOTFOUND) return hr;
      exists_ = false;
    }
    entries_.clear();
    Rebuild();
    dirty_ = false;
    return S_OK;
  }
  LongNameMapImage image;
  image.lastId = lastId_;
  image.entries.reserve(live_);
  for (const Entry& e : entries_) {
    if (e.live) image.entries.push_back(LongNameEntry{e.name, e.id});
  }
  HRESULT hr = WriteNewStream(stg, kMapStream, EncodeLongNameMap(image));
  if (FAILED(hr)) return hr;
  exists_ = true;
  // Entries removed since the load are gone from the stream now; drop them here too. The
  // indexes are built again when a lookup needs them.
  std::erase_if(entries_, [](const Entry& e) { return !e.live; });
  byName_.clear();
  byId_.clear();
  indexed_ = false;
  live_ = entries_.size();
  dirty_ = false;
  return S_OK;
}

}  // namespace brevix
