// The Reports module: one drawing code for the preview canvas, the printer and the designer.
// It draws a report page or label sheet by report type (page heads, disk blocks, file rows,
// label stock outlines, label batches) and the report table's rows, onto any surface.
//
// Lengths are inches on the surface; on the canvas the caller's values are already
// multiplied by ZoomFactor where the drawing says so. Whether a surface is the printer is
// Surface::IsPrinter. Every procedure takes the shared parts it reads from the Reports object
// (the print job, the designer's zoom, the selection's AddUpdateResult, the page settings),
// which the caller hands in by reference.
//
// Count-only mode (the countOnly arguments) measures without drawing anything: text goes
// through DrawTextA's calculate-only flag, lines and boxes are skipped, rotated text is not
// drawn.
#pragma once

#include <QImage>
#include <QString>
#include <QVariant>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "appstate.h"
#include "pagesettings.h"
#include "surface.h"
#include "texttable.h"

namespace reports {

inline constexpr LONG kBlack = 0x000000;
inline constexpr LONG kLightGrey = 0xC0C0C0;  // RGB(192, 192, 192)
inline constexpr LONG kWhite = 0xFFFFFF;
inline constexpr LONG kRed = 0x0000FF;        // RGB(255, 0, 0)

// The message CalcRowHeight's caller shows before it closes the preview.
inline constexpr char kInvalidRecordset[] = "Invalid recordset specified!";

// The rotated-text service of the catalog browser control (ICompCtl::PrintText): device
// context, text, angle in tenths of a degree, the target rectangle in device pixels, font
// name, size in points, italic, bold, underline (non-zero = on) and a colour it does not use.
using RotatedText = std::function<void(HDC hdc, const QString& text, int angle, LONG left, LONG top, LONG right,
                                       LONG bottom, const QString& fontName, SHORT fontSize, LONG italic, LONG bold,
                                       LONG underline, LONG color)>;

// What the preview window draws for a page head and foot, called back by the page drawing.
class PageCallbacks {
 public:
  // The document's title block; returns twice the title line's height.
  virtual double PrintDocumentHeader(surface::Surface& s, double left, double top, double right,
                                     const QString& text, bool countOnly) = 0;
  // The page's foot line above bottom, with "Page n" when pageNumber; returns twice its height.
  virtual double PrintPageFooter(surface::Surface& s, double left, double bottom, double right, const QString& text,
                                 bool pageNumber, bool countOnly, SHORT pageOffset) = 0;

 protected:
  ~PageCallbacks() = default;
};

// The label stock geometry of a sheet, inches at zoom 1.0: the first label's left and top,
// the pitches from one label to the next, one label's size, the labels across and down.
// Label (c, r), from 1, lies at (left + (c - 1) * colPitch, top + (r - 1) * rowPitch).
struct LabelStock {
  double left = 0, top = 0, colPitch = 0, rowPitch = 0, cellWidth = 0, cellHeight = 0;
  SHORT columns = 0, rows = 0;
  bool known = false;  // false: the stock has no geometry here (all values 0)
};

// The stock of a report type and template kind: the floppy sheet for report types 6 and 7;
// else the Zip case insert for report type 9, the "ZipSlip" sheet for 8; else by template
// kind (1 case insert, 2 Zip labels, 3 and 4 CD labels, 22 and 33 the Zip sheet strips).
LabelStock GetLabelStockOffsets(SHORT reportType, SHORT templateKind);

// The printout's title by report type (and template kind for the label sheets).
QString GetReportTitle(SHORT reportType, SHORT templateKind);

// Edges count as inside; RectInRect sums in single precision.
bool PointInRect(float x, float y, float left, float top, float right, float bottom);
bool RectInRect(float x, float y, float width, float height, float left, float top, float right, float bottom);

// The paging fields of the preview window that the table rows read and write.
struct TablePage {
  // Where each page starts: element k is the first row of page k + 1 (nothing: not known).
  std::vector<std::optional<texttable::Bookmark>> PageStarts;
  SHORT CurrentPage = 1;
  bool LastPageKnown = false;
  SHORT LastPageColumns = 0;  // page columns that held rows on the last table page drawn
  double RowSlack = 0;        // inches added to every row
  SHORT RowsOnPage = 0;
  bool ScrollToFound = false;
  double NoteLabelWidth = 0;  // pixels: a note's part before its bar
  // The tree cells' item icons by item-type code (00 local disk to 06 file); a null image
  // paints nothing.
  std::array<QImage, 7> TreeIcons;
  // Asked to scroll the band of the search hit into view (inches on the surface).
  std::function<void(double top, double height)> MakeRowVisible;
};

class Reports {
 public:
  Reports(app::PrintJob& job, app::Designer& designer, app::Selection& selection, const PageSettings& page)
      : job_(job), designer_(designer), selection_(selection), page_(page) {}

  // The rotated-text service; without one, the surface's own rotated-text routine (the same
  // placement) draws.
  void SetRotatedText(RotatedText rotated) { rotated_ = std::move(rotated); }
  void SetCallbacks(PageCallbacks* callbacks) { callbacks_ = callbacks; }

  app::PrintJob& job() { return job_; }

