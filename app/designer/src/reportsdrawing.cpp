// The program's page drawing for the preview, until the report code is linked in: a page
// with nothing on it, whose rows end at once.
#include "reportsdrawing.h"

namespace designer {

namespace {
class EmptyDrawing : public ReportDrawing {
 public:
  double PrintReportPage(surface::Surface&, double, double, double, bool) override { return 0; }
  double PrintDirectoryFooter(surface::Surface&, double, double, double, bool, bool, SHORT) override { return 0; }
  double PrintTableRows(surface::Surface&, double, double, double, double, SHORT, double, bool) override { return -1; }
  void DrawLabelSheet(surface::Surface&) override {}
  QString GetReportTitle() override { return QString(); }
};
}  // namespace

std::unique_ptr<ReportDrawing> MakeReportsDrawing(app::AppState&, PageState&, std::function<void(double, double)>) {
  return std::make_unique<EmptyDrawing>();
}

}  // namespace designer
