// The designer's widgets on the canvas: their geometry from the objects, the mouse and the
// Delete key handed to the objects, the pictures painted and the selection frame.
#include "designeritems.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

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
  const QPoint at = event->position().toPoint();
  objects_.Press(item.Kind(), item.Slot(), Inches(at.x()), Inches(at.y()));
  if (event->button() == Qt::RightButton) {
    objects_.EndDrag();
    if (popupEdit) popupEdit(event->globalPosition().toPoint());
  }
}

void DesignerItems::Move(ObjectItem& item, QMouseEvent* event) {
  QString text;
  if ((event->buttons() & Qt::LeftButton) && objects_.Dragging()) {
    double px = 0, py = 0;
    if (ObjectItem* under = ItemAt(event->globalPosition().toPoint(), px, py))
      text = objects_.DragOver(under->Kind(), under->Slot(), px, py);
  } else if (event->buttons() == Qt::NoButton) {
    const int traced = objects_.TracedTextIndex();
    text = objects_.MouseMove(item.Kind(), item.Slot());
    if (traced != objects_.TracedTextIndex() && canvasChanged) canvasChanged();
  }
  if (!text.isEmpty() && showPosition) showPosition(text);
}

void DesignerItems::Release(ObjectItem&, QMouseEvent* event) {
  if (!objects_.Dragging()) return;
  double px = 0, py = 0;
  if (ObjectItem* under = ItemAt(event->globalPosition().toPoint(), px, py))
    objects_.DropOn(under->Kind(), under->Slot(), px, py);
  else
    objects_.EndDrag();  // a drop on the bare canvas leaves the object where it was
}

void DesignerItems::DoubleClick(ObjectItem& item) {
  objects_.EndDrag();
  if (item.Kind() == ObjectKind::Text)
    objects_.EditText(item.Slot());
  else
    objects_.EditCurrent();
}

}  // namespace designer
