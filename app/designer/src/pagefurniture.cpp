// The document header and page footer that the page drawing calls back.
#include "pagefurniture.h"

namespace designer {

double PageFurniture::PrintDocumentHeader(surface::Surface& s, double left, double top, double right,
                                          const QString& text, bool countOnly) {
  if (text.isEmpty()) return 0;
  const qsizetype cr = text.indexOf(QChar(13));
  const QString title = cr < 0 ? text : text.left(cr);
  const QString subtitle = cr < 0 ? QString() : text.mid(cr + 1);
  reports_.SetFontFromRecord(s, 0);
  double t = s.TextHeight(title);
  if (!subtitle.isEmpty()) {
    reports_.SetFontFromRecord(s, 3);
    t += s.TextHeight(subtitle) / 4;
  }
  if (!countOnly) {
    s.SetDrawWidth(2);
    s.Line(left, top + 1.5 * t, right, top + 1.5 * t, reports::kBlack);
    s.SetDrawWidth(1);
  }
  const UINT flags = countOnly ? DT_CALCRECT : 0;
  reports_.SetFontFromRecord(s, 0);
  double width = right - left, height = 0;
  const double h = reports_.PrintTextInRect(left, top, title, s, width, height, flags);
  if (!subtitle.isEmpty()) {
    reports_.SetFontFromRecord(s, 3);
    double subWidth = right - left, subHeight = 0;
    reports_.PrintTextInRect(left, top + h, subtitle, s, subWidth, subHeight, flags);
  }
  return 2 * h;
}

double PageFurniture::PrintPageFooter(surface::Surface& s, double left, double bottom, double right,
                                      const QString& text, bool pageNumber, bool countOnly, SHORT pageOffset) {
  if (text.isEmpty()) return 0;
  reports_.SetFontFromRecord(s, 2);
  const double f = s.TextHeight(text);
  double width = right - left, height = 0;
  const double h =
      reports_.PrintTextInRect(left, bottom - f, text, s, width, height, countOnly ? DT_CALCRECT : 0);
  if (pageNumber) {
    const QString number = QStringLiteral("Page %1").arg(pages_.CurrentPage + pageOffset);
    double numberWidth = s.TextWidth(number + QStringLiteral("W ")), numberHeight = 0;
    reports_.PrintTextInRect(right - numberWidth, bottom - f, number, s, numberWidth, numberHeight,
                             DT_RIGHT + (countOnly ? DT_CALCRECT : 0));
  }
  return 2 * h;
}

}  // namespace designer
