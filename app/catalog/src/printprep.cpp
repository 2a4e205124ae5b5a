// The label preparations of the update dialog's print half and the contents report.
#include "printprep.h"

#include <array>
#include <optional>

#include "appstate.h"
#include "currentprinter.h"
#include "forms.h"
#include "iteminfovariant.h"
#include "pagesettings.h"
#include "printlaunchers.h"
#include "reporttable.h"
#include "texttable.h"
#include "vbrt.h"
#include "windowlinks.h"

namespace app::catalog {

namespace {
constexpr int kErrFileNotFound = 53;

QString Blanks(LONG n) { return QString(static_cast<qsizetype>(std::max<LONG>(n, 0)), u' '); }

QString NumberText(double value) { return QString::fromStdU16String(vbrt::CStr(value)); }

// The orientation and, when given, the margins (left, top, right, bottom) of the job: into
// the run's page settings, which the preview and the print run read, and onto the Printer.
void SetPageLayout(SHORT orientation, std::optional<std::array<double, 4>> margins = std::nullopt) {
  LabelPagePlan plan;
  plan.orientation = orientation;
  if (margins) {
    const auto& m = *margins;
    plan.margins = std::array<QString, 4>{NumberText(m[0]), NumberText(m[1]), NumberText(m[2]), NumberText(m[3])};
  }
  ApplyPageLayout(plan, reports::CurrentPageSettings());
}

void PageSizeFromPrinter(PrintJob& job) {
  surface::PrinterObject& printer = surface::Printer();
  job.PageWidth = printer.ScaleX(printer.Width(), surface::vbTwips, surface::vbInches);
  job.PageHeight = printer.ScaleY(printer.Height(), surface::vbTwips, surface::vbInches);
}

QString SerialText(const AppState& state, const char16_t* pattern) {
  return QStringLiteral("R@") +
         QString::fromStdU16String(vbrt::Format(ItemInfoNumber(state.selection.AddUpdateResult, kInfoSerial), pattern));
}

// The description every label job shares: one NAME column, left-aligned with its icon.
void OneNameColumn(PrintJob& job) {
  job.ReportColumnCount = 1;
  job.CellAlignFlags = 0;
  job.ReportFieldNames = {QStringLiteral("NAME")};
  job.ReportColumnWidths = {100};
  job.ReportColumnFormats = {QStringLiteral("IL@")};
}

// The chosen files as rows: the tree's when it is the view chosen and has nodes, else the
// list's; list names trimmed, and lower-cased for the label lists.
bool WriteChosenRows(AppState& state, const PrintChoice& choice, bool lowerCase) {
  PrintJob& job = state.print;
  WriteReportTableHeader(job, QStringLiteral("NAME"), QString::fromLatin1(kDataExportFile));
  if (choice.fromTree) {
    if (!choice.tree || choice.tree->Empty()) return false;
    return ExportCheckedNodes(state, *choice.tree, 0, 0, choice.onlyChecked);
  }
  bool any = false;
  if (!choice.list) return false;
  for (const PrintListView::Item& i : choice.list->Items()) {
    if (choice.onlyChecked && !i.checked) continue;
    const QString text = i.item.text.trimmed();
    AppendReportRow(job, {(lowerCase ? text.toLower() : text) + i.item.tag});
    any = true;
  }
  return any;
}

void OneEmptyRow(PrintJob& job) {
  WriteReportTableHeader(job, QStringLiteral("NAME"), QString::fromLatin1(kDataExportFile));
  AppendReportRow(job, {QString()});
}

void ShowPrepareError() {
  const ErrorInfo e = DescribeError(std::current_exception());
  forms::MsgBox(QStringLiteral("ERROR:   ") + QString::number(e.number) + QChar(u'\r') + e.description,
                forms::vbOKOnly);
}

template <class F>
std::optional<bool> Prepare(F&& body) {
  try {
    return body();
  } catch (...) {
    ShowPrepareError();
    return std::nullopt;
  }
}
}  // namespace

QString NoFilesSelectedWarning() {
  return QStringLiteral(
      "No files selected to print.  Click on the \"Sort Files\" or the \"Tree View\" tab to select files that will "
      "appear on your custom label.");
}

bool ExportCheckedNodes(AppState& state, const PrintTreeView& tree, int parent, SHORT depth, bool onlyChecked) {
  // Iterative depth-first in the tree's order, so that a deep tree does not exhaust the stack.
  bool any = false;
  struct Level {
    const std::vector<int>* siblings;
    size_t next;
    SHORT depth;
  };
  std::vector<Level> stack{{&tree.At(parent).children, 0, depth}};
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next >= level.siblings->size()) {
      stack.pop_back();
      continue;
    }
    const PrintTreeView::Node& node = tree.At((*level.siblings)[level.next++]);
    if (!onlyChecked || node.checked) {
      AppendReportRow(state.print, {Blanks(level.depth * state.print.IndentWidth) + node.text +
                                    QString::fromStdU16String(vbrt::Format(node.image, u"00"))});
      any = true;
    }
    if (!node.children.empty()) stack.push_back(Level{&node.children, 0, static_cast<SHORT>(level.depth + 1)});
  }
  return any;
}

bool ExportCheckedItems(AppState& state, const PrintChoice& choice) {
  const bool any = WriteChosenRows(state, choice, true);
  if (any) {
    RestoreFromCustArray(choice.firstPrint);
    ShowPrintPreview();
  }
  return any;
}

