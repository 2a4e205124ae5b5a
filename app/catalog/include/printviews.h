// The update dialog's two file views of its print half as data: the file list and the folder
// tree, with their check boxes, filled by the tree listing and read by the label preparation.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

#include "listings.h"

namespace app::catalog {

// The file list's columns: eight, each with its own sort direction. The listing fills the
// first five (name, folder, size, date, type); the last three carry nothing and stay hidden.
inline constexpr int kListColumnCount = 8;
inline constexpr int kListFilledColumns = 5;
QStringList ListColumnTitles();
// An item's texts in column order, one per column.
QStringList ListColumnTexts(const ListingItem& item);

class PrintListView : public ListingListTarget {
 public:
  struct Item {
    ListingItem item;
    bool checked = false;
  };
  void AddItem(const ListingItem& item) override { items_.push_back(Item{item, false}); }
  std::vector<Item>& Items() { return items_; }
  const std::vector<Item>& Items() const { return items_; }
  bool Empty() const { return items_.empty(); }
  void Clear() { items_.clear(); }
  void UncheckAll();
  // A click on column c (0-based) turns its direction round (0 ascending, 1 descending) and
  // answers the new one; the first click sorts descending. -1 for a column not there.
  int ToggleColumnSort(int column);
  int ColumnSortOrder(int column) const { return column >= 0 && column < kListColumnCount ? sortOrders_[column] : 0; }

 private:
  std::vector<Item> items_;
  std::array<int, kListColumnCount> sortOrders_{};
};

class PrintTreeView : public ListingTreeTarget {
 public:
  struct Node {
    QString text;
    int image = 0;
    bool checked = false;
    int parent = -1;
    std::vector<int> children;
  };
  // Node 0 is the root "R" once added.
  void AddRoot(const QString& text, int image) override;
  bool AddNode(const QString& parentKey, const QString& key, const QString& text, int image) override;
  void Finish() override;

  const std::vector<Node>& Nodes() const { return nodes_; }
  const Node& At(int index) const { return nodes_[index]; }
  bool Empty() const { return nodes_.empty(); }
  void Clear();
  // A node's check box; its children, and theirs, follow it.
  void SetChecked(int index, bool checked);

 private:
  void CheckChildren(int parent, bool checked);

  std::vector<Node> nodes_;
  QHash<QString, int> keys_;
};

}  // namespace app::catalog
