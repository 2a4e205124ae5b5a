// The canvas's own mouse and keys: the band that selects objects, moving a selection,
// resizing the framed text by a corner handle, the sizing pointers, the read-outs, a click on
// the bare canvas, an object dropped on it and its Delete key.
#include <algorithm>
#include <array>

#include "designerobjects.h"
#include "forms.h"

namespace designer {

namespace {
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kKeyDelete = 46;
constexpr double kPressReach = 0.0625;    // a handle takes a press this far from its corner
constexpr double kHoverReach = 0.03125;   // and shows its pointer this far
constexpr double kHandleHalf = 1.0 / 32;  // the painted handles are 1/16 in squares

struct Corner {
  double x, y;
};

// The frame's corners in the order they are tried: top-left, bottom-right, top-right,
// bottom-left (the handles 1 to 4).
std::array<Corner, 4> Corners(const ControlBox& f) {
  const double right = f.left + f.width, bottom = f.top + f.height;
  return {{{f.left, f.top}, {right, bottom}, {right, f.top}, {f.left, bottom}}};
}

bool Near(const Corner& c, double x, double y, double reach) {
  return reports::PointInRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(c.x - reach),
                              static_cast<float>(c.y - reach), static_cast<float>(c.x + reach),
                              static_cast<float>(c.y + reach));
}
}  // namespace

void DesignerObjects::ResetGesture() {
  if (gesture_.resizing) forms::SetScreenMousePointer(forms::vbDefault);
  gesture_ = CanvasGesture{};
  outline_.reset();
  canvasPointer_ = 0;
}

void DesignerObjects::SetCanvasPointer(int pointer) { canvasPointer_ = pointer; }

QString DesignerObjects::PositionReadout(double x, double y) const {
  const double z = Zoom();
  return QStringLiteral("POSITION: X = ") + FormatMeasure(x / z, *unit_, canvas_.DpiX()) + QStringLiteral("   Y = ") +
         FormatMeasure(y / z, *unit_, canvas_.DpiY());
}

std::vector<PixelRect> DesignerObjects::Handles() const {
  std::vector<PixelRect> out;
  if (!frame_.visible) return out;
  for (const Corner& c : Corners(frame_))
    out.push_back(PixelRect{Px(c.x - kHandleHalf, true), Px(c.y - kHandleHalf, false), Px(c.x + kHandleHalf, true),
                            Px(c.y + kHandleHalf, false)});
  return out;
}

namespace {
// The framed text whose handles can be taken: a single text framed, live.
bool TextFramed(const DesignerObjects& o) {
  return o.Frame().visible && !o.MultipleSelection() && o.CurrentIsText() && o.IsLiveText(o.CurrentObjectIndex());
}
}  // namespace

bool DesignerObjects::PressTakesHandle(double x, double y) const {
  if (canvasPointer_ == 0 || !TextFramed(*this)) return false;
  for (const Corner& c : Corners(frame_))
    if (Near(c, x, y, kPressReach)) return true;
  return false;
}

void DesignerObjects::UpdateHoverPointer(double x, double y) {
  // With no text framed the arrows would promise a resize that cannot start.
  if (!TextFramed(*this)) {
    SetCanvasPointer(0);
    return;
  }
  const std::array<Corner, 4> c = Corners(frame_);
  if (Near(c[0], x, y, kHoverReach) || Near(c[1], x, y, kHoverReach))
    SetCanvasPointer(forms::vbSizeNWSE);
  else if (Near(c[2], x, y, kHoverReach) || Near(c[3], x, y, kHoverReach))
    SetCanvasPointer(forms::vbSizeNESW);
  else
    SetCanvasPointer(0);
}

