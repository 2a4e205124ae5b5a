// The program's preview reads the run's one set of page settings: what the main window's label
// launchers and the page setup dialog write is what the preview lays its page out with.
#include <gtest/gtest.h>

#include "designerlinks.h"
#include "pagesettings.h"

namespace designer {
namespace {

TEST(ProgramPreview, ReadsThePageSettingsTheLaunchersWrite) {
  reports::PageSettings& run = reports::CurrentPageSettings();
  const reports::PageSettings saved = run;
  // The CD front insert's margins, as its launcher sets them.
  run.LeftMargin = 0.75;
  run.TopMargin = 1.875;
  run.RightMargin = 0.75;
  run.BottomMargin = 1.875;
  const PreviewEnvironment env = ProgramPreviewEnvironment();
  ASSERT_NE(env.pageSetup, nullptr);
  EXPECT_DOUBLE_EQ(env.pageSetup->LeftMargin, 0.75);
  EXPECT_DOUBLE_EQ(env.pageSetup->TopMargin, 1.875);
  EXPECT_DOUBLE_EQ(env.pageSetup->RightMargin, 0.75);
  EXPECT_DOUBLE_EQ(env.pageSetup->BottomMargin, 1.875);
  // What the preview's page setup changes, the next launcher and printing see.
  env.pageSetup->OffsetX = 0.125;
  EXPECT_DOUBLE_EQ(run.OffsetX, 0.125);
  run = saved;
}

}  // namespace
}  // namespace designer
