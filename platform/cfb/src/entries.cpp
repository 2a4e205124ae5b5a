// The directory entries of an open compound file: reading and writing them, their names and
// metadata, allocation, walks and listings of a storage, and making, emptying, renaming and
// destroying elements.
#include "docfile.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace cfb {
namespace {

std::uint64_t NowFileTime() {
  using namespace std::chrono;
  auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
  return static_cast<std::uint64_t>(since1970) + 116444736000000000ull;
}

}  // namespace

const std::uint8_t* Docfile::EntryOn(EntryId id) {
  Sector sec = ChainAt(dirChain_, Raw(id) >> entryShift_);
  return cache_.Get(sec) + (Raw(id) & (entriesPerSector_ - 1)) * kEntrySize;
}

std::uint8_t* Docfile::EntryW(EntryId id) {
  Sector sec = ChainAt(dirChain_, Raw(id) >> entryShift_);
  return cache_.GetDirty(sec) + (Raw(id) & (entriesPerSector_ - 1)) * kEntrySize;
}

// The elements of a storage are most often made one after another, the first ones nearest
// the root of its sibling tree: the entries around the root are asked for at once, before
// their links are known.
//
// PrefetchTree asks for the top of a sibling tree before the walk in order reads it. The
// entries of one level of the tree do not wait for each other, so the tree is loaded level by
// level, up to kHintNodes entries, and their reads overlap.
void Docfile::PrefetchAround(EntryId root) const {
  constexpr std::uint32_t kBefore = 4, kAfter = 12;
  if (root == kNoEntry) return;
  const std::uint64_t r = Raw(root);
  for (std::uint64_t k = r > kBefore ? r - kBefore : 0; k < r + kAfter && k < Raw(kNoEntry); ++k)
    Prefetch(EntryId{static_cast<std::uint32_t>(k)});
}

void Docfile::PrefetchTree(EntryId root) const {
  constexpr std::size_t kHintNodes = 64;
  if (root == kNoEntry) return;
  PrefetchAround(root);
  EntryId queue[kHintNodes];
  std::size_t n = 0;
  queue[n++] = root;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* e = PeekEntry(queue[i]);
    if (!e) continue;
    __builtin_prefetch(e);  // the name
    const EntryId left = LeftOf(e), right = RightOf(e);
    if (left != kNoEntry && n < kHintNodes) queue[n++] = left;
    if (right != kNoEntry && n < kHintNodes) queue[n++] = right;
  }
}

// A stream written at once mostly lies in a run of units: the first units' data, and their
// links in the mini FAT, up to kHintBytes, are asked for as if they followed one another.
void Docfile::PrefetchData(EntryId id) const {
  constexpr std::uint64_t kHintBytes = 4096;
  const std::uint8_t* e = PeekEntry(id);
  if (!e || e[kEType] != kTypeStream) return;
  const std::uint32_t start = Get32(e + kEStart);
  const std::uint64_t size = std::min<std::uint64_t>(version_ == 3 ? Get32(e + kESize) : Get64(e + kESize), kHintBytes);
  if (size == 0) return;
  if (size >= kMiniCutoff) {
    if (start >= sectorCount_) return;
    if (const std::uint8_t* at = cache_.Peek(Sector{start}))
      for (std::uint64_t off = 0; off < std::min<std::uint64_t>(size, sectorSize_); off += 64) __builtin_prefetch(at + off);
    return;
  }
  const std::uint32_t perSector = sectorSize_ / kMiniSize;
  const std::uint64_t units = (size + kMiniSize - 1) / kMiniSize;
  for (std::uint64_t u = start; u < start + units && u < miniCount_; ++u) {
    if (u / perSector >= miniChain_.secs.size()) break;
    if (const std::uint8_t* m = cache_.Peek(miniChain_.secs[u / perSector])) __builtin_prefetch(m + (u % perSector) * kMiniSize);
    // Their links in the mini FAT, 16 to a line.
    if (units > 1 && (u == start || u % 16 == 0) && (u >> fatShift_) < miniFatChain_.secs.size()) {
      if (const std::uint8_t* f = cache_.Peek(miniFatChain_.secs[u >> fatShift_]))
        __builtin_prefetch(f + 4 * (u & (perSector_ - 1)));
    }
  }
}

void Docfile::CopyName(const std::uint8_t* e, std::size_t n, char16_t* out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char16_t>(Get16(e + 2 * i));
}

std::size_t Docfile::NameUnits(const std::uint8_t* e) {
  std::uint16_t len = Get16(e + kENameLength);
  if (len < 2 || len > 64 || len % 2) Corrupt();
  return len / 2 - 1;
}

