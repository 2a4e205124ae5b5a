// The item information array between the control's VARIANT and the program's QVariantList.
#include "iteminfovariant.h"

#include <QVariantList>

#include "appstate.h"

namespace app {

namespace {

QVariant Scalar(const VARIANT& v) {
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return QVariant();
    case VT_I2:
      return QVariant(int(v.iVal));
    case VT_I4:
      return QVariant(int(v.lVal));
    case VT_R8:
    case VT_DATE:
      return QVariant(v.dblVal);
    case VT_R4:
      return QVariant(double(v.fltVal));
    case VT_CY:
      return QVariant(qlonglong(v.cyVal.int64));
    case VT_BOOL:
      return QVariant(v.boolVal != VARIANT_FALSE);
    case VT_BSTR:
      return QVariant(FromBstr(v.bstrVal));
    default:
      break;
  }
  xcom::Variant converted;
  if (SUCCEEDED(VariantChangeType(&converted, &v, 0, VT_BSTR))) return QVariant(FromBstr(converted.bstrVal));
  return QVariant();
}

}  // namespace

QString FromBstr(BSTR text) {
  std::u16string_view view = xcom::BstrView(text);
  return QString(reinterpret_cast<const QChar*>(view.data()), qsizetype(view.size()));
}

xcom::Bstr ToBstr(const QString& text) {
  return xcom::Bstr(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
}

QVariant FromControlVariant(const VARIANT& value) {
  const VARIANT* v = &value;
  if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
  if (v->vt != (VT_ARRAY | VT_VARIANT)) return Scalar(*v);
  SAFEARRAY* array = v->parray;
  LONG lower = 0, upper = -1;
  if (!array || FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    return QVariant();
  }
  QVariantList list;
  for (LONG i = lower; i <= upper; ++i) {
    xcom::Variant element;
    if (FAILED(SafeArrayGetElement(array, &i, &element))) return QVariant();
    list.append(Scalar(element));
  }
  while (list.size() < kItemInfoCount) list.append(QVariant());
  return list;
}

xcom::Variant ToControlVariant(const QVariant& itemInfo) {
  if (!IsItemInfo(itemInfo)) return xcom::Variant();
  const QVariantList list = itemInfo.toList();
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, kItemInfoCount);
  if (!array) return xcom::Variant();
  for (LONG i = 0; i < kItemInfoCount; ++i) {
    const QVariant& q = list.value(i);
    xcom::Variant element;
    switch (i) {
      case kInfoSize:
      case kInfoFreeSpace:
        element = xcom::Variant::Currency(q.toLongLong());
        break;
      case kInfoTimeA:
      case kInfoTimeB:
        element = xcom::Variant::Date(q.toDouble());
        break;
      case kInfoSerial:
        element = xcom::Variant::R8(q.toDouble());
        break;
      default: {
        const QString text = q.toString();
        element = xcom::Variant::String(
            std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
      }
    }
    SafeArrayPutElement(array, &i, &element);
  }
  return xcom::Variant::Adopt(VT_ARRAY | VT_VARIANT, array);
}

bool IsItemInfo(const QVariant& value) {
  return value.typeId() == QMetaType::QVariantList && value.toList().size() >= kItemInfoCount;
}

QString ItemInfoText(const QVariant& itemInfo, int index) {
  return IsItemInfo(itemInfo) ? itemInfo.toList().value(index).toString() : QString();
}

double ItemInfoNumber(const QVariant& itemInfo, int index) {
  return IsItemInfo(itemInfo) ? itemInfo.toList().value(index).toDouble() : 0.0;
}

qlonglong ItemInfoBytes(const QVariant& itemInfo, int index) {
  return IsItemInfo(itemInfo) ? itemInfo.toList().value(index).toLongLong() : 0;
}

}  // namespace app
