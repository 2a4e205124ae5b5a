// The page setup dialog's life cycle and general page: Load, Activate, OK, Cancel, Unload, the
// margin and offset checks, orientation, columns, font and check boxes.
#include "pagesetupstate.h"

#include <cmath>
#include <exception>

#include "currentprinter.h"
#include "forms.h"
#include "global.h"
#include "reporttable.h"
#include "windowlinks.h"

namespace printsetup {

namespace {

std::u16string U16(const QString& s) { return s.toStdU16String(); }
QString Text(double value) { return QString::fromStdU16String(vbrt::CStr(value)); }

// The dialog's messages.
constexpr char kNotNumeric[] = "Please Enter a numeric value.";
constexpr char kInvalidOffset[] = "The specified offset is invalid.";
constexpr char kErrorTitle[] = "ERROR!";
// Re-formatting an open preview of more pages than this asks first.
constexpr int kPagesWithoutAsking = 50;
// A typed margin this close to the band counts as on it (the band's arithmetic leaves noise).
constexpr double kBandTolerance = 1e-9;

double& SettingOf(reports::PageSettings& page, Box box) {
  switch (box) {
    case kXoff: return page.OffsetX;
    case kYoff: return page.OffsetY;
    case kLeftMarg: return page.LeftMargin;
    case kTopMarg: return page.TopMargin;
    case kRightMarg: return page.RightMargin;
    default: return page.BottomMargin;
  }
}

// OK's error convention: the error's number and description, and OK goes on.
void ReportOkError(std::exception_ptr error) {
  const app::catalog::ErrorInfo info = app::catalog::DescribeError(error);
  forms::MsgBox(QStringLiteral("ERROR:    ") + QString::number(info.number) + QChar(u'\n') + info.description);
}

template <typename F>
void Guarded(F step) {
  try {
    step();
  } catch (...) {
    ReportOkError(std::current_exception());
  }
}

// A margin box whose value puts the printable box off the paper.
void ShowOutsidePrintableArea(Box box) {
  static const char* const kSides[] = {"", "", "Left", "Top", "Right", "Bottom"};
  forms::MsgBox(QString::fromLatin1(kSides[box]) +
                QStringLiteral(" margin is set outside of the printable area of the page."));
}

bool IsLabelBatchOrUserLabel(SHORT reportType) {
  return reportType == 7 || reportType == 8 || reportType == 9 || reportType == 11 || reportType == 12;
}

}  // namespace

// What OK would commit, worked out before anything is stored.
struct PageSetupState::Commit {
  bool orientationChange = false;
  bool columnsChange = false;
  bool fontSizeChange = false;
  SHORT fontSize = 0;
  LONG cellTextFlags = 0;
  bool cellTextChange = false;
  bool marginsChange = false;
  bool zipCell = false;
  SHORT zipColumn = 0, zipRow = 0;
  bool zipChange = false;
  bool singleChange = false;
  bool changed = false;
};

PageSetupState::PageSetupState(app::AppState& state, reports::PageSettings& page,
                               std::function<surface::PrinterObject&()> printer)
    : app_(state), page_(page), printer_(std::move(printer)) {
  if (!printer_) printer_ = []() -> surface::PrinterObject& { return surface::Printer(); };
  compCtl = [] { return app::MainCompCtl(); };
  showAddDisk = [] { app::ShowAddDisk(nullptr); };
}

bool PageSetupState::BatchPageShown() const { return c_.batchVisible; }

void PageSetupState::BoxesFromSettings() {
  for (int b = 0; b < kBoxCount; ++b) {
    const Box box = static_cast<Box>(b);
    const std::u16string text = U16(c_.boxes[b]);
    const double value = SettingOf(page_, box);
    if (!vbrt::IsNumeric(text) || vbrt::CDbl(text) != value) c_.boxes[b] = Text(value);
  }
}

void PageSetupState::WriteBoxNumber(Box box) { SettingOf(page_, box) = vbrt::CDbl(U16(c_.boxes[box])); }

// ---- Life cycle

void PageSetupState::Load() {
  if (loaded_) return;
  loaded_ = true;
  app_.shell.OpenDialogCount++;
  try {
    c_ = PageSetupControls{};
    for (int g = 0; g < kGridCount; ++g) RefreshCells(static_cast<Grid>(g));
    BoxesFromSettings();
    if (batchStartFlag_) return;
    app::PrintJob& job = app_.print;
    if (job.LabelMedium < 1) {
      c_.locationEnabled = false;
    } else {
      c_.landscapeEnabled = false;
      if (job.LabelMedium == 1) {
        c_.gridVisible = {true, false, false, false};
        c_.columnsEnabled = true;
        CellClick(kFloppyGrid, 0);
      } else if (job.LabelMedium == 3) {
        c_.gridVisible = {false, true, false, false};
        c_.zipGreyed = true;
        c_.locationEnabled = false;
      }
    }
    c_.chkDefault.checked = job.PageSetupIsDefault;
    if (job.PageSetupIsDefault && job.LabelMedium != 1) {
      c_.boxes[kXoff] = Text(job.LabelOffsetX);
      c_.boxes[kYoff] = Text(job.LabelOffsetY);
      WriteBoxNumber(kXoff);
      WriteBoxNumber(kYoff);
    }
    if (job.LabelMedium == 1) {
      c_.offsetsEnabled = false;
      c_.chkDefault.enabled = false;
    }
    page_.StartPosition = 0;
    RefreshCells(GridInUse());
    c_.orientation = printer_().Orientation() == surface::vbPRORLandscape ? 2 : 1;
    SetOrientation();
    if (IsLabelBatchOrUserLabel(job.ReportType)) {
      RemoveTab(QStringLiteral("CUST"));
      c_.portraitEnabled = c_.landscapeEnabled = false;
      c_.marginsCaption = QString::fromLatin1(reports::kPrintOutlinesCaption);
      page_.OutlinesCaption = true;
      if (job.TemplateKind == 1 || job.TemplateKind == 5 || job.ReportType == 9) {
        c_.chkMargins.checked = false;
        page_.MarginsChecked = false;
        job.PrintOutlines = false;
      }
      if (job.ReportType == 7) {
        c_.chkMargins.enabled = false;
        job.PrintOutlines = false;
      }
    }
  } catch (...) {
    // A failed Load leaves the dialog unloaded, its count given back.
    Unload();
    throw;
  }
}

void PageSetupState::Activate() {
  shown_ = true;
  app::PrintJob& job = app_.print;
  if (batchStartFlag_) {
    c_.caption = QStringLiteral("Batch Print");
    capacity_ = 15;
    c_.countVisible = true;
    c_.dtFrom = c_.dtTo = vbrt::Date();
    if (c_.disks.empty()) CaptionTab(QStringLiteral("GEN"), QString::fromLatin1(kBatchTabCaption));
    c_.disks.clear();
    c_.generalVisible = c_.customVisible = false;
    c_.batchVisible = true;
    c_.locationColumnHidden = true;
    batchStartFlag_ = false;
    c_.btnApply.visible = true;
    SetListCacheArray();
    c_.tabsBold = true;
    CaptionTab(QStringLiteral("CUST"), QString::fromLatin1(kSelectTabCaption));
    c_.selectedTab = QStringLiteral("GEN");
    SetLoadBatchTab();
    c_.printToIndex = c_.printTo.isEmpty() ? -1 : 0;
    lastPrintTo_ = 0;
    return;
  }
  const app::FontSlot& font = job.FontTable[5];
  static const QStringList kFonts{QStringLiteral("Arial"), QStringLiteral("MS Sans Serif"),
                                  QStringLiteral("Times New Roman")};
  if (kFonts.contains(font.FontName)) c_.fontName = font.FontName;
  const QString size = QString::number(font.FontSize) + QStringLiteral("pt");
  if (font.FontSize >= 6 && font.FontSize <= 9) c_.fontSize = size;

  const bool labelColumns = job.LabelMedium == 3 || (job.LabelMedium == 2 && job.PrintToIndex == 0);
  pageColumns_ = std::clamp<int>(labelColumns ? job.LabelColumnCount : job.PageColumnCount, 1, 3);
  ColumnsClick(pageColumns_ - 1);

  c_.chkMargins.checked = job.PrintOutlines;
  page_.MarginsChecked = job.PrintOutlines;
  c_.chkWBreak.checked = job.CellTextFlags == 0;
  c_.chkMouseTrace.checked = job.MouseTrace;
  if (job.ReportType == 6 || job.ReportType == 9 || job.LabelMedium == 0) PrepareCustomTab();

  BoxesFromSettings();
  savedBoxTexts_ = c_.boxes;
  savedPage_ = page_;
  c_.focusBox.reset();

  const bool landscape = printer_().Orientation() == surface::vbPRORLandscape;
  if (job.LabelMedium == 2 || job.LabelMedium == 3) {
    c_.landscapeEnabled = landscape;
    c_.portraitEnabled = !landscape;
  }
  c_.orientation = landscape ? 2 : 1;
  SetOrientation();
  if (job.LabelMedium == 2) {
    c_.cellSelected[kZipSlipGrid] = std::clamp<int>(page_.StartPosition, 0, 5);
    RefreshCells(kZipSlipGrid);
  }
  c_.chkSingle.checked = job.ForceSingleLabel;
}

void PageSetupState::Ok() {
  if (BatchPageShown()) {
    OkBatch();
  } else {
    OkNormal();
  }
}

PageSetupState::Commit PageSetupState::PlanCommit() const {
  const app::PrintJob& job = app_.print;
  Commit p;
  const SHORT printer = printer_().Orientation();
  p.orientationChange = c_.orientation != 0 && printer != c_.orientation;
  p.columnsChange = c_.columns != pageColumns_;
  if (c_.fontEnabled) {
    p.fontSize = vbrt::CInt(U16(c_.fontSize.left(1)));
    p.fontSizeChange = p.fontSize != job.FontTable[5].FontSize;
  }
  p.cellTextFlags = c_.chkWBreak.checked ? 0 : 16;
  p.cellTextChange = job.CellTextFlags != p.cellTextFlags;
  for (Box b : {kLeftMarg, kTopMarg, kRightMarg, kBottMarg})
    if (c_.boxes[b] != savedBoxTexts_[b]) p.marginsChange = true;
  if (job.LabelMedium != 3) {
    const int cell = c_.cellSelected[kZipSlipGrid];
    p.zipCell = true;
    p.zipColumn = static_cast<SHORT>(cell % 2);
    p.zipRow = static_cast<SHORT>(cell / 2);
    p.zipChange = p.zipColumn != job.ZipStartColumn || p.zipRow != job.ZipStartRow;
  }
  p.singleChange = c_.chkSingle.checked != job.ForceSingleLabel;
  p.changed = job.PageSetupChanged || p.orientationChange || p.columnsChange || p.fontSizeChange || p.cellTextChange ||
              p.marginsChange || p.zipChange || p.singleChange;
  return p;
}

void PageSetupState::StoreCommit(const Commit& p) {
  app::PrintJob& job = app_.print;
  Guarded([&] {
    job.LabelOffsetX = vbrt::CDbl(U16(c_.boxes[kXoff]));
    job.LabelOffsetY = vbrt::CDbl(U16(c_.boxes[kYoff]));
  });
  Guarded([&] { job.PrintOutlines = c_.chkMargins.checked; });
  Guarded([&] { SetOrientation(); });
  pageColumns_ = c_.columns;
  Guarded([&] {
    if (job.LabelMedium < 2) {
      job.PageColumnCount = static_cast<SHORT>(pageColumns_);
      job.LabelColumnCount = 1;
    } else if (job.LabelMedium == 2) {
      if (job.PrintToIndex == 0) job.LabelColumnCount = static_cast<SHORT>(pageColumns_);
    } else if (job.LabelMedium == 3) {
      job.LabelColumnCount = static_cast<SHORT>(pageColumns_);
    }
  });
  Guarded([&] {
    if (!c_.fontEnabled) return;
    job.FontTable[5].FontName = c_.fontName;
    if (p.fontSizeChange) job.FontTable[5].FontSize = p.fontSize;
  });
  job.CellTextFlags = p.cellTextFlags;
  if (p.zipCell) {
    job.ZipStartColumn = p.zipColumn;
    job.ZipStartRow = p.zipRow;
  }
  job.ForceSingleLabel = c_.chkSingle.checked;
  job.MouseTrace = c_.chkMouseTrace.checked;
  job.PageSetupChanged = p.changed;
}

void PageSetupState::OkNormal() {
  // Every box is checked again, a refused box keeping the dialog open: each must hold a number
  // in range, and a margin the user changed must lie outside the printer's band (the margins
  // a label job set, such as a ZipSlip sheet's right margin of 0, stand as they were set).
  for (int b = 0; b < kBoxCount; ++b) {
    const Box box = static_cast<Box>(b);
    if (!CheckOffsetValues(box)) return;
    if (box >= kLeftMarg && c_.boxes[box] != savedBoxTexts_[box] && !CheckMargin(box)) return;
    WriteBoxNumber(box);
  }
  if (!MarginsLeaveRoom()) return;
  const Commit plan = PlanCommit();
  if (plan.changed) {
    const int pages = app::PreviewPageCount();
    if (pages > kPagesWithoutAsking) {
      const QString question = QStringLiteral("Your change requires a re-format of the ") + QString::number(pages) +
                               QStringLiteral(
                                   " pages in your report.  This process could take some time to "
                                   "complete.  Do you wish to continue?");
      // No stores nothing: the pages stay as they are and OK asks again.
      if (forms::MsgBox(question, forms::vbYesNo, QStringLiteral("Xendora")) == forms::vbNo) return;
    }
  }
  StoreCommit(plan);
  Hide();
  app::PrintJob& job = app_.print;
  if (job.PageSetupChanged) {
    Guarded([] { app::ReformatPreview(); });
    job.PageSetupChanged = false;
  } else {
    const int percent = static_cast<int>(std::lround(app_.designer.ZoomFactor * 100));
    Guarded([percent] { app::SetZoomFactor(QString::number(percent) + QStringLiteral("PC"), true); });
  }
}

void PageSetupState::Cancel() {
  const bool batch = BatchPageShown();
  if (!batch) {
    c_.boxes = savedBoxTexts_;
    for (int b = 0; b < kBoxCount; ++b)
      SettingOf(page_, static_cast<Box>(b)) = SettingOf(savedPage_, static_cast<Box>(b));
    page_.StartPosition = savedPage_.StartPosition;
    const Grid grid = GridInUse();
    if (page_.StartPosition >= 0 && page_.StartPosition < static_cast<int>(c_.cellColors[grid].size()))
      c_.cellSelected[grid] = page_.StartPosition;
    RefreshCells(grid);
  }
  app_.print.BatchPrintMode = false;
  if (batch) {
    Unload();
  } else {
    Hide();
  }
}

void PageSetupState::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  shown_ = false;
  batchStartFlag_ = false;
  app_.shell.OpenDialogCount--;
  app_.print.BatchPrintMode = false;
  // The next job starts from the designed values (the committed offsets when they are the
  // default, except for floppy labels).
  const app::PrintJob& job = app_.print;
  const bool keepOffsets = job.PageSetupIsDefault && job.LabelMedium != 1;
  page_.LeftMargin = page_.TopMargin = page_.RightMargin = page_.BottomMargin = 0.5;
  page_.OffsetX = keepOffsets ? job.LabelOffsetX : 0.0;
  page_.OffsetY = keepOffsets ? job.LabelOffsetY : 0.0;
  page_.StartPosition = 0;
  page_.MarginsChecked = false;
  page_.OutlinesCaption = false;
  page_.ChosenColumns = 1;
  if (onHidden) onHidden();
}

