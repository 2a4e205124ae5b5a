// The designer's objects driven directly: slots and packing, extents, alignment, default
// positions, deletes, read-outs, the drag and re-placing at another zoom.
#include <gtest/gtest.h>

#include <cmath>

#include "objects_fixture.h"
#include "recordingsurface.h"

namespace designer {
namespace {

using test::FreeText;
using test::Objects;
using test::Picture;
using test::Text;

TEST_F(Objects, SlotsAreReusedAndTheArrayGrowsByOne) {
  EXPECT_EQ(Insert("A"), 0);
  EXPECT_EQ(Insert("B"), 1);
  EXPECT_EQ(designer.CustomTexts.size(), 3);  // slot 2 is the spare slot
  EXPECT_EQ(Texts(), (QList<QString>{"A", "B"}));
  objects.DeleteCurLabel(0);
  EXPECT_EQ(objects.TextObjectCount(), 1);
  EXPECT_EQ(Insert("C"), 0);
  EXPECT_EQ(objects.TextObjectCount(), 2);
  EXPECT_EQ(Insert("D"), 2);
  EXPECT_EQ(designer.CustomTexts.size(), 4);
  EXPECT_EQ(Texts(), (QList<QString>{"C", "B", "D"}));
  EXPECT_EQ(objects.TextObjectCount(), 3);
}

TEST_F(Objects, PackingRemovesEveryFreeSlotAndMovesTheImages) {
  struct Case {
    const char* name;
    std::vector<const char*> cells;  // nullptr: a free slot
    QList<QString> packed;
    qsizetype size;
  };
  const Case cases[] = {
      {"one gap", {"A", nullptr, "B", "C"}, {"A", "B", "C"}, 4},
      {"two gaps", {"A", nullptr, nullptr, "B", "C"}, {"A", "B", "C"}, 4},
      {"all free", {nullptr, nullptr, nullptr}, {"-"}, 2},
      {"none free", {"A", "B"}, {"A", "B"}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    designer.CustomTexts.clear();
    designer.CustomPictures.clear();
    pictures.Clear();
    for (size_t i = 0; i < c.cells.size(); ++i) {
      designer.CustomTexts.append(c.cells[i] ? Text(c.cells[i]) : FreeText());
      app::CustomPictureRecord p;
      if (c.cells[i]) {
        p.Left = p.Top = 1.0;
        p.Name = QString::fromUtf8(c.cells[i]);
        pictures.Put(static_cast<int>(i), Picture(1, 1), QByteArray(c.cells[i]));
      } else {
        p.Left = p.Top = app::kFreeSlot;
      }
      designer.CustomPictures.append(p);
    }
    designer.CustomTexts.append(app::CustomTextRecord{});
    designer.CustomPictures.append(app::CustomPictureRecord{});
    objects.Loaded();
    objects.CompressCustomArrays();
    EXPECT_EQ(Texts(), c.packed);
    EXPECT_EQ(designer.CustomTexts.size(), c.size);
    EXPECT_EQ(designer.CustomPictures.size(), c.size);
    EXPECT_EQ(objects.TextObjectCount(), c.packed == QList<QString>{"-"} ? 0 : c.packed.size());
    for (qsizetype i = 0; i + 1 < designer.CustomPictures.size(); ++i) {
      const QString name = designer.CustomPictures[i].Name;
      if (name.isEmpty()) {
        EXPECT_FALSE(pictures.Contains(static_cast<int>(i)));
        continue;
      }
      ASSERT_TRUE(pictures.Contains(static_cast<int>(i)));
      EXPECT_EQ(QString::fromLatin1(pictures.Find(static_cast<int>(i))->bytes), name);
    }
  }
}

TEST_F(Objects, ExtentsFollowTheAngle) {
  reports::Reports::SetFontFromControl(canvas, surface::TextFont{QStringLiteral("Arial"), 12}, 0);
  const double tw = canvas.TextWidth(QStringLiteral("Holiday")), th = canvas.TextHeight(QStringLiteral("Holiday"));
  struct Case {
    SHORT angle;
    double w, h;
  };
  const Case cases[] = {
      {0, 1.0, 1.0}, {90, th, tw}, {270, th, tw}, {45, (tw + th) * std::sqrt(0.5), (tw + th) * std::sqrt(0.5)},
      {180, tw, th},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.angle);
    editorAngle = c.angle;
    const int slot = Insert("Holiday");
    ASSERT_GE(slot, 0);
    EXPECT_NEAR(designer.CustomTexts[slot].Width, c.w, 1e-9);
    EXPECT_NEAR(designer.CustomTexts[slot].Height, c.h, 1e-9);
    EXPECT_EQ(designer.CustomTexts[slot].FontAngle, c.angle);
  }
}

TEST_F(Objects, InsertionsTakeTheLowestFreedSlotFirstThenGrow) {
  for (const char* name : {"A", "B", "C", "D"}) Insert(name);
  objects.DeleteCurLabel(2);
  objects.DeleteCurLabel(1);
  EXPECT_EQ(Insert("E"), 1);
  EXPECT_EQ(Insert("F"), 2);
  EXPECT_EQ(Insert("G"), 4);
  objects.DeleteCurLabel(0);
  EXPECT_EQ(Insert("H"), 0);
  EXPECT_EQ(Insert("I"), 5);
  // Arrays put in place from outside start the search afresh.
  designer.CustomTexts = {Text("x"), FreeText(), Text("y"), FreeText()};
  objects.Loaded();
  EXPECT_EQ(Insert("J"), 1);
  EXPECT_EQ(Insert("K"), 3);
}

TEST_F(Objects, EditingKeepsTheBoxOfAStraightTextAndAnEmptiedTextChangesNothing) {
  const int slot = Insert("Holiday");
  designer.CustomTexts[slot].Width = 2.5;
  designer.CustomTexts[slot].Height = 0.75;
  objects.SetTextLabelFromArray(slot);
  for (SHORT angle : {0, 180}) {
    editorAngle = angle;
    editorAnswer = QStringLiteral("Summer 2026");
    EXPECT_TRUE(objects.EditText(slot));
    EXPECT_EQ(designer.CustomTexts[slot].Text, QStringLiteral("Summer 2026"));
    EXPECT_EQ(designer.CustomTexts[slot].Width, 2.5);
    EXPECT_EQ(designer.CustomTexts[slot].Height, 0.75);
  }
  const app::CustomTextRecord before = designer.CustomTexts[slot];
  editorAnswer.clear();
  editorAngle = 90;
  EXPECT_FALSE(objects.EditText(slot));
  EXPECT_EQ(designer.CustomTexts[slot].Text, before.Text);
  EXPECT_EQ(designer.CustomTexts[slot].FontAngle, before.FontAngle);
  EXPECT_FALSE(DesignerObjects::IsFree(designer.CustomTexts[slot]));
  // The editor got the label's values.
  EXPECT_EQ(job.FontTable[7].FontSize, before.FontSize);
}

TEST_F(Objects, AlignmentIsStoredInTheRecordsCodesAndPainted) {
  surface::RecordingSurface page;
  struct Case {
    SHORT editor;
    SHORT record;
  };
  for (const Case c : {Case{0, 0}, Case{1, 2}, Case{2, 1}}) {
    editorAlignment = c.editor;
    const int slot = Insert("Holiday", 1.0, 1.0 + c.record);
    EXPECT_EQ(designer.CustomTexts[slot].FontAlign, c.record);
    designer.CustomTexts[slot].Width = 3.0;
    objects.SetTextLabelFromArray(slot);
  }
  objects.RepaintAllCustomTextControls(page);
  const auto texts = page.Logged(surface::Primitive::Kind::Text);
  ASSERT_EQ(texts.size(), 3u);
  const double tw = page.TextWidth(QStringLiteral("Holiday"));
  for (const auto& t : texts) {
    const double slack = 3.0 - tw;
    const int code = static_cast<int>(std::lround(t.y1 - 1.0));  // 0 left, 1 right, 2 centre
    const double expected = code == 0 ? 1.0 : code == 1 ? 1.0 + slack : 1.0 + slack / 2;
    EXPECT_NEAR(t.x1, expected, 0.02) << code;
  }
  EXPECT_EQ(page.ForeColor(), 0);
}

TEST_F(Objects, DefaultPositionsCentreInTheVisibleCanvas) {
  // A 1 x 1 in box centred in the visible area, the scroll bars off it.
  view = CanvasView{8.0, 6.0, 0.5, 0.25, 0.2, 0.1};
  double x = 0, y = 0, w = 0, h = 0;
  ASSERT_TRUE(objects.InsertText(x, y, w, h));
  EXPECT_DOUBLE_EQ(x, (8.0 - 1.0 - 0.2) / 2 - 0.5);
  EXPECT_DOUBLE_EQ(y, (6.0 - 1.0 - 0.1) / 2 - 0.25);
  // A floppy label canvas below the toolbar: centred on the canvas's height.
  job.LabelMedium = 1;
  job.PageHeight = 2.4;
  x = y = w = h = 0;
  ASSERT_TRUE(objects.InsertText(x, y, w, h));
  EXPECT_DOUBLE_EQ(y, (2.4 - 1.0) / 2);
  job.LabelMedium = 0;

  // A 2 x 1 in picture in an 8 x 6 in area with the canvas at the top left.
  view = CanvasView{8.0, 6.0, 0, 0, 0, 0};
  const int slot = objects.InsertLogoPicture(Picture(2, 1), QByteArray("bmp"), QStringLiteral("/p/logo.bmp"));
  EXPECT_DOUBLE_EQ(designer.CustomPictures[slot].Left, 3.5);
  EXPECT_DOUBLE_EQ(designer.CustomPictures[slot].Top, 2.75);
  EXPECT_EQ(designer.CustomPictures[slot].Name, QStringLiteral("/p/logo.bmp"));
  EXPECT_TRUE(objects.Menus().save);

  // At 200 % both are stored as their canvas values halved.
  designer.ZoomFactor = 2.0;
  x = y = w = h = 0;
  ASSERT_TRUE(objects.InsertText(x, y, w, h));
  EXPECT_DOUBLE_EQ(designer.CustomTexts[objects.CurrentObjectIndex()].Left, x / 2);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[objects.CurrentObjectIndex()].Top, y / 2);
  const int second = objects.InsertLogoPicture(Picture(2, 1), QByteArray(), QString());
  EXPECT_DOUBLE_EQ(designer.CustomPictures[second].Left, ((8.0 - 4.0 / 2) / 2) / 2);
  EXPECT_DOUBLE_EQ(designer.CustomPictures[second].Top, ((6.0 - 2.0 / 2) / 2) / 2);
  const PictureControl& box = objects.PictureControls().at(second);
  EXPECT_DOUBLE_EQ(box.width, 4.0);
  EXPECT_DOUBLE_EQ(box.height, 2.0);
  EXPECT_TRUE(box.visible);
}

TEST_F(Objects, CancelledEditorInsertsNothing) {
  editorAnswer.clear();
  double x = 0, y = 0, w = 0, h = 0;
  EXPECT_FALSE(objects.InsertText(x, y, w, h));
  EXPECT_EQ(objects.TextObjectCount(), 0);
  EXPECT_EQ(objects.CurrentObjectIndex(), -1);
  EXPECT_FALSE(objects.Menus().save);
  EXPECT_EQ(designer.CustomTexts.size(), 2);
}

TEST_F(Objects, Deletes) {
  // Slot 0 is hidden, not removed; the last text with no picture turns Save off.
  const int a = Insert("A");
  const int b = Insert("B");
  objects.Press(ObjectKind::Text, a, 0, 0);
  objects.DeleteCurrent();
  EXPECT_TRUE(objects.TextControls().count(0));
  EXPECT_FALSE(objects.TextControls().at(0).visible);
  EXPECT_TRUE(objects.Menus().save);  // one of several
  EXPECT_FALSE(objects.Menus().del);
  EXPECT_EQ(objects.CurrentObjectIndex(), -1);
  objects.Press(ObjectKind::Text, b, 0, 0);
  objects.DeleteCurrent();
  EXPECT_FALSE(objects.TextControls().count(b));
  EXPECT_FALSE(objects.Menus().save);

  // A stale or missing current object deletes nothing.
  objects.DeleteCurrent();
  objects.DeleteCurLabel(-1);
  objects.DeleteCurLabel(7);
  objects.DeleteCurPicture(-1);

  // A picture is deleted by its Delete key only while it is framed.
  const int p = objects.InsertLogoPicture(Picture(2, 1), QByteArray(), QString());
  objects.Press(ObjectKind::Text, Insert("C"), 0, 0);
  objects.PictureKey(p, 46);  // the frame is around the text
  EXPECT_TRUE(objects.IsLivePicture(p));
  objects.Press(ObjectKind::Picture, p, 0, 0);
  objects.PictureKey(p, 65);
  EXPECT_TRUE(objects.IsLivePicture(p));
  objects.PictureKey(p, 46);
  EXPECT_FALSE(objects.IsLivePicture(p));
  EXPECT_FALSE(pictures.Contains(p));
  EXPECT_FALSE(objects.Frame().visible);

  // A picture whose image never loaded is deleted from its record.
  const int q = objects.InsertLogoPicture(QImage(), QByteArray(), QStringLiteral("/gone.bmp"));
  pictures.Clear();
  objects.Press(ObjectKind::Picture, q, 0, 0);
  objects.DeleteCurrent();
  EXPECT_FALSE(objects.IsLivePicture(q));
  EXPECT_EQ(objects.PictureObjectCount(), 0);
}

TEST_F(Objects, ReadoutsInEveryUnit) {
  struct Case {
    SHORT unit;
    const char* text;
  };
  const Case cases[] = {
      {5, "POSITION: X = 1.250   Y = 0.500     SIZE: Width = 2.000   Height = 1.000"},
      {7, "POSITION: X = 3.18   Y = 1.27     SIZE: Width = 5.08   Height = 2.54"},
      {6, "POSITION: X = 31.8   Y = 12.7     SIZE: Width = 50.8   Height = 25.4"},
      {3, "POSITION: X = 120   Y = 48     SIZE: Width = 192   Height = 96"},
  };
  for (const Case& c : cases) {
    objects.SetUnit(c.unit);
    EXPECT_EQ(objects.Readout(1.25, 0.5, 2.0, 1.0), QString::fromLatin1(c.text));
  }
}

TEST_F(Objects, DragAtTwiceTheZoomReadsAndStoresHalfTheCanvasDistance) {
  designer.ZoomFactor = 2.0;
  const int a = Insert("A", 2.0, 2.0);  // canvas inches: record 1.0, 1.0
  const int b = Insert("B", 6.0, 4.0);  // record 3.0, 2.0
  ASSERT_EQ(designer.CustomTexts[b].Left, 3.0);
  const double boxW = objects.TextControls().at(a).width;
  // Grab A 0.5 in inside, drag it over B 1.0 in inside B's corner.
  objects.Press(ObjectKind::Text, a, 0.5, 0.5);
  EXPECT_EQ(objects.DragOver(ObjectKind::Text, b, 1.0, 1.0),
            objects.Readout((6.0 + 1.0 - 0.5) / 2, (4.0 + 1.0 - 0.5) / 2, boxW / 2, boxW / 2));
  objects.DropOn(ObjectKind::Text, b, 1.0, 1.0);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[a].Left, 3.25);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[a].Top, 2.25);
  EXPECT_FALSE(objects.Dragging());
  // Onto itself: moved by the pointer's travel.
  objects.Press(ObjectKind::Text, a, 0.5, 0.5);
  objects.DropOn(ObjectKind::Text, a, 0.7, 0.5);
  EXPECT_NEAR(designer.CustomTexts[a].Left, 3.35, 1e-12);

  // A picture dropped on a text moves to the text's corner and stores its own position.
  const int p = objects.InsertLogoPicture(Picture(1, 1), QByteArray(), QString(), 0.25, 0.25);
  objects.Press(ObjectKind::Picture, p, 0.1, 0.1);
  objects.DropOn(ObjectKind::Text, b, 0.1, 0.1);
  EXPECT_DOUBLE_EQ(designer.CustomPictures[p].Left, 3.0);
  EXPECT_DOUBLE_EQ(designer.CustomPictures[p].Top, 2.0);
}

