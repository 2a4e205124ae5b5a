// The update dialog's print page driven through its widgets, as a user works it: the report
// types, the file list and the folder tree with their check boxes, Print and Preview.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "frmupdate.h"
#include "print_fixture.h"
#include "printhalf.h"
#include "printhalfpage.h"
#include "printlaunchers.h"
#include "printprep.h"

using namespace app::catalog;

namespace {

class PrintPage : public catalog_testing::Preparation {
 protected:
  PrintPage() {
    ctl_.hits = {{u"Music", 42, u"", 0, 0, u"FOLDER"},
                 {u"Music\\b.mp3", 42, u"", 4, 0, u"FILE"},
                 {u"Music\\a.txt", 42, u"", 1, 0, u"FILE"},
                 {u"readme.txt", 42, u"", 1, 0, u"FILE"}};
  }

  // The dialog in print-only mode for the job's disk, of the given media type.
  void Open(const QString& mediaType) {
    QVariantList info = state_.selection.AddUpdateResult.toList();
    info[6] = mediaType;
    state_.selection.AddUpdateResult = info;
    state_.print.PrintOnlyMode = true;
    CatalogDialogParts parts;
    parts.state = &state_;
    parts.compCtl = &ctl_;
    dialog_ = std::make_unique<frmUpdate>(parts);
    dialog_->show();
  }
  template <class W>
  W* Get(const char* name) {
    W* w = dialog_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // A click where a user clicks: a push button anywhere, a radio button or check box on its mark
  // (a box stretched across the page takes no click at its middle).
  void Click(const char* name) {
    QAbstractButton* button = Get<QAbstractButton>(name);
    const bool marked = qobject_cast<QRadioButton*>(button) || qobject_cast<QCheckBox*>(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, marked ? QPoint(8, button->height() / 2) : button->rect().center());
  }
  void ClickTab(int index) {
    QTabBar* bar = Get<QTabWidget>("ctlTab")->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }
  // The row of the view whose text, blanks aside, is `text`.
  QTreeWidgetItem* Row(QTreeWidget* view, const QString& text) {
    for (QTreeWidgetItemIterator it(view); *it; ++it)
      if ((*it)->text(0).trimmed() == text) return *it;
    ADD_FAILURE() << "no row " << text.toStdString();
    return nullptr;
  }
  // The space bar on a row, as a user ticks or clears its check box.
  void ToggleWithSpace(QTreeWidget* view, QTreeWidgetItem* row) {
    view->setFocus();
    view->setCurrentItem(row);
    QTest::keyClick(view, Qt::Key_Space);
  }
  static bool HasCheckBox(const QTreeWidgetItem* row) { return row->data(0, Qt::CheckStateRole).isValid(); }
  static std::vector<Qt::CheckState> Checks(QTreeWidget* view) {
    std::vector<Qt::CheckState> states;
    for (QTreeWidgetItemIterator it(view); *it; ++it)
      states.push_back(HasCheckBox(*it) ? (*it)->checkState(0) : Qt::PartiallyChecked);
    return states;
  }
  static std::vector<Qt::CheckState> All(QTreeWidget* view, Qt::CheckState state) {
    int n = 0;
    for (QTreeWidgetItemIterator it(view); *it; ++it) ++n;
    return std::vector<Qt::CheckState>(n, state);
  }

  catalog_testing::FakeCompCtl ctl_;
  std::unique_ptr<frmUpdate> dialog_;
};

TEST_F(PrintPage, ReportTypesSwitchTheCheckBoxes) {
  Open(QStringLiteral("CD-RW Disk"));
  EXPECT_EQ(state_.print.LabelMedium, 3);
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Label Setup  (Select Label Type to print)"));
  EXPECT_TRUE(Get<QWidget>("picRpts")->isVisible());
  EXPECT_TRUE(Get<QPushButton>("btnPrint")->isVisible());
  EXPECT_FALSE(Get<QPushButton>("btnPreview")->isVisible());
  EXPECT_FALSE(Get<QComboBox>("lstPrintTo")->isVisible());  // a CD has one label stock

  Click("lbRptType2");
  EXPECT_EQ(state_.print.ReportType, 4);
  EXPECT_EQ(Get<QLabel>("lbSelected")->text(), QStringLiteral("DISK INFORMATION"));
  EXPECT_EQ(Get<QLabel>("lbExpl")->text(), ReportDescriptions()[2]);

  // The file list is filled when its tab is first shown, without check boxes.
  auto* list = Get<QTreeWidget>("lstResult");
  ClickTab(1);
  EXPECT_EQ(list->topLevelItemCount(), 4);
  EXPECT_EQ(Checks(list), All(list, Qt::PartiallyChecked));
  EXPECT_EQ(Get<QPushButton>("btnExit")->text(), QStringLiteral("<< &Back"));
  Click("btnExit");  // back to the report types
  EXPECT_EQ(Get<QTabWidget>("ctlTab")->currentIndex(), 0);
  EXPECT_EQ(Get<QPushButton>("btnExit")->text(), QStringLiteral("&Exit"));

  // Choose Files: every row of both views gets an empty check box.
  Click("lbRptType3");
  EXPECT_EQ(state_.print.ReportType, 5);
  EXPECT_EQ(Get<QLabel>("lbSelected")->text(), QStringLiteral("CHOOSE FILES"));
  EXPECT_EQ(Checks(list), All(list, Qt::Unchecked));
  auto* tree = Get<QTreeWidget>("ctlTree");
  ClickTab(2);
  ASSERT_GT(tree->topLevelItemCount(), 0);
  EXPECT_EQ(Checks(tree), All(tree, Qt::Unchecked));
  // Ticking a folder ticks what it holds, and nothing beside it.
  ToggleWithSpace(tree, Row(tree, QStringLiteral("Music")));
  EXPECT_EQ(Row(tree, QStringLiteral("Music"))->checkState(0), Qt::Checked);
  EXPECT_EQ(Row(tree, QStringLiteral("b.mp3"))->checkState(0), Qt::Checked);
  EXPECT_EQ(Row(tree, QStringLiteral("a.txt"))->checkState(0), Qt::Checked);
  EXPECT_EQ(Row(tree, QStringLiteral("readme.txt"))->checkState(0), Qt::Unchecked);
  ClickTab(1);
  ToggleWithSpace(list, list->topLevelItem(3));
  EXPECT_EQ(list->topLevelItem(3)->checkState(0), Qt::Checked);

  // Another type takes the check boxes away; Choose Files again starts with none ticked.
  ClickTab(0);
  Click("lbRptType0");
  EXPECT_EQ(state_.print.ReportType, 2);
  EXPECT_EQ(Checks(list), All(list, Qt::PartiallyChecked));
  EXPECT_EQ(Checks(tree), All(tree, Qt::PartiallyChecked));
  Click("lbRptType3");
  EXPECT_EQ(Checks(list), All(list, Qt::Unchecked));
  EXPECT_EQ(Checks(tree), All(tree, Qt::Unchecked));
  EXPECT_TRUE(script_.Done());
}

TEST_F(PrintPage, PrintTakesTheTickedFilesToTheCdLabel) {
  Open(QStringLiteral("CD-RW Disk"));
  Click("lbRptType3");
  // Nothing ticked: the warning, and no preview.
  script_.ExpectMessage(forms::vbOK, NoFilesSelectedWarning());
  Click("btnPrint");
  EXPECT_EQ(script_.Shown().back().title, QStringLiteral("WARNING!"));
  EXPECT_EQ(previews_, 0);

  // A file ticked in the tree: its row, at the tree's depth, on a portrait CD page.
  auto* tree = Get<QTreeWidget>("ctlTree");
  ClickTab(2);
  ToggleWithSpace(tree, Row(tree, QStringLiteral("a.txt")));
  Click("btnPrint");
  ASSERT_EQ(previews_, 1);
  EXPECT_EQ(shownRows_, (std::vector<std::string>{std::string(5, ' ') + "a.txt06"}));
  EXPECT_EQ(shownOrientation_, app::kPortrait);
  EXPECT_EQ(state_.print.ReportColumnTitles, QStringList{QStringLiteral("CDRWTableTitle")});
  EXPECT_EQ(restored_, std::vector<bool>{true});

  // The list is the view last shown: its ticked row goes, lower-cased; the second job is no
  // longer the dialog's first.
  auto* list = Get<QTreeWidget>("lstResult");
  ClickTab(1);
  QTreeWidgetItem* readme = Row(list, QStringLiteral("readme.txt"));
  ToggleWithSpace(list, readme);
  Click("btnPrint");
  ASSERT_EQ(previews_, 2);
  EXPECT_EQ(shownRows_, (std::vector<std::string>{"readme.txt06"}));
  EXPECT_EQ(restored_, (std::vector<bool>{true, false}));

  // The custom label needs no files: one empty row, landscape.
  ClickTab(0);
  Click("lbRptType2");
  Click("btnPrint");
  ASSERT_EQ(previews_, 3);
  EXPECT_EQ(shownRows_, std::vector<std::string>{""});
  EXPECT_EQ(shownOrientation_, app::kLandscape);
  EXPECT_TRUE(script_.Done());
}

TEST_F(PrintPage, FileListColumnsSortDescendingFirst) {
  Open(QStringLiteral("CD-RW Disk"));
  auto* list = Get<QTreeWidget>("lstResult");
  ClickTab(1);
  QHeaderView* header = list->header();
  const QPoint name(header->sectionViewportPosition(0) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
  EXPECT_EQ(list->topLevelItem(0)->text(0).trimmed(), QStringLiteral("readme.txt"));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
  EXPECT_EQ(list->topLevelItem(0)->text(0).trimmed(), QStringLiteral("Music"));  // a folder's blank sorts first
}

TEST_F(PrintPage, PreviewShowsTheDisksDirectoryReport) {
  Open(QStringLiteral("Local Disk"));
  EXPECT_EQ(state_.print.LabelMedium, 0);
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Select Report to Preview"));
  EXPECT_TRUE(Get<QWidget>("picPrintHDPage")->isVisible());
  EXPECT_FALSE(Get<QPushButton>("btnPrint")->isVisible());
  ASSERT_TRUE(Get<QPushButton>("btnPreview")->isVisible());

  Click("btnPreview");
  ASSERT_EQ(previews_, 1);
  EXPECT_EQ(shownRows_.size(), 4u);
  EXPECT_EQ(state_.print.ReportTitle, QStringLiteral("Contents\rROOT:\\Disk"));
  EXPECT_EQ(state_.print.ReportColumnWidths, (QList<double>{16, 9, 30, 8, 12, 25}));
  EXPECT_EQ(shownOrientation_, app::kLandscape);

  // The tree layout has no sort order to choose.
  Click("optPrnTreeView");
  EXPECT_FALSE(Get<QWidget>("framSortBy")->isEnabled());
  Click("btnPreview");
  ASSERT_EQ(previews_, 2);
  EXPECT_EQ(state_.print.ReportColumnWidths, (QList<double>{29, 9, 13.5, 9, 13.5, 26}));

  // The list sorted by type: the folder first.
  Click("optPrnListView");
  EXPECT_TRUE(Get<QWidget>("framSortBy")->isEnabled());
  Get<QComboBox>("lstSortBy")->setCurrentIndex(3);
  Click("btnPreview");
  ASSERT_EQ(previews_, 3);
  ASSERT_EQ(shownRows_.size(), 4u);
  EXPECT_EQ(shownRows_.front().substr(0, 6), " MUSIC");

  // Folders only: the disk is listed again, asking the walk for folders alone.
  const size_t walks = ctl_.calls.size();
  Click("chkShowFolders1");
  Click("btnPreview");
  ASSERT_EQ(previews_, 4);
  ASSERT_EQ(ctl_.calls.size(), walks + 1);
  EXPECT_EQ(ctl_.calls.back().type, 1);
  EXPECT_TRUE(script_.Done());
}

// The dialog's first size shows the disk's summary whole, under the wrapped description.
TEST_F(PrintPage, TheDisksSummaryShowsWholeAtFirst) {
  Open(QStringLiteral("CD-RW Disk"));
  QApplication::processEvents();
  auto* summary = Get<QLabel>("lbSummary");
  EXPECT_GE(summary->height(), summary->sizeHint().height()) << summary->text().toStdString();
}

}  // namespace
