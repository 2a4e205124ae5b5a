// The designer in the preview window offscreen: the text editor, inserting through the menus,
// pressing, dragging and double-clicking the items, the picture's Delete key, restoring a
// print job and the closing order.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

#include <cmath>

#include "designeritems.h"
#include "frmnote.h"
#include "frmprint.h"
#include "previewsurface.h"
#include "test_support.h"

namespace designer {
namespace {

using test::Script;

// The editor's answer: types the text (and an angle) and clicks OK.
std::function<void(QWidget*)> Answer(const QString& text, const QString& angle = QString()) {
  return [text, angle](QWidget* form) {
    auto* note = static_cast<frmNote*>(form);
    note->edNote()->setPlainText(text);
    if (!angle.isEmpty()) note->txtAngle()->setText(angle);
    form->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
  };
}

struct Editor : test::PreviewFixture {
  app::FontSlot slot;
};

TEST_F(Editor, CancelEmptiesTheTextAndLeavesTheFont) {
  slot.FontName = QStringLiteral("Arial");
  slot.FontSize = 12;
  slot.FontAngle = 30;
  const app::FontSlot before = slot;
  designer.NoteText = QStringLiteral("Holiday");
  for (const char* how : {"Cancel", "close box"}) {
    frmNote note(slot, designer);
    note.edNote()->setPlainText(QStringLiteral("Changed"));
    note.txtAngle()->setText(QStringLiteral("90"));
    note.show();
    if (QLatin1String(how) == QLatin1String("Cancel"))
      note.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    else
      note.close();
    EXPECT_TRUE(note.NoteCancelled()) << how;
    EXPECT_TRUE(designer.NoteText.isEmpty()) << how;
    EXPECT_EQ(slot.FontAngle, before.FontAngle);
    EXPECT_EQ(slot.FontSize, before.FontSize);
    designer.NoteText = QStringLiteral("Holiday");
  }
}

TEST_F(Editor, OpensFromTheWorkingFont) {
  slot.FontName = QStringLiteral("Arial");
  slot.FontSize = 12;
  slot.FontAngle = 45;
  frmNote note(slot, designer);
  EXPECT_EQ(note.txtAngle()->text(), QStringLiteral("45"));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(note.optAngl(i)->isChecked()) << i;
  EXPECT_EQ(note.PreviewAngle(), 450);
  note.optAngl(2)->click();
  EXPECT_EQ(note.txtAngle()->text(), QStringLiteral("180"));
  EXPECT_EQ(note.PreviewAngle(), 1800);

  // Size 0: the defaults and an empty angle; OK with it keeps the angle.
  app::FontSlot fresh;
  fresh.FontAngle = 77;
  frmNote plain(fresh, designer);
  EXPECT_TRUE(plain.txtAngle()->text().isEmpty());
  plain.edNote()->setPlainText(QStringLiteral("Hi"));
  plain.OkClick();
  EXPECT_EQ(fresh.FontAngle, 77);
  EXPECT_EQ(designer.NoteText, QStringLiteral("Hi"));
}

TEST_F(Editor, TheAngleBoxTakesWholeDegreesUpTo360) {
  frmNote note(slot, designer);
  note.show();
  QLineEdit* angle = note.txtAngle();
  angle->setFocus();
  QTest::keyClicks(angle, QStringLiteral("1a-8"));
  EXPECT_EQ(angle->text(), QStringLiteral("18"));
  QTest::keyClicks(angle, QStringLiteral("0"));
  EXPECT_EQ(angle->text(), QStringLiteral("180"));
  angle->clear();
  QTest::keyClicks(angle, QStringLiteral("3277"));  // 3277 would pass a 16-bit tenth
  EXPECT_EQ(angle->text(), QStringLiteral("327"));
  angle->clear();
  angle->insert(QStringLiteral("-45"));  // as a paste inserts
  EXPECT_TRUE(angle->text().isEmpty());
  angle->insert(QStringLiteral("12x"));
  EXPECT_TRUE(angle->text().isEmpty());
  angle->insert(QStringLiteral("360"));
  EXPECT_EQ(angle->text(), QStringLiteral("360"));
  note.close();
}

TEST_F(Editor, FontSizesAreRoundedHalfToEven) {
  for (auto [chosen, stored] : {std::pair{10.5, 10}, {11.5, 12}, {9.0, 9}}) {
    Script script;
    forms::FontChoice font;
    font.name = QStringLiteral("Arial");
    font.size = chosen;
    script.forms.ExpectFont(font);
    frmNote note(slot, designer);
    note.FontClick();
    EXPECT_EQ(script.forms.Shown().back().flags, 259);
    note.OkClick();
    EXPECT_EQ(slot.FontSize, stored) << chosen;
    EXPECT_TRUE(script.forms.Done());
  }
  // A cancelled font choice changes nothing.
  Script script;
  script.forms.ExpectFont(std::nullopt);
  frmNote note(slot, designer);
  note.FontClick();
  note.OkClick();
  EXPECT_EQ(slot.FontSize, 9);
}

TEST_F(Editor, JustificationCodes) {
  frmNote note(slot, designer);
  note.optJust(2)->click();  // "Center"
  EXPECT_EQ(designer.NoteAlignment, 1);
  note.optJust(1)->click();  // "Right"
  EXPECT_EQ(designer.NoteAlignment, 2);
  note.optJust(0)->click();
  EXPECT_EQ(designer.NoteAlignment, 0);
}

// A CD label job (no rows) in the window, shown.
struct Designer : test::PreviewFixture {
  std::unique_ptr<frmPrint> Open(SHORT reportType = 12, SHORT templateKind = 3) {
    job.ReportType = reportType;
    job.TemplateKind = templateKind;
    auto w = std::make_unique<frmPrint>(Environment());
    drawing().header = -1;
    w->resize(900, 700);
    EXPECT_TRUE(w->Load());
    return w;
  }
  static QPoint Centre(QWidget* w) { return w->rect().center(); }
};

TEST_F(Designer, InsertingTextAndPictureThroughTheMenus) {
  auto w = Open();
  w->show();
  Script script;
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("Summer 2026")));
  w->Action(QStringLiteral("mnuInsText"))->trigger();
  ObjectItem* text = w->Items().TextItem(0);
  ASSERT_TRUE(text);
  EXPECT_TRUE(text->isVisible());
  EXPECT_EQ(designer.CustomTexts[0].Text, QStringLiteral("Summer 2026"));
  EXPECT_TRUE(w->Action(QStringLiteral("mnuFileSave"))->isEnabled());
  EXPECT_TRUE(w->Items().FrameItem()->isVisible());

