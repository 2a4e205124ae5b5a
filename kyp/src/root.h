// The document root VemraKYP: the file's name, the open root storage, the current folder
// and the stack of folders opened below it, and the document's item definitions and nodes.
#pragma once

#include <vector>

#include "itemdefs.h"
#include "nodes.h"

namespace kyp {

class VemraKYP;

// The root's store and internal services as its collections and nodes hold them. They keep
// this link alive, not the root: once the root is gone the link answers E_UNEXPECTED, so a
// node kept past its document fails cleanly instead of reaching a destroyed root.
class StoreLink : public IOKYPStore, public IOKYPInternal {
 public:
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS

  explicit StoreLink(VemraKYP* root) : root_(root) {}
  void Detach() { root_ = nullptr; }

  HRESULT OpenDoc(BSTR fileName, SHORT* pbAlreadyOpened, IStorage** ppStorage) override;
  HRESULT CloseDoc() override;
  HRESULT SetCurrentFolder(BSTR bstrPath, SHORT iLocation, IStorage** ppStorage) override;
  HRESULT GetFields(BSTR ItemDef, IOFields** ppFields) override;
  HRESULT GetParent(IONode** ppNode) override;
  HRESULT GetRoot(IONode** ppNode) override;

 private:
  VemraKYP* root_;
};

class VemraKYP : public xcom::DispatchImpl<VemraKYP, IVemraKYP>,
                 public IOKYPStore,
                 public IOKYPInternal,
                 public IConnectionPointContainer {
 public:
  static const xcom::DispatchTable<VemraKYP>& GetDispatchTable();
  void* GetInterface(REFIID iid);
  KYP_IUNKNOWN_MEMBERS
  HRESULT FinalConstruct();
  ~VemraKYP();

  // IVemraKYP
  HRESULT get_DocName(BSTR* pVal) override;
  HRESULT put_DocName(BSTR newVal) override;
  HRESULT get_ItemDefs(IOItemDefs** pVal) override;
  HRESULT get_Nodes(IONodes** pVal) override;

  // IOKYPStore
  HRESULT OpenDoc(BSTR fileName, SHORT* pbAlreadyOpened, IStorage** ppStorage) override;
  HRESULT CloseDoc() override;
  HRESULT SetCurrentFolder(BSTR bstrPath, SHORT iLocation, IStorage** ppStorage) override;

  // IOKYPInternal
  HRESULT GetFields(BSTR ItemDef, IOFields** ppFields) override;
  HRESULT GetParent(IONode** ppNode) override;
  HRESULT GetRoot(IONode** ppNode) override;

  // IConnectionPointContainer: the events interface has no members and no point is offered.
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

 private:
  HRESULT OpenFile(BSTR name, bool createMissing);
  HRESULT Push(ComPtr<IStorage> folder);
  void ReleaseFolders();
  HRESULT WalkPath(BSTR path, IStorage** ppStorage);
  HRESULT Current(IStorage** ppStorage);

  xcom::Bstr docName_;
  ComPtr<IStorage> root_;
  IStorage* current_ = nullptr;  // the root or the top of folders_
  // How the open file's folders are opened: read-write, or read-only for a file that cannot be
  // written (a template on a read-only medium).
  DWORD openMode_ = kOpenMode;
  std::vector<ComPtr<IStorage>> folders_;
  ComPtr<OItemDefs> itemDefs_;
  ComPtr<ONodes> nodes_;
  ComPtr<StoreLink> link_;
};

}  // namespace kyp
