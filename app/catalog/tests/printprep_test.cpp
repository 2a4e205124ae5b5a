// The label preparations and the contents report: the rows written for the chosen files, the
// page layout each medium gets, the preview opened, and their failures.
#include "printprep.h"

#include <filesystem>
#include <fstream>

#include "print_fixture.h"
#include "printlaunchers.h"
#include "reporttable.h"

using namespace app::catalog;

namespace {

using catalog_testing::Preparation;

TEST_F(Preparation, TreeRowsByCheckState) {
  // Node indexes: 1 Music, 2 2003, 3 Ärger.mp3, 4 readme.txt.
  struct Case {
    const char* name;
    std::vector<std::pair<int, bool>> checks;  // in order; a folder's children follow it
    bool onlyChecked;
    std::vector<std::string> rows;
  } const cases[] = {
      {"checked folder, children unchecked", {{1, true}, {2, false}}, true, {"Music05"}},
      {"unchecked folder, checked child",
       {{2, true}, {1, false}, {4, false}, {2, true}},
       true,
       {std::string(5, ' ') + "200305", std::string(10, ' ') + "Ärger.mp306"}},
      {"file at depth 2", {{3, true}}, true, {std::string(10, ' ') + "Ärger.mp306"}},
      {"everything without check boxes",
       {},
       false,
       {"Music05", std::string(5, ' ') + "200305", std::string(10, ' ') + "Ärger.mp306", "readme.txt06"}},
      {"nothing checked", {}, true, {}},
  };
  for (const Case& c : cases) {
    PrintTreeView tree = Tree();
    for (const auto& [node, on] : c.checks) tree.SetChecked(node, on);
    PrintChoice choice;
    choice.fromTree = true;
    choice.tree = &tree;
    choice.onlyChecked = c.onlyChecked;
    previews_ = 0;
    EXPECT_EQ(ExportCheckedItems(state_, choice), !c.rows.empty()) << c.name;
    EXPECT_EQ(Rows(), c.rows) << c.name;
    EXPECT_EQ(previews_, c.rows.empty() ? 0 : 1) << c.name;
  }
}

TEST_F(Preparation, ListRowsLowerCasedForLabels) {
  PrintListView list;
  list.AddItem({QStringLiteral(" Ordner Überlang "), 5, QStringLiteral("05")});
  list.AddItem({QStringLiteral("README.TXT"), 6, QStringLiteral("06")});
  list.Items()[1].checked = true;
  PrintChoice choice;
  choice.list = &list;
  choice.onlyChecked = true;
  ASSERT_TRUE(ExportCheckedItems(state_, choice));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"readme.txt06"}));
  // The floppy list keeps the names' case.
  choice.onlyChecked = false;
  state_.print.ReportType = 2;
  ASSERT_EQ(PrepareFileListPrint(state_, choice, state_.selection.AddUpdateResult), true);
  EXPECT_EQ(shownRows_, (std::vector<std::string>{"Ordner Überlang05", "README.TXT06"}));
  EXPECT_EQ(state_.print.ReportTitle, QStringLiteral("R@0000000042"));
  const reports::PageSettings& page = reports::CurrentPageSettings();
  EXPECT_DOUBLE_EQ(page.LeftMargin, 0.25);
  EXPECT_DOUBLE_EQ(page.BottomMargin, 8.562);
  EXPECT_TRUE(state_.print.PrintOutlines);
}

TEST_F(Preparation, CustomTypeAlwaysOneEmptyRow) {
  PrintListView list;  // nothing chosen
  PrintChoice choice;
  choice.list = &list;
  choice.onlyChecked = true;
  state_.print.ReportType = 4;
  ASSERT_EQ(PrepareCDLabelPrint(state_, choice), true);
  EXPECT_EQ(shownRows_, (std::vector<std::string>{""}));
  EXPECT_EQ(shownOrientation_, app::kLandscape);
  EXPECT_EQ(shownStartColumn_, 1);
  EXPECT_EQ(state_.print.ZipStartColumn, 0);
  EXPECT_EQ(state_.print.PageColumnCount, 2);
  EXPECT_EQ(surface::Printer().Orientation(), app::kLandscape);
  EXPECT_EQ(restored_, std::vector<bool>{true});
  // The other report types: the checked files, portrait, the CD margins.
  state_.print.ReportType = 5;
  EXPECT_EQ(PrepareCDLabelPrint(state_, choice), false);
  EXPECT_EQ(reports::CurrentPageSettings().Orientation, app::kPortrait);
  EXPECT_DOUBLE_EQ(reports::CurrentPageSettings().LeftMargin, 1.875);
  EXPECT_EQ(state_.print.ReportTitle, QStringLiteral("R@42"));
  EXPECT_EQ(state_.print.ReportColumnTitles, QStringList{QStringLiteral("CDRWTableTitle")});
  EXPECT_EQ(previews_, 1);
}

