// The tree pane: the root, disks and folders loaded from the catalog, the selection path and
// select-by-path, the selection change that fills the list, disk renames and deletes.
#include <QStandardItem>
#include <algorithm>

#include "cfb.h"
#include "compctl_impl.h"
#include "ctlwindow.h"
#include "forms.h"
#include "imagelist.h"
#include "itemnames.h"
#include "longnames.h"
#include "namefold.h"

namespace brevix {

namespace {

const QString kWarning = QStringLiteral("WARNING!");
const QString kRenamePrompt = QStringLiteral(
    "You are about to rename an item in your disk inventory.  Remember to update the disk containing that item.  "
    "Press OK to proceed.");
const QString kDeletePrompt = QStringLiteral(
    "You are about to delete an item in your disk inventory.  Remember to update the disk containing that item.  "
    "Press OK to proceed.");
const QString kFixedDiskName =
    QStringLiteral("Disk names associated with hard drives or network drives may not be changed.");
const QString kNameInUse =
    QStringLiteral("The specified Item Name is already in use.\nPlease enter a different name.");
const QString kDiskNameRefused = QStringLiteral(
    "Disk names may not contain the characters : \\ / and may be at most 31 characters long.\n"
    "Please enter a different name.");

std::u16string TextOf(const QStandardItem* item) { return item->text().toStdU16String(); }

QStandardItem* NewTreeItem(const std::u16string& text, int image, int selectedImage) {
  auto* item = new QStandardItem(QString::fromStdU16String(text));
  item->setEditable(true);
  item->setIcon(TreeIcon(image, selectedImage));
  item->setData(image, kTreeImageRole);
  item->setData(selectedImage, kTreeSelectedImageRole);
  return item;
}

}  // namespace

HRESULT ForEachElement(IEnumSTATSTG* en, const std::function<void(std::u16string_view, DWORD)>& fn) {
  xcom::ComPtr<IEnumSTATSTGLent> lent;
  en->QueryInterface(IID_IEnumSTATSTGLent, lent.ReleaseAndGetAddressOfVoid());
  constexpr ULONG kBatch = 64;
  STATSTG batch[kBatch];
  ULONG lengths[kBatch];
  for (;;) {
    ULONG got = 0;
    HRESULT hr = lent ? lent->NextLent(kBatch, batch, lengths, &got) : en->Next(kBatch, batch, &got);
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < got; ++i) {
      const OLECHAR* raw = batch[i].pwcsName ? batch[i].pwcsName : u"";
      fn(lent ? std::u16string_view(raw, lengths[i]) : std::u16string_view(raw), batch[i].type);
      if (!lent) CoTaskMemFree(batch[i].pwcsName);
    }
    if (hr != S_OK || got < kBatch) return S_OK;
  }
}

bool IsReservedElement(std::u16string_view e) {
  return e == kItemStreamName || e == kHeaderStreamName || e == kLongNameStreamName;
}

// Messages the panes show.
int PaneMessage(const QString& text, int buttons) { return forms::MsgBox(text, buttons, kWarning); }
const QString& RenamePrompt() { return kRenamePrompt; }
const QString& DeletePrompt() { return kDeletePrompt; }
const QString& FixedDiskMessage() { return kFixedDiskName; }

QStandardItem* CompCtl::InsertRoot() {
  QStandardItem* root = NewTreeItem(u"ROOT", IMAGE_ROOT, IMAGE_ROOT);
  window_->treeModel()->appendRow(root);
  return root;
}