void PageSetupState::Hide() {
  shown_ = false;
  if (onHidden) onHidden();
}

// ---- Boxes

bool PageSetupState::CheckOffsetValues(Box box) {
  if (batchStartFlag_) return false;
  const std::u16string text = U16(c_.boxes[box]);
  const char* message = nullptr;
  if (!vbrt::IsNumeric(text)) {
    message = kNotNumeric;
  } else {
    const double value = vbrt::CDbl(text);
    if (value < -10 || value > 10) message = kInvalidOffset;
  }
  if (!message) return true;
  forms::MsgBox(QString::fromLatin1(message), forms::vbOKOnly | forms::vbCritical, QString::fromLatin1(kErrorTitle));
  c_.focusBox = box;
  return false;
}

double PageSetupState::Band(Box box) const {
  const app::PrintJob& job = app_.print;
  // A floppy label's page is the label; the band lies on the printer's paper.
  const bool label = job.LabelMedium == 1;
  const double paperWidth =
      label ? printer_().ScaleX(printer_().Width(), surface::vbTwips, surface::vbInches) : job.PageWidth;
  const double paperHeight =
      label ? printer_().ScaleY(printer_().Height(), surface::vbTwips, surface::vbInches) : job.PageHeight;
  switch (box) {
    case kLeftMarg: return job.PrinterOffsetX;
    case kTopMarg: return job.PrinterOffsetY;
    case kRightMarg: return paperWidth - (job.PrintableWidth + job.PrinterOffsetX);
    case kBottMarg: return paperHeight - (job.PrintableHeight + job.PrinterOffsetY);
    default: return -10;
  }
}

