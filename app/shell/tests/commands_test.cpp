// The deferred commands: the loop's store and tick, the label-stock table, the launchers'
// plans and what they hand to the update dialog and the preview.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "commandloop.h"
#include "currentprinter.h"
#include "frmmain.h"
#include "iteminfovariant.h"
#include "pagesettings.h"
#include "printlaunchers.h"
#include "recordingsurface.h"
#include "scriptedforms.h"
#include "test_support.h"
#include "testing_qt/test_support.h"
#include "vbrt.h"
#include "windowlinks.h"

using namespace app;
using namespace shelltest;

namespace {

struct LoopProbe {
  QStringList ran;
  int arms = 0;
  bool modal = false;
  bool unloaded = false;
  CommandLoop loop{CommandLoop::Hooks{[this] { ++arms; }, [] {}, [this] { return modal; }, [this] { unloaded = true; },
                                      [this](const QString& c) { ran << c; }}};
};

TEST(CommandLoop, TheLaterOfTwoStoresRunsAndTheCodeIsTakenFirst) {
  LoopProbe p;
  p.loop.Store(QStringLiteral("FULLLB"));
  p.loop.Store(QStringLiteral("AddDisk"));
  EXPECT_EQ(p.arms, 2);
  p.loop.Tick();
  EXPECT_EQ(p.ran, QStringList{QStringLiteral("AddDisk")});
  EXPECT_TRUE(p.loop.Pending().isEmpty());
  EXPECT_FALSE(p.unloaded);
  p.loop.Store(QStringLiteral("NoSuchCode"));
  p.loop.Tick();
  EXPECT_EQ(p.ran.size(), 1);
  p.loop.Tick();  // nothing stored: the main window unloads
  EXPECT_TRUE(p.unloaded);
}

TEST(CommandLoop, AModalOpenOrARunningLauncherRearmsInsteadOfRunning) {
  LoopProbe p;
  p.loop.Store(QStringLiteral("UpdateDisk"));
  p.modal = true;
  p.loop.Tick();
  EXPECT_TRUE(p.ran.isEmpty());
  EXPECT_EQ(p.arms, 2);
  EXPECT_EQ(p.loop.Pending(), QStringLiteral("UpdateDisk"));
  p.modal = false;
  p.loop.Tick();
  EXPECT_EQ(p.ran, QStringList{QStringLiteral("UpdateDisk")});
}

TEST(CommandLoop, ATickDuringTheLauncherWaitsAndThenRunsTheNewCode) {
  QStringList ran;
  int arms = 0;
  CommandLoop* self = nullptr;
  CommandLoop loop{CommandLoop::Hooks{[&] { ++arms; }, [] {}, [] { return false; }, [] {}, [&](const QString& code) {
                                        ran << code;
                                        if (code == QLatin1String("AddDisk")) {
                                          self->Store(QStringLiteral("FULLLB"));
                                          self->Tick();
                                        }
                                      }}};
  self = &loop;
  loop.Store(QStringLiteral("AddDisk"));
  loop.Tick();
  EXPECT_EQ(ran, QStringList{QStringLiteral("AddDisk")});
  EXPECT_EQ(loop.Pending(), QStringLiteral("FULLLB"));
  loop.Tick();
  EXPECT_EQ(ran, (QStringList{QStringLiteral("AddDisk"), QStringLiteral("FULLLB")}));
}

TEST(PrintLaunchers, UserDefinedLabelPages) {
  struct Case {
    SHORT reportType, templateKind;
    const char* folder;
    SHORT orientation;
    const char* margins;  // "" untouched
    int rows;             // -1 unchanged
  } cases[] = {
      {12, 5, "CD Custom", kLandscape, "0.75 1.875 0.75 1.875", 1},
      {12, 3, "CD Custom", kPortrait, "", 1},
      {12, 6, "CD Custom", kPortrait, "", 1},
      {11, 2, "", kPortrait, "", 0},
      {11, 1, "Zip Custom", kLandscape, "0.875 0.416666666666667 0.875 0.416666666666667", 2},
      {7, 0, "Floppy Custom", kPortrait, "0.25 0.5 0.25 0.5", 1},
  };
  for (const Case& c : cases) {
    const LabelPagePlan plan = PlanUserDefinedLabels(c.reportType, c.templateKind);
    EXPECT_EQ(plan.templateFolder, QString::fromLatin1(c.folder));
    EXPECT_EQ(plan.orientation, c.orientation);
    EXPECT_EQ(plan.margins ? QStringList(plan.margins->begin(), plan.margins->end()).join(u' ') : QString(),
              QString::fromLatin1(c.margins));
    EXPECT_EQ(plan.labelRowCount ? *plan.labelRowCount : -1, c.rows);
  }
}

TEST(PrintLaunchers, LabelOfTheSelectedDisk) {
  const QString floppy35 = QStringLiteral("3") + QChar(0x00BD) + QStringLiteral("\" Floppy Disk");
  const std::tuple<QString, const char*, const char*> cases[] = {
      {QStringLiteral("Floppy Disk"), "UPDFLP", "Floppy"}, {floppy35, "UPDFLP", "Floppy"},
      {QStringLiteral("CD-RW Disk"), "UPDCD", "CD"},       {QStringLiteral("100MB Zip Drive"), "UPDZIP", "Zip"},
      {QStringLiteral("Zip Drive"), "UPDZIP", "Zip"},      {QStringLiteral("Zip Disk"), "UPDZIP", "Zip"},
      {QStringLiteral("Jaz"), nullptr, "HD"},              {QStringLiteral("Local Disk"), nullptr, "HD"},
  };
  for (const auto& [type, command, folder] : cases) {
    std::optional<LabelSelectionPlan> plan = PlanPrintSelection(type);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->pendingDiskCommand.value_or(QString()), command ? QString::fromLatin1(command) : QString());
    EXPECT_EQ(plan->templateFolder, QString::fromLatin1(folder));
  }
  EXPECT_FALSE(PlanPrintSelection(QString()));
}

class LaunchersTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    control->docFileName = QStringLiteral("/c/MY.DKC");
    window = MakeMainWindow(control, state);
    window->Form_Load();
    state.login.LoginState = QStringLiteral("MASTER_LOGIN");
    Links().ShowUpdateDisk = [this](QWidget*) {
      updates << QStringLiteral("%1|%2|%3|%4")
                     .arg(state.print.TemplateFolder, state.shell.PendingDiskCommand,
                          ItemInfoText(state.selection.AddUpdateResult, kInfoType))
                     .arg(state.print.PrintOnlyMode);
    };
    Links().ShowPrintPreview = [this] { previews << state.print.TemplateFolder; };
  }
  void Run(const char* action) {
    window->findChild<QAction*>(QString::fromLatin1(action))->trigger();
    window->commands().Tick();
  }

  QStringList updates, previews;
};

TEST_F(LaunchersTest, LabelStockItemsSetTheKindsAndThePreviewSeesTheirPage) {
  auto recorder = std::make_unique<surface::RecordingSurface>();
  surface::RecordingSurface* printer = recorder.get();
  surface::SetPrinter(std::move(recorder));
  state.print.TemplateKind = 6;
  for (const LabelStockItem& item : kLabelStockItems) {
    SCOPED_TRACE(item.action);
    window->findChild<QAction*>(QString::fromLatin1(item.action))->trigger();
    EXPECT_EQ(window->commands().Pending(), QStringLiteral("UserDefinedLabels"));
    EXPECT_EQ(state.print.ReportType, item.reportType);
    EXPECT_EQ(state.print.TemplateKind, item.templateKind.value_or(6));
    window->commands().Tick();
    EXPECT_EQ(previews.last(), PlanUserDefinedLabels(item.reportType, state.print.TemplateKind).templateFolder);
    EXPECT_TRUE(state.print.TemplateFolder.isEmpty());  // cleared after the preview
    EXPECT_FALSE(state.print.PrintFooter);
    const LabelPagePlan plan = PlanUserDefinedLabels(item.reportType, state.print.TemplateKind);
    EXPECT_EQ(printer->Orientation(), plan.orientation);
    if (plan.margins) {
      EXPECT_DOUBLE_EQ(reports::CurrentPageSettings().TopMargin, vbrt::CDbl((*plan.margins)[1].toStdU16String()));
    }
  }
  EXPECT_EQ(previews.size(), 7);
  EXPECT_DOUBLE_EQ(reports::CurrentPageSettings().LeftMargin, 0.75);  // the CD front insert set them last
  surface::SetPrinter(nullptr);
}

