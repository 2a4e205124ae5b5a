// The add-disk flow over a fake scanner and scripted forms: drives and media types, the serial
// shown and advanced, the name rules and every message of an add.
#include "adddiskflow.h"

#include <QRegularExpression>

#include "appstate.h"
#include "test_support.h"
#include "volumes_fixture.h"

using namespace app::catalog;
using catalog_testing::FakeScanner;
using catalog_testing::ScannerHandle;

namespace {

class View : public AddDiskView {
 public:
  QStringList log;
  QString categoryAnswer;
  QString mediaTypeAnswer;
  std::function<void()> onUpdate;
  app::AppState* state = nullptr;
  void ShowProgress(bool show) override { log << (show ? "progress" : "progress off"); }
  void Unload() override { log << "unload"; }
  void RefreshBrowser() override { log << "refresh"; }
  void SelectInBrowser(const QString& name) override { log << "select " + name; }
  void ShowUpdateDialog() override {
    log << QString("update print-only=%1 skip=%2").arg(state->print.PrintOnlyMode).arg(state->walk.SkipUpdateConfirm);
    if (onUpdate) onUpdate();
  }
  void ShowSerialOptions(const QString& name) override { log << "options " + name; }
  void ShowOptions() override { log << "options"; }
  QString EditCategories() override { return categoryAnswer; }
  QString AskMediaTypeName() override { return mediaTypeAnswer; }
  void FocusName() override { log << "focus name"; }
  void SaveSettings() override { log << "save settings"; }
};

class AddDisk : public catalog_testing::CatalogTest {
 protected:
  AddDisk()
      : zip_('D', DRIVE_REMOVABLE, scratch_.path(), ""),
        local_('E', DRIVE_FIXED, scratch_.path(), "System"),
        floppy_('A', DRIVE_REMOVABLE, scratch_.path(), "") {
    state_.settings.StartSerials = {0, 0, 100, 200, 300, 0};
    state_.settings.CategoryNames = {"WORK", "MUSIC"};
    view_.state = &state_;
  }
  AddDiskFlow& Flow() {
    if (!flow_) {
      flow_ = std::make_unique<AddDiskFlow>(state_, view_, scanner_.Ptr(), "cat.dkc");
      flow_->Load();
    }
    return *flow_;
  }

