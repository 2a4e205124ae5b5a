// The find window's state and decisions, apart from its widgets: the name history, the date
// window of the date options, the result list's column sorting, the path of a hit to open and
// the window's heights.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

#include "vbrt.h"

namespace app::catalog {

// Heights in twips (1/1440 inch; 15 to a pixel on the screen).
inline constexpr int kCollapsedHeightTwips = 3650;
inline constexpr int kExpandedMinHeightTwips = 6450;
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kHistorySize = 10;

// The name history: newest first, at most 10 distinct names.
QStringList HistoryFromSettings(const std::array<QString, 11>& stored);
void StoreHistory(const QStringList& history, std::array<QString, 11>& stored);
// A name searched for: added at the top unless it is already there (exact comparison; then
// nothing moves); the 10th name gives way when the list is full.
void AddToHistory(QStringList& history, const QString& name);

// The date window (SearchFromDate, SearchToDate); both 0: no date criterion.
struct DateWindow {
  DATE from = 0;
  DATE to = 0;
};
// The end of a picked day: that day plus 23:59:59.
DATE EndOfDay(DATE day);
// "during the previous N days/months", counted back from today and ending at the end of
// today; nothing for a text that is not a number.
std::optional<DateWindow> PreviousDays(const QString& text, DATE today);
std::optional<DateWindow> PreviousMonths(const QString& text, DATE today);

// The result list's column sorting: a click on column n (1-based) toggles its order (0 to 1,
// anything else to 0: the first click sorts descending).
class ColumnSorting {
 public:
  static constexpr int kColumns = 8;
  // The new order of the column (1 descending, 0 ascending).
  int Click(int column);
  int Order(int column) const { return column >= 1 && column <= kColumns ? orders_[column - 1] : 0; }
  // The column sorted before the last click (0: none), whose arrow is to be cleared.
  int Previous() const { return previous_; }
  int Last() const { return last_; }

 private:
  std::array<int, kColumns> orders_{};
  int last_ = 0;
  int previous_ = 0;
};

// The catalog path of a hit from its Location and row text: without "ROOT:\", the trimmed
// name, "/" between components.
QString CatalogPathOfHit(const QString& location, const QString& rowText);

}  // namespace app::catalog
