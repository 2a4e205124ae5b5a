// The update run over a fake scanner and scripted forms: the read-only warning, the
// confirmations, the scan, the summary texts, and the offer to add an unknown disk.
#include "updateflow.h"

#include "appstate.h"
#include "test_support.h"
#include "volumes_fixture.h"

using namespace app::catalog;
using catalog_testing::FakeScanner;
using catalog_testing::ScannerHandle;

namespace {

class View : public UpdateView {
 public:
  QStringList log;
  void ShowScanLayout(const QString& line) override { log << "scan " + line; }
  void StopAnimation() override {}
  void Unload() override { log << "unload"; }
  void RefreshBrowser() override { log << "refresh"; }
  void SelectInBrowser(const QString& name) override { log << "select " + name; }
  void ShowAddDialog() override { log << "add dialog"; }
  void ShowPrintHalf() override { log << "print half"; }
  void SetCaption(const QString& c) override { log << "caption " + c; }
};

class Update : public catalog_testing::CatalogTest {
 protected:
  Update() : zip_('D', DRIVE_REMOVABLE, scratch_.path(), ""), local_('E', DRIVE_FIXED, scratch_.path(), "") {}
  UpdateFlow& Flow(const QString& drive) {
    flow_ = std::make_unique<UpdateFlow>(state_, view_, scanner_.Ptr(), "cat.dkc");
    flow_->Load();
    flow_->DriveChanged(drive);
    return *flow_;
  }
  volumes::testing::FixtureDrive zip_, local_;
  app::AppState state_;
  View view_;
  ScannerHandle scanner_;
  std::unique_ptr<UpdateFlow> flow_;
};

TEST_F(Update, ConfirmedUpdateOfARemovableMedium) {
  scanner_->filed = "Backup";
  scanner_->labelSerial = 42;
  scanner_->updateResult = FakeScanner::Info("Backup", 42, "Zip Disk");
  state_.selection.SelectedDiskNumber = 42;
  UpdateFlow& f = Flow("d:");
  EXPECT_EQ(f.MediaTypes().size(), 2);
  EXPECT_EQ(f.MediaTypeIndex(), 1);
  script_.ExpectMessage(forms::vbOK,
                        "You are about to update the data for the disk #42 cataloged under the name \"Backup\" with the "
                        "information from the disk currently in the drive.  Press OK to continue.");
  f.Start();
  EXPECT_EQ(scanner_->log.filter("UpdateDisk"), QStringList{"UpdateDisk d:\\ flag=0"});
  EXPECT_EQ(view_.log, (QStringList{"select Backup", "scan Updating from drive D:\\ - containing disk #42 ...",
                                    "caption Disk Label", "refresh", "print half"}));
  EXPECT_EQ(state_.print.LabelMedium, 2);
  EXPECT_EQ(f.SummaryText().left(20), "   Disk Number:   42");
  EXPECT_TRUE(script_.Done());
}

TEST_F(Update, LocalDriveConfirmationAndCancel) {
  scanner_->namesUsed = {"[ E ] -- Drive"};
  UpdateFlow& f = Flow("e:");
  script_.ExpectMessage(forms::vbCancel,
                        "You are about to update the data for the disk cataloged under the name \"[ E ] -- Drive\"with "
                        "the information from the corresponding drive.  Press OK to continue.");
  f.Start();
  EXPECT_TRUE(scanner_->log.filter("UpdateDisk").isEmpty());
  EXPECT_EQ(view_.log.back(), "unload");
  EXPECT_TRUE(script_.Done());
}

TEST_F(Update, ReadOnlyWarningComesFirst) {
  scanner_->writable = 0;
  scanner_->filed = "Backup";
  UpdateFlow& f = Flow("d:");
  script_.ExpectMessage(forms::vbCancel, QString::fromUtf16(kReadOnlyWarning));
  f.Start();
  EXPECT_TRUE(view_.log.isEmpty());  // the window stays as it was
  EXPECT_EQ(script_.Shown().back().title, "Xendora");
  EXPECT_TRUE(script_.Done());
}

TEST_F(Update, SkipUpdateConfirmAsksNothing) {
  state_.walk.SkipUpdateConfirm = true;
  scanner_->filed = "Backup";
  scanner_->updateResult = FakeScanner::Info("Backup", 42, "Zip Disk");
  state_.print.BatchPrintMode = true;
  Flow("d:").Start();
  EXPECT_FALSE(state_.walk.SkipUpdateConfirm);
  EXPECT_EQ(view_.log.back(), "unload");  // a batch closes instead of printing
  EXPECT_TRUE(script_.Done());
}

TEST_F(Update, FailuresAndTheAddOffer) {
  struct Case {
    const char* what;
    QString drive;
    HRESULT answer;
    QVariant result;
    SHORT writable;
    int reply;
    QString message;
    QString pending;
  };
  const Case cases[] = {
      {"not ready", "d:", S_OK, QVariant(), SCANNER_WRITE_NOT_READY, forms::vbOK, QString::fromUtf16(kAccessFailedUpdate), ""},
      {"no serial label", "d:", STG_E_FILENOTFOUND, static_cast<int>(STG_E_FILENOTFOUND), 1, forms::vbYes,
       QString::fromUtf16(kNotInLibrary), "ADDZIP"},
      {"unknown local drive", "e:", STG_E_FILENOTFOUND, QVariant(), 1, forms::vbYes, QString::fromUtf16(kNotInLibrary),
       ""},
      {"scan failed", "d:", STG_E_ACCESSDENIED, QVariant(), 1, forms::vbOK, "ERROR:   70", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scanner_ = ScannerHandle();
    scanner_->updateAnswer = c.answer;
    scanner_->updateResult = c.result;
    scanner_->writable = c.writable;
    view_.log.clear();
    state_.shell.PendingDiskCommand.clear();
    script_.ExpectMessage(c.reply, c.message);
    Flow(c.drive).Start();
    EXPECT_TRUE(view_.log.contains("unload"));
    EXPECT_EQ(view_.log.contains("add dialog"), c.reply == forms::vbYes);
    EXPECT_EQ(state_.shell.PendingDiskCommand, c.pending);
    EXPECT_TRUE(script_.Done());
  }
  EXPECT_EQ(app::ItemInfoText(state_.selection.SelectedItemInfo, app::kInfoName), "[ e ]");
  EXPECT_EQ(app::ItemInfoText(state_.selection.SelectedItemInfo, app::kInfoType), "Local Disk");
}

TEST_F(Update, SummaryTexts) {
  const QVariant info = FakeScanner::Info("Backup", 42, "Zip Disk");
  EXPECT_EQ(DiskSummaryText(info, 1), "   Serial Number:\t\t\t42\r   Name:\t\tBackup");
  EXPECT_EQ(DiskSummaryText(info, 3), "   Disk Number:   42\r   Name:   Backup\r   Modified:   " +
                                          QString::fromStdU16String(vbrt::DateToText(46000.5)) +
                                          "\r   Free Space:   1,024K (1048576 Bytes)");
  EXPECT_EQ(DiskSummaryText(info, 0), "");
  // Print-only mode takes the label kind from the disk and needs no drive.
  state_.print.PrintOnlyMode = true;
  state_.selection.AddUpdateResult = FakeScanner::Info("F1", 7, "Floppy Disk");
  UpdateFlow f(state_, view_, scanner_.Ptr(), "cat.dkc");
  f.Load();
  EXPECT_EQ(state_.print.LabelMedium, 1);
  EXPECT_EQ(f.SummaryText(), "   Serial Number:\t\t\t7\r   Name:\t\tF1");
  EXPECT_TRUE(scanner_->log.isEmpty());
}

}  // namespace
