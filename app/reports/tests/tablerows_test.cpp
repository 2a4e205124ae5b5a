// Report table rows on the recording surface: pages whose wrapped rows differ in number,
// count-only passes, notes split at their bar, tree cells, page columns, the search hit and
// the rewinding of the table.
#include <map>

#include "test_support.h"

namespace reports::testing {
namespace {

class TableRowsTest : public ReportsTest {
 protected:
  void SetUp() override {
    job.ReportType = 2;
    job.ReportFieldNames = {QStringLiteral("NAME"), QStringLiteral("NOTE")};
    job.ReportColumnTitles = QStringList{QStringLiteral("Name"), QStringLiteral("Note")};
    job.ReportColumnWidths = {40, 60};
    job.ReportColumnFormats = {QStringLiteral("L@"), QStringLiteral("L@")};
    job.ReportColumnCount = 2;
    job.CellTextFlags = DT_WORDBREAK;
  }
  // n rows; from row `wrapFrom` on every note wraps over several lines.
  void Rows(int n, int wrapFrom) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < n; ++i) {
      std::string note = "short";
      if (i >= wrapFrom) {
        note.clear();
        for (int w = 0; w < 30; ++w) note += "Überschrift ";
      }
      rows.push_back({"file_" + std::to_string(i) + "_ñ.txt", note});
    }
    UseTable("NAME,NOTE", rows);
  }
  // Draws every page from page 1 until the rows run out; the names drawn on each page.
  std::vector<QStringList> AllPages(RecordingSurface& s, TablePage& pg, bool countOnly = false) {
    std::vector<QStringList> pages;
    EXPECT_TRUE(reports.CalcRowHeight(s, pg));
    for (pg.CurrentPage = 1; pg.CurrentPage < 100; ++pg.CurrentPage) {
      s.ClearLog();
      const double r = reports.PrintTableRows(s, pg, 0.5, 0.5, 7.5, 10.0, 1, 0, countOnly);
      pages.push_back(Names(s));
      if (r < 0) break;
    }
    return pages;
  }
  static QStringList Names(const RecordingSurface& s) {
    QStringList names;
    for (const Primitive& p : s.Logged(Primitive::Kind::Text)) {
      if (p.text.startsWith(QLatin1String("file_"))) names << p.text;
    }
    return names;
  }
};

TEST_F(TableRowsTest, WrappedRowsMakeShorterPagesAndEveryRowShowsOnce) {
  Rows(120, 60);
  auto s = Canvas(96);
  TablePage pg;
  const auto pages = AllPages(*s, pg);
  ASSERT_GE(pages.size(), 3u);
  EXPECT_LT(pages[1].size(), pages[0].size()) << "page 2 holds the wrapped rows";
  std::map<QString, int> seen;
  for (const QStringList& names : pages) {
    for (const QString& n : names) ++seen[n];
  }
  EXPECT_EQ(seen.size(), 120u);
  for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << name.toStdString();

  // A page drawn again shows the same rows, from the start recorded for it.
  const auto starts = pg.PageStarts;
  pg.CurrentPage = 2;
  s->ClearLog();
  reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, 1, 0);
  EXPECT_EQ(Names(*s), pages[1]);

  // Counting draws nothing and finds the same page starts.
  auto counter = Canvas(96);
  TablePage counted;
  const auto empty = AllPages(*counter, counted, true);
  EXPECT_EQ(empty.size(), pages.size());
  EXPECT_TRUE(counter->Log().empty());
  ASSERT_EQ(counted.PageStarts.size(), starts.size());
  EXPECT_TRUE(counted.PageStarts == starts);
}

TEST_F(TableRowsTest, RowsThatFitOnOnePageEndItWithoutAFollowingStart) {
  Rows(5, 5);
  auto s = Canvas(96);
  TablePage pg;
  ASSERT_TRUE(reports.CalcRowHeight(*s, pg));
  EXPECT_LT(reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, 1, 0), 0.0);
  EXPECT_FALSE(pg.PageStarts[1].has_value());
  EXPECT_DOUBLE_EQ(reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, 0, 0), -1.0);
}

TEST_F(TableRowsTest, NotesAreSplitAtTheirFirstBar) {
  auto s = Canvas(96);
  const double labelWidth = 90;
  const struct {
    const char* note;
    std::vector<std::pair<const char*, LONG>> parts;  // text and its left edge
  } cases[] = {
      {"Label|rest|more", {{"Label", 100}, {"|rest|more", 190}}},
      {"no bar at all", {{"no bar at all", 100}}},
      {"ends|", {{"ends", 100}, {"|", 190}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    s->ClearLog();
    const int h = reports.DrawNoteText(*s, labelWidth, QString::fromUtf8(c.note), 100, 100, 700, 400, 0);
    const auto texts = s->Logged(Primitive::Kind::Text);
    ASSERT_EQ(texts.size(), c.parts.size()) << c.note;
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i].text, QString::fromUtf8(c.parts[i].first));
      EXPECT_NEAR(texts[i].x1 * 96, c.parts[i].second, 1.0);
    }
    EXPECT_EQ(h > 0, !c.parts.empty());
  }
}

