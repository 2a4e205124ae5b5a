// The preview canvas: a picture box's drawing surface over a QImage at screen resolution. The
// preview window shows Image(); the page drawing draws into it through the Surface operations.
#pragma once

#include <QImage>
#include <memory>

#include "paintersurface.h"
#include "surface.h"

namespace surface {

class PreviewSurface : public PainterSurface<Surface> {
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
  QPainter* BeginPaint() override;
  void EndPaint() override;
  void DeviceFocusRect(QRect box) override;

 private:
  QImage image_;
  std::unique_ptr<QPainter> painter_;
  LONG backColor_ = 0xFFFFFF;
};

}  // namespace surface
