// The sibling trees of an open compound file: red-black trees of a storage's elements, searched,
// inserted into and removed from in place, and rebuilt balanced when found too deep.
#include "docfile.h"

#include <algorithm>

namespace cfb {
namespace {

constexpr int kDeepTree = 64;  // deeper than any red-black tree of 2^31 names

}  // namespace

std::uint32_t Docfile::Find(std::uint32_t storage, const NameKey& key) {
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
      return NOSTREAM;
    }
  }
  std::uint32_t cur = TreeRoot(storage);
  int depth = 0;
  while (cur != NOSTREAM) {
    if (++depth > kDeepTree) {
      Rebalance(storage);
      return Find(storage, key);
    }
    const std::uint8_t* e = Node(cur);
    int c = Cmp(key, e);
    if (c == 0) return cur;
    cur = Get32(e + (c < 0 ? 68 : 72));
  }
  return NOSTREAM;
}

void Docfile::Rebalance(std::uint32_t storage) {
  std::vector<std::uint32_t> ids = Children(storage);
  std::vector<std::pair<NameKey, std::uint32_t>> keyed;
  keyed.reserve(ids.size());
  for (std::uint32_t id : ids) keyed.emplace_back(KeyOf(Node(id)), id);
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

std::uint32_t Docfile::BuildBalanced(const std::vector<std::uint32_t>& ids, std::size_t lo,
                                     std::size_t hi, int level, int redLevel) {
  if (lo >= hi) return NOSTREAM;
  std::size_t mid = lo + (hi - lo) / 2;
  std::uint32_t id = ids[mid];
  SetLeft(id, BuildBalanced(ids, lo, mid, level + 1, redLevel));
  SetRight(id, BuildBalanced(ids, mid + 1, hi, level + 1, redLevel));
  SetRed(id, level == redLevel && level > 0);
  return id;
}

void Docfile::Relink(std::uint32_t storage, std::uint32_t parent, std::uint32_t oldChild,
                     std::uint32_t newChild) {
  if (parent == NOSTREAM)
    SetTreeRoot(storage, newChild);
  else if (Left(parent) == oldChild)
    SetLeft(parent, newChild);
  else
    SetRight(parent, newChild);
}

void Docfile::Insert(std::uint32_t storage, std::uint32_t id) {
  NameKey key = KeyOf(Entry(id));
  std::vector<std::uint32_t> path;
  int lastCmp = 0;
  if (Descend(storage, key, path, lastCmp) != NOSTREAM) Corrupt();
  Link(storage, id, path, lastCmp);
}

std::uint32_t Docfile::Descend(std::uint32_t storage, const NameKey& key, std::vector<std::uint32_t>& path,
                               int& lastCmp) {
  for (;;) {
    path.clear();
    lastCmp = 0;
    bool deep = false;
    for (std::uint32_t cur = TreeRoot(storage); cur != NOSTREAM;) {
      if (path.size() >= static_cast<std::size_t>(kDeepTree)) {
        deep = true;
        break;
      }
      path.push_back(cur);
      lastCmp = Cmp(key, Node(cur));
      if (lastCmp == 0) return cur;
      cur = lastCmp < 0 ? Left(cur) : Right(cur);
    }
    if (!deep) return NOSTREAM;
    Rebalance(storage);
  }
}

void Docfile::Link(std::uint32_t storage, std::uint32_t id, const std::vector<std::uint32_t>& path, int lastCmp) {
  std::uint8_t* e = EntryW(id);
  Put32(e + 68, NOSTREAM);
  Put32(e + 72, NOSTREAM);
  e[67] = 0;  // red
  if (path.empty())
    SetTreeRoot(storage, id);
  else if (lastCmp < 0)
    SetLeft(path.back(), id);
  else
    SetRight(path.back(), id);

  std::uint32_t x = id;
  std::size_t i = path.size();  // path[i-1] is x's parent
  while (i >= 2 && Red(path[i - 1])) {
    std::uint32_t p = path[i - 1];
    std::uint32_t g = path[i - 2];
    std::uint32_t gp = i >= 3 ? path[i - 3] : NOSTREAM;
    bool leftSide = Left(g) == p;
    std::uint32_t u = leftSide ? Right(g) : Left(g);
    if (Red(u)) {
      SetRed(p, false);
      SetRed(u, false);
      SetRed(g, true);
      x = g;
      i -= 2;
      continue;
    }
    // inner: the side of p that faces the middle of g's subtree; outer: the other side.
    auto inner = [&](std::uint32_t n) { return leftSide ? Right(n) : Left(n); };
    auto outer = [&](std::uint32_t n) { return leftSide ? Left(n) : Right(n); };
    auto setInner = [&](std::uint32_t n, std::uint32_t v) { leftSide ? SetRight(n, v) : SetLeft(n, v); };
    auto setOuter = [&](std::uint32_t n, std::uint32_t v) { leftSide ? SetLeft(n, v) : SetRight(n, v); };
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
  std::uint32_t root = TreeRoot(storage);
  if (Red(root)) SetRed(root, false);
}

void Docfile::Remove(std::uint32_t storage, std::uint32_t id) {
  NameKey key = KeyOf(Node(id));
  std::vector<std::uint32_t> path;
  std::uint32_t cur = TreeRoot(storage);
  while (cur != id) {
    if (cur == NOSTREAM) Corrupt();
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
  std::uint32_t pz = path.empty() ? NOSTREAM : path.back();
  std::uint32_t x;
  bool xLeft;
  bool removedRed;
  if (Left(id) == NOSTREAM || Right(id) == NOSTREAM) {
    x = Left(id) != NOSTREAM ? Left(id) : Right(id);
    xLeft = pz != NOSTREAM && Left(pz) == id;
    Relink(storage, pz, id, x);
    removedRed = Red(id);
  } else {
    std::vector<std::uint32_t> q;
    std::uint32_t y = Right(id);
    while (Left(y) != NOSTREAM) {
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
      std::uint32_t yp = q.back();
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
      std::uint32_t p = path.back();
      std::uint32_t gp = path.size() >= 2 ? path[path.size() - 2] : NOSTREAM;
      auto near = [&](std::uint32_t n) { return xLeft ? Left(n) : Right(n); };
      auto far = [&](std::uint32_t n) { return xLeft ? Right(n) : Left(n); };
      auto setNear = [&](std::uint32_t n, std::uint32_t v) { xLeft ? SetLeft(n, v) : SetRight(n, v); };
      auto setFar = [&](std::uint32_t n, std::uint32_t v) { xLeft ? SetRight(n, v) : SetLeft(n, v); };
      std::uint32_t w = far(p);
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
      if (w == NOSTREAM || (!Red(near(w)) && !Red(far(w)))) {
        if (w != NOSTREAM) SetRed(w, true);
        x = p;
        path.pop_back();
        xLeft = !path.empty() && Left(path.back()) == x;
        continue;
      }
      if (!Red(far(w))) {
        std::uint32_t wn = near(w);
        SetRed(wn, false);
        SetRed(w, true);
        setNear(w, far(wn));
        setFar(wn, w);
        setFar(p, wn);
        w = wn;
      }
      SetRed(w, Red(p));
      SetRed(p, false);
      if (far(w) != NOSTREAM) SetRed(far(w), false);
      setFar(p, near(w));
      setNear(w, p);
      Relink(storage, gp, p, w);
      x = NOSTREAM;
      break;
    }
    if (x != NOSTREAM && Red(x)) SetRed(x, false);
  }
  std::uint32_t root = TreeRoot(storage);
  if (Red(root)) SetRed(root, false);
}

}  // namespace cfb
