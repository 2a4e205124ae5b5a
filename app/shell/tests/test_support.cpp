// The fake browser control, fake disk scanner and recording opener of the shell's tests, and the
// application object they run under.
#include "test_support.h"

#include <QApplication>
#include <QTreeWidget>
#include <QVariantList>

#include "global.h"
#include "iteminfovariant.h"
#include "testing_qt/test_support.h"

namespace {
[[maybe_unused]] auto* const environment = testing_qt::AddQtEnvironment<QApplication>("shell_tests");
}  // namespace

namespace shelltest {

using app::FromBstr;

xcom::ServerModule& FakeModule() {
  static xcom::ServerModule module;
  return module;
}

QVariant Item(const QString& name, const QString& type, qlonglong size, double serial, qlonglong freeSpace,
              const QString& note) {
  QVariantList list(app::kItemInfoCount);
  list[app::kInfoSize] = size;
  list[app::kInfoTimeA] = 46000.5;
  list[app::kInfoTimeB] = 46000.25;
  list[app::kInfoSerial] = serial;
  list[app::kInfoFreeSpace] = freeSpace;
  list[app::kInfoName] = name;
  list[app::kInfoType] = type;
  list[app::kInfoNote] = note;
  return list;
}

namespace {
HRESULT GiveString(const QString& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = app::ToBstr(text).Detach();
  return S_OK;
}
}  // namespace

FakeCompCtl::FakeCompCtl()
    : events_(*static_cast<IUnknown*>(static_cast<ICompCtl*>(this)), *this, DIID__IVemraStorage) {}
FakeCompCtl::~FakeCompCtl() { events_.DisconnectAll(); }

HRESULT FakeCompCtl::get_DocFileName(BSTR* pVal) { return GiveString(docFileName, pVal); }
HRESULT FakeCompCtl::put_DocFileName(BSTR newVal) {
  docFileName = FromBstr(newVal);
  calls << QStringLiteral("DocFileName=") + docFileName;
  return docFileName.isEmpty() ? S_OK : docFileNameAnswer;
}
HRESULT FakeCompCtl::Refresh() {
  calls << QStringLiteral("Refresh");
  return S_OK;
}
HRESULT FakeCompCtl::GetSelectedItem(SHORT iSource, VARIANT* pData) {
  calls << QStringLiteral("GetSelectedItem(%1)").arg(iSource);
  if (iSource != 0 && iSource != 1) return S_OK;
  auto it = selected.find(iSource);
  if (it == selected.end() || !pData) return S_OK;
  xcom::Variant v = app::ToControlVariant(it->second);
  VariantClear(pData);
  *pData = v.Detach();
  return S_OK;
}
HRESULT FakeCompCtl::Rename(SHORT iControl) {
  calls << QStringLiteral("Rename(%1)").arg(iControl);
  return S_OK;
}
HRESULT FakeCompCtl::CreateBackup(BSTR bstrName) {
  const QString name = FromBstr(bstrName);
  calls << QStringLiteral("CreateBackup=") + name;
  return onBackup ? onBackup(name) : S_OK;
}
HRESULT FakeCompCtl::ShowInSysTray(SHORT iShow) {
  trayShown = iShow;
  calls << QStringLiteral("ShowInSysTray(%1)").arg(iShow);
  return S_OK;
}
HRESULT FakeCompCtl::GetPossibleDrives(BSTR* f, BSTR* z, BSTR* c) {
  calls << QStringLiteral("GetPossibleDrives");
  auto put = [](const QString& v, BSTR* out) {
    if (v.isEmpty() || !out) return;
    SysFreeString(*out);
    *out = app::ToBstr(v).Detach();
  };
  put(possibleFloppy, f);
  put(possibleZip, z);
  put(possibleCD, c);
  return S_OK;
}
HRESULT FakeCompCtl::get_MasterPassword(BSTR* pVal) {
  if (FAILED(passwordAnswer)) return passwordAnswer;
  return GiveString(master, pVal);
}
HRESULT FakeCompCtl::put_MasterPassword(BSTR newVal) {
  master = FromBstr(newVal);
  calls << QStringLiteral("MasterPassword=") + master;
  return S_OK;
}
HRESULT FakeCompCtl::get_UserPassword(BSTR* pVal) {
  if (FAILED(passwordAnswer)) return passwordAnswer;
  return GiveString(user, pVal);
}
HRESULT FakeCompCtl::put_UserPassword(BSTR newVal) {
  user = FromBstr(newVal);
  calls << QStringLiteral("UserPassword=") + user;
  return S_OK;
}
HRESULT FakeCompCtl::GetItemInfo(BSTR bstrPath, VARIANT* pData) {
  const QString path = FromBstr(bstrPath);
  calls << QStringLiteral("GetItemInfo=") + path;
  auto it = items.find(path);
  if (it == items.end()) return STG_E_FILENOTFOUND;
  xcom::Variant v = app::ToControlVariant(it->second);
  VariantClear(pData);
  *pData = v.Detach();
  return S_OK;
}
HRESULT FakeCompCtl::SetSelectedItem(BSTR itmPath, SHORT iSource) {
  calls << QStringLiteral("SetSelectedItem(%1,%2)").arg(FromBstr(itmPath)).arg(iSource);
  return S_OK;
}
HRESULT FakeCompCtl::BrowseForFolder(BSTR, BSTR* ret) {
  if (!folderAnswer.isEmpty() && ret) {
    SysFreeString(*ret);
    *ret = app::ToBstr(folderAnswer).Detach();
  }
  return S_OK;
}

HRESULT FakeCompCtl::CreateControlWindow(void* parent, void** ppQWidget) {
  if (!ppQWidget) return E_POINTER;
  if (window) {
    *ppQWidget = window;
    return S_FALSE;
  }
  auto* tree = new QTreeWidget(static_cast<QWidget*>(parent));
  tree->setObjectName(QStringLiteral("CompCtl1"));
  tree->setHeaderLabels({QStringLiteral("Disk Catalog")});
  window = tree;
  QObject::connect(tree, &QObject::destroyed, [this] { window = nullptr; });
  *ppQWidget = window;
  return S_OK;
}

HRESULT FakeCompCtl::FindConnectionPoint(REFIID riid, IConnectionPoint** pp) {
  xcom::ConnectionPoint* points[] = {&events_};
  return xcom::FindConnectionPointIn(points, riid, pp);
}

void FakeCompCtl::FireClick(SHORT pane) {
  xcom::Variant a = xcom::Variant::I2(pane);
  events_.Fire(DISPID_VEMRA_CLICK, a);
}
void FakeCompCtl::FireDblClick(SHORT pane) {
  xcom::Variant a = xcom::Variant::I2(pane);
  events_.Fire(DISPID_VEMRA_DBLCLICK, a);
}
void FakeCompCtl::FireRClick(SHORT pane) {
  xcom::Variant a = xcom::Variant::I2(pane);
  events_.Fire(DISPID_VEMRA_RCLICK, a);
}
void FakeCompCtl::FireTreeNodeChanged(const QVariant& item) {
  xcom::Variant a = app::ToControlVariant(item);
  events_.Fire(DISPID_VEMRA_TREENODECHANGED, a);
}
void FakeCompCtl::FireTrayIconNotify(LONG lParam) {
  xcom::Variant a = xcom::Variant::I4(lParam);
  xcom::Variant b = xcom::Variant::I4(kTrayIconId);
  events_.Fire(DISPID_VEMRA_TRAYICONNOTIFY, a, b);
}

xcom::ComPtr<FakeCompCtl> MakeFakeCompCtl() {
  xcom::ComPtr<FakeCompCtl> ctl;
  xcom::MakeComponent(FakeModule(), &ctl);
  return ctl;
}

HRESULT FakeFileGraber::IsSerialUsed(double serial, BSTR* pName) {
  calls << QStringLiteral("IsSerialUsed=%1").arg(serial, 0, 'f', 0);
  if (serial < 0 || !pName) return S_OK;
  SysFreeString(*pName);
  *pName = nullptr;
  auto it = catalogued.find(serial);
  if (it != catalogued.end()) *pName = app::ToBstr(it->second).Detach();
  return S_OK;
}
HRESULT FakeFileGraber::get_DocFileName(BSTR* pVal) { return GiveString(docFileName, pVal); }
HRESULT FakeFileGraber::put_DocFileName(BSTR newVal) {
  docFileName = FromBstr(newVal);
  return S_OK;
}
HRESULT FakeFileGraber::GetDiskSerial(BSTR path, double* pNum) {
  const QString root = FromBstr(path);
  calls << QStringLiteral("GetDiskSerial=") + root;
  auto it = labelSerials.find(root.toUpper());
  *pNum = it == labelSerials.end() ? LABEL_SERIAL_NONE : it->second;
  return S_OK;
}

xcom::ComPtr<FakeFileGraber> MakeFakeFileGraber() {
  xcom::ComPtr<FakeFileGraber> g;
  xcom::MakeComponent(FakeModule(), &g);
  return g;
}

std::unique_ptr<app::frmMain> MakeMainWindow(const xcom::ComPtr<FakeCompCtl>& control, app::AppState& state) {
  auto window = std::make_unique<app::frmMain>(
      [control](xcom::ComPtr<ICompCtl>* out) {
        *out = xcom::ComPtr<ICompCtl>(control.Get());
        return S_OK;
      },
      state);
  window->SetQuitOnUnload(false);
  window->SetPopupsShown(false);
  return window;
}

ScopedFileGraber::ScopedFileGraber() : scanner(MakeFakeFileGraber()) {
  app::SetFileGraberFactory([this](xcom::ComPtr<IOFileGraber>* out) {
    *out = xcom::ComPtr<IOFileGraber>(scanner.Get());
    return S_OK;
  });
}
ScopedFileGraber::~ScopedFileGraber() { app::SetFileGraberFactory(nullptr); }

RecordingOpener::RecordingOpener(int a) : answer(a) {
  previous_ = forms::SetShellOpener([this](const forms::ShellRequest& r) {
    requests.push_back(r);
    return answer;
  });
}
RecordingOpener::~RecordingOpener() { forms::SetShellOpener(std::move(previous_)); }

}  // namespace shelltest
