// The catalog search walk on a small catalog: order and paths, criteria, the stop rule, the
// level limits, the record callback and the failures.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "catalogdate.h"
#include "test_support.h"
#include "xcom/tokens.h"

using namespace testutil;

namespace {

struct Hit {
  std::u16string path;
  double serial;
  brevix::CountedString note;
  LONG kb;
  DATE date;
  std::u16string kind;
};

std::vector<Hit> g_hits;
std::function<LONG(const Hit&)> g_answer;

LONG CollectHit(BSTR path, double serial, BSTR note, LONG kb, DATE date, BSTR kind) {
  Hit h{std::u16string(xcom::BstrView(path)), serial,
        note ? brevix::CountedString(std::u16string(xcom::BstrView(note))) : std::nullopt, kb, date,
        std::u16string(xcom::BstrView(kind))};
  g_hits.push_back(h);
  return g_answer ? g_answer(h) : 0;
}

struct RecordHit {
  std::u16string folder;
  std::u16string name;
  std::u16string type;
  LONG count;
};
std::vector<RecordHit> g_records;

LONG CollectRecord(BSTR folder, ItemRecord* rec, LONG count) {
  g_records.push_back({std::u16string(xcom::BstrView(folder)), rec->name, rec->typeText, count});
  return -1;  // ignored
}

std::vector<std::u16string> Paths() {
  std::vector<std::u16string> p;
  for (const Hit& h : g_hits) p.push_back(h.path);
  return p;
}

FILETIME AtUtc(int y, int mo, int d, int h = 0) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  return U64ToFileTime((static_cast<std::uint64_t>(timegm(&tm)) + 11644473600ULL) * 10000000ULL);
}

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hits.clear();
    g_records.clear();
    g_answer = nullptr;
    path_ = dir_.File16("cat.dkc");
    doc_ = NewDoc();
    ASSERT_EQ(doc_->LoadDoc(Bstr(path_).Get()), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk B", 2, u"Zip Disk", 1457664, 2048, u"second")), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B", Folder(u"docs", 0, std::nullopt, AtUtc(2020, 1, 10))), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B/docs", File(u"Report.txt", 100, u"WORK      | q3", AtUtc(2020, 1, 15))), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B/docs", File(u"notes.txt.bak", 3000, std::nullopt, AtUtc(2020, 2, 1))), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B", Folder(u"Archive")), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B/Archive", Folder(u"old")), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B/Archive/old", File(u"a", 1)), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B", File(u"zeta.bin", 0)), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk B", File(u"Alpha.txt", 1025, std::nullopt, AtUtc(2020, 1, 31, 9))), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"", Disk(u"Disk A", 1, u"Floppy Disk", 1457664, 1000)), S_OK);
    ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"x.txt", 5)), S_OK);
    ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  }

  HRESULT Find(const char16_t* dir, const char16_t* name = nullptr, const char16_t* note = nullptr, LONG size = 0,
               DATE start = 0, DATE end = 0, SHORT type = SEARCH_ALL) {
    g_hits.clear();
    xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &CollectHit);
    return doc_->FindItem(dir ? Bstr(dir).Get() : nullptr, name ? Bstr(name).Get() : nullptr,
                          note ? Bstr(note).Get() : nullptr, size, start, end, type, token.value());
  }

  TempDir dir_;
  std::u16string path_;
  ComPtr<IOStorageInternal> doc_;
};

}  // namespace

