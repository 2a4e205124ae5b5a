// The control's host services: the tray icon, the possible drives, the folder browser and
// rotated text on a drawing surface.
#include <QSystemTrayIcon>
#include <QWidget>

#include "compctl_impl.h"
#include "ctlwindow.h"
#include "forms.h"
#include "imagelist.h"
#include "surface_xcom.h"
#include "volumes.h"

namespace brevix {

HRESULT CompCtl::ShowInSysTray(SHORT iShow) {
  if (iShow != 1) {
    RemoveTrayIcon();
    return S_OK;
  }
  CtlWindow* w = window_;
  if (!w) return S_OK;
  if (!tray_) {
    tray_ = new QSystemTrayIcon(ImageAt(IMAGE_ROOT), w);
    QObject::connect(tray_, &QSystemTrayIcon::activated, w, [this](QSystemTrayIcon::ActivationReason r) {
      switch (r) {
        case QSystemTrayIcon::Trigger: OnTrayActivated(TRAY_LBUTTONDOWN); break;
        case QSystemTrayIcon::DoubleClick: OnTrayActivated(TRAY_LBUTTONDBLCLK); break;
        case QSystemTrayIcon::Context: OnTrayActivated(TRAY_RBUTTONDOWN); break;
        default: break;
      }
    });
  }
  // The host's window goes into the tray only where an icon can bring it back.
  if (QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();
  QWidget* host = w->window();
  if (tray_->isVisible()) host->hide();
  else host->showMinimized();
  return S_OK;
}

void CompCtl::RemoveTrayIcon() {
  if (!tray_) return;
  QSystemTrayIcon* t = tray_;
  tray_ = nullptr;
  t->hide();
  delete t;
}

void CompCtl::OnTrayActivated(LONG mouseMessage) {
  xcom::Variant args[] = {xcom::Variant::I4(mouseMessage), xcom::Variant::I4(kTrayIconId)};
  Fire(DISPID_VEMRA_TRAYICONNOTIFY, xcom::AsVariants(args));
}

HRESULT CompCtl::GetPossibleDrives(BSTR* bstrFloppy, BSTR* bstrZip, BSTR* bstrCD) {
  std::vector<DriveSlot> drives;
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    const char letter = static_cast<char>('A' + i);
    const std::string root = std::string(1, letter) + ":\\";
    drives.push_back({letter, GetDriveTypeA(root.c_str())});
  }
  const PossibleDrives found = ChoosePossibleDrives(drives);
  auto put = [](const std::optional<std::string>& root, BSTR* out) {
    if (!root || !out) return;
    BSTR s = xcom::AllocBstr(xcom::Utf8ToUtf16(*root));
    if (!s) return;
    SysFreeString(*out);
    *out = s;
  };
  put(found.floppy, bstrFloppy);
  put(found.zip, bstrZip);
  put(found.cd, bstrCD);
  return S_OK;
}

HRESULT CompCtl::BrowseForFolder(BSTR, BSTR* bstrRetPath) {
  if (!bstrRetPath) return E_POINTER;
  QString chosen;
  if (!forms::BrowseForFolder(chosen, QStringLiteral("Select a Directory"))) return S_OK;
  // The answer in the drive-letter form the scanner takes; a folder on no drive has none.
  std::string drivePath;
  if (!volumes::ToDrivePath(chosen.toStdString(), drivePath)) return S_OK;
  BSTR s = xcom::AllocBstr(xcom::Utf8ToUtf16(drivePath));
  if (!s) return E_OUTOFMEMORY;
  SysFreeString(*bstrRetPath);
  *bstrRetPath = s;
  return S_OK;
}

HRESULT CompCtl::PrintText(LONG hDC, BSTR sText, INT angle, LONG left, LONG top, LONG right, LONG bott, BSTR fnName,
                           SHORT fnSize, LONG fnItal, LONG fnBold, LONG fnUnder, OLE_COLOR color) {
  // The device context is a token of the surface layer; anything else is never drawn on.
  surface::Surface* s = hDC > 0 ? surface::SurfaceFromComponentDC(hDC) : nullptr;
  if (!s) return STG_E_INVALIDPARAMETER;
  s->PrintText(QString::fromStdU16String(std::u16string(xcom::BstrView(sText))), angle, left, top, right, bott,
               QString::fromStdU16String(std::u16string(xcom::BstrView(fnName))), fnSize, fnItal, fnBold, fnUnder,
               static_cast<LONG>(color));
  return S_OK;
}

HRESULT CompCtl::DispPrintText(LONG hDC, BSTR sText, INT angle, LONG left, LONG top, LONG right, LONG bott,
                               BSTR fnName, SHORT fnSize, LONG fnItal, LONG fnBold, LONG fnUnder, LONG color) {
  return PrintText(hDC, sText, angle, left, top, right, bott, fnName, fnSize, fnItal, fnBold, fnUnder,
                   static_cast<OLE_COLOR>(color));
}

const xcom::DispatchTable<CompCtl>& CompCtl::GetDispatchTable() {
  using M = xcom::Member<CompCtl>;
  using xcom::In;
  using xcom::InOut;
  using xcom::Out;
  using xcom::Retval;
  static const xcom::DispatchTable<CompCtl> table{
      M::PropertyGet<&CompCtl::get_DocFileName>("DocFileName", DISPID_COMPCTL_DOCFILENAME),
      M::PropertyPut<&CompCtl::put_DocFileName>("DocFileName", DISPID_COMPCTL_DOCFILENAME),
      M::Method<&CompCtl::Refresh>("Refresh", DISPID_COMPCTL_REFRESH),
      M::Method<&CompCtl::FindItem>("FindItem", DISPID_COMPCTL_FINDITEM,
                                    {In(VT_BSTR), In(VT_BSTR), In(VT_BSTR), In(VT_I4), In(VT_DATE), In(VT_DATE),
                                     In(VT_I2), In(VT_I4)}),
      M::Method<&CompCtl::GetSelectedItem>("GetSelectedItem", DISPID_COMPCTL_GETSELECTEDITEM,
                                           {In(VT_I2), InOut(VT_VARIANT)}),
      M::Method<&CompCtl::SetItemNote>("SetItemNote", DISPID_COMPCTL_SETITEMNOTE),
      M::Method<&CompCtl::Rename>("Rename", DISPID_COMPCTL_RENAME),
      M::Method<&CompCtl::CreateBackup>("CreateBackup", DISPID_COMPCTL_CREATEBACKUP),
      M::Method<&CompCtl::ShowInSysTray>("ShowInSysTray", DISPID_COMPCTL_SHOWINSYSTRAY),
      M::Method<&CompCtl::GetPossibleDrives>("GetPossibleDrives", DISPID_COMPCTL_GETPOSSIBLEDRIVES,
                                             {InOut(VT_BSTR), InOut(VT_BSTR), InOut(VT_BSTR)}),
      M::PropertyGet<&CompCtl::get_MasterPassword>("MasterPassword", DISPID_COMPCTL_MASTERPASSWORD),
      M::PropertyPut<&CompCtl::put_MasterPassword>("MasterPassword", DISPID_COMPCTL_MASTERPASSWORD),
      M::PropertyGet<&CompCtl::get_UserPassword>("UserPassword", DISPID_COMPCTL_USERPASSWORD),
      M::PropertyPut<&CompCtl::put_UserPassword>("UserPassword", DISPID_COMPCTL_USERPASSWORD),
      M::PropertyGet<&CompCtl::get_AllowDelete>("AllowDelete", DISPID_COMPCTL_ALLOWDELETE),
      M::PropertyPut<&CompCtl::put_AllowDelete>("AllowDelete", DISPID_COMPCTL_ALLOWDELETE),
      M::Method<&CompCtl::GetItemInfo>("GetItemInfo", DISPID_COMPCTL_GETITEMINFO, {In(VT_BSTR), Out(VT_VARIANT)}),
      M::Method<&CompCtl::SetSelectedItem>("SetSelectedItem", DISPID_COMPCTL_SETSELECTEDITEM),
      M::Method<&CompCtl::BrowseForFolder>("BrowseForFolder", DISPID_COMPCTL_BROWSEFORFOLDER,
                                           {In(VT_BSTR), Retval(VT_BSTR)}),
      M::PropertyGet<&CompCtl::get_ControlType>("ControlType", DISPID_COMPCTL_CONTROLTYPE),
      M::PropertyPut<&CompCtl::put_ControlType>("ControlType", DISPID_COMPCTL_CONTROLTYPE),
      M::Method<&CompCtl::DispPrintText>("PrintText", DISPID_COMPCTL_PRINTTEXT),
  };
  return table;
}

}  // namespace brevix
