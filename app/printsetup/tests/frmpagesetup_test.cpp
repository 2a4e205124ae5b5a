// The page setup window offscreen: its widgets show the state, typing checks nothing until the
// box is left or OK is pressed, the batch page's Add lists the disk, and the program's links
// load, show, hide and unload the one dialog of the run.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include "currentprinter.h"
#include "frmpagesetup.h"
#include "pagesetuplinks.h"
#include "test_support.h"

namespace printsetup_testing {
namespace {

template <typename T>
T* Child(QWidget& w, const char* name) {
  T* child = w.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST_F(PageSetupTest, TheWindowShowsTheBoxesAndChecksThemOnlyAtOk) {
  Open();
  printsetup::frmPageSetup window(state_);
  window.show();
  auto* top = Child<QLineEdit>(window, "edTopMarg");
  EXPECT_EQ(top->text(), "0.5");
  auto* yoff = Child<QLineEdit>(window, "edYoff");
  yoff->selectAll();
  QTest::keyClicks(yoff, "ab");  // no message while typing
  EXPECT_TRUE(script_.Shown().empty());
  script_.ExpectMessage(forms::vbOK, "Please Enter a numeric value.");
  Child<QPushButton>(window, "OKButton")->click();
  ASSERT_TRUE(script_.Done());
  EXPECT_TRUE(state_.Shown());
  EXPECT_TRUE(window.isVisible());
  yoff->selectAll();
  QTest::keyClicks(yoff, "0.125");
  Child<QPushButton>(window, "OKButton")->click();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(page_.OffsetY, 0.125);
}

TEST_F(PageSetupTest, TheBatchPageAddsThroughTheWindow) {
  app_.settings.SetDriveLetter(app::kZipDisk, "E:\\");
  state_.compCtl = [] { return static_cast<ICompCtl*>(nullptr); };
  int adds = 0;
  state_.showAddDisk = [&] { ++adds; };
  state_.SetBatchPrint();
  Open();
  printsetup::frmPageSetup window(state_);
  window.show();
  EXPECT_EQ(window.windowTitle(), "Batch Print");
  auto* kinds = Child<QListWidget>(window, "lstPrintTo");
  EXPECT_EQ(kinds->count(), 3);
  EXPECT_EQ(kinds->currentRow(), 0);
  auto* tabs = Child<QTabBar>(window, "ctlTab");
  EXPECT_EQ(tabs->tabText(0), printsetup::kBatchTabCaption);
  auto* add = Child<QPushButton>(window, "btnApply");
  EXPECT_EQ(add->text(), "&Add");
  add->click();
  EXPECT_EQ(adds, 1);
  EXPECT_EQ(tabs->count(), 1);  // the batch has begun
  EXPECT_TRUE(Child<QTreeWidget>(window, "lstDisks")->isColumnHidden(2));
  Child<QPushButton>(window, "CancelButton")->click();
  EXPECT_FALSE(state_.Loaded());
  EXPECT_EQ(app_.shell.OpenDialogCount, 0);
}

TEST_F(PageSetupTest, TheProgramsDialogStaysLoadedUntilItIsUnloaded) {
  surface::RecordingOptions options;
  options.printer = true;
  surface::SetPrinter(std::make_unique<surface::RecordingSurface>(options));
  printsetup::LinkPageSetup();
  app::AppState& global = app::Global();
  const SHORT before = global.shell.OpenDialogCount;
  script_.ExpectWindow("frmPageSetup", [](QWidget* form) {
    auto* left = form->findChild<QLineEdit*>("edLeftMarg");
    left->setText("1.5");
    emit left->textEdited("1.5");
    form->findChild<QPushButton*>("OKButton")->click();
  });
  app::ShowPageSetup(nullptr);
  ASSERT_TRUE(script_.Done());
  EXPECT_EQ(reports::CurrentPageSettings().LeftMargin, 1.5);
  EXPECT_EQ(global.shell.OpenDialogCount, before + 1);
  ASSERT_NE(printsetup::PageSetupWindow(), nullptr);

  // The update dialog's stock change resets the start cell; the preview's close unloads.
  reports::CurrentPageSettings().StartPosition = 4;
  app::SetStockChoiceState(0);
  EXPECT_EQ(reports::CurrentPageSettings().StartPosition, 0);
  app::UnloadPageSetup();
  EXPECT_EQ(global.shell.OpenDialogCount, before);
  EXPECT_EQ(printsetup::PageSetupWindow(), nullptr);
  EXPECT_EQ(reports::CurrentPageSettings().LeftMargin, 0.5);
  app::UnloadPageSetup();  // not loaded: nothing
  EXPECT_EQ(global.shell.OpenDialogCount, before);
  surface::SetPrinter(nullptr);
}

}  // namespace
}  // namespace printsetup_testing