TEST_F(SearchTest, WalkOrderPathsAndValues) {
  ASSERT_EQ(Find(nullptr), S_OK);
  EXPECT_EQ(Paths(), (std::vector<std::u16string>{
                         u"Disk A", u"Disk A\\x.txt", u"Disk B", u"Disk B\\Archive", u"Disk B\\Archive\\old",
                         u"Disk B\\Archive\\old\\a", u"Disk B\\docs", u"Disk B\\docs\\notes.txt.bak",
                         u"Disk B\\docs\\Report.txt", u"Disk B\\Alpha.txt", u"Disk B\\zeta.bin"}));
  ASSERT_EQ(g_hits.size(), 11u);
  const Hit& diskB = g_hits[2];
  EXPECT_EQ(diskB.kind, u"Zip Disk");
  EXPECT_EQ(diskB.serial, 2.0);
  EXPECT_EQ(diskB.kb, 2);  // a disk reports its free space
  EXPECT_EQ(diskB.note, u"second");
  EXPECT_EQ(g_hits[1].serial, 1.0);
  EXPECT_EQ(g_hits[1].kind, u"FILE");
  EXPECT_EQ(g_hits[3].kind, u"FOLDER");
  EXPECT_EQ(g_hits[3].serial, 2.0);
  const Hit& report = g_hits[8];
  EXPECT_EQ(report.note, u"WORK      | q3");
  EXPECT_EQ(report.kb, 1);
  EXPECT_DOUBLE_EQ(report.date, *brevix::DateFromFields(2020, 1, 15, 0, 0, 0));
  EXPECT_FALSE(g_hits[10].note);
  EXPECT_EQ(g_hits[10].kb, 0);
  EXPECT_EQ(g_hits[9].kb, 2);

  // The document is closed again afterwards.
  ComPtr<IOStorageInternal> other = NewDoc();
  EXPECT_EQ(other->SetDocName(Bstr(path_).Get()), S_OK);
}

TEST_F(SearchTest, LevelsAndStartingFolder) {
  struct Case {
    const char16_t* dir;
    SHORT type;
    std::vector<std::u16string> paths;
  } cases[] = {
      {nullptr, SEARCH_FOLDERS_ONLY,
       {u"Disk A", u"Disk B", u"Disk B\\Archive", u"Disk B\\Archive\\old", u"Disk B\\docs"}},
      {nullptr, SEARCH_NO_DESCENT, {u"Disk A", u"Disk B"}},
      {u"", SEARCH_ALL + SEARCH_THIS_LEVEL_ONLY, {u"Disk A", u"Disk B"}},
      {u"Disk B", SEARCH_ALL + SEARCH_THIS_LEVEL_ONLY, {u"Archive", u"docs", u"\\Alpha.txt", u"\\zeta.bin"}},
      {u"Disk B", SEARCH_FOLDERS_ONLY + SEARCH_THIS_LEVEL_ONLY, {u"Archive", u"docs"}},
      {u"Disk B/Archive", SEARCH_ALL, {u"old", u"old\\a"}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Find(c.dir, nullptr, nullptr, 0, 0, 0, c.type), S_OK);
    EXPECT_EQ(Paths(), c.paths) << c.type;
    if (c.dir && *c.dir) {
      for (const Hit& h : g_hits) EXPECT_EQ(h.serial, 2.0);
    }
  }
}

TEST_F(SearchTest, Criteria) {
  const DATE jan1 = *brevix::DateFromFields(2020, 1, 1, 0, 0, 0);
  const DATE jan31 = *brevix::DateFromFields(2020, 1, 31, 0, 0, 0);
  struct Case {
    const char* what;
    const char16_t* name;
    const char16_t* note;
    LONG size;
    DATE start, end;
    std::vector<std::u16string> paths;
  } cases[] = {
      {"name", u"*.TXT", nullptr, 0, 0, 0,
       {u"Disk A\\x.txt", u"Disk B\\docs\\notes.txt.bak", u"Disk B\\docs\\Report.txt", u"Disk B\\Alpha.txt"}},
      {"anchored name", u"disk", nullptr, 0, 0, 0, {u"Disk A", u"Disk B"}},
      {"note", nullptr, u"WORK*", 0, 0, 0, {u"Disk B\\docs\\Report.txt"}},
      {"at least 2 KB", nullptr, nullptr, 2, 0, 0,
       {u"Disk A", u"Disk B", u"Disk B\\docs\\notes.txt.bak", u"Disk B\\Alpha.txt"}},
      {"at most 1 KB", u"*.", nullptr, -1, 0, 0, {u"Disk A\\x.txt", u"Disk B\\docs\\Report.txt", u"Disk B\\zeta.bin"}},
      {"dates", nullptr, nullptr, 0, jan1, jan31, {u"Disk B\\docs", u"Disk B\\docs\\Report.txt"}},
      {"reversed dates test nothing", u"*.bak", nullptr, 0, jan31, jan1, {u"Disk B\\docs\\notes.txt.bak"}},
      {"everything", u"*", nullptr, 0, 0, 0,
       {u"Disk A", u"Disk A\\x.txt", u"Disk B", u"Disk B\\Archive", u"Disk B\\Archive\\old",
        u"Disk B\\Archive\\old\\a", u"Disk B\\docs", u"Disk B\\docs\\notes.txt.bak", u"Disk B\\docs\\Report.txt",
        u"Disk B\\Alpha.txt", u"Disk B\\zeta.bin"}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Find(nullptr, c.name, c.note, c.size, c.start, c.end), S_OK) << c.what;
    EXPECT_EQ(Paths(), c.paths) << c.what;
  }
}

