// Label batches on the recording surface: floppy labels three across, Zip case inserts with
// their spine texts, the Zip sheets; an empty batch draws nothing.
#include "test_support.h"

namespace reports::testing {
namespace {

class LabelBatchTest : public ReportsTest {
 protected:
  void Batch(int disks) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= disks; ++i) {
      rows.push_back({"  Disk " + std::to_string(i) + " Ärger", std::to_string(i), "1048576", "12/9/26 3:05 PM",
                      "x|note " + std::to_string(i)});
    }
    UseTable("NAME,DISK_SERIAL_NUMBER,SIZE,MODIFIED,NOTE", rows);
  }
  static std::vector<Primitive> Captions(const RecordingSurface& s) {
    std::vector<Primitive> out;
    for (const Primitive& p : s.Logged(Primitive::Kind::Text)) {
      if (p.text == QLatin1String("Disk Name:")) out.push_back(p);
    }
    return out;
  }
};

TEST_F(LabelBatchTest, SevenFloppyLabelsFillTwoRowsAndStartAThird) {
  Batch(7);
  job.ReportType = 6;
  page.OffsetX = 0.25;
  auto s = Canvas(96);
  EXPECT_DOUBLE_EQ(reports.PrintReportPage(*s, 0.5, 0.5, 8.0), -1.0);
  const auto captions = Captions(*s);
  ASSERT_EQ(captions.size(), 7u);
  reports.SetFontFromRecord(*s, 3);
  const double serialHeight = s->TextHeight(QStringLiteral("7"));
  const double colLeft[] = {0.5, 0.25 + 3.0, 0.25 + 5.75};
  for (int i = 0; i < 7; ++i) {
    const int c = i % 3, r = i / 3;
    EXPECT_NEAR(captions[i].x1, colLeft[c] + 0.125, 1.5 / 96) << "label " << i + 1;
    EXPECT_NEAR(captions[i].y1 - 1.5 * serialHeight, job.PrintTop + 2.0 * r + 1.0 / 16, 1.5 / 96) << "label " << i + 1;
  }
  EXPECT_NEAR(captions[6].y1 - 1.5 * serialHeight, job.PrintTop + 4.0625, 1.5 / 96);
  EXPECT_EQ(selection.AddUpdateResult.toList().size(), 10) << "each row loaded as a fresh array of 10";
  EXPECT_EQ(selection.AddUpdateResult.toList()[app::kInfoName].toString(), QStringLiteral("  Disk 7 Ärger"));
}

TEST_F(LabelBatchTest, AnEmptyBatchDrawsNothing) {
  Batch(0);
  job.PrintOutlines = true;
  for (SHORT type : {6, 8, 9, 10}) {
    job.ReportType = type;
    auto s = Canvas(96);
    reports.PrintReportPage(*s, 0.875, 0.416, 10.125);
    EXPECT_TRUE(s->Log().empty()) << "type " << type;
  }
}

TEST_F(LabelBatchTest, CaseInsertsGetTheirSpineTextsRotated) {
  Batch(3);
  job.ReportType = 9;
  auto s = Canvas(96);
  reports.PrintReportPage(*s, 0.875, 0.416, 10.125);
  ASSERT_EQ(rotated.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rotated[2 * i].text, QStringLiteral("  Disk %1 Ärger").arg(i + 1));
    EXPECT_EQ(rotated[2 * i + 1].text, QStringLiteral("No. %1").arg(i + 1));
    EXPECT_EQ(rotated[2 * i].angle, 2700);
  }
  EXPECT_EQ(Captions(*s).size(), 3u);
  EXPECT_NEAR(s->Logged(Primitive::Kind::Line).front().y1, 0.416, 1.0 / 96) << "the case insert outline first";
  EXPECT_EQ(job.TemplateKind, 0);
}

TEST_F(LabelBatchTest, ZipSheetsFillTheirCellsRowByRow) {
  Batch(3);
  for (SHORT type : {8, 10}) {
    job.ReportType = type;
    auto s = Canvas(96);
    reports.PrintReportPage(*s, 0.25, 0.25, 8.25);
    const auto captions = Captions(*s);
    ASSERT_EQ(captions.size(), 3u);
    const LabelStock g = GetLabelStockOffsets(type, 2);
    EXPECT_NEAR(captions[1].x1, g.left + g.colPitch + 0.125, 1.5 / 96) << type;
    EXPECT_NEAR(captions[2].x1, g.left + 0.125, 1.5 / 96) << type;
    EXPECT_GT(captions[2].y1, captions[0].y1 + g.rowPitch - 0.02);
  }
}

}  // namespace
}  // namespace reports::testing
