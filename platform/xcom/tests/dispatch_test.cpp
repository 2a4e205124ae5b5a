// The table-driven IDispatch: names, arguments, out parameters, return values and failures.
#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

namespace {

using xcom::Variant;

struct Call {
  HRESULT hr = E_FAIL;
  Variant result;
  EXCEPINFO info{};
  UINT argErr = 0xFFFF;
  ~Call() { xcom::ClearExcepInfo(&info); }
};

// Invokes with args in declaration order (the test keeps what they own).
void Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, Call* call, bool putValue = false,
            bool withInfo = true) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS dp{reversed.data(), putValue ? &named : nullptr, static_cast<UINT>(reversed.size()), putValue ? 1u : 0u};
  call->hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, &call->result, withInfo ? &call->info : nullptr,
                       &call->argErr);
}

VARIANT Ref(VARTYPE vt, void* p) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | vt;
  v.byref = p;
  return v;
}

DISPID IdOf(IDispatch* d, const char16_t* name, HRESULT* hr = nullptr) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 12345;
  HRESULT r = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr) *hr = r;
  return id;
}

TEST(XcomDispatch, NamesInAnyLetterCase) {
  auto s = MakeSample();
  for (const char16_t* name : {u"Name", u"NAME", u"name", u"nAmE"}) EXPECT_EQ(IdOf(s.Get(), name), 1);
  EXPECT_EQ(IdOf(s.Get(), u"split"), 4);
  EXPECT_EQ(IdOf(s.Get(), u"ITEM"), DISPID_VALUE);

  HRESULT hr;
  EXPECT_EQ(IdOf(s.Get(), u"Nope", &hr), DISPID_UNKNOWN);
  EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);

  LPOLESTR two[] = {const_cast<LPOLESTR>(u"add"), const_cast<LPOLESTR>(u"a")};
  DISPID ids[2];
  EXPECT_EQ(s->GetIDsOfNames(IID_NULL, two, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 3);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(s->GetIDsOfNames(IID_IDispatch, two, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST(XcomDispatch, PropertyGetAndPut) {
  auto s = MakeSample();
  Variant name = Variant::String(u"Disk A");
  Call put;
  Invoke(s.Get(), IdOf(s.Get(), u"name"), DISPATCH_PROPERTYPUT, {name}, &put, true);
  EXPECT_EQ(put.hr, S_OK);

  Call get;
  Invoke(s.Get(), 1, DISPATCH_PROPERTYGET, {}, &get);
  ASSERT_EQ(get.hr, S_OK);
  EXPECT_EQ(get.result.vt, VT_BSTR);
  EXPECT_EQ(xcom::BstrView(get.result.bstrVal), u"Disk A");

  // A number is converted for the string property.
  Variant number = Variant::I4(12);
  Call coerced;
  Invoke(s.Get(), 1, DISPATCH_PROPERTYPUT, {number}, &coerced, true);
  EXPECT_EQ(coerced.hr, S_OK);
  BSTR now = nullptr;
  s->get_Name(&now);
  EXPECT_EQ(xcom::BstrView(now), u"12");
  SysFreeString(now);

  struct Refused {
    const char* what;
    DISPID id;
    WORD flags;
    bool named;
    HRESULT hr;
  } refused[] = {
      {"put without the named value", 1, DISPATCH_PROPERTYPUT, false, DISP_E_PARAMNOTFOUND},
      {"put on a read-only property", 2, DISPATCH_PROPERTYPUT, true, DISP_E_MEMBERNOTFOUND},
      {"put on a method", 6, DISPATCH_PROPERTYPUT, true, DISP_E_MEMBERNOTFOUND},
      {"put by reference of a plain put", 1, DISPATCH_PROPERTYPUTREF, true, DISP_E_MEMBERNOTFOUND},
      {"an unknown member", 77, DISPATCH_METHOD, false, DISP_E_MEMBERNOTFOUND},
  };
  for (const Refused& r : refused) {
    Call c;
    Invoke(s.Get(), r.id, r.flags, {name}, &c, r.named);
    EXPECT_EQ(c.hr, r.hr) << r.what;
  }
}

TEST(XcomDispatch, ArgumentsAreConvertedAndTheReturnValueDelivered) {
  auto s = MakeSample();
  Variant two = Variant::String(u"2");
  Variant threeAndAHalf = Variant::R8(3.5);
  for (WORD flags : {WORD(DISPATCH_METHOD), WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET)}) {
    Call c;
    Invoke(s.Get(), 3, flags, {two, threeAndAHalf}, &c);
    ASSERT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.result.vt, VT_I4);
    EXPECT_EQ(c.result.lVal, 6);  // 3.5 rounds half to even
  }

  // A by-reference in argument is read through.
  LONG forty = 40;
  Call byRef;
  Invoke(s.Get(), 3, DISPATCH_METHOD, {two, Ref(VT_I4, &forty)}, &byRef);
  EXPECT_EQ(byRef.result.lVal, 42);

  // Explicitly typed parameters: a date and a Boolean given as texts.
  Variant date = Variant::String(u"1/3/1900");
  Variant upper = Variant::String(u"True");
  BSTR text = nullptr;
  Call stamp;
  Invoke(s.Get(), 5, DISPATCH_METHOD, {date, upper, Ref(VT_BSTR, &text)}, &stamp);
  EXPECT_EQ(stamp.hr, S_OK);
  EXPECT_EQ(xcom::BstrView(text), u"DAY 4");
  SysFreeString(text);

  Variant big = Variant::I4(40000);
  Variant word = Variant::String(u"x");
  Variant one = Variant::I4(1);
  VARIANT missing;
  VariantInit(&missing);
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  struct Bad {
    const char* what;
    std::vector<VARIANT> args;
    HRESULT hr;
    UINT argErr;
  } bad[] = {
      {"overflow of a 16-bit parameter", {big, one}, DISP_E_OVERFLOW, 1},
      {"text that is no number", {one, word}, DISP_E_TYPEMISMATCH, 0},
      {"a missing argument", {missing, one}, DISP_E_PARAMNOTOPTIONAL, 1},
      {"too few arguments", {one}, DISP_E_BADPARAMCOUNT, 0xFFFF},
      {"too many arguments", {one, one, one}, DISP_E_BADPARAMCOUNT, 0xFFFF},
  };
  for (const Bad& b : bad) {
    Call c;
    Invoke(s.Get(), 3, DISPATCH_METHOD, b.args, &c);
    EXPECT_EQ(c.hr, b.hr) << b.what;
    EXPECT_EQ(c.argErr, b.argErr) << b.what;
    EXPECT_EQ(c.result.vt, VT_EMPTY) << b.what;
  }

  // Named arguments other than a put's value are refused.
  Call named;
  Invoke(s.Get(), 3, DISPATCH_METHOD, {two, one}, &named, true);
  EXPECT_EQ(named.hr, DISP_E_NONAMEDARGS);
}

TEST(XcomDispatch, OutParametersAreWrittenOnlyOnSuccess) {
  auto s = MakeSample();
  BSTR head = SysAllocString(u"old");
  Variant tail = Variant::I4(5);

  Variant path = Variant::String(u"Disk A/Music");
  Call ok;
  Invoke(s.Get(), 4, DISPATCH_METHOD, {path, Ref(VT_BSTR, &head), Ref(VT_VARIANT, &tail)}, &ok);
  ASSERT_EQ(ok.hr, S_OK);
  EXPECT_EQ(xcom::BstrView(head), u"Disk A");  // the old string was freed
  EXPECT_EQ(tail.vt, VT_BSTR);
  EXPECT_EQ(xcom::BstrView(tail.bstrVal), u"Music");

  // The member fails after writing one output: the caller's variables keep their values.
  Variant noSlash = Variant::String(u"Disk A");
  Call failed;
  Invoke(s.Get(), 4, DISPATCH_METHOD, {noSlash, Ref(VT_BSTR, &head), Ref(VT_VARIANT, &tail)}, &failed);
  EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(failed.info.scode, STG_E_INVALIDPARAMETER);
  EXPECT_EQ(xcom::BstrView(head), u"Disk A");
  EXPECT_EQ(xcom::BstrView(tail.bstrVal), u"Music");

  // An out argument must be a reference to its type or to a variant.
  LONG number = 0;
  Call notRef;
  Invoke(s.Get(), 4, DISPATCH_METHOD, {path, path, Ref(VT_VARIANT, &tail)}, &notRef);
  EXPECT_EQ(notRef.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(notRef.argErr, 1u);
  Call wrongType;
  Invoke(s.Get(), 4, DISPATCH_METHOD, {path, Ref(VT_BSTR, &head), Ref(VT_I4, &number)}, &wrongType);
  EXPECT_EQ(wrongType.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(wrongType.argErr, 0u);
  EXPECT_EQ(xcom::BstrView(head), u"Disk A");
  SysFreeString(head);
}

TEST(XcomDispatch, AFailingMemberReachesTheCallerWithItsStatus) {
  auto s = MakeSample();
  struct Case {
    HRESULT status;
    bool withInfo;
    HRESULT hr;
  } cases[] = {
      {STG_E_FILENOTFOUND, true, DISP_E_EXCEPTION},
      {STG_E_FILENOTFOUND, false, STG_E_FILENOTFOUND},
      {E_OUTOFMEMORY, true, DISP_E_EXCEPTION},
      {S_FALSE, true, S_FALSE},
      {21, true, 21},  // a success value with a meaning of its own
  };
  for (const Case& c : cases) {
    Variant status = Variant::I4(c.status);
    Call call;
    Invoke(s.Get(), 6, DISPATCH_METHOD, {status}, &call, false, c.withInfo);
    EXPECT_EQ(call.hr, c.hr) << std::hex << c.status;
    if (c.hr == DISP_E_EXCEPTION) {
      EXPECT_EQ(call.info.scode, c.status);
    }
  }
}

TEST(XcomDispatch, IndexedValuePropertyAndInterfaceArguments) {
  auto s = MakeSample();
  Variant three = Variant::I2(3);
  Call item;
  Invoke(s.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {three}, &item);
  ASSERT_EQ(item.hr, S_OK);
  EXPECT_EQ(item.result.vt, VT_I4);
  EXPECT_EQ(item.result.lVal, 30);

  Call self;
  Invoke(s.Get(), 8, DISPATCH_PROPERTYGET, {}, &self);
  ASSERT_EQ(self.hr, S_OK);
  ASSERT_EQ(self.result.vt, VT_DISPATCH);
  EXPECT_EQ(self.result.pdispVal, static_cast<IDispatch*>(s.Get()));

  auto other = MakeSample();
  LONG before = 0;
  other->get_Count(&before);
  Variant otherArg = Variant::Adopt(VT_DISPATCH, static_cast<IDispatch*>(other.Get()));
  other->AddRef();
  Call take;
  Invoke(s.Get(), 7, DISPATCH_METHOD, {otherArg, Ref(VT_I4, &before)}, &take);
  EXPECT_EQ(take.hr, S_OK);

  LONG count = 0;
  Variant nothing;
  Call takeNothing;
  Invoke(s.Get(), 7, DISPATCH_METHOD, {nothing, Ref(VT_I4, &count)}, &takeNothing);
  EXPECT_EQ(takeNothing.hr, S_OK);
  EXPECT_EQ(count, -1);

  IEnumConnections* enumerator = nullptr;
  ASSERT_EQ(static_cast<Sample*>(s.Get())->events().EnumConnections(&enumerator), S_OK);
  Variant notASample = Variant::Adopt(VT_UNKNOWN, enumerator);
  Call wrong;
  Invoke(s.Get(), 7, DISPATCH_METHOD, {notASample, Ref(VT_I4, &count)}, &wrong);
  EXPECT_EQ(wrong.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(wrong.argErr, 1u);
}

TEST(XcomDispatch, CallDispatchFromCode) {
  auto s = MakeSample();
  Variant args[] = {Variant::I2(1), Variant::I4(2)};
  Variant sum;
  ASSERT_EQ(xcom::CallDispatch(s.Get(), 3, DISPATCH_METHOD, args, &sum), S_OK);
  EXPECT_EQ(sum.lVal, 3);

  Variant name[] = {Variant::String(u"put by helper")};
  EXPECT_EQ(xcom::CallDispatch(s.Get(), 1, DISPATCH_PROPERTYPUT, name), S_OK);
  Variant back;
  ASSERT_EQ(xcom::CallDispatch(s.Get(), 1, DISPATCH_PROPERTYGET, {}, &back), S_OK);
  EXPECT_EQ(xcom::BstrView(back.bstrVal), u"put by helper");
}

TEST(XcomDispatch, ObjectConvertsThroughItsValueProperty) {
  auto s = MakeSample();
  // The sample's value property needs an index: there is no plain value to convert to.
  Variant obj = Variant::Adopt(VT_DISPATCH, static_cast<IDispatch*>(s.Get()));
  s->AddRef();
  Variant n;
  EXPECT_EQ(VariantChangeType(&n, &obj, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(&n, &obj, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  Variant unk;
  ASSERT_EQ(VariantChangeType(&unk, &obj, 0, VT_UNKNOWN), S_OK);
  EXPECT_EQ(unk.vt, VT_UNKNOWN);
}

}  // namespace
