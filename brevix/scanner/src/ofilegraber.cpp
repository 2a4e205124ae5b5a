// OFileGraber: the scanner's properties, the drive and catalog checks, adding and updating
// disks, the directory listing, its dispatch table and its creation.
#include <algorithm>
#include <cmath>
#include <vector>

#include "catalogdate.h"
#include "itemmatch.h"
#include "scanner_impl.h"
#include "xcom/tokens.h"

namespace brevix {
namespace {

using xcom::Bstr;

// A result variant holding a status or a count as a 32-bit integer.
void SetResultCode(VARIANT* v, LONG code) {
  if (!v) return;
  VariantClear(v);
  v->vt = VT_I4;
  v->lVal = code;
}

bool ValidSerial(double s) { return s >= 0.0 && s < kSerialLimit; }

// A serial as the label will show it: a whole number (and never -0).
double WholeSerial(double s) { return std::nearbyint(s) + 0.0; }

// The kernel error of a failed call, as the positive number the scanner answers with.
DWORD LastErrorOrGeneral() {
  DWORD err = GetLastError();
  return err != ERROR_SUCCESS ? err : ERROR_GEN_FAILURE;
}

// The answer for a drive that could not be read, from the kernel error just left: the drive
// without its medium is SCANNER_DRIVE_NOT_READY (and 21 in pData), anything else a failure.
HRESULT DriveFailure(VARIANT* pData) {
  const DWORD err = LastErrorOrGeneral();
  if (err == ERROR_NOT_READY) {
    SetResultCode(pData, SCANNER_DRIVE_NOT_READY);
    return SCANNER_DRIVE_NOT_READY;
  }
  return HresultFromWin32(err);
}

}  // namespace

HRESULT OFileGraber::FinalConstruct() { return NewCatalogDocument(&doc_); }

// ---------------------------------------------------------------------------------------------
// Properties

HRESULT OFileGraber::get_BaseSerialNum(double* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = baseSerialNum_;
  return S_OK;
}

HRESULT OFileGraber::put_BaseSerialNum(double newVal) {
  baseSerialNum_ = newVal;
  return S_OK;
}

HRESULT OFileGraber::get_DiskType(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = Bstr(diskType_).Detach();
  return S_OK;
}

HRESULT OFileGraber::put_DiskType(BSTR newVal) {
  if (!newVal) return STG_E_INVALIDPARAMETER;
  diskType_ = Bstr(xcom::BstrView(newVal));
  return diskType_.IsNull() ? E_OUTOFMEMORY : S_OK;
}

HRESULT OFileGraber::get_DocFileName(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = Bstr(docFileName_).Detach();
  return S_OK;
}

HRESULT OFileGraber::put_DocFileName(BSTR newVal) {
  docFileName_ = newVal ? Bstr(xcom::BstrView(newVal)) : Bstr();
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The catalog

HRESULT OFileGraber::OpenCatalog() {
  // Without a name the document would reopen whatever file it had before.
  if (docFileName_.Length() == 0) return STG_E_INVALIDPARAMETER;
  return doc_->LoadDoc(docFileName_.Get());
}

HRESULT OFileGraber::DiskOfSerial(double serial, Bstr& name) {
  HRESULT hr = doc_->FindDiskInLibrary(serial, name.ReleaseAndGetAddressOf());
  if (hr == STG_E_FILENOTFOUND) {
    name.Reset();
    return S_OK;
  }
  return hr;
}

HRESULT OFileGraber::IsSerialUsed(double dSerialNum, BSTR* pName) {
  if (!pName) return E_POINTER;
  if (std::trunc(dSerialNum) < 0.0) return S_OK;
  if (busy_) return STG_E_INUSE;
  wintypes::ScopedFlag busy(busy_);
  HRESULT hr = OpenCatalog();
  if (FAILED(hr)) return hr;
  Bstr name;
  hr = DiskOfSerial(dSerialNum, name);
  doc_->CloseDoc(0);
  if (FAILED(hr)) return hr;
  SysFreeString(*pName);
  *pName = name.Detach();
  return S_OK;
}

HRESULT OFileGraber::IsDiskFiled(BSTR path, VARIANT* pData) {
  if (!pData) return E_POINTER;
  SetResultCode(pData, 0);
  const double serial = ReadLabelSerial(DrivePathOf(path));
  if (serial == LABEL_SERIAL_NOT_READY) {
    SetResultCode(pData, SCANNER_DRIVE_NOT_READY);
    return SCANNER_DRIVE_NOT_READY;
  }
  BSTR name = nullptr;
  HRESULT hr = IsSerialUsed(serial, &name);
  if (FAILED(hr)) return hr;
  if (name) {
    VariantClear(pData);
    pData->vt = VT_BSTR;
    pData->bstrVal = name;
  }
  return S_OK;
}

HRESULT OFileGraber::IsNameUsed(BSTR bstrName, double* pDiskNum) {
  if (!pDiskNum) return E_POINTER;
  *pDiskNum = -1.0;
  if (busy_) return STG_E_INUSE;
  wintypes::ScopedFlag busy(busy_);
  HRESULT hr = OpenCatalog();
  if (FAILED(hr)) return hr;
  hr = doc_->IsNameUsed(bstrName, pDiskNum);
  HRESULT closed = doc_->CloseDoc(0);
  return FAILED(hr) ? hr : closed;
}

// ---------------------------------------------------------------------------------------------
// Drives and labels

HRESULT OFileGraber::IsValidMedium(BSTR bstrDrive, SHORT, LONG* pValid) {
  if (!pValid) return E_POINTER;
  const UINT type = GetDriveTypeA(DrivePathOf(bstrDrive).c_str());
  *pValid = (type == DRIVE_REMOVABLE || type == DRIVE_CDROM) ? 1 : 0;
  return S_OK;
}

HRESULT OFileGraber::IsWritable(BSTR bstrPath, SHORT* pbWrite) {
  if (!pbWrite) return E_POINTER;
  const std::string root = DrivePathOf(bstrPath);
  std::string label;
  if (!ReadVolumeLabel(root, label)) {
    if (GetLastError() == ERROR_NOT_READY) {
      *pbWrite = SCANNER_WRITE_NOT_READY;
      return SCANNER_DRIVE_NOT_READY;
    }
    // With no label read there is nothing to write back: the medium cannot be shown writable.
    const DWORD err = LastErrorOrGeneral();
    *pbWrite = 0;
    return static_cast<HRESULT>(err);
  }
  if (!SetVolumeLabelA(root.c_str(), label.c_str())) {
    const DWORD err = LastErrorOrGeneral();
    *pbWrite = 0;
    return static_cast<HRESULT>(err);
  }
  *pbWrite = 1;
  return S_OK;
}

HRESULT OFileGraber::GetDiskSerial(BSTR bstrPath, double* pNum) {
  if (!pNum) return E_POINTER;
  *pNum = ReadLabelSerial(DrivePathOf(bstrPath));
  return S_OK;
}

HRESULT OFileGraber::SetDiskSerial(BSTR bstrPath, BSTR bstrLabel) {
  const std::string label = DrivePathOf(bstrLabel);
  if (!SetVolumeLabelA(DrivePathOf(bstrPath).c_str(), label.c_str())) return HresultFromWin32(LastErrorOrGeneral());
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Adding a disk

HRESULT OFileGraber::FirstFreeSerial(double& serial) {
  HRESULT hr = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
  if (FAILED(hr)) return hr;
  std::vector<CatalogItem> items;
  hr = ListCurrentFolder(doc_.Get(), items);
  if (FAILED(hr)) return hr;
  std::vector<double> used;
  for (CatalogItem& item : items) {
    if (!item.storage) continue;
    ItemRecord disk;
    disk.name = std::move(item.element);
    disk.kind = ItemDisk;
    if (SUCCEEDED(doc_->GetItemInfo(nullptr, &disk))) used.push_back(disk.serial);
  }
  std::sort(used.begin(), used.end());
  serial = 1.0;
  for (double s : used) {
    if (s == serial) serial += 1.0;
    else if (s > serial) break;
  }
  return ValidSerial(serial) ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT OFileGraber::SettleSerial(double labelSerial, double& serial) {
  // A serial label that a catalogued disk carries: this medium is that disk.
  if (ValidSerial(labelSerial)) {
    Bstr owner;
    HRESULT hr = DiskOfSerial(labelSerial, owner);
    if (FAILED(hr)) return hr;
    if (!owner.IsNull()) return STG_E_FILEALREADYEXISTS;
  }
  // Otherwise (no label, or a serial no disk carries, or a number that is no serial) the
  // medium gets the serial wanted, else the catalog's next one; either must be free.
  double wanted = WholeSerial(baseSerialNum_);
  if (!ValidSerial(wanted)) {
    double base = 0.0;
    doc_->get_BaseSerialNum(&base);
    wanted = WholeSerial(base) + 1.0;
    if (!ValidSerial(wanted)) return STG_E_MEDIUMFULL;
  }
  // 0 is the serial of the disks catalogued by drive letter, never a medium's: a base that
  // would give it moves on to the first free serial.
  if (wanted == 0.0) {
    HRESULT hr = FirstFreeSerial(wanted);
    if (FAILED(hr)) return hr;
  }
  Bstr owner;
  HRESULT hr = DiskOfSerial(wanted, owner);
  if (FAILED(hr)) return hr;
  if (!owner.IsNull()) return STG_E_MEDIUMFULL;
  doc_->put_BaseSerialNum(wanted);
  serial = wanted;
  return S_OK;
}

HRESULT OFileGraber::AddNewDisk(BSTR path, BSTR bstrName, BSTR bstrDescrip, VARIANT* pData, SHORT iFlag,
                                BSTR bstrCategory) {
  if (busy_) return STG_E_INUSE;
  wintypes::ScopedFlag busy(busy_);
  const std::string root = DrivePathOf(path);
  const bool byLetter = iFlag == FLAG_DRIVE_BY_LETTER;

  double labelSerial = LABEL_SERIAL_NONE;
  if (!byLetter) {
    labelSerial = ReadLabelSerial(root);
    if (labelSerial == LABEL_SERIAL_NOT_READY) {
      SetResultCode(pData, SCANNER_DRIVE_NOT_READY);
      return SCANNER_DRIVE_NOT_READY;
    }
  }
  HRESULT hr = OpenCatalog();
  if (FAILED(hr)) return hr;

  double serial = 0.0;  // a drive catalogued by letter keeps 0
  if (!byLetter) {
    hr = SettleSerial(labelSerial, serial);
    if (FAILED(hr)) {
      doc_->CloseDoc(0);
      if (hr == STG_E_FILEALREADYEXISTS || hr == STG_E_MEDIUMFULL) SetResultCode(pData, hr);
      return hr;
    }
  }

  // A drive that cannot be read is not catalogued as an empty disk.
  volumes::Folder top = volumes::Folder::Open(root);
  std::uint64_t capacity = 0, freeBytes = 0;
  if (!top.IsOpen() || !DriveGeometry(root, capacity, freeBytes)) {
    hr = DriveFailure(pData);
    doc_->CloseDoc(0);
    return hr;
  }

  FILETIME now{};
  CoFileTimeNow(&now);
  ItemRecord disk;
  disk.name = std::u16string(xcom::BstrView(bstrName));
  if (bstrDescrip) disk.note = std::u16string(xcom::BstrView(bstrDescrip));
  disk.SetSize(capacity);
  disk.typeText = std::u16string(diskType_.View());
  disk.timeA = now;
  disk.timeB = now;
  disk.kind = ItemDisk;
  disk.serial = serial;
  disk.SetFreeSpace(freeBytes);

  hr = doc_->AddItem(nullptr, bstrName, &disk);
  if (FAILED(hr)) {
    // No disk: no label, and the catalog's base stays.
    doc_->CloseDoc(0);
    return hr;
  }
  if (pData) PackItemInfo(disk, pData);

  CountedString category;
  if (bstrCategory) category = std::u16string(xcom::BstrView(bstrCategory));
  hr = ScanTree(doc_.Get(), std::move(top), ScanMode::Add, category, nullptr);

  // Once the disk is in the file (with what the scan wrote), the medium carries its serial. A
  // catalog that could not be written out (a full disk) keeps no disk, so no label either; a
  // medium that refuses the label (a CD) is catalogued all the same.
  HRESULT closed = doc_->CloseDoc(1);
  if (SUCCEEDED(closed) && !byLetter) WriteLabelSerial(root, serial);
  return FAILED(hr) ? hr : closed;
}

// ---------------------------------------------------------------------------------------------
// Updating a disk

HRESULT OFileGraber::FindUpdatedDisk(BSTR bstrPath, SHORT iFlag, double serial, std::u16string& name) {
  if (iFlag == FLAG_DRIVE_BY_LETTER) {
    // Disks of drives are named by the upper-case letter, whatever case the path has.
    std::u16string_view path = xcom::BstrView(bstrPath);
    char16_t letter = path.empty() ? u' ' : path[0];
    if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
    name = u"[ ";
    name += letter;
    name += u" ] -- Drive";
    return S_OK;
  }
  if (!ValidSerial(serial)) return STG_E_INVALIDPARAMETER;
  // Serial 0 belongs to the disks catalogued by drive letter: no medium is updated over one.
  if (serial == 0.0) return STG_E_FILENOTFOUND;
  Bstr owner;
  HRESULT hr = DiskOfSerial(serial, owner);
  if (FAILED(hr)) return hr;
  if (owner.IsNull()) return STG_E_FILENOTFOUND;
  name = std::u16string(owner.View());
  return S_OK;
}

HRESULT OFileGraber::RefreshDisk(BSTR bstrPath, const std::u16string& diskName, VARIANT* pData) {
  const std::string root = DrivePathOf(bstrPath);
  // A drive that cannot be read leaves the disk as it is catalogued.
  volumes::Folder top = volumes::Folder::Open(root);
  if (!top.IsOpen()) return DriveFailure(pData);
  std::uint64_t total = 0, freeBytes = 0;
  ULARGE_INTEGER totalBytes{}, totalFree{};
  if (GetDiskFreeSpaceExA(root.c_str(), nullptr, &totalBytes, &totalFree)) {
    total = totalBytes.QuadPart;
    freeBytes = totalFree.QuadPart;
  } else if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED || !DriveGeometry(root, total, freeBytes)) {
    return HresultFromWin32(LastErrorOrGeneral());
  }

  FILETIME now{};
  CoFileTimeNow(&now);
  HRESULT hr = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
  if (FAILED(hr)) return hr;
  ItemRecord disk;
  disk.name = diskName;
  disk.kind = ItemDisk;
  hr = doc_->GetItemInfo(nullptr, &disk);
  if (FAILED(hr)) return hr;
  disk.timeA = now;
  disk.SetSize(total);
  disk.SetFreeSpace(freeBytes);
  if (pData) PackItemInfo(disk, pData);
  hr = doc_->SetItemInfo(nullptr, &disk);
  if (FAILED(hr)) return hr;

  // Only inside the disk: a scan of the root would take every other disk for vanished.
  Bstr name(diskName);
  hr = doc_->SetCurrentFolder(name.Get(), FOLDER_CHILD);
  if (FAILED(hr)) return hr;
  hr = ScanTree(doc_.Get(), std::move(top), ScanMode::Update, std::nullopt, nullptr);
  doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
  return hr;
}

HRESULT OFileGraber::UpdateDisk(BSTR bstrPath, SHORT iFlag, VARIANT* pData) {
  if (busy_) return STG_E_INUSE;
  wintypes::ScopedFlag busy(busy_);
  double serial = 0.0;
  if (iFlag != FLAG_DRIVE_BY_LETTER) {
    serial = ReadLabelSerial(DrivePathOf(bstrPath));
    if (serial == LABEL_SERIAL_NOT_READY) {
      SetResultCode(pData, SCANNER_DRIVE_NOT_READY);
      return SCANNER_DRIVE_NOT_READY;
    }
    if (serial < 0.0) {
      SetResultCode(pData, STG_E_FILENOTFOUND);
      return STG_E_FILENOTFOUND;
    }
  }
  HRESULT hr = OpenCatalog();
  if (FAILED(hr)) return hr;
  std::u16string diskName;
  hr = FindUpdatedDisk(bstrPath, iFlag, serial, diskName);
  if (SUCCEEDED(hr)) hr = RefreshDisk(bstrPath, diskName, pData);
  HRESULT closed = doc_->CloseDoc(0);
  return FAILED(hr) ? hr : (hr == S_OK ? closed : hr);
}

// ---------------------------------------------------------------------------------------------
// The directory listing

HRESULT OFileGraber::DisplayDirectoryFiles(BSTR bstrPath, SHORT srchType, LONG lpCallbackFnPtr) {
  ItemCallbackFn* callback = xcom::ResolveToken<ItemCallbackFn>(xcom::TokenKind::ItemCallback, lpCallbackFnPtr);
  if (!callback) return STG_E_INVALIDPARAMETER;
  if (busy_) return STG_E_INUSE;
  wintypes::ScopedFlag busy(busy_);
  const std::string root = DrivePathOf(bstrPath);
  volumes::Folder top = volumes::Folder::Open(root);
  if (!top.IsOpen()) return HresultFromWin32(LastErrorOrGeneral());
  // The catalog stays locked for other documents while the listing runs.
  HRESULT hr = OpenCatalog();
  if (FAILED(hr)) return hr;

  std::uint64_t capacity = 0, freeBytes = 0;
  if (!DriveGeometry(root, capacity, freeBytes)) capacity = 0;
  FILETIME now{};
  CoFileTimeNow(&now);
  const DATE today = FileTimeToDate(now).value_or(0.0);
  (void)callback(bstrPath, -1.0, nullptr, SizeInKB32(capacity), today, diskType_.Get());
  ListTree(std::move(top), std::u16string(xcom::BstrView(bstrPath)), srchType, callback);
  doc_->CloseDoc(0);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Dispatch

const xcom::DispatchTable<OFileGraber>& OFileGraber::GetDispatchTable() {
  using M = xcom::Member<OFileGraber>;
  using xcom::In;
  using xcom::Out;
  using xcom::Retval;
  static const xcom::DispatchTable<OFileGraber> table{
      M::Method<&OFileGraber::AddNewDisk>("AddNewDisk", 1),
      M::Method<&OFileGraber::UpdateDisk>("UpdateDisk", 2),
      M::PropertyGet<&OFileGraber::get_BaseSerialNum>("BaseSerialNum", 3),
      M::PropertyPut<&OFileGraber::put_BaseSerialNum>("BaseSerialNum", 3),
      M::PropertyGet<&OFileGraber::get_DiskType>("DiskType", 4),
      M::PropertyPut<&OFileGraber::put_DiskType>("DiskType", 4),
      M::Method<&OFileGraber::IsDiskFiled>("IsDiskFiled", 5, {In(VT_BSTR), Retval(VT_VARIANT)}),
      M::Method<&OFileGraber::IsSerialUsed>("IsSerialUsed", 6, {In(VT_R8), Retval(VT_BSTR)}),
      M::PropertyGet<&OFileGraber::get_DocFileName>("DocFileName", 7),
      M::PropertyPut<&OFileGraber::put_DocFileName>("DocFileName", 7),
      M::Method<&OFileGraber::IsValidMedium>("IsValidMedium", 8, {In(VT_BSTR), In(VT_I2), Retval(VT_I4)}),
      M::Method<&OFileGraber::IsNameUsed>("IsNameUsed", 9, {In(VT_BSTR), Retval(VT_R8)}),
      M::Method<&OFileGraber::IsWritable>("IsWritable", 10, {In(VT_BSTR), Retval(VT_I2)}),
      M::Method<&OFileGraber::GetDiskSerial>("GetDiskSerial", 11, {In(VT_BSTR), Retval(VT_R8)}),
      M::Method<&OFileGraber::SetDiskSerial>("SetDiskSerial", 12),
      M::Method<&OFileGraber::DisplayDirectoryFiles>("DisplayDirectoryFiles", 13),
  };
  return table;
}

// ---------------------------------------------------------------------------------------------
// Creation

HRESULT CreateFileGraber(xcom::ServerModule& module, IUnknown* outer, REFIID riid, void** ppv) {
  return xcom::CreateComponent<OFileGraber>(module, outer, riid, ppv);
}

HRESULT NewFileGraber(xcom::ComPtr<IOFileGraber>* out) {
  if (!out) return E_POINTER;
  return CreateFileGraber(LibraryModule(), nullptr, IID_IOFileGraber, out->ReleaseAndGetAddressOfVoid());
}

}  // namespace brevix
