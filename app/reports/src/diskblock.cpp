// A disk's identity on paper: the heading and the trailing block of a file listing, and the
// self-contained block of one label; all read from AddUpdateResult.
#include <QDateTime>
#include <cmath>

#include "reports.h"
#include "vbrt.h"

namespace reports {

using surface::Surface;

namespace {

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

// The text after a note's first bar, or the whole note when it has none.
QString NoteAfterBar(const QString& note) {
  const qsizetype bar = note.indexOf(QLatin1Char('|'));
  return bar < 0 ? note : note.mid(bar + 1);
}

// A date element as a DATE: a date, a number (a DATE itself) or a date text.
std::optional<DATE> AsDate(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
      const QDateTime t = v.toDateTime();
      return vbrt::DateFromParts({t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                  t.time().minute(), t.time().second()});
    }
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
      return v.toDouble();
    default:
      if (!v.canConvert<QString>()) return std::nullopt;
      return vbrt::ParseDate(v.toString().trimmed().toStdU16String());
  }
}

// A number element: a number, or a numeric text.
std::optional<double> AsNumber(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return v.toDouble();
    default:
      if (!v.canConvert<QString>()) return std::nullopt;
      return vbrt::ParseNumber(v.toString().trimmed().toStdU16String());
  }
}

}  // namespace

QVariant Reports::Info(int index) const {
  const QVariantList list = selection_.AddUpdateResult.toList();
  return index >= 0 && index < list.size() ? list[index] : QVariant();
}

QString Reports::InfoText(int index) const {
  const QVariant v = Info(index);
  if (const auto n = AsNumber(v); n && v.typeId() != QMetaType::QString) return Q(vbrt::CStr(*n));
  return v.toString();
}

QString Reports::SerialText() const { return InfoText(app::kInfoSerial); }

// "Free: " and the free space in KB ("Free: 1,024K" for 1,048,576 bytes), or "Free: " and the
// element as it stands when it is not a number.
QString Reports::FreeSpaceText() const {
  const QVariant v = Info(app::kInfoFreeSpace);
  if (const auto bytes = AsNumber(v)) {
    return QStringLiteral("Free: ") + Q(vbrt::Format(*bytes / 1024, u"#,##0")) + QStringLiteral("K");
  }
  return QStringLiteral("Free: ") + v.toString();
}

// A Zip disk's serial keeps clear of the round right edge of a Zip sheet's cell.
double Reports::ZipInset() const {
  return InfoText(app::kInfoType) == QLatin1String("Zip Disk") && job_.PrintToIndex != 2 ? 0.125 : 0.0;
}

// The serial number in font slot 3, right-aligned 0.125 + the Zip inset short of the right
// edge, with its rule beneath and "No." (font slot 4) just before it. Returns the serial's
// line height.
double Reports::SerialLine(Surface& s, double left, double top, double right, bool countOnly) {
  const UINT calc = countOnly ? DT_CALCRECT : 0;
  const double k = ZipInset();
  SetFontFromRecord(s, 3);
  const QString serial = SerialText();
  const double th = s.TextHeight(serial);
  const double serialWidth = s.TextWidth(serial);
  if (!countOnly) s.Line(left, top + th, right, top + th, kBlack);
  double w = right - left - 0.125 - k, h = 0;
  PrintTextInRect(left, top + 0.1 * th, serial, s, w, h, DT_RIGHT + calc);
  SetFontFromRecord(s, 4);
  const double serialEnd = right - 0.125 - k;
  double nw = 0, nh = 0;
  PrintTextInRect(serialEnd - serialWidth - s.TextWidth(QStringLiteral("No. ")), top + th - s.TextHeight("N"),
                  QStringLiteral("No."), s, nw, nh, calc);
  return th;
}

