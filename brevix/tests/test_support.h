// Helpers for the tests of libbrevix.so as a host sees it: the Qt application, temporary
// folders, fixture catalogs written through "Brevix.OStorage", the control created by ProgID
// with its window, an event sink, and dispatch calls by id.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>
#include <filesystem>
#include <string>
#include <vector>

#include "forms.h"
#include "icompctl.h"
#include "iostorage.h"
#include "itemrecord.h"
#include "scriptedforms.h"
#include "testing_files/test_support.h"
#include "xcom/com.h"
#include "xcom/connpoint.h"
#include "xcom/control.h"
#include "xcom/dispatch.h"

namespace brevixtest {

using xcom::Bstr;
using xcom::ComPtr;
using xcom::Variant;

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "brevix_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Makes the application before the members that follow it: the scripted modals are kept on
// the application object, where the library's own copy of the forms layer finds them.
struct AppFirst {
  AppFirst() { App(); }
};

inline std::string U8(std::u16string_view s) { return xcom::Utf16ToUtf8(s); }

// A scratch folder of the test's own, with the UTF-16 paths of files in it.
class TempDir : public testing_files::ScratchFolder {
 public:
  TempDir() : ScratchFolder("brevixhost") {}
  std::u16string File16(const std::string& name) const { return xcom::Utf8ToUtf16((path() / name).string()); }
};

inline ItemRecord Record(LONG kind, std::u16string name, std::uint64_t size = 0, std::u16string type = {},
                         double serial = 0, std::optional<std::u16string> note = std::nullopt) {
  ItemRecord r;
  r.kind = kind;
  r.name = std::move(name);
  r.SetSize(size);
  r.typeText = std::move(type);
  r.serial = serial;
  r.note = std::move(note);
  r.timeA = U64ToFileTime(132223104000000000ull);  // 2020-01-01
  r.timeB = r.timeA;
  return r;
}

inline ComPtr<IOStorage> NewDocument() {
  ComPtr<IOStorage> doc;
  EXPECT_EQ(CoCreateInstance(CLSID_OStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IOStorage,
                             doc.ReleaseAndGetAddressOfVoid()),
            S_OK);
  return doc;
}

// Adds a record below the catalog path `parent` of an open document.
inline void Add(IOStorage* doc, std::u16string_view parent, ItemRecord rec) {
  ASSERT_EQ(parent.empty() ? doc->SetCurrentFolder(nullptr, FOLDER_ROOT)
                           : doc->SetCurrentFolder(Bstr(parent).Get(), FOLDER_PATH),
            S_OK)
      << U8(parent);
  Bstr name(rec.name);
  ASSERT_EQ(doc->AddItem(nullptr, name.Get(), &rec), S_OK) << U8(rec.name);
}

inline const std::u16string kLongFolder = u"A folder name that is far longer than thirty-one characters";

// The fixture catalog: five disks of every image, folders with long, non-ASCII and case-twin
// names, files of known sizes and notes.
inline void BuildFixture(const std::u16string& file) {
  ComPtr<IOStorage> doc = NewDocument();
  ASSERT_EQ(doc->LoadDoc(Bstr(file).Get()), S_OK);
  Add(doc.Get(), u"", Record(ItemDisk, u"Floppy1", 1457664, u"Floppy Disk", 7, u"FLOPPY    | first"));
  Add(doc.Get(), u"", Record(ItemDisk, u"zip disk", 100000000, u"Zip Disk", 8));
  Add(doc.Get(), u"", Record(ItemDisk, u"CD Music", 650000000, u"CD-RW Disk", 0));
  Add(doc.Get(), u"", Record(ItemDisk, u"Boot", 80000000000ull, u"Local Disk", 9));
  Add(doc.Get(), u"", Record(ItemDisk, u"Share", 1, u"Network Connection", 10));
  Add(doc.Get(), u"Floppy1", Record(ItemFolder, u"docs", 30));
  Add(doc.Get(), u"Floppy1", Record(ItemFolder, u"Bilder", 0));
  Add(doc.Get(), u"Floppy1", Record(ItemFolder, kLongFolder, 0));
  Add(doc.Get(), u"Floppy1", Record(ItemFolder, u"Ärger", 0));
  Add(doc.Get(), u"Floppy1", Record(ItemFile, u"readme.txt", 1, {}, 0, u"NOTE      | top"));
  Add(doc.Get(), u"Floppy1/docs", Record(ItemFile, u"b.doc", 2048));
  Add(doc.Get(), u"Floppy1/docs", Record(ItemFile, u"A.txt", 10));
  Add(doc.Get(), u"Floppy1/docs", Record(ItemFolder, u"sub", 0));
  Add(doc.Get(), u"Floppy1/docs/sub", Record(ItemFile, u"deep.bin", 5, {}, 0, u"keep"));
  Add(doc.Get(), u"Floppy1/" + kLongFolder, Record(ItemFile, u"inside a long folder.txt", 3));
  ASSERT_EQ(doc->CloseDoc(1), S_OK);
}

// A record read back through a fresh document.
inline HRESULT ReadBack(const std::u16string& file, std::u16string_view parent, std::u16string name, LONG kind,
                        ItemRecord* out = nullptr) {
  ComPtr<IOStorage> doc = NewDocument();
  HRESULT hr = doc->LoadDoc(Bstr(file).Get());
  if (FAILED(hr)) return hr;
  ItemRecord r;
  r.kind = kind;
  r.name = std::move(name);
  hr = parent.empty() ? doc->SetCurrentFolder(nullptr, FOLDER_ROOT)
                      : doc->SetCurrentFolder(Bstr(parent).Get(), FOLDER_PATH);
  if (SUCCEEDED(hr)) hr = doc->GetItemInfo(nullptr, &r);
  doc->CloseDoc(0);
  if (out) *out = r;
  return hr;
}

// The events a sink received, as "name(args)".
class Sink final : public xcom::VtableOnlyDispatch<IDispatch> {
 public:
  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IVemraStorage) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    static const char* names[] = {"", "Click", "DblClick", "RClick", "TreeNodeChanged", "MouseUp", "KeyDown", "KeyUp",
                                  "TrayIconNotify"};
    std::string e = id >= 1 && id <= 8 ? names[id] : "?";
    e += "(";
    for (UINT i = p->cArgs; i-- > 0;) {
      const VARIANT& v = p->rgvarg[i];
      if (i + 1 != p->cArgs) e += ",";
      if (v.vt == VT_I2) e += std::to_string(v.iVal);
      else if (v.vt == VT_I4) e += std::to_string(v.lVal);
      else if (v.vt == (VT_ARRAY | VT_VARIANT)) e += "[" + ArrayName(v) + "]";
      else if (v.vt == VT_EMPTY) e += "empty";
      else e += "vt" + std::to_string(v.vt);
    }
    e += ")";
    events.push_back(e);
    if (onEvent) onEvent(id);
    return S_OK;
  }
  static std::string ArrayName(const VARIANT& v) {
    Variant name;
    LONG i = ITEMINFO_NAME;
    if (FAILED(SafeArrayGetElement(v.parray, &i, &name)) || name.vt != VT_BSTR) return "?";
    return U8(xcom::BstrView(name.bstrVal));
  }

  std::vector<std::string> events;
  std::function<void(DISPID)> onEvent;

 private:
  ULONG refs_ = 1;
};

