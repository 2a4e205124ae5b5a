// The shared utilities of Global: media types, drives, opening catalogued files, comparisons,
// rounding up, edit-box letter case, the progress window, the main control and scanners.
#include "global.h"

#include <QDir>
#include <QLineEdit>

#include "forms.h"
#include "frmlogin.h"
#include "icompctl.h"
#include "iofilegraber.h"
#include "iteminfovariant.h"
#include "shellexecute.h"
#include "unicode.h"
#include "vbrt.h"
#include "volumes.h"

namespace app {

namespace {

ICompCtl*& MainControlSlot() {
  static ICompCtl* control = nullptr;
  return control;
}

FileGraberFactory& GraberFactory() {
  static FileGraberFactory factory;
  return factory;
}

std::u16string U16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

// The 3½-inch floppy's type text: "3", the one-half sign, a double quote, " Floppy Disk".
const QString& ThreeAndAHalfInchFloppy() {
  static const QString text = QStringLiteral("3") + QChar(0x00BD) + QStringLiteral("\" Floppy Disk");
  return text;
}

// A native path for the desktop's opener, its bytes kept whole (shellexecute.h).
QString NativePathText(const std::string& path) {
  return QString::fromStdU16String(unicode::Utf8ToUtf16(path, unicode::Policy::kLossless));
}

void ShowError(const vbrt::RuntimeError& e) {
  forms::MsgBox(QStringLiteral("ERROR:    ") + QString::number(e.number()) + QStringLiteral("       ") +
                QString::fromStdU16String(e.description()));
}

}  // namespace

ICompCtl* MainCompCtl() { return MainControlSlot(); }
void SetMainCompCtl(ICompCtl* control) { MainControlSlot() = control; }

HRESULT CreateFileGraber(xcom::ComPtr<IOFileGraber>* out) {
  if (!out) return E_POINTER;
  if (GraberFactory()) return GraberFactory()(out);
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgIdOFileGraberIndependent, &clsid);
  if (FAILED(hr)) return hr;
  return xcom::CreateInstance(clsid, out);
}

FileGraberFactory SetFileGraberFactory(FileGraberFactory factory) {
  FileGraberFactory previous = std::move(GraberFactory());
  GraberFactory() = std::move(factory);
  return previous;
}

SHORT GetDiskTypeCode(const QString& name, const Settings& settings) {
  if (name == ThreeAndAHalfInchFloppy()) return kFloppyDisk;
  if (name == QLatin1String("Floppy Disk")) return kFloppyDisk;
  if (name == QLatin1String("CD-RW Disk")) return kCdRwDisk;
  if (name == QLatin1String("100MB Zip Drive")) return kZipDisk;
  if (name == QLatin1String("Zip Drive")) return kZipDisk;
  if (name == QLatin1String("Zip Disk")) return kZipDisk;
  if (name == QLatin1String("Local Disk")) return kLocalDisk;
  if (name == QLatin1String("Network Connection")) return kNetworkConnection;
  for (int i = 0; i < settings.OtherMediaNames.size(); ++i) {
    if (settings.OtherMediaNames[i] == name) return SHORT(kFirstUserMediaType + i);
  }
  return kLocalDisk;
}

QString GetDriveTypeName(QString& drive) {
  drive += u'\\';
  const QByteArray root = drive.toUtf8();
  switch (GetDriveTypeA(root.constData())) {
    case DRIVE_REMOVABLE: {
      const QChar first = drive.isEmpty() ? QChar() : drive.at(0).toUpper();
      return first == u'A' || first == u'B' ? QStringLiteral("Floppy Disk") : QStringLiteral("Zip Disk");
    }
    case DRIVE_FIXED:
      return QStringLiteral("Local Disk");
    case DRIVE_REMOTE:
      return QStringLiteral("Network Connection");
    case DRIVE_CDROM:
      return QStringLiteral("CD-RW Disk");
    default:
      return QStringLiteral("Other");
  }
}

QString AskDriveLetter(const QString& mediaTypeName, QWidget* owner) {
  auto* dialog = new frmLogin(owner);
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog->SetFormType(kTextForm);
  dialog->SetDescription(QStringLiteral("Please enter a drive letter assosiated with the disk type \"") + mediaTypeName +
                         QStringLiteral("\" (Ex.: D:, E:, F: etc.)"));
  dialog->SetCaption(QStringLiteral("Drive Letter:"));
  dialog->SetMaxLen(4);
  forms::ShowModal(dialog, owner);
  delete dialog;
  const QString answer = Global().prompt.PromptValue;
  if (answer.isEmpty()) return QString();
  return answer.left(1) + QStringLiteral(":\\");
}

void OpenCatalogedFile(const QString& path, bool plainOpen) {
  OpenCatalogedFile(MainCompCtl(), Global().settings, path, plainOpen);
}

