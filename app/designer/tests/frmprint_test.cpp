// The preview window offscreen: what Load shows, the go-to-page dialog, the custom zoom
// prompt, units, the recalculation notice, the text labels and closing with designer objects.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include "frmgoto.h"
#include "frmprint.h"
#include "test_support.h"
#include "windowlinks.h"

namespace designer {
namespace {

using test::Names;
using test::Script;

struct Window : test::PreviewFixture {
  std::unique_ptr<frmPrint> Open(int rows, SHORT type = 2) {
    job.ReportType = type;
    job.ReportRecordset = rows ? test::MakeTable(dir, Names(rows)) : nullptr;
    auto w = std::make_unique<frmPrint>(Environment());
    drawing().header = 7.15;  // ten rows a page
    drawing().title = QStringLiteral("Files - With Note");
    w->resize(700, 600);
    EXPECT_TRUE(w->Load());
    return w;
  }
};

TEST_F(Window, LoadShowsTheFirstPage) {
  auto w = Open(45);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Print Preview - Files - With Note"));
  EXPECT_EQ(w->PanelText(QStringLiteral("PAGE")), QStringLiteral("Page 1 of 5"));
  EXPECT_EQ(w->PanelText(QStringLiteral("MEASURE")), QStringLiteral("Inches"));
  EXPECT_EQ(w->Action(QStringLiteral("Page"))->text(), QStringLiteral("Page 1"));
  EXPECT_EQ(w->Action(QStringLiteral("Zoom"))->text(), QStringLiteral("Zoom: 100%"));
  EXPECT_TRUE(w->Action(QStringLiteral("Next"))->isEnabled());
  EXPECT_FALSE(w->Action(QStringLiteral("Prev"))->isEnabled());
  EXPECT_TRUE(w->Action(QStringLiteral("Find"))->isVisible());
  EXPECT_FALSE(w->Action(QStringLiteral("mnuEditFindNext"))->isEnabled());
  EXPECT_FALSE(w->Action(QStringLiteral("mnuEditDupPage"))->isVisible());
  w->Action(QStringLiteral("Last"))->trigger();
  EXPECT_EQ(w->PanelText(QStringLiteral("PAGE")), QStringLiteral("Page 5 of 5"));
  EXPECT_FALSE(w->Action(QStringLiteral("Next"))->isEnabled());
  EXPECT_TRUE(w->Action(QStringLiteral("First"))->isEnabled());
  w->close();
}

TEST_F(Window, TheScrollBarsCornerSitsBetweenThemAlsoWhenLaidOutBeforeTheShow) {
  auto w = Open(45);
  w->SetZoomFactor(QStringLiteral("200PC"), true);
  w->resize(300, 300);  // both scroll bars, laid out as the window is shown
  w->show();
  auto* client = w->findChild<QWidget*>(QStringLiteral("client"));
  auto* corner = w->findChild<QWidget*>(QStringLiteral("picCorner"));
  auto* h = w->findChild<QWidget*>(QStringLiteral("HScroll1"));
  auto* v = w->findChild<QWidget*>(QStringLiteral("VScroll1"));
  ASSERT_TRUE(client && corner && h && v);
  ASSERT_TRUE(h->isVisible() && v->isVisible());
  EXPECT_TRUE(corner->isVisible());
  EXPECT_EQ(corner->geometry().bottomRight(), client->rect().bottomRight());
  EXPECT_EQ(corner->x(), v->x());
  EXPECT_EQ(corner->y(), h->y());
  w->close();
}

TEST_F(Window, FindIsOfferedFromTenRows) {
  for (auto [rows, offered] : {std::pair{9, false}, {10, true}}) {
    auto w = Open(rows);
    for (const char* name : {"Find", "mnuEditFind", "mnuEditFindNext"})
      EXPECT_EQ(w->Action(QString::fromLatin1(name))->isVisible(), offered) << rows << name;
    w->close();
  }
}

TEST_F(Window, EmptyReportIsRefused) {
  Script script;
  script.forms.ExpectMessage(forms::vbOK, QStringLiteral("Invalid recordset specified!"));
  job.ReportRecordset = test::MakeTable(dir, {});
  frmPrint w(Environment());
  EXPECT_FALSE(w.Load());
  EXPECT_EQ(shell.OpenDialogCount, 0);
  EXPECT_TRUE(script.forms.Done());
}

TEST_F(Window, GotoDialogChecksItsEntry) {
  auto w = Open(45);
  Script script;
  const char* const refused[] = {"0", "-3", "32000", "abc", ""};
  script.forms.ExpectWindow(QStringLiteral("frmGoto"), [&](QWidget* form) {
    auto* entry = form->findChild<QLineEdit*>(QStringLiteral("txtPage"));
    auto* ok = form->findChild<QPushButton*>(QStringLiteral("OKButton"));
    for (const char* text : refused) {
      entry->setText(QString::fromLatin1(text));
      ok->click();
      EXPECT_TRUE(form->isVisible()) << text;
      EXPECT_EQ(entry->selectedText(), entry->text());
    }
    entry->setText(QStringLiteral("31999"));
    ok->click();
  });
  for (size_t i = 0; i < std::size(refused); ++i)
    script.forms.ExpectMessage(
        forms::vbOK, QStringLiteral("You have entered an invalid page number.  Please enter a valid numeric value."));
  w->Action(QStringLiteral("Page"))->trigger();
  EXPECT_TRUE(script.forms.Done());
  EXPECT_EQ(w->Session().Pages().CurrentPage, 5);
  for (const forms::ShownModal& shown : script.forms.Shown())
    if (shown.kind == forms::ModalKind::Message) {
      EXPECT_EQ(shown.title, QStringLiteral("ERROR!"));
      EXPECT_EQ(shown.buttons, forms::vbCritical);
    }
  w->close();
}

TEST_F(Window, CustomZoomTakesTwentyFiveToThreeHundred) {
  auto w = Open(45);
  Script script;
  script.forms.ExpectWindow(QStringLiteral("frmLogin"), [&](QWidget* form) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Custom Zoom"));
    auto* entry = form->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    auto* ok = form->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    EXPECT_EQ(entry->text(), QStringLiteral("100"));
    for (const char* text : {"24", "301"}) {
      entry->setText(QString::fromLatin1(text));
      ok->click();
      EXPECT_TRUE(form->isVisible()) << text;
    }
    entry->setText(QStringLiteral("25"));
    ok->click();
  });
  script.forms.ExpectMessage(forms::vbOK, QStringLiteral("Please enter a numeric value between 24 and 301."));
  script.forms.ExpectMessage(forms::vbOK, QStringLiteral("Please enter a numeric value between 24 and 301."));
  w->Action(QStringLiteral("mnuCustom"))->trigger();
  EXPECT_TRUE(script.forms.Done());
  EXPECT_DOUBLE_EQ(designer.ZoomFactor, 0.25);
  EXPECT_EQ(w->Action(QStringLiteral("Zoom"))->text(), QStringLiteral("Zoom: 25%"));

