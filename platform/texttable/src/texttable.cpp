// Report tables: reading, cursor, appending and sorting.
#include "texttable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <mutex>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "casefold.h"
#include "datekey.h"

namespace texttable {

Error::Error(int number, const std::string& description) : std::runtime_error(description), number_(number) {}

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kEofPos = std::numeric_limits<std::int64_t>::max();
constexpr std::size_t kFlushSize = 64 * 1024;

[[noreturn]] void Fail(int number, const std::string& text) { throw Error(number, text); }

[[noreturn]] void FailFile(int number, const fs::path& file) {
  Fail(number, number == kErrFileNotFound ? "Could not find file '" + file.string() + "'."
                                          : "Could not open or write file '" + file.string() + "'.");
}

std::string_view TrimBlanks(std::string_view s) {
  std::size_t first = s.find_first_not_of(" \t");
  if (first == s.npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Splits table text into records of fields. Quoted values may hold commas, line breaks and
// doubled quotes; a quote run inside a quoted value closes it only when an odd run is
// followed by a comma or a line end, so that the undoubled quotes of the forms runtime's
// delimited write stay part of the value.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  // Reads the next record into fields (reusing their storage); false at the end of the text.
  bool Next(std::vector<std::string>& fields, std::size_t& count) {
    // Blank lines hold no record.
    while (i_ < text_.size() && (text_[i_] == '\r' || text_[i_] == '\n')) ++i_;
    if (i_ >= text_.size()) return false;
    count = 0;
    for (;;) {
      if (count == fields.size()) fields.emplace_back();
      std::string& field = fields[count++];
      field.clear();
      if (text_[i_] == '"') {
        ReadQuoted(field);
      } else {
        std::size_t end = text_.find_first_of(",\r\n", i_);
        if (end == text_.npos) end = text_.size();
        field.assign(text_.substr(i_, end - i_));
        i_ = end;
      }
      if (i_ < text_.size() && text_[i_] == ',') {
        ++i_;
        if (i_ >= text_.size()) {  // a comma at the very end begins one more, empty value
          if (count == fields.size()) fields.emplace_back();
          fields[count++].clear();
          return true;
        }
        continue;
      }
      // End of the line (or of the text).
      if (i_ < text_.size() && text_[i_] == '\r') ++i_;
      if (i_ < text_.size() && text_[i_] == '\n') ++i_;
      return true;
    }
  }

 private:
  bool Delimiter(std::size_t j) const {
    return j >= text_.size() || text_[j] == ',' || text_[j] == '\r' || text_[j] == '\n';
  }

  void ReadQuoted(std::string& field) {
    ++i_;  // the opening quote
    while (i_ < text_.size()) {
      std::size_t q = text_.find('"', i_);
      if (q == text_.npos) q = text_.size();
      field.append(text_.substr(i_, q - i_));
      i_ = q;
      if (i_ >= text_.size()) return;  // unterminated: the value runs to the end
      std::size_t j = i_;
      while (j < text_.size() && text_[j] == '"') ++j;
      std::size_t run = j - i_;
      i_ = j;
      if (Delimiter(j) && (run % 2 == 1 || j >= text_.size())) {
        field.append(run / 2, '"');
        return;
      }
      field.append((run + 1) / 2, '"');
    }
  }

  std::string_view text_;
  std::size_t i_ = 0;
};

std::vector<std::string> HeaderNames(std::string_view headerLine) {
  std::vector<std::string> fields;
  std::size_t count = 0;
  Parser parser(headerLine);
  if (!parser.Next(fields, count)) return {};
  fields.resize(count);
  for (auto& f : fields) f = std::string(TrimBlanks(f));
  return fields;
}

}  // namespace

// The rows of one table file, shared by the recordsets opened on it and their sorted copies.
struct detail::Table {
  fs::path path;
  std::string registryKey;
  std::vector<std::string> names;
  std::unordered_map<std::string, int> index;  // folded name -> first field of that name
  std::string arena;                           // every value of every row, back to back
  std::vector<std::size_t> offsets{0};         // value k spans offsets[k] .. offsets[k + 1]
  std::int64_t rows = 0;
  int fd = -1;
  bool writable = false;
  bool endsWithBreak = true;
  bool writeFailed = false;
  std::string pending;  // appended rows not yet written

  ~Table() {
    Flush();
    if (fd >= 0) ::close(fd);
  }

  std::size_t FieldCount() const { return names.size(); }

  std::string_view Value(std::int64_t row, std::size_t field) const {
    std::size_t k = static_cast<std::size_t>(row) * names.size() + field;
    return std::string_view(arena).substr(offsets[k], offsets[k + 1] - offsets[k]);
  }