  // ---- Page heads and feet
  // The page head or label layout of the report type; the height drawn, or -1.0 for the
  // label layouts (one page, no table rows below), 0 for no report.
  double PrintReportPage(surface::Surface& s, double left, double top, double right, bool countOnly = false);
  // The page foot or trailing disk block.
  double PrintDirectoryFooter(surface::Surface& s, double left, double top, double right, bool pageNumber = true,
                              bool countOnly = false, SHORT pageOffset = 0);
  // The head of a continued label list.
  double PrintNextPageHeader(surface::Surface& s, double left, double top, double right, bool countOnly = false);

  // ---- Text primitives
  // Text in a rectangle at (left, top); a width or height of 0 is measured (width: "A" and the
  // text) and written back. angle != 0 draws rotated (returns 0); else DrawTextA with flags +
  // DT_EXPANDTABS, returning the drawn height in inches. A surface error returns 0.
  double PrintTextInRect(double left, double top, const QString& text, surface::Surface& s, double& width,
                         double& height, UINT flags, double angle = 0);
  double PrintTextInRect(double left, double top, const QString& text, surface::Surface& s, UINT flags = 0);
  // A font slot's face, size x ZoomFactor, styles and colour; a slot never set (size 0)
  // leaves the surface's size, an empty name its face.
  void SetFontFromRecord(surface::Surface& s, int slot);
  static void SetFontFromControl(surface::Surface& s, const surface::TextFont& font, LONG foreColor);

  // ---- Disk blocks
  // heading: the disk's serial, "No." and name at the top (returns 1.3 line heights);
  // otherwise the trailing block drawn upwards from top: note, free space and date.
  double PrintFileRows(surface::Surface& s, double left, double top, double right, bool heading, bool withNotes,
                       bool countOnly = false);
  // A disk's block: the heading and trailing block of a listing, or (full) one label's block
  // with its bottom rule `ruleDepth` below top.
  double PrintDiskBlock(surface::Surface& s, double left, double top, double right, double bottom, bool full,
                        double ruleDepth, bool countOnly = false);

  // ---- Label sheets and outlines
  void DrawLabelSheet(surface::Surface& s);
  void DrawLabelOutline(surface::Surface& s);
  // A columns x rows grid of rounded rectangles (radius > 0, inches) or boxes.
  void DrawRoundRect(surface::Surface& s, double left, double top, double colPitch, double rowPitch, double cellW,
                     double cellH, LONG color, SHORT columns, SHORT rows, double radius = 0);
  void DrawJacketFrame(surface::Surface& s, std::optional<LONG> color = std::nullopt);

  // ---- Label batches (the report table's rows, one disk block per label cell)
  void PrintDiskLabelBatch(surface::Surface& s, double left, double top, double right);
  void PrintLabelBatch(surface::Surface& s, double left, double top, double right);

  // ---- Report table rows
  // One page of rows in the body box; -1.0 for no columns, -y when the rows ran out (or the
  // page is the only one), +y when rows remain for a further page.
  double PrintTableRows(surface::Surface& s, TablePage& pg, double left, double top, double width, double height,
                        SHORT columns, double gap, bool countOnly = false);
  // One row (or the title row) at (x, y); its height in inches plus RowSlack.
  double PrintTableRow(surface::Surface& s, TablePage& pg, double x, double y, double width, bool title,
                       bool countOnly = false);
  // A note split at its first "|": the part before it in NoteLabelWidth pixels, the rest
  // from the bar on; the taller part's height in pixels.
  int DrawNoteText(surface::Surface& s, double noteLabelWidth, const QString& text, LONG left, LONG top, LONG right,
                   LONG bottom, UINT flags);
  double PrintFormatedText(surface::Surface& s, double left, double top, const QString& value, double width,
                           double height, const QString& format);
  // Rewinds the table (page < 1) or makes page n the new page 1, sets ZoomFactor 1.0 and the
  // surface's printable box. False when the table has no rows and the report needs rows: the
  // caller shows kInvalidRecordset and closes the preview.
  bool CalcRowHeight(surface::Surface& s, TablePage& pg, SHORT page = 0);

 private:
  double Zoom() const { return designer_.ZoomFactor; }
  QVariant Info(int index) const;
  QString InfoText(int index) const;
  QString SerialText() const;
  QString FreeSpaceText() const;
  double ZipInset() const;
  double SerialLine(surface::Surface& s, double left, double top, double right, bool countOnly);
  void ZipSheetPreStep(surface::Surface& s, double left, double top, bool countOnly);
  void CustomListing(surface::Surface& s, double left, double top, double right, bool countOnly);
  void SpineText(surface::Surface& s, const QString& text, double x, double top, double width);
  void DrawSheetByKind(surface::Surface& s, PageOffset off, LONG color);
  void ZipSheetGuides(surface::Surface& s, PageOffset off, LONG color);
  void LoadBatchRecord();
  QString CellText(int field, bool& tree, int& treeCode, int& leadingBlanks, UINT& flags) const;
  // Keeps a data cell's text whole: a text wider than its box r (the cell less its insets)
  // that fits the cell from cellLeft to cellRight takes the insets' room; one wider than that
  // wraps (flags), at blanks and within a word too long for the cell.
  static void FitCellText(surface::Surface& s, const QString& text, RECT& r, LONG cellLeft, LONG cellRight,
                          UINT& flags);

  app::PrintJob& job_;
  app::Designer& designer_;
  app::Selection& selection_;
  const PageSettings& page_;
  RotatedText rotated_;
  PageCallbacks* callbacks_ = nullptr;
};

}  // namespace reports