void OpenCatalogedFile(ICompCtl* control, Settings& settings, const QString& path, bool plainOpen) {
  struct PointerReset {
    ~PointerReset() { forms::SetScreenMousePointer(forms::vbDefault); }
  };
  try {
    const qsizetype slash = path.indexOf(u'/');
    const QString diskName = slash < 0 ? path : path.left(slash);
    const QString rest = slash < 0 ? QString() : path.mid(slash + 1);
    // The names below the disk, as the catalog holds them: no name on a disk holds "/", while
    // "\" and bytes that are not UTF-8 (held as U+DC80..U+DCFF) are a name's own.
    std::vector<std::u16string> names;
    for (const QString& name : rest.split(u'/', Qt::SkipEmptyParts)) names.push_back(U16(name));
    QString target;  // the drive-letter form, for the serial label's root and the messages
    QString drive;   // the drive the names lie on
    QString mediaName;
    double serial = 0;
    bool haveInfo = false;

    if (path.mid(3, 11) == QLatin1String(" ] -- Drive")) {
      // A disk catalogued by its drive letter: straight to that drive.
      drive = path.mid(2, 1) + u':';
      target = drive + path.mid(14).replace(u'/', u'\\');
    } else {
      if (!control) return;
      xcom::Variant info;
      const xcom::Bstr disk = ToBstr(diskName);
      control->GetItemInfo(disk.Get(), &info);
      const QVariant item = FromControlVariant(info);
      if (IsItemInfo(item)) {
        haveInfo = true;
        serial = ItemInfoNumber(item, kInfoSerial);
        mediaName = ItemInfoText(item, kInfoType);
        const SHORT code = GetDiskTypeCode(mediaName, settings);
        if (code == kFloppyDisk || code == kZipDisk || code == kCdRwDisk) {
          if (settings.DriveLetter(code).isEmpty()) settings.SetDriveLetter(code, AskDriveLetter(mediaName));
          drive = settings.DriveLetter(code);
          if (drive.isEmpty()) return;
          target = slash < 0 ? drive : drive + QString(rest).replace(u'/', u'\\');
        }
      }
    }

    // Is a serial-labelled disk in the drive?
    double labelSerial = 0;
    if (!target.isEmpty()) {
      xcom::ComPtr<IOFileGraber> scanner;
      if (SUCCEEDED(CreateFileGraber(&scanner)) && scanner) {
        if (control) {
          xcom::Bstr doc;
          control->get_DocFileName(doc.ReleaseAndGetAddressOf());
          scanner->put_DocFileName(doc.Get());
        }
        const xcom::Bstr root = ToBstr(target.left(3));
        scanner->GetDiskSerial(root.Get(), &labelSerial);
      }
    }

    forms::SetScreenMousePointer(forms::vbHourglass);
    PointerReset reset;
    if (target.isEmpty()) return;
    if (haveInfo && labelSerial <= 0) {
      forms::MsgBox(QStringLiteral("Please insert the following ") + mediaName + QStringLiteral(" in the drive:") +
                        QStringLiteral("\r\n\r\nDisk Number:\t") + QString::fromStdU16String(vbrt::CStr(serial)) +
                        QStringLiteral("\r\nDisk Name:\t") + diskName,
                    forms::vbOKOnly + forms::vbExclamation, QStringLiteral("Xendora"));
    }
    // The native path: the drive's folder, then each catalogued name as its bytes on the disk.
    // The working folder is the item's folder (the drive itself for the disk); a drive that
    // does not exist finds no file.
    std::string nativeTarget, nativeFolder;
    const bool found = volumes::ToNativePath(drive.toStdString(), names, nativeTarget);
    if (found) {
      names.resize(names.empty() ? 0 : names.size() - 1);
      volumes::ToNativePath(drive.toStdString(), names, nativeFolder);
    }
    const int answer = found ? forms::ShellExecuteA(
                                   nullptr, QStringLiteral("open"), NativePathText(nativeTarget), QStringLiteral("0"),
                                   plainOpen ? QStringLiteral("0") : NativePathText(nativeFolder), forms::SW_SHOWNORMAL)
                             : forms::SE_ERR_FNF;
    if (answer == forms::SE_ERR_FNF) {
      forms::MsgBox(QStringLiteral("Selected file was not found on the disk."), forms::vbCritical,
                    QStringLiteral("Xendora"));
    }
  } catch (const vbrt::RuntimeError& e) {
    ShowError(e);
  }
}

QVariant MinOf(const QVariant& a, const QVariant& b) {
  return QPartialOrdering::Greater == QVariant::compare(a, b) ? b : a;
}

QVariant MaxOf(const QVariant& a, const QVariant& b) {
  return QPartialOrdering::Greater == QVariant::compare(a, b) ? a : b;
}

double FormatDecimal(double value, SHORT decimals) {
  const QString pattern = QStringLiteral("0.") + QString(qMax<SHORT>(decimals, 0), u'0');
  const std::u16string picture = U16(pattern);
  double result = vbrt::CDbl(vbrt::Format(value, picture));
  if (result < value) {
    result += std::pow(10.0, -double(decimals));
    // The sum lands on the nearest double of the decimal it stands for.
    result = vbrt::CDbl(vbrt::Format(result, picture));
  }
  return result;
}

void SetTextCaseStyle(QLineEdit* edit, bool upper) {
  if (!edit) return;
  // Like the edit control's style bits, a case once set is never cleared; with both set,
  // upper case wins.
  edit->setProperty(upper ? "xendora.upperCase" : "xendora.lowerCase", true);
  auto recase = [edit] {
    const QString text = edit->text();
    const QString cased = edit->property("xendora.upperCase").toBool() ? text.toUpper() : text.toLower();
    if (cased != text) {
      const int cursor = edit->cursorPosition();
      edit->setText(cased);
      edit->setCursorPosition(cursor);
    }
  };
  if (!edit->property("xendora.caseHooked").toBool()) {
    edit->setProperty("xendora.caseHooked", true);
    QObject::connect(edit, &QLineEdit::textChanged, edit, recase);
  }
  recase();
}

void SetProgressTarget(QObject* window, WalkControl& walk) { walk.ProgressForm = window; }

}  // namespace app