HRESULT CompCtl::LoadChildren(SHORT location, QStandardItem* parent) {
  struct Child {
    std::u16string shown, element;
  };
  std::vector<Child> children;
  {
    xcom::ComPtr<IEnumSTATSTG> en;
    HRESULT hr = doc_->EnumElements(location, en.GetAddressOf());
    if (FAILED(hr)) return hr;
    hr = ForEachElement(en.Get(), [&](std::u16string_view name, DWORD type) {
      if (type != STGTY_STORAGE || IsReservedElement(name)) return;
      std::u16string element(name);
      std::u16string shown = element;
      if (element.starts_with(kLongNamePrefix)) {
        xcom::Bstr longName;
        doc_->LongNameFromElement(element.c_str(), longName.ReleaseAndGetAddressOf());
        if (!longName.IsNull()) shown = std::u16string(longName.View());
      }
      children.push_back({std::move(shown), std::move(element)});
    });
    if (FAILED(hr)) return hr;
  }
  // One level in the tree's order: names ignoring case.
  std::stable_sort(children.begin(), children.end(),
                   [](const Child& a, const Child& b) { return CompareIgnoreCase(a.shown, b.shown) < 0; });
  const bool disks = parent->parent() == nullptr && parent->model() != nullptr;
  for (const Child& c : children) {
    int image = IMAGE_FOLDER, selected = IMAGE_FOLDER_OPEN;
    if (disks) {
      ItemRecord r;
      r.name = c.element;
      r.kind = ItemDisk;
      image = selected = SUCCEEDED(doc_->GetItemInfo(nullptr, &r)) ? DiskImage(r.typeText) : IMAGE_NONE;
    }
    // A subtree is built before it joins the model, so the view hears of it once.
    QStandardItem* item = NewTreeItem(c.shown, image, selected);
    HRESULT hr = doc_->SetCurrentFolder(xcom::Bstr(c.element).Get(), FOLDER_CHILD);
    if (SUCCEEDED(hr)) {
      hr = LoadChildren(FOLDER_CHILD, item);
      HRESULT up = doc_->SetCurrentFolder(nullptr, FOLDER_PARENT);
      if (SUCCEEDED(hr)) hr = up;
    }
    parent->appendRow(item);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

QStandardItem* CompCtl::SelectedTreeItem() const {
  if (!window_) return nullptr;
  const QModelIndex cur = window_->tree()->currentIndex();
  return cur.isValid() ? window_->treeModel()->itemFromIndex(cur) : nullptr;
}

int CompCtl::BuildSelectionPath(std::u16string* path) {
  QStandardItem* item = SelectedTreeItem();
  std::vector<const QStandardItem*> chain;
  for (const QStandardItem* i = item; i && i->parent(); i = i->parent()) chain.push_back(i);
  std::u16string p;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!p.empty() || it != chain.rbegin()) p += u'/';
    p += TextOf(*it);
  }
  savedTreePath_ = p;
  if (path) *path = p;
  return static_cast<int>(chain.size());
}

QStandardItem* CompCtl::FindChild(QStandardItem* item, const std::u16string& text) const {
  if (!item) return nullptr;
  const QString t = QString::fromStdU16String(text);
  for (int r = 0; r < item->rowCount(); ++r) {
    QStandardItem* c = item->child(r);
    if (c && c->text() == t) return c;
  }
  return nullptr;
}

QStandardItem* CompCtl::TreeItemAt(const std::u16string& path) const {
  if (!window_) return nullptr;
  QStandardItem* cur = window_->treeModel()->item(0);
  std::u16string_view rest = path;
  while (cur && !rest.empty()) {
    const std::size_t cut = rest.find(u'/');
    cur = FindChild(cur, std::u16string(rest.substr(0, cut)));
    rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
  }
  return cur;
}

