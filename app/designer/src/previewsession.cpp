// The preview's state: loading a print job, zoom and units, the state pass and the painting.
#include "previewsession.h"

#include "appstate.h"
#include "previewsurface.h"
#include "printersurface.h"
#include "recordingsurface.h"
#include "windowlinks.h"

namespace designer {

namespace {
constexpr int kGetDeviceCapsPhysicalOffsetX = 112;
constexpr int kGetDeviceCapsPhysicalOffsetY = 113;
constexpr int kGetDeviceCapsHorzRes = 8;
constexpr int kGetDeviceCapsVertRes = 10;

app::FontSlot Slot(const char* name, SHORT size, bool bold, bool italic) {
  app::FontSlot slot;
  slot.FontName = QString::fromLatin1(name);
  slot.FontSize = size;
  slot.FontBold = bold;
  slot.FontItal = italic;
  return slot;
}

}  // namespace

void ReadPrinterGeometry(app::PrintJob& job, surface::PrinterObject& printer) {
  auto inchesX = [&](int caps) {
    return printer.ScaleX(printer.GetDeviceCaps(caps), surface::vbPixels, surface::vbInches);
  };
  auto inchesY = [&](int caps) {
    return printer.ScaleY(printer.GetDeviceCaps(caps), surface::vbPixels, surface::vbInches);
  };
  job.PrinterOffsetX = inchesX(kGetDeviceCapsPhysicalOffsetX);
  job.PrinterOffsetY = inchesY(kGetDeviceCapsPhysicalOffsetY);
  job.PrintableWidth = inchesX(kGetDeviceCapsHorzRes);
  job.PrintableHeight = inchesY(kGetDeviceCapsVertRes);
}

PreviewSession::PreviewSession(PreviewEnvironment env)
    : env_(std::move(env)), paging_(pages_, *env_.job, *env_.designer, *this) {
  pages_ = FreshPages();
  drawing_ = env_.makeDrawing(pages_);
  canvas_ = std::make_unique<surface::PreviewSurface>(1.0, 1.0, env_.canvasDpi);
  objects_ = std::make_unique<DesignerObjects>(*env_.designer, *env_.job, pictures_, *canvas_);
}

PreviewSession::~PreviewSession() = default;

PreviewSession::LoadResult PreviewSession::Load(bool designerRestored) {
  app::PrintJob& job = *env_.job;
  app::Designer& designer = *env_.designer;
  LoadResult result;
  if (!designerRestored) objects_->Reset();
  objects_->Loaded();
  SetUnit(5);
  result.title = drawing_->GetReportTitle();
  result.dupPageAllowed = IsDupPageAllowed();

  surface::PrinterObject& printer = env_.printer();
  ReadPrinterGeometry(job, printer);
  if (job.LabelMedium == 1) {
    job.PageWidth = 2.9;
    job.PageHeight = 2.4;
  } else {
    job.PageWidth = printer.ScaleX(printer.Width(), surface::vbTwips, surface::vbInches);
    job.PageHeight = printer.ScaleY(printer.Height(), surface::vbTwips, surface::vbInches);
  }
  env_.shell->OpenDialogCount++;

  pages_ = FreshPages();
  pages_.TreeIcons = env_.treeIcons;
  pages_.MakeRowVisible = [this](double top, double height) {
    if (painting_) foundRow_ = std::make_pair(top, top + height);
  };
  wholePage_ = false;
  texttable::Recordset* rs = job.ReportRecordset.get();
  const bool hasRows = rs && rs->IsOpen() && rs->RecordCount() > 0;
  if (hasRows) {
    if (job.DescendingOrder)
      rs->MoveLast();
    else
      rs->MoveFirst();
    pages_.PageStarts[0] = rs->GetBookmark();
    pages_.CurrentPage = 1;
  } else if (job.ReportType != 7 && job.ReportType != 11 && job.ReportType != 12) {
    result.ok = false;
    return result;
  }

  job.FontTable[0] = Slot("Times Roman", 24, true, false);
  job.FontTable[1] = Slot("Times Roman", 18, true, false);
  job.FontTable[2] = Slot("Times Roman", 10, false, true);
  job.FontTable[3] = Slot("Arial", 11, true, false);
  job.FontTable[4] = Slot("Arial", 9, true, false);
  for (int slot : {5, 7})
    if (job.FontTable[slot].FontName.isEmpty()) job.FontTable[slot] = Slot("Arial", 8, false, false);

  if (job.PrintLeft == 0) job.PrintLeft = job.PrintTop = job.PrintRight = job.PrintBottom = 0.5;
  designer.ZoomFactor = DefaultZoomPercent(job) / 100.0;
  result.findOffered = IsFindOffered();
  if (!designerRestored) SetZoomFactor(ZoomCode(DefaultZoomPercent(job)), true);
  return result;
}

void PreviewSession::Unload(bool designerRestored) {
  app::PrintJob& job = *env_.job;
  env_.shell->OpenDialogCount--;
  job.PrintLeft = job.PrintTop = job.PrintRight = job.PrintBottom = 0.5;
  job.PrintOutlines = false;
  job.PageSetupChanged = false;
  job.CellTextFlags = 0;
  job.ZipStartColumn = job.ZipStartRow = 0;
  job.ForceSingleLabel = false;
  // The start cell and the margins that frame it go back together, so that the next job's
  // prompt names the cell it prints at; a job that keeps its page setup keeps both.
  if (env_.pageSetup && !designerRestored) {
    const reports::PageSettings designed;
    env_.pageSetup->StartPosition = designed.StartPosition;
    env_.pageSetup->LeftMargin = designed.LeftMargin;
    env_.pageSetup->TopMargin = designed.TopMargin;
    env_.pageSetup->RightMargin = designed.RightMargin;
    env_.pageSetup->BottomMargin = designed.BottomMargin;
  }
  job.ReportRecordset.reset();
  if (!designerRestored) app::UnloadPageSetup();
  job.TemplateKind = -1;
  job.LabelColumnCount = 1;
  env_.designer->FindRow = 0;
  env_.designer->FindPage = 0;
  objects_->Closed();
}

bool PreviewSession::SetZoomFactor(const QString& code, bool redraw) {
  const std::optional<int> percent = ZoomPercentFromCode(code);
  if (!percent) return false;
  canvasVisible_ = redraw;
  env_.designer->ZoomFactor = *percent / 100.0;
  const double zoom = env_.designer->ZoomFactor;
  canvas_->Resize(env_.job->PageWidth * zoom, env_.job->PageHeight * zoom);
  scratch_.reset();
  ComputePrintableBox();
  if (onLayout) onLayout();
  objects_->PlaceAll();
  if (redraw) DoPrintPreview();
  return true;
}

void PreviewSession::ComputePrintableBox() {
  app::PrintJob& job = *env_.job;
  const double zoom = env_.designer->ZoomFactor;
  if (job.LabelMedium == 1) {
    job.PrintLeft = 0.2 * zoom;
    job.PrintTop = 0.2 * zoom;
    job.PrintRight = 2.7 * zoom;
    job.PrintBottom = 2.2 * zoom;
    return;
  }
  const reports::PageSettings m = env_.pageSetup ? *env_.pageSetup : reports::PageSettings{};
  // The canvas's own offsets; the box's far edges are measured from the zoomed canvas.
  const reports::PageOffset off = reports::SurfaceOffset(m, job, false);
  job.PrintLeft = (off.x + m.LeftMargin) * zoom;
  job.PrintTop = (off.y + m.TopMargin) * zoom;
  job.PrintRight = CanvasWidth() - (m.RightMargin - off.x) * zoom;
  job.PrintBottom = CanvasHeight() - (m.BottomMargin - off.y) * zoom;
}

int PreviewSession::ZoomPercent() const { return designer::ZoomPercent(env_.designer->ZoomFactor); }

double PreviewSession::CanvasWidth() const { return env_.job->PageWidth * env_.designer->ZoomFactor; }

double PreviewSession::CanvasHeight() const { return env_.job->PageHeight * env_.designer->ZoomFactor; }

void PreviewSession::SetUnit(SHORT unitScale) {
  const MeasureUnit& unit = UnitForScale(unitScale);
  unitScale_ = unit.unitScale;
  unitFormat_ = QString::fromLatin1(unit.unitFormat);
  objects_->SetUnit(unitScale_);
}

QString PreviewSession::MeasurePanelText() const { return QString::fromLatin1(UnitForScale(unitScale_).panelText); }

const QImage& PreviewSession::CanvasImage() const { return canvas_->Image(); }

bool PreviewSession::IsDupPageAllowed() const {
  const app::PrintJob& job = *env_.job;
  return job.ReportType == 6 || job.ReportType == 7 || job.ReportType == 9 ||
         (job.TemplateKind >= 1 && job.TemplateKind <= 4);
}

bool PreviewSession::IsFindOffered() const {
  const app::PrintJob& job = *env_.job;
  const bool enoughRows = job.ReportRecordset && job.ReportRecordset->IsOpen() && job.ReportRecordset->RecordCount() >= 10;
  const bool table = job.ReportType != 4 && job.ReportType != 7 && job.ReportType != 11 && job.ReportType != 12;
  return enoughRows && table && job.LabelMedium != 1;
}

std::optional<std::pair<double, double>> PreviewSession::TakeFoundRow() {
  auto band = foundRow_;
  foundRow_.reset();
  return band;
}

void PreviewSession::CountPage() {
  if (!scratch_) {
    surface::RecordingOptions options;
    options.paperWidth = std::max(CanvasWidth(), 0.01);
    options.paperHeight = std::max(CanvasHeight(), 0.01);
    options.dpi = canvas_->DpiY();
    scratch_ = std::make_unique<surface::RecordingSurface>(options);
  }
  scratch_->ClearLog();
  ResetDrawingState(*scratch_);
  const PassOutcome outcome = RunPreviewPass(*scratch_, *env_.job, pages_, *drawing_, true);
  scratch_->ClearLog();
  if (outcome.wholePage) wholePage_ = true;
  lastCountRemains_ = outcome.rowsRemain;
}

void PreviewSession::StatePass() {
  const SHORT page = pages_.CurrentPage;
  if (!Visited(pages_, page) || !pages_.LastPageKnown) {
    bool rowsRemain = true;
    if (!Visited(pages_, page)) {
      const bool scroll = pages_.ScrollToFound;
      pages_.ScrollToFound = false;  // the painting marks the hit and asks for it to be shown
      CountPage();
      pages_.ScrollToFound = scroll;
      rowsRemain = lastCountRemains_;
    }
    if (!pages_.LastPageKnown && rowsRemain) {
      if (pages_.RowsOnPage >= 1)
        paging_.CalcNumberOfPages(pages_.RowsOnPage);
      else
        pages_.LastPageKnown = true;  // a page that takes no row: no further page can be found
    }
  }
  controls_ = ComputePageControls(pages_, wholePage_);
}

void PreviewSession::Paint() {
  const PageState kept = pages_;
  painting_ = true;
  ResetDrawingState(*canvas_);
  canvas_->Cls();
  try {
    RunPreviewPass(*canvas_, *env_.job, pages_, *drawing_, false);
    // The designer's texts lie over everything the page drew, then the hover outline.
    objects_->RepaintAllCustomTextControls(*canvas_);
    objects_->PaintTrace(*canvas_);
  } catch (...) {
    // A drawing error never stops the window: the page shows what was drawn.
  }
  painting_ = false;
  pages_ = kept;
}

void PreviewSession::DoPrintPreview(bool counting) {
  if (painting_) return;
  if (counting) {
    CountPage();
    return;
  }
  StatePass();
  Paint();
  if (onPageShown) onPageShown();
}

void PreviewSession::ShowPage() { DoPrintPreview(false); }

}  // namespace designer