bool PageSetupState::CheckMargin(Box box) {
  if (!CheckOffsetValues(box)) return false;
  const double band = Band(box);
  if (vbrt::CDbl(U16(c_.boxes[box])) < band - kBandTolerance) {
    ShowOutsidePrintableArea(box);
    c_.boxes[box] = Text(app::FormatDecimal(band - kBandTolerance, 2));
    WriteBoxNumber(box);
    return false;
  }
  WriteBoxNumber(box);
  return true;
}

bool PageSetupState::MarginsLeaveRoom() {
  // Margins that meet or cross leave no printable box: the pages would draw their footers
  // above their headers and place no row. The paper is the printer's, turned as chosen.
  surface::PrinterObject& printer = printer_();
  double width = printer.ScaleX(printer.Width(), surface::vbTwips, surface::vbInches);
  double height = printer.ScaleY(printer.Height(), surface::vbTwips, surface::vbInches);
  if ((c_.orientation == 1 || c_.orientation == 2) && c_.orientation != printer.Orientation()) std::swap(width, height);
  Box refused;
  if (page_.TopMargin + page_.BottomMargin >= height)
    refused = c_.boxes[kBottMarg] == savedBoxTexts_[kBottMarg] && c_.boxes[kTopMarg] != savedBoxTexts_[kTopMarg]
                  ? kTopMarg
                  : kBottMarg;
  else if (page_.LeftMargin + page_.RightMargin >= width)
    refused = c_.boxes[kRightMarg] == savedBoxTexts_[kRightMarg] && c_.boxes[kLeftMarg] != savedBoxTexts_[kLeftMarg]
                  ? kLeftMarg
                  : kRightMarg;
  else
    return true;
  ShowOutsidePrintableArea(refused);
  c_.focusBox = refused;
  return false;
}

