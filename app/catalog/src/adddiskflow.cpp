// The add-disk dialog's flow: drive and media type, serial, name rules and the add.
#include "adddiskflow.h"

#include "appstate.h"
#include "forms.h"
#include "global.h"
#include "iteminfovariant.h"
#include "itemnames.h"
#include "itemtypes.h"
#include "notes.h"
#include "offthread.h"
#include "vbrt.h"
#include "xcom/tokens.h"

namespace app::catalog {

namespace {

constexpr HRESULT kWriteProtected = static_cast<HRESULT>(0x80070013);

QString Num(double v) { return QString::fromStdU16String(vbrt::CStr(v)); }
double Number(const QString& text) { return vbrt::Val(text.toStdU16String()); }

void Warn(const QString& text) { forms::MsgBox(text, forms::vbExclamation, QStringLiteral("WARNING!")); }

void GeneralError(int number, const QString& description) {
  forms::MsgBox(QStringLiteral("ERROR:   ") + QString::number(number) + QChar(u'\r') + description, forms::vbOKOnly);
}

// The root's folders and files as the dialog lists them.
struct RootListing {
  QStringList folders, files;
  QString root;  // the drive's own path, which every entry's path begins with
  bool first = true;
};
RootListing* g_root = nullptr;

LONG OnRootItem(BSTR path, double, BSTR, LONG, DATE, BSTR kind) {
  if (!g_root) return 0;
  const QString text = FromBstr(path);
  if (std::exchange(g_root->first, false)) {  // the drive itself
    g_root->root = text;
    return 0;
  }
  // An entry's name is what follows the drive's path: a name read from the disk may itself
  // hold "\", so it is not cut at its last one.
  QString name = text.startsWith(g_root->root) ? text.mid(g_root->root.size()) : NameOfPath(text);
  if (!g_root->root.endsWith(u'\\') && name.startsWith(u'\\')) name.remove(0, 1);
  (FromBstr(kind) == u"FOLDER" ? g_root->folders : g_root->files).append(name);
  return 0;
}

}  // namespace

AddDiskFlow::AddDiskFlow(AppState& state, AddDiskView& view, xcom::ComPtr<IOFileGraber> scanner, const QString& catalog)
    : state_(state), view_(view), scanner_(std::move(scanner)), catalog_(catalog) {}

void AddDiskFlow::Check(HRESULT hr) {
  if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
}

QString AddDiskFlow::FilterName(const QString& text) {
  QString s = text;
  for (char16_t c : kDiskNameRefusedChars) s.remove(QChar(c));
  return s.left(static_cast<qsizetype>(kMaxDiskNameLength));
}

double AddDiskFlow::NextSerial(SHORT code) const {
  const Settings& s = state_.settings;
  if (code >= kFirstUserMediaType) {
    const int i = code - kFirstUserMediaType;
    return i < s.OtherMediaSerials.size() ? Number(s.OtherMediaSerials[i]) : 0;
  }
  return code >= 0 && code < static_cast<SHORT>(s.StartSerials.size()) ? s.StartSerials[code] : 0;
}

QString AddDiskFlow::DriveLabel(const QString& path, SHORT code) {
  double serial = LABEL_SERIAL_NONE;
  Check(scanner_->GetDiskSerial(ToBstr(path).Get(), &serial));
  return Num(serial >= 0 ? serial : NextSerial(code));
}

void AddDiskFlow::Load() {
  if (scanner_) scanner_->put_DocFileName(ToBstr(catalog_).Get());
  FillCategories(QString());
  QString& cmd = state_.shell.PendingDiskCommand;
  if (cmd == u"ADDFLPONLY") cmd = QStringLiteral("ADDFLP");
  else if (cmd == u"ADDZIPONLY") cmd = QStringLiteral("ADDZIP");
  ++state_.shell.OpenDialogCount;
}

void AddDiskFlow::FillCategories(const QString& select) {
  in_.categories.clear();
  in_.categoryIndex = -1;
  const QStringList& names = state_.settings.CategoryNames;
  for (const QString& n : names) in_.categories.append(n.isEmpty() ? QStringLiteral("(none)") : n);
  in_.categories.append(QStringLiteral("(none)"));  // the list's end: no category
  if (select.isNull()) return;
  for (int i = 0; i < names.size(); ++i)
    if (names[i].trimmed() == select.trimmed() && !select.trimmed().isEmpty()) in_.categoryIndex = i;
  if (in_.categoryIndex < 0) in_.categoryIndex = static_cast<int>(in_.categories.size()) - 1;
  CategoryChosen(in_.categoryIndex);
}

void AddDiskFlow::Activate() {
  if (std::exchange(activated_, true)) return;
  const QString& cmd = state_.shell.PendingDiskCommand;
  if (cmd == u"ADDFLP") SetDriveLetter(QString(), QStringLiteral("Floppy Disk"));
  else if (cmd == u"ADDZIP") SetDriveLetter(QString(), QStringLiteral("Zip Disk"));
  else if (cmd == u"ADDCD") SetDriveLetter(QString(), QStringLiteral("CD-RW Disk"));
  else if (!cmd.isEmpty()) return;
  else if (IsItemInfo(state_.selection.SelectedItemInfo))
    SetDriveLetter(ItemInfoText(state_.selection.SelectedItemInfo, kInfoName),
                   ItemInfoText(state_.selection.SelectedItemInfo, kInfoType));
}

void AddDiskFlow::SetDriveLetter(const QString& itemName, const QString& typeName) {
  if (typeName != u"Network Connection" && typeName != u"Local Disk") {
    const SHORT code = GetDiskTypeCode(typeName, state_.settings);
    const QString drive = state_.settings.DriveLetter(code);
    if (!drive.isEmpty() && !state_.print.PrintOnlyMode) {
      DriveChanged(drive.left(2).toLower());
      const int at = static_cast<int>(in_.mediaTypes.indexOf(typeName));
      if (at >= 0 && in_.partTwoEnabled) {
        in_.mediaTypeIndex = at;
        MediaTypeChosen(at);
      }
    }
  } else if (itemName.size() >= 3) {
    DriveChanged(itemName.mid(2, 1).toLower() + u':');
  }
}

void AddDiskFlow::DriveChanged(const QString& driveText) {
  if (driveText.isEmpty()) return;
  in_.drive = driveText;
  state_.print.LabelMedium = 1;
  try {
    QString letter = driveText.left(2);
    typeName_ = GetDriveTypeName(letter);  // appends "\"
    code_ = GetDiskTypeCode(typeName_, state_.settings);
    const QString root = driveText.left(2) + u'\\';
    if (code_ > 1) in_.serial = DriveLabel(root, code_);
    SelectDrive(root, code_);
  } catch (const vbrt::RuntimeError& e) {
    GeneralError(e.number(), QString::fromStdU16String(e.description()));
  }
}

void AddDiskFlow::EnablePartTwo(bool keepRecursive) {
  in_.okEnabled = in_.dirEnabled = in_.partTwoEnabled = true;
  in_.nameEnabled = in_.serialEditEnabled = true;
  if (!keepRecursive) in_.recursiveEnabled = true;
}

bool AddDiskFlow::SelectDrive(const QString& path, SHORT code) {
  try {
    // Listing the root is what reads the medium: a drive that cannot be read is unavailable.
    RootListing listing;
    g_root = &listing;
    xcom::ScopedToken token(xcom::TokenKind::ItemCallback, &OnRootItem);
    const HRESULT listed = scanner_->DisplayDirectoryFiles(ToBstr(path).Get(), 2, token.value());
    g_root = nullptr;
    if (FAILED(listed) || listed == SCANNER_DRIVE_NOT_READY) throw vbrt::RuntimeError(vbrt::ErrDeviceUnavailable);
    in_.dirPath = path;
    in_.rootFolders = listing.folders;
    in_.rootFiles = listing.files;

    xcom::Variant filed;
    Check(scanner_->IsDiskFiled(ToBstr(path).Get(), &filed));
    if (filed.vt == VT_BSTR) {
      const QString name = FromBstr(filed.bstrVal);
      view_.SelectInBrowser(name);
      const int answer = forms::MsgBox(
          QStringLiteral("The disk you are trying to add already exists in your library under the name \"") + name +
              QStringLiteral("\", Disk No. ") + Num(state_.selection.SelectedDiskNumber) + QStringLiteral(".\r") +
              QStringLiteral("Would you like to overwrite files in your catalog with the data on the disk?"),
          forms::vbYesNo, QStringLiteral("WARNING!"));
      if (answer == forms::vbYes) {
        view_.Unload();
        forms::DoEvents();
        const QString& cmd = state_.shell.PendingDiskCommand;
        if (cmd.endsWith(u"FLP") || cmd.endsWith(u"ZIP")) {
          QVariantList info;
          for (int i = 0; i < kItemInfoCount; ++i) info.append(QString());
          info[kInfoName] = path;
          info[kInfoType] = cmd.endsWith(u"FLP") ? QStringLiteral("Floppy Disk") : QStringLiteral("Zip Disk");
          state_.selection.SelectedItemInfo = info;
        }
        state_.walk.SkipUpdateConfirm = true;
        view_.ShowUpdateDialog();
        return false;
      }
      EnablePartTwo(false);
      in_.serial = Num(NextSerial(code));
      PrepareScreenFormMediaType(false);
      in_.serial = Num(NextSerial(code_));
      return true;
    }
    LONG value = 0;
    if (filed.vt == VT_I4) value = filed.lVal;
    else if (filed.vt == VT_I2) value = filed.iVal;
    if (value == 0) EnablePartTwo(true);
    PrepareScreenFormMediaType(false);
    double serial = LABEL_SERIAL_NONE;
    Check(scanner_->GetDiskSerial(ToBstr(path).Get(), &serial));
    if (serial > 0) in_.serial = Num(serial);
    return true;
  } catch (const vbrt::RuntimeError& e) {
    g_root = nullptr;
    if (e.number() == vbrt::ErrDeviceUnavailable) {
      Warn(QString::fromUtf16(kDeviceUnavailable));
      in_.drive.clear();
      in_.mediaTypeIndex = -1;
      in_.dirEnabled = false;
      in_.okEnabled = false;
    } else {
      GeneralError(e.number(), QString::fromStdU16String(e.description()));
    }
    return false;
  }
}

void AddDiskFlow::PrepareScreenFormMediaType(bool keepText) {
  const QString drive = in_.drive.toUpper();
  if (!keepText) {
    in_.name.clear();
    in_.description.clear();
  }
  const SHORT code = code_;
  if (code == kFloppyDisk || code == kZipDisk || code >= kFirstUserMediaType) {
    in_.nameEnabled = in_.serialEditEnabled = true;
    in_.mediaTypes = QStringList{QStringLiteral("Floppy Disk"), QStringLiteral("Zip Disk")} +
                     state_.settings.OtherMediaNames;
    in_.otherEnabled = true;
    int index = 0;
    if (code == kFloppyDisk || code == kZipDisk) index = code - kFloppyDisk;
    else if (code - kFirstUserMediaType + 2 < in_.mediaTypes.size()) index = code - kFirstUserMediaType + 2;
    in_.mediaTypeIndex = index;
    MediaTypeChosen(index);
  } else {
    in_.mediaTypes = QStringList{typeName_};
    in_.mediaTypeIndex = 0;
    MediaTypeChosen(0);
    in_.otherEnabled = false;
    if (code == kCdRwDisk) {
      in_.nameEnabled = in_.serialEditEnabled = true;
    } else {
      in_.serial.clear();
      in_.serialEditEnabled = false;
      in_.name = QStringLiteral("[ ") + drive.left(1) + QStringLiteral(" ] -- Drive");
      in_.nameEnabled = false;
      const qsizetype bracket = drive.indexOf(u'[');
      if (drive.size() > 3 && bracket >= 0) in_.description = in_.drive.mid(bracket);
    }
  }
}

void AddDiskFlow::MediaTypeChosen(int index) {
  if (index < 0 || index >= in_.mediaTypes.size()) return;
  in_.mediaTypeIndex = index;
  typeName_ = in_.mediaTypes[index];
  code_ = GetDiskTypeCode(typeName_, state_.settings);
  if (index >= 2) in_.serial = Num(NextSerial(static_cast<SHORT>(kFirstUserMediaType + index - 2)));
  else in_.serial = Num(state_.settings.StartSerials[code_ == kCdRwDisk ? kCdRwDisk : index + 2]);
}

void AddDiskFlow::CategoryChosen(int index) {
  in_.categoryIndex = index;
  const QString text = index >= 0 && index < in_.categories.size() ? in_.categories[index] : QString();
  if (text == u"(none)") in_.categoryIndex = -1;
  if (!text.isEmpty() && text != u"(none)") {
    in_.recursiveEnabled = true;
  } else {
    in_.recursive = false;
    in_.recursiveEnabled = false;
  }
}

void AddDiskFlow::NewMediaType() {
  const QString name = view_.AskMediaTypeName().left(20);
  if (name.isEmpty()) return;
  Settings& s = state_.settings;
  const double serial = s.OtherMediaSerials.isEmpty() ? s.StartSerials[kCdRwDisk] + 1
                                                      : Number(s.OtherMediaSerials.back()) + 1;
  s.OtherMediaNames.append(name);
  s.OtherMediaSerials.append(Num(serial));
  in_.mediaTypes.append(name);
  MediaTypeChosen(static_cast<int>(in_.mediaTypes.size()) - 1);
}

void AddDiskFlow::EditSerial() {
  view_.ShowSerialOptions(in_.mediaTypeIndex >= 0 ? in_.mediaTypes.value(in_.mediaTypeIndex) : typeName_);
  in_.serial = Num(NextSerial(code_));
}

void AddDiskFlow::Options() {
  view_.ShowOptions();
  if (in_.partTwoEnabled) PrepareScreenFormMediaType(true);
}

void AddDiskFlow::EditCategory() { FillCategories(view_.EditCategories()); }

void AddDiskFlow::AdvanceSerial(double shown) {
  Settings& s = state_.settings;
  if (code_ >= kFirstUserMediaType) {
    const int i = code_ - kFirstUserMediaType;
    if (i < s.OtherMediaSerials.size() && Number(s.OtherMediaSerials[i]) == shown) {
      s.OtherMediaSerials[i] = Num(shown + 1);
      view_.SaveSettings();
    }
  } else if (code_ >= 0 && s.StartSerials[code_] == shown) {
    s.StartSerials[code_] = shown + 1;
    view_.SaveSettings();
  }
}

bool AddDiskFlow::Add() {
  const QString categoryText = in_.categoryIndex >= 0 ? in_.categories.value(in_.categoryIndex) : QString();
  const QString category = categoryText == u"(none)" ? QString() : categoryText;
  const QString path = in_.dirPath.left(3);
  if (in_.name.isEmpty()) {
    Warn(QString::fromUtf16(kNameRequired));
    view_.FocusName();
    return false;
  }
  auto endRequest = [&] {
    forms::SetScreenMousePointer(forms::vbDefault);
    view_.ShowProgress(false);
  };
  QVariant& result = state_.selection.AddUpdateResult;
  try {
    const double shown = in_.serial.isEmpty() ? -1.0 : Number(in_.serial);
    Check(scanner_->put_BaseSerialNum(shown));
    Check(scanner_->put_DiskType(ToBstr(typeName_).Get()));
    view_.ShowProgress(true);
    forms::SetScreenMousePointer(forms::vbHourglass);
    result = -1;

    if (!in_.serial.isEmpty()) {
      xcom::Bstr user;
      Check(scanner_->IsSerialUsed(shown, user.ReleaseAndGetAddressOf()));
      if (!FromBstr(user.Get()).isEmpty()) {
        Warn(QStringLiteral("The Serial Number you've specified is in use by the disk named ") + FromBstr(user.Get()) +
             QStringLiteral(".  Please specify a different serial number for this disk."));
        forms::SetScreenMousePointer(forms::vbDefault);
        view_.ShowSerialOptions(typeName_);
        // The media type's next serial, as the user may just have changed it; it must be free.
        const double next = NextSerial(code_);
        Check(scanner_->IsSerialUsed(next, user.ReleaseAndGetAddressOf()));
        if (!FromBstr(user.Get()).isEmpty()) {
          Warn(QStringLiteral("The Serial Number you've specified is in use by the disk named ") +
               FromBstr(user.Get()) + QStringLiteral(".  Please specify a different serial number for this disk."));
          in_.serial = Num(next);
          endRequest();
          return false;
        }
        in_.serial = Num(next);
        Check(scanner_->put_BaseSerialNum(next));
        forms::SetScreenMousePointer(forms::vbHourglass);
      }
    }

    double used = -1.0;
    Check(scanner_->IsNameUsed(ToBstr(in_.name).Get(), &used));
    if (used >= 0) {
      Warn(QStringLiteral("The Disk Name you've specified is currently in use by another disk in your catalog.\r"
                          "Please specify a different Disk Name for this disk."));
      endRequest();
      if (in_.nameEnabled) view_.FocusName();
      return false;
    }

    // The medium carries another catalogued disk's label: replace it, just before the add, so
    // that an add ended earlier never leaves the medium without its disk's label.
    if (code_ > 1) {
      double labelSerial = LABEL_SERIAL_NONE;
      Check(scanner_->GetDiskSerial(ToBstr(path).Get(), &labelSerial));
      if (labelSerial > 0) {
        xcom::Bstr owner;
        Check(scanner_->IsSerialUsed(labelSerial, owner.ReleaseAndGetAddressOf()));
        if (!FromBstr(owner.Get()).isEmpty()) {
          const HRESULT relabelled = scanner_->SetDiskSerial(ToBstr(path).Get(), xcom::Bstr(u"A").Get());
          // A write-protected medium keeps its label; the add goes on and meets it there.
          if (relabelled != kWriteProtected) Check(relabelled);
        }
      }
    }

    const QString description = category.isEmpty() && in_.description.isEmpty()
                                    ? QString()
                                    : CategoryNote(category, in_.description);
    const SHORT flag = in_.serial.isEmpty() ? FLAG_DRIVE_BY_LETTER : 0;
    const QString subItems = in_.recursive ? SubItemCategory(category) : QString();
    xcom::Variant data;
    data.vt = VT_I4;
    data.lVal = -1;
    // The scan runs on a worker thread; the dialog's thread keeps painting meanwhile.
    HRESULT hr = E_FAIL;
    {
      const xcom::Bstr root = ToBstr(path), name = ToBstr(in_.name), note = ToBstr(description),
                       subItemNote = ToBstr(subItems);
      IOFileGraber* scanner = scanner_.Get();
      RunOffWindowThread(
          [&] { hr = scanner->AddNewDisk(root.Get(), name.Get(), note.Get(), &data, flag, subItemNote.Get()); });
    }
    const QVariant answer = FromControlVariant(data);
    result = answer;
    scanner_.Reset();
    endRequest();

    if (IsItemInfo(answer) && SUCCEEDED(hr)) {
      state_.settings.SetDriveLetter(code_, path);
      try {
        if (!in_.serial.isEmpty()) AdvanceSerial(Number(in_.serial));
      } catch (const vbrt::RuntimeError& e) {
        GeneralError(e.number(), QString::fromStdU16String(e.description()));
      }
      view_.RefreshBrowser();
      view_.Unload();
      forms::DoEvents();
      if (!state_.print.BatchPrintMode) {
        state_.print.PrintOnlyMode = true;
        view_.ShowUpdateDialog();
        state_.print.PrintOnlyMode = false;
      }
      return true;
    }
    if (IsItemInfo(answer)) view_.RefreshBrowser();  // the scan failed part-way: show what was written
    const LONG code = answer.typeId() == QMetaType::Int || answer.typeId() == QMetaType::LongLong
                          ? static_cast<LONG>(answer.toLongLong())
                          : -1;
    if (hr == SCANNER_DRIVE_NOT_READY || code == SCANNER_DRIVE_NOT_READY) {
      forms::MsgBox(QString::fromUtf16(kAccessFailedAdd), forms::vbCritical, QStringLiteral("ERROR!"));
      view_.Unload();
      return false;
    }
    if (code == STG_E_FILEALREADYEXISTS) {
      const int reply = forms::MsgBox(QString::fromUtf16(kAlreadyExistsUpdate), forms::vbYesNo, QStringLiteral("WARNING!"));
      view_.Unload();
      if (reply == forms::vbYes && (state_.print.LabelMedium == 1 || state_.print.LabelMedium == 2)) {
        state_.shell.PendingDiskCommand = state_.print.LabelMedium == 1 ? QStringLiteral("UPDFLP") : QStringLiteral("UPDZIP");
        view_.ShowUpdateDialog();
      }
      return false;
    }
    if (hr == STG_E_FILEALREADYEXISTS) {
      // The catalog refused the name itself (the label serial answers in the result).
      Warn(QStringLiteral("The Disk Name you've specified is currently in use by another disk in your catalog.\r"
                          "Please specify a different Disk Name for this disk."));
      return false;
    }
    Check(FAILED(hr) ? hr : E_FAIL);
    return false;
  } catch (const vbrt::RuntimeError& e) {
    endRequest();
    GeneralError(e.number(), QString::fromStdU16String(e.description()));
    return false;
  }
}

void AddDiskFlow::Unloaded() {
  scanner_.Reset();
  --state_.shell.OpenDialogCount;
  state_.print.ReportType = 1;
  view_.SelectInBrowser(QString());
  forms::SetScreenMousePointer(forms::vbDefault);
}

}  // namespace app::catalog
