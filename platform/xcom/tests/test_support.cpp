// A registry of the test's own, in a fresh temporary folder while the fixture lives; the sample
// object's dispatch table and members.
#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

TempRegistry::TempRegistry() : file_(dir_.path() / "xcom.reg") {
  if (const char* old = std::getenv("XCOM_REGISTRY")) {
    saved_ = old;
    hadSaved_ = true;
  }
  ::setenv("XCOM_REGISTRY", file_.c_str(), 1);
}

TempRegistry::~TempRegistry() {
  if (hadSaved_) {
    ::setenv("XCOM_REGISTRY", saved_.c_str(), 1);
  } else {
    ::unsetenv("XCOM_REGISTRY");
  }
}

std::string TempRegistry::Text() const {
  std::ifstream in(file_, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void TempRegistry::Write(const std::string& text) const {
  std::filesystem::path tmp = file_;
  tmp += ".new";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::filesystem::rename(tmp, file_);
}

const xcom::DispatchTable<Sample>& Sample::GetDispatchTable() {
  using M = xcom::Member<Sample>;
  using xcom::In;
  using xcom::Out;
  using xcom::Retval;
  static const xcom::DispatchTable<Sample> table{
      M::PropertyGet<&ISample::get_Name>("Name", 1),
      M::PropertyPut<&ISample::put_Name>("Name", 1),
      M::PropertyGet<&ISample::get_Count>("Count", 2),
      M::Method<&ISample::Add>("Add", 3, {In(VT_I2), In(VT_I4), Retval(VT_I4)}),
      M::Method<&ISample::Split>("Split", 4),
      M::Method<&ISample::Stamp>("Stamp", 5, {In(VT_DATE), In(VT_BOOL), Out(VT_BSTR)}),
      M::Method<&ISample::Fail>("Fail", 6),
      M::PropertyGet<&ISample::get_Item>("Item", DISPID_VALUE),
      M::Method<&ISample::Take>("Take", 7),
      M::PropertyGet<&ISample::get_Self>("Self", 8),
      M::Method<&ISample::Raise>("Raise", 9),
  };
  return table;
}

HRESULT Sample::get_Name(BSTR* pVal) {
  ++calls_;
  *pVal = xcom::AllocBstr(name_);
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT Sample::put_Name(BSTR newVal) {
  ++calls_;
  if (!newVal) return E_INVALIDARG;
  name_ = xcom::BstrView(newVal);
  return S_OK;
}

HRESULT Sample::get_Count(LONG* pVal) {
  *pVal = calls_;
  return S_OK;
}

HRESULT Sample::Add(SHORT a, LONG b, LONG* sum) {
  ++calls_;
  *sum = a + b;
  return S_OK;
}

HRESULT Sample::Split(BSTR text, BSTR* head, BSTR* tail) {
  ++calls_;
  std::u16string_view t = xcom::BstrView(text);
  // Writes its first output before it finds the text unusable, as a careless member might.
  *head = xcom::AllocBstr(t.substr(0, 1));
  std::size_t slash = t.find(u'/');
  if (slash == std::u16string_view::npos) return STG_E_INVALIDPARAMETER;
  SysFreeString(*head);
  *head = xcom::AllocBstr(t.substr(0, slash));
  *tail = xcom::AllocBstr(t.substr(slash + 1));
  return S_OK;
}

HRESULT Sample::Stamp(DATE when, VARIANT_BOOL upper, BSTR* text) {
  ++calls_;
  std::u16string s = upper ? u"DAY " : u"day ";
  s += std::u16string(1, char16_t(u'0' + static_cast<int>(when) % 10));
  *text = xcom::AllocBstr(s);
  return S_OK;
}

HRESULT Sample::Fail(LONG status) {
  ++calls_;
  return status;
}

HRESULT Sample::get_Item(LONG index, VARIANT* pVal) {
  ++calls_;
  if (index < 0) return E_INVALIDARG;
  pVal->vt = VT_I4;
  pVal->lVal = index * 10;
  return S_OK;
}

HRESULT Sample::Take(ISample* other, LONG* count) {
  ++calls_;
  if (!other) {
    *count = -1;
    return S_OK;
  }
  return other->get_Count(count);
}

HRESULT Sample::get_Self(ISample** pVal) {
  *pVal = this;
  static_cast<ISample*>(this)->AddRef();
  return S_OK;
}

HRESULT Sample::Raise(SHORT pane) {
  xcom::ComPtr<ISample> keep(this);  // a sink may release us during the event
  xcom::Variant arg = xcom::Variant::I2(pane);
  events_.Fire(1, arg);
  return S_OK;
}

HRESULT Sample::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum) *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT Sample::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  xcom::ConnectionPoint* points[] = {&events_};
  return xcom::FindConnectionPointIn(points, riid, ppCP);
}

xcom::ServerModule& SampleModule() {
  static xcom::ServerModule module;
  return module;
}

xcom::ComPtr<ISample> MakeSample() {
  xcom::ComPtr<Sample> s;
  EXPECT_EQ(xcom::MakeComponent(SampleModule(), &s), S_OK);
  return xcom::ComPtr<ISample>(s.Get());
}
