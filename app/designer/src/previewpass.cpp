// The preview's pass over one page, and the page counter and buttons it leads to.
#include "previewpass.h"

#include "appstate.h"

namespace designer {

namespace {
constexpr LONG kMarginGrey = 0xC0C0C0;  // RGB(192, 192, 192)
constexpr LONG kGuideGrey = 0x808080;   // RGB(128, 128, 128)
}  // namespace

void ResetDrawingState(surface::Surface& s) {
  s.SetFont(surface::TextFont{});
  s.SetForeColor(0);
  s.SetDrawWidth(1);
  s.SetDrawStyle(surface::vbSolid);
  s.SetFillStyle(surface::vbFSTransparent);
}

PassOutcome RunPreviewPass(surface::Surface& s, app::PrintJob& job, PageState& pages, ReportDrawing& drawing,
                           bool counting) {
  PassOutcome outcome;
  // A Zip label sheet and a label batch draw their own outlines: the margin box stays off.
  struct HeldOutlines {
    app::PrintJob& job;
    bool held, value;
    ~HeldOutlines() {
      if (held) job.PrintOutlines = value;
    }
  } hold{job, !counting && (job.LabelMedium == 2 || job.ReportType > 7), job.PrintOutlines};
  if (hold.held) job.PrintOutlines = false;

  pages.NoteLabelWidth = s.ScaleX(s.TextWidth(QStringLiteral("H")) * 9, surface::vbInches, surface::vbPixels);

  double headerHeight = 0;
  if (job.PrintHeader) {
    const double top = job.PrintTop + (job.LabelMedium == 3 ? 0.2 : 0.0);
    headerHeight = drawing.PrintReportPage(s, job.PrintLeft, top, job.PrintRight, counting);
    if (headerHeight < 0) {
      outcome.wholePage = true;
      pages.LastPageKnown = true;
    }
  }
  if (!outcome.wholePage) {
    double footerHeight = 0;
    if (job.PrintFooter)
      footerHeight = drawing.PrintDirectoryFooter(s, job.PrintLeft, job.PrintBottom, job.PrintRight, true, counting, 0);
    const double gap = job.PageColumnCount > 1 ? job.ColumnGap : 0.0;
    const double top = job.PrintTop + headerHeight;
    const double height = job.PrintBottom - (job.PrintTop + headerHeight + footerHeight);
    const double width = job.PrintRight - job.PrintLeft;
    const double result = drawing.PrintTableRows(s, job.PrintLeft, top, width, height, job.PageColumnCount, gap, counting);
    if (result < 0)
      pages.LastPageKnown = true;
    else
      outcome.rowsRemain = true;
  }

  if (!counting) {
    const double w = s.TextHeight(QStringLiteral("W")) / 4;
    const SHORT fillStyle = s.FillStyle();
    s.SetFillStyle(surface::vbFSTransparent);
    if (job.PrintOutlines) s.Box(job.PrintLeft - w, job.PrintTop, job.PrintRight, job.PrintBottom, kMarginGrey);
    if (job.LabelMedium == 2 && job.PrintToIndex == 0) {
      drawing.DrawLabelSheet(s);
    } else if (job.LabelMedium == 3 && !job.PrintHeader) {
      const double fold = (job.PrintTop + job.PrintBottom) / 2;
      s.Box(job.PrintLeft - w, job.PrintTop, job.PrintRight, job.PrintBottom, kGuideGrey);
      s.Line(job.PrintLeft - w, fold, job.PrintRight, fold, kGuideGrey);
    }
    s.SetFillStyle(fillStyle);
  }
  return outcome;
}

PageControls ComputePageControls(const PageState& pages, bool wholePage) {
  PageControls c;
  const int n = pages.CurrentPage;
  const int m = NumPages(pages);
  if (wholePage) {
    c.pagePanel = QStringLiteral("Page 1 of 1");
    c.pageButton = QStringLiteral("Page 1");
  } else if (!pages.LastPageKnown) {
    c.pagePanel = QStringLiteral("Page %1 of %2+").arg(n).arg(m);
    c.pageButton = QStringLiteral("Page %1").arg(n);
    c.next = c.last = true;
  } else {
    c.pagePanel = QStringLiteral("Page %1 of %2").arg(n).arg(m);
    c.pageButton = QStringLiteral("Page %1").arg(n);
    c.next = c.last = (m != n);
  }
  c.prev = c.first = (n != 1);
  c.page = c.next || c.prev;
  return c;
}

}  // namespace designer
