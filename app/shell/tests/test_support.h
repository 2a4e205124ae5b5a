// Fakes for the shell's tests: a browser control (ICompCtl, its window and its events) and a
// disk scanner, both xcom objects the tests make directly; a shell opener that records; and the
// fixture of the tests over the main window.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "appstate.h"
#include "frmmain.h"
#include "icompctl.h"
#include "iofilegraber.h"
#include "scriptedforms.h"
#include "shellexecute.h"
#include "testing_qt/test_support.h"
#include "windowlinks.h"
#include "xcom/connpoint.h"
#include "xcom/control.h"
#include "xcom/dispatch.h"
#include "xcom/object.h"

class QWidget;

namespace shelltest {

xcom::ServerModule& FakeModule();

// An item information array.
QVariant Item(const QString& name, const QString& type, qlonglong size = 0, double serial = 0,
              qlonglong freeSpace = 0, const QString& note = QString());

class FakeCompCtl : public xcom::VtableOnlyDispatch<ICompCtl>, public IControlWindow, public IConnectionPointContainer {
 public:
  void* GetInterface(REFIID iid) {
    return xcom::FindInterface<ICompCtl, IDispatch, IControlWindow, IConnectionPointContainer>(this, iid);
  }

  // What the control holds.
  QString docFileName;
  QString master, user;
  LONG allowDelete = 1;
  std::map<int, QVariant> selected;         // pane -> item information (0 tree, 1 list)
  std::map<QString, QVariant> items;        // catalog path -> item information
  QString possibleFloppy, possibleZip, possibleCD;
  QString folderAnswer;                     // BrowseForFolder; empty: cancelled
  HRESULT docFileNameAnswer = S_OK;
  HRESULT passwordAnswer = S_OK;
  std::function<HRESULT(const QString&)> onBackup;  // CreateBackup
  int trayShown = -1;                       // the last ShowInSysTray argument
  QStringList calls;                        // "DocFileName=x", "Refresh", "ShowInSysTray(1)" ...
  QWidget* window = nullptr;

  // Fires an event at the connected sinks.
  void FireClick(SHORT pane);
  void FireDblClick(SHORT pane);
  void FireRClick(SHORT pane);
  void FireTreeNodeChanged(const QVariant& item);
  void FireTrayIconNotify(LONG lParam);
  size_t SinkCount() const { return events_.size(); }

  // ICompCtl, answered from the fields above, most calls logged in `calls`; the members that
  // only answer are defined here.
  HRESULT get_DocFileName(BSTR* pVal) override;
  HRESULT put_DocFileName(BSTR newVal) override;
  HRESULT Refresh() override;
  HRESULT FindItem(BSTR, BSTR, BSTR, LONG, DATE, DATE, SHORT, LONG) override { return S_OK; }
  HRESULT GetSelectedItem(SHORT iSource, VARIANT* pData) override;
  HRESULT SetItemNote(BSTR, BSTR, SHORT, BSTR, LONG) override { return S_OK; }
  HRESULT Rename(SHORT iControl) override;
  HRESULT CreateBackup(BSTR bstrName) override;
  HRESULT ShowInSysTray(SHORT iShow) override;
  HRESULT GetPossibleDrives(BSTR* f, BSTR* z, BSTR* c) override;
  HRESULT get_MasterPassword(BSTR* pVal) override;
  HRESULT put_MasterPassword(BSTR newVal) override;
  HRESULT get_UserPassword(BSTR* pVal) override;
  HRESULT put_UserPassword(BSTR newVal) override;
  HRESULT get_AllowDelete(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = allowDelete;
    return S_OK;
  }
  HRESULT put_AllowDelete(LONG newVal) override {
    allowDelete = newVal;
    return S_OK;
  }
  HRESULT GetItemInfo(BSTR bstrPath, VARIANT* pData) override;
  HRESULT SetSelectedItem(BSTR itmPath, SHORT iSource) override;
  HRESULT BrowseForFolder(BSTR, BSTR* ret) override;
  HRESULT get_ControlType(enControlType* pVal) override {
    if (pVal) *pVal = TWO_PANE;
    return S_OK;
  }
  HRESULT put_ControlType(enControlType) override { return S_OK; }
  HRESULT PrintText(LONG, BSTR, INT, LONG, LONG, LONG, LONG, BSTR, SHORT, LONG, LONG, LONG, OLE_COLOR) override {
    return S_OK;
  }

