// The page settings of a print job that the page setup dialog edits and the drawing, the
// preview and printing read: margins, printer offsets, the orientation choice, the outline
// check box, the start position on a label sheet and the chosen page columns.
//
// The values the dialog commits into the job itself live in app::PrintJob, once: the stock
// (PrintToIndex, TemplateKind, LabelMedium), the committed columns (PageColumnCount,
// LabelColumnCount), the start cell (ZipStartColumn, ZipStartRow), ForceSingleLabel,
// CellTextFlags, PrintOutlines, the committed offsets (LabelOffsetX/Y, PageSetupIsDefault) and
// the file-name font (FontTable slot 5). None of the page settings is kept in "ctgr.ini": a
// new run starts from the designed values below.
#pragma once

#include "appstate.h"
#include "wintypes.h"

namespace reports {

struct PageSettings {
  // Margins from the paper's edges, inches (edLeftMarg, edTopMarg, edRightMarg, edBottMarg).
  double LeftMargin = 0.5;
  double TopMargin = 0.5;
  double RightMargin = 0.5;
  double BottomMargin = 0.5;
  // The printer offsets typed by the user, inches (edXoff, edYoff), as stored: never
  // rewritten for a printer; SurfaceOffset gives the offset that applies on a surface.
  double OffsetX = 0.0;
  double OffsetY = 0.0;
  SHORT Orientation = 1;        // optPortr 1, optLands 2
  bool MarginsChecked = false;  // chkMargins ticked: outlines black instead of light grey
  bool OutlinesCaption = false; // chkMargins reads "Print outlines" (label stock), not
                                // "Preview Page Margins"
  SHORT StartPosition = 0;      // the chosen start cell of a label sheet
  SHORT ChosenColumns = 1;      // optCol: 1 to 3 page columns
};

// The page settings of the run: the ones the page setup dialog edits and the label launchers
// of the main window write before the preview opens.
PageSettings& CurrentPageSettings();

// The caption chkMargins has for label stock, and for paper reports.
inline constexpr char kPrintOutlinesCaption[] = "Print outlines";
inline constexpr char kPreviewMarginsCaption[] = "Preview Page Margins";

struct PageOffset {
  double x = 0.0;
  double y = 0.0;
};

// The one rule for the offset that applies on a surface: the stored offsets, less the
// printer's physical offset of its printable area on the printer (whose origin is that
// area's corner).
PageOffset SurfaceOffset(const PageSettings& page, const app::PrintJob& job, bool onPrinter);

// The printable box (PrintLeft, PrintTop, PrintRight, PrintBottom) of a surface at a zoom:
// a floppy label on the canvas is the fixed box 0.2, 0.2, 2.7, 2.2; otherwise the margins
// and the surface's offsets give it on the page of PageWidth x PageHeight.
void SetPrintableBox(app::PrintJob& job, const PageSettings& page, bool onPrinter, double zoom);

}  // namespace reports
