// ICompCtl: the catalog browser control's interface, as the host sees it, and its event
// interface _IVemraStorage. The host creates the control by the ProgID "Brevix.CompCtl" (or
// CLSID_CompCtl), asks it for its window through IControlWindow (xcom/control.h), connects a
// sink for _IVemraStorage through the control's connection point, and drives it through
// ICompCtl, by vtable or by dispatch id. Every method answers a status code.
//
// Paths are catalog paths: the disk name, then folder names (and at the end a file name where
// a file is meant), joined by "/", without a leading "/"; the empty path is the catalog root.
// Names are those shown in the panes (long names, never the element names of the long-name map).
//
// The control owns its own catalog document (IOStorage) and opens the catalog only for the
// duration of a call.
#pragma once

#include "iteminfo.h"
#include "wintypes.h"
#include "xcom/automation.h"

// {D322E2F7-933E-11D2-A245-00104BCD093B}
inline constexpr CLSID CLSID_CompCtl = {0xD322E2F7, 0x933E, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {D322E2F6-933E-11D2-A245-00104BCD093B}
inline constexpr IID IID_ICompCtl = {0xD322E2F6, 0x933E, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {4179C252-A942-11D2-A245-00104BCD093B}
inline constexpr IID DIID__IVemraStorage = {0x4179C252, 0xA942, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {B09D44AA-90DB-11D2-A245-00104BCD093B}: the library's type library BREVIXLib, version 1.0.
inline constexpr GUID LIBID_BREVIXLib = {0xB09D44AA, 0x90DB, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
inline constexpr const char16_t* kProgIdCompCtl = u"Brevix.CompCtl.1";
inline constexpr const char16_t* kProgIdCompCtlIndependent = u"Brevix.CompCtl";

// The control's layout (ControlType).
enum enControlType : LONG {
  TWO_PANE = 0,
  TREE_PANE = 1,
  LIST_PANE = 2,
};

// A colour of the automation type library: 0x00BBGGRR.
using OLE_COLOR = ULONG;

// Dispatch ids of ICompCtl.
enum CompCtlDispId : DISPID {
  DISPID_COMPCTL_DOCFILENAME = 1,
  DISPID_COMPCTL_REFRESH = 2,
  DISPID_COMPCTL_FINDITEM = 3,
  DISPID_COMPCTL_GETSELECTEDITEM = 4,
  DISPID_COMPCTL_SETITEMNOTE = 5,
  DISPID_COMPCTL_RENAME = 6,
  DISPID_COMPCTL_CREATEBACKUP = 7,
  DISPID_COMPCTL_SHOWINSYSTRAY = 8,
  DISPID_COMPCTL_GETPOSSIBLEDRIVES = 9,
  DISPID_COMPCTL_MASTERPASSWORD = 10,
  DISPID_COMPCTL_USERPASSWORD = 11,
  DISPID_COMPCTL_ALLOWDELETE = 12,
  DISPID_COMPCTL_GETITEMINFO = 13,
  DISPID_COMPCTL_SETSELECTEDITEM = 14,
  DISPID_COMPCTL_BROWSEFORFOLDER = 15,
  DISPID_COMPCTL_CONTROLTYPE = 16,
  DISPID_COMPCTL_PRINTTEXT = 17,
};

// Dispatch ids of the event interface _IVemraStorage. Every event is delivered to every
// connected sink through IDispatch::Invoke with DISPATCH_METHOD; arguments in reverse order.
enum VemraStorageDispId : DISPID {
  DISPID_VEMRA_CLICK = 1,            // (I2 iControl): 0 tree, 1 list
  DISPID_VEMRA_DBLCLICK = 2,         // (I2 iControl): 0 tree, 1 list, 100 a folder opened from the list
  DISPID_VEMRA_RCLICK = 3,           // (I2 iControl)
  DISPID_VEMRA_TREENODECHANGED = 4,  // (VARIANT vVal): the item information array, or empty
  DISPID_VEMRA_MOUSEUP = 5,          // (I2, I2, I2, R8, R8): never fired
  DISPID_VEMRA_KEYDOWN = 6,          // (I2 iControl, I2 iKey, I2 iShift): Windows virtual keys
  DISPID_VEMRA_KEYUP = 7,            // never fired
  DISPID_VEMRA_TRAYICONNOTIFY = 8,   // (I4 lParam, I4 wParam): mouse message, icon id 1000
};

// The tray icon's identifier and the mouse messages TrayIconNotify carries.
inline constexpr LONG kTrayIconId = 1000;
inline constexpr LONG TRAY_LBUTTONDOWN = 0x201;
inline constexpr LONG TRAY_LBUTTONDBLCLK = 0x203;
inline constexpr LONG TRAY_RBUTTONDOWN = 0x204;

struct ICompCtl : IDispatch {
  static constexpr const IID& kIID = IID_ICompCtl;

  // The catalog file name (initially ""). Put with a name: the document's SetDocName (opens or
  // creates the file and closes it) and its answer; the panes are not reloaded. Put with "":
  // no document; both panes are emptied.
  virtual HRESULT get_DocFileName(BSTR* pVal) = 0;
  virtual HRESULT put_DocFileName(BSTR newVal) = 0;
  // Reloads the tree from the catalog and selects the saved tree path again.
  virtual HRESULT Refresh() = 0;
  // The document's FindItem with all eight arguments; its answer.
  virtual HRESULT FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate,
                           SHORT srchType, LONG lpCallbackFnPtr) = 0;
  // iSource 1: the list's selection; 0: the tree's; other values leave pData untouched.
  virtual HRESULT GetSelectedItem(SHORT iSource, VARIANT* pData) = 0;
  // itmType 0 file, 1 folder, 2 disk; negative asks for the recursive note walk with recurNote.
  virtual HRESULT SetItemNote(BSTR sPath, BSTR sNote, SHORT itmType, BSTR recurNote, LONG bRecursive) = 0;
  // 1: in-place editing of the list's selection; 0: of the tree's selection.
  virtual HRESULT Rename(SHORT iControl) = 0;
  virtual HRESULT CreateBackup(BSTR bstrName) = 0;
  virtual HRESULT ShowInSysTray(SHORT iShow) = 0;
  virtual HRESULT GetPossibleDrives(BSTR* bstrFloppy, BSTR* bstrZip, BSTR* bstrCD) = 0;
  virtual HRESULT get_MasterPassword(BSTR* pVal) = 0;
  virtual HRESULT put_MasterPassword(BSTR newVal) = 0;
  virtual HRESULT get_UserPassword(BSTR* pVal) = 0;
  virtual HRESULT put_UserPassword(BSTR newVal) = 0;
  // 0 forbids delete and rename by the user (initially 1).
  virtual HRESULT get_AllowDelete(LONG* pVal) = 0;
  virtual HRESULT put_AllowDelete(LONG newVal) = 0;
  // The record at bstrPath (disk "D", file "D/F/X") packed into pData in every case.
  virtual HRESULT GetItemInfo(BSTR bstrPath, VARIANT* pData) = 0;
  // iSource 1: lists the whole subtree of itmPath in the list; otherwise selects the tree item.
  virtual HRESULT SetSelectedItem(BSTR itmPath, SHORT iSource) = 0;
  // The folder browser ("Select a Directory"); cancel leaves *bstrRetPath alone.
  virtual HRESULT BrowseForFolder(BSTR bstrIniPath, BSTR* bstrRetPath) = 0;
  virtual HRESULT get_ControlType(enControlType* pVal) = 0;
  virtual HRESULT put_ControlType(enControlType newVal) = 0;
  // Draws sText rotated by angle (tenths of a degree) centred in the rectangle, on the surface
  // that the device-context token hDC names (platform/surface's surface_xcom).
  virtual HRESULT PrintText(LONG hDC, BSTR sText, INT angle, LONG left, LONG top, LONG right, LONG bott,
                            BSTR fnName, SHORT fnSize, LONG fnItal, LONG fnBold, LONG fnUnder,
                            OLE_COLOR color) = 0;

 protected:
  ~ICompCtl() = default;
};
