// Drawing the media and item pictures on a 32-unit grid scaled to the size asked for.
#include "mediapictures.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace surface {

namespace {

const QColor kOutline(0x30, 0x34, 0x3C);

void HardDisk(QPainter& g) {
  QLinearGradient body(0, 10, 0, 24);
  body.setColorAt(0, QColor(0xE4, 0xE7, 0xEC));
  body.setColorAt(1, QColor(0x8E, 0x95, 0xA0));
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(body);
  g.drawRoundedRect(QRectF(2.5, 10.5, 27, 13), 2.5, 2.5);
  g.setPen(QPen(QColor(0x5A, 0x60, 0x6A), 1));
  g.drawLine(QPointF(5, 19.5), QPointF(20, 19.5));
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0x2E, 0xC8, 0x40));
  g.drawEllipse(QPointF(25, 19.5), 1.6, 1.6);
}

void Network(QPainter& g) {
  g.save();
  g.translate(0, -4);
  HardDisk(g);
  g.restore();
  g.setPen(QPen(kOutline, 1.6));
  g.drawLine(QPointF(16, 20), QPointF(16, 26));
  g.drawLine(QPointF(6, 28.5), QPointF(26, 28.5));
  g.setBrush(QColor(0x3C, 0x78, 0xD8));
  g.setPen(QPen(kOutline, 1));
  g.drawRect(QRectF(12.5, 25.5, 7, 5));
}

void FloppyDisk(QPainter& g, const QColor& body) {
  QPainterPath shape;
  shape.moveTo(3.5, 3.5);
  shape.lineTo(26, 3.5);
  shape.lineTo(28.5, 6);
  shape.lineTo(28.5, 28.5);
  shape.lineTo(3.5, 28.5);
  shape.closeSubpath();
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(body);
  g.drawPath(shape);
  g.setBrush(QColor(0xC8, 0xCC, 0xD2));  // the metal shutter
  g.drawRect(QRectF(9.5, 3.5, 13, 9));
  g.setBrush(body.darker(130));
  g.drawRect(QRectF(17, 5, 3.5, 6));
  g.setBrush(Qt::white);  // the label
  g.drawRect(QRectF(7, 16.5, 18, 12));
}

void ZipDisk(QPainter& g) {
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(QColor(0x3A, 0x5E, 0xA8));
  g.drawRoundedRect(QRectF(3.5, 3.5, 25, 25), 3, 3);
  g.setBrush(QColor(0xD8, 0xDC, 0xE4));
  g.drawRect(QRectF(7.5, 3.5, 17, 7));
  QFont f(QStringLiteral("Liberation Sans"));
  f.setBold(true);
  f.setPixelSize(15);
  g.setFont(f);
  g.setPen(Qt::white);
  g.drawText(QRectF(3.5, 11, 25, 17), Qt::AlignCenter, QStringLiteral("Z"));
}

void Disc(QPainter& g) {
  QConicalGradient shine(16, 16, 30);
  shine.setColorAt(0.0, QColor(0xE8, 0xF0, 0xFF));
  shine.setColorAt(0.2, QColor(0xF8, 0xD8, 0xF0));
  shine.setColorAt(0.4, QColor(0xD0, 0xF4, 0xE0));
  shine.setColorAt(0.6, QColor(0xF0, 0xF0, 0xC8));
  shine.setColorAt(0.8, QColor(0xD8, 0xE4, 0xFF));
  shine.setColorAt(1.0, QColor(0xE8, 0xF0, 0xFF));
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(shine);
  g.drawEllipse(QPointF(16, 16), 13, 13);
  g.setBrush(QColor(0xF4, 0xF4, 0xF4));
  g.drawEllipse(QPointF(16, 16), 4.5, 4.5);
  g.setBrush(Qt::white);
  g.drawEllipse(QPointF(16, 16), 2, 2);
}

void UserMedium(QPainter& g) {
  // A cartridge with a star: a removable medium of the user's own kind.
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(QColor(0x8A, 0x4C, 0xB0));
  g.drawRoundedRect(QRectF(4.5, 6.5, 23, 20), 2.5, 2.5);
  g.setBrush(QColor(0xD8, 0xDC, 0xE4));
  g.drawRect(QRectF(8.5, 6.5, 15, 5));
  QPainterPath star;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 ? 2.6 : 6.0;
    const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    const QPointF p(16 + r * std::cos(a), 19.5 + r * std::sin(a));
    if (i == 0)
      star.moveTo(p);
    else
      star.lineTo(p);
  }
  star.closeSubpath();
  g.setBrush(QColor(0xFF, 0xD8, 0x40));
  g.setPen(QPen(kOutline, 0.8));
  g.drawPath(star);
}

