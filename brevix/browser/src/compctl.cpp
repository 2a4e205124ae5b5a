// The browser control object: creation, its window, sizing, events, persistence and the
// ICompCtl members that read and write the catalog.
#include <QApplication>
#include <QHeaderView>

#include "cfb.h"
#include "compctl_impl.h"
#include "ctlwindow.h"
#include "xcom/tokens.h"

namespace brevix {

namespace {
// Members that need the catalog answer this when the control has no catalog file
// (DocFileName "") or no document.
constexpr HRESULT kNoCatalog = E_UNEXPECTED;

HRESULT CopyOut(const std::u16string& s, BSTR* out) {
  if (!out) return E_POINTER;
  *out = xcom::AllocBstr(s);
  return *out ? S_OK : E_OUTOFMEMORY;
}
}  // namespace

CompCtl::CompCtl() : events_(*static_cast<ICompCtl*>(this), *this, DIID__IVemraStorage) {}

CompCtl::~CompCtl() {
  RemoveTrayIcon();
  if (window_) delete window_.data();
  events_.DisconnectAll();
}

HRESULT CompCtl::FinalConstruct() {
  // Without a document the control still works: every step that needs it does nothing.
  if (FAILED(NewCatalogDocument(&doc_))) doc_.Reset();
  return S_OK;
}

// ---- Catalog sessions

CompCtl::DocSession::DocSession(CompCtl& c) : c_(c) {
  if (!c_.HasDocument()) {
    hr_ = kNoCatalog;
    return;
  }
  hr_ = c_.openDepth_ > 0 ? S_OK : c_.doc_->LoadDoc(nullptr);
  if (SUCCEEDED(hr_)) ++c_.openDepth_;
}

CompCtl::DocSession::~DocSession() {
  if (FAILED(hr_)) return;
  if (--c_.openDepth_ == 0) c_.doc_->CloseDoc(0);
}

// ---- Events

void CompCtl::Fire(DISPID id, std::span<VARIANT> args) {
  if (!window_) return;
  // A sink may release the control during the event.
  xcom::ComPtr<ICompCtl> hold(this);
  events_.Fire(id, args);
}

void CompCtl::FireI2(DISPID id, SHORT v) {
  xcom::Variant a = xcom::Variant::I2(v);
  Fire(id, {static_cast<VARIANT*>(&a), 1});
}

HRESULT CompCtl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum) *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT CompCtl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  xcom::ConnectionPoint* points[] = {&events_};
  return xcom::FindConnectionPointIn(points, riid, ppCP);
}

// ---- Window

HRESULT CompCtl::CreateControlWindow(void* parentQWidget, void** ppQWidget) {
  if (!ppQWidget) return E_POINTER;
  if (window_) {
    *ppQWidget = static_cast<QWidget*>(window_.data());
    return S_FALSE;
  }
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return E_FAIL;
  auto* w = new CtlWindow(*this, static_cast<QWidget*>(parentQWidget));
  window_ = w;
  OnWindowCreated();
  *ppQWidget = static_cast<QWidget*>(w);
  return S_OK;
}

void CompCtl::OnWindowCreated() {
  CtlWindow* w = window_;
  columnCount_ = -1;
  w->listModel()->SetArrow(sortColumn_, directions_[sortColumn_] ? IMAGE_ARROW_UP : IMAGE_ARROW_DOWN);
  w->SetSplitterEnabled(controlType_ == TWO_PANE);
  switch (controlType_) {
    case TWO_PANE: {
      if (!HasDocument()) break;
      DocSession s(*this);
      if (!s.ok()) break;
      BusyScope busy(*this);
      QStandardItem* root = InsertRoot();
      doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
      LoadChildren(FOLDER_ROOT, root);
      w->tree()->expand(root->index());
      break;
    }
    case TREE_PANE:
      w->list()->hide();
      break;
    case LIST_PANE: {
      w->tree()->hide();
      if (!HasDocument()) break;
      DocSession s(*this);
      if (!s.ok()) break;
      viewMode_ = VIEW_FOLDER;
      BuildColumns();
      break;
    }
  }
  OnResize(w->width(), w->height());
}

void CompCtl::OnWindowDestroyed() {
  RemoveTrayIcon();
  window_.clear();
}

