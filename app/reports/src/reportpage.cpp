// The page drawing by report type: the page head or label layout, the page foot and the head
// of a continued label list.
#include "reports.h"
#include "vbrt.h"

namespace reports {

using surface::Surface;

namespace {

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

}  // namespace

double Reports::PrintReportPage(Surface& s, double left, double top, double right, bool countOnly) {
  switch (job_.ReportType) {
    case 1:
      return callbacks_ ? callbacks_->PrintDocumentHeader(s, left, top, right, job_.ReportTitle, countOnly) : 0.0;
    case 2:
    case 3:
    case 5:
      if (job_.LabelMedium == 2) ZipSheetPreStep(s, left, top, countOnly);
      return PrintFileRows(s, left, top, right, true, true, countOnly);
    case 4:
      CustomListing(s, left, top, right, countOnly);
      return -1.0;
    case 6:
      if (!countOnly) PrintDiskLabelBatch(s, left, top, right);
      return -1.0;
    case 7:
    case 11:
    case 12:
      if (!countOnly) DrawLabelOutline(s);
      return -1.0;
    case 8:
    case 9:
    case 10:
      if (!countOnly) PrintLabelBatch(s, left, top, right);
      return -1.0;
    default:
      return 0.0;
  }
}

// A Zip sheet listing: the sheet's outlines for the chosen stock, and on a case insert the
// spine texts. A "ZipSlip" sheet (PrintToIndex 0) has no outlines here: its guides are drawn
// with the page, and a template kind left from an earlier printout must not draw another
// stock's outlines.
void Reports::ZipSheetPreStep(Surface& s, double left, double top, bool countOnly) {
  job_.LabelMedium = 0;
  job_.TemplateKind = job_.PrintToIndex == 2 ? 2 : job_.PrintToIndex == 1 ? 1 : 0;
  if (!countOnly) DrawLabelSheet(s);
  if (job_.TemplateKind == 1 && !countOnly) {
    SetFontFromRecord(s, 3);
    SpineText(s, InfoText(app::kInfoName), left - 7.0 / 16 * Zoom(), top + 0.125, 5.0 / 16 * Zoom());
    const QString number = QStringLiteral("No.  ") + SerialText();
    SpineText(s, number, left - 7.0 / 16 * Zoom(), job_.PrintBottom - s.TextWidth(number), 5.0 / 16 * Zoom());
  }
  job_.TemplateKind = 0;
  job_.LabelMedium = 2;
}

// A spine text: rotated 270 degrees in a box `width` wide and as tall as the text is long.
void Reports::SpineText(Surface& s, const QString& text, double x, double top, double width) {
  double w = width;
  double h = s.TextWidth(text);
  PrintTextInRect(x, top, text, s, w, h, 0, 270);
}

void Reports::CustomListing(Surface& s, double left, double top, double right, bool countOnly) {
  const SHORT medium = job_.LabelMedium;
  const bool zipSheet = medium == 2 && job_.PrintToIndex == 0;
  if (medium == 0 || medium == 1 || (medium == 2 && !zipSheet)) {
    if (medium == 2) {
      job_.LabelMedium = 0;
      job_.TemplateKind = job_.PrintToIndex == 2 ? 2 : 1;
      if (!countOnly) DrawLabelSheet(s);
      job_.TemplateKind = 0;
      job_.LabelMedium = 2;
    }
    PrintDiskBlock(s, left, top, right, job_.PrintBottom, false, 13.0 / 8 * Zoom(), countOnly);
    return;
  }
  if (medium != 3 && !zipSheet) return;
  double x = 0, y = 0;
  if (medium == 3) {
    x = (right - left) * job_.ZipStartColumn / 2;
  } else {
    x = job_.ZipStartColumn * 7.75 / 2 * Zoom();
    y = job_.ZipStartRow * 11.0 / 3 * Zoom();
  }
  const double half = x + (left + right) / 2;
  const double h = PrintFileRows(s, x + left, y + top, half, true, true, countOnly);
  PrintDirectoryFooter(s, x + left, y + top + 3.6 * h, half, true, countOnly);
  if (!countOnly) s.Line(x + left, y + top + 3.75 * h, half, y + top + 3.75 * h, kBlack);
  if (medium == 3 && !countOnly) DrawJacketFrame(s);
  job_.LabelCellLeft = x + left;
  job_.LabelCellTop = y + top + 4 * h;
  job_.LabelCellWidth = (right - left) / 2;
  job_.LabelCellHeight = job_.PrintBottom - (top + 4 * h);
}

double Reports::PrintDirectoryFooter(Surface& s, double left, double top, double right, bool pageNumber,
                                     bool countOnly, SHORT pageOffset) {
  switch (job_.ReportType) {
    case 1: {
      if (!callbacks_) return 0.0;
      const QString text =
          QStringLiteral("Directory Contents printed  ") + Q(vbrt::Format(vbrt::Now(), u"mmm d, yyyy  hh:mm AMPM"));
      return callbacks_->PrintPageFooter(s, left, top, right, text, pageNumber, countOnly, pageOffset);
    }
    case 2:
    case 4:
    case 5:
      return PrintFileRows(s, left, top, right, false, true, countOnly);
    case 3:
      return PrintFileRows(s, left, top, right, false, false, countOnly);
    default:
      return 0.0;
  }
}

double Reports::PrintNextPageHeader(Surface& s, double left, double top, double right, bool countOnly) {
  const double w = s.TextHeight(QStringLiteral("W"));
  const double e = job_.LabelMedium == 3 ? 0.2 : 0.0;
  const double h = PrintReportPage(s, left + w / 4, top + e, right - w / 2, countOnly);
  PrintDirectoryFooter(s, left + h / 4, top + 3.6 * h + e, right - h / 2, true, countOnly);
  if (!countOnly) s.Line(left + h / 4, top + 3.75 * h + e, right - h / 2, top + 3.75 * h + e, kBlack);
  return e + 3.6 * h;
}

}  // namespace reports
