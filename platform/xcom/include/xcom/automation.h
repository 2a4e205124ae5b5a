// Automation types of the component runtime: counted wide strings (BSTR), variants, safe
// arrays, currency and dates, and the IDispatch contract with its argument and exception
// records. Everything here lives in libxcom.so, one copy per process, so a string or array
// allocated by one deliverable may be freed by another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "unicode.h"
#include "wintypes.h"

// ---------------------------------------------------------------------------------------------
// Scalars

using FLOAT = float;
using DOUBLE = double;
using CHAR = char;
using VARTYPE = USHORT;
using VARIANT_BOOL = SHORT;
using DISPID = LONG;
using MEMBERID = DISPID;
using LCID = DWORD;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Days since 30 December 1899 00:00, the time of day as the fraction (the same alias as the
// forms runtime's value layer).
using DATE = double;

// Currency: a 64-bit integer that is the amount times 10000. A byte count carried as currency
// keeps the count in int64 (1457664 bytes is int64 == 1457664, which reads as 145.7664).
union CY {
  struct {
    ULONG Lo;
    LONG Hi;
  } u;
  LONGLONG int64;
};

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;

// {00000000-0000-0000-0000-000000000000}: the interface identifier Invoke and GetIDsOfNames take.
inline constexpr IID IID_NULL = GUID_NULL;

// ---------------------------------------------------------------------------------------------
// Counted wide strings
//
// A BSTR points at UTF-16 text preceded by its length in bytes (32 bits) and followed by a NUL.
// A null BSTR and an empty one are different values; both have length 0.

using BSTR = OLECHAR*;

// A copy of a NUL-terminated text; null for a null argument (or when memory runs out).
BSTR SysAllocString(const OLECHAR* psz);
// A string of len characters copied from pch; with a null pch the characters are zeroed.
// Null when memory runs out or len is beyond the 32-bit byte count.
BSTR SysAllocStringLen(const OLECHAR* pch, UINT len);
// Frees a string; a null argument is accepted.
void SysFreeString(BSTR bstr);
// Characters in the string (embedded NULs count); 0 for null.
UINT SysStringLen(BSTR bstr);
// Bytes in the string; 0 for null.
UINT SysStringByteLen(BSTR bstr);

namespace xcom {

// A BSTR copied from UTF-16 text (never null, except when memory runs out).
BSTR AllocBstr(std::u16string_view text);
// The characters of a BSTR; empty for null.
std::u16string_view BstrView(BSTR bstr);

// Component strings are data: converted strictly, malformed input becoming U+FFFD (see
// unicode.h; a file-system path or name takes unicode::Policy::kLossless instead).
inline std::u16string Utf8ToUtf16(std::string_view text) {
  return unicode::Utf8ToUtf16(text, unicode::Policy::kStrict);
}
inline std::string Utf16ToUtf8(std::u16string_view text) {
  return unicode::Utf16ToUtf8(text, unicode::Policy::kStrict);
}

}  // namespace xcom

// ---------------------------------------------------------------------------------------------
// Variants

struct IDispatch;
struct SAFEARRAY;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    CHAR cVal;
    USHORT uiVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    FLOAT* pfltVal;
    DOUBLE* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    CY* pcyVal;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
    CHAR* pcVal;
    USHORT* puiVal;
    ULONG* pulVal;
    INT* pintVal;
    UINT* puintVal;
  };
};
using VARIANTARG = VARIANT;

// Makes the variant VT_EMPTY without freeing anything.
void VariantInit(VARIANT* pvarg);
// Frees what the variant owns (string, interface reference, array with its elements) and makes
// it VT_EMPTY. A by-reference variant owns nothing. DISP_E_BADVARTYPE for an unknown type
// (the variant is left as it was), E_INVALIDARG for null.
HRESULT VariantClear(VARIANT* pvarg);
// Clears the destination, then makes it a deep copy of the source (strings and arrays copied,
// interfaces referenced again). A by-reference source is copied as the same reference.
// Copying a variant onto itself changes nothing.
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);
// As VariantCopy, but a by-reference source is copied as the value it refers to.
HRESULT VariantCopyInd(VARIANT* pvargDest, const VARIANT* pvargSrc);

