// The go-to-page dialog: its entry check and the page it hands to the preview.
#include "frmgoto.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms.h"
#include "vbrt.h"

namespace designer {

std::optional<SHORT> GotoEntryPage(const QString& entry) {
  const std::u16string text = entry.toStdU16String();
  if (entry.isEmpty() || !vbrt::IsNumeric(text)) return std::nullopt;
  const std::optional<double> value = vbrt::ParseNumber(text);
  if (!value || !(*value > 0 && *value < 32000)) return std::nullopt;
  return vbrt::CInt(*value);
}

frmGoto::frmGoto(std::function<void(SHORT)> goToPage, QWidget* parent)
    : QDialog(parent), goToPage_(std::move(goToPage)) {
  setObjectName(QStringLiteral("frmGoto"));
  setWindowTitle(QStringLiteral("Go To Page"));
  auto* layout = new QVBoxLayout(this);
  auto* label1 = new QLabel(QStringLiteral("Enter the page number you wish to view."), this);
  label1->setObjectName(QStringLiteral("Label1"));
  auto* label2 = new QLabel(QStringLiteral("Page:"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  txtPage_ = new QLineEdit(this);
  txtPage_->setObjectName(QStringLiteral("txtPage"));
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  layout->addWidget(label1);
  layout->addWidget(label2);
  layout->addWidget(txtPage_);
  layout->addWidget(buttons);
  connect(ok, &QPushButton::clicked, this, &frmGoto::OKButtonClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmGoto::OKButtonClick() {
  const std::optional<SHORT> page = GotoEntryPage(txtPage_->text());
  if (!page) {
    forms::MsgBox(QStringLiteral("You have entered an invalid page number.  Please enter a valid numeric value."),
                  forms::vbCritical + forms::vbOKOnly, QStringLiteral("ERROR!"));
    txtPage_->selectAll();
    return;
  }
  accept();
  if (goToPage_) goToPage_(*page);
}

}  // namespace designer
