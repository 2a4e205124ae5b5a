// Report tables: values read back as written, other writers' lines, sorting, moving, bookmarks.
#include "texttable.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using texttable::Bookmark;
using texttable::Error;
using texttable::Recordset;
using Rows = std::vector<std::vector<std::string>>;

namespace {

class TextTableTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& text) { testing_files::WriteBytes(file_, text); }
  std::string ReadFile() const { return testing_files::ReadBytes(file_); }

  static Rows ReadAll(Recordset& rs) {
    Rows rows;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      rows.emplace_back();
      for (int f = 0; f < rs.FieldCount(); ++f) rows.back().push_back(rs.Field(f));
    }
    return rows;
  }

  static void Add(Recordset& rs, const std::vector<std::string>& values) {
    rs.AddNew();
    for (size_t f = 0; f < values.size(); ++f) rs.SetField(static_cast<int>(f), values[f]);
    rs.Update();
  }

  template <typename F>
  static int ErrorOf(F&& f) {
    try {
      f();
    } catch (const Error& e) {
      return e.Number();
    }
    return 0;
  }

  testing_files::ScratchFolder scratch_;
  const fs::path& dir_ = scratch_.path();
  const fs::path file_ = dir_ / "DATAEXP.TXT";
};

TEST_F(TextTableTest, ValuesReadBackExactlyAsWritten) {
  const Rows rows = {
      {"          Music05", "  File Folder"},  // tree depth in leading blanks
      {"a,b", "trailing blanks   "},
      {"say \"hi\" now", "\""},
      {"ab\"", "\",\""},
      {"\"\"", ""},
      {"Caf\xC3\xA9 \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC", "   "},
      {"two\r\nlines", "cr\ronly,lf\nonly"},
  };
  texttable::RewriteTable(file_, "NAME,NOTE");
  Recordset rs = Recordset::Open(file_);
  for (const auto& row : rows) Add(rs, row);
  EXPECT_EQ(ReadAll(rs), rows);
  rs.Close();
  Recordset again = Recordset::Open(file_);
  EXPECT_EQ(again.RecordCount(), static_cast<std::int64_t>(rows.size()));
  EXPECT_EQ(ReadAll(again), rows);
}

TEST_F(TextTableTest, WritesQuotedValuesWithCrLf) {
  texttable::RewriteTable(file_, "NAME,SIZE");
  Recordset rs = Recordset::Open(file_);
  Add(rs, {"say \"hi\"", "1,234KB"});
  rs.AddNew();
  rs.SetField("size", "5KB");  // unset fields stay empty
  rs.Update();
  rs.Close();
  EXPECT_EQ(ReadFile(), "NAME,SIZE\r\n\"say \"\"hi\"\"\",\"1,234KB\"\r\n\"\",\"5KB\"\r\n");
  const std::vector<std::string> values = {"a", "b\"c"};
  EXPECT_EQ(texttable::FormatRow(values), "\"a\",\"b\"\"c\"\r\n");
}

TEST_F(TextTableTest, ReadsTheLinesOtherWritersLeave) {
  struct Case {
    const char* name;
    std::string text;
    Rows rows;
  };
  const std::vector<Case> cases = {
      {"delimited write with undoubled inner quotes",
       "A,B\r\n\"a \"quoted\" note\",\"5\" floppy\"\r\n",
       {{"a \"quoted\" note", "5\" floppy"}}},
      {"unquoted values stand as they are",
       "A,B\r\n\"readme.txt\",0000000042\r\n(none),1/2/03 10:04 AM\r\n",
       {{"readme.txt", "0000000042"}, {"(none)", "1/2/03 10:04 AM"}}},
      {"LF line ends, a byte-order mark and blank lines",
       "\xEF\xBB\xBF" "A,B\n\n\"1\",\"2\"\n\n\"3\",\"4\"\n",
       {{"1", "2"}, {"3", "4"}}},
      {"short rows fill with empty values, long rows are cut",
       "A,B\r\n\"only\"\r\n\"x\",\"y\",\"z\"\r\n\"e\",\r\n",
       {{"only", ""}, {"x", "y"}, {"e", ""}}},
      {"no line end after the last row", "A,B\r\n\"1\",\"2\"", {{"1", "2"}}},
      {"an unterminated quote runs to the end", "A,B\r\n\"1\",\"open\r\n", {{"1", "open\r\n"}}},
      {"a header alone", "A,B\r\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(c.text);
    Recordset rs = Recordset::Open(file_);
    ASSERT_EQ(rs.FieldCount(), 2);
    EXPECT_EQ(rs.FieldName(0), "A");
    EXPECT_EQ(rs.FieldName(1), "B");
    EXPECT_EQ(rs.RecordCount(), static_cast<std::int64_t>(c.rows.size()));
    EXPECT_EQ(ReadAll(rs), c.rows);
  }
}

TEST_F(TextTableTest, SortIsStableAndIgnoresCase) {
  texttable::RewriteTable(file_, "TYPE,NAME,ID");
  Recordset rs = Recordset::Open(file_);
  const Rows rows = {
      {"b", "x", "0"}, {"A", "y", "1"}, {"a", "X", "2"}, {"B", "x", "3"}, {"a", "x", "4"},
      {"\xC3\x89" "cole", "z", "5"}, {"\xC3\xA9" "COLE", "z", "6"}, {"\xC3\x89" "cole", "a", "7"},
  };
  for (const auto& row : rows) Add(rs, row);
  Recordset sorted = rs.Sorted("type, NAME");
  std::vector<std::string> ids;
  for (sorted.MoveFirst(); !sorted.Eof(); sorted.MoveNext()) ids.push_back(sorted.Field("ID"));
  EXPECT_EQ(ids, (std::vector<std::string>{"2", "4", "1", "0", "3", "7", "5", "6"}));
  // The copy leaves the recordset it came from in file order.
  EXPECT_EQ(ReadAll(rs), rows);
  EXPECT_EQ(ErrorOf([&] { rs.Sorted("TYPE,NOSUCH"); }), texttable::kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.Sorted(""); }), texttable::kErrInvalidArgument);
}

