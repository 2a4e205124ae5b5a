// Item definitions: OItemDef (a named field set) and OItemDefs (the document's definitions).
#include "itemdefs.h"

#include <limits>

#include "streamio.h"

namespace kyp {

// The smallest definition: a null name (4) and a field count (4).
constexpr std::uint64_t kMinItemDefBytes = 8;

// ---------------------------------------------------------------------------------------------
// OItemDef

const xcom::DispatchTable<OItemDef>& OItemDef::GetDispatchTable() {
  using M = xcom::Member<OItemDef>;
  static const xcom::DispatchTable<OItemDef> table{
      M::PropertyGet<&IOItemDef::get_Fields>("Fields", 1),
      M::PropertyGet<&IOItemDef::get_Name>("Name", 2),
      M::PropertyPut<&IOItemDef::put_Name>("Name", 2),
  };
  return table;
}

void* OItemDef::GetInterface(REFIID iid) {
  return xcom::FindInterface<IOItemDef, xcom::Via<IDispatch, IOItemDef>, xcom::Via<IPersist, IPersistStreamInit>,
                             IPersistStreamInit>(this, iid);
}

HRESULT OItemDef::FinalConstruct() { return xcom::MakeComponent(Module(), &fields_); }

HRESULT OItemDef::get_Fields(IOFields** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  HRESULT hr = fields_->SetRole(kypDefinitionRole);
  if (FAILED(hr)) return hr;
  fields_->AddRef();
  *pVal = fields_.Get();
  return S_OK;
}

HRESULT OItemDef::get_Name(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  return CopyOut(name_, pVal);
}

HRESULT OItemDef::put_Name(BSTR newVal) {
  std::u16string old(name());
  HRESULT hr = CopyIn(newVal, &name_);
  if (SUCCEEDED(hr) && owner_) owner_->Renamed(position_, old, name());
  return hr;
}

void OItemDef::WriteTo(StreamWriter& out) const {
  out.String(name_.Get());
  fields_->WriteDefinitions(out);
}

HRESULT OItemDef::Save(IStream* pStm, BOOL) {
  if (!pStm) return E_POINTER;
  StreamWriter out(pStm);
  WriteTo(out);
  return out.Flush();
}

HRESULT OItemDef::Load(IStream* pStm) {
  if (!pStm) return E_POINTER;
  StreamReader in(pStm);
  HRESULT hr = in.Start();
  xcom::Bstr name;
  if (SUCCEEDED(hr)) hr = in.String(&name);
  if (FAILED(hr)) return hr;
  std::u16string old(this->name());
  name_ = std::move(name);
  if (owner_) owner_->Renamed(position_, old, this->name());
  return static_cast<IPersistStreamInit*>(fields_.Get())->Load(pStm);
}

// ---------------------------------------------------------------------------------------------
// OItemDefs

const xcom::DispatchTable<OItemDefs>& OItemDefs::GetDispatchTable() {
  using M = xcom::Member<OItemDefs>;
  using xcom::In;
  using xcom::Retval;
  static const xcom::DispatchTable<OItemDefs> table{
      M::Method<&IOItemDefs::CreateItemDef>("CreateItemDef", 1, {In(VT_BSTR), Retval(VT_DISPATCH)}),
      M::Method<&IOItemDefs::Delete>("Delete", 2),
      M::Method<&IOItemDefs::Append>("Append", 3),
      M::PropertyGet<&IOItemDefs::get_Count>("Count", 4),
      M::Method<&IOItemDefs::Item>("Item", DISPID_VALUE, {In(VT_VARIANT), Retval(VT_DISPATCH)}),
  };
  return table;
}

void* OItemDefs::GetInterface(REFIID iid) {
  return xcom::FindInterface<IOItemDefs, xcom::Via<IDispatch, IOItemDefs>, IKYPConnect,
                             xcom::Via<IPersist, IPersistStorage>, IPersistStorage>(this, iid);
}

OItemDefs::~OItemDefs() { Clear(); }

void OItemDefs::Clear() {
  for (auto& d : defs_) d->set_owner(nullptr, 0);
  defs_.clear();
  names_.clear();
}

HRESULT OItemDefs::Push(const ComPtr<OItemDef>& def) {
  try {
    defs_.push_back(def);
    names_[std::u16string(def->name())].insert(defs_.size() - 1);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  def->set_owner(this, defs_.size() - 1);
  return S_OK;
}

OItemDef* OItemDefs::Find(std::u16string_view name) const {
  auto it = names_.find(std::u16string(name));
  if (it == names_.end() || it->second.empty()) return nullptr;
  return defs_[*it->second.begin()].Get();
}

void OItemDefs::Renamed(std::size_t position, std::u16string_view from, std::u16string_view to) {
  auto it = names_.find(std::u16string(from));
  if (it != names_.end()) {
    it->second.erase(position);
    if (it->second.empty()) names_.erase(it);
  }
  names_[std::u16string(to)].insert(position);
}

HRESULT OItemDefs::CreateItemDef(BSTR sName, IOItemDef** ppItemDef) {
  if (!ppItemDef) return E_POINTER;
  *ppItemDef = nullptr;
  if (!sName) return E_POINTER;
  if (Find(View(sName))) return STG_E_FILEALREADYEXISTS;
  ComPtr<OItemDef> def;
  HRESULT hr = xcom::MakeComponent(Module(), &def);
  if (FAILED(hr)) return hr;
  def->set_name(View(sName));
  hr = Push(def);
  if (FAILED(hr)) return hr;
  *ppItemDef = def.Detach();
  return S_OK;
}

HRESULT OItemDefs::Delete(VARIANT) { return S_OK; }

HRESULT OItemDefs::Append(IOItemDef* pItemDef) {
  if (!pItemDef || !store_) return E_INVALIDARG;
  DocSession doc(store_.Get());
  ComPtr<IStorage> root;
  HRESULT hr = doc.OpenAt(nullptr, &root);
  if (SUCCEEDED(hr)) hr = Save(root.Get(), TRUE);
  root.Reset();
  return doc.Close(hr);
}

HRESULT OItemDefs::get_Count(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<LONG>(defs_.size());
  return S_OK;
}

HRESULT OItemDefs::Item(VARIANT Index, IOItemDef** ppItemDef) {
  if (!ppItemDef) return E_POINTER;
  *ppItemDef = nullptr;
  OItemDef* def = nullptr;
  LONG position = 0;
  std::u16string_view name;
  if (IndexPosition(Index, &position)) {
    if (position < 1 || static_cast<std::size_t>(position) > defs_.size()) return E_INVALIDARG;
    def = defs_[position - 1].Get();
  } else if (IndexString(Index, &name)) {
    def = Find(name);
    if (!def) return E_INVALIDARG;
  } else {
    return E_INVALIDARG;
  }
  def->AddRef();
  *ppItemDef = def;
  return S_OK;
}

HRESULT OItemDefs::SetIOKYPStore(IOKYPStore* pStore) {
  store_ = ComPtr<IOKYPStore>(pStore);
  return S_OK;
}

HRESULT OItemDefs::SetIOKYPInternal(IOKYPInternal*) { return S_OK; }

HRESULT OItemDefs::Save(IStorage* pStgSave, BOOL) {
  if (!pStgSave) return E_POINTER;
  // The count is 16-bit in the file: more definitions could not be read back.
  if (defs_.size() > static_cast<std::size_t>(std::numeric_limits<SHORT>::max())) return DISP_E_OVERFLOW;
  ComPtr<IStream> stream;
  HRESULT hr = cfb::CreateStreamNamed(pStgSave, kItemDefStream, kCreateMode, stream.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  StreamWriter out(stream.Get());
  if (!defs_.empty()) out.I16(static_cast<SHORT>(defs_.size()));
  for (const auto& d : defs_) d->WriteTo(out);
  return out.Flush();
}

// Replaces the definitions by the file's. The first failure ends the load and is its
// result; a list that cannot be read whole leaves no definitions.
HRESULT OItemDefs::Load(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  Clear();
  ComPtr<IStream> stream;
  HRESULT hr = cfb::OpenStreamNamed(pStg, kItemDefStream, kReadMode, stream.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  StreamReader in(stream.Get());
  hr = in.Start();
  if (FAILED(hr)) return hr;
  if (in.remaining() == 0) return S_OK;  // a document without definitions
  SHORT count = 0;
  hr = in.I16(&count);
  if (FAILED(hr)) return hr;
  if (count < 0 || static_cast<std::uint64_t>(count) * kMinItemDefBytes > in.remaining()) return E_FAIL;
  for (SHORT i = 0; i < count && SUCCEEDED(hr); ++i) {
    ComPtr<OItemDef> def;
    hr = xcom::MakeComponent(Module(), &def);
    if (SUCCEEDED(hr)) hr = def->Load(stream.Get());
    if (SUCCEEDED(hr)) hr = Push(def);
  }
  if (FAILED(hr)) Clear();
  return hr;
}

}  // namespace kyp
