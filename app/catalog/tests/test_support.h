// Shared helpers of the catalog window tests: a program folder of its own per test, a fake
// browser control whose FindItem reports a list of hits, and a disk scanner whose every answer
// is a field the test sets and whose every call is logged ("AddNewDisk e:\ [ E ] -- Drive
// flag=-100").
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "icompctl.h"
#include "iofilegraber.h"
#include "iteminfovariant.h"
#include "scriptedforms.h"
#include "testing_files/test_support.h"
#include "testing_qt/test_support.h"
#include "xcom/com.h"
#include "xcom/dispatch.h"
#include "xcom/object.h"
#include "xcom/tokens.h"

namespace catalog_testing {

// Each test: its own program folder (XENDORA_HOME) and scripted forms.
class CatalogTest : public ::testing::Test {
 protected:
  CatalogTest() : use_(script_) { setenv("XENDORA_HOME", scratch_.path().c_str(), 1); }
  ~CatalogTest() override { unsetenv("XENDORA_HOME"); }

  testing_files::ScratchFolder scratch_;
  forms::ScriptedForms script_{testing_qt::FailTest};
  forms::ScopedForms use_;
};

// One hit as a catalog walk reports it.
struct Hit {
  std::u16string path;
  double serial = 0;
  std::u16string note;
  LONG sizeKB = 0;
  DATE date = 0;
  std::u16string kind = u"FILE";
};

// A browser control whose FindItem hands its hits to the callback one after the other and
// ends at the first non-zero answer (the walk over one level). Every other member answers
// E_NOTIMPL. Lives on the stack; reference counting does nothing.
class FakeCompCtl : public xcom::VtableOnlyDispatch<ICompCtl> {
 public:
  std::vector<Hit> hits;
  HRESULT answer = S_OK;  // FindItem's status after the hits
  std::function<void(size_t)> beforeHit;
  // The arguments of the last FindItem.
  struct Call {
    std::u16string dir, name, note;
    LONG size = 0;
    DATE from = 0, to = 0;
    SHORT type = 0;
  };
  std::vector<Call> calls;
  size_t delivered = 0;

  HRESULT FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate, SHORT srchType,
                   LONG lpCallbackFnPtr) override {
    calls.push_back({std::u16string(xcom::BstrView(sDir)), std::u16string(xcom::BstrView(Name)),
                     std::u16string(xcom::BstrView(Note)), lSize, startDate, endDate, srchType});
    auto* fn = xcom::ResolveToken<ItemCallbackFn>(xcom::TokenKind::ItemCallback, lpCallbackFnPtr);
    if (!fn) return STG_E_INVALIDPARAMETER;
    delivered = 0;
    for (size_t i = 0; i < hits.size(); ++i) {
      if (beforeHit) beforeHit(i);
      const Hit& h = hits[i];
      xcom::Bstr p(h.path), n(h.note), k(h.kind);
      ++delivered;
      if (fn(p.Get(), h.serial, n.Get(), h.sizeKB, h.date, k.Get()) != 0) break;
    }
    return answer;
  }

