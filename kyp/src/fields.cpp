// Fields: OField (one typed field with the value of the node that uses it last) and OFields.
#include "fields.h"

#include <limits>

#include "streamio.h"

namespace kyp {

// The smallest definition record: type (2), size (8) and a null name (4).
constexpr std::uint64_t kMinDefinitionBytes = 14;

// ---------------------------------------------------------------------------------------------
// OField

const xcom::DispatchTable<OField>& OField::GetDispatchTable() {
  using M = xcom::Member<OField>;
  static const xcom::DispatchTable<OField> table{
      M::PropertyGet<&IOField::get_Size>("Size", 1),
      M::PropertyGet<&IOField::get_Type>("Type", 2),
      M::PropertyGet<&IOField::get_Name>("Name", 3),
      M::PropertyPut<&IOField::put_Name>("Name", 3),
      M::PropertyGet<&IOField::get_Value>("Value", 4),
      M::PropertyPut<&IOField::put_Value>("Value", 4),
      M::PropertyGet<&IOField::get_Position>("Position", 5),
      M::PropertyPut<&IOField::put_Position>("Position", 5),
      M::Method<&IOField::SetRole>("SetRole", 6),
  };
  return table;
}

void* OField::GetInterface(REFIID iid) {
  return xcom::FindInterface<IOField, xcom::Via<IDispatch, IOField>, xcom::Via<IPersist, IPersistStreamInit>,
                             IPersistStreamInit>(this, iid);
}

OField::~OField() = default;

HRESULT OField::get_Size(ULONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<ULONG>(static_cast<std::uint64_t>(size_) & 0xFFFFFFFFu);
  return S_OK;
}

HRESULT OField::get_Type(SHORT* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = type_;
  return S_OK;
}

HRESULT OField::get_Name(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  return CopyOut(name_, pVal);
}

HRESULT OField::put_Name(BSTR newVal) {
  std::u16string old(name());
  HRESULT hr = CopyIn(newVal, &name_);
  if (SUCCEEDED(hr) && owner_) owner_->Renamed(old, name());
  return hr;
}

HRESULT OField::get_Value(VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  VariantInit(pVal);
  return VariantCopy(pVal, &value_);
}

HRESULT OField::put_Value(VARIANT newVal) {
  // The value is kept as given (a reference is read through, so nothing of the caller's
  // is held); it takes the field's type when the node is saved.
  HRESULT hr = (newVal.vt & VT_BYREF) ? VariantCopyInd(&value_, &newVal) : VariantCopy(&value_, &newVal);
  if (FAILED(hr)) {
    VariantClear(&value_);
    value_.scode = hr;
    value_.vt = VT_ERROR;
  }
  return hr;
}

HRESULT OField::get_Position(LONG* pVal) {
  if (pVal) *pVal = 0;
  return S_OK;
}

HRESULT OField::put_Position(LONG) { return S_OK; }

HRESULT OField::SetRole(SHORT iRole) {
  if (iRole != kypValueRole && iRole != kypDefinitionRole) return E_INVALIDARG;
  role_ = iRole;
  return S_OK;
}

void OField::Define(std::u16string_view name, SHORT type, LONGLONG size) {
  name_ = xcom::Bstr(name);
  type_ = type;
  size_ = size;
}

void OField::WriteDefinition(StreamWriter& out) const {
  out.I16(type_);
  out.I64(size_);
  out.String(name_.Get());
}

HRESULT OField::Load(IStream* pStm) {
  if (!pStm) return E_POINTER;
  StreamReader in(pStm);
  HRESULT hr = in.Start();
  if (FAILED(hr)) return hr;
  if (role_ == kypDefinitionRole) {
    SHORT type = 0;
    LONGLONG size = 0;
    xcom::Bstr name;
    hr = in.I16(&type);
    if (SUCCEEDED(hr)) hr = in.I64(&size);
    if (SUCCEEDED(hr)) hr = in.String(&name);
    if (FAILED(hr)) return hr;
    std::u16string old(this->name());
    type_ = type;
    size_ = size;
    name_ = std::move(name);
    if (owner_) owner_->Renamed(old, this->name());
    return S_OK;
  }
  xcom::Variant value;
  hr = ReadFieldValue(in, type_, &value);
  if (FAILED(hr)) return hr;
  value_ = std::move(value);
  return S_OK;
}

HRESULT OField::Save(IStream* pStm, BOOL) {
  if (!pStm) return E_POINTER;
  StreamWriter out(pStm);
  if (role_ == kypDefinitionRole) {
    WriteDefinition(out);
  } else {
    HRESULT hr = WriteFieldValue(out, type_, value_);
    if (FAILED(hr)) return hr;
  }
  return out.Flush();
}

HRESULT OField::InitNew() {
  VariantClear(&value_);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// OFields

const xcom::DispatchTable<OFields>& OFields::GetDispatchTable() {
  using M = xcom::Member<OFields>;
  using xcom::In;
  using xcom::Retval;
  static const xcom::DispatchTable<OFields> table{
      M::Method<&IOFields::Add>("Add", 1, {In(VT_BSTR), In(VT_I2), In(VT_I4), Retval(VT_DISPATCH)}),
      M::Method<&IOFields::Remove>("Remove", 2),
      M::Method<&IOFields::SetRole>("SetRole", 3),
      M::PropertyGet<&IOFields::get_Count>("Count", 4),
      M::Method<&IOFields::Item>("Item", DISPID_VALUE, {In(VT_VARIANT), Retval(VT_DISPATCH)}),
  };
  return table;
}

void* OFields::GetInterface(REFIID iid) {
  return xcom::FindInterface<IOFields, xcom::Via<IDispatch, IOFields>, xcom::Via<IPersist, IPersistStorage>,
                             IPersistStorage, IPersistStreamInit>(this, iid);
}

OFields::~OFields() {
  for (auto& f : fields_) f->set_owner(nullptr);
}

void OFields::Index(std::u16string_view name) { ++names_[std::u16string(name)]; }

void OFields::Unindex(std::u16string_view name) {
  auto it = names_.find(std::u16string(name));
  if (it != names_.end() && --it->second == 0) names_.erase(it);
}

void OFields::Renamed(std::u16string_view from, std::u16string_view to) {
  Unindex(from);
  Index(to);
}

void OFields::Clear() {
  for (auto& f : fields_) f->set_owner(nullptr);
  fields_.clear();
  names_.clear();
}

HRESULT OFields::Add(BSTR fldName, SHORT fldType, LONG Size, IOField** ppField) {
  if (!ppField) return E_POINTER;
  *ppField = nullptr;
  if (role_ == kypValueRole) return E_NOTIMPL;
  if (!fldName) return E_INVALIDARG;
  if (names_.count(std::u16string(View(fldName)))) return STG_E_FILEALREADYEXISTS;
  ComPtr<OField> field;
  HRESULT hr = xcom::MakeComponent(Module(), &field);
  if (FAILED(hr)) return hr;
  field->Define(View(fldName), fldType, static_cast<LONGLONG>(Size));
  field->set_role(kypDefinitionRole);
  field->set_owner(this);
  try {
    fields_.push_back(field);
    Index(field->name());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *ppField = field.Detach();
  return S_OK;
}

HRESULT OFields::Remove(VARIANT fldIndex) {
  if (role_ == kypValueRole) return E_NOTIMPL;
  LONG position = 0;
  if (!IndexPosition(fldIndex, &position)) return S_OK;
  if (position < 1 || static_cast<std::size_t>(position) > fields_.size()) return E_INVALIDARG;
  auto it = fields_.begin() + (position - 1);
  Unindex((*it)->name());
  (*it)->set_owner(nullptr);
  fields_.erase(it);
  return S_OK;
}

HRESULT OFields::SetRole(SHORT iRole) {
  if (iRole != kypValueRole && iRole != kypDefinitionRole) return E_INVALIDARG;
  role_ = iRole;
  return S_OK;
}

HRESULT OFields::get_Count(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<LONG>(fields_.size());
  return S_OK;
}

HRESULT OFields::Item(VARIANT Index, IOField** ppField) {
  if (!ppField) return E_POINTER;
  *ppField = nullptr;
  LONG position = 0;
  if (!IndexPosition(Index, &position)) return E_INVALIDARG;
  if (position < 1 || static_cast<std::size_t>(position) > fields_.size()) return E_INVALIDARG;
  OField* field = fields_[position - 1].Get();
  field->set_role(role_);
  field->AddRef();
  *ppField = field;
  return S_OK;
}

// A node's values. Every value is cleared first, so that a field the node does not hold
// reads as empty instead of keeping another node's value. "__NODE_DATA_" is read in field
// order; after a failure in it the rest of it is not read (it would be read out of step),
// while the fields with streams of their own are still loaded. The first failure is the
// result.
HRESULT OFields::Load(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  role_ = kypValueRole;
  for (auto& f : fields_) {
    f->set_role(kypValueRole);
    f->InitNew();
  }
  ComPtr<IStream> data;
  HRESULT hr = cfb::OpenStreamNamed(pStg, kNodeDataStream, kReadMode, data.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  HRESULT first = S_OK;
  bool inStep = true;
  for (auto& f : fields_) {
    if (HasOwnStream(f->type())) {
      ComPtr<IStream> own;
      std::u16string name = std::u16string(kFieldStreamPrefix) + std::u16string(f->name());
      hr = cfb::OpenStreamNamed(pStg, name, kReadMode, own.ReleaseAndGetAddressOf());
      if (SUCCEEDED(hr)) hr = f->Load(own.Get());
    } else if (inStep) {
      hr = f->Load(data.Get());
      if (FAILED(hr)) inStep = false;
    } else {
      continue;
    }
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  return first;
}

HRESULT OFields::Save(IStorage* pStgSave, BOOL) {
  if (!pStgSave) return E_POINTER;
  ComPtr<IStream> data;
  HRESULT hr = cfb::CreateStreamNamed(pStgSave, kNodeDataStream, kCreateMode, data.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  for (auto& f : fields_) {
    f->set_role(kypValueRole);
    if (HasOwnStream(f->type())) {
      ComPtr<IStream> own;
      std::u16string name = std::u16string(kFieldStreamPrefix) + std::u16string(f->name());
      hr = cfb::CreateStreamNamed(pStgSave, name, kCreateMode, own.ReleaseAndGetAddressOf());
      if (SUCCEEDED(hr)) hr = f->Save(own.Get(), TRUE);
    } else {
      hr = f->Save(data.Get(), TRUE);
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

void OFields::WriteDefinitions(StreamWriter& out) const {
  out.I32(static_cast<LONG>(fields_.size()));
  for (const auto& f : fields_) f->WriteDefinition(out);
}

HRESULT OFields::Save(IStream* pStm, BOOL) {
  if (!pStm) return E_POINTER;
  StreamWriter out(pStm);
  WriteDefinitions(out);
  return out.Flush();
}

HRESULT OFields::Load(IStream* pStm) {
  if (!pStm) return E_POINTER;
  Clear();
  role_ = kypDefinitionRole;
  StreamReader in(pStm);
  HRESULT hr = in.Start();
  LONG count = 0;
  if (SUCCEEDED(hr)) hr = in.I32(&count);
  if (FAILED(hr)) return hr;
  if (count < 0 || static_cast<std::uint64_t>(count) * kMinDefinitionBytes > in.remaining()) return E_FAIL;
  std::uint64_t offset = 0;
  try {
    fields_.reserve(static_cast<std::size_t>(count));
    for (LONG i = 0; i < count; ++i) {
      ComPtr<OField> field;
      hr = xcom::MakeComponent(Module(), &field);
      if (FAILED(hr)) break;
      field->set_role(kypDefinitionRole);
      hr = field->Load(pStm);
      if (FAILED(hr)) break;
      field->set_offset(static_cast<LONG>(static_cast<std::uint32_t>(offset)));
      offset += static_cast<std::uint64_t>(field->size());
      field->set_owner(this);
      fields_.push_back(field);
      Index(field->name());
    }
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) Clear();
  return hr;
}

}  // namespace kyp
