// The drawing surface's own semantics: scale conversions, drawing state, the primitives in
// inches, text measurement, DrawTextA's layout and the rotated text routine. The devices
// (canvas, printer, recorder) only draw what arrives here in pixels.
#include "surface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <vector>

#include "internal.h"
#include "vbrt.h"

namespace surface {

namespace detail {

void Raise(int number) { throw vbrt::RuntimeError(number); }

int ToPixel(double pixels) {
  double r = std::nearbyint(pixels);  // the default rounding mode: halves to even
  if (!std::isfinite(r) || r < std::numeric_limits<int>::min() || r > std::numeric_limits<int>::max()) {
    Raise(vbrt::ErrOverflow);
  }
  return static_cast<int>(r);
}

void InstallFontSubstitutions() {
  static std::once_flag once;
  std::call_once(once, [] {
    const QString sans = QStringLiteral("Liberation Sans");
    const QString serif = QStringLiteral("Liberation Serif");
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitution(QStringLiteral("Arial"), sans);
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), serif);
    QFont::insertSubstitution(QStringLiteral("Times Roman"), serif);
  });
}

}  // namespace detail

using detail::Raise;
using detail::ToPixel;

namespace {

constexpr double kTwipsPerInch = 1440.0;

// Units of a scale code per inch, or 0 for pixels (which depend on the device) and for codes
// that are not scale codes.
double UnitsPerInch(int scale, bool across) {
  switch (scale) {
    case vbUser:
    case vbInches: return 1.0;
    case vbTwips: return kTwipsPerInch;
    case vbPoints: return 72.0;
    case vbCharacters: return kTwipsPerInch / (across ? 120.0 : 240.0);
    case vbMillimeters: return 25.4;
    case vbCentimeters: return 2.54;
    case vbHimetric: return 2540.0;
    default: return 0.0;
  }
}

double Convert(double value, int from, int to, double dpi, bool across) {
  auto perInch = [&](int scale) {
    if (scale == vbPixels) return dpi;
    double u = UnitsPerInch(scale, across);
    if (u == 0.0) Raise(vbrt::ErrInvalidCall);
    return u;
  };
  double fromPerInch = perInch(from);
  double toPerInch = perInch(to);
  double result = (from == to) ? value : value / fromPerInch * toPerInch;
  if (to == vbPixels) result = std::nearbyint(result);
  return result;
}

// The box with these two corners, both inside it, whichever way round they come.
QRect Corners(QPoint a, QPoint b) {
  return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())), QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

bool IsBreak(QChar c) { return c == u'\r' || c == u'\n'; }

// The lines of a text broken at CR, LF and CRLF; an empty text is one empty line.
std::vector<QString> SplitLines(const QString& text) {
  std::vector<QString> lines;
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (!IsBreak(text[i])) continue;
    lines.push_back(text.mid(start, i - start));
    if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.mid(start));
  return lines;
}

LONG Saturate(long long v) {
  return static_cast<LONG>(std::clamp<long long>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// Sine and cosine of an angle in tenths of a degree, a magnitude below 1e-13 counting as 0.
void SinCos(int angle, double& s, double& c) {
  const double r = angle * 0.1 * 0.017453292519943295;
  c = std::cos(r);
  s = std::sin(r);
  if (std::fabs(c) < 1e-13) c = 0.0;
  if (std::fabs(s) < 1e-13) s = 0.0;
}

}  // namespace

QColor ToQColor(LONG color) {
  const auto v = static_cast<DWORD>(color);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

QFont MakeDeviceFont(const TextFont& desc, double dpiY) {
  detail::InstallFontSubstitutions();
  QFont font(desc.Name);
  long px = std::lround(desc.Size * dpiY / 72.0);
  if (px < 0) px = -px;
  if (px == 0) px = std::max(1L, std::lround(10.0 * dpiY / 72.0));
  font.setPixelSize(static_cast<int>(std::min(px, 32767L)));
  font.setWeight(desc.Bold ? QFont::Bold : QFont::Normal);
  font.setItalic(desc.Italic);
  font.setUnderline(desc.Underline);
  font.setStrikeOut(desc.Strikethru);
  font.setKerning(false);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::PreferOutline);
  return font;
}

QString ResolvedFamily(const QString& faceName) {
  detail::InstallFontSubstitutions();
  return QFontInfo(QFont(faceName)).family();
}

QPoint RotatedTextOrigin(int angle, LONG left, LONG top, LONG right, LONG bottom, double tw, double th) {
  double s, c;
  SinCos(angle, s, c);
  const double W = static_cast<double>(right) - left;
  const double H = static_cast<double>(bottom) - top;
  const double x = left + (W - tw * c) * 0.5 - th * s * 0.5;
  const double y = top + (H + tw * s) * 0.5 - th * c * 0.5;
  auto truncate = [](double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(std::trunc(v), double(std::numeric_limits<int>::min()),
                                       double(std::numeric_limits<int>::max())));
  };
  return QPoint(truncate(x), truncate(y));
}