void CompCtl::OnResize(int cx, int cy) {
  CtlWindow* w = window_;
  if (!w) return;
  extentCx_ = static_cast<ULONG>(std::max(cx, 0));
  extentCy_ = static_cast<ULONG>(std::max(cy, 0));
  switch (controlType_) {
    case TWO_PANE: {
      const int tw = TreeWidthFor(cx, w->width(), savedSplitter_);
      w->PlacePanes(tw, tw + kSplitterBar);
      break;
    }
    case TREE_PANE:
      w->PlacePanes(cx, -1);
      break;
    case LIST_PANE:
      w->PlacePanes(-1, 0);
      break;
  }
  (void)cy;
}

void CompCtl::OnSplitterDropped(int p) {
  CtlWindow* w = window_;
  if (!w || controlType_ != TWO_PANE) return;
  savedSplitter_ = p - 1;
  w->PlacePanes(p - 1, p + 3);
}

// ---- ICompCtl: the catalog file

HRESULT CompCtl::get_DocFileName(BSTR* pVal) { return CopyOut(fileName_, pVal); }

HRESULT CompCtl::put_DocFileName(BSTR newVal) {
  if (busy_ > 0 || openDepth_ > 0) return STG_E_INUSE;
  fileName_ = std::u16string(xcom::BstrView(newVal));
  dirty_ = true;
  if (!fileName_.empty()) return doc_ ? doc_->SetDocName(newVal) : S_OK;
  // No catalog: the panes and the item vector are emptied.
  ClearPanes();
  return S_OK;
}

HRESULT CompCtl::Refresh() {
  if (fileName_.empty()) return S_OK;
  if (busy_ > 0) return STG_E_INUSE;
  DocSession s(*this);
  if (!s.ok()) return S_OK;
  ReloadTree();
  return S_OK;
}

HRESULT CompCtl::FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate,
                          SHORT srchType, LONG lpCallbackFnPtr) {
  if (!HasDocument()) return kNoCatalog;
  // A host's callback is a positive token; the negated record-callback tokens are the
  // library's own.
  if (lpCallbackFnPtr <= 0) return STG_E_INVALIDPARAMETER;
  // The walk opens and closes the catalog itself: not while a pane holds it.
  if (openDepth_ > 0) return STG_E_INUSE;
  return doc_->FindItem(sDir, Name, Note, lSize, startDate, endDate, srchType, lpCallbackFnPtr);
}

HRESULT CompCtl::CreateBackup(BSTR bstrName) {
  if (!HasDocument()) return kNoCatalog;
  if (openDepth_ > 0) return STG_E_INUSE;
  return doc_->CreateBackup(bstrName);
}

HRESULT CompCtl::get_MasterPassword(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  if (!HasDocument()) return kNoCatalog;
  return doc_->GetPasswords(pVal, nullptr);
}

HRESULT CompCtl::put_MasterPassword(BSTR newVal) {
  if (!HasDocument()) return kNoCatalog;
  if (openDepth_ > 0) return STG_E_INUSE;
  xcom::Bstr empty(u"");
  return doc_->SetPasswords(newVal ? newVal : empty.Get(), nullptr);
}

HRESULT CompCtl::get_UserPassword(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  if (!HasDocument()) return kNoCatalog;
  return doc_->GetPasswords(nullptr, pVal);
}

HRESULT CompCtl::put_UserPassword(BSTR newVal) {
  if (!HasDocument()) return kNoCatalog;
  if (openDepth_ > 0) return STG_E_INUSE;
  xcom::Bstr empty(u"");
  return doc_->SetPasswords(nullptr, newVal ? newVal : empty.Get());
}

HRESULT CompCtl::get_AllowDelete(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = allowDelete_;
  return S_OK;
}

HRESULT CompCtl::put_AllowDelete(LONG newVal) {
  allowDelete_ = newVal;
  return S_OK;
}

HRESULT CompCtl::get_ControlType(enControlType* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = controlType_;
  return S_OK;
}

HRESULT CompCtl::put_ControlType(enControlType newVal) {
  if (newVal == TWO_PANE || newVal == TREE_PANE || newVal == LIST_PANE) {
    controlType_ = newVal;
    dirty_ = true;
  }
  return S_OK;
}

