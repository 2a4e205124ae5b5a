// The print run: the preview's document page by page on the Printer, with the designer's
// objects and the CD insert guides on top, and the preview left as it was.
#include "printrun.h"

#include "appstate.h"
#include "currentprinter.h"
#include "forms.h"
#include "previewpass.h"
#include "previewsession.h"
#include "reports.h"
#include "vbrt.h"
#include "zoomunits.h"

namespace designer {

namespace {
constexpr LONG kWhite = 0xFFFFFF;
constexpr LONG kFoldGrey = 0x808080;  // RGB(128, 128, 128)
constexpr UINT kWordBreakLeft = 16;
constexpr UINT kWordBreakRight = 18;
constexpr UINT kWordBreakCentre = 17;
constexpr int kErrInternal = 51;
constexpr double kFloppyCellInset = 0.2;  // the floppy label's printable box starts 0.2 in into its cell

// What a print run changes and gives back on every way out: the page geometry the preview
// computed for its canvas, the outline setting and the printer's orientation.
struct HeldPreviewState {
  double pageWidth, pageHeight;
  double printLeft, printTop, printRight, printBottom;
  double offsetX, offsetY, printableWidth, printableHeight;
  bool printOutlines;
  SHORT orientation;
  int zoomPercent;

  HeldPreviewState(const app::PrintJob& job, surface::PrinterObject& printer, int zoom)
      : pageWidth(job.PageWidth),
        pageHeight(job.PageHeight),
        printLeft(job.PrintLeft),
        printTop(job.PrintTop),
        printRight(job.PrintRight),
        printBottom(job.PrintBottom),
        offsetX(job.PrinterOffsetX),
        offsetY(job.PrinterOffsetY),
        printableWidth(job.PrintableWidth),
        printableHeight(job.PrintableHeight),
        printOutlines(job.PrintOutlines),
        orientation(printer.Orientation()),
        zoomPercent(zoom) {}

