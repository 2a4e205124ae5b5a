// The preview's page drawing through the Reports module, and a preview's environment over it.
#include "reportsdrawing.h"

#include "pagefurniture.h"
#include "reports.h"

namespace designer {

namespace {
class ReportsDrawing : public ReportDrawing {
 public:
  ReportsDrawing(app::PrintJob& job, app::Designer& designer, app::Selection& selection,
                 const reports::PageSettings& page, PageState& pages)
      : job_(job), reports_(job, designer, selection, page), furniture_(reports_, pages), pages_(pages) {
    reports_.SetCallbacks(&furniture_);
  }

  double PrintReportPage(surface::Surface& s, double left, double top, double right, bool headerFlag) override {
    return reports_.PrintReportPage(s, left, top, right, headerFlag);
  }
  double PrintDirectoryFooter(surface::Surface& s, double left, double bottom, double right, bool headerFlag,
                              bool counting, SHORT pageOffset) override {
    return reports_.PrintDirectoryFooter(s, left, bottom, right, headerFlag, counting, pageOffset);
  }
  double PrintTableRows(surface::Surface& s, double left, double top, double width, double height, SHORT columns,
                        double gap, bool counting) override {
    return reports_.PrintTableRows(s, pages_, left, top, width, height, columns, gap, counting);
  }
  void DrawLabelSheet(surface::Surface& s) override { reports_.DrawLabelSheet(s); }
  QString GetReportTitle() override { return reports::GetReportTitle(job_.ReportType, job_.TemplateKind); }
  bool CalcRowHeight(surface::Surface& s) override { return reports_.CalcRowHeight(s, pages_); }

 private:
  app::PrintJob& job_;
  reports::Reports reports_;
  PageFurniture furniture_;
  PageState& pages_;
};
}  // namespace

std::unique_ptr<ReportDrawing> MakeReportsDrawing(app::PrintJob& job, app::Designer& designer,
                                                  app::Selection& selection, const reports::PageSettings& page,
                                                  PageState& pages) {
  return std::make_unique<ReportsDrawing>(job, designer, selection, page, pages);
}

PreviewEnvironment ReportsPreviewEnvironment(app::PrintJob& job, app::Designer& designer, app::ShellState& shell,
                                             app::Selection& selection, reports::PageSettings& page,
                                             std::function<surface::PrinterObject&()> printer) {
  PreviewEnvironment env;
  env.job = &job;
  env.designer = &designer;
  env.shell = &shell;
  env.printer = std::move(printer);
  env.pageSetup = &page;
  env.makeDrawing = [&job, &designer, &selection, &page](PageState& pages) {
    return MakeReportsDrawing(job, designer, selection, page, pages);
  };
  return env;
}

}  // namespace designer
