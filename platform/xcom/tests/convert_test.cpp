// VariantChangeType with the forms runtime's conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "xcom/com.h"

namespace {

using xcom::Variant;

Variant Of(VARTYPE vt, auto value) {
  Variant v;
  v.vt = vt;
  std::memcpy(&v.llVal, &value, sizeof value);
  return v;
}

Variant Null() {
  Variant v;
  v.vt = VT_NULL;
  return v;
}

std::string Describe(const VARIANT& v) {
  Variant text;
  if (v.vt == VT_BSTR) return "\"" + xcom::Utf16ToUtf8(xcom::BstrView(v.bstrVal)) + "\"";
  if (VariantChangeType(&text, &v, VARIANT_ALPHABOOL, VT_BSTR) == S_OK)
    return "vt " + std::to_string(v.vt) + " " + xcom::Utf16ToUtf8(xcom::BstrView(text.bstrVal));
  return "vt " + std::to_string(v.vt);
}

bool Same(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_BSTR: return xcom::BstrView(a.bstrVal) == xcom::BstrView(b.bstrVal);
    case VT_R4: return a.fltVal == b.fltVal;
    case VT_R8: return a.dblVal == b.dblVal;
    case VT_DATE: return a.date == b.date;
    case VT_EMPTY: case VT_NULL: return true;
    default: return a.llVal == b.llVal;
  }
}

struct Case {
  const char* what;
  std::function<Variant()> source;
  USHORT flags;
  VARTYPE to;
  HRESULT hr;
  std::function<Variant()> expected;  // for S_OK
};

