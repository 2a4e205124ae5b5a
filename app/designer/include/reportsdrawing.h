// The page drawing of the preview: the report code's procedures over a print job, its page
// settings and the preview's paging state, with the preview's own header and footer; and the
// environment of a preview that draws through it.
#pragma once

#include <functional>
#include <memory>

#include "pagesettings.h"
#include "pagestate.h"
#include "previewsession.h"
#include "reportdrawing.h"

namespace app {
struct PrintJob;
struct Designer;
struct Selection;
struct ShellState;
}  // namespace app

namespace designer {

std::unique_ptr<ReportDrawing> MakeReportsDrawing(app::PrintJob& job, app::Designer& designer,
                                                  app::Selection& selection, const reports::PageSettings& page,
                                                  PageState& pages);

// The environment of a preview over these parts of a print job, its pages drawn through the
// report code, printing on `printer`. The parts outlive the preview.
PreviewEnvironment ReportsPreviewEnvironment(app::PrintJob& job, app::Designer& designer, app::ShellState& shell,
                                             app::Selection& selection, reports::PageSettings& page,
                                             std::function<surface::PrinterObject&()> printer);

}  // namespace designer
