// The list pane: columns of the view mode, the fill from a catalog folder, the record
// callback of a listing walk, sorting by column, double click, rename and delete.
#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItem>

#include "cfb.h"
#include "compctl_impl.h"
#include "ctlwindow.h"
#include "forms.h"
#include "longnames.h"
#include "namefold.h"

namespace brevix {

int PaneMessage(const QString& text, int buttons);
const QString& RenamePrompt();
const QString& DeletePrompt();
const QString& FixedDiskMessage();

namespace {
constexpr LONG kMaxWalkRows = 32000;
constexpr int kFirstScreenful = 50;
thread_local CompCtl* t_walkTarget = nullptr;
}  // namespace

WalkTarget::WalkTarget(CompCtl& c) : previous_(t_walkTarget) { t_walkTarget = &c; }
WalkTarget::~WalkTarget() { t_walkTarget = previous_; }
CompCtl* WalkTarget::Current() { return t_walkTarget; }

LONG ListWalkRecord(BSTR folderPath, ItemRecord* record, LONG hitCount) {
  CompCtl* c = WalkTarget::Current();
  if (!c) return -1;
  return c->AppendWalkRecord(xcom::BstrView(folderPath), record, hitCount);
}

LONG CompCtl::AppendWalkRecord(std::u16string_view folderText, const ItemRecord* record, LONG count) {
  if (!window_ || !record || count > kMaxWalkRows) return -1;
  std::vector<ListEntry> one(1);
  one[0].record = *record;
  // Each row keeps the folder it lies in, so that it names its own item.
  if (subtree_) one[0].folder = subtree_->Place(folderText, *record);
  window_->listModel()->Append(std::move(one));
  return 0;
}

std::u16string CompCtl::PathOfRow(const ListEntry& e) {
  return RowPath(e.folder ? *e.folder : savedTreePath_.value_or(std::u16string()), e.record.name);
}

int CompCtl::ListSelectionRow() const {
  if (!window_) return -1;
  const QModelIndex cur = window_->list()->currentIndex();
  return cur.isValid() && cur.row() < window_->listModel()->Rows() ? cur.row() : -1;
}

void CompCtl::BuildColumns() {
  CtlWindow* w = window_;
  if (!w) return;
  const auto& cols = ColumnsOf(viewMode_);
  const int count = static_cast<int>(cols.size());
  w->listModel()->SetColumns(viewMode_, count);
  QHeaderView* header = w->list()->header();
  const int scroll = w->list()->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int last = LastColumnWidth(viewMode_, w->list()->viewport()->width(), scroll);
  for (int c = 0; c < count; ++c) header->resizeSection(c, cols[c].width ? cols[c].width : last);
  columnCount_ = count;
  w->listModel()->SetArrow(sortColumn_ < count ? sortColumn_ : -1,
                           directions_[sortColumn_] ? IMAGE_ARROW_UP : IMAGE_ARROW_DOWN);
}

HRESULT CompCtl::FillList(SHORT location, const std::u16string& folderPath) {
  CtlWindow* w = window_;
  if (!w) return S_OK;
  ListModel* model = w->listModel();
  model->Clear();
  DocSession s(*this);
  if (!s.ok()) return s.status();
  BusyScope busy(*this);
  // The folder is entered again: a sink may have moved the document during an event.
  HRESULT hr = location == FOLDER_ROOT || folderPath.empty()
                   ? doc_->SetCurrentFolder(nullptr, FOLDER_ROOT)
                   : doc_->SetCurrentFolder(xcom::Bstr(folderPath).Get(), FOLDER_PATH);
  if (FAILED(hr)) return hr;
  const bool root = location == FOLDER_ROOT || folderPath.empty();
  xcom::ComPtr<IEnumSTATSTG> en;
  hr = doc_->EnumElements(root ? FOLDER_ROOT : FOLDER_CHILD, en.GetAddressOf());
  if (FAILED(hr)) return hr;
  std::vector<ListEntry> batch;
  batch.reserve(kFirstScreenful);
  bool shownFirst = false;
  hr = ForEachElement(en.Get(), [&](std::u16string_view element, DWORD type) {
    if (IsReservedElement(element)) return;
    ListEntry e;
    e.record.name.assign(element);
    e.record.kind = type == STGTY_STORAGE ? (root ? ItemDisk : ItemFolder) : ItemFile;
    const LONG kind = e.record.kind;
    if (FAILED(doc_->GetItemInfo(nullptr, &e.record))) {
      e.record = ItemRecord{};
      e.record.kind = kind;
      e.readable = false;
      e.record.name.assign(element);
    }
    if (element.starts_with(kLongNamePrefix)) {
      xcom::Bstr shown;
      doc_->LongNameFromElement(e.record.name.c_str(), shown.ReleaseAndGetAddressOf());
      if (!shown.IsNull()) e.record.name = std::u16string(shown.View());
    }
    batch.push_back(std::move(e));
    // The first screenful is shown while the rest of a large folder is read.
    if (!shownFirst && batch.size() == kFirstScreenful) {
      model->Append(std::move(batch));
      batch.clear();
      batch.reserve(1024);
      w->list()->viewport()->repaint();
      shownFirst = true;
    }
  });
  en.Reset();
  model->Append(std::move(batch));
  model->Sort(sortKey_);
  return FAILED(hr) ? hr : S_OK;
}

// ---- Notifications

void CompCtl::OnListColumnClicked(int c) {
  if (!window_ || c < 0 || c > 5) return;
  directions_[c] = !directions_[c];
  sortColumn_ = c;
  sortKey_ = SortKey(c, directions_[c]);
  window_->listModel()->SetArrow(c, directions_[c] ? IMAGE_ARROW_UP : IMAGE_ARROW_DOWN);
  window_->listModel()->Sort(sortKey_);
}

void CompCtl::OnListClicked() {
  FireI2(DISPID_VEMRA_CLICK, 1);
  if (!window_) return;
  xcom::Variant info;
  if (HasDocument()) ReadSelectedItem(1, &info);
  Fire(DISPID_VEMRA_TREENODECHANGED, {&static_cast<VARIANT&>(info), 1});
}

void CompCtl::OnListDoubleClicked(int row) {
  if (!window_) return;
  if (row >= 0 && row < window_->listModel()->Rows()) {
    const ListEntry& entry = window_->listModel()->EntryOfRow(row);
    // A subtree listing's row opens its own folder.
    QStandardItem* child = entry.folder ? TreeItemAt(RowPath(*entry.folder, entry.record.name))
                                        : FindChild(SelectedTreeItem(), entry.record.name);
    if (child) {
      SelectTreeItem(child);
      FireI2(DISPID_VEMRA_DBLCLICK, 100);
      return;
    }
  }
  FireI2(DISPID_VEMRA_DBLCLICK, 1);
}

void CompCtl::OnListRightReleased() { FireI2(DISPID_VEMRA_RCLICK, 1); }

void CompCtl::OnListKey(int qtKey) {
  const int vk = VirtualKeyOf(qtKey);
  {
    xcom::Variant args[] = {xcom::Variant::I2(1), xcom::Variant::I2(static_cast<SHORT>(vk)), xcom::Variant::I2(0)};
    Fire(DISPID_VEMRA_KEYDOWN, xcom::AsVariants(args));
  }
  if (vk == VK_DELETE_KEY && allowDelete_ != 0) DeleteListSelection();
}

void CompCtl::DeleteListSelection() {
  if (!window_ || busy_ > 0 || ListSelectionRow() < 0) return;
  if (PaneMessage(DeletePrompt(), forms::vbOKCancel | forms::vbExclamation) != forms::vbOK) return;
  const int row = ListSelectionRow();
  if (!window_ || row < 0) return;
  // The record's full name, not its shown text, in the row's own folder: a subtree listing's
  // row lies in a folder of its own.
  const ListEntry entry = window_->listModel()->EntryOfRow(row);
  std::u16string folder = entry.folder.value_or(std::u16string());
  if (!entry.folder) BuildSelectionPath(&folder);
  HRESULT hr;
  {
    DocSession s(*this);
    hr = s.status();
    if (s.ok()) {
      hr = folder.empty() ? doc_->SetCurrentFolder(nullptr, FOLDER_ROOT)
                          : doc_->SetCurrentFolder(xcom::Bstr(folder).Get(), FOLDER_PATH);
      if (SUCCEEDED(hr)) hr = doc_->DeleteFile(nullptr, xcom::Bstr(entry.record.name).Get());
    }
  }
  // Items go only once the catalog let the element go.
  if (FAILED(hr) || !window_) return;
  const int now = ListSelectionRow() == row ? row : -1;
  if (now >= 0) window_->listModel()->RemoveRow(now);
  if (entry.record.kind == ItemFile) return;
  if (!entry.folder) {
    QStandardItem* parent = SelectedTreeItem();
    if (QStandardItem* child = FindChild(parent, entry.record.name)) parent->removeRow(child->row());
    return;
  }
  // What lay inside the folder leaves the subtree listing too, and the folder leaves the tree;
  // a tree selection inside it moves to the folder's parent first.
  const std::u16string path = RowPath(folder, entry.record.name);
  window_->listModel()->RemoveRowsWhere([&](const ListEntry& e) { return e.folder && IsAtOrBelow(*e.folder, path); });
  QStandardItem* gone = TreeItemAt(path);
  if (!gone) return;
  const QPersistentModelIndex target(gone->index());
  for (QStandardItem* i = SelectedTreeItem(); i; i = i->parent()) {
    if (i != gone) continue;
    SelectTreeItem(gone->parent());
    break;
  }
  if (!window_ || !target.isValid()) return;
  gone = window_->treeModel()->itemFromIndex(target);
  gone->parent()->removeRow(gone->row());
}

bool CompCtl::OnListBeginEdit(int row) {
  if (allowDelete_ == 0 || !window_ || row < 0 || row >= window_->listModel()->Rows()) return false;
  if (PaneMessage(RenamePrompt(), forms::vbOKCancel | forms::vbExclamation) != forms::vbOK) return false;
  if (!window_ || row >= window_->listModel()->Rows()) return false;
  const int image = ListImage(window_->listModel()->EntryOfRow(row));
  if (image == IMAGE_HARD_DRIVE || image == IMAGE_NETWORK) {
    PaneMessage(FixedDiskMessage(), forms::vbOKOnly | forms::vbExclamation);
    return false;
  }
  // Disks take new names in disk view, when the tree's selection is the root.
  QStandardItem* sel = SelectedTreeItem();
  return !sel || !sel->parent();
}

bool CompCtl::OnListEndEdit(int row, const QString& text) {
  if (!window_ || row < 0 || row >= window_->listModel()->Rows()) return false;
  const std::optional<std::u16string> name = EditedName(text.toStdU16String());
  if (!name) return false;
  ListEntry& entry = window_->listModel()->EntryOfRow(row);
  if (entry.record.kind != ItemDisk || *name == entry.record.name) return false;
  if (!HasDocument() || !MayNameDisk(*name)) return false;
  const std::u16string old = entry.record.name;
  if (FAILED(RenameDisk(old, *name, 0))) return false;
  if (!window_ || row >= window_->listModel()->Rows()) return true;
  ListModel* model = window_->listModel();
  model->EntryOfRow(row).record.name = *name;
  // A subtree listing's rows inside the disk now lie below its new name.
  for (ListEntry& e : model->Entries()) {
    if (e.folder && IsAtOrBelow(*e.folder, old)) *e.folder = *name + e.folder->substr(old.size());
  }
  return true;
}

}  // namespace brevix
