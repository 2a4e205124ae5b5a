// The catalog document as the library's own classes (the disk scanner, the browser control and
// the library's class objects) create and use it.
#pragma once

#include <string>

#include "iostorage.h"
#include "itemstream.h"
#include "xcom/com.h"
#include "xcom/object.h"

// {35559A75-FD7B-40CC-8CFD-09FD4F7E8C49}: what the library's own classes use beyond IOStorage.
// Not registered and not dispatched.
inline constexpr IID IID_IOStorageInternal = {0x35559A75, 0xFD7B, 0x40CC, {0x8C, 0xFD, 0x09, 0xFD, 0x4F, 0x7E, 0x8C, 0x49}};

struct IOStorageInternal : IOStorage {
  static constexpr const IID& kIID = IID_IOStorageInternal;

  // The name the user sees for an element of the current folder: the long name of a
  // "FLD~~n" element from the folder's long-name map, else the element name itself (also when
  // the map has no such identifier: STG_E_FILENOTFOUND, *longName the element name). When
  // the folder's map cannot be read, its read failure, *longName the element name. E_FAIL
  // when there is no current folder.
  virtual HRESULT LongNameFromElement(const OLECHAR* element, BSTR* longName) = 0;

 protected:
  ~IOStorageInternal() = default;
};

namespace brevix {

// The library's count of living objects and locks (DllCanUnloadNow); catalog documents
// count in it.
xcom::ServerModule& LibraryModule();

// A new catalog document for the library's own use; *out holds its one reference.
HRESULT NewCatalogDocument(xcom::ComPtr<IOStorageInternal>* out);

// The class object's creation function for CLSID_OStorage (alone or inside an aggregate),
// for the library's class table: {CLSID_OStorage, &brevix::CreateCatalogDocument}.
HRESULT CreateCatalogDocument(xcom::ServerModule& module, IUnknown* outer, REFIID riid, void** ppv);

// Builds the item information array of a record into *out (VT_ARRAY | VT_VARIANT, 8
// elements); E_FAIL when the array cannot be made, and *out is then untouched.
HRESULT PackItemInfo(const ItemRecord& record, VARIANT* out);

}  // namespace brevix
