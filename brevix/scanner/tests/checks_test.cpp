// The scanner's properties, its serial labels and its drive and catalog checks.
#include "test_support.h"

using namespace scanner_test;

namespace {

TEST_F(ScannerTest, PropertiesStartAsTheHostExpects) {
  ComPtr<IOFileGraber> fresh;
  ASSERT_EQ(brevix::NewFileGraber(&fresh), S_OK);
  double base = 0;
  EXPECT_EQ(fresh->get_BaseSerialNum(&base), S_OK);
  EXPECT_EQ(base, -1.0);
  Bstr type, doc;
  EXPECT_EQ(fresh->get_DiskType(type.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_TRUE(type.IsNull());
  EXPECT_EQ(fresh->get_DocFileName(doc.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(doc.View(), u"C:\\WINDOWS\\DESKTOP\\VEMRA.DKC");
  EXPECT_EQ(fresh->put_DiskType(nullptr), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(fresh->put_DiskType(Bstr(u"Floppy Disk").Get()), S_OK);
  EXPECT_EQ(fresh->get_DiskType(type.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(type.View(), u"Floppy Disk");
}

TEST_F(ScannerTest, LabelSerials) {
  struct Case {
    const char* label;  // "-" for no label file
    double serial;
  };
  const Case cases[] = {
      {"#0000000042", 42.0},  {"#42", 42.0},       {"#12abc", 12.0}, {"Backup", -1.0},
      {"#", -1.0},            {"#misc", -1.0},     {"", -1.0},       {"-", -1.0},
      {"#9999999999", 9999999999.0}, {"#0000000000", -1.0}, {"#0", -1.0},
  };
  for (const Case& c : cases) {
    auto& drive = Drive('E', DRIVE_REMOVABLE, c.label);
    double serial = 0;
    EXPECT_EQ(scanner_->GetDiskSerial(Root('E').Get(), &serial), S_OK);
    EXPECT_EQ(serial, c.serial) << c.label;
    drive.SetReady(false);
    EXPECT_EQ(scanner_->GetDiskSerial(Root('E').Get(), &serial), S_OK);
    EXPECT_EQ(serial, -2.0);
    drives_.clear();
    fs::remove_all(Medium('E'));
  }
}

TEST_F(ScannerTest, SetDiskSerialWritesTheLabelOrReportsTheRefusal) {
  auto& drive = Drive('E');
  EXPECT_EQ(scanner_->SetDiskSerial(Root('E').Get(), Bstr(u"#0000000042").Get()), S_OK);
  EXPECT_EQ(Label(Medium('E')), "#0000000042");
  drive.SetWriteProtected(true);
  EXPECT_EQ(scanner_->SetDiskSerial(Root('E').Get(), Bstr(u"A").Get()), static_cast<HRESULT>(0x80070013u));
  EXPECT_EQ(Label(Medium('E')), "#0000000042");
  drive.SetReady(false);
  EXPECT_EQ(scanner_->SetDiskSerial(Root('E').Get(), Bstr(u"A").Get()), static_cast<HRESULT>(0x80070015u));
}

TEST_F(ScannerTest, IsWritable) {
  auto& drive = Drive('E', DRIVE_REMOVABLE, "Photos");
  SHORT write = 7;
  EXPECT_EQ(scanner_->IsWritable(Root('E').Get(), &write), S_OK);
  EXPECT_EQ(write, 1);
  EXPECT_EQ(Label(Medium('E')), "Photos");  // the label it had
  drive.SetWriteProtected(true);
  EXPECT_EQ(scanner_->IsWritable(Root('E').Get(), &write), static_cast<HRESULT>(ERROR_WRITE_PROTECT));
  EXPECT_EQ(write, 0);
  drive.SetReady(false);
  EXPECT_EQ(scanner_->IsWritable(Root('E').Get(), &write), 21);
  EXPECT_EQ(write, -100);
  // A letter without a drive: no label to write back, so not writable.
  EXPECT_EQ(scanner_->IsWritable(Root('Q').Get(), &write), static_cast<HRESULT>(ERROR_INVALID_DRIVE));
  EXPECT_EQ(write, 0);
}

TEST_F(ScannerTest, IsValidMediumByDriveType) {
  const std::pair<UINT, LONG> cases[] = {
      {DRIVE_REMOVABLE, 1}, {DRIVE_CDROM, 1}, {DRIVE_FIXED, 0}, {DRIVE_REMOTE, 0}, {DRIVE_RAMDISK, 0},
  };
  for (auto [type, valid] : cases) {
    Drive('F', type);
    LONG answer = -1;
    EXPECT_EQ(scanner_->IsValidMedium(Root('F').Get(), 2, &answer), S_OK);
    EXPECT_EQ(answer, valid) << type;
    drives_.clear();
  }
  LONG answer = -1;
  EXPECT_EQ(scanner_->IsValidMedium(Root('Q').Get(), 2, &answer), S_OK);
  EXPECT_EQ(answer, 0);
}

TEST_F(ScannerTest, IsDiskFiledAndIsSerialUsed) {
  Drive('E', DRIVE_REMOVABLE);
  WriteFile(Medium('E') / "a.txt", 5);
  ASSERT_EQ(Add('E', "Holiday", 42), S_OK);
  ASSERT_EQ(Label(Medium('E')), "#0000000042");

  Variant data;
  EXPECT_EQ(scanner_->IsDiskFiled(Root('E').Get(), &data), S_OK);
  ASSERT_EQ(data.vt, VT_BSTR);
  EXPECT_EQ(xcom::BstrView(data.bstrVal), u"Holiday");

  Bstr name;
  EXPECT_EQ(scanner_->IsSerialUsed(42, name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.View(), u"Holiday");
  EXPECT_EQ(scanner_->IsSerialUsed(43, name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_TRUE(name.IsNull());

  // A serial no disk carries, a medium without a serial label, a drive without a medium.
  Drive('G', DRIVE_REMOVABLE, "#0000000043");
  EXPECT_EQ(scanner_->IsDiskFiled(Root('G').Get(), &data), S_OK);
  EXPECT_EQ(IntOf(data), 0);
  Drive('H', DRIVE_REMOVABLE, "Music");
  EXPECT_EQ(scanner_->IsDiskFiled(Root('H').Get(), &data), S_OK);
  EXPECT_EQ(IntOf(data), 0);
  drives_.back()->SetReady(false);
  EXPECT_EQ(scanner_->IsDiskFiled(Root('H').Get(), &data), 21);
  EXPECT_EQ(IntOf(data), 21);
}

TEST_F(ScannerTest, NegativeSerialDoesNotOpenTheCatalog) {
  ASSERT_EQ(scanner_->put_DocFileName(Bstr(U((tmp_ / "none.dkc").string())).Get()), S_OK);
  BSTR untouched = SysAllocString(u"kept");
  EXPECT_EQ(scanner_->IsSerialUsed(-1.0, &untouched), S_OK);
  EXPECT_EQ(xcom::BstrView(untouched), u"kept");
  SysFreeString(untouched);
  EXPECT_FALSE(fs::exists(tmp_ / "none.dkc"));
}

TEST_F(ScannerTest, CatalogChecksReportACatalogThatCannotBeOpened) {
  // Another document holds the catalog.
  ComPtr<IOStorageInternal> other;
  ASSERT_EQ(brevix::NewCatalogDocument(&other), S_OK);
  ASSERT_EQ(other->LoadDoc(Bstr(U(catalog_)).Get()), S_OK);
  Bstr name;
  EXPECT_TRUE(FAILED(scanner_->IsSerialUsed(1, name.ReleaseAndGetAddressOf())));
  double used = 0;
  EXPECT_TRUE(FAILED(scanner_->IsNameUsed(Bstr(u"x").Get(), &used)));
  EXPECT_EQ(used, -1.0);
  other->CloseDoc(0);
  EXPECT_EQ(scanner_->IsNameUsed(Bstr(u"x").Get(), &used), S_OK);
  EXPECT_EQ(used, -1.0);
}

TEST_F(ScannerTest, IsNameUsedIgnoresCase) {
  Drive('C', DRIVE_FIXED);
  ASSERT_EQ(Add('C', "Backup", -1, FLAG_DRIVE_BY_LETTER), S_OK);
  double used = 0;
  EXPECT_EQ(scanner_->IsNameUsed(Bstr(u"BACKUP").Get(), &used), S_OK);
  EXPECT_EQ(used, 1.0);
  EXPECT_EQ(scanner_->IsNameUsed(Bstr(u"Other").Get(), &used), S_OK);
  EXPECT_EQ(used, -1.0);
}

}  // namespace
