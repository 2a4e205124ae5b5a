// The drawing surface: the forms runtime's Printer object and picture boxes over QPainter.
//
// Every page drawing procedure takes a Surface and uses the same operations on the preview
// canvas and on the printer. The user space is inches, y down, with the origin at the corner of
// the drawable area (on the printer: the printable area's corner, not the paper's). Device
// pixels share that origin; the device's resolution is DpiX/DpiY.
//
// Implementations: PreviewSurface (a QImage at screen resolution, previewsurface.h),
// PrinterSurface (QPrinter, PDF where no printer is installed, printersurface.h) and
// RecordingSurface (logs every primitive in inches, for tests, recordingsurface.h).
//
// Errors are raised as vbrt::RuntimeError with the runtime's numbers: 5 for a bad argument
// (an unknown scale code), 380 for a bad property value (a DrawWidth of 0), 482 when the
// printer fails, 7 when a canvas cannot be allocated.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "gdi.h"
#include "wintypes.h"

namespace surface {

// Scale codes of ScaleX/ScaleY (vbUser is the surface's own scale: inches).
enum ScaleMode : int {
  vbUser = 0,
  vbTwips = 1,         // 1440 per inch
  vbPoints = 2,        // 72 per inch
  vbPixels = 3,        // the device's pixels
  vbCharacters = 4,    // 120 twips across, 240 twips down
  vbInches = 5,
  vbMillimeters = 6,
  vbCentimeters = 7,
  vbHimetric = 8,      // hundredths of a millimetre
};

// DrawStyle values. Dashes and dots apply to lines of DrawWidth 1; wider lines are solid.
enum DrawStyleValue : SHORT {
  vbSolid = 0,
  vbDash = 1,
  vbDot = 2,
  vbDashDot = 3,
  vbDashDotDot = 4,
  vbInvisible = 5,
  vbInsideSolid = 6,
};

// FillStyle values: the interior of boxes (Line B), circles and RoundRect.
enum FillStyleValue : SHORT {
  vbFSSolid = 0,
  vbFSTransparent = 1,
  vbHorizontalLine = 2,
  vbVerticalLine = 3,
  vbUpwardDiagonal = 4,
  vbDownwardDiagonal = 5,
  vbCross = 6,
  vbDiagonalCross = 7,
};

// A surface's font: the face name as the program names it ("Arial", "Times Roman",
// "MS Sans Serif" resolve to the installed Liberation fonts), the size in points (fractional
// sizes are kept; the character height in pixels is size x the device's pixels per inch / 72,
// to the nearest pixel) and the styles.
struct TextFont {
  QString Name = QStringLiteral("Arial");
  double Size = 10.0;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strikethru = false;
  friend bool operator==(const TextFont&, const TextFont&) = default;
};

// The QFont for a text font on a device of dpiY pixels per inch: the family resolved through
// the program's substitutions, the pixel size from the point size, no hinting and no kerning
// (so that widths scale with the resolution and match the widths of the original fonts).
QFont MakeDeviceFont(const TextFont& desc, double dpiY);
// The installed family a face name resolves to ("Arial" -> "Liberation Sans").
QString ResolvedFamily(const QString& faceName);

// The rotated text placement: where the top-left corner of the unrotated text cell (tw x th
// pixels) goes so that the cell, turned counter-clockwise by angle tenths of a degree about
// that corner, is centred in the rectangle. A sine or cosine whose magnitude is below 1e-13
// counts as 0; both coordinates are truncated toward zero.
QPoint RotatedTextOrigin(int angle, LONG left, LONG top, LONG right, LONG bottom, double tw, double th);

class DeviceContextTable;

// What a surface's device draws with: the line, the fill of a shape's inside, a line of text.
struct Stroke {
  LONG color = 0;
  int width = 1;          // pixels
  int style = vbSolid;    // DrawStyle
};
struct Fill {
  LONG color = 0;
  int style = vbFSTransparent;  // FillStyle
};
struct TextRun {
  QString text;           // one line, without line breaks
  QPointF origin;         // device pixels: the top-left corner of the unrotated cell
  int ascent = 0;         // pixels from the cell's top to the baseline
  double angle = 0;       // degrees, counter-clockwise
  TextFont textFont;   // the font as the program named it
  QFont font;
  LONG color = 0;
  std::optional<QRect> clip;
};
// The colour of a 0x00BBGGRR value.
QColor ToQColor(LONG color);

// Text laid out in lines as DrawText draws it: each line a range of one paragraph (the text
// between line breaks) and its width in pixels.
struct TextLayout {
  struct Line {
    std::size_t paragraph;
    qsizetype start;
    qsizetype length;
    double width;
  };
  std::vector<QString> paragraphs;
  std::vector<Line> lines;
  int lineHeight = 0;  // pixels, with the external leading when asked for

