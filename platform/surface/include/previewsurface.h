// The preview canvas: a picture box's drawing surface over a QImage at screen resolution. The
// preview window shows Image(); the page drawing draws into it through the Surface operations.
#pragma once

#include <QImage>

#include "surface.h"

namespace surface {

class PreviewSurface : public Surface {
 public:
  // A canvas of width x height inches at dpi pixels per inch (0: the primary screen's logical
  // resolution, 96 without a screen), cleared to BackColor.
  PreviewSurface(double widthInches, double heightInches, double dpi = 0);
  ~PreviewSurface() override;

  // New size in inches (the zoomed page); the content is cleared.
  void Resize(double widthInches, double heightInches);
  LONG BackColor() const { return backColor_; }
  void SetBackColor(LONG color) { backColor_ = color; }
  // Fills the canvas with BackColor and resets the current point.
  void Cls() override;
  const QImage& Image() const { return image_; }

  double ScaleWidth() const override;
  double ScaleHeight() const override;

 protected:
  void DeviceLine(QPoint a, QPoint b, const Stroke& stroke) override;
  void DeviceBox(QRect box, const Stroke& stroke, const Fill& fill) override;
  void DeviceFilledBox(QRect box, LONG color) override;
  void DeviceEllipse(QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill) override;
  void DevicePicture(const QImage& picture, QRect target) override;
  void DeviceText(const TextRun& run) override;
  void DeviceRoundRect(QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill) override;
  void DeviceFocusRect(QRect box) override;

 private:
  QImage image_;
  LONG backColor_ = 0xFFFFFF;
};

}  // namespace surface
