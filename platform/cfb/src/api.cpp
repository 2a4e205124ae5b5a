// Entry points of the compound-file layer (being written).
#include "cfb.h"

HRESULT StgCreateDocfile(const OLECHAR*, DWORD, DWORD, IStorage** pp) {
  if (pp) *pp = nullptr;
  return STG_E_UNIMPLEMENTEDFUNCTION;
}
HRESULT StgOpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD, IStorage** pp) {
  if (pp) *pp = nullptr;
  return STG_E_UNIMPLEMENTEDFUNCTION;
}
HRESULT StgIsStorageFile(const OLECHAR*) { return STG_E_UNIMPLEMENTEDFUNCTION; }