double Reports::PrintFileRows(Surface& s, double left, double top, double right, bool heading, bool withNotes,
                              bool countOnly) {
  const UINT calc = countOnly ? DT_CALCRECT : 0;
  if (heading) {
    const double th = SerialLine(s, left, top, right, countOnly);
    SetFontFromRecord(s, 3);
    const double serialWidth = s.TextWidth(SerialText());
    SetFontFromRecord(s, 4);
    double w = right - left - 0.25 - serialWidth - s.TextWidth(QStringLiteral("No.   ")), h = 0;
    if (w > 0) PrintTextInRect(left + 0.125, top + th - s.TextHeight("N"), InfoText(app::kInfoName), s, w, h, calc);
    return 1.3 * th;
  }

  SetFontFromRecord(s, 5);
  const double th = s.TextHeight(QStringLiteral("W"));
  const QString type = InfoText(app::kInfoType);
  const QString freeText = FreeSpaceText();
  double line = 0;  // the y of the free-space line
  if (withNotes) {
    const double y0 = top - 3.8 * th;
    const bool separator =
        type != QLatin1String("Floppy Disk") && !(type == QLatin1String("Zip Disk") && job_.PrintToIndex != 0);
    if (separator && !countOnly) s.Line(left, y0, right, y0, kBlack);
    double w = right - left - 0.25, h = 2.3 * th;
    PrintTextInRect(left + 0.125, top - 3.6 * th, NoteAfterBar(InfoText(app::kInfoNote)), s, w, h,
                    DT_WORDBREAK + calc);
    if (!countOnly) s.Line(left, y0 + 2.8 * th, right, y0 + 2.8 * th, kBlack);
    line = y0 + 3.0 * th;
  } else {
    if (!countOnly) s.Line(left, top - 1.2 * th, right, top - 1.2 * th, kBlack);
    line = top - th;
  }
  double fw = 0, fh = 0;
  PrintTextInRect(left + 0.125, line, freeText, s, fw, fh, calc);
  // The date in the fixed US form of the program's locale, whatever the machine's settings.
  const auto when = AsDate(Info(app::kInfoTimeA));
  const QString date = when ? Q(vbrt::DateToText(*when)) : Info(app::kInfoTimeA).toString();
  QString modified = QStringLiteral("Modified: ") + date;
  if (s.TextWidth(modified) >= right - (left + 0.125 + s.TextWidth(freeText) + 0.1)) modified = date;
  double mw = right - 0.125 - left, mh = 0;
  const double last = PrintTextInRect(left, line, modified, s, mw, mh, DT_RIGHT + calc);
  return (withNotes ? 3.5 : 1.2) * last;
}

double Reports::PrintDiskBlock(Surface& s, double left, double top, double right, double bottom, bool full,
                               double ruleDepth, bool countOnly) {
  if (!full) {
    const double h = PrintFileRows(s, left, top, right, true, true, countOnly);
    job_.LabelCellLeft = left;
    job_.LabelCellTop = top + h;
    job_.LabelCellWidth = right - left;
    job_.LabelCellHeight = job_.PrintBottom - (top + 4 * h);
    return PrintFileRows(s, left, job_.PrintBottom, right, false, true, countOnly);
  }

  // One label: serial line, then "Disk Name:" and "Disk Note:" lines each 1.5 line heights
  // below the one above, a rule ruleDepth below the top (kept inside the label), and the free
  // space and the date beneath it.
  const UINT calc = countOnly ? DT_CALCRECT : 0;
  const double captionX = left + 1.0 / 8 * Zoom();
  const double valueX = left + 6.0 / 8 * Zoom();
  const double serialHeight = SerialLine(s, left, top, right, countOnly);
  SetFontFromRecord(s, 5);
  const double th = s.TextHeight(QStringLiteral("W"));
  const double ruleY = std::min(top + ruleDepth, bottom - 1.3 * th);
  double y = top + 1.5 * serialHeight;
  double w = 0, h = 0;
  PrintTextInRect(captionX, y, QStringLiteral("Disk Name:"), s, w, h, calc);
  double vw = std::max(0.0, right - valueX), vh = 0;
  const double nameHeight = PrintTextInRect(valueX, y, InfoText(app::kInfoName), s, vw, vh, calc);
  y += 1.5 * std::max(nameHeight, th);
  w = h = 0;
  PrintTextInRect(captionX, y, QStringLiteral("Disk Note:"), s, w, h, calc);
  double noteW = std::max(0.0, right - valueX), noteH = std::max(0.0, ruleY - y);
  if (noteH > 0) {
    PrintTextInRect(valueX, y, NoteAfterBar(InfoText(app::kInfoNote)), s, noteW, noteH, DT_WORDBREAK + calc);
  }
  if (!countOnly) s.Line(left, ruleY, right, ruleY, kBlack);
  const double line = ruleY + 0.15 * th;
  double fw = 0, fh = 0;
  const double freeHeight = PrintTextInRect(captionX, line, FreeSpaceText(), s, fw, fh, calc);
  const auto when = AsDate(Info(app::kInfoTimeA));
  const QString date = when ? Q(vbrt::Format(*when, u"m/d/yy h:MM AMPM")) : Info(app::kInfoTimeA).toString();
  double mw = std::max(0.0, right - 1.0 / 8 * Zoom() - left), mh = 0;
  const double dateHeight = PrintTextInRect(left, line, QStringLiteral("Modified: ") + date, s, mw, mh, DT_RIGHT + calc);
  return line + std::max(freeHeight, dateHeight);
}

}  // namespace reports
