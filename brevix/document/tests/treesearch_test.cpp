// The catalog search read through the tree reader against the walk over storage objects:
// every hit, in the same order, with the same values, for every walk mode and callback, on a
// catalog of long, non-ASCII and case-twin names, long-name maps, notes, several levels and
// a few damaged streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "rawfile.h"
#include "searchrun.h"
#include "test_support.h"
#include "xcom/tokens.h"

using namespace testutil;

namespace {

std::vector<std::string> g_log;
int g_stopEvery = 0;  // the item callback answers non-zero at every n-th hit (0: never)
int g_seen = 0;

std::string Text(BSTR s) { return s ? Narrow(xcom::BstrView(s)) : std::string("<null>"); }

LONG LogHit(BSTR path, double serial, BSTR note, LONG kb, DATE date, BSTR kind) {
  char nums[96];
  std::snprintf(nums, sizeof nums, "|%.17g|%ld|%.17g|", serial, static_cast<long>(kb), date);
  g_log.push_back(Text(path) + nums + Text(note) + "|" + Text(kind));
  ++g_seen;
  return g_stopEvery != 0 && g_seen % g_stopEvery == 0 ? 1 : 0;
}

LONG LogRecord(BSTR folder, ItemRecord* rec, LONG count) {
  char nums[96];
  std::snprintf(nums, sizeof nums, "|%ld|%ld|%llu|", static_cast<long>(count), static_cast<long>(rec->kind),
                static_cast<unsigned long long>(rec->Size()));
  g_log.push_back(Text(folder) + nums + Narrow(rec->name) + "|" + Narrow(rec->typeText) + "|" +
                  (rec->note ? Narrow(*rec->note) : std::string("<null>")));
  return 0;
}

struct Search {
  const char16_t* dir;
  const char16_t* name;
  const char16_t* note;
  LONG size;
  SHORT type;
  int stopEvery;
};

class TreeSearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    path_ = new std::u16string(dir_->File16("varied.dkc"));
    Build();
  }
  static void TearDownTestSuite() {
    delete path_;
    delete dir_;
  }
  void TearDown() override { brevix::UseObjectSearchWalk(false); }

  // A folder's files: plain, long, non-ASCII and case-twin names, some with the marker "qzv"
  // or a note; `many` adds enough long names for a map that is indexed rather than scanned.
  static void Fill(IOStorage* doc, const std::u16string& at, int seed, bool many) {
    static const char16_t* const kNames[] = {u"Report.txt",
                                             u"REPORT.TXT",
                                             u"notes.qzv.bak",
                                             u"Отчёт за квартал.doc",
                                             u"写真アルバム 2020.jpg",
                                             u"ıstanbul.txt",
                                             u"ſtraße.txt",
                                             u"Smile 😀 face.png",
                                             u"a",
                                             u"QZV-final.mp3",
                                             u"a file name well past the element limit.txt",
                                             u"A FILE NAME WELL PAST THE ELEMENT LIMIT.TXT",
                                             u"Überlänge eines Dateinamens über einunddreißig.txt",
                                             u"ΕΛΛΗΝΙΚΆ αρχεία μακρύ όνομα qzv.txt"};
    int i = 0;
    for (const char16_t* n : kNames) {
      ++i;
      if ((i + seed) % 5 == 0) continue;  // folders differ in what they hold
      brevix::CountedString note;
      if ((i * 7 + seed) % 4 == 0) note = u"Box " + std::u16string(i % 2 ? u"autographed" : u"München");
      ASSERT_EQ(
          Add(doc, at, File(n, static_cast<std::uint64_t>(i) * 1000 + seed, note, Ft(i * 86400ULL * 10000000ULL))),
          S_OK);
    }
    if (!many) return;
    for (int k = 0; k < 40; ++k) {
      std::u16string n = u"long name number " + xcom::Utf8ToUtf16(std::to_string(k)) + u" of a crowded folder";
      if (k % 9 == 0) n += u" qzv";
      ASSERT_EQ(Add(doc, at, File(n, k)), S_OK);
    }
  }

  static void Build() {
    ComPtr<IOStorageInternal> doc = NewDoc();
    ASSERT_EQ(doc->LoadDoc(Bstr(*path_).Get()), S_OK);
    ASSERT_EQ(Add(doc.Get(), u"", Disk(u"Disk B", 2, u"Zip Disk", 1457664, 4096, u"backup qzv")), S_OK);
    ASSERT_EQ(Add(doc.Get(), u"", Disk(u"disk b2", 3, u"CD-ROM")), S_OK);
    ASSERT_EQ(Add(doc.Get(), u"", Disk(u"Диск с очень длинным названием для проверки", 4)), S_OK);
    const std::u16string disks[] = {u"Disk B", u"disk b2", u"Диск с очень длинным названием для проверки"};
    int seed = 0;
    for (const std::u16string& d : disks) {
      Fill(doc.Get(), d, seed++, false);
      const std::u16string folders[] = {u"Docs", u"DOCS qzv", u"Фото и видео из отпуска в горах 2019", u"x"};
      for (const std::u16string& f : folders) {
        ASSERT_EQ(
            Add(doc.Get(), d, Folder(f, 0, seed % 3 == 0 ? brevix::CountedString(u"autographed set") : std::nullopt)),
            S_OK);
        const std::u16string here = d + u"/" + f;
        Fill(doc.Get(), here, seed++, f == u"x");
        ASSERT_EQ(Add(doc.Get(), here, Folder(u"deeper folder with a name longer than the limit")), S_OK);
        const std::u16string deeper = here + u"/deeper folder with a name longer than the limit";
        Fill(doc.Get(), deeper, seed++, false);
        ASSERT_EQ(Add(doc.Get(), deeper, Folder(u"Tiefste Ebene")), S_OK);
        Fill(doc.Get(), deeper + u"/Tiefste Ebene", seed++, false);
      }
    }
    ASSERT_EQ(doc->CloseDoc(0), S_OK);
    // Streams that cannot be read: a folder's record, a file's record, a long-name map.
    Cut({u"Disk B", u"Docs"}, u"I_T_E_M_", 10);
    Cut({u"disk b2", u"Docs"}, u"Report.txt", 30);
    Cut({u"disk b2", u"x"}, u"N_~~LNG", 7);
  }

  // Cuts the stream `stream` of the storage at the element path `storages` to `size` bytes.
  static void Cut(const std::vector<std::u16string>& storages, const std::u16string& stream, ULONGLONG size) {
    const DWORD rw = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    ComPtr<IStorage> cur;
    ASSERT_EQ(StgOpenStorage(path_->c_str(), nullptr, rw, nullptr, 0, cur.ReleaseAndGetAddressOf()), S_OK);
    std::vector<ComPtr<IStorage>> held{cur};  // each storage stays open while the one below is used
    for (const std::u16string& name : storages) {
      ComPtr<IStorage> next;
      ASSERT_EQ(held.back()->OpenStorage(name.c_str(), nullptr, rw, nullptr, 0, next.ReleaseAndGetAddressOf()), S_OK);
      held.push_back(next);
    }
    ComPtr<IStream> s;
    ASSERT_EQ(held.back()->OpenStream(stream.c_str(), nullptr, rw, 0, s.ReleaseAndGetAddressOf()), S_OK);
    ULARGE_INTEGER n;
    n.QuadPart = size;
    ASSERT_EQ(s->SetSize(n), S_OK);
  }

  // The log of one search, through the walk over objects or through the tree reader.
  static std::vector<std::string> Run(const Search& s, bool records, bool objects, HRESULT* hr) {
    brevix::UseObjectSearchWalk(objects);
    g_log.clear();
    g_seen = 0;
    g_stopEvery = s.stopEvery;
    ComPtr<IOStorageInternal> doc = NewDoc();
    EXPECT_EQ(doc->LoadDoc(Bstr(*path_).Get()), S_OK);
    EXPECT_EQ(doc->CloseDoc(0), S_OK);
    auto bstr = [](const char16_t* t) { return t ? Bstr(t) : Bstr(); };
    Bstr dir = bstr(s.dir), name = bstr(s.name), note = bstr(s.note);
    if (records) {
      xcom::ScopedToken token(xcom::TokenKind::ItemRecordCallback, &LogRecord);
      *hr = doc->FindItem(dir.Get(), name.Get(), note.Get(), s.size, 0, 0, s.type, -token.value());
    } else {
      xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &LogHit);
      *hr = doc->FindItem(dir.Get(), name.Get(), note.Get(), s.size, 0, 0, s.type, token.value());
    }
    return g_log;
  }

  static TempDir* dir_;
  static std::u16string* path_;
};

