// The template store library (libkyp.so) as its hosts see it: class and interface
// identifiers and the interfaces of the document model (the "KYPLib" type library).
//
// A host never links the library. It creates the document root by class identifier (or by
// the ProgIDs "KYP.VemraKYP" and "KYP.VemraKYP.1") through the component runtime:
//
//   IVemraKYP* doc = nullptr;
//   CoCreateInstance(CLSID_VemraKYP, nullptr, CLSCTX_INPROC_SERVER, IID_IVemraKYP, (void**)&doc);
//   doc->put_DocName(path);                 // opens or creates the file, loads the definitions
//   doc->get_ItemDefs(&defs); doc->get_Nodes(&nodes); ...
//
// and releases every object it obtained before it releases the root. Collections and nodes do
// not keep the root alive: one kept after its root is gone answers E_UNEXPECTED for anything
// that needs the file or the definitions.
//
// Conventions:
//  - Strings are BSTRs; a null BSTR counts as empty, except where an operation refuses a
//    null argument (pass an empty BSTR, not null, for "no item definition").
//  - Counts and positions are 32-bit (LONG); positions are 1-based.
//  - Out pointers receive a reference the caller releases; on failure they are left null.
//  - Every interface except IOKYPStore, IOKYPInternal and IKYPConnect is dual: its members
//    are also reached through IDispatch by the dispatch identifiers given with them.
//  - Failures are status codes; the library never shows a message.
//
// Field types (IOField::get_Type, IOFields::Add) and the VARIANT a field's Value holds:
//   0 16-bit integer (VT_I2)        2 Boolean (VT_BOOL)        3 32-bit integer (VT_I4)
//   5 32-bit float (VT_R4)          6 64-bit float (VT_R8)     7 unsigned byte (VT_UI1)
//   8 any VARIANT                   9 date (VT_DATE)
//  10 one-dimensional array of VARIANTs (VT_ARRAY|VT_VARIANT), read back with lower bound 0
//  11 picture: the picture file's bytes (BMP, JPEG, GIF, ICO, PNG ...) as a one-dimensional
//     byte array (VT_ARRAY|VT_UI1), kept as they are and read back as they were written;
//     an empty Value stores no picture and reads back empty.
//   1, 4 and other codes hold nothing.
// A value is stored in its field's type: a value of another type is converted when the node
// is saved (a string "1.5" in a type-6 field is saved as 1.5), and a value that cannot be
// converted fails the save with the conversion's status (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW).
// An object (VT_DISPATCH, VT_UNKNOWN) in a type-8 field or an array is stored when it can
// save itself to a stream (IPersistStreamInit) and is made again by its class identifier on
// load; another object fails the save with E_NOINTERFACE.
#pragma once

#include "wintypes.h"
#include "xcom/automation.h"

struct IStorage;  // platform/cfb; only IOKYPStore mentions it

// KYPLib, "KYP 1.0 Type Library".
// {BDAC958F-234B-11D3-9E59-00104BCD093B}
inline constexpr GUID LIBID_KYPLib = {0xBDAC958F, 0x234B, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};

