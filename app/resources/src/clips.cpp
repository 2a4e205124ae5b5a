// Drawing the frames of the two animation clips.
#include "clips.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace resources {

namespace {

constexpr int kFrames = 16;
constexpr int kMicrosecondsPerFrame = 80000;
const QColor kBackground(0xEF, 0xEF, 0xEF);

QImage Blank(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kBackground);
  return image;
}

// A manila folder with its tab, in the rectangle r; open shows a sheet standing in it.
void DrawFolder(QPainter& g, const QRectF& r, bool withSheet) {
  const QColor edge(0x9A, 0x72, 0x10);
  QPainterPath back;
  back.moveTo(r.left(), r.top() + r.height() * 0.15);
  back.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.15);
  back.lineTo(r.left() + r.width() * 0.45, r.top());
  back.lineTo(r.right(), r.top());
  back.lineTo(r.right(), r.bottom());
  back.lineTo(r.left(), r.bottom());
  back.closeSubpath();
  g.setPen(QPen(edge, 1));
  g.setBrush(QColor(0xE8, 0xB9, 0x3C));
  g.drawPath(back);
  if (withSheet) {
    g.setBrush(Qt::white);
    g.setPen(QPen(QColor(0x88, 0x88, 0x88), 1));
    g.drawRect(QRectF(r.left() + r.width() * 0.18, r.top() + r.height() * 0.08, r.width() * 0.6, r.height() * 0.5));
  }
  QLinearGradient front(r.topLeft(), r.bottomLeft());
  front.setColorAt(0, QColor(0xFF, 0xD8, 0x66));
  front.setColorAt(1, QColor(0xF0, 0xB8, 0x30));
  g.setBrush(front);
  g.setPen(QPen(edge, 1));
  g.drawRect(QRectF(r.left(), r.top() + r.height() * 0.32, r.width(), r.height() * 0.68));
}

// A hard disk drive: a grey case with a slot and a green light.
void DrawDisk(QPainter& g, const QRectF& r, bool busy) {
  QLinearGradient body(r.topLeft(), r.bottomLeft());
  body.setColorAt(0, QColor(0xD0, 0xD4, 0xDA));
  body.setColorAt(1, QColor(0x8C, 0x92, 0x9C));
  g.setBrush(body);
  g.setPen(QPen(QColor(0x50, 0x54, 0x5C), 1));
  g.drawRoundedRect(r, 2, 2);
  g.setPen(QPen(QColor(0x50, 0x54, 0x5C), 1));
  g.drawLine(QPointF(r.left() + 3, r.center().y()), QPointF(r.right() - 9, r.center().y()));
  g.setPen(Qt::NoPen);
  g.setBrush(busy ? QColor(0x30, 0xE0, 0x40) : QColor(0x20, 0x70, 0x28));
  g.drawEllipse(QPointF(r.right() - 5, r.center().y()), 2, 2);
}

// A sheet of paper with lines of writing, centred on c and turned by angle degrees.
void DrawPage(QPainter& g, QPointF c, double angle, double scale) {
  g.save();
  g.translate(c);
  g.rotate(angle);
  g.scale(scale, scale);
  const QRectF sheet(-5, -7, 10, 14);
  g.setBrush(Qt::white);
  g.setPen(QPen(QColor(0x60, 0x60, 0x60), 0.8));
  g.drawRect(sheet);
  g.setPen(QPen(QColor(0x40, 0x60, 0xC0), 0.8));
  for (int i = 0; i < 4; ++i) g.drawLine(QPointF(-3, -4 + 3 * i), QPointF(i == 3 ? 0 : 3, -4 + 3 * i));
  g.restore();
}

// A magnifying glass whose lens is centred on c.
void DrawMagnifier(QPainter& g, QPointF c, double radius) {
  const QPointF handleStart = c + QPointF(radius * 0.72, radius * 0.72);
  const QPointF handleEnd = c + QPointF(radius * 1.8, radius * 1.8);
  g.setPen(QPen(QColor(0x5A, 0x32, 0x14), 3.5, Qt::SolidLine, Qt::RoundCap));
  g.drawLine(handleStart, handleEnd);
  g.setBrush(QColor(0xB4, 0xDC, 0xFF, 150));
  g.setPen(QPen(QColor(0x30, 0x30, 0x38), 2));
  g.drawEllipse(c, radius, radius);
  g.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
  g.drawArc(QRectF(c.x() - radius * 0.6, c.y() - radius * 0.6, radius * 1.2, radius * 1.2), 100 * 16, 70 * 16);
}

}  // namespace

AviClip FileCopyClip() {
  AviClip clip;
  clip.microsecondsPerFrame = kMicrosecondsPerFrame;
  const QPointF from(17, 22), to(80, 30);
  for (int i = 0; i < kFrames; ++i) {
    QImage frame = Blank(96, 48);
    QPainter g(&frame);
    g.setRenderHint(QPainter::Antialiasing);
    DrawFolder(g, QRectF(3, 16, 28, 24), true);
    const double t = double(i) / (kFrames - 1);
    DrawDisk(g, QRectF(64, 24, 29, 14), t > 0.85);
    if (t < 0.95) {
      const QPointF at = from + (to - from) * t - QPointF(0, std::sin(t * std::numbers::pi) * 13);
      DrawPage(g, at, -20 + 60 * t, 1.0 - 0.3 * t);
    }
    g.end();
    clip.frames.push_back(frame);
  }
  return clip;
}

AviClip FindFileClip() {
  AviClip clip;
  clip.microsecondsPerFrame = kMicrosecondsPerFrame;
  for (int i = 0; i < kFrames; ++i) {
    QImage frame = Blank(80, 50);
    QPainter g(&frame);
    g.setRenderHint(QPainter::Antialiasing);
    DrawFolder(g, QRectF(18, 12, 40, 32), true);
    const double a = 2 * std::numbers::pi * i / kFrames;
    DrawMagnifier(g, QPointF(36 + 12 * std::cos(a), 24 + 7 * std::sin(a)), 9);
    g.end();
    clip.frames.push_back(frame);
  }
  return clip;
}

}  // namespace resources