  QString Text(const Line& line) const { return paragraphs[line.paragraph].mid(line.start, line.length); }
  int Widest() const;  // the widest line, in whole pixels
  long long Height() const { return static_cast<long long>(lines.size()) * lineHeight; }
};

class Surface {
 public:
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  virtual ~Surface();

  // Page drawing compares a surface with the Printer: true for the printer (and for a recording
  // surface that stands for it).
  virtual bool IsPrinter() const { return false; }

  // ---- Device and scale
  double DpiX() const { return dpiX_; }
  double DpiY() const { return dpiY_; }
  // Width and height of the drawable area in inches.
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;
  // Width and height in twips: the paper on a printer, the drawable area elsewhere.
  virtual double Width() const;
  virtual double Height() const;
  // Converts a length between scale codes, across (ScaleX, DpiX) or down (ScaleY, DpiY). A
  // result in pixels is rounded to a whole pixel, halves to even.
  double ScaleX(double value, int fromScale = vbHimetric, int toScale = vbUser) const;
  double ScaleY(double value, int fromScale = vbHimetric, int toScale = vbUser) const;
  virtual int GetDeviceCaps(int index) const;

  // ---- Drawing state
  const TextFont& Font() const { return font_; }
  void SetFont(const TextFont& font);
  QString FontName() const { return font_.Name; }
  void SetFontName(const QString& name);
  double FontSize() const { return font_.Size; }
  void SetFontSize(double points);  // above 0 and at most 2160, else 380
  bool FontBold() const { return font_.Bold; }
  void SetFontBold(bool on);
  bool FontItalic() const { return font_.Italic; }
  void SetFontItalic(bool on);
  bool FontUnderline() const { return font_.Underline; }
  void SetFontUnderline(bool on);
  bool FontStrikethru() const { return font_.Strikethru; }
  void SetFontStrikethru(bool on);

  // Colours are 0x00BBGGRR; the high byte is ignored.
  LONG ForeColor() const { return foreColor_; }
  void SetForeColor(LONG color) { foreColor_ = color; }
  LONG FillColor() const { return fillColor_; }
  void SetFillColor(LONG color) { fillColor_ = color; }
  SHORT DrawWidth() const { return drawWidth_; }
  void SetDrawWidth(SHORT pixels);  // 1 to 32767, else 380
  SHORT DrawStyle() const { return drawStyle_; }
  void SetDrawStyle(SHORT style);   // 0 to 6, else 380
  SHORT FillStyle() const { return fillStyle_; }
  void SetFillStyle(SHORT style);   // 0 to 7, else 380
  // The current point, in inches: where Line continues from; set by every line and box.
  double CurrentX() const { return currentX_; }
  void SetCurrentX(double x) { currentX_ = x; }
  double CurrentY() const { return currentY_; }
  void SetCurrentY(double y) { currentY_ = y; }

  // ---- Primitives in inches. A colour that is not given is ForeColor.
  // Line (x1, y1)-(x2, y2): the current point becomes (x2, y2). A line of zero length draws
  // nothing (but, on the printer, opens the page like any drawing).
  void Line(double x1, double y1, double x2, double y2, std::optional<LONG> color = std::nullopt);
  // Line -(x, y): from the current point.
  void LineTo(double x, double y, std::optional<LONG> color = std::nullopt);
  // Line (x1, y1)-(x2, y2), B: the outline of the box, its inside filled by FillStyle and
  // FillColor. Both corners are inside the box.
  void Box(double x1, double y1, double x2, double y2, std::optional<LONG> color = std::nullopt);
  // Line (x1, y1)-(x2, y2), BF: the box filled with the line colour.
  void FilledBox(double x1, double y1, double x2, double y2, std::optional<LONG> color = std::nullopt);
  // Circle (x, y), radius: the outline, the inside filled by FillStyle; the current point
  // becomes the centre.
  void Circle(double x, double y, double radius, std::optional<LONG> color = std::nullopt);
  // PaintPicture: the picture stretched into the box at (x, y); a missing width or height is
  // the picture's own (from its resolution, 96 pixels per inch when it has none).
  void PaintPicture(const QImage& picture, double x, double y, std::optional<double> width = std::nullopt,
                    std::optional<double> height = std::nullopt);
  // TextWidth: the widest line; TextHeight: the number of lines times the font's height. CR, LF
  // and CRLF break lines; an empty text is one line.
  double TextWidth(const QString& text) const;
  double TextHeight(const QString& text) const;
  // Clears the drawable area where the surface can (the canvas) and resets the current point.
  virtual void Cls();

