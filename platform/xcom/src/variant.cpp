// Variants: initialising, clearing and copying.
#include <cstring>

#include "internal.h"
#include "xcom/automation.h"

namespace xcom::internal {

std::size_t ValueSize(VARTYPE base) {
  switch (base) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

bool IsArrayElementType(VARTYPE base) { return ValueSize(base) != 0; }

bool IsValidVariantType(VARTYPE vt) {
  if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
  VARTYPE base = vt & VT_TYPEMASK;
  bool array = (vt & VT_ARRAY) != 0;
  bool byref = (vt & VT_BYREF) != 0;
  if (base == VT_EMPTY || base == VT_NULL) return !array && !byref;
  if (!IsArrayElementType(base)) return false;
  if (base == VT_VARIANT) return array || byref;
  return true;
}

}  // namespace xcom::internal

using xcom::internal::IsValidVariantType;
using xcom::internal::ValueSize;

void VariantInit(VARIANT* pvarg) {
  if (!pvarg) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->llVal = 0;
}

HRESULT VariantClear(VARIANT* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  VARTYPE vt = pvarg->vt;
  if (!IsValidVariantType(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvarg->punkVal) {
      pvarg->punkVal->Release();
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

namespace {

// A copy of the value a variant holds (not by reference) into *out, which owns nothing yet.
HRESULT CopyValue(const VARIANT& src, VARIANT* out) {
  *out = src;
  VARTYPE vt = src.vt;
  if (vt & VT_BYREF) return S_OK;
  if (vt & VT_ARRAY) {
    out->parray = nullptr;
    if (!src.parray) return S_OK;
    return SafeArrayCopy(src.parray, &out->parray);
  }
  if (vt == VT_BSTR && src.bstrVal) {
    out->bstrVal = SysAllocStringLen(src.bstrVal, SysStringLen(src.bstrVal));
    if (!out->bstrVal) return E_OUTOFMEMORY;
  } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && src.punkVal) {
    src.punkVal->AddRef();
  }
  return S_OK;
}

// The value a by-reference variant refers to, as a variant of its own, into *out.
HRESULT CopyReferenced(const VARIANT& src, VARIANT* out) {
  VARTYPE base = src.vt & ~VT_BYREF;
  if (!src.byref) return E_INVALIDARG;
  VARIANT value;
  VariantInit(&value);
  if (base == VT_VARIANT) {
    const VARIANT& inner = *src.pvarVal;
    if (inner.vt & VT_BYREF) return E_INVALIDARG;  // a reference to a reference
    if (!IsValidVariantType(inner.vt)) return DISP_E_BADVARTYPE;
    return CopyValue(inner, out);
  }
  value.vt = base;
  if (base & VT_ARRAY) {
    value.parray = *src.pparray;
  } else {
    std::memcpy(&value.llVal, src.byref, ValueSize(base));
  }
  return CopyValue(value, out);
}

// Moves tmp into *dest after clearing dest; frees tmp when dest cannot be cleared.
HRESULT Replace(VARIANT* dest, VARIANT* tmp) {
  HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(tmp);
    return hr;
  }
  *dest = *tmp;
  return S_OK;
}

}  // namespace

HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!IsValidVariantType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  // The copy is made before the destination is cleared: the source may live inside it (an
  // element of the array the destination holds).
  VARIANT tmp;
  HRESULT hr = CopyValue(*pvargSrc, &tmp);
  if (FAILED(hr)) return hr;
  return Replace(pvargDest, &tmp);
}

HRESULT VariantCopyInd(VARIANT* pvargDest, const VARIANT* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (!IsValidVariantType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvargDest, pvargSrc);
  VARIANT tmp;
  HRESULT hr = CopyReferenced(*pvargSrc, &tmp);
  if (FAILED(hr)) return hr;
  return Replace(pvargDest, &tmp);
}
