// The list pane's model: the control's item vector, the rows shown over it (a row's
// parameter is its index in the vector), the columns of the view mode and the sort order.
// Cell texts are made on demand from the records; no row holds a string of its own.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "browserrules.h"

namespace brevix {

inline constexpr int kImageRole = Qt::UserRole + 1;  // the row's image index

class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The end of a label edit: true when the new name is taken.
  using EditHandler = std::function<bool(int row, const QString& text)>;

  explicit ListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  void SetEditHandler(EditHandler h) { onEdit_ = std::move(h); }
  // Columns: the view mode and count; the arrow column (-1: none) and its image.
  void SetColumns(int viewMode, int count);
  void SetArrow(int column, int image);
  int ViewMode() const { return viewMode_; }

  // Empties the rows and the vector.
  void Clear();
  // Adds records to the vector and rows for them (in one step for the view).
  void Append(std::vector<ListEntry>&& entries);
  void Sort(int sortKey);
  // Removes one row; its record stays in the vector.
  void RemoveRow(int row);
  // Removes every row whose entry `gone` answers true for; the records stay in the vector.
  void RemoveRowsWhere(const std::function<bool(const ListEntry&)>& gone);

  ListEntry& EntryOfRow(int row) { return entries_[static_cast<std::size_t>(rows_[static_cast<std::size_t>(row)])]; }
  const ListEntry& EntryOfRow(int row) const {
    return entries_[static_cast<std::size_t>(rows_[static_cast<std::size_t>(row)])];
  }
  std::vector<ListEntry>& Entries() { return entries_; }
  int Rows() const { return static_cast<int>(rows_.size()); }

 private:
  std::vector<ListEntry> entries_;
  std::vector<int> rows_;
  int viewMode_ = VIEW_FOLDER;
  int columns_ = 0;
  int arrowColumn_ = -1;
  int arrowImage_ = IMAGE_ARROW_UP;
  EditHandler onEdit_;
};

}  // namespace brevix
