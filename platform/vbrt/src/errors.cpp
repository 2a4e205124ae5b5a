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
    {STG_E_SHAREVIOLATION, ErrPermissionDenied},
    {STG_E_LOCKVIOLATION, ErrPermissionDenied},
    {STG_E_FILEALREADYEXISTS, ErrFileAlreadyExists},
    {STG_E_MEDIUMFULL, ErrDiskFull},
};

// Statuses of the control facility carry a runtime error number in their low word.
constexpr std::uint32_t kControlFacilityMask = 0xFFFF0000u;
constexpr std::uint32_t kControlFacility = 0x800A0000u;

}  // namespace

std::u16string ErrorDescription(int number) {
  for (const ErrorText& e : kErrorTexts) {
    if (e.number == number) return e.text;
  }
  return u"Application-defined or object-defined error";
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
  if (number == hr && FAILED(hr)) return RuntimeError(number, ErrorDescription(ErrAutomation));
  return RuntimeError(number);
}

}  // namespace vbrt
