// The add-disk dialog's state and decisions, apart from its widgets: the drive and media type
// chosen, the serial the disk will get, the name and category rules, and the add itself with
// every message it may end in. The window (frmAddDisk) shows this state and answers the few
// things only a window can do through AddDiskView.
#pragma once

#include <QString>
#include <QStringList>

#include "iofilegraber.h"
#include "xcom/com.h"

namespace app {
struct AppState;
}

namespace app::catalog {

// What the flow asks of its window and of the program around it.
class AddDiskView {
 public:
  virtual ~AddDiskView() = default;
  // The progress panel with its animation, painted before the scan starts.
  virtual void ShowProgress(bool show) = 0;
  // The dialog closes (its unload runs).
  virtual void Unload() = 0;
  // The browser control of the main window.
  virtual void RefreshBrowser() = 0;
  virtual void SelectInBrowser(const QString& name) = 0;
  // The update-disk dialog, shown modally.
  virtual void ShowUpdateDialog() = 0;
  // The options dialog on a media type's starting serial (frmOptions.ShowOnly), modally.
  virtual void ShowSerialOptions(const QString& mediaTypeName) = 0;
  // The options dialog as a whole.
  virtual void ShowOptions() = 0;
  // The category editor: the category chosen there ("" for none).
  virtual QString EditCategories() = 0;
  // The prompt for a new media type's name ("" when none was entered).
  virtual QString AskMediaTypeName() = 0;
  // The focus goes to the disk name box.
  virtual void FocusName() {}
  // The settings file is written.
  virtual void SaveSettings() = 0;
};

class AddDiskFlow {
 public:
  AddDiskFlow(AppState& state, AddDiskView& view, xcom::ComPtr<IOFileGraber> scanner, const QString& catalog);

  // The dialog's inputs as the window shows them.
  struct Inputs {
    bool partTwoEnabled = false;  // name, category, description, serial edit, media types
    bool okEnabled = false;
    bool dirEnabled = false;
    bool nameEnabled = false;
    bool serialEditEnabled = false;
    bool otherEnabled = false;
    bool recursiveEnabled = false;
    bool recursive = false;
    QString drive;                // the drive list's text ("c: [System]")
    QString dirPath;              // the drive root listed
    QStringList rootFolders, rootFiles;
    QStringList mediaTypes;
    int mediaTypeIndex = -1;
    QString serial;               // lbSerial
    QString name;                 // dName
    QString description;          // dDesc
    QStringList categories;       // cmbCategory: the names, "(none)" for an empty one
    int categoryIndex = -1;
  };
  const Inputs& inputs() const { return in_; }
  Inputs& inputs() { return in_; }
  SHORT MediaTypeCode() const { return code_; }
  const QString& MediaTypeName() const { return typeName_; }

  // Load: the scanner on the open catalog, the category list, the opening command.
  void Load();
  // Activation: the drive is preselected on the first activation only, so that a name or
  // description typed before a sub-dialog is kept.
  void Activate();
  // A drive chosen in the drive list ("d:" or "d: [label]"; "" does nothing).
  void DriveChanged(const QString& driveText);
  // A media type chosen in the list.
  void MediaTypeChosen(int index);
  // A category chosen in the list.
  void CategoryChosen(int index);
  void NewMediaType();
  void EditSerial();
  void Options();
  void EditCategory();
  // The add; false when the dialog stays open.
  bool Add();
  void Unloaded();

  // The serial to show for a drive: the medium's label serial, else the media type's next.
  QString DriveLabel(const QString& path, SHORT code);
  // The next serial of a media type: StartSerials for the standard codes, OtherMediaSerials
  // for the user types.
  double NextSerial(SHORT code) const;

  // Typing rules of the disk name: ":", "\" and "/" are never taken.
  static QString FilterName(const QString& text);

 private:
  void SetDriveLetter(const QString& itemName, const QString& typeName);
  bool SelectDrive(const QString& path, SHORT code);
  void PrepareScreenFormMediaType(bool keepText);
  void EnablePartTwo(bool keepRecursive);
  void FillCategories(const QString& select);
  void AdvanceSerial(double shown);
  void Check(HRESULT hr);
  bool AddFailed(HRESULT hr, int errorNumber, const QString& description);

  AppState& state_;
  AddDiskView& view_;
  xcom::ComPtr<IOFileGraber> scanner_;
  QString catalog_;
  Inputs in_;
  SHORT code_ = 0;
  QString typeName_;
  bool activated_ = false;
};

// The texts of the dialog.
inline constexpr char16_t kNameRequired[] = u"Disk Name is a required input.";
inline constexpr char16_t kAccessFailedAdd[] =
    u"Failed to access the drive.  Please check if the disk you are adding is inserted into the drive and try adding "
    u"again.";
inline constexpr char16_t kAlreadyExistsUpdate[] =
    u"The disk you are trying to add already exists in your library. Would you like to update it now?";
inline constexpr char16_t kDeviceUnavailable[] =
    u"Device unavailable.\rPlease make sure that the disk is properly inserted into the corresponding drive.";

}  // namespace app::catalog
