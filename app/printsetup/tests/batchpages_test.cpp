// Batch load and print and the disks to print: the label kinds offered, the full sheet, the
// ticks and their cap, the date filter, sorting, the media switch, batch OK and the export of
// the disks into the report table.
#include <fstream>
#include <sstream>

#include "diskexport.h"
#include "reporttable.h"
#include "test_support.h"
#include "testing_files/test_support.h"
#include "texttable.h"

// The catalog tests' fake browser control delivers the catalog's disks.
#include "../../catalog/tests/test_support.h"

namespace printsetup_testing {
namespace {

DATE At(int year, int month, int day, int hour = 0, int minute = 0) {
  return *vbrt::DateFromParts({year, month, day, hour, minute, 0});
}

class BatchTest : public PageSetupTest {
 protected:
  BatchTest() {
    setenv("XENDORA_HOME", scratch_.path().c_str(), 1);
    app_.settings.SetDriveLetter(app::kFloppyDisk, "A:\\");
    app_.settings.SetDriveLetter(app::kZipDisk, "E:\\");
    state_.compCtl = [this] { return &ctl_; };
    // The add-disk dialog: each add catalogues one more disk of the chosen medium.
    state_.showAddDisk = [this] {
      ++adds_;
      const bool floppy = app_.shell.PendingDiskCommand == "ADDFLPONLY";
      const std::u16string name = (floppy ? u"Floppy " : u"Zip ") + QString::number(adds_).toStdU16String();
      ctl_.hits.push_back({name, double(1000 + adds_), u"", 96, vbrt::AddSeconds(base_, 60 * adds_),
                           floppy ? u"Floppy Disk" : u"Zip Disk"});
      app_.shell.PendingDiskCommand = floppy ? "ADDFLP" : "ADDZIP";
    };
  }
  ~BatchTest() override { unsetenv("XENDORA_HOME"); }

  void OpenBatch() {
    state_.SetBatchPrint();
    state_.Load();
    state_.Activate();
  }
  // The selection page with these disks catalogued.
  void OpenSelection(std::vector<catalog_testing::Hit> disks, int printTo = 0) {
    ctl_.hits = std::move(disks);
    OpenBatch();
    state_.TabClick("CUST");
    state_.PrintToClick(printTo);
  }
  static std::vector<catalog_testing::Hit> Disks(int n, const char16_t* kind) {
    std::vector<catalog_testing::Hit> hits;
    for (int i = 0; i < n; ++i)
      hits.push_back({u"Disk " + QString::number(i + 1).toStdU16String(), double(i + 1), u"note", 1024,
                      At(2026, 12, 1 + i, 9), kind});
    return hits;
  }
  QStringList Names() const {
    QStringList names;
    for (const auto& row : state_.Controls().disks) names << row.text;
    return names;
  }