// The element of an item information array.
inline Variant InfoAt(const VARIANT& info, LONG index) {
  Variant v;
  if (info.vt == (VT_ARRAY | VT_VARIANT)) SafeArrayGetElement(info.parray, &index, &v);
  return v;
}
inline std::string InfoText(const VARIANT& info, LONG index) {
  Variant v = InfoAt(info, index);
  return v.vt == VT_BSTR ? U8(xcom::BstrView(v.bstrVal)) : std::string("<vt ") + std::to_string(v.vt) + ">";
}

// A test over a fresh fixture catalog, with every modal answered from a script.
class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog = dir.File16("fixture.dkc");
    BuildFixture(catalog);
  }
  AppFirst appFirst;
  TempDir dir;
  std::u16string catalog;
  forms::ScriptedForms script{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
  forms::ScopedForms use{script};
};

// The control created by ProgID, in a window of its own, over a catalog.
struct Host {
  explicit Host(const std::u16string& catalog, enControlType type = TWO_PANE, const char16_t* progId = u"Brevix.CompCtl") {
    App();
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICompCtl, ctl.ReleaseAndGetAddressOfVoid()),
              S_OK);
    EXPECT_EQ(ctl.As(&disp), S_OK);
    ComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(ctl.As(&cpc), S_OK);
    EXPECT_EQ(cpc->FindConnectionPoint(DIID__IVemraStorage, cp.GetAddressOf()), S_OK);
    EXPECT_EQ(cp->Advise(&sink, &cookie), S_OK);
    ctl->put_ControlType(type);
    if (!catalog.empty()) {
      EXPECT_EQ(ctl->put_DocFileName(Bstr(catalog).Get()), S_OK);
    }
    frame.resize(800, 400);
    ComPtr<IControlWindow> win;
    EXPECT_EQ(ctl.As(&win), S_OK);
    void* w = nullptr;
    EXPECT_EQ(win->CreateControlWindow(&frame, &w), S_OK);
    widget = static_cast<QWidget*>(w);
    widget->resize(800, 400);
    frame.show();
    tree = widget->findChild<QTreeView*>("tree");
    list = widget->findChild<QTreeView*>("list");
  }
  ~Host() {
    if (cp) cp->Unadvise(cookie);
  }

  // Dispatch by id: a method with args in declaration order.
  HRESULT Call(DISPID id, std::vector<Variant> args, VARIANT* result = nullptr, WORD flags = DISPATCH_METHOD) {
    return xcom::CallDispatch(disp.Get(), id, flags, xcom::AsVariants(args), result);
  }
  QStandardItemModel* treeModel() const { return qobject_cast<QStandardItemModel*>(tree->model()); }
  std::string TreeSelection() const {
    QModelIndex i = tree->currentIndex();
    return i.isValid() ? i.data().toString().toStdString() : "<none>";
  }
  QStringList ListColumn(int column = 0) const {
    QStringList out;
    for (int r = 0; r < list->model()->rowCount(); ++r) out << list->model()->index(r, column).data().toString();
    return out;
  }
  QStringList Headers() const {
    QStringList out;
    for (int c = 0; c < list->model()->columnCount(); ++c)
      out << list->model()->headerData(c, Qt::Horizontal).toString();
    return out;
  }
  int ListRowOf(const QString& name) const {
    for (int r = 0; r < list->model()->rowCount(); ++r)
      if (list->model()->index(r, 0).data().toString() == name) return r;
    return -1;
  }

  AppFirst appFirst;  // the application exists before the window does
  ComPtr<ICompCtl> ctl;
  ComPtr<IDispatch> disp;
  ComPtr<IConnectionPoint> cp;
  DWORD cookie = 0;
  Sink sink;
  QWidget frame;
  QWidget* widget = nullptr;
  QTreeView* tree = nullptr;
  QTreeView* list = nullptr;
};

}  // namespace brevixtest
