// Notes with a category: how they are stored ("WORK      | text") and read back.
#pragma once

#include <QString>

namespace app::catalog {

struct SplitNote {
  QString category;  // the part before the first "|", blanks kept; empty without "|"
  QString text;      // the text after "|" less one blank that follows it
};

// Splits a stored note at its first "|". A "|" at the very end gives an empty text; a text
// that does not begin with a blank loses nothing.
SplitNote SplitCategoryNote(const QString& note);

// The category for sub-items: the category padded to 10 characters and "| ", or "" when
// there is no category.
QString SubItemCategory(const QString& category);

}  // namespace app::catalog
