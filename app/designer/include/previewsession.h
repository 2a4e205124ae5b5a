// The preview window's state and decisions, without widgets: the print job it shows, the page
// canvas and its zoom, the measurement unit, the paging and the page passes. The window
// (frmPrint) shows what this class decides; tests and the benchmark drive it directly.
//
// The state pass and the painting are separate: the state pass measures a page on a scratch
// surface, finds where the next page starts and the page count, and sets the counter and the
// buttons; the painting draws the page on the canvas and leaves the paging state exactly as it
// found it, so a repaint never changes paging or widgets.
#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "designerobjects.h"
#include "pagesettings.h"
#include "pagestate.h"
#include "paging.h"
#include "picturestore.h"
#include "previewpass.h"
#include "reportdrawing.h"
#include "zoomunits.h"

namespace app {
struct PrintJob;
struct Designer;
struct ShellState;
}  // namespace app

namespace surface {
class PrinterObject;
class PreviewSurface;
class RecordingSurface;
}  // namespace surface

namespace designer {

// Where a preview takes what it shows. The drawing is made for the session's own paging state.
struct PreviewEnvironment {
  app::PrintJob* job = nullptr;
  app::Designer* designer = nullptr;
  app::ShellState* shell = nullptr;
  std::function<surface::PrinterObject&()> printer;
  reports::PageSettings* pageSetup = nullptr;  // none: the designed values
  std::function<std::unique_ptr<ReportDrawing>(PageState& pages)> makeDrawing;
  std::array<QImage, 7> treeIcons;  // the tree cells' item icons by item-type code
  double canvasDpi = 0;  // 0: the screen's
};

// The printer's physical offsets and printable size, in inches, into the job.
void ReadPrinterGeometry(app::PrintJob& job, surface::PrinterObject& printer);

class PreviewSession : private PagePasses {
 public:
  explicit PreviewSession(PreviewEnvironment env);
  ~PreviewSession();

  // What Load decided for the window.
  struct LoadResult {
    bool ok = true;           // false: no rows for a report that needs them ("Invalid recordset specified!")
    QString title;            // the report's title for the caption, or ""
    bool dupPageAllowed = false;
    bool findOffered = false;
  };
  // The window's Load: the job's recordset, the printer's page, the fonts, the default zoom
  // (unless the designer was restored) and page 1.
  LoadResult Load(bool designerRestored);
  // The window's Unload: the print settings reset for the next job.
  void Unload(bool designerRestored);

  // Applies a zoom code ("150PC"): the zoom factor, the canvas's size and the printable box;
  // redraw shows the page again. False (nothing changes) for a text that is no zoom code.
  bool SetZoomFactor(const QString& code, bool redraw);
  int ZoomPercent() const;
  double CanvasWidth() const;   // inches
  double CanvasHeight() const;
  bool CanvasVisible() const { return canvasVisible_; }
  void SetCanvasVisible(bool visible) { canvasVisible_ = visible; }

  // The measurement unit of the read-out (a scale code of kMeasureUnits).
  void SetUnit(SHORT unitScale);
  SHORT UnitScale() const { return unitScale_; }
  QString UnitFormat() const { return unitFormat_; }
  QString MeasurePanelText() const;

  // Shows the page CurrentPage (counting: only the counting pass).
  void DoPrintPreview(bool counting = false);
  const PageControls& Controls() const { return controls_; }
  bool WholePage() const { return wholePage_; }
  const QImage& CanvasImage() const;
  surface::PreviewSurface& Canvas() { return *canvas_; }

  // Called after every page shown (the window updates its widgets), and when a zoom change
  // needs the window laid out again before the page is drawn.
  std::function<void()> onPageShown;
  std::function<void()> onLayout;
  SHORT StartPosition() const { return env_.pageSetup ? env_.pageSetup->StartPosition : 0; }
  // The band of a search hit the last painting marked, once.
  std::optional<std::pair<double, double>> TakeFoundRow();

  PageState& Pages() { return pages_; }
  PreviewPaging& Paging() { return paging_; }
  const PreviewPaging& Paging() const { return paging_; }
  ReportDrawing& Drawing() { return *drawing_; }
  app::PrintJob& Job() { return *env_.job; }
  surface::PrinterObject& Printer() { return env_.printer(); }
  app::Designer& DesignerState() { return *env_.designer; }
  // The page settings the job was prepared with; none: the designed values.
  const reports::PageSettings* PageSetup() const { return env_.pageSetup; }
  // A page drawing of the job over a paging state of the caller's own (a print run pages
  // apart from the preview).
  std::unique_ptr<ReportDrawing> MakeDrawing(PageState& pages) const { return env_.makeDrawing(pages); }
  const std::array<QImage, 7>& TreeIcons() const { return env_.treeIcons; }
  // The designer's pictures by slot, read by the canvas, printing and the template files.
  PictureStore& Pictures() { return pictures_; }
  const PictureStore& Pictures() const { return pictures_; }
  // The designer's objects on the canvas.
  DesignerObjects& Objects() { return *objects_; }
  const DesignerObjects& Objects() const { return *objects_; }
  bool IsDupPageAllowed() const;
  bool IsFindOffered() const;

 private:
  void CountPage() override;
  void ShowPage() override;
  void StatePass();
  void Paint();
  void ComputePrintableBox();

  PreviewEnvironment env_;
  PageState pages_;
  PreviewPaging paging_;
  std::unique_ptr<ReportDrawing> drawing_;
  std::unique_ptr<surface::PreviewSurface> canvas_;
  std::unique_ptr<surface::RecordingSurface> scratch_;
  std::optional<std::pair<double, double>> foundRow_;
  PictureStore pictures_;
  std::unique_ptr<DesignerObjects> objects_;
  PageControls controls_;
  bool wholePage_ = false;
  bool canvasVisible_ = true;
  bool painting_ = false;
  bool lastCountRemains_ = false;
  SHORT unitScale_ = 5;
  QString unitFormat_ = QStringLiteral("0.000");
};

}  // namespace designer
