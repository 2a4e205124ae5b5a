// The item information array between the browser control's VARIANT (a VT_ARRAY | VT_VARIANT of
// 8 elements) and the program's QVariant (a QVariantList of kItemInfoCount elements):
//   [0] size and [4] free space as qlonglong byte counts (the currency's 64-bit integer),
//   [1] and [2] times as doubles (DATE), [3] the serial as a double, [5] to [7] QStrings.
// Any other variant (empty, a number after a failed add) becomes the matching scalar QVariant.
#pragma once

#include <QString>
#include <QVariant>

#include "xcom/automation.h"
#include "xcom/com.h"

namespace app {

// The program's form of a variant the control answered: an item information array becomes a
// QVariantList; VT_EMPTY an invalid QVariant; a number or string its QVariant.
QVariant FromControlVariant(const VARIANT& value);

// The control's form of an item information array (tests and fakes of the control hand these
// out); a value that is not a list becomes an empty variant.
xcom::Variant ToControlVariant(const QVariant& itemInfo);

// True when value is an item information array.
bool IsItemInfo(const QVariant& value);

// Element i of an item information array as text / number (empty or 0 when absent).
QString ItemInfoText(const QVariant& itemInfo, int index);
double ItemInfoNumber(const QVariant& itemInfo, int index);
qlonglong ItemInfoBytes(const QVariant& itemInfo, int index);

// A BSTR as a QString and back.
QString FromBstr(BSTR text);
xcom::Bstr ToBstr(const QString& text);

}  // namespace app