HRESULT CompCtl::Rename(SHORT iControl) {
  CtlWindow* w = window_;
  if (!w) return S_OK;
  if (iControl == 1) {
    const QModelIndex cur = w->list()->currentIndex();
    if (cur.isValid()) w->list()->StartEdit(w->listModel()->index(cur.row(), 0));
  } else if (iControl == 0) {
    const QModelIndex cur = w->tree()->currentIndex();
    if (cur.isValid()) w->tree()->StartEdit(cur);
  }
  return S_OK;
}

// ---- ICompCtl: items

HRESULT CompCtl::GetSelectedItem(SHORT iSource, VARIANT* pData) {
  if (!pData) return E_POINTER;
  if (!HasDocument()) return S_OK;  // no catalog: pData as it was
  return ReadSelectedItem(iSource, pData);
}

HRESULT CompCtl::ReadSelectedItem(SHORT source, VARIANT* pData) {
  CtlWindow* w = window_;
  if (source == 1) {
    const int row = ListSelectionRow();
    if (row < 0) return S_OK;
    // The record behind the selection mark itself (a case twin's record never stands in),
    // named by its own path.
    const ListEntry& entry = w->listModel()->EntryOfRow(row);
    ItemRecord r = entry.record;
    r.name = PathOfRow(entry);
    return PackItemInfo(r, pData);
  }
  if (source != 0) return S_OK;
  std::u16string path;
  const int n = BuildSelectionPath(&path);
  {
    DocSession s(*this);
    if (s.ok()) {
      if (n == 0) {
        if (SUCCEEDED(doc_->SetCurrentFolder(nullptr, FOLDER_ROOT))) ResetSelectionRecord(path);
      } else if (n == 1) {
        selection_ = ItemRecord{};
        selection_.kind = ItemDisk;
        selection_.name = path;
        if (SUCCEEDED(doc_->SetCurrentFolder(nullptr, FOLDER_ROOT))) doc_->GetItemInfo(nullptr, &selection_);
      } else {
        const std::size_t cut = path.rfind(u'/');
        xcom::Bstr parent(path.substr(0, cut));
        selection_ = ItemRecord{};
        selection_.kind = ItemFolder;
        selection_.name = path.substr(cut + 1);
        if (SUCCEEDED(doc_->SetCurrentFolder(parent.Get(), FOLDER_PATH))) doc_->GetItemInfo(nullptr, &selection_);
      }
    }
  }
  selection_.name = path;
  return PackItemInfo(selection_, pData);
}

HRESULT CompCtl::GetItemInfo(BSTR bstrPath, VARIANT* pData) {
  if (!pData) return E_POINTER;
  ItemRecord r;
  r.kind = ItemDisk;
  const std::u16string path(xcom::BstrView(bstrPath));
  HRESULT hr = kNoCatalog;
  {
    DocSession s(*this);
    hr = s.status();
    if (s.ok()) {
      const std::size_t cut = path.rfind(u'/');
      if (cut == std::u16string::npos) {
        r.name = path;
        hr = doc_->SetCurrentFolder(nullptr, FOLDER_ROOT);
      } else {
        r.kind = ItemFile;
        r.name = path.substr(cut + 1);
        xcom::Bstr parent(path.substr(0, cut));
        hr = doc_->SetCurrentFolder(parent.Get(), FOLDER_PATH);
      }
      if (SUCCEEDED(hr)) hr = doc_->GetItemInfo(nullptr, &r);
    }
  }
  ItemRecord packed;
  if (SUCCEEDED(hr)) packed = r;
  packed.kind = r.kind;
  packed.name = path;
  HRESULT packedHr = PackItemInfo(packed, pData);
  return FAILED(hr) ? hr : packedHr;
}

