// The sibling trees of an open compound file: red-black trees of a storage's elements, searched,
// inserted into and removed from in place, and rebuilt balanced when found too deep.
#include "docfile.h"

#include <algorithm>

namespace cfb {
namespace {

constexpr int kDeepTree = 64;  // deeper than any red-black tree of 2^31 names

}  // namespace

EntryId Docfile::Find(EntryId storage, const NameKey& key) {
  if (!index_.empty()) {
    auto it = index_.find(storage);
    if (it != index_.end()) {
      const auto& ids = it->second;
      std::size_t lo = 0, hi = ids.size();
      while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        int c = Cmp(key, Node(ids[mid]));
        if (c == 0) return ids[mid];
        if (c < 0) hi = mid; else lo = mid + 1;
      }
      return kNoEntry;
    }
  }
  EntryId cur = TreeRoot(storage);
  int depth = 0;
  while (cur != kNoEntry) {
    if (++depth > kDeepTree) {
      Rebalance(storage);
      return Find(storage, key);
    }
    const std::uint8_t* e = Node(cur);
    int c = Cmp(key, e);
    if (c == 0) return cur;
    cur = EntryId{Get32(e + (c < 0 ? kELeft : kERight))};
  }
  return kNoEntry;
}

void Docfile::Rebalance(EntryId storage) {
  std::vector<EntryId> ids = Children(storage);
  std::vector<std::pair<NameKey, EntryId>> keyed;
  keyed.reserve(ids.size());
  for (EntryId id : ids) keyed.emplace_back(KeyOf(Node(id)), id);
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return CompareKeys(a.first, b.first) < 0; });
  for (std::size_t i = 1; i < keyed.size(); ++i)
    if (CompareKeys(keyed[i - 1].first, keyed[i].first) == 0) Corrupt();  // one name twice
  for (std::size_t i = 0; i < keyed.size(); ++i) ids[i] = keyed[i].second;
  if (!writable_) {
    index_[storage] = std::move(ids);
    return;
  }
  int redLevel = 0;
  while ((std::size_t{2} << redLevel) <= ids.size()) ++redLevel;  // floor(log2(n))
  SetTreeRoot(storage, BuildBalanced(ids, 0, ids.size(), 0, redLevel));
}

EntryId Docfile::BuildBalanced(const std::vector<EntryId>& ids, std::size_t lo, std::size_t hi, int level,
                               int redLevel) {
  if (lo >= hi) return kNoEntry;
  std::size_t mid = lo + (hi - lo) / 2;
  EntryId id = ids[mid];
  SetLeft(id, BuildBalanced(ids, lo, mid, level + 1, redLevel));
  SetRight(id, BuildBalanced(ids, mid + 1, hi, level + 1, redLevel));
  SetRed(id, level == redLevel && level > 0);
  return id;
}

void Docfile::Relink(EntryId storage, EntryId parent, EntryId oldChild, EntryId newChild) {
  if (parent == kNoEntry)
    SetTreeRoot(storage, newChild);
  else if (Left(parent) == oldChild)
    SetLeft(parent, newChild);
  else
    SetRight(parent, newChild);
}

void Docfile::Insert(EntryId storage, EntryId id) {
  NameKey key = KeyOf(Entry(id));
  std::vector<EntryId> path;
  int lastCmp = 0;
  if (Descend(storage, key, path, lastCmp) != kNoEntry) Corrupt();
  Link(storage, id, path, lastCmp);
}

EntryId Docfile::Descend(EntryId storage, const NameKey& key, std::vector<EntryId>& path, int& lastCmp) {
  for (;;) {
    path.clear();
    lastCmp = 0;
    bool deep = false;
    for (EntryId cur = TreeRoot(storage); cur != kNoEntry;) {
      if (path.size() >= static_cast<std::size_t>(kDeepTree)) {
        deep = true;
        break;
      }
      path.push_back(cur);
      lastCmp = Cmp(key, Node(cur));
      if (lastCmp == 0) return cur;
      cur = lastCmp < 0 ? Left(cur) : Right(cur);
    }
    if (!deep) return kNoEntry;
    Rebalance(storage);
  }
}

