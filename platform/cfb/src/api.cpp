// The structured-storage interfaces over the engine: root, storage, stream and enumerator
// objects, and the three entry points.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cfb.h"
#include "docfile.h"
#include "guard.h"
#include "refcounted.h"
#include "unicode.h"

namespace cfb {
namespace {

struct Refused {  // a copy stopped before it changed anything of the element at hand
  HRESULT hr;
};
struct SourceFailure {
  HRESULT hr;
};

HRESULT CheckMode(DWORD mode, bool allowCreate) {
  DWORD allowed = 0x3u | 0x70u | (allowCreate ? STGM_CREATE : 0u);
  if (mode & ~allowed) return STG_E_INVALIDFLAG;
  if ((mode & 0x3u) == 0x3u) return STG_E_INVALIDFLAG;
  if ((mode & 0x70u) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
  return S_OK;
}

CLSID ClsidFromBytes(const std::uint8_t* b) {
  CLSID c;
  c.Data1 = Get32(b);
  c.Data2 = Get16(b + 4);
  c.Data3 = Get16(b + 6);
  std::memcpy(c.Data4, b + 8, 8);
  return c;
}

LPOLESTR DupName(std::u16string_view s) {
  auto* p = static_cast<OLECHAR*>(std::malloc((s.size() + 1) * sizeof(OLECHAR)));
  if (!p) return nullptr;
  std::memcpy(p, s.data(), s.size() * sizeof(OLECHAR));
  p[s.size()] = 0;
  return p;
}

HRESULT FillStat(STATSTG* st, const ElementMeta& info, const std::u16string* name, DWORD mode) {
  *st = STATSTG{};
  if (name) {
    st->pwcsName = DupName(*name);
    if (!st->pwcsName) return E_OUTOFMEMORY;
  }
  st->type = info.type == kTypeStream ? STGTY_STREAM : STGTY_STORAGE;
  st->cbSize.QuadPart = info.size;
  if (info.type != kTypeStream) {
    st->ctime = U64ToFileTime(info.ctime);
    st->mtime = U64ToFileTime(info.mtime);
    st->clsid = ClsidFromBytes(info.clsid);
    st->grfStateBits = info.stateBits;
  }
  st->grfMode = mode;
  return S_OK;
}

using wintypes::AnswerQuery;
using wintypes::RefCounted;

// A new object with its first reference, for the caller to hand out.
template <class T>
T* Referenced(T* object) {
  object->AddRef();
  return object;
}

class StorageImpl;

// What the storage and stream objects share: their file, their directory entry, their mode.
struct ElementState : OpenElement {
  std::shared_ptr<Docfile> doc;
  EntryId id = kNoEntry;
  DWORD mode = 0;
  bool reverted = false;

  void Invalidate() override { reverted = true; }
  HRESULT Live() const { return (reverted || doc->Closed()) ? STG_E_REVERTED : S_OK; }
  bool CanWrite() const { return (mode & 0x3u) != STGM_READ; }
  bool CanRead() const { return (mode & 0x3u) != STGM_WRITE; }
  void Leave() {
    if (!reverted && !doc->Closed()) doc->Unregister(id);
  }
};

class EnumImpl final : public wintypes::SnapshotEnumerator<EnumImpl, IEnumSTATSTG>, public IEnumSTATSTGLent {
 public:
  explicit EnumImpl(std::shared_ptr<const Listing> items) : items_(std::move(items)) {}

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    void* found = nullptr;
    if (riid == IID_IUnknown || riid == IID_IEnumSTATSTG) {
      found = static_cast<IEnumSTATSTG*>(this);
    } else if (riid == IID_IEnumSTATSTGLent) {
      found = static_cast<IEnumSTATSTGLent*>(this);
    }
    return AnswerQuery(found, static_cast<IEnumSTATSTG*>(this), ppv);
  }
  ULONG AddRef() override { return SnapshotEnumerator::AddRef(); }
  ULONG Release() override { return SnapshotEnumerator::Release(); }

  HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* fetched) override {
    return Give(celt, rgelt, nullptr, fetched, false);
  }
  HRESULT NextLent(ULONG celt, STATSTG* rgelt, ULONG* lengths, ULONG* fetched) override {
    return Give(celt, rgelt, lengths, fetched, true);
  }
  std::size_t ItemCount() const { return items_->items.size(); }

