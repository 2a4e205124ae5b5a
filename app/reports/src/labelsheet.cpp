// The guide outlines of label stock: round CD labels with their hubs, rounded Zip and floppy
// labels, the Zip and CD case insert panels, the jacket frame and the Zip sheet's cut guides.
#include "reports.h"
#include "vbrt.h"

namespace reports {

using surface::Surface;
using surface::vbInches;
using surface::vbPixels;

void Reports::DrawLabelSheet(Surface& s) {
  if (s.IsPrinter() && !job_.PrintOutlines) return;
  const PageOffset off = s.IsPrinter() ? PageOffset{job_.PrinterOffsetX, job_.PrinterOffsetY} : PageOffset{};
  const LONG color = page_.MarginsChecked ? kBlack : kLightGrey;
  if (job_.LabelMedium == 2 || job_.ReportType == 8) {
    ZipSheetGuides(s, off, color);
    return;
  }
  DrawSheetByKind(s, off, color);
}

void Reports::DrawSheetByKind(Surface& s, PageOffset off, LONG color) {
  const double z = Zoom();
  auto X = [&](double v) { return (v - off.x) * z; };
  auto Y = [&](double v) { return (v - off.y) * z; };
  switch (job_.TemplateKind) {
    case 1: {
      const LabelStock g = GetLabelStockOffsets(job_.ReportType, 1);
      const double L = X(g.left), T = Y(g.top), W = g.cellWidth * z, H = g.cellHeight * z;
      const double m = s.TextHeight(QStringLiteral("W")) / 4;
      const double R = L + g.columns * W, B = T + g.rows * H;
      s.SetDrawStyle(surface::vbSolid);
      s.Line(L - m, T, R, T, color);
      s.LineTo(R, B, color);
      s.LineTo(L - m, B, color);
      s.LineTo(L - m, T, color);
      s.Line(L - m, T + g.rows * H / 2, R, T + g.rows * H / 2, color);
      s.Line((L - m + R) / 2, T, (L - m + R) / 2, B, color);
      s.SetDrawStyle(surface::vbDot);
      for (double x : {L + 0.375 * z, (L + R) / 2 + 0.375 * z, L + 0.6875 * z, (L + R) / 2 + 0.6875 * z}) {
        s.Line(x, T, x, B, color);
      }
      s.SetDrawStyle(surface::vbSolid);
      break;
    }
    case 2: {
      // The labels, then the two sets of strips that belong to the sheet.
      for (SHORT kind : {SHORT(2), SHORT(22), SHORT(33)}) {
        job_.TemplateKind = kind;
        const LabelStock g = GetLabelStockOffsets(job_.ReportType, kind);
        DrawRoundRect(s, X(g.left), Y(g.top), g.colPitch * z, g.rowPitch * z, g.cellWidth * z, g.cellHeight * z,
                      color, g.columns, g.rows, z / 16);
      }
      job_.TemplateKind = 2;
      break;
    }
    case 3:
    case 4: {
      const bool avery8931 = job_.TemplateKind == 3;
      const double cx = avery8931 ? 4.2505 : 4.25;
      const double radius = avery8931 ? 2.3125 : 2.25;
      const double centres[2] = {avery8931 ? 3.0 : 2.75, avery8931 ? 8.0 : 8.25};
      for (double cy : centres) {
        s.Circle(X(cx), Y(cy), radius * z, color);
        s.Circle(X(cx), Y(cy), 0.8125 * z, color);
      }
      break;
    }
    case 5:
      DrawJacketFrame(s, color);
      break;
    case 6:
      s.SetFillStyle(surface::vbFSTransparent);
      s.Box(X(1.563), Y(0.625), X(6.938), Y(5.25), color);
      s.Box(X(1.313), Y(0.625), X(7.188), Y(5.25), color);
      s.Box(X(1.875), Y(5.625), X(6.625), Y(10.375), color);
      break;
    default:
      break;
  }
}

// The cut guides of a Zip sheet: a horizontal line at the bottom of every label row (the
// last on the page's bottom edge), a vertical line 0.75 in from the paper's left edge and one
// halfway across what is right of it.
void Reports::ZipSheetGuides(Surface& s, PageOffset off, LONG color) {
  const double z = Zoom();
  const SHORT rows = job_.LabelRowCount;
  const double left = 0.75 * z - off.x;
  s.SetDrawStyle(surface::vbSolid);
  for (int i = 1; i <= rows; ++i) {
    const double y = i * job_.PageHeight * z / rows - off.y;
    s.Line(left, y, job_.PageWidth * z - off.x, y, color);
  }
  const double bottom = job_.PageHeight * z - off.y;
  s.Line(left, -off.y, left, bottom, color);
  const double middle = (job_.PageWidth + 0.75) * z / 2 - off.x;
  s.Line(middle, -off.y, middle, bottom, color);
}

// The outlines of the user-defined label sheets, light grey; the colour is black again on
// every way out.
void Reports::DrawLabelOutline(Surface& s) {
  s.SetForeColor(kLightGrey);
  const SHORT type = job_.ReportType;
  if ((type == 6 || type == 7) && !s.IsPrinter()) {
    const double z = Zoom();
    const LabelStock g = GetLabelStockOffsets(type, job_.TemplateKind);
    DrawRoundRect(s, g.left * z, g.top * z, g.colPitch * z, g.rowPitch * z, g.cellWidth * z, g.cellHeight * z,
                  s.ForeColor(), g.columns, g.rows, z / 8);
  } else if (type == 11 || type == 12) {
    DrawLabelSheet(s);
  }
  s.SetForeColor(kBlack);
}

void Reports::DrawRoundRect(Surface& s, double left, double top, double colPitch, double rowPitch, double cellW,
                            double cellH, LONG color, SHORT columns, SHORT rows, double radius) {
  auto px = [&](double v) { return static_cast<int>(s.ScaleX(v, vbInches, vbPixels)); };
  auto py = [&](double v) { return static_cast<int>(s.ScaleY(v, vbInches, vbPixels)); };
  if (radius > 0) {
    const LONG saved = s.ForeColor();
    s.SetForeColor(color);
    if (s.IsPrinter()) s.Line(0, 0, 0, 0, 0);  // opens the printer's page before the device draws
    const int ew = px(2 * radius), eh = py(2 * radius);
    for (int c = 1; c <= columns; ++c) {
      for (int r = 1; r <= rows; ++r) {
        const double x1 = left + (c - 1) * colPitch, y1 = top + (r - 1) * rowPitch;
        s.RoundRect(px(x1), py(y1), px(x1 + cellW), py(y1 + cellH), ew, eh);
      }
    }
    s.SetForeColor(saved);
    return;
  }
  for (int c = 1; c <= columns; ++c) {
    for (int r = 1; r <= rows; ++r) {
      const double x1 = left + (c - 1) * colPitch, y1 = top + (r - 1) * rowPitch;
      s.Box(x1, y1, x1 + cellW, y1 + cellH, color);
    }
  }
}

void Reports::DrawJacketFrame(Surface& s, std::optional<LONG> color) {
  SetFontFromRecord(s, 5);
  const double a = s.TextHeight(QStringLiteral("A"));
  s.SetForeColor(color.value_or(kBlack));
  const double l = job_.PrintLeft, t = job_.PrintTop, r = job_.PrintRight, b = job_.PrintBottom;
  s.Line(l, t, r, t);
  s.Line(r, t, r, b);
  s.Line(l, t, l, b);
  s.Line(l, b, r, b);
  s.Line((l + r) / 2, t, (l + r) / 2, b);
  PrintTextInRect(l, t - a, QStringLiteral("Inside Jacket"), s, 0);
  PrintTextInRect((l + r) / 2, t - a, QStringLiteral("Front Cover"), s, 0);
}

}  // namespace reports
