// The print launchers' label-stock layouts and label commands.
#include "printlaunchers.h"

#include "currentprinter.h"
#include "vbrt.h"

namespace app {

namespace {
QString Inches(double value) { return QString::fromStdU16String(vbrt::CStr(value)); }
std::array<QString, 4> Margins(double left, double top, double right, double bottom) {
  return {Inches(left), Inches(top), Inches(right), Inches(bottom)};
}
}  // namespace

LabelPagePlan PlanUserDefinedLabels(SHORT reportType, SHORT templateKind) {
  LabelPagePlan plan;
  if (reportType == 12) {
    plan.templateFolder = QStringLiteral("CD Custom");
    if (templateKind == 5) {
      plan.orientation = kLandscape;
      plan.margins = Margins(0.75, 1.875, 0.75, 1.875);
    } else {
      plan.orientation = kPortrait;
    }
    plan.labelRowCount = 1;
  } else if (reportType == 11) {
    if (templateKind == 2) {
      plan.orientation = kPortrait;
      plan.labelRowCount = 0;
      plan.templateFolder.clear();
    } else {
      plan.templateFolder = QStringLiteral("Zip Custom");
      plan.labelRowCount = 2;
      plan.orientation = kLandscape;
      plan.margins = Margins(7.0 / 8.0, 5.0 / 12.0, 7.0 / 8.0, 5.0 / 12.0);
    }
  } else {
    plan.templateFolder = QStringLiteral("Floppy Custom");
    plan.orientation = kPortrait;
    plan.margins = Margins(0.25, 0.5, 0.25, 0.5);
    plan.labelRowCount = 1;
  }
  return plan;
}

void ApplyLabelPlan(const LabelPagePlan& plan, PrintJob& job) {
  job.LabelMedium = 0;
  job.PrintHeader = true;
  job.PrintFooter = false;
  job.PrintOutlines = false;
  job.TemplateFolder = plan.templateFolder;
  if (plan.labelRowCount) job.LabelRowCount = *plan.labelRowCount;
}

void ApplyPageLayout(const LabelPagePlan& plan, reports::PageSettings& page) {
  surface::Printer().SetOrientation(plan.orientation);
  page.Orientation = plan.orientation;
  if (plan.margins) {
    // The margin boxes hold the runtime's number-to-text form; the layout reads it back.
    const auto& m = *plan.margins;
    page.LeftMargin = vbrt::CDbl(m[0].toStdU16String());
    page.TopMargin = vbrt::CDbl(m[1].toStdU16String());
    page.RightMargin = vbrt::CDbl(m[2].toStdU16String());
    page.BottomMargin = vbrt::CDbl(m[3].toStdU16String());
  }
}

std::optional<LabelSelectionPlan> PlanPrintSelection(const QString& typeText) {
  const QString floppy35 = QStringLiteral("3") + QChar(0x00BD) + QStringLiteral("\" Floppy Disk");
  if (typeText.isEmpty()) return std::nullopt;
  if (typeText == QLatin1String("Floppy Disk") || typeText == floppy35) {
    return LabelSelectionPlan{QStringLiteral("UPDFLP"), QStringLiteral("Floppy")};
  }
  if (typeText == QLatin1String("CD-RW Disk")) return LabelSelectionPlan{QStringLiteral("UPDCD"), QStringLiteral("CD")};
  if (typeText == QLatin1String("100MB Zip Drive") || typeText == QLatin1String("Zip Drive") ||
      typeText == QLatin1String("Zip Disk")) {
    return LabelSelectionPlan{QStringLiteral("UPDZIP"), QStringLiteral("Zip")};
  }
  return LabelSelectionPlan{std::nullopt, QStringLiteral("HD")};
}

QString NoDiskSelectedWarning() {
  return QStringLiteral(
      "Please select the disk for which you would like to print a label and press the Print button.");
}

}  // namespace app