  void AddRow(const std::vector<std::string>& values, std::size_t count) {
    for (std::size_t f = 0; f < names.size(); ++f) {
      if (f < count) arena += values[f];
      offsets.push_back(arena.size());
    }
    ++rows;
  }

  bool Flush() {
    if (pending.empty()) return !writeFailed;
    if (!writable || !WriteAll(fd, pending)) writeFailed = true;
    pending.clear();
    return !writeFailed;
  }

  void Append(const std::vector<std::string>& values) {
    if (!writable || writeFailed) FailFile(kErrFileAccess, path);
    if (!endsWithBreak) {
      pending += "\r\n";
      endsWithBreak = true;
    }
    pending += FormatRow(values);
    AddRow(values, values.size());
    if (pending.size() >= kFlushSize && !Flush()) FailFile(kErrFileAccess, path);
  }
};

namespace {

// Every table open in this process, by file, so that rows still buffered by one recordset
// reach the file before the file is read again or replaced.
struct Registry {
  std::mutex mutex;
  std::unordered_map<std::string, std::vector<std::weak_ptr<detail::Table>>> tables;
};

Registry& Tables() {
  static Registry registry;
  return registry;
}

std::string RegistryKey(const fs::path& file) {
  std::error_code ec;
  fs::path abs = fs::absolute(file, ec);
  return (ec ? file : abs).lexically_normal().string();
}

}  // namespace

struct Recordset::View {
  std::shared_ptr<detail::Table> table;
  std::optional<std::vector<std::int64_t>> order;  // sorted copies: the table row of each position
  std::uint64_t id = 0;
  std::int64_t pos = -1;  // -1 before the first row, kEofPos after the last
  bool adding = false;
  std::vector<std::string> newRow;

  std::int64_t Count() const { return order ? static_cast<std::int64_t>(order->size()) : table->rows; }
  std::int64_t Row(std::int64_t p) const { return order ? (*order)[static_cast<std::size_t>(p)] : p; }
  std::int64_t Base() const { return pos == kEofPos ? Count() : pos; }

  void MoveTo(std::int64_t base, std::int64_t rows) {
    std::int64_t target;
    if (rows > 0 && base > std::numeric_limits<std::int64_t>::max() - rows) {
      target = kEofPos;
    } else {
      target = base + rows;  // base is at least -1, so a negative move cannot overflow
    }
    if (target < 0) {
      pos = -1;
    } else if (target >= Count()) {
      pos = kEofPos;
    } else {
      pos = target;
    }
  }

  static std::uint64_t NewId() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1);
  }
};

namespace {

void FlushOpenTables(const std::string& key) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  auto it = r.tables.find(key);
  if (it == r.tables.end()) return;
  auto& list = it->second;
  std::erase_if(list, [](const std::weak_ptr<detail::Table>& w) { return w.expired(); });
  for (auto& w : list) {
    if (auto t = w.lock()) t->Flush();
  }
  if (list.empty()) r.tables.erase(it);
}

}  // namespace

void RewriteTable(const fs::path& file, std::string_view headerLine) {
  if (headerLine.find_first_of("\r\n") != headerLine.npos) Fail(kErrInvalidArgument, "Invalid argument.");
  std::vector<std::string> names = HeaderNames(headerLine);
  if (names.empty() || std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); })) {
    Fail(kErrInvalidArgument, "Invalid argument.");
  }
  FlushOpenTables(RegistryKey(file));
  // A new file renamed over the old one: recordsets still open on the old file keep writing
  // into that one, never into this.
  static std::atomic<unsigned> counter{0};
  fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  fs::path temp = dir / ("." + file.filename().string() + ".tmp" + std::to_string(::getpid()) + "." +
                         std::to_string(counter.fetch_add(1)));
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) FailFile(kErrFileAccess, file);
  struct stat old {};
  std::string text = std::string(headerLine) + "\r\n";
  bool ok = WriteAll(fd, text);
  if (ok && ::stat(file.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    FailFile(kErrFileAccess, file);
  }
}

std::string FormatRow(std::span<const std::string> values) {
  std::string line;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) line += ',';
    line += '"';
    for (char c : values[i]) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  line += "\r\n";
  return line;
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::unique_ptr<View> view) : view_(std::move(view)) {}