void DesignerObjects::CanvasMouseDown(int button, double x, double y) {
  CanvasGesture& g = gesture_;
  if (MultipleSelection()) {
    if (button == kRightButton) {
      if (popupEdit) popupEdit();
      return;
    }
    if (reports::PointInRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(frame_.left),
                             static_cast<float>(frame_.top), static_cast<float>(frame_.left + frame_.width),
                             static_cast<float>(frame_.top + frame_.height))) {
      g.movingSelection = true;
      g.moveGrabX = x - frame_.left;
      g.moveGrabY = y - frame_.top;
      g.moveLastX = g.moveLastY = -1.0;
      return;
    }
    // A press outside the selection only ends it.
    const Batch batch(*this);
    frame_.tag.clear();
    frame_.visible = false;
    DeselectMultipleSelection();
    g.moveGrabX = g.moveGrabY = -1.0;
    g.movingSelection = false;
    Changed();
    return;
  }
  if (canvasPointer_ != 0) {
    if (TextFramed(*this)) {
      const double h = frameBorder_ / 2;
      const double right = frame_.left + frame_.width, bottom = frame_.top + frame_.height;
      const std::array<Corner, 4> anchors = {{{right - h, bottom - h},
                                              {frame_.left + h, frame_.top + h},
                                              {frame_.left + h, bottom - h},
                                              {right - h, frame_.top + h}}};
      const std::array<Corner, 4> corners = Corners(frame_);
      for (int i = 0; i < 4; ++i) {
        if (!Near(corners[i], x, y, kPressReach)) continue;
        g.resizing = true;
        g.resizeHandle = i + 1;
        g.resizeAnchorX = static_cast<float>(anchors[i].x);
        g.resizeAnchorY = static_cast<float>(anchors[i].y);
        g.resizeLastX = g.resizeLastY = -1000.0f;
        g.resizeOutlineDrawn = false;
        // The size to commit starts as the framed text's own.
        const TextControl& t = texts_.at(current_);
        g.textWidthPx = static_cast<float>(canvas_.ScaleX(t.width, surface::vbInches, surface::vbPixels));
        g.textHeightPx = static_cast<float>(canvas_.ScaleY(t.height, surface::vbInches, surface::vbPixels));
        forms::SetScreenMousePointer(canvasPointer_);
        return;
      }
    } else {
      SetCanvasPointer(0);
    }
    // No handle under the pointer: the press is an ordinary one.
  }
  if (button == kRightButton) {
    if (popupEdit) popupEdit();
    return;
  }
  g.banding = true;
  g.bandOriginX = x;
  g.bandOriginY = y;
  g.bandCornerX = g.bandCornerY = -1.0;
}

PixelRect DesignerObjects::ResizeOutline(float x, float y) const {
  const CanvasGesture& g = gesture_;
  const LONG ax = Px(g.resizeAnchorX, true), ay = Px(g.resizeAnchorY, false);
  const LONG px = Px(x, true), py = Px(y, false);
  switch (g.resizeHandle) {
    case 1: return {px, py, ax, ay};
    case 2: return {ax, ay, px, py};
    case 3: return {ax, py, px, ay};
    default: return {px, ay, ax, py};
  }
}

QString DesignerObjects::CanvasMouseMove(double x, double y) {
  CanvasGesture& g = gesture_;
  auto outlineChanged = [this] {
    if (onOutline) onOutline();
  };
  if (g.movingSelection) {
    const LONG left = Px(x - g.moveGrabX, true), top = Px(y - g.moveGrabY, false);
    outline_ = PixelRect{left, top, left + Px(frame_.width, true), top + Px(frame_.height, false)};
    g.moveLastX = x;
    g.moveLastY = y;
    outlineChanged();
    return QString();
  }
  if (g.resizing) {
    QString text;
    if (g.resizeLastX == -1000.0f) {
      // The first move after the press draws nothing.
      g.resizeFirstOutline = true;
    } else {
      const PixelRect r = ResizeOutline(static_cast<float>(x), static_cast<float>(y));
      outline_ = r;
      g.resizeFirstOutline = false;
      g.resizeOutlineDrawn = true;
      if (currentIsText_) {
        g.textWidthPx = static_cast<float>(r.right - r.left);
        g.textHeightPx = static_cast<float>(r.bottom - r.top);
      }
      const double z = Zoom();
      text = Readout(Inches(r.left, true) / z, Inches(r.top, false) / z, Inches(g.textWidthPx, true) / z,
                     Inches(g.textHeightPx, false) / z);
      outlineChanged();
    }
    g.resizeLastX = static_cast<float>(x);
    g.resizeLastY = static_cast<float>(y);
    return text;
  }
  if (g.banding) {
    outline_ = PixelRect{Px(std::min(g.bandOriginX, x), true), Px(std::min(g.bandOriginY, y), false),
                         Px(std::max(g.bandOriginX, x), true), Px(std::max(g.bandOriginY, y), false)};
    g.bandCornerX = x;
    g.bandCornerY = y;
    outlineChanged();
  }
  const QString text = PositionReadout(x, y);
  UpdateHoverPointer(x, y);
  if (job_.MouseTrace && traced_ >= 0) {
    // Drawing the outline again takes the highlight off.
    if (const std::optional<RECT> r = TraceRect()) canvas_.DrawFocusRect(*r);
    traced_ = -1;
    Changed();
  }
  return text;
}

