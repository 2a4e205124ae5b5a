// The find window's result list as an item model over its hits: the rows shown so far, cell
// texts made when the view asks for them, the type icons, the header's texts and sort arrows.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <array>

#include "foundrows.h"

namespace app::catalog {

// The icon of a type code + 1 (1 local disk ... 6 folder, 7 file), made once.
const QIcon& TypeIcon(int icon);

class ResultModel : public QAbstractTableModel {
 public:
  explicit ResultModel(QObject* parent = nullptr);

  // The hits; rows kept there show in the list once ShowArrived has run.
  const FoundRows& Rows() const { return rows_; }
  void Append(const ResultHit& hit) { rows_.Append(hit); }
  int Shown() const { return shown_; }
  // Shows the rows kept since the last call.
  void ShowArrived();
  // Forgets every row.
  void Clear();
  // Sorts by a column (0-based) in the list's text order; selections follow their rows.
  void SortBy(int column, bool descending);
  void SetHeaderIcon(int column, const QIcon& icon);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  FoundRows rows_;
  int shown_ = 0;
  std::array<QIcon, kResultColumns> headerIcons_;
};

}  // namespace app::catalog
