// The preview's paging state: where each known page starts in the report table, the page
// shown, whether the count is final, and the table pass's per-page bookkeeping.
#pragma once

#include <vector>

#include "texttable.h"
#include "wintypes.h"

namespace designer {

struct PageState {
  // Element k is the bookmark of the first row of page k + 1; the upper bound less 1 is the
  // page count (while provisional, the pages walked so far). Starts as elements 0 and 1.
  std::vector<texttable::Bookmark> PageStarts = std::vector<texttable::Bookmark>(2);
  SHORT CurrentPage = 1;
  bool LastPageKnown = false;   // the end of the rows was reached: the count is final
  SHORT LastPageColumns = 0;    // page columns that held rows on the last table page drawn
  double RowSlack = 0;          // inches added to every table row
  SHORT RowsOnPage = 0;         // rows drawn on the page drawn last
  bool ScrollToFound = false;   // the find is showing the page of a hit
  double NoteLabelWidth = 0;    // pixels: a note's part before its bar

  int UBound() const { return static_cast<int>(PageStarts.size()) - 1; }
  // The pages known: the upper bound of PageStarts less 1.
  SHORT NumPages() const { return static_cast<SHORT>(UBound() - 1); }
  // Page page (from 1) was walked at least once, so its end is known.
  bool Visited(int page) const { return page < UBound(); }
};

}  // namespace designer
