// The category editor.
#include "frmcategory.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "appstate.h"
#include "catalogdialogs.h"
#include "global.h"

namespace app::catalog {

QString FilterCategoryName(const QString& text) {
  QString s = text.toUpper();
  s.remove(u'|');
  return s.left(10);
}

frmCategory::frmCategory(Settings& settings, std::function<void()> save, QWidget* parent)
    : QDialog(parent), settings_(settings), save_(std::move(save)) {
  setObjectName(QStringLiteral("frmCategory"));
  setWindowTitle(QStringLiteral("Categories"));
  if (!save_) save_ = [this] { SaveSettingsReportingFailure(settings_); };
  auto* outer = new QVBoxLayout(this);
  auto* frame = new QGroupBox(this);
  frame->setObjectName(QStringLiteral("Frame1"));
  auto* box = new QVBoxLayout(frame);
  auto* help = new QLabel(
      QStringLiteral("To add a new category, enter a 10-character category name in the edit box below and press the "
                     "\"Add Category\" button.  To remove a category, select the desired category from the listbox "
                     "and press the \"Delete Category\" button."),
      frame);
  help->setObjectName(QStringLiteral("Label2"));
  help->setWordWrap(true);
  box->addWidget(help);
  auto* row = new QHBoxLayout;
  auto* label1 = new QLabel(QStringLiteral("Category Name:"), frame);
  label1->setObjectName(QStringLiteral("Label1"));
  row->addWidget(label1);
  edCategory_ = new QLineEdit(frame);
  edCategory_->setObjectName(QStringLiteral("edCategory"));
  edCategory_->setMaxLength(10);
  row->addWidget(edCategory_, 1);
  btnAdd_ = new QPushButton(QStringLiteral("&Add Category"), frame);
  btnAdd_->setObjectName(QStringLiteral("btnAdd"));
  btnAdd_->setEnabled(false);
  row->addWidget(btnAdd_);
  box->addLayout(row);
  auto* lab1 = new QLabel(QStringLiteral(" Available Categories"), frame);
  lab1->setObjectName(QStringLiteral("Lab1"));
  box->addWidget(lab1);
  auto* row2 = new QHBoxLayout;
  lstCategory_ = new QListWidget(frame);
  lstCategory_->setObjectName(QStringLiteral("lstCategory"));
  row2->addWidget(lstCategory_, 1);
  btnDel_ = new QPushButton(QStringLiteral("&Delete Category"), frame);
  btnDel_->setObjectName(QStringLiteral("btnDel"));
  btnDel_->setEnabled(false);
  row2->addWidget(btnDel_, 0, Qt::AlignTop);
  box->addLayout(row2);
  outer->addWidget(frame);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cmdCancel"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);

  // Load.
  for (const QString& name : settings_.CategoryNames)
    if (!name.isEmpty()) lstCategory_->addItem(name);
  if (lstCategory_->count() > 0) {
    lstCategory_->setCurrentRow(0);
    btnDel_->setEnabled(true);
  }
  SetTextCaseStyle(edCategory_, true);

  connect(edCategory_, &QLineEdit::textChanged, this, [this](const QString& text) {
    const QString filtered = FilterCategoryName(text);
    if (filtered != text) {
      const int pos = edCategory_->cursorPosition();
      edCategory_->setText(filtered);
      edCategory_->setCursorPosition(std::min(pos, static_cast<int>(filtered.size())));
      return;
    }
    if (!text.isEmpty()) btnAdd_->setEnabled(true);
  });
  connect(btnAdd_, &QPushButton::clicked, this, [this] { AddCategory(); });
  connect(btnDel_, &QPushButton::clicked, this, [this] { DeleteCategory(); });
  connect(lstCategory_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) btnDel_->setEnabled(true);
  });
  connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void frmCategory::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  edCategory_->setFocus();
}

void frmCategory::AddCategory() {
  const QString name = edCategory_->text();
  if (name.isEmpty()) return;
  lstCategory_->addItem(name);
  edCategory_->clear();
  lstCategory_->setCurrentRow(lstCategory_->count() - 1);
  btnAdd_->setEnabled(false);
}

void frmCategory::DeleteCategory() {
  const int row = lstCategory_->currentRow();
  if (row < 0 || lstCategory_->count() == 0) {
    btnDel_->setEnabled(false);
    return;
  }
  delete lstCategory_->takeItem(row);
  if (lstCategory_->count() > 0) lstCategory_->setCurrentRow(0);
  else btnDel_->setEnabled(false);
}

void frmCategory::Accept() {
  QStringList names;
  for (int i = 0; i < lstCategory_->count(); ++i) names.append(lstCategory_->item(i)->text());
  settings_.CategoryNames = names;
  ChosenCategory = lstCategory_->currentItem() ? lstCategory_->currentItem()->text() : QString();
  save_();
  accept();
}

}  // namespace app::catalog
