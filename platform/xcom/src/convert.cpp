// VariantChangeType: conversions between variant types with the forms runtime's rules (the
// texts, rounding and ranges of platform/vbrt).
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "internal.h"
#include "vbrt.h"
#include "xcom/automation.h"
#include "xcom/com.h"
#include "xcom/dispatch.h"

using xcom::internal::IsValidVariantType;

namespace {

// The DATE range: 1 January 100 to 31 December 9999 23:59:59.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999999;
constexpr std::int64_t kMaxCurrencyUnits = std::numeric_limits<std::int64_t>::max() / 10000;

HRESULT FromRuntimeError(const vbrt::RuntimeError& e) {
  return e.number() == vbrt::ErrOverflow ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
}

// A numeric value in one of three exact forms.
struct Number {
  enum Form { Integer, Real, Currency } form = Integer;
  std::int64_t i = 0;  // Integer; Currency: the scaled value
  double d = 0;        // Real
};

bool NumberOf(const VARIANT& v, Number* n) {
  switch (v.vt) {
    case VT_EMPTY: n->i = 0; return true;
    case VT_I1: n->i = v.cVal; return true;
    case VT_UI1: n->i = v.bVal; return true;
    case VT_I2: n->i = v.iVal; return true;
    case VT_UI2: n->i = v.uiVal; return true;
    case VT_I4: n->i = v.lVal; return true;
    case VT_UI4: n->i = v.ulVal; return true;
    case VT_INT: n->i = v.intVal; return true;
    case VT_UINT: n->i = v.uintVal; return true;
    case VT_BOOL: n->i = v.boolVal ? -1 : 0; return true;
    case VT_R4: n->form = Number::Real; n->d = v.fltVal; return true;
    case VT_R8: n->form = Number::Real; n->d = v.dblVal; return true;
    case VT_DATE: n->form = Number::Real; n->d = v.date; return true;
    case VT_CY: n->form = Number::Currency; n->i = v.cyVal.int64; return true;
    default: return false;
  }
}

double ToDouble(const Number& n) {
  switch (n.form) {
    case Number::Integer: return static_cast<double>(n.i);
    case Number::Real: return n.d;
    case Number::Currency: return vbrt::CurrencyToDouble(vbrt::Currency::FromScaled(n.i));
  }
  return 0;
}

// Half to even: the runtime's rule for integer conversions.
std::int64_t RoundCurrencyUnits(std::int64_t scaled) {
  std::int64_t q = scaled / 10000, r = scaled % 10000;
  if (r > 5000 || (r == 5000 && (q & 1))) ++q;
  if (r < -5000 || (r == -5000 && (q & 1))) --q;
  return q;
}

// The number as an integer in [lo, hi], rounded half to even.
HRESULT ToInteger(const Number& n, std::int64_t lo, std::int64_t hi, std::int64_t* out) {
  std::int64_t v;
  if (n.form == Number::Integer) {
    v = n.i;
  } else if (n.form == Number::Currency) {
    v = RoundCurrencyUnits(n.i);
  } else {
    if (!std::isfinite(n.d)) return DISP_E_OVERFLOW;
    double r = std::nearbyint(n.d);  // the default rounding mode: to nearest, ties to even
    if (r < static_cast<double>(lo) - 0.5 || r > static_cast<double>(hi) + 0.5) return DISP_E_OVERFLOW;
    v = static_cast<std::int64_t>(r);
  }
  if (v < lo || v > hi) return DISP_E_OVERFLOW;
  *out = v;
  return S_OK;
}

HRESULT NumberToVariant(const Number& n, VARTYPE vt, VARIANT* out) {
  std::int64_t i = 0;
  HRESULT hr = S_OK;
  out->vt = vt;
  switch (vt) {
    case VT_I1: hr = ToInteger(n, INT8_MIN, INT8_MAX, &i); out->cVal = static_cast<CHAR>(i); break;
    case VT_UI1: hr = ToInteger(n, 0, UINT8_MAX, &i); out->bVal = static_cast<BYTE>(i); break;
    case VT_I2: hr = ToInteger(n, INT16_MIN, INT16_MAX, &i); out->iVal = static_cast<SHORT>(i); break;
    case VT_UI2: hr = ToInteger(n, 0, UINT16_MAX, &i); out->uiVal = static_cast<USHORT>(i); break;
    case VT_I4:
    case VT_INT: hr = ToInteger(n, INT32_MIN, INT32_MAX, &i); out->lVal = static_cast<LONG>(i); break;
    case VT_UI4:
    case VT_UINT: hr = ToInteger(n, 0, UINT32_MAX, &i); out->ulVal = static_cast<ULONG>(i); break;
    case VT_BOOL:
      out->boolVal = (n.form == Number::Real ? n.d != 0 : n.i != 0) ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_R4: {
      double d = ToDouble(n);
      if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(d);
      break;
    }
    case VT_R8: out->dblVal = ToDouble(n); break;
    case VT_DATE: {
      double d = ToDouble(n);
      if (!(d >= kMinDate && d <= kMaxDate)) return DISP_E_OVERFLOW;
      out->date = d;
      break;
    }
    case VT_CY:
      if (n.form == Number::Currency) {
        out->cyVal.int64 = n.i;
      } else if (n.form == Number::Integer) {
        if (n.i > kMaxCurrencyUnits || n.i < -kMaxCurrencyUnits) return DISP_E_OVERFLOW;
        out->cyVal.int64 = n.i * 10000;
      } else {
        out->cyVal.int64 = vbrt::CCur(n.d).scaled;
      }
      break;
    default: return DISP_E_TYPEMISMATCH;
  }
  return hr;
}

// The runtime's text of a number, date, currency or Boolean.
HRESULT TextOf(const VARIANT& v, USHORT flags, std::u16string* text) {
  switch (v.vt) {
    case VT_EMPTY: text->clear(); return S_OK;
    case VT_R4: *text = vbrt::CStr(v.fltVal); return S_OK;
    case VT_R8: *text = vbrt::CStr(v.dblVal); return S_OK;
    case VT_DATE: *text = vbrt::DateToText(v.date); return S_OK;
    case VT_CY: *text = vbrt::CStr(vbrt::Currency::FromScaled(v.cyVal.int64)); return S_OK;
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
        *text = v.boolVal ? u"True" : u"False";
      } else {
        *text = v.boolVal ? u"-1" : u"0";
      }
      return S_OK;
    default: {
      Number n;
      if (!NumberOf(v, &n)) return DISP_E_TYPEMISMATCH;
      *text = vbrt::CStr(n.i);
      return S_OK;
    }
  }
}