const Case kCases[] = {
    {"integer to text", [] { return Variant::I4(-42); }, 0, VT_BSTR, S_OK, [] { return Variant::String(u"-42"); }},
    {"half to even down", [] { return Variant::R8(2.5); }, 0, VT_I2, S_OK, [] { return Variant::I2(2); }},
    {"half to even up", [] { return Variant::R8(3.5); }, 0, VT_I2, S_OK, [] { return Variant::I2(4); }},
    {"negative half", [] { return Variant::R8(-2.5); }, 0, VT_I4, S_OK, [] { return Variant::I4(-2); }},
    {"rounds past the range", [] { return Variant::R8(32767.5); }, 0, VT_I2, DISP_E_OVERFLOW, nullptr},
    {"too big for 16 bits", [] { return Variant::I4(70000); }, 0, VT_I2, DISP_E_OVERFLOW, nullptr},
    {"negative to unsigned", [] { return Variant::I4(-1); }, 0, VT_UI4, DISP_E_OVERFLOW, nullptr},
    {"byte to signed byte", [] { return Of(VT_UI1, BYTE{255}); }, 0, VT_I1, DISP_E_OVERFLOW, nullptr},
    {"not a number", [] { return Variant::R8(std::nan("")); }, 0, VT_I4, DISP_E_OVERFLOW, nullptr},
    {"too big for single", [] { return Variant::R8(1e300); }, 0, VT_R4, DISP_E_OVERFLOW, nullptr},
    {"beyond the date range", [] { return Variant::R8(3e6); }, 0, VT_DATE, DISP_E_OVERFLOW, nullptr},
    {"text to integer", [] { return Variant::String(u"12"); }, 0, VT_I4, S_OK, [] { return Variant::I4(12); }},
    {"text with exponent", [] { return Variant::String(u" -1.5e3 "); }, 0, VT_R8, S_OK, [] { return Variant::R8(-1500); }},
    {"text not numeric", [] { return Variant::String(u"abc"); }, 0, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"thousands separator", [] { return Variant::String(u"1,000"); }, 0, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"text True", [] { return Variant::String(u"True"); }, 0, VT_BOOL, S_OK, [] { return Variant::Bool(true); }},
    {"text false", [] { return Variant::String(u"false"); }, 0, VT_BOOL, S_OK, [] { return Variant::Bool(false); }},
    {"numeric text to Boolean", [] { return Variant::String(u"2"); }, 0, VT_BOOL, S_OK, [] { return Variant::Bool(true); }},
    {"text yes", [] { return Variant::String(u"yes"); }, 0, VT_BOOL, DISP_E_TYPEMISMATCH, nullptr},
    {"True is -1", [] { return Variant::Bool(true); }, 0, VT_I2, S_OK, [] { return Variant::I2(-1); }},
    {"Boolean to text", [] { return Variant::Bool(true); }, 0, VT_BSTR, S_OK, [] { return Variant::String(u"-1"); }},
    {"Boolean to word", [] { return Variant::Bool(false); }, VARIANT_ALPHABOOL, VT_BSTR, S_OK,
     [] { return Variant::String(u"False"); }},
    {"number to Boolean", [] { return Variant::R8(0.25); }, 0, VT_BOOL, S_OK, [] { return Variant::Bool(true); }},
    {"empty to number", [] { return Variant(); }, 0, VT_I4, S_OK, [] { return Variant::I4(0); }},
    {"empty to text", [] { return Variant(); }, 0, VT_BSTR, S_OK, [] { return Variant::String(u""); }},
    {"null to number", [] { return Null(); }, 0, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"null to text", [] { return Null(); }, 0, VT_BSTR, DISP_E_TYPEMISMATCH, nullptr},
    {"date to text", [] { return Variant::Date(2.0); }, 0, VT_BSTR, S_OK, [] { return Variant::String(u"1/1/1900"); }},
    {"time to text", [] { return Variant::Date(0.5); }, 0, VT_BSTR, S_OK, [] { return Variant::String(u"12:00:00 PM"); }},
    {"text to date", [] { return Variant::String(u"1/1/1900"); }, 0, VT_DATE, S_OK, [] { return Variant::Date(2.0); }},
    {"text not a date", [] { return Variant::String(u"soon"); }, 0, VT_DATE, DISP_E_TYPEMISMATCH, nullptr},
    {"currency to double", [] { return Variant::Currency(1457664); }, 0, VT_R8, S_OK, [] { return Variant::R8(145.7664); }},
    {"currency to text", [] { return Variant::Currency(1457664); }, 0, VT_BSTR, S_OK,
     [] { return Variant::String(u"145.7664"); }},
    {"double to currency", [] { return Variant::R8(145.7664); }, 0, VT_CY, S_OK, [] { return Variant::Currency(1457664); }},
    {"text to currency", [] { return Variant::String(u"145.7664"); }, 0, VT_CY, S_OK,
     [] { return Variant::Currency(1457664); }},
    {"integer to currency", [] { return Variant::I4(3); }, 0, VT_CY, S_OK, [] { return Variant::Currency(30000); }},
    {"currency half to even", [] { return Variant::Currency(25000); }, 0, VT_I4, S_OK, [] { return Variant::I4(2); }},
    {"currency half to even up", [] { return Variant::Currency(35000); }, 0, VT_I4, S_OK, [] { return Variant::I4(4); }},
    {"single to text", [] { return Of(VT_R4, 0.1f); }, 0, VT_BSTR, S_OK, [] { return Variant::String(u"0.1"); }},
    {"array to number", [] { return Variant::Adopt(VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_I4, 0, 1)); }, 0, VT_I4,
     DISP_E_TYPEMISMATCH, nullptr},
    {"to variant", [] { return Variant::I4(1); }, 0, VT_VARIANT, DISP_E_BADVARTYPE, nullptr},
    {"to a reference", [] { return Variant::I4(1); }, 0, VT_BYREF | VT_I4, DISP_E_BADVARTYPE, nullptr},
    {"empty to an object", [] { return Variant(); }, 0, VT_DISPATCH, S_OK,
     [] { return Variant::Adopt(VT_DISPATCH, nullptr); }},
    {"number to an object", [] { return Variant::I4(1); }, 0, VT_DISPATCH, DISP_E_TYPEMISMATCH, nullptr},
};

TEST(XcomVariantChangeType, Conversions) {
  for (const Case& c : kCases) {
    Variant src = c.source();
    Variant dest;
    EXPECT_EQ(VariantChangeType(&dest, &src, c.flags, c.to), c.hr) << c.what;
    if (c.hr == S_OK) {
      Variant want = c.expected();
      EXPECT_TRUE(Same(dest, want)) << c.what << ": got " << Describe(dest) << ", want " << Describe(want);
    } else {
      EXPECT_EQ(dest.vt, VT_EMPTY) << c.what;
    }
  }
}

TEST(XcomVariantChangeType, InPlaceThroughReferenceAndFailureLeavesDestination) {
  Variant v = Variant::String(u"7");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I2), S_OK);
  EXPECT_EQ(v.vt, VT_I2);
  EXPECT_EQ(v.iVal, 7);

  LONG n = 99;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &n;
  Variant text;
  ASSERT_EQ(VariantChangeType(&text, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(xcom::BstrView(text.bstrVal), u"99");

  Variant dest = Variant::String(u"kept");
  Variant bad = Variant::String(u"x");
  EXPECT_EQ(VariantChangeType(&dest, &bad, 0, VT_R8), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(xcom::BstrView(dest.bstrVal), u"kept");
}

}  // namespace
