// The designer's widgets on the preview canvas: a text item lblText(i) and a picture item
// picLogo(i) per live object, and the selection frame Shape1. They show what DesignerObjects
// decides and hand the mouse and the keys to it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>

#include "designerobjects.h"
#include "picturestore.h"

namespace designer {

class DesignerItems;

// One object's widget: lblText(i) (transparent: the canvas paints the text at its angle) or
// picLogo(i) (the picture stretched to the box).
class ObjectItem : public QWidget {
  Q_OBJECT
 public:
  ObjectItem(DesignerItems& items, ObjectKind kind, int slot, QWidget* canvas);
  ObjectKind Kind() const { return kind_; }
  int Slot() const { return slot_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  DesignerItems& items_;
  ObjectKind kind_;
  int slot_;
};

class DesignerItems : public QObject {
  Q_OBJECT
 public:
  DesignerItems(DesignerObjects& objects, const PictureStore& pictures, QWidget* canvas, double dpi);

  // Brings the widgets in line with the objects.
  void Sync();
  // Paints the gesture's outline and the frame's handles again.
  void UpdateOverlay();
  QWidget* Overlay() const { return overlay_; }

  // The canvas's own mouse and keys, handed to the objects in canvas inches.
  void CanvasPress(QMouseEvent* event);
  void CanvasMove(QMouseEvent* event);
  void CanvasRelease(QMouseEvent* event);
  void CanvasKey(QKeyEvent* event);
  ObjectItem* TextItem(int slot) const;
  ObjectItem* PictureItem(int slot) const;
  QWidget* FrameItem() const { return frame_; }

  // The read-out for the POS panel; the Edit menu popped up at a point; the canvas shown again.
  std::function<void(const QString&)> showPosition;
  std::function<void(QPoint global)> popupEdit;
  std::function<void()> canvasChanged;

 private:
  friend class ObjectItem;
  double Inches(int px) const { return px / dpi_; }
  // The object widget under a point of the canvas, if any, and the point inside it in inches.
  ObjectItem* ItemAt(QPoint global, double& px, double& py) const;
  void Press(ObjectItem& item, QMouseEvent* event);
  void Move(ObjectItem& item, QMouseEvent* event);
  void Release(ObjectItem& item, QMouseEvent* event);
  void DoubleClick(ObjectItem& item);
  QRect Geometry(const ControlBox& box) const;
  QPointF CanvasInches(QPointF canvasPixels) const;
  void ShowCanvasPointer();

  DesignerObjects& objects_;
  const PictureStore& pictures_;
  QWidget* canvas_;
  double dpi_;
  std::map<int, ObjectItem*> texts_;
  std::map<int, ObjectItem*> pictureItems_;
  QWidget* frame_;
  QWidget* overlay_;
  QRect outlineShown_;  // where the overlay last painted the outline and the handles
  QRect handlesShown_;
  bool canvasPressed_ = false;  // a press on the bare canvas is in progress
  bool handleTaken_ = false;    // a press on an object took a handle of the frame
};

}  // namespace designer
