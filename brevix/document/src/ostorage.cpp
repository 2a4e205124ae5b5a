// OStorage, the catalog document: opening and closing a catalog, folders, records and names.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "itemnames.h"
#include "namefold.h"
#include "ostorage_impl.h"
#include "unicode.h"
#include "xcom/tokens.h"

namespace brevix {
namespace {

const std::u16string kHeaderStream(kHeaderStreamName);
const std::u16string kItemStream(kItemStreamName);

HRESULT OpenIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStream>& out) {
  return OpenStreamIn(parent, name, mode, out);
}
HRESULT OpenIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStorage>& out) {
  return OpenStorageIn(parent, name, mode, out);
}

std::u16string FromBstr(BSTR s) { return std::u16string(xcom::BstrView(s)); }

// The components of a catalog path; empty components (a doubled or trailing "/") are ignored.
std::vector<std::u16string> SplitPath(std::u16string_view path) {
  std::vector<std::u16string> parts;
  size_t i = 0;
  while (i <= path.size()) {
    size_t slash = path.find(u'/', i);
    if (slash == std::u16string_view::npos) slash = path.size();
    if (slash > i) parts.emplace_back(path.substr(i, slash - i));
    i = slash + 1;
  }
  return parts;
}

// Whether a storage holds no storage (a catalog root without any disk).
HRESULT HoldsNoStorage(IStorage* stg, bool* none) {
  std::vector<ChildElement> children;
  HRESULT hr = ListChildren(stg, children);
  if (FAILED(hr)) return hr;
  *none = true;
  for (const ChildElement& c : children) {
    if (c.type == STGTY_STORAGE) *none = false;
  }
  return S_OK;
}

}  // namespace

#define BREVIX_REFUSE_DURING_WALK() \
  do {                              \
    if (walking_) return STG_E_INUSE; \
  } while (0)

OStorage::~OStorage() { CloseInternal(false); }

// ---------------------------------------------------------------------------------------------
// Frames and names

Frame* OStorage::CurrentFrame() {
  switch (current_) {
    case Current::Root:
      return &root_;
    case Current::Top:
      return stack_.empty() ? &root_ : &stack_.back();
    case Current::None:
      break;
  }
  return nullptr;
}

HRESULT OStorage::Names(Frame& f, LongNameMap** map) {
  if (!f.names) {
    auto m = std::make_unique<LongNameMap>();
    HRESULT hr = m->Load(f.stg.Get(), &mapBuffer_);
    if (FAILED(hr)) return hr;
    f.names = std::move(m);
  }
  *map = f.names.get();
  return S_OK;
}

std::u16string OStorage::ShownName(Frame& f, std::u16string_view element) {
  return std::u16string(ShownNameView(f, element));
}

std::u16string_view OStorage::ShownNameView(Frame& f, std::u16string_view element) {
  std::optional<WORD> id = ParseLongNameElement(element);
  if (!id) return element;
  LongNameMap* map;
  if (FAILED(Names(f, &map))) return element;
  const std::u16string* name = map->NameOf(*id);
  return name ? std::u16string_view(*name) : element;
}

void OStorage::PushFrame(ComPtr<IStorage> stg, std::u16string element) {
  Frame f;
  f.stg = std::move(stg);
  f.element = std::move(element);
  stack_.push_back(std::move(f));
  current_ = Current::Top;
}

HRESULT OStorage::PopFrame() {
  HRESULT hr = S_OK;
  Frame& top = stack_.back();
  if (top.names) hr = top.names->Flush(top.stg.Get());
  stack_.pop_back();
  current_ = stack_.empty() ? Current::Root : Current::Top;
  return hr;
}

