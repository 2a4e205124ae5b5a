// IOFileGraber: the disk scanner's interface, as the host sees it. The host creates a scanner
// by the ProgID "Brevix.OFileGraber", sets its DocFileName to the open catalog, and through it
// adds disks from drives, updates catalogued disks, lists a drive's folders and asks questions
// about drives and media. Every method answers a status code; strings are BSTRs.
//
// Each scanner owns its own catalog document. Every operation that needs the catalog opens
// DocFileName and closes it again before it answers (a catalog that does not exist yet is
// created), so the catalog is locked for other documents only while a call runs.
//
// Drive paths are in drive-letter form: a root "D:\" (or a folder below it, "D:\Music"), the
// letter in either case.
//
// Serial labels: a catalogued removable medium carries its disk serial number as its volume
// label, "#" followed by the number as at least ten digits ("#0000000042"). Serial numbers
// lie in 0 .. 9999999999 (exclusive); disks catalogued by drive letter carry 0. A label is
// read by the digits that follow its "#"; a label without "#", or "#" with no digit after it,
// is no serial label.
//
// Success values that are not S_OK: SCANNER_DRIVE_NOT_READY (21, the kernel's ERROR_NOT_READY)
// when the drive has no medium; IsWritable answers a failed label write with the positive
// kernel error number. Hosts test for these explicitly.
//
// Result variants (pData of AddNewDisk, UpdateDisk and IsDiskFiled) are cleared before they
// are written, so they must hold a valid variant (VT_EMPTY at least) on entry.
#pragma once

#include "iteminfo.h"
#include "wintypes.h"
#include "xcom/automation.h"

