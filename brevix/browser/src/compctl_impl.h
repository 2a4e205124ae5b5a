// CompCtl, the catalog browser control: the control object with its catalog document, its
// window and panes, the event connection point and the ICompCtl members.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browserrules.h"
#include "compctl.h"
#include "ostorage.h"
#include "xcom/connpoint.h"
#include "xcom/control.h"
#include "xcom/dispatch.h"
#include "xcom/persist.h"

struct IEnumSTATSTG;
class QModelIndex;
class QStandardItem;
class QSystemTrayIcon;

namespace brevix {

class CtlWindow;
class CompCtl;

// The catalog's own elements, which the panes never show: the item stream, the header and
// the long-name map.
bool IsReservedElement(std::u16string_view element);

// Lists an enumerator's elements to fn(name, type), borrowing the names where the
// compound-file layer lends them (no copy of each name); the first failure is the answer.
HRESULT ForEachElement(IEnumSTATSTG* en, const std::function<void(std::u16string_view name, DWORD type)>& fn);

// The record callback of a listing walk (SetSelectedItem with source 1): it fills the list of
// the control that runs the walk on this thread (WalkTarget).
LONG ListWalkRecord(BSTR folderPath, ItemRecord* record, LONG hitCount);
class WalkTarget {
 public:
  explicit WalkTarget(CompCtl& c);
  ~WalkTarget();
  static CompCtl* Current();

 private:
  CompCtl* previous_;
};

class CompCtl : public xcom::DispatchImpl<CompCtl, ICompCtl>,
                public IConnectionPointContainer,
                public IControlWindow,
                public IPersistStreamInit {
 public:
  CompCtl();
  virtual ~CompCtl();
  CompCtl(const CompCtl&) = delete;
  CompCtl& operator=(const CompCtl&) = delete;

  HRESULT FinalConstruct();
  void* GetInterface(REFIID iid) {
    return xcom::FindInterface<ICompCtl, xcom::Via<IDispatch, ICompCtl>, IConnectionPointContainer,
                               IControlWindow, IPersistStreamInit, xcom::Via<IPersist, IPersistStreamInit>>(this,
                                                                                                          iid);
  }
  static const xcom::DispatchTable<CompCtl>& GetDispatchTable();

  // ICompCtl
  HRESULT get_DocFileName(BSTR* pVal) override;
  HRESULT put_DocFileName(BSTR newVal) override;
  HRESULT Refresh() override;
  HRESULT FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate, SHORT srchType,
                   LONG lpCallbackFnPtr) override;
  HRESULT GetSelectedItem(SHORT iSource, VARIANT* pData) override;
  HRESULT SetItemNote(BSTR sPath, BSTR sNote, SHORT itmType, BSTR recurNote, LONG bRecursive) override;
  HRESULT Rename(SHORT iControl) override;
  HRESULT CreateBackup(BSTR bstrName) override;
  HRESULT ShowInSysTray(SHORT iShow) override;
  HRESULT GetPossibleDrives(BSTR* bstrFloppy, BSTR* bstrZip, BSTR* bstrCD) override;
  HRESULT get_MasterPassword(BSTR* pVal) override;
  HRESULT put_MasterPassword(BSTR newVal) override;
  HRESULT get_UserPassword(BSTR* pVal) override;
  HRESULT put_UserPassword(BSTR newVal) override;
  HRESULT get_AllowDelete(LONG* pVal) override;
  HRESULT put_AllowDelete(LONG newVal) override;
  HRESULT GetItemInfo(BSTR bstrPath, VARIANT* pData) override;
  HRESULT SetSelectedItem(BSTR itmPath, SHORT iSource) override;
  HRESULT BrowseForFolder(BSTR bstrIniPath, BSTR* bstrRetPath) override;
  HRESULT get_ControlType(enControlType* pVal) override;
  HRESULT put_ControlType(enControlType newVal) override;
  HRESULT PrintText(LONG hDC, BSTR sText, INT angle, LONG left, LONG top, LONG right, LONG bott, BSTR fnName,
                    SHORT fnSize, LONG fnItal, LONG fnBold, LONG fnUnder, OLE_COLOR color) override;
  // The dispatch form of PrintText: a colour arrives as any 32-bit value.
  HRESULT DispPrintText(LONG hDC, BSTR sText, INT angle, LONG left, LONG top, LONG right, LONG bott, BSTR fnName,
                        SHORT fnSize, LONG fnItal, LONG fnBold, LONG fnUnder, LONG color);

  // IConnectionPointContainer
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  // IControlWindow
  HRESULT CreateControlWindow(void* parentQWidget, void** ppQWidget) override;

  // IPersistStreamInit: "_cx", "_cy", "DocFileName", "ControlType", in this order.
  HRESULT GetClassID(CLSID* pClassID) override;
  HRESULT IsDirty() override;
  HRESULT Load(LPSTREAM pStm) override;
  HRESULT Save(LPSTREAM pStm, BOOL fClearDirty) override;
  HRESULT GetSizeMax(ULARGE_INTEGER* pCbSize) override;
  HRESULT InitNew() override;

