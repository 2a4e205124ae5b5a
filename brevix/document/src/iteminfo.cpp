// The item information array that the library hands its host for one item.
#include "catalogdate.h"
#include "ostorage.h"

namespace brevix {
namespace {

xcom::Variant DateVariant(const FILETIME& ft) {
  // A time without a local calendar form stays a date, of day 0.
  return xcom::Variant::Date(FileTimeToDate(ft).value_or(0.0));
}

xcom::Variant TextVariant(const CountedString& s) {
  if (s) return xcom::Variant::String(*s);
  xcom::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;  // a null note stays null
  return v;
}

}  // namespace

HRESULT PackItemInfo(const ItemRecord& r, VARIANT* out) {
  if (!out) return E_POINTER;
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, ITEMINFO_COUNT);
  if (!sa) return E_FAIL;
  xcom::Variant values[ITEMINFO_COUNT] = {
      xcom::Variant::Currency(static_cast<LONGLONG>(r.Size())),
      DateVariant(r.timeA),
      DateVariant(r.timeB),
      xcom::Variant::R8(r.serial),
      xcom::Variant::Currency(static_cast<LONGLONG>(r.FreeSpace())),
      xcom::Variant::String(r.name),
      xcom::Variant::String(r.typeText),
      TextVariant(r.note),
  };
  for (LONG i = 0; i < ITEMINFO_COUNT; ++i) {
    if (FAILED(SafeArrayPutElement(sa, &i, &values[i]))) {
      SafeArrayDestroy(sa);
      return E_FAIL;
    }
  }
  VariantClear(out);
  out->parray = sa;
  out->vt = VT_ARRAY | VT_VARIANT;
  return S_OK;
}

}  // namespace brevix