bool PageSetupState::BoxLostFocus(Box box) {
  if (box == kXoff || box == kYoff) {
    if (!CheckOffsetValues(box)) return false;
    WriteBoxNumber(box);
    return true;
  }
  return CheckMargin(box);
}

void PageSetupState::SetMarginBoxes(double top, double bottom, double left, double right) {
  c_.boxes[kTopMarg] = Text(top);
  c_.boxes[kBottMarg] = Text(bottom);
  c_.boxes[kLeftMarg] = Text(left);
  c_.boxes[kRightMarg] = Text(right);
  for (Box b : {kTopMarg, kBottMarg, kLeftMarg, kRightMarg}) WriteBoxNumber(b);
}

// ---- Orientation, columns, check boxes

void PageSetupState::SetOrientation() {
  app::PrintJob& job = app_.print;
  surface::PrinterObject& printer = printer_();
  if (c_.orientation != 1 && c_.orientation != 2) return;
  if (printer.Orientation() != c_.orientation) {
    printer.SetOrientation(c_.orientation);
    job.PageSetupChanged = true;
  }
  page_.Orientation = c_.orientation;
  if (c_.orientation == 1 && job.LabelMedium == 1) {
    job.PageWidth = 2.9;
    job.PageHeight = 2.4;
    return;
  }
  job.PageWidth = static_cast<float>(printer.ScaleX(printer.Width(), surface::vbTwips, surface::vbInches));
  job.PageHeight = static_cast<float>(printer.ScaleY(printer.Height(), surface::vbTwips, surface::vbInches));
}