  // ---- Device context (pixels)
  // The surface's device context token; valid until the surface is destroyed.
  HDC hDC();
  // DrawTextA: text in a rectangle with the current font and ForeColor, transparently. Flags:
  // DT_CENTER, DT_RIGHT; DT_VCENTER and DT_BOTTOM only with DT_SINGLELINE; DT_WORDBREAK breaks
  // between words (a word wider than the rectangle stays whole); CR, LF and CRLF break lines
  // unless DT_SINGLELINE; DT_EXPANDTABS; DT_EXTERNALLEADING; the output is clipped to the
  // rectangle unless DT_NOCLIP; DT_CALCRECT draws nothing and sets the rectangle's right and
  // bottom to bound the text. Returns the text's height in pixels (with DT_SINGLELINE and
  // DT_VCENTER or DT_BOTTOM: from the rectangle's top to the bottom of the text).
  int DrawText(const QString& text, RECT& rect, UINT format);
  // The lines DrawText would draw for text in the rectangle's width with the current font and
  // these flags (DT_SINGLELINE, DT_WORDBREAK, DT_EXPANDTABS, DT_EXTERNALLEADING), without
  // drawing: a designer measures text this way.
  TextLayout LayoutText(const QString& text, const RECT& rect, UINT format) const;
  int SetBkMode(int mode);
  int BkMode() const { return bkMode_; }
  bool RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
  bool DrawFocusRect(const RECT& rect);

  // The rotated text routine of the catalog browser control's PrintText: a font of fontName
  // (at most 31 characters), fontSize points at the device's vertical resolution, weight 700
  // when bold is non-zero, italic and underline from the low byte of their arguments; the
  // text measured unrotated (each CR, LF or CRLF starts a new line of the block), then drawn
  // once, turned counter-clockwise by angle tenths of a degree, at RotatedTextOrigin, so that
  // it is centred in the rectangle (left, top, right, bottom: device pixels). color is not
  // used: the text takes ForeColor. The surface's own font is left as it was, and the
  // background mode ends OPAQUE.
  void PrintText(const QString& text, int angle, LONG left, LONG top, LONG right, LONG bottom,
                 const QString& fontName, SHORT fontSize, LONG italic, LONG bold, LONG underline, LONG color);

 protected:
  Surface(double dpiX, double dpiY);
  void SetResolution(double dpiX, double dpiY);

  // How a surface draws, in device pixels with the drawable area's origin (see Stroke, Fill,
  // TextRun). Coordinates arrive rounded to whole pixels.
  virtual void DeviceLine(QPoint a, QPoint b, const Stroke& stroke) = 0;
  virtual void DeviceBox(QRect box, const Stroke& stroke, const Fill& fill) = 0;  // corners inclusive
  virtual void DeviceFilledBox(QRect box, LONG color) = 0;                       // corners inclusive
  virtual void DeviceEllipse(QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill) = 0;
  virtual void DevicePicture(const QImage& picture, QRect target) = 0;
  virtual void DeviceText(const TextRun& run) = 0;
  virtual void DeviceRoundRect(QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill) = 0;
  virtual void DeviceFocusRect(QRect box) = 0;
  // Called before a drawing whose length is zero, so that the printer opens its page.
  virtual void DeviceTouch() {}

  Stroke CurrentStroke(std::optional<LONG> color) const;
  Fill CurrentFill() const;

 private:
  struct Metrics;
  const Metrics& CurrentMetrics() const { return MetricsFor(font_); }
  const Metrics& MetricsFor(const TextFont& desc) const;
  static std::unique_ptr<Metrics> BuildMetrics(const TextFont& desc, double dpiY);
  TextLayout Layout(const Metrics& m, const QString& text, const RECT& rect, UINT format) const;
  int DrawLayout(const Metrics& m, const TextFont& desc, const TextLayout& layout, const RECT& rect, UINT format);
  QPoint ToDevice(double x, double y) const;

  double dpiX_;
  double dpiY_;
  TextFont font_;
  mutable std::vector<std::unique_ptr<Metrics>> metrics_;  // the fonts used last, the latest first
  LONG foreColor_ = 0;
  LONG fillColor_ = 0;
  SHORT drawWidth_ = 1;
  SHORT drawStyle_ = vbSolid;
  SHORT fillStyle_ = vbFSTransparent;
  double currentX_ = 0;
  double currentY_ = 0;
  int bkMode_ = OPAQUE;
  HDC hdc_ = 0;
  DeviceContextTable* hdcTable_ = nullptr;  // the table that issued hdc_
};

// The table that turns device context tokens into surfaces. The default table lives in this
// library; the program installs the component runtime's token table (surface_xcom.h) so that
// the catalog store library resolves the same tokens.
class DeviceContextTable {
 public:
  virtual ~DeviceContextTable() = default;
  virtual HDC Issue(Surface* surface) = 0;
  virtual Surface* Resolve(HDC hdc) = 0;
  virtual void Revoke(HDC hdc) = 0;
};
// Installs a table (nullptr: the default one). Install it before any surface hands out an hDC.
void SetDeviceContextTable(DeviceContextTable* table);
// The surface of a token, or nullptr for 0 and for a token that no live surface holds.
Surface* SurfaceFromHDC(HDC hdc);

}  // namespace surface
