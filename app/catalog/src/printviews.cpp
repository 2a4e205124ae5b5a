// The print half's file list and folder tree as data.
#include "printviews.h"

#include <algorithm>

namespace app::catalog {

QStringList ListColumnTitles() {
  return {QStringLiteral("Name"),
          QStringLiteral("Location"),
          QStringLiteral("Size"),
          QStringLiteral("Modified"),
          QStringLiteral("Type"),
          QString(),
          QString(),
          QString()};
}

QStringList ListColumnTexts(const ListingItem& item) {
  return {item.text, item.folder, item.size, item.date, item.type, QString(), QString(), QString()};
}

int PrintListView::ToggleColumnSort(int column) {
  if (column < 0 || column >= kListColumnCount) return -1;
  sortOrders_[column] = sortOrders_[column] == 0 ? 1 : 0;
  return sortOrders_[column];
}

void PrintListView::UncheckAll() {
  for (Item& i : items_) i.checked = false;
}

void PrintTreeView::AddRoot(const QString& text, int image) {
  Clear();
  nodes_.push_back(Node{text, image, false, -1, {}});
  keys_.insert(QStringLiteral("R"), 0);
}

bool PrintTreeView::AddNode(const QString& parentKey, const QString& key, const QString& text, int image) {
  const auto parent = keys_.constFind(parentKey);
  if (parent == keys_.constEnd()) return false;
  if (!key.isEmpty() && keys_.contains(key)) return false;
  const int index = static_cast<int>(nodes_.size());
  nodes_.push_back(Node{text, image, false, *parent, {}});
  nodes_[*parent].children.push_back(index);
  if (!key.isEmpty()) keys_.insert(key, index);
  return true;
}

void PrintTreeView::Finish() {
  if (nodes_.empty()) return;
  std::vector<int>& top = nodes_[0].children;
  std::stable_sort(top.begin(), top.end(),
                   [this](int a, int b) { return nodes_[a].text.compare(nodes_[b].text, Qt::CaseInsensitive) < 0; });
}

void PrintTreeView::Clear() {
  nodes_.clear();
  keys_.clear();
}

void PrintTreeView::SetChecked(int index, bool checked) {
  if (index < 0 || index >= static_cast<int>(nodes_.size())) return;
  nodes_[index].checked = checked;
  CheckChildren(index, checked);
}

void PrintTreeView::CheckChildren(int parent, bool checked) {
  // Iterative: a deep tree does not exhaust the stack.
  std::vector<int> pending{parent};
  while (!pending.empty()) {
    const int n = pending.back();
    pending.pop_back();
    for (int child : nodes_[n].children) {
      nodes_[child].checked = checked;
      pending.push_back(child);
    }
  }
}

}  // namespace app::catalog
