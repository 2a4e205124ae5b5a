// The find window's hits as the walk reported them, kept compactly, with their row texts made
// only when a cell is shown, sorted or printed, and the order the list shows them in.
#pragma once

#include <QList>
#include <QString>

#include <vector>

#include "searchrun.h"

namespace app::catalog {

class FoundRows {
 public:
  // Forgets every hit.
  void Clear();
  // Keeps a hit; its texts are copied. The first hit of a run gives the start folder.
  void Append(const ResultHit& hit);

  int Count() const { return static_cast<int>(items_.size()); }
  // Rows are counted in list order: 0 is the row shown first.
  ResultHit Hit(int row) const;
  QString Text(int row, int column) const { return ResultColumnText(Hit(row), column); }
  int Icon(int row) const { return items_[order_[row]].code + 1; }
  ResultRow Row(int row) const { return RowOfHit(Hit(row)); }
  QList<ResultRow> Rows() const;
  // The hit's place in arrival order, which sorting does not change.
  int ArrivalOf(int row) const { return order_[row]; }

  // Sorts the rows by the text of a column (0-based), comparing the texts as they are shown
  // (exact, case-sensitive); rows with equal texts keep their order. Returns, for each row
  // before sorting, its row afterwards.
  std::vector<int> Sort(int column, bool descending);

 private:
  struct Item {
    qsizetype path = 0;  // offset into text_
    qsizetype note = 0;
    int pathLength = 0;
    int noteLength = 0;
    double serial = 0;
    DATE date = 0;
    LONG sizeKB = 0;
    int code = 0;
  };
  std::vector<Item> items_;  // in arrival order
  std::vector<int> order_;   // list row -> item
  QString text_;             // the hits' paths and notes, one after the other
  QString startFolder_;
};

}  // namespace app::catalog