void DesignerObjects::EndResize(double x, double y) {
  CanvasGesture& g = gesture_;
  g.resizing = false;
  // Only a resize that showed an outline has a size to commit.
  if (g.resizeOutlineDrawn && currentIsText_ && IsLiveText(current_)) {
    const Batch batch(*this);
    const float w = g.textWidthPx <= 10 ? 10.0f : g.textWidthPx;
    const float h = g.textHeightPx <= 10 ? 10.0f : g.textHeightPx;
    TextControl& c = texts_.at(current_);
    app::CustomTextRecord& r = designer_.CustomTexts[current_];
    const double z = Zoom();
    c.visible = false;
    c.width = Inches(w, true);
    c.height = Inches(h, false);
    r.Width = c.width / z;
    r.Height = c.height / z;
    if (g.resizeHandle == 1 || g.resizeHandle == 4) {
      c.left = x;
      r.Left = x / z;
    }
    if (g.resizeHandle == 1 || g.resizeHandle == 3) {
      c.top = y;
      r.Top = y / z;
    }
    SelectInsertedItem(ObjectKind::Text, current_);
    c.visible = true;
    Repaint();
    Changed();
  }
  g.resizeOutlineDrawn = false;
  g.resizeLastX = g.resizeLastY = -1000.0f;
  SetCanvasPointer(0);
  forms::SetScreenMousePointer(forms::vbDefault);
}

void DesignerObjects::CanvasMouseUp(double x, double y) {
  CanvasGesture& g = gesture_;
  if (g.movingSelection) {
    MoveMultipleObjects(x, y);
    g.movingSelection = false;
    g.moveGrabX = g.moveGrabY = g.moveLastX = g.moveLastY = -1.0;
  } else if (g.banding) {
    g.banding = false;
    g.bandCornerX = g.bandCornerY = -1.0;
    SelectMultipleObjects(std::min(g.bandOriginX, x), std::min(g.bandOriginY, y), std::max(g.bandOriginX, x),
                          std::max(g.bandOriginY, y));
  } else if (g.resizing) {
    EndResize(x, y);
  }
  // Whatever the gesture was, its last outline goes with the release.
  if (outline_) {
    outline_.reset();
    if (onOutline) onOutline();
  }
}

void DesignerObjects::CanvasClick() {
  if (current_ >= 0) {
    if (!currentIsText_) {
      auto it = picturesShown_.find(current_);
      if (IsLivePicture(current_) && it != picturesShown_.end() && it->second.visible && frame_.visible)
        frame_.visible = false;
    } else {
      currentIsText_ = false;
      auto it = texts_.find(current_);
      if (IsLiveText(current_) && it != texts_.end() && it->second.visible && frame_.visible) frame_.visible = false;
    }
  }
  if (!frame_.visible) {
    DisableEditMenus();
  } else if (MultipleSelection()) {
    menus_.edit = false;
    menus_.del = menus_.dup = menus_.dupPage = true;
  }
  if (job_.MouseTrace && traced_ >= 0) {
    if (const std::optional<RECT> r = TraceRect()) canvas_.DrawFocusRect(*r);
    traced_ = -1;
  }
  Changed();
}

QString DesignerObjects::CanvasDragOver(double x, double y) const {
  if (!drag_) return QString();
  const ControlBox* source = Box(drag_->kind, drag_->slot);
  if (!source) return QString();
  const double z = Zoom();
  // Where the corner would land, stored; the size as the canvas shows it.
  return Readout((x - drag_->offsetX) / z, (y - drag_->offsetY) / z, source->width, source->height);
}

void DesignerObjects::CanvasDragDrop(double x, double y) {
  if (!drag_) return;
  const Drag drag = *drag_;
  drag_.reset();
  if (!Box(drag.kind, drag.slot)) return;
  const Batch batch(*this);
  const double left = x - drag.offsetX, top = y - drag.offsetY;
  const double z = Zoom();
  ControlBox& c = drag.kind == ObjectKind::Picture ? static_cast<ControlBox&>(picturesShown_.at(drag.slot))
                                                   : static_cast<ControlBox&>(texts_.at(drag.slot));
  c.visible = false;
  c.left = left;
  c.top = top;
  c.visible = true;
  if (drag.kind == ObjectKind::Picture) {
    designer_.CustomPictures[drag.slot].Left = left / z;
    designer_.CustomPictures[drag.slot].Top = top / z;
  } else {
    designer_.CustomTexts[drag.slot].Left = left / z;
    designer_.CustomTexts[drag.slot].Top = top / z;
    if (traced_ == drag.slot) traced_ = -1;
    Repaint();
  }
  current_ = drag.slot;
  currentIsText_ = drag.kind == ObjectKind::Text;
  SelectInsertedItem(drag.kind, drag.slot);
  Changed();
}

void DesignerObjects::CanvasKeyUp(int keyCode) {
  if (keyCode != kKeyDelete || !frame_.visible) return;
  if (MultipleSelection())
    DeleteCurrentSelection();
  else if (currentIsText_)
    DeleteCurLabel(current_);
  // A framed picture is deleted by its own key.
}

}  // namespace designer