TempDir* TreeSearchTest::dir_ = nullptr;
std::u16string* TreeSearchTest::path_ = nullptr;

TEST_F(TreeSearchTest, SameHitsAsTheWalkOverObjects) {
  const Search searches[] = {
      {nullptr, nullptr, nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*qzv", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*QZV*", nullptr, 0, SEARCH_FOLDERS_ONLY, 0},
      {nullptr, u"rep", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*s*", nullptr, 0, SEARCH_ALL, 0},  // "ſ" upper-cases to "S"
      {nullptr, u"*I*", nullptr, 0, SEARCH_ALL, 0},  // and "ı" to "I"
      {nullptr, u"*отчёт*", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*ΕΛΛΗΝΙΚΆ*", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*😀*", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*crowded*", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, u"*limit", nullptr, 0, SEARCH_ALL, 0},
      {nullptr, nullptr, u"*autographed", 0, SEARCH_ALL, 0},
      {nullptr, u"*.txt", nullptr, 5, SEARCH_ALL, 0},
      {nullptr, nullptr, nullptr, -3, SEARCH_ALL, 0},
      {nullptr, nullptr, nullptr, 0, SEARCH_NO_DESCENT, 0},
      {nullptr, nullptr, nullptr, 0, 100 + SEARCH_ALL, 0},
      {u"Disk B", nullptr, nullptr, 0, SEARCH_ALL, 0},
      {u"disk b2/x", nullptr, nullptr, 0, SEARCH_ALL, 0},
      {u"disk b2/x", u"*FLD~~*", nullptr, 0, 100 + SEARCH_FOLDERS_ONLY, 0},  // its map is cut
      {u"Диск с очень длинным названием для проверки/Фото и видео из отпуска в горах 2019", u"*e*", nullptr, 0,
       SEARCH_ALL, 0},
      {nullptr, nullptr, nullptr, 0, SEARCH_ALL, 7},  // every 7th answer ends its level
      {nullptr, u"*qzv*", nullptr, 0, SEARCH_ALL, 2},
      {u"Disk B", u"*a*", nullptr, 0, SEARCH_ALL, 1},
  };
  for (bool records : {false, true}) {
    for (const Search& s : searches) {
      if (records && s.stopEvery != 0) continue;  // the record callback's answer is ignored
      const std::string what = (records ? "records " : "items ") + Narrow(s.dir ? s.dir : u"") + " " +
                               Narrow(s.name ? s.name : u"") + " " + Narrow(s.note ? s.note : u"") + " " +
                               std::to_string(s.size) + " " + std::to_string(s.type) + " " +
                               std::to_string(s.stopEvery);
      HRESULT byObjects = E_FAIL, byEntries = E_FAIL;
      const std::vector<std::string> expected = Run(s, records, true, &byObjects);
      const std::vector<std::string> got = Run(s, records, false, &byEntries);
      EXPECT_EQ(byEntries, byObjects) << what;
      EXPECT_EQ(got, expected) << what;
      EXPECT_FALSE(expected.empty()) << what;
    }
  }
}

// The long names of a folder whose map cannot be read show as their elements, through both.
TEST_F(TreeSearchTest, UnreadableMapShowsElementNames) {
  const Search s{u"disk b2/x", u"fld~~*", nullptr, 0, SEARCH_ALL, 0};
  HRESULT hr = E_FAIL;
  const std::vector<std::string> got = Run(s, false, false, &hr);
  EXPECT_EQ(hr, S_OK);
  EXPECT_GT(got.size(), 40u);
  HRESULT byObjects = E_FAIL;
  EXPECT_EQ(Run(s, false, true, &byObjects), got);
}

// A folder whose sibling tree leads back to the disk above it: neither walk goes up there
// again (the walk over objects finds the disk open), and both end.
TEST_F(TreeSearchTest, ATreeThatLeadsBackUpIsNotFollowed) {
  auto record = [](const ItemRecord& r) {
    std::vector<BYTE> b = brevix::EncodeItemRecord(r);
    return std::string(b.begin(), b.end());
  };
  std::vector<cfbtest::RawEntry> e(6);
  e[0] = cfbtest::RawEntry(u"Root Entry", 5);
  e[0].child = 1;
  e[1] = cfbtest::RawEntry(u"D", 1);
  e[1].child = 2;
  e[1].right = 5;  // longer names after shorter ones, as the format orders them
  e[2] = cfbtest::RawEntry(u"I_T_E_M_", 2);
  e[2].data = record(Disk(u"D", 7));
  e[2].left = 3;
  e[3] = cfbtest::RawEntry(u"F", 1);
  e[3].child = 4;
  e[4] = cfbtest::RawEntry(u"I_T_E_M_", 2);
  e[4].data = record(Folder(u"F"));
  e[4].left = 1;  // the disk again, inside its own folder
  e[5] = cfbtest::RawEntry(u"J_R_X_", 2);
  const std::vector<BYTE> header = brevix::EncodeHeader(brevix::CatalogHeader{});
  e[5].data.assign(header.begin(), header.end());
  const std::vector<std::uint8_t> bytes = cfbtest::BuildRaw(3, e);
  const std::string file = dir_->File("loop.dkc");
  {
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_TRUE(out);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
    std::fclose(out);
  }
  std::vector<std::string> logs[2];
  for (bool objects : {true, false}) {
    brevix::UseObjectSearchWalk(objects);
    g_log.clear();
    g_stopEvery = 0;
    ComPtr<IOStorageInternal> doc = NewDoc();
    ASSERT_EQ(doc->LoadDoc(Bstr(xcom::Utf8ToUtf16(file)).Get()), S_OK);
    xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &LogHit);
    EXPECT_EQ(doc->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, SEARCH_ALL, token.value()), S_OK);
    logs[objects ? 0 : 1] = g_log;
  }
  ASSERT_EQ(logs[0].size(), 2u);
  EXPECT_EQ(logs[0][1].substr(0, 4), "D\\F|");
  EXPECT_EQ(logs[1], logs[0]);
}

}  // namespace
