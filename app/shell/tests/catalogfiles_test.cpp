// Opening, backing up and compacting the catalog file over a fake browser control.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "catalogfiles.h"
#include "scriptedforms.h"
#include "settings.h"
#include "test_support.h"
#include "testing_qt/test_support.h"

using namespace app;
using namespace shelltest;
namespace fs = std::filesystem;

namespace {

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void Write(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

class CatalogFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog = dir.filePath(QStringLiteral("MY.DKC"));
    Write(catalog, "catalog");
    control->docFileName = catalog;
    login.LoginState = QStringLiteral("MASTER_LOGIN");
    // The control's copy: the open catalog's bytes, made compact.
    control->onBackup = [this](const QString& name) {
      if (failBackup) return STG_E_MEDIUMFULL;
      Write(name, "copy of " + Read(control->docFileName));
      return S_OK;
    };
    hooks.status = [this](const QString& text) { status << text; };
    hooks.checkPassword = [this] { return admit; };
    hooks.catalogNameChanged = [this](const QString& open) { namesShown << open; };
    hooks.today = [] { return *vbrt::DateFromParts({2026, 12, 9, 15, 0, 0}); };
  }
  CatalogFiles Files() {
    return CatalogFiles(control.Get(), settings, login, fs::path(dir.path().toStdString()), hooks);
  }
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

  QTemporaryDir dir;
  QString catalog;
  xcom::ComPtr<FakeCompCtl> control = MakeFakeCompCtl();
  Settings settings;
  Login login;
  CatalogFiles::Hooks hooks;
  QStringList status;
  bool admit = true;
  bool failBackup = false;
  QStringList namesShown;
  forms::ScriptedForms script{testing_qt::FailTest};
  forms::ScopedForms use{script};
};

