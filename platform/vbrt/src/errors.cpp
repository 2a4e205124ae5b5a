// The runtime's error numbers, their descriptions and the statuses that map onto them.

#include <utility>

#include "decimal.h"
#include "unicode.h"
#include "vbrt.h"

namespace vbrt {

namespace {

struct ErrorText {
  int number;
  const char16_t* text;
};

// Descriptions as the runtime words them.
constexpr ErrorText kErrorTexts[] = {
    {ErrInvalidCall, u"Invalid procedure call or argument"},
    {ErrOverflow, u"Overflow"},
    {ErrOutOfMemory, u"Out of memory"},
    {ErrSubscriptOutOfRange, u"Subscript out of range"},
    {ErrTypeMismatch, u"Type mismatch"},
    {ErrFileNotFound, u"File not found"},
    {ErrFileAlreadyExists, u"File already exists"},
    {ErrDiskFull, u"Disk full"},
    {ErrDeviceUnavailable, u"Device unavailable"},
    {ErrPermissionDenied, u"Permission denied"},
    {ErrPathFileAccess, u"Path/File access error"},
    {ErrPathNotFound, u"Path not found"},
    {ErrControlArrayElement, u"Control array element doesn't exist"},
    {ErrObjectAlreadyLoaded, u"Object already loaded"},
    {ErrInvalidPropertyValue, u"Invalid property value"},
    {ErrInvalidPicture, u"Invalid picture"},
    {ErrPrinter, u"Printer error"},
    {ErrCantCreateObject, u"ActiveX component can't create object"},
    {ErrNoAutomation, u"Class does not support Automation or does not support expected interface"},
    {ErrClassNotFound, u"File name or class name not found during Automation operation"},
    {ErrMemberNotFound, u"Object doesn't support this property or method"},
    {ErrAutomation, u"Automation error"},
    {ErrCancelSelected, u"Cancel was selected."},
    {ErrElementNotFound, u"Element not found"},
    {ErrKeyNotUnique, u"Key is not unique in collection"},
};

struct StatusMapping {
  HRESULT status;
  int number;
};

// Failed statuses that the runtime reports under its own error numbers.
constexpr StatusMapping kStatusMappings[] = {
    {E_OUTOFMEMORY, ErrOutOfMemory},
    {STG_E_INSUFFICIENTMEMORY, ErrOutOfMemory},
    {E_INVALIDARG, ErrInvalidCall},
    {STG_E_INVALIDPARAMETER, ErrInvalidCall},
    {DISP_E_TYPEMISMATCH, ErrTypeMismatch},
    {DISP_E_OVERFLOW, ErrOverflow},
    {DISP_E_BADINDEX, ErrSubscriptOutOfRange},
    {DISP_E_MEMBERNOTFOUND, ErrMemberNotFound},
    {DISP_E_UNKNOWNNAME, ErrMemberNotFound},
    {E_NOINTERFACE, ErrNoAutomation},
    {REGDB_E_CLASSNOTREG, ErrCantCreateObject},
    {CLASS_E_CLASSNOTAVAILABLE, ErrCantCreateObject},
    {CO_E_CLASSSTRING, ErrCantCreateObject},
    {STG_E_FILENOTFOUND, ErrFileNotFound},
    {STG_E_PATHNOTFOUND, ErrPathNotFound},
    {STG_E_ACCESSDENIED, ErrPermissionDenied},
    {STG_E_FILEALREADYEXISTS, ErrFileAlreadyExists},
    {STG_E_MEDIUMFULL, ErrDiskFull},
};

// A kernel error number in the status family the disk scanner and the drives answer.
constexpr HRESULT Win32Status(std::uint32_t error) { return MAKE_HRESULT_FROM_U32(0x80070000u | error); }

struct StatusCause {
  HRESULT status;
  const char16_t* text;
};

// The cause of a failed status that the runtime reports as "Automation error": what the
// compound files, the catalog and the disk scanner answer for a file or a disk.
constexpr StatusCause kStatusCauses[] = {
    {E_ACCESSDENIED, u"Access to the file or folder is denied."},
    {STG_E_DISKISWRITEPROTECTED, u"The disk is write-protected."},
    {Win32Status(19), u"The disk is write-protected."},
    {Win32Status(112), u"There is not enough space on the disk."},
    {Win32Status(39), u"There is not enough space on the disk."},
    {STG_E_SHAREVIOLATION, u"The file is in use by another program."},
    {STG_E_LOCKVIOLATION, u"The file is in use by another program."},
    {Win32Status(32), u"The file is in use by another program."},
    {Win32Status(33), u"The file is in use by another program."},
    {Win32Status(2), u"The file cannot be found."},
    {Win32Status(3), u"The path cannot be found."},
    {STG_E_INVALIDNAME, u"The file name is not valid."},
    {Win32Status(123), u"The file name is not valid."},
    {Win32Status(267), u"The folder name is not valid."},
    {STG_E_INVALIDHEADER, u"The file is not a catalog file."},
    {STG_E_OLDFORMAT, u"The file is not a catalog file."},
    {STG_E_DOCFILECORRUPT, u"The catalog file is damaged."},
    {STG_E_READFAULT, u"A disk error occurred while reading."},
    {Win32Status(30), u"A disk error occurred while reading."},
    {STG_E_WRITEFAULT, u"A disk error occurred while writing."},
    {Win32Status(29), u"A disk error occurred while writing."},
    {Win32Status(21), u"The device is not ready."},
    {Win32Status(15), u"The drive cannot be found."},
    {STG_E_TOOMANYOPENFILES, u"Too many files are open."},
    {Win32Status(4), u"Too many files are open."},
};

// Statuses of the control facility carry a runtime error number in their low word.
constexpr std::uint32_t kControlFacilityMask = 0xFFFF0000u;
constexpr std::uint32_t kControlFacility = 0x800A0000u;

}  // namespace

std::u16string ErrorDescription(int number) {
  for (const ErrorText& e : kErrorTexts) {
    if (e.number == number) return e.text;
  }
  if (number < 0) return StatusDescription(number);
  return u"Application-defined or object-defined error";
}

std::u16string StatusDescription(HRESULT hr) {
  std::u16string text = ErrorDescription(ErrAutomation);
  for (const StatusCause& c : kStatusCauses) {
    if (c.status == hr) {
      text += u"\r\n";
      text += c.text;
      break;
    }
  }
  return text;
}

int ErrorNumberFromHResult(HRESULT hr) {
  for (const StatusMapping& m : kStatusMappings) {
    if (m.status == hr) return m.number;
  }
  auto bits = static_cast<std::uint32_t>(hr);
  if ((bits & kControlFacilityMask) == kControlFacility) return static_cast<int>(bits & 0xFFFFu);
  return hr;
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, ErrorDescription(number)) {}

RuntimeError::RuntimeError(int number, std::u16string description)
    : number_(number),
      description_(std::move(description)),
      what_(unicode::Utf16ToUtf8(description_, unicode::Policy::kStrict)) {}

RuntimeError RuntimeError::FromHResult(HRESULT hr) {
  int number = ErrorNumberFromHResult(hr);
  if (number == hr && FAILED(hr)) return RuntimeError(number, StatusDescription(hr));
  return RuntimeError(number);
}

}  // namespace vbrt
