// Paging through the preview: next, previous, first and last page, the page count, the
// recalculation after a layout change, and the search of the report's name column.
#include "paging.h"

#include "appstate.h"
#include "forms.h"

namespace designer {

namespace {
// Pages are numbered in 16 bits; a walk stops before the number would overflow.
constexpr SHORT kLastPageNumber = 32766;
}  // namespace

PreviewPaging::PreviewPaging(PageState& pages, app::PrintJob& job, app::Designer& designer, PagePasses& passes)
    : pages_(pages), job_(job), designer_(designer), passes_(passes) {}

void PreviewPaging::ShowPage(SHORT page) {
  pages_.CurrentPage = page;
  pages_.LastPageColumns = 0;
  passes_.ShowPage();
}

void PreviewPaging::CountCurrentPage() {
  passes_.CountPage();
  if (pages_.LastPageKnown) return;
  // A page that took no row while rows remain would be found again by every further pass.
  if (pages_.RowsOnPage == 0 || pages_.CurrentPage >= kLastPageNumber) pages_.LastPageKnown = true;
}

void PreviewPaging::GotoNextPage() {
  if (pages_.CurrentPage >= NumPages(pages_) && pages_.LastPageKnown) return;
  ShowPage(pages_.CurrentPage + 1);
}

void PreviewPaging::GotoPrevPage() {
  if (pages_.CurrentPage > 1) ShowPage(pages_.CurrentPage - 1);
}

void PreviewPaging::GotoFirstPage() { ShowPage(1); }

void PreviewPaging::GotoLastPage(SHORT page) {
  SHORT m = NumPages(pages_);
  if (page >= 1 && m > page) {
    ShowPage(page);
    return;
  }
  if (pages_.LastPageKnown) {
    ShowPage(m);
    return;
  }
  // The walk goes on from the page shown, whose end must be known.
  if (!Visited(pages_, pages_.CurrentPage) && !pages_.LastPageKnown) {
    CountCurrentPage();
    m = NumPages(pages_);
  }
  while (!(pages_.CurrentPage >= m && pages_.LastPageKnown)) {
    if (page >= 1 && pages_.CurrentPage == page) {
      ShowPage(page);
      return;
    }
    pages_.CurrentPage++;
    pages_.LastPageColumns = 0;
    CountCurrentPage();
    m = NumPages(pages_);
  }
  ShowPage(m);
}

void PreviewPaging::CalcNumberOfPages(SHORT /*rowsPerPage*/) {
  if (pages_.LastPageKnown) return;
  // Every page not walked yet is walked once with the counting pass, which records where the
  // next one really starts; the count is final when the rows end.
  const SHORT shown = pages_.CurrentPage;
  const SHORT columns = pages_.LastPageColumns;
  while (!pages_.LastPageKnown) {
    pages_.CurrentPage = static_cast<SHORT>(UBound(pages_));
    pages_.LastPageColumns = 0;
    CountCurrentPage();
  }
  pages_.CurrentPage = shown;
  pages_.LastPageColumns = columns;
}

void PreviewPaging::DoPageRecalc(const std::function<void(SHORT page)>& notice) {
  pages_.CurrentPage = 1;
  while (!(pages_.CurrentPage >= NumPages(pages_) && pages_.LastPageKnown)) {
    if (notice) notice(pages_.CurrentPage);
    CountCurrentPage();
    if (pages_.CurrentPage >= kLastPageNumber) break;
    pages_.CurrentPage++;
  }
  pages_.CurrentPage = 1;
  pages_.LastPageColumns = 0;
  passes_.CountPage();
}

void PreviewPaging::MoveToReportStart() {
  if (job_.DescendingOrder)
    job_.ReportRecordset->MoveLast();
  else
    job_.ReportRecordset->MoveFirst();
}

void PreviewPaging::StepInReportOrder() {
  if (job_.DescendingOrder)
    job_.ReportRecordset->MovePrevious();
  else
    job_.ReportRecordset->MoveNext();
}

bool PreviewPaging::FindFirstOccurance(QString& text, bool resume) {
  text = text.toUpper();
  if (!job_.ReportRecordset) return false;
  // The page of a hit is told by the page starts, so every start must be known first.
  if (!resume) CalcNumberOfPages(pages_.RowsOnPage);
  int p = 0;
  if (!resume) {
    MoveToReportStart();
    designer_.FindRow = 0;
    designer_.FindPage = 0;
  } else {
    p = designer_.FindPage;
  }
  texttable::Recordset& rs = *job_.ReportRecordset;
  for (;;) {
    if (rs.Eof() || rs.Bof()) {
      forms::MsgBox(resume ? QStringLiteral("Xendora has finished searching the report.")
                           : QStringLiteral("Xendora has finished searching the report.  The search item was "
                                            "not found."),
                    forms::vbInformation + forms::vbOKOnly, QStringLiteral("Find"));
      designer_.FindRow = 0;
      designer_.FindPage = 0;
      findNextEnabled_ = false;
      return false;
    }
    if (p <= UBound(pages_) && rs.GetBookmark() == pages_.PageStarts[p]) {
      p++;
      designer_.FindRow = 0;
    }
    designer_.FindRow++;
    const QString name = QString::fromUtf8(rs.Field(0)).toUpper();
    if (name.contains(text)) {
      designer_.FindPage = static_cast<SHORT>(p);
      pages_.ScrollToFound = true;
      GotoLastPage(static_cast<SHORT>(p));
      pages_.ScrollToFound = false;
      findNextEnabled_ = true;
      return true;
    }
    StepInReportOrder();
  }
}

void PreviewPaging::FindNextItem() {
  if (FindText.isEmpty() || !job_.ReportRecordset) return;
  if (designer_.FindPage < 1 || designer_.FindPage > UBound(pages_)) return;
  CalcNumberOfPages(pages_.RowsOnPage);
  const int rows = job_.DescendingOrder ? -designer_.FindRow : designer_.FindRow;
  const std::optional<texttable::Bookmark>& start = pages_.PageStarts[designer_.FindPage - 1];
  if (!start) return;
  job_.ReportRecordset->Move(rows, *start);
  FindFirstOccurance(FindText, true);
}

}  // namespace designer
