// OFileGraber, the disk scanner: its state, the serial-label routines and the walks that copy a
// drive's tree into the catalog or hand it to a caller's callback.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "iofilegraber.h"
#include "longnames.h"
#include "ostorage.h"
#include "scopedflag.h"
#include "volumes.h"
#include "xcom/dispatch.h"

namespace brevix {

// A kernel error number as a failure status (the 0x8007xxxx family).
constexpr HRESULT HresultFromWin32(DWORD err) {
  return err == 0 ? E_FAIL : static_cast<HRESULT>(0x80070000u | (err & 0xFFFFu));
}

// The narrow (on-disk) form of a drive path given as a BSTR; null is the empty path.
std::string DrivePathOf(BSTR path);

// Serial labels.
// The serial a volume label carries: the digits after a leading "#"; nothing when the label
// is not a serial label.
std::optional<double> SerialOfLabel(std::string_view label);
// "#" and the serial rounded to an integer, at least ten digits with leading zeros.
std::string SerialLabel(double serial);
// The serial on the medium of a drive path: a serial, LABEL_SERIAL_NONE, or
// LABEL_SERIAL_NOT_READY.
double ReadLabelSerial(const std::string& root);
// Writes SerialLabel(serial) as the medium's label; false with GetLastError set.
bool WriteLabelSerial(const std::string& root, double serial);
// Reads the volume label into `label`; false with GetLastError set.
bool ReadVolumeLabel(const std::string& root, std::string& label);

// Capacity and free bytes of a drive from its geometry (GetDiskFreeSpaceA), in 64 bits; false
// with GetLastError set.
bool DriveGeometry(const std::string& path, std::uint64_t& capacity, std::uint64_t& freeBytes);

// One element of the current catalog folder: its element name, the name the user sees (the
// long name of a "FLD~~n" element) and whether it is a folder.
struct CatalogItem {
  std::u16string element;
  std::u16string shown;
  bool storage = false;
};

// Every item of the current catalog folder of `doc`, the reserved streams left out; the
// failure of a long-name map that cannot be read. The enumerator is gone when this answers,
// so the caller may delete what it lists.
HRESULT ListCurrentFolder(IOStorageInternal* doc, std::vector<CatalogItem>& out);

// How a walk treats the catalog folders it meets.
enum class ScanMode {
  Add,     // every folder and file is new
  Update,  // folders and files are matched against the catalogued ones
};

// Copies the tree of an open drive folder into the catalog folder that is current in `doc`
// (ScanFolder of the disk scanner). Every folder becomes a storage with its record, every
// non-empty file a stream; folder sizes are the totals of the files below them. In update
// mode, items whose last-write time changed are rewritten with their notes, new ones added,
// and items no longer on the medium removed from each folder whose listing was complete and
// whose scan succeeded. The walk keeps its own stack, so the depth of the tree is not limited
// by the call stack; the current folder of `doc` is the same after the walk as before it.
// `readAhead` worker threads open and list the medium's folders ahead of the walk (0: each
// folder is listed when the walk enters it); the catalog is the same either way.
HRESULT ScanTree(IOStorageInternal* doc, volumes::Folder top, ScanMode mode, const CountedString& note,
                 std::uint64_t* total, unsigned readAhead = volumes::WalkAhead::DefaultWorkers());

// Lists an open drive folder to an item callback (ListDirectory): folders before files,
// names ascending ignoring case, every folder followed by its contents unless srchType is 2;
// srchType 1 leaves files out. `path` is the folder's drive path as the callback sees it.
void ListTree(volumes::Folder top, std::u16string path, SHORT srchType, ItemCallbackFn* callback);

class OFileGraber : public xcom::DispatchImpl<OFileGraber, IOFileGraber> {
 public:
  OFileGraber() = default;
  virtual ~OFileGraber() = default;
  OFileGraber(const OFileGraber&) = delete;
  OFileGraber& operator=(const OFileGraber&) = delete;

  HRESULT FinalConstruct();
  void* GetInterface(REFIID iid) {
    return xcom::FindInterface<IOFileGraber, xcom::Via<IDispatch, IOFileGraber>>(this, iid);
  }
  static const xcom::DispatchTable<OFileGraber>& GetDispatchTable();

  HRESULT AddNewDisk(BSTR path, BSTR bstrName, BSTR bstrDescrip, VARIANT* pData, SHORT iFlag,
                     BSTR bstrCategory) override;
  HRESULT UpdateDisk(BSTR bstrPath, SHORT iFlag, VARIANT* pData) override;
  HRESULT get_BaseSerialNum(double* pVal) override;
  HRESULT put_BaseSerialNum(double newVal) override;
  HRESULT get_DiskType(BSTR* pVal) override;
  HRESULT put_DiskType(BSTR newVal) override;
  HRESULT IsDiskFiled(BSTR path, VARIANT* pData) override;
  HRESULT IsSerialUsed(double dSerialNum, BSTR* pName) override;
  HRESULT get_DocFileName(BSTR* pVal) override;
  HRESULT put_DocFileName(BSTR newVal) override;
  HRESULT IsValidMedium(BSTR bstrDrive, SHORT DiskType, LONG* pValid) override;
  HRESULT IsNameUsed(BSTR bstrName, double* pDiskNum) override;
  HRESULT IsWritable(BSTR bstrPath, SHORT* pbWrite) override;
  HRESULT GetDiskSerial(BSTR bstrPath, double* pNum) override;
  HRESULT SetDiskSerial(BSTR bstrPath, BSTR bstrLabel) override;
  HRESULT DisplayDirectoryFiles(BSTR bstrPath, SHORT srchType, LONG lpCallbackFnPtr) override;

 private:
  HRESULT OpenCatalog();
  // The name of the disk that carries `serial` (null when none does) of the open catalog.
  HRESULT DiskOfSerial(double serial, xcom::Bstr& name);
  // Settles the serial of a new disk on the open catalog (AddNewDisk). `labelSerial` is what
  // the medium's label gave (LABEL_SERIAL_NONE without one).
  HRESULT SettleSerial(double labelSerial, double& serial);
  // The lowest serial from 1 up that no disk of the open catalog carries.
  HRESULT FirstFreeSerial(double& serial);
  // The disk name of the catalogued disk of the medium (UpdateDisk).
  HRESULT FindUpdatedDisk(BSTR bstrPath, SHORT iFlag, double serial, std::u16string& name);
  HRESULT RefreshDisk(BSTR bstrPath, const std::u16string& diskName, VARIANT* pData);

  xcom::ComPtr<IOStorageInternal> doc_;
  double baseSerialNum_ = -1.0;
  xcom::Bstr diskType_;
  xcom::Bstr docFileName_{u"C:\\WINDOWS\\DESKTOP\\VEMRA.DKC"};
  // Raised (a wintypes::ScopedFlag) for the length of a call that uses the document: a
  // listing's callback that reaches back into the scanner must not reopen or move the catalog.
  bool busy_ = false;
};

}  // namespace brevix
