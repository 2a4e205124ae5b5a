// The options dialog's state and decisions, without widgets: the media types being edited with
// their starting serial numbers and drives, the list items, the serial entry's checks, adding
// and deleting user media types, the password page's texts and checks, and the copy back into
// the settings.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "appstate.h"

namespace app {

// A message the dialog shows: text, title ("" for the program's) and the box's buttons/icon.
struct OptionsMessage {
  QString text;
  QString title;
  int buttons = 0;
};

struct MediaListItem {
  QString text;  // "Floppy Disk - 100"
  QString key;   // "FLP", "ZIP", "CD", "Other0" ...
  QString name;  // the media type's name
};

class OptionsState {
 public:
  // The largest starting serial accepted.
  static constexpr double kMaxSerial = 9999999998.0;

  // Copies the settings in: serials 0 to 2 from StartSerials 2 to 4, then the user types.
  void LoadFrom(const Settings& settings);
  // Copies the dialog back: serials, user type names and serials (as text), and the drives,
  // which move with their media types when one is deleted.
  void SaveTo(Settings& settings) const;

  int Count() const { return int(serials_.size()); }
  double Serial(int index) const { return serials_.value(index); }  // 0-based
  QString Name(int index) const;
  MediaListItem Item(int index) const;
  QList<MediaListItem> Items() const;
  // The index (0-based) of a media type name; -1 for none.
  int IndexOfName(const QString& name) const;

  // The serial entry for the item at index (0-based): nothing when it passed (and the serial
  // is stored), else the message; isSerialUsed names the disk that carries a serial ("" none).
  std::optional<OptionsMessage> CheckErrors(int index, const QString& entry,
                                            const std::function<QString(double)>& isSerialUsed);

  // Appends a user media type with the last type's serial plus one; its index.
  int AddMediaType(const QString& name);
  // Nothing when the item may be deleted, else the refusal (the standard types).
  std::optional<OptionsMessage> DeleteRefusal(int index) const;
  OptionsMessage DeleteQuestion(int index) const;
  // Removes a user media type: later types move down one place, with their drives.
  void DeleteMediaType(int index);

 private:
  QList<double> serials_;    // 0 floppy, 1 Zip, 2 CD-RW, 3 + i user type i
  QStringList names_;        // user types
  QStringList userDrives_;   // drives of the user types (DriveLetters 5 + i)
  QStringList baseDrives_;   // DriveLetters 0 to 4
};

// The password page's description for a login.
QString SecurityDescription(const QString& loginState, const QString& catalogFileName);
// Protect's checks in order: nothing when all pass, else the message and the entry to focus
// ("edMaster", "edMaster1", "edUser"); clearAll for the mismatch.
struct ProtectRefusal {
  QString text;
  QString focus;
  bool clearAll = false;
};
std::optional<ProtectRefusal> CheckProtect(const QString& master, const QString& reentry, const QString& user);

}  // namespace app
