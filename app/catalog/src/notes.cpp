// Notes with a category: the split at "|" and the sub-items' category.
#include "notes.h"

#include "itemtypes.h"

namespace app::catalog {

SplitNote SplitCategoryNote(const QString& note) {
  const qsizetype p = note.indexOf(u'|');
  if (p < 0) return {QString(), note};
  QString text = note.mid(p + 1);
  if (text.startsWith(u' ')) text.remove(0, 1);
  return {note.left(p), text};
}

QString SubItemCategory(const QString& category) {
  if (category.isEmpty()) return QString();
  return FormatText(category, u"!@@@@@@@@@@") + QStringLiteral("| ");
}

}  // namespace app::catalog
