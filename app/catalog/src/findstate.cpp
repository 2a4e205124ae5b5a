// The find window's history, dates, sorting and hit paths.
#include "findstate.h"

namespace app::catalog {

QStringList HistoryFromSettings(const std::array<QString, 11>& stored) {
  QStringList history;
  for (int i = 0; i < kHistorySize; ++i)
    if (!stored[i].isEmpty() && !history.contains(stored[i])) history.append(stored[i]);
  return history;
}

void StoreHistory(const QStringList& history, std::array<QString, 11>& stored) {
  for (int i = 0; i < kHistorySize; ++i) stored[i] = i < history.size() ? history[i] : QString();
}

void AddToHistory(QStringList& history, const QString& name) {
  if (name.isEmpty() || history.contains(name)) return;
  while (history.size() > kHistorySize - 1) history.removeAt(kHistorySize - 1);
  history.prepend(name);
}

DATE EndOfDay(DATE day) { return vbrt::AddSeconds(day, 86399); }

namespace {
std::optional<long long> Count(const QString& text) {
  auto n = vbrt::ParseNumber(text.toStdU16String());
  if (!n || *n < 0 || *n > 100000) return std::nullopt;
  return static_cast<long long>(*n);
}
}  // namespace

std::optional<DateWindow> PreviousDays(const QString& text, DATE today) {
  auto n = Count(text);
  if (!n) return std::nullopt;
  return DateWindow{vbrt::AddDays(today, -*n), EndOfDay(today)};
}

std::optional<DateWindow> PreviousMonths(const QString& text, DATE today) {
  auto n = Count(text);
  if (!n) return std::nullopt;
  return DateWindow{vbrt::AddMonths(today, -*n), EndOfDay(today)};
}

int ColumnSorting::Click(int column) {
  if (column < 1 || column > kColumns) return 0;
  int& order = orders_[column - 1];
  order = order == 0 ? 1 : 0;
  previous_ = last_ != column ? last_ : 0;
  last_ = column;
  return order;
}

QString CatalogPathOfHit(const QString& location, const QString& rowText) {
  QString path = location.mid(6) + rowText.trimmed();
  path.replace(u'\\', u'/');
  return path;
}

}  // namespace app::catalog