HRESULT FromText(std::u16string_view text, VARTYPE vt, VARIANT* out) {
  switch (vt) {
    case VT_BOOL: {
      std::optional<bool> b = vbrt::ParseBoolean(text);
      if (!b) return DISP_E_TYPEMISMATCH;
      out->vt = VT_BOOL;
      out->boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
    case VT_DATE: {
      std::optional<DATE> d = vbrt::ParseDate(text);
      if (!d) return DISP_E_TYPEMISMATCH;
      out->vt = VT_DATE;
      out->date = *d;
      return S_OK;
    }
    case VT_CY:
      out->vt = VT_CY;
      out->cyVal.int64 = vbrt::CCur(text).scaled;
      return S_OK;
    default: {
      std::optional<double> d = vbrt::ParseNumber(text);
      if (!d) return DISP_E_TYPEMISMATCH;
      Number n;
      n.form = Number::Real;
      n.d = *d;
      return NumberToVariant(n, vt, out);
    }
  }
}

bool IsTargetType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4:
    case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
    case VT_BSTR: case VT_BOOL: case VT_ERROR: case VT_DISPATCH: case VT_UNKNOWN:
      return true;
    default:
      return false;
  }
}

HRESULT Convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out, int depth);

// An object's value: its dispatch member 0 read as a property.
HRESULT ValueOfObject(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  if ((flags & VARIANT_NOVALUEPROP) || depth > 0) return DISP_E_TYPEMISMATCH;
  if (!src.punkVal) return DISP_E_TYPEMISMATCH;
  xcom::ComPtr<IDispatch> disp;
  if (src.vt == VT_DISPATCH) {
    disp = xcom::ComPtr<IDispatch>(src.pdispVal);
  } else if (FAILED(src.punkVal->QueryInterface(IID_IDispatch, disp.ReleaseAndGetAddressOfVoid()))) {
    return DISP_E_TYPEMISMATCH;
  }
  xcom::Variant value;
  HRESULT hr = xcom::CallDispatch(disp.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {}, &value);
  if (FAILED(hr)) return (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT) ? DISP_E_TYPEMISMATCH : hr;
  if (value.vt == vt) {
    *out = value.Detach();
    return S_OK;
  }
  return Convert(value, flags, vt, out, depth + 1);
}