HRESULT CompCtl::SelectByPath(const std::u16string& path) {
  if (!window_) return S_OK;
  QStandardItem* cur = window_->treeModel()->item(0);
  if (!cur) return S_OK;
  std::u16string_view rest = path;
  while (!rest.empty()) {
    const std::size_t cut = rest.find(u'/');
    const std::u16string piece(rest.substr(0, cut));
    if (QStandardItem* next = FindChild(cur, piece)) cur = next;
    else break;
    if (cut == std::u16string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  SelectTreeItem(cur);
  return S_OK;
}

void CompCtl::SelectTreeItem(QStandardItem* item) {
  TreePane* tree = window_->tree();
  if (!item) {
    tree->selectionModel()->clearCurrentIndex();
    tree->selectionModel()->clearSelection();
    return;
  }
  tree->setCurrentIndex(item->index());
  tree->scrollTo(item->index());
}

void CompCtl::ResetSelectionRecord(const std::u16string& name) {
  selection_ = ItemRecord{};
  selection_.kind = ItemFile;
  selection_.name = name;
}

void CompCtl::ClearPanes() {
  ++treeGeneration_;
  if (!window_) return;
  reloading_ = true;
  window_->treeModel()->clear();
  reloading_ = false;
  window_->listModel()->Clear();
}

void CompCtl::ReloadTree() {
  CtlWindow* w = window_;
  if (!w) return;
  BusyScope busy(*this);
  ++treeGeneration_;
  const std::u16string keep = savedTreePath_.value_or(std::u16string());
  reloading_ = true;
  w->treeModel()->clear();
  reloading_ = false;
  QStandardItem* root = InsertRoot();
  w->tree()->viewport()->repaint();
  if (SUCCEEDED(doc_->SetCurrentFolder(nullptr, FOLDER_ROOT))) LoadChildren(FOLDER_ROOT, root);
  SelectByPath(keep);
  if (window_) window_->tree()->expand(root->index());
}

// ---- Notifications

void CompCtl::OnTreePressed() { FireI2(DISPID_VEMRA_CLICK, 0); }

void CompCtl::OnTreeDoubleClicked() { FireI2(DISPID_VEMRA_DBLCLICK, 0); }

void CompCtl::OnTreeRightReleased(const QModelIndex& hit) {
  if (!window_) return;
  SelectTreeItem(hit.isValid() ? window_->treeModel()->itemFromIndex(hit) : nullptr);
  FireI2(DISPID_VEMRA_RCLICK, 0);
}

void CompCtl::OnTreeSelectionChanged() {
  if (reloading_ || !window_) return;
  BusyScope busy(*this);
  const unsigned generation = treeGeneration_;
  const QPersistentModelIndex selected(window_->tree()->currentIndex());
  std::u16string path;
  const int n = BuildSelectionPath(&path);
  DocSession s(*this);
  if (!s.ok()) return;
  HRESULT hr;
  if (n == 0) {
    hr = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
    if (SUCCEEDED(hr)) ResetSelectionRecord(path);
  } else {
    selection_ = ItemRecord{};
    selection_.kind = n == 1 ? ItemDisk : ItemFolder;
    if (n == 1) {
      selection_.name = path;
      hr = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
    } else {
      const std::size_t cut = path.rfind(u'/');
      selection_.name = path.substr(cut + 1);
      hr = doc_->SetCurrentFolder(xcom::Bstr(path.substr(0, cut)).Get(), FOLDER_PATH);
    }
    if (SUCCEEDED(hr)) hr = doc_->GetItemInfo(nullptr, &selection_);
    if (SUCCEEDED(hr)) selection_.name = path;
  }
  if (FAILED(hr)) return;
  {
    xcom::Variant info;
    if (SUCCEEDED(PackItemInfo(selection_, &info))) Fire(DISPID_VEMRA_TREENODECHANGED, {&static_cast<VARIANT&>(info), 1});
  }
  // A sink that moved the selection or emptied the panes has had its own refill.
  if (!window_ || generation != treeGeneration_ || QPersistentModelIndex(window_->tree()->currentIndex()) != selected)
    return;
  const int mode = n == 0 ? VIEW_DISK : VIEW_FOLDER;
  if (mode != viewMode_ || columnCount_ < 0) {
    viewMode_ = mode;
    BuildColumns();
  }
  FillList(n == 0 ? FOLDER_ROOT : FOLDER_CHILD, path);
}

bool CompCtl::OnTreeBeginEdit(const QModelIndex& index) {
  if (allowDelete_ == 0 || !window_ || !index.isValid()) return false;
  const QPersistentModelIndex keep(index);
  if (PaneMessage(kRenamePrompt, forms::vbOKCancel | forms::vbExclamation) != forms::vbOK) return false;
  if (!window_ || !keep.isValid()) return false;
  const int image = keep.data(kTreeImageRole).toInt();
  if (image == IMAGE_HARD_DRIVE || image == IMAGE_NETWORK) {
    PaneMessage(kFixedDiskName, forms::vbOKOnly | forms::vbExclamation);
    return false;
  }
  // Only disks, the root's children, take a new name.
  const QModelIndex parent = keep.parent();
  return parent.isValid() && !parent.parent().isValid();
}

bool CompCtl::OnTreeEndEdit(const QModelIndex& index, const QString& text) {
  if (!window_ || !index.isValid()) return false;
  const std::optional<std::u16string> name = EditedName(text.toStdU16String());
  if (!name) return false;
  const std::u16string old = index.data(Qt::DisplayRole).toString().toStdU16String();
  if (*name == old) return false;
  if (!doc_ || !HasDocument() || !MayNameDisk(*name)) return false;
  return SUCCEEDED(RenameDisk(old, *name, 1));
}

bool CompCtl::MayNameDisk(const std::u16string& name) {
  // A name a path cannot reach would cut the disk off from everything in it.
  if (!IsAllowedDiskName(name)) {
    PaneMessage(kDiskNameRefused, forms::vbOKOnly | forms::vbExclamation);
    return false;
  }
  double used = -1.0;
  if (SUCCEEDED(doc_->IsNameUsed(xcom::Bstr(name).Get(), &used)) && used > 0.0) {
    PaneMessage(kNameInUse, forms::vbOKOnly | forms::vbExclamation);
    return false;
  }
  return true;
}

HRESULT CompCtl::RenameDisk(const std::u16string& oldName, const std::u16string& newName, int) {
  if (newName.empty()) return STG_E_INVALIDPARAMETER;
  // Disks are elements of the catalog's root, whichever pane asks.
  HRESULT hr;
  {
    DocSession s(*this);
    hr = s.status();
    if (s.ok()) hr = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
    if (SUCCEEDED(hr)) hr = doc_->RenameItem(nullptr, xcom::Bstr(oldName).Get(), xcom::Bstr(newName).Get());
  }
  // The shown name changes only when the disk took it.
  if (SUCCEEDED(hr) && window_) {
    if (QStandardItem* item = FindChild(window_->treeModel()->item(0), oldName))
      item->setText(QString::fromStdU16String(newName));
    if (savedTreePath_ && (*savedTreePath_ == oldName || savedTreePath_->starts_with(oldName + u"/")))
      savedTreePath_ = newName + savedTreePath_->substr(oldName.size());
  }
  return hr;
}

void CompCtl::OnTreeKey(int qtKey) {
  const int vk = VirtualKeyOf(qtKey);
  {
    xcom::Variant args[] = {xcom::Variant::I2(1), xcom::Variant::I2(static_cast<SHORT>(vk)), xcom::Variant::I2(1)};
    Fire(DISPID_VEMRA_KEYDOWN, xcom::AsVariants(args));
  }
  if (vk == VK_DELETE_KEY) DeleteTreeSelection();
}

void CompCtl::DeleteTreeSelection() {
  if (!window_ || allowDelete_ == 0 || busy_ > 0) return;
  QStandardItem* item = SelectedTreeItem();
  if (!item || !item->parent()) return;  // nothing selected, or the root
  const QPersistentModelIndex target(item->index());
  if (PaneMessage(kDeletePrompt, forms::vbOKCancel | forms::vbExclamation) != forms::vbOK) return;
  if (!window_ || !target.isValid()) return;
  item = window_->treeModel()->itemFromIndex(target);
  // The item's own path, whatever record the selection last read.
  std::vector<const QStandardItem*> chain;
  for (const QStandardItem* i = item; i && i->parent(); i = i->parent()) chain.push_back(i);
  std::u16string parentPath;
  for (std::size_t k = chain.size(); k-- > 1;) {
    if (!parentPath.empty()) parentPath += u'/';
    parentPath += TextOf(chain[k]);
  }
  const std::u16string name = TextOf(item);
  HRESULT hr;
  {
    DocSession s(*this);
    hr = s.status();
    if (s.ok()) {
      hr = chain.size() == 1 ? doc_->SetCurrentFolder(nullptr, FOLDER_ROOT)
                             : doc_->SetCurrentFolder(xcom::Bstr(parentPath).Get(), FOLDER_PATH);
      if (SUCCEEDED(hr)) hr = doc_->DeleteFile(nullptr, xcom::Bstr(name).Get());
    }
  }
  if (FAILED(hr) || !window_ || !target.isValid()) return;
  item = window_->treeModel()->itemFromIndex(target);
  QStandardItem* parent = item->parent();
  const int row = item->row();
  // The parent is selected first, so the list and the event follow it.
  SelectTreeItem(parent);
  if (window_ && target.isValid()) parent->removeRow(row);
}

}  // namespace brevix
