// The preview's session over a report table: loading a job, page starts, the page count, the
// go-to operations, find in report order, and a repaint that leaves paging alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace designer {
namespace {

using test::Names;
using test::PreviewFixture;
using test::Script;

// A page whose body holds 10 rows of 0.25 in: header 7.15 in on a letter page with 0.5 in
// margins and a 0.25 in footer leaves 2.6 in.
struct TenRowsPerPage : PreviewFixture {
  std::unique_ptr<PreviewSession> Open(int rows, std::vector<std::string> names = {}) {
    if (names.empty()) names = Names(rows);
    job.ReportRecordset = test::MakeTable(dir, names);
    auto session = std::make_unique<PreviewSession>(Environment());
    drawing().header = 7.15;
    EXPECT_TRUE(session->Load(false).ok);
    return session;
  }
  // Every row drawn, in order, with each page drawn once.
  std::vector<std::string> DrawAll(PreviewSession& s) {
    drawing().drawn.clear();
    s.Paging().GotoFirstPage();
    while (s.Controls().next) s.Paging().GotoNextPage();
    std::vector<std::string> rows;
    for (auto& [page, names] : drawing().drawn) rows.insert(rows.end(), names.begin(), names.end());
    return rows;
  }
};

TEST_F(TenRowsPerPage, PageCountsFromRows) {
  for (auto [rows, pages] : {std::pair{25, 3}, {30, 3}, {31, 4}, {10, 1}, {1, 1}}) {
    auto s = Open(rows);
    EXPECT_EQ(s->Paging().GetNumPages(), pages) << rows;
    EXPECT_TRUE(s->Pages().LastPageKnown);
    EXPECT_EQ(s->Controls().pagePanel, QStringLiteral("Page 1 of %1").arg(pages));
    EXPECT_EQ(s->Controls().next, pages > 1);
    EXPECT_EQ(DrawAll(*s), Names(rows));
  }
}

TEST_F(TenRowsPerPage, WrappedRowsOnLaterPagesAreAllShown) {
  // Page 1 holds ten one-line rows; from then on every row takes two lines.
  std::vector<std::string> names = Names(40);
  for (size_t i = 10; i < names.size(); ++i) names[i] += "|note";
  auto s = Open(40, names);
  EXPECT_EQ(s->Paging().GetNumPages(), 7);  // 10 + 6 x 5 rows
  EXPECT_EQ(DrawAll(*s), names);
}

TEST_F(TenRowsPerPage, DescendingOrderStartsAtTheLastRecord) {
  job.DescendingOrder = true;
  auto s = Open(25);
  std::vector<std::string> reversed = Names(25);
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(DrawAll(*s), reversed);
}

TEST_F(TenRowsPerPage, GoToOperations) {
  auto s = Open(45);  // 5 pages
  PreviewPaging& p = s->Paging();
  p.GotoPrevPage();
  EXPECT_EQ(s->Pages().CurrentPage, 1);
  p.GotoLastPage(2);
  EXPECT_EQ(s->Pages().CurrentPage, 2);
  EXPECT_EQ(s->Controls().pagePanel, QStringLiteral("Page 2 of 5"));
  p.GotoLastPage(99);
  EXPECT_EQ(s->Pages().CurrentPage, 5);
  p.GotoNextPage();
  EXPECT_EQ(s->Pages().CurrentPage, 5);
  EXPECT_FALSE(s->Controls().next);
  EXPECT_TRUE(s->Controls().prev);
  p.GotoLastPage();
  EXPECT_EQ(s->Pages().CurrentPage, 5);
  p.GotoFirstPage();
  EXPECT_EQ(s->Controls().pagePanel, QStringLiteral("Page 1 of 5"));
  EXPECT_FALSE(s->Controls().first);
}

TEST_F(TenRowsPerPage, ProvisionalCountWalksOnlyToThePageAsked) {
  auto s = Open(45);
  // As after a layout change: one page known, the count open again.
  s->Pages() = FreshPages();
  job.ReportRecordset->MoveFirst();
  s->Pages().PageStarts[0] = job.ReportRecordset->GetBookmark();
  const int before = drawing().countingPasses;
  s->Paging().GotoLastPage(2);
  EXPECT_EQ(s->Pages().CurrentPage, 2);
  EXPECT_TRUE(s->Pages().LastPageKnown);  // showing a page with rows left makes the count final
  EXPECT_EQ(s->Paging().GetNumPages(), 5);
  EXPECT_GT(drawing().countingPasses, before);
}

TEST_F(TenRowsPerPage, RecalculationWalksEveryPage) {
  auto s = Open(45);
  s->Pages() = FreshPages();
  job.ReportRecordset->MoveFirst();
  s->Pages().PageStarts[0] = job.ReportRecordset->GetBookmark();
  std::vector<SHORT> noticed;
  s->Paging().DoPageRecalc([&](SHORT page) { noticed.push_back(page); });
  EXPECT_EQ(noticed, (std::vector<SHORT>{1, 2, 3, 4, 5}));
  EXPECT_EQ(s->Pages().CurrentPage, 1);
  EXPECT_TRUE(s->Pages().LastPageKnown);
  EXPECT_EQ(s->Paging().GetNumPages(), 5);
}

TEST_F(TenRowsPerPage, APageThatTakesNoRowEndsTheCount) {
  // Row 11 is taller than the body: no page can take it.
  std::vector<std::string> names = Names(20);
  names[10] = "tall|1|2|3|4|5|6|7|8|9|10|11";
  auto s = Open(20, names);
  EXPECT_TRUE(s->Pages().LastPageKnown);
  EXPECT_EQ(s->Paging().GetNumPages(), 2);
  s->Paging().GotoLastPage(99);
  EXPECT_EQ(s->Pages().CurrentPage, 2);
}

TEST_F(TenRowsPerPage, RepaintLeavesPagingAlone) {
  auto s = Open(45);
  s->Paging().GotoLastPage(3);
  const PageState before = s->Pages();
  const int passes = drawing().countingPasses;
  s->DoPrintPreview();
  s->DoPrintPreview();
  const PageState& after = s->Pages();
  EXPECT_EQ(after.PageStarts, before.PageStarts);
  EXPECT_EQ(after.CurrentPage, before.CurrentPage);
  EXPECT_EQ(after.RowsOnPage, before.RowsOnPage);
  EXPECT_EQ(after.LastPageKnown, before.LastPageKnown);
  EXPECT_EQ(drawing().countingPasses, passes);  // visited pages are not measured again
}

TEST_F(TenRowsPerPage, FindInReportOrder) {
  std::vector<std::string> names = Names(45);
  names[23] = "Holiday PHOTOS 2019";
  names[41] = "more photos";
  auto s = Open(45, names);
  Script script;
  QString text = QStringLiteral("photos");
  // Names(45) holds "photos_2019_..." at rows 2, 8, 14, ...: the first hit is row 2 of page 1.
  ASSERT_TRUE(s->Paging().FindFirstOccurance(text, false));
  EXPECT_EQ(text, QStringLiteral("PHOTOS"));
  EXPECT_EQ(designer.FindPage, 1);
  EXPECT_EQ(designer.FindRow, 2);
  s->Paging().FindText = text;
  s->Paging().FindNextItem();
  EXPECT_EQ(designer.FindPage, 1);
  EXPECT_EQ(designer.FindRow, 8);
  // A hit on a later page shows that page.
  QString holiday = QStringLiteral("holiday");
  ASSERT_TRUE(s->Paging().FindFirstOccurance(holiday, false));
  EXPECT_EQ(designer.FindPage, 3);
  EXPECT_EQ(designer.FindRow, 4);
  EXPECT_EQ(s->Pages().CurrentPage, 3);
  EXPECT_EQ(s->TakeFoundRow(), std::make_pair(0.5 + 7.15 + 0.75, 0.5 + 7.15 + 1.0));
  // After the last hit: the resumed search ends and Find Next is off.
  s->Paging().FindText = holiday;
  script.forms.ExpectMessage(forms::vbOK, QStringLiteral("Xendora has finished searching the report."));
  s->Paging().FindNextItem();
  EXPECT_FALSE(s->Paging().FindNextEnabled());
  EXPECT_EQ(designer.FindPage, 0);
  EXPECT_EQ(s->Pages().CurrentPage, 3);
  // Nothing found; and a text only in another column is not found.
  QString nothing = QStringLiteral("1024");
  script.forms.ExpectMessage(forms::vbOK, QStringLiteral("The search item was not found."));
  EXPECT_FALSE(s->Paging().FindFirstOccurance(nothing, false));
  EXPECT_TRUE(script.forms.Done());
  ASSERT_FALSE(script.forms.Shown().empty());
  EXPECT_EQ(script.forms.Shown().back().title, QStringLiteral("Find"));
  EXPECT_EQ(script.forms.Shown().back().buttons, forms::vbInformation);
}

TEST_F(TenRowsPerPage, FindWalksDescendingReports) {
  job.DescendingOrder = true;
  std::vector<std::string> names = Names(25);
  names[0] = "target early";
  names[20] = "target late";
  auto s = Open(25, names);
  QString text = QStringLiteral("target");
  ASSERT_TRUE(s->Paging().FindFirstOccurance(text, false));
  // In report order row 20 comes first: page 1, row 5 (rows 24, 23, 22, 21, 20).
  EXPECT_EQ(designer.FindPage, 1);
  EXPECT_EQ(designer.FindRow, 5);
  s->Paging().FindText = text;
  s->Paging().FindNextItem();
  EXPECT_EQ(designer.FindPage, 3);  // row 0 is the last: page 3, row 5
  EXPECT_EQ(designer.FindRow, 5);
}

TEST(PageControls, CounterAndButtons) {
  const struct {
    SHORT page, pages;
    bool known, whole;
    const char* panel;
    bool first, prev, next, last, go;
  } cases[] = {
      {1, 1, false, false, "Page 1 of 1+", false, false, true, true, true},
      {2, 3, false, false, "Page 2 of 3+", true, true, true, true, true},
      {1, 1, true, false, "Page 1 of 1", false, false, false, false, false},
      {1, 4, true, false, "Page 1 of 4", false, false, true, true, true},
      {4, 4, true, false, "Page 4 of 4", true, true, false, false, true},
      {1, 0, true, true, "Page 1 of 1", false, false, false, false, false},
  };
  for (const auto& c : cases) {
    PageState pages;
    pages.PageStarts.resize(c.pages + 2);
    pages.CurrentPage = c.page;
    pages.LastPageKnown = c.known;
    const PageControls got = ComputePageControls(pages, c.whole);
    EXPECT_EQ(got.pagePanel, QString::fromLatin1(c.panel));
    EXPECT_EQ(got.pageButton, QStringLiteral("Page %1").arg(c.page));
    EXPECT_EQ(std::tuple(got.first, got.prev, got.next, got.last, got.page),
              std::tuple(c.first, c.prev, c.next, c.last, c.go))
        << c.panel;
  }
}

struct LoadedJob : PreviewFixture {};

TEST_F(LoadedJob, PageSizeDefaultZoomAndFind) {
  const struct {
    SHORT type, medium;
    int rows;
    double width, height, zoom;
    bool find, dupPage;
  } cases[] = {
      {7, 1, 0, 2.9, 2.4, 1.0, false, true},     // a floppy label, whatever the paper
      {2, 2, 12, 8.5, 11, 0.9, true, false},     // a Zip label sheet
      {1, 0, 10, 8.5, 11, 0.85, true, false},    // a document header report with 10 rows
      {1, 0, 9, 8.5, 11, 0.85, false, false},    // ... with 9 rows
      {12, 3, 0, 8.5, 11, 0.85, false, false},   // user-defined CD labels need no rows
      {3, 0, 30, 8.5, 11, 1.0, true, false},
      {4, 0, 30, 8.5, 11, 1.0, false, false},
      {9, 0, 30, 8.5, 11, 1.0, true, true},
  };
  for (const auto& c : cases) {
    job = app::PrintJob{};
    job.ReportType = c.type;
    job.LabelMedium = c.medium;
    job.ReportRecordset = c.rows ? test::MakeTable(dir, Names(c.rows)) : nullptr;
    PreviewSession s(Environment());
    if (c.type == 7 || c.type == 12) drawing().header = -1;
    const PreviewSession::LoadResult r = s.Load(false);
    ASSERT_TRUE(r.ok) << c.type;
    EXPECT_DOUBLE_EQ(job.PageWidth, c.width);
    EXPECT_DOUBLE_EQ(job.PageHeight, c.height);
    EXPECT_DOUBLE_EQ(designer.ZoomFactor, c.zoom);
    EXPECT_DOUBLE_EQ(s.CanvasWidth(), c.width * c.zoom);
    EXPECT_EQ(r.findOffered, c.find) << c.type << "/" << c.rows;
    EXPECT_EQ(r.dupPageAllowed, c.dupPage) << c.type;
    EXPECT_EQ(shell.OpenDialogCount, 1);
    s.Unload(false);
    EXPECT_EQ(shell.OpenDialogCount, 0);
    EXPECT_EQ(job.TemplateKind, -1);
    EXPECT_FALSE(job.ReportRecordset);
  }
}

TEST_F(LoadedJob, PrintableBoxFollowsZoomAndPageSetup) {
  job.ReportRecordset = test::MakeTable(dir, Names(3));
  pageSetup.OffsetX = 0.1;
  PreviewSession s(Environment());
  ASSERT_TRUE(s.Load(false).ok);
  EXPECT_DOUBLE_EQ(job.PrintLeft, 0.6);
  EXPECT_DOUBLE_EQ(job.PrintRight, 8.5 - 0.4);
  EXPECT_TRUE(s.SetZoomFactor(QStringLiteral("200PC"), true));
  EXPECT_DOUBLE_EQ(s.CanvasWidth(), 17.0);
  EXPECT_DOUBLE_EQ(job.PrintLeft, 1.2);
  EXPECT_FALSE(s.SetZoomFactor(QStringLiteral("Zoom"), true));
  EXPECT_DOUBLE_EQ(designer.ZoomFactor, 2.0);
  EXPECT_TRUE(s.SetZoomFactor(QStringLiteral("50PC"), false));
  EXPECT_FALSE(s.CanvasVisible());

  job = app::PrintJob{};
  job.ReportType = 7;
  job.LabelMedium = 1;
  PreviewSession floppy(Environment());
  drawing().header = -1;
  ASSERT_TRUE(floppy.Load(false).ok);
  floppy.SetZoomFactor(QStringLiteral("200PC"), true);
  EXPECT_DOUBLE_EQ(floppy.CanvasWidth(), 5.8);
  EXPECT_DOUBLE_EQ(floppy.CanvasHeight(), 4.8);
  EXPECT_EQ(std::tuple(job.PrintLeft, job.PrintTop, job.PrintRight, job.PrintBottom), std::tuple(0.4, 0.4, 5.4, 4.4));
}

TEST_F(LoadedJob, EmptyTableIsRefusedForReports) {
  job.ReportType = 2;
  job.ReportRecordset = test::MakeTable(dir, {});
  PreviewSession s(Environment());
  EXPECT_FALSE(s.Load(false).ok);
}

TEST_F(LoadedJob, LabelSheetIsOnePage) {
  job.ReportType = 11;
  job.LabelMedium = 2;
  job.PrintOutlines = true;
  PreviewSession s(Environment());
  drawing().header = -1;
  ASSERT_TRUE(s.Load(false).ok);
  EXPECT_TRUE(s.WholePage());
  EXPECT_EQ(s.Controls(), ComputePageControls(s.Pages(), true));
  EXPECT_EQ(s.Controls().pagePanel, QStringLiteral("Page 1 of 1"));
  EXPECT_FALSE(s.Controls().page);
  EXPECT_GE(drawing().labelSheets, 1);  // the Zip sheet's outlines, with the margin box held off
  EXPECT_TRUE(job.PrintOutlines);
}

}  // namespace
}  // namespace designer
