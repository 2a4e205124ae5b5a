// The devices that draw with a QPainter (the canvas and the printer) share their drawing of
// the device primitives; each says only where its painter comes from.
#pragma once

#include "surface.h"

class QPainter;

namespace surface {

template <class Base>
class PainterSurface : public Base {
 protected:
  using Base::Base;

  // The painter for one primitive, or null when there is nothing to draw on; EndPaint follows
  // each primitive that got a painter.
  virtual QPainter* BeginPaint() = 0;
  virtual void EndPaint() {}

  void DeviceLine(QPoint a, QPoint b, const Stroke& stroke) override;
  void DeviceBox(QRect box, const Stroke& stroke, const Fill& fill) override;
  void DeviceFilledBox(QRect box, LONG color) override;
  void DeviceEllipse(QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill) override;
  void DevicePicture(const QImage& picture, QRect target) override;
  void DeviceText(const TextRun& run) override;
  void DeviceRoundRect(QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill) override;
};

}  // namespace surface