 private:
  HRESULT Give(ULONG celt, STATSTG* rgelt, ULONG* lengths, ULONG* fetched, bool lend) {
    if (fetched) *fetched = 0;
    if (!rgelt && celt) return E_POINTER;
    ULONG n = 0;
    while (n < celt && pos_ < items_->items.size()) {
      FillStat(&rgelt[n], items_->items[pos_].meta, nullptr, 0);
      if (lengths) lengths[n] = items_->items[pos_].nameLen;
      if (lend) {
        rgelt[n].pwcsName = const_cast<OLECHAR*>(items_->Name(pos_));
      } else {
        rgelt[n].pwcsName = DupName(items_->NameView(pos_));
        if (!rgelt[n].pwcsName) {
          for (ULONG k = 0; k < n; ++k) std::free(rgelt[k].pwcsName);
          return E_OUTOFMEMORY;
        }
      }
      ++n;
      ++pos_;
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  std::shared_ptr<const Listing> items_;
};

class StreamImpl final : public IStream, private RefCounted<StreamImpl>, public ElementState {
 public:
  StreamImpl(std::shared_ptr<Docfile> d, EntryId sid, DWORD m, std::vector<EntryId> p) {
    doc = std::move(d);
    id = sid;
    mode = m;
    path = std::move(p);
    cursor_.id = sid;
    doc->Register(id, this);
  }

  ~StreamImpl() { Leave(); }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    const bool known = riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream;
    return AnswerQuery(known ? static_cast<IStream*>(this) : nullptr, this, ppv);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv && cb) return E_POINTER;
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (!CanRead()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      std::size_t n = doc->Read(cursor_, pos_, pv, cb);
      pos_ += n;
      if (pcbRead) *pcbRead = static_cast<ULONG>(n);
      return n < cb ? S_FALSE : S_OK;
    });
  }
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv && cb) return E_POINTER;
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (!CanWrite()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      doc->Write(cursor_, pos_, pv, cb);
      pos_ += cb;
      if (pcbWritten) *pcbWritten = cb;
      return S_OK;
    });
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    return Guard(*doc, [&] {
      std::int64_t base;
      switch (origin) {
        case STREAM_SEEK_SET: base = 0; break;
        case STREAM_SEEK_CUR: base = static_cast<std::int64_t>(pos_); break;
        case STREAM_SEEK_END: base = static_cast<std::int64_t>(doc->SizeOf(id)); break;
        default: return STG_E_INVALIDFUNCTION;
      }
      if (move.QuadPart < 0 ? base < -move.QuadPart : move.QuadPart > INT64_MAX - base)
        return STG_E_INVALIDFUNCTION;
      pos_ = static_cast<std::uint64_t>(base + move.QuadPart);
      if (newPos) newPos->QuadPart = pos_;
      return S_OK;
    });
  }
  HRESULT SetSize(ULARGE_INTEGER size) override {
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (!CanWrite()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      doc->Resize(cursor_, size.QuadPart);
      return S_OK;
    });
  }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return STG_E_UNIMPLEMENTEDFUNCTION;
  }
  HRESULT Commit(DWORD) override { return Live(); }
  HRESULT Revert() override { return Live(); }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_UNIMPLEMENTEDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_UNIMPLEMENTEDFUNCTION; }
  HRESULT Stat(STATSTG* st, DWORD flag) override {
    if (!st) return E_POINTER;
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (flag & ~(STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
    return Guard(*doc, [&] {
      ElementInfo info = doc->Info(id, true);
      return FillStat(st, info, (flag & STATFLAG_NONAME) ? nullptr : &info.name, mode);
    });
  }
  HRESULT Clone(IStream**) override { return STG_E_UNIMPLEMENTEDFUNCTION; }

 private:
  friend class RefCounted<StreamImpl>;
  StreamCursor cursor_;
  std::uint64_t pos_ = 0;
};

class StorageImpl final : public IStorage, private RefCounted<StorageImpl>, public ElementState {
 public:
  StorageImpl(std::shared_ptr<Docfile> d, EntryId sid, DWORD m, std::vector<EntryId> p, std::u16string rootName = {})
      : rootName_(std::move(rootName)) {
    doc = std::move(d);
    id = sid;
    mode = m;
    path = std::move(p);
    doc->Register(id, this);
  }

  // The root's last reference closes the file; any other element leaves its file.
  ~StorageImpl() {
    if (id == Docfile::kRootId && !reverted) {
      doc->Close();
    } else {
      Leave();
    }
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    const bool known = riid == IID_IUnknown || riid == IID_IStorage;
    return AnswerQuery(known ? static_cast<IStorage*>(this) : nullptr, this, ppv);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT CreateStream(const OLECHAR* name, DWORD grfMode, DWORD r1, DWORD r2, IStream** pp) override {
    return CreateChild<StreamImpl>(name, grfMode, r1 || r2, kTypeStream, pp);
  }
  HRESULT OpenStream(const OLECHAR* name, void* r1, DWORD grfMode, DWORD r2, IStream** pp) override {
    return OpenChild<StreamImpl>(name, grfMode, r1 || r2, kTypeStream, pp);
  }
  HRESULT CreateStorage(const OLECHAR* name, DWORD grfMode, DWORD r1, DWORD r2, IStorage** pp) override {
    return CreateChild<StorageImpl>(name, grfMode, r1 || r2, kTypeStorage, pp);
  }
  HRESULT OpenStorage(const OLECHAR* name, IStorage* priority, DWORD grfMode, SNB exclude, DWORD reserved,
                      IStorage** pp) override {
    return OpenChild<StorageImpl>(name, grfMode, priority || exclude || reserved, kTypeStorage, pp);
  }
  HRESULT CopyTo(DWORD ciidExclude, const IID*, SNB snbExclude, IStorage* dest) override;
  HRESULT MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override {
    return STG_E_UNIMPLEMENTEDFUNCTION;
  }
  HRESULT Commit(DWORD) override {
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (id != Docfile::kRootId) return S_OK;
    return Guard(*doc, [&] {
      doc->Flush();
      return S_OK;
    });
  }
  HRESULT Revert() override { return Live(); }
  HRESULT EnumElements(DWORD r1, void* r2, DWORD r3, IEnumSTATSTG** pp) override {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (r1 || r2 || r3) return STG_E_INVALIDPARAMETER;
    return Guard(*doc, [&] {
      auto items = std::make_shared<const Listing>(doc->List(id));
      *pp = Referenced(new EnumImpl(std::move(items)));
      return S_OK;
    });
  }
  HRESULT DestroyElement(const OLECHAR* name) override {
    std::u16string n;
    if (HRESULT hr = Prepare(name, &n, STGM_SHARE_EXCLUSIVE, false); FAILED(hr)) return hr;
    if (!CanWrite()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      EntryId found = doc->Find(id, NameKey::From(n.data(), n.size()));
      if (found == kNoEntry) return STG_E_FILENOTFOUND;
      if (doc->OpenWithin(found)) return STG_E_ACCESSDENIED;
      doc->Destroy(id, found, path);
      return S_OK;
    });
  }
  HRESULT RenameElement(const OLECHAR* oldName, const OLECHAR* newName) override {
    std::u16string from, to;
    if (HRESULT hr = Prepare(oldName, &from, STGM_SHARE_EXCLUSIVE, false); FAILED(hr)) return hr;
    if (HRESULT hr = CheckName(newName, &to); FAILED(hr)) return hr;
    if (!CanWrite()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      EntryId found = doc->Find(id, NameKey::From(from.data(), from.size()));
      if (found == kNoEntry) return STG_E_FILENOTFOUND;
      EntryId clash = doc->Find(id, NameKey::From(to.data(), to.size()));
      if (clash != kNoEntry && clash != found) return STG_E_FILEALREADYEXISTS;
      if (doc->IsOpen(found)) return STG_E_ACCESSDENIED;
      doc->Rename(id, found, to);
      return S_OK;
    });
  }
  HRESULT SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override {
    return STG_E_UNIMPLEMENTEDFUNCTION;
  }
  HRESULT SetClass(REFCLSID) override { return STG_E_UNIMPLEMENTEDFUNCTION; }
  HRESULT SetStateBits(DWORD, DWORD) override { return STG_E_UNIMPLEMENTEDFUNCTION; }
  HRESULT Stat(STATSTG* st, DWORD flag) override {
    if (!st) return E_POINTER;
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (flag & ~(STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
    return Guard(*doc, [&] {
      bool isRoot = id == Docfile::kRootId;
      ElementInfo info = doc->Info(id, !isRoot);
      const std::u16string* name = (flag & STATFLAG_NONAME) ? nullptr : isRoot ? &rootName_ : &info.name;
      return FillStat(st, info, name, mode);
    });
  }

 private:
  friend class Copier;
  friend class RefCounted<StorageImpl>;
  HRESULT Prepare(const OLECHAR* name, std::u16string* n, DWORD grfMode, bool allowCreate) {
    if (HRESULT hr = Live(); FAILED(hr)) return hr;
    if (HRESULT hr = CheckName(name, n); FAILED(hr)) return hr;
    return CheckMode(grfMode, allowCreate);
  }
  std::vector<EntryId> Below(EntryId child) const {
    std::vector<EntryId> p = path;
    p.push_back(child);
    return p;
  }
  // A new element (or, with STGM_CREATE, one that replaces the element of that name).
  template <class Impl, class Iface>
  HRESULT CreateChild(const OLECHAR* name, DWORD grfMode, bool badReserved, std::uint8_t type, Iface** pp) {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    std::u16string n;
    if (HRESULT hr = Prepare(name, &n, grfMode, true); FAILED(hr)) return hr;
    if (badReserved) return STG_E_INVALIDPARAMETER;
    if (!CanWrite()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      EntryId sid;
      if (HRESULT hr = MakeElement(n, grfMode, type, &sid); FAILED(hr)) return hr;
      *pp = Referenced(new Impl(doc, sid, grfMode & ~STGM_CREATE, Below(sid)));
      return S_OK;
    });
  }
  template <class Impl, class Iface>
  HRESULT OpenChild(const OLECHAR* name, DWORD grfMode, bool badReserved, std::uint8_t type, Iface** pp) {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    std::u16string n;
    if (HRESULT hr = Prepare(name, &n, grfMode, false); FAILED(hr)) return hr;
    if (badReserved) return STG_E_INVALIDPARAMETER;
    if ((grfMode & 0x3u) != STGM_READ && !CanWrite()) return STG_E_ACCESSDENIED;
    return Guard(*doc, [&] {
      EntryId sid;
      if (HRESULT hr = FindElement(n, type, &sid); FAILED(hr)) return hr;
      *pp = Referenced(new Impl(doc, sid, grfMode, Below(sid)));
      return S_OK;
    });
  }
  HRESULT MakeElement(const std::u16string& n, DWORD grfMode, std::uint8_t type, EntryId* out) {
    bool existed = false;
    EntryId found = doc->CreateOrFind(id, n, type, &existed);
    if (!existed) {
      *out = found;
      return S_OK;
    }
    if (!(grfMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    if (doc->OpenWithin(found)) return STG_E_ACCESSDENIED;
    doc->Reinit(found, n, type);
    *out = found;
    return S_OK;
  }
  HRESULT FindElement(const std::u16string& n, std::uint8_t type, EntryId* out) {
    EntryId found = doc->Find(id, NameKey::From(n.data(), n.size()));
    if (found == kNoEntry || doc->TypeOf(found) != type) return STG_E_FILENOTFOUND;
    if (doc->IsOpen(found)) return STG_E_ACCESSDENIED;
    *out = found;
    return S_OK;
  }

  std::u16string rootName_;
};

// Copies a storage's elements into another storage; see IStorage::CopyTo.
class Copier {
 public:
  Copier(Docfile& src, Docfile& dst) : src_(src), dst_(dst) {}

  void CopyChildren(EntryId from, EntryId to, std::vector<EntryId>* added) {
    std::vector<EntryId> kids = Source([&] { return src_.Children(from); });
    for (EntryId k : kids) {
      if (!seen_.insert(k).second) throw SourceFailure{STG_E_DOCFILECORRUPT};
      ElementInfo info = Source([&] { return src_.Info(k, true); });
      NameKey key = NameKey::From(info.name.data(), info.name.size());
      EntryId existing = dst_.Find(to, key);
      std::uint8_t type = info.type == kTypeStream ? kTypeStream : kTypeStorage;
      EntryId did;
      if (existing == kNoEntry) {
        did = dst_.Create(to, info.name, type);
        if (added) added->push_back(did);
      } else if (type == kTypeStorage && dst_.TypeOf(existing) == kTypeStorage) {
        did = existing;
      } else {
        if (dst_.OpenWithin(existing)) throw Refused{STG_E_ACCESSDENIED};
        dst_.Reinit(existing, info.name, type);
        did = existing;
      }
      if (type == kTypeStream) {
        CopyData(k, did, info.size);
      } else {
        dst_.SetMeta(did, info);
        CopyChildren(k, did, nullptr);
      }
      src_.Trim();
      dst_.Trim();
    }
  }

 private:
  template <class F>
  auto Source(F&& f) -> decltype(f()) {
    try {
      return f();
    } catch (const Failure& e) {
      throw SourceFailure{e.hr};
    }
  }
  void CopyData(EntryId from, EntryId to, std::uint64_t size) {
    StreamCursor in, out;
    in.id = from;
    out.id = to;
    dst_.Resize(out, size);  // one allocation, in order: the copy is compact
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::min<std::uint64_t>(size, 1u << 16)));
    for (std::uint64_t pos = 0; pos < size;) {
      std::size_t n = Source([&] { return src_.Read(in, pos, buf.data(), buf.size()); });
      if (n == 0) throw SourceFailure{STG_E_DOCFILECORRUPT};
      dst_.Write(out, pos, buf.data(), n);
      pos += n;
    }
  }

  Docfile& src_;
  Docfile& dst_;
  std::unordered_set<EntryId> seen_;
};

HRESULT StorageImpl::CopyTo(DWORD ciidExclude, const IID*, SNB snbExclude, IStorage* dest) {
  if (HRESULT hr = Live(); FAILED(hr)) return hr;
  if (!dest) return E_POINTER;
  if (ciidExclude || snbExclude) return STG_E_UNIMPLEMENTEDFUNCTION;
  auto* to = dynamic_cast<StorageImpl*>(dest);
  if (!to) return STG_E_INVALIDPARAMETER;
  if (HRESULT hr = to->Live(); FAILED(hr)) return hr;
  if (!to->CanWrite()) return STG_E_ACCESSDENIED;
  if (to->doc == doc)
    for (EntryId p : to->path)
      if (p == id) return STG_E_ACCESSDENIED;  // into itself or below itself
  Docfile& dd = *to->doc;
  if (doc->Broken()) return doc->BrokenStatus();
  if (dd.Broken()) return dd.BrokenStatus();
  std::uint64_t before = dd.Mutations();
  std::vector<EntryId> added;
  auto undo = [&](HRESULT hr) {
    // Takes away what the copy added at the top of the target.
    try {
      for (auto it = added.rbegin(); it != added.rend(); ++it) dd.Destroy(to->id, *it, to->path);
    } catch (...) {
      dd.MarkBroken(hr);
    }
    added.clear();
    return hr;
  };
  HRESULT hr = S_OK;
  try {
    doc->Trim();
    dd.Trim();
    Copier(*doc, dd).CopyChildren(id, to->id, &added);
  } catch (const SourceFailure& e) {
    hr = undo(e.hr);
  } catch (const Refused& e) {
    hr = undo(e.hr);
  } catch (const Failure& e) {
    if (dd.Mutations() != before) dd.MarkBroken(e.hr);
    hr = e.hr;
  } catch (const std::bad_alloc&) {
    if (dd.Mutations() != before) dd.MarkBroken(E_OUTOFMEMORY);
    hr = E_OUTOFMEMORY;
  }
  // A page of either file that could not be read was copied or used as zeros: the copy
  // fails, the file that lost the page is broken, and the target keeps nothing of the copy.
  const bool lostSource = doc->ReadFaulted(), lostTarget = dd.ReadFaulted();
  if (lostSource || lostTarget) {
    if (lostSource) doc->MarkBroken(STG_E_READFAULT);
    if (lostTarget) dd.MarkBroken(STG_E_READFAULT);
    if (!dd.Broken()) undo(STG_E_READFAULT);
    return STG_E_READFAULT;
  }
  return hr;
}

// ---- Files -------------------------------------------------------------------------------------

std::string DirOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf)) return buf;
  return path;
}

