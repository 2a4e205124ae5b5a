// The options dialog's media types, serial checks and password page rules.
#include "optionsstate.h"

#include "forms.h"
#include "vbrt.h"

namespace app {

namespace {
const char* const kStandardNames[] = {"Floppy Disk", "Zip Disk", "CD-RW Disk"};
const char* const kStandardKeys[] = {"FLP", "ZIP", "CD"};

std::u16string U16(const QString& s) { return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size())); }
QString Num(double v) { return QString::fromStdU16String(vbrt::CStr(v)); }
}  // namespace

void OptionsState::LoadFrom(const Settings& settings) {
  serials_ = {settings.StartSerials[kFloppyDisk], settings.StartSerials[kZipDisk], settings.StartSerials[kCdRwDisk]};
  names_.clear();
  userDrives_.clear();
  baseDrives_.clear();
  for (int code = 0; code < kFirstUserMediaType; ++code) baseDrives_ << settings.DriveLetter(code);
  for (int i = 0; i < settings.OtherMediaNames.size(); ++i) {
    names_ << settings.OtherMediaNames[i];
    const std::u16string text = U16(settings.OtherMediaSerials.value(i));
    const std::optional<double> serial = vbrt::ParseNumber(text);
    serials_ << (serial ? *serial : 0.0);
    userDrives_ << settings.DriveLetter(kFirstUserMediaType + i);
  }
}

void OptionsState::SaveTo(Settings& settings) const {
  settings.StartSerials[kFloppyDisk] = serials_.value(0);
  settings.StartSerials[kZipDisk] = serials_.value(1);
  settings.StartSerials[kCdRwDisk] = serials_.value(2);
  settings.OtherMediaNames = names_;
  settings.OtherMediaSerials.clear();
  for (int i = 0; i < names_.size(); ++i) settings.OtherMediaSerials << Num(serials_.value(3 + i));
  QStringList drives = baseDrives_;
  while (drives.size() < kFirstUserMediaType) drives << QString();
  drives << userDrives_;
  settings.DriveLetters = drives;
}

QString OptionsState::Name(int index) const {
  if (index >= 0 && index < 3) return QString::fromLatin1(kStandardNames[index]);
  return names_.value(index - 3);
}

MediaListItem OptionsState::Item(int index) const {
  const QString key = index < 3 ? QString::fromLatin1(kStandardKeys[index]) : QStringLiteral("Other%1").arg(index - 3);
  return {Name(index) + QStringLiteral(" - ") + Num(Serial(index)), key, Name(index)};
}

QList<MediaListItem> OptionsState::Items() const {
  QList<MediaListItem> items;
  for (int i = 0; i < Count(); ++i) items << Item(i);
  return items;
}

int OptionsState::IndexOfName(const QString& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (Name(i) == name) return i;
  }
  return -1;
}

std::optional<OptionsMessage> OptionsState::CheckErrors(int index, const QString& entry,
                                                         const std::function<QString(double)>& isSerialUsed) {
  if (index < 0 || index >= Count()) return std::nullopt;
  const std::u16string text = U16(entry.trimmed());
  const std::optional<double> value = vbrt::IsNumeric(text) ? vbrt::ParseNumber(text) : std::nullopt;
  if (!value || !(*value >= 0) || *value > kMaxSerial) {
    return OptionsMessage{QStringLiteral("Please specify a number between 0 and 9999999999"), QStringLiteral("ERROR!"),
                          forms::vbCritical};
  }
  if (*value == serials_[index]) return std::nullopt;
  for (int i = 0; i < Count(); ++i) {
    if (i != index && serials_[i] == *value) {
      return OptionsMessage{QStringLiteral("The Serial Number you've specified is in use.  Please specify a different "
                                           "serial number for this disk."),
                            QStringLiteral("WARNING!"), forms::vbExclamation};
    }
  }
  if (isSerialUsed) {
    const QString disk = isSerialUsed(*value);
    if (!disk.isEmpty()) {
      return OptionsMessage{QStringLiteral("The Serial Number you've specified is in use by the disk named ") + disk +
                                QStringLiteral(".  Please specify a different serial number for this disk."),
                            QStringLiteral("WARNING!"), forms::vbExclamation};
    }
  }
  serials_[index] = *value;
  return std::nullopt;
}

int OptionsState::AddMediaType(const QString& name) {
  const double next = serials_.isEmpty() ? 0 : serials_.last() + 1;
  names_ << name;
  serials_ << next;
  userDrives_ << QString();
  return Count() - 1;
}

std::optional<OptionsMessage> OptionsState::DeleteRefusal(int index) const {
  if (index < 3) {
    return OptionsMessage{QStringLiteral("Deleting of the Standard Media Types is not permitted."),
                          QStringLiteral("Media Type"), forms::vbCritical};
  }
  return std::nullopt;
}

OptionsMessage OptionsState::DeleteQuestion(int index) const {
  return {QStringLiteral("You are about to delete the \"") + Name(index) +
              QStringLiteral("\" from the Media Type list.  Press \"OK\"to proceed."),
          QString(), forms::vbOKCancel};
}

void OptionsState::DeleteMediaType(int index) {
  if (index < 3 || index >= Count()) return;
  serials_.removeAt(index);
  names_.removeAt(index - 3);
  userDrives_.removeAt(index - 3);
}

QString SecurityDescription(const QString& loginState, const QString& catalogFileName) {
  if (loginState == QLatin1String("USER_LOGIN")) {
    return QStringLiteral("This disk Catalog is password protected.  Your login password does not give you sufficient "
                          "rights to modify the Master Password or User Password for this catalog.");
  }
  return QStringLiteral("To password protect current Disk Catalog (") + catalogFileName +
         QStringLiteral("), enter up to an 8-character Master Password and up to an 8-character User Password in the "
                        "corresponding fields below and press the \"Protect\" button.");
}

std::optional<ProtectRefusal> CheckProtect(const QString& master, const QString& reentry, const QString& user) {
  if (master.isEmpty()) return ProtectRefusal{QStringLiteral("Please specify up to an 8-character Master Password."),
                                              QStringLiteral("edMaster")};
  if (reentry.isEmpty()) return ProtectRefusal{QStringLiteral("Please re-enter up to an 8-character Master Password."),
                                               QStringLiteral("edMaster1")};
  if (user.isEmpty()) return ProtectRefusal{QStringLiteral("Please specify up to an 8-character User Password."),
                                            QStringLiteral("edUser")};
  if (master != reentry) {
    return ProtectRefusal{QStringLiteral("The second entry of the Master Password does not match the original.  Please "
                                         "re-enter Passwords."),
                          QStringLiteral("edMaster"), true};
  }
  return std::nullopt;
}

}  // namespace app
