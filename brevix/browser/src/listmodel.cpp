// The list pane's model over the item vector.
#include "listmodel.h"

#include <algorithm>

#include "imagelist.h"
#include "namefold.h"

namespace brevix {

ListModel::ListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows() || index.column() >= columns_) return {};
  const ListEntry& e = EntryOfRow(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return QString::fromStdU16String(CellText(e, viewMode_, index.column()));
    case Qt::DecorationRole:
      return index.column() == 0 ? QVariant(ImageAt(ListImage(e) < 0 ? IMAGE_FILE : ListImage(e))) : QVariant();
    case Qt::TextAlignmentRole: {
      const auto& cols = ColumnsOf(viewMode_);
      bool right = static_cast<std::size_t>(index.column()) < cols.size() && cols[index.column()].right;
      return QVariant::fromValue(Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    case kImageRole:
      return ListImage(e);
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columns_) return {};
  const auto& cols = ColumnsOf(viewMode_);
  if (static_cast<std::size_t>(section) >= cols.size()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromUtf16(cols[section].title);
    case Qt::DecorationRole:
      return section == arrowColumn_ ? QVariant(ImageAt(arrowImage_)) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment((cols[section].right ? Qt::AlignRight : Qt::AlignLeft) |
                                               Qt::AlignVCenter));
    default:
      return {};
  }
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == 0) f |= Qt::ItemIsEditable;
  return f;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != 0 || !onEdit_) return false;
  if (!onEdit_(index.row(), value.toString())) return false;
  emit dataChanged(index, index);
  return true;
}

void ListModel::SetColumns(int viewMode, int count) {
  if (viewMode == viewMode_ && count == columns_) return;
  beginResetModel();
  viewMode_ = viewMode;
  columns_ = count;
  endResetModel();
}

void ListModel::SetArrow(int column, int image) {
  arrowColumn_ = column;
  arrowImage_ = image;
  if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void ListModel::Clear() {
  beginResetModel();
  rows_.clear();
  entries_.clear();
  endResetModel();
}

void ListModel::Append(std::vector<ListEntry>&& more) {
  if (more.empty()) return;
  const int first = Rows();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(more.size()) - 1);
  const int base = static_cast<int>(entries_.size());
  entries_.reserve(entries_.size() + more.size());
  for (std::size_t i = 0; i < more.size(); ++i) {
    entries_.push_back(std::move(more[i]));
    rows_.push_back(base + static_cast<int>(i));
  }
  endInsertRows();
}

void ListModel::Sort(int sortKey) {
  emit layoutAboutToBeChanged();
  // Persistent indexes (the selection mark, an open editor) follow their records.
  const QModelIndexList before = persistentIndexList();
  std::vector<int> held;
  held.reserve(static_cast<std::size_t>(before.size()));
  for (const QModelIndex& i : before) held.push_back(rows_[static_cast<std::size_t>(i.row())]);
  const int column = sortKey >= 100 ? sortKey - 100 : sortKey;
  if (column == 0) {
    // By name, the usual order: each name is folded once, not once per comparison.
    std::vector<std::u16string> folded(entries_.size());
    for (int r : rows_) folded[static_cast<std::size_t>(r)] = Folded(entries_[static_cast<std::size_t>(r)].record.name);
    const int d = sortKey >= 100 ? 1 : -1;
    std::stable_sort(rows_.begin(), rows_.end(), [&](int a, int b) {
      const ItemRecord& x = entries_[static_cast<std::size_t>(a)].record;
      const ItemRecord& y = entries_[static_cast<std::size_t>(b)].record;
      // Folders and files stay grouped, as CompareEntries keeps them.
      if (x.kind == ItemFolder && y.kind == ItemFile) return -d < 0;
      if (x.kind == ItemFile && y.kind == ItemFolder) return d < 0;
      const int c = folded[static_cast<std::size_t>(a)].compare(folded[static_cast<std::size_t>(b)]);
      return d * (c < 0 ? -1 : (c > 0 ? 1 : 0)) < 0;
    });
  } else {
    std::stable_sort(rows_.begin(), rows_.end(), [&](int a, int b) {
      return CompareEntries(entries_[static_cast<std::size_t>(a)], entries_[static_cast<std::size_t>(b)], sortKey) < 0;
    });
  }
  if (!before.isEmpty()) {
    std::vector<int> rowOf(entries_.size(), -1);
    for (std::size_t r = 0; r < rows_.size(); ++r) rowOf[static_cast<std::size_t>(rows_[r])] = static_cast<int>(r);
    QModelIndexList after;
    for (qsizetype k = 0; k < before.size(); ++k)
      after.push_back(index(rowOf[static_cast<std::size_t>(held[static_cast<std::size_t>(k)])], before[k].column()));
    changePersistentIndexList(before, after);
  }
  emit layoutChanged();
}

void ListModel::RemoveRow(int row) {
  if (row < 0 || row >= Rows()) return;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void ListModel::RemoveRowsWhere(const std::function<bool(const ListEntry&)>& gone) {
  // From the end, a run of neighbouring rows at a time.
  for (int r = Rows(); r-- > 0;) {
    if (!gone(EntryOfRow(r))) continue;
    int first = r;
    while (first > 0 && gone(EntryOfRow(first - 1))) --first;
    beginRemoveRows(QModelIndex(), first, r);
    rows_.erase(rows_.begin() + first, rows_.begin() + r + 1);
    endRemoveRows();
    r = first;
  }
}

}  // namespace brevix
