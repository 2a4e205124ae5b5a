// The scanner through dispatch by name, as the host's late-bound calls make them.
#include "test_support.h"
#include "xcom/dispatch.h"

using namespace scanner_test;

namespace {

DISPID IdOf(IDispatch* d, const char16_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << N(name);
  return id;
}

TEST_F(ScannerTest, DispatchByName) {
  Drive('E', DRIVE_REMOVABLE, "#0000000007");
  WriteFile(Medium('E') / "a.txt", 4);
  IDispatch* d = scanner_.Get();

  Variant put[] = {Variant::String(u"CD-RW Disk")};
  EXPECT_EQ(xcom::CallDispatch(d, IdOf(d, u"disktype"), DISPATCH_PROPERTYPUT, put), S_OK);
  Variant base[] = {Variant::R8(7)};
  EXPECT_EQ(xcom::CallDispatch(d, IdOf(d, u"BaseSerialNum"), DISPATCH_PROPERTYPUT, base), S_OK);

  Variant serial;
  Variant root[] = {Variant::String(u"E:\\")};
  EXPECT_EQ(xcom::CallDispatch(d, IdOf(d, u"GetDiskSerial"), DISPATCH_METHOD, root, &serial), S_OK);
  EXPECT_EQ(serial.vt, VT_R8);
  EXPECT_EQ(serial.dblVal, 7.0);

  // AddNewDisk(path, name, description, pData by reference, flag, category).
  Variant result;
  Variant byRef;
  byRef.vt = VT_BYREF | VT_VARIANT;
  byRef.pvarVal = &result;
  Variant add[] = {Variant::String(u"E:\\"), Variant::String(u"Seven"), Variant::String(u""), byRef,
                   Variant::I2(0), Variant::String(u"")};
  EXPECT_EQ(xcom::CallDispatch(d, IdOf(d, u"AddNewDisk"), DISPATCH_METHOD, add), S_OK);
  byRef.vt = VT_EMPTY;  // the reference is not the argument's to free
  EXPECT_EQ(result.vt, VT_ARRAY | VT_VARIANT);

  Variant filed;
  EXPECT_EQ(xcom::CallDispatch(d, IdOf(d, u"IsDiskFiled"), DISPATCH_METHOD, root, &filed), S_OK);
  ASSERT_EQ(filed.vt, VT_BSTR);
  EXPECT_EQ(xcom::BstrView(filed.bstrVal), u"Seven");

  Variant name;
  Variant seven[] = {Variant::R8(7)};
  EXPECT_EQ(xcom::CallDispatch(d, IdOf(d, u"IsSerialUsed"), DISPATCH_METHOD, seven, &name), S_OK);
  EXPECT_EQ(xcom::BstrView(name.bstrVal), u"Seven");
}

}  // namespace
