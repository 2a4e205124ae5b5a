// The canvas's gestures and the multiple selection driven on the objects: the band, moving a
// selection, the handles and their pointers, the read-outs, clicks, drops and the Delete key,
// duplication into the label cells and the cell test.
#include <gtest/gtest.h>

#include <set>

#include "objects_fixture.h"
#include "test_support.h"

namespace designer {
namespace {

using test::Picture;
using test::Script;

constexpr double kPx = 1.0 / 96;  // one canvas pixel

struct Canvas : test::Objects {
  Canvas() {
    objects.popupEdit = [this] { ++menusShown; };
  }
  // Lays out texts (left, top, width, height; inches at zoom 1.0) and pictures (left, top,
  // width, height of their image) as the window's load finds them.
  void Lay(std::vector<std::array<double, 4>> texts, std::vector<std::array<double, 4>> pics = {}) {
    designer.CustomTexts.clear();
    designer.CustomPictures.clear();
    pictures.Clear();
    int n = 0;
    for (const auto& t : texts) {
      app::CustomTextRecord r = test::Text("T");
      r.Text = QStringLiteral("T%1").arg(n++);
      r.Left = t[0];
      r.Top = t[1];
      r.Width = t[2];
      r.Height = t[3];
      designer.CustomTexts.append(r);
    }
    if (texts.empty()) designer.CustomTexts.append(test::FreeText());
    designer.CustomTexts.append(app::CustomTextRecord{});
    for (size_t i = 0; i < pics.size(); ++i) {
      app::CustomPictureRecord r;
      r.Left = pics[i][0];
      r.Top = pics[i][1];
      r.Name = QStringLiteral("logo%1.bmp").arg(i);
      designer.CustomPictures.append(r);
      pictures.Put(static_cast<int>(i), Picture(pics[i][2], pics[i][3]), QByteArray("BM"));
    }
    if (pics.empty()) {
      app::CustomPictureRecord r;
      r.Left = r.Top = app::kFreeSlot;
      designer.CustomPictures.append(r);
    }
    designer.CustomPictures.append(app::CustomPictureRecord{});
    objects.Loaded();
  }
  void Band(double x0, double y0, double x1, double y1) {
    objects.CanvasMouseDown(1, x0, y0);
    objects.CanvasMouseMove((x0 + x1) / 2, (y0 + y1) / 2);
    objects.CanvasMouseMove(x1, y1);
    objects.CanvasMouseUp(x1, y1);
  }
  // Frames a text as a press on it does.
  void Frame(int slot) {
    objects.Press(ObjectKind::Text, slot, 0, 0);
    objects.EndDrag();
  }
  std::set<int> SelectedTexts() const {
    std::set<int> out;
    for (const auto& [slot, c] : objects.TextControls())
      if (objects.IsLiveText(slot) && c.tag == kTagSelected) out.insert(slot);
    return out;
  }
  std::set<int> SelectedPictures() const {
    std::set<int> out;
    for (const auto& [slot, c] : objects.PictureControls())
      if (objects.IsLivePicture(slot) && c.tag == kTagSelected) out.insert(slot);
    return out;
  }
  int LiveTexts() const {
    int n = 0;
    for (int i = 0; i + 1 < designer.CustomTexts.size(); ++i) n += objects.IsLiveText(i);
    return n;
  }
  int menusShown = 0;
};

// ---- The band

TEST_F(Canvas, ABandInEveryDirectionSelectsTheSameObjects) {
  // A and the picture inside; B only partly covered; C touching the band's right edge.
  Lay({{1, 1, 1, 1}, {3.5, 1, 1, 1}, {3, 2.5, 1, 0.5}}, {{1, 2.5, 1, 1}});
  struct Case {
    const char* name;
    double x0, y0, x1, y1;
  };
  const Case cases[] = {{"down right", 0.5, 0.5, 4, 4},
                        {"up left", 4, 4, 0.5, 0.5},
                        {"down left", 4, 0.5, 0.5, 4},
                        {"up right", 0.5, 4, 4, 0.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    objects.CanvasMouseDown(1, c.x0, c.y0);
    EXPECT_TRUE(objects.Gesture().banding);
    objects.CanvasMouseMove(c.x1, c.y1);
    ASSERT_TRUE(objects.Outline());
    EXPECT_EQ(*objects.Outline(), (PixelRect{48, 48, 384, 384}));
    objects.CanvasMouseUp(c.x1, c.y1);
    EXPECT_FALSE(objects.Outline());
    EXPECT_FALSE(objects.Gesture().banding);
    EXPECT_EQ(SelectedTexts(), (std::set<int>{0, 2}));
    EXPECT_EQ(SelectedPictures(), (std::set<int>{0}));
    ASSERT_TRUE(objects.MultipleSelection());
    const ControlBox& f = objects.Frame();
    EXPECT_TRUE(f.visible);
    EXPECT_DOUBLE_EQ(f.left, 1);
    EXPECT_DOUBLE_EQ(f.top, 1);
    EXPECT_DOUBLE_EQ(f.width, 3);
    EXPECT_DOUBLE_EQ(f.height, 2.5);
    EXPECT_EQ(objects.CurrentObjectIndex(), -1);
    // Every object is disabled, every text hidden, until the selection ends.
    for (const auto& [slot, t] : objects.TextControls())
      if (objects.IsLiveText(slot)) EXPECT_FALSE(t.enabled || t.visible) << slot;
    EXPECT_FALSE(objects.PictureControls().at(0).enabled);
    EXPECT_TRUE(objects.Menus().dup && objects.Menus().dupPage);
    objects.DeselectMultipleSelection();
    EXPECT_TRUE(SelectedTexts().empty());
    EXPECT_EQ(objects.PictureControls().at(0).tag, kTagPicture);
    EXPECT_TRUE(objects.TextControls().at(0).enabled && objects.TextControls().at(0).visible);
    EXPECT_FALSE(objects.Menus().dup || objects.Menus().dupPage);
    objects.CanvasMouseDown(1, 6, 6);  // ends the selection only
    objects.CanvasMouseUp(6, 6);
  }
}

TEST_F(Canvas, APressAndReleaseAtOnePointBandsNothing) {
  Lay({{1, 1, 1, 1}});
  objects.CanvasMouseDown(1, 1.5, 1.5);
  objects.CanvasMouseUp(1.5, 1.5);
  EXPECT_FALSE(objects.Gesture().banding);
  EXPECT_FALSE(objects.MultipleSelection());
  EXPECT_FALSE(objects.Frame().visible);
  EXPECT_TRUE(SelectedTexts().empty());
}

TEST_F(Canvas, TheFrameOfASelectionStartsFromItsFirstObject) {
  // Objects left of and above the page: the union is theirs, not reaching to 0.
  Lay({{-3, -2, 1, 0.5}, {-1.5, -1.5, 0.5, 0.5}});
  Band(-4, -4, -0.5, -0.5);
  ASSERT_TRUE(objects.MultipleSelection());
  EXPECT_DOUBLE_EQ(objects.Frame().left, -3);
  EXPECT_DOUBLE_EQ(objects.Frame().top, -2);
  EXPECT_DOUBLE_EQ(objects.Frame().width, 2);
  EXPECT_DOUBLE_EQ(objects.Frame().height, 1);
}

TEST_F(Canvas, PressesWithASelection) {
  Lay({{1, 1, 1, 1}, {3, 1, 1, 1}, {6, 6, 1, 1}});
  Band(0.5, 0.5, 4.5, 2.5);
  ASSERT_TRUE(objects.MultipleSelection());
  // A right press inside or outside shows the Edit menu and keeps the selection.
  objects.CanvasMouseDown(2, 2, 1.5);
  objects.CanvasMouseUp(2, 1.5);
  objects.CanvasMouseDown(2, 7.5, 7.5);
  objects.CanvasMouseUp(7.5, 7.5);
  EXPECT_EQ(menusShown, 2);
  EXPECT_TRUE(objects.MultipleSelection());

  // A left press inside moves it: the first move draws, the release moves objects and frame.
  objects.CanvasMouseDown(1, 1.5, 1.5);
  EXPECT_TRUE(objects.Gesture().movingSelection);
  EXPECT_DOUBLE_EQ(objects.Gesture().moveGrabX, 0.5);
  objects.CanvasMouseMove(2.0, 2.5);
  ASSERT_TRUE(objects.Outline());
  EXPECT_EQ(*objects.Outline(), (PixelRect{144, 192, 144 + 288, 192 + 96}));
  objects.CanvasMouseUp(2.0, 2.5);
  EXPECT_FALSE(objects.Outline());
  EXPECT_FALSE(objects.Gesture().movingSelection);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Left, 1.5);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Top, 2.0);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[1].Left, 3.5);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[2].Left, 6);  // not selected
  EXPECT_DOUBLE_EQ(objects.Frame().left, 1.5);
  EXPECT_DOUBLE_EQ(objects.Frame().top, 2.0);
  EXPECT_TRUE(objects.TextControls().at(0).visible);  // a move shows the moved texts

  // A left press outside only ends it: no band starts.
  objects.CanvasMouseDown(1, 7.5, 0.2);
  EXPECT_FALSE(objects.MultipleSelection());
  EXPECT_FALSE(objects.Frame().visible);
  EXPECT_FALSE(objects.Gesture().banding);
  EXPECT_TRUE(SelectedTexts().empty());
  objects.CanvasMouseMove(0.5, 0.5);
  objects.CanvasMouseUp(0.5, 0.5);
  EXPECT_FALSE(objects.MultipleSelection());
  EXPECT_EQ(menusShown, 2);
}

