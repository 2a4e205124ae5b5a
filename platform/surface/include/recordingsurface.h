// A surface that draws nothing and logs every primitive in inches, for tests of the page
// drawing. It measures text with the real fonts at its resolution, so layouts come out as on
// a canvas of the same resolution. It can stand for the printer (IsPrinter) with an
// unprintable margin, and then also logs NewPage, EndDoc and KillDoc.
#pragma once

#include <QString>
#include <vector>

#include "printersurface.h"

namespace surface {

struct RecordingOptions {
  double paperWidth = 8.5;    // inches
  double paperHeight = 11.0;
  double offsetX = 0.0;       // unprintable margin on each side, inches
  double offsetY = 0.0;
  double dpi = 96.0;
  bool printer = false;       // IsPrinter
  bool duplexCapable = false;
};

struct Primitive {
  enum class Kind { Line, Box, FilledBox, Circle, Picture, Text, RoundRect, FocusRect, Cls, NewPage, EndDoc, KillDoc };
  Kind kind = Kind::Line;
  // Inches. Line: from (x1, y1) to (x2, y2). Box, FilledBox, RoundRect, FocusRect, Picture:
  // corners (x1, y1) and (x2, y2), both inside. Circle: centre (x1, y1), radii rx and ry.
  // Text: the top-left corner of the unrotated cell at (x1, y1).
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double rx = 0, ry = 0;
  LONG color = 0;             // line, text or box colour
  int width = 0;              // DrawWidth in pixels
  int style = 0;              // DrawStyle
  int fillStyle = 1;          // Box, Circle, RoundRect
  LONG fillColor = 0;
  QString text;               // Text
  TextFont font;              // Text
  double angle = 0;           // Text: degrees counter-clockwise
  bool clipped = false;       // Text: clipped to (clipX1, clipY1)-(clipX2, clipY2), inches, the
                              // right and bottom edges just outside
  double clipX1 = 0, clipY1 = 0, clipX2 = 0, clipY2 = 0;
  int page = 1;               // the page it was drawn on
};
const char* KindName(Primitive::Kind kind);

class RecordingSurface : public PrinterObject {
 public:
  explicit RecordingSurface(const RecordingOptions& options = RecordingOptions());
  ~RecordingSurface() override;

  const std::vector<Primitive>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  // The logged primitives of one kind, in order.
  std::vector<Primitive> Logged(Primitive::Kind kind) const;

  bool IsPrinter() const override { return options_.printer; }
  void Cls() override;
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  double Width() const override;
  double Height() const override;
  int GetDeviceCaps(int index) const override;

  QString DeviceName() const override { return QStringLiteral("Recorder"); }
  QString DriverName() const override { return QStringLiteral("recorder"); }
  QString Port() const override { return QString(); }
  SHORT Orientation() const override { return orientation_; }
  void SetOrientation(SHORT orientation) override;
  SHORT PaperSize() const override { return paperSize_; }
  void SetPaperSize(SHORT paper) override;
  SHORT Copies() const override { return copies_; }
  void SetCopies(SHORT copies) override;
  SHORT Duplex() const override { return duplex_; }
  void SetDuplex(SHORT duplex) override;
  SHORT Page() const override { return page_; }
  void NewPage() override;
  void EndDoc() override;
  void KillDoc() override;

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
  Primitive Make(Primitive::Kind kind, QRect box) const;
  void Mark(Primitive::Kind kind);
  void Add(Primitive p);
  double Px(double v) const;
  double Py(double v) const;
  double PaperWidth() const;
  double PaperHeight() const;

  RecordingOptions options_;
  std::vector<Primitive> log_;
  SHORT orientation_ = vbPRORPortrait;
  SHORT paperSize_ = vbPRPSLetter;
  SHORT copies_ = 1;
  SHORT duplex_ = vbPRDPSimplex;
  SHORT page_ = 1;
};

}  // namespace surface
