// Zoom codes, presets, the default zoom, and the read-out's units.
#include "zoomunits.h"

#include <cmath>

#include "appstate.h"
#include "vbrt.h"

namespace designer {

std::optional<int> ZoomPercentFromCode(const QString& code) {
  if (!code.endsWith(QLatin1String("PC")) || code.size() < 3 || code.size() > 7) return std::nullopt;
  const QStringView digits = QStringView(code).chopped(2);
  int value = 0;
  for (QChar c : digits) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    value = value * 10 + (c.unicode() - '0');
  }
  // A zoom beyond these bounds comes from no source of this program and would make the
  // canvas vanish or exhaust memory.
  if (value < 1 || value > 1000) return std::nullopt;
  return value;
}

QString ZoomCode(int percent) { return QString::number(percent) + QStringLiteral("PC"); }

QString ZoomCaption(int percent) { return QStringLiteral("Zoom: %1%").arg(percent); }

int ZoomPercent(double zoomFactor) { return static_cast<int>(std::lround(zoomFactor * 100.0)); }

int DefaultZoomPercent(const app::PrintJob& job) {
  if (job.LabelMedium == 2) return 90;
  if (job.ReportType == 1 || job.ReportType == 11 || job.ReportType == 12) return 85;
  return 100;
}

const MeasureUnit& UnitForScale(SHORT unitScale) {
  for (const MeasureUnit& unit : kMeasureUnits)
    if (unit.unitScale == unitScale) return unit;
  return kMeasureUnits[0];
}

QString FormatMeasure(double inches, const MeasureUnit& unit, double dpi) {
  double value = inches;
  switch (unit.unitScale) {
    case 3: value = inches * dpi; break;
    case 6: value = inches * 25.4; break;
    case 7: value = inches * 2.54; break;
    default: break;
  }
  const std::u16string pattern = QString::fromLatin1(unit.unitFormat).toStdU16String();
  return QString::fromStdU16String(vbrt::Format(value, pattern));
}

}  // namespace designer
