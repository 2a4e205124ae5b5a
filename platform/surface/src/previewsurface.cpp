// The preview canvas over a QImage.
#include "previewsurface.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cmath>

#include "internal.h"
#include "vbrt.h"

namespace surface {

namespace {

double ScreenDpi(double dpi) {
  if (dpi > 0) return dpi;
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (QScreen* screen = app->primaryScreen()) return screen->logicalDotsPerInch();
  }
  return 96.0;
}

// A canvas side in pixels; a side that is not a length or is beyond any page (300 inches at
// 1200 pixels per inch) is refused.
int Side(double inches, double dpi) {
  const double px = std::nearbyint(inches * dpi);
  if (!std::isfinite(px) || px < 0 || px > 300.0 * 1200.0) detail::Raise(vbrt::ErrInvalidCall);
  return static_cast<int>(px);
}

}  // namespace

PreviewSurface::PreviewSurface(double widthInches, double heightInches, double dpi)
    : PainterSurface<Surface>(ScreenDpi(dpi), ScreenDpi(dpi)) {
  Resize(widthInches, heightInches);
}

PreviewSurface::~PreviewSurface() = default;

void PreviewSurface::Resize(double widthInches, double heightInches) {
  const int w = Side(widthInches, DpiX());
  const int h = Side(heightInches, DpiY());
  QImage image(w, h, QImage::Format_RGB32);
  if (w > 0 && h > 0 && image.isNull()) detail::Raise(vbrt::ErrOutOfMemory);
  const int dpm = static_cast<int>(std::lround(DpiX() / 0.0254));
  image.setDotsPerMeterX(dpm);
  image.setDotsPerMeterY(dpm);
  image_ = std::move(image);
  Cls();
}

void PreviewSurface::Cls() {
  Surface::Cls();
  image_.fill(ToQColor(backColor_));
}

double PreviewSurface::ScaleWidth() const { return image_.width() / DpiX(); }
double PreviewSurface::ScaleHeight() const { return image_.height() / DpiY(); }

// The canvas is painted on for the length of one primitive, so that the image stays free for
// the window that shows it and for the focus rectangle's pixel work.
QPainter* PreviewSurface::BeginPaint() {
  if (image_.isNull()) return nullptr;
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(&image_)) {
    painter_.reset();
    return nullptr;
  }
  return painter_.get();
}

void PreviewSurface::EndPaint() { painter_.reset(); }

// Inverts every other pixel of the frame (the pattern follows the pixel's position, so that a
// second drawing of the same frame inverts the same pixels back). Each pixel of the frame is
// visited once, corners included.
void PreviewSurface::DeviceFocusRect(QRect box) {
  const QRect frame = box.intersected(image_.rect());
  if (frame.isEmpty()) return;
  auto flip = [&](int x, int y) {
    if (!box.contains(x, y) || !image_.rect().contains(x, y)) return;
    if (((x + y) & 1) != 0) return;
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
    line[x] ^= 0x00FFFFFFu;
  };
  const int l = box.left(), r = box.right(), t = box.top(), b = box.bottom();
  const int xFrom = std::max(l, 0), xTo = std::min(r, image_.width() - 1);
  for (int x = xFrom; x <= xTo; ++x) {
    flip(x, t);
    if (b != t) flip(x, b);
  }
  const int yFrom = std::max(t + 1, 0), yTo = std::min(b - 1, image_.height() - 1);
  for (int y = yFrom; y <= yTo; ++y) {
    flip(l, y);
    if (r != l) flip(r, y);
  }
}

}  // namespace surface
