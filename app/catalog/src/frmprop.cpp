// The item properties dialog and its rules.
#include "frmprop.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include "appstate.h"
#include "dialogwidgets.h"
#include "forms.h"
#include "frmcategory.h"
#include "iteminfovariant.h"
#include "itemtypes.h"
#include "mediapictures.h"
#include "notes.h"

namespace app::catalog {

namespace {

// The picture of an item kind's icon key.
surface::MediaPicture PictureOfKey(const QString& key) {
  using surface::MediaPicture;
  if (key == u"FOLDER") return MediaPicture::Folder;
  if (key == u"FLOPPY") return MediaPicture::Floppy;
  if (key == u"CD") return MediaPicture::CD;
  if (key == u"ZIP") return MediaPicture::Zip;
  if (key == u"NET") return MediaPicture::NetworkDrive;
  if (key == u"HD") return MediaPicture::LocalDisk;
  return MediaPicture::File;
}

}  // namespace

PropState PropState::FromItemInfo(const QVariant& info) {
  PropState s;
  s.type = ItemInfoText(info, kInfoType);
  const QString& t = s.type;
  if (t == u"File Folder") {
    s.iconKey = QStringLiteral("FOLDER");
    s.kind = 1;
  } else if (t == u"3\u00bd\" Floppy Disk" || t == u"Floppy Disk") {
    s.iconKey = QStringLiteral("FLOPPY");
  } else if (t == u"CD-RW Disk") {
    s.iconKey = QStringLiteral("CD");
  } else if (t == u"100MB Zip Drive" || t == u"Zip Drive" || t == u"Zip Disk") {
    s.iconKey = QStringLiteral("ZIP");
  } else if (t == u"Network Connection") {
    s.iconKey = QStringLiteral("NET");
  } else if (t == u"Local Disk") {
    s.iconKey = QStringLiteral("HD");
  } else if (t.endsWith(u"File")) {
    s.iconKey = QStringLiteral("FILE");
    s.kind = 0;
    s.recursiveEnabled = false;
  } else {
    s.iconKey = QStringLiteral("FLOPPY");
  }
  const SplitNote note = SplitCategoryNote(ItemInfoText(info, kInfoNote));
  s.loadedCategory = note.category;
  s.loadedNote = note.text;
  s.path = ItemInfoText(info, kInfoName);
  const QStringList parts = s.path.split(u'/');
  s.location = QStringLiteral("ROOT:");
  for (qsizetype i = 0; i + 1 < parts.size(); ++i) s.location += u'\\' + parts[i];
  if (parts.size() < 2) s.location = QStringLiteral("ROOT:\\");
  s.name = parts.back();
  const qlonglong bytes = ItemInfoBytes(info, kInfoSize);
  s.size = FormatNumber(static_cast<double>(bytes) / 1024.0, u"#,##0") + QStringLiteral("K (") +
           QString::number(bytes) + QStringLiteral(" Bytes)");
  s.modified = QString::fromStdU16String(vbrt::DateToText(ItemInfoNumber(info, kInfoTimeA)));
  return s;
}

std::optional<NoteChange> ApplyProperties(const PropState& state, const QString& category, const QString& noteText,
                                          bool recursive, bool* declined) {
  if (declined) *declined = false;
  NoteChange change;
  if (recursive) {
    if (!category.isEmpty()) {
      change.recurNote = SubItemCategory(category);
    } else if (forms::MsgBox(QStringLiteral("No category selected for this item.  If you continue, categories for the "
                                            "subitems will be cleared.  Would you like to continue?"),
                             forms::vbYesNo, QStringLiteral("WARNING!")) != forms::vbYes) {
      if (declined) *declined = true;
      return std::nullopt;
    }
  }
  if (category == state.loadedCategory && noteText == state.loadedNote && !recursive) return std::nullopt;
  change.note = noteText.isEmpty() && category.isEmpty() ? QString() : CategoryNote(category, noteText);
  change.recursive = recursive ? 1 : 0;
  return change;
}

frmProp::frmProp(AppState& app, ICompCtl* compCtl, QWidget* parent)
    : QDialog(parent), app_(app), compCtl_(compCtl), state_(PropState::FromItemInfo(app.selection.SelectedItemInfo)) {
  setObjectName(QStringLiteral("frmProp"));
  setWindowTitle(QStringLiteral("Properties"));
  ++app_.shell.OpenDialogCount;
  auto* outer = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto label = [this](const char* name, const QString& text) { return NamedLabel(name, text, this); };
  auto* icon = label("picIcon", QString());
  icon->setPixmap(surface::DrawMediaPicture(PictureOfKey(state_.iconKey), 32));
  icon->setToolTip(state_.iconKey);
  form->addRow(icon, label("lbFileName", state_.name));
  form->addRow(label("Label3", QStringLiteral("Location:")), label("lbLocation", state_.location));
  form->addRow(label("Label2", QStringLiteral("Type:")), label("lbType", state_.type));
  form->addRow(label("Label4", QStringLiteral("Size:")), label("lbSize", state_.size));
  form->addRow(label("Label7", QStringLiteral("Modified:")), label("lbModify", state_.modified));
  edNote_ = new QTextEdit(this);
  edNote_->setObjectName(QStringLiteral("edNote"));
  edNote_->setAcceptRichText(false);
  edNote_->setPlainText(state_.loadedNote);
  connect(edNote_, &QTextEdit::textChanged, this, [this] {
    const QString t = edNote_->toPlainText();
    if (t.size() > 255) edNote_->setPlainText(t.left(255));
  });
  form->addRow(label("Label6", QStringLiteral("Note:")), edNote_);
  auto* catRow = new QHBoxLayout;
  lstCategory_ = new QComboBox(this);
  lstCategory_->setObjectName(QStringLiteral("lstCategory"));
  catRow->addWidget(lstCategory_, 1);
  auto* btnEdit = new QPushButton(QStringLiteral("&New"), this);
  btnEdit->setObjectName(QStringLiteral("btnEdit"));
  catRow->addWidget(btnEdit);
  form->addRow(label("Label5", QStringLiteral("Category:")), catRow);
  outer->addLayout(form);
  chkRecursive_ = new QCheckBox(QStringLiteral("Set the same category for all subitems"), this);
  chkRecursive_->setObjectName(QStringLiteral("chkRecursive"));
  chkRecursive_->setEnabled(state_.recursiveEnabled);
  outer->addWidget(chkRecursive_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);
  FillCategories(state_.loadedCategory);
  connect(lstCategory_, &QComboBox::activated, this, [this](int) {
    if (lstCategory_->currentText() == u"(none)") lstCategory_->setCurrentIndex(-1);
  });
  connect(btnEdit, &QPushButton::clicked, this, [this] { NewCategory(); });
  connect(ok, &QPushButton::clicked, this, [this] {
    if (Apply()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

frmProp::~frmProp() { --app_.shell.OpenDialogCount; }

void frmProp::FillCategories(const QString& select) {
  lstCategory_->clear();
  for (const QString& n : app_.settings.CategoryNames) lstCategory_->addItem(n.isEmpty() ? QStringLiteral("(none)") : n);
  lstCategory_->addItem(QStringLiteral("(none)"));
  lstCategory_->setCurrentIndex(-1);
  const QString wanted = select.trimmed();
  if (wanted.isEmpty()) return;
  for (int i = 0; i < app_.settings.CategoryNames.size(); ++i)
    if (app_.settings.CategoryNames[i].trimmed() == wanted) lstCategory_->setCurrentIndex(i);
}

void frmProp::NewCategory() {
  frmCategory editor(app_.settings, {}, this);
  forms::ShowModal(&editor, this);
  FillCategories(editor.ChosenCategory);
}

bool frmProp::Apply() {
  const QString category = lstCategory_->currentIndex() < 0 || lstCategory_->currentText() == u"(none)"
                               ? QString()
                               : lstCategory_->currentText();
  bool declined = false;
  const auto change = ApplyProperties(state_, category, edNote_->toPlainText(), chkRecursive_->isChecked(), &declined);
  if (declined) return false;
  if (!change) return true;
  if (!compCtl_) return false;
  const HRESULT hr = compCtl_->SetItemNote(ToBstr(state_.path).Get(), ToBstr(change->note).Get(), state_.kind,
                                           ToBstr(change->recurNote).Get(), change->recursive);
  return SUCCEEDED(hr);
}

}  // namespace app::catalog