void PageSetupState::OrientationClick(SHORT orientation) { c_.orientation = orientation; }

void PageSetupState::ColumnsClick(int index) {
  index = std::clamp(index, 0, 2);
  c_.columns = index + 1;
  page_.ChosenColumns = static_cast<SHORT>(c_.columns);
  ShowColumnsSample();
}

void PageSetupState::ShowColumnsSample() {
  const QChar cr(u'\r');
  if (c_.columns == 3) {
    c_.columnsSample = QStringLiteral("myfile1      myfile1      myfile1");
  } else if (c_.columns == 2) {
    c_.columnsSample = QStringLiteral("file1.txt          file1.txt");
  } else {
    c_.columnsSample = QStringLiteral("MYFOLDER") + cr + QString(6, u' ') + QStringLiteral("NEWONE") + cr +
                       QString(12, u' ') + QStringLiteral("File345.txt") + cr + QString(12, u' ') +
                       QStringLiteral("file1.txt");
  }
}

void PageSetupState::MarginsClick(bool checked) {
  c_.chkMargins.checked = checked;
  page_.MarginsChecked = checked;
}

void PageSetupState::DefaultClick(bool checked) {
  c_.chkDefault.checked = checked;
  app_.print.PageSetupIsDefault = checked;
}

void PageSetupState::PrepareCustomTab() {
  c_.locationVisible = false;
  c_.columnsVisible = false;
  c_.fontAtTop = true;
  // Only present for the report types that keep it.
  CaptionTab(QStringLiteral("CUST"), QStringLiteral("Font"));
  if (app_.print.ReportType == 6 || app_.print.ReportType == 9) c_.portraitEnabled = c_.landscapeEnabled = false;
}

// ---- Tabs

void PageSetupState::RemoveTab(const QString& key) {
  std::erase_if(c_.tabs, [&](const Tab& t) { return t.key == key; });
  if (c_.selectedTab == key) c_.selectedTab = c_.tabs.empty() ? QString() : c_.tabs.front().key;
}

void PageSetupState::CaptionTab(const QString& key, const QString& caption) {
  for (Tab& t : c_.tabs)
    if (t.key == key) t.caption = caption;
}

QString PageSetupState::TabCaption(const QString& key) const {
  for (const Tab& t : c_.tabs)
    if (t.key == key) return t.caption;
  return QString();
}

}  // namespace printsetup
