// Nodes: ONode (a named node typed by an item definition, with a header and field values in
// a storage of its own) and ONodes (the nodes under one parent path).
#pragma once

#include <vector>

#include "fields.h"

namespace kyp {

class ONodes;

// The root's services as a collection or node holds them.
struct Connection {
  ComPtr<IOKYPStore> store;
  ComPtr<IOKYPInternal> internal;
};

class ONode : public xcom::DispatchImpl<ONode, IONode>,
              public IKYPConnect,
              public PersistStorageBase<ONode> {
 public:
  static constexpr const CLSID& kClassId = CLSID_ONode;
  static const xcom::DispatchTable<ONode>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS
  HRESULT FinalConstruct();

  // IONode
  HRESULT get_Name(BSTR* pVal) override;
  HRESULT put_Name(BSTR newVal) override;
  HRESULT get_Caption(BSTR* pVal) override;
  HRESULT put_Caption(BSTR newVal) override;
  HRESULT get_ItemDef(BSTR* pVal) override;
  HRESULT put_ItemDef(BSTR newVal) override;
  HRESULT get_Picture(SHORT* pVal) override;
  HRESULT put_Picture(SHORT newVal) override;
  HRESULT get_Fields(IOFields** pVal) override;
  HRESULT get_FullPath(BSTR* pVal) override;
  HRESULT put_FullPath(BSTR newVal) override;
  HRESULT Edit() override;
  HRESULT Update() override;
  HRESULT get_Nodes(IONodes** pVal) override;

  // IKYPConnect: the node and its child collection.
  HRESULT SetIOKYPStore(IOKYPStore* pStore) override;
  HRESULT SetIOKYPInternal(IOKYPInternal* pInternal) override;

  // IPersistStorage: "__NODE_HEADER_" and the values, in the node's storage.
  HRESULT Load(IStorage* pStg) override;
  HRESULT Save(IStorage* pStgSave, BOOL fSameAsLoad) override;

  void Connect(const Connection& c);

 private:
  HRESULT LoadPendingValues();

  xcom::Bstr name_;
  xcom::Bstr caption_;
  xcom::Bstr itemDef_;
  xcom::Bstr fullPath_;
  SHORT picture_ = 0;
  ComPtr<IOFields> fields_;  // the item definition's fields, attached
  ComPtr<ONodes> children_;
  Connection c_;
  bool valuesPending_ = false;
  bool editing_ = false;
};

class ONodes : public xcom::DispatchImpl<ONodes, IONodes>, public IKYPConnect {
 public:
  static const xcom::DispatchTable<ONodes>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS

  // IONodes
  HRESULT Append(IONode* ppNode) override;
  HRESULT Remove(VARIANT Index) override;
  HRESULT CreateNode(BSTR nodeName, BSTR ItemDef, IONode** ppNode) override;
  HRESULT ReadNodeNames(BSTR sPath) override;
  HRESULT get_Count(LONG* pVal) override;
  HRESULT put_Count(LONG newVal) override;
  HRESULT SetParentNodePath(BSTR bstrPath) override;
  HRESULT Item(VARIANT Index, IONode** ppNode) override;

  // IKYPConnect
  HRESULT SetIOKYPStore(IOKYPStore* pStore) override;
  HRESULT SetIOKYPInternal(IOKYPInternal* pInternal) override;

  void set_parent_path(std::u16string_view path) { parentPath_ = xcom::Bstr(path); }

 private:
  HRESULT MakeNode(ComPtr<ONode>* node);
  HRESULT CountChildNodes();

  std::vector<ComPtr<ONode>> nodes_;
  xcom::Bstr parentPath_;
  LONG cachedCount_ = 0;
  Connection c_;
};

}  // namespace kyp
