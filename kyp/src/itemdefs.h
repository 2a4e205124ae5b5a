// Item definitions: OItemDef (a named field set) and OItemDefs (the document's definitions,
// kept in the root's "__ITEMDEF0__" stream).
#pragma once

#include <set>
#include <unordered_map>
#include <vector>

#include "fields.h"

namespace kyp {

class OItemDefs;

class OItemDef : public xcom::DispatchImpl<OItemDef, IOItemDef>, public PersistStreamBase<OItemDef> {
 public:
  static constexpr const CLSID& kClassId = CLSID_OItemDef;
  static const xcom::DispatchTable<OItemDef>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS
  HRESULT FinalConstruct();

  // IOItemDef
  HRESULT get_Fields(IOFields** pVal) override;
  HRESULT get_Name(BSTR* pVal) override;
  HRESULT put_Name(BSTR newVal) override;

  // IPersistStreamInit: the name, then the field list.
  HRESULT Load(IStream* pStm) override;
  HRESULT Save(IStream* pStm, BOOL fClearDirty) override;
  HRESULT InitNew() override { return S_OK; }

  void WriteTo(StreamWriter& out) const;
  std::u16string_view name() const { return View(name_.Get()); }
  void set_name(std::u16string_view name) { name_ = xcom::Bstr(name); }
  void set_owner(OItemDefs* owner, std::size_t position) {
    owner_ = owner;
    position_ = position;
  }

 private:
  xcom::Bstr name_;
  ComPtr<OFields> fields_;
  OItemDefs* owner_ = nullptr;  // the collection whose name index holds this definition
  std::size_t position_ = 0;
};

class OItemDefs : public xcom::DispatchImpl<OItemDefs, IOItemDefs>,
                  public IKYPConnect,
                  public PersistStorageBase<OItemDefs> {
 public:
  static constexpr const CLSID& kClassId = CLSID_OItemDefs;
  static const xcom::DispatchTable<OItemDefs>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS

  ~OItemDefs();

  // IOItemDefs
  HRESULT CreateItemDef(BSTR sName, IOItemDef** ppItemDef) override;
  HRESULT Delete(VARIANT Index) override;
  HRESULT Append(IOItemDef* pItemDef) override;
  HRESULT get_Count(LONG* pVal) override;
  HRESULT Item(VARIANT Index, IOItemDef** ppItemDef) override;

  // IKYPConnect
  HRESULT SetIOKYPStore(IOKYPStore* pStore) override;
  HRESULT SetIOKYPInternal(IOKYPInternal* pInternal) override;

  // IPersistStorage: "__ITEMDEF0__" in the document's root storage.
  HRESULT Load(IStorage* pStg) override;
  HRESULT Save(IStorage* pStgSave, BOOL fSameAsLoad) override;

  // The definition named exactly `name` (the first of that name), or null.
  OItemDef* Find(std::u16string_view name) const;
  // A definition of the collection was renamed.
  void Renamed(std::size_t position, std::u16string_view from, std::u16string_view to);

 private:
  HRESULT Push(const ComPtr<OItemDef>& def);
  void Clear();

  std::vector<ComPtr<OItemDef>> defs_;
  std::unordered_map<std::u16string, std::set<std::size_t>> names_;  // positions by name
  ComPtr<IOKYPStore> store_;
};

}  // namespace kyp