TEST_F(Canvas, AnObjectInsertedDuringASelectionEndsIt) {
  Lay({{1, 1, 1, 1}, {3, 1, 1, 1}});
  Band(0.5, 0.5, 4.5, 2.5);
  ASSERT_TRUE(objects.MultipleSelection());
  ASSERT_GE(Insert("New", 5, 5), 0);
  EXPECT_FALSE(objects.MultipleSelection());
  EXPECT_TRUE(SelectedTexts().empty());
  EXPECT_TRUE(objects.TextControls().at(0).enabled);
  EXPECT_NEAR(objects.Frame().left, 5 - kPx / 2, 1e-9);
}

TEST_F(Canvas, AZoomDuringASelectionFramesTheSelectedObjects) {
  Lay({{1, 1, 1, 1}, {3, 2, 1, 1}, {5, 5, 1, 1}});
  Band(0.5, 0.5, 4.5, 3.5);
  designer.ZoomFactor = 2.0;
  objects.PlaceAll();
  EXPECT_TRUE(objects.MultipleSelection());
  EXPECT_DOUBLE_EQ(objects.Frame().left, 2);
  EXPECT_DOUBLE_EQ(objects.Frame().top, 2);
  EXPECT_DOUBLE_EQ(objects.Frame().width, 6);
  EXPECT_DOUBLE_EQ(objects.Frame().height, 4);
  EXPECT_FALSE(objects.TextControls().at(2).enabled);
}