NameKey Docfile::KeyOf(const std::uint8_t* e) {
  std::size_t n = NameUnits(e);
  char16_t units[kMaxNameUnits + 1];
  CopyName(e, n, units);
  return NameKey::From(units, n);
}

int Docfile::Cmp(const NameKey& k, const std::uint8_t* e) { return CompareKey(k, e, NameUnits(e)); }

std::uint8_t Docfile::TypeOf(EntryId id) { return Entry(id)[kEType]; }

std::uint64_t Docfile::SizeOf(EntryId id) {
  const std::uint8_t* e = Entry(id);
  return version_ == 3 ? Get32(e + kESize) : Get64(e + kESize);
}

void Docfile::SetSize(EntryId id, std::uint64_t size) {
  std::uint8_t* e = EntryW(id);
  if (version_ == 3) {
    Put32(e + kESize, static_cast<std::uint32_t>(size));
    Put32(e + kESizeHigh, 0);
  } else {
    Put64(e + kESize, size);
  }
}

void Docfile::InfoFrom(const std::uint8_t* e, ElementMeta& info) const {
  info.type = e[kEType];
  info.size = info.type != kTypeStream ? 0 : version_ == 3 ? Get32(e + kESize) : Get64(e + kESize);
  std::memcpy(info.clsid, e + kEClsid, kEClsidBytes);
  info.stateBits = Get32(e + kEStateBits);
  info.ctime = Get64(e + kECreated);
  info.mtime = Get64(e + kEModified);
}

ElementInfo Docfile::Info(EntryId id, bool withName) {
  const std::uint8_t* e = Entry(id);
  ElementInfo info;
  if (withName) {
    std::size_t n = NameUnits(e);
    info.name.resize(n);
    CopyName(e, n, info.name.data());
  }
  InfoFrom(e, info);
  return info;
}

// The elements of one storage in the order of its sibling tree, each entry read once and
// handed to visit(id, entry) (entry pointers stay valid through the call). A walk of one
// storage marks what it visits in a bitmap kept for the file, and clears its marks when done;
// a walk of a subtree passes the set of everything seen so far.
template <class Visit>
void Docfile::Walk(EntryId storage, std::unordered_set<EntryId>* seen, Visit&& visit) {
  std::vector<WalkStep>& stack = walkStack_;  // kept for the file: no allocation per walk
  const std::size_t stackBase = stack.size();   // safe should walks nest
  const std::size_t from = walked_.size();
  auto mark = [&](EntryId id) {
    if (seen) return seen->insert(id).second;
    std::size_t word = Raw(id) >> 6;
    if (word >= marks_.size()) marks_.resize(word + 1 + marks_.size() / 2);
    std::uint64_t bit = std::uint64_t{1} << (Raw(id) & 63);
    if (marks_[word] & bit) return false;
    marks_[word] |= bit;
    walked_.push_back(id);
    return true;
  };
  auto unmark = [&] {
    for (std::size_t i = from; i < walked_.size(); ++i)
      marks_[Raw(walked_[i]) >> 6] &= ~(std::uint64_t{1} << (Raw(walked_[i]) & 63));
    walked_.resize(from);
    stack.resize(stackBase);
  };
  try {
    EntryId cur = TreeRoot(storage);
    if (!seen) PrefetchTree(cur);
    while (cur != kNoEntry || stack.size() > stackBase) {
      while (cur != kNoEntry) {
        const std::uint8_t* e = Node(cur);  // an id past the directory fails here, before it is marked
        if (cur == storage || !mark(cur)) Corrupt();  // a cycle, or an element in two places
        // What comes next is asked for early: the name, in the entry's other half, is read
        // when it is visited, and the children's links when the walk gets there.
        __builtin_prefetch(e);
        Prefetch(LeftOf(e));
        Prefetch(RightOf(e));
        if (e[kEType] == kTypeStorage) PrefetchAround(ChildOf(e));  // listed soon, most likely
        stack.push_back({cur, e});
        cur = LeftOf(e);
      }
      WalkStep step = stack.back();
      stack.pop_back();
      visit(step.id, step.e);
      cur = RightOf(step.e);
    }
  } catch (...) {
    unmark();
    throw;
  }
  unmark();
}

void Docfile::Traverse(EntryId storage, std::vector<EntryId>& out, std::unordered_set<EntryId>* seen) {
  Walk(storage, seen, [&](EntryId id, const std::uint8_t*) { out.push_back(id); });
}

std::vector<EntryId> Docfile::Children(EntryId storage) {
  std::vector<EntryId> ids;
  Traverse(storage, ids);
  return ids;
}