TEST_F(SearchTest, NonZeroAnswerEndsTheCurrentLevel) {
  struct Case {
    std::u16string stopAt;
    std::vector<std::u16string> paths;
  } cases[] = {
      {u"Disk A", {u"Disk A"}},  // a disk hit ends the root level: no later disk
      {u"Disk B\\Archive", {u"Disk A", u"Disk A\\x.txt", u"Disk B", u"Disk B\\Archive"}},
      {u"Disk B\\docs\\notes.txt.bak",
       {u"Disk A", u"Disk A\\x.txt", u"Disk B", u"Disk B\\Archive", u"Disk B\\Archive\\old",
        u"Disk B\\Archive\\old\\a", u"Disk B\\docs", u"Disk B\\docs\\notes.txt.bak", u"Disk B\\Alpha.txt",
        u"Disk B\\zeta.bin"}},
  };
  for (const Case& c : cases) {
    g_answer = [&](const Hit& h) { return h.path == c.stopAt ? -1 : 0; };
    ASSERT_EQ(Find(nullptr), S_OK);
    EXPECT_EQ(Paths(), c.paths) << Narrow(c.stopAt);
  }
  // Every answer non-zero: each level the walk reaches ends at its first hit.
  g_answer = [](const Hit&) { return 1; };
  ASSERT_EQ(Find(u"Disk B"), S_OK);
  EXPECT_EQ(Paths(), std::vector<std::u16string>{u"Archive"});
}

TEST_F(SearchTest, RecordCallbackGetsTheFolderPathAndTheCount) {
  xcom::ScopedToken token(xcom::TokenKind::ItemRecordCallback, &CollectRecord);
  ASSERT_EQ(doc_->FindItem(Bstr(u"Disk B/docs").Get(), nullptr, nullptr, 0, 0, 0, SEARCH_ALL, -token.value()), S_OK);
  ASSERT_EQ(g_records.size(), 2u);
  EXPECT_EQ(g_records[0].folder, u"");
  EXPECT_EQ(g_records[0].name, u"notes.txt.bak");
  EXPECT_EQ(g_records[0].type, u"BAK File");
  EXPECT_EQ(g_records[0].count, 0);
  EXPECT_EQ(g_records[1].count, 1);

  // Started from a folder made current by the caller, the walk lists its subtree.
  g_records.clear();
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(doc_->SetCurrentFolder(Bstr(u"Disk B/Archive").Get(), FOLDER_PATH), S_OK);
  ASSERT_EQ(doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, SEARCH_ALL, -token.value()), S_OK);
  ASSERT_EQ(g_records.size(), 2u);
  EXPECT_EQ(g_records[0].name, u"old");
  EXPECT_EQ(g_records[0].type, u"File Folder");
  EXPECT_EQ(g_records[1].folder, u"old");
  EXPECT_EQ(g_records[1].name, u"a");
}

