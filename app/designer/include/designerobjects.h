// The label designer's objects without widgets: the free texts and pictures of CustomTexts and
// CustomPictures, their slots, the controls that mirror them on the canvas (what each shows,
// in canvas inches at the current zoom), the selection frame, the current object, the drag in
// progress, the position read-outs, the hover outline and the states of the Edit menu. The
// preview window's item widgets show what this class decides.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "appstate.h"
#include "pagesettings.h"
#include "picturestore.h"
#include "reports.h"
#include "surface.h"
#include "zoomunits.h"

namespace designer {

enum class ObjectKind { Text, Picture };

// The tags that mark the multiple selection: the frame and the selected objects carry
// "Selected", a copy being made "TempSelected"; a picture that is not selected "Picture".
inline const QString kTagSelected = QStringLiteral("Selected");
inline const QString kTagTempSelected = QStringLiteral("TempSelected");
inline const QString kTagPicture = QStringLiteral("Picture");

// What a control on the canvas shows, in canvas inches at the current zoom.
struct ControlBox {
  double left = 0, top = 0, width = 0, height = 0;
  bool visible = false;
  bool enabled = true;  // a disabled control lets the mouse through to the canvas
  QString tag;
};
struct TextControl : ControlBox {
  QString caption;
  surface::TextFont font;  // its size is the stored size times the zoom
  LONG foreColor = 0;
  SHORT alignment = 0;  // 0 left, 1 right, 2 centre
  QString angleText;    // the angle in degrees as decimal text
};
struct PictureControl : ControlBox {
  PictureControl() { tag = kTagPicture; }
};

// Where the canvas lies in the window's client area (the part between the toolbar and the
// status bar), in inches; a hidden scroll bar counts 0.
struct CanvasView {
  double clientWidth = 0, clientHeight = 0;
  double canvasLeft = 0, canvasTop = 0;
  double vScrollWidth = 0, hScrollHeight = 0;
};

// A rectangle in canvas pixels; its edges may come in any order (a resize past its anchor).
struct PixelRect {
  LONG left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PixelRect&) const = default;
};

// The canvas's mouse gesture in progress and what it keeps between the events of one press.
struct CanvasGesture {
  bool movingSelection = false;
  double moveLastX = -1.0, moveLastY = -1.0;  // where the move outline was last drawn; -1: none
  double moveGrabX = -1.0, moveGrabY = -1.0;  // the pointer minus the frame's corner at the press
  bool banding = false;
  double bandOriginX = -1.0, bandOriginY = -1.0;
  double bandCornerX = -1.0, bandCornerY = -1.0;  // the corner of the band last drawn; -1: none
  bool resizing = false;
  int resizeHandle = 0;                                  // 1 top-left, 2 bottom-right, 3 top-right, 4 bottom-left
  float resizeAnchorX = 0, resizeAnchorY = 0;            // the fixed corner, canvas inches
  float resizeLastX = -1000.0f, resizeLastY = -1000.0f;  // -1000: no position recorded yet
  bool resizeFirstOutline = false;
  bool resizeOutlineDrawn = false;          // a resize outline was drawn since the press
  float textWidthPx = 0, textHeightPx = 0;  // the framed text's size, then each outline's
};

// The Edit and File menu items the designer switches.
struct DesignerMenus {
  bool edit = false, del = false, dup = false, dupPage = false;  // mnuEditEdit, Delete, Dup, DupPage
  bool save = false;                                             // mnuFileSave
};

class DesignerObjects {
 public:
  DesignerObjects(app::Designer& designer, app::PrintJob& job, PictureStore& pictures, surface::Surface& canvas);

