// QPainter drawing of the device primitives: crisp (not antialiased) lines and shapes on whole
// pixels, as the original graphics device drew them; antialiased text.
#include <QPainterPath>

#include "internal.h"
#include "paintersurface.h"
#include "printersurface.h"

namespace surface::detail {

namespace {

QPen MakePen(const Stroke& s) {
  if (s.style == vbInvisible) return QPen(Qt::NoPen);
  QPen pen(ToQColor(s.color));
  pen.setWidth(s.width);
  Qt::PenStyle style = Qt::SolidLine;
  if (s.width == 1) {  // dashes and dots only on one-pixel lines
    switch (s.style) {
      case vbDash: style = Qt::DashLine; break;
      case vbDot: style = Qt::DotLine; break;
      case vbDashDot: style = Qt::DashDotLine; break;
      case vbDashDotDot: style = Qt::DashDotDotLine; break;
      default: break;
    }
  }
  pen.setStyle(style);
  pen.setCapStyle(s.width > 1 ? Qt::RoundCap : Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

QBrush MakeBrush(const Fill& f) {
  const QColor c = ToQColor(f.color);
  switch (f.style) {
    case vbFSSolid: return QBrush(c, Qt::SolidPattern);
    case vbHorizontalLine: return QBrush(c, Qt::HorPattern);
    case vbVerticalLine: return QBrush(c, Qt::VerPattern);
    case vbUpwardDiagonal: return QBrush(c, Qt::BDiagPattern);
    case vbDownwardDiagonal: return QBrush(c, Qt::FDiagPattern);
    case vbCross: return QBrush(c, Qt::CrossPattern);
    case vbDiagonalCross: return QBrush(c, Qt::DiagCrossPattern);
    default: return QBrush(Qt::NoBrush);
  }
}

// The outline rectangle whose stroke covers the pixels from box.left() to box.right()
// inclusive (a stroked rectangle covers its size plus one pixel).
QRect Outline(QRect box) { return QRect(box.topLeft(), QSize(box.width() - 1, box.height() - 1)); }

class Crisp {
 public:
  explicit Crisp(QPainter& p) : p_(p) {
    p_.save();
    p_.setRenderHint(QPainter::Antialiasing, false);
  }
  ~Crisp() { p_.restore(); }

 private:
  QPainter& p_;
};

}  // namespace

void PaintLine(QPainter& p, QPoint a, QPoint b, const Stroke& stroke) {
  Crisp crisp(p);
  p.setPen(MakePen(stroke));
  p.drawLine(a, b);
}

void PaintBox(QPainter& p, QRect box, const Stroke& stroke, const Fill& fill) {
  Crisp crisp(p);
  if (fill.style != vbFSTransparent) {
    p.setPen(Qt::NoPen);
    p.setBrush(MakeBrush(fill));
    p.drawRect(box);
  }
  p.setPen(MakePen(stroke));
  p.setBrush(Qt::NoBrush);
  p.drawRect(Outline(box));
}

void PaintFilledBox(QPainter& p, QRect box, LONG color) {
  Crisp crisp(p);
  p.fillRect(box, ToQColor(color));
}

void PaintEllipse(QPainter& p, QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill) {
  Crisp crisp(p);
  p.setPen(MakePen(stroke));
  p.setBrush(MakeBrush(fill));
  p.drawEllipse(center, rx, ry);
}

void PaintPicture(QPainter& p, const QImage& picture, QRect target) {
  p.save();
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.drawImage(target, picture);
  p.restore();
}

void PaintText(QPainter& p, const TextRun& run) {
  p.save();
  if (run.clip) p.setClipRect(*run.clip);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setFont(run.font);
  p.setPen(ToQColor(run.color));
  if (run.angle == 0.0) {
    p.drawText(QPointF(run.origin.x(), run.origin.y() + run.ascent), run.text);
  } else {
    p.translate(run.origin);
    p.rotate(-run.angle);
    p.drawText(QPointF(0, run.ascent), run.text);
  }
  p.restore();
}

void PaintRoundRect(QPainter& p, QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill) {
  Crisp crisp(p);
  p.setPen(MakePen(stroke));
  p.setBrush(MakeBrush(fill));
  p.drawRoundedRect(Outline(box), ellipse.width() / 2.0, ellipse.height() / 2.0, Qt::AbsoluteSize);
}

}  // namespace surface::detail

namespace surface {

template <class Base>
void PainterSurface<Base>::DeviceLine(QPoint a, QPoint b, const Stroke& stroke) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintLine(*p, a, b, stroke);
    EndPaint();
  }
}
template <class Base>
void PainterSurface<Base>::DeviceBox(QRect box, const Stroke& stroke, const Fill& fill) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintBox(*p, box, stroke, fill);
    EndPaint();
  }
}
template <class Base>
void PainterSurface<Base>::DeviceFilledBox(QRect box, LONG color) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintFilledBox(*p, box, color);
    EndPaint();
  }
}
template <class Base>
void PainterSurface<Base>::DeviceEllipse(QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintEllipse(*p, center, rx, ry, stroke, fill);
    EndPaint();
  }
}
template <class Base>
void PainterSurface<Base>::DevicePicture(const QImage& picture, QRect target) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintPicture(*p, picture, target);
    EndPaint();
  }
}
template <class Base>
void PainterSurface<Base>::DeviceText(const TextRun& run) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintText(*p, run);
    EndPaint();
  }
}
template <class Base>
void PainterSurface<Base>::DeviceRoundRect(QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill) {
  if (QPainter* p = BeginPaint()) {
    detail::PaintRoundRect(*p, box, ellipse, stroke, fill);
    EndPaint();
  }
}

template class PainterSurface<Surface>;
template class PainterSurface<PrinterObject>;

}  // namespace surface
