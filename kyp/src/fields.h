// Fields: OField (one typed field of an item definition, with the value of the node that
// uses it last) and OFields (the ordered field set of one item definition, shared by every
// node of that definition).
#pragma once

#include <unordered_map>
#include <vector>

#include "internal.h"

namespace kyp {

class OFields;
class StreamWriter;

// The stream persistence members that only answer: IsDirty S_FALSE, GetSizeMax E_NOTIMPL.
template <class C>
class PersistStreamBase : public IPersistStreamInit {
 public:
  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = C::kClassId;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

 protected:
  ~PersistStreamBase() = default;
};

// The storage persistence members that only answer S_OK.
template <class C>
class PersistStorageBase : public IPersistStorage {
 public:
  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = C::kClassId;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_OK; }
  HRESULT InitNew(IStorage*) override { return S_OK; }
  HRESULT SaveCompleted(IStorage*) override { return S_OK; }
  HRESULT HandsOffStorage() override { return S_OK; }

 protected:
  ~PersistStorageBase() = default;
};

class OField : public xcom::DispatchImpl<OField, IOField>, public PersistStreamBase<OField> {
 public:
  static constexpr const CLSID& kClassId = CLSID_OField;
  static const xcom::DispatchTable<OField>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS

  OField() = default;
  ~OField();

  // IOField
  HRESULT get_Size(ULONG* pVal) override;
  HRESULT get_Type(SHORT* pVal) override;
  HRESULT get_Name(BSTR* pVal) override;
  HRESULT put_Name(BSTR newVal) override;
  HRESULT get_Value(VARIANT* pVal) override;
  HRESULT put_Value(VARIANT newVal) override;
  HRESULT get_Position(LONG* pVal) override;
  HRESULT put_Position(LONG newVal) override;
  HRESULT SetRole(SHORT iRole) override;

  // IPersistStreamInit: in the definition role the field's definition record (type, size,
  // name), in the value role its value in the form of its type.
  HRESULT Load(IStream* pStm) override;
  HRESULT Save(IStream* pStm, BOOL fClearDirty) override;
  HRESULT InitNew() override;

  // For the field collection.
  void Define(std::u16string_view name, SHORT type, LONGLONG size);
  void WriteDefinition(StreamWriter& out) const;
  std::u16string_view name() const { return View(name_.Get()); }
  SHORT type() const { return type_; }
  LONGLONG size() const { return size_; }
  void set_offset(LONG offset) { offset_ = offset; }
  void set_role(SHORT role) { role_ = role; }
  void set_owner(OFields* owner) { owner_ = owner; }

 private:
  xcom::Bstr name_;
  SHORT type_ = 0;
  LONGLONG size_ = 0;
  LONG offset_ = 0;  // the sizes of the fields before it in its definition
  SHORT role_ = kypValueRole;
  xcom::Variant value_;
  OFields* owner_ = nullptr;  // the collection whose name index counts this field
};

class OFields : public xcom::DispatchImpl<OFields, IOFields>,
                public PersistStorageBase<OFields>,
                public PersistStreamBase<OFields> {
 public:
  static constexpr const CLSID& kClassId = CLSID_OFields;
  static const xcom::DispatchTable<OFields>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS

  OFields() = default;
  ~OFields();

  // IOFields
  HRESULT Add(BSTR fldName, SHORT fldType, LONG Size, IOField** ppField) override;
  HRESULT Remove(VARIANT fldIndex) override;
  HRESULT SetRole(SHORT iRole) override;
  HRESULT get_Count(LONG* pVal) override;
  HRESULT Item(VARIANT Index, IOField** ppField) override;

  // IPersistStorage: the node's values, "__NODE_DATA_" and the "_F_" streams of its storage.
  HRESULT Load(IStorage* pStg) override;
  HRESULT Save(IStorage* pStgSave, BOOL fSameAsLoad) override;

  // IPersistStreamInit: the definition list, the field count and one record per field.
  HRESULT Load(IStream* pStm) override;
  HRESULT Save(IStream* pStm, BOOL fClearDirty) override;
  HRESULT InitNew() override { return S_OK; }
  using PersistStorageBase<OFields>::InitNew;  // IPersistStorage's, beside IPersistStreamInit's

  // The definition list into a writer (the definition records whatever the fields' roles).
  void WriteDefinitions(StreamWriter& out) const;
  // A field of the collection was renamed.
  void Renamed(std::u16string_view from, std::u16string_view to);

 private:
  void Clear();
  void Index(std::u16string_view name);
  void Unindex(std::u16string_view name);

  std::vector<ComPtr<OField>> fields_;
  std::unordered_map<std::u16string, std::size_t> names_;  // how many fields bear each name
  SHORT role_ = kypValueRole;
};

}  // namespace kyp
