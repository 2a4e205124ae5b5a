// Shared helpers of the catalog window tests: an offscreen application, a program folder of
// its own per test, and a fake browser control whose FindItem reports a list of hits.
#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "icompctl.h"
#include "testing_files/test_support.h"
#include "scriptedforms.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace catalog_testing {

// One application object for the whole test program, created before the first test.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "UTC", 1);
    static int argc = 1;
    static char name[] = "catalog_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
};

// Each test: its own program folder (XENDORA_HOME) and scripted forms.
class CatalogTest : public ::testing::Test {
 protected:
  CatalogTest() : use_(script_) { setenv("XENDORA_HOME", scratch_.path().c_str(), 1); }
  ~CatalogTest() override { unsetenv("XENDORA_HOME"); }

  testing_files::ScratchFolder scratch_;
  forms::ScriptedForms script_{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
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
class FakeCompCtl : public ICompCtl {
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
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
  HRESULT get_DocFileName(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_DocFileName(BSTR) override { return E_NOTIMPL; }
  HRESULT Refresh() override { return E_NOTIMPL; }
  HRESULT GetSelectedItem(SHORT, VARIANT*) override { return E_NOTIMPL; }
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
  HRESULT SetSelectedItem(BSTR, SHORT) override { return E_NOTIMPL; }
  HRESULT BrowseForFolder(BSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT get_ControlType(enControlType*) override { return E_NOTIMPL; }
  HRESULT put_ControlType(enControlType) override { return E_NOTIMPL; }
  HRESULT PrintText(LONG, BSTR, INT, LONG, LONG, LONG, LONG, BSTR, SHORT, LONG, LONG, LONG, OLE_COLOR) override {
    return E_NOTIMPL;
  }
};

}  // namespace catalog_testing