  volumes::testing::FixtureDrive zip_, local_, floppy_;
  app::AppState state_;
  View view_;
  ScannerHandle scanner_;
  std::unique_ptr<AddDiskFlow> flow_;
};

TEST_F(AddDisk, LocalDriveIsNamedByItsLetter) {
  scanner_->addResult = FakeScanner::Info("[ E ] -- Drive", 0, "Local Disk");
  AddDiskFlow& f = Flow();
  EXPECT_EQ(scanner_->docFile, "cat.dkc");
  EXPECT_EQ(state_.shell.OpenDialogCount, 1);
  f.DriveChanged("e: [System]");
  EXPECT_EQ(f.inputs().name, "[ E ] -- Drive");
  EXPECT_FALSE(f.inputs().nameEnabled);
  EXPECT_EQ(f.inputs().description, "[System]");
  EXPECT_TRUE(f.inputs().serial.isEmpty());
  EXPECT_EQ(f.inputs().mediaTypes, QStringList{"Local Disk"});
  EXPECT_TRUE(f.inputs().okEnabled);
  EXPECT_TRUE(f.Add());
  EXPECT_EQ(scanner_->log.filter("AddNewDisk"), QStringList{"AddNewDisk e:\\ [ E ] -- Drive flag=-100 base=-1"});
  EXPECT_EQ(scanner_->addDescription, QString(10, u' ') + "| [System]");
  EXPECT_EQ(state_.settings.StartSerials[0], 0);
  EXPECT_FALSE(view_.log.contains("save settings"));
  EXPECT_EQ(state_.settings.DriveLetter(0), "e:\\");
  EXPECT_EQ(view_.log.filter("update"), QStringList{"update print-only=1 skip=0"});
  EXPECT_FALSE(state_.print.PrintOnlyMode);
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, RemovableMediumTakesTheNextSerialAndAdvancesIt) {
  scanner_->addResult = FakeScanner::Info("Backup", 200, "Zip Disk");
  scanner_->rootFolders = {"Music"};
  scanner_->rootFiles = {"a.txt"};
  AddDiskFlow& f = Flow();
  f.DriveChanged("d:");
  EXPECT_EQ(f.MediaTypeName(), "Zip Disk");
  EXPECT_EQ(f.inputs().serial, "200");
  EXPECT_EQ(f.inputs().rootFolders, QStringList{"Music"});
  EXPECT_EQ(f.inputs().rootFiles, QStringList{"a.txt"});
  f.inputs().name = "Backup";
  f.inputs().description = "old files";
  f.CategoryChosen(0);
  f.inputs().recursive = true;
  state_.print.BatchPrintMode = true;
  EXPECT_TRUE(f.Add());
  EXPECT_EQ(scanner_->log.filter("AddNewDisk"), QStringList{"AddNewDisk d:\\ Backup flag=0 base=200"});
  EXPECT_EQ(scanner_->addDescription, "WORK      | old files");
  EXPECT_EQ(scanner_->addCategory, "WORK      | ");
  EXPECT_EQ(state_.settings.StartSerials[3], 201);
  EXPECT_TRUE(view_.log.contains("save settings"));
  EXPECT_TRUE(view_.log.filter("update").isEmpty());  // batch mode opens nothing
  EXPECT_EQ(state_.settings.DriveLetter(3), "d:\\");
}

TEST_F(AddDisk, RootListingKeepsNamesThatHoldABackslash) {
  scanner_->rootFolders = {"AC\\DC", "Music"};
  scanner_->rootFiles = {"back\\slash 13.JPG", "a.txt"};
  AddDiskFlow& f = Flow();
  f.DriveChanged("d:");
  EXPECT_EQ(f.inputs().rootFolders, (QStringList{"AC\\DC", "Music"}));
  EXPECT_EQ(f.inputs().rootFiles, (QStringList{"back\\slash 13.JPG", "a.txt"}));
}

TEST_F(AddDisk, MessagesOfAnAdd) {
  struct Case {
    const char* what;
    std::function<void(FakeScanner&, AddDiskFlow&)> setUp;
    QString message;
    bool unloads;
  };
  const Case cases[] = {
      {"no name", [](FakeScanner&, AddDiskFlow& f) { f.inputs().name.clear(); }, "Disk Name is a required input.",
       false},
      {"name used", [](FakeScanner& s, AddDiskFlow&) { s.namesUsed = {"BACKUP"}; },
       "The Disk Name you've specified is currently in use by another disk in your catalog.\rPlease specify a "
       "different Disk Name for this disk.",
       false},
      {"not ready", [](FakeScanner& s, AddDiskFlow&) { s.addResult = 21; s.addAnswer = SCANNER_DRIVE_NOT_READY; },
       QString::fromUtf16(kAccessFailedAdd), true},
      {"serial range exhausted", [](FakeScanner& s, AddDiskFlow&) { s.addAnswer = STG_E_MEDIUMFULL; },
       "ERROR:   61\rDisk full", false},
      {"scan failed", [](FakeScanner& s, AddDiskFlow&) { s.addAnswer = STG_E_ACCESSDENIED; }, "ERROR:   ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scanner_ = ScannerHandle();
    flow_.reset();
    view_.log.clear();
    AddDiskFlow& f = Flow();
    f.DriveChanged("d:");
    f.inputs().name = "Backup";
    c.setUp(*scanner_.keep.Get(), f);
    script_.ExpectMessage(forms::vbOK, c.message);
    EXPECT_FALSE(f.Add());
    EXPECT_EQ(view_.log.contains("unload"), c.unloads);
    EXPECT_TRUE(script_.Done());
    EXPECT_EQ(state_.settings.StartSerials[3], 200);
  }
}

TEST_F(AddDisk, AlreadyCataloguedMediumOffersTheUpdate) {
  AddDiskFlow& f = Flow();
  f.DriveChanged("d:");
  f.inputs().name = "Backup";
  scanner_->addResult = static_cast<int>(STG_E_FILEALREADYEXISTS);
  scanner_->addAnswer = STG_E_FILEALREADYEXISTS;
  script_.ExpectMessage(forms::vbYes, QString::fromUtf16(kAlreadyExistsUpdate));
  EXPECT_FALSE(f.Add());
  EXPECT_EQ(state_.shell.PendingDiskCommand, "UPDFLP");
  EXPECT_EQ(view_.log.filter("update"), QStringList{"update print-only=0 skip=0"});
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, SerialInUseTakesTheMediaTypesNextSerial) {
  scanner_->serialOwners = {{200, "Old Zip"}};
  scanner_->addResult = FakeScanner::Info("Backup", 201, "Zip Disk");
  AddDiskFlow& f = Flow();
  f.DriveChanged("d:");
  f.inputs().name = "Backup";
  script_.ExpectMessage(forms::vbOK,
                        "The Serial Number you've specified is in use by the disk named Old Zip.  Please specify a "
                        "different serial number for this disk.");
  // The user raises the counter in the options dialog.
  view_.log.clear();
  state_.settings.StartSerials[3] = 201;
  EXPECT_TRUE(f.Add());
  EXPECT_TRUE(view_.log.contains("options Zip Disk"));
  EXPECT_EQ(scanner_->log.filter("AddNewDisk"), QStringList{"AddNewDisk d:\\ Backup flag=0 base=201"});
  EXPECT_EQ(state_.settings.StartSerials[3], 202);
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, UserMediaTypeSerials) {
  state_.settings.OtherMediaNames = {"DVD Box", "Tape"};
  state_.settings.OtherMediaSerials = {"500", "700"};
  scanner_->addResult = FakeScanner::Info("T1", 700, "Tape");
  AddDiskFlow& f = Flow();
  f.DriveChanged("d:");
  ASSERT_EQ(f.inputs().mediaTypes, (QStringList{"Floppy Disk", "Zip Disk", "DVD Box", "Tape"}));
  f.MediaTypeChosen(3);
  EXPECT_EQ(f.MediaTypeCode(), 6);
  EXPECT_EQ(f.inputs().serial, "700");
  // In use: the next serial of this type, not a standard type's.
  scanner_->serialOwners = {{700, "T0"}};
  state_.settings.OtherMediaSerials[1] = "701";
  scanner_->addResult = FakeScanner::Info("T1", 701, "Tape");
  f.inputs().name = "T1";
  script_.ExpectMessage(forms::vbOK, "in use by the disk named T0");
  EXPECT_TRUE(f.Add());
  EXPECT_EQ(scanner_->log.filter("AddNewDisk"), QStringList{"AddNewDisk d:\\ T1 flag=0 base=701"});
  EXPECT_EQ(scanner_->diskType, "Tape");
  // The add advanced the type's own counter.
  EXPECT_EQ(state_.settings.OtherMediaSerials, (QStringList{"500", "702"}));
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, NewMediaType) {
  state_.settings.StartSerials[4] = 300;
  view_.mediaTypeAnswer = "DVD Box";
  AddDiskFlow& f = Flow();
  f.DriveChanged("d:");
  f.NewMediaType();
  EXPECT_EQ(state_.settings.OtherMediaNames, QStringList{"DVD Box"});
  EXPECT_EQ(state_.settings.OtherMediaSerials, QStringList{"301"});
  EXPECT_EQ(f.inputs().mediaTypes.back(), "DVD Box");
  EXPECT_EQ(f.MediaTypeCode(), 5);
  EXPECT_EQ(f.inputs().serial, "301");
}

TEST_F(AddDisk, RelabelsJustBeforeTheAdd) {
  scanner_->labelSerial = 42;
  scanner_->serialOwners = {{42, "Other disk"}};
  scanner_->filed = "Other disk";
  scanner_->addResult = FakeScanner::Info("Backup", 200, "Zip Disk");
  AddDiskFlow& f = Flow();
  script_.ExpectMessage(forms::vbNo, "already exists in your library under the name \"Other disk\", Disk No. 0.");
  f.DriveChanged("d:");
  EXPECT_EQ(f.inputs().serial, "200");  // a fresh serial, not the label's
  EXPECT_TRUE(f.inputs().okEnabled);
  // A name in use ends the add before the medium is touched.
  scanner_->namesUsed = {"Backup"};
  f.inputs().name = "Backup";
  script_.ExpectMessage(forms::vbOK, "currently in use");
  EXPECT_FALSE(f.Add());
  EXPECT_TRUE(scanner_->log.filter("SetDiskSerial").isEmpty());
  // A write-protected medium keeps its label and the add goes on.
  scanner_->namesUsed.clear();
  scanner_->setSerialAnswer = static_cast<HRESULT>(0x80070013);
  state_.print.BatchPrintMode = true;
  EXPECT_TRUE(f.Add());
  const QStringList order = scanner_->log.filter(QRegularExpression("SetDiskSerial|AddNewDisk|IsNameUsed"));
  EXPECT_EQ(order.mid(order.size() - 3),
            (QStringList{"IsNameUsed Backup", "SetDiskSerial d:\\ A", "AddNewDisk d:\\ Backup flag=0 base=200"}));
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, OverwriteYesOpensTheUpdateWithoutAskingAgain) {
  scanner_->labelSerial = 42;
  scanner_->filed = "Old";
  state_.shell.PendingDiskCommand = "ADDZIPONLY";
  state_.settings.SetDriveLetter(3, "d:\\");
  AddDiskFlow& f = Flow();
  EXPECT_EQ(state_.shell.PendingDiskCommand, "ADDZIP");
  script_.ExpectMessage(forms::vbYes, "Would you like to overwrite files in your catalog with the data on the disk?");
  f.Activate();
  EXPECT_EQ(view_.log.filter(QRegularExpression("unload|update|select")),
            (QStringList{"select Old", "unload", "update print-only=0 skip=1"}));
  EXPECT_EQ(app::ItemInfoText(state_.selection.SelectedItemInfo, app::kInfoType), "Zip Disk");
  EXPECT_EQ(app::ItemInfoText(state_.selection.SelectedItemInfo, app::kInfoName), "d:\\");
  // Activation preselects the drive once only.
  view_.log.clear();
  f.Activate();
  EXPECT_TRUE(view_.log.isEmpty());
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, UnreadableDriveIsUnavailable) {
  scanner_->listAnswer = static_cast<HRESULT>(0x80070015);
  AddDiskFlow& f = Flow();
  script_.ExpectMessage(forms::vbOK, QString::fromUtf16(kDeviceUnavailable));
  f.DriveChanged("d:");
  EXPECT_FALSE(f.inputs().okEnabled);
  EXPECT_FALSE(f.inputs().dirEnabled);
  EXPECT_TRUE(f.inputs().drive.isEmpty());
  EXPECT_EQ(script_.Shown().back().title, "WARNING!");
  EXPECT_TRUE(script_.Done());
}

TEST_F(AddDisk, CategoryListAndNameFilter) {
  AddDiskFlow& f = Flow();
  EXPECT_EQ(f.inputs().categories, (QStringList{"WORK", "MUSIC", "(none)"}));
  f.CategoryChosen(2);
  EXPECT_EQ(f.inputs().categoryIndex, -1);
  EXPECT_FALSE(f.inputs().recursiveEnabled);
  f.CategoryChosen(1);
  EXPECT_TRUE(f.inputs().recursiveEnabled);
  view_.categoryAnswer = "MUSIC";
  f.EditCategory();
  EXPECT_EQ(f.inputs().categoryIndex, 1);
  EXPECT_EQ(AddDiskFlow::FilterName("a:b\\c/d"), "abcd");
}

}  // namespace
