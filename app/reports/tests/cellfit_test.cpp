// Report cells keep their text whole: every column of the search results layout shows its
// widest value within its cell on the canvas at 100 % and 85 % and on the printer, on one line
// where the cell can hold it and wrapped where it cannot, with or without the word-break flag.
#include <QRegularExpression>

#include "test_support.h"

namespace reports::testing {
namespace {

class CellFit : public ReportsTest {
 protected:
  void SetUp() override {
    // The search results preview's layout.
    job.ReportType = 1;
    job.ReportFieldNames = {"NAME", "DISK_SERIAL_NUMBER", "LOCATION", "SIZE", "MODIFIED", "NOTE"};
    job.ReportColumnTitles = QStringList{"Name", "Serial #", "Location", "Size", "Modified", "Note"};
    job.ReportColumnWidths = {16, 9, 30, 8, 12, 25};
    job.ReportColumnFormats = {"IL@", "R@", "L@", "R@", "R@", "L@"};
    job.ReportColumnCount = 6;
    job.CellAlignFlags = 1;
    job.IndentWidth = 5;
  }
};

TEST_F(CellFit, EveryColumnShowsItsWidestValueWithinItsCell) {
  // The widest values of each column, as the search results table holds them, and as shown.
  const std::vector<std::vector<std::string>> rows = {
      {"Symphonie_fantastique_op14_Berlioz_remastered.flac06", "0000000100", "ROOT:\\Music 2003\\Jazz\\", "65,536KB",
       "12/28/26 12:58 PM", "MUSIC"},
      {"a.txt06", "4294967295",
       "ROOT:\\Backup Zip 1\\Caf\xC3\xA9 del Mar \xE2\x80\x94 Remastered Edition\\Disc 1\\Kunde M\xC3\xBCller\\",
       "4,194,304KB", "10/30/26 10:08 AM", "WORK | favourite recordings, kept for the years to come"},
      {"Vollst\xC3\xA4ndige_Unterlagen_f\xC3\xBCr_die_Steuererkl\xC3\xA4rung.pdf06", "9999999999", "ROOT:\\",
       "1,073,741,824KB", "11/11/26 11:11 AM", "x|"},
  };
  const std::vector<QStringList> shown = {
      {"Symphonie_fantastique_op14_Berlioz_remastered.flac", "0000000100", "ROOT:\\Music 2003\\Jazz\\", "65,536KB",
       "12/28/2026 12:58 PM", "MUSIC"},
      {"a.txt", "4294967295",
       QString::fromUtf8("ROOT:\\Backup Zip 1\\Caf\xC3\xA9 del Mar \xE2\x80\x94 Remastered Edition\\Disc 1\\Kunde "
                         "M\xC3\xBCller\\"),
       "4,194,304KB", "10/30/2026 10:08 AM", "WORK | favourite recordings, kept for the years to come"},
      {QString::fromUtf8("Vollst\xC3\xA4ndige_Unterlagen_f\xC3\xBCr_die_Steuererkl\xC3\xA4rung.pdf"), "9999999999",
       "ROOT:\\", "1,073,741,824KB", "11/11/2026 11:11 AM", "x|"},
  };
  UseTable("NAME,DISK_SERIAL_NUMBER,LOCATION,SIZE,MODIFIED,NOTE", rows);
  struct Case {
    const char* what;
    double zoom;
    bool printer;
    double dpi;
  } cases[] = {{"canvas at 100 %", 1.0, false, 96}, {"canvas at 85 %", 0.85, false, 96}, {"printer", 1.0, true, 600}};
  const QRegularExpression blanks(QStringLiteral("\\s+"));
  for (const Case& c : cases) {
    for (const LONG textFlags : {LONG{0}, LONG{DT_WORDBREAK}}) {
      SCOPED_TRACE(std::string(c.what) + (textFlags ? ", word break" : ", one item per line"));
      job.CellTextFlags = textFlags;
      designer.ZoomFactor = c.zoom;
      auto s = c.printer ? PrinterSurface(0.25, c.dpi) : Canvas(c.dpi);
      TablePage pg;
      job.ReportRecordset->MoveFirst();
      pg.PageStarts.assign(2, std::nullopt);
      pg.PageStarts[0] = job.ReportRecordset->GetBookmark();
      pg.CurrentPage = 1;
      pg.NoteLabelWidth = s->ScaleX(s->TextWidth(QStringLiteral("H")) * 9, surface::vbInches, surface::vbPixels);
      const double z = c.zoom;
      reports.PrintTableRows(*s, pg, 0.5 * z, 0.5 * z, 7.5 * z, 10.0 * z, 1, 0);

      // The cells' left edges, from the layout: a text belongs to the cell its clip starts in.
      const std::vector<Primitive> texts = Of(*s, Primitive::Kind::Text);
      std::vector<double> edges = {0.5 * z};
      for (double w : job.ReportColumnWidths) edges.push_back(edges.back() + w * 7.5 * z / 100);
      // The text of every cell, row by row (its lines joined), and nothing drawn past a clip.
      std::vector<QStringList> drawn;
      double rowTop = -1;
      for (const Primitive& p : texts) {
        ASSERT_TRUE(p.clipped) << p.text.toStdString();
        s->SetFont(p.font);
        const double width = s->TextWidth(p.text);
        const double pixel = 1.0 / c.dpi;
        EXPECT_GE(p.x1, p.clipX1 - pixel) << p.text.toStdString();
        EXPECT_LE(p.x1 + width, p.clipX2 + pixel) << p.text.toStdString();
        if (p.clipY1 != rowTop) {
          rowTop = p.clipY1;
          drawn.push_back(QStringList(6, QString()));
        }
        int cell = 0;
        while (cell + 1 < 6 && p.clipX1 >= edges[cell + 1] - pixel) ++cell;
        drawn.back()[cell] += p.text;
      }
      ASSERT_EQ(drawn.size(), 1 + shown.size());  // the title row, then the rows
      for (size_t row = 0; row < shown.size(); ++row) {
        for (int cell = 0; cell < 6; ++cell) {
          EXPECT_EQ(drawn[row + 1][cell].remove(blanks), QString(shown[row][cell]).remove(blanks))
              << "row " << row << ", " << job.ReportFieldNames[cell].toStdString();
        }
      }
      // The serial numbers, which their cell can hold, stand whole on one line.
      int wholeSerials = 0;
      for (const Primitive& p : texts)
        wholeSerials += p.text == QLatin1String("0000000100") || p.text == QLatin1String("4294967295") ||
                        p.text == QLatin1String("9999999999");
      EXPECT_EQ(wholeSerials, 3);
    }
  }
}

}  // namespace
}  // namespace reports::testing