TEST_F(CatalogFilesTest, OpenTakesOnlyCatalogNames) {
  settings.LastCatalogPath = catalog;
  script.ExpectOpen(Path("notes.txt"), QStringLiteral("Open Disk Catalog"));
  Files().Open();
  EXPECT_EQ(control->docFileName, catalog);
  EXPECT_EQ(script.Shown()[0].fileName, QStringLiteral("*.DKC"));
  EXPECT_EQ(script.Shown()[0].initDir, dir.path());

  script.ExpectOpen(std::nullopt);  // cancelled: quietly nothing
  Files().Open();

  control->calls.clear();
  script.ExpectOpen(Path("other.dkc"));
  Files().Open();
  EXPECT_EQ(control->calls, (QStringList{QStringLiteral("DocFileName=") + Path("other.dkc"), QStringLiteral("Refresh"),
                                         QStringLiteral("SetSelectedItem(,0)")}));
  EXPECT_EQ(settings.LastCatalogPath, Path("other.dkc"));
  EXPECT_EQ(namesShown, QStringList{Path("other.dkc")});
  EXPECT_EQ(forms::ScreenMousePointer(), forms::vbDefault);
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, AFailedGateOrAFailedOpenLeavesNoCatalog) {
  // A catalog refused at its gate is not the one to reopen: the settings file keeps the
  // previous good catalog (or "-1"), never an empty name.
  for (const QString& previous : {catalog, QStringLiteral("-1")}) {
    SCOPED_TRACE(previous.toStdString());
    settings.LastCatalogPath = previous;
    namesShown.clear();
    admit = false;
    script.ExpectOpen(Path("locked.DKC"));
    Files().Open();
    EXPECT_TRUE(control->docFileName.isEmpty());
    EXPECT_EQ(settings.LastCatalogPath, previous);
    EXPECT_TRUE(login.LoginState.isEmpty());
    EXPECT_EQ(namesShown, QStringList{QString()});  // the status bar names no catalog
    const fs::path ini = fs::path(dir.filePath(QStringLiteral("ctgr.ini")).toStdString());
    SaveSettings(settings, ini);
    EXPECT_TRUE(Read(QString::fromStdString(ini.string())).contains(("Name=" + previous).toUtf8()));
  }

  admit = true;
  settings.LastCatalogPath = catalog;
  namesShown.clear();
  control->docFileNameAnswer = STG_E_FILENOTFOUND;
  script.ExpectOpen(Path("gone.DKC")).ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  53\r"));
  Files().Open();
  EXPECT_TRUE(control->docFileName.isEmpty());
  EXPECT_EQ(settings.LastCatalogPath, catalog);  // kept for the next start
  EXPECT_EQ(namesShown, QStringList{QString()});
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, BackupOffersTodaysNameAndReplacesAnOldBackupOnlyWhenComplete) {
  const QString backup = Path("BACKUP120926.DKC");
  Write(backup, "old backup");
  script.ExpectSave(backup, QStringLiteral("Backup Disk Catalog"));
  Files().Backup();
  EXPECT_EQ(script.Shown()[0].fileName, QStringLiteral("BACKUP120926.DKC"));
  EXPECT_TRUE(script.Shown()[0].flags & forms::cdlOFNOverwritePrompt);
  EXPECT_EQ(Read(backup), "copy of catalog");
  EXPECT_FALSE(QFile::exists(backup + QStringLiteral(".partial")));
  EXPECT_EQ(status, (QStringList{QStringLiteral("Backup process in progress ..."), QStringLiteral("Done.")}));

  failBackup = true;
  Write(backup, "old backup");
  script.ExpectSave(backup).ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  61"));
  Files().Backup();
  EXPECT_EQ(Read(backup), "old backup");
  EXPECT_FALSE(QFile::exists(backup + QStringLiteral(".partial")));
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, BackupRefusesTheOpenCatalogAndNamesThatAreNoCatalog) {
  script.ExpectSave(catalog).ExpectMessage(forms::vbOK, QStringLiteral("cannot replace the open catalog"));
  Files().Backup();
  EXPECT_EQ(Read(catalog), "catalog");
  // Another name of the same file is the same file.
  ASSERT_EQ(QFile::link(catalog, Path("alias.DKC")) ? 0 : 1, 0);
  script.ExpectSave(Path("alias.DKC")).ExpectMessage(forms::vbOK, QStringLiteral("cannot replace the open catalog"));
  Files().Backup();
  EXPECT_EQ(Read(catalog), "catalog");

  status.clear();
  script.ExpectSave(Path("backup.txt")).ExpectMessage(forms::vbOK, QStringLiteral("must be a \".DKC\" file"));
  Files().Backup();
  EXPECT_FALSE(QFile::exists(Path("backup.txt")));
  EXPECT_EQ(status.last(), QStringLiteral("Done."));
  EXPECT_TRUE(control->calls.filter(QStringLiteral("CreateBackup")).isEmpty());
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, CompressionWithAndWithoutAnEarlierOldCopy) {
  script.ExpectMessage(forms::vbOK, QStringLiteral("Compression proccess is completed successfully."));
  Files().Compress();
  EXPECT_EQ(Read(catalog), "copy of catalog");
  EXPECT_EQ(Read(Path("tmpBack.dkc")), "catalog");
  EXPECT_FALSE(QFile::exists(Path("tmp123.dkc")));
  EXPECT_EQ(status, (QStringList{QStringLiteral("Compressing catalog ..."), QStringLiteral("Done.")}));
  EXPECT_EQ(script.Shown().back().title, QStringLiteral("Xendora"));

  script.ExpectMessage(forms::vbOK, QStringLiteral("Compression proccess is completed successfully."));
  Files().Compress();
  EXPECT_EQ(Read(catalog), "copy of copy of catalog");
  EXPECT_EQ(Read(Path("tmpBack.dkc")), "copy of catalog");
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, AFailedRenameLeavesTheCatalogInPlaceAndNoSuccess) {
  int renames = 0;
  hooks.rename = [&](const fs::path& from, const fs::path& to) {
    if (++renames == 2) return std::make_error_code(std::errc::permission_denied);
    std::error_code ec;
    fs::rename(from, to, ec);
    return ec;
  };
  script.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  70"));
  Files().Compress();
  EXPECT_EQ(Read(catalog), "catalog");                // put back
  EXPECT_EQ(Read(Path("tmp123.dkc")), "copy of catalog");  // the fresh copy stays
  EXPECT_FALSE(QFile::exists(Path("tmpBack.dkc")));
  EXPECT_EQ(status.last(), QStringLiteral("Done."));

  // The catalog cannot take its new name: it stays where it is.
  renames = 0;
  hooks.rename = [&](const fs::path&, const fs::path&) { return std::make_error_code(std::errc::device_or_resource_busy); };
  script.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  70"));
  Files().Compress();
  EXPECT_EQ(Read(catalog), "catalog");
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, CompressionRefusesNoCatalogScratchFilesAndAnUnremovableOldCopy) {
  control->docFileName = Path("tmp123.dkc");
  Write(Path("tmp123.dkc"), "stale");
  script.ExpectMessage(forms::vbOK, QStringLiteral("scratch copy"));
  Files().Compress();
  EXPECT_EQ(Read(Path("tmp123.dkc")), "stale");
  control->docFileName.clear();
  script.ExpectMessage(forms::vbOK, QStringLiteral("There is no open catalog"));
  Files().Compress();

  control->docFileName = catalog;
  hooks.remove = [](const fs::path&) { return std::make_error_code(std::errc::permission_denied); };
  script.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  70"));
  Files().Compress();
  EXPECT_EQ(Read(catalog), "catalog");
  EXPECT_TRUE(script.Done());
}

TEST(CatalogNames, DkcEndingsAndBackupNames) {
  EXPECT_TRUE(EndsWithDkc(QStringLiteral("a.dkc")));
  EXPECT_TRUE(EndsWithDkc(QStringLiteral("aDkC")));
  EXPECT_FALSE(EndsWithDkc(QStringLiteral("a.txt")));
  EXPECT_EQ(DefaultBackupName(*vbrt::DateFromParts({2027, 1, 5, 0, 0, 0})), QStringLiteral("BACKUP010527.DKC"));
}

}  // namespace
