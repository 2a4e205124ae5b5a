// Runtime error numbers, their descriptions, and statuses reported as runtime errors.

#include <gtest/gtest.h>

#include <cstring>

#include "vbrt.h"

using namespace vbrt;

namespace {

TEST(ErrorDescription, RuntimeTexts) {
  struct Case {
    int number;
    const char16_t* text;
  } cases[] = {
      {5, u"Invalid procedure call or argument"},
      {6, u"Overflow"},
      {9, u"Subscript out of range"},
      {13, u"Type mismatch"},
      {53, u"File not found"},
      {58, u"File already exists"},
      {61, u"Disk full"},
      {68, u"Device unavailable"},
      {70, u"Permission denied"},
      {75, u"Path/File access error"},
      {76, u"Path not found"},
      {340, u"Control array element doesn't exist"},
      {360, u"Object already loaded"},
      {429, u"ActiveX component can't create object"},
      {432, u"File name or class name not found during Automation operation"},
      {32755, u"Cancel was selected."},
      {35601, u"Element not found"},
      {35602, u"Key is not unique in collection"},
      {12345, u"Application-defined or object-defined error"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorDescription(c.number), c.text) << c.number;
}

TEST(ErrorNumberFromHResult, StatusesOfComponentCalls) {
  struct Case {
    HRESULT status;
    int number;
  } cases[] = {
      {STG_E_MEDIUMFULL, ErrDiskFull},
      {STG_E_FILENOTFOUND, ErrFileNotFound},
      {STG_E_FILEALREADYEXISTS, ErrFileAlreadyExists},
      {STG_E_ACCESSDENIED, ErrPermissionDenied},
      {E_INVALIDARG, ErrInvalidCall},
      {E_OUTOFMEMORY, ErrOutOfMemory},
      {DISP_E_TYPEMISMATCH, ErrTypeMismatch},
      {REGDB_E_CLASSNOTREG, ErrCantCreateObject},
      {MAKE_HRESULT_FROM_U32(0x800A0044u), ErrDeviceUnavailable},  // the control facility
      {MAKE_HRESULT_FROM_U32(0x800A7FF3u), ErrCancelSelected},
      {E_FAIL, E_FAIL},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorNumberFromHResult(c.status), c.number) << c.status;
}

// What a user reads for the failures of files and disks that the libraries answer: a runtime
// error of its own where the runtime has one, else "Automation error", a line break and the cause.
TEST(RuntimeError, FailuresOfFilesAndDisksNameTheirCause) {
  const auto kernel = [](std::uint32_t error) { return MAKE_HRESULT_FROM_U32(0x80070000u | error); };
  struct Case {
    HRESULT status;
    int number;
    const char16_t* description;
  } cases[] = {
      {STG_E_ACCESSDENIED, ErrPermissionDenied, u"Permission denied"},
      {E_ACCESSDENIED, E_ACCESSDENIED, u"Automation error\r\nAccess to the file or folder is denied."},
      {STG_E_DISKISWRITEPROTECTED, STG_E_DISKISWRITEPROTECTED, u"Automation error\r\nThe disk is write-protected."},
      {kernel(19), kernel(19), u"Automation error\r\nThe disk is write-protected."},
      {STG_E_MEDIUMFULL, ErrDiskFull, u"Disk full"},
      {kernel(112), kernel(112), u"Automation error\r\nThere is not enough space on the disk."},
      {STG_E_SHAREVIOLATION, STG_E_SHAREVIOLATION, u"Automation error\r\nThe file is in use by another program."},
      {STG_E_LOCKVIOLATION, STG_E_LOCKVIOLATION, u"Automation error\r\nThe file is in use by another program."},
      {kernel(32), kernel(32), u"Automation error\r\nThe file is in use by another program."},
      {STG_E_FILENOTFOUND, ErrFileNotFound, u"File not found"},
      {kernel(2), kernel(2), u"Automation error\r\nThe file cannot be found."},
      {STG_E_PATHNOTFOUND, ErrPathNotFound, u"Path not found"},
      {kernel(3), kernel(3), u"Automation error\r\nThe path cannot be found."},
      {STG_E_INVALIDNAME, STG_E_INVALIDNAME, u"Automation error\r\nThe file name is not valid."},
      {kernel(123), kernel(123), u"Automation error\r\nThe file name is not valid."},
      {STG_E_INVALIDHEADER, STG_E_INVALIDHEADER, u"Automation error\r\nThe file is not a catalog file."},
      {STG_E_DOCFILECORRUPT, STG_E_DOCFILECORRUPT, u"Automation error\r\nThe catalog file is damaged."},
      {kernel(21), kernel(21), u"Automation error\r\nThe device is not ready."},
      {E_FAIL, E_FAIL, u"Automation error"},  // no cause to name
  };
  for (const Case& c : cases) {
    const RuntimeError e = RuntimeError::FromHResult(c.status);
    EXPECT_EQ(e.number(), c.number) << std::hex << c.status;
    EXPECT_EQ(e.description(), c.description) << std::hex << c.status;
    // A status raised as a number is described the same way.
    if (c.number < 0) {
      EXPECT_EQ(ErrorDescription(c.number), c.description) << std::hex << c.status;
    }
  }
}

TEST(RuntimeError, NumberDescriptionAndText) {
  RuntimeError mapped = RuntimeError::FromHResult(STG_E_MEDIUMFULL);
  EXPECT_EQ(mapped.number(), 61);
  EXPECT_EQ(mapped.description(), u"Disk full");
  RuntimeError unmapped = RuntimeError::FromHResult(E_FAIL);
  EXPECT_EQ(unmapped.number(), E_FAIL);
  EXPECT_EQ(unmapped.description(), u"Automation error");
  RuntimeError own(70, u"Zugriff verweigert \u00e4");
  EXPECT_STREQ(own.what(), "Zugriff verweigert \xc3\xa4");
  EXPECT_STREQ(RuntimeError(6).what(), "Overflow");
}

}  // namespace
