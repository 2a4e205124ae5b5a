// The start-up message for a drive table with lines that could not be used.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "drivetablenotice.h"
#include "programfolder.h"
#include "scriptedforms.h"
#include "testing_qt/test_support.h"
#include "volumes.h"
#include "volumes_fixture.h"

namespace {

TEST(DriveTableNotice, BadLinesAreNamedOnceAndTheGoodOnesHold) {
  QTemporaryDir home;
  const QByteArray previous = qgetenv("XENDORA_HOME");
  qputenv("XENDORA_HOME", home.path().toUtf8());
  volumes::testing::IsolateFromMachine();
  const std::filesystem::path folder = std::filesystem::path(volumes::DriveTablePath()).parent_path();
  std::filesystem::create_directories(folder / "music");
  std::ofstream(volumes::DriveTablePath()) << "M: " << (folder / "music").string() << " fixed\n"
                                           << "N: /srv/n floppy\n";
  forms::ScriptedForms script(testing_qt::FailTest);
  forms::ScopedForms use(script);
  script.ExpectMessage(forms::vbOK, "drives.txt:2: unknown drive type \"floppy\"");
  app::ShowDriveTableProblems();
  EXPECT_TRUE(script.Done());
  DWORD drives = GetLogicalDrives();
  EXPECT_EQ(drives, 1u << ('M' - 'A')) << "the good line holds";

  std::ofstream(volumes::DriveTablePath()) << "M: " << (folder / "music").string() << " fixed\n";
  app::ShowDriveTableProblems();  // nothing to say: no message
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(app::DriveTableProblemsText("/x/drives.txt", {}), QString());
  const QString text = app::DriveTableProblemsText("/x/drives.txt", {"drives.txt:4: what"});
  EXPECT_TRUE(text.contains("/x/drives.txt")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("\rdrives.txt:4: what")) << text.toStdString();
  volumes::testing::ResetMachineSources();
  qputenv("XENDORA_HOME", previous);
}

}  // namespace