  HRESULT CreateControlWindow(void* parent, void** ppQWidget) override;

  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override;

 protected:
  FakeCompCtl();
  ~FakeCompCtl();

 private:
  xcom::ConnectionPoint events_;
};

xcom::ComPtr<FakeCompCtl> MakeFakeCompCtl();

class FakeFileGraber : public xcom::VtableOnlyDispatch<IOFileGraber> {
 public:
  void* GetInterface(REFIID iid) { return xcom::FindInterface<IOFileGraber, IDispatch>(this, iid); }

  QString docFileName;
  std::map<QString, double> labelSerials;  // drive root -> serial on its label
  std::map<double, QString> catalogued;    // serial -> disk name (IsSerialUsed)
  QStringList calls;

  HRESULT AddNewDisk(BSTR, BSTR, BSTR, VARIANT*, SHORT, BSTR) override { return E_NOTIMPL; }
  HRESULT UpdateDisk(BSTR, SHORT, VARIANT*) override { return E_NOTIMPL; }
  HRESULT get_BaseSerialNum(double*) override { return E_NOTIMPL; }
  HRESULT put_BaseSerialNum(double) override { return E_NOTIMPL; }
  HRESULT get_DiskType(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_DiskType(BSTR) override { return E_NOTIMPL; }
  HRESULT IsDiskFiled(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT IsSerialUsed(double serial, BSTR* pName) override;
  HRESULT get_DocFileName(BSTR* pVal) override;
  HRESULT put_DocFileName(BSTR newVal) override;
  HRESULT IsValidMedium(BSTR, SHORT, LONG*) override { return E_NOTIMPL; }
  HRESULT IsNameUsed(BSTR, double*) override { return E_NOTIMPL; }
  HRESULT IsWritable(BSTR, SHORT*) override { return E_NOTIMPL; }
  HRESULT GetDiskSerial(BSTR path, double* pNum) override;
  HRESULT SetDiskSerial(BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT DisplayDirectoryFiles(BSTR, SHORT, LONG) override { return E_NOTIMPL; }

 protected:
  FakeFileGraber() = default;
  ~FakeFileGraber() = default;
};

xcom::ComPtr<FakeFileGraber> MakeFakeFileGraber();

// A main window over a fake control and a state of the test's, with popups and the event
// loop's end left out.
std::unique_ptr<app::frmMain> MakeMainWindow(const xcom::ComPtr<FakeCompCtl>& control, app::AppState& state);

// A test over the main window: a program folder of its own, a fake control, the state and
// scripted forms; the test makes the window, which goes after it with the window links.
class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XENDORA_HOME", home.path().toUtf8());
    control = MakeFakeCompCtl();
  }
  void TearDown() override {
    window.reset();
    app::Links() = app::WindowLinks();
  }

  QTemporaryDir home;
  xcom::ComPtr<FakeCompCtl> control;
  app::AppState state;
  std::unique_ptr<app::frmMain> window;
  forms::ScriptedForms script{testing_qt::FailTest};
  forms::ScopedForms use{script};
};

// While it lives, every disk scanner the shell creates is this one.
class ScopedFileGraber {
 public:
  ScopedFileGraber();
  ~ScopedFileGraber();
  xcom::ComPtr<FakeFileGraber> scanner;
};

// While it lives, the shell's "open" actions are recorded instead of launched.
class RecordingOpener {
 public:
  explicit RecordingOpener(int answer = forms::kShellExecuteDone);
  ~RecordingOpener();
  std::vector<forms::ShellRequest> requests;
  int answer;

 private:
  forms::ShellOpener previous_;
};

}  // namespace shelltest