  QTemporaryDir pics;
  const QString path = pics.filePath(QStringLiteral("logo.bmp"));
  QImage logo(192, 96, QImage::Format_RGB32);
  logo.fill(Qt::blue);
  logo.setDotsPerMeterX(3780);
  logo.setDotsPerMeterY(3780);
  ASSERT_TRUE(logo.save(path, "BMP"));
  script.forms.ExpectOpen(path, QStringLiteral("Select Picture"));
  w->Action(QStringLiteral("mnuInsPic"))->trigger();
  EXPECT_EQ(script.forms.Shown().back().filter,
            QStringLiteral("Pictures (*.bmp;*.jpg;*.gif;*.ico)|*.bmp;*.jpg;*.gif;*.ico"));
  ObjectItem* picture = w->Items().PictureItem(0);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(picture->isVisible());
  const double z = designer.ZoomFactor, dpi = w->Session().Canvas().DpiX();
  EXPECT_NEAR(picture->width(), 2.0 * z * dpi, 1.0);
  EXPECT_EQ(designer.CustomPictures[0].Name, path);
  ASSERT_TRUE(w->Session().Pictures().Contains(0));
  EXPECT_FALSE(w->Session().Pictures().Find(0)->bytes.isEmpty());

  // A cancelled file dialog inserts nothing.
  script.forms.ExpectOpen(std::nullopt);
  w->Action(QStringLiteral("mnuInsPic"))->trigger();
  EXPECT_EQ(w->Objects().PictureObjectCount(), 1);

