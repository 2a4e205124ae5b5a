// OStorage, the catalog document: the open root storage, the stack of folder storages opened
// below it with the current folder, the header values, and the search walk.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogformat.h"
#include "itemmatch.h"
#include "itemstream.h"
#include "longnames.h"
#include "ostorage.h"
#include "scopedflag.h"
#include "stgio.h"
#include "xcom/dispatch.h"

namespace brevix {

// One open storage of the document with its long-name map (read on first use).
struct Frame {
  ComPtr<IStorage> stg;
  std::u16string element;  // its element name in the storage above (empty for the root)
  std::unique_ptr<LongNameMap> names;
};

class OStorage : public xcom::DispatchImpl<OStorage, IOStorageInternal> {
 public:
  OStorage() = default;
  virtual ~OStorage();
  OStorage(const OStorage&) = delete;
  OStorage& operator=(const OStorage&) = delete;

  void* GetInterface(REFIID iid) {
    return xcom::FindInterface<IOStorage, xcom::Via<IDispatch, IOStorage>, IOStorageInternal>(this, iid);
  }
  static const xcom::DispatchTable<OStorage>& GetDispatchTable();

  // IOStorage
  HRESULT LoadDoc(BSTR fileName) override;
  HRESULT SaveDoc(BSTR fileName) override;
  HRESULT AddFolder(BSTR bstrParent, BSTR bstrName, ItemRecord* lpData) override;
  HRESULT SetCurrentFolder(BSTR bstrPath, SHORT Location) override;
  HRESULT CloseDoc(LONG bWriteSerial) override;
  HRESULT EnumElements(SHORT Location, IEnumSTATSTG** pEnum) override;
  HRESULT AddItem(BSTR bstrParent, BSTR bstrName, ItemRecord* lpData) override;
  HRESULT DeleteFile(BSTR bstrParent, BSTR bstrName) override;
  HRESULT DeleteFolder(BSTR bstrName) override;
  HRESULT GetItemInfo(BSTR bstrPath, ItemRecord* pInfo) override;
  HRESULT get_BaseSerialNum(double* pVal) override;
  HRESULT put_BaseSerialNum(double newVal) override;
  HRESULT FindDiskInLibrary(double serialNum, BSTR* pVal) override;
  HRESULT SetItemInfo(BSTR bstrPath, ItemRecord* pInfo) override;
  HRESULT WasItemAccessed(BSTR bstrName, ULONG lowPart, ULONG highPart, LONG* itemType) override;
  HRESULT FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate,
                   SHORT srchType, LONG lpCallbackFnPtr) override;
  HRESULT get_FileVersion(double* pVal) override;
  HRESULT RenameItem(BSTR bstrPath, BSTR bstrOld, BSTR bstrNew) override;
  HRESULT CreateBackup(BSTR fileName) override;
  HRESULT SetDocName(BSTR bstrName) override;
  HRESULT SetPasswords(BSTR bstrMaster, BSTR bstrUser) override;
  HRESULT GetPasswords(BSTR* bstrMaster, BSTR* bstrUser) override;
  HRESULT IsNameUsed(BSTR bstrName, double* pDiskNum) override;
  HRESULT get_mCurStorage(IStorage** pVal) override;

  // IOStorageInternal
  HRESULT LongNameFromElement(const OLECHAR* element, BSTR* longName) override;

  // Dispatch forms of the record methods: the record travels as a token of kind ItemRecord.
  HRESULT DispAddFolder(BSTR bstrParent, BSTR bstrName, LONG record);
  HRESULT DispAddItem(BSTR bstrParent, BSTR bstrName, LONG record);
  HRESULT DispGetItemInfo(BSTR bstrPath, LONG record);
  HRESULT DispSetItemInfo(BSTR bstrPath, LONG record);
  HRESULT DispEnumElements(SHORT Location, IUnknown** pEnum);
  HRESULT DispCurStorage(IUnknown** pVal);

 private:
  // Where a child is (to be) stored: its element name, and whether the long-name map holds
  // the name for it.
  struct Placement {
    std::u16string element;
    bool viaMap = false;
    bool newEntry = false;  // the map gets an entry for the name once the element exists
    WORD id = 0;
  };
  struct Found {
    std::u16string element;
    DWORD type = 0;
    bool viaMap = false;
    WORD id = 0;
    std::u16string twin;  // an element whose name equals the name but for letter case
    WORD staleId = 0;     // a map entry whose element is gone
  };
  enum class Current { None, Root, Top };
  struct SearchRun;

  bool IsOpen() const { return static_cast<bool>(root_.stg); }
  Frame* CurrentFrame();
  HRESULT Names(Frame& f, LongNameMap** map);
  std::u16string ShownName(Frame& f, std::u16string_view element);
  // The same, valid while the map of `f` is unchanged (or, when not a long name, while
  // `element` is).
  std::u16string_view ShownNameView(Frame& f, std::u16string_view element);