TEST_F(TableRowsTest, TreeCellsAreIndentedWithTheirIcons) {
  job.ReportFieldNames = {QStringLiteral("NAME")};
  job.ReportColumnTitles = QStringList{QStringLiteral("ZIPTableTitle")};
  job.ReportColumnWidths = {100};
  job.ReportColumnFormats = {QStringLiteral("IL@")};
  job.ReportColumnCount = 1;
  job.CellTextFlags = 0;
  UseTable("NAME", {{"Backup Disk02"}, {"     Fotos05"}, {"          Strand.jpg06"}});
  TablePage pg;
  for (QImage& icon : pg.TreeIcons) {
    icon = QImage(16, 16, QImage::Format_RGB32);
    icon.fill(Qt::blue);
  }
  auto s = Canvas(96);
  ASSERT_TRUE(reports.CalcRowHeight(*s, pg));
  reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, 1, 0);
  const auto texts = s->Logged(Primitive::Kind::Text);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, QStringLiteral("Backup Disk"));
  EXPECT_EQ(texts[2].text, QStringLiteral("Strand.jpg"));
  const double blank = s->TextWidth(QStringLiteral(" "));
  EXPECT_NEAR(texts[1].x1 - texts[0].x1, 5 * blank, 2.0 / 96);
  EXPECT_NEAR(texts[2].x1 - texts[0].x1, 10 * blank, 2.0 / 96);
  const auto icons = s->Logged(Primitive::Kind::Picture);
  ASSERT_EQ(icons.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_LT(icons[i].x2, texts[i].x1) << "the name follows its icon";
  int grey = 0;
  for (const Primitive& p : s->Logged(Primitive::Kind::Line)) grey += p.color == kLightGrey;
  EXPECT_EQ(grey, 1 + 2 + 2) << "one connector per ancestor level and a stub per indented item";
}

TEST_F(TableRowsTest, PageColumnsShareTheGap) {
  Rows(300, 300);
  for (SHORT columns : {1, 2, 3}) {
    const double gap = columns > 1 ? 0.5 : 0.0;
    const double w = (7.5 - gap) / columns;
    auto s = Canvas(96);
    TablePage pg;
    ASSERT_TRUE(reports.CalcRowHeight(*s, pg));
    EXPECT_GT(reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, columns, gap), 0.0);
    std::vector<double> frames;
    for (const Primitive& p : s->Logged(Primitive::Kind::Box)) frames.push_back(p.x1);
    ASSERT_EQ(frames.size(), size_t(columns));
    for (int c = 0; c < columns; ++c) {
      EXPECT_NEAR(frames[c], 0.5 + c * (w + (columns > 1 ? gap / (columns - 1) : 0)), 1.0 / 96) << columns;
    }
  }
  // Columns the rows never reach lose their frames.
  Rows(3, 3);
  auto s = Canvas(96);
  TablePage pg;
  ASSERT_TRUE(reports.CalcRowHeight(*s, pg));
  EXPECT_LT(reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, 3, 0.5), 0.0);
  const auto erased = s->Logged(Primitive::Kind::FilledBox);
  ASSERT_EQ(erased.size(), 2u);
  EXPECT_EQ(erased[0].color, kWhite);
  EXPECT_EQ(pg.LastPageColumns, 1);
}

TEST_F(TableRowsTest, TheSearchHitIsMarkedOnTheCanvasOnly) {
  Rows(10, 10);
  designer.FindPage = 1;
  designer.FindRow = 2;
  for (bool printer : {false, true}) {
    auto s = printer ? PrinterSurface(0.25, 96) : Canvas(96);
    TablePage pg;
    pg.ScrollToFound = true;
    double band = -1;
    pg.MakeRowVisible = [&](double top, double) { band = top; };
    ASSERT_TRUE(reports.CalcRowHeight(*s, pg));
    reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 10.0, 1, 0);
    int red = 0;
    for (const Primitive& p : s->Logged(Primitive::Kind::Box)) red += p.color == kRed;
    EXPECT_EQ(red, printer ? 0 : 1);
    EXPECT_GT(band, 0.5);
    EXPECT_FALSE(pg.ScrollToFound);
  }
}

TEST_F(TableRowsTest, RewindingTheTable) {
  UseTable("NAME,NOTE", {});
  auto s = Canvas(96);
  TablePage pg;
  EXPECT_FALSE(reports.CalcRowHeight(*s, pg)) << "a report without rows";
  for (SHORT type : {7, 11, 12}) {
    job.ReportType = type;
    EXPECT_TRUE(reports.CalcRowHeight(*s, pg)) << "label sheets need no rows: " << type;
  }

  job.ReportType = 2;
  Rows(200, 200);
  ASSERT_TRUE(reports.CalcRowHeight(*s, pg));
  for (pg.CurrentPage = 1; pg.CurrentPage <= 3; ++pg.CurrentPage) {
    reports.PrintTableRows(*s, pg, 0.5, 0.5, 7.5, 3.0, 1, 0);
  }
  const auto third = pg.PageStarts[2];
  ASSERT_TRUE(reports.CalcRowHeight(*s, pg, 3));
  EXPECT_TRUE(pg.PageStarts[0] == third) << "page 3 is the new page 1";
  EXPECT_EQ(pg.PageStarts.size(), 2u);
  EXPECT_EQ(designer.ZoomFactor, 1.0);
  EXPECT_DOUBLE_EQ(job.PrintLeft, 0.5);
  EXPECT_DOUBLE_EQ(job.PrintBottom, 10.5);
}

}  // namespace
}  // namespace reports::testing