TEST_F(LaunchersTest, ReportsAndLabelsOfTheSelectedDisk) {
  // The list has nothing selected: the tree's selection is used.
  control->selected[0] = Item(QStringLiteral("Zip 3"), QStringLiteral("Zip Disk"), 100, 3);
  window->CompCtl1_Click(kListPane);
  Run("mnuPrintSelection");
  EXPECT_EQ(updates.last(), QStringLiteral("Zip|UPDZIP|Zip Disk|1"));
  EXPECT_FALSE(state.print.PrintOnlyMode);
  EXPECT_EQ(control->calls.filter(QStringLiteral("GetSelectedItem")).mid(0, 2),
            (QStringList{QStringLiteral("GetSelectedItem(1)"), QStringLiteral("GetSelectedItem(0)")}));

  // A user-defined medium keeps the previous drive command.
  control->selected[0] = Item(QStringLiteral("Tape 1"), QStringLiteral("Jaz"), 100, 4);
  Run("mnuPrnLabel1");
  EXPECT_EQ(updates.last(), QStringLiteral("HD|UPDZIP|Jaz|1"));

  Run("mnuPrintSelDiskRpt");
  EXPECT_EQ(updates.last(), QStringLiteral("HD|UPDZIP|Local Disk|1"));
  Run("mnuPrintFull");
  EXPECT_EQ(updates.last(), QStringLiteral("HD|UPDZIP|Local Disk|1"));
  EXPECT_TRUE(ItemInfoText(state.selection.AddUpdateResult, kInfoName).isEmpty());

  // The catalog root has no type text: a warning and no dialog.
  control->selected[0] = Item(QString(), QString());
  const qsizetype before = updates.size();
  script.ExpectMessage(forms::vbOK, NoDiskSelectedWarning());
  Run("mnuPrnRpt");
  script.ExpectMessage(forms::vbOK, NoDiskSelectedWarning());
  Run("mnuPrintSelection");
  EXPECT_EQ(updates.size(), before);
  EXPECT_TRUE(script.Done());
}

TEST_F(LaunchersTest, PrintDirectoryCancelledOpensNothing) {
  QString listed;
  Links().PrintDirectory = [&](const QString& folder) { listed = folder; };
  Run("mnuToolPrintDir");
  EXPECT_TRUE(updates.isEmpty());
  control->folderAnswer = QStringLiteral("/home/music");
  Run("mnuToolPrintDir");
  EXPECT_EQ(listed, QStringLiteral("/home/music"));
  EXPECT_EQ(updates.size(), 1);
}

TEST_F(LaunchersTest, AModalDialogHoldsTheCommandBack) {
  control->selected[0] = Item(QStringLiteral("Zip 3"), QStringLiteral("Zip Disk"), 100, 3);
  state.shell.OpenDialogCount = 1;
  window->findChild<QAction*>(QStringLiteral("mnuPrintFull"))->trigger();
  window->commands().Tick();
  EXPECT_TRUE(updates.isEmpty());
  EXPECT_TRUE(window->Timer1()->isActive());
  state.shell.OpenDialogCount = 0;
  window->commands().Tick();
  EXPECT_EQ(updates.size(), 1);
}

}  // namespace

namespace {

// Help opens the user guide the build made, through the shell's "open" action.
TEST_F(LaunchersTest, HelpOpensTheBuiltGuide) {
  const QString guide = home.filePath(QStringLiteral("XendoraDocs.pdf"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(XENDORA_BIN_DIR "/XendoraDocs.pdf"), guide));
  shelltest::RecordingOpener opener;
  window->findChild<QAction*>(QStringLiteral("mnuHelpDocs"))->trigger();
  ASSERT_EQ(opener.requests.size(), 1u);
  EXPECT_EQ(opener.requests[0].operation, "open");
  EXPECT_EQ(opener.requests[0].file, guide);
  EXPECT_EQ(opener.requests[0].show, forms::SW_SHOWNORMAL);
  QFile pdf(opener.requests[0].file);
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

}  // namespace