// ---- The handles

TEST_F(Canvas, TheHoverPointerShowsOnlyOverTheFramedTextsCorners) {
  Lay({{2, 2, 1, 1}}, {{5, 5, 1, 1}});
  objects.CanvasMouseMove(2, 2);
  EXPECT_EQ(objects.CanvasPointer(), 0);  // nothing framed
  EXPECT_TRUE(objects.Handles().empty());
  Frame(0);
  const ControlBox f = objects.Frame();
  const double r = f.left + f.width, b = f.top + f.height;
  // Four black 1/16 in squares centred on the frame's corners.
  const std::vector<PixelRect> handles = objects.Handles();
  ASSERT_EQ(handles.size(), 4u);
  EXPECT_EQ(handles[0], (PixelRect{188, 188, 195, 195}));  // 1.9636 and 2.0260 in, halves to even
  EXPECT_EQ(handles[1].right - handles[1].left, 6);
  struct Case {
    double x, y;
    int pointer;
  };
  const Case cases[] = {{f.left, f.top, 8},    {r + 0.03, b - 0.03, 8}, {r, f.top, 6},
                        {f.left - 0.03, b, 6}, {r + 0.04, b, 0},        {f.left + 0.5, f.top, 0}};
  for (const Case& c : cases) {
    objects.CanvasMouseMove(c.x, c.y);
    EXPECT_EQ(objects.CanvasPointer(), c.pointer) << c.x << ", " << c.y;
  }
  // A picture pressed: the arrow goes, and a press at the text's corner bands.
  objects.CanvasMouseMove(f.left, f.top);
  EXPECT_EQ(objects.CanvasPointer(), 8);
  objects.Press(ObjectKind::Picture, 0, 0, 0);
  objects.EndDrag();
  objects.CanvasMouseDown(1, f.left, f.top);
  EXPECT_FALSE(objects.Gesture().resizing);
  EXPECT_TRUE(objects.Gesture().banding);
  objects.CanvasMouseUp(f.left, f.top);
  EXPECT_EQ(objects.CanvasPointer(), 0);
}