  // A press frames the pressed item; Delete on the picture's key deletes it.
  QTest::mouseClick(text, Qt::LeftButton, {}, Centre(text));
  EXPECT_TRUE(w->Objects().CurrentIsText());
  QTest::mouseClick(picture, Qt::LeftButton, {}, Centre(picture));
  EXPECT_FALSE(w->Objects().CurrentIsText());
  EXPECT_NEAR(w->Items().FrameItem()->geometry().left(), picture->geometry().left(), 1);
  QTest::keyClick(picture, Qt::Key_Delete);
  EXPECT_FALSE(w->Objects().IsLivePicture(0));
  EXPECT_FALSE(w->Session().Pictures().Contains(0));
  EXPECT_TRUE(script.forms.Done());

  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

TEST_F(Designer, DoubleClickEditsAndDragShowsTheReadout) {
  auto w = Open();
  w->show();
  Script script;
  w->SetZoomFactor(QStringLiteral("200PC"), true);
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("A")));
  double x = 1.0, y = 1.0, wd = 0, ht = 0;
  ASSERT_TRUE(w->Objects().InsertText(x, y, wd, ht));
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("B")));
  x = 4.0;
  ASSERT_TRUE(w->Objects().InsertText(x, y, wd, ht));
  ObjectItem* a = w->Items().TextItem(0);
  ObjectItem* b = w->Items().TextItem(1);
  ASSERT_TRUE(a && b);

  // Drag A 0.5 in on the canvas to the right of B's corner: half that in the record.
  const double dpi = w->Session().Canvas().DpiX();
  const QPointF over(0.5 * dpi, 0);
  const double g = 1 / dpi;  // grabbed one pixel inside A's corner
  QTest::mousePress(a, Qt::LeftButton, {}, QPoint(1, 1));
  QMouseEvent move(QEvent::MouseMove, over, b->mapToGlobal(over), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(a, &move);
  EXPECT_EQ(w->PanelText(QStringLiteral("POS")), w->Objects().Readout((4.0 + 0.5 - g) / 2, (1.0 - g) / 2, 1.0, 1.0));
  QMouseEvent release(QEvent::MouseButtonRelease, over, b->mapToGlobal(over), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(a, &release);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Left, (4.0 + 0.5 - g) / 2);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Top, (1.0 - g) / 2);

  // Zooming away and back keeps the frame on the current object.
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(2, 2));
  w->SetZoomFactor(QStringLiteral("50PC"), true);
  w->SetZoomFactor(QStringLiteral("200PC"), true);
  EXPECT_NEAR(w->Items().FrameItem()->geometry().left(), b->geometry().left(), 1);
  EXPECT_EQ(w->Objects().CurrentObjectIndex(), 1);

  // A double-click edits the text; the Edit menu does the same.
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("B2")));
  QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(designer.CustomTexts[1].Text, QStringLiteral("B2"));
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("B3")));
  w->Action(QStringLiteral("mnuEditEdit"))->trigger();
  EXPECT_EQ(designer.CustomTexts[1].Text, QStringLiteral("B3"));
  w->Action(QStringLiteral("mnuEditDelete"))->trigger();
  EXPECT_FALSE(w->Objects().IsLiveText(1));
  EXPECT_FALSE(w->Action(QStringLiteral("mnuEditDelete"))->isEnabled());
  EXPECT_TRUE(script.forms.Done());

  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

TEST_F(Designer, ThePagePaintsTheTextsLast) {
  auto w = Open();
  w->show();
  Script script;
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("WWWW"), QStringLiteral("90")));
  double x = 1.0, y = 1.0, wd = 0, ht = 0;
  ASSERT_TRUE(w->Objects().InsertText(x, y, wd, ht));
  const TextControl c = w->Objects().TextControls().at(0);
  const double dpi = w->Session().Canvas().DpiX();
  const QImage& page = w->Session().CanvasImage();
  int dark = 0;
  for (int py = int(c.top * dpi); py < int((c.top + c.height) * dpi); ++py)
    for (int px = int(c.left * dpi); px < int((c.left + c.width) * dpi); ++px)
      if (qGray(page.pixel(px, py)) < 250) ++dark;
  EXPECT_GT(dark, 0);
  // Deleted, it is gone from the page.
  w->Objects().DeleteCurLabel(0);
  int left = 0;
  for (int py = int(c.top * dpi); py < int((c.top + c.height) * dpi); ++py)
    for (int px = int(c.left * dpi); px < int((c.left + c.width) * dpi); ++px)
      if (qGray(w->Session().CanvasImage().pixel(px, py)) < 250) ++left;
  EXPECT_LT(left, dark);
  w->close();
}

