// Batch load and print, and the disks to print: the two batch pages, the disk list with its
// ticks, sorting and date filter, the label kinds, and OK in batch mode.
#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "diskexport.h"
#include "disklist.h"
#include "forms.h"
#include "pagesetupstate.h"
#include "printersurface.h"
#include "windowlinks.h"

namespace printsetup {

namespace {

// A drive assigned to a media type: "" and the settings file's "-1" mean none.
bool HasDrive(const app::Settings& settings, int code) {
  const QString drive = settings.DriveLetter(code);
  return !drive.isEmpty() && drive != QLatin1String("-1");
}

QString CountText(qsizetype n) { return QStringLiteral("Disks Count: ") + QString::number(n); }

// The day of a date, whatever its time.
double DayOf(DATE d) { return std::floor(vbrt::DateToLinear(d)); }

QStringList AllKinds() {
  return {QString::fromLatin1(kFloppyLabel), QString::fromLatin1(kZipSlip), QString::fromLatin1(kZipCaseInsert),
          QString::fromLatin1(kZipDiskLabels)};
}

// The wait cursor while a search runs, reset on every path.
struct WaitCursor {
  WaitCursor() { forms::SetScreenMousePointer(forms::vbHourglass); }
  ~WaitCursor() { forms::SetScreenMousePointer(forms::vbDefault); }
};

const QString& ColumnText(const DiskRow& row, int column) {
  switch (column) {
    case 0: return row.text;
    case 1: return row.serial;
    case 2: return row.location;
    case 3: return row.size;
    case 4: return row.modified;
    default: return row.note;
  }
}

}  // namespace

std::optional<BatchKind> BatchKindOf(const QString& text) {
  if (text == QLatin1String(kFloppyLabel)) return BatchKind{6, QStringLiteral("Floppy Batch")};
  if (text == QLatin1String(kZipSlip)) return BatchKind{8, QStringLiteral("Zip Batch")};
  if (text == QLatin1String(kZipDiskLabels)) return BatchKind{10, QStringLiteral("Zip Batch")};
  if (text == QLatin1String(kZipCaseInsert)) return BatchKind{9, QStringLiteral("Zip Batch")};
  return std::nullopt;
}

int LabelCapacityOf(const QString& text) {
  if (text == QLatin1String(kFloppyLabel)) return 15;
  // The case insert sheet has four cells.
  if (text == QLatin1String(kZipCaseInsert)) return 4;
  return 6;
}

QString PageSetupState::PrintToText() const { return c_.printTo.value(c_.printToIndex); }

void PageSetupState::SetLoadBatchTab() {
  const app::Settings& settings = app_.settings;
  c_.printTo = AllKinds();
  if (!HasDrive(settings, app::kFloppyDisk)) c_.printTo.removeFirst();
  if (!HasDrive(settings, app::kZipDisk)) c_.printTo = QStringList{QString::fromLatin1(kFloppyLabel)};
  if (c_.printToIndex >= c_.printTo.size()) c_.printToIndex = c_.printTo.isEmpty() ? -1 : 0;
  c_.chkUpdated.visible = false;
  c_.datesVisible = false;
  c_.disksTop = 400;
  c_.disksHeight = 2665;
  c_.diskCheckBoxes = false;
  c_.applyCaption = QStringLiteral("&Add");
  c_.btnApply.enabled = true;
  c_.okEnabled = true;
  c_.disks.clear();
}

void PageSetupState::SetSelectDisksToPrintTab() {
  c_.diskCheckBoxes = true;
  c_.printTo = AllKinds();
  c_.chkUpdated.visible = true;
  c_.datesVisible = true;
  c_.disksTop = 912;
  c_.disksHeight = 2085;
  c_.applyCaption = QStringLiteral("&Apply");
  c_.btnApply.enabled = false;
  c_.okEnabled = true;
  PrintToClick(0);
}

void PageSetupState::SetListCacheArray() {
  cache_ = c_.disks;
  for (DiskRow& row : cache_) {
    row.size = row.size.trimmed();
    row.checked = false;
  }
}

void PageSetupState::ShowDisksBetweenDates(SHORT useDates) {
  c_.disks.clear();
  const double from = DayOf(c_.dtFrom), to = DayOf(c_.dtTo);
  for (const DiskRow& row : cache_) {
    const double day = DayOf(row.date);
    if (useDates == 0 || (useDates == 1 && day >= from && day <= to)) c_.disks.push_back(row);
  }
  c_.btnApply.enabled = false;
  c_.okEnabled = true;
}

void PageSetupState::TabClick(const QString& key) {
  c_.selectedTab = key;
  const QString caption = TabCaption(key);
  if (key == QLatin1String("GEN")) {
    if (caption == QLatin1String(kBatchTabCaption)) {
      SetLoadBatchTab();
      c_.countText = CountText(c_.disks.size());
      c_.sortColumn = -1;
    } else {
      c_.generalVisible = true;
      c_.customVisible = false;
    }
  } else if (key == QLatin1String("CUST")) {
    if (caption == QLatin1String(kSelectTabCaption)) {
      SetSelectDisksToPrintTab();
      c_.countText = CountText(0);
    } else {
      c_.customVisible = true;
      c_.generalVisible = false;
    }
  }
}

void PageSetupState::ListDisksSearched(bool timed, const QString& kind) {
  WaitCursor wait;
  DiskListTarget target;
  ICompCtl* control = compCtl ? compCtl() : nullptr;
  if (control) {
    if (timed) {
      app::catalog::RunTimedSearch(control, target, batchStartTime_, kind, app_.walk);
    } else {
      app_.walk.DisksOnly = true;
      app::catalog::RunFileSearch(control, target, nullptr, kind, QString(), app_.walk);
    }
  }
  app_.walk.DisksOnly = false;
  c_.disks = std::move(target.rows);
}

void PageSetupState::ApplyClick() {
  if (c_.applyCaption == QLatin1String("&Apply")) {
    ShowDisksBetweenDates(c_.chkUpdated.checked ? 1 : 0);
    app_.print.PrintOutlines = c_.chkMargins.checked;
    CountTicks();
    return;
  }
  app::PrintJob& job = app_.print;
  if (!job.BatchPrintMode) {
    job.BatchPrintMode = true;
    batchStartTime_ = vbrt::Now();
    RemoveTab(QStringLiteral("CUST"));
  }
  const bool floppy = PrintToText() == QLatin1String(kFloppyLabel);
  app_.shell.PendingDiskCommand = floppy ? QStringLiteral("ADDFLPONLY") : QStringLiteral("ADDZIPONLY");
  if (showAddDisk) showAddDisk();
  c_.disks.clear();
  ListDisksSearched(true, floppy ? QStringLiteral("Floppy Disk") : QStringLiteral("Zip Disk"));
  c_.countText = CountText(c_.disks.size());
  // In the order in which the disks were catalogued.
  SortDisks(4, false);
  const QString& command = app_.shell.PendingDiskCommand;
  const auto listed = c_.disks.size();
  if ((command == QLatin1String("ADDZIP") && listed >= 4) || (command == QLatin1String("ADDFLP") && listed >= 15)) {
    forms::MsgBox(QStringLiteral("You have reached the maximum number of labels that can fit on the page.  Press OK "
                                 "to preview the report."),
                  forms::vbOKOnly | forms::vbInformation, QStringLiteral("Completed!"));
    c_.btnApply.enabled = false;
  }
}

void PageSetupState::PrintToClick(int index) {
  if (index < 0 || index >= c_.printTo.size()) return;
  if (c_.selectedTab == QLatin1String("GEN")) {
    if (index == c_.printToIndex) return;
    if (!c_.disks.empty() && !printToGuard_) {
      const QChar q(u'"');
      const QString question =
          QStringLiteral("Because of the difference in label sizes for each medium, ") + q +
          QStringLiteral("batch labels") + q +
          QStringLiteral(
              " only may be printed for one format at a time.  If you select a different medium or label "
              "type now, you will not be able to print labels for the disks listed in the ") +
          q + QString::fromLatin1(kBatchTabCaption) + q +
          QStringLiteral(
              " box.  All of the disks listed, however, have been added to your catalog.  Do you wish "
              "to switch media types now?");
      if (forms::MsgBox(question, forms::vbYesNo) == forms::vbNo) {
        // The choice before stays, and so does the list.
        printToGuard_ = true;
        c_.printToIndex = lastPrintTo_;
        printToGuard_ = false;
        return;
      }
      c_.disks.clear();
      c_.countText = CountText(0);
      c_.btnApply.enabled = true;
    }
    c_.printToIndex = index;
    lastPrintTo_ = index;
    return;
  }
  c_.printToIndex = index;
  lastPrintTo_ = index;
  app_.walk.DisksOnly = true;
  c_.chkUpdated.checked = false;
  c_.datesEnabled = false;
  c_.disks.clear();
  ListDisksSearched(false, index == 0 ? QStringLiteral("Floppy Disk") : QStringLiteral("Zip Disk"));
  capacity_ = LabelCapacityOf(PrintToText());
  c_.locationColumnHidden = c_.sizeColumnHidden = true;
  SetListCacheArray();
  CountTicks();
}

void PageSetupState::CountTicks() {
  ticked_ =
      static_cast<int>(std::count_if(c_.disks.begin(), c_.disks.end(), [](const DiskRow& r) { return r.checked; }));
  c_.countText = CountText(ticked_);
}

void PageSetupState::DiskItemCheck(int row, bool checked) {
  if (row < 0 || row >= static_cast<int>(c_.disks.size())) return;
  DiskRow& disk = c_.disks[row];
  if (checked && !disk.checked) {
    CountTicks();
    if (ticked_ >= capacity_) {
      forms::MsgBox(QStringLiteral("You are exceeding the maximum number of labels that can fit on the page."),
                    forms::vbOKOnly | forms::vbCritical, QStringLiteral("WARNING!"));
      checked = false;
    }
  }
  disk.checked = checked;
  CountTicks();
}

void PageSetupState::SortDisks(int column, bool descending) {
  column = std::clamp(column, 0, 5);
  auto less = [column](const DiskRow& a, const DiskRow& b) {
    if (column == 4) return vbrt::DateToLinear(a.date) < vbrt::DateToLinear(b.date);
    return QString::compare(ColumnText(a, column), ColumnText(b, column), Qt::CaseInsensitive) < 0;
  };
  if (descending) {
    std::stable_sort(c_.disks.begin(), c_.disks.end(), [&](const DiskRow& a, const DiskRow& b) { return less(b, a); });
  } else {
    std::stable_sort(c_.disks.begin(), c_.disks.end(), less);
  }
}

void PageSetupState::ColumnClick(int column) {
  if (column < 0 || column > 5) return;
  if (c_.selectedTab != QLatin1String("CUST") || app_.print.BatchPrintMode) return;
  sortDescending_[column] = !sortDescending_[column];
  c_.sortColumn = column;
  c_.sortDescending = sortDescending_[column];
  SortDisks(column, sortDescending_[column]);
}

void PageSetupState::UpdatedClick(bool checked) {
  c_.chkUpdated.checked = checked;
  c_.btnApply.enabled = true;
  c_.okEnabled = false;
  c_.datesEnabled = checked;
}

void PageSetupState::DatesChanged(DATE from, DATE to) {
  c_.dtFrom = from;
  c_.dtTo = to;
  c_.btnApply.enabled = true;
}

void PageSetupState::OkBatch() {
  const std::optional<BatchKind> kind = BatchKindOf(PrintToText());
  if (!kind) return;
  app::PrintJob& job = app_.print;
  job.TemplateFolder = kind->templateFolder;
  // The Add page has no ticks: every disk it lists is printed.
  std::vector<DiskRow> rows = c_.disks;
  if (!c_.diskCheckBoxes)
    for (DiskRow& row : rows) row.checked = true;
  if (!ExportCheckedDisks(rows, kind->reportType, job, printer_())) return;
  app_.walk.FoldersOnly = false;
  Unload();
  forms::DoEvents();
  // The fresh dialog's margin boxes, as left, top, right, bottom.
  switch (kind->reportType) {
    case 6:
      page_.LeftMargin = 0.25, page_.TopMargin = 0.5, page_.RightMargin = 0.25, page_.BottomMargin = 0.5;
      job.LabelRowCount = 1;
      break;
    case 10: page_.LeftMargin = page_.TopMargin = page_.RightMargin = page_.BottomMargin = 0.25; break;
    case 8: page_.LeftMargin = 1, page_.TopMargin = 0.25, page_.RightMargin = 0, page_.BottomMargin = 0.25; break;
    case 9:
      job.LabelRowCount = 2;
      printer_().SetOrientation(surface::vbPRORLandscape);
      page_.LeftMargin = page_.RightMargin = 7.0 / 8;
      page_.TopMargin = page_.BottomMargin = 5.0 / 12;
      break;
  }
  app::ShowPrintPreview();
  job.ReportType = 1;
}

}  // namespace printsetup