// ---------------------------------------------------------------------------------------------
// Text metrics of one font at one resolution, in whole pixels as the device reports them.

struct Surface::Metrics {
  TextFont desc;
  double dpiY = 0;
  QFont font;
  QFontMetricsF fm;
  int ascent = 0;
  int height = 0;   // ascent + descent
  int leading = 0;  // external leading
  double tabWidth = 0;

  explicit Metrics(const QFont& f) : font(f), fm(f) {}

  int Width(const QString& s) const { return static_cast<int>(std::ceil(fm.horizontalAdvance(s) - 1e-6)); }
};

std::unique_ptr<Surface::Metrics> Surface::BuildMetrics(const TextFont& desc, double dpiY) {
  auto m = std::make_unique<Metrics>(MakeDeviceFont(desc, dpiY));
  m->desc = desc;
  m->dpiY = dpiY;
  QFontMetrics im(m->font);
  m->ascent = im.ascent();
  m->height = im.ascent() + im.descent();
  m->leading = std::max(0, im.leading());
  // Tab stops every 8 average characters, on whole pixels.
  m->tabWidth = 8.0 * std::max(1.0, std::round(m->fm.averageCharWidth()));
  return m;
}

// Page drawing switches between a few fonts (title, rows, notes) many times a page; their
// metrics are kept rather than built again at every switch.
const Surface::Metrics& Surface::MetricsFor(const TextFont& desc) const {
  constexpr size_t kKept = 8;
  for (size_t i = 0; i < metrics_.size(); ++i) {
    if (metrics_[i]->desc == desc && metrics_[i]->dpiY == dpiY_) {
      if (i != 0) std::rotate(metrics_.begin(), metrics_.begin() + static_cast<long>(i), metrics_.begin() + static_cast<long>(i) + 1);
      return *metrics_.front();
    }
  }
  if (metrics_.size() == kKept) metrics_.pop_back();
  metrics_.insert(metrics_.begin(), BuildMetrics(desc, dpiY_));
  return *metrics_.front();
}

// ---------------------------------------------------------------------------------------------

Surface::Surface(double dpiX, double dpiY) : dpiX_(dpiX), dpiY_(dpiY) { detail::InstallFontSubstitutions(); }

Surface::~Surface() {
  if (hdc_ != 0 && hdcTable_) hdcTable_->Revoke(hdc_);
}

void Surface::SetResolution(double dpiX, double dpiY) {
  dpiX_ = dpiX;
  dpiY_ = dpiY;
  metrics_.clear();
}

double Surface::Width() const { return ScaleWidth() * kTwipsPerInch; }
double Surface::Height() const { return ScaleHeight() * kTwipsPerInch; }

double Surface::ScaleX(double value, int fromScale, int toScale) const {
  return Convert(value, fromScale, toScale, dpiX_, true);
}

double Surface::ScaleY(double value, int fromScale, int toScale) const {
  return Convert(value, fromScale, toScale, dpiY_, false);
}

