// Moving between the preview's pages, counting them, going to a page, recalculating after a
// layout change, and searching the report's name column for a text in report order.
#pragma once

#include <QString>

#include <functional>

#include "pagestate.h"

namespace app {
struct PrintJob;
struct Designer;
}

namespace designer {

// What paging asks of the window: a pass over the page CurrentPage.
class PagePasses {
 public:
  // The counting pass: measures the page, records where the next one starts, draws nothing.
  virtual void CountPage() = 0;
  // Shows the page: brings the paging state, the counter and the buttons up to date and
  // draws the page on the canvas.
  virtual void ShowPage() = 0;

 protected:
  ~PagePasses() = default;
};

class PreviewPaging {
 public:
  PreviewPaging(PageState& pages, app::PrintJob& job, app::Designer& designer, PagePasses& passes);

  void GotoNextPage();
  void GotoPrevPage();
  void GotoFirstPage();
  // The given page, or the last page when page is below 1; a page beyond the end shows the
  // last page and makes the count final.
  void GotoLastPage(SHORT page = 0);
  // Walks every page not yet walked with the counting pass, so that every page's real start
  // is known and the count is final. rowsPerPage is the row count of the page drawn last; a
  // page count derived from it alone would be wrong for pages whose wrapped rows are taller.
  void CalcNumberOfPages(SHORT rowsPerPage);
  // Walks all pages again after a layout change; notice is told each page before it is walked.
  void DoPageRecalc(const std::function<void(SHORT page)>& notice);
  SHORT GetNumPages() const { return NumPages(pages_); }

  // Searches the report's name column for text (upper-cased in place), from the start or,
  // when resuming, from where FindNextItem put the recordset. Shows the hit's page, or tells
  // the user the search ended. True when a hit was found.
  bool FindFirstOccurance(QString& text, bool resume);
  // Resumes the last search after its hit; nothing without one.
  void FindNextItem();
  // Find Next is offered only after a hit.
  bool FindNextEnabled() const { return findNextEnabled_; }
  QString FindText;

 private:
  void ShowPage(SHORT page);
  // One counting pass of CurrentPage; a page that took no row while rows remain ends the
  // count, since every further pass would find the same page again.
  void CountCurrentPage();
  void MoveToReportStart();
  void StepInReportOrder();

  PageState& pages_;
  app::PrintJob& job_;
  app::Designer& designer_;
  PagePasses& passes_;
  bool findNextEnabled_ = false;
};

}  // namespace designer
