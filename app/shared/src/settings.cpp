// The settings store: "ctgr.ini" to the lasting settings and back.
#include "settings.h"

#include <algorithm>
#include <string>

#include "profile.h"
#include "programfolder.h"

namespace app {

namespace {

// Every value is read through a buffer of this size, so a value is cut to 255 bytes.
constexpr DWORD kValueBuffer = 256;
// The last catalog's path is read whole: a cut path would name no catalog.
constexpr DWORD kPathBuffer = 4096;
constexpr int kSearchEntries = 10;

const char kCategories[] = "Categories";
const char kSearch[] = "Search";
const char kSerial[] = "Serial";
const char kDrives[] = "Drives";
const char kDriveNames[] = "DriveNames";
const char kLastFile[] = "LastFile";
// The keys of the three standard removable media, by media type code.
const char* const kStandardKeys[] = {"Floppy", "ZIP", "CD"};

std::string Key(const char* word, int n) { return word + std::to_string(n); }

QString Read(const platform::ProfileFile& file, const char* section, const std::string& key, const char* def,
             DWORD size = kValueBuffer) {
  std::string buffer(size, '\0');
  DWORD n = file.GetString(section, key, def, buffer.data(), size);
  return QString::fromUtf8(buffer.data(), static_cast<qsizetype>(n));
}

bool IsAbsent(const QString& value) { return value.startsWith(QLatin1String(kAbsentMarker)); }

// A number as the settings file holds it; the fallback for a text that is not one.
double ReadNumber(const QString& value, double fallback) {
  std::optional<double> number = vbrt::ParseNumber(value.toStdU16String());
  return number ? *number : fallback;
}

// The count of user media types: a number rounded to a 16-bit integer, else none.
int ReadCount(const QString& value) {
  std::optional<double> number = vbrt::ParseNumber(value.toStdU16String());
  if (!number) return 0;
  try {
    return std::max<int>(0, vbrt::CInt(*number));
  } catch (const vbrt::RuntimeError&) {
    return 0;  // beyond the 16-bit range
  }
}

// A value as it must be written so that the reader gives it back unchanged: line breaks
// cannot be stored and become blanks; blanks at either end, and enclosing quotes, would be
// stripped by the reader, so such a value goes inside one more pair of quotes.
std::string Stored(const QString& value) {
  QString v = value;
  v.replace(QLatin1String("\r\n"), QLatin1String(" "));
  v.replace(QLatin1Char('\r'), QLatin1Char(' '));
  v.replace(QLatin1Char('\n'), QLatin1Char(' '));
  v.replace(QChar(0), QLatin1Char(' '));
  auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
  bool quoted = v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
                v.back() == v.front();
  if (!v.isEmpty() && (blank(v.front()) || blank(v.back()) || quoted)) v = QLatin1Char('"') + v + QLatin1Char('"');
  return v.toStdString();
}

[[noreturn]] void FailToWrite(const std::filesystem::path& file, platform::ProfileFile::SaveFailure why) {
  using Failure = platform::ProfileFile::SaveFailure;
  if (why == Failure::FileNotWritable) throw vbrt::RuntimeError(vbrt::ErrPathFileAccess);
  if (why == Failure::DiskFull) throw vbrt::RuntimeError(vbrt::ErrDiskFull);
  std::error_code ec;
  std::filesystem::path dir = file.parent_path();
  bool folderMissing = !dir.empty() && !std::filesystem::is_directory(dir, ec);
  throw vbrt::RuntimeError(folderMissing ? vbrt::ErrPathNotFound : vbrt::ErrPermissionDenied);
}

}  // namespace

std::filesystem::path SettingsFilePath() { return platform::ProgramFolder() / "ctgr.ini"; }

void LoadSettings() { LoadSettings(Global().settings, SettingsFilePath()); }

void SaveSettings() { SaveSettings(Global().settings, SettingsFilePath()); }

void LoadSettings(Settings& state, const std::filesystem::path& path) {
  platform::ProfileFile file;
  if (!file.Load(path)) throw vbrt::RuntimeError(vbrt::ErrPermissionDenied);

  // Categories: the list ends at the first key that is absent, holds the marker or is empty
  // (an empty value is still kept as the last entry).
  state.CategoryNames.clear();
  for (int n = 0;; ++n) {
    QString value = Read(file, kCategories, Key("Category", n), kAbsentMarker);
    if (IsAbsent(value)) break;
    state.CategoryNames.append(value);
    if (value.isEmpty()) break;
  }

  for (int n = 0; n < kSearchEntries; ++n) state.SearchHistory[n] = Read(file, kSearch, Key("String", n), "");

  state.OtherMediaNames.clear();
  state.OtherMediaSerials.clear();
  const int count = ReadCount(Read(file, kSerial, "NumOthers", "0"));

  for (int i = 0; i < 3; ++i) {
    state.StartSerials[kFloppyDisk + i] = ReadNumber(Read(file, kSerial, kStandardKeys[i], "-1"), -1);
  }

  auto store = [](QStringList& list, int n, const QString& value) {
    while (list.size() <= n) list.append(QString());
    list[n] = value;
  };
  for (int n = 0; n < count; ++n) {
    QString value = Read(file, kSerial, Key("Other", n), kAbsentMarker);
    if (!IsAbsent(value)) store(state.OtherMediaSerials, n, value);
  }

  state.DriveLetters.resize(kFirstUserMediaType + 1);
  for (int i = 0; i < 3; ++i) state.DriveLetters[kFloppyDisk + i] = Read(file, kDrives, kStandardKeys[i], "-1");

  int drivesRead = 0;
  for (int n = 0; n < count; ++n) {
    QString name = Read(file, kDriveNames, Key("Other", n), kAbsentMarker);
    if (!IsAbsent(name)) store(state.OtherMediaNames, n, name);
    QString drive = Read(file, kDrives, Key("Other", n), kAbsentMarker);
    if (!IsAbsent(drive)) {
      state.SetDriveLetter(kFirstUserMediaType + n, drive);
      drivesRead = n + 1;
    }
  }
  // Keys missing from the file must not leave one list of the user media types shorter than
  // another: every user type gets a name, a serial and a drive entry (empty where absent).
  const int types =
      std::max({static_cast<int>(state.OtherMediaNames.size()), static_cast<int>(state.OtherMediaSerials.size()), drivesRead});
  while (state.OtherMediaNames.size() < types) state.OtherMediaNames.append(QString());
  while (state.OtherMediaSerials.size() < types) state.OtherMediaSerials.append(QString());
  while (state.DriveLetters.size() < kFirstUserMediaType + types) state.DriveLetters.append(QString());

  state.LastCatalogPath = Read(file, kLastFile, "Name", "-1", kPathBuffer);
}

void SaveSettings(const Settings& state, const std::filesystem::path& path) {
  platform::ProfileFile file;
  if (!file.Load(path)) throw vbrt::RuntimeError(vbrt::ErrPermissionDenied);
  auto write = [&](const char* section, const std::string& key, const std::string& value) {
    file.SetString(section, key, value);  // every section and key name here can be stored
  };

  // The marker after the last entry ends the list even where the file still holds the keys
  // of an earlier, longer list.
  const int categories = static_cast<int>(state.CategoryNames.size());
  for (int n = 0; n < categories; ++n) write(kCategories, Key("Category", n), Stored(state.CategoryNames[n]));
  write(kCategories, Key("Category", categories), kAbsentMarker);

  // The search texts up to and including the first empty one.
  for (int n = 0; n < kSearchEntries; ++n) {
    write(kSearch, Key("String", n), Stored(state.SearchHistory[n]));
    if (state.SearchHistory[n].isEmpty()) break;
  }

  const int types = static_cast<int>(std::max(state.OtherMediaNames.size(), state.OtherMediaSerials.size()));
  auto entry = [](const QStringList& list, int n) { return n < list.size() ? list[n] : QString(); };
  write(kSerial, "NumOthers", std::to_string(types));
  for (int i = 0; i < 3; ++i) {
    write(kSerial, kStandardKeys[i], QString::fromStdU16String(vbrt::CStr(state.StartSerials[kFloppyDisk + i])).toStdString());
  }
  for (int n = 0; n < types; ++n) write(kSerial, Key("Other", n), Stored(entry(state.OtherMediaSerials, n)));

  for (int i = 0; i < 3; ++i) write(kDrives, kStandardKeys[i], Stored(state.DriveLetter(kFloppyDisk + i)));
  for (int n = 0; n < types; ++n) {
    write(kDriveNames, Key("Other", n), Stored(entry(state.OtherMediaNames, n)));
    write(kDrives, Key("Other", n), Stored(state.DriveLetter(kFirstUserMediaType + n)));
  }

  write(kLastFile, "Name", Stored(state.LastCatalogPath));

  platform::ProfileFile::SaveFailure why;
  if (!file.Save(path, &why)) FailToWrite(path, why);
}

}  // namespace app