TEST_F(Preparation, OneOrientationForEveryStock) {
  // A ZipSlip, then a case insert, then the ZipSlip again in one dialog: each job writes the
  // orientation the page settings hold, which the preview and the print run read.
  PrintListView list;
  list.AddItem({QStringLiteral("a.txt"), 6, QStringLiteral("06")});
  PrintChoice choice;
  choice.list = &list;
  state_.print.ReportType = 2;
  struct Step {
    SHORT stock;
    SHORT orientation;
    SHORT rows;
  } const steps[] = {{0, app::kPortrait, 3}, {1, app::kLandscape, 1}, {2, app::kPortrait, 1}, {0, app::kPortrait, 3}};
  for (const Step& s : steps) {
    state_.print.PrintToIndex = s.stock;
    ASSERT_EQ(PrepareZipLabelPrint(state_, choice), true);
    EXPECT_EQ(shownOrientation_, s.orientation) << s.stock;
    EXPECT_EQ(surface::Printer().Orientation(), s.orientation) << s.stock;
    EXPECT_EQ(state_.print.LabelRowCount, s.rows);
  }
  EXPECT_DOUBLE_EQ(reports::CurrentPageSettings().LeftMargin, 0.85);
  EXPECT_EQ(shownRows_, std::vector<std::string>{"a.txt06"});
}

TEST_F(Preparation, FailureShowsOnlyItsError) {
  // The program folder is a file: the report table cannot be written.
  const std::filesystem::path blocked = scratch_.path() / "blocked";
  std::ofstream(blocked) << "x";
  setenv("XENDORA_HOME", blocked.c_str(), 1);
  PrintListView list;
  list.AddItem({QStringLiteral("a.txt"), 6, QStringLiteral("06")});
  PrintChoice choice;
  choice.list = &list;
  script_.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:   "));
  EXPECT_EQ(PrepareCDLabelPrint(state_, choice), std::nullopt);
  EXPECT_EQ(previews_, 0);
  EXPECT_TRUE(script_.Done());
}

TEST_F(Preparation, ContentsReport) {
  WriteReportTableHeader(state_.print, QString::fromLatin1(kDriveListHeader), kDataExportFile);
  state_.walk.FoldersOnly = true;
  script_.ExpectMessage(forms::vbOK, QString::fromLatin1(kNoDataToPrint));
  ContentsReport(state_, QStringLiteral("D:\\Music"), true);
  EXPECT_EQ(previews_, 0);
  EXPECT_EQ(script_.Shown().back().title, QStringLiteral("ERROR!"));
  EXPECT_EQ(script_.Shown().back().buttons & forms::vbCritical, forms::vbCritical);

  struct Case {
    bool location;
    QList<double> widths;
    QString lastField;
  } const cases[] = {{true, {20.5, 40, 11, 11, 17.5}, QStringLiteral("MODIFIED")},
                     {false, {48, 21.5, 13, 17.5}, QStringLiteral("MODIFIED")}};
  for (const Case& c : cases) {
    WriteReportTableHeader(state_.print, QString::fromLatin1(c.location ? kDriveListHeader : kDriveTreeHeader),
                           kDataExportFile);
    AppendReportRow(state_.print, {QStringLiteral("A.MP306")});
    reports::CurrentPageSettings().Orientation = app::kLandscape;
    state_.walk.FoldersOnly = true;
    ContentsReport(state_, QStringLiteral("D:\\Music"), c.location);
    EXPECT_EQ(state_.print.ReportColumnWidths, c.widths);
    EXPECT_EQ(state_.print.ReportColumnCount, c.widths.size());
    EXPECT_EQ(state_.print.ReportFieldNames.back(), c.lastField);
    EXPECT_EQ(state_.print.ReportTitle, QStringLiteral("Contents\rD:\\Music"));
    EXPECT_EQ(state_.print.ReportType, 1);
    EXPECT_EQ(shownOrientation_, app::kPortrait);
    EXPECT_FALSE(state_.walk.FoldersOnly);
  }
  EXPECT_EQ(previews_, 2);
  EXPECT_TRUE(script_.Done());
}

