// Printing the preview's document on the current Printer: the print run over a paging state
// of its own, and the overlays it draws on every printed page (the designer's objects, the
// frame and fold line of a CD case insert).
#pragma once

#include "pagesettings.h"
#include "picturestore.h"
#include "reportdrawing.h"
#include "wintypes.h"

namespace app {
struct PrintJob;
struct Designer;
}  // namespace app

namespace designer {

class PreviewSession;

// Prints pages fromPage..toPage of the session's document (a first page below 1 or a last
// page below the first: every page) in one print run on the session's Printer. The preview
// keeps the page it shows, its zoom, its page geometry and its outline setting; the printer
// keeps its orientation. An error abandons the partial document and is shown as
// "ERROR:    " + number + CR + description.
void DoPrint(PreviewSession& session, SHORT fromPage, SHORT toPage);

// The designer's live text and picture objects at zoom 1.0, on the printer's coordinates (less
// its physical offset); a floppy label moves them into the chosen cell of the sheet.
void PrintCustomPicsAndTextToPrinter(surface::Surface& s, const app::PrintJob& job, const app::Designer& designer,
                                     const PictureStore& pictures, const reports::PageSettings& page,
                                     ReportDrawing& drawing);

// The frame and the grey fold line of a CD case insert printed without its page header.
void PrintZipPerfLines(surface::Surface& s, const app::PrintJob& job);

}  // namespace designer
