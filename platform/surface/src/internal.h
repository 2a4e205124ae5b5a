// Pieces shared by the surface implementations.
#pragma once

#include <QPainter>

#include "surface.h"
#include "vbrt.h"

namespace surface::detail {

// The runtime errors a surface raises most.
inline constexpr int kErrInvalidPropertyValue = vbrt::ErrInvalidPropertyValue;
inline constexpr int kErrInvalidPicture = vbrt::ErrInvalidPicture;
inline constexpr int kErrPrinter = vbrt::ErrPrinter;

// Raises the runtime error of that number, with the description the runtime gives it.
[[noreturn]] void Raise(int number);


// A length in pixels as a device coordinate: the nearest whole pixel, halves to even; 6
// (overflow) when it is not a number or does not fit 32 bits.
int ToPixel(double pixels);

// The program's font names resolved to the installed fonts (once per process).
void InstallFontSubstitutions();

// QPainter drawing of the device primitives, shared by the canvas and the printer.
void PaintLine(QPainter& p, QPoint a, QPoint b, const Stroke& stroke);
void PaintBox(QPainter& p, QRect box, const Stroke& stroke, const Fill& fill);
void PaintFilledBox(QPainter& p, QRect box, LONG color);
void PaintEllipse(QPainter& p, QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill);
void PaintPicture(QPainter& p, const QImage& picture, QRect target);
void PaintText(QPainter& p, const TextRun& run);
void PaintRoundRect(QPainter& p, QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill);

}  // namespace surface::detail
