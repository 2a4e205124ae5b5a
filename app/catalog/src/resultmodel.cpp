// The find window's result list model.
#include "resultmodel.h"

#include "mediapictures.h"

namespace app::catalog {

namespace {

QIcon MakeTypeIcon(int icon) {
  using surface::MediaPicture;
  switch (icon) {
    case 1: return surface::MediaIcon(MediaPicture::LocalDisk);
    case 2: return surface::MediaIcon(MediaPicture::NetworkDrive);
    case 3: return surface::MediaIcon(MediaPicture::Floppy);
    case 4: return surface::MediaIcon(MediaPicture::Zip);
    case 5: return surface::MediaIcon(MediaPicture::CD);
    case 6: return surface::MediaIcon(MediaPicture::Folder);
    default: return surface::MediaIcon(MediaPicture::File);
  }
}

const char* const kTitles[kResultColumns] = {"Item Name", "Serial #", "Location", "Size", "Modified", "Note"};

}  // namespace

const QIcon& TypeIcon(int icon) {
  static const std::array<QIcon, 8> icons = [] {
    std::array<QIcon, 8> all;
    for (int i = 0; i < 8; ++i) all[i] = MakeTypeIcon(i);
    return all;
  }();
  return icons[icon >= 0 && icon < 8 ? icon : 7];
}

ResultModel::ResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultModel::ShowArrived() {
  const int count = rows_.Count();
  if (count <= shown_) return;
  beginInsertRows(QModelIndex(), shown_, count - 1);
  shown_ = count;
  endInsertRows();
}

void ResultModel::Clear() {
  beginResetModel();
  rows_.Clear();
  shown_ = 0;
  endResetModel();
}

void ResultModel::SortBy(int column, bool descending) {
  if (column < 0 || column >= kResultColumns) return;
  ShowArrived();
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<int> moved = rows_.Sort(column, descending);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& i : before)
    after.append(i.row() >= 0 && i.row() < static_cast<int>(moved.size()) ? index(moved[i.row()], i.column())
                                                                          : QModelIndex());
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultModel::SetHeaderIcon(int column, const QIcon& icon) {
  if (column < 0 || column >= kResultColumns) return;
  headerIcons_[column] = icon;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

int ResultModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int ResultModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kResultColumns; }

QVariant ResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shown_) return QVariant();
  switch (role) {
    case Qt::DisplayRole: return rows_.Text(index.row(), index.column());
    case Qt::DecorationRole:
      if (index.column() == kColName) return TypeIcon(rows_.Icon(index.row()));
      return QVariant();
    default: return QVariant();
  }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kResultColumns) return QVariant();
  if (role == Qt::DisplayRole) return QString::fromLatin1(kTitles[section]);
  if (role == Qt::DecorationRole && !headerIcons_[section].isNull()) return headerIcons_[section];
  return QVariant();
}

void ResultModel::sort(int column, Qt::SortOrder order) { SortBy(column, order == Qt::DescendingOrder); }

}  // namespace app::catalog
