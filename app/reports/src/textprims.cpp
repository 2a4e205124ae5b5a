// The text primitives of the page drawing: text in a rectangle (plain or rotated), the font
// setters, report titles and the point and rectangle tests.
#include <cmath>

#include "reports.h"
#include "vbrt.h"

namespace reports {

using surface::Surface;
using surface::vbInches;
using surface::vbPixels;

double Reports::PrintTextInRect(double left, double top, const QString& text, Surface& s, UINT flags) {
  double width = 0, height = 0;
  return PrintTextInRect(left, top, text, s, width, height, flags, 0);
}

double Reports::PrintTextInRect(double left, double top, const QString& text, Surface& s, double& width,
                                double& height, UINT flags, double angle) {
  try {
    const LONG x1 = static_cast<LONG>(s.ScaleX(left, vbInches, vbPixels));
    const LONG y1 = static_cast<LONG>(s.ScaleY(top, vbInches, vbPixels));
    if (width == 0) width = s.TextWidth(QStringLiteral("A") + text);
    if (height == 0) height = s.TextHeight(text);
    const LONG x2 = x1 + static_cast<LONG>(s.ScaleX(width, vbInches, vbPixels));
    const LONG y2 = y1 + static_cast<LONG>(s.ScaleY(height, vbInches, vbPixels));
    if (angle != 0) {
      if (flags & DT_CALCRECT) return 0;  // measuring draws nothing
      const SHORT size = vbrt::CInt(s.FontSize());
      const int tenths = static_cast<int>(std::lround(angle * 10));
      if (rotated_) {
        rotated_(s.hDC(), text, tenths, x1, y1, x2, y2, s.FontName(), size, s.FontItalic(), s.FontBold(),
                 s.FontUnderline(), s.ForeColor());
      } else {
        s.PrintText(text, tenths, x1, y1, x2, y2, s.FontName(), size, s.FontItalic(), s.FontBold(), s.FontUnderline(),
                    s.ForeColor());
      }
      return 0;
    }
    s.SetBkMode(TRANSPARENT);
    RECT r{x1, y1, x2, y2};
    const int drawn = s.DrawText(text, r, flags + DT_EXPANDTABS);
    return s.ScaleY(drawn, vbPixels, vbInches);
  } catch (const vbrt::RuntimeError&) {
    return 0;
  }
}

void Reports::SetFontFromRecord(Surface& s, int slot) {
  if (slot < 0 || slot >= static_cast<int>(job_.FontTable.size())) return;
  const app::FontSlot& f = job_.FontTable[slot];
  if (!f.FontName.isEmpty()) s.SetFontName(f.FontName);
  if (f.FontSize > 0 && Zoom() > 0) s.SetFontSize(f.FontSize * Zoom());
  s.SetFontBold(f.FontBold);
  s.SetFontItalic(f.FontItal);
  s.SetFontUnderline(f.FontUnder);
  s.SetForeColor(f.FontColor);
}

void Reports::SetFontFromControl(Surface& s, const surface::TextFont& font, LONG foreColor) {
  s.SetFontName(font.Name);
  s.SetFontSize(vbrt::CInt(font.Size));
  s.SetFontBold(font.Bold);
  s.SetFontItalic(font.Italic);
  s.SetFontUnderline(font.Underline);
  s.SetForeColor(foreColor);
}

QString GetReportTitle(SHORT reportType, SHORT templateKind) {
  switch (reportType) {
    case 1: return QString();
    case 2: return QStringLiteral("Files - With Note");
    case 3: return QStringLiteral("Files - No Note");
    case 4: return QStringLiteral("Custom");
    case 5: return QStringLiteral("Choose Files");
    case 6: return QStringLiteral("Floppy Disk Label Batch");
    case 7: return QStringLiteral("User-Defined Floppy Disk Labels (Avery 6490)");
    case 9: return QStringLiteral("Zip Disk Label Batch");
    default: break;
  }
  switch (templateKind) {
    case 0: return QStringLiteral("User-Defined Floppy Disk Labels");
    case 1: return QStringLiteral("User-Defined Zip Case Insert Replacement");
    case 2: return QStringLiteral("User-Defined Zip Disk Labels (Avery 8925, 5925)");
    case 3: return QStringLiteral("User-Defined CD Labels (Avery 8931)");
    case 4: return QStringLiteral("User-Defined CD Labels (Avery 5824)");
    case 5: return QStringLiteral("User-Defined CD Case Insert (Xendora)");
    case 6: return QStringLiteral("User-Defined CD Case Insert (Avery 8931)");
    default: return QString();
  }
}

bool PointInRect(float x, float y, float left, float top, float right, float bottom) {
  return left <= x && x <= right && top <= y && y <= bottom;
}

bool RectInRect(float x, float y, float width, float height, float left, float top, float right, float bottom) {
  const float x2 = x + width;
  const float y2 = y + height;
  return PointInRect(x, y, left, top, right, bottom) && PointInRect(x2, y2, left, top, right, bottom);
}

// The label stock table. Report types 6 and 7 are the floppy sheet whatever the kind; report
// types 9 and 8 come before template kind 1, so that a "ZipSlip" batch never takes the case
// insert's geometry from a kind left over from another printout.
LabelStock GetLabelStockOffsets(SHORT reportType, SHORT templateKind) {
  auto stock = [](double l, double t, double cp, double rp, double w, double h, SHORT c, SHORT r) {
    return LabelStock{l, t, cp, rp, w, h, c, r, true};
  };
  if (reportType == 6 || reportType == 7) return stock(0.125, 0.5, 2.78125, 2.0, 2.6875, 2.0, 3, 5);
  if (reportType == 9) return stock(0.875, 0.416, 9.25 / 2, 7.668 / 2, 4.625, 3.834, 2, 2);
  if (reportType == 8) return stock(1.0, 0.25, 7.75 / 2, 11.0 / 3, 7.75 / 2 - 0.5, 11.0 / 3 - 0.5, 2, 3);
  switch (templateKind) {
    case 1: return stock(0.875, 0.416, 9.25 / 2, 7.668 / 2, 4.625, 3.834, 2, 2);
    case 2: return stock(1.27, 43.0 / 64, 3.625, 3.32, 2.34375, 2.0, 2, 3);
    case 3: return stock(1.938, 0.6875, 4.75, 5.0, 4.625, 4.625, 1, 2);
    case 4: return stock(2.0, 0.5, 4.5, 5.5, 4.5, 4.5, 1, 2);
    case 22: return stock(2.375, 2.908, 3.75, 3.33, 3.75, 9.0 / 32, 1, 3);
    case 33: return stock(2.375, 3.439, 3.75, 3.33, 3.75, 9.0 / 32, 1, 3);
    default: return LabelStock{};
  }
}

}  // namespace reports