TEST_F(TextTableTest, DateFieldsSortInTimeOrder) {
  struct Case {
    const char* what;
    std::vector<std::string> values;  // in the order the sort must give
  } cases[] = {
      {"report-table form",
       {"", "2023/12/31 11:59 PM", "2024/01/05 12:30 AM", "2024/01/05 11:00 AM", "2024/01/05 12:00 PM",
        "2024/01/05 01:00 PM", "2024/01/05 11:15 pm"}},
      {"short form, year window", {"12/31/99 1:00 PM", "1/2/00 9:05 AM", "10/2/00 9:05 AM", "2/29/2004 12:01 AM"}},
      {"dates without times", {"1999/02/03", "2000/10/01"}},
      // One value that is no date and the field sorts as text.
      {"not all dates", {"2024/01/05 01:00 PM", "2024/01/05 11:00 AM", "2024/13/05 10:00 AM"}},
      {"impossible day", {"2023/02/29 01:00 PM", "2023/02/29 11:00 AM"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    texttable::RewriteTable(file_, "MODIFIED,ID");
    Recordset rs = Recordset::Open(file_);
    // Added in reverse, with equal keys kept in order by the stable sort.
    for (std::size_t i = c.values.size(); i-- > 0;) Add(rs, {c.values[i], std::to_string(i)});
    Recordset sorted = rs.Sorted("MODIFIED");
    std::vector<std::string> got;
    for (sorted.MoveFirst(); !sorted.Eof(); sorted.MoveNext()) got.push_back(sorted.Field("MODIFIED"));
    EXPECT_EQ(got, c.values);
  }
}

TEST_F(TextTableTest, MovesPastEitherEndOnlySetTheFlags) {
  WriteFile("NAME\r\n\"r0\"\r\n\"r1\"\r\n\"r2\"\r\n");
  Recordset rs = Recordset::Open(file_);
  const Bookmark first = rs.GetBookmark();
  struct Step {
    const char* name;
    std::function<void()> move;
    bool bof, eof;
    const char* row;  // nullptr: no current row
  };
  const std::vector<Step> steps = {
      {"opened", [] {}, false, false, "r0"},
      {"previous from the first", [&] { rs.MovePrevious(); }, true, false, nullptr},
      {"previous again", [&] { rs.MovePrevious(); }, true, false, nullptr},
      {"next from before the first", [&] { rs.MoveNext(); }, false, false, "r0"},
      {"last", [&] { rs.MoveLast(); }, false, false, "r2"},
      {"next from the last", [&] { rs.MoveNext(); }, false, true, nullptr},
      {"next again", [&] { rs.MoveNext(); }, false, true, nullptr},
      {"previous from after the last", [&] { rs.MovePrevious(); }, false, false, "r2"},
      {"far back", [&] { rs.Move(-10); }, true, false, nullptr},
      {"two on from a bookmark", [&] { rs.Move(2, first); }, false, false, "r2"},
      {"three on from a bookmark", [&] { rs.Move(3, first); }, false, true, nullptr},
      {"one back from a bookmark", [&] { rs.Move(-1, first); }, true, false, nullptr},
      {"the largest move", [&] { rs.Move(INT64_MAX, first); }, false, true, nullptr},
      {"back to a bookmark", [&] { rs.SetBookmark(first); }, false, false, "r0"},
      {"first", [&] { rs.MoveFirst(); }, false, false, "r0"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_NO_THROW(s.move());
    EXPECT_EQ(rs.Bof(), s.bof);
    EXPECT_EQ(rs.Eof(), s.eof);
    if (s.row) {
      EXPECT_EQ(rs.Field(0), s.row);
    } else {
      EXPECT_EQ(ErrorOf([&] { rs.Field(0); }), texttable::kErrNoCurrentRecord);
    }
  }
}

TEST_F(TextTableTest, BookmarksNameOneRowOfOneRecordset) {
  WriteFile("NAME\r\n\"r0\"\r\n\"r1\"\r\n");
  Recordset rs = Recordset::Open(file_);
  rs.MoveNext();
  const Bookmark second = rs.GetBookmark();
  rs.MoveNext();
  const Bookmark atEnd = rs.GetBookmark();
  EXPECT_NE(atEnd, second);
  EXPECT_EQ(ErrorOf([&] { rs.SetBookmark(atEnd); }), texttable::kErrInvalidBookmark);
  EXPECT_EQ(ErrorOf([&] { rs.SetBookmark(Bookmark()); }), texttable::kErrInvalidBookmark);
  Recordset other = Recordset::Open(file_);
  other.MoveNext();
  EXPECT_NE(other.GetBookmark(), second);
  EXPECT_EQ(ErrorOf([&] { other.SetBookmark(second); }), texttable::kErrInvalidBookmark);
  rs.SetBookmark(second);
  EXPECT_EQ(rs.GetBookmark(), second);
  EXPECT_EQ(rs.Field("name"), "r1");
}

TEST_F(TextTableTest, EmptyTableIsAtBothEnds) {
  texttable::RewriteTable(file_, "NAME");
  Recordset rs = Recordset::Open(file_);
  EXPECT_EQ(rs.RecordCount(), 0);
  for (auto move : {&Recordset::MoveFirst, &Recordset::MoveLast, &Recordset::MoveNext, &Recordset::MovePrevious}) {
    EXPECT_NO_THROW((rs.*move)());
    EXPECT_TRUE(rs.Bof());
    EXPECT_TRUE(rs.Eof());
  }
  EXPECT_EQ(rs.GetBookmark(), rs.GetBookmark());
  EXPECT_EQ(ErrorOf([&] { rs.Field("NAME"); }), texttable::kErrNoCurrentRecord);
}

TEST_F(TextTableTest, RewritingTheHeaderEmptiesTheTable) {
  texttable::RewriteTable(file_, "NAME");
  Recordset old = Recordset::Open(file_);
  Add(old, {"stale row"});  // still buffered in the old recordset
  texttable::RewriteTable(file_, "NAME,TYPE");
  texttable::RewriteTable(file_, "NAME,TYPE");
  EXPECT_EQ(ReadFile(), "NAME,TYPE\r\n");
  Add(old, {"later stale row"});
  old.Close();  // the old recordset's rows never reach the new file
  EXPECT_EQ(ReadFile(), "NAME,TYPE\r\n");
  Recordset rs = Recordset::Open(file_);
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_EQ(rs.FieldCount(), 2);

  EXPECT_EQ(ErrorOf([&] { texttable::RewriteTable(file_, ""); }), texttable::kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { texttable::RewriteTable(file_, "NAME,,TYPE"); }), texttable::kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { texttable::RewriteTable(dir_ / "none" / "X.TXT", "NAME"); }), texttable::kErrFileAccess);
  EXPECT_EQ(ReadFile(), "NAME,TYPE\r\n");
}

TEST_F(TextTableTest, RowsAddedReachTheFileBeforeItIsReadAgain) {
  texttable::RewriteTable(file_, "NAME");
  Recordset writer = Recordset::Open(file_);
  Add(writer, {"one"});
  Add(writer, {"two"});
  Recordset reader = Recordset::Open(file_);  // the writer is still open and not closed
  EXPECT_EQ(ReadAll(reader), (Rows{{"one"}, {"two"}}));
  // A header written without a line end gets one before the first appended row.
  WriteFile("NAME");
  Recordset bare = Recordset::Open(file_);
  Add(bare, {"x"});
  bare.Close();
  EXPECT_EQ(ReadFile(), "NAME\r\n\"x\"\r\n");
}

TEST_F(TextTableTest, ReportsMisuseAsErrors) {
  EXPECT_EQ(ErrorOf([&] { Recordset::Open(dir_ / "MISSING.TXT"); }), texttable::kErrFileNotFound);
  texttable::RewriteTable(file_, "NAME,TYPE");
  Recordset rs = Recordset::Open(file_);
  EXPECT_EQ(rs.FieldIndex("type"), 1);
  EXPECT_EQ(rs.FieldIndex("SIZE"), -1);
  EXPECT_EQ(ErrorOf([&] { rs.SetField(0, "x"); }), texttable::kErrUpdateWithoutAddNew);
  EXPECT_EQ(ErrorOf([&] { rs.Update(); }), texttable::kErrUpdateWithoutAddNew);
  rs.AddNew();
  EXPECT_EQ(ErrorOf([&] { rs.SetField("SIZE", "x"); }), texttable::kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.SetField(2, "x"); }), texttable::kErrItemNotFound);
  rs.CancelUpdate();
  EXPECT_EQ(rs.RecordCount(), 0);
  Add(rs, {"a", "b"});
  rs.MoveFirst();
  EXPECT_EQ(ErrorOf([&] { rs.Field("SIZE"); }), texttable::kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.Field(-1); }), texttable::kErrItemNotFound);
  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), texttable::kErrObjectClosed);
  EXPECT_NO_THROW(rs.Close());
}

}  // namespace