  // ---- What the window reports (ctlwindow.cpp calls these)
  void OnWindowCreated();
  void OnWindowDestroyed();
  void OnResize(int cx, int cy);
  void OnSplitterDropped(int p);
  bool SplitterActive() const { return controlType_ == TWO_PANE; }
  // Tree pane
  void OnTreePressed();
  void OnTreeDoubleClicked();
  void OnTreeRightReleased(const QModelIndex& hit);
  void OnTreeSelectionChanged();
  bool OnTreeBeginEdit(const QModelIndex& index);
  bool OnTreeEndEdit(const QModelIndex& index, const QString& text);
  void OnTreeKey(int qtKey);
  // List pane
  void OnListClicked();
  void OnListDoubleClicked(int row);
  void OnListRightReleased();
  void OnListColumnClicked(int column);
  bool OnListBeginEdit(int row);
  bool OnListEndEdit(int row, const QString& text);
  void OnListKey(int qtKey);
  // Tray icon
  void OnTrayActivated(LONG mouseMessage);

  // ---- For the record callback of a listing walk
  LONG AppendWalkRecord(std::u16string_view folderText, const ItemRecord* record, LONG count);

 private:
  friend class DocSession;

  // Opens the document for the length of a call; nested opens are counted, so a sink that
  // calls back in during an event does not close it under the caller.
  class DocSession {
   public:
    explicit DocSession(CompCtl& c);
    ~DocSession();
    HRESULT status() const { return hr_; }
    bool ok() const { return SUCCEEDED(hr_); }

   private:
    CompCtl& c_;
    HRESULT hr_ = E_FAIL;
  };
  // Marks a walk over the panes; a second one started from inside it (a sink calling back)
  // is refused with STG_E_INUSE.
  class BusyScope {
   public:
    explicit BusyScope(CompCtl& c) : c_(c) { ++c_.busy_; }
    ~BusyScope() { --c_.busy_; }

   private:
    CompCtl& c_;
  };

  bool HasDocument() const { return doc_ && !fileName_.empty(); }
  IUnknown* Self() { return static_cast<ICompCtl*>(this); }
  void Fire(DISPID id, std::span<VARIANT> args);
  void FireI2(DISPID id, SHORT v);

  // Tree pane (compctl_tree.cpp)
  QStandardItem* InsertRoot();
  HRESULT LoadChildren(SHORT location, QStandardItem* parent);
  int BuildSelectionPath(std::u16string* path);
  QStandardItem* SelectedTreeItem() const;
  QStandardItem* FindChild(QStandardItem* item, const std::u16string& text) const;
  HRESULT SelectByPath(const std::u16string& path);
  void SelectTreeItem(QStandardItem* item);
  void ReloadTree();
  void ClearPanes();
  void ResetSelectionRecord(const std::u16string& name);
  // The tree item the catalog path names exactly; none when a piece is missing.
  QStandardItem* TreeItemAt(const std::u16string& path) const;
  // Whether a disk may be renamed to `name`: a name the add-disk dialog takes, and one no other
  // disk has; otherwise the user is told why not.
  bool MayNameDisk(const std::u16string& name);
  HRESULT RenameDisk(const std::u16string& oldName, const std::u16string& newName, int mode);
  void DeleteTreeSelection();

  // List pane (compctl_list.cpp)
  void BuildColumns();
  HRESULT FillList(SHORT location, const std::u16string& folderPath);
  void DeleteListSelection();
  int ListSelectionRow() const;
  // The catalog path of the item a row shows.
  std::u16string PathOfRow(const ListEntry& entry);

  // Services (compctl_services.cpp)
  void RemoveTrayIcon();

  // Members shared by the interface and the panes (compctl.cpp)
  HRESULT ReadSelectedItem(SHORT source, VARIANT* pData);
  HRESULT NoteWalk(const std::u16string& note);

  xcom::ConnectionPoint events_;
  xcom::ComPtr<IOStorageInternal> doc_;
  std::u16string fileName_;
  QPointer<CtlWindow> window_;
  QSystemTrayIcon* tray_ = nullptr;

  int columnCount_ = -1;
  int savedSplitter_ = -1;
  bool directions_[6] = {true, false, false, false, false, false};
  int sortKey_ = 100;
  int sortColumn_ = 0;
  int viewMode_ = VIEW_FOLDER;
  bool reloading_ = false;
  std::optional<std::u16string> savedTreePath_;
  std::optional<SubtreeFolders> subtree_;  // while a subtree listing walks
  ItemRecord selection_;
  LONG allowDelete_ = 1;
  enControlType controlType_ = TWO_PANE;
  ULONG extentCx_ = 600;
  ULONG extentCy_ = 347;
  bool dirty_ = false;

  int openDepth_ = 0;
  int busy_ = 0;
  unsigned treeGeneration_ = 0;  // counts tree reloads and clears: an event handler checks it
};

}  // namespace brevix
