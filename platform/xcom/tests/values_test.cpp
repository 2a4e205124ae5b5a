// Counted strings, variants and safe arrays.
#include <gtest/gtest.h>

#include <string>

#include "xcom/com.h"

namespace {

TEST(XcomBstr, NullAndEmptyStayDistinct) {
  BSTR null = SysAllocString(nullptr);
  BSTR empty = SysAllocString(u"");
  EXPECT_EQ(null, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(null), 0u);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(empty[0], u'\0');
  SysFreeString(null);
  SysFreeString(empty);

  xcom::Bstr copyOfNull(xcom::Bstr{});
  xcom::Bstr copyOfEmpty(xcom::Bstr(u""));
  EXPECT_TRUE(copyOfNull.IsNull());
  EXPECT_FALSE(copyOfEmpty.IsNull());
}

TEST(XcomBstr, CountedLengthKeepsEmbeddedNuls) {
  const char16_t text[] = {u'a', 0, u'b'};
  BSTR s = SysAllocStringLen(text, 3);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  EXPECT_EQ(xcom::BstrView(s), std::u16string_view(text, 3));
  EXPECT_EQ(s[3], u'\0');
  SysFreeString(s);

  BSTR zeroed = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(xcom::BstrView(zeroed), std::u16string(4, u'\0'));
  SysFreeString(zeroed);
  EXPECT_EQ(SysAllocStringLen(u"x", 0xFFFFFFFFu), nullptr);
}

TEST(XcomBstr, Utf8RoundTripAndMalformedInput) {
  EXPECT_EQ(xcom::Utf8ToUtf16("D:\\Müsic \xF0\x9F\x8E\xB5"), u"D:\\Müsic \U0001F3B5");
  EXPECT_EQ(xcom::Utf16ToUtf8(u"D:\\Müsic \U0001F3B5"), "D:\\Müsic \xF0\x9F\x8E\xB5");
  EXPECT_EQ(xcom::Utf8ToUtf16("a\xC0\xAF" "b\xE2\x82"), u"a\uFFFD\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(xcom::Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

// A variant holding an array of variants, one of which holds an array of strings.
xcom::Variant NestedArrays() {
  SAFEARRAY* inner = SafeArrayCreateVector(VT_BSTR, 0, 2);
  LONG i = 0;
  SafeArrayPutElement(inner, &i, xcom::Bstr(u"left").Get());
  i = 1;
  SafeArrayPutElement(inner, &i, xcom::Bstr(u"right").Get());
  SAFEARRAY* outer = SafeArrayCreateVector(VT_VARIANT, 0, 3);
  xcom::Variant a = xcom::Variant::Adopt(VT_ARRAY | VT_BSTR, inner);
  xcom::Variant b = xcom::Variant::String(u"note");
  xcom::Variant c = xcom::Variant::I4(42);
  i = 0;
  SafeArrayPutElement(outer, &i, &a);
  i = 1;
  SafeArrayPutElement(outer, &i, &b);
  i = 2;
  SafeArrayPutElement(outer, &i, &c);
  return xcom::Variant::Adopt(VT_ARRAY | VT_VARIANT, outer);
}

std::u16string InnerString(const VARIANT& v, LONG outerIndex, LONG innerIndex) {
  xcom::Variant element;
  EXPECT_EQ(SafeArrayGetElement(v.parray, &outerIndex, &element), S_OK);
  BSTR s = nullptr;
  EXPECT_EQ(SafeArrayGetElement(element.parray, &innerIndex, &s), S_OK);
  std::u16string r(xcom::BstrView(s));
  SysFreeString(s);
  return r;
}

TEST(XcomVariant, CopyOfNestedArraysIsDeepAndClearFreesAll) {
  xcom::Variant original = NestedArrays();
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &original), S_OK);
  EXPECT_NE(copy.parray, original.parray);
  EXPECT_EQ(InnerString(copy, 0, 1), u"right");

  // Changing the copy leaves the original alone.
  LONG i = 1;
  xcom::Variant other = xcom::Variant::String(u"changed");
  ASSERT_EQ(SafeArrayPutElement(copy.parray, &i, &other), S_OK);
  xcom::Variant note;
  ASSERT_EQ(SafeArrayGetElement(original.parray, &i, &note), S_OK);
  EXPECT_EQ(xcom::BstrView(note.bstrVal), u"note");

  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(copy.vt, VT_EMPTY);
}

TEST(XcomVariant, CopyOntoItselfOrFromInsideItsOwnArray) {
  xcom::Variant v = NestedArrays();
  EXPECT_EQ(VariantCopy(&v, &v), S_OK);
  EXPECT_EQ(InnerString(v, 0, 0), u"left");

  // The source lives inside the destination's array: it is copied before the array goes.
  VARIANT* elements = nullptr;
  ASSERT_EQ(SafeArrayAccessData(v.parray, reinterpret_cast<void**>(&elements)), S_OK);
  VARIANT* note = &elements[1];
  ASSERT_EQ(SafeArrayUnaccessData(v.parray), S_OK);
  ASSERT_EQ(VariantCopy(&v, note), S_OK);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(xcom::BstrView(v.bstrVal), u"note");
}

TEST(XcomVariant, ClearRefusesUnknownTypesAndLockedArrays) {
  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x7F;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  EXPECT_EQ(bad.vt, 0x7F);
  bad.vt = VT_BYREF | VT_EMPTY;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);

