// The three commands that work on the catalog file as a whole: opening (or creating) a
// catalog, writing a backup copy of it, and compacting it in place through a fresh copy. The
// browser control holds the catalog; these commands name its file, ask it for copies and move
// files around it.
//
// Sound behaviour beyond the bare steps: a catalog that fails to open, or fails its password
// gate, leaves no catalog open and is not remembered for the next start; a backup never
// replaces the open catalog itself and replaces an older backup only once the new one is
// complete; a copy replaces nothing (an older backup, the catalog, the old copy of an earlier
// compaction) until it opens as a catalog holding the open catalog's disks; compaction keeps
// its scratch copies beside a catalog on another file system than the program folder, refuses
// to run without a catalog or on its own scratch files, stops at the first failure, and puts
// the catalog back when the fresh copy cannot take its place.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <system_error>

#include "appstate.h"

struct ICompCtl;
class QWidget;

namespace app {

// True when the name's last three characters are "DKC" in any letter case.
bool EndsWithDkc(const QString& name);
// The backup offered on a day: "BACKUP" + mmddyy + ".DKC".
QString DefaultBackupName(DATE today);

class CatalogFiles {
 public:
  struct Hooks {
    std::function<bool()> checkPassword;                 // the password gate for the named catalog
    std::function<void(const QString&)> status;          // status panel 1
    std::function<void(const QString&)> catalogNameChanged;  // the catalog now open ("" for none)
    std::function<DATE()> today = [] { return vbrt::Date(); };
    std::function<std::error_code(const std::filesystem::path& from, const std::filesystem::path& to)> rename;
    std::function<std::error_code(const std::filesystem::path& file)> remove;
    // Whether two folders lie on one file system (by default their device numbers).
    std::function<bool(const std::filesystem::path& a, const std::filesystem::path& b)> oneFileSystem;
    QWidget* owner = nullptr;
  };

  CatalogFiles(ICompCtl* control, Settings& settings, Login& login, std::filesystem::path programFolder, Hooks hooks);

  // File|Open/New Catalog.
  void Open();
  // File|Backup Catalog.
  void Backup();
  // Tools|Compress Catalog.
  void Compress();

  // The scratch files of compacting the catalog file `catalog`: in the program folder, or beside
  // the catalog when it lies on another file system.
  std::filesystem::path FreshCopy(const std::filesystem::path& catalog) const {
    return ScratchFolder(catalog) / "tmp123.dkc";
  }
  std::filesystem::path OldCopy(const std::filesystem::path& catalog) const {
    return ScratchFolder(catalog) / "tmpBack.dkc";
  }

 private:
  QString DocFileName() const;
  bool SetDocFileName(const QString& name);
  std::error_code Rename(const std::filesystem::path& from, const std::filesystem::path& to) const;
  std::error_code Remove(const std::filesystem::path& file) const;
  void Status(const QString& text) const;
  std::filesystem::path ScratchFolder(const std::filesystem::path& catalog) const;
  // Whether the copy opens as a catalog holding the catalog's disks; tells the user when not.
  bool CopyIsWhole(const std::filesystem::path& copy, const std::filesystem::path& catalog) const;

  ICompCtl* control_;
  Settings& settings_;
  Login& login_;
  std::filesystem::path folder_;
  Hooks hooks_;
};

// "ERROR:  " + number + CR + description, OK only, under the program's title.
void ShowCommandError(int number, const QString& description);

}  // namespace app
