// What the preview asks of the page drawing: the report code's procedures that draw (or, in
// count-only mode, measure) one page onto a surface, the canvas as the printer would get it.
// The page drawing reads and writes the preview's paging state (PageStarts, RowsOnPage, ...)
// through the PageState it was given.
#pragma once

#include <QString>

#include "surface.h"
#include "wintypes.h"

namespace designer {

class ReportDrawing {
 public:
  virtual ~ReportDrawing() = default;

  // The page header or label layout of the report type; its height, or a negative value when
  // the page is complete in itself (a label sheet drawn whole). headerFlag is handed on to
  // the document header (true: measure only).
  virtual double PrintReportPage(surface::Surface& s, double left, double top, double right, bool headerFlag) = 0;
  // The footer at the bottom of the printable box; its height.
  virtual double PrintDirectoryFooter(surface::Surface& s, double left, double bottom, double right, bool headerFlag,
                                      bool counting, SHORT pageOffset) = 0;
  // The rows of page CurrentPage in the body box, from that page's start; records where the
  // next page starts. Negative when the report's rows ended on this page.
  virtual double PrintTableRows(surface::Surface& s, double left, double top, double width, double height,
                                SHORT columns, double gap, bool counting) = 0;
  // The label outlines of a Zip label sheet.
  virtual void DrawLabelSheet(surface::Surface& s) = 0;
  // The printout's title for the window's caption.
  virtual QString GetReportTitle() = 0;
  // Rewinds the rows to page 1 and sets the surface's printable box at zoom 1.0; false when
  // the report has no rows to show.
  virtual bool CalcRowHeight(surface::Surface&) { return true; }
};

}  // namespace designer
