// The preview's paging state, shared with the table rows of the page drawing: where each known
// page starts in the report table, the page shown, whether the count is final, and the table
// pass's per-page bookkeeping (reports::TablePage). And what the preview reads off it.
#pragma once

#include "reports.h"

namespace designer {

using PageState = reports::TablePage;

// A paging state for a new job: one known page, whose start is not set yet.
inline PageState FreshPages() {
  PageState pages;
  pages.PageStarts.assign(2, std::nullopt);
  return pages;
}
// The upper bound of PageStarts.
inline int UBound(const PageState& pages) { return static_cast<int>(pages.PageStarts.size()) - 1; }
// The pages known: the upper bound of PageStarts less 1 (while provisional, the pages walked).
inline SHORT NumPages(const PageState& pages) { return static_cast<SHORT>(UBound(pages) - 1); }
// Page page (from 1) was walked at least once, so its end is known.
inline bool Visited(const PageState& pages, int page) { return page < UBound(pages); }

}  // namespace designer