TEST_F(Designer, ClosingPacksOnlyOnceTheCloseIsCertain) {
  auto w = Open();
  w->show();
  Script script;
  for (const char* t : {"A", "B"}) {
    script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QString::fromLatin1(t)));
    w->InsertTextCommand();
  }
  w->Objects().DeleteCurLabel(0);
  script.forms.ExpectMessage(forms::vbCancel, QStringLiteral("Custom Template"));
  EXPECT_FALSE(w->close());
  // Still at their slots, with their widgets.
  EXPECT_TRUE(DesignerObjects::IsFree(designer.CustomTexts[0]));
  EXPECT_EQ(designer.CustomTexts[1].Text, QStringLiteral("B"));
  EXPECT_TRUE(w->Items().TextItem(1)->isVisible());
  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  EXPECT_TRUE(w->close());
  ASSERT_EQ(designer.CustomTexts.size(), 2);
  EXPECT_EQ(designer.CustomTexts[0].Text, QStringLiteral("B"));
  EXPECT_TRUE(script.forms.Done());
}

TEST_F(Designer, RestoringAPrintJob) {
  {
    job.LabelMedium = 2;
    job.ReportRecordset = test::MakeTable(dir, test::Names(3));
    auto w = Open(1, 0);
    EXPECT_TRUE(w->RestoreFromCustArray(true));
    EXPECT_EQ(w->Session().ZoomPercent(), 90);
    w->close();
  }
  // A custom listing's first text: the editor once; cancelled, the window answers False.
  job.LabelMedium = 0;
  job.ReportRecordset = test::MakeTable(dir, test::Names(3));
  auto w = Open(4, 0);
  Script script;
  script.forms.ExpectWindow(QStringLiteral("frmNote"), [](QWidget* form) { form->close(); });
  EXPECT_FALSE(w->RestoreFromCustArray(true));
  EXPECT_TRUE(script.forms.Done());
  EXPECT_EQ(w->Objects().TextObjectCount(), 0);
  // Restored: the first show asks nothing more.
  w->show();
  EXPECT_TRUE(script.forms.Done());
}

TEST_F(Designer, ACustomListingsFirstTextIsStoredDividedOnce) {
  job.ReportRecordset = test::MakeTable(dir, test::Names(3));
  auto w = Open(4, 0);
  job.LabelCellLeft = 1.0;
  job.LabelCellTop = 2.0;
  w->SetZoomFactor(QStringLiteral("200PC"), false);
  Script script;
  script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QStringLiteral("Listing")));
  w->show();  // the first show inserts it, once
  EXPECT_TRUE(script.forms.Done());
  EXPECT_EQ(w->Objects().TextObjectCount(), 1);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Left, 0.5);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Top, 1.0);
  w->hide();
  w->show();
  EXPECT_EQ(w->Objects().TextObjectCount(), 1);
  EXPECT_TRUE(script.forms.Done());
  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

// A mouse event sent to a widget at a point of it, as the platform delivers it.
void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                : type == QEvent::MouseMove        ? Qt::MouseButtons(button)
                                                                   : Qt::MouseButtons(button);
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

struct CanvasWindow : Designer {
  // Inserts a text through the editor at (x, y) canvas inches.
  void Insert(frmPrint& w, Script& script, const char* text, double x, double y) {
    script.forms.ExpectWindow(QStringLiteral("frmNote"), Answer(QString::fromUtf8(text)));
    double wd = 0, ht = 0;
    ASSERT_TRUE(w.Objects().InsertText(x, y, wd, ht));
  }
  // The window at 100 % on a 96 dpi canvas, so that canvas inches are stored inches and the
  // handles are several pixels wide.
  std::unique_ptr<frmPrint> OpenAt100(SHORT reportType = 12, SHORT templateKind = 3) {
    job.ReportType = reportType;
    job.TemplateKind = templateKind;
    PreviewEnvironment env = Environment();
    env.canvasDpi = 96;
    auto w = std::make_unique<frmPrint>(env);
    drawing().header = -1;
    w->resize(900, 700);
    EXPECT_TRUE(w->Load());
    w->show();
    w->SetZoomFactor(QStringLiteral("100PC"), true);
    return w;
  }
  static QWidget* CanvasOf(frmPrint& w) { return w.findChild<QWidget*>(QStringLiteral("prnView")); }
  static QPoint Px(frmPrint& w, double x, double y) {
    const double dpi = w.Session().Canvas().DpiX();
    return QPoint(static_cast<int>(std::lround(x * dpi)), static_cast<int>(std::lround(y * dpi)));
  }
};