Recordset Recordset::Open(const fs::path& file) {
  auto table = std::make_shared<detail::Table>();
  table->path = file;
  table->registryKey = RegistryKey(file);
  FlushOpenTables(table->registryKey);

  // Read and append through one descriptor, so that rows go to the very file that was read.
  int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
  if (fd >= 0) {
    table->writable = true;
  } else if (errno == EACCES || errno == EROFS || errno == EPERM) {
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) FailFile(errno == ENOENT || errno == ENOTDIR ? kErrFileNotFound : kErrFileAccess, file);
  table->fd = fd;
  std::string text;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailFile(kErrFileAccess, file);
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  table->endsWithBreak = text.empty() || text.back() == '\n' || text.back() == '\r';

  std::string_view body(text);
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  Parser parser(body);
  std::vector<std::string> fields;
  std::size_t count = 0;
  if (parser.Next(fields, count)) {
    for (std::size_t f = 0; f < count; ++f) {
      table->names.emplace_back(TrimBlanks(fields[f]));
      table->index.try_emplace(FoldCase(table->names.back()), static_cast<int>(f));
    }
    table->arena.reserve(body.size());
    while (parser.Next(fields, count)) table->AddRow(fields, std::min(count, table->names.size()));
  }

  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    r.tables[table->registryKey].push_back(table);
  }
  auto view = std::make_unique<View>();
  view->table = std::move(table);
  view->id = View::NewId();
  view->pos = view->Count() > 0 ? 0 : -1;
  return Recordset(std::move(view));
}

bool Recordset::IsOpen() const { return view_ != nullptr; }

void Recordset::Close() {
  if (!view_) return;
  std::shared_ptr<detail::Table> table = std::move(view_->table);
  view_.reset();
  if (!table->Flush()) FailFile(kErrFileAccess, table->path);
}

const Recordset::View& Recordset::Live() const {
  if (!view_) Fail(kErrObjectClosed, "Object invalid or no longer set.");
  return *view_;
}

Recordset::View& Recordset::Live() {
  if (!view_) Fail(kErrObjectClosed, "Object invalid or no longer set.");
  return *view_;
}

const fs::path& Recordset::Path() const { return Live().table->path; }

std::int64_t Recordset::RecordCount() const { return Live().Count(); }

int Recordset::FieldCount() const { return static_cast<int>(Live().table->FieldCount()); }

const std::string& Recordset::FieldName(int index) const {
  const detail::Table& t = *Live().table;
  if (index < 0 || static_cast<std::size_t>(index) >= t.FieldCount()) {
    Fail(kErrItemNotFound, "Item not found in this collection.");
  }
  return t.names[static_cast<std::size_t>(index)];
}

int Recordset::FieldIndex(std::string_view name) const {
  const detail::Table& t = *Live().table;
  auto it = t.index.find(FoldCase(TrimBlanks(name)));
  return it == t.index.end() ? -1 : it->second;
}

bool Recordset::Bof() const {
  const View& v = Live();
  return v.Count() == 0 || v.pos == -1;
}

bool Recordset::Eof() const {
  const View& v = Live();
  return v.Count() == 0 || v.pos == kEofPos;
}

void Recordset::MoveFirst() {
  View& v = Live();
  v.pos = v.Count() > 0 ? 0 : -1;
}

void Recordset::MoveLast() {
  View& v = Live();
  v.pos = v.Count() > 0 ? v.Count() - 1 : -1;
}

void Recordset::MoveNext() { Move(1); }
void Recordset::MovePrevious() { Move(-1); }

void Recordset::Move(std::int64_t rows) {
  View& v = Live();
  v.MoveTo(v.Base(), rows);
}

void Recordset::Move(std::int64_t rows, const Bookmark& start) {
  View& v = Live();
  if (start.owner_ != v.id || start.pos_ < 0 || start.pos_ >= v.Count()) {
    Fail(kErrInvalidBookmark, "Not a valid bookmark.");
  }
  v.MoveTo(start.pos_, rows);
}

Bookmark Recordset::GetBookmark() const {
  const View& v = Live();
  bool onRow = v.pos >= 0 && v.pos != kEofPos;
  return Bookmark(v.id, onRow ? v.pos : -1);
}

void Recordset::SetBookmark(const Bookmark& bookmark) { Move(0, bookmark); }

std::int64_t Recordset::Current() const {
  const View& v = Live();
  if (v.pos < 0 || v.pos == kEofPos) Fail(kErrNoCurrentRecord, "No current record.");
  return v.Row(v.pos);
}

std::string Recordset::Field(int index) const {
  std::int64_t row = Current();
  const detail::Table& t = *view_->table;
  if (index < 0 || static_cast<std::size_t>(index) >= t.FieldCount()) {
    Fail(kErrItemNotFound, "Item not found in this collection.");
  }
  return std::string(t.Value(row, static_cast<std::size_t>(index)));
}