int Surface::GetDeviceCaps(int index) const {
  const int w = static_cast<int>(std::lround(ScaleWidth() * dpiX_));
  const int h = static_cast<int>(std::lround(ScaleHeight() * dpiY_));
  switch (index) {
    case HORZSIZE: return static_cast<int>(std::lround(ScaleWidth() * 25.4));
    case VERTSIZE: return static_cast<int>(std::lround(ScaleHeight() * 25.4));
    case HORZRES:
    case PHYSICALWIDTH: return w;
    case VERTRES:
    case PHYSICALHEIGHT: return h;
    case LOGPIXELSX: return static_cast<int>(std::lround(dpiX_));
    case LOGPIXELSY: return static_cast<int>(std::lround(dpiY_));
    default: return 0;
  }
}

void Surface::SetFont(const TextFont& font) {
  if (!(font.Size > 0.0 && font.Size <= 2160.0)) Raise(detail::kErrInvalidPropertyValue);
  font_ = font;
}
void Surface::SetFontName(const QString& name) { font_.Name = name; }
void Surface::SetFontSize(double points) {
  if (!(points > 0.0 && points <= 2160.0)) Raise(detail::kErrInvalidPropertyValue);
  font_.Size = points;
}
void Surface::SetFontBold(bool on) { font_.Bold = on; }
void Surface::SetFontItalic(bool on) { font_.Italic = on; }
void Surface::SetFontUnderline(bool on) { font_.Underline = on; }
void Surface::SetFontStrikethru(bool on) { font_.Strikethru = on; }

void Surface::SetDrawWidth(SHORT pixels) {
  if (pixels < 1) Raise(detail::kErrInvalidPropertyValue);
  drawWidth_ = pixels;
}
void Surface::SetDrawStyle(SHORT style) {
  if (style < vbSolid || style > vbInsideSolid) Raise(detail::kErrInvalidPropertyValue);
  drawStyle_ = style;
}
void Surface::SetFillStyle(SHORT style) {
  if (style < vbFSSolid || style > vbDiagonalCross) Raise(detail::kErrInvalidPropertyValue);
  fillStyle_ = style;
}

Stroke Surface::CurrentStroke(std::optional<LONG> color) const {
  Stroke s;
  s.color = color.value_or(foreColor_);
  s.width = drawWidth_;
  s.style = drawStyle_;
  return s;
}

Fill Surface::CurrentFill() const { return Fill{fillColor_, fillStyle_}; }

QPoint Surface::ToDevice(double x, double y) const { return QPoint(ToPixel(x * dpiX_), ToPixel(y * dpiY_)); }

// ---------------------------------------------------------------------------------------------
// Primitives in inches

void Surface::Line(double x1, double y1, double x2, double y2, std::optional<LONG> color) {
  const QPoint a = ToDevice(x1, y1);
  const QPoint b = ToDevice(x2, y2);
  currentX_ = x2;
  currentY_ = y2;
  if (a == b) {
    DeviceTouch();
    return;
  }
  DeviceLine(a, b, CurrentStroke(color));
}

void Surface::LineTo(double x, double y, std::optional<LONG> color) { Line(currentX_, currentY_, x, y, color); }

void Surface::Box(double x1, double y1, double x2, double y2, std::optional<LONG> color) {
  const QRect box = Corners(ToDevice(x1, y1), ToDevice(x2, y2));
  currentX_ = x2;
  currentY_ = y2;
  DeviceBox(box, CurrentStroke(color), CurrentFill());
}

void Surface::FilledBox(double x1, double y1, double x2, double y2, std::optional<LONG> color) {
  const QRect box = Corners(ToDevice(x1, y1), ToDevice(x2, y2));
  currentX_ = x2;
  currentY_ = y2;
  DeviceFilledBox(box, color.value_or(foreColor_));
}

