// The update dialog's print half: report type, file views, label jobs and directory reports.
#include "printhalf.h"

#include <filesystem>
#include <fstream>

#include "appstate.h"
#include "currentprinter.h"
#include "forms.h"
#include "global.h"
#include "iteminfovariant.h"
#include "listings.h"
#include "pagesettings.h"
#include "printlaunchers.h"
#include "programfolder.h"
#include "reporttable.h"
#include "texttable.h"
#include "vbrt.h"
#include "windowlinks.h"

namespace app::catalog {

namespace {
const QString kDataExport = QString::fromLatin1(kDataExportFile);

struct ReportLayout {
  QStringList fields, titles;
  QList<double> widths;
};
ReportLayout DirectoryLayout(bool listLayout) {
  if (listLayout)
    return {{"NAME", "DISK_SERIAL_NUMBER", "LOCATION", "TYPE", "MODIFIED", "NOTE"},
            {"Name", "Serial #", "Location", "Type", "Modified", "Note"},
            {16, 9, 30, 8, 12, 25}};
  return {{"NAME", "DISK_SERIAL_NUMBER", "TYPE", "SIZE", "MODIFIED", "NOTE"},
          {"Name", "Serial #", "Type", "Size", "Modified", "Note"},
          {29, 9, 13.5, 9, 13.5, 26}};
}
const QStringList kDriveListFields = {"NAME", "LOCATION", "TYPE", "SIZE", "MODIFIED"};
constexpr char kScratchCatalog[] = "_tmpprint.dkc";

void CheckStatus(HRESULT hr) {
  if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
}
}  // namespace

QStringList PrintHalf::SortFieldTitles() const {
  if (!printDirectory_.isEmpty())
    return {QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Type"), QStringLiteral("Size"),
            QStringLiteral("Date Modified")};
  return {QStringLiteral("Name"), QStringLiteral("Serial #"),      QStringLiteral("Location"),
          QStringLiteral("Type"), QStringLiteral("Date Modified"), QStringLiteral("Note")};
}

bool PrintHalf::FillDiskDirListBox(const QString& path, bool includeLocation, bool recursive) {
  PrintJob& job = state_.print;
  try {
    if (!scanner_) CheckStatus(CreateFileGraber(&scanner_));
    // The walk writes into a scratch catalog of its own, made afresh.
    const std::filesystem::path scratch = platform::ProgramFolder() / kScratchCatalog;
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
    CheckStatus(scanner_->put_DocFileName(ToBstr(QString::fromStdString(scratch.string())).Get()));
    QString drive = path.left(2);
    const QString diskType = path.size() == 3 || path.startsWith(QStringLiteral("\\\\")) ? GetDriveTypeName(drive)
                                                                                         : QStringLiteral("FOLDER");
    CheckStatus(scanner_->put_DiskType(ToBstr(diskType).Get()));
    job.LabelMedium = 0;
    job.IncludeLocation = includeLocation;
    WriteReportTableHeader(job, QString::fromLatin1(includeLocation ? kDriveListHeader : kDriveTreeHeader),
                           kDataExport);
    // The rows go straight into the file after its header; the binding is made again after.
    job.ReportRecordset->Close();
    job.ReportRecordset.reset();
    SHORT srchType = 0;
    if (state_.walk.FoldersOnly) srchType = 1;
    if (state_.walk.DisksOnly) srchType = 2;
    if (!recursive) srchType = 2;
    state_.walk.StopRequested = false;
    {
      std::ofstream out(ReportTablePath(kDataExport), std::ios::binary | std::ios::app);
      if (!out) throw vbrt::RuntimeError(vbrt::ErrDiskFull);
      WriteDriveListing(progress_, scanner_.Get(), path, srchType, out, state_.walk, job);
      out.close();
      if (!out) throw vbrt::RuntimeError(vbrt::ErrDiskFull);
    }
    state_.walk.StopRequested = false;
    state_.walk.FoundCount = 0;
    job.ReportRecordset =
        std::make_shared<texttable::Recordset>(texttable::Recordset::Open(ReportTablePath(kDataExport)));
    return true;
  } catch (...) {
    const ErrorInfo e = DescribeError(std::current_exception());
    // The binding is the table as far as it was written.
    if (!job.ReportRecordset) {
      try {
        job.ReportRecordset =
            std::make_shared<texttable::Recordset>(texttable::Recordset::Open(ReportTablePath(kDataExport)));
      } catch (...) {
      }
    }
    forms::MsgBox(QString::number(e.number) + QStringLiteral("     ") + e.description, forms::vbOKOnly);
    return false;
  }
}

QStringList ReportDescriptions() {
  return {QStringLiteral("Disk Name, Disk Number, List of Files, Disk Note, Free Space, Date Modified."),
          QStringLiteral("Disk Name, Disk Number, Extended List of Files, Free Space, Date Modified."),
          QStringLiteral("Disk Name, Disk Number, Disk Note, Free Space, Date Modified."),
          QStringLiteral("Click on the \"Sort Files\" or the \"Tree View\" tab to select files that will appear on "
                         "your custom label.")};
}

PrintHalf::PrintHalf(AppState& state, ICompCtl* compCtl, ProgressTarget* progress)
    : state_(state), compCtl_(compCtl), progress_(progress) {}

void PrintHalf::ChooseReportType(int index) {
  if (index < 0 || index > 3 || index == typeIndex_) return;
  typeIndex_ = index;
  state_.print.ReportType = static_cast<SHORT>(index + 2);
  checkBoxes_ = index == 3;
  if (checkBoxes_) {
    list_.UncheckAll();
    for (int n = 0; n < static_cast<int>(tree_.Nodes().size()); ++n) tree_.SetChecked(n, false);
  }
}

namespace {

// Shows the progress panel for the life of a listing, on every way out.
class PopupScope {
 public:
  explicit PopupScope(const std::function<void(bool)>& popup) : popup_(popup) {
    if (popup_) popup_(true);
  }
  ~PopupScope() {
    if (popup_) popup_(false);
  }
  PopupScope(const PopupScope&) = delete;
  PopupScope& operator=(const PopupScope&) = delete;