TEST_F(SearchTest, Failures) {
  xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &CollectHit);
  xcom::ScopedToken wrongKind(xcom::TokenKind::DeviceContext, &CollectHit);
  EXPECT_EQ(doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, 0), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, wrongKind.value()), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, -token.value()), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, std::numeric_limits<LONG>::min()), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(Find(u"Disk B/nothing"), STG_E_FILENOTFOUND);
  EXPECT_TRUE(g_hits.empty());

  // A catalog that cannot be opened is a failure, not an empty result.
  ComPtr<IOStorageInternal> holder = NewDoc();
  ASSERT_EQ(holder->LoadDoc(Bstr(path_).Get()), S_OK);
  EXPECT_EQ(Find(nullptr), STG_E_SHAREVIOLATION);
  ASSERT_EQ(holder->CloseDoc(0), S_OK);
  ComPtr<IOStorageInternal> nowhere = NewDoc();
  ASSERT_EQ(nowhere->SaveDoc(Bstr(dir_.File16("x.dkc")).Get()), S_OK);
  std::filesystem::remove(dir_.File("x.dkc"));
  xcom::ScopedToken t2(xcom::TokenKind::ItemCallback, &CollectHit);
  EXPECT_EQ(nowhere->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, t2.value()), STG_E_FILENOTFOUND);
}

TEST_F(SearchTest, CallbacksCannotDisturbTheWalk) {
  HRESULT closeAnswer = S_OK, findAnswer = S_OK, moveAnswer = S_OK;
  g_answer = [&](const Hit&) {
    closeAnswer = doc_->CloseDoc(0);
    moveAnswer = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
    xcom::ScopedToken inner(xcom::TokenKind::ItemCallback, &CollectHit);
    findAnswer = doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, inner.value());
    return 0;
  };
  ASSERT_EQ(Find(nullptr), S_OK);
  EXPECT_EQ(g_hits.size(), 11u);
  EXPECT_EQ(closeAnswer, STG_E_INUSE);
  EXPECT_EQ(moveAnswer, STG_E_INUSE);
  EXPECT_EQ(findAnswer, STG_E_INUSE);
  g_answer = nullptr;
  ASSERT_EQ(Find(nullptr), S_OK);  // usable again afterwards
  EXPECT_EQ(g_hits.size(), 11u);
}

TEST_F(SearchTest, LongNamesAndUnreadableRecords) {
  const std::u16string longName = u"a file name that does not fit an element.txt";
  ASSERT_EQ(doc_->LoadDoc(nullptr), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(longName, 2048, u"long")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"X.TXT", 1)), S_OK);   // a case twin of x.txt
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"b.txt", 7, u"noted")), S_OK);
  ASSERT_EQ(Add(doc_.Get(), u"Disk A", File(u"c.txt", 9)), S_OK);
  ASSERT_EQ(doc_->CloseDoc(0), S_OK);
  {
    // c.txt's record is cut short.
    DamagedStream s(path_, u"Disk A", u"c.txt");
    ASSERT_TRUE(s.ok());
    ASSERT_EQ(s.Cut(20), S_OK);
  }
  ASSERT_EQ(Find(u"Disk A"), S_OK);
  EXPECT_EQ(Paths(), (std::vector<std::u16string>{u"\\" + longName, u"\\b.txt", u"\\c.txt", u"\\X.TXT", u"\\x.txt"}));
  ASSERT_EQ(g_hits.size(), 5u);
  EXPECT_EQ(g_hits[0].kb, 2);
  EXPECT_EQ(g_hits[1].note, u"noted");
  // The unreadable record carries nothing of the one before it.
  EXPECT_FALSE(g_hits[2].note);
  EXPECT_EQ(g_hits[2].kb, 0);
  EXPECT_EQ(g_hits[3].kb, 1);
  ASSERT_EQ(Find(nullptr, u"*does not*"), S_OK);
  EXPECT_EQ(Paths(), std::vector<std::u16string>{u"Disk A\\" + longName});
}