bool SameFile(int fd, const std::string& path) {
  struct stat a {}, b {};
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens an existing file and takes its lock. writable: whether the descriptor could be
// opened for writing.
// The name a replacement links its new file under just before renaming it over the old one.
// Only the holder of the old file's lock creates or removes it.
void RemoveStaleReplacement(const std::string& real) { ::unlink(Docfile::ReplacementName(real).c_str()); }

// A file just made at its path, and locked, has no release to undo: a journal beside it was
// left by an earlier file of that name, deleted since, and must not be played over this one.
void RemoveStaleJournal(const std::string& path) { ::unlink((RealPath(path) + "-journal").c_str()); }

HRESULT OpenLocked(const std::string& path, bool wantWrite, int* fdOut, bool* writable) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    bool rw = true;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && !wantWrite && (errno == EACCES || errno == EROFS)) {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      rw = false;
    }
    if (fd < 0) return errno == EROFS ? STG_E_ACCESSDENIED : ErrnoStatus(errno);
    if (!LockWhole(fd, rw)) {
      ::close(fd);
      return STG_E_SHAREVIOLATION;
    }
    if (!SameFile(fd, path)) {  // replaced between the open and the lock
      ::close(fd);
      continue;
    }
    *fdOut = fd;
    *writable = rw;
    return S_OK;
  }
  return STG_E_SHAREVIOLATION;
}