TEST_F(Preparation, TreeChecksFollowTheFolder) {
  PrintTreeView tree = Tree();
  tree.SetChecked(1, true);
  EXPECT_TRUE(tree.At(2).checked);
  EXPECT_TRUE(tree.At(3).checked);
  EXPECT_FALSE(tree.At(4).checked);
  tree.SetChecked(2, false);
  EXPECT_FALSE(tree.At(3).checked);
  EXPECT_TRUE(tree.At(1).checked);
}

}  // namespace

#include "printhalf.h"

namespace {

using catalog_testing::FakeCompCtl;

class PrintHalfTest : public Preparation {
 protected:
  PrintHalfTest() {
    ctl_.hits = {{u"Music", 42, u"", 0, 0, u"FOLDER"},
                 {u"Music\\b.mp3", 42, u"", 4, 0, u"FILE"},
                 {u"Music\\a.txt", 42, u"", 1, 0, u"FILE"},
                 {u"readme.txt", 42, u"", 1, 0, u"FILE"}};
    state_.print.LabelMedium = 3;
    state_.print.ReportType = 2;
  }
  FakeCompCtl ctl_;
  PrintHalf half_{state_, &ctl_, nullptr};
};

TEST_F(PrintHalfTest, ChoosingFilesSwitchesCheckBoxes) {
  half_.FillList();
  half_.FillTree();
  for (auto& i : half_.List().Items()) i.checked = true;
  half_.ChooseReportType(3);
  EXPECT_EQ(state_.print.ReportType, 5);
  EXPECT_TRUE(half_.CheckBoxes());
  for (const auto& i : half_.List().Items()) EXPECT_FALSE(i.checked);
  // With nothing checked the job warns once, and nothing is previewed.
  script_.ExpectMessage(forms::vbOK, NoFilesSelectedWarning());
  half_.Print();
  EXPECT_EQ(script_.Shown().back().title, QStringLiteral("WARNING!"));
  EXPECT_EQ(previews_, 0);
  EXPECT_TRUE(half_.FirstLabelPrint());
  half_.ChooseReportType(0);
  EXPECT_FALSE(half_.CheckBoxes());
  half_.Print();
  EXPECT_EQ(previews_, 1);
  EXPECT_EQ(shownRows_.size(), half_.List().Items().size());
  EXPECT_FALSE(half_.FirstLabelPrint());
  EXPECT_TRUE(script_.Done());
}

TEST_F(PrintHalfTest, FileListHasEightColumnsWithTheirOwnSortDirections) {
  half_.FillList();
  ASSERT_FALSE(half_.List().Empty());
  EXPECT_EQ(ListColumnTitles().size(), kListColumnCount);
  EXPECT_EQ(kListColumnCount, 8);
  const ListingItem& file = half_.List().Items()[1].item;  // Music\b.mp3
  const QStringList texts = ListColumnTexts(file);
  ASSERT_EQ(texts.size(), kListColumnCount);
  EXPECT_EQ(texts.mid(0, kListFilledColumns), (QStringList{file.text, file.folder, file.size, file.date, file.type}));
  EXPECT_EQ(texts[1], QStringLiteral("Music\\"));
  for (int c = kListFilledColumns; c < kListColumnCount; ++c) EXPECT_TRUE(texts[c].isEmpty());
  // Each column turns its own direction round, descending first; the others keep theirs.
  PrintListView& list = half_.List();
  EXPECT_EQ(list.ToggleColumnSort(7), 1);
  EXPECT_EQ(list.ToggleColumnSort(2), 1);
  EXPECT_EQ(list.ToggleColumnSort(2), 0);
  EXPECT_EQ(list.ColumnSortOrder(7), 1);
  EXPECT_EQ(list.ColumnSortOrder(0), 0);
  EXPECT_EQ(list.ToggleColumnSort(8), -1);
  EXPECT_EQ(list.ToggleColumnSort(-1), -1);
}

TEST_F(PrintHalfTest, DirectoryReportListedOncePerOptions) {
  DirectoryReportOptions options;
  options.sortField = 0;  // NAME
  half_.Preview(options);
  EXPECT_EQ(half_.Rebuilds(), 1);
  EXPECT_EQ(half_.Sorts(), 1);
  EXPECT_EQ(state_.print.ReportColumnWidths, (QList<double>{16, 9, 30, 8, 12, 25}));
  EXPECT_EQ(shownOrientation_, app::kLandscape);
  EXPECT_EQ(state_.print.ReportTitle, QStringLiteral("Contents\rROOT:\\Disk"));
  // The same options again: neither listed nor sorted.
  half_.Preview(options);
  EXPECT_EQ(half_.Rebuilds(), 1);
  EXPECT_EQ(half_.Sorts(), 1);
  // Another sort field: sorted, by TYPE and then NAME, without listing again.
  options.sortField = 3;
  half_.Preview(options);
  EXPECT_EQ(half_.Rebuilds(), 1);
  EXPECT_EQ(half_.Sorts(), 2);
  EXPECT_EQ(shownRows_.front().substr(0, 6), " MUSIC");  // the folder's type sorts first
  // A label job rewrites the table: the next preview lists again and works.
  state_.print.LabelMedium = 3;
  half_.Print();
  EXPECT_EQ(shownRows_.size(), 4u);
  half_.Preview(options);
  EXPECT_EQ(half_.Rebuilds(), 2);
  EXPECT_EQ(shownRows_.size(), 4u);
  // The tree layout.
  options.listLayout = false;
  half_.Preview(options);
  EXPECT_EQ(half_.Rebuilds(), 3);
  EXPECT_EQ(state_.print.ReportColumnWidths, (QList<double>{29, 9, 13.5, 9, 13.5, 26}));
  EXPECT_TRUE(script_.Done());
}

TEST_F(PrintHalfTest, EmptyDirectoryReportSaysSo) {
  ctl_.hits.clear();
  script_.ExpectMessage(forms::vbOK, QString::fromLatin1(kNoDataToPrint));
  half_.Preview(DirectoryReportOptions{});
  EXPECT_EQ(previews_, 0);
  EXPECT_TRUE(script_.Done());
}

}  // namespace

