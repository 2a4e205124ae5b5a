// The document root VemraKYP: the file, the open root storage, the folder stack, the definitions.
#include "root.h"

#include "paths.h"

namespace kyp {

namespace {

bool HasNul(BSTR s) { return View(s).find(u'\0') != std::u16string_view::npos; }

// GetParent and GetRoot answer with no node.
HRESULT NoNode(IONode** ppNode) {
  if (ppNode) *ppNode = nullptr;
  return S_OK;
}

// The root's events interface has no members, so it offers no connection point: its list
// of points is empty.
class NoConnectionPoints : public IEnumConnectionPoints {
 public:
  void* GetInterface(REFIID iid) { return xcom::FindInterface<IEnumConnectionPoints>(this, iid); }
  HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) override {
    if (pcFetched) *pcFetched = 0;
    if (cConnections > 0 && !ppCP) return E_POINTER;
    return cConnections == 0 ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG cConnections) override { return cConnections == 0 ? S_OK : S_FALSE; }
  HRESULT Reset() override { return S_OK; }
  HRESULT Clone(IEnumConnectionPoints** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    ComPtr<NoConnectionPoints> e;
    HRESULT hr = xcom::MakeComponent(Module(), &e);
    *ppEnum = SUCCEEDED(hr) ? e.Detach() : nullptr;
    return hr;
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// StoreLink

void* StoreLink::GetInterface(REFIID iid) { return xcom::FindInterface<IOKYPStore, IOKYPInternal>(this, iid); }

HRESULT StoreLink::OpenDoc(BSTR fileName, SHORT* pbAlreadyOpened, IStorage** ppStorage) {
  if (!root_) {
    if (pbAlreadyOpened) *pbAlreadyOpened = 0;
    if (ppStorage) *ppStorage = nullptr;
    return E_UNEXPECTED;
  }
  return root_->OpenDoc(fileName, pbAlreadyOpened, ppStorage);
}

HRESULT StoreLink::CloseDoc() { return root_ ? root_->CloseDoc() : S_OK; }

HRESULT StoreLink::SetCurrentFolder(BSTR bstrPath, SHORT iLocation, IStorage** ppStorage) {
  if (!root_) {
    if (ppStorage) *ppStorage = nullptr;
    return E_UNEXPECTED;
  }
  return root_->SetCurrentFolder(bstrPath, iLocation, ppStorage);
}

HRESULT StoreLink::GetFields(BSTR ItemDef, IOFields** ppFields) {
  if (!root_) {
    if (ppFields) *ppFields = nullptr;
    return E_UNEXPECTED;
  }
  return root_->GetFields(ItemDef, ppFields);
}

HRESULT StoreLink::GetParent(IONode** ppNode) { return NoNode(ppNode); }

HRESULT StoreLink::GetRoot(IONode** ppNode) { return NoNode(ppNode); }

// ---------------------------------------------------------------------------------------------
// VemraKYP

const xcom::DispatchTable<VemraKYP>& VemraKYP::GetDispatchTable() {
  using M = xcom::Member<VemraKYP>;
  static const xcom::DispatchTable<VemraKYP> table{
      M::PropertyGet<&IVemraKYP::get_DocName>("DocName", 1),
      M::PropertyPut<&IVemraKYP::put_DocName>("DocName", 1),
      M::PropertyGet<&IVemraKYP::get_ItemDefs>("ItemDefs", 2),
      M::PropertyGet<&IVemraKYP::get_Nodes>("Nodes", 3),
  };
  return table;
}

void* VemraKYP::GetInterface(REFIID iid) {
  return xcom::FindInterface<IVemraKYP, xcom::Via<IDispatch, IVemraKYP>, IOKYPStore, IOKYPInternal,
                             IConnectionPointContainer>(this, iid);
}

HRESULT VemraKYP::FinalConstruct() {
  HRESULT hr = xcom::MakeComponent(Module(), &itemDefs_);
  if (SUCCEEDED(hr)) hr = xcom::MakeComponent(Module(), &nodes_);
  if (SUCCEEDED(hr)) hr = xcom::MakeComponent(Module(), &link_, this);
  return hr;
}

VemraKYP::~VemraKYP() {
  CloseDoc();
  if (link_) link_->Detach();
}

HRESULT VemraKYP::get_DocName(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  return CopyOut(docName_, pVal);
}

// Opens the file (creating it when it is missing), loads the definitions, and connects the
// collections. An empty name would make a new temporary file on every call and is refused;
// a definition list that cannot be read is reported, not passed over.
HRESULT VemraKYP::put_DocName(BSTR newVal) {
  if (SysStringLen(newVal) == 0 || HasNul(newVal)) return E_INVALIDARG;
  HRESULT hr = CopyIn(newVal, &docName_);
  if (FAILED(hr)) return hr;
  SHORT already = 0;
  ComPtr<IStorage> root;
  hr = OpenDoc(newVal, &already, root.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  IPersistStorage* defs = static_cast<IPersistStorage*>(itemDefs_.Get());
  hr = defs->Load(root.Get());
  if (hr == STG_E_FILENOTFOUND) hr = defs->Save(root.Get(), TRUE);  // a new document
  root.Reset();
  itemDefs_->SetIOKYPStore(link_.Get());
  nodes_->SetIOKYPStore(link_.Get());
  nodes_->SetIOKYPInternal(link_.Get());
  if (!already) {
    HRESULT closed = CloseDoc();
    if (SUCCEEDED(hr)) hr = closed;
  }
  return hr;
}

HRESULT VemraKYP::get_ItemDefs(IOItemDefs** pVal) {
  if (!pVal) return E_INVALIDARG;
  return ComPtr<IOItemDefs>(itemDefs_).CopyTo(pVal);
}

HRESULT VemraKYP::get_Nodes(IONodes** pVal) {
  if (!pVal) return E_INVALIDARG;
  return ComPtr<IONodes>(nodes_).CopyTo(pVal);
}

HRESULT VemraKYP::OpenFile(BSTR name, bool createMissing) {
  ComPtr<IStorage> stg;
  DWORD mode = kOpenMode;
  // An existing file opens for reading and writing; one that may not be written (a read-only
  // medium, no write permission) opens for reading, so that it can still be read, and every
  // write to it fails.
  auto openExisting = [&] {
    HRESULT opened = StgOpenStorage(name, nullptr, kOpenMode, nullptr, 0, stg.GetAddressOf());
    if (opened == STG_E_ACCESSDENIED) {
      mode = kReadMode;
      opened = StgOpenStorage(name, nullptr, kReadMode, nullptr, 0, stg.ReleaseAndGetAddressOf());
    }
    return opened;
  };
  HRESULT hr = S_OK;
  if (createMissing) {
    // A file that exists must be a compound file; one that does not is created.
    hr = StgIsStorageFile(name);
    if (hr == STG_E_FILENOTFOUND) {
      hr = StgCreateDocfile(name, kCreateMode, 0, stg.GetAddressOf());
    } else if (SUCCEEDED(hr)) {
      hr = openExisting();
    }
  } else {
    hr = openExisting();
  }
  if (FAILED(hr)) return hr;
  openMode_ = mode;
  root_ = std::move(stg);
  current_ = root_.Get();
  return S_OK;
}

HRESULT VemraKYP::OpenDoc(BSTR fileName, SHORT* pbAlreadyOpened, IStorage** ppStorage) {
  if (pbAlreadyOpened) *pbAlreadyOpened = 0;
  if (ppStorage) *ppStorage = nullptr;
  HRESULT hr = S_OK;
  if (SysStringLen(fileName) > 0) {
    if (HasNul(fileName)) return E_INVALIDARG;
    // Another file replaces the open one, which is closed first.
    CloseDoc();
    hr = OpenFile(fileName, true);
  } else if (docName_.Length() == 0) {
    return E_INVALIDARG;  // no file to open
  } else if (root_) {
    if (pbAlreadyOpened) *pbAlreadyOpened = 1;
  } else {
    hr = OpenFile(docName_.Get(), false);
  }
  if (FAILED(hr)) return hr;
  if (ppStorage) ComPtr<IStorage>(root_).CopyTo(ppStorage);
  return S_OK;
}

HRESULT VemraKYP::CloseDoc() {
  if (!root_) return S_OK;
  ReleaseFolders();
  current_ = nullptr;
  // Direct mode writes at release; committing first lets a failed write be reported.
  HRESULT hr = root_->Commit(STGC_DEFAULT);
  root_.Reset();
  return SUCCEEDED(hr) ? S_OK : hr;
}

void VemraKYP::ReleaseFolders() {
  while (!folders_.empty()) folders_.pop_back();  // the last opened first
  current_ = root_.Get();
}

HRESULT VemraKYP::Push(ComPtr<IStorage> folder) {
  if (folders_.size() >= static_cast<std::size_t>(kypFolderStackLimit)) return E_OUTOFMEMORY;
  try {
    folders_.push_back(std::move(folder));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  current_ = folders_.back().Get();
  return S_OK;
}

HRESULT VemraKYP::Current(IStorage** ppStorage) {
  if (ppStorage) ComPtr<IStorage>(current_).CopyTo(ppStorage);
  return S_OK;
}

HRESULT VemraKYP::SetCurrentFolder(BSTR bstrPath, SHORT iLocation, IStorage** ppStorage) {
  if (ppStorage) *ppStorage = nullptr;
  switch (iLocation) {
    case kypFolderRoot:
      if (!root_) break;
      ReleaseFolders();
      return Current(ppStorage);
    case kypFolderChild: {
      if (!current_) break;
      ComPtr<IStorage> child;
      HRESULT hr = cfb::OpenStorageNamed(current_, View(bstrPath), openMode_, child.GetAddressOf());
      if (FAILED(hr)) return hr;
      hr = Push(std::move(child));
      if (FAILED(hr)) return hr;
      return Current(ppStorage);
    }
    case kypFolderParent:
      if (!current_) break;
      if (!folders_.empty()) folders_.pop_back();
      current_ = folders_.empty() ? root_.Get() : folders_.back().Get();
      return Current(ppStorage);
    default:
      break;
  }
  return WalkPath(bstrPath, ppStorage);
}

// The absolute walk: from the root, one folder per path component. When no document was
// open the walk opens it for itself and closes it again at the end: the folders it reached
// are gone by then, so it hands none back.
HRESULT VemraKYP::WalkPath(BSTR path, IStorage** ppStorage) {
  bool ownRoot = false;
  if (!root_) {
    if (docName_.Length() == 0) return E_INVALIDARG;
    HRESULT hr = OpenFile(docName_.Get(), false);
    if (FAILED(hr)) return hr;
    ownRoot = true;
  }
  ReleaseFolders();
  HRESULT hr = S_OK;
  for (std::u16string_view component : SplitFolderPath(View(path))) {
    ComPtr<IStorage> child;
    hr = cfb::OpenStorageNamed(current_, component, openMode_, child.GetAddressOf());
    if (SUCCEEDED(hr)) hr = Push(std::move(child));
    if (FAILED(hr)) {
      ReleaseFolders();
      break;
    }
  }
  if (ownRoot) {
    HRESULT closed = CloseDoc();
    return SUCCEEDED(hr) ? closed : hr;
  }
  if (FAILED(hr)) return hr;
  return Current(ppStorage);
}

HRESULT VemraKYP::GetFields(BSTR ItemDef, IOFields** ppFields) {
  if (!ppFields) return E_POINTER;
  *ppFields = nullptr;
  if (!ItemDef) return E_POINTER;
  OItemDef* def = itemDefs_->Find(View(ItemDef));
  if (!def) return E_INVALIDARG;
  ComPtr<IOFields> fields;
  HRESULT hr = def->get_Fields(fields.GetAddressOf());  // the definition role first
  if (SUCCEEDED(hr)) hr = fields->SetRole(kypValueRole);
  if (FAILED(hr)) return hr;
  *ppFields = fields.Detach();
  return S_OK;
}

HRESULT VemraKYP::GetParent(IONode** ppNode) { return NoNode(ppNode); }

HRESULT VemraKYP::GetRoot(IONode** ppNode) { return NoNode(ppNode); }

HRESULT VemraKYP::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  ComPtr<NoConnectionPoints> e;
  HRESULT hr = xcom::MakeComponent(Module(), &e);
  if (SUCCEEDED(hr)) *ppEnum = e.Detach();
  return hr;
}

HRESULT VemraKYP::FindConnectionPoint(REFIID, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  return CONNECT_E_NOCONNECTION;
}

}  // namespace kyp
