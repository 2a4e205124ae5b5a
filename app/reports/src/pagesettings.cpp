// The offsets that apply on a surface and the printable box drawn from the page settings.
#include "pagesettings.h"

namespace reports {

PageSettings& CurrentPageSettings() {
  static PageSettings page;
  return page;
}

PageOffset SurfaceOffset(const PageSettings& page, const app::PrintJob& job, bool onPrinter) {
  if (!onPrinter) return {page.OffsetX, page.OffsetY};
  return {page.OffsetX - job.PrinterOffsetX, page.OffsetY - job.PrinterOffsetY};
}

void SetPrintableBox(app::PrintJob& job, const PageSettings& page, bool onPrinter, double zoom) {
  if (job.LabelMedium == 1 && !onPrinter) {
    job.PrintLeft = 0.2 * zoom;
    job.PrintTop = 0.2 * zoom;
    job.PrintRight = 2.7 * zoom;
    job.PrintBottom = 2.2 * zoom;
    return;
  }
  const PageOffset off = SurfaceOffset(page, job, onPrinter);
  job.PrintLeft = (page.LeftMargin + off.x) * zoom;
  job.PrintTop = (page.TopMargin + off.y) * zoom;
  job.PrintRight = job.PageWidth - (page.RightMargin - off.x) * zoom;
  job.PrintBottom = job.PageHeight - (page.BottomMargin - off.y) * zoom;
}

}  // namespace reports