namespace {

TEST_F(PrintHalfTest, PrintDirectoryListsTheDriveFolder) {
  catalog_testing::ScannerHandle scanner;
  scanner->listing = {{u"D:\\Music", 0, u"", 0, 0, u"FOLDER"},
                      {u"D:\\Music\\Überlänge.mp3", 0, u"", 1234, 0, u"FILE"},
                      {u"D:\\Music\\a.txt", 0, u"", 1, 0, u"FILE"}};
  half_.SetScanner(scanner.Ptr());
  half_.SetPrintDirectory(QStringLiteral("D:\\Music"));
  EXPECT_EQ(half_.SortFieldTitles().size(), 5);
  DirectoryReportOptions options;
  options.listLayout = false;
  half_.Preview(options);
  EXPECT_EQ(scanner->diskType, QStringLiteral("FOLDER"));
  EXPECT_TRUE(scanner->docFile.endsWith(QStringLiteral("_tmpprint.dkc")));
  ASSERT_EQ(previews_, 1);
  // The tree layout names the start entry by its whole path, a folder's type " File Folder".
  ASSERT_EQ(shownRows_.size(), 3u);
  EXPECT_EQ(shownRows_[0], " D:\\Music05");
  EXPECT_EQ(state_.print.ReportTitle, QStringLiteral("Contents\rD:\\Music"));
  EXPECT_EQ(state_.print.ReportColumnWidths, (QList<double>{48, 21.5, 13, 17.5}));
  state_.print.ReportRecordset->MoveFirst();
  EXPECT_EQ(state_.print.ReportRecordset->Field(1), " File Folder");
  // The list layout leaves the start entry out, sorted by TYPE then NAME.
  options.listLayout = true;
  options.sortField = 2;
  half_.Preview(options);
  ASSERT_EQ(shownRows_.size(), 2u);
  EXPECT_EQ(state_.print.ReportColumnWidths, (QList<double>{20.5, 40, 11, 11, 17.5}));
  EXPECT_EQ(half_.Sorts(), 1);
  // A drive root is listed under the drive's type name.
  half_.SetPrintDirectory(QStringLiteral("C:\\"));
  options.listLayout = false;
  half_.Preview(options);
  EXPECT_NE(scanner->diskType, QStringLiteral("FOLDER"));
  EXPECT_FALSE(scanner->diskType.isEmpty());
  EXPECT_TRUE(script_.Done());
}

TEST_F(PrintHalfTest, DriveListingFailureSaysItsNumber) {
  catalog_testing::ScannerHandle scanner;
  scanner->listAnswer = STG_E_ACCESSDENIED;
  half_.SetScanner(scanner.Ptr());
  half_.SetPrintDirectory(QStringLiteral("D:\\Music"));
  script_.ExpectMessage(forms::vbOK, QStringLiteral("     "));
  half_.Preview(DirectoryReportOptions{});
  EXPECT_EQ(previews_, 0);
  ASSERT_TRUE(state_.print.ReportRecordset);  // bound again to what was written
  EXPECT_TRUE(state_.print.ReportRecordset->IsOpen());
  EXPECT_TRUE(script_.Done());
}

}  // namespace