HRESULT CompCtl::SetSelectedItem(BSTR itmPath, SHORT iSource) {
  if (busy_ > 0) return STG_E_INUSE;
  if (!HasDocument()) return S_OK;
  const std::u16string path(xcom::BstrView(itmPath));
  if (iSource != 1) {
    if (window_) SelectByPath(path);
    return S_OK;
  }
  CtlWindow* w = window_;
  if (!w) return S_OK;
  if (openDepth_ > 0) return STG_E_INUSE;  // the walk closes the catalog at its end
  DocSession s(*this);
  if (!s.ok()) return S_OK;
  HRESULT hr = path.empty() ? doc_->SetCurrentFolder(nullptr, FOLDER_ROOT)
                            : doc_->SetCurrentFolder(itmPath, FOLDER_PATH);
  if (SUCCEEDED(hr)) {
    BusyScope busy(*this);
    w->listModel()->Clear();
    xcom::ScopedToken cb(xcom::TokenKind::ItemRecordCallback, &ListWalkRecord);
    WalkTarget target(*this);
    subtree_.emplace(path);
    doc_->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, SEARCH_ALL, -cb.value());
    subtree_.reset();
    if (window_) window_->listModel()->Sort(sortKey_);
  }
  return S_OK;
}

// ---- ICompCtl: notes

HRESULT CompCtl::SetItemNote(BSTR sPath, BSTR sNote, SHORT itmType, BSTR recurNote, LONG bRecursive) {
  if (!HasDocument()) return kNoCatalog;
  if (busy_ > 0) return STG_E_INUSE;
  int type = itmType;
  if (type < 0) {
    bRecursive = 1;
    type = -type;
  }
  const std::u16string path(xcom::BstrView(sPath));
  std::u16string parent, name;
  if (type == ItemFile || type == ItemFolder) {
    const std::size_t cut = path.rfind(u'/');
    if (cut == std::u16string::npos) return STG_E_INVALIDPARAMETER;
    parent = path.substr(0, cut);
    name = path.substr(cut + 1);
  } else if (type == ItemDisk) {
    name = path;
  } else {
    return STG_E_INVALIDPARAMETER;
  }
  DocSession s(*this);
  HRESULT hr = s.status();
  if (!s.ok()) return hr;
  BusyScope busy(*this);
  ItemRecord r;
  r.name = name;
  r.kind = type;
  hr = type == ItemDisk ? doc_->SetCurrentFolder(nullptr, FOLDER_ROOT)
                        : doc_->SetCurrentFolder(xcom::Bstr(parent).Get(), FOLDER_PATH);
  if (SUCCEEDED(hr)) hr = doc_->GetItemInfo(nullptr, &r);
  if (SUCCEEDED(hr)) {
    r.note = std::u16string(xcom::BstrView(sNote));
    hr = doc_->SetItemInfo(nullptr, &r);
  }
  if (recurNote && bRecursive != 0 && SUCCEEDED(hr)) {
    hr = doc_->SetCurrentFolder(xcom::Bstr(name).Get(), FOLDER_CHILD);
    if (SUCCEEDED(hr)) hr = NoteWalk(std::u16string(xcom::BstrView(recurNote)));
  }
  // The list follows the tree's selection again, whatever folder the steps left current.
  HRESULT refill = S_OK;
  if (window_) {
    std::u16string sel;
    const int n = BuildSelectionPath(&sel);
    refill = FillList(n == 0 ? FOLDER_ROOT : FOLDER_CHILD, sel);
  }
  return FAILED(hr) ? hr : refill;
}

HRESULT CompCtl::NoteWalk(const std::u16string& note) {
  xcom::ComPtr<IEnumSTATSTG> en;
  HRESULT hr = doc_->EnumElements(FOLDER_CHILD, en.GetAddressOf());
  if (FAILED(hr)) return hr;
  // The level is read whole first: the walk below moves the current folder.
  std::vector<std::pair<std::u16string, bool>> elements;
  STATSTG st;
  while (en->Next(1, &st, nullptr) == S_OK) {
    std::u16string el(st.pwcsName ? st.pwcsName : u"");
    CoTaskMemFree(st.pwcsName);
    if (IsReservedElement(el)) continue;
    elements.emplace_back(std::move(el), st.type == STGTY_STORAGE);
  }
  en.Reset();
  for (const auto& [element, isStorage] : elements) {
    ItemRecord r;
    r.name = element;
    r.kind = isStorage ? ItemFolder : ItemFile;
    hr = doc_->GetItemInfo(nullptr, &r);
    if (SUCCEEDED(hr)) {
      r.note = RecursiveNote(r.note.value_or(std::u16string()), note);
      hr = doc_->SetItemInfo(nullptr, &r);
    }
    if (isStorage) {
      if (FAILED(hr)) return hr;
      hr = doc_->SetCurrentFolder(xcom::Bstr(element).Get(), FOLDER_CHILD);
      if (FAILED(hr)) return hr;
      hr = NoteWalk(note);
      HRESULT up = doc_->SetCurrentFolder(nullptr, FOLDER_PARENT);
      if (FAILED(hr)) return hr;
      if (FAILED(up)) return up;
    } else if (FAILED(hr)) {
      return hr;
    }
  }
  return S_OK;
}

