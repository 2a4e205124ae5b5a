// The device-context level of the drawing surface: the graphics calls the page drawing makes
// on a surface's hDC, in device pixels, under their Windows names and values.
//
// An HDC is a 32-bit token that a surface hands out (Surface::hDC); it resolves to the surface
// through the device context table (see SetDeviceContextTable in surface.h). An unknown token
// is refused as the graphics calls refuse a bad handle: the call does nothing and returns 0.
#pragma once

#include <QString>

#include "wintypes.h"

using HDC = LONG;
using COLORREF = DWORD;

// A rectangle in device pixels; right and bottom lie just outside it.
struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};
using LPRECT = RECT*;

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A colour as 0x00BBGGRR.
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

// DrawTextA format flags. They are bits: a caller adds distinct flags (0 + 16 + 64).
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;            // centre each line horizontally
inline constexpr UINT DT_RIGHT = 0x0002;             // align each line to the right edge
inline constexpr UINT DT_VCENTER = 0x0004;           // centre vertically; only with DT_SINGLELINE
inline constexpr UINT DT_BOTTOM = 0x0008;            // align to the bottom; only with DT_SINGLELINE
inline constexpr UINT DT_WORDBREAK = 0x0010;         // break lines between words to fit the width
inline constexpr UINT DT_SINGLELINE = 0x0020;        // one line: CR and LF do not break it
inline constexpr UINT DT_EXPANDTABS = 0x0040;        // tabs advance to the next stop of 8 characters
inline constexpr UINT DT_NOCLIP = 0x0100;            // do not clip the output to the rectangle
inline constexpr UINT DT_EXTERNALLEADING = 0x0200;   // lines include the font's external leading
inline constexpr UINT DT_CALCRECT = 0x0400;          // measure only: set the rectangle, draw nothing
inline constexpr UINT DT_NOPREFIX = 0x0800;          // accepted; "&" is always drawn as it stands
inline constexpr UINT DT_EDITCONTROL = 0x2000;       // with DT_WORDBREAK: a word wider than the box
                                                     // is broken between its characters, as a
                                                     // multiline edit control shows it

// Background modes (SetBkMode).
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// GetDeviceCaps indexes.
inline constexpr int HORZSIZE = 4;          // printable width in millimetres
inline constexpr int VERTSIZE = 6;          // printable height in millimetres
inline constexpr int HORZRES = 8;           // printable width in pixels
inline constexpr int VERTRES = 10;          // printable height in pixels
inline constexpr int LOGPIXELSX = 88;       // pixels per inch across
inline constexpr int LOGPIXELSY = 90;       // pixels per inch down
inline constexpr int PHYSICALWIDTH = 110;   // paper width in pixels
inline constexpr int PHYSICALHEIGHT = 111;  // paper height in pixels
inline constexpr int PHYSICALOFFSETX = 112; // unprintable left margin in pixels
inline constexpr int PHYSICALOFFSETY = 113; // unprintable top margin in pixels

// Draws text into a rectangle with the surface's font and text colour, transparently, clipped
// to the rectangle (see Surface::DrawText). count -1 takes the whole text, otherwise its first
// count characters. Returns the height of the text in pixels; 0 for an unknown hDC or a null
// rectangle.
int DrawTextA(HDC hdc, const QString& text, int count, LPRECT rect, UINT format);
// Records the background mode and returns the previous one (0 for an unknown hDC). Text is
// always drawn transparently, whatever the mode.
int SetBkMode(HDC hdc, int mode);
// A rectangle with rounded corners in the surface's line colour, width and style, filled by
// its fill style; right and bottom lie just outside it.
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
// An inverted dotted frame; drawing the same rectangle again restores what was under it.
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
int GetDeviceCaps(HDC hdc, int index);
