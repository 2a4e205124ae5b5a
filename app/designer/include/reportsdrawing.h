// The page drawing of the preview: the report code's procedures over a print job, its page
// settings and the preview's paging state, with the preview's own header and footer.
#pragma once

#include <memory>

#include "pagesettings.h"
#include "pagestate.h"
#include "reportdrawing.h"

namespace app {
struct PrintJob;
struct Designer;
struct Selection;
}  // namespace app

namespace designer {

std::unique_ptr<ReportDrawing> MakeReportsDrawing(app::PrintJob& job, app::Designer& designer,
                                                  app::Selection& selection, const reports::PageSettings& page,
                                                  PageState& pages);

}  // namespace designer