// ---- Persistence

HRESULT CompCtl::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = CLSID_CompCtl;
  return S_OK;
}

HRESULT CompCtl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT CompCtl::InitNew() { return S_OK; }

namespace {
HRESULT WriteAll(IStream* s, const void* p, ULONG n) {
  ULONG done = 0;
  HRESULT hr = s->Write(p, n, &done);
  return FAILED(hr) ? hr : (done == n ? S_OK : STG_E_MEDIUMFULL);
}
HRESULT ReadAll(IStream* s, void* p, ULONG n) {
  ULONG done = 0;
  HRESULT hr = s->Read(p, n, &done);
  return FAILED(hr) ? hr : (done == n ? S_OK : E_FAIL);
}
constexpr ULONG kMaxPersistedName = 32767;
}  // namespace

// The stream: _cx and _cy (32-bit unsigned), DocFileName (a 32-bit character count and the
// UTF-16 characters), ControlType (32-bit).
HRESULT CompCtl::Save(LPSTREAM pStm, BOOL fClearDirty) {
  if (!pStm) return E_POINTER;
  const ULONG len = static_cast<ULONG>(std::min<std::size_t>(fileName_.size(), kMaxPersistedName));
  const LONG type = controlType_;
  HRESULT hr = WriteAll(pStm, &extentCx_, 4);
  if (SUCCEEDED(hr)) hr = WriteAll(pStm, &extentCy_, 4);
  if (SUCCEEDED(hr)) hr = WriteAll(pStm, &len, 4);
  if (SUCCEEDED(hr) && len) hr = WriteAll(pStm, fileName_.data(), len * 2);
  if (SUCCEEDED(hr)) hr = WriteAll(pStm, &type, 4);
  if (SUCCEEDED(hr) && fClearDirty) dirty_ = false;
  return hr;
}

HRESULT CompCtl::Load(LPSTREAM pStm) {
  if (!pStm) return E_POINTER;
  ULONG cx = 0, cy = 0, len = 0;
  LONG type = 0;
  HRESULT hr = ReadAll(pStm, &cx, 4);
  if (SUCCEEDED(hr)) hr = ReadAll(pStm, &cy, 4);
  if (SUCCEEDED(hr)) hr = ReadAll(pStm, &len, 4);
  if (SUCCEEDED(hr) && len > kMaxPersistedName) hr = E_FAIL;
  std::u16string name(SUCCEEDED(hr) ? len : 0, u'\0');
  if (SUCCEEDED(hr) && len) hr = ReadAll(pStm, name.data(), len * 2);
  if (SUCCEEDED(hr)) hr = ReadAll(pStm, &type, 4);
  if (FAILED(hr)) return hr;
  extentCx_ = cx;
  extentCy_ = cy;
  put_ControlType(static_cast<enControlType>(type));
  xcom::Bstr b(name);
  hr = put_DocFileName(b.Get());
  dirty_ = false;
  return hr;
}

HRESULT CompCtl::GetSizeMax(ULARGE_INTEGER* pCbSize) {
  if (!pCbSize) return E_POINTER;
  pCbSize->QuadPart = 16 + static_cast<ULONGLONG>(std::min<std::size_t>(fileName_.size(), kMaxPersistedName)) * 2;
  return S_OK;
}

// ---- Creation

HRESULT CreateBrowserControl(xcom::ServerModule& module, IUnknown* outer, REFIID riid, void** ppv) {
  return xcom::CreateComponent<CompCtl>(module, outer, riid, ppv);
}

}  // namespace brevix