  // ---- Slots
  static bool IsFree(const app::CustomTextRecord& r) { return r.Left == app::kFreeSlot && r.Top == app::kFreeSlot; }
  static bool IsFree(const app::CustomPictureRecord& r) { return r.Left == app::kFreeSlot && r.Top == app::kFreeSlot; }
  // A slot below the spare slot that holds a live object.
  bool IsLiveText(int slot) const;
  bool IsLivePicture(int slot) const;
  int TextObjectCount() const { return textCount_; }
  int PictureObjectCount() const { return pictureCount_; }
  // The first free slot of the array (growing it by one slot when none is free), its control
  // loaded hidden, made current.
  int WiseInsertText();
  int WiseInsertPicture();
  // Packs the free slots out of both arrays, pictures moving with their records; the controls
  // follow their records. Run only once the window is certain to close.
  void CompressCustomArrays();
  // The target takes every field of the source, moved by dx, dy (inches at zoom 1.0).
  void CopyTextAttributes(int source, int target, double dx, double dy);

  // ---- The objects' life
  // Starts the designer afresh: both arrays fresh, no controls, nothing current.
  void Reset();
  // After a window's load: nothing current, nothing traced, no drag; the controls of the live
  // objects (a restored designer keeps its objects).
  void Loaded();
  // After the window closed: no objects counted, no controls (the records stay).
  void Closed();
  // Asks the editor for a text and creates it: at (x, y) (canvas inches) or, when all four are
  // 0, centred in the visible canvas; x, y, w and h receive where it went. False when the
  // editor gave no text (nothing changed).
  bool InsertText(double& x, double& y, double& w, double& h);
  bool InsertText();
  // Inserts a picture with its file's bytes at (x, y) inches at zoom 1.0, or placed in the
  // visible canvas; the new slot.
  int InsertLogoPicture(QImage image, QByteArray bytes, const QString& path, std::optional<double> x = std::nullopt,
                        std::optional<double> y = std::nullopt);
  // Replaces a picture's image (its double-click); the old one stays unless the new one loaded.
  bool ReplacePicture(int slot, QImage image, QByteArray bytes, const QString& path);
  // Edits a live text through the editor (its double-click); false when nothing changed.
  bool EditText(int slot);
  // The Edit menu's Edit: the current object's double-click action (a picture's wants a file,
  // asked through choosePicture).
  void EditCurrent();
  void SetTextLabelFromArray(int slot);
  // Lays a control out from its record at the current zoom and shows it; select frames it.
  void PositionInsertedItem(ObjectKind kind, int slot, bool select = true);
  // Every live object laid out again at the current zoom; the frame goes back to the current
  // object.
  void PlaceAll();
  void SelectInsertedItem(ObjectKind kind, int slot, bool flag = false);
  void DeleteCurLabel(int slot);
  void DeleteCurPicture(int slot);
  // The Edit menu's Delete: the current object, only while it is framed.
  void DeleteCurrent();
  // A picture's Delete key.
  void PictureKey(int slot, int keyCode);

  // ---- The multiple selection (designerselection.cpp)
  bool MultipleSelection() const { return frame_.tag == kTagSelected; }
  // Selects the objects that lie wholly inside the band (canvas inches, normalised); the
  // frame goes around them. A band that holds no object changes nothing.
  void SelectMultipleObjects(double left, double top, double right, double bottom);
  // Moves the selected objects and the frame so that the grab point comes to (x, y).
  void MoveMultipleObjects(double x, double y);
  // Ends the selection: every object enabled and shown, untagged, its place stored. The
  // frame is left to the caller.
  void DeselectMultipleSelection();
  // The label cell of the sheet that holds the frame (from 1), with a tolerance of 1/16 in at
  // zoom 1.0; false after telling the user that it fits no cell.
  bool IsSelectionInsideLabel(SHORT& column, SHORT& row, SHORT& columns, SHORT& rows);
  // Copies the selection by (dx, dy) inches at zoom 1.0, the copies becoming the selection;
  // without one, copies the framed object by 0.25 in.
  void DuplicateSelection(double dx = 0.25, double dy = 0.25);
  // Fills every label cell of the sheet with a copy of the selection (or of the framed
  // object); every other object is deleted.
  void DuplicateSelectionOnFullPage();
  // Deletes every selected object and ends the selection.
  void DeleteCurrentSelection();

