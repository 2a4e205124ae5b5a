// The current Printer: one object kept from job to job, replaced by a chosen printer, and
// usable again after a job that failed.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <stdexcept>

#include "currentprinter.h"
#include "recordingsurface.h"
#include "vbrt.h"

namespace surface {
namespace {

QString PdfInfo(const QString& file) {
  QProcess p;
  p.start(QStringLiteral("pdfinfo"), {file});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return QString();
  return QString::fromUtf8(p.readAllStandardOutput());
}

int Pages(const QString& file) {
  const auto m = QRegularExpression(QStringLiteral(R"(Pages:\s+(\d+))")).match(PdfInfo(file));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class CurrentPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  void TearDown() override { SetPrinter(nullptr); }
  QString File(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

  // One job of `pages` pages, each with a line, sent at the end.
  static void Job(int pages) {
    PrintRun run(Printer());
    for (int i = 0; i < pages; ++i) {
      if (i) run.printer().NewPage();
      run.printer().Line(0, 0, 1, 1);
    }
    run.End();
  }

  QTemporaryDir dir;
};

TEST_F(CurrentPrinterTest, TheChosenPrinterIsKeptWithItsSettingsForTheNextJob) {
  RecordingOptions options;
  options.printer = true;
  SetPrinter(std::make_unique<RecordingSurface>(options));
  Printer().SetOrientation(vbPRORLandscape);  // as a launcher does before the preview

  // The printer dialog picks the PDF printer: it takes over the orientation.
  SelectPrinter(kPdfPrinterName, File("first.pdf"));
  PrinterObject* const chosen = &Printer();
  EXPECT_EQ(chosen->DeviceName(), kPdfPrinterName);
  EXPECT_EQ(chosen->Orientation(), vbPRORLandscape);
  Job(2);

  // The next job finds the same printer, its orientation and a fresh document.
  EXPECT_EQ(&Printer(), chosen);
  EXPECT_EQ(Printer().Page(), 1);
  SelectPrinter(kPdfPrinterName, File("second.pdf"));  // the same device keeps the object
  EXPECT_EQ(&Printer(), chosen);
  Job(1);
  EXPECT_EQ(Pages(File("first.pdf")), 2);
  EXPECT_EQ(Pages(File("second.pdf")), 1);
  EXPECT_TRUE(PdfInfo(File("second.pdf")).contains(QStringLiteral("792 x 612 pts"))) << "landscape Letter";
}

TEST_F(CurrentPrinterTest, AnUnknownPrinterLeavesTheCurrentOne) {
  SelectPrinter(kPdfPrinterName);
  PrinterObject* const before = &Printer();
  try {
    SelectPrinter(QStringLiteral("No Such Printer 1234"));
    ADD_FAILURE() << "an unknown printer was chosen";
  } catch (const vbrt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 482);
  }
  EXPECT_EQ(&Printer(), before);
}

TEST_F(CurrentPrinterTest, AJobThatFailsLeavesThePrinterUsable) {
  // A job whose document cannot be written fails with the printer error...
  SelectPrinter(kPdfPrinterName, File("missing/folder/out.pdf"));
  try {
    Job(1);
    ADD_FAILURE() << "a job on an unwritable file succeeded";
  } catch (const vbrt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 482);
  }
  // ...and a job that an error stops half-way leaves no partial document behind.
  SelectPrinter(kPdfPrinterName, File("broken.pdf"));
  try {
    PrintRun run(Printer());
    run.printer().Line(0, 0, 1, 1);
    run.printer().NewPage();
    throw std::runtime_error("the page drawing failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(QFile::exists(File("broken.pdf")));
  EXPECT_EQ(Printer().Page(), 1);

  // The same printer prints the next job whole.
  SelectPrinter(kPdfPrinterName, File("good.pdf"));
  Job(3);
  EXPECT_EQ(Pages(File("good.pdf")), 3);
}

TEST_F(CurrentPrinterTest, ARecordingPrinterSeesTheRunAbandonedOrSent) {
  RecordingOptions options;
  options.printer = true;
  auto recorder = std::make_unique<RecordingSurface>(options);
  RecordingSurface* log = recorder.get();
  SetPrinter(std::move(recorder));
  {
    PrintRun run(Printer());
    run.printer().Line(0, 0, 1, 1);
  }
  Job(1);
  std::vector<Primitive::Kind> ends;
  for (const Primitive& p : log->Log()) {
    if (p.kind == Primitive::Kind::EndDoc || p.kind == Primitive::Kind::KillDoc) ends.push_back(p.kind);
  }
  EXPECT_EQ(ends, (std::vector<Primitive::Kind>{Primitive::Kind::KillDoc, Primitive::Kind::EndDoc}));
}

}  // namespace
}  // namespace surface
