// The find window's kept hits: the texts made from them later, their list order after
// sorting, and the list model that shows them.
#include "foundrows.h"

#include <QItemSelectionModel>
#include <QPersistentModelIndex>

#include <gtest/gtest.h>

#include "itemtypes.h"
#include "resultmodel.h"

using namespace app::catalog;

namespace {

struct KeptHit {
  QString path;
  QString note;
  double serial;
  LONG sizeKB;
  int code;
};

ResultHit HitOf(const KeptHit& k, const QString& start) {
  return {k.path, k.note, start, k.serial, k.sizeKB, 0, k.code};
}

// Many hits of varied lengths make the kept text grow through many reallocations; each row's
// texts still come from its own hit.
TEST(FoundRows, TextsOfEveryKeptHit) {
  const DATE d = vbrt::DateFromParts({2026, 12, 9, 15, 5, 0}).value();
  FoundRows rows;
  std::vector<KeptHit> kept;
  for (int i = 0; i < 3000; ++i) {
    const QString name = QString(i % 70, u'\u00e9') + QStringLiteral("\u65e5 %1.mp3").arg(i);
    kept.push_back({QStringLiteral("Disk\\%1\\").arg(i % 7) + name, i % 3 ? QStringLiteral("n%1").arg(i) : QString(),
                    static_cast<double>(i), i * 10, i % 5 ? kCodeFile : kCodeFolder});
  }
  const QString start = QStringLiteral("Start\\Sub");
  for (const KeptHit& k : kept) {
    ResultHit hit = HitOf(k, start);
    hit.date = d;
    rows.Append(hit);
  }
  ASSERT_EQ(rows.Count(), 3000);
  for (int i : {0, 1, 4, 5, 69, 1234, 2999}) {
    ResultHit want = HitOf(kept[i], start);
    want.date = d;
    const ResultRow got = rows.Row(i);
    const ResultRow expected = RowOfHit(want);
    EXPECT_EQ(got.text, expected.text) << i;
    EXPECT_EQ(got.location, QStringLiteral("ROOT:\\Start\\Sub\\Disk\\%1\\").arg(i % 7)) << i;
    EXPECT_EQ(got.note, kept[i].note) << i;
    EXPECT_EQ(got.serial, expected.serial) << i;
    EXPECT_EQ(got.size, expected.size) << i;
    EXPECT_EQ(got.modified, "2026/12/09 03:05 PM");
    EXPECT_EQ(got.icon, kept[i].code + 1);
    EXPECT_EQ(got.date, d);
  }
  EXPECT_EQ(rows.Text(0, kColName), QStringLiteral(" \u65e5 0.mp3"));  // a folder: one blank first
  EXPECT_EQ(rows.Text(0, kColSerial), "(none)");
  EXPECT_EQ(rows.Rows().size(), 3000);
  rows.Clear();
  EXPECT_EQ(rows.Count(), 0);
}

struct SortCase {
  int column;
  bool descending;
  std::vector<int> order;  // arrival numbers, top row first
};

// The column's texts as shown decide, compared exactly; equal texts keep their order.
TEST(FoundRows, SortingByTheShownTexts) {
  const std::vector<KeptHit> kept = {
      {"D\\b.txt", "x", 7, 1234, kCodeFile},  // 0
      {"D\\Sub", "", 0, 0, kCodeFolder},      // 1
      {"D\\a.txt", "x", 7, 99, kCodeFile},    // 2
      {"D\\B.txt", "", 42, 99, kCodeFile},    // 3
      {"E\\b.txt", "x", 7, 5, kCodeFile},     // 4
  };
  const SortCase cases[] = {
      {kColName, true, {0, 4, 2, 3, 1}},  // "b.txt" twice, in arrival order; " Sub" last
      {kColName, false, {1, 3, 2, 0, 4}},  {kColSize, false, {1, 4, 2, 3, 0}},  // right-aligned sizes sort by magnitude
      {kColSerial, true, {3, 0, 2, 4, 1}},                                      // "(none)" after the digits
      {kColNote, false, {1, 3, 0, 2, 4}},
  };
  for (const SortCase& c : cases) {
    FoundRows rows;
    for (const KeptHit& k : kept) rows.Append(HitOf(k, ""));
    const std::vector<int> moved = rows.Sort(c.column, c.descending);
    std::vector<int> order;
    for (int row = 0; row < rows.Count(); ++row) order.push_back(rows.ArrivalOf(row));
    EXPECT_EQ(order, c.order) << c.column << " " << c.descending;
    for (int arrival = 0; arrival < rows.Count(); ++arrival) EXPECT_EQ(rows.ArrivalOf(moved[arrival]), arrival);
  }
  // A second sort starts from the first one's order.
  FoundRows rows;
  for (const KeptHit& k : kept) rows.Append(HitOf(k, ""));
  rows.Sort(kColSize, false);
  rows.Sort(kColNote, true);
  std::vector<int> order;
  for (int row = 0; row < rows.Count(); ++row) order.push_back(rows.ArrivalOf(row));
  EXPECT_EQ(order, (std::vector<int>{4, 2, 0, 1, 3}));
}

TEST(ResultModel, ShowsKeptRowsAndKeepsTheSelectionOnSorting) {
  ResultModel model;
  const std::vector<KeptHit> kept = {
      {"D\\b.txt", "", 1, 1, kCodeFile}, {"D\\a.txt", "", 2, 2, kCodeFile}, {"D\\c.txt", "", 3, 3, kCodeFile}};
  for (const KeptHit& k : kept) model.Append(HitOf(k, ""));
  EXPECT_EQ(model.rowCount(), 0);  // kept, not shown yet
  model.ShowArrived();
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.index(0, kColName).data().toString(), "b.txt");
  EXPECT_EQ(model.index(2, kColSerial).data().toString(), "0000000003");
  EXPECT_FALSE(model.index(0, kColName).data(Qt::DecorationRole).isNull());
  EXPECT_EQ(model.headerData(kColLocation, Qt::Horizontal).toString(), "Location");

  QItemSelectionModel selection(&model);
  selection.setCurrentIndex(model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  model.Append(HitOf({"D\\0.txt", "", 4, 4, kCodeFile}, ""));
  model.SortBy(kColName, false);  // shows the row kept meanwhile too
  ASSERT_EQ(model.rowCount(), 4);
  EXPECT_EQ(model.index(0, kColName).data().toString(), "0.txt");
  EXPECT_EQ(selection.currentIndex().row(), 2);
  EXPECT_EQ(selection.currentIndex().data().toString(), "b.txt");
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_FALSE(selection.currentIndex().isValid());
}

}  // namespace
