// The find window's hits and their list order.
#include "foundrows.h"

#include <algorithm>
#include <limits>

namespace app::catalog {

void FoundRows::Clear() {
  items_.clear();
  order_.clear();
  text_.clear();
  startFolder_.clear();
}

void FoundRows::Append(const ResultHit& hit) {
  constexpr qsizetype kMaxLength = std::numeric_limits<int>::max();
  if (items_.empty()) startFolder_ = hit.startFolder.toString();
  Item item;
  item.path = text_.size();
  item.pathLength = static_cast<int>(std::min(hit.path.size(), kMaxLength));
  text_.append(hit.path.left(item.pathLength));
  item.note = text_.size();
  item.noteLength = static_cast<int>(std::min(hit.note.size(), kMaxLength));
  text_.append(hit.note.left(item.noteLength));
  item.serial = hit.serial;
  item.date = hit.date;
  item.sizeKB = hit.sizeKB;
  item.code = hit.code;
  order_.push_back(static_cast<int>(items_.size()));
  items_.push_back(item);
}

ResultHit FoundRows::Hit(int row) const {
  const Item& item = items_[order_[row]];
  ResultHit hit;
  const QStringView text(text_);
  hit.path = text.mid(item.path, item.pathLength);
  hit.note = text.mid(item.note, item.noteLength);
  hit.startFolder = startFolder_;
  hit.serial = item.serial;
  hit.sizeKB = item.sizeKB;
  hit.date = item.date;
  hit.code = item.code;
  return hit;
}

QList<ResultRow> FoundRows::Rows() const {
  QList<ResultRow> rows;
  rows.reserve(Count());
  for (int row = 0; row < Count(); ++row) rows.append(Row(row));
  return rows;
}

std::vector<int> FoundRows::Sort(int column, bool descending) {
  const int n = Count();
  // The texts once per row, in the current order; then the rows are ordered by them.
  std::vector<QString> texts(n);
  for (int row = 0; row < n; ++row) texts[row] = Text(row, column);
  std::vector<int> rows(n);
  for (int row = 0; row < n; ++row) rows[row] = row;
  if (descending)
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return texts[b].compare(texts[a]) < 0; });
  else
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return texts[a].compare(texts[b]) < 0; });
  std::vector<int> order(n), moved(n);
  for (int to = 0; to < n; ++to) {
    order[to] = order_[rows[to]];
    moved[rows[to]] = to;
  }
  order_ = std::move(order);
  return moved;
}

}  // namespace app::catalog