std::optional<bool> PrepareFileListPrint(AppState& state, const PrintChoice& choice, const QVariant& diskInfo) {
  return Prepare([&] {
    PrintJob& job = state.print;
    OneNameColumn(job);
    job.PageColumnCount = 1;
    job.ReportColumnTitles.reset();
    job.ReportTitle = QStringLiteral("R@") +
                      QString::fromStdU16String(vbrt::Format(ItemInfoNumber(diskInfo, kInfoSerial), u"0000000000"));
    job.ColumnGap = 0;
    job.PrintOutlines = true;
    job.PrintHeader = job.PrintFooter = true;
    if (choice.firstPrint)
      SetPageLayout(kPortrait, std::array<double, 4>{0.25, 0.5, 5.75, 8.562});
    else
      SetPageLayout(kPortrait);
    bool any = WriteChosenRows(state, choice, false);
    if (job.ReportType == 4) {
      AppendReportRow(job, {QString()});
      any = true;
    }
    if (any && RestoreFromCustArray(choice.firstPrint)) ShowPrintPreview();
    return any;
  });
}

std::optional<bool> PrepareZipLabelPrint(AppState& state, const PrintChoice& choice) {
  return Prepare([&] {
    PrintJob& job = state.print;
    OneNameColumn(job);
    job.PageColumnCount = 2;
    job.PrintOutlines = false;
    const SHORT stock = job.PrintToIndex;
    if (stock == 0)
      SetPageLayout(kPortrait, std::array<double, 4>{0.85, 0.25, 0.25, 0.25});
    else
      SetPageLayout(stock == 1 ? kLandscape : kPortrait);
    PageSizeFromPrinter(job);
    SetupForZipLabel();
    if (stock == 0) {
      job.LabelRowCount = 3;
      job.ReportTitle.clear();
      job.ReportColumnTitles = QStringList{QStringLiteral("ZIPTableTitle")};
      job.ColumnGap = 0.2;
    } else {
      job.LabelRowCount = 1;
      job.ReportTitle = SerialText(state, u"0000000000");
      job.ReportColumnTitles.reset();
      job.PrintHeader = job.PrintFooter = true;
      job.ColumnGap = 0;
    }
    if (job.ReportType == 4) {
      OneEmptyRow(job);
      if (RestoreFromCustArray(choice.firstPrint)) ShowPrintPreview();
      return true;
    }
    return ExportCheckedItems(state, choice);
  });
}

std::optional<bool> PrepareCDLabelPrint(AppState& state, const PrintChoice& choice) {
  return Prepare([&] {
    PrintJob& job = state.print;
    OneNameColumn(job);
    const bool custom = job.ReportType == 4;
    job.PageColumnCount = custom ? 2 : 1;
    job.ReportColumnTitles = QStringList{QStringLiteral("CDRWTableTitle")};
    job.ReportTitle = SerialText(state, u"0");
    job.ColumnGap = 0;
    job.LabelRowCount = custom ? 1 : 2;
    if (custom) {
      job.ZipStartColumn = 1;
      struct ColumnBack {
        PrintJob& job;
        ~ColumnBack() { job.ZipStartColumn = 0; }
      } back{job};
      SetPageLayout(kLandscape, std::array<double, 4>{0.75, 1.875, 0.75, 1.875});
      PageSizeFromPrinter(job);
      OneEmptyRow(job);
      RestoreFromCustArray(choice.firstPrint);
      ShowPrintPreview();
      return true;
    }
    SetPageLayout(kPortrait, std::array<double, 4>{1.875, 0.75, 1.875, 0.75});
    return ExportCheckedItems(state, choice);
  });
}

void ContentsReport(AppState& state, const QString& path, bool includeLocation) {
  PrintJob& job = state.print;
  try {
    texttable::Recordset* rs = job.ReportRecordset.get();
    if (!rs || !rs->IsOpen() || rs->RecordCount() <= 0) {
      forms::MsgBox(QString::fromLatin1(kNoDataToPrint), forms::vbOKOnly + forms::vbCritical, QStringLiteral("ERROR!"));
      return;
    }
    rs->MoveFirst();
    job.ReportColumnCount = includeLocation ? 5 : 4;
    job.ReportTitle = QStringLiteral("Contents") + QChar(u'\r') + path;
    job.PrintHeader = job.PrintFooter = true;
    job.PageColumnCount = 1;
    job.CellAlignFlags = 1;
    if (includeLocation) {
      job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("LOCATION"), QStringLiteral("TYPE"),
                              QStringLiteral("SIZE"), QStringLiteral("MODIFIED")};
      job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Type"),
                                           QStringLiteral("Size"), QStringLiteral("Modified")};
      job.ReportColumnWidths = {20.5, 40, 11, 11, 17.5};
      job.ReportColumnFormats = {QStringLiteral("IL@"), QStringLiteral("L@"), QStringLiteral("L@"),
                                 QStringLiteral("R@"), QStringLiteral("R@")};
    } else {
      job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("TYPE"), QStringLiteral("SIZE"),
                              QStringLiteral("MODIFIED")};
      job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Size"),
                                           QStringLiteral("Modified")};
      job.ReportColumnWidths = {48, 21.5, 13, 17.5};
      job.ReportColumnFormats = {QStringLiteral("IL@"), QStringLiteral("L@"), QStringLiteral("R@"),
                                 QStringLiteral("R@")};
    }
    SetPageLayout(kPortrait);
    job.ReportType = 1;
    ShowPrintPreview();
  } catch (...) {
    const ErrorInfo e = DescribeError(std::current_exception());
    if (e.number != kErrFileNotFound)
      forms::MsgBox(QString::number(e.number) + QStringLiteral("     ") + e.description, forms::vbOKOnly);
  }
  state.walk.FoldersOnly = false;
}

}  // namespace app::catalog