Listing Docfile::List(EntryId storage) {
  Listing out;
  out.items.reserve(32);  // most storages hold few elements: grown once or not at all
  out.names.reserve(32 * 20);
  Walk(storage, nullptr, [&](EntryId, const std::uint8_t* e) {
    const std::size_t n = NameUnits(e), at = out.names.size();
    out.items.emplace_back();
    Listing::Item& item = out.items.back();
    InfoFrom(e, item.meta);
    item.nameAt = static_cast<std::uint32_t>(at);
    item.nameLen = static_cast<std::uint32_t>(n);
    out.names.resize(at + n + 1);
    CopyName(e, n, out.names.data() + at);
    out.names[at + n] = u'\0';
  });
  return out;
}

void Docfile::VisitChildren(EntryId storage, EntryVisit visit, void* context) {
  Walk(storage, nullptr, [&](EntryId id, const std::uint8_t* e) { visit(context, id, e); });
}

EntryId Docfile::CreateOrFind(EntryId storage, const std::u16string& name, std::uint8_t type, bool* existed) {
  const NameKey key = NameKey::From(name.data(), name.size());
  int lastCmp = 0;
  const EntryId found = Descend(storage, key, insertPath_, lastCmp);
  *existed = found != kNoEntry;
  if (found != kNoEntry) return found;
  EntryId id = AllocEntry();
  InitEmptyEntry(EntryW(id));
  InitElement(id, name, type);
  Link(storage, id, insertPath_, lastCmp);
  return id;
}

// An empty element of that name and type; the colour and sibling links are kept.
void Docfile::InitElement(EntryId id, const std::u16string& name, std::uint8_t type) {
  std::uint8_t* e = EntryW(id);
  constexpr int kLinkBytes = kEChild - kEColour;  // colour, left, right
  std::uint8_t links[kLinkBytes];
  std::memcpy(links, e + kEColour, kLinkBytes);
  InitEmptyEntry(e);
  std::memcpy(e + kEColour, links, kLinkBytes);
  WriteName(e, name);
  e[kEType] = type;
  if (type == kTypeStream) {
    Put32(e + kEStart, ENDOFCHAIN);
  } else {
    std::uint64_t now = NowFileTime();
    Put64(e + kECreated, now);
    Put64(e + kEModified, now);
  }
}

EntryId Docfile::Create(EntryId storage, const std::u16string& name, std::uint8_t type) {
  EntryId id = AllocEntry();
  InitEmptyEntry(EntryW(id));
  InitElement(id, name, type);
  Insert(storage, id);
  return id;
}

void Docfile::CollectBelow(EntryId storage, std::unordered_set<EntryId>& seen, std::vector<EntryId>& out) {
  std::size_t from = out.size();
  Traverse(storage, out, &seen);
  for (std::size_t i = from; i < out.size(); ++i)
    if (TypeOf(out[i]) == kTypeStorage) Traverse(out[i], out, &seen);
}

void Docfile::FreeElements(const std::vector<EntryId>& ids) {
  for (EntryId id : ids) {
    if (TypeOf(id) == kTypeStream) DropData(id);
    FreeEntry(id);
  }
}

void Docfile::Destroy(EntryId storage, EntryId id, const std::vector<EntryId>& storagePath) {
  std::unordered_set<EntryId> seen(storagePath.begin(), storagePath.end());
  seen.insert(storage);
  seen.insert(id);
  std::vector<EntryId> all{id};
  if (TypeOf(id) == kTypeStorage) CollectBelow(id, seen, all);  // everything is read before anything changes
  Remove(storage, id);
  FreeElements(all);
}

void Docfile::Reinit(EntryId id, const std::u16string& name, std::uint8_t type) {
  if (TypeOf(id) == kTypeStorage) {
    std::vector<EntryId> below;
    std::unordered_set<EntryId> seen{id};
    CollectBelow(id, seen, below);
    FreeElements(below);
  } else {
    DropData(id);
  }
  InitElement(id, name, type);
}

void Docfile::Rename(EntryId storage, EntryId id, const std::u16string& name) {
  NameKey oldKey = KeyOf(Node(id));
  NameKey newKey = NameKey::From(name.data(), name.size());
  if (CompareKeys(oldKey, newKey) == 0) {
    WriteName(EntryW(id), name);
    return;
  }
  Remove(storage, id);
  WriteName(EntryW(id), name);
  Insert(storage, id);
}

void Docfile::SetMeta(EntryId id, const ElementMeta& from) {
  std::uint8_t* e = EntryW(id);
  std::memcpy(e + kEClsid, from.clsid, kEClsidBytes);
  Put32(e + kEStateBits, from.stateBits);
  Put64(e + kECreated, from.ctime);
  Put64(e + kEModified, from.mtime);
}

bool Docfile::OpenWithin(EntryId id) const {
  for (const auto& [oid, e] : open_) {
    if (oid == id) return true;
    for (EntryId p : e->path)
      if (p == id) return true;
  }
  return false;
}

}  // namespace cfb