  HRESULT QueryInterface(REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT get_DocFileName(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_DocFileName(BSTR) override { return E_NOTIMPL; }
  HRESULT Refresh() override { return E_NOTIMPL; }
  // The tree: the item information of the items SetSelectedItem(path, 0) can select, and the
  // one selected, which GetSelectedItem(0) answers (E_NOTIMPL before any selection).
  std::map<QString, QVariant> treeItems;
  QVariant treeSelection;
  HRESULT GetSelectedItem(SHORT pane, VARIANT* pData) override {
    if (pane != 0 || !treeSelection.isValid()) return E_NOTIMPL;
    if (!pData) return E_POINTER;
    xcom::Variant v = app::ToControlVariant(treeSelection);
    VariantClear(pData);
    return VariantCopy(pData, &v);
  }
  // SetItemNote's arguments, joined by "|".
  std::vector<std::u16string> notes;
  HRESULT SetItemNote(BSTR path, BSTR note, SHORT type, BSTR recur, LONG recursive) override {
    notes.push_back(std::u16string(xcom::BstrView(path)) + u"|" + std::u16string(xcom::BstrView(note)) + u"|" +
                    QString::number(type).toStdU16String() + u"|" + std::u16string(xcom::BstrView(recur)) + u"|" +
                    QString::number(recursive).toStdU16String());
    return S_OK;
  }
  HRESULT Rename(SHORT) override { return E_NOTIMPL; }
  HRESULT CreateBackup(BSTR) override { return E_NOTIMPL; }
  HRESULT ShowInSysTray(SHORT) override { return E_NOTIMPL; }
  HRESULT GetPossibleDrives(BSTR*, BSTR*, BSTR*) override { return E_NOTIMPL; }
  HRESULT get_MasterPassword(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_MasterPassword(BSTR) override { return E_NOTIMPL; }
  HRESULT get_UserPassword(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_UserPassword(BSTR) override { return E_NOTIMPL; }
  HRESULT get_AllowDelete(LONG*) override { return E_NOTIMPL; }
  HRESULT put_AllowDelete(LONG) override { return E_NOTIMPL; }
  HRESULT GetItemInfo(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT SetSelectedItem(BSTR path, SHORT source) override {
    if (source == 0)
      treeSelection = treeItems.count(app::FromBstr(path)) ? treeItems[app::FromBstr(path)] : QVariant(0);
    return S_OK;
  }
  HRESULT BrowseForFolder(BSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT get_ControlType(enControlType*) override { return E_NOTIMPL; }
  HRESULT put_ControlType(enControlType) override { return E_NOTIMPL; }
  HRESULT PrintText(LONG, BSTR, INT, LONG, LONG, LONG, LONG, BSTR, SHORT, LONG, LONG, LONG, OLE_COLOR) override {
    return E_NOTIMPL;
  }
};

// A disk scanner for the dialog tests.
class FakeScanner : public xcom::VtableOnlyDispatch<IOFileGraber>, private wintypes::RefCounted<FakeScanner> {
 public:
  virtual ~FakeScanner() = default;
  double labelSerial = LABEL_SERIAL_NONE;  // GetDiskSerial
  QVariant filed = 0;                      // IsDiskFiled: a name or a number
  std::map<double, QString> serialOwners;  // IsSerialUsed
  QStringList namesUsed;                   // IsNameUsed (ignoring case)
  HRESULT listAnswer = S_OK;               // DisplayDirectoryFiles
  QStringList rootFolders, rootFiles;      // the root listing: the drive, folders, files
  std::vector<Hit> listing;                // or these items as they stand
  HRESULT setSerialAnswer = S_OK;
  SHORT writable = 1;  // IsWritable
  HRESULT addAnswer = S_OK;
  QVariant addResult;  // pData of AddNewDisk: an item info list or a number
  HRESULT updateAnswer = S_OK;
  QVariant updateResult;
  double base = -1;
  QString diskType;
  QString docFile;
  QStringList log;
  QString addCategory, addDescription;

  static QVariantList Info(const QString& name, double serial, const QString& type) {
    return {qlonglong(2048), 46000.5, 46000.25, serial, qlonglong(1048576), name, type, QString()};
  }
  // An add's or update's result into pData: an item information array, or a number.
  static void PutResult(const QVariant& result, VARIANT* pData) {
    if (!pData || !result.isValid()) return;
    xcom::Variant v = app::IsItemInfo(result) ? app::ToControlVariant(result) : xcom::Variant();
    if (!app::IsItemInfo(result)) {
      v.vt = VT_I4;
      v.lVal = result.toInt();
    }
    VariantClear(pData);
    VariantCopy(pData, &v);
  }

  HRESULT AddNewDisk(BSTR path, BSTR name, BSTR descrip, VARIANT* pData, SHORT iFlag, BSTR category) override {
    log << QStringLiteral("AddNewDisk %1 %2 flag=%3 base=%4")
               .arg(app::FromBstr(path), app::FromBstr(name))
               .arg(iFlag)
               .arg(base, 0, 'f', 0);
    addDescription = app::FromBstr(descrip);
    addCategory = app::FromBstr(category);
    PutResult(addResult, pData);
    return addAnswer;
  }
  HRESULT UpdateDisk(BSTR path, SHORT iFlag, VARIANT* pData) override {
    log << QStringLiteral("UpdateDisk %1 flag=%2").arg(app::FromBstr(path)).arg(iFlag);
    PutResult(updateResult, pData);
    return updateAnswer;
  }
  HRESULT get_BaseSerialNum(double* v) override {
    *v = base;
    return S_OK;
  }
  HRESULT put_BaseSerialNum(double v) override {
    base = v;
    return S_OK;
  }
  HRESULT get_DiskType(BSTR* v) override {
    *v = SysAllocString(diskType.toStdU16String().c_str());
    return S_OK;
  }
  HRESULT put_DiskType(BSTR v) override {
    diskType = app::FromBstr(v);
    return S_OK;
  }
  HRESULT IsDiskFiled(BSTR path, VARIANT* pData) override {
    log << QStringLiteral("IsDiskFiled %1").arg(app::FromBstr(path));
    VariantClear(pData);
    if (filed.typeId() == QMetaType::QString) {
      pData->vt = VT_BSTR;
      pData->bstrVal = SysAllocString(filed.toString().toStdU16String().c_str());
    } else {
      pData->vt = VT_I4;
      pData->lVal = filed.toInt();
    }
    return S_OK;
  }
  HRESULT IsSerialUsed(double serial, BSTR* pName) override {
    log << QStringLiteral("IsSerialUsed %1").arg(serial, 0, 'f', 0);
    auto it = serialOwners.find(serial);
    if (*pName) SysFreeString(*pName);
    *pName = it == serialOwners.end() ? nullptr : SysAllocString(it->second.toStdU16String().c_str());
    return S_OK;
  }
  HRESULT get_DocFileName(BSTR* v) override {
    *v = SysAllocString(docFile.toStdU16String().c_str());
    return S_OK;
  }
  HRESULT put_DocFileName(BSTR v) override {
    docFile = app::FromBstr(v);
    return S_OK;
  }
  HRESULT IsValidMedium(BSTR, SHORT, LONG*) override { return E_NOTIMPL; }
  HRESULT IsNameUsed(BSTR name, double* used) override {
    log << QStringLiteral("IsNameUsed %1").arg(app::FromBstr(name));
    *used = namesUsed.contains(app::FromBstr(name), Qt::CaseInsensitive) ? 1.0 : -1.0;
    return S_OK;
  }
  HRESULT IsWritable(BSTR, SHORT* w) override {
    *w = writable;
    return writable == SCANNER_WRITE_NOT_READY ? SCANNER_DRIVE_NOT_READY : S_OK;
  }
  HRESULT GetDiskSerial(BSTR, double* serial) override {
    *serial = labelSerial;
    return S_OK;
  }
  HRESULT SetDiskSerial(BSTR path, BSTR label) override {
    log << QStringLiteral("SetDiskSerial %1 %2").arg(app::FromBstr(path), app::FromBstr(label));
    return setSerialAnswer;
  }
  HRESULT DisplayDirectoryFiles(BSTR path, SHORT, LONG token) override {
    auto* fn = xcom::ResolveToken<ItemCallbackFn>(xcom::TokenKind::ItemCallback, token);
    if (FAILED(listAnswer) || listAnswer == SCANNER_DRIVE_NOT_READY || !fn) return listAnswer;
    for (const Hit& h : listing) {
      xcom::Bstr p(h.path), k(h.kind);
      fn(p.Get(), -1, nullptr, h.sizeKB, h.date, k.Get());
    }
    if (!listing.empty()) return S_OK;
    const QString root = app::FromBstr(path);
    auto call = [&](const QString& p, const char16_t* kind) {
      xcom::Bstr b(p.toStdU16String()), k(kind);
      fn(b.Get(), -1, nullptr, 0, 0, k.Get());
    };
    call(root, u"Zip Disk");
    for (const QString& f : rootFolders) call(root + f, u"FOLDER");
    for (const QString& f : rootFiles) call(root + f, u"FILE");
    return S_OK;
  }

  // Reference counting for a heap object handed to a ComPtr.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return wintypes::AnswerQuery(xcom::FindInterface<IOFileGraber, IDispatch>(this, riid), this, ppv);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

 private:
  friend class wintypes::RefCounted<FakeScanner>;
};

// A scanner the test keeps a reference to, and a ComPtr for the code under test.
struct ScannerHandle {
  xcom::ComPtr<FakeScanner> keep;
  FakeScanner* operator->() const { return keep.Get(); }
  ScannerHandle() : keep(new FakeScanner) {}
  xcom::ComPtr<IOFileGraber> Ptr() const { return xcom::ComPtr<IOFileGraber>(keep.Get()); }
};

}  // namespace catalog_testing