  HRESULT OpenRoot();
  HRESULT CloseAllStacked();
  HRESULT PopFrame();
  void PushFrame(ComPtr<IStorage> stg, std::u16string element);
  HRESULT CloseInternal(bool writeHeader);
  HRESULT StartNewCatalog(ComPtr<IStorage> root, std::u16string name);
  HRESULT FlushAllNames();
  HRESULT PathWalk(const OLECHAR* path);
  // Makes sure there is a current folder for a folder-relative call: without one, the path
  // walk to `path` (opening the file for the call when it is closed; `openedHere` tells).
  HRESULT EnterFolder(BSTR path, bool allowNullPath, bool& openedHere);
  HRESULT LeaveCall(bool openedHere, HRESULT hr);
  // Runs a folder-relative operation on the current folder, after EnterFolder(path), and closes
  // what EnterFolder opened.
  HRESULT InFolder(BSTR path, bool allowNullPath, const std::function<HRESULT(Frame&)>& op);

  HRESULT ReadHeader(CatalogHeader& h);
  HRESULT WriteHeader();

  // Tries an element name: opens the element, and gives its stored name when asked.
  using ElementOpener = std::function<HRESULT(const std::u16string& element, std::u16string* stored)>;
  // Finds the element that holds the child `name` of `f`: the element of that very name, else
  // the one the long-name map gives for it. Names compare exactly; with `anyCase`, a name
  // without an exact match finds the one sibling whose name equals it but for letter case,
  // when there is just one (as catalogs written before expect of a lookup). Placing a new
  // child and checking for a name already taken stay exact, so case twins can be made.
  HRESULT ResolveChild(Frame& f, const std::u16string& name, bool anyCase, const ElementOpener& open,
                       Found& out);
  HRESULT FindChild(Frame& f, const std::u16string& name, Found& out, bool anyCase = false);
  // Opens the child `name` of `f` (a storage or a stream, as T says) under the long-name
  // rules; `element` receives the element name it is stored under.
  template <class T>
  HRESULT OpenChild(Frame& f, const std::u16string& name, DWORD mode, ComPtr<T>& out, std::u16string* element);
  HRESULT MapPlacement(Frame& f, const std::u16string& name, Placement& p);
  HRESULT PlaceNewChild(Frame& f, const std::u16string& name, Placement& p);
  HRESULT ClaimLongNameId(Frame& f, WORD id, const Found* self);
  // Creates a child under the long-name rules through `create`, which makes the element of
  // the name it is given, replacing one of that name when `replace` says so (else failing with
  // STG_E_FILEALREADYEXISTS).
  HRESULT CreateChild(Frame& f, const std::u16string& name, Placement& p,
                      const std::function<HRESULT(const std::u16string& element, bool replace)>& create);
  HRESULT DestroyChild(Frame& f, const std::u16string& name);
  HRESULT RenameChild(Frame& f, const std::u16string& oldName, const std::u16string& newName);
  // The item stream of the record's element in `f`: "I_T_E_M_" of a disk or folder storage,
  // the file stream itself for a file.
  // `element` receives the element the record's item is stored under.
  HRESULT OpenRecordStream(Frame& f, const ItemRecord& rec, DWORD mode, ComPtr<IStream>& s,
                           std::u16string* element = nullptr);
  HRESULT ReadRecordOf(Frame& f, ItemRecord& rec, std::u16string* element = nullptr);
  HRESULT WriteRecordOf(Frame& f, const ItemRecord& rec);
  HRESULT AddFolderHere(Frame& cur, const std::u16string& name, const ItemRecord& rec);
  HRESULT DiskNamed(Frame& root, const std::u16string& name, bool* found);

  // The search walk over storage objects.
  HRESULT SearchLevel(SearchRun& run, SHORT srchType, double serial, bool listed);
  HRESULT ListSearchLevel(SearchRun& run, Frame& here);
  // The same walk over the file's tree reader: no object per element. `top` is the frame of
  // the starting level (null below it), whose names the document may hold changed in memory.
  HRESULT SearchTreeLevel(SearchRun& run, SHORT srchType, double serial, std::uint32_t storage, Frame* top);
  HRESULT ListTreeLevel(SearchRun& run, std::uint32_t storage);
  // Looks up the long names a listing left pending, drops the files whose name fails, sorts.
  void ShowTreeLevel(SearchRun& run, std::uint32_t storage, Frame* top);

  std::u16string docName_ = u"VEMRA.DKC";
  Frame root_;
  std::vector<Frame> stack_;  // the storages opened below the root, outermost first
  Current current_ = Current::None;
  double baseSerialNum_ = 0.0;
  double fileVersion_ = 1.1;
  CountedString masterPassword_;
  CountedString userPassword_;
  LONG hitCount_ = 0;
  // While a search walk runs, the document belongs to the walk: a callback that reaches back
  // into it (directly, or through window events it lets run) must not open, close or move it.
  // Raised by a wintypes::ScopedFlag for the walk's length.
  bool walking_ = false;
  std::vector<BYTE> buffer_;     // reused for record reads
  std::vector<BYTE> mapBuffer_;  // reused for long-name map reads
};

}  // namespace brevix
