// Nodes: ONode (a named node typed by an item definition) and ONodes (the nodes under one path).
#include "nodes.h"

#include "paths.h"
#include "streamio.h"

namespace kyp {

namespace {

bool IsMissing(HRESULT hr) { return hr == STG_E_FILENOTFOUND || hr == STG_E_PATHNOTFOUND; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - u'a' + u'A');
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - u'a' + u'A');
    if (x != y) return false;
  }
  return true;
}

// Storages below a node folder that are not child nodes: the definition list's name and
// the names the platform keeps for itself.
bool IsNodeStorageName(std::u16string_view name) {
  if (EqualsIgnoringCase(name, kItemDefStream)) return false;
  if (name.size() >= 3 && name.substr(0, 3) == u"@$_") return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ONode

const xcom::DispatchTable<ONode>& ONode::GetDispatchTable() {
  using M = xcom::Member<ONode>;
  static const xcom::DispatchTable<ONode> table{
      M::PropertyGet<&IONode::get_Name>("Name", 1),
      M::PropertyPut<&IONode::put_Name>("Name", 1),
      M::PropertyGet<&IONode::get_Caption>("Caption", 2),
      M::PropertyPut<&IONode::put_Caption>("Caption", 2),
      M::PropertyGet<&IONode::get_ItemDef>("ItemDef", 3),
      M::PropertyPut<&IONode::put_ItemDef>("ItemDef", 3),
      M::PropertyGet<&IONode::get_Picture>("Picture", 4),
      M::PropertyPut<&IONode::put_Picture>("Picture", 4),
      M::PropertyGet<&IONode::get_Fields>("Fields", 5),
      M::PropertyGet<&IONode::get_FullPath>("FullPath", 6),
      M::PropertyPut<&IONode::put_FullPath>("FullPath", 6),
      M::Method<&IONode::Edit>("Edit", 7),
      M::Method<&IONode::Update>("Update", 8),
      M::PropertyGet<&IONode::get_Nodes>("Nodes", 9),
  };
  return table;
}

void* ONode::GetInterface(REFIID iid) {
  return xcom::FindInterface<IONode, xcom::Via<IDispatch, IONode>, IKYPConnect,
                             xcom::Via<IPersist, IPersistStorage>, IPersistStorage>(this, iid);
}

HRESULT ONode::FinalConstruct() { return xcom::MakeComponent(Module(), &children_); }

void ONode::Connect(const Connection& c) {
  c_ = c;
  children_->SetIOKYPStore(c.store.Get());
  children_->SetIOKYPInternal(c.internal.Get());
}

HRESULT ONode::SetIOKYPStore(IOKYPStore* pStore) {
  c_.store = ComPtr<IOKYPStore>(pStore);
  return children_->SetIOKYPStore(pStore);
}

HRESULT ONode::SetIOKYPInternal(IOKYPInternal* pInternal) {
  c_.internal = ComPtr<IOKYPInternal>(pInternal);
  return children_->SetIOKYPInternal(pInternal);
}

HRESULT ONode::get_Name(BSTR* pVal) { return pVal ? CopyOut(name_, pVal) : E_POINTER; }
HRESULT ONode::put_Name(BSTR newVal) { return CopyIn(newVal, &name_); }
HRESULT ONode::get_Caption(BSTR* pVal) { return pVal ? CopyOut(caption_, pVal) : E_POINTER; }
HRESULT ONode::put_Caption(BSTR newVal) { return CopyIn(newVal, &caption_); }
HRESULT ONode::get_ItemDef(BSTR* pVal) { return pVal ? CopyOut(itemDef_, pVal) : E_POINTER; }
HRESULT ONode::get_FullPath(BSTR* pVal) { return pVal ? CopyOut(fullPath_, pVal) : E_POINTER; }

HRESULT ONode::put_ItemDef(BSTR newVal) {
  HRESULT hr = CopyIn(newVal, &itemDef_);
  if (FAILED(hr)) return hr;
  if (!newVal || !c_.internal) return E_POINTER;
  fields_.Reset();
  if (SysStringLen(newVal) == 0) return S_OK;
  hr = c_.internal->GetFields(newVal, fields_.ReleaseAndGetAddressOf());
  valuesPending_ = true;
  return hr;
}

HRESULT ONode::get_Picture(SHORT* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = picture_;
  return S_OK;
}

HRESULT ONode::put_Picture(SHORT newVal) {
  picture_ = newVal;
  return S_OK;
}

HRESULT ONode::put_FullPath(BSTR newVal) {
  HRESULT hr = CopyIn(newVal, &fullPath_);
  if (SUCCEEDED(hr)) hr = children_->SetParentNodePath(fullPath_.Get());
  return hr;
}

// The values stored for the node, loaded once into the attached fields. A node whose
// folder is not in the file yet (one being built) has none to load; a document that cannot
// be opened or read is a failure, and the load is tried again on the next call.
HRESULT ONode::LoadPendingValues() {
  DocSession doc(c_.store.Get());
  HRESULT hr = doc.Open();
  if (FAILED(hr)) return hr;
  ComPtr<IStorage> folder;
  if (!fullPath_.IsNull() && fullPath_.Length() > 0) {
    hr = doc.GoTo(fullPath_.Get(), &folder);
    if (IsMissing(hr)) {
      valuesPending_ = false;
      return doc.Close(S_OK);
    }
    if (FAILED(hr)) return doc.Close(hr);
  } else {
    hr = doc.GoTo(nullptr, &folder);
  }
  ComPtr<IPersistStorage> persist;
  hr = ComPtr<IOFields>(fields_).As(&persist);
  if (SUCCEEDED(hr)) hr = persist->Load(folder.Get());
  if (IsMissing(hr)) hr = S_OK;  // the folder holds no values
  folder.Reset();
  hr = doc.Close(hr);
  if (SUCCEEDED(hr)) valuesPending_ = false;
  return hr;
}

HRESULT ONode::get_Fields(IOFields** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  if (!c_.store || !c_.internal) return E_POINTER;
  HRESULT hr = S_OK;
  if (!fields_) {
    hr = c_.internal->GetFields(itemDef_.Get(), fields_.ReleaseAndGetAddressOf());
    valuesPending_ = true;
  }
  if (valuesPending_) {
    if (!fields_) return hr;
    hr = LoadPendingValues();
    if (FAILED(hr)) return hr;
  }
  return fields_.CopyTo(pVal);
}

HRESULT ONode::Edit() {
  if (!c_.store) return E_POINTER;
  SHORT already = 0;
  ComPtr<IStorage> root;
  HRESULT hr = c_.store->OpenDoc(nullptr, &already, root.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  if (fullPath_.Length() > 0) {
    ComPtr<IStorage> folder;
    hr = c_.store->SetCurrentFolder(fullPath_.Get(), kypFolderPath, folder.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
      root.Reset();
      if (!already) c_.store->CloseDoc();
      return hr;
    }
  }
  editing_ = true;
  return S_OK;
}

HRESULT ONode::Update() {
  if (!c_.store) return E_POINTER;
  HRESULT hr = c_.store->CloseDoc();
  editing_ = false;
  return hr;
}

HRESULT ONode::get_Nodes(IONodes** pVal) {
  if (!pVal) return E_INVALIDARG;
  return ComPtr<IONodes>(children_).CopyTo(pVal);
}

HRESULT ONode::Save(IStorage* pStgSave, BOOL) {
  if (!pStgSave) return E_POINTER;
  ComPtr<IStream> header;
  HRESULT hr = cfb::CreateStreamNamed(pStgSave, kNodeHeaderStream, kCreateMode, header.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  StreamWriter out(header.Get());
  out.I16(picture_);
  hr = out.String(itemDef_.Get());
  if (SUCCEEDED(hr)) hr = out.String(caption_.Get());
  if (SUCCEEDED(hr)) hr = out.Flush();
  header.Reset();
  if (FAILED(hr) || !fields_) return hr;
  ComPtr<IPersistStorage> persist;
  hr = ComPtr<IOFields>(fields_).As(&persist);
  if (FAILED(hr)) return hr;
  return persist->Save(pStgSave, TRUE);
}

HRESULT ONode::Load(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  ComPtr<IStream> header;
  HRESULT hr = cfb::OpenStreamNamed(pStg, kNodeHeaderStream, kReadMode, header.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  StreamReader in(header.Get());
  SHORT picture = 0;
  xcom::Bstr itemDef, caption;
  hr = in.Start();
  if (SUCCEEDED(hr)) hr = in.I16(&picture);
  if (SUCCEEDED(hr)) hr = in.String(&itemDef);
  if (SUCCEEDED(hr)) hr = in.String(&caption);
  header.Reset();
  if (FAILED(hr)) return hr;
  picture_ = picture;
  itemDef_ = std::move(itemDef);
  caption_ = std::move(caption);
  fields_.Reset();
  valuesPending_ = false;
  if (itemDef_.Length() > 0) {
    if (!c_.internal) return E_POINTER;
    hr = c_.internal->GetFields(itemDef_.Get(), fields_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<IPersistStorage> persist;
    hr = ComPtr<IOFields>(fields_).As(&persist);
    if (SUCCEEDED(hr)) hr = persist->Load(pStg);
    if (FAILED(hr)) return hr;
  }
  name_ = xcom::Bstr(SplitNodePath(fullPath_.View()).name);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// ONodes

const xcom::DispatchTable<ONodes>& ONodes::GetDispatchTable() {
  using M = xcom::Member<ONodes>;
  using xcom::In;
  using xcom::Retval;
  static const xcom::DispatchTable<ONodes> table{
      M::Method<&IONodes::Append>("Append", 1),
      M::Method<&IONodes::Remove>("Remove", 2),
      M::Method<&IONodes::CreateNode>("CreateNode", 3, {In(VT_BSTR), In(VT_BSTR), Retval(VT_DISPATCH)}),
      M::Method<&IONodes::ReadNodeNames>("ReadNodeNames", 4),
      M::PropertyGet<&IONodes::get_Count>("Count", 5),
      M::PropertyPut<&IONodes::put_Count>("Count", 5),
      M::Method<&IONodes::SetParentNodePath>("SetParentNodePath", 6),
      M::Method<&IONodes::Item>("Item", DISPID_VALUE, {In(VT_VARIANT), Retval(VT_DISPATCH)}),
  };
  return table;
}

void* ONodes::GetInterface(REFIID iid) {
  return xcom::FindInterface<IONodes, xcom::Via<IDispatch, IONodes>, IKYPConnect>(this, iid);
}

HRESULT ONodes::SetIOKYPStore(IOKYPStore* pStore) {
  c_.store = ComPtr<IOKYPStore>(pStore);
  return S_OK;
}

HRESULT ONodes::SetIOKYPInternal(IOKYPInternal* pInternal) {
  c_.internal = ComPtr<IOKYPInternal>(pInternal);
  return S_OK;
}

HRESULT ONodes::MakeNode(ComPtr<ONode>* node) {
  HRESULT hr = xcom::MakeComponent(Module(), node);
  if (SUCCEEDED(hr)) (*node)->Connect(c_);
  return hr;
}

HRESULT ONodes::Append(IONode* ppNode) {
  if (!ppNode || !c_.store) return E_INVALIDARG;
  ComPtr<IONode> node(ppNode);
  ComPtr<IPersistStorage> persist;
  if (FAILED(node.As(&persist))) return E_INVALIDARG;
  xcom::Bstr name;
  HRESULT hr = node->get_Name(name.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  DocSession doc(c_.store.Get());
  ComPtr<IStorage> folder, storage;
  hr = doc.OpenAt(parentPath_.Get(), &folder);
  if (SUCCEEDED(hr))
    hr = cfb::CreateStorageNamed(folder.Get(), name.View(), kCreateMode, storage.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = persist->Save(storage.Get(), TRUE);
  storage.Reset();
  folder.Reset();
  return doc.Close(hr);
}

HRESULT ONodes::Remove(VARIANT) { return S_OK; }

HRESULT ONodes::CreateNode(BSTR nodeName, BSTR ItemDef, IONode** ppNode) {
  if (!ppNode) return E_POINTER;
  *ppNode = nullptr;
  if (!nodeName || !ItemDef) return E_POINTER;
  ComPtr<ONode> node;
  HRESULT hr = MakeNode(&node);
  if (FAILED(hr)) return hr;
  node->put_Name(nodeName);
  node->put_ItemDef(ItemDef);  // an unknown definition leaves the node without fields
  xcom::Bstr full(JoinNodePath(parentPath_.View(), View(nodeName)));
  hr = node->put_FullPath(full.Get());
  if (FAILED(hr)) return hr;
  try {
    nodes_.push_back(node);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *ppNode = node.Detach();
  return S_OK;
}

HRESULT ONodes::ReadNodeNames(BSTR) { return c_.store ? S_OK : E_INVALIDARG; }

// Counts the storages below the parent folder that are nodes. The count replaces the
// cached one (0 when the folder cannot be listed).
HRESULT ONodes::CountChildNodes() {
  if (!c_.store) return E_INVALIDARG;
  cachedCount_ = 0;
  DocSession doc(c_.store.Get());
  ComPtr<IStorage> folder;
  HRESULT hr = doc.OpenAt(parentPath_.Get(), &folder);
  ComPtr<IEnumSTATSTG> elements;
  if (SUCCEEDED(hr)) hr = folder->EnumElements(0, nullptr, 0, elements.ReleaseAndGetAddressOf());
  LONG count = 0;
  while (SUCCEEDED(hr)) {
    STATSTG batch[64];
    ULONG fetched = 0;
    hr = elements->Next(64, batch, &fetched);
    if (FAILED(hr)) break;
    for (ULONG i = 0; i < fetched; ++i) {
      if (batch[i].type == STGTY_STORAGE && batch[i].pwcsName &&
          IsNodeStorageName(std::u16string_view(batch[i].pwcsName)))
        ++count;
      CoTaskMemFree(batch[i].pwcsName);
    }
    if (hr == S_FALSE) {
      hr = S_OK;
      break;
    }
  }
  elements.Reset();
  folder.Reset();
  if (SUCCEEDED(hr)) cachedCount_ = count;
  return doc.Close(hr);
}

HRESULT ONodes::get_Count(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = 0;
  if (nodes_.empty() && cachedCount_ == 0 && c_.store) {
    HRESULT hr = CountChildNodes();
    // A parent folder that is not in the file has no stored children.
    if (FAILED(hr) && !IsMissing(hr)) return hr;
  }
  *pVal = nodes_.empty() && cachedCount_ > 0 ? cachedCount_ : static_cast<LONG>(nodes_.size());
  return S_OK;
}

HRESULT ONodes::put_Count(LONG newVal) {
  if (newVal > 0 && nodes_.empty()) cachedCount_ = newVal;
  return S_OK;
}

HRESULT ONodes::SetParentNodePath(BSTR bstrPath) { return CopyIn(bstrPath, &parentPath_); }

HRESULT ONodes::Item(VARIANT Index, IONode** ppNode) {
  if (!ppNode) return E_POINTER;
  *ppNode = nullptr;
  std::u16string_view path;
  if (!IndexString(Index, &path)) return E_INVALIDARG;
  if (!c_.store) return E_INVALIDARG;
  xcom::Bstr fullPath(path);
  DocSession doc(c_.store.Get());
  ComPtr<IStorage> folder;
  HRESULT hr = doc.OpenAt(fullPath.Get(), &folder);
  ComPtr<ONode> node;
  if (SUCCEEDED(hr)) hr = MakeNode(&node);
  if (SUCCEEDED(hr)) hr = node->put_FullPath(fullPath.Get());
  if (SUCCEEDED(hr)) hr = static_cast<IPersistStorage*>(node.Get())->Load(folder.Get());
  folder.Reset();
  hr = doc.Close(hr);
  if (FAILED(hr)) return hr;
  *ppNode = node.Detach();
  return S_OK;
}

}  // namespace kyp