void Surface::Circle(double x, double y, double radius, std::optional<LONG> color) {
  const QPoint c = ToDevice(x, y);
  const int rx = std::abs(ToPixel(radius * dpiX_));
  const int ry = std::abs(ToPixel(radius * dpiY_));
  currentX_ = x;
  currentY_ = y;
  if (rx == 0 && ry == 0) {
    DeviceTouch();
    return;
  }
  DeviceEllipse(c, rx, ry, CurrentStroke(color), CurrentFill());
}

void Surface::PaintPicture(const QImage& picture, double x, double y, std::optional<double> width,
                           std::optional<double> height) {
  if (picture.isNull()) Raise(detail::kErrInvalidPicture);
  auto ownInches = [](int pixels, int dotsPerMeter) {
    const double dpi = dotsPerMeter > 0 ? dotsPerMeter * 0.0254 : 96.0;
    return pixels / dpi;
  };
  const double w = width.value_or(ownInches(picture.width(), picture.dotsPerMeterX()));
  const double h = height.value_or(ownInches(picture.height(), picture.dotsPerMeterY()));
  const QPoint a = ToDevice(x, y);
  const QPoint b = ToDevice(x + w, y + h);
  if (a.x() == b.x() || a.y() == b.y()) {
    DeviceTouch();
    return;
  }
  // The far corner lies just outside the picture's box.
  const QRect box = Corners(a, b);
  DevicePicture(picture, QRect(box.topLeft(), QSize(box.width() - 1, box.height() - 1)));
}

double Surface::TextWidth(const QString& text) const {
  const Metrics& m = CurrentMetrics();
  int widest = 0;
  for (const QString& line : SplitLines(text)) widest = std::max(widest, m.Width(line));
  return widest / dpiX_;
}

double Surface::TextHeight(const QString& text) const {
  const Metrics& m = CurrentMetrics();
  return static_cast<double>(SplitLines(text).size()) * m.height / dpiY_;
}

void Surface::Cls() {
  currentX_ = 0;
  currentY_ = 0;
}

// ---------------------------------------------------------------------------------------------
// DrawTextA

namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

}  // namespace

int TextLayout::Widest() const {
  int widest = 0;
  for (const Line& l : lines) widest = std::max(widest, static_cast<int>(std::ceil(l.width - 1e-6)));
  return widest;
}

TextLayout Surface::LayoutText(const QString& text, const RECT& rect, UINT format) const {
  return Layout(CurrentMetrics(), text, rect, format);
}