TEST_F(Canvas, APressTakesTheFirstCornerInOrder) {
  struct Case {
    const char* name;
    double width;   // of the text, inches
    double dx, dy;  // from the frame's top-left corner, in frame widths
    int handle;
  };
  const Case cases[] = {
      {"top-left", 1, 0, 0, 1},
      {"bottom-right", 1, 1, 1, 2},
      {"top-right", 1, 1, 0, 3},
      {"bottom-left", 1, 0, 1, 4},
      {"small: centre", 0.08, 0.5, 0.5, 1},
      {"small: right edge", 0.08, 1, 0.5, 2},  // top-left's square misses, bottom-right's holds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    Lay({{2, 2, c.width, c.width}});
    Frame(0);
    const ControlBox f = objects.Frame();
    const double x = f.left + c.dx * f.width, y = f.top + c.dy * f.height;
    objects.CanvasMouseMove(f.left, f.top);  // the arrow shows
    ASSERT_EQ(objects.CanvasPointer(), 8);
    const int pointer = objects.CanvasPointer();
    objects.CanvasMouseDown(2, x, y);  // the right button resizes too
    EXPECT_TRUE(objects.Gesture().resizing);
    EXPECT_EQ(objects.Gesture().resizeHandle, c.handle);
    EXPECT_EQ(menusShown, 0);
    EXPECT_EQ(script.forms.ScreenMousePointer(), pointer);
    const double h = objects.FrameBorderWidth() / 2;
    const bool leftHeld = c.handle == 1 || c.handle == 4, topHeld = c.handle == 1 || c.handle == 3;
    EXPECT_FLOAT_EQ(objects.Gesture().resizeAnchorX, leftHeld ? f.left + f.width - h : f.left + h);
    EXPECT_FLOAT_EQ(objects.Gesture().resizeAnchorY, topHeld ? f.top + f.height - h : f.top + h);
    objects.CanvasMouseUp(x, y);
    EXPECT_EQ(script.forms.ScreenMousePointer(), forms::vbDefault);
    EXPECT_EQ(objects.CanvasPointer(), 0);
  }
}

TEST_F(Canvas, AnArrowOverNoCornerLetsThePressBandOrShowTheMenu) {
  Lay({{2, 2, 1, 1}});
  Frame(0);
  objects.CanvasMouseMove(objects.Frame().left, objects.Frame().top);
  ASSERT_EQ(objects.CanvasPointer(), 8);
  objects.CanvasMouseDown(2, 5, 5);
  EXPECT_FALSE(objects.Gesture().resizing);
  EXPECT_EQ(menusShown, 1);
  objects.CanvasMouseDown(1, 5, 5);
  EXPECT_TRUE(objects.Gesture().banding);
}

