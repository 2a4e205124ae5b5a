// The designer's widgets on the canvas: their geometry from the objects, the mouse and the
// Delete key handed to the objects, the pictures painted and the selection frame.
#include "designeritems.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "qtforms.h"

namespace designer {

namespace {
constexpr int kKeyDelete = 46;

// The selection frame: a one-pixel black outline that lets the mouse through.
class FrameWidget : public QWidget {
 public:
  explicit FrameWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Shape1"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

// Over the whole canvas and everything on it: the outline of the gesture in progress (a
// dotted rectangle, like the focus rectangle it stands for) and the frame's four handles.
class OverlayWidget : public QWidget {
 public:
  OverlayWidget(const DesignerObjects& objects, QWidget* parent) : QWidget(parent), objects_(objects) {
    setObjectName(QStringLiteral("CanvasOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    for (const PixelRect& h : objects_.Handles())
      p.fillRect(QRect(QPoint(h.left, h.top), QPoint(h.right - 1, h.bottom - 1)), Qt::black);
    if (const std::optional<PixelRect>& o = objects_.Outline()) {
      const QRect r = QRect(QPoint(std::min(o->left, o->right), std::min(o->top, o->bottom)),
                            QPoint(std::max(o->left, o->right) - 1, std::max(o->top, o->bottom) - 1));
      p.setPen(QPen(Qt::white, 1));
      p.drawRect(r);
      p.setPen(QPen(Qt::black, 1, Qt::DotLine));
      p.drawRect(r);
    }
  }

 private:
  const DesignerObjects& objects_;
};
}  // namespace

ObjectItem::ObjectItem(DesignerItems& items, ObjectKind kind, int slot, QWidget* canvas)
    : QWidget(canvas), items_(items), kind_(kind), slot_(slot) {
  setObjectName(kind == ObjectKind::Text ? QStringLiteral("lblText") : QStringLiteral("picLogo"));
  setProperty("Index", slot);
  if (kind == ObjectKind::Picture) {
    setProperty("Tag", QStringLiteral("Picture"));
    setFocusPolicy(Qt::ClickFocus);
  }
  setMouseTracking(true);
}

void ObjectItem::paintEvent(QPaintEvent*) {
  if (kind_ != ObjectKind::Picture) return;  // the canvas paints the text at its angle
  const PictureStore::Entry* e = items_.pictures_.Find(slot_);
  if (!e || e->image.isNull()) return;
  QPainter p(this);
  p.drawImage(rect(), e->image);
}

void ObjectItem::mousePressEvent(QMouseEvent* event) { items_.Press(*this, event); }
void ObjectItem::mouseMoveEvent(QMouseEvent* event) { items_.Move(*this, event); }
void ObjectItem::mouseReleaseEvent(QMouseEvent* event) { items_.Release(*this, event); }
void ObjectItem::mouseDoubleClickEvent(QMouseEvent*) { items_.DoubleClick(*this); }

void ObjectItem::keyReleaseEvent(QKeyEvent* event) {
  if (kind_ == ObjectKind::Picture) items_.objects_.PictureKey(slot_, event->key() == Qt::Key_Delete ? kKeyDelete : 0);
  QWidget::keyReleaseEvent(event);
}

DesignerItems::DesignerItems(DesignerObjects& objects, const PictureStore& pictures, QWidget* canvas, double dpi)
    : QObject(canvas), objects_(objects), pictures_(pictures), canvas_(canvas), dpi_(dpi > 0 ? dpi : 96.0) {
  frame_ = new FrameWidget(canvas);
  overlay_ = new OverlayWidget(objects, canvas);
  canvas->setMouseTracking(true);
  canvas->setFocusPolicy(Qt::ClickFocus);
}

void DesignerItems::UpdateOverlay() {
  overlay_->setGeometry(canvas_->rect());
  overlay_->raise();
  overlay_->show();
  // Only the outline's old and new places are painted again, not the whole page.
  QRect now;
  if (const std::optional<PixelRect>& o = objects_.Outline())
    now = QRect(QPoint(std::min(o->left, o->right), std::min(o->top, o->bottom)),
                QPoint(std::max(o->left, o->right), std::max(o->top, o->bottom)))
              .adjusted(-2, -2, 2, 2);
  QRect handles;
  for (const PixelRect& h : objects_.Handles())
    handles |= QRect(QPoint(h.left, h.top), QPoint(h.right, h.bottom)).adjusted(-1, -1, 1, 1);
  overlay_->update(QRegion(outlineShown_) | now | handlesShown_ | handles);
  outlineShown_ = now;
  handlesShown_ = handles;
}

QPointF DesignerItems::CanvasInches(QPointF at) const { return QPointF(at.x() / dpi_, at.y() / dpi_); }

void DesignerItems::ShowCanvasPointer() {
  const int pointer = objects_.CanvasPointer();
  if (pointer == forms::vbDefault)
    canvas_->unsetCursor();
  else
    canvas_->setCursor(forms::CursorShapeForPointer(pointer));
}

namespace {
int ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
  }
}
}  // namespace

void DesignerItems::CanvasPress(QMouseEvent* event) {
  canvasPressed_ = true;
  const QPointF at = CanvasInches(event->position());
  objects_.CanvasMouseDown(ButtonCode(event->button()), at.x(), at.y());
  ShowCanvasPointer();
}

void DesignerItems::CanvasMove(QMouseEvent* event) {
  const QPointF at = CanvasInches(event->position());
  const QString text = objects_.CanvasMouseMove(at.x(), at.y());
  if (!text.isEmpty() && showPosition) showPosition(text);
  ShowCanvasPointer();
}

void DesignerItems::CanvasRelease(QMouseEvent* event) {
  const QPointF at = CanvasInches(event->position());
  objects_.CanvasMouseUp(at.x(), at.y());
  // The click follows a release over the canvas of a left press made on it.
  const bool click =
      canvasPressed_ && event->button() == Qt::LeftButton && canvas_->rect().contains(event->position().toPoint());
  canvasPressed_ = false;
  if (click) objects_.CanvasClick();
  ShowCanvasPointer();
}

void DesignerItems::CanvasKey(QKeyEvent* event) {
  objects_.CanvasKeyUp(event->key() == Qt::Key_Delete ? kKeyDelete : 0);
}

ObjectItem* DesignerItems::TextItem(int slot) const {
  auto it = texts_.find(slot);
  return it == texts_.end() ? nullptr : it->second;
}

ObjectItem* DesignerItems::PictureItem(int slot) const {
  auto it = pictureItems_.find(slot);
  return it == pictureItems_.end() ? nullptr : it->second;
}

QRect DesignerItems::Geometry(const ControlBox& box) const {
  auto px = [this](double inches) { return static_cast<int>(std::lround(inches * dpi_)); };
  const int left = px(box.left), top = px(box.top);
  return QRect(left, top, std::max(1, px(box.left + box.width) - left), std::max(1, px(box.top + box.height) - top));
}

void DesignerItems::Sync() {
  auto sync = [this](auto& widgets, const auto& controls, ObjectKind kind) {
    for (auto it = widgets.begin(); it != widgets.end();) {
      if (controls.count(it->first)) {
        ++it;
        continue;
      }
      // An item can go while one of its own events runs (its Delete key): it goes later.
      it->second->hide();
      it->second->deleteLater();
      it = widgets.erase(it);
    }
    for (const auto& [slot, control] : controls) {
      ObjectItem*& w = widgets[slot];
      if (!w) w = new ObjectItem(*this, kind, slot, canvas_);
      w->setGeometry(Geometry(control));
      w->setVisible(control.visible);
      // A disabled object (one of a multiple selection) lets the mouse through to the canvas.
      w->setEnabled(control.enabled);
      w->setAttribute(Qt::WA_TransparentForMouseEvents, !control.enabled);
      w->update();
    }
  };
  sync(pictureItems_, objects_.PictureControls(), ObjectKind::Picture);
  sync(texts_, objects_.TextControls(), ObjectKind::Text);
  for (auto& [slot, w] : texts_) w->raise();
  const ControlBox& f = objects_.Frame();
  frame_->setGeometry(Geometry(f));
  frame_->setVisible(f.visible);
  frame_->raise();
  UpdateOverlay();
}

ObjectItem* DesignerItems::ItemAt(QPoint global, double& px, double& py) const {
  QWidget* w = canvas_->childAt(canvas_->mapFromGlobal(global));
  auto* item = qobject_cast<ObjectItem*>(w);
  if (!item) return nullptr;
  const QPoint inside = item->mapFromGlobal(global);
  px = Inches(inside.x());
  py = Inches(inside.y());
  return item;
}

void DesignerItems::Press(ObjectItem& item, QMouseEvent* event) {
  // The handles reach over the framed object's corners: a press there resizes.
  const QPointF onCanvas = CanvasInches(item.mapTo(canvas_, event->position()));
  if (objects_.PressTakesHandle(onCanvas.x(), onCanvas.y())) {
    handleTaken_ = true;
    objects_.CanvasMouseDown(ButtonCode(event->button()), onCanvas.x(), onCanvas.y());
    ShowCanvasPointer();
    return;
  }
  const QPoint at = event->position().toPoint();
  objects_.Press(item.Kind(), item.Slot(), Inches(at.x()), Inches(at.y()));
  if (event->button() == Qt::RightButton) {
    objects_.EndDrag();
    if (popupEdit) popupEdit(event->globalPosition().toPoint());
  }
}

void DesignerItems::Move(ObjectItem& item, QMouseEvent* event) {
  const QPointF canvasPoint = item.mapTo(canvas_, event->position());
  const QPointF onCanvas = CanvasInches(canvasPoint);
  QString text;
  if (handleTaken_) {
    text = objects_.CanvasMouseMove(onCanvas.x(), onCanvas.y());
  } else if ((event->buttons() & Qt::LeftButton) && objects_.Dragging()) {
    double px = 0, py = 0;
    if (ObjectItem* under = ItemAt(event->globalPosition().toPoint(), px, py))
      text = objects_.DragOver(under->Kind(), under->Slot(), px, py);
    else if (canvas_->rect().contains(canvasPoint.toPoint()))
      text = objects_.CanvasDragOver(onCanvas.x(), onCanvas.y());
  } else if (event->buttons() == Qt::NoButton) {
    const int traced = objects_.TracedTextIndex();
    text = objects_.MouseMove(item.Kind(), item.Slot());
    if (traced != objects_.TracedTextIndex() && canvasChanged) canvasChanged();
    objects_.UpdateHoverPointer(onCanvas.x(), onCanvas.y());
    ShowCanvasPointer();
  }
  if (!text.isEmpty() && showPosition) showPosition(text);
}

void DesignerItems::Release(ObjectItem& item, QMouseEvent* event) {
  const QPointF canvasPoint = item.mapTo(canvas_, event->position());
  if (handleTaken_) {
    handleTaken_ = false;
    const QPointF onCanvas = CanvasInches(canvasPoint);
    objects_.CanvasMouseUp(onCanvas.x(), onCanvas.y());
    ShowCanvasPointer();
    return;
  }
  if (!objects_.Dragging()) return;
  double px = 0, py = 0;
  if (ObjectItem* under = ItemAt(event->globalPosition().toPoint(), px, py)) {
    objects_.DropOn(under->Kind(), under->Slot(), px, py);
  } else if (canvas_->rect().contains(canvasPoint.toPoint())) {
    const QPointF onCanvas = CanvasInches(canvasPoint);
    objects_.CanvasDragDrop(onCanvas.x(), onCanvas.y());
  } else {
    objects_.EndDrag();  // a drop outside the canvas leaves the object where it was
  }
}

void DesignerItems::DoubleClick(ObjectItem& item) {
  objects_.EndDrag();
  if (item.Kind() == ObjectKind::Text)
    objects_.EditText(item.Slot());
  else
    objects_.EditCurrent();
}

}  // namespace designer