IStorage* MakeRoot(std::shared_ptr<Docfile> doc, DWORD mode, const std::u16string& name) {
  return Referenced(new StorageImpl(std::move(doc), Docfile::kRootId, mode & ~STGM_CREATE, {Docfile::kRootId}, name));
}

HRESULT OpenExisting(int fd, bool fdWritable, const std::string& path, DWORD mode, const std::u16string& name,
                     IStorage** pp) {
  // Holding the lock proves no replacement of this file is under way: a "<file>.new" is what
  // a replacement killed between linking and renaming left behind.
  if (fdWritable) RemoveStaleReplacement(RealPath(path));
  std::string journal = RealPath(path) + "-journal";
  if (::access(journal.c_str(), F_OK) == 0) {
    if (!fdWritable) {
      ::close(fd);
      return STG_E_ACCESSDENIED;  // a release to undo, and no right to undo it
    }
    if (HRESULT hr = Journal::Recover(journal, fd); FAILED(hr)) {
      ::close(fd);
      return hr;
    }
  }
  std::shared_ptr<Docfile> doc;
  try {
    doc = Docfile::Open(fd, journal, (mode & 0x3u) != STGM_READ);
  } catch (const Failure& f) {
    ::close(fd);
    return f.hr;
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return E_OUTOFMEMORY;
  }
  try {
    *pp = MakeRoot(std::move(doc), mode, name);  // from here the file is the engine's to close
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// A new file with the bytes of an empty compound file, made in one step where the system
// allows it, so that no one ever sees it half-written. EEXIST when the name is taken.
int CreateEmpty(const std::string& path, HRESULT* hr) {
  std::vector<std::uint8_t> image = Docfile::EmptyFileImage();
  int fd = OpenAnonymousIn(DirOf(path));
  if (fd >= 0) {
    try {
      if (!LockWhole(fd, true)) Throw(STG_E_LOCKVIOLATION);
      WriteAt(fd, 0, image.data(), image.size());
    } catch (const Failure& f) {
      ::close(fd);
      *hr = f.hr;
      return -1;
    }
    std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      RemoveStaleJournal(path);
      return fd;
    }
    int err = errno;
    ::close(fd);
    if (err == EEXIST || err == ENOENT || err == EACCES) {
      *hr = err == EEXIST ? STG_E_FILEALREADYEXISTS : ErrnoStatus(err);
      return -1;
    }
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    *hr = errno == ENOENT ? STG_E_PATHNOTFOUND : ErrnoStatus(errno);
    return -1;
  }
  // No anonymous files here: make it under its name.
  fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) {
    *hr = errno == EEXIST ? STG_E_FILEALREADYEXISTS : ErrnoStatus(errno);
    return -1;
  }
  try {
    if (!LockWhole(fd, true)) Throw(STG_E_LOCKVIOLATION);
    WriteAt(fd, 0, image.data(), image.size());
  } catch (const Failure& f) {
    ::close(fd);
    ::unlink(path.c_str());
    *hr = f.hr;
    return -1;
  }
  RemoveStaleJournal(path);
  return fd;
}