std::string Recordset::Field(std::string_view name) const {
  int index = FieldIndex(name);
  if (index < 0) Fail(kErrItemNotFound, "Item not found in this collection.");
  return Field(index);
}

void Recordset::AddNew() {
  View& v = Live();
  v.adding = true;
  v.newRow.assign(v.table->FieldCount(), std::string());
}

void Recordset::SetField(int index, std::string_view value) {
  View& v = Live();
  if (!v.adding) Fail(kErrUpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
  if (index < 0 || static_cast<std::size_t>(index) >= v.newRow.size()) {
    Fail(kErrItemNotFound, "Item not found in this collection.");
  }
  v.newRow[static_cast<std::size_t>(index)] = std::string(value);
}

void Recordset::SetField(std::string_view name, std::string_view value) {
  int index = FieldIndex(name);
  if (index < 0) Fail(kErrItemNotFound, "Item not found in this collection.");
  SetField(index, value);
}

void Recordset::Update() {
  View& v = Live();
  if (!v.adding) Fail(kErrUpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
  v.table->Append(v.newRow);
  if (v.order) v.order->push_back(v.table->rows - 1);
  v.adding = false;
  v.newRow.clear();
}

void Recordset::CancelUpdate() {
  View& v = Live();
  if (!v.adding) Fail(kErrUpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
  v.adding = false;
  v.newRow.clear();
}

bool Recordset::IsAdding() const { return Live().adding; }

Recordset Recordset::Sorted(std::string_view fieldList) const {
  const View& v = Live();
  const detail::Table& t = *v.table;
  std::vector<std::size_t> fields;
  std::string_view rest = fieldList;
  for (;;) {
    std::size_t comma = rest.find(',');
    std::string_view name = TrimBlanks(rest.substr(0, comma));
    if (name.empty()) Fail(kErrInvalidArgument, "Invalid argument.");
    int index = FieldIndex(name);
    if (index < 0) Fail(kErrItemNotFound, "Item not found in this collection.");
    fields.push_back(static_cast<std::size_t>(index));
    if (comma == rest.npos) break;
    rest.remove_prefix(comma + 1);
  }

  const std::size_t n = static_cast<std::size_t>(v.Count());
  // The comparison keys, made once per row and field: a field whose values are all dates
  // (empty ones aside) compares them in time order, empty first; any other field compares
  // its values as text, ignoring case.
  struct Key {
    std::vector<std::string> text;
    std::vector<std::int64_t> dates;
  };
  std::vector<Key> keys(fields.size());
  for (std::size_t k = 0; k < fields.size(); ++k) {
    Key& key = keys[k];
    key.dates.reserve(n);
    bool anyDate = false;
    for (std::size_t p = 0; p < n; ++p) {
      const std::string_view value = t.Value(v.Row(static_cast<std::int64_t>(p)), fields[k]);
      if (value.empty()) {
        key.dates.push_back(std::numeric_limits<std::int64_t>::min());
      } else if (std::optional<std::int64_t> date = DateKey(value)) {
        key.dates.push_back(*date);
        anyDate = true;
      } else {
        anyDate = false;
        break;
      }
    }
    if (anyDate) continue;
    key.dates.clear();
    key.text.resize(n);
    for (std::size_t p = 0; p < n; ++p) {
      key.text[p] = FoldCase(t.Value(v.Row(static_cast<std::int64_t>(p)), fields[k]));
    }
  }
  std::vector<std::int64_t> positions(n);
  std::iota(positions.begin(), positions.end(), 0);
  std::stable_sort(positions.begin(), positions.end(), [&](std::int64_t a, std::int64_t b) {
    const auto i = static_cast<std::size_t>(a), j = static_cast<std::size_t>(b);
    for (const Key& key : keys) {
      if (!key.dates.empty()) {
        if (key.dates[i] != key.dates[j]) return key.dates[i] < key.dates[j];
        continue;
      }
      int c = key.text[i].compare(key.text[j]);
      if (c != 0) return c < 0;
    }
    return false;
  });
  std::vector<std::int64_t> order(n);
  for (std::size_t p = 0; p < n; ++p) order[p] = v.Row(positions[p]);

  auto view = std::make_unique<View>();
  view->table = v.table;
  view->order = std::move(order);
  view->id = View::NewId();
  view->pos = n > 0 ? 0 : -1;
  return Recordset(std::move(view));
}

}  // namespace texttable
