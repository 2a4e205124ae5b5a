// frmProp: the item properties dialog ("Properties"): one catalogued item's name, location,
// type, size and date, and its note and category, written back through the browser control's
// SetItemNote. The decisions live in PropState, apart from the widgets.
#pragma once

#include <QDialog>
#include <QVariant>

#include <optional>

#include "icompctl.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTextEdit;

namespace app {
struct AppState;
}

namespace app::catalog {

struct PropState {
  SHORT kind = 2;            // SetItemNote's itmType: 0 file, 1 folder, 2 disk
  QString iconKey;           // "FOLDER", "FLOPPY", "CD", "ZIP", "NET", "HD" or "FILE"
  bool recursiveEnabled = true;
  QString path;              // the catalog path ([5])
  QString name, location, type, size, modified;
  QString loadedNote;        // the note's text without its category part
  QString loadedCategory;    // the category part as stored, blanks kept

  static PropState FromItemInfo(const QVariant& info);
};

// What Apply writes: the stored note and the category for the sub-items.
struct NoteChange {
  QString note;
  QString recurNote;
  LONG recursive = 0;
};

// The apply rules: nothing when the note is unchanged; asks before clearing the sub-items'
// categories (nothing, and asked = No, when the user declines).
std::optional<NoteChange> ApplyProperties(const PropState& state, const QString& category, const QString& noteText,
                                          bool recursive, bool* declined);

class frmProp : public QDialog {
 public:
  frmProp(AppState& app, ICompCtl* compCtl, QWidget* parent = nullptr);
  ~frmProp() override;

  const PropState& state() const { return state_; }
  // OK: false when the dialog stays open.
  bool Apply();
  void NewCategory();

 private:
  void FillCategories(const QString& select);

  AppState& app_;
  ICompCtl* compCtl_;
  PropState state_;
  QComboBox* lstCategory_;
  QTextEdit* edNote_;
  QCheckBox* chkRecursive_;
};

}  // namespace app::catalog