  script.forms.ExpectWindow(QStringLiteral("frmLogin"), [&](QWidget* form) {
    auto* entry = form->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    entry->setText(QStringLiteral("300"));
    form->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  });
  w->Action(QStringLiteral("mnuCustom"))->trigger();
  EXPECT_DOUBLE_EQ(designer.ZoomFactor, 3.0);
  EXPECT_FALSE(app::Links().SetZoomFactor);  // the prompt's link is handed back
  w->close();
}

TEST_F(Window, ZoomSurvivesTextLabelsOff) {
  auto w = Open(45);
  w->Action(QStringLiteral("mnu150"))->trigger();
  EXPECT_EQ(w->Action(QStringLiteral("Zoom"))->text(), QStringLiteral("Zoom: 150%"));
  QAction* labels = w->Action(QStringLiteral("mnuTxtLab"));
  labels->trigger();
  EXPECT_FALSE(labels->isChecked());
  for (const char* key : {"Print", "Prev", "Next", "Zoom", "Setup", "Close"})
    EXPECT_TRUE(w->Action(QString::fromLatin1(key))->text().isEmpty()) << key;
  // The zoom is kept as a number, not read back from the emptied caption.
  EXPECT_DOUBLE_EQ(designer.ZoomFactor, 1.5);
  EXPECT_EQ(w->Session().ZoomPercent(), 150);
  labels->trigger();
  EXPECT_EQ(w->Action(QStringLiteral("Zoom"))->text(), QStringLiteral("Zoom"));
  EXPECT_EQ(w->Action(QStringLiteral("Setup"))->text(), QStringLiteral("Label Setup"));
  w->close();
}

TEST_F(Window, UnitChangeTouchesOnlyThePanel) {
  auto w = Open(45);
  w->GotoLastPage(2);
  const QImage before = w->Session().CanvasImage().copy();
  const PageState pages = w->Session().Pages();
  const int passes = drawing().countingPasses;
  const size_t rowsDrawn = drawing().drawn[2].size();
  const struct {
    const char* action;
    const char* panel;
    SHORT scale;
    const char* format;
  } cases[] = {{"mnuMesMm", "Millimeters", 6, "0.0"},
               {"mnuMesCm", "Centimeters", 7, "0.00"},
               {"mnuMesPix", "Pixels", 3, "0"},
               {"mnuMesInch", "Inches", 5, "0.000"}};
  for (const auto& c : cases) {
    w->Action(QString::fromLatin1(c.action))->trigger();
    EXPECT_EQ(w->PanelText(QStringLiteral("MEASURE")), QString::fromLatin1(c.panel));
    EXPECT_EQ(w->Session().UnitScale(), c.scale);
    EXPECT_EQ(w->Session().UnitFormat(), QString::fromLatin1(c.format));
  }
  EXPECT_EQ(w->PanelText(QStringLiteral("PAGE")), QStringLiteral("Page 2 of 5"));
  EXPECT_EQ(w->Session().CanvasImage(), before);
  EXPECT_EQ(w->Session().Pages().PageStarts, pages.PageStarts);
  EXPECT_EQ(drawing().countingPasses, passes);
  EXPECT_EQ(drawing().drawn[2].size(), rowsDrawn);
  w->close();
}

TEST_F(Window, RecalculationShowsItsNotice) {
  auto w = Open(25);
  PageState& pages = w->Session().Pages();
  pages = FreshPages();
  job.ReportRecordset->MoveFirst();
  pages.PageStarts[0] = job.ReportRecordset->GetBookmark();
  w->DoPageRecalc();
  EXPECT_EQ(w->Notices(), (QStringList{QStringLiteral("Recalculating report format for page 1"),
                                       QStringLiteral("Recalculating report format for page 2"),
                                       QStringLiteral("Recalculating report format for page 3")}));
  EXPECT_EQ(w->GetNumPages(), 3);
  w->close();
}

TEST_F(Window, ReformatWalksEveryPageAgainAndEndsAtTheZoomItHad) {
  auto w = Open(25);
  w->SetZoomFactor(QStringLiteral("150PC"), true);
  w->Reformat();
  EXPECT_FALSE(w->Notices().isEmpty());
  EXPECT_EQ(w->GetNumPages(), 3);
  EXPECT_EQ(w->Session().ZoomPercent(), 150);
  EXPECT_EQ(w->Action(QStringLiteral("Zoom"))->text(), QStringLiteral("Zoom: 150%"));
  EXPECT_TRUE(w->Session().CanvasVisible());
  w->close();
}

TEST_F(Window, UnloadResetsTheStartCellAndItsMarginsTogether) {
  for (bool restored : {false, true}) {
    SCOPED_TRACE(restored);
    pageSetup.StartPosition = 7;
    pageSetup.TopMargin = 4.5;
    pageSetup.LeftMargin = 3.0625;
    job.ReportRecordset = test::MakeTable(dir, Names(3));
    PreviewSession session(Environment());
    session.Load(restored);
    session.Unload(restored);
    EXPECT_EQ(pageSetup.StartPosition, restored ? 7 : 0);
    EXPECT_EQ(pageSetup.TopMargin, restored ? 4.5 : 0.5);
    EXPECT_EQ(pageSetup.LeftMargin, restored ? 3.0625 : 0.5);
  }
}

TEST_F(Window, ClosingAsksAboutDesignerObjects) {
  auto w = Open(45);
  w->show();
  app::CustomTextRecord text;
  text.Left = text.Top = 1.0;
  text.Text = QStringLiteral("Holiday");
  designer.CustomTexts.insert(0, text);
  Script script;
  const QString question =
      QStringLiteral("Would you like to save the custom graphics and text on this page as a Custom Template file?");
  // Cancel keeps the window; Yes with a save that is cancelled keeps it too; No closes it.
  script.forms.ExpectMessage(forms::vbCancel, question);
  EXPECT_FALSE(w->close());
  EXPECT_TRUE(w->isVisible());
  script.forms.ExpectMessage(forms::vbYes, question).ExpectSave(std::nullopt, QStringLiteral("Save Custom Template"));
  EXPECT_FALSE(w->close());
  EXPECT_EQ(shell.OpenDialogCount, 1);
  EXPECT_EQ(designer.CustomTexts.size(), 3);
  script.forms.ExpectMessage(forms::vbNo, question);
  EXPECT_TRUE(w->close());
  EXPECT_EQ(shell.OpenDialogCount, 0);
  EXPECT_TRUE(script.forms.Done());
  EXPECT_EQ(script.forms.Shown().front().title, QStringLiteral("Save Changes?"));
  EXPECT_EQ(script.forms.Shown().front().buttons, forms::vbYesNoCancel + forms::vbQuestion);
}

}  // namespace
}  // namespace designer