TEST_F(CanvasWindow, ABandOnTheCanvasSelectsAndTheDeleteKeyDeletes) {
  auto w = OpenAt100();
  Script script;
  Insert(*w, script, "North", 1, 1);
  Insert(*w, script, "South", 1, 2.5);
  Insert(*w, script, "Far", 5, 5);
  QWidget* canvas = CanvasOf(*w);
  SendMouse(canvas, QEvent::MouseButtonPress, Px(*w, 3, 4));
  SendMouse(canvas, QEvent::MouseMove, Px(*w, 2, 2));
  SendMouse(canvas, QEvent::MouseMove, Px(*w, 0.5, 0.5));
  EXPECT_TRUE(w->Objects().Outline());
  EXPECT_TRUE(w->PanelText(QStringLiteral("POS")).startsWith(QStringLiteral("POSITION: X = 0.500   Y = 0.500")));
  SendMouse(canvas, QEvent::MouseButtonRelease, Px(*w, 0.5, 0.5));
  EXPECT_FALSE(w->Objects().Outline());
  ASSERT_TRUE(w->Objects().MultipleSelection());
  EXPECT_TRUE(w->Items().FrameItem()->isVisible());
  // The click that follows the release sets the Edit menu; the selected items let the mouse
  // through.
  EXPECT_FALSE(w->Action(QStringLiteral("mnuEditEdit"))->isEnabled());
  for (const char* name : {"mnuEditDelete", "mnuEditDup", "mnuEditDupPage"})
    EXPECT_TRUE(w->Action(QString::fromLatin1(name))->isEnabled()) << name;
  EXPECT_TRUE(w->Items().TextItem(0)->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_FALSE(w->Items().TextItem(2)->isEnabled());
  EXPECT_TRUE(w->Action(QStringLiteral("mnuEditDup"))->isVisible());

  // Dragged by a point inside: the outline follows the pointer, the release moves both.
  SendMouse(canvas, QEvent::MouseButtonPress, Px(*w, 1.5, 1.5));
  SendMouse(canvas, QEvent::MouseMove, Px(*w, 2, 1.75));
  SendMouse(canvas, QEvent::MouseMove, Px(*w, 2.5, 2));
  ASSERT_TRUE(w->Objects().Outline());
  EXPECT_EQ(QPoint(w->Objects().Outline()->left, w->Objects().Outline()->top), Px(*w, 2, 1.5));
  SendMouse(canvas, QEvent::MouseButtonRelease, Px(*w, 2.5, 2));
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Left, 2);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[1].Top, 3);
  EXPECT_TRUE(w->Objects().MultipleSelection());

  // Duplicate copies the two by a quarter inch; Delete on the canvas takes the copies.
  w->Action(QStringLiteral("mnuEditDup"))->trigger();
  EXPECT_EQ(w->Objects().TextObjectCount(), 5);
  ASSERT_TRUE(w->Items().TextItem(3));
  QKeyEvent del(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(canvas, &del);
  EXPECT_EQ(w->Objects().TextObjectCount(), 3);
  EXPECT_FALSE(w->Objects().MultipleSelection());
  EXPECT_TRUE(w->Items().TextItem(0)->isEnabled());
  EXPECT_FALSE(w->Items().TextItem(0)->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_TRUE(script.forms.Done());
  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

TEST_F(CanvasWindow, ResizingByAHandleAndDroppingOnTheCanvas) {
  auto w = OpenAt100();
  Script script;
  Insert(*w, script, "Label", 1, 1);
  QWidget* canvas = CanvasOf(*w);
  ObjectItem* text = w->Items().TextItem(0);
  // Over the frame's bottom-right corner the sizing arrow shows; a press inside the text's
  // own corner takes the handle.
  const ControlBox f = w->Objects().Frame();
  SendMouse(canvas, QEvent::MouseMove, Px(*w, f.left + f.width, f.top + f.height));
  EXPECT_EQ(canvas->cursor().shape(), Qt::SizeFDiagCursor);
  const QPoint corner(text->width() - 1, text->height() - 1);
  SendMouse(text, QEvent::MouseButtonPress, corner);
  EXPECT_TRUE(w->Objects().Gesture().resizing);
  EXPECT_EQ(script.forms.ScreenMousePointer(), forms::vbSizeNWSE);
  const QPoint to = text->mapFrom(canvas, Px(*w, 3, 2.5));
  SendMouse(text, QEvent::MouseMove, to);
  SendMouse(text, QEvent::MouseMove, to);
  EXPECT_TRUE(w->PanelText(QStringLiteral("POS")).contains(QStringLiteral("SIZE: Width = 2.000   Height = 1.500")));
  SendMouse(text, QEvent::MouseButtonRelease, to);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Width, 2);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Height, 1.5);
  EXPECT_EQ(script.forms.ScreenMousePointer(), forms::vbDefault);
  EXPECT_EQ(text->width(), 192);

  // Dragged by its middle onto the bare canvas: placed there and framed.
  SendMouse(text, QEvent::MouseButtonPress, QPoint(96, 48));
  const QPoint drop = text->mapFrom(canvas, Px(*w, 5, 5));
  SendMouse(text, QEvent::MouseMove, drop);
  EXPECT_EQ(w->PanelText(QStringLiteral("POS")), w->Objects().Readout(4, 4.5, 2, 1.5));
  SendMouse(text, QEvent::MouseButtonRelease, drop);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Left, 4);
  EXPECT_DOUBLE_EQ(designer.CustomTexts[0].Top, 4.5);
  EXPECT_EQ(text->geometry().topLeft(), Px(*w, 4, 4.5));
  EXPECT_TRUE(w->Items().FrameItem()->isVisible());
  EXPECT_TRUE(script.forms.Done());
  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