// With STGM_CREATE, a file that does not exist yet is built beside as an anonymous file and
// linked in at the release, so that a process killed before then leaves no file at all
// rather than one that misses what the release would have written. Returns false where the
// system makes no anonymous files (the caller makes the file under its name then).
bool CreateBeside(const std::string& path, DWORD mode, const std::u16string& name, IStorage** pp, HRESULT* hr) {
  int dataFd = OpenAnonymousIn(DirOf(path));
  if (dataFd < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return false;
    *hr = errno == ENOENT ? STG_E_PATHNOTFOUND : ErrnoStatus(errno);
    return true;
  }
  if (!LockWhole(dataFd, true)) {
    ::close(dataFd);
    *hr = STG_E_LOCKVIOLATION;
    return true;
  }
  std::string dir = RealPath(DirOf(path));
  auto slash = path.find_last_of('/');
  std::string final = (dir == "/" ? "" : dir) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
  std::shared_ptr<Docfile> doc;
  try {
    doc = Docfile::NewReplacing(dataFd, -1, final, final + "-journal", "");
    *pp = MakeRoot(std::move(doc), mode, name);
    *hr = S_OK;
  } catch (const std::bad_alloc&) {
    if (!doc) ::close(dataFd);
    *hr = E_OUTOFMEMORY;
  }
  return true;
}

