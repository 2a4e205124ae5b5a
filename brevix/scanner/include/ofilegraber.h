// The disk scanner as the library creates it: for the library's class table and for tests.
#pragma once

#include "iofilegraber.h"
#include "xcom/com.h"
#include "xcom/object.h"

namespace brevix {

// The class object's creation function for CLSID_OFileGraber (alone or inside an aggregate),
// for the library's class table: {CLSID_OFileGraber, &brevix::CreateFileGraber}. A scanner
// whose catalog document cannot be created is not created either (that failure is the answer).
HRESULT CreateFileGraber(xcom::ServerModule& module, IUnknown* outer, REFIID riid, void** ppv);

// A new disk scanner for the library's own use and for tests; *out holds its one reference.
// It counts in the library's module (LibraryModule(), ostorage.h).
HRESULT NewFileGraber(xcom::ComPtr<IOFileGraber>* out);

}  // namespace brevix
