// Safe arrays of one dimension. Each array's descriptor sits in a block that also records its
// element type, so that destroying or copying it frees or copies what the elements own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "internal.h"
#include "xcom/automation.h"

using xcom::internal::IsArrayElementType;
using xcom::internal::ValueSize;

namespace {

constexpr std::uint32_t kMagic = 0x58534131;  // marks a descriptor made here

struct Block {
  std::uint32_t magic;
  VARTYPE vt;
  SAFEARRAY sa;
};

Block* BlockOf(SAFEARRAY* psa) {
  if (!psa) return nullptr;
  auto* block = reinterpret_cast<Block*>(reinterpret_cast<unsigned char*>(psa) - offsetof(Block, sa));
  return block->magic == kMagic ? block : nullptr;
}

USHORT FeaturesOf(VARTYPE vt) {
  USHORT f = FADF_HAVEVARTYPE;
  if (vt == VT_BSTR) f |= FADF_BSTR;
  if (vt == VT_UNKNOWN) f |= FADF_UNKNOWN;
  if (vt == VT_DISPATCH) f |= FADF_DISPATCH;
  if (vt == VT_VARIANT) f |= FADF_VARIANT;
  return f;
}

SAFEARRAY* Create(VARTYPE vt, LONG lbound, ULONG count) {
  if (!IsArrayElementType(vt)) return nullptr;
  std::size_t size = ValueSize(vt);
  // The last index must be a 32-bit index too.
  if (count > 0 && static_cast<std::int64_t>(lbound) + count - 1 > std::numeric_limits<LONG>::max()) return nullptr;
  if (count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
  auto* block = static_cast<Block*>(std::calloc(1, sizeof(Block)));
  if (!block) return nullptr;
  void* data = nullptr;
  if (count > 0) {
    // Zero bytes are VT_EMPTY variants, null strings and null interfaces.
    data = std::calloc(count, size);
    if (!data) {
      std::free(block);
      return nullptr;
    }
  }
  block->magic = kMagic;
  block->vt = vt;
  block->sa.cDims = 1;
  block->sa.fFeatures = FeaturesOf(vt);
  block->sa.cbElements = static_cast<ULONG>(size);
  block->sa.cLocks = 0;
  block->sa.pvData = data;
  block->sa.rgsabound[0].cElements = count;
  block->sa.rgsabound[0].lLbound = lbound;
  return &block->sa;
}

unsigned char* ElementAt(SAFEARRAY* psa, std::size_t i) {
  return static_cast<unsigned char*>(psa->pvData) + i * psa->cbElements;
}

// The element's position, or false outside the bounds.
bool Position(SAFEARRAY* psa, const LONG* rgIndices, std::size_t* pos) {
  std::int64_t offset = static_cast<std::int64_t>(rgIndices[0]) - psa->rgsabound[0].lLbound;
  if (offset < 0 || offset >= static_cast<std::int64_t>(psa->rgsabound[0].cElements)) return false;
  *pos = static_cast<std::size_t>(offset);
  return true;
}

// Frees what one element owns and zeroes it.
void ReleaseElement(VARTYPE vt, unsigned char* e) {
  if (vt == VT_BSTR) {
    BSTR s;
    std::memcpy(&s, e, sizeof s);
    SysFreeString(s);
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    IUnknown* p;
    std::memcpy(&p, e, sizeof p);
    if (p) p->Release();
  } else if (vt == VT_VARIANT) {
    VariantClear(reinterpret_cast<VARIANT*>(e));
  }
  std::memset(e, 0, ValueSize(vt));
}

// Writes a copy of the value at src (in the element's own form) into the zeroed element e.
HRESULT CopyElement(VARTYPE vt, const unsigned char* src, unsigned char* e) {
  if (vt == VT_BSTR) {
    BSTR s;
    std::memcpy(&s, src, sizeof s);
    if (s) {
      s = SysAllocStringLen(s, SysStringLen(s));
      if (!s) return E_OUTOFMEMORY;
    }
    std::memcpy(e, &s, sizeof s);
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    IUnknown* p;
    std::memcpy(&p, src, sizeof p);
    if (p) p->AddRef();
    std::memcpy(e, &p, sizeof p);
  } else if (vt == VT_VARIANT) {
    auto* v = reinterpret_cast<VARIANT*>(e);
    VariantInit(v);
    return VariantCopy(v, reinterpret_cast<const VARIANT*>(src));
  } else {
    std::memcpy(e, src, ValueSize(vt));
  }
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  return Create(vt, lLbound, cElements);
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound) {
  if (cDims != 1 || !rgsabound) return nullptr;
  return Create(vt, rgsabound[0].lLbound, rgsabound[0].cElements);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  Block* block = BlockOf(psa);
  if (!block) return E_INVALIDARG;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ULONG n = psa->rgsabound[0].cElements;
  if (block->vt == VT_BSTR || block->vt == VT_UNKNOWN || block->vt == VT_DISPATCH || block->vt == VT_VARIANT) {
    for (ULONG i = 0; i < n; ++i) ReleaseElement(block->vt, ElementAt(psa, i));
  }
  std::free(psa->pvData);
  block->magic = 0;
  std::free(block);
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  Block* block = BlockOf(psa);
  if (!block) return E_INVALIDARG;
  ULONG n = psa->rgsabound[0].cElements;
  SAFEARRAY* copy = Create(block->vt, psa->rgsabound[0].lLbound, n);
  if (!copy) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < n; ++i) {
    HRESULT hr = CopyElement(block->vt, ElementAt(psa, i), ElementAt(copy, i));
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return BlockOf(psa) ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return BlockOf(psa) ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  Block* block = BlockOf(psa);
  if (!block || !pvt) return E_INVALIDARG;
  *pvt = block->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!BlockOf(psa) || !plLbound) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!BlockOf(psa) || !plUbound) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plUbound = static_cast<LONG>(static_cast<std::int64_t>(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv) {
  Block* block = BlockOf(psa);
  if (!block || !rgIndices || !pv) return E_INVALIDARG;
  std::size_t pos;
  if (!Position(psa, rgIndices, &pos)) return DISP_E_BADINDEX;
  auto* out = static_cast<unsigned char*>(pv);
  if (block->vt == VT_VARIANT) return VariantCopy(reinterpret_cast<VARIANT*>(out), reinterpret_cast<VARIANT*>(ElementAt(psa, pos)));
  return CopyElement(block->vt, ElementAt(psa, pos), out);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv) {
  Block* block = BlockOf(psa);
  if (!block || !rgIndices) return E_INVALIDARG;
  VARTYPE vt = block->vt;
  bool pointerValued = vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH;
  if (!pv && !pointerValued) return E_INVALIDARG;
  std::size_t pos;
  if (!Position(psa, rgIndices, &pos)) return DISP_E_BADINDEX;
  unsigned char* e = ElementAt(psa, pos);
  if (vt == VT_VARIANT) return VariantCopy(reinterpret_cast<VARIANT*>(e), static_cast<const VARIANT*>(pv));
  // For strings and interfaces pv is the value itself; the copy is made before the old value
  // goes, so putting an element's own value back is safe.
  unsigned char value[sizeof(void*)] = {};
  const unsigned char* src = static_cast<const unsigned char*>(pv);
  if (pointerValued) {
    std::memcpy(value, &pv, sizeof pv);
    src = value;
  }
  unsigned char fresh[sizeof(VARIANT)] = {};
  HRESULT hr = CopyElement(vt, src, fresh);
  if (FAILED(hr)) return hr;
  ReleaseElement(vt, e);
  std::memcpy(e, fresh, ValueSize(vt));
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!BlockOf(psa)) return E_INVALIDARG;
  if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!BlockOf(psa)) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!ppvData) return E_INVALIDARG;
  *ppvData = nullptr;
  HRESULT hr = SafeArrayLock(psa);
  if (SUCCEEDED(hr)) *ppvData = psa->pvData;
  return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }
