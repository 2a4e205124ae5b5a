// Links the print preview into the program: the calls by which other windows open the
// preview (ShowPrintPreview, RestoreFromCustArray, SetZoomFactor) go to frmPrint. The program
// calls LinkPrintPreview once at start-up.
#pragma once

#include <functional>
#include <memory>

#include "previewsession.h"

namespace designer {

class frmPrint;

// The page settings the program's preview reads: the run's one set, which the page setup
// dialog edits and the main window's label launchers write.
reports::PageSettings& ProgramPageSettings();

// The environment of the program's preview: the shared print job, designer and shell state,
// the current Printer and the page drawing.
PreviewEnvironment ProgramPreviewEnvironment();

// Sets the window links to the program's preview.
void LinkPrintPreview();

// The preview window of the job being prepared or shown, loaded on first use as the program
// reaches it; null when its Load refused the job.
frmPrint* PreviewInstance();
// Shows the preview modally and destroys it when it closes.
void ShowPreviewModal();

}  // namespace designer
