// Paging through a report in the preview: a document header report of 10,000 rows (long,
// varied, non-ASCII names, wrapped cells and notes), opened in the preview (the counting pass
// over every page) and then every page drawn once on the canvas, against drawing the same
// pages, rows, header and footer once each onto the recording surface alone. And the counting
// pass alone over 10,000 and over 1,000 rows, per row. Each figure is the best of three warm
// runs.
//
//   bench_preview [rows]      (default 10000)
//
// The last line prints the goal figures: preview_vs_draw=<preview time / drawing time> and
// counting_per_row_ratio=<per-row counting time at rows / at rows / 10>.
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "appstate.h"
#include "pagesettings.h"
#include "pagestate.h"
#include "peer.h"
#include "previewpass.h"
#include "previewsession.h"
#include "recordingsurface.h"
#include "reportsdrawing.h"
#include "texttable.h"

namespace {

using bench::Clock;
using bench::Seconds;

std::shared_ptr<texttable::Recordset> WriteTable(const QTemporaryDir& dir, int rows) {
  static const char* const stems[] = {"Ärger über die Überlänge des Ordners", "photos_2019_Βαλκάνια_summer",
                                      "日本語のファイル名とその説明", "readme", "Résumé final (copy 2).docx",
                                      "Symphonie Nr. 9 – 4. Satz (Live in Wien, 1986).flac"};
  const std::filesystem::path file =
      dir.filePath(QStringLiteral("DATAEXP%1.TXT").arg(rows)).toStdString();
  texttable::RewriteTable(file, "NAME,SIZE,MODIFIED,NOTE");
  auto rs = std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
  for (int i = 0; i < rows; ++i) {
    std::string name = std::string(stems[i % 6]) + " " + std::to_string(100000 + i * 7919 % 90000);
    if (i % 5 == 0) name += " - a name long enough to wrap over two lines of its cell";
    rs->AddNew();
    rs->SetField(0, name);
    rs->SetField(1, std::to_string(static_cast<long long>(i) * 3371 % 987654321));
    rs->SetField(2, "12/" + std::to_string(1 + i % 28) + "/2025 10:" + std::to_string(10 + i % 50) + ":00 AM");
    rs->SetField(3, i % 3 == 0 ? "Backup|kept on the shelf in the second drawer" : "");
    rs->Update();
  }
  rs->Close();
  return std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
}

void DescribeReport(app::PrintJob& job) {
  job.ReportType = 1;
  job.LabelMedium = 0;
  job.PrintHeader = job.PrintFooter = true;
  job.ReportTitle = QStringLiteral("Directory of D:\\Music");
  job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("SIZE"), QStringLiteral("MODIFIED"),
                          QStringLiteral("NOTE")};
  job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified"),
                                       QStringLiteral("Note")};
  job.ReportColumnWidths = {40, 12, 23, 25};
  job.ReportColumnFormats = {QStringLiteral("L"), QStringLiteral("R#,##0"), QStringLiteral("L"), QStringLiteral("L")};
  job.ReportColumnCount = 4;
  job.CellTextFlags = 16;
  job.PageColumnCount = 1;
}

struct Preview {
  app::PrintJob job;
  app::Designer designer;
  app::ShellState shell;
  app::Selection selection;
  reports::PageSettings page;
  surface::RecordingSurface printer{[] {
    surface::RecordingOptions o;
    o.printer = true;
    return o;
  }()};
  std::unique_ptr<designer::PreviewSession> session;

  explicit Preview(std::shared_ptr<texttable::Recordset> table) {
    DescribeReport(job);
    job.ReportRecordset = std::move(table);
    designer::PreviewEnvironment env = designer::ReportsPreviewEnvironment(
        job, designer, shell, selection, page, [this]() -> surface::PrinterObject& { return printer; });
    env.canvasDpi = 96;
    session = std::make_unique<designer::PreviewSession>(std::move(env));
    if (!session->Load(false).ok) std::exit(2);
    session->SetZoomFactor(QStringLiteral("100PC"), false);
  }
  // Back to a job whose pages are not counted yet.
  void Rewind() {
    designer::PageState& pages = session->Pages();
    auto icons = pages.TreeIcons;
    auto visible = pages.MakeRowVisible;
    pages = designer::FreshPages();
    pages.TreeIcons = icons;
    pages.MakeRowVisible = visible;
    job.ReportRecordset->MoveFirst();
    pages.PageStarts[0] = job.ReportRecordset->GetBookmark();
  }
  // Opens the report (counting every page) and draws every page once on the canvas.
  SHORT PageThrough() {
    Rewind();
    session->DoPrintPreview();
    SHORT shown = 1;
    while (session->Controls().next) {
      session->Paging().GotoNextPage();
      ++shown;
    }
    return shown;
  }
  // The counting pass alone.
  void Count() {
    Rewind();
    session->DoPrintPreview(true);
    session->Paging().CalcNumberOfPages(session->Pages().RowsOnPage);
  }
};

// Every page drawn once onto the recording surface: header, footer and rows, as the preview
// draws a page, with nothing counted first.
SHORT DrawOnRecording(Preview& p) {
  surface::RecordingOptions o;
  o.dpi = 96;
  surface::RecordingSurface canvas(o);
  designer::PageState pages = designer::FreshPages();
  p.job.ReportRecordset->MoveFirst();
  pages.PageStarts[0] = p.job.ReportRecordset->GetBookmark();
  auto drawing = designer::MakeReportsDrawing(p.job, p.designer, p.selection, p.page, pages);
  SHORT page = 1;
  for (;; ++page) {
    pages.CurrentPage = page;
    canvas.ClearLog();
    const designer::PassOutcome outcome = designer::RunPreviewPass(canvas, p.job, pages, *drawing, false);
    if (!outcome.rowsRemain) break;
  }
  return page;
}

template <class F>
double Best(F&& run) {
  run();  // warm
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto a = Clock::now();
    run();
    best = std::min(best, Seconds(a, Clock::now()));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
  QTemporaryDir dir;
  Preview big(WriteTable(dir, rows));
  Preview small(WriteTable(dir, rows / 10));

  SHORT previewPages = 0, drawnPages = 0;
  const double preview = Best([&] { previewPages = big.PageThrough(); });
  const double draw = Best([&] { drawnPages = DrawOnRecording(big); });
  const double countBig = Best([&] { big.Count(); });
  const double countSmall = Best([&] { small.Count(); });
  if (previewPages != drawnPages) {
    std::fprintf(stderr, "page counts differ: preview %d, drawing %d\n", previewPages, drawnPages);
    return 1;
  }
  const double perRowBig = countBig / rows, perRowSmall = countSmall / (rows / 10);
  std::printf("rows=%d pages=%d preview_s=%.3f draw_s=%.3f count_%d_s=%.4f count_%d_s=%.4f\n", rows, previewPages,
              preview, draw, rows, countBig, rows / 10, countSmall);
  std::printf("preview_vs_draw=%.2f counting_per_row_ratio=%.2f\n", preview / draw, perRowBig / perRowSmall);
  return 0;
}