// {B4EF4F89-9653-11D2-A245-00104BCD093B}
inline constexpr CLSID CLSID_OFileGraber = {0xB4EF4F89, 0x9653, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
// {B4EF4F88-9653-11D2-A245-00104BCD093B}
inline constexpr IID IID_IOFileGraber = {0xB4EF4F88, 0x9653, 0x11D2, {0xA2, 0x45, 0x00, 0x10, 0x4B, 0xCD, 0x09, 0x3B}};
inline constexpr const char16_t* kProgIdOFileGraber = u"Brevix.OFileGraber.1";
inline constexpr const char16_t* kProgIdOFileGraberIndependent = u"Brevix.OFileGraber";

// AddNewDisk's and UpdateDisk's iFlag for a drive catalogued by its letter (fixed and network
// drives): the volume label is neither read nor written, the disk is named "[ X ] -- Drive"
// and carries the serial 0.
inline constexpr SHORT FLAG_DRIVE_BY_LETTER = -100;

// The drive has no medium: a success value, also placed in pData as the integer 21.
inline constexpr HRESULT SCANNER_DRIVE_NOT_READY = 21;

// IsWritable's *pbWrite when the drive has no medium.
inline constexpr SHORT SCANNER_WRITE_NOT_READY = -100;

// GetDiskSerial's answers other than a serial number.
inline constexpr double LABEL_SERIAL_NONE = -1.0;       // no serial label (or no label at all)
inline constexpr double LABEL_SERIAL_NOT_READY = -2.0;  // the drive has no medium

// The highest serial number plus one: serials lie in [0, kSerialLimit).
inline constexpr double kSerialLimit = 9999999999.0;

struct IOFileGraber : IDispatch {
  static constexpr const IID& kIID = IID_IOFileGraber;

  // Catalogues the medium in the drive `path` as a new disk named bstrName with the note
  // bstrDescrip (the disk's description); every folder and file gets the note bstrCategory
  // (null for none). The serial: a medium without a serial label gets BaseSerialNum when that
  // is a valid serial, else the catalog's base plus one; a medium whose label serial no disk
  // carries is treated the same way and relabelled. The disk record, then the drive's whole
  // tree (a storage per folder, a stream per non-empty file; folder sizes are the totals of
  // the files below them) go into the catalog, the serial onto the medium's label, and the
  // serial becomes the catalog's base.
  // Answers, with pData (when given):
  //   SCANNER_DRIVE_NOT_READY    the drive has no medium; pData the integer 21
  //   STG_E_FILEALREADYEXISTS    the medium's label serial is carried by a catalogued disk;
  //                              pData the same code as an integer
  //   STG_E_MEDIUMFULL           the serial the disk would get is carried by a catalogued
  //                              disk (or no serial is left); pData the same code
  //   S_OK                       pData the new disk's item information array
  //   another failure            opening the catalog, reading the drive or creating the
  //                              disk (pData untouched, nothing written), or the scan
  //                              (pData the disk's array; what was written stays, and the
  //                              label and the base are written as on success)
  // A disk name already in use gives STG_E_FILEALREADYEXISTS from the catalog with pData
  // untouched; check IsNameUsed first to tell it from a catalogued label serial.
  virtual HRESULT AddNewDisk(BSTR path, BSTR bstrName, BSTR bstrDescrip, VARIANT* pData, SHORT iFlag,
                             BSTR bstrCategory) = 0;
  // Brings the catalogued disk of the medium in the drive up to date: the disk record's time
  // A becomes now and its sizes the drive's; new folders and files are added (with no note),
  // those whose last-write time changed are rewritten (keeping their notes), and those no
  // longer on the medium are removed. A name that changed only in letter case keeps its
  // catalogued item. The disk is the one that carries the medium's label serial, or for
  // FLAG_DRIVE_BY_LETTER the disk "[ X ] -- Drive" of the path's letter (upper-cased).
  // Answers, with pData (when given):
  //   SCANNER_DRIVE_NOT_READY    pData the integer 21
  //   STG_E_FILENOTFOUND         the medium has no serial label (pData the code), or no disk
  //                              carries its serial / the drive's name (pData untouched)
  //   STG_E_INVALIDPARAMETER     the label serial is not a valid serial (pData untouched)
  //   S_OK                       pData the refreshed disk's item information array
  //   another failure            pData the array when the disk record had been refreshed
  virtual HRESULT UpdateDisk(BSTR bstrPath, SHORT iFlag, VARIANT* pData) = 0;
  // The serial the caller wants for the next disk (-1.0 initially), stored unchanged.
  virtual HRESULT get_BaseSerialNum(double* pVal) = 0;
  virtual HRESULT put_BaseSerialNum(double newVal) = 0;
  // The media type name written into new disk records (null initially). Put with null:
  // STG_E_INVALIDPARAMETER.
  virtual HRESULT get_DiskType(BSTR* pVal) = 0;
  virtual HRESULT put_DiskType(BSTR newVal) = 0;
  // Whether the medium in the drive is catalogued: *pData becomes the name of the disk that
  // carries its label serial (VT_BSTR), the integer 0 (no serial label, or no disk carries
  // it), or the integer 21 with the answer SCANNER_DRIVE_NOT_READY.
  virtual HRESULT IsDiskFiled(BSTR path, VARIANT* pData) = 0;
  // The name of the disk that carries the serial into *pName (the caller's previous string,
  // if any, is freed; null when no disk does). A negative serial leaves *pName as it was and
  // does not open the catalog.
  virtual HRESULT IsSerialUsed(double dSerialNum, BSTR* pName) = 0;
  // The catalog file every operation opens ("C:\WINDOWS\DESKTOP\VEMRA.DKC" initially).
  virtual HRESULT get_DocFileName(BSTR* pVal) = 0;
  virtual HRESULT put_DocFileName(BSTR newVal) = 0;
  // 1 when the drive is removable or a CD drive, else 0. DiskType is not used.
  virtual HRESULT IsValidMedium(BSTR bstrDrive, SHORT DiskType, LONG* pValid) = 0;
  // 1.0 when a disk of that name is catalogued (letter case ignored), else -1.0.
  virtual HRESULT IsNameUsed(BSTR bstrName, double* pDiskNum) = 0;
  // Writes the medium's label back onto it: *pbWrite 1 (S_OK) when that worked, 0 and the
  // positive kernel error number when it did not (also when the label cannot be read),
  // SCANNER_WRITE_NOT_READY with the answer SCANNER_DRIVE_NOT_READY when there is no medium.
  virtual HRESULT IsWritable(BSTR bstrPath, SHORT* pbWrite) = 0;
  // The serial on the medium's label, LABEL_SERIAL_NONE or LABEL_SERIAL_NOT_READY.
  virtual HRESULT GetDiskSerial(BSTR bstrPath, double* pNum) = 0;
  // Sets the medium's volume label to bstrLabel unchanged (the caller supplies "#" and the
  // digits). A label the medium refuses gives the kernel error as a failure status
  // (0x80070013 for a write-protected medium).
  virtual HRESULT SetDiskSerial(BSTR bstrPath, BSTR bstrLabel) = 0;
  // Lists a folder of a real drive to the callback behind the token lpCallbackFnPtr (an
  // ItemCallbackFn, iteminfo.h): first the starting point (bstrPath, the drive's capacity in
  // KB, now, DiskType), then every folder ("FOLDER") and file ("FILE", empty files too) below
  // it, folders before files on each level, names in ascending order ignoring case, each
  // folder followed by its own contents. srchType: 0 everything, 1 folders only, 2 no descent
  // below bstrPath. Serials are -1.0 and notes null. The callback's answers are ignored; it
  // must not call back into this scanner (such calls answer STG_E_INUSE). Nothing is written
  // to the catalog, which stays locked while the listing runs. STG_E_INVALIDPARAMETER for a
  // token that is not a live ItemCallback.
  virtual HRESULT DisplayDirectoryFiles(BSTR bstrPath, SHORT srchType, LONG lpCallbackFnPtr) = 0;

 protected:
  ~IOFileGraber() = default;
};
