// Catalog listings: tree keys and nesting, folders only, the directory report's rows read back
// as a table, the drive listing's lines, and the report table header.
#include "listings.h"

#include <map>
#include <sstream>

#include "appstate.h"
#include "itemtypes.h"
#include "reporttable.h"
#include "test_support.h"
#include "texttable.h"

using namespace app::catalog;
using catalog_testing::FakeCompCtl;
using catalog_testing::Hit;

namespace {

class Tree : public ListingTreeTarget {
 public:
  std::map<QString, QString> parentOf;  // node text path -> parent key
  std::map<QString, QString> keys;      // key -> text
  std::vector<std::pair<QString, QString>> nodes;  // (parent key, text)
  int failures = 0;
  bool finished = false;
  void AddRoot(const QString& text, int) override { keys[QString::fromUtf16(kRootTreeKey)] = text; }
  bool AddNode(const QString& parentKey, const QString& key, const QString& text, int) override {
    if (!keys.count(parentKey) || (!key.isEmpty() && keys.count(key))) {
      ++failures;
      return false;
    }
    if (!key.isEmpty()) keys[key] = text;
    nodes.emplace_back(parentKey, text);
    return true;
  }
  void Finish() override { finished = true; }
};

class List : public ListingListTarget {
 public:
  std::vector<ListingItem> items;
  void AddItem(const ListingItem& item) override { items.push_back(item); }
};

class Listings : public catalog_testing::CatalogTest {
 protected:
  FakeCompCtl ctl_;
  app::WalkControl walk_;
  app::PrintJob job_;
};

TEST_F(Listings, TreeKeysByPath) {
  ctl_.hits = {{u"Music", 1, u"", 0, 0, u"FOLDER"},          {u"Music\\2003", 1, u"", 0, 0, u"FOLDER"},
               {u"Music\\2003\\a.mp3", 1, u"", 4, 0, u"FILE"}, {u"F2003", 1, u"", 0, 0, u"FOLDER"},
               {u"2003", 1, u"", 0, 0, u"FOLDER"},           {u"2003\\b.txt", 1, u"", 1, 0, u"FILE"},
               {u"\\top.txt", 1, u"", 1, 0, u"FILE"}};
  Tree tree;
  List list;
  ASSERT_TRUE(FillReportTree(nullptr, &ctl_, &list, &tree, "Disk", true, true, 0, walk_, job_));
  EXPECT_EQ(tree.failures, 0);
  ASSERT_EQ(tree.nodes.size(), 7u);
  EXPECT_EQ(tree.nodes[1], std::make_pair(MakeTreeKey("Music"), QString("2003")));
  EXPECT_EQ(tree.nodes[2], std::make_pair(MakeTreeKey("Music\\2003"), QString("a.mp3")));
  EXPECT_EQ(tree.nodes[5], std::make_pair(MakeTreeKey("2003"), QString("b.txt")));
  EXPECT_EQ(tree.nodes[6], std::make_pair(QString("R"), QString("top.txt")));
  EXPECT_TRUE(tree.finished);
  ASSERT_EQ(list.items.size(), 7u);
  EXPECT_EQ(list.items[1].text, " 2003");
  EXPECT_EQ(list.items[2].folder, "Music\\2003\\");
  EXPECT_EQ(list.items[6].folder, "");
  EXPECT_EQ(list.items[2].type, "MP3 File");
  EXPECT_EQ(walk_.FoundCount, 0);
  // "TREEVIEW.TXT" holds its header alone.
  EXPECT_EQ(testing_files::ReadBytes(ReportTablePath("TREEVIEW.TXT")), "NAME\r\n");
}

TEST_F(Listings, FoldersOnlySkipsFiles) {
  ctl_.hits = {{u"Music", 1, u"", 0, 0, u"FOLDER"}, {u"Music\\a.mp3", 1, u"", 4, 0, u"FILE"}};
  walk_.FoldersOnly = true;
  Tree tree;
  List list;
  ASSERT_TRUE(FillReportTree(nullptr, &ctl_, &list, &tree, "Disk", true, true, 1, walk_, job_));
  EXPECT_EQ(tree.nodes.size(), 1u);
  EXPECT_EQ(list.items.size(), 1u);
  auto row = DirectoryReportRow("Music\\a.mp3", 1, "", 4, 0, "FILE", false, 5, true);
  EXPECT_FALSE(row.has_value());
}

TEST_F(Listings, DirectoryReportRows) {
  const DATE d = vbrt::DateFromParts({2026, 1, 2, 9, 7, 0}).value();
  struct Case {
    const char16_t* path;
    const char16_t* kind;
    bool location;
    QStringList row;
  };
  const QString serial = QString(8, u' ') + " 42";
  const QString size = QString(6, u' ') + "1,234KB";
  const Case cases[] = {
      {u"Disk\\Music\\2003", u"FOLDER", false,
       {QString(11, u' ') + "200305", serial, " File Folder", size, "2026/01/02 09:07 AM", "n"}},
      {u"\\a.txt", u"FILE", true, {"A.TXT06", serial, "ROOT:\\", "TXT File", "2026/01/02 09:07 AM", "n"}},
      {u"Zips", u"Zip Disk", false, {"  Zips03", serial, "  Zip Disk", size, "2026/01/02 09:07 AM", "n"}},
      {u"Disk\\Music\\b.mp3", u"FILE", true,
       {"B.MP306", serial, "ROOT:\\Disk\\Music", "MP3 File", "2026/01/02 09:07 AM", "n"}},
  };
  for (const Case& c : cases) {
    auto row = DirectoryReportRow(QString::fromUtf16(c.path), 42, "n", 1234, d, QString::fromUtf16(c.kind), c.location,
                                  5, false);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(*row, c.row) << QString::fromUtf16(c.path).toStdString();
  }
}

TEST_F(Listings, DirectoryReportReadsBackAsATable) {
  WriteReportTableHeader(job_, kCatalogTreeHeader, kDataExportFile);
  WriteReportTableHeader(job_, kCatalogTreeHeader, kDataExportFile);  // twice: header alone
  ctl_.hits = {{u"Musik \u00e9t\u00e9", 0, u"", 0, 0, u"FOLDER"},
               {u"Musik \u00e9t\u00e9\\\"q\",x.mp3", 0, u"a, \"b\"", 3, 0, u"FILE"}};
  RunDirectoryReport(nullptr, &ctl_, "Disk", walk_, job_);
  job_.ReportRecordset->Close();
  auto rs = texttable::Recordset::Open(ReportTablePath(kDataExportFile));
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(QString::fromStdString(rs.Field("NAME")), " Musik \u00e9t\u00e905");
  EXPECT_EQ(QString::fromStdString(rs.Field("DISK_SERIAL_NUMBER")), "(none)");
  rs.MoveNext();
  EXPECT_EQ(QString::fromStdString(rs.Field("NAME")), QString(5, u' ') + "\"q\",x.mp306");
  EXPECT_EQ(QString::fromStdString(rs.Field("NOTE")), "a, \"b\"");
  EXPECT_FALSE(walk_.DisksOnly);
}

TEST_F(Listings, DirectoryReportFailureThrows) {
  ctl_.answer = STG_E_FILENOTFOUND;
  WriteReportTableHeader(job_, kCatalogTreeHeader, kDataExportFile);
  EXPECT_THROW(RunDirectoryReport(nullptr, &ctl_, "Disk", walk_, job_), vbrt::RuntimeError);
}

TEST_F(Listings, DriveListingLines) {
  const DATE d = vbrt::DateFromParts({2026, 1, 2, 9, 7, 0}).value();
  catalog_testing::ScannerHandle handle;
  catalog_testing::FakeScanner& scanner = *handle.keep.Get();
  scanner.listing = {{u"D:\\", 0, u"", 1000, d, u"Zip Disk"},
                  {u"D:\\Music", 0, u"", 0, d, u"FOLDER"},
                  {u"D:\\Music\\a.mp3", 0, u"", 1234, d, u"FILE"}};
  std::ostringstream out;
  job_.IncludeLocation = false;
  WriteDriveListing(nullptr, &scanner, "D:\\", 0, out, walk_, job_);
  const std::string size = std::string(6, ' ') + "1,234KB";
  EXPECT_EQ(out.str(), "\"D:\\03\",\"  Zip Disk\",\"" + std::string(6, ' ') + "1,000KB\",\"1/2/26 9:07 AM\"\r\n"
                       "\"      Music05\",\" File Folder\",\"" + std::string(10, ' ') + "0KB\",\"1/2/26 9:07 AM\"\r\n"
                       "\"          a.mp306\",\"MP3 File\",\"" + size + "\",\"1/2/26 9:07 AM\"\r\n");
  std::ostringstream listed;
  job_.IncludeLocation = true;
  WriteDriveListing(nullptr, &scanner, "D:\\", 0, listed, walk_, job_);
  EXPECT_EQ(listed.str(), "\" MUSIC05\",\"D:\",\" File Folder\",\"" + std::string(10, ' ') +
                              "0KB\",\"1/2/26 9:07 AM\"\r\n"
                              "\"A.MP306\",\"D:\\Music\",\"MP3 File\",\"" + size + "\",\"1/2/26 9:07 AM\"\r\n");
}

TEST_F(Listings, DriveListingWritesNothingAfterAnError) {
  // The scanner's walk goes on after a callback answered -1; the error held, no later item
  // reaches the table, and the listing ends with that error.
  struct FailingProgress : app::ProgressTarget {
    void SetProcessMessage(const QString&) override { throw vbrt::RuntimeError(vbrt::ErrDiskFull); }
  } progress;
  catalog_testing::ScannerHandle handle;
  catalog_testing::FakeScanner& scanner = *handle.keep.Get();
  scanner.listing = {{u"D:\\", 0, u"", 1000, 0, u"Zip Disk"},
                     {u"D:\\Music", 0, u"", 0, 0, u"FOLDER"},
                     {u"D:\\later.txt", 0, u"", 1, 0, u"FILE"}};
  std::ostringstream out;
  job_.IncludeLocation = false;
  EXPECT_THROW(WriteDriveListing(&progress, &scanner, "D:\\", 0, out, walk_, job_), vbrt::RuntimeError);
  EXPECT_EQ(out.str().find("later"), std::string::npos);
  EXPECT_NE(out.str().find("Zip Disk"), std::string::npos);
}

}  // namespace