// Flags of VariantChangeType.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;  // an object is not asked for its value
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;    // Booleans become "True"/"False", not "-1"/"0"
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;    // the same, in the (fixed US English) locale

// Converts the source to the type vt into the destination, with the forms runtime's rules:
// integers round half to even and report DISP_E_OVERFLOW outside their range; texts convert to
// numbers, currency, dates and Booleans through the runtime's grammar (DISP_E_TYPEMISMATCH
// when they do not parse); numbers, dates and currency convert to the runtime's texts; True is
// -1; an object gives its value property (dispatch id 0) unless VARIANT_NOVALUEPROP; VT_EMPTY
// converts to 0, "" and False; VT_NULL converts to nothing but VT_NULL. A by-reference source
// is read through. Source and destination may be the same variant. The destination is cleared
// and written only on success; on failure it is as it was.
HRESULT VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANT* pvargDest, const VARIANT* pvarSrc, LCID lcid, USHORT wFlags,
                            VARTYPE vt);

// ---------------------------------------------------------------------------------------------
// Safe arrays: one dimension with a lower bound.

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

// fFeatures bits.
inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
inline constexpr USHORT FADF_BSTR = 0x0100;
inline constexpr USHORT FADF_UNKNOWN = 0x0200;
inline constexpr USHORT FADF_DISPATCH = 0x0400;
inline constexpr USHORT FADF_VARIANT = 0x0800;

// A one-dimensional array of cElements zeroed (or empty-variant) elements of type vt whose
// first index is lLbound. Element types: VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT,
// VT_UINT, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BOOL, VT_ERROR, VT_BSTR, VT_UNKNOWN, VT_DISPATCH,
// VT_VARIANT. Null for another type, a count whose bytes do not fit, or no memory.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// The same with the bound given as a record; cDims must be 1.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound);
// Frees the array and what its elements own. DISP_E_ARRAYISLOCKED while it is locked;
// a null array is accepted.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
// A deep copy (strings and variants copied, interfaces referenced again) into *ppsaOut.
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
UINT SafeArrayGetDim(SAFEARRAY* psa);
UINT SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// The first and last index of dimension nDim (1). DISP_E_BADINDEX for another dimension.
// An empty array starting at 0 has the upper bound -1.
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
// Copies the element at *rgIndices out into pv: a new copy of a string (BSTR* pv), a new
// reference to an interface, a VariantCopy into an initialised VARIANT* pv, the bytes of a
// scalar. DISP_E_BADINDEX outside the bounds.
HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
// Replaces the element at *rgIndices by a copy of pv, freeing the old element. pv is the BSTR
// itself for VT_BSTR, the interface pointer for VT_UNKNOWN/VT_DISPATCH, a VARIANT* for
// VT_VARIANT and the address of the scalar otherwise. DISP_E_BADINDEX outside the bounds.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);  // E_UNEXPECTED when it is not locked
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);  // locks; gives the elements
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

// ---------------------------------------------------------------------------------------------
// Dispatch

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

// The arguments of one call: rgvarg holds them in reverse order (the last argument first);
// named arguments come first in rgvarg, rgdispidNamedArgs naming them (a property put passes
// its value as the named argument DISPID_PROPERTYPUT).
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

// What a failing member reports through Invoke's DISP_E_EXCEPTION: scode is its status.
// The caller frees the three strings (SysFreeString accepts null).
struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

struct ITypeInfo;  // no type information is served: GetTypeInfoCount answers 0

// {00020400-0000-0000-C000-000000000046}
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IDispatch : IUnknown {
  static constexpr const IID& kIID = IID_IDispatch;
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};
