// One pass of the preview over the page shown: the header, footer and rows through the page
// drawing, then the margin box and the sheet overlays; in counting mode only the measuring
// that finds where the next page starts. And the page counter and navigation buttons that
// follow from the paging state.
#pragma once

#include <QString>

#include "pagestate.h"
#include "reportdrawing.h"

namespace app {
struct PrintJob;
}

namespace designer {

struct PassOutcome {
  bool wholePage = false;   // the header call drew a page complete in itself
  bool rowsRemain = false;  // the table rows go on beyond this page
};

// The drawing state every pass starts from, so that what the passes measure (the width of "H"
// for notes, the rows that fit) is the same on every surface.
void ResetDrawingState(surface::Surface& s);

// Runs one pass over the page CurrentPage on a surface. Counting: nothing is drawn but what
// the page drawing needs to measure, and the margin box and overlays are left out.
PassOutcome RunPreviewPass(surface::Surface& s, app::PrintJob& job, PageState& pages, ReportDrawing& drawing,
                           bool counting);

// The page counter panel, the go-to button's caption and the navigation buttons.
struct PageControls {
  QString pagePanel = QStringLiteral("Page 1 of 1+");
  QString pageButton = QStringLiteral("Page 1");
  bool first = false;
  bool prev = false;
  bool next = false;
  bool last = false;
  bool page = false;
  friend bool operator==(const PageControls&, const PageControls&) = default;
};
// The controls for the paging state: "Page n of m+" while the count is provisional, "Page n of
// m" when final; a page complete in itself is "Page 1 of 1" with every button off.
PageControls ComputePageControls(const PageState& pages, bool wholePage);

}  // namespace designer