  void GiveBack(PreviewSession& session, surface::PrinterObject& printer) const {
    app::PrintJob& job = session.Job();
    job.PageWidth = pageWidth;
    job.PageHeight = pageHeight;
    job.PrinterOffsetX = offsetX;
    job.PrinterOffsetY = offsetY;
    job.PrintableWidth = printableWidth;
    job.PrintableHeight = printableHeight;
    job.PrintOutlines = printOutlines;
    try {
      if (printer.Orientation() != orientation) printer.SetOrientation(orientation);
    } catch (const vbrt::RuntimeError&) {
      // A printer that refuses its own former orientation keeps the one it has.
    }
    // The zoom puts back the canvas and the printable box it computes from the geometry.
    session.SetZoomFactor(ZoomCode(zoomPercent), false);
    job.PrintLeft = printLeft;
    job.PrintTop = printTop;
    job.PrintRight = printRight;
    job.PrintBottom = printBottom;
    session.SetCanvasVisible(true);
    session.DoPrintPreview();
  }
};

// The pages of the document on the printer, in one print run.
void PrintPages(PreviewSession& session, surface::PrinterObject& printer, SHORT fromPage, SHORT toPage) {
  app::PrintJob& job = session.Job();
  const reports::PageSettings page = session.PageSetup() ? *session.PageSetup() : reports::PageSettings{};
  // For paper reports the outline box means the preview's margins: it is not printed.
  if (!page.OutlinesCaption) job.PrintOutlines = false;
  printer.SetOrientation(page.Orientation == surface::vbPRORLandscape ? surface::vbPRORLandscape
                                                                      : surface::vbPRORPortrait);
  ReadPrinterGeometry(job, printer);
  job.PageWidth = printer.ScaleX(printer.Width(), surface::vbTwips, surface::vbInches);
  job.PageHeight = printer.ScaleY(printer.Height(), surface::vbTwips, surface::vbInches);
  session.SetZoomFactor(ZoomCode(100), false);

  PageState pages = FreshPages();
  pages.TreeIcons = session.TreeIcons();
  std::unique_ptr<ReportDrawing> drawing = session.MakeDrawing(pages);
  if (!drawing->CalcRowHeight(printer, 0)) return;  // a report without rows: nothing to print

  const bool range = fromPage >= 1 && toPage >= fromPage;
  surface::PrintRun run(printer);
  // The pages before the range are measured on the printer itself, so that the range starts
  // where the printed pages break.
  for (SHORT p = 1; range && p < fromPage; ++p) {
    pages.CurrentPage = p;
    ResetDrawingState(printer);
    const PassOutcome counted = RunPreviewPass(printer, job, pages, *drawing, true);
    if (counted.wholePage || !counted.rowsRemain || pages.RowsOnPage == 0) return;  // the range lies past the end
  }
  pages.CurrentPage = range ? fromPage : 1;

  printer.Line(0, 0, 0, 0, kWhite);  // opens the print job
  const int pageCount = range ? toPage - fromPage + 1 : 0;
  const PictureStore& pictures = session.Pictures();
  for (int printed = 0;;) {
    if (printed > 0) printer.NewPage();
    ResetDrawingState(printer);
    pages.NoteLabelWidth =
        printer.ScaleX(printer.TextWidth(QStringLiteral("H")) * 9, surface::vbInches, surface::vbPixels);
    double header = 0;
    if (job.PrintHeader) {
      const double top = job.PrintTop + (job.LabelMedium == 3 ? 0.2 : 0.0);
      header = drawing->PrintReportPage(printer, job.PrintLeft, top, job.PrintRight, false);
    }
    double result = -1;
    pages.RowsOnPage = 0;
    if (header >= 0) {
      const double footer = job.PrintFooter ? drawing->PrintDirectoryFooter(printer, job.PrintLeft, job.PrintBottom,
                                                                            job.PrintRight, true, false, 0)
                                            : 0.0;
      const double top = job.PrintTop + header;
      const double height = job.PrintBottom - (job.PrintTop + header + footer);
      const double gap = job.PageColumnCount > 1 ? job.ColumnGap : 0.0;
      result = drawing->PrintTableRows(printer, job.PrintLeft, top, job.PrintRight - job.PrintLeft, height,
                                       job.PageColumnCount, gap, false);
      if (result < 0) pages.LastPageKnown = true;
    }
    if (job.LabelMedium == 2 && job.PrintToIndex == 0) drawing->DrawLabelSheet(printer);
    PrintZipPerfLines(printer, job);
    PrintCustomPicsAndTextToPrinter(printer, job, session.DesignerState(), pictures, page, *drawing);
    ++printed;
    pages.CurrentPage++;
    if (result <= 0) break;
    if (range && printed >= pageCount) break;
    if (pages.RowsOnPage == 0) break;  // a page that places no row would repeat for ever
  }
  run.End();
}
}  // namespace

void DoPrint(PreviewSession& session, SHORT fromPage, SHORT toPage) {
  surface::PrinterObject& printer = session.Printer();
  QString error;
  std::optional<HeldPreviewState> held;
  try {
    held.emplace(session.Job(), printer, session.ZoomPercent());
    PrintPages(session, printer, fromPage, toPage);
  } catch (const vbrt::RuntimeError& e) {
    error = QStringLiteral("ERROR:    ") + QString::number(e.number()) + QChar(u'\r') +
            QString::fromStdU16String(e.description());
  } catch (const std::exception&) {
    error = QStringLiteral("ERROR:    ") + QString::number(kErrInternal) + QChar(u'\r') +
            QString::fromStdU16String(vbrt::ErrorDescription(kErrInternal));
  }
  if (held) held->GiveBack(session, printer);
  if (!error.isEmpty()) forms::MsgBox(error, forms::vbOKOnly);
}

void PrintCustomPicsAndTextToPrinter(surface::Surface& s, const app::PrintJob& job, const app::Designer& designer,
                                     const PictureStore& pictures, const reports::PageSettings& page,
                                     ReportDrawing& drawing) {
  double shiftX = 0, shiftY = 0;
  if (job.LabelMedium == 1) {
    shiftX = page.LeftMargin - kFloppyCellInset;
    shiftY = page.TopMargin - kFloppyCellInset;
  }
  // The records keep a spare last slot, which is never drawn.
  bool opened = false;
  for (qsizetype i = 0; i + 1 < designer.CustomPictures.size(); ++i) {
    const app::CustomPictureRecord& rec = designer.CustomPictures[i];
    if (rec.Left == app::kFreeSlot) continue;
    const PictureStore::Entry* entry = pictures.Find(static_cast<int>(i));
    if (!entry || entry->image.isNull()) continue;
    if (!opened) {
      s.Line(0, 0, 0, 0);  // opens the page
      opened = true;
    }
    s.PaintPicture(entry->image, rec.Left - job.PrinterOffsetX + shiftX, rec.Top - job.PrinterOffsetY + shiftY);
  }
  for (qsizetype i = 0; i + 1 < designer.CustomTexts.size(); ++i) {
    const app::CustomTextRecord& rec = designer.CustomTexts[i];
    if (rec.Left == app::kFreeSlot) continue;
    surface::TextFont font;
    if (!rec.FontName.isEmpty()) font.Name = rec.FontName;
    if (rec.FontSize > 0) font.Size = rec.FontSize;
    font.Bold = rec.FontBold != 0;
    font.Italic = rec.FontItal != 0;
    font.Underline = rec.FontUnder != 0;
    reports::Reports::SetFontFromControl(s, font, rec.FontColor);
    const UINT flags = rec.FontAlign == 1 ? kWordBreakRight : rec.FontAlign == 2 ? kWordBreakCentre : kWordBreakLeft;
    drawing.PrintTextInRect(s, rec.Left - job.PrinterOffsetX + shiftX, rec.Top - job.PrinterOffsetY + shiftY, rec.Text,
                            rec.Width, rec.Height, flags, rec.FontAngle);
  }
}

void PrintZipPerfLines(surface::Surface& s, const app::PrintJob& job) {
  if (job.LabelMedium != 3 || job.PrintHeader) return;
  const double q = s.TextHeight(QStringLiteral("W")) / 4;
  const double left = job.PrintLeft - q;
  const double right = job.PrintRight - q;
  s.Line(left, job.PrintTop, right, job.PrintTop);
  s.LineTo(right, job.PrintBottom);
  s.LineTo(left, job.PrintBottom);
  s.LineTo(left, job.PrintTop);
  const double fold = (job.PrintBottom + job.PrintTop) / 2;
  s.Line(left, fold, right, fold, kFoldGrey);
}

}  // namespace designer