// Classes.
// {BDAC959C-234B-11D3-9E59-00104BCD093B}
inline constexpr CLSID CLSID_VemraKYP = {0xBDAC959C, 0x234B, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {DDE3CF02-33E8-11D3-81E5-209447C10F9E}
inline constexpr CLSID CLSID_ONodes = {0xDDE3CF02, 0x33E8, 0x11D3, {0x81, 0xE5, 0x20, 0x94, 0x47, 0xC1, 0x0F, 0x9E}};
// {86309822-32D9-11D3-81E5-70BB43C10000}
inline constexpr CLSID CLSID_ONode = {0x86309822, 0x32D9, 0x11D3, {0x81, 0xE5, 0x70, 0xBB, 0x43, 0xC1, 0x00, 0x00}};
// {1EC1EFA5-2FC7-11D3-9E59-00104BCD093B}
inline constexpr CLSID CLSID_OFields = {0x1EC1EFA5, 0x2FC7, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {1EC1EFA2-2FC7-11D3-9E59-00104BCD093B}
inline constexpr CLSID CLSID_OField = {0x1EC1EFA2, 0x2FC7, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {DF5EB50E-3381-11D3-9E59-00104BCD093B}
inline constexpr CLSID CLSID_OItemDefs = {0xDF5EB50E, 0x3381, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {DF5EB50B-3381-11D3-9E59-00104BCD093B}
inline constexpr CLSID CLSID_OItemDef = {0xDF5EB50B, 0x3381, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// The store class is never registered nor created: its interface lives on VemraKYP.
// {B22F97AA-3522-11D3-9E59-00104BCD093B}
inline constexpr CLSID CLSID_OKYPStore = {0xB22F97AA, 0x3522, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};

// Interfaces.
// {BDAC959B-234B-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IVemraKYP = {0xBDAC959B, 0x234B, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {B22F97A9-3522-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IOKYPStore = {0xB22F97A9, 0x3522, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {33273E90-35E1-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IOKYPInternal = {0x33273E90, 0x35E1, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {BDAC959D-234B-11D3-9E59-00104BCD093B}
inline constexpr IID DIID__IVemraKYPEvents = {0xBDAC959D, 0x234B, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {DDE3CF01-33E8-11D3-81E5-209447C10F9E}
inline constexpr IID IID_IONodes = {0xDDE3CF01, 0x33E8, 0x11D3, {0x81, 0xE5, 0x20, 0x94, 0x47, 0xC1, 0x0F, 0x9E}};
// {B22F97A6-3522-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IKYPConnect = {0xB22F97A6, 0x3522, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {86309821-32D9-11D3-81E5-70BB43C10000}
inline constexpr IID IID_IONode = {0x86309821, 0x32D9, 0x11D3, {0x81, 0xE5, 0x70, 0xBB, 0x43, 0xC1, 0x00, 0x00}};
// {1EC1EFA4-2FC7-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IOFields = {0x1EC1EFA4, 0x2FC7, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {1EC1EFA1-2FC7-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IOField = {0x1EC1EFA1, 0x2FC7, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {DF5EB50D-3381-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IOItemDefs = {0xDF5EB50D, 0x3381, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {DF5EB50A-3381-11D3-9E59-00104BCD093B}
inline constexpr IID IID_IOItemDef = {0xDF5EB50A, 0x3381, 0x11D3, {0x9E, 0x59, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};

// Field type codes.
enum KYPFieldType : SHORT {
  kypInteger = 0,
  kypBoolean = 2,
  kypLong = 3,
  kypSingle = 5,
  kypDouble = 6,
  kypByte = 7,
  kypVariant = 8,
  kypDate = 9,
  kypArray = 10,
  kypPicture = 11,
};

// Roles of a field collection and its fields.
inline constexpr SHORT kypValueRole = 0;
inline constexpr SHORT kypDefinitionRole = 1;

// SetCurrentFolder locations.
inline constexpr SHORT kypFolderRoot = 0;     // the root, with no folder held
inline constexpr SHORT kypFolderChild = 1;    // a child of the current folder
inline constexpr SHORT kypFolderPath = 2;     // an absolute path from the root
inline constexpr SHORT kypFolderParent = 3;   // back to the folder below the top one
inline constexpr int kypFolderStackLimit = 51;

struct IOItemDefs;
struct IOItemDef;
struct IOFields;
struct IOField;
struct IONodes;
struct IONode;

// The document root.
struct IVemraKYP : IDispatch {
  static constexpr const IID& kIID = IID_IVemraKYP;
  // [1] The file's name; null when unset.
  virtual HRESULT get_DocName(BSTR* pVal) = 0;
  // [1] Opens the file (creating it when missing), loads its item definitions (a new file
  // gets an empty definition list at once), connects the collections and closes the file.
  // Null or empty name: E_INVALIDARG. A file that is not a compound file, or one whose
  // definition list cannot be read, fails and leaves no definitions loaded.
  virtual HRESULT put_DocName(BSTR newVal) = 0;
  // [2] The item definitions. Null out: E_INVALIDARG.
  virtual HRESULT get_ItemDefs(IOItemDefs** pVal) = 0;
  // [3] The top-level nodes. Null out: E_INVALIDARG.
  virtual HRESULT get_Nodes(IONodes** pVal) = 0;
};

// The document's file and its folders (on VemraKYP; not reachable by dispatch). Each
// operation of the model opens the document, works, and closes it unless it was open.
struct IOKYPStore : IUnknown {
  static constexpr const IID& kIID = IID_IOKYPStore;
  // Opens the file. With a name: that file (closing a document already open first).
  // Without one: the open root when there is one (*pbAlreadyOpened = 1), else DocName.
  // No name and no DocName: E_INVALIDARG. The root storage comes back in *ppStorage.
  virtual HRESULT OpenDoc(BSTR fileName, SHORT* pbAlreadyOpened, IStorage** ppStorage) = 0;
  // Releases the folders held and the root; S_OK.
  virtual HRESULT CloseDoc() = 0;
  // Moves the current folder (kypFolder* locations). An absolute walk that had to open
  // the file for itself closes it again and returns no storage. At most
  // kypFolderStackLimit folders are held: one more fails with E_OUTOFMEMORY.
  virtual HRESULT SetCurrentFolder(BSTR bstrPath, SHORT iLocation, IStorage** ppStorage) = 0;
};

// Hidden services of the root for its collections and nodes (not reachable by dispatch).
struct IOKYPInternal : IUnknown {
  static constexpr const IID& kIID = IID_IOKYPInternal;
  // The field collection of the item definition named exactly ItemDef, switched to the
  // value role. Null name or out: E_POINTER; no such definition: E_INVALIDARG.
  virtual HRESULT GetFields(BSTR ItemDef, IOFields** ppFields) = 0;
  virtual HRESULT GetParent(IONode** ppNode) = 0;  // S_OK, no node
  virtual HRESULT GetRoot(IONode** ppNode) = 0;    // S_OK, no node
};

// How the root hands its services to collections and nodes (not reachable by dispatch).
struct IKYPConnect : IUnknown {
  static constexpr const IID& kIID = IID_IKYPConnect;
  virtual HRESULT SetIOKYPStore(IOKYPStore* pStore) = 0;
  virtual HRESULT SetIOKYPInternal(IOKYPInternal* pInternal) = 0;
};

struct IOItemDefs : IDispatch {
  static constexpr const IID& kIID = IID_IOItemDefs;
  // [1] A new definition with no fields, appended in memory. Null name or out: E_POINTER;
  // a definition of exactly that name (case-sensitive): STG_E_FILEALREADYEXISTS.
  virtual HRESULT CreateItemDef(BSTR sName, IOItemDef** ppItemDef) = 0;
  // [2] S_OK, changes nothing.
  virtual HRESULT Delete(VARIANT Index) = 0;
  // [3] Writes every definition of the collection into the file. Null argument or no
  // document: E_INVALIDARG.
  virtual HRESULT Append(IOItemDef* pItemDef) = 0;
  // [4]
  virtual HRESULT get_Count(LONG* pVal) = 0;
  // [0] By 1-based position (16- or 32-bit integer) or by exact name (string); anything
  // else, or no such definition: E_INVALIDARG. Null out: E_POINTER.
  virtual HRESULT Item(VARIANT Index, IOItemDef** ppItemDef) = 0;
};

struct IOItemDef : IDispatch {
  static constexpr const IID& kIID = IID_IOItemDef;
  // [1] The definition's fields, switched to the definition role.
  virtual HRESULT get_Fields(IOFields** pVal) = 0;
  // [2]
  virtual HRESULT get_Name(BSTR* pVal) = 0;
  virtual HRESULT put_Name(BSTR newVal) = 0;
};

// The fields of one item definition. In the definition role (1) fields can be added and
// removed; in the value role (0), as handed to nodes, they carry one node's values.
struct IOFields : IDispatch {
  static constexpr const IID& kIID = IID_IOFields;
  // [1] Appends a field. Null out: E_POINTER; value role: E_NOTIMPL; null name:
  // E_INVALIDARG; a field of exactly that name: STG_E_FILEALREADYEXISTS.
  virtual HRESULT Add(BSTR fldName, SHORT fldType, LONG Size, IOField** ppField) = 0;
  // [2] Removes the field at a 1-based position (out of range: E_INVALIDARG); an index of
  // another type removes nothing. Value role: E_NOTIMPL.
  virtual HRESULT Remove(VARIANT fldIndex) = 0;
  // [3] 0 or 1, else E_INVALIDARG.
  virtual HRESULT SetRole(SHORT iRole) = 0;
  // [4]
  virtual HRESULT get_Count(LONG* pVal) = 0;
  // [0] The field at a 1-based position, set to the collection's role. Null out:
  // E_POINTER; anything else or out of range: E_INVALIDARG.
  virtual HRESULT Item(VARIANT Index, IOField** ppField) = 0;
};

struct IOField : IDispatch {
  static constexpr const IID& kIID = IID_IOField;
  // [1] The low 32 bits of the size.
  virtual HRESULT get_Size(ULONG* pVal) = 0;
  // [2]
  virtual HRESULT get_Type(SHORT* pVal) = 0;
  // [3]
  virtual HRESULT get_Name(BSTR* pVal) = 0;
  virtual HRESULT put_Name(BSTR newVal) = 0;
  // [4] A copy of the value; put stores a copy of the given VARIANT (a by-reference one is
  // dereferenced). A copy that fails leaves an error value and returns the failure.
  virtual HRESULT get_Value(VARIANT* pVal) = 0;
  virtual HRESULT put_Value(VARIANT newVal) = 0;
  // [5] Accepted and ignored; get returns 0.
  virtual HRESULT get_Position(LONG* pVal) = 0;
  virtual HRESULT put_Position(LONG newVal) = 0;
  // [6] 0 or 1, else E_INVALIDARG.
  virtual HRESULT SetRole(SHORT iRole) = 0;
};

// A collection of nodes under one parent path (empty for the top level).
struct IONodes : IDispatch {
  static constexpr const IID& kIID = IID_IONodes;
  // [1] Writes one node (its header and values, not its children) into a storage named by
  // its Name under this collection's parent path, replacing one of that name. Null node
  // or no document: E_INVALIDARG.
  virtual HRESULT Append(IONode* ppNode) = 0;
  // [2] S_OK, changes nothing.
  virtual HRESULT Remove(VARIANT Index) = 0;
  // [3] A new node in memory, listed in this collection; its FullPath is the parent path
  // and "/" and the name. Null name, item definition or out: E_POINTER.
  virtual HRESULT CreateNode(BSTR nodeName, BSTR ItemDef, IONode** ppNode) = 0;
  // [4] S_OK when connected, else E_INVALIDARG; nothing else.
  virtual HRESULT ReadNodeNames(BSTR sPath) = 0;
  // [5] The nodes created here, or while none were, the child nodes stored in the file
  // under the parent path (0 when that folder is not in the file). A document that cannot
  // be opened or read fails with its status.
  virtual HRESULT get_Count(LONG* pVal) = 0;
  // A value above 0 stands for the stored count while no node was created here.
  virtual HRESULT put_Count(LONG newVal) = 0;
  // [6]
  virtual HRESULT SetParentNodePath(BSTR bstrPath) = 0;
  // [0] Loads the node at a full path from the document root ("Labels/Text0"), whatever
  // collection it is called on; every call gives a new object. Only strings are accepted
  // (else E_INVALIDARG); a path that is not in the file fails with STG_E_FILENOTFOUND.
  virtual HRESULT Item(VARIANT Index, IONode** ppNode) = 0;
};

struct IONode : IDispatch {
  static constexpr const IID& kIID = IID_IONode;
  // [1] Not stored: a loaded node takes the last component of its path.
  virtual HRESULT get_Name(BSTR* pVal) = 0;
  virtual HRESULT put_Name(BSTR newVal) = 0;
  // [2]
  virtual HRESULT get_Caption(BSTR* pVal) = 0;
  virtual HRESULT put_Caption(BSTR newVal) = 0;
  // [3] Names the item definition and attaches its fields (empty: no fields).
  virtual HRESULT get_ItemDef(BSTR* pVal) = 0;
  virtual HRESULT put_ItemDef(BSTR newVal) = 0;
  // [4]
  virtual HRESULT get_Picture(SHORT* pVal) = 0;
  virtual HRESULT put_Picture(SHORT newVal) = 0;
  // [5] The node's fields with its stored values. All nodes of one item definition share
  // one field collection: fill and save one node at a time, and read a node's values
  // before loading the next.
  virtual HRESULT get_Fields(IOFields** pVal) = 0;
  // [6]
  virtual HRESULT get_FullPath(BSTR* pVal) = 0;
  virtual HRESULT put_FullPath(BSTR newVal) = 0;
  // [7] Opens the document and goes to the node's folder, holding the file open until
  // Update. A failure to open or to reach the folder leaves the document as it was.
  virtual HRESULT Edit() = 0;
  // [8] Closes the document. Writes nothing.
  virtual HRESULT Update() = 0;
  // [9] The node's child collection. Null out: E_INVALIDARG.
  virtual HRESULT get_Nodes(IONodes** pVal) = 0;
};
