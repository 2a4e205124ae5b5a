// The label designer's objects: slots, insertion, placement, editing, deletion, packing, the
// drag and the read-outs, and the texts painted onto the canvas.
#include "designerobjects.h"

#include <cmath>
#include <utility>

#include "vbrt.h"

namespace designer {

namespace {
constexpr double kPi = 3.14159265358979;
constexpr int kKeyDelete = 46;

template <typename Record>
void MarkFree(Record& r) {
  r.Left = app::kFreeSlot;
  r.Top = app::kFreeSlot;
}

// The first free slot from `from` on below the spare slot, or -1.
template <typename Records>
int FirstFree(const Records& records, qsizetype from = 0) {
  for (qsizetype i = std::max<qsizetype>(0, from); i + 1 < records.size(); ++i)
    if (DesignerObjects::IsFree(records[i])) return static_cast<int>(i);
  return -1;
}

// A free slot for a new object: the first free one, or one more slot (the old spare slot
// becomes the new object's, a new spare slot follows it). No slot below `hint` is free; the
// search starts there and leaves it at the slot taken, so a run of insertions (a page of
// duplicates) looks at each slot once rather than from 0 every time.
template <typename Records>
int TakeSlot(Records& records, int& hint) {
  const int free = FirstFree(records, hint);
  hint = free >= 0 ? free : static_cast<int>(records.size()) - 1;
  if (free >= 0) return free;
  const int slot = static_cast<int>(records.size()) - 1;
  records.append(typename Records::value_type{});
  MarkFree(records[slot]);
  return slot;
}

template <typename Records>
int CountLive(const Records& records) {
  int live = 0;
  for (qsizetype i = 0; i + 1 < records.size(); ++i)
    if (!DesignerObjects::IsFree(records[i])) ++live;
  return live;
}

// Packs the live records to the front in their order, followed by one spare slot; moved
// tells where each moved record went. Nothing changes when no slot is free; all free gives
// a fresh array.
template <typename Records>
void Pack(Records& records, const std::function<void(int from, int to)>& moved) {
  if (FirstFree(records) < 0) return;
  Records packed;
  for (qsizetype i = 0; i + 1 < records.size(); ++i) {
    if (DesignerObjects::IsFree(records[i])) continue;
    const int to = static_cast<int>(packed.size());
    packed.append(records[i]);
    if (moved) moved(static_cast<int>(i), to);
  }
  if (packed.isEmpty()) {
    packed.append(typename Records::value_type{});
    MarkFree(packed[0]);
  }
  packed.append(typename Records::value_type{});
  records = std::move(packed);
}
}  // namespace

SHORT MappedAlignment(SHORT code, SHORT otherwise) {
  switch (code) {
    case 0: return 0;
    case 1: return 2;
    case 2: return 1;
    default: return otherwise;
  }
}

namespace {
// Gives a text record the editor's outcome: the working font slot, the note text and its
// justification.
void TakeEditorResult(app::CustomTextRecord& r, const app::FontSlot& f, const QString& text, SHORT alignment) {
  r.FontSize = f.FontSize;
  r.FontBold = f.FontBold;
  r.FontItal = f.FontItal;
  r.FontUnder = f.FontUnder;
  r.FontColor = f.FontColor;
  r.FontName = f.FontName;
  r.FontAngle = f.FontAngle;
  r.Text = text;
  r.FontAlign = MappedAlignment(alignment, r.FontAlign);
}
}  // namespace

DesignerObjects::DesignerObjects(app::Designer& designer, app::PrintJob& job, PictureStore& pictures,
                                 surface::Surface& canvas)
    : designer_(designer),
      job_(job),
      pictures_(pictures),
      canvas_(canvas),
      reports_(job, designer, noSelection_, noPage_),
      unit_(&UnitForScale(5)) {
  texts_[0] = TextControl{};
  picturesShown_[0] = PictureControl{};
  frameBorder_ = Pixel();
}

double DesignerObjects::Zoom() const { return designer_.ZoomFactor > 0 ? designer_.ZoomFactor : 1.0; }

double DesignerObjects::Pixel() const { return canvas_.DpiX() > 0 ? 1.0 / canvas_.DpiX() : 1.0 / 96; }

bool DesignerObjects::IsLiveText(int slot) const {
  const auto& r = designer_.CustomTexts;
  return slot >= 0 && slot + 1 < r.size() && !IsFree(r[slot]);
}

bool DesignerObjects::IsLivePicture(int slot) const {
  const auto& r = designer_.CustomPictures;
  return slot >= 0 && slot + 1 < r.size() && !IsFree(r[slot]);
}

void DesignerObjects::Changed() const {
  if (batchDepth_ > 0) {
    changedPending_ = true;
    return;
  }
  if (onChanged) onChanged();
}

void DesignerObjects::Repaint() const {
  if (batchDepth_ > 0) {
    repaintPending_ = true;
    return;
  }
  if (onRepaint) onRepaint();
}

DesignerObjects::Batch::~Batch() {
  if (--objects_.batchDepth_ > 0) return;
  if (std::exchange(objects_.repaintPending_, false)) objects_.Repaint();
  if (std::exchange(objects_.changedPending_, false)) objects_.Changed();
}

int DesignerObjects::WiseInsertText() {
  const int slot = TakeSlot(designer_.CustomTexts, textFreeFrom_);
  texts_.try_emplace(slot);  // a member that exists already is used as it is
  ++textCount_;
  current_ = slot;
  return slot;
}

int DesignerObjects::WiseInsertPicture() {
  const int slot = TakeSlot(designer_.CustomPictures, pictureFreeFrom_);
  picturesShown_.try_emplace(slot);
  ++pictureCount_;
  current_ = slot;
  return slot;
}

void DesignerObjects::CopyTextAttributes(int source, int target, double dx, double dy) {
  auto& r = designer_.CustomTexts;
  if (source < 0 || target < 0 || source >= r.size() || target >= r.size()) return;
  app::CustomTextRecord copy = r[source];
  copy.Left += dx;
  copy.Top += dy;
  r[target] = copy;
}

void DesignerObjects::CompressCustomArrays() {
  std::map<int, int> textMoves, pictureMoves;
  Pack(designer_.CustomTexts, [&](int from, int to) { textMoves[from] = to; });
  // Each image goes with its record; the images of free slots (none are kept) go.
  PictureStore moved;
  Pack(designer_.CustomPictures, [&](int from, int to) { pictureMoves[from] = to; });
  if (!pictureMoves.empty()) {
    for (const auto& [from, to] : pictureMoves)
      if (const PictureStore::Entry* e = pictures_.Find(from)) moved.Put(to, e->image, e->bytes);
    pictures_ = std::move(moved);
  }
  auto remap = [](int index, const std::map<int, int>& moves) {
    auto it = moves.find(index);
    return it == moves.end() ? index : it->second;
  };
  if (current_ >= 0) current_ = remap(current_, currentIsText_ ? textMoves : pictureMoves);
  if (traced_ >= 0) traced_ = -1;
  textCount_ = CountLive(designer_.CustomTexts);
  pictureCount_ = CountLive(designer_.CustomPictures);
  ReloadControls();
  Changed();
}

void DesignerObjects::ReloadControls() {
  textFreeFrom_ = pictureFreeFrom_ = 0;  // the arrays may have been replaced
  texts_.clear();
  picturesShown_.clear();
  texts_[0] = TextControl{};
  picturesShown_[0] = PictureControl{};
  for (int i = 0; i + 1 < designer_.CustomTexts.size(); ++i)
    if (IsLiveText(i)) {
      texts_.try_emplace(i);
      SetTextLabelFromArray(i);
      PositionInsertedItem(ObjectKind::Text, i, false);
    }
  for (int i = 0; i + 1 < designer_.CustomPictures.size(); ++i)
    if (IsLivePicture(i)) {
      picturesShown_.try_emplace(i);
      PositionInsertedItem(ObjectKind::Picture, i, false);
    }
}

void DesignerObjects::Reset() {
  const app::Designer fresh;
  designer_.CustomTexts = fresh.CustomTexts;
  designer_.CustomPictures = fresh.CustomPictures;
  pictures_.Clear();
  textCount_ = pictureCount_ = 0;
  current_ = traced_ = -1;
  currentIsText_ = false;
  drag_.reset();
  frame_ = ControlBox{};
  ResetGesture();
  menus_ = DesignerMenus{};
  ReloadControls();
  Changed();
}

void DesignerObjects::Loaded() {
  current_ = traced_ = -1;
  currentIsText_ = false;
  drag_.reset();
  frameBorder_ = Pixel();
  frame_ = ControlBox{};
  ResetGesture();
  textCount_ = CountLive(designer_.CustomTexts);
  pictureCount_ = CountLive(designer_.CustomPictures);
  menus_ = DesignerMenus{};
  menus_.save = textCount_ > 0 || pictureCount_ > 0;
  ReloadControls();
  Changed();
}

void DesignerObjects::Closed() {
  textCount_ = pictureCount_ = 0;
  textFreeFrom_ = pictureFreeFrom_ = 0;
  current_ = traced_ = -1;
  drag_.reset();
  frame_ = ControlBox{};
  ResetGesture();
  menus_ = DesignerMenus{};
  texts_.clear();
  picturesShown_.clear();
  texts_[0] = TextControl{};
  picturesShown_[0] = PictureControl{};
  Changed();
}

void DesignerObjects::MeasureExtent(SHORT angle, const QString& text, double& w, double& h, bool keepStraight) {
  reports_.SetFontFromRecord(canvas_, 7);
  // Measured with the working font at the current zoom, stored in inches at zoom 1.0 like the
  // position, so that the box fits the text at every zoom.
  const double tw = canvas_.TextWidth(text) / Zoom();
  const double th = canvas_.TextHeight(text) / Zoom();
  const double r = angle * kPi / 180;
  if (angle % 180 == 0) {
    if (keepStraight) return;
    if (angle % 360 == 0) {
      w = h = 1.0;
      return;
    }
  } else if (angle % 90 == 0) {
    w = th;
    h = tw;
    return;
  }
  w = std::abs(std::cos(r)) * tw + std::abs(std::sin(r)) * th;
  h = std::abs(std::sin(r)) * tw + std::abs(std::cos(r)) * th;
}

bool DesignerObjects::InsertText() {
  double x = 0, y = 0, w = 0, h = 0;
  return InsertText(x, y, w, h);
}

bool DesignerObjects::InsertText(double& x, double& y, double& w, double& h) {
  if (showEditor) showEditor();
  if (designer_.NoteText.isEmpty()) return false;
  menus_.save = true;
  currentIsText_ = true;
  current_ = WiseInsertText();
  if (x == 0 && y == 0 && w == 0 && h == 0) {
    const CanvasView v = view ? view() : CanvasView{};
    x = (v.clientWidth - 1.0 - v.vScrollWidth) / 2 - v.canvasLeft;
    if (job_.LabelMedium == 1 && v.canvasTop > 0)
      y = (job_.PageHeight * Zoom() - 1.0) / 2;
    else
      y = (v.clientHeight - 1.0 - v.hScrollHeight) / 2 - v.canvasTop;
  }
  const app::FontSlot& f = job_.FontTable[7];
  MeasureExtent(f.FontAngle, designer_.NoteText, w, h, false);
  app::CustomTextRecord& r = designer_.CustomTexts[current_];
  r.Top = y / Zoom();
  r.Left = x / Zoom();
  r.Height = h;
  r.Width = w;
  TakeEditorResult(r, f, designer_.NoteText, designer_.NoteAlignment);
  texts_[current_].visible = false;
  SetTextLabelFromArray(current_);
  texts_[current_].visible = true;
  SelectInsertedItem(ObjectKind::Text, current_, true);
  Repaint();
  Changed();
  return true;
}

bool DesignerObjects::EditText(int slot) {
  if (!IsLiveText(slot)) return false;
  TextControl& label = texts_[slot];
  app::CustomTextRecord& r = designer_.CustomTexts[slot];
  app::FontSlot& f = job_.FontTable[7];
  designer_.NoteText = label.caption;
  f.FontAngle = vbrt::CInt(label.angleText.toDouble());
  f.FontName = label.font.Name;
  f.FontBold = label.font.Bold;
  f.FontItal = label.font.Italic;
  f.FontUnder = label.font.Underline;
  f.FontSize = r.FontSize;
  f.FontColor = label.foreColor;
  designer_.NoteAlignment = MappedAlignment(r.FontAlign, designer_.NoteAlignment);
  if (showEditor) showEditor();
  if (designer_.NoteText.isEmpty()) return false;
  // The editor may have changed anything; the record is looked up again.
  if (!IsLiveText(slot)) return false;
  app::CustomTextRecord& edited = designer_.CustomTexts[slot];
  TakeEditorResult(edited, f, designer_.NoteText, designer_.NoteAlignment);
  texts_[slot].visible = false;
  MeasureExtent(edited.FontAngle, edited.Text, edited.Width, edited.Height, true);
  SetTextLabelFromArray(slot);
  texts_[slot].visible = true;
  current_ = slot;
  currentIsText_ = true;
  SelectInsertedItem(ObjectKind::Text, slot);
  Repaint();
  Changed();
  return true;
}

void DesignerObjects::EditCurrent() {
  if (currentIsText_) {
    EditText(current_);
    return;
  }
  if (!IsLivePicture(current_) || !choosePicture) return;
  const int slot = current_;
  if (std::optional<ChosenPicture> chosen = choosePicture())
    ReplacePicture(slot, std::move(chosen->image), std::move(chosen->bytes), chosen->path);
}

int DesignerObjects::InsertLogoPicture(QImage image, QByteArray bytes, const QString& path, std::optional<double> x,
                                       std::optional<double> y) {
  const int slot = WiseInsertPicture();
  currentIsText_ = false;
  pictures_.Put(slot, std::move(image), std::move(bytes));
  double left = 0, top = 0;
  if (x || y) {
    left = x.value_or(0);
    top = y.value_or(0);
  } else {
    // A quarter of the picture left of and above the centre of the visible area; the canvas
    // values are stored divided by the zoom like every position.
    const CanvasView v = view ? view() : CanvasView{};
    const auto [w, h] = PictureSize(slot);
    const double z = Zoom();
    left = ((v.clientWidth - v.vScrollWidth - w * z / 2) / 2 - v.canvasLeft) / z;
    top = ((v.clientHeight - v.hScrollHeight - h * z / 2) / 2 - v.canvasTop) / z;
  }
  menus_.save = true;
  app::CustomPictureRecord& r = designer_.CustomPictures[slot];
  r.Top = top;
  r.Left = left;
  r.Name = path;
  PositionInsertedItem(ObjectKind::Picture, slot);
  Changed();
  return slot;
}

bool DesignerObjects::ReplacePicture(int slot, QImage image, QByteArray bytes, const QString& path) {
  if (!IsLivePicture(slot) || image.isNull()) return false;
  pictures_.Put(slot, std::move(image), std::move(bytes));
  designer_.CustomPictures[slot].Name = path;
  current_ = slot;
  currentIsText_ = false;
  PositionInsertedItem(ObjectKind::Picture, slot);
  Changed();
  return true;
}

void DesignerObjects::SetTextLabelFromArray(int slot) {
  if (slot < 0 || slot >= designer_.CustomTexts.size()) return;
  const app::CustomTextRecord& r = designer_.CustomTexts[slot];
  if (r.Text.isEmpty()) return;
  TextControl& c = texts_[slot];
  const double z = Zoom();
  c.caption = r.Text;
  c.angleText = QString::number(r.FontAngle);
  c.top = r.Top * z;
  c.left = r.Left * z;
  c.height = r.Height * z;
  c.width = r.Width * z;
  c.font.Name = r.FontName;
  c.font.Size = r.FontSize * z;
  c.font.Bold = r.FontBold != 0;
  c.font.Underline = r.FontUnder != 0;
  c.font.Italic = r.FontItal != 0;
  c.alignment = r.FontAlign;
  c.foreColor = r.FontColor;
}

std::pair<double, double> DesignerObjects::PictureSize(int slot) const {
  const PictureStore::Entry* e = pictures_.Find(slot);
  if (!e || e->image.isNull()) return {0, 0};
  // The image's own resolution gives its natural size; an image without one counts 96 dpi.
  // Files hold whole dots per metre, so the resolution is taken to the nearest whole dpi.
  auto dpi = [](int dotsPerMeter) {
    return dotsPerMeter > 0 ? std::max(1.0, std::round(dotsPerMeter * 0.0254)) : 96.0;
  };
  const double dpiX = dpi(e->image.dotsPerMeterX()), dpiY = dpi(e->image.dotsPerMeterY());
  return {e->image.width() / dpiX, e->image.height() / dpiY};
}

void DesignerObjects::PositionInsertedItem(ObjectKind kind, int slot, bool select) {
  const double z = Zoom();
  if (kind == ObjectKind::Picture) {
    if (!IsLivePicture(slot)) return;
    PictureControl& c = picturesShown_[slot];
    c.visible = false;
    const app::CustomPictureRecord& r = designer_.CustomPictures[slot];
    c.top = r.Top * z;
    c.left = r.Left * z;
    const auto [w, h] = PictureSize(slot);
    if (pictures_.Contains(slot)) {
      c.height = h * z;
      c.width = w * z;
    }
    if (select) SelectInsertedItem(kind, slot);
    c.visible = true;
  } else {
    if (!IsLiveText(slot)) return;
    TextControl& c = texts_[slot];
    c.visible = false;
    const app::CustomTextRecord& r = designer_.CustomTexts[slot];
    c.font.Size = r.FontSize * z;
    c.top = r.Top * z;
    c.left = r.Left * z;
    c.height = r.Height * z;
    c.width = r.Width * z;
    if (select) SelectInsertedItem(kind, slot);
    c.visible = true;
  }
}

void DesignerObjects::PlaceAll() {
  for (int i = 0; i + 1 < designer_.CustomTexts.size(); ++i)
    if (IsLiveText(i)) PositionInsertedItem(ObjectKind::Text, i, false);
  for (int i = 0; i + 1 < designer_.CustomPictures.size(); ++i)
    if (IsLivePicture(i)) PositionInsertedItem(ObjectKind::Picture, i, false);
  // Re-placing leaves the selection where it was: the frame goes back around the selected
  // objects, or around the current object.
  const ObjectKind kind = currentIsText_ ? ObjectKind::Text : ObjectKind::Picture;
  if (MultipleSelection()) {
    FrameSelection();
    ShowSelectionState();
  } else if (frame_.visible && Box(kind, current_)) {
    SelectInsertedItem(kind, current_);
  }
  if (traced_ >= 0 && !IsLiveText(traced_)) traced_ = -1;
  Changed();
}

const ControlBox* DesignerObjects::Box(ObjectKind kind, int slot) const {
  if (kind == ObjectKind::Text) {
    if (!IsLiveText(slot)) return nullptr;
    auto it = texts_.find(slot);
    return it == texts_.end() ? nullptr : &it->second;
  }
  if (!IsLivePicture(slot)) return nullptr;
  auto it = picturesShown_.find(slot);
  return it == picturesShown_.end() ? nullptr : &it->second;
}

void DesignerObjects::SelectInsertedItem(ObjectKind kind, int slot, bool flag) {
  const ControlBox* c = Box(kind, slot);
  if (!c) return;
  // Framing one object ends a multiple selection (an object inserted while one is active).
  if (MultipleSelection()) {
    DeselectMultipleSelection();
    frame_.tag.clear();
  }
  const double b = frameBorder_, p = Pixel();
  frame_.visible = false;
  frame_.left = c->left - b / 2;
  frame_.top = c->top - b / 2;
  frame_.width = c->width + b + (flag ? 0 : p);
  frame_.height = c->height + b + p;
  frame_.visible = true;
}

void DesignerObjects::DisableEditMenus() { menus_.edit = menus_.del = menus_.dup = menus_.dupPage = false; }

void DesignerObjects::DeleteCurLabel(int slot) {
  if (!IsLiveText(slot)) return;
  auto& r = designer_.CustomTexts;
  // Member 0 stays loaded, hidden and plain, for the next text in slot 0.
  if (slot != 0)
    texts_.erase(slot);
  else
    texts_[0] = TextControl{};
  MarkFree(r[slot]);
  r[slot].Text.clear();
  textFreeFrom_ = std::min(textFreeFrom_, slot);
  frame_.visible = false;
  textCount_ = std::max(0, textCount_ - 1);
  if (textCount_ == 0 && pictureCount_ < 1) menus_.save = false;
  DisableEditMenus();
  current_ = -1;
  traced_ = -1;
  if (drag_ && drag_->kind == ObjectKind::Text && drag_->slot == slot) drag_.reset();
  Repaint();
  Changed();
}

void DesignerObjects::DeleteCurPicture(int slot) {
  traced_ = -1;
  // Deletion works from the record: a picture whose image never loaded is deleted too.
  if (!IsLivePicture(slot)) return;
  if (slot != 0)
    picturesShown_.erase(slot);
  else
    picturesShown_[0] = PictureControl{};
  auto& r = designer_.CustomPictures;
  MarkFree(r[slot]);
  r[slot].Name.clear();
  pictureFreeFrom_ = std::min(pictureFreeFrom_, slot);
  pictures_.Remove(slot);
  pictureCount_ = std::max(0, pictureCount_ - 1);
  current_ = -1;
  if (pictureCount_ == 0 && textCount_ < 1) menus_.save = false;
  DisableEditMenus();
  frame_.visible = false;
  if (drag_ && drag_->kind == ObjectKind::Picture && drag_->slot == slot) drag_.reset();
  Changed();
}

void DesignerObjects::DeleteCurrent() {
  if (!frame_.visible) return;
  if (MultipleSelection())
    DeleteCurrentSelection();
  else if (currentIsText_)
    DeleteCurLabel(current_);
  else
    DeleteCurPicture(current_);
}

void DesignerObjects::PictureKey(int slot, int keyCode) {
  if (keyCode != kKeyDelete || !frame_.visible) return;
  if (currentIsText_ || current_ != slot) return;  // the frame is around another object
  DeleteCurPicture(slot);
}

void DesignerObjects::Press(ObjectKind kind, int slot, double ox, double oy) {
  if (!Box(kind, slot)) return;
  current_ = slot;
  currentIsText_ = kind == ObjectKind::Text;
  menus_.edit = menus_.del = menus_.dup = menus_.dupPage = true;
  // Every press frames the pressed object, so that the frame and the current object agree.
  SelectInsertedItem(kind, slot);
  drag_ = Drag{kind, slot, ox, oy};
  if (MultipleSelection()) {
    DeselectMultipleSelection();
    frame_.tag.clear();
  }
  Changed();
}

QString DesignerObjects::DragOver(ObjectKind target, int slot, double px, double py) const {
  if (!drag_) return QString();
  const ControlBox* source = Box(drag_->kind, drag_->slot);
  const ControlBox* under = Box(target, slot);
  if (!source || !under) return QString();
  const bool itself = target == drag_->kind && slot == drag_->slot;
  const ControlBox& base = itself ? *source : *under;
  const double z = Zoom();
  return Readout((base.left + px - drag_->offsetX) / z, (base.top + py - drag_->offsetY) / z, source->width / z,
                 source->height / z);
}

void DesignerObjects::DropOn(ObjectKind target, int slot, double px, double py) {
  if (!drag_) return;
  const Drag drag = *drag_;
  drag_.reset();
  const ControlBox* source = Box(drag.kind, drag.slot);
  const ControlBox* under = Box(target, slot);
  if (!source || !under) return;
  const bool itself = target == drag.kind && slot == drag.slot;
  const ControlBox& base = itself ? *source : *under;
  const double left = base.left + px - drag.offsetX;
  const double top = base.top + py - drag.offsetY;
  const double z = Zoom();
  if (drag.kind == ObjectKind::Picture) {
    designer_.CustomPictures[drag.slot].Left = left / z;
    designer_.CustomPictures[drag.slot].Top = top / z;
  } else {
    designer_.CustomTexts[drag.slot].Left = left / z;
    designer_.CustomTexts[drag.slot].Top = top / z;
  }
  const bool framed = frame_.visible && current_ == drag.slot && currentIsText_ == (drag.kind == ObjectKind::Text);
  PositionInsertedItem(drag.kind, drag.slot, framed);
  if (traced_ == drag.slot && drag.kind == ObjectKind::Text) traced_ = -1;
  if (drag.kind == ObjectKind::Text) Repaint();
  Changed();
}

QString DesignerObjects::Readout(double x, double y, double w, double h) const {
  const double dx = canvas_.DpiX(), dy = canvas_.DpiY();
  return QStringLiteral("POSITION: X = ") + FormatMeasure(x, *unit_, dx) + QStringLiteral("   Y = ") +
         FormatMeasure(y, *unit_, dy) + QStringLiteral("     SIZE: Width = ") + FormatMeasure(w, *unit_, dx) +
         QStringLiteral("   Height = ") + FormatMeasure(h, *unit_, dy);
}

std::optional<RECT> DesignerObjects::TraceRect() const {
  auto it = texts_.find(traced_);
  if (!IsLiveText(traced_) || it == texts_.end()) return std::nullopt;
  const TextControl& c = it->second;
  return RECT{Px(c.left, true), Px(c.top, false), Px(c.left + c.width, true), Px(c.top + c.height, false)};
}

LONG DesignerObjects::Px(double inches, bool across) const {
  const double v = across ? canvas_.ScaleX(inches, surface::vbInches, surface::vbPixels)
                          : canvas_.ScaleY(inches, surface::vbInches, surface::vbPixels);
  return static_cast<LONG>(std::nearbyint(v));
}

double DesignerObjects::Inches(double pixels, bool across) const {
  return across ? canvas_.ScaleX(pixels, surface::vbPixels, surface::vbInches)
                : canvas_.ScaleY(pixels, surface::vbPixels, surface::vbInches);
}

QString DesignerObjects::MouseMove(ObjectKind kind, int slot) {
  const ControlBox* c = Box(kind, slot);
  if (!c) return QString();
  const double z = Zoom();
  const QString text = Readout(c->left / z, c->top / z, c->width / z, c->height / z);
  if (kind == ObjectKind::Text && job_.MouseTrace && traced_ != slot) {
    const std::optional<RECT> old = TraceRect();
    traced_ = slot;
    const std::optional<RECT> now = TraceRect();
    // The outline is drawn inverting: drawing the old one again erases it.
    if (now) canvas_.DrawFocusRect(*now);
    if (old && (!now || old->left != now->left || old->top != now->top || old->right != now->right ||
                old->bottom != now->bottom))
      canvas_.DrawFocusRect(*old);
    Changed();
  }
  return text;
}

void DesignerObjects::PaintTrace(surface::Surface& s) {
  if (!job_.MouseTrace) return;
  if (const std::optional<RECT> r = TraceRect()) s.DrawFocusRect(*r);
}

void DesignerObjects::RepaintAllCustomTextControls(surface::Surface& s) {
  for (int i = 0; i + 1 < designer_.CustomTexts.size(); ++i) {
    if (!IsLiveText(i)) continue;
    auto it = texts_.find(i);
    if (it == texts_.end()) continue;
    const TextControl& c = it->second;
    reports::Reports::SetFontFromControl(s, c.font, c.foreColor);
    UINT flags = c.alignment == 1 ? 18 : c.alignment == 2 ? 17 : 16;
    flags += 512;
    double w = c.width, h = c.height;
    reports_.PrintTextInRect(c.left, c.top, c.caption, s, w, h, flags, vbrt::CInt(c.angleText.toDouble()));
  }
  s.SetForeColor(0);
}

void DesignerObjects::TakeTemplate(QList<app::CustomTextRecord> texts, QList<app::CustomPictureRecord> pictures,
                                   PictureStore store) {
  // A multiple selection ends before its objects go, as a load clears the design.
  if (MultipleSelection()) DeselectMultipleSelection();
  designer_.CustomTexts = std::move(texts);
  designer_.CustomPictures = std::move(pictures);
  pictures_ = std::move(store);
  Loaded();
  menus_.save = true;
  Changed();
}

}  // namespace designer