TextLayout Surface::Layout(const Metrics& m, const QString& text, const RECT& rect, UINT format) const {
  const bool single = format & DT_SINGLELINE;
  const bool wrap = (format & DT_WORDBREAK) && !single;
  const bool breakWords = wrap && (format & DT_EDITCONTROL);
  const bool tabs = format & DT_EXPANDTABS;
  const long long boxWidth = std::max<long long>(0, static_cast<long long>(rect.right) - rect.left);
  TextLayout layout;
  layout.lineHeight = m.height + ((format & DT_EXTERNALLEADING) ? m.leading : 0);

  // Paragraphs: the text broken at CR, LF and CRLF, or one paragraph without them.
  if (single) {
    QString joined = text;
    joined.remove(u'\r');
    joined.remove(u'\n');
    layout.paragraphs.push_back(std::move(joined));
  } else {
    layout.paragraphs = SplitLines(text);
  }

  // Advance from x over a run of text that may hold tabs.
  auto advance = [&](double x, const QString& para, qsizetype from, qsizetype to) {
    qsizetype piece = from;
    for (qsizetype i = from; i <= to; ++i) {
      if (i < to && !(tabs && para[i] == u'\t')) continue;
      if (i > piece) x += m.fm.horizontalAdvance(para.mid(piece, i - piece));
      if (i < to) x = (std::floor(x / m.tabWidth + 1e-9) + 1.0) * m.tabWidth;
      piece = i + 1;
    }
    return x;
  };

  for (std::size_t p = 0; p < layout.paragraphs.size(); ++p) {
    const QString& para = layout.paragraphs[p];
    const qsizetype n = para.size();
    if (!wrap) {
      layout.lines.push_back({p, 0, n, advance(0.0, para, 0, n)});
      continue;
    }
    // Greedy filling, word by word: a word that does not fit starts the next line (the blanks
    // before it are dropped); a word wider than the box stays whole on a line of its own, or
    // with DT_EDITCONTROL fills as many lines of its own as it needs, broken between characters.
    qsizetype lineStart = 0;
    qsizetype lineEnd = 0;
    double x = 0;
    qsizetype i = 0;
    while (i < n) {
      qsizetype j = i;
      while (j < n && IsBlank(para[j])) ++j;
      qsizetype k = j;
      while (k < n && !IsBlank(para[k])) ++k;
      if (j == k) {  // blanks at the end of the paragraph stay on its last line
        x = advance(x, para, i, n);
        lineEnd = n;
        break;
      }
      const double afterGap = advance(x, para, i, j);
      const double wordWidth = m.fm.horizontalAdvance(para.mid(j, k - j));
      const double afterWord = afterGap + wordWidth;
      if (breakWords && std::ceil(wordWidth - 1e-6) > boxWidth) {
        if (lineEnd > lineStart) layout.lines.push_back({p, lineStart, lineEnd - lineStart, x});
        lineStart = j;
        for (qsizetype c = j; c < k;) {
          // The longest run of characters from c that fits, at least one (a surrogate pair
          // stays together).
          qsizetype end = c;
          double width = 0;
          while (end < k) {
            qsizetype next = end + 1;
            if (next < k && para[end].isHighSurrogate() && para[next].isLowSurrogate()) ++next;
            const double w = m.fm.horizontalAdvance(para.mid(c, next - c));
            if (end > c && std::ceil(w - 1e-6) > boxWidth) break;
            width = w;
            end = next;
          }
          if (end < k) {
            layout.lines.push_back({p, c, end - c, width});
          } else {
            lineStart = c;
            x = width;
          }
          c = end;
        }
        lineEnd = k;
        i = k;
        continue;
      }
      if (lineEnd > lineStart && std::ceil(afterWord - 1e-6) > boxWidth) {
        layout.lines.push_back({p, lineStart, lineEnd - lineStart, x});
        lineStart = j;
        x = m.fm.horizontalAdvance(para.mid(j, k - j));
      } else {
        x = afterWord;
      }
      lineEnd = k;
      i = k;
    }
    layout.lines.push_back({p, lineStart, lineEnd - lineStart, x});
  }
  return layout;
}

int Surface::DrawLayout(const Metrics& m, const TextFont& desc, const TextLayout& layout, const RECT& rect,
                        UINT format) {
  const bool single = format & DT_SINGLELINE;
  const bool tabs = format & DT_EXPANDTABS;
  const int lineHeight = layout.lineHeight;
  const long long total = layout.Height();

  long long y0 = rect.top;
  bool offsetResult = false;
  if (single && (format & DT_VCENTER)) {
    y0 = rect.top + (static_cast<long long>(rect.bottom) - rect.top - lineHeight) / 2;
    offsetResult = true;
  } else if (single && (format & DT_BOTTOM)) {
    y0 = static_cast<long long>(rect.bottom) - lineHeight;
    offsetResult = true;
  }

  std::optional<QRect> clip;
  if (!(format & DT_NOCLIP)) {
    clip = QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
  }
  TextRun run;
  run.textFont = desc;
  run.font = m.font;
  run.ascent = m.ascent;
  run.color = foreColor_;
  run.clip = clip;
  for (size_t i = 0; i < layout.lines.size(); ++i) {
    const TextLayout::Line& l = layout.lines[i];
    const long long y = y0 + static_cast<long long>(i) * lineHeight;
    if (clip && (y >= clip->bottom() + 1 || y + lineHeight <= clip->top())) continue;  // wholly clipped
    if (l.length == 0) continue;
    const int w = static_cast<int>(std::ceil(l.width - 1e-6));
    long long x = rect.left;
    if (format & DT_CENTER) {
      x = rect.left + (static_cast<long long>(rect.right) - rect.left - w) / 2;
    } else if (format & DT_RIGHT) {
      x = static_cast<long long>(rect.right) - w;
    }
    // Each piece between tabs is drawn at its own stop.
    const QString& para = layout.paragraphs[l.paragraph];
    double px = 0;
    qsizetype piece = l.start;
    const qsizetype end = l.start + l.length;
    for (qsizetype c = l.start; c <= end; ++c) {
      if (c < end && !(tabs && para[c] == u'\t')) continue;
      if (c > piece) {
        run.text = para.mid(piece, c - piece);
        run.origin = QPointF(static_cast<double>(x) + std::round(px), static_cast<double>(y));
        DeviceText(run);
        px += m.fm.horizontalAdvance(run.text);
      }
      if (c < end) px = (std::floor(px / m.tabWidth + 1e-9) + 1.0) * m.tabWidth;
      piece = c + 1;
    }
  }
  if (offsetResult) return Saturate(y0 + lineHeight - rect.top);
  return Saturate(total);
}

