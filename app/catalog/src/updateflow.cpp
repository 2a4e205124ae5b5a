// The update-disk dialog's update half and the disk update run.
#include "updateflow.h"

#include "appstate.h"
#include "forms.h"
#include "global.h"
#include "iteminfovariant.h"
#include "itemtypes.h"
#include "offthread.h"
#include "vbrt.h"

namespace app::catalog {

namespace {

QString Num(double v) { return QString::fromStdU16String(vbrt::CStr(v)); }

void GeneralError(int number, const QString& description) {
  forms::MsgBox(QStringLiteral("ERROR:   ") + QString::number(number) + QChar(u'\r') + description, forms::vbOKOnly);
}

}  // namespace

QString DiskSummaryText(const QVariant& info, SHORT labelMedium) {
  if (!IsItemInfo(info)) return QString();
  const QString serial = Num(ItemInfoNumber(info, kInfoSerial));
  const QString name = ItemInfoText(info, kInfoName);
  if (labelMedium == 1) {
    return QStringLiteral("   Serial Number:\t\t\t") + serial + QStringLiteral("\r   Name:\t\t") + name;
  }
  if (labelMedium == 2 || labelMedium == 3) {
    const qlonglong free = ItemInfoBytes(info, kInfoFreeSpace);
    return QStringLiteral("   Disk Number:   ") + serial + QStringLiteral("\r   Name:   ") + name +
           QStringLiteral("\r   Modified:   ") +
           QString::fromStdU16String(vbrt::DateToText(ItemInfoNumber(info, kInfoTimeA))) +
           QStringLiteral("\r   Free Space:   ") + FormatNumber(static_cast<double>(free) / 1024.0, u"#,###") +
           QStringLiteral("K (") + QString::number(free) + QStringLiteral(" Bytes)");
  }
  return QString();
}

UpdateFlow::UpdateFlow(AppState& state, UpdateView& view, xcom::ComPtr<IOFileGraber> scanner, const QString& catalog)
    : state_(state), view_(view), scanner_(std::move(scanner)), catalog_(catalog) {}

void UpdateFlow::Load() {
  state_.print.DescendingOrder = false;
  ++state_.shell.OpenDialogCount;
  state_.print.ReportType = 2;
  if (scanner_) scanner_->put_DocFileName(ToBstr(catalog_).Get());
  if (state_.print.PrintOnlyMode) {
    // The label of the disk just added or chosen: its kind from its media type.
    const QVariant& info = state_.selection.AddUpdateResult;
    if (IsItemInfo(info)) {
      const QString t = ItemInfoText(info, kInfoType);
      if (t == u"3\u00bd\" Floppy Disk" || t == u"Floppy Disk") {
        state_.print.LabelMedium = 1;
        state_.print.PrintOutlines = true;
      } else if (t == u"Zip Drive" || t == u"Zip Disk") {
        state_.print.LabelMedium = 2;
        state_.print.PrintOutlines = true;
      } else if (t == u"CD-RW Disk") {
        state_.print.LabelMedium = 3;
      } else if (t == u"Network Connection" || t == u"Local Disk") {
        state_.print.LabelMedium = 0;
      }
    }
    summary_ = DiskSummaryText(state_.selection.AddUpdateResult, state_.print.LabelMedium);
    return;
  }
  // The drive preselection from the browser's selection; choosing a drive never reads it.
  const QVariant& sel = state_.selection.SelectedItemInfo;
  if (!IsItemInfo(sel)) return;
  const QString type = ItemInfoText(sel, kInfoType);
  const QString name = ItemInfoText(sel, kInfoName);
  if (type == u"Local Disk" || type == u"Network Connection") {
    if (name.size() >= 3) DriveChanged(name.mid(2, 1).toLower() + u':');
    return;
  }
  const SHORT code = GetDiskTypeCode(type, state_.settings);
  const QString drive = state_.settings.DriveLetter(code);
  if (!drive.isEmpty()) {
    DriveChanged(drive.left(2).toLower());
    const int at = static_cast<int>(mediaTypes_.indexOf(type));
    if (at >= 0) MediaTypeChosen(at);
  }
}

void UpdateFlow::DriveChanged(const QString& driveText) {
  if (driveText.isEmpty()) return;
  drive_ = driveText;
  state_.print.LabelMedium = 1;
  QString letter = driveText.left(2);
  typeName_ = GetDriveTypeName(letter);
  code_ = GetDiskTypeCode(typeName_, state_.settings);
  if (code_ == kLocalDisk || code_ == kNetworkConnection || code_ == kCdRwDisk) {
    mediaTypes_ = QStringList{typeName_};
    mediaTypeIndex_ = 0;
  } else {
    mediaTypes_ = QStringList{QStringLiteral("Floppy Disk"), QStringLiteral("Zip Disk")} + state_.settings.OtherMediaNames;
    if (code_ == kFloppyDisk) mediaTypeIndex_ = 0;
    else if (code_ == kZipDisk) mediaTypeIndex_ = 1;
    else mediaTypeIndex_ = mediaTypes_.size() > 2 ? 2 : 0;
  }
}

void UpdateFlow::MediaTypeChosen(int index) {
  if (index < 0 || index >= mediaTypes_.size()) return;
  mediaTypeIndex_ = index;
  typeName_ = mediaTypes_[index];
  code_ = GetDiskTypeCode(typeName_, state_.settings);
  state_.settings.SetDriveLetter(code_, drive_.left(2) + u'\\');
}

QString UpdateFlow::GetDriveLabel(const QString& path) {
  double serial = LABEL_SERIAL_NONE;
  if (!scanner_ || FAILED(scanner_->GetDiskSerial(ToBstr(path).Get(), &serial)) || serial < 0) return QString();
  return QStringLiteral("Updating from drive ") + path.toUpper() + QStringLiteral(" - containing disk #") +
         Num(serial) + QStringLiteral(" ...");
}

void UpdateFlow::Start() {
  const QString path = drive_.left(2) + u'\\';
  switch (code_) {
    case kFloppyDisk:
      state_.print.LabelMedium = 1;
      state_.print.PrintOutlines = true;
      break;
    case kZipDisk:
      state_.print.LabelMedium = 2;
      state_.print.PrintOutlines = true;
      break;
    case kCdRwDisk:
      state_.print.LabelMedium = 3;
      break;
    default:
      state_.print.LabelMedium = 0;
  }
  int answer = forms::vbOK;
  UpdateDisk(answer, path);
}

void UpdateFlow::UpdateDisk(int& answer, const QString& path) {
  if (answer != forms::vbOK || !scanner_ || ran_) return;
  const bool removable = code_ > 1;
  QVariant& result = state_.selection.AddUpdateResult;
  try {
    if (removable) {
      SHORT writable = 1;
      HRESULT hr = scanner_->IsWritable(ToBstr(path).Get(), &writable);
      if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
      if (writable == 0) {
        answer = forms::MsgBox(QString::fromUtf16(kReadOnlyWarning), forms::vbOKCancel + forms::vbExclamation,
                               QStringLiteral("Xendora"));
        if (answer == forms::vbCancel) return;
      } else if (writable == SCANNER_WRITE_NOT_READY) {
        forms::MsgBox(QString::fromUtf16(kAccessFailedUpdate), forms::vbCritical, QStringLiteral("ERROR!"));
        view_.Unload();
        return;
      }
    }
    if (state_.walk.SkipUpdateConfirm) {
      state_.walk.SkipUpdateConfirm = false;
    } else if (removable) {
      xcom::Variant filed;
      HRESULT hr = scanner_->IsDiskFiled(ToBstr(path).Get(), &filed);
      if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
      if (filed.vt == VT_BSTR) {
        const QString name = FromBstr(filed.bstrVal);
        view_.SelectInBrowser(name);
        answer = forms::MsgBox(QStringLiteral("You are about to update the data for the disk #") +
                                   Num(state_.selection.SelectedDiskNumber) + QStringLiteral(" cataloged under the name \"") +
                                   name +
                                   QStringLiteral("\" with the information from the disk currently in the drive.  Press "
                                                  "OK to continue."),
                               forms::vbOKCancel, QStringLiteral("WARNING!"));
      }
    } else {
      const QString name = QStringLiteral("[ ") + path.left(1).toUpper() + QStringLiteral(" ] -- Drive");
      double used = -1;
      HRESULT hr = scanner_->IsNameUsed(ToBstr(name).Get(), &used);
      if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
      if (used >= 0) {
        view_.SelectInBrowser(name);
        answer = forms::MsgBox(QStringLiteral("You are about to update the data for the disk cataloged under the name \"") +
                                   name +
                                   QStringLiteral("\"with the information from the corresponding drive.  Press OK to "
                                                  "continue."),
                               forms::vbOKCancel, QStringLiteral("WARNING!"));
      }
    }
    if (answer == forms::vbCancel) {
      view_.Unload();
      return;
    }

    view_.ShowScanLayout(GetDriveLabel(path));
    forms::SetScreenMousePointer(forms::vbHourglass);
    result = QVariant();
    xcom::Variant data;
    // The scan runs on a worker thread; the dialog's thread keeps painting meanwhile.
    HRESULT hr = E_FAIL;
    {
      const xcom::Bstr root = ToBstr(path);
      IOFileGraber* scanner = scanner_.Get();
      RunOffWindowThread(
          [&] { hr = scanner->UpdateDisk(root.Get(), removable ? SHORT{0} : FLAG_DRIVE_BY_LETTER, &data); });
    }
    scanner_.Reset();
    ran_ = true;
    result = FromControlVariant(data);
    if (FAILED(hr) || !IsItemInfo(result) || hr == SCANNER_DRIVE_NOT_READY) {
      const auto e = vbrt::RuntimeError::FromHResult(FAILED(hr) ? hr : E_FAIL);
      ErrorPath(hr, e.number(), QString::fromStdU16String(e.description()));
      return;
    }
    view_.SetCaption(QStringLiteral("Disk Label"));
    summary_ = DiskSummaryText(result, state_.print.LabelMedium);
    forms::SetScreenMousePointer(forms::vbDefault);
    view_.RefreshBrowser();
    view_.StopAnimation();
    if (state_.print.BatchPrintMode) {
      view_.Unload();
      return;
    }
    view_.ShowPrintHalf();
  } catch (const vbrt::RuntimeError& e) {
    ErrorPath(E_FAIL, e.number(), QString::fromStdU16String(e.description()));
  }
}

void UpdateFlow::ErrorPath(HRESULT hr, int errorNumber, const QString& description) {
  forms::SetScreenMousePointer(forms::vbDefault);
  view_.StopAnimation();
  const QVariant& result = state_.selection.AddUpdateResult;
  const LONG code = result.typeId() == QMetaType::Int || result.typeId() == QMetaType::LongLong
                        ? static_cast<LONG>(result.toLongLong())
                        : 0;
  if (IsItemInfo(result)) {
    // The scan failed part-way: what it wrote is shown, and the failure reported.
    view_.RefreshBrowser();
    GeneralError(errorNumber, description);
    view_.Unload();
  } else if (code == SCANNER_DRIVE_NOT_READY || hr == SCANNER_DRIVE_NOT_READY) {
    forms::MsgBox(QString::fromUtf16(kAccessFailedUpdate), forms::vbCritical, QStringLiteral("ERROR!"));
    view_.Unload();
  } else if (code == STG_E_FILENOTFOUND || hr == STG_E_FILENOTFOUND || errorNumber == vbrt::ErrClassNotFound) {
    // Also a drive catalogued by its letter that the catalog does not hold: offered for adding.
    const int reply = forms::MsgBox(QString::fromUtf16(kNotInLibrary), forms::vbYesNo, QStringLiteral("WARNING!"));
    view_.Unload();
    if (reply != forms::vbYes) return;
    switch (state_.print.LabelMedium) {
      case 1: state_.shell.PendingDiskCommand = QStringLiteral("ADDFLP"); break;
      case 2: state_.shell.PendingDiskCommand = QStringLiteral("ADDZIP"); break;
      case 3: state_.shell.PendingDiskCommand = QStringLiteral("ADDCD"); break;
      default: {
        QVariantList info;
        for (int i = 0; i < kItemInfoCount; ++i) info.append(QString());
        info[kInfoName] = QStringLiteral("[ ") + drive_.left(1) + QStringLiteral(" ]");
        info[kInfoType] = typeName_;
        state_.selection.SelectedItemInfo = info;
      }
    }
    view_.ShowAddDialog();
  } else {
    GeneralError(errorNumber, description);
    view_.Unload();
  }
}

}  // namespace app::catalog
