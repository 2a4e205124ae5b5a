// IOStorage: the catalog document's interface, as the host and the library's own classes (the
// disk scanner, the browser control) see it. The catalog document OStorage opens, reads and
// writes one catalog file (".DKC"); each browser control and each disk scanner creates its
// own document by class id and drives it through this interface. Every method answers a
// status code; strings are BSTRs; dates are local automation dates.
//
// The catalog file is open only between LoadDoc and CloseDoc. While one document object has
// it open it is locked for every other (STG_E_SHAREVIOLATION).
//
// Paths are catalog paths: the disk name, then folder names, joined by "/", no leading "/";
// the empty path is the catalog root. Names are the names the user sees; names that the
// container cannot hold (32 or more characters, refused characters, names that differ from a
// sibling only in letter case, reserved names) are stored through the storage's long-name
// map, which this interface hides.
//
// Record arguments (AddFolder, AddItem, GetItemInfo, SetItemInfo) are the address of an
// ItemRecord (itemrecord.h), whose name and kind the caller sets.
//
// While a FindItem walk runs, its callbacks may not call back into the same document: calls
// that would open, close or move the document answer STG_E_INUSE until the walk ends.
#pragma once

#include "iteminfo.h"
#include "itemrecord.h"
#include "wintypes.h"
#include "xcom/automation.h"

struct IStorage;
struct IEnumSTATSTG;

// {B09D44B7-90DB-11D2-A245-00104BCD093B}
inline constexpr CLSID CLSID_OStorage = {0xB09D44B7, 0x90DB, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {B09D44B6-90DB-11D2-A245-00104BCD093B}
inline constexpr IID IID_IOStorage = {0xB09D44B6, 0x90DB, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
inline constexpr const char16_t* kProgIdOStorage = u"Brevix.OStorage.1";
inline constexpr const char16_t* kProgIdOStorageIndependent = u"Brevix.OStorage";

// SetCurrentFolder's Location.
enum FolderLocation : SHORT {
  FOLDER_ROOT = 0,    // the root becomes current (the document must be open)
  FOLDER_CHILD = 1,   // a child storage of the current folder becomes current
  FOLDER_PATH = 2,    // a path walk from the root
  FOLDER_PARENT = 3,  // back to the folder above the current one
};

// FindItem's srchType; add SEARCH_THIS_LEVEL_ONLY to stay on the starting level.
enum SearchType : SHORT {
  SEARCH_ALL = 0,           // folders and files, descending into every folder
  SEARCH_FOLDERS_ONLY = 1,  // file streams are skipped
  SEARCH_NO_DESCENT = 2,    // only the starting level
  SEARCH_THIS_LEVEL_ONLY = 100,
};

struct IOStorage : IDispatch {
  static constexpr const IID& kIID = IID_IOStorage;

  // Opens the catalog. With a name: an existing compound file is opened and its header read;
  // a missing file is created with a new header (base 0.0, version 1.1, no passwords); the
  // name becomes the document's name and the root the current folder. Without a name: opens
  // the document's file again (S_OK at once when it is open); the header is not read. On
  // failure nothing stays open.
  virtual HRESULT LoadDoc(BSTR fileName) = 0;
  // Creates an empty compound file (replacing any file of that name) and takes the name as
  // the document's; no header is written.
  virtual HRESULT SaveDoc(BSTR fileName) = 0;
  // Adds a disk (under the root) or folder (deeper) named bstrName with its record under the
  // current folder and makes it current. Without a current folder, SetCurrentFolder(bstrParent,
  // FOLDER_PATH) first. A disk whose name is taken gives STG_E_FILEALREADYEXISTS.
  virtual HRESULT AddFolder(BSTR bstrParent, BSTR bstrName, ItemRecord* lpData) = 0;
  virtual HRESULT SetCurrentFolder(BSTR bstrPath, SHORT Location) = 0;
  // Closes the document; bWriteSerial non-zero rewrites the header first.
  virtual HRESULT CloseDoc(LONG bWriteSerial) = 0;
  // An enumerator of the root (Location 0) or the current folder (1), reserved names included.
  virtual HRESULT EnumElements(SHORT Location, IEnumSTATSTG** pEnum) = 0;
  // A disk or folder record goes to AddFolder; a file record becomes a stream in the current
  // folder (without one, after SetCurrentFolder(bstrParent, FOLDER_PATH)).
  virtual HRESULT AddItem(BSTR bstrParent, BSTR bstrName, ItemRecord* lpData) = 0;
  // Destroys the element bstrName (a folder with everything below it) in the current folder;
  // a name that is not there counts as done.
  virtual HRESULT DeleteFile(BSTR bstrParent, BSTR bstrName) = 0;
  virtual HRESULT DeleteFolder(BSTR bstrName) = 0;
  // Reads the record named by pInfo->name (of kind pInfo->kind) from the current folder.
  virtual HRESULT GetItemInfo(BSTR bstrPath, ItemRecord* pInfo) = 0;
  virtual HRESULT get_BaseSerialNum(double* pVal) = 0;
  virtual HRESULT put_BaseSerialNum(double newVal) = 0;
  // The name of the disk that carries serialNum (STG_E_FILENOTFOUND when none does); the
  // document stays open.
  virtual HRESULT FindDiskInLibrary(double serialNum, BSTR* pVal) = 0;
  // Writes the record named by pInfo->name into the current folder.
  virtual HRESULT SetItemInfo(BSTR bstrPath, ItemRecord* pInfo) = 0;
  virtual HRESULT WasItemAccessed(BSTR bstrName, ULONG lowPart, ULONG highPart, LONG* itemType) = 0;
  // The catalog search: walks from sDir and hands every hit to the callback behind the token
  // lpCallbackFnPtr: positive, a token of kind ItemCallback for an ItemCallbackFn; negative,
  // the negated token of kind ItemRecordCallback for an ItemRecordCallbackFn (iteminfo.h).
  virtual HRESULT FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate,
                           SHORT srchType, LONG lpCallbackFnPtr) = 0;
  virtual HRESULT get_FileVersion(double* pVal) = 0;
  // Gives the element bstrOld of the current folder the name bstrNew. STG_E_FILENOTFOUND when
  // there is no bstrOld, STG_E_FILEALREADYEXISTS when another element has the name bstrNew.
  virtual HRESULT RenameItem(BSTR bstrPath, BSTR bstrOld, BSTR bstrNew) = 0;
  // Writes a complete copy of the catalog to fileName.
  virtual HRESULT CreateBackup(BSTR fileName) = 0;
  // LoadDoc(bstrName) and CloseDoc(0): names, opens or creates the catalog and closes it.
  virtual HRESULT SetDocName(BSTR bstrName) = 0;
  // Replaces the passwords given (not null) and rewrites the header.
  virtual HRESULT SetPasswords(BSTR bstrMaster, BSTR bstrUser) = 0;
  // Copies of the passwords (null when none is stored) into the out-arguments given.
  virtual HRESULT GetPasswords(BSTR* bstrMaster, BSTR* bstrUser) = 0;
  // 1.0 when a disk of that name exists (letter case ignored), else -1.0.
  virtual HRESULT IsNameUsed(BSTR bstrName, double* pDiskNum) = 0;
  // The current folder's storage, without a new reference (null when there is none).
  virtual HRESULT get_mCurStorage(IStorage** pVal) = 0;

 protected:
  ~IOStorage() = default;
};