TEST_F(Canvas, ResizingCommitsTheOutlineDrawn) {
  struct Case {
    const char* name;
    double zoom;
    int handle;                       // the corner taken
    double x, y;                      // where the pointer goes (canvas inches)
    double left, top, width, height;  // stored afterwards
  };
  // A text at (2, 2), 1 x 1 in; at 200 % its canvas box is (4, 4), 2 x 2.
  const Case cases[] = {
      {"bottom-right out", 1, 2, 3.5, 3.25, 2, 2, 1.5, 1.25},
      {"bottom-right past the top-left", 1, 2, 1, 1, 2, 2, 10 * kPx, 10 * kPx},
      {"top-left in", 1, 1, 2.5, 2.25, 2.5, 2.25, 0.5 + kPx, 0.75 + kPx},
      {"top-right", 1, 3, 3.5, 1.5, 2, 1.5, 1.5, 1.5 + kPx},
      {"bottom-left", 1, 4, 1.5, 3.5, 1.5, 2, 1.5 + kPx, 1.5},
      {"200 %: bottom-right", 2, 2, 7, 6, 2, 2, 1.5, 1},
      {"200 %: top-left", 2, 1, 3, 3, 1.5, 1.5, 1.5 + kPx / 2, 1.5 + kPx / 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    designer.ZoomFactor = c.zoom;
    Lay({{2, 2, 1, 1}});
    Frame(0);
    const ControlBox f = objects.Frame();
    const double cx = c.handle == 1 || c.handle == 4 ? f.left : f.left + f.width;
    const double cy = c.handle == 1 || c.handle == 3 ? f.top : f.top + f.height;
    objects.CanvasMouseMove(cx, cy);
    objects.CanvasMouseDown(1, cx, cy);
    ASSERT_EQ(objects.Gesture().resizeHandle, c.handle);
    // The first move draws nothing and reads nothing out.
    EXPECT_TRUE(objects.CanvasMouseMove(c.x, c.y).isEmpty());
    EXPECT_FALSE(objects.Outline());
    const QString readout = objects.CanvasMouseMove(c.x, c.y);
    ASSERT_TRUE(objects.Outline());
    objects.CanvasMouseUp(c.x, c.y);
    EXPECT_FALSE(objects.Outline());
    const app::CustomTextRecord& r = designer.CustomTexts[0];
    EXPECT_NEAR(r.Left, c.left, 1e-9);
    EXPECT_NEAR(r.Top, c.top, 1e-9);
    EXPECT_NEAR(r.Width, c.width, 1e-6);
    EXPECT_NEAR(r.Height, c.height, 1e-6);
    // The read-out shows stored values; the text is framed again.
    if (c.width > 10 * kPx) EXPECT_EQ(readout, objects.Readout(r.Left, r.Top, r.Width, r.Height));
    EXPECT_TRUE(objects.Frame().visible);
    EXPECT_NEAR(objects.Frame().width, objects.TextControls().at(0).width + 2 * kPx, 1e-9);
    designer.ZoomFactor = 1;
  }
}

TEST_F(Canvas, AResizeWithoutAnOutlineChangesNothing) {
  Lay({{2, 2, 1, 1}, {5, 5, 2, 0.5}});
  Frame(1);  // the text pressed last is another
  Frame(0);
  const ControlBox f = objects.Frame();
  objects.CanvasMouseMove(f.left, f.top);
  objects.CanvasMouseDown(1, f.left, f.top);
  EXPECT_FLOAT_EQ(objects.Gesture().textWidthPx, 96);
  objects.CanvasMouseMove(1.5, 1.5);  // the first move: no outline yet
  objects.CanvasMouseUp(1.5, 1.5);
  const app::CustomTextRecord& r = designer.CustomTexts[0];
  EXPECT_DOUBLE_EQ(r.Left, 2);
  EXPECT_DOUBLE_EQ(r.Width, 1);
  EXPECT_DOUBLE_EQ(r.Height, 1);
  EXPECT_EQ(objects.CanvasPointer(), 0);
  EXPECT_FALSE(objects.Outline());
}

// ---- Read-outs, clicks, drops and keys

TEST_F(Canvas, ThePositionReadoutIsInStoredValues) {
  Lay({});
  designer.ZoomFactor = 2;
  EXPECT_EQ(objects.CanvasMouseMove(3, 1), QStringLiteral("POSITION: X = 1.500   Y = 0.500"));
  objects.SetUnit(3);  // pixels
  EXPECT_EQ(objects.CanvasMouseMove(3, 1), QStringLiteral("POSITION: X = 144   Y = 48"));
}

TEST_F(Canvas, AClickOnTheCanvasSetsTheEditMenu) {
  Lay({{1, 1, 1, 1}, {3, 1, 1, 1}});
  Frame(0);
  EXPECT_TRUE(objects.Menus().edit);
  objects.CanvasMouseDown(1, 6, 6);
  objects.CanvasMouseUp(6, 6);
  objects.CanvasClick();
  EXPECT_FALSE(objects.Frame().visible);
  EXPECT_FALSE(objects.CurrentIsText());
  const DesignerMenus& m = objects.Menus();
  EXPECT_FALSE(m.edit || m.del || m.dup || m.dupPage);

  Frame(0);
  Band(0.5, 0.5, 4.5, 2.5);
  objects.CanvasClick();
  EXPECT_TRUE(objects.Frame().visible);
  EXPECT_FALSE(m.edit);
  EXPECT_TRUE(m.del && m.dup && m.dupPage);

  objects.CanvasMouseDown(1, 7, 7);  // ends the selection
  objects.CanvasMouseUp(7, 7);
  objects.CanvasClick();
  Band(5, 5, 6, 6);  // an empty band
  objects.CanvasClick();
  EXPECT_FALSE(m.edit || m.del || m.dup || m.dupPage);
}

TEST_F(Canvas, DroppingOnTheCanvas) {
  Lay({{1, 1, 1, 0.5}}, {{3, 3, 2, 1}});
  struct Case {
    const char* name;
    ObjectKind kind;
    double zoom;
  };
  for (const Case& c :
       {Case{"picture at 150 %", ObjectKind::Picture, 1.5}, Case{"text at 200 %", ObjectKind::Text, 2}}) {
    SCOPED_TRACE(c.name);
    designer.ZoomFactor = c.zoom;
    objects.PlaceAll();
    objects.Press(c.kind, 0, 0.25, 0.125);
    const ControlBox& box = c.kind == ObjectKind::Text ? static_cast<const ControlBox&>(objects.TextControls().at(0))
                                                       : objects.PictureControls().at(0);
    // Where it would land, stored; its size as the canvas shows it.
    EXPECT_EQ(objects.CanvasDragOver(4.25, 2.125), objects.Readout(4 / c.zoom, 2 / c.zoom, box.width, box.height));
    objects.CanvasDragDrop(4.25, 2.125);
    const double left = c.kind == ObjectKind::Text ? designer.CustomTexts[0].Left : designer.CustomPictures[0].Left;
    const double top = c.kind == ObjectKind::Text ? designer.CustomTexts[0].Top : designer.CustomPictures[0].Top;
    EXPECT_DOUBLE_EQ(left, 4 / c.zoom);
    EXPECT_DOUBLE_EQ(top, 2 / c.zoom);
    EXPECT_DOUBLE_EQ(box.left, 4);
    EXPECT_FALSE(objects.Dragging());
    EXPECT_TRUE(objects.Frame().visible);
    EXPECT_NEAR(objects.Frame().left, 4 - kPx / 2, 1e-9);
  }
}

TEST_F(Canvas, TheDeleteKey) {
  Lay({{1, 1, 1, 1}, {3, 1, 1, 1}, {5, 1, 1, 1}}, {{1, 3, 1, 1}});
  objects.CanvasKeyUp(46);  // nothing framed
  EXPECT_EQ(LiveTexts(), 3);
  objects.Press(ObjectKind::Picture, 0, 0, 0);
  objects.EndDrag();
  objects.CanvasKeyUp(46);  // a picture's own key deletes it
  EXPECT_TRUE(objects.IsLivePicture(0));
  Frame(2);
  objects.CanvasKeyUp(65);
  EXPECT_EQ(LiveTexts(), 3);
  objects.CanvasKeyUp(46);
  EXPECT_FALSE(objects.IsLiveText(2));
  Band(0.5, 0.5, 4.5, 4.5);
  objects.CanvasKeyUp(46);
  EXPECT_EQ(LiveTexts(), 0);
  EXPECT_FALSE(objects.IsLivePicture(0));
  EXPECT_FALSE(objects.MultipleSelection());
  EXPECT_FALSE(objects.Frame().visible);
  EXPECT_FALSE(objects.Menus().dup || objects.Menus().dupPage);
}

TEST_F(Canvas, TheMouseTraceIsTakenOffOverTheCanvas) {
  Lay({{1, 1, 1, 1}});
  for (bool trace : {false, true}) {
    job.MouseTrace = trace;
    objects.MouseMove(ObjectKind::Text, 0);
    const QImage before = canvas.Image();
    objects.CanvasMouseMove(5, 5);
    EXPECT_EQ(objects.TracedTextIndex(), -1);
    if (trace) EXPECT_NE(canvas.Image(), before);
  }
}

// ---- Duplication and the label cells

TEST_F(Canvas, DuplicatingASelectionOrOneObject) {
  Lay({{1, 1, 1, 1}}, {{3, 1, 1, 1}});
  objects.DuplicateSelection();  // nothing framed
  EXPECT_EQ(LiveTexts(), 1);

  designer.ZoomFactor = 2;
  objects.PlaceAll();
  Band(1, 1, 9, 9);
  const double frameLeft = objects.Frame().left;
  objects.DuplicateSelection();
  EXPECT_DOUBLE_EQ(objects.Frame().left, frameLeft + 0.5);
  EXPECT_EQ(SelectedTexts(), (std::set<int>{1}));
  EXPECT_EQ(SelectedPictures(), (std::set<int>{1}));
  EXPECT_TRUE(objects.TextControls().at(0).tag.isEmpty());
  EXPECT_EQ(objects.PictureControls().at(0).tag, kTagPicture);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[1].Left, 1.25);
  EXPECT_DOUBLE_EQ(designer.CustomPictures[1].Top, 1.25);
  EXPECT_EQ(designer.CustomPictures[1].Name, designer.CustomPictures[0].Name);
  EXPECT_TRUE(pictures.Contains(1));
  EXPECT_DOUBLE_EQ(objects.PictureControls().at(1).width, 2);
  EXPECT_EQ(objects.TextObjectCount(), 2);

  // One framed object: copied by a quarter inch, the copy current.
  objects.CanvasMouseDown(1, 15, 15);
  Frame(0);
  objects.DuplicateSelection(3, 3);
  EXPECT_EQ(objects.CurrentObjectIndex(), 2);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[2].Left, 1.25);
  EXPECT_NEAR(objects.Frame().left, objects.TextControls().at(2).left - kPx / 2, 1e-9);
}

