// The recording surface: every primitive in inches, nothing drawn.
#include "recordingsurface.h"

#include <utility>

#include "internal.h"

namespace surface {

const char* KindName(Primitive::Kind kind) {
  switch (kind) {
    case Primitive::Kind::Line: return "Line";
    case Primitive::Kind::Box: return "Box";
    case Primitive::Kind::FilledBox: return "FilledBox";
    case Primitive::Kind::Circle: return "Circle";
    case Primitive::Kind::Picture: return "Picture";
    case Primitive::Kind::Text: return "Text";
    case Primitive::Kind::RoundRect: return "RoundRect";
    case Primitive::Kind::FocusRect: return "FocusRect";
    case Primitive::Kind::Cls: return "Cls";
    case Primitive::Kind::NewPage: return "NewPage";
    case Primitive::Kind::EndDoc: return "EndDoc";
    case Primitive::Kind::KillDoc: return "KillDoc";
  }
  return "?";
}

RecordingSurface::RecordingSurface(const RecordingOptions& options)
    : PrinterObject(options.dpi, options.dpi), options_(options) {}

RecordingSurface::~RecordingSurface() = default;

std::vector<Primitive> RecordingSurface::Logged(Primitive::Kind kind) const {
  std::vector<Primitive> out;
  for (const Primitive& p : log_) {
    if (p.kind == kind) out.push_back(p);
  }
  return out;
}

double RecordingSurface::PaperWidth() const {
  return orientation_ == vbPRORLandscape ? options_.paperHeight : options_.paperWidth;
}
double RecordingSurface::PaperHeight() const {
  return orientation_ == vbPRORLandscape ? options_.paperWidth : options_.paperHeight;
}

double RecordingSurface::ScaleWidth() const { return PaperWidth() - 2 * options_.offsetX; }
double RecordingSurface::ScaleHeight() const { return PaperHeight() - 2 * options_.offsetY; }
double RecordingSurface::Width() const { return PaperWidth() * 1440.0; }
double RecordingSurface::Height() const { return PaperHeight() * 1440.0; }

int RecordingSurface::GetDeviceCaps(int index) const {
  switch (index) {
    case PHYSICALWIDTH: return detail::ToPixel(PaperWidth() * DpiX());
    case PHYSICALHEIGHT: return detail::ToPixel(PaperHeight() * DpiY());
    case PHYSICALOFFSETX: return detail::ToPixel(options_.offsetX * DpiX());
    case PHYSICALOFFSETY: return detail::ToPixel(options_.offsetY * DpiY());
    default: return Surface::GetDeviceCaps(index);
  }
}

void RecordingSurface::SetOrientation(SHORT orientation) {
  if (orientation != vbPRORPortrait && orientation != vbPRORLandscape) detail::Raise(detail::kErrInvalidPropertyValue);
  orientation_ = orientation;
}

void RecordingSurface::SetPaperSize(SHORT paper) {
  if (paper < 1) detail::Raise(detail::kErrInvalidPropertyValue);
  paperSize_ = paper;
}

void RecordingSurface::SetCopies(SHORT copies) {
  if (copies < 1 || copies > 9999) detail::Raise(detail::kErrInvalidPropertyValue);
  copies_ = copies;
}

void RecordingSurface::SetDuplex(SHORT duplex) {
  if (duplex == vbPRDPSimplex || ((duplex == vbPRDPHorizontal || duplex == vbPRDPVertical) && options_.duplexCapable)) {
    duplex_ = duplex;
    return;
  }
  detail::Raise(detail::kErrInvalidPropertyValue);
}

void RecordingSurface::Cls() {
  Surface::Cls();
  Mark(Primitive::Kind::Cls);
}

void RecordingSurface::NewPage() {
  Mark(Primitive::Kind::NewPage);
  ++page_;
}

void RecordingSurface::EndDoc() {
  Mark(Primitive::Kind::EndDoc);
  page_ = 1;
}

void RecordingSurface::KillDoc() {
  Mark(Primitive::Kind::KillDoc);
  page_ = 1;
}

double RecordingSurface::Px(double v) const { return v / DpiX(); }
double RecordingSurface::Py(double v) const { return v / DpiY(); }

void RecordingSurface::Mark(Primitive::Kind kind) {
  Primitive p;
  p.kind = kind;
  Add(std::move(p));
}

void RecordingSurface::Add(Primitive p) {
  p.page = page_;
  log_.push_back(std::move(p));
}

namespace {

void Draw(Primitive& p, const Stroke& stroke, const Fill* fill) {
  p.color = stroke.color;
  p.width = stroke.width;
  p.style = stroke.style;
  if (fill) {
    p.fillStyle = fill->style;
    p.fillColor = fill->color;
  }
}

}  // namespace

Primitive RecordingSurface::Make(Primitive::Kind kind, QRect box) const {
  Primitive p;
  p.kind = kind;
  p.x1 = Px(box.left());
  p.y1 = Py(box.top());
  p.x2 = Px(box.right());
  p.y2 = Py(box.bottom());
  return p;
}

void RecordingSurface::DeviceLine(QPoint a, QPoint b, const Stroke& stroke) {
  Primitive p;
  p.kind = Primitive::Kind::Line;
  p.x1 = Px(a.x());
  p.y1 = Py(a.y());
  p.x2 = Px(b.x());
  p.y2 = Py(b.y());
  Draw(p, stroke, nullptr);
  Add(std::move(p));
}

void RecordingSurface::DeviceBox(QRect box, const Stroke& stroke, const Fill& fill) {
  Primitive p = Make(Primitive::Kind::Box, box);
  Draw(p, stroke, &fill);
  Add(std::move(p));
}

void RecordingSurface::DeviceFilledBox(QRect box, LONG color) {
  Primitive p = Make(Primitive::Kind::FilledBox, box);
  p.color = color;
  p.fillStyle = vbFSSolid;
  p.fillColor = color;
  Add(std::move(p));
}

void RecordingSurface::DeviceEllipse(QPoint center, int rx, int ry, const Stroke& stroke, const Fill& fill) {
  Primitive p;
  p.kind = Primitive::Kind::Circle;
  p.x1 = Px(center.x());
  p.y1 = Py(center.y());
  p.rx = Px(rx);
  p.ry = Py(ry);
  Draw(p, stroke, &fill);
  Add(std::move(p));
}

void RecordingSurface::DevicePicture(const QImage&, QRect target) { Add(Make(Primitive::Kind::Picture, target)); }

void RecordingSurface::DeviceText(const TextRun& run) {
  Primitive p;
  p.kind = Primitive::Kind::Text;
  p.x1 = Px(run.origin.x());
  p.y1 = Py(run.origin.y());
  p.text = run.text;
  p.font = run.textFont;
  p.angle = run.angle;
  p.color = run.color;
  if (run.clip) {
    p.clipped = true;
    p.clipX1 = Px(run.clip->left());
    p.clipY1 = Py(run.clip->top());
    p.clipX2 = Px(run.clip->right() + 1);
    p.clipY2 = Py(run.clip->bottom() + 1);
  }
  Add(std::move(p));
}

void RecordingSurface::DeviceRoundRect(QRect box, QSize ellipse, const Stroke& stroke, const Fill& fill) {
  Primitive p = Make(Primitive::Kind::RoundRect, box);
  p.rx = Px(ellipse.width() / 2.0);
  p.ry = Py(ellipse.height() / 2.0);
  Draw(p, stroke, &fill);
  Add(std::move(p));
}

void RecordingSurface::DeviceFocusRect(QRect box) { Add(Make(Primitive::Kind::FocusRect, box)); }

}  // namespace surface
