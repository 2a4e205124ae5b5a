// The print run and the printer dialog: page ranges on the PDF printer, the preview's state
// given back on every way out, the overlays on the printed page, and the dialog's flags and
// printer choice.
#include <gtest/gtest.h>

#include <QAction>
#include <QProcess>
#include <QRegularExpression>

#include "currentprinter.h"
#include "frmprint.h"
#include "printdialog.h"
#include "printrun.h"
#include "test_support.h"
#include "vbrt.h"

namespace designer {
namespace {

using surface::Primitive;
using test::Names;
using test::Script;

QString RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString& file) {
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(RunTool(QStringLiteral("pdfinfo"), {file}));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The "Page n" footers of the PDF, in page order.
QStringList Footers(const QString& file) {
  const QString text = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
  QStringList footers;
  auto it = QRegularExpression(QStringLiteral("Page \\d+")).globalMatch(text);
  while (it.hasNext()) footers << it.next().captured(0);
  return footers;
}

// A table report through the Reports module, with a footer that numbers its pages.
struct Printing : test::PreviewFixture {
  std::unique_ptr<PreviewSession> Open(int rows) { return OpenTableReport(Names(rows)); }
  // The PDF printer as the current Printer, writing name in the test's folder.
  QString UsePdf(const QString& name) {
    auto pdf = std::make_unique<surface::PrinterSurface>(surface::kPdfPrinterName);
    const QString file = dir.filePath(name);
    pdf->SetOutputFileName(file);
    surface::SetPrinter(std::move(pdf));
    printer = nullptr;
    return file;
  }
  // A live designer text in slot 0 of the records (slot 1 stays the spare one).
  void AddText(const QString& text, double left, double top) {
    app::CustomTextRecord& rec = designer.CustomTexts[0];
    rec.Left = left;
    rec.Top = top;
    rec.Width = 2;
    rec.Height = 0.5;
    rec.FontName = QStringLiteral("Arial");
    rec.FontSize = 12;
    rec.Text = text;
  }
};

constexpr int kFivePageRows = 300;  // the printed report runs to five pages on a Letter page

TEST_F(Printing, PageRangesOnThePdfPrinter) {
  struct Case {
    SHORT from, to;
    int pages;
    const char* firstFooter;
  } const cases[] = {
      {0, 0, 5, "Page 1"},  // everything
      {3, 4, 2, "Page 3"},  // a range keeps the document's page numbers
      {4, 2, 5, "Page 1"},  // a last page before the first: everything
      {0, 3, 5, "Page 1"},  // a first page of 0: everything
      {5, 9, 1, "Page 5"},  // a range past the end stops with the document
  };
  for (const Case& c : cases) {
    auto s = Open(kFivePageRows);
    const QString file = UsePdf(QStringLiteral("range-%1-%2.pdf").arg(c.from).arg(c.to));
    Script script;
    DoPrint(*s, c.from, c.to);
    ASSERT_EQ(PdfPages(file), c.pages) << c.from << "-" << c.to;
    const QStringList footers = Footers(file);
    ASSERT_EQ(footers.size(), c.pages);
    EXPECT_EQ(footers.first(), QString::fromLatin1(c.firstFooter));
    EXPECT_TRUE(script.forms.Done());
  }
}

TEST_F(Printing, PreviewStateComesBack) {
  auto s = Open(kFivePageRows);
  s->SetZoomFactor(ZoomCode(150), true);
  s->Paging().GotoNextPage();
  printer->SetOrientation(surface::vbPRORPortrait);
  pageSetup.Orientation = 2;
  job.PrintOutlines = true;
  const app::PrintJob before = job;
  const double canvasWidth = s->CanvasWidth();
  DoPrint(*s, 0, 0);
  EXPECT_EQ(s->ZoomPercent(), 150);
  EXPECT_TRUE(s->CanvasVisible());
  EXPECT_DOUBLE_EQ(s->CanvasWidth(), canvasWidth);
  EXPECT_EQ(s->Pages().CurrentPage, 2);  // the page being looked at stays
  EXPECT_EQ(job.PageWidth, before.PageWidth);
  EXPECT_EQ(job.PrintLeft, before.PrintLeft);
  EXPECT_EQ(job.PrintBottom, before.PrintBottom);
  EXPECT_TRUE(job.PrintOutlines);
  EXPECT_EQ(printer->Orientation(), surface::vbPRORPortrait);
  // The run printed landscape, as the page settings ask.
  EXPECT_FALSE(printer->Logged(Primitive::Kind::EndDoc).empty());
}

TEST_F(Printing, PageThatPlacesNoRowEndsTheRun) {
  // A row taller than the page: the table never ends, yet no page takes a row.
  job.ReportType = 2;
  job.ReportRecordset = test::MakeTable(dir, {std::string("tall") + std::string(60, '|'), "next"});
  PreviewSession s(Environment());
  ASSERT_TRUE(s.Load(false).ok);
  DoPrint(s, 0, 0);
  EXPECT_TRUE(printer->Logged(Primitive::Kind::NewPage).empty());
  EXPECT_EQ(printer->Logged(Primitive::Kind::EndDoc).size(), 1u);
}

TEST_F(Printing, FloppyLabelKeepsItsPage) {
  job.LabelMedium = 1;
  job.ReportType = 6;
  auto s = Open(3);
  ASSERT_DOUBLE_EQ(job.PageWidth, 2.9);
  DoPrint(*s, 0, 0);
  EXPECT_DOUBLE_EQ(job.PageWidth, 2.9);
  EXPECT_DOUBLE_EQ(job.PageHeight, 2.4);
}

// A recording printer that fails when it is asked for its second page.
struct FailingPrinter : surface::RecordingSurface {
  using RecordingSurface::RecordingSurface;
  void NewPage() override { throw vbrt::RuntimeError(482); }
};

TEST_F(Printing, ErrorOnTheSecondPageAbandonsTheDocument) {
  auto s = Open(kFivePageRows);
  s->SetZoomFactor(ZoomCode(150), true);
  surface::RecordingOptions options;
  options.printer = true;
  auto failing = std::make_unique<FailingPrinter>(options);
  FailingPrinter* recorder = failing.get();
  surface::SetPrinter(std::move(failing));
  printer = recorder;
  const app::PrintJob before = job;
  Script script;
  script.forms.ExpectMessage(
      forms::vbOK, QStringLiteral("ERROR:    482\r") + QString::fromStdU16String(vbrt::ErrorDescription(482)));
  DoPrint(*s, 0, 0);
  EXPECT_TRUE(script.forms.Done());
  EXPECT_EQ(recorder->Logged(Primitive::Kind::KillDoc).size(), 1u);
  EXPECT_TRUE(recorder->Logged(Primitive::Kind::EndDoc).empty());
  EXPECT_EQ(s->ZoomPercent(), 150);
  EXPECT_TRUE(s->CanvasVisible());
  EXPECT_EQ(job.PageWidth, before.PageWidth);
  EXPECT_EQ(job.PrintRight, before.PrintRight);
}

TEST_F(Printing, DesignerObjectsOncePerPageOnTop) {
  auto s = Open(kFivePageRows);
  AddText(QStringLiteral("Überschrift"), 1.0, 1.0);
  designer.CustomTexts.insert(1, designer.CustomTexts[0]);
  designer.CustomTexts[1].Left = app::kFreeSlot;  // a deleted object: never printed
  designer.CustomTexts[1].Text = QStringLiteral("deleted");
  designer.CustomPictures[0].Left = 2.0;
  designer.CustomPictures[0].Top = 3.0;
  QImage picture(96, 48, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  picture.setDotsPerMeterX(3780);  // 96 pixels per inch
  picture.setDotsPerMeterY(3780);
  s->Pictures().Put(0, picture, QByteArray());
  DoPrint(*s, 2, 3);
  // The designer's text is drawn once on each printed page, after everything else.
  std::map<int, int> perPage;
  std::map<int, QString> lastText;
  for (const Primitive& p : printer->Log()) {
    if (p.kind != Primitive::Kind::Text) continue;
    EXPECT_NE(p.text, QStringLiteral("deleted"));
    lastText[p.page] = p.text;
    if (p.text != QStringLiteral("Überschrift")) continue;
    ++perPage[p.page];
    EXPECT_NEAR(p.x1, 1.0 - job.PrinterOffsetX, 0.02);
  }
  EXPECT_EQ(perPage, (std::map<int, int>{{1, 1}, {2, 1}}));
  for (const auto& [page, text] : lastText) EXPECT_EQ(text, QStringLiteral("Überschrift")) << page;
  const auto pictures = printer->Logged(Primitive::Kind::Picture);
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_NEAR(pictures[0].x1, 2.0 - job.PrinterOffsetX, 0.02);
  EXPECT_NEAR(pictures[0].x2 - pictures[0].x1, 1.0, 0.02);
}

TEST_F(Printing, CaseInsertGuidesOnlyWithoutTheHeader) {
  for (const bool header : {false, true}) {
    job.LabelMedium = 3;
    job.PrintHeader = header;
    auto s = Open(5);
    printer->ClearLog();
    DoPrint(*s, 0, 0);
    const auto lines = printer->Logged(Primitive::Kind::Line);
    std::vector<Primitive> grey;
    for (const Primitive& p : lines)
      if (p.color == 0x808080) grey.push_back(p);
    if (header) {
      EXPECT_TRUE(grey.empty());
      continue;
    }
    ASSERT_EQ(grey.size(), 1u);
    // The frame lies a quarter of a line left of the printable box (0.25 in on this printer,
    // whose physical offset the margin's half inch loses), the fold line across its middle.
    const double q = printer->TextHeight(QStringLiteral("W")) / 4;
    const Primitive* frameLeft = nullptr;
    for (const Primitive& p : lines)
      if (p.color == 0 && std::abs(p.x1 - (0.25 - q)) < 0.02 && std::abs(p.x2 - p.x1) < 0.01) frameLeft = &p;
    ASSERT_NE(frameLeft, nullptr);
    EXPECT_NEAR(grey[0].x1, 0.25 - q, 0.02);
    EXPECT_NEAR(grey[0].y1, (frameLeft->y1 + frameLeft->y2) / 2, 0.02);
  }
}

// Scripted forms that keep the printer dialog's request as it was shown.
struct DialogForms : forms::ScriptedForms {
  DialogForms() : ScriptedForms(testing_qt::FailTest) {}
  bool PrinterDialog(forms::PrinterDialogRequest& request) override {
    shown.push_back(request);
    return ScriptedForms::PrinterDialog(request);
  }
  std::vector<forms::PrinterDialogRequest> shown;
};

struct Dialog : test::PreviewFixture {
  DialogForms script;
  forms::ScopedForms use{script};
};

TEST_F(Dialog, FlagsAndPagesFromThePreview) {
  job.ReportType = 2;
  job.ReportRecordset = test::MakeTable(dir, Names(45));
  frmPrint w(Environment());
  drawing().header = 7.15;  // ten rows a page
  w.resize(700, 600);
  ASSERT_TRUE(w.Load());
  w.GotoNextPage();
  w.GotoNextPage();
  script.ExpectPrinter(std::nullopt);  // Cancel
  w.Action(QStringLiteral("Print"))->trigger();
  script.ExpectPrinter(std::nullopt);
  w.Action(QStringLiteral("mnuPrnSetup"))->trigger();
  ASSERT_EQ(script.shown.size(), 2u);
  EXPECT_EQ(script.shown[0].Flags, 0x40006u);
  EXPECT_EQ(script.shown[0].FromPage, 3);
  EXPECT_EQ(script.shown[0].ToPage, 3);
  EXPECT_EQ(script.shown[0].MinPage, 1);
  EXPECT_EQ(script.shown[0].MaxPage, w.GetNumPages());
  EXPECT_EQ(script.shown[1].Flags, 64u);
  EXPECT_TRUE(printer->Log().empty());  // Cancel printed nothing
  w.close();

  job.ReportRecordset = test::MakeTable(dir, Names(3));
  frmPrint single(Environment());
  ASSERT_TRUE(single.Load());
  script.ExpectPrinter(std::nullopt);
  single.Action(QStringLiteral("Print"))->trigger();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_EQ(script.shown[2].Flags, 0x40004u);
  EXPECT_EQ(script.shown[2].MaxPage, 0);
  single.close();
  EXPECT_TRUE(script.Done());
}

TEST_F(Dialog, ChoiceAppliedToThePrinter) {
  // The same printer keeps its object and takes copies and orientation; a duplex it refuses
  // is no error.
  forms::PrinterChoice same;
  same.copies = 3;
  same.duplex = 2;
  same.orientation = 2;
  script.ExpectPrinter(same);
  DWORD flags = forms::PD_PRINTSETUP;
  ASSERT_TRUE(ShowPrintDialog(nullptr, flags));
  EXPECT_EQ(&surface::Printer(), printer);
  EXPECT_EQ(printer->Copies(), 3);
  EXPECT_EQ(printer->Orientation(), 2);
  EXPECT_EQ(printer->Duplex(), 1);
  EXPECT_EQ(script.shown[0].DeviceName, QStringLiteral("Recorder"));

  // Cancel changes nothing, flags and pages included.
  script.ExpectPrinter(std::nullopt);
  DWORD kept = 0x40006;
  WORD from = 2, to = 2, min = 1, max = 4;
  EXPECT_FALSE(ShowPrintDialog(nullptr, kept, from, to, min, max));
  EXPECT_EQ(kept, 0x40006u);
  EXPECT_EQ(from, 2);
  EXPECT_EQ(printer->Copies(), 3);

  // An unknown name is reported and the Printer stays.
  forms::PrinterChoice unknown;
  unknown.deviceName = QStringLiteral("No Such Printer");
  script.ExpectPrinter(unknown);
  script.ExpectMessage(forms::vbOK, QStringLiteral("No Such Printer"));
  EXPECT_FALSE(ShowPrintDialog(nullptr, flags));
  EXPECT_EQ(&surface::Printer(), printer);

  // A name differing in case is found; the page range chosen comes back.
  forms::PrinterChoice pdf;
  pdf.deviceName = QStringLiteral("pdf");
  pdf.pages = std::make_pair(WORD(2), WORD(3));
  pdf.port = dir.filePath(QStringLiteral("chosen.pdf"));
  script.ExpectPrinter(pdf);
  DWORD paged = 0x40006;
  from = to = 1;
  ASSERT_TRUE(ShowPrintDialog(nullptr, paged, from, to, min, max));
  printer = nullptr;
  EXPECT_EQ(surface::Printer().DeviceName(), surface::kPdfPrinterName);
  EXPECT_EQ(surface::Printer().Orientation(), 2);  // taken over from the one it replaced
  EXPECT_TRUE(paged & forms::PD_PAGENUMS);
  EXPECT_EQ(from, 2);
  EXPECT_EQ(to, 3);
  auto* chosen = dynamic_cast<surface::PrinterSurface*>(&surface::Printer());
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->OutputFileName(), pdf.port);
  EXPECT_TRUE(script.Done());
}

}  // namespace
}  // namespace designer