  // ---- The canvas's own mouse and keys (designergestures.cpp); x, y in canvas inches
  // button: 1 left, 2 right, 4 middle.
  void CanvasMouseDown(int button, double x, double y);
  // The position or size read-out for the POS panel, or "" when it keeps its text.
  QString CanvasMouseMove(double x, double y);
  void CanvasMouseUp(double x, double y);
  // A click on the bare canvas (after the release of a press made on it).
  void CanvasClick();
  // A dragged object over the bare canvas: the read-out; dropped there: placed and framed.
  QString CanvasDragOver(double x, double y) const;
  void CanvasDragDrop(double x, double y);
  void CanvasKeyUp(int keyCode);
  // The sizing arrow while the pointer is over a handle of the framed text (the over-object
  // hover keeps it too).
  void UpdateHoverPointer(double x, double y);
  // A press at (x, y) would take a handle of the framed text.
  bool PressTakesHandle(double x, double y) const;
  // The canvas's pointer: 0 default, 6 and 8 the sizing arrows.
  int CanvasPointer() const { return canvasPointer_; }
  const CanvasGesture& Gesture() const { return gesture_; }
  // The outline of the gesture in progress (band, move or resize), in canvas pixels.
  const std::optional<PixelRect>& Outline() const { return outline_; }
  // The four handles on the frame's corners, in canvas pixels, while the frame shows.
  std::vector<PixelRect> Handles() const;

  // ---- The mouse
  // A press on an object: it becomes current and framed, and a drag of it starts, grabbed
  // (ox, oy) canvas inches inside it.
  void Press(ObjectKind kind, int slot, double ox, double oy);
  bool Dragging() const { return drag_.has_value(); }
  // The dragged object over an object, the pointer (px, py) canvas inches inside that object:
  // the read-out of where it would land.
  QString DragOver(ObjectKind target, int slot, double px, double py) const;
  // The drop on an object: the dragged object moves there. A drop elsewhere leaves it.
  void DropOn(ObjectKind target, int slot, double px, double py);
  void EndDrag() { drag_.reset(); }
  // The pointer over an object: its read-out (and, for a text with MouseTrace on, the hover
  // outline on the canvas).
  QString MouseMove(ObjectKind kind, int slot);
  // The read-out of a box of inches at zoom 1.0 in the current unit.
  QString Readout(double x, double y, double w, double h) const;
  void SetUnit(SHORT unitScale) { unit_ = &UnitForScale(unitScale); }

  // ---- The canvas
  // Paints every live text onto the canvas at its angle; then the canvas's colour is black.
  void RepaintAllCustomTextControls(surface::Surface& s);
  // The hover outline of the traced text on the canvas (painted after a redraw).
  void PaintTrace(surface::Surface& s);
  // The traced text's outline in canvas pixels, when there is one.
  std::optional<RECT> TraceRect() const;

  // ---- State the widgets show
  int CurrentObjectIndex() const { return current_; }
  bool CurrentIsText() const { return currentIsText_; }
  int TracedTextIndex() const { return traced_; }
  const std::map<int, TextControl>& TextControls() const { return texts_; }
  const std::map<int, PictureControl>& PictureControls() const { return picturesShown_; }
  const ControlBox& Frame() const { return frame_; }
  const DesignerMenus& Menus() const { return menus_; }
  double FrameBorderWidth() const { return frameBorder_; }