HRESULT ToInterface(const VARIANT& src, VARTYPE vt, VARIANT* out) {
  out->vt = vt;
  out->punkVal = nullptr;
  if (src.vt == VT_EMPTY) return S_OK;
  if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
  if (!src.punkVal) return S_OK;
  if (vt == VT_UNKNOWN) {
    src.punkVal->AddRef();
    out->punkVal = src.punkVal;
    return S_OK;
  }
  void* p = nullptr;
  if (FAILED(src.punkVal->QueryInterface(IID_IDispatch, &p))) return DISP_E_TYPEMISMATCH;
  out->pdispVal = static_cast<IDispatch*>(p);
  return S_OK;
}

// src is not by reference and not of type vt; *out is empty and receives the value.
HRESULT Convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  if (vt == VT_EMPTY) return S_OK;
  if (vt == VT_NULL) {
    if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out->vt = VT_NULL;
    return S_OK;
  }
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return ToInterface(src, vt, out);
  if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) return ValueOfObject(src, flags, vt, out, depth);
  if ((src.vt & VT_ARRAY) || src.vt == VT_NULL || src.vt == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
  try {
    if (vt == VT_BSTR) {
      std::u16string text;
      HRESULT hr = TextOf(src, flags, &text);
      if (FAILED(hr)) return hr;
      BSTR b = xcom::AllocBstr(text);
      if (!b) return E_OUTOFMEMORY;
      out->vt = VT_BSTR;
      out->bstrVal = b;
      return S_OK;
    }
    if (src.vt == VT_BSTR) return FromText(xcom::BstrView(src.bstrVal), vt, out);
    Number n;
    if (!NumberOf(src, &n)) return DISP_E_TYPEMISMATCH;
    return NumberToVariant(n, vt, out);
  } catch (const vbrt::RuntimeError& e) {
    return FromRuntimeError(e);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANT* pvargDest, const VARIANT* pvarSrc, LCID, USHORT wFlags, VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!IsValidVariantType(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  bool sameArray = (vt & VT_ARRAY) && !(vt & VT_BYREF) && vt == (pvarSrc->vt & ~VT_BYREF);
  if (!sameArray && !IsTargetType(vt)) return DISP_E_BADVARTYPE;

  // Read through a reference first; the source may be the destination.
  xcom::Variant value;
  HRESULT hr = VariantCopyInd(&value, pvarSrc);
  if (FAILED(hr)) return hr;
  xcom::Variant result;
  if (value.vt == vt) {
    result = std::move(value);
  } else {
    VARIANT converted;
    VariantInit(&converted);
    hr = Convert(value, wFlags, vt, &converted, 0);
    if (FAILED(hr)) {
      VariantClear(&converted);
      return hr;
    }
    static_cast<VARIANT&>(result) = converted;
  }
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  *pvargDest = result.Detach();
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
