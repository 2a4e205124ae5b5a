// The go-to-page dialog of the preview: a page number from 1 to 31999.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

#include "wintypes.h"

class QLineEdit;

namespace designer {

// The page an entry names: a number v with 0 < v < 32000, rounded to a whole page (halves to
// even); nothing for an empty entry, a text that is no number, or a number out of range.
std::optional<SHORT> GotoEntryPage(const QString& entry);

class frmGoto : public QDialog {
  Q_OBJECT
 public:
  // goToPage is called with the page after the dialog has closed on a valid entry.
  frmGoto(std::function<void(SHORT)> goToPage, QWidget* parent = nullptr);
  QLineEdit* txtPage() const { return txtPage_; }

 private:
  void OKButtonClick();

  std::function<void(SHORT)> goToPage_;
  QLineEdit* txtPage_;
};

}  // namespace designer
