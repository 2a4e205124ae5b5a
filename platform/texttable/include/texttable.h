// Report tables: comma-separated text files with a header line of field names, opened as a
// recordset (the report tables "DATAEXP.TXT" and "TREEVIEW.TXT", the saved search results).
//
// Every value is text (UTF-8 std::string) and reads back exactly as it was written: leading
// and trailing blanks, commas, quotes, line breaks and non-ASCII text included.
//
// File format written here: UTF-8, lines ended by CR LF; the header line holds the field
// names as given; every row value is written in double quotes with inner quotes doubled.
// Read here: that format, and also the lines of the forms runtime's delimited write, whose
// quoted values carry their inner quotes undoubled (a quote inside a quoted value closes it
// only when a comma or the end of the line follows), unquoted values (taken as they stand),
// LF or CR line ends and a leading byte-order mark. A row with fewer values than the header
// has fields leaves the rest empty; blank lines hold no row.
//
// Opening reads the whole table once, in time linear in the file; every move, bookmark and
// field access afterwards takes constant time; sorting takes n log n.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace texttable {

// Error numbers, as the data engine numbers its errors.
inline constexpr int kErrInvalidArgument = 3001;   // "Invalid argument."
inline constexpr int kErrUpdateWithoutAddNew = 3020;  // "Update or CancelUpdate without AddNew or Edit."
inline constexpr int kErrNoCurrentRecord = 3021;   // "No current record."
inline constexpr int kErrFileNotFound = 3024;      // "Could not find file '<path>'."
inline constexpr int kErrFileAccess = 3051;        // "Could not open or write file '<path>'."
inline constexpr int kErrInvalidBookmark = 3159;   // "Not a valid bookmark."
inline constexpr int kErrItemNotFound = 3265;      // "Item not found in this collection."
inline constexpr int kErrObjectClosed = 3420;      // "Object invalid or no longer set."

// What every operation of this layer throws on failure; moving past either end of a
// recordset is never a failure.
class Error : public std::runtime_error {
 public:
  Error(int number, const std::string& description);
  int Number() const { return number_; }

 private:
  int number_;
};

// The position of one record in one recordset: stored and set back to return to that
// record. A bookmark taken where there is no current record (before the first or after the
// last record) names no record and is never equal to one that does.
class Bookmark {
 public:
  Bookmark() = default;
  friend bool operator==(const Bookmark&, const Bookmark&) = default;

 private:
  friend class Recordset;
  Bookmark(std::uint64_t owner, std::int64_t pos) : owner_(owner), pos_(pos) {}
  std::uint64_t owner_ = 0;
  std::int64_t pos_ = -1;
};

namespace detail {
struct Table;
}

// Rewrites a table file with the header line as its only line (an existing file is replaced
// atomically, so that a recordset still holding the old file never writes into the new one).
// The field names are the comma-separated parts of the line; an empty line or an empty name
// throws kErrInvalidArgument, an unwritable file kErrFileAccess.
void RewriteTable(const std::filesystem::path& file, std::string_view headerLine);

// One row as a line of the table file: every value in double quotes, inner quotes doubled,
// separated by commas and ended by CR LF. For programs that write rows to a table file
// directly, so that the recordset reads them back unchanged.
std::string FormatRow(std::span<const std::string> values);

// A cursor over the rows of one table, with the fields of its header line. Move-only; a
// default-constructed or closed recordset throws kErrObjectClosed from every operation but
// IsOpen and Close.
class Recordset {
 public:
  Recordset();
  ~Recordset();  // writes any rows still buffered; errors are lost here, Close reports them
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens a table file: missing file kErrFileNotFound, unreadable kErrFileAccess. Rows added
  // through another recordset of the same file are written out before it is read. The
  // recordset stands on its first row, or on no row when the table is empty.
  static Recordset Open(const std::filesystem::path& file);

  bool IsOpen() const;
  // Writes any buffered rows to the file and closes the recordset (kErrFileAccess when they
  // cannot be written; the recordset is closed all the same). Closing twice does nothing.
  void Close();
  const std::filesystem::path& Path() const;

  // The exact number of rows.
  std::int64_t RecordCount() const;

  // Fields: names as in the header line, looked up ignoring case (first of equal names).
  int FieldCount() const;
  const std::string& FieldName(int index) const;  // kErrItemNotFound out of range
  int FieldIndex(std::string_view name) const;    // -1 for an unknown name

  // Moving. An empty recordset is at both ends at once. Moving past the last row leaves the
  // recordset after it with Eof() set, past the first row before it with Bof() set; moving
  // further the same way changes nothing, and no move ever throws for an end.
  bool Bof() const;
  bool Eof() const;
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  void Move(std::int64_t rows);                       // from the current row (or the end)
  void Move(std::int64_t rows, const Bookmark& start);  // from a bookmark; negative moves back

  Bookmark GetBookmark() const;
  void SetBookmark(const Bookmark& bookmark);  // kErrInvalidBookmark for one of another
                                               // recordset or one that names no row

  // The current row's values (kErrNoCurrentRecord at either end, kErrItemNotFound for an
  // unknown field). Values of a row being added are not visible before Update.
  std::string Field(int index) const;
  std::string Field(std::string_view name) const;

  // Adding a row: AddNew starts an empty row (discarding one started and not updated),
  // SetField fills it, Update appends it to the table and its file (fields never set stay
  // empty), CancelUpdate drops it. The current row does not change. SetField, Update and
  // CancelUpdate without AddNew throw kErrUpdateWithoutAddNew.
  void AddNew();
  void SetField(int index, std::string_view value);
  void SetField(std::string_view name, std::string_view value);
  void Update();
  void CancelUpdate();
  bool IsAdding() const;

  // A copy of this recordset sorted by the comma-separated field names ("TYPE,NAME"),
  // ignoring case and stable, so that rows equal in every sort field keep their order. A
  // field whose values are all dates as report tables write them ("yyyy/mm/dd hh:mm AMPM",
  // "m/d/yy h:mm AMPM"; empty values first) sorts in time order. It
  // shares the rows (rows it adds go to the same file) and stands on its first row.
  Recordset Sorted(std::string_view fieldList) const;

 private:
  struct View;
  explicit Recordset(std::unique_ptr<View> view);
  const View& Live() const;
  View& Live();
  std::int64_t Current() const;  // index within the view, or throws kErrNoCurrentRecord
  std::unique_ptr<View> view_;
};

}  // namespace texttable
