// The program's page drawing for the preview: the report code's procedures over the shared
// print job and the preview's paging state.
#pragma once

#include <functional>
#include <memory>

#include "pagestate.h"
#include "reportdrawing.h"

namespace app {
struct AppState;
}

namespace designer {

std::unique_ptr<ReportDrawing> MakeReportsDrawing(app::AppState& state, PageState& pages,
                                                  std::function<void(double top, double bottom)> rowVisible);

}  // namespace designer
