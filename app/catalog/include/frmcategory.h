// frmCategory: the category editor ("Categories"): add and delete category names; OK replaces
// CategoryNames, writes the settings file and leaves the selected name in ChosenCategory.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace app {
struct Settings;
}

namespace app::catalog {

// The rules of a typed category name: upper case, no "|", at most 10 characters.
QString FilterCategoryName(const QString& text);

class frmCategory : public QDialog {
 public:
  // save writes the settings file; by default the edited settings go to "ctgr.ini", and a
  // failure to write it is reported while the edited list stays in memory.
  explicit frmCategory(Settings& settings, std::function<void()> save = {}, QWidget* parent = nullptr);

  // Empty until OK; then the selected entry's text, or empty without a selection.
  QString ChosenCategory;

  void AddCategory();
  void DeleteCategory();
  void Accept();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Settings& settings_;
  std::function<void()> save_;
  QLineEdit* edCategory_;
  QListWidget* lstCategory_;
  QPushButton* btnAdd_;
  QPushButton* btnDel_;
};

}  // namespace app::catalog