  // The editor (frmNote shown modally over FontTable(7), NoteText and NoteAlignment).
  std::function<void()> showEditor;
  // Where the canvas lies in the window.
  std::function<CanvasView()> view;
  // Asks for a picture file for a double-click: the image, its bytes and path, or nothing.
  struct ChosenPicture {
    QImage image;
    QByteArray bytes;
    QString path;
  };
  std::function<std::optional<ChosenPicture>()> choosePicture;
  // Called after every change the widgets must show.
  std::function<void()> onChanged;
  // Called when the texts painted on the canvas changed (the page must be drawn again).
  std::function<void()> onRepaint;
  // Shows the Edit menu at the pointer (a right press on the canvas).
  std::function<void()> popupEdit;
  // Called when the gesture's outline changed (only the canvas's overlay is painted again).
  std::function<void()> onOutline;

  // ---- A loaded custom template
  // Takes a template's objects in place of the current ones: both arrays (their objects in
  // slots 0 to n - 1, then the spare slot) and their pictures by slot; nothing current, and
  // Save enabled.
  void TakeTemplate(QList<app::CustomTextRecord> texts, QList<app::CustomPictureRecord> pictures, PictureStore store);

 private:
  // Holds back the change and repaint calls while a compound change runs; they are made
  // once when the outermost one ends.
  class Batch {
   public:
    explicit Batch(DesignerObjects& objects) : objects_(objects) { ++objects_.batchDepth_; }
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    DesignerObjects& objects_;
  };

  double Zoom() const;
  double Pixel() const;  // one canvas pixel in inches
  // The natural size of a slot's picture, inches at zoom 1.0 (0 by 0 without an image).
  std::pair<double, double> PictureSize(int slot) const;
  const ControlBox* Box(ObjectKind kind, int slot) const;
  void MeasureExtent(SHORT angle, const QString& text, double& w, double& h, bool keepStraight);
  void DisableEditMenus();
  void Changed() const;
  void Repaint() const;
  void ReloadControls();
  LONG Px(double inches, bool across) const;  // canvas inches to whole pixels, halves to even
  double Inches(double pixels, bool across) const;
  // The selection's controls as the selection wants them: disabled, texts hidden.
  void ShowSelectionState();
  // The frame on the union of the selected objects.
  void FrameSelection();
  // A copy of a live object by (dx, dy) inches at zoom 1.0, tagged; the copy's slot.
  int CopyText(int slot, double dx, double dy, const QString& tag);
  int CopyPicture(int slot, double dx, double dy, const QString& tag);
  PixelRect ResizeOutline(float x, float y) const;
  void EndResize(double x, double y);
  void ResetGesture();
  void SetCanvasPointer(int pointer);
  QString PositionReadout(double x, double y) const;

  app::Designer& designer_;
  app::PrintJob& job_;
  PictureStore& pictures_;
  surface::Surface& canvas_;
  app::Selection noSelection_;
  reports::PageSettings noPage_;
  reports::Reports reports_;
  const MeasureUnit* unit_;
  std::map<int, TextControl> texts_;             // lblText(i): member 0 always loaded
  std::map<int, PictureControl> picturesShown_;  // picLogo(i)
  ControlBox frame_;                             // Shape1
  DesignerMenus menus_;
  int textCount_ = 0;
  // No slot below these is free (where the next slot search starts).
  int textFreeFrom_ = 0;
  int pictureFreeFrom_ = 0;
  int pictureCount_ = 0;
  int current_ = -1;
  bool currentIsText_ = false;
  int traced_ = -1;
  double frameBorder_ = 0;
  struct Drag {
    ObjectKind kind;
    int slot;
    double offsetX, offsetY;  // canvas inches inside the object
  };
  std::optional<Drag> drag_;
  CanvasGesture gesture_;
  std::optional<PixelRect> outline_;
  int canvasPointer_ = 0;
  int batchDepth_ = 0;
  mutable bool changedPending_ = false;
  mutable bool repaintPending_ = false;
};

// A record's alignment (0 left, 1 right, 2 centre) as the editor codes it (0 left, 1 centre,
// 2 right), and back: the two codings swap 1 and 2. A code outside gives `otherwise`.
SHORT MappedAlignment(SHORT code, SHORT otherwise);

}  // namespace designer
