// Disk headings and trailing blocks, the page drawing's dispatch by report type and the
// custom listing's label cell, on the recording surface.
#include "test_support.h"
#include "vbrt.h"

namespace reports::testing {
namespace {

class DiskBlockTest : public ReportsTest {
 protected:
  void Disk(const QVariant& free, const QString& note, const QString& type = QStringLiteral("Floppy Disk")) {
    QVariantList info(app::kItemInfoCount);
    info[app::kInfoSerial] = 1234.0;
    info[app::kInfoName] = QStringLiteral("Fotos Überall");
    info[app::kInfoFreeSpace] = free;
    info[app::kInfoTimeA] = *vbrt::DateFromParts({2026, 12, 9, 15, 5, 7});
    info[app::kInfoType] = type;
    info[app::kInfoNote] = note;
    selection.AddUpdateResult = info;
  }
  static QStringList Texts(const RecordingSurface& s) {
    QStringList out;
    for (const Primitive& p : s.Logged(Primitive::Kind::Text)) out << p.text;
    return out;
  }
};

TEST_F(DiskBlockTest, TrailingBlockShowsFreeSpaceTheNoteAfterItsBarAndAFixedDate) {
  const struct {
    QVariant free;
    QString note;
    const char* freeText;
    const char* noteText;
  } cases[] = {
      {1048576.0, QStringLiteral("Label|Holiday|2026"), "Free: 1,024K", "Holiday|2026"},
      {QStringLiteral("n/a"), QStringLiteral("plain note"), "Free: n/a", "plain note"},
  };
  for (const auto& c : cases) {
    Disk(c.free, c.note);
    auto s = Canvas(96);
    reports.PrintFileRows(*s, 0.5, 10.5, 8.0, false, true);
    const QStringList texts = Texts(*s);
    EXPECT_TRUE(texts.contains(QString::fromUtf8(c.freeText))) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains(QString::fromUtf8(c.noteText))) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Modified: 12/9/2026 3:05:07 PM"))) << texts.join('|').toStdString();
  }
}

TEST_F(DiskBlockTest, AZipSerialKeepsClearOfTheSheetsEdge) {
  Disk(0.0, QString(), QStringLiteral("Zip Disk"));
  double ends[2];
  int i = 0;
  for (SHORT stock : {0, 2}) {
    job.PrintToIndex = stock;
    auto s = Canvas();
    reports.PrintFileRows(*s, 1.0, 1.0, 4.875, true, true);
    const auto texts = s->Logged(Primitive::Kind::Text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].text, QStringLiteral("1234"));
    reports.SetFontFromRecord(*s, 3);
    ends[i++] = texts[0].x1 + s->TextWidth(QStringLiteral("1234"));
  }
  EXPECT_NEAR(ends[0], 4.875 - 0.25, 0.01) << "ZipSlip: 0.25 in short of the edge";
  EXPECT_NEAR(ends[1], 4.875 - 0.125, 0.01) << "Zip labels: no inset";
}

struct FakePage : PageCallbacks {
  double PrintDocumentHeader(surface::Surface&, double, double, double, const QString& text, bool) override {
    header = text;
    return 0.75;
  }
  double PrintPageFooter(surface::Surface&, double, double, double, const QString& text, bool, bool, SHORT) override {
    footer = text;
    return 0.5;
  }
  QString header, footer;
};

TEST_F(DiskBlockTest, PageDrawingByReportType) {
  FakePage callbacks;
  reports.SetCallbacks(&callbacks);
  Disk(0.0, QString());
  job.ReportTitle = QStringLiteral("Catalog\rSubtitle");
  job.ReportType = 1;
  auto s = Canvas(96);
  EXPECT_DOUBLE_EQ(reports.PrintReportPage(*s, 0.5, 0.5, 8.0), 0.75);
  EXPECT_EQ(callbacks.header, job.ReportTitle);
  EXPECT_DOUBLE_EQ(reports.PrintDirectoryFooter(*s, 0.5, 10.5, 8.0), 0.5);
  EXPECT_TRUE(callbacks.footer.startsWith(QStringLiteral("Directory Contents printed  ")));

  job.ReportType = 11;
  job.TemplateKind = 3;
  auto outline = Canvas();
  EXPECT_DOUBLE_EQ(reports.PrintReportPage(*outline, 0.5, 0.5, 8.0), -1.0);
  EXPECT_EQ(outline->Log().size(), outline->Logged(Primitive::Kind::Circle).size());

  job.ReportType = 13;
  auto none = Canvas();
  EXPECT_DOUBLE_EQ(reports.PrintReportPage(*none, 0.5, 0.5, 8.0), 0.0);
  EXPECT_TRUE(none->Log().empty());

  // A "ZipSlip" file listing with a case insert kind left over draws no outlines.
  job.ReportType = 2;
  job.LabelMedium = 2;
  job.PrintToIndex = 0;
  job.TemplateKind = 1;
  auto zipSlip = Canvas(96);
  EXPECT_GT(reports.PrintReportPage(*zipSlip, 1.0, 0.5, 4.875), 0.0);
  EXPECT_TRUE(zipSlip->Logged(Primitive::Kind::RoundRect).empty());
  EXPECT_EQ(zipSlip->Logged(Primitive::Kind::Line).size(), 1u) << "only the heading's rule";
  EXPECT_EQ(job.LabelMedium, 2);
  EXPECT_EQ(job.TemplateKind, 0);
}

