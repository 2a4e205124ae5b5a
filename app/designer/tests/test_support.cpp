// The preview tests' helpers: the application object, report tables and the stand-in drawing.
#include "test_support.h"

#include <QApplication>

#include "currentprinter.h"
#include "reportsdrawing.h"
#include "testing_qt/test_support.h"

namespace designer::test {

namespace {
[[maybe_unused]] auto* const environment = testing_qt::AddQtEnvironment<QApplication>("designer_test");
}  // namespace

std::shared_ptr<texttable::Recordset> MakeTable(const QTemporaryDir& dir, const std::vector<std::string>& names) {
  const std::filesystem::path file = dir.filePath(QStringLiteral("DATAEXP.TXT")).toStdString();
  texttable::RewriteTable(file, "NAME,SIZE");
  auto rs = std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
  for (size_t i = 0; i < names.size(); ++i) {
    rs->AddNew();
    rs->SetField(0, names[i]);
    rs->SetField(1, std::to_string(i * 1024));
    rs->Update();
  }
  rs->Close();
  return std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
}

std::vector<std::string> Names(int n) {
  static const char* const stems[] = {"Ärger Ordner", "photos_2019_Βαλκάνια", "Überlänge-des-Namens.mp3",
                                      "日本語のファイル名", "readme", "Résumé final (copy 2).docx"};
  std::vector<std::string> names;
  names.reserve(n);
  for (int i = 0; i < n; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%05d", i + 1);
    names.push_back(std::string(stems[i % 6]) + " " + number);
  }
  return names;
}

double TableDrawing::PrintReportPage(surface::Surface& s, double left, double top, double right, bool) {
  if (header < 0) {
    s.Box(left, top, right, top + 1.0);
    return header;
  }
  return header * designer_.ZoomFactor;
}

double TableDrawing::PrintTableRows(surface::Surface& s, double left, double top, double /*width*/, double height,
                                    SHORT columns, double, bool counting) {
  if (columns <= 0) return -1.0;
  if (counting) ++countingPasses;
  texttable::Recordset* rs = job_.ReportRecordset.get();
  if (!rs) return -1.0;
  const int page = pages_.CurrentPage;
  if (page - 1 <= UBound(pages_) && pages_.PageStarts[page - 1]) rs->SetBookmark(*pages_.PageStarts[page - 1]);
  const bool fresh = page >= UBound(pages_);
  if (fresh) pages_.PageStarts.resize(page + 2);
  pages_.RowsOnPage = 0;
  const double bottom = top + height;
  double y = top;
  auto step = [&] { job_.DescendingOrder ? rs->MovePrevious() : rs->MoveNext(); };
  while (!rs->Eof() && !rs->Bof()) {
    if (!fresh && rs->GetBookmark() == pages_.PageStarts[page]) return y;
    const std::string name = rs->Field(0);
    const double h = 0.25 * (1 + std::count(name.begin(), name.end(), '|')) * designer_.ZoomFactor;
    if (y + h > bottom) {
      if (fresh) pages_.PageStarts[page] = rs->GetBookmark();
      return y;
    }
    if (!counting) {
      s.Line(left, y + h, left + 1, y + h);
      drawn[page].push_back(name);
    }
    pages_.RowsOnPage++;
    if (pages_.RowsOnPage == designer_.FindRow && page == designer_.FindPage && pages_.ScrollToFound) {
      pages_.ScrollToFound = false;
      pages_.MakeRowVisible(y, h);
    }
    y += h;
    step();
  }
  return -y;
}

bool TableDrawing::CalcRowHeight(surface::Surface& s, SHORT page) {
  texttable::Recordset* rs = job_.ReportRecordset.get();
  if (page < 1) {
    pages_ = FreshPages();
    if (rs && rs->RecordCount() > 0) {
      job_.DescendingOrder ? rs->MoveLast() : rs->MoveFirst();
      pages_.PageStarts[0] = rs->GetBookmark();
    }
  }
  designer_.ZoomFactor = 1.0;
  reports::PageSettings page0;
  reports::SetPrintableBox(job_, page0, s.IsPrinter(), 1.0);
  return true;
}

double TableDrawing::PrintTextInRect(surface::Surface& s, double left, double top, const QString& text, double width,
                                     double height, UINT flags, double) {
  RECT r{static_cast<LONG>(s.ScaleX(left, surface::vbInches, surface::vbPixels)),
         static_cast<LONG>(s.ScaleY(top, surface::vbInches, surface::vbPixels)),
         static_cast<LONG>(s.ScaleX(left + width, surface::vbInches, surface::vbPixels)),
         static_cast<LONG>(s.ScaleY(top + height, surface::vbInches, surface::vbPixels))};
  return s.ScaleY(s.DrawText(text, r, flags), surface::vbPixels, surface::vbInches);
}

PreviewFixture::PreviewFixture() {
  surface::RecordingOptions options;
  options.printer = true;
  options.offsetX = options.offsetY = 0.25;
  auto recorder = std::make_unique<surface::RecordingSurface>(options);
  printer = recorder.get();
  surface::SetPrinter(std::move(recorder));
  job.ReportType = 2;
  job.PrintHeader = true;
  job.PrintFooter = true;
  job.PageColumnCount = 1;
}

PreviewFixture::~PreviewFixture() { surface::SetPrinter(nullptr); }

std::unique_ptr<PreviewSession> PreviewFixture::OpenTableReport(const std::vector<std::string>& names,
                                                                SHORT cellTextFlags) {
  withReports = true;
  job.ReportType = 1;
  job.ReportTitle = QStringLiteral("Directory of D:\\Music");
  job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("SIZE")};
  job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Size")};
  job.ReportColumnWidths = {75, 25};
  job.ReportColumnFormats = {QStringLiteral("L"), QStringLiteral("R#,##0")};
  job.ReportColumnCount = 2;
  job.CellTextFlags = cellTextFlags;
  job.ReportRecordset = MakeTable(dir, names);
  auto s = std::make_unique<PreviewSession>(Environment());
  EXPECT_TRUE(s->Load(false).ok);
  return s;
}

PreviewEnvironment PreviewFixture::Environment() {
  PreviewEnvironment env;
  env.job = &job;
  env.designer = &designer;
  env.shell = &shell;
  env.printer = []() -> surface::PrinterObject& { return surface::Printer(); };
  env.pageSetup = &pageSetup;
  env.canvasDpi = 24;
  env.makeDrawing = [this](PageState& pages) -> std::unique_ptr<ReportDrawing> {
    if (withReports) return MakeReportsDrawing(job, designer, selection, pageSetup, pages);
    auto d = std::make_unique<TableDrawing>(job, designer, pages);
    drawing_ = d.get();  // a print run makes its own: drawing() is the last one made
    return d;
  };
  return env;
}

}  // namespace designer::test
