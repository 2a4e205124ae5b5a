// The print launchers' decisions, without widgets: the label-stock menu items with the stock
// and report kinds they set, how each user-defined label stock lays out its page (template
// folder, orientation, margins, cells), and which update command prints a disk's label.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "appstate.h"
#include "pagesettings.h"

namespace app {

inline constexpr SHORT kPortrait = 1;
inline constexpr SHORT kLandscape = 2;

// A label-stock menu item: it stores "UserDefinedLabels" after setting these.
struct LabelStockItem {
  const char* action;                  // the menu item's name
  const char* caption;
  std::optional<SHORT> templateKind;   // nothing: unchanged
  SHORT reportType;
};
inline constexpr LabelStockItem kLabelStockItems[] = {
    {"mnuToolsPrintFloppy", "&Floppy Disk(s)", std::nullopt, 7},
    {"mnuZipLabel", "&Zip Label (Avery 8925, 5925)", SHORT(2), 11},
    {"mnuZipCaseIns", "&Case Cover Insert (Xendora)", SHORT(1), 11},
    {"mnuCDLabel8931", "CD Label (Avery 8931)", SHORT(3), 12},
    {"mnuCDLabel5824", "CD Label (Avery 5824)", SHORT(4), 12},
    {"mnuCDInsFront", "Case Insert (Xendora)", SHORT(5), 12},
    {"mnuCDIns8931", "Case Insert (Avery 8931)", SHORT(6), 12},
};

// How a user-defined label job lays out its page (DoUserDefinedLabels).
struct LabelPagePlan {
  QString templateFolder;
  SHORT orientation = kPortrait;
  // Left, top, right, bottom margins in inches, as the page setup's margin boxes hold them
  // (the runtime's number-to-text form); nothing: the margins stay as they are.
  std::optional<std::array<QString, 4>> margins;
  std::optional<SHORT> labelRowCount;  // nothing: unchanged
};
LabelPagePlan PlanUserDefinedLabels(SHORT reportType, SHORT templateKind);

// Sets the shared print state for a user-defined label job: LabelMedium 0, header on, footer
// and outlines off, then the plan's folder and cells.
void ApplyLabelPlan(const LabelPagePlan& plan, PrintJob& job);

// Hands the plan's orientation to the current Printer and its margins to the run's page
// settings (the page setup's margin boxes), which the preview lays out.
void ApplyPageLayout(const LabelPagePlan& plan, reports::PageSettings& page);

// Which update command prints the label of a disk of that type text (DoPrintSelection):
// nothing for an empty type text (no disk selected: warn); pendingDiskCommand nothing keeps
// the previous one.
struct LabelSelectionPlan {
  std::optional<QString> pendingDiskCommand;
  QString templateFolder;
};
std::optional<LabelSelectionPlan> PlanPrintSelection(const QString& typeText);

// The warning of a print command with no disk selected.
QString NoDiskSelectedWarning();

}  // namespace app