void FolderShape(QPainter& g, bool open) {
  const QColor edge(0x9A, 0x72, 0x10);
  QPainterPath back;
  back.moveTo(3, 8);
  back.lineTo(12, 8);
  back.lineTo(14.5, 5.5);
  back.lineTo(29, 5.5);
  back.lineTo(29, 27);
  back.lineTo(3, 27);
  back.closeSubpath();
  g.setPen(QPen(edge, 1.2));
  g.setBrush(QColor(0xE8, 0xB9, 0x3C));
  g.drawPath(back);
  QLinearGradient front(0, 11, 0, 27);
  front.setColorAt(0, QColor(0xFF, 0xD8, 0x66));
  front.setColorAt(1, QColor(0xF0, 0xB8, 0x30));
  g.setBrush(front);
  if (open) {
    QPainterPath flap;
    flap.moveTo(7, 13);
    flap.lineTo(31, 13);
    flap.lineTo(27, 27);
    flap.lineTo(3, 27);
    flap.closeSubpath();
    g.drawPath(flap);
  } else {
    g.drawRect(QRectF(3, 11.5, 26, 15.5));
  }
}

void FileShape(QPainter& g) {
  QPainterPath sheet;
  sheet.moveTo(7.5, 3.5);
  sheet.lineTo(19, 3.5);
  sheet.lineTo(25.5, 10);
  sheet.lineTo(25.5, 28.5);
  sheet.lineTo(7.5, 28.5);
  sheet.closeSubpath();
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(Qt::white);
  g.drawPath(sheet);
  g.setBrush(QColor(0xDD, 0xE2, 0xEA));
  QPainterPath corner;
  corner.moveTo(19, 3.5);
  corner.lineTo(19, 10);
  corner.lineTo(25.5, 10);
  corner.closeSubpath();
  g.drawPath(corner);
  g.setPen(QPen(QColor(0x60, 0x80, 0xC0), 1));
  for (int i = 0; i < 4; ++i) g.drawLine(QPointF(10.5, 14.5 + 3.5 * i), QPointF(i == 3 ? 17 : 22.5, 14.5 + 3.5 * i));
}

void ComputerShape(QPainter& g) {
  g.setPen(QPen(kOutline, 1.2));
  g.setBrush(QColor(0xC8, 0xCC, 0xD4));
  g.drawRoundedRect(QRectF(3.5, 4.5, 25, 18), 2, 2);
  QLinearGradient screen(0, 7, 0, 20);
  screen.setColorAt(0, QColor(0x58, 0x98, 0xE8));
  screen.setColorAt(1, QColor(0x20, 0x50, 0xA0));
  g.setBrush(screen);
  g.drawRect(QRectF(6, 7, 20, 13));
  g.setBrush(QColor(0xA8, 0xAE, 0xB8));
  g.drawRect(QRectF(12.5, 22.5, 7, 3));
  g.drawRoundedRect(QRectF(7.5, 25.5, 17, 3), 1, 1);
}

}  // namespace

QPixmap DrawMediaPicture(MediaPicture picture, int size) {
  size = std::max(size, 8);
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter g(&pixmap);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(size / 32.0, size / 32.0);
  switch (picture) {
    case MediaPicture::LocalDisk: HardDisk(g); break;
    case MediaPicture::NetworkDrive: Network(g); break;
    case MediaPicture::Floppy: FloppyDisk(g, QColor(0x38, 0x3C, 0x44)); break;
    case MediaPicture::Zip: ZipDisk(g); break;
    case MediaPicture::CD: Disc(g); break;
    case MediaPicture::UserMedia: UserMedium(g); break;
    case MediaPicture::Folder: FolderShape(g, false); break;
    case MediaPicture::FolderOpen: FolderShape(g, true); break;
    case MediaPicture::File: FileShape(g); break;
    case MediaPicture::Computer: ComputerShape(g); break;
  }
  return pixmap;
}

QIcon MediaIcon(MediaPicture picture) {
  QIcon icon;
  for (int size : {16, 24, 32, 48}) icon.addPixmap(DrawMediaPicture(picture, size));
  return icon;
}

}  // namespace surface
