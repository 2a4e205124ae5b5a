// The update-disk dialog's update half, apart from its widgets: the drive and media type
// chosen, the disk summary and drive line texts, and the update run with its confirmations,
// its progress display and its offer to add a disk the catalog does not know.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include "iofilegraber.h"
#include "xcom/com.h"

namespace app {
struct AppState;
}

namespace app::catalog {

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // The scan layout: progress controls shown with the drive line, the animation playing,
  // Start and Cancel hidden; painted before the scan.
  virtual void ShowScanLayout(const QString& driveLine) = 0;
  // The animation stops.
  virtual void StopAnimation() = 0;
  virtual void Unload() = 0;
  virtual void RefreshBrowser() = 0;
  virtual void SelectInBrowser(const QString& name) = 0;
  // The add-disk dialog, shown modally.
  virtual void ShowAddDialog() = 0;
  // The window turns to its print half for the disk just updated.
  virtual void ShowPrintHalf() = 0;
  virtual void SetCaption(const QString& caption) = 0;
};

// The label summary of a disk's item information array for a label kind (1 floppy, 2 Zip,
// 3 CD); "" for 0.
QString DiskSummaryText(const QVariant& info, SHORT labelMedium);

class UpdateFlow {
 public:
  UpdateFlow(AppState& state, UpdateView& view, xcom::ComPtr<IOFileGraber> scanner, const QString& catalog);

  void Load();
  // A drive chosen ("d:" or "d: [label]"): the media types for it; the medium is not read.
  void DriveChanged(const QString& driveText);
  void MediaTypeChosen(int index);

  const QString& Drive() const { return drive_; }
  const QStringList& MediaTypes() const { return mediaTypes_; }
  int MediaTypeIndex() const { return mediaTypeIndex_; }
  SHORT MediaTypeCode() const { return code_; }
  const QString& MediaTypeName() const { return typeName_; }
  const QString& SummaryText() const { return summary_; }
  bool Ran() const { return ran_; }

  // "Updating from drive D:\ - containing disk #42 ..." or "" without a serial label.
  QString GetDriveLabel(const QString& path);

  // btnStart.
  void Start();
  // The run; does nothing unless answer is 1 (OK) on entry; answer holds the last reply.
  void UpdateDisk(int& answer, const QString& path);

 private:
  void ErrorPath(HRESULT hr, int errorNumber, const QString& description);

  AppState& state_;
  UpdateView& view_;
  xcom::ComPtr<IOFileGraber> scanner_;
  QString catalog_;
  QString drive_;
  QStringList mediaTypes_;
  int mediaTypeIndex_ = -1;
  SHORT code_ = 0;
  QString typeName_;
  QString summary_;
  bool ran_ = false;
};

inline constexpr char16_t kAccessFailedUpdate[] =
    u"Failed to access the drive.  Please check if the disk you are updating is inserted into the drive and try "
    u"updating again.";
inline constexpr char16_t kReadOnlyWarning[] =
    u"The medium you are attempting to update is Read-Only or not formated.  Please re-set the medium to Read-Write "
    u"and press [OK] to print the label.  If you wish to leave the medium Read-Only, pressing [OK] will allow you to "
    u"print the label but the listing will reflect only the contents you have listed in the main Xendora Inventory "
    u"and not the most recent data on the medium.";
inline constexpr char16_t kNotInLibrary[] =
    u"The disk you are trying to update does not exist in your library. Would you like to add it now?";

}  // namespace app::catalog
