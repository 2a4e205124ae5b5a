// The search run: criteria passed to FindItem, result rows, the cap, Stop, the yields, the
// kind filter and the failures reported.
#include "searchrun.h"

#include "appstate.h"
#include "test_support.h"

using namespace app::catalog;
using catalog_testing::FakeCompCtl;
using catalog_testing::Hit;

namespace {

class Collect : public SearchResultTarget {
 public:
  bool columns = true;
  std::vector<ResultRow> rows;
  int refreshedAt = -1;
  std::vector<QString> folders;
  bool TakesColumns() const override { return columns; }
  void AddRow(const ResultRow& row) override { rows.push_back(row); }
  void RefreshNow() override { refreshedAt = static_cast<int>(rows.size()); }
  void ShowFolderName(const QString& name) override { folders.push_back(name); }
};

std::vector<Hit> Files(int n) {
  std::vector<Hit> hits;
  hits.reserve(n);
  for (int i = 0; i < n; ++i) hits.push_back({u"Disk\\f" + QString::number(i).toStdU16String() + u".txt", 7, u"", 1});
  return hits;
}

class SearchRun : public catalog_testing::CatalogTest {
 protected:
  FakeCompCtl ctl_;
  Collect target_;
  app::WalkControl walk_;
};

struct CriteriaCase {
  FindInputs in;
  const char16_t* name;
  const char16_t* note;
  LONG size;
};

TEST_F(SearchRun, CriteriaFromTheBoxes) {
  const CriteriaCase cases[] = {
      {{"*.mp3", "100", "At most", "", ""}, u"*.mp3", u"", -100},
      {{"", "100", "At least", "", ""}, u"", u"", 100},
      {{"", "", "At least", "WORK", "x"}, u"", u"WORK      | x", 0},
      {{"", "", "At least", "WORK", ""}, u"", u"WORK      | ", 0},
      {{"", "", "At least", "ALL", "abc"}, u"", u"*abc", 0},
      {{"", "", "At least", "", "*"}, u"", u"", 0},
      {{"", "", "At least", "", ""}, u"", u"", 0},
  };
  for (const CriteriaCase& c : cases) {
    const FindCriteria got = CriteriaFromInputs(c.in);
    EXPECT_EQ(got.name, QString::fromUtf16(c.name));
    EXPECT_EQ(got.note, QString::fromUtf16(c.note));
    EXPECT_EQ(got.size, c.size);
  }
  EXPECT_THROW(CriteriaFromInputs({"", "12ab", "At least", "", ""}), vbrt::RuntimeError);
}

TEST_F(SearchRun, RowsOfHits) {
  const DATE d = vbrt::DateFromParts({2026, 12, 9, 15, 5, 0}).value();
  ctl_.hits = {{u"Music", 42, u"n", 0, d, u"FOLDER"},
               {u"Music\\a,\"b\".mp3", 0, u"note", 1234, d, u"FILE"},
               {u"\\top.txt", 1234567890, u"", 1, d, u"FILE"},
               {u"Zips", 3, u"", 99, d, u"Zip Disk"}};
  ASSERT_TRUE(RunFileSearch(&ctl_, target_, nullptr, "", "Disk\\Sub", walk_));
  ASSERT_EQ(target_.rows.size(), 4u);
  EXPECT_EQ(ctl_.calls[0].dir, u"Disk/Sub");
  const ResultRow& folder = target_.rows[0];
  EXPECT_EQ(folder.text, " Music");
  EXPECT_EQ(folder.icon, 6);
  EXPECT_EQ(folder.tag, "05");
  EXPECT_EQ(folder.serial, "0000000042");
  EXPECT_EQ(folder.location, "ROOT:\\Disk\\Sub\\");
  const ResultRow& file = target_.rows[1];
  EXPECT_EQ(file.text, "a,\"b\".mp3");
  EXPECT_EQ(file.icon, 7);
  EXPECT_EQ(file.serial, "(none)");
  EXPECT_EQ(file.location, "ROOT:\\Disk\\Sub\\Music\\");
  EXPECT_EQ(file.size, QString(6, u' ') + "1,234KB");
  EXPECT_EQ(file.modified, "2026/12/09 03:05 PM");
  EXPECT_EQ(file.note, "note");
  EXPECT_EQ(target_.rows[2].text, "top.txt");
  EXPECT_EQ(target_.rows[2].location, "ROOT:\\Disk\\Sub\\");
  EXPECT_EQ(target_.rows[3].icon, 4);
  EXPECT_EQ(target_.folders, std::vector<QString>{"Music"});
  EXPECT_EQ(walk_.FoundCount, 4);
  EXPECT_TRUE(walk_.SearchText2.isEmpty());
}

TEST_F(SearchRun, CapAndRefresh) {
  struct Case {
    int hits;
    size_t rows;
    bool message;
  };
  for (const Case c : {Case{34, 34, false}, Case{9999, 9999, false}, Case{10000, 10000, true},
                       Case{10050, 10001, true}}) {
    target_.rows.clear();
    target_.refreshedAt = -1;
    ctl_.hits = Files(c.hits);
    if (c.message) script_.ExpectMessage(forms::vbOK, QString::fromUtf16(kCapMessage));
    ASSERT_TRUE(RunFileSearch(&ctl_, target_, nullptr, "", "", walk_));
    EXPECT_EQ(target_.rows.size(), c.rows) << c.hits;
    EXPECT_EQ(walk_.FoundCount, static_cast<LONG>(c.rows));
    EXPECT_EQ(target_.refreshedAt, c.hits >= 35 ? 35 : -1);
    // Past the cap the walk is asked to end instead of running on.
    if (c.hits > 10001) {
      EXPECT_EQ(ctl_.delivered, 10002u);
    }
    EXPECT_TRUE(script_.Done());
  }
  EXPECT_EQ(script_.Shown().back().title, "Find File");
}

TEST_F(SearchRun, YieldsEvery200AndStopKeepsRows) {
  ctl_.hits = Files(1000);
  int yields = 0;
  script_.OnDoEvents([&] {
    ++yields;
    EXPECT_EQ(walk_.FoundCount % 200, 0);
    if (yields == 3) walk_.StopRequested = true;  // the user clicks Stop
  });
  ASSERT_TRUE(RunFileSearch(&ctl_, target_, nullptr, "", "", walk_));
  EXPECT_EQ(yields, 3);
  EXPECT_EQ(target_.rows.size(), 600u);
  // The next run starts afresh.
  target_.rows.clear();
  ctl_.hits = Files(5);
  ASSERT_TRUE(RunFileSearch(&ctl_, target_, nullptr, "", "", walk_));
  EXPECT_EQ(target_.rows.size(), 5u);
}

TEST_F(SearchRun, KindFilterAndDisksOnly) {
  ctl_.hits = {{u"A", 1, u"", 0, 0, u"Zip Disk"}, {u"B", 2, u"", 0, 0, u"Floppy Disk"}, {u"C", 3, u"", 0, 0, u"Zip Disk"}};
  walk_.DisksOnly = true;
  walk_.FoldersOnly = true;
  ASSERT_TRUE(RunFileSearch(&ctl_, target_, nullptr, "Zip Disk", "", walk_));
  EXPECT_EQ(ctl_.calls[0].type, 2);
  ASSERT_EQ(target_.rows.size(), 2u);
  EXPECT_EQ(walk_.FoundCount, 2);
  EXPECT_FALSE(walk_.DisksOnly);
  EXPECT_TRUE(walk_.FoldersOnly);
  ASSERT_TRUE(RunFileSearch(&ctl_, target_, nullptr, "", "", walk_));
  EXPECT_EQ(ctl_.calls[1].type, 1);
}

TEST_F(SearchRun, TimedSearchListsDisksUpToNow) {
  ctl_.hits = {{u"A", 1, u"", 0, 0, u"Zip Disk"}, {u"B", 2, u"", 0, 0, u"Floppy Disk"}};
  const DATE since = vbrt::AddDays(vbrt::Date(), -3);
  ASSERT_TRUE(RunTimedSearch(&ctl_, target_, since, "Zip Disk", walk_));
  ASSERT_EQ(target_.rows.size(), 1u);
  EXPECT_EQ(ctl_.calls[0].type, 2);
  EXPECT_EQ(ctl_.calls[0].from, since);
  EXPECT_GT(ctl_.calls[0].to, vbrt::Now() - 1.0 / 86400);
  EXPECT_EQ(walk_.FoundCount, 0);
}

TEST_F(SearchRun, FailuresAreReportedAndStateReset) {
  // A size that is no number: no walk, a message, the run's state cleared.
  walk_.DisksOnly = true;
  FindInputs bad{"", "12ab", "At least", "", ""};
  script_.ExpectMessage(forms::vbOK, "Type mismatch");
  EXPECT_FALSE(RunFileSearch(&ctl_, target_, &bad, "Zip Disk", "D", walk_));
  EXPECT_TRUE(ctl_.calls.empty());
  EXPECT_FALSE(walk_.DisksOnly);
  EXPECT_TRUE(walk_.SearchText.isEmpty());
  EXPECT_TRUE(walk_.SearchText2.isEmpty());
  // A failed walk.
  walk_.DisksOnly = true;
  ctl_.answer = STG_E_FILENOTFOUND;
  script_.ExpectMessage(forms::vbOK, "ERROR: 53");
  EXPECT_FALSE(RunFileSearch(&ctl_, target_, nullptr, "", "", walk_));
  EXPECT_FALSE(walk_.DisksOnly);
  EXPECT_TRUE(script_.Done());
  EXPECT_EQ(script_.Shown().back().title, "ERROR!");
}

// A failure inside the callback does not unwind through the walk: the walk is ended and the
// failure reported once it has returned.
class ThrowingTarget : public Collect {
 public:
  void AddRow(const ResultRow&) override { throw vbrt::RuntimeError(vbrt::ErrOutOfMemory); }
};

TEST_F(SearchRun, CallbackFailureEndsTheWalk) {
  ThrowingTarget throwing;
  ctl_.hits = Files(10);
  script_.ExpectMessage(forms::vbOK, "ERROR: 7");
  EXPECT_FALSE(RunFileSearch(&ctl_, throwing, nullptr, "", "", walk_));
  EXPECT_EQ(ctl_.delivered, 1u);
  EXPECT_TRUE(script_.Done());
}

}  // namespace