TEST_F(CanvasWindow, DuplicatePageOnTheFloppySheet) {
  auto w = OpenAt100(7, 0);
  EXPECT_TRUE(w->Action(QStringLiteral("mnuEditDupPage"))->isVisible());
  Script script;
  // Across columns 1 and 2: refused, nothing copied.
  Insert(*w, script, "Across", 2.5, 1);
  QTest::mouseClick(w->Items().TextItem(0), Qt::LeftButton, {}, QPoint(2, 2));
  script.forms.ExpectMessage(forms::vbOK, QStringLiteral("Selection is out of label boundries."));
  w->Action(QStringLiteral("mnuEditDupPage"))->trigger();
  EXPECT_EQ(w->Objects().TextObjectCount(), 1);
  // The refused text stays selected until a press elsewhere; then it is deleted.
  EXPECT_TRUE(w->Objects().MultipleSelection());
  QTest::mouseClick(CanvasOf(*w), Qt::LeftButton, {}, Px(*w, 7, 9));
  EXPECT_FALSE(w->Objects().MultipleSelection());
  QTest::mouseClick(w->Items().TextItem(0), Qt::LeftButton, {}, QPoint(2, 2));
  w->Action(QStringLiteral("mnuEditDelete"))->trigger();
  EXPECT_EQ(w->Objects().TextObjectCount(), 0);
  // In column 1, row 1, clicked: copied into the 14 other cells.
  Insert(*w, script, "Disk", 0.5, 0.75);
  QTest::mouseClick(w->Items().TextItem(w->Objects().CurrentObjectIndex()), Qt::LeftButton, {}, QPoint(2, 2));
  w->Action(QStringLiteral("mnuEditDupPage"))->trigger();
  EXPECT_EQ(w->Objects().TextObjectCount(), 15);
  EXPECT_FALSE(w->Items().FrameItem()->isVisible());
  int shown = 0;
  for (int i = 0; i < 16; ++i) shown += w->Items().TextItem(i) != nullptr;
  EXPECT_EQ(shown, 15);
  EXPECT_TRUE(script.forms.Done());
  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

}  // namespace
}  // namespace designer