HRESULT OStorage::CloseAllStacked() {
  HRESULT first = S_OK;
  while (!stack_.empty()) {
    HRESULT hr = PopFrame();
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  current_ = Current::None;
  return first;
}

HRESULT OStorage::FlushAllNames() {
  HRESULT first = S_OK;
  auto flush = [&](Frame& f) {
    if (!f.names) return;
    HRESULT hr = f.names->Flush(f.stg.Get());
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  };
  flush(root_);
  for (Frame& f : stack_) flush(f);
  return first;
}

HRESULT OStorage::OpenRoot() {
  ComPtr<IStorage> root;
  HRESULT hr = StgOpenStorage(docName_.c_str(), nullptr, kModeOpenFile, nullptr, 0, root.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  root_ = Frame{};
  root_.stg = std::move(root);
  current_ = Current::Root;
  return S_OK;
}

HRESULT OStorage::CloseInternal(bool writeHeader) {
  if (!IsOpen()) {
    current_ = Current::None;
    return S_OK;
  }
  HRESULT hr = writeHeader ? WriteHeader() : S_OK;
  HRESULT closed = CloseAllStacked();
  if (root_.names) {
    HRESULT f = root_.names->Flush(root_.stg.Get());
    if (FAILED(f) && SUCCEEDED(closed)) closed = f;
  }
  // The file is written out here, so that a write-out that fails (a full disk) is answered;
  // the file then keeps the state before this session.
  HRESULT committed = root_.stg->Commit(0);
  if (FAILED(committed)) closed = committed;
  root_ = Frame{};
  current_ = Current::None;
  return FAILED(hr) ? hr : closed;
}

// ---------------------------------------------------------------------------------------------
// Header

HRESULT OStorage::ReadHeader(CatalogHeader& h) {
  ComPtr<IStream> s;
  HRESULT hr = OpenStreamIn(root_.stg.Get(), kHeaderStream, kModeRead, s);
  if (FAILED(hr)) return hr;
  std::vector<BYTE> bytes;
  hr = ReadWholeStream(s.Get(), bytes);
  if (FAILED(hr)) return hr;
  return DecodeHeader(bytes.data(), bytes.size(), h);
}

HRESULT OStorage::WriteHeader() {
  ComPtr<IStream> s;
  HRESULT hr = OpenStreamIn(root_.stg.Get(), kHeaderStream, kModeWrite, s);
  if (FAILED(hr)) return hr;
  CatalogHeader h{baseSerialNum_, fileVersion_, masterPassword_, userPassword_};
  // A shorter header (a password shortened or removed) must not leave the old bytes behind.
  return WriteWholeStream(s.Get(), EncodeHeader(h), true);
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

HRESULT OStorage::LoadDoc(BSTR fileName) {
  BREVIX_REFUSE_DURING_WALK();
  if (!fileName) {
    if (IsOpen()) return S_OK;
    return OpenRoot();
  }
  std::u16string name = FromBstr(fileName);
  if (name.empty()) return STG_E_INVALIDNAME;
  // A document opened before is closed first (without rewriting its header).
  HRESULT hr = CloseInternal(false);
  if (FAILED(hr)) return hr;

  hr = StgIsStorageFile(name.c_str());
  ComPtr<IStorage> root;
  if (hr != STG_E_FILENOTFOUND) {
    if (FAILED(hr)) return hr;
    // A file that is no compound file at all (a text, a picture, an empty file) is refused as
    // no catalog; opening it as a compound file would answer that the file already exists.
    if (hr == S_FALSE) return STG_E_INVALIDHEADER;
    hr = StgOpenStorage(name.c_str(), nullptr, kModeOpenFile, nullptr, 0, root.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    root_.stg = root;
    CatalogHeader h;
    hr = ReadHeader(h);
    if (hr == STG_E_FILENOTFOUND) {
      // A compound file without a header and without any disk is a new catalog whose header
      // never reached the file (the program that made it was stopped first): it gets its
      // header now. One that holds disks stays refused, as it is no catalog of ours.
      bool empty = false;
      root_ = Frame{};
      hr = HoldsNoStorage(root.Get(), &empty);
      if (SUCCEEDED(hr)) hr = empty ? StartNewCatalog(std::move(root), std::move(name)) : STG_E_FILENOTFOUND;
      return hr;
    }
    if (FAILED(hr)) {
      // Nothing stays open or locked after a failed open.
      root_ = Frame{};
      current_ = Current::None;
      return hr;
    }
    baseSerialNum_ = h.baseSerialNum;
    fileVersion_ = h.fileVersion;
    masterPassword_ = std::move(h.masterPassword);
    userPassword_ = std::move(h.userPassword);
    docName_ = std::move(name);
    current_ = Current::Root;
    return S_OK;
  }

  // A new catalog is built beside its path and appears there, with its header, only when
  // that is written out: a program stopped before then leaves no file at all.
  hr = StgCreateDocfile(name.c_str(), kModeCreateStorage, 0, root.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  return StartNewCatalog(std::move(root), std::move(name));
}

// Gives the open compound file `root` the default header, whatever the previous catalog held,
// and writes it out before the catalog is used.
HRESULT OStorage::StartNewCatalog(ComPtr<IStorage> root, std::u16string name) {
  CatalogHeader h;
  HRESULT hr = WriteNewStream(root.Get(), kHeaderStream, EncodeHeader(h));
  if (SUCCEEDED(hr)) hr = root->Commit(0);
  if (FAILED(hr)) {
    current_ = Current::None;
    return hr;
  }
  baseSerialNum_ = h.baseSerialNum;
  fileVersion_ = h.fileVersion;
  masterPassword_.reset();
  userPassword_.reset();
  root_ = Frame{};
  root_.stg = std::move(root);
  docName_ = std::move(name);
  current_ = Current::Root;
  return S_OK;
}

HRESULT OStorage::SaveDoc(BSTR fileName) {
  BREVIX_REFUSE_DURING_WALK();
  if (!fileName) return STG_E_INVALIDPARAMETER;
  ComPtr<IStorage> file;
  HRESULT hr = StgCreateDocfile(fileName, kModeCreateStorage, 0, file.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  file = nullptr;
  docName_ = FromBstr(fileName);
  return S_OK;
}

HRESULT OStorage::CloseDoc(LONG bWriteSerial) {
  BREVIX_REFUSE_DURING_WALK();
  return CloseInternal(bWriteSerial != 0);
}

HRESULT OStorage::SetDocName(BSTR bstrName) {
  BREVIX_REFUSE_DURING_WALK();
  if (!bstrName) return S_OK;
  HRESULT hr = LoadDoc(bstrName);
  if (SUCCEEDED(hr)) CloseInternal(false);
  return hr;
}

// ---------------------------------------------------------------------------------------------
// The current folder

HRESULT OStorage::PathWalk(const OLECHAR* path) {
  bool openedHere = false;
  if (!IsOpen()) {
    HRESULT hr = OpenRoot();
    if (FAILED(hr)) return hr;
    openedHere = true;
  }
  HRESULT hr = CloseAllStacked();
  current_ = Current::Root;
  if (SUCCEEDED(hr)) {
    for (const std::u16string& part : SplitPath(path ? std::u16string_view(path) : std::u16string_view())) {
      ComPtr<IStorage> child;
      std::u16string element;
      hr = OpenChild(*CurrentFrame(), part, kModeOpenFile, child, &element);
      if (FAILED(hr)) break;
      PushFrame(std::move(child), std::move(element));
    }
  }
  if (FAILED(hr)) {
    CloseAllStacked();
    if (openedHere) CloseInternal(false);
    return hr;
  }
  if (openedHere) return CloseInternal(false);
  return S_OK;
}

HRESULT OStorage::SetCurrentFolder(BSTR bstrPath, SHORT Location) {
  BREVIX_REFUSE_DURING_WALK();
  switch (Location) {
    case FOLDER_ROOT:
      if (IsOpen()) {
        HRESULT hr = CloseAllStacked();
        current_ = Current::Root;
        return hr;
      }
      break;
    case FOLDER_CHILD:
      if (Frame* cur = CurrentFrame()) {
        if (!bstrPath) return STG_E_INVALIDPARAMETER;
        ComPtr<IStorage> child;
        std::u16string element;
        HRESULT hr = OpenChild(*cur, FromBstr(bstrPath), kModeOpenFile, child, &element);
        if (FAILED(hr)) return hr;
        PushFrame(std::move(child), std::move(element));
        return S_OK;
      }
      break;
    case FOLDER_PARENT:
      if (CurrentFrame()) {
        // There is nothing above the root.
        if (stack_.empty()) return E_FAIL;
        return PopFrame();
      }
      break;
    case FOLDER_PATH:
      break;
    default:
      return STG_E_INVALIDPARAMETER;
  }
  return PathWalk(bstrPath);
}

HRESULT OStorage::EnterFolder(BSTR path, bool allowNullPath, bool& openedHere) {
  openedHere = false;
  if (CurrentFrame()) return S_OK;
  if (!path && !allowNullPath) return STG_E_INVALIDPARAMETER;
  // The folder-relative calls work on a closed document too: it is opened for the length of
  // the call, as the path walk would have opened it.
  if (!IsOpen()) {
    HRESULT hr = OpenRoot();
    if (FAILED(hr)) return hr;
    openedHere = true;
  }
  HRESULT hr = PathWalk(path);
  if (FAILED(hr)) {
    if (openedHere) CloseInternal(false);
    openedHere = false;
  }
  return hr;
}

HRESULT OStorage::LeaveCall(bool openedHere, HRESULT hr) {
  if (!openedHere) return hr;
  HRESULT closed = CloseInternal(false);
  return FAILED(hr) ? hr : closed;
}

HRESULT OStorage::InFolder(BSTR path, bool allowNullPath, const std::function<HRESULT(Frame&)>& op) {
  bool openedHere;
  HRESULT hr = EnterFolder(path, allowNullPath, openedHere);
  if (FAILED(hr)) return hr;
  return LeaveCall(openedHere, op(*CurrentFrame()));
}

HRESULT OStorage::get_mCurStorage(IStorage** pVal) {
  if (!pVal) return E_POINTER;
  Frame* cur = CurrentFrame();
  *pVal = cur ? cur->stg.Get() : nullptr;
  return S_OK;
}

HRESULT OStorage::EnumElements(SHORT Location, IEnumSTATSTG** pEnum) {
  BREVIX_REFUSE_DURING_WALK();
  if (!pEnum) return E_POINTER;
  *pEnum = nullptr;
  HRESULT hr = LoadDoc(nullptr);
  if (FAILED(hr)) return hr;
  Frame* f = nullptr;
  if (Location == 0) f = &root_;
  else if (Location == 1) f = CurrentFrame();
  if (!f) return E_FAIL;
  return f->stg->EnumElements(0, nullptr, 0, pEnum);
}

// ---------------------------------------------------------------------------------------------
// Children under the long-name rules

HRESULT OStorage::ResolveChild(Frame& f, const std::u16string& name, bool anyCase, const ElementOpener& open,
                               Found& out) {
  out = Found{};
  if (name.empty()) return STG_E_FILENOTFOUND;
  // A name that is not valid UTF-16 is placed through the map, but a catalog written before
  // may hold it under itself.
  if (MayBeOwnElement(name)) {
    std::u16string stored;
    HRESULT hr = open(name, &stored);
    if (SUCCEEDED(hr)) {
      if (stored == name) {
        out.element = name;
        return S_OK;
      }
      // The container found a sibling whose name differs only in letter case: ours, if it
      // exists, went through the map.
      out.twin = std::move(stored);
    } else if (hr != STG_E_FILENOTFOUND && hr != STG_E_INVALIDNAME) {
      return hr;
    }
  }
  LongNameMap* map;
  HRESULT hr = Names(f, &map);
  if (FAILED(hr)) return hr;
  std::optional<WORD> id = map->IdOf(name);
  bool byCase = false;
  if (!id) {
    WORD foldedId = 0;
    const size_t mapped = anyCase ? map->CountIgnoringCase(name, &foldedId) : 0;
    if (!anyCase || mapped + (out.twin.empty() ? 0 : 1) != 1) return STG_E_FILENOTFOUND;
    if (mapped == 0) {
      // The sibling the container found (and opened) is the one.
      out.element = out.twin;
      return S_OK;
    }
    id = foldedId;
    byCase = true;
  }
  std::u16string element = LongNameElement(*id);
  hr = open(element, nullptr);
  if (hr == STG_E_FILENOTFOUND && !byCase) out.staleId = *id;
  if (FAILED(hr)) return hr;
  out.element = std::move(element);
  out.viaMap = true;
  out.id = *id;
  return S_OK;
}

HRESULT OStorage::FindChild(Frame& f, const std::u16string& name, Found& out, bool anyCase) {
  DWORD type = 0;
  HRESULT hr = ResolveChild(
      f, name, anyCase,
      [&](const std::u16string& element, std::u16string* stored) {
        return ProbeElement(f.stg.Get(), element, stored, &type);
      },
      out);
  out.type = type;
  return hr;
}

template <class T>
HRESULT OStorage::OpenChild(Frame& f, const std::u16string& name, DWORD mode, ComPtr<T>& out,
                            std::u16string* element) {
  Found found;
  HRESULT hr = ResolveChild(
      f, name, true,
      [&](const std::u16string& el, std::u16string* stored) {
        HRESULT r = OpenIn(f.stg.Get(), el, mode, out);
        return (SUCCEEDED(r) && stored) ? StoredName(out.Get(), *stored) : r;
      },
      found);
  if (FAILED(hr)) {
    out = nullptr;
    return hr;
  }
  if (element) *element = std::move(found.element);
  return S_OK;
}

HRESULT OStorage::MapPlacement(Frame& f, const std::u16string& name, Placement& p) {
  LongNameMap* map;
  HRESULT hr = Names(f, &map);
  if (FAILED(hr)) return hr;
  WORD id;
  hr = map->NextId(f.stg.Get(), &id);
  if (FAILED(hr)) return hr;
  p.element = LongNameElement(id);
  p.viaMap = true;
  p.newEntry = true;
  p.id = id;
  (void)name;
  return S_OK;
}

// A literal name "FLD~~n" is stored under itself, so that the element name and the name the
// user sees agree; a long name that holds identifier n moves to a fresh one first.
HRESULT OStorage::ClaimLongNameId(Frame& f, WORD id, const Found* self) {
  LongNameMap* map;
  HRESULT hr = Names(f, &map);
  if (FAILED(hr)) return hr;
  if (!map->NameOf(id)) return S_OK;
  if (self && self->viaMap && self->id == id) return S_OK;
  WORD fresh;
  hr = map->NextId(f.stg.Get(), &fresh);
  if (FAILED(hr)) return hr;
  hr = f.stg->RenameElement(LongNameElement(id).c_str(), LongNameElement(fresh).c_str());
  if (FAILED(hr) && hr != STG_E_FILENOTFOUND) return hr;
  map->ChangeId(id, fresh);
  return S_OK;
}

HRESULT OStorage::PlaceNewChild(Frame& f, const std::u16string& name, Placement& p) {
  p = Placement{};
  if (name.empty()) return STG_E_INVALIDNAME;
  if (std::optional<WORD> id = ParseLongNameElement(name)) {
    HRESULT hr = ClaimLongNameId(f, *id, nullptr);
    if (FAILED(hr)) return hr;
    p.element = name;
    return S_OK;
  }
  Found found;
  HRESULT hr = FindChild(f, name, found);
  if (SUCCEEDED(hr)) {
    // The name is there already: the new element replaces it where it is.
    p.element = found.element;
    p.viaMap = found.viaMap;
    p.id = found.id;
    return S_OK;
  }
  if (hr != STG_E_FILENOTFOUND) return hr;
  if (found.staleId != 0) {
    p.element = LongNameElement(found.staleId);
    p.viaMap = true;
    p.id = found.staleId;
    return S_OK;
  }
  if (!FitsOwnElement(name) || !found.twin.empty()) return MapPlacement(f, name, p);
  p.element = name;
  return S_OK;
}

HRESULT OStorage::CreateChild(Frame& f, const std::u16string& name, Placement& p,
                              const std::function<HRESULT(const std::u16string& element, bool replace)>& create) {
  // A name the container can hold under itself, that the map does not hold, is made in one
  // step where no sibling has it in any letter case (the container refuses the element
  // then); otherwise it is placed by looking first.
  if (FitsOwnElement(name) && !ParseLongNameElement(name)) {
    LongNameMap* map;
    if (SUCCEEDED(Names(f, &map)) && !map->IdOf(name)) {
      p = Placement{};
      p.element = name;
      HRESULT hr = create(name, false);
      if (hr != STG_E_FILEALREADYEXISTS && hr != STG_E_INVALIDNAME) return hr;
    }
  }
  HRESULT hr = PlaceNewChild(f, name, p);
  if (FAILED(hr)) return hr;
  hr = create(p.element, true);
  if (hr == STG_E_INVALIDNAME && !p.viaMap) {
    // A character the container refuses: the name goes through the map after all.
    hr = MapPlacement(f, name, p);
    if (FAILED(hr)) return hr;
    hr = create(p.element, true);
  }
  if (FAILED(hr)) return hr;
  if (p.newEntry) f.names->Add(name, p.id);
  return S_OK;
}

HRESULT OStorage::DestroyChild(Frame& f, const std::u16string& name) {
  Found found;
  HRESULT hr = FindChild(f, name, found, true);
  if (hr == STG_E_FILENOTFOUND) {
    if (found.staleId != 0) f.names->RemoveId(found.staleId);
    return S_OK;  // a name that is not there counts as done
  }
  if (FAILED(hr)) return hr;
  hr = f.stg->DestroyElement(found.element.c_str());
  if (FAILED(hr) && hr != STG_E_FILENOTFOUND) return hr;
  if (found.viaMap) f.names->RemoveId(found.id);
  return S_OK;
}

HRESULT OStorage::RenameChild(Frame& f, const std::u16string& oldName, const std::u16string& newName) {
  if (oldName.empty() || newName.empty()) return STG_E_INVALIDPARAMETER;
  Found from;
  HRESULT hr = FindChild(f, oldName, from, true);
  if (FAILED(hr)) return hr;
  if (oldName == newName) return S_OK;
  Found to;
  hr = FindChild(f, newName, to);
  if (SUCCEEDED(hr)) return to.element == from.element ? S_OK : STG_E_FILEALREADYEXISTS;
  if (hr != STG_E_FILENOTFOUND) return hr;
  LongNameMap* map;
  hr = Names(f, &map);
  if (FAILED(hr)) return hr;
  if (to.staleId != 0) map->RemoveId(to.staleId);

  // The new name can be the element's own name when the container holds it and no other
  // sibling differs from it only in letter case (a change of case of this very element is
  // fine).
  bool ownElement = FitsOwnElement(newName) &&
                    (to.twin.empty() || (!from.viaMap && to.twin == from.element));
  if (std::optional<WORD> id = ParseLongNameElement(newName)) {
    hr = ClaimLongNameId(f, *id, &from);
    if (FAILED(hr)) return hr;
    ownElement = true;
  }
  if (ownElement) {
    if (from.element != newName) {
      hr = f.stg->RenameElement(from.element.c_str(), newName.c_str());
    }
    if (SUCCEEDED(hr)) {
      if (from.viaMap) map->RemoveId(from.id);
      return S_OK;
    }
    if (hr != STG_E_INVALIDNAME) return hr;
  }
  if (from.viaMap) {
    map->Rename(from.id, newName);
    return S_OK;
  }
  WORD id;
  hr = map->NextId(f.stg.Get(), &id);
  if (FAILED(hr)) return hr;
  hr = f.stg->RenameElement(from.element.c_str(), LongNameElement(id).c_str());
  if (FAILED(hr)) return hr;
  map->Add(newName, id);
  return S_OK;
}

HRESULT OStorage::LongNameFromElement(const OLECHAR* element, BSTR* longName) {
  if (!element || !longName) return E_POINTER;
  *longName = nullptr;
  Frame* cur = CurrentFrame();
  if (!cur) return E_FAIL;
  std::u16string el(element);
  if (ParseLongNameElement(el)) {
    // A map that cannot be read: the element shows under its own name, and the caller learns
    // why (a clean-up must not take such an element for a name the medium lost).
    LongNameMap* map;
    HRESULT hr = Names(*cur, &map);
    if (FAILED(hr)) {
      *longName = xcom::AllocBstr(el);
      return *longName ? hr : E_OUTOFMEMORY;
    }
  }
  std::u16string shown = ShownName(*cur, el);
  *longName = xcom::AllocBstr(shown);
  if (!*longName) return E_OUTOFMEMORY;
  return (ParseLongNameElement(el) && shown == el) ? STG_E_FILENOTFOUND : S_OK;
}

// ---------------------------------------------------------------------------------------------
// Records

HRESULT OStorage::OpenRecordStream(Frame& f, const ItemRecord& rec, DWORD mode, ComPtr<IStream>& s,
                                   std::u16string* element) {
  if (rec.kind == ItemFolder || rec.kind == ItemDisk) {
    ComPtr<IStorage> stg;
    HRESULT hr = OpenChild(f, rec.name, mode, stg, element);
    return SUCCEEDED(hr) ? OpenStreamIn(stg.Get(), kItemStream, mode, s) : hr;
  }
  return OpenChild(f, rec.name, mode, s, element);
}

HRESULT OStorage::ReadRecordOf(Frame& f, ItemRecord& rec, std::u16string* element) {
  ComPtr<IStream> s;
  HRESULT hr = OpenRecordStream(f, rec, kModeRead, s, element);
  if (SUCCEEDED(hr)) hr = ReadWholeStream(s.Get(), buffer_);
  return SUCCEEDED(hr) ? DecodeItemRecord(buffer_.data(), buffer_.size(), rec) : hr;
}

HRESULT OStorage::WriteRecordOf(Frame& f, const ItemRecord& rec) {
  ComPtr<IStream> s;
  HRESULT hr = OpenRecordStream(f, rec, kModeWrite, s);
  // The whole record from the start of the stream; a shorter record cuts the stream.
  return SUCCEEDED(hr) ? WriteWholeStream(s.Get(), EncodeItemRecord(rec), true) : hr;
}

HRESULT OStorage::GetItemInfo(BSTR bstrPath, ItemRecord* pInfo) {
  BREVIX_REFUSE_DURING_WALK();
  if (!pInfo || pInfo->name.empty()) return STG_E_INVALIDPARAMETER;
  return InFolder(bstrPath, false, [&](Frame& cur) {
    ItemRecord rec = *pInfo;
    std::u16string element;
    HRESULT hr = ReadRecordOf(cur, rec, &element);
    if (SUCCEEDED(hr)) {
      // The name the item has in the catalog (which may differ in letter case from the one
      // asked for).
      rec.name = ShownName(cur, element);
      if (rec.kind != ItemDisk) DeriveTypeText(rec);
      *pInfo = std::move(rec);
    }
    return hr;
  });
}

HRESULT OStorage::SetItemInfo(BSTR bstrPath, ItemRecord* pInfo) {
  BREVIX_REFUSE_DURING_WALK();
  if (!pInfo || pInfo->name.empty()) return STG_E_INVALIDPARAMETER;
  return InFolder(bstrPath, false, [&](Frame& cur) { return WriteRecordOf(cur, *pInfo); });
}

// ---------------------------------------------------------------------------------------------
// Adding, deleting, renaming

HRESULT OStorage::DiskNamed(Frame& root, const std::u16string& name, bool* found) {
  Found f;
  HRESULT hr = FindChild(root, name, f);
  *found = SUCCEEDED(hr) && f.type == STGTY_STORAGE;
  return hr == STG_E_FILENOTFOUND ? S_OK : hr;
}

HRESULT OStorage::AddFolderHere(Frame& cur, const std::u16string& name, const ItemRecord& rec) {
  if (&cur == &root_) {
    // Adding a disk over one of the same name would replace the whole disk.
    bool taken = false;
    HRESULT hr = DiskNamed(cur, name, &taken);
    if (FAILED(hr)) return hr;
    if (taken) return STG_E_FILEALREADYEXISTS;
  }
  ComPtr<IStorage> child;
  Placement p;
  HRESULT hr = CreateChild(cur, name, p, [&](const std::u16string& element, bool replace) {
    return CreateStorageIn(cur.stg.Get(), element, replace ? kModeCreateStorage : kModeNewStorage, child);
  });
  if (FAILED(hr)) return hr;
  hr = WriteNewStream(child.Get(), kItemStream, EncodeItemRecord(rec));
  if (FAILED(hr)) {
    // A folder without its record would be invisible to every listing: take it away again.
    child = nullptr;
    DestroyChild(cur, name);
    return hr;
  }
  PushFrame(std::move(child), p.element);
  return S_OK;
}

HRESULT OStorage::AddFolder(BSTR bstrParent, BSTR bstrName, ItemRecord* lpData) {
  BREVIX_REFUSE_DURING_WALK();
  if (!lpData || !bstrName || SysStringLen(bstrName) == 0) return STG_E_INVALIDPARAMETER;
  return InFolder(bstrParent, true, [&](Frame& cur) { return AddFolderHere(cur, FromBstr(bstrName), *lpData); });
}

HRESULT OStorage::AddItem(BSTR bstrParent, BSTR bstrName, ItemRecord* lpData) {
  BREVIX_REFUSE_DURING_WALK();
  if (!lpData || !bstrName || SysStringLen(bstrName) == 0) return STG_E_INVALIDPARAMETER;
  if (lpData->kind == ItemFolder || lpData->kind == ItemDisk) return AddFolder(bstrParent, bstrName, lpData);
  return InFolder(bstrParent, true, [&](Frame& cur) {
    std::u16string name = FromBstr(bstrName);
    Placement p;
    bool created = false;
    HRESULT hr = CreateChild(cur, name, p, [&](const std::u16string& element, bool replace) {
      ComPtr<IStream> s;
      HRESULT r = CreateStreamIn(cur.stg.Get(), element, replace ? kModeCreateStream : kModeNewStream, s);
      if (FAILED(r)) return r;
      created = true;
      return WriteWholeStream(s.Get(), EncodeItemRecord(*lpData), false);
    });
    if (FAILED(hr) && created) {
      // A stream that did not take its record is not left behind.
      cur.stg->DestroyElement(p.element.c_str());
      if (p.viaMap && !p.newEntry) cur.names->RemoveId(p.id);
    }
    return hr;
  });
}

HRESULT OStorage::DeleteFile(BSTR bstrParent, BSTR bstrName) {
  BREVIX_REFUSE_DURING_WALK();
  return InFolder(bstrParent, false, [&](Frame& cur) {
    return bstrName ? DestroyChild(cur, FromBstr(bstrName)) : STG_E_INVALIDPARAMETER;
  });
}

HRESULT OStorage::DeleteFolder(BSTR bstrName) {
  BREVIX_REFUSE_DURING_WALK();
  bool openedHere;
  HRESULT hr = EnterFolder(bstrName, false, openedHere);
  if (FAILED(hr)) return hr;
  if (current_ != Current::Top || stack_.empty()) return LeaveCall(openedHere, STG_E_ACCESSDENIED);
  // The folder named is the last component of the name given (a path when the walk above
  // found the folder); without a name, the current folder itself.
  std::u16string name;
  if (bstrName) {
    std::vector<std::u16string> parts = SplitPath(xcom::BstrView(bstrName));
    if (!parts.empty()) name = parts.back();
  }
  std::u16string element = stack_.back().element;
  hr = PopFrame();
  if (SUCCEEDED(hr)) {
    Frame& parent = *CurrentFrame();
    hr = name.empty() ? parent.stg->DestroyElement(element.c_str()) : DestroyChild(parent, name);
    if (name.empty() && SUCCEEDED(hr)) {
      if (std::optional<WORD> id = ParseLongNameElement(element)) {
        LongNameMap* map;
        if (SUCCEEDED(Names(parent, &map))) map->RemoveId(*id);
      }
    }
  }
  return LeaveCall(openedHere, hr);
}

HRESULT OStorage::RenameItem(BSTR bstrPath, BSTR bstrOld, BSTR bstrNew) {
  BREVIX_REFUSE_DURING_WALK();
  if (!bstrOld || !bstrNew) return STG_E_INVALIDPARAMETER;
  return InFolder(bstrPath, false, [&](Frame& cur) {
    const std::u16string from = FromBstr(bstrOld), to = FromBstr(bstrNew);
    // A disk takes only a name the add-disk dialog would take. A folder or file takes no name a
    // catalog path could not reach, unless only its letter case changes (an update following
    // the medium's spelling of a name it already has).
    const bool disk = &cur == &root_;
    if (!to.empty() && (disk ? !IsAllowedDiskName(to) : HoldsPathSeparator(to) && !EqualsIgnoreCase(from, to)))
      return STG_E_INVALIDNAME;
    return RenameChild(cur, from, to);
  });
}

// ---------------------------------------------------------------------------------------------
// Disks

HRESULT OStorage::FindDiskInLibrary(double serialNum, BSTR* pVal) {
  BREVIX_REFUSE_DURING_WALK();
  if (!pVal) return E_POINTER;
  HRESULT hr = LoadDoc(nullptr);
  if (FAILED(hr)) return hr;
  SysFreeString(*pVal);
  *pVal = nullptr;
  hr = CloseAllStacked();
  current_ = Current::Root;
  if (FAILED(hr)) return hr;
  std::vector<ChildElement> children;
  hr = ListChildren(root_.stg.Get(), children);
  if (FAILED(hr)) return hr;
  for (const ChildElement& c : children) {
    if (c.type != STGTY_STORAGE) continue;
    ComPtr<IStorage> disk;
    ComPtr<IStream> s;
    if (FAILED(OpenStorageIn(root_.stg.Get(), c.name, kModeRead, disk))) continue;
    if (FAILED(OpenStreamIn(disk.Get(), kItemStream, kModeRead, s))) continue;
    if (FAILED(ReadWholeStream(s.Get(), buffer_))) continue;
    ItemRecord rec;
    rec.kind = ItemDisk;
    if (FAILED(DecodeItemRecord(buffer_.data(), buffer_.size(), rec))) continue;
    if (rec.serial == serialNum) {
      *pVal = xcom::AllocBstr(ShownName(root_, c.name));
      return *pVal ? S_OK : E_OUTOFMEMORY;
    }
  }
  return STG_E_FILENOTFOUND;
}

HRESULT OStorage::IsNameUsed(BSTR bstrName, double* pDiskNum) {
  BREVIX_REFUSE_DURING_WALK();
  if (!pDiskNum) return E_POINTER;
  *pDiskNum = -1.0;
  bool openedHere = !IsOpen();
  HRESULT hr = LoadDoc(nullptr);
  if (FAILED(hr)) return hr;
  hr = CloseAllStacked();
  current_ = Current::Root;
  std::vector<ChildElement> children;
  if (SUCCEEDED(hr)) hr = ListChildren(root_.stg.Get(), children);
  if (SUCCEEDED(hr) && bstrName) {
    std::u16string_view wanted = xcom::BstrView(bstrName);
    for (const ChildElement& c : children) {
      if (c.type == STGTY_STORAGE && EqualsIgnoreCase(ShownName(root_, c.name), wanted)) {
        *pDiskNum = 1.0;
        break;
      }
    }
  }
  return LeaveCall(openedHere, hr);
}

// ---------------------------------------------------------------------------------------------
// Header values and passwords

HRESULT OStorage::get_BaseSerialNum(double* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = baseSerialNum_;
  return S_OK;
}

HRESULT OStorage::put_BaseSerialNum(double newVal) {
  baseSerialNum_ = newVal;
  return S_OK;
}

HRESULT OStorage::get_FileVersion(double* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = fileVersion_;
  return S_OK;
}

HRESULT OStorage::SetPasswords(BSTR bstrMaster, BSTR bstrUser) {
  BREVIX_REFUSE_DURING_WALK();
  if (bstrMaster) masterPassword_ = FromBstr(bstrMaster);
  if (bstrUser) userPassword_ = FromBstr(bstrUser);
  if (!bstrMaster && !bstrUser) return S_OK;
  HRESULT hr = LoadDoc(nullptr);
  if (FAILED(hr)) return hr;
  // Another document (a disk scanner) may have written the header since this one read it:
  // rewrite the file's own values, changing only the passwords given.
  CatalogHeader h;
  if (SUCCEEDED(ReadHeader(h))) {
    baseSerialNum_ = h.baseSerialNum;
    fileVersion_ = h.fileVersion;
    if (!bstrMaster) masterPassword_ = std::move(h.masterPassword);
    if (!bstrUser) userPassword_ = std::move(h.userPassword);
  }
  return CloseInternal(true);
}

HRESULT OStorage::GetPasswords(BSTR* bstrMaster, BSTR* bstrUser) {
  auto copy = [](const CountedString& s) { return s ? xcom::AllocBstr(*s) : nullptr; };
  if (bstrMaster) *bstrMaster = copy(masterPassword_);
  if (bstrUser) *bstrUser = copy(userPassword_);
  return S_OK;
}

HRESULT OStorage::WasItemAccessed(BSTR, ULONG, ULONG, LONG*) { return S_OK; }

// ---------------------------------------------------------------------------------------------
// Backup

HRESULT OStorage::CreateBackup(BSTR fileName) {
  BREVIX_REFUSE_DURING_WALK();
  if (!fileName || SysStringLen(fileName) == 0) return STG_E_INVALIDPARAMETER;
  bool openedHere = !IsOpen();
  HRESULT hr = LoadDoc(nullptr);
  if (FAILED(hr)) return hr;
  // The long-name maps held in memory belong in the copy.
  hr = FlushAllNames();
  if (SUCCEEDED(hr)) {
    // The copy is committed before it is let go: a release cannot answer, and a write-out that
    // fails there (a full disk) would leave an empty file reported as a backup.
    const std::string target = unicode::Utf16ToUtf8(fileName, unicode::Policy::kLossless);
    struct stat st {};
    const bool existed = ::lstat(target.c_str(), &st) == 0 || errno != ENOENT;
    ComPtr<IStorage> backup;
    hr = StgCreateDocfile(fileName, kModeCreateStorage, 0, backup.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) hr = root_.stg->CopyTo(0, nullptr, nullptr, backup.Get());
    if (SUCCEEDED(hr)) hr = backup->Commit(STGC_DEFAULT);
    const bool made = backup.Get() != nullptr;
    backup.Reset();
    // A file this call made at the name and could not fill goes again; one that was there
    // before stays as it was (a replacement takes its place only whole).
    if (FAILED(hr) && made && !existed) ::unlink(target.c_str());
  }
  return LeaveCall(openedHere, hr);
}

// ---------------------------------------------------------------------------------------------
// Dispatch

namespace {
ItemRecord* RecordOfToken(LONG token) { return xcom::ResolveToken<ItemRecord>(xcom::TokenKind::ItemRecord, token); }
}  // namespace

HRESULT OStorage::DispAddFolder(BSTR p, BSTR n, LONG record) {
  ItemRecord* r = RecordOfToken(record);
  return r ? AddFolder(p, n, r) : STG_E_INVALIDPARAMETER;
}
HRESULT OStorage::DispAddItem(BSTR p, BSTR n, LONG record) {
  ItemRecord* r = RecordOfToken(record);
  return r ? AddItem(p, n, r) : STG_E_INVALIDPARAMETER;
}
HRESULT OStorage::DispGetItemInfo(BSTR p, LONG record) {
  ItemRecord* r = RecordOfToken(record);
  return r ? GetItemInfo(p, r) : STG_E_INVALIDPARAMETER;
}
HRESULT OStorage::DispSetItemInfo(BSTR p, LONG record) {
  ItemRecord* r = RecordOfToken(record);
  return r ? SetItemInfo(p, r) : STG_E_INVALIDPARAMETER;
}
HRESULT OStorage::DispEnumElements(SHORT location, IUnknown** pEnum) {
  if (!pEnum) return E_POINTER;
  IEnumSTATSTG* e = nullptr;
  HRESULT hr = EnumElements(location, &e);
  *pEnum = e;
  return hr;
}
HRESULT OStorage::DispCurStorage(IUnknown** pVal) {
  if (!pVal) return E_POINTER;
  IStorage* s = nullptr;
  HRESULT hr = get_mCurStorage(&s);
  if (s) s->AddRef();  // a dispatch caller owns what it receives
  *pVal = s;
  return hr;
}

const xcom::DispatchTable<OStorage>& OStorage::GetDispatchTable() {
  using M = xcom::Member<OStorage>;
  using xcom::In;
  using xcom::Out;
  static const xcom::DispatchTable<OStorage> table{
      M::Method<&OStorage::LoadDoc>("LoadDoc", 1),
      M::Method<&OStorage::SaveDoc>("SaveDoc", 2),
      M::Method<&OStorage::DispAddFolder>("AddFolder", 3),
      M::Method<&OStorage::SetCurrentFolder>("SetCurrentFolder", 4),
      M::Method<&OStorage::CloseDoc>("CloseDoc", 5),
      M::Method<&OStorage::DispEnumElements>("EnumElements", 6),
      M::Method<&OStorage::DispAddItem>("AddItem", 7),
      M::Method<&OStorage::DeleteFile>("DeleteFile", 8),
      M::Method<&OStorage::DeleteFolder>("DeleteFolder", 9),
      M::Method<&OStorage::DispGetItemInfo>("GetItemInfo", 10),
      M::PropertyGet<&OStorage::get_BaseSerialNum>("BaseSerialNum", 11),
      M::PropertyPut<&OStorage::put_BaseSerialNum>("BaseSerialNum", 11),
      M::Method<&OStorage::FindDiskInLibrary>("FindDiskInLibrary", 12, {In(VT_R8), Out(VT_BSTR)}),
      M::Method<&OStorage::DispSetItemInfo>("SetItemInfo", 13),
      M::Method<&OStorage::WasItemAccessed>("WasItemAccessed", 14),
      M::Method<&OStorage::FindItem>("FindItem", 15,
                                     {In(VT_BSTR), In(VT_BSTR), In(VT_BSTR), In(VT_I4), In(VT_DATE),
                                      In(VT_DATE), In(VT_I2), In(VT_I4)}),
      M::PropertyGet<&OStorage::get_FileVersion>("FileVersion", 16),
      M::Method<&OStorage::RenameItem>("RenameItem", 17),
      M::Method<&OStorage::CreateBackup>("CreateBackup", 18),
      M::Method<&OStorage::SetDocName>("SetDocName", 19),
      M::Method<&OStorage::SetPasswords>("SetPasswords", 20),
      M::Method<&OStorage::GetPasswords>("GetPasswords", 21),
      M::Method<&OStorage::IsNameUsed>("IsNameUsed", 22),
      M::PropertyGet<&OStorage::DispCurStorage>("mCurStorage", 23),
  };
  return table;
}

// ---------------------------------------------------------------------------------------------
// Creation

xcom::ServerModule& LibraryModule() {
  static xcom::ServerModule module;
  return module;
}

HRESULT CreateCatalogDocument(xcom::ServerModule& module, IUnknown* outer, REFIID riid, void** ppv) {
  return xcom::CreateComponent<OStorage>(module, outer, riid, ppv);
}

HRESULT NewCatalogDocument(xcom::ComPtr<IOStorageInternal>* out) {
  if (!out) return E_POINTER;
  return CreateCatalogDocument(LibraryModule(), nullptr, IID_IOStorageInternal, out->ReleaseAndGetAddressOfVoid());
}

}  // namespace brevix