 private:
  const std::function<void(bool)>& popup_;
};

}  // namespace

QString PrintHalf::DiskPath() const { return ItemInfoText(state_.selection.AddUpdateResult, kInfoName); }

void PrintHalf::FillList() {
  if (!list_.Empty()) return;
  PopupScope popup(popup_);
  FillReportTree(progress_, compCtl_, &list_, nullptr, DiskPath(), true, false, 0, state_.walk, state_.print);
}

void PrintHalf::FillTree() {
  if (!tree_.Empty()) return;
  PopupScope popup(popup_);
  FillReportTree(progress_, compCtl_, nullptr, &tree_, DiskPath(), false, true, 0, state_.walk, state_.print);
}

void PrintHalf::Print() {
  PrintJob& job = state_.print;
  if (job.ReportType != 4 && list_.Empty()) FillList();
  PrintChoice choice;
  choice.fromTree = fromTree_;
  choice.list = &list_;
  choice.tree = &tree_;
  choice.onlyChecked = checkBoxes_;
  choice.firstPrint = firstLabelPrint_;
  std::optional<bool> rows = false;
  switch (job.LabelMedium) {
    case 1: rows = PrepareFileListPrint(state_, choice, state_.selection.AddUpdateResult); break;
    case 2:
      job.PrintHeader = job.PrintFooter = job.ReportType == 4;
      rows = PrepareZipLabelPrint(state_, choice);
      break;
    case 3:
      job.PrintHeader = job.PrintFooter = job.ReportType == 4;
      rows = PrepareCDLabelPrint(state_, choice);
      break;
    default: break;
  }
  if (!rows) return;  // the preparation has shown its error
  if (*rows) {
    firstLabelPrint_ = false;
    return;
  }
  forms::MsgBox(NoFilesSelectedWarning(), forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
}

bool PrintHalf::ListingStillThere() const {
  return listingMade_ && ReportTableRewrites(kDataExport) == listingRewrite_;
}

void PrintHalf::Preview(const DirectoryReportOptions& options) {
  PrintJob& job = state_.print;
  try {
    const bool rebuild = !ListingStillThere() || options.foldersOnly != listingOptions_.foldersOnly ||
                         options.currentLevel != listingOptions_.currentLevel ||
                         options.listLayout != listingOptions_.listLayout;
    job.LabelMedium = 0;
    state_.walk.FoldersOnly = options.foldersOnly;
    job.DescendingOrder = !options.ascending;
    job.PageColumnCount = 1;
    state_.walk.CurrentLevelOnly = options.currentLevel;
    const ReportLayout layout = DirectoryLayout(options.listLayout);
    const bool printDirectory = !printDirectory_.isEmpty();
    const QStringList sortFields = printDirectory ? kDriveListFields : layout.fields;
    std::optional<PopupScope> popup(std::in_place, popup_);
    if (rebuild) {
      listingMade_ = false;
      if (printDirectory) {
        if (!FillDiskDirListBox(printDirectory_, options.listLayout, !options.currentLevel)) return;
      } else {
        job.IncludeLocation = options.listLayout;
        WriteReportTableHeader(job, QString::fromLatin1(options.listLayout ? kCatalogListHeader : kCatalogTreeHeader),
                               kDataExport);
        RunDirectoryReport(progress_, compCtl_, DiskPath(), state_.walk, job);
      }
      listingRewrite_ = ReportTableRewrites(kDataExport);
      listingOptions_ = options;
      lastSortField_.clear();
      ++rebuilds_;
    } else if (listing_ && listing_->IsOpen()) {
      job.ReportRecordset = listing_;  // another table may have been bound since
    } else {
      // The binding was closed by another table's rewrite: the listing is bound again, unsorted.
      job.ReportRecordset =
          std::make_shared<texttable::Recordset>(texttable::Recordset::Open(ReportTablePath(kDataExport)));
      lastSortField_.clear();
    }
    if (options.listLayout && options.sortField >= 0 && options.sortField < sortFields.size()) {
      const QString field = sortFields[options.sortField];
      if (field != lastSortField_) {
        const QString order = field == QLatin1String("NAME") ? field : field + QStringLiteral(",NAME");
        texttable::Recordset& rs = *job.ReportRecordset;
        if (progress_)
          progress_->SetProcessMessage(
              QStringLiteral("Sorting %1 records and creating the report.").arg(rs.RecordCount()));
        job.ReportRecordset = std::make_shared<texttable::Recordset>(rs.Sorted(order.toStdString()));
        lastSortField_ = field;
        ++sorts_;
      }
    }
    popup.reset();
    listing_ = job.ReportRecordset;
    texttable::Recordset* rs = job.ReportRecordset.get();
    if (!rs || rs->RecordCount() <= 0) {
      forms::MsgBox(QString::fromLatin1(kNoDataToPrint), forms::vbOKOnly + forms::vbCritical, QStringLiteral("ERROR!"));
      return;
    }
    listingMade_ = true;
    if (printDirectory) {
      ContentsReport(state_, printDirectory_, options.listLayout);
      return;
    }
    const QString disk = DiskPath();
    job.ReportColumnCount = 6;
    job.ReportTitle = disk.isEmpty() ? QStringLiteral("Disk Catalog Contents")
                                     : QStringLiteral("Contents") + QChar(u'\r') + QStringLiteral("ROOT:\\") +
                                           QString(disk).replace(u'/', u'\\');
    job.PrintHeader = job.PrintFooter = true;
    job.CellAlignFlags = 1;
    LabelPagePlan plan;
    plan.orientation = kLandscape;
    ApplyPageLayout(plan, reports::CurrentPageSettings());
    job.ReportType = 1;
    job.ReportFieldNames = layout.fields;
    job.ReportColumnTitles = layout.titles;
    job.ReportColumnWidths = layout.widths;
    job.ReportColumnFormats = {QStringLiteral("IL@"), QStringLiteral("R@"), QStringLiteral("L@"),
                               QStringLiteral("R@"),  QStringLiteral("R@"), QStringLiteral("L@")};
    ShowPrintPreview();
  } catch (...) {
    forms::MsgBox(ErrorMessage(DescribeError(std::current_exception())), forms::vbOKOnly + forms::vbCritical);
  }
}

}  // namespace app::catalog