  xcom::Variant v = xcom::Variant::Adopt(VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_I4, 0, 1));
  ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(v.vt, VT_ARRAY | VT_I4);
  SafeArrayUnlock(v.parray);
}

TEST(XcomVariant, CopyIndReadsThroughReferences) {
  BSTR text = SysAllocString(u"by reference");
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &text;

  xcom::Variant shallow;
  ASSERT_EQ(VariantCopy(&shallow, &ref), S_OK);
  EXPECT_EQ(shallow.vt, VT_BYREF | VT_BSTR);
  EXPECT_EQ(shallow.pbstrVal, &text);

  xcom::Variant deep;
  ASSERT_EQ(VariantCopyInd(&deep, &ref), S_OK);
  EXPECT_EQ(deep.vt, VT_BSTR);
  EXPECT_NE(deep.bstrVal, text);
  EXPECT_EQ(xcom::BstrView(deep.bstrVal), u"by reference");

  LONG n = 5;
  VARIANT numberRef;
  VariantInit(&numberRef);
  numberRef.vt = VT_BYREF | VT_I4;
  numberRef.plVal = &n;
  ASSERT_EQ(VariantCopyInd(&numberRef, &numberRef), S_OK);  // in place
  EXPECT_EQ(numberRef.vt, VT_I4);
  EXPECT_EQ(numberRef.lVal, 5);
  SysFreeString(text);
}

TEST(XcomCurrency, ByteCountTravelsAsTheSixtyFourBitValue) {
  xcom::Variant size = xcom::Variant::Currency(1457664);
  EXPECT_EQ(size.vt, VT_CY);
  EXPECT_EQ(size.cyVal.int64, 1457664);
  xcom::Variant asDouble;
  ASSERT_EQ(VariantChangeType(&asDouble, &size, 0, VT_R8), S_OK);
  EXPECT_DOUBLE_EQ(asDouble.dblVal, 145.7664);

  // An item information array carries it in element 0 unchanged.
  SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 8);
  LONG i = 0;
  ASSERT_EQ(SafeArrayPutElement(info, &i, &size), S_OK);
  xcom::Variant back;
  ASSERT_EQ(SafeArrayGetElement(info, &i, &back), S_OK);
  EXPECT_EQ(back.vt, VT_CY);
  EXPECT_EQ(back.cyVal.int64, 1457664);
  SafeArrayDestroy(info);
}

TEST(XcomSafeArray, BoundsAndIndexErrors) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_I4, 1, 3);  // indexes 1..3
  ASSERT_NE(a, nullptr);
  LONG lo = 0, hi = 0;
  EXPECT_EQ(SafeArrayGetLBound(a, 1, &lo), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(a, 1, &hi), S_OK);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
  EXPECT_EQ(SafeArrayGetLBound(a, 2, &lo), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(a, 0, &hi), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetDim(a), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(a), 4u);

  struct Case {
    LONG index;
    HRESULT expected;
  } cases[] = {{0, DISP_E_BADINDEX}, {1, S_OK}, {3, S_OK}, {4, DISP_E_BADINDEX}, {-2147483647 - 1, DISP_E_BADINDEX},
               {2147483647, DISP_E_BADINDEX}};
  for (const Case& c : cases) {
    LONG value = 9;
    EXPECT_EQ(SafeArrayPutElement(a, &c.index, &value), c.expected) << c.index;
    LONG read = 0;
    EXPECT_EQ(SafeArrayGetElement(a, &c.index, &read), c.expected) << c.index;
    if (c.expected == S_OK) {
      EXPECT_EQ(read, 9);
    }
  }
  EXPECT_EQ(SafeArrayDestroy(a), S_OK);

  SAFEARRAY* empty = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SafeArrayGetUBound(empty, 1, &hi), S_OK);
  EXPECT_EQ(hi, -1);
  LONG zero = 0;
  xcom::Variant v;
  EXPECT_EQ(SafeArrayGetElement(empty, &zero, &v), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(empty), S_OK);

  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 2147483647, 2), nullptr);  // its last index would not fit
  SAFEARRAYBOUND two[2] = {{1, 0}, {1, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 2, two), nullptr);
}

TEST(XcomSafeArray, LockingGuardsDestroy) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_BSTR, 0, 1);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
  EXPECT_EQ(data, a->pvData);
  EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
  EXPECT_EQ(SafeArrayUnlock(a), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(XcomSafeArray, PuttingAnElementsOwnStringBack) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_BSTR, 0, 1);
  LONG i = 0;
  ASSERT_EQ(SafeArrayPutElement(a, &i, xcom::Bstr(u"same").Get()), S_OK);
  BSTR* data = nullptr;
  SafeArrayAccessData(a, reinterpret_cast<void**>(&data));
  BSTR own = data[0];
  SafeArrayUnaccessData(a);
  ASSERT_EQ(SafeArrayPutElement(a, &i, own), S_OK);
  BSTR read = nullptr;
  ASSERT_EQ(SafeArrayGetElement(a, &i, &read), S_OK);
  EXPECT_EQ(xcom::BstrView(read), u"same");
  SysFreeString(read);
  SafeArrayDestroy(a);
}

}  // namespace