void Docfile::Link(EntryId storage, EntryId id, const std::vector<EntryId>& path, int lastCmp) {
  std::uint8_t* e = EntryW(id);
  Put32(e + kELeft, Raw(kNoEntry));
  Put32(e + kERight, Raw(kNoEntry));
  e[kEColour] = kRed;
  if (path.empty())
    SetTreeRoot(storage, id);
  else if (lastCmp < 0)
    SetLeft(path.back(), id);
  else
    SetRight(path.back(), id);

  EntryId x = id;
  std::size_t i = path.size();  // path[i-1] is x's parent
  while (i >= 2 && Red(path[i - 1])) {
    EntryId p = path[i - 1];
    EntryId g = path[i - 2];
    EntryId gp = i >= 3 ? path[i - 3] : kNoEntry;
    bool leftSide = Left(g) == p;
    EntryId u = leftSide ? Right(g) : Left(g);
    if (Red(u)) {
      SetRed(p, false);
      SetRed(u, false);
      SetRed(g, true);
      x = g;
      i -= 2;
      continue;
    }
    // inner: the side of p that faces the middle of g's subtree; outer: the other side.
    auto inner = [&](EntryId n) { return leftSide ? Right(n) : Left(n); };
    auto outer = [&](EntryId n) { return leftSide ? Left(n) : Right(n); };
    auto setInner = [&](EntryId n, EntryId v) { leftSide ? SetRight(n, v) : SetLeft(n, v); };
    auto setOuter = [&](EntryId n, EntryId v) { leftSide ? SetLeft(n, v) : SetRight(n, v); };
    if (inner(p) == x) {
      setInner(p, outer(x));
      setOuter(x, p);
      setOuter(g, x);
      std::swap(x, p);
    }
    setOuter(g, inner(p));
    setInner(p, g);
    Relink(storage, gp, g, p);
    SetRed(p, false);
    SetRed(g, true);
    break;
  }
  EntryId root = TreeRoot(storage);
  if (Red(root)) SetRed(root, false);
}

void Docfile::Remove(EntryId storage, EntryId id) {
  NameKey key = KeyOf(Node(id));
  std::vector<EntryId> path;
  EntryId cur = TreeRoot(storage);
  while (cur != id) {
    if (cur == kNoEntry) Corrupt();
    if (path.size() >= static_cast<std::size_t>(kDeepTree)) {
      Rebalance(storage);
      Remove(storage, id);
      return;
    }
    path.push_back(cur);
    int c = Cmp(key, Node(cur));
    if (c == 0) Corrupt();
    cur = c < 0 ? Left(cur) : Right(cur);
  }
  EntryId pz = path.empty() ? kNoEntry : path.back();
  EntryId x;
  bool xLeft;
  bool removedRed;
  if (Left(id) == kNoEntry || Right(id) == kNoEntry) {
    x = Left(id) != kNoEntry ? Left(id) : Right(id);
    xLeft = pz != kNoEntry && Left(pz) == id;
    Relink(storage, pz, id, x);
    removedRed = Red(id);
  } else {
    std::vector<EntryId> q;
    EntryId y = Right(id);
    while (Left(y) != kNoEntry) {
      if (path.size() + q.size() >= static_cast<std::size_t>(kDeepTree)) {
        Rebalance(storage);
        Remove(storage, id);
        return;
      }
      q.push_back(y);
      y = Left(y);
    }
    removedRed = Red(y);
    x = Right(y);
    bool zRed = Red(id);
    if (q.empty()) {
      SetLeft(y, Left(id));
      Relink(storage, pz, id, y);
      path.push_back(y);
      xLeft = false;
    } else {
      EntryId yp = q.back();
      SetLeft(yp, x);
      SetRight(y, Right(id));
      SetLeft(y, Left(id));
      Relink(storage, pz, id, y);
      path.push_back(y);
      path.insert(path.end(), q.begin(), q.end());
      xLeft = true;
    }
    SetRed(y, zRed);
  }
  if (!removedRed) {
    while (!path.empty() && !Red(x)) {
      EntryId p = path.back();
      EntryId gp = path.size() >= 2 ? path[path.size() - 2] : kNoEntry;
      auto near = [&](EntryId n) { return xLeft ? Left(n) : Right(n); };
      auto far = [&](EntryId n) { return xLeft ? Right(n) : Left(n); };
      auto setNear = [&](EntryId n, EntryId v) { xLeft ? SetLeft(n, v) : SetRight(n, v); };
      auto setFar = [&](EntryId n, EntryId v) { xLeft ? SetRight(n, v) : SetLeft(n, v); };
      EntryId w = far(p);
      if (Red(w)) {  // rotate the red sibling up
        SetRed(w, false);
        SetRed(p, true);
        setFar(p, near(w));
        setNear(w, p);
        Relink(storage, gp, p, w);
        path.back() = w;
        path.push_back(p);
        gp = w;
        w = far(p);
      }
      if (w == kNoEntry || (!Red(near(w)) && !Red(far(w)))) {
        if (w != kNoEntry) SetRed(w, true);
        x = p;
        path.pop_back();
        xLeft = !path.empty() && Left(path.back()) == x;
        continue;
      }
      if (!Red(far(w))) {
        EntryId wn = near(w);
        SetRed(wn, false);
        SetRed(w, true);
        setNear(w, far(wn));
        setFar(wn, w);
        setFar(p, wn);
        w = wn;
      }
      SetRed(w, Red(p));
      SetRed(p, false);
      if (far(w) != kNoEntry) SetRed(far(w), false);
      setFar(p, near(w));
      setNear(w, p);
      Relink(storage, gp, p, w);
      x = kNoEntry;
      break;
    }
    if (x != kNoEntry && Red(x)) SetRed(x, false);
  }
  EntryId root = TreeRoot(storage);
  if (Red(root)) SetRed(root, false);
}

}  // namespace cfb
