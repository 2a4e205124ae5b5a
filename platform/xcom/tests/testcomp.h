// The test component library's classes as its clients see them. The tests never link the
// library: they create its classes through the registry.
#pragma once

#include "xcom/automation.h"

// {6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E01}
inline constexpr CLSID CLSID_TestWidget = {0x6E1D2C90, 0x4A3B, 0x4C55, {0x9D, 0x1E, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x01}};
// {6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E02}
inline constexpr CLSID CLSID_TestGadget = {0x6E1D2C90, 0x4A3B, 0x4C55, {0x9D, 0x1E, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x02}};
// {6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E03}
inline constexpr CLSID CLSID_TestHelper = {0x6E1D2C90, 0x4A3B, 0x4C55, {0x9D, 0x1E, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x03}};
// {6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E10}
inline constexpr GUID LIBID_TestLib = {0x6E1D2C90, 0x4A3B, 0x4C55, {0x9D, 0x1E, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x10}};
// {6E1D2C90-4A3B-4C55-9D1E-0A1B2C3D4E20}
inline constexpr IID IID_IWidget = {0x6E1D2C90, 0x4A3B, 0x4C55, {0x9D, 0x1E, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x20}};

// The one interface of every test class: a number held by the object.
struct IWidget : IDispatch {
  static constexpr const IID& kIID = IID_IWidget;
  virtual HRESULT get_Value(LONG* pVal) = 0;  // dispatch id 0: the value property
  virtual HRESULT put_Value(LONG newVal) = 0;

 protected:
  ~IWidget() = default;
};