TEST_F(Objects, ReplacingAtAnotherZoomKeepsTheFrameOnTheCurrentObject) {
  const int a = Insert("A", 1.0, 1.0);
  const int p = objects.InsertLogoPicture(Picture(2, 1), QByteArray(), QString(), 3.0, 3.0);
  objects.Press(ObjectKind::Text, a, 0, 0);
  const ControlBox before = objects.Frame();
  designer.ZoomFactor = 2.0;
  objects.PlaceAll();
  EXPECT_TRUE(objects.Frame().visible);
  EXPECT_NEAR(objects.Frame().left, objects.TextControls().at(a).left - objects.FrameBorderWidth() / 2, 1e-12);
  EXPECT_DOUBLE_EQ(objects.PictureControls().at(p).left, 6.0);
  designer.ZoomFactor = 1.0;
  objects.PlaceAll();
  EXPECT_DOUBLE_EQ(objects.Frame().left, before.left);
  EXPECT_DOUBLE_EQ(objects.Frame().width, before.width);
  EXPECT_EQ(objects.CurrentObjectIndex(), a);
  objects.DeleteCurrent();
  EXPECT_FALSE(objects.IsLiveText(a));
  EXPECT_TRUE(objects.IsLivePicture(p));
}

TEST_F(Objects, ReplacingAPictureKeepsTheOldOneWhenNothingLoaded) {
  const int p = objects.InsertLogoPicture(Picture(2, 1), QByteArray("old"), QStringLiteral("/old.bmp"));
  objects.Press(ObjectKind::Picture, p, 0, 0);
  objects.choosePicture = [] { return std::optional<DesignerObjects::ChosenPicture>(); };
  objects.EditCurrent();
  EXPECT_EQ(pictures.Find(p)->bytes, QByteArray("old"));
  objects.choosePicture = [] {
    return std::optional<DesignerObjects::ChosenPicture>(
        {Picture(1, 1), QByteArray("new"), QStringLiteral("/new.bmp")});
  };
  objects.EditCurrent();
  EXPECT_EQ(pictures.Find(p)->bytes, QByteArray("new"));
  EXPECT_EQ(designer.CustomPictures[p].Name, QStringLiteral("/new.bmp"));
  EXPECT_DOUBLE_EQ(objects.PictureControls().at(p).width, 1.0);
}

TEST_F(Objects, HoverOutlineFollowsTheTextsWhileMouseTraceIsOn) {
  const int a = Insert("A", 1.0, 1.0);
  const int b = Insert("B", 3.0, 1.0);
  objects.MouseMove(ObjectKind::Text, a);
  EXPECT_EQ(objects.TracedTextIndex(), -1);
  job.MouseTrace = true;
  objects.MouseMove(ObjectKind::Text, a);
  EXPECT_EQ(objects.TracedTextIndex(), a);
  const auto r = objects.TraceRect();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->left, 96);
  EXPECT_EQ(r->right, 192);
  objects.MouseMove(ObjectKind::Text, b);
  EXPECT_EQ(objects.TracedTextIndex(), b);
  objects.DeleteCurLabel(b);
  EXPECT_EQ(objects.TracedTextIndex(), -1);
}

}  // namespace
}  // namespace designer