TEST_F(DiskBlockTest, CaseInsertListingDrawsSpineTextsRotated) {
  Disk(0.0, QString(), QStringLiteral("Zip Disk"));
  job.ReportType = 3;
  job.LabelMedium = 2;
  job.PrintToIndex = 1;
  auto s = Canvas(96);
  reports.PrintReportPage(*s, 1.5, 0.5, 5.0);
  ASSERT_EQ(rotated.size(), 2u);
  EXPECT_EQ(rotated[0].text, QStringLiteral("Fotos Überall"));
  EXPECT_EQ(rotated[1].text, QStringLiteral("No.  1234"));
  for (const RotatedCall& c : rotated) EXPECT_EQ(c.angle, 2700);
  EXPECT_EQ(rotated[1].bottom, static_cast<LONG>(s->ScaleY(10.5, surface::vbInches, surface::vbPixels)))
      << "the number ends at the bottom of the printable area";
}

TEST_F(DiskBlockTest, CustomListingLeavesItsLabelCell) {
  Disk(0.0, QString());
  job.ReportType = 4;
  job.LabelMedium = 0;
  auto paper = Canvas(96);
  EXPECT_DOUBLE_EQ(reports.PrintReportPage(*paper, 0.5, 0.5, 8.0), -1.0);
  EXPECT_DOUBLE_EQ(job.LabelCellLeft, 0.5);
  EXPECT_DOUBLE_EQ(job.LabelCellWidth, 7.5);
  const double heading = job.LabelCellTop - 0.5;
  EXPECT_NEAR(job.LabelCellHeight, 10.5 - (0.5 + 4 * heading), 1e-9);

  job.LabelMedium = 3;  // a CD case insert starting in its second half
  job.ZipStartColumn = 1;
  auto insert = Canvas(96);
  reports.PrintReportPage(*insert, 0.5, 0.5, 8.0);
  EXPECT_DOUBLE_EQ(job.LabelCellLeft, 0.5 + 7.5 / 2);
  EXPECT_DOUBLE_EQ(job.LabelCellWidth, 7.5 / 2);
  EXPECT_NEAR(job.LabelCellHeight, 10.5 - job.LabelCellTop, 1e-9) << "the start offset is not taken off";
  EXPECT_EQ(insert->Logged(Primitive::Kind::Text).back().text, QStringLiteral("Front Cover"));
}

}  // namespace
}  // namespace reports::testing

namespace reports::testing {
namespace {

TEST_F(DiskBlockTest, TextInARectangleMeasuresAndRotates) {
  auto s = Canvas(96);
  double w = 0, h = 0;
  const double drawn = reports.PrintTextInRect(1.0, 1.0, QStringLiteral("W"), *s, w, h, 0);
  EXPECT_DOUBLE_EQ(w, s->TextWidth(QStringLiteral("AW"))) << "one letter more of room";
  EXPECT_DOUBLE_EQ(h, s->TextHeight(QStringLiteral("W")));
  EXPECT_NEAR(drawn, h, 1.0 / 96);
  EXPECT_TRUE(rotated.empty());

  double rw = 0.5, rh = 2.0;
  EXPECT_EQ(reports.PrintTextInRect(1.0, 2.0, QStringLiteral("Spine"), *s, rw, rh, 0, 90), 0.0);
  ASSERT_EQ(rotated.size(), 1u);
  EXPECT_EQ(rotated[0].angle, 900);
  EXPECT_EQ(rotated[0].left, 96);
  EXPECT_EQ(rotated[0].top, 192);
  EXPECT_EQ(rotated[0].right, 96 + 48);
  EXPECT_EQ(rotated[0].bottom, 192 + 192);
  // Counting draws no rotated text.
  EXPECT_EQ(reports.PrintTextInRect(1.0, 2.0, QStringLiteral("Spine"), *s, rw, rh, DT_CALCRECT, 90), 0.0);
  EXPECT_EQ(rotated.size(), 1u);
}

}  // namespace
}  // namespace reports::testing