TEST_F(Canvas, ASelectionMustFitOneLabelCell) {
  job.ReportType = 7;  // the floppy sheet: cell (1, 1) at 0.125, 0.5, 2.6875 x 2.0
  designer.ZoomFactor = 2;
  struct Case {
    double out;  // canvas inches past the cell's right edge
    bool fits;
  };
  for (const Case& c : {Case{0.1, true}, Case{0.2, false}}) {
    SCOPED_TRACE(c.out);
    Script script;
    Lay({{0.125, 0.5, 2.6875 + c.out / 2, 1}});
    Band(0, 0, 8, 8);
    if (!c.fits)
      script.forms.ExpectMessage(forms::vbOK,
                                 QStringLiteral("Selection is out of label boundries.  All objects must fit within "
                                                "the label margins."));
    SHORT column = 0, row = 0, columns = 0, rows = 0;
    EXPECT_EQ(objects.IsSelectionInsideLabel(column, row, columns, rows), c.fits);
    EXPECT_EQ(columns, 3);
    EXPECT_EQ(rows, 5);
    if (c.fits) {
      EXPECT_EQ(column, 1);
      EXPECT_EQ(row, 1);
    } else {
      EXPECT_EQ(script.forms.Shown().back().buttons, forms::vbInformation + forms::vbOKOnly);
      EXPECT_EQ(script.forms.Shown().back().title, forms::AppTitle());
      // Duplicate Page refuses it and changes nothing.
      script.forms.ExpectMessage(forms::vbOK, QStringLiteral("out of label boundries"));
      objects.DuplicateSelectionOnFullPage();
      EXPECT_EQ(LiveTexts(), 1);
    }
    EXPECT_TRUE(script.forms.Done());
  }
}

