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