int Surface::DrawText(const QString& text, RECT& rect, UINT format) {
  const Metrics& m = CurrentMetrics();
  const TextLayout layout = Layout(m, text, rect, format);
  if (format & DT_CALCRECT) {
    rect.right = Saturate(static_cast<long long>(rect.left) + layout.Widest());
    rect.bottom = Saturate(static_cast<long long>(rect.top) + layout.Height());
    return Saturate(layout.Height());
  }
  return DrawLayout(m, font_, layout, rect, format);
}

int Surface::SetBkMode(int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  const int previous = bkMode_;
  bkMode_ = mode;
  return previous;
}

bool Surface::RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  QRect box(QPoint(std::min(left, right), std::min(top, bottom)),
            QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
  if (box.width() <= 0 || box.height() <= 0) return true;
  DeviceRoundRect(box, QSize(std::abs(ellipseWidth), std::abs(ellipseHeight)), CurrentStroke(std::nullopt),
                  CurrentFill());
  return true;
}

bool Surface::DrawFocusRect(const RECT& rect) {
  QRect box(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
  if (box.width() <= 0 || box.height() <= 0) return true;
  DeviceFocusRect(box);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Rotated text

void Surface::PrintText(const QString& text, int angle, LONG left, LONG top, LONG right, LONG bottom,
                        const QString& fontName, SHORT fontSize, LONG italic, LONG bold, LONG underline,
                        LONG color) {
  (void)color;  // the text takes the surface's text colour
  TextFont desc;
  desc.Name = fontName.left(31);
  desc.Size = fontSize;
  desc.Bold = bold != 0;
  desc.Italic = (italic & 0xFF) != 0;
  desc.Underline = (underline & 0xFF) != 0;
  bkMode_ = TRANSPARENT;
  const Metrics* m = &MetricsFor(desc);

  const TextLayout measured = Layout(*m, text, RECT{left, top, right, bottom}, 0);
  const double tw = measured.Widest();
  const double th = static_cast<double>(measured.Height());
  const QPoint origin = RotatedTextOrigin(angle, left, top, right, bottom, tw, th);

  // The lines of the block follow one another in the turned text's downward direction.
  double s, c;
  SinCos(angle, s, c);
  TextRun run;
  run.textFont = desc;
  run.font = m->font;
  run.ascent = m->ascent;
  run.angle = angle / 10.0;
  run.color = foreColor_;
  const std::vector<QString> lines = SplitLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].isEmpty()) continue;
    const double down = static_cast<double>(i) * m->height;
    run.text = lines[i];
    run.origin = QPointF(origin.x() + std::round(down * s), origin.y() + std::round(down * c));
    DeviceText(run);
  }
  bkMode_ = OPAQUE;
}

}  // namespace surface