namespace designer {
namespace {

TEST_F(Dialog, PrintFromTheWindowKeepsItsZoom) {
  for (const bool labels : {true, false}) {
    job.ReportType = 2;
    job.ReportRecordset = test::MakeTable(dir, Names(45));
    frmPrint w(Environment());
    drawing().header = 7.15;
    w.resize(700, 600);
    ASSERT_TRUE(w.Load());
    w.Action(QStringLiteral("mnu150"))->trigger();
    if (!labels) w.Action(QStringLiteral("mnuTxtLab"))->trigger();
    const QString caption = w.Action(QStringLiteral("Zoom"))->text();
    printer->ClearLog();
    forms::PrinterChoice all;
    script.ExpectPrinter(all);
    w.Action(QStringLiteral("Print"))->trigger();
    EXPECT_FALSE(printer->Logged(Primitive::Kind::EndDoc).empty());
    EXPECT_EQ(w.Session().ZoomPercent(), 150);
    EXPECT_EQ(w.Action(QStringLiteral("Zoom"))->text(), caption);
    if (labels) EXPECT_EQ(caption, QStringLiteral("Zoom: 150%"));
    EXPECT_TRUE(w.Session().CanvasVisible());
    w.close();
  }
  EXPECT_TRUE(script.Done());
}

TEST_F(Dialog, FloppyPromptNamesTheCellItPrintsAt) {
  job.ReportType = 6;
  job.LabelMedium = 1;
  job.ReportRecordset = test::MakeTable(dir, Names(3));
  pageSetup.StartPosition = 4;
  pageSetup.LeftMargin = 3.1;
  {
    frmPrint w(Environment());
    ASSERT_TRUE(w.Load());
    script.ExpectMessage(forms::vbCancel, QStringLiteral("COLUMN 2, ROW 2"));
    w.Action(QStringLiteral("Print"))->trigger();
    w.close();
  }
  // Closing the preview puts back the start cell and the margins that framed it.
  EXPECT_EQ(pageSetup.StartPosition, 0);
  EXPECT_EQ(pageSetup.LeftMargin, reports::PageSettings{}.LeftMargin);
  EXPECT_TRUE(printer->Log().empty());
  EXPECT_TRUE(script.Done());
}

}  // namespace
}  // namespace designer
