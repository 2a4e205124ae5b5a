// Search results handed on: the saved file byte for byte and the print table read back.
#include "searchresults.h"

#include "appstate.h"
#include "reporttable.h"
#include "test_support.h"
#include "texttable.h"

using namespace app::catalog;

namespace {

QList<ResultRow> Fixture() {
  const DATE d = vbrt::DateFromParts({2026, 12, 9, 15, 5, 0}).value();
  ResultRow folder;
  BuildResultRow("Disk\\Fotos, 2003", 0, "", 0, d, "FOLDER", "", folder);
  ResultRow file;
  BuildResultRow("Disk\\Fotos, 2003\\\u00c9t\u00e9 \"best\".jpg", 42, "say \"hi\", \u65e5\u672c", 1234, d, "FILE", "",
                 file);
  return {folder, file};
}

class SearchResults : public catalog_testing::CatalogTest {};

TEST_F(SearchResults, SavedFileByteForByte) {
  const auto file = scratch_.path() / "SEARCH.TXT";
  ASSERT_TRUE(SaveResultsFile(file, Fixture()));
  const std::string expected =
      "NAME,DISK_SERIAL_NUMBER,LOCATION,SIZE,MODIFIED,NOTE\r\n"
      "\"Fotos, 2003\",(none),\"ROOT:\\Disk\\\",\"0KB\",12/9/26 03:05 PM,\"\"\r\n"
      "\"\xc3\x89t\xc3\xa9 \"\"best\"\".jpg\",0000000042,\"ROOT:\\Disk\\Fotos, 2003\\\",\"1,234KB\",12/9/26 03:05 PM,"
      "\"say \"\"hi\"\", \xe6\x97\xa5\xe6\x9c\xac\"\r\n";
  EXPECT_EQ(testing_files::ReadBytes(file), expected);
  // The file reads back as a table with its columns intact.
  auto rs = texttable::Recordset::Open(file);
  ASSERT_EQ(rs.RecordCount(), 2);
  rs.MoveLast();
  EXPECT_EQ(rs.Field("NAME"), "\xc3\x89t\xc3\xa9 \"best\".jpg");
  EXPECT_EQ(rs.Field("NOTE"), "say \"hi\", \xe6\x97\xa5\xe6\x9c\xac");
  // No rows: the header alone.
  ASSERT_TRUE(SaveResultsFile(file, {}));
  EXPECT_EQ(testing_files::ReadBytes(file), "NAME,DISK_SERIAL_NUMBER,LOCATION,SIZE,MODIFIED,NOTE\r\n");
  // A file that cannot be written says so.
  EXPECT_FALSE(SaveResultsFile(scratch_.path() / "missing" / "SEARCH.TXT", Fixture()));
}

TEST_F(SearchResults, PrintTable) {
  app::PrintJob job;
  DescribeSearchReport(job);
  EXPECT_EQ(job.ReportTitle, "Search Results");
  EXPECT_EQ(job.ReportColumnCount, 6);
  std::vector<QString> progress;
  WriteSearchReportTable(job, Fixture(), [&](const QString& t) { progress.push_back(t); });
  job.ReportRecordset->Close();
  auto rs = texttable::Recordset::Open(ReportTablePath(kDataExportFile));
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Field(0), "Fotos, 200305");
  EXPECT_EQ(rs.Field(1), "0");
  EXPECT_EQ(rs.Field(3), "0KB");
  EXPECT_EQ(rs.Field(4), "12/9/26 03:05 PM");
  rs.MoveNext();
  EXPECT_EQ(rs.Field(0), "\xc3\x89t\xc3\xa9 \"best\".jpg06");
  EXPECT_EQ(rs.Field(1), "0000000042");
  EXPECT_EQ(rs.Field(2), "ROOT:\\Disk\\Fotos, 2003\\");
  EXPECT_EQ(rs.Field(3), "1,234KB");
  EXPECT_TRUE(progress.empty());  // no disk rows
}

}  // namespace