  testing_files::ScratchFolder scratch_;
  catalog_testing::FakeCompCtl ctl_;
  int adds_ = 0;
  DATE base_ = vbrt::AddSeconds(vbrt::Now(), 5);
};

TEST_F(BatchTest, TheBatchPageOffersTheKindsOfTheMediaWithADrive) {
  struct Case {
    const char* floppy;
    const char* zip;
    QStringList kinds;
  };
  const Case cases[] = {
      {"A:\\",
       "E:\\",
       {printsetup::kFloppyLabel, printsetup::kZipSlip, printsetup::kZipCaseInsert, printsetup::kZipDiskLabels}},
      {"", "E:\\", {printsetup::kZipSlip, printsetup::kZipCaseInsert, printsetup::kZipDiskLabels}},
      {"A:\\", "", {printsetup::kFloppyLabel}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kinds.join(",").toStdString());
    app_.settings.SetDriveLetter(app::kFloppyDisk, c.floppy);
    app_.settings.SetDriveLetter(app::kZipDisk, c.zip);
    OpenBatch();
    EXPECT_EQ(C().printTo, c.kinds);
    EXPECT_EQ(C().printToIndex, 0);
    EXPECT_EQ(C().caption, "Batch Print");
    EXPECT_TRUE(C().batchVisible);
    EXPECT_FALSE(C().generalVisible);
    EXPECT_EQ(C().tabs.front().caption, printsetup::kBatchTabCaption);
    EXPECT_EQ(C().tabs.back().caption, printsetup::kSelectTabCaption);
    EXPECT_EQ(C().applyCaption, "&Add");
    EXPECT_FALSE(C().diskCheckBoxes);
    EXPECT_TRUE(C().locationColumnHidden);
    state_.Cancel();
    EXPECT_FALSE(state_.Loaded());
  }
  EXPECT_EQ(app_.shell.OpenDialogCount, 0);
}

TEST_F(BatchTest, TheFourthZipDiskOrTheFifteenthFloppyFillsTheSheet) {
  struct Case {
    int printTo;
    int disks;
  };
  for (const Case& c : {Case{1, 4}, Case{0, 15}}) {
    SCOPED_TRACE(c.disks);
    OpenBatch();
    state_.PrintToClick(c.printTo);
    for (int i = 1; i <= c.disks; ++i) {
      if (i == c.disks) {
        script_.ExpectMessage(forms::vbOK,
                              "You have reached the maximum number of labels that can fit on the page.  "
                              "Press OK to preview the report.");
      }
      state_.ApplyClick();
      ASSERT_TRUE(script_.Done());
      EXPECT_EQ(C().countText, QStringLiteral("Disks Count: %1").arg(i));
      EXPECT_EQ(int(C().disks.size()), i);
      EXPECT_EQ(C().btnApply.enabled, i < c.disks);
      EXPECT_EQ(script_.ScreenMousePointer(), forms::vbDefault);
    }
    EXPECT_EQ(script_.Shown().back().title, "Completed!");
    EXPECT_EQ(script_.Shown().back().buttons, forms::vbOKOnly | forms::vbInformation);
    // The batch began with the first Add: the selection page is gone.
    EXPECT_TRUE(app_.print.BatchPrintMode);
    EXPECT_EQ(C().tabs.size(), 1u);
    state_.Cancel();
    EXPECT_FALSE(app_.print.BatchPrintMode);
    ctl_.hits.clear();
  }
}

TEST_F(BatchTest, AddListsTheBatchsDisksInTheOrderTheyWereCatalogued) {
  OpenBatch();
  state_.PrintToClick(1);
  base_ = At(2031, 6, 1, 13, 0);  // later in the list than the two below
  state_.ApplyClick();
  base_ = At(2031, 6, 1, 12, 29);
  state_.ApplyClick();
  base_ = At(2031, 6, 1, 10, 59);
  state_.ApplyClick();
  EXPECT_EQ(Names(), (QStringList{"Zip 3", "Zip 2", "Zip 1"}));  // 11:00 AM, 12:30 PM, 1:00 PM
  EXPECT_EQ(app_.shell.PendingDiskCommand, "ADDZIP");
}

TEST_F(BatchTest, TheMediaSwitchQuestionKeepsThePreviousChoiceOnNo) {
  OpenBatch();
  state_.PrintToClick(2);
  state_.ApplyClick();
  const QString question =
      "Because of the difference in label sizes for each medium, \"batch labels\" only may be printed for one "
      "format at a time.  If you select a different medium or label type now, you will not be able to print "
      "labels for the disks listed in the \"Batch Load && Print\" box.  All of the disks listed, however, have "
      "been added to your catalog.  Do you wish to switch media types now?";
  script_.ExpectMessage(forms::vbNo, question);
  state_.PrintToClick(0);
  ASSERT_TRUE(script_.Done());
  EXPECT_EQ(script_.Shown().back().text, question);
  EXPECT_EQ(script_.Shown().back().buttons, forms::vbYesNo);
  EXPECT_EQ(C().printToIndex, 2);
  EXPECT_EQ(C().disks.size(), 1u);

  script_.ExpectMessage(forms::vbYes, "switch media types");
  state_.PrintToClick(3);
  EXPECT_EQ(C().printToIndex, 3);
  EXPECT_TRUE(C().disks.empty());
}

TEST_F(BatchTest, TicksAreCappedAtTheLabelsOfTheSheet) {
  struct Case {
    int printTo;
    const char16_t* kind;
    int capacity;
  };
  const Case cases[] = {{0, u"Floppy Disk", 15}, {1, u"Zip Disk", 6}, {2, u"Zip Disk", 4}, {3, u"Zip Disk", 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    OpenSelection(Disks(c.capacity + 2, c.kind), c.printTo);
    ASSERT_EQ(int(C().disks.size()), c.capacity + 2);
    EXPECT_TRUE(C().diskCheckBoxes);
    EXPECT_TRUE(C().locationColumnHidden);
    EXPECT_TRUE(C().sizeColumnHidden);
    EXPECT_EQ(state_.LabelCapacity(), c.capacity);
    for (int i = 0; i < c.capacity; ++i) state_.DiskItemCheck(i, true);
    EXPECT_EQ(C().countText, QStringLiteral("Disks Count: %1").arg(c.capacity));
    script_.ExpectMessage(forms::vbOK, "You are exceeding the maximum number of labels that can fit on the page.");
    state_.DiskItemCheck(c.capacity, true);
    ASSERT_TRUE(script_.Done());
    EXPECT_EQ(script_.Shown().back().title, "WARNING!");
    EXPECT_EQ(script_.Shown().back().buttons, forms::vbOKOnly | forms::vbCritical);
    EXPECT_FALSE(C().disks[c.capacity].checked);
    // The refused tick does not lower the count; unticking does.
    EXPECT_EQ(state_.TickedDiskCount(), c.capacity);
    state_.DiskItemCheck(c.capacity, false);
    EXPECT_EQ(state_.TickedDiskCount(), c.capacity);
    state_.DiskItemCheck(0, false);
    EXPECT_EQ(C().countText, QStringLiteral("Disks Count: %1").arg(c.capacity - 1));
    state_.Cancel();
  }
}

TEST_F(BatchTest, TheDateFilterComparesTheDayOfEachDisk) {
  OpenSelection({{u"Late", 1, u"", 0, At(2026, 12, 10, 23, 59), u"Floppy Disk"},
                 {u"Before", 2, u"", 0, At(2026, 11, 30, 23, 59), u"Floppy Disk"},
                 {u"First day", 3, u"", 0, At(2026, 12, 1, 0, 0), u"Floppy Disk"},
                 {u"Far", 4, u"", 0, At(2031, 3, 2, 8, 0), u"Floppy Disk"},
                 {u"After", 5, u"", 0, At(2031, 3, 3, 0, 1), u"Floppy Disk"}});
  EXPECT_EQ(Names().size(), 5);
  state_.UpdatedClick(true);
  EXPECT_TRUE(C().btnApply.enabled);
  EXPECT_FALSE(C().okEnabled);
  state_.DatesChanged(At(2026, 12, 1), At(2031, 3, 2));
  state_.ApplyClick();
  EXPECT_EQ(Names(), (QStringList{"Late", "First day", "Far"}));
  EXPECT_FALSE(C().btnApply.enabled);
  EXPECT_TRUE(C().okEnabled);
  state_.DatesChanged(At(2026, 12, 10), At(2026, 12, 10));
  state_.ApplyClick();
  EXPECT_EQ(Names(), QStringList{"Late"});
  // Without the filter every disk comes back.
  state_.UpdatedClick(false);
  state_.ApplyClick();
  EXPECT_EQ(Names().size(), 5);
}

TEST_F(BatchTest, AHeaderClickedTwiceSortsAscendingThenDescending) {
  OpenSelection({{u"b", 2, u"", 0, At(2026, 1, 1, 13, 0), u"Floppy Disk"},
                 {u"a", 1, u"", 0, At(2026, 1, 1, 11, 0), u"Floppy Disk"},
                 {u"c", 3, u"", 0, At(2026, 1, 1, 12, 30), u"Floppy Disk"}});
  state_.ColumnClick(0);
  EXPECT_EQ(Names(), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(C().sortColumn, 0);
  EXPECT_FALSE(C().sortDescending);
  state_.ColumnClick(0);
  EXPECT_EQ(Names(), (QStringList{"c", "b", "a"}));
  EXPECT_TRUE(C().sortDescending);
  // By the date, not the text: 11:00 AM, 12:30 PM, 1:00 PM.
  state_.ColumnClick(4);
  EXPECT_EQ(Names(), (QStringList{"a", "c", "b"}));
}

TEST_F(BatchTest, BatchOkPrintsEveryDiskOfTheAddPage) {
  OpenBatch();
  state_.PrintToClick(2);  // Zip case inserts
  state_.ApplyClick();
  state_.ApplyClick();
  app_.walk.FoldersOnly = true;
  SHORT typeInPreview = 0;
  app::Links().ShowPrintPreview = [&] {
    typeInPreview = app_.print.ReportType;
    ++previews_;
  };
  state_.Ok();
  EXPECT_EQ(previews_, 1);
  EXPECT_EQ(typeInPreview, 9);
  EXPECT_EQ(app_.print.ReportType, 1);
  EXPECT_EQ(app_.print.TemplateFolder, "Zip Batch");
  EXPECT_EQ(app_.print.LabelRowCount, 2);
  EXPECT_EQ(printer_->Orientation(), surface::vbPRORLandscape);
  EXPECT_EQ(page_.LeftMargin, 7.0 / 8);
  EXPECT_EQ(page_.TopMargin, 5.0 / 12);
  EXPECT_FALSE(app_.walk.FoldersOnly);
  EXPECT_FALSE(state_.Loaded());
  EXPECT_EQ(app_.shell.OpenDialogCount, 0);
  ASSERT_TRUE(app_.print.ReportRecordset);
  EXPECT_EQ(app_.print.ReportRecordset->RecordCount(), 2);
}

TEST_F(BatchTest, TheExportWritesTheTickedDisksAndTheBatchDescription) {
  std::vector<printsetup::DiskRow> rows = {
      {"Music", "0000000042", "", "1,024K", "", "a note", At(2031, 7, 4, 13, 5), true},
      {"Skipped", "0000000043", "", "8K", "", "", At(2026, 1, 1), false},
      {"Photos", "(none)", "", "16K", "", "", At(2026, 2, 3, 0, 30), true},
  };
  struct Case {
    SHORT type;
    SHORT rowCount;
    SHORT orientation;
  };
  for (const Case& c : {Case{8, 3, 1}, Case{10, 1, 1}, Case{9, 1, 2}, Case{6, 1, 1}}) {
    SCOPED_TRACE(c.type);
    app_.print.LabelMedium = 2;
    ASSERT_TRUE(printsetup::ExportCheckedDisks(rows, c.type, app_.print, *printer_));
    EXPECT_EQ(app_.print.ReportType, c.type);
    EXPECT_EQ(app_.print.LabelRowCount, c.rowCount);
    EXPECT_EQ(printer_->Orientation(), c.orientation);
    EXPECT_EQ(app_.print.LabelMedium, 0);
    EXPECT_EQ(app_.print.ReportFieldNames, QStringList{"NAME"});
    EXPECT_EQ(app_.print.ReportColumnFormats, QStringList{"L@"});
    EXPECT_EQ(app_.print.CellAlignFlags, 1);
  }
  app_.print.ReportRecordset.reset();  // written out
  std::ifstream in(app::catalog::ReportTablePath(app::catalog::kDataExportFile));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().substr(0, text.str().find('\r')), printsetup::kBatchHeader);
  EXPECT_NE(text.str().find("7/4/31 1:05 PM"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("2/3/26 12:30 AM"), std::string::npos);
  EXPECT_NE(text.str().find("\" Music\",\"42\",\"1,024K\""), std::string::npos) << text.str();
  EXPECT_EQ(text.str().find("Skipped"), std::string::npos);
}

TEST_F(BatchTest, NothingTickedWarnsAndKeepsTheReportType) {
  app_.print.ReportType = 3;
  script_.ExpectMessage(forms::vbOK, printsetup::kNoDisksSelected);
  EXPECT_FALSE(printsetup::ExportCheckedDisks({{"Music", "1", "", "", "", "", 0, false}}, 10, app_.print, *printer_));
  ASSERT_TRUE(script_.Done());
  EXPECT_EQ(script_.Shown().back().title, "WARNING!");
  EXPECT_EQ(script_.Shown().back().buttons, forms::vbOKOnly | forms::vbExclamation);
  EXPECT_EQ(app_.print.ReportType, 3);

  // On the selection page OK then leaves the dialog open.
  OpenSelection(Disks(3, u"Zip Disk"), 1);
  script_.ExpectMessage(forms::vbOK, printsetup::kNoDisksSelected);
  state_.Ok();
  EXPECT_TRUE(script_.Done());
  EXPECT_TRUE(state_.Loaded());
  EXPECT_EQ(previews_, 0);
}

TEST_F(BatchTest, AnExportThatFailsShowsTheErrorWithACarriageReturn) {
  // The program folder is not writable.
  const std::string missing = scratch_.path().string() + "/missing/folder";
  setenv("XENDORA_HOME", missing.c_str(), 1);
  script_.ExpectMessage(forms::vbOK, "ERROR:  ");
  EXPECT_FALSE(printsetup::ExportCheckedDisks({{"Music", "1", "", "", "", "", 0, true}}, 10, app_.print, *printer_));
  ASSERT_TRUE(script_.Done());
  const QString text = script_.Shown().back().text;
  EXPECT_TRUE(text.startsWith("ERROR:  ")) << text.toStdString();
  EXPECT_TRUE(text.contains(QChar(u'\r')));
}

}  // namespace
}  // namespace printsetup_testing