TEST_F(Canvas, DuplicatePageFillsEveryCellOfTheFloppySheet) {
  job.ReportType = 6;
  // In column 2, row 3: a text and a picture; a text elsewhere goes.
  const double x = 0.125 + 2.78125 + 0.25, y = 0.5 + 2 * 2.0 + 0.25;
  for (const char* how : {"band", "one object clicked"}) {
    SCOPED_TRACE(how);
    if (QLatin1String(how) == QLatin1String("band")) {
      Lay({{x, y, 1, 0.5}, {7.5, 10, 0.5, 0.5}}, {{x, y + 0.75, 1, 0.5}});
      Band(x - 0.1, y - 0.1, x + 1.1, y + 1.3);
    } else {
      Lay({{x, y, 1, 0.5}, {7.5, 10, 0.5, 0.5}});
      Frame(0);
    }
    const bool withPicture = QLatin1String(how) == QLatin1String("band");
    objects.DuplicateSelectionOnFullPage();
    EXPECT_EQ(LiveTexts(), 15);
    EXPECT_FALSE(objects.Frame().visible);
    // The copies in the order they were made: column 1 rows 1..5, column 2 rows 1, 2, 4, 5, ...
    std::vector<std::pair<double, double>> at;
    for (int i = 0; i + 1 < designer.CustomTexts.size(); ++i)
      if (objects.IsLiveText(i)) at.emplace_back(designer.CustomTexts[i].Left, designer.CustomTexts[i].Top);
    ASSERT_EQ(at.size(), 15u);
    EXPECT_DOUBLE_EQ(at[1].first - at[0].first, -2.78125);
    EXPECT_DOUBLE_EQ(at[1].second - at[0].second, -4.0);
    EXPECT_DOUBLE_EQ(at[2].first - at[1].first, 0);
    EXPECT_DOUBLE_EQ(at[2].second - at[1].second, 2.0);
    std::set<std::pair<int, int>> cells;
    for (const auto& [left, top] : at) {
      EXPECT_NE(left, 7.5);  // the text outside the selection is gone
    }
    for (const auto& [left, top] : at)
      cells.insert({static_cast<int>((left - 0.125) / 2.78125), static_cast<int>((top - 0.5) / 2.0)});
    EXPECT_EQ(cells.size(), 15u);
    int pictureCopies = 0;
    for (int i = 0; i + 1 < designer.CustomPictures.size(); ++i) pictureCopies += objects.IsLivePicture(i);
    EXPECT_EQ(pictureCopies, withPicture ? 15 : 0);
  }
}

}  // namespace
}  // namespace designer