HRESULT CreateReplacing(const std::string& path, DWORD mode, const std::u16string& name, IStorage** pp) {
  int lockFd;
  bool rw;
  if (HRESULT hr = OpenLocked(path, true, &lockFd, &rw); FAILED(hr)) return hr;
  struct stat st {};
  ::fstat(lockFd, &st);
  std::string real = RealPath(path);
  RemoveStaleReplacement(real);
  // A release of the old file that was cut short is undone first: its journal must not
  // outlive the old file and meet the new one at this path.
  if (HRESULT hr = Journal::Recover(real + "-journal", lockFd); FAILED(hr)) {
    ::close(lockFd);
    return hr;
  }
  std::string tempName;
  int dataFd = OpenAnonymousIn(DirOf(real));
  if (dataFd < 0) {
    // No anonymous files here: build the new file under the replacement name instead.
    tempName = Docfile::ReplacementName(real);
    dataFd = ::open(tempName.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (dataFd < 0) {
      HRESULT hr = ErrnoStatus(errno);
      ::close(lockFd);
      return hr;
    }
  }
  ::fchmod(dataFd, st.st_mode & 07777);
  if (!LockWhole(dataFd, true)) {
    ::close(dataFd);
    ::close(lockFd);
    if (!tempName.empty()) ::unlink(tempName.c_str());
    return STG_E_LOCKVIOLATION;
  }
  std::shared_ptr<Docfile> doc;
  try {
    doc = Docfile::NewReplacing(dataFd, lockFd, real, real + "-journal", tempName);
  } catch (...) {
    ::close(dataFd);
    ::close(lockFd);
    if (!tempName.empty()) ::unlink(tempName.c_str());
    return E_OUTOFMEMORY;
  }
  try {
    *pp = MakeRoot(std::move(doc), mode, name);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT StorageElement(IStorage* stg, std::shared_ptr<Docfile>* doc, EntryId* id) {
  auto* impl = stg ? dynamic_cast<StorageImpl*>(stg) : nullptr;
  if (!impl) return E_NOINTERFACE;
  if (HRESULT hr = impl->Live(); FAILED(hr)) return hr;
  *doc = impl->doc;
  *id = impl->id;
  return S_OK;
}

}  // namespace cfb

using namespace cfb;

HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return E_POINTER;
  *ppstgOpen = nullptr;
  if (HRESULT hr = CheckMode(grfMode, true); FAILED(hr)) return hr;
  if ((grfMode & 0x3u) == STGM_READ) return STG_E_INVALIDFLAG;
  if (reserved) return STG_E_INVALIDPARAMETER;
  if (!pwcsName) {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/~DFXXXXXX.tmp";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    int fd = ::mkostemps(buf.data(), 4, O_CLOEXEC);
    if (fd < 0) return ErrnoStatus(errno);
    std::vector<std::uint8_t> image = Docfile::EmptyFileImage();
    try {
      if (!LockWhole(fd, true)) Throw(STG_E_LOCKVIOLATION);
      WriteAt(fd, 0, image.data(), image.size());
    } catch (const Failure& f) {
      ::close(fd);
      ::unlink(buf.data());
      return f.hr;
    }
    return OpenExisting(fd, true, buf.data(), grfMode, unicode::Utf8ToUtf16(buf.data(), unicode::Policy::kLossless),
                        ppstgOpen);
  }
  std::u16string name(pwcsName);
  std::string path = unicode::Utf16ToUtf8(pwcsName, unicode::Policy::kLossless);
  if (path.empty()) return STG_E_INVALIDNAME;
  for (int attempt = 0; attempt < 8; ++attempt) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      if (!(grfMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if (S_ISDIR(st.st_mode)) return STG_E_ACCESSDENIED;
      return CreateReplacing(path, grfMode, name, ppstgOpen);
    }
    if (errno != ENOENT) return ErrnoStatus(errno);
    HRESULT hr = S_OK;
    if ((grfMode & STGM_CREATE) && CreateBeside(path, grfMode, name, ppstgOpen, &hr)) return hr;
    int fd = CreateEmpty(path, &hr);
    if (fd >= 0) return OpenExisting(fd, true, path, grfMode, name, ppstgOpen);
    if (hr != STG_E_FILEALREADYEXISTS) return hr;
    // Someone made it meanwhile: start again with the file that is there now.
  }
  return STG_E_SHAREVIOLATION;
}

HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return E_POINTER;
  *ppstgOpen = nullptr;
  if (!pwcsName || !*pwcsName) return STG_E_INVALIDNAME;
  if (pstgPriority || snbExclude || reserved) return STG_E_INVALIDPARAMETER;
  if (HRESULT hr = CheckMode(grfMode, false); FAILED(hr)) return hr;
  std::string path = unicode::Utf16ToUtf8(pwcsName, unicode::Policy::kLossless);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return STG_E_ACCESSDENIED;
  int fd;
  bool rw;
  if (HRESULT hr = OpenLocked(path, (grfMode & 0x3u) != STGM_READ, &fd, &rw); FAILED(hr)) return hr;
  return OpenExisting(fd, rw, path, grfMode, pwcsName, ppstgOpen);
}

HRESULT StgIsStorageFile(const OLECHAR* pwcsName) {
  if (!pwcsName || !*pwcsName) return STG_E_INVALIDNAME;
  std::string path = unicode::Utf16ToUtf8(pwcsName, unicode::Policy::kLossless);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoStatus(errno);
  static constexpr std::uint8_t kSig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::uint8_t head[8];
  std::size_t got = 0;
  try {
    got = ReadAt(fd, 0, head, sizeof head);
  } catch (const Failure& f) {
    ::close(fd);
    return f.hr;
  }
  ::close(fd);
  return got == sizeof head && std::memcmp(head, kSig, sizeof head) == 0 ? S_OK : S_FALSE;
}
