// Opening, backing up and compacting the catalog file over a fake browser control, with real
// catalog files (the commands open the copies as catalogs to check them).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "catalogfiles.h"
#include "iostorage.h"
#include "iteminfovariant.h"
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

// A catalog file holding these disks, written through a catalog document.
void MakeCatalog(const QString& path, const QStringList& disks) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(kProgIdOStorageIndependent, &clsid), S_OK);
  xcom::ComPtr<IOStorage> doc;
  ASSERT_EQ(xcom::CreateInstance(clsid, &doc), S_OK);
  ASSERT_EQ(doc->LoadDoc(ToBstr(path).Get()), S_OK);
  for (const QString& disk : disks) {
    ASSERT_EQ(doc->SetCurrentFolder(nullptr, FOLDER_ROOT), S_OK);
    ItemRecord r;
    r.kind = ItemDisk;
    r.name = disk.toStdU16String();
    r.typeText = u"Floppy Disk";
    r.serial = 7;
    r.SetSize(1457664);
    ASSERT_EQ(doc->AddFolder(nullptr, ToBstr(disk).Get(), &r), S_OK);
  }
  ASSERT_EQ(doc->CloseDoc(1), S_OK);
}

ino_t Inode(const QString& path) {
  struct stat st {};
  return ::stat(path.toStdString().c_str(), &st) == 0 ? st.st_ino : 0;
}

// How the fake control's copy comes out.
enum class Copy { Whole, Failed, Empty, Missing };

class CatalogFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog = dir.filePath(QStringLiteral("MY.DKC"));
    MakeCatalog(catalog, disks);
    control->docFileName = catalog;
    login.LoginState = QStringLiteral("MASTER_LOGIN");
    // The control's copy of the open catalog: whole, failed, or (as when a write-out failure
    // was answered as success) an empty catalog or nothing at all.
    control->onBackup = [this](const QString& name) {
      switch (copy) {
        case Copy::Failed: return STG_E_MEDIUMFULL;
        case Copy::Empty: MakeCatalog(name, {}); return S_OK;
        case Copy::Missing: return S_OK;
        case Copy::Whole: break;
      }
      std::error_code ec;
      fs::copy_file(control->docFileName.toStdString(), name.toStdString(), fs::copy_options::overwrite_existing, ec);
      return ec ? STG_E_WRITEFAULT : S_OK;
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
  QStringList disks{QStringLiteral("Disk A"), QStringLiteral("[ C ] -- Drive"), QString(40, u'\u00e9')};
  QString catalog;
  xcom::ComPtr<FakeCompCtl> control = MakeFakeCompCtl();
  Settings settings;
  Login login;
  CatalogFiles::Hooks hooks;
  QStringList status;
  bool admit = true;
  Copy copy = Copy::Whole;
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
  EXPECT_EQ(Read(backup), Read(catalog));
  EXPECT_FALSE(QFile::exists(backup + QStringLiteral(".partial")));
  EXPECT_EQ(status, (QStringList{QStringLiteral("Backup process in progress ..."), QStringLiteral("Done.")}));

  // A failed copy, or one that does not hold the catalog's disks, replaces nothing.
  const std::pair<Copy, const char*> failures[] = {
      {Copy::Failed, "ERROR:  61"}, {Copy::Empty, "copy of the catalog is incomplete"}, {Copy::Missing, "ERROR:  53"}};
  for (const auto& [how, message] : failures) {
    SCOPED_TRACE(message);
    copy = how;
    Write(backup, "old backup");
    status.clear();
    script.ExpectSave(backup).ExpectMessage(forms::vbOK, QString::fromLatin1(message));
    Files().Backup();
    EXPECT_EQ(Read(backup), "old backup");
    EXPECT_FALSE(QFile::exists(backup + QStringLiteral(".partial")));
    EXPECT_EQ(status.last(), QStringLiteral("Done."));
  }
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, BackupRefusesTheOpenCatalogAndNamesThatAreNoCatalog) {
  const QByteArray held = Read(catalog);
  script.ExpectSave(catalog).ExpectMessage(forms::vbOK, QStringLiteral("cannot replace the open catalog"));
  Files().Backup();
  EXPECT_EQ(Read(catalog), held);
  // Another name of the same file is the same file.
  ASSERT_EQ(QFile::link(catalog, Path("alias.DKC")) ? 0 : 1, 0);
  script.ExpectSave(Path("alias.DKC")).ExpectMessage(forms::vbOK, QStringLiteral("cannot replace the open catalog"));
  Files().Backup();
  EXPECT_EQ(Read(catalog), held);

  status.clear();
  script.ExpectSave(Path("backup.txt")).ExpectMessage(forms::vbOK, QStringLiteral("must be a \".DKC\" file"));
  Files().Backup();
  EXPECT_FALSE(QFile::exists(Path("backup.txt")));
  EXPECT_EQ(status.last(), QStringLiteral("Done."));
  EXPECT_TRUE(control->calls.filter(QStringLiteral("CreateBackup")).isEmpty());
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, CompressionWithAndWithoutAnEarlierOldCopy) {
  const ino_t first = Inode(catalog);
  script.ExpectMessage(forms::vbOK, QStringLiteral("Compression proccess is completed successfully."));
  Files().Compress();
  EXPECT_EQ(Inode(Path("tmpBack.dkc")), first);
  const ino_t second = Inode(catalog);
  EXPECT_NE(second, first);
  EXPECT_EQ(Read(catalog), Read(Path("tmpBack.dkc")));
  EXPECT_FALSE(QFile::exists(Path("tmp123.dkc")));
  EXPECT_EQ(status, (QStringList{QStringLiteral("Compressing catalog ..."), QStringLiteral("Done.")}));
  EXPECT_EQ(script.Shown().back().title, QStringLiteral("Xendora"));

  script.ExpectMessage(forms::vbOK, QStringLiteral("Compression proccess is completed successfully."));
  Files().Compress();
  EXPECT_EQ(Inode(Path("tmpBack.dkc")), second);
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, ACopyThatDoesNotHoldTheDisksReplacesNothing) {
  const std::pair<Copy, const char*> failures[] = {
      {Copy::Failed, "ERROR:  61"}, {Copy::Empty, "copy of the catalog is incomplete"}, {Copy::Missing, "ERROR:  53"}};
  for (const auto& [how, message] : failures) {
    SCOPED_TRACE(message);
    copy = how;
    Write(Path("tmpBack.dkc"), "an earlier run's old copy");
    const QByteArray held = Read(catalog);
    const ino_t inode = Inode(catalog);
    status.clear();
    script.ExpectMessage(forms::vbOK, QString::fromLatin1(message));
    Files().Compress();
    EXPECT_EQ(Read(catalog), held);
    EXPECT_EQ(Inode(catalog), inode);
    EXPECT_EQ(Read(Path("tmpBack.dkc")), "an earlier run's old copy");
    EXPECT_FALSE(QFile::exists(Path("tmp123.dkc")));
    EXPECT_EQ(status.last(), QStringLiteral("Done."));
  }
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, ACatalogOnAnotherFileSystemIsCompressedBesideItself) {
  // The catalog on a disk of its own: renames between that folder and the program folder fail
  // as they do between two file systems.
  QTemporaryDir usb;
  const QString there = usb.filePath(QStringLiteral("USB.DKC"));
  MakeCatalog(there, disks);
  control->docFileName = there;
  const fs::path program = dir.path().toStdString();
  hooks.oneFileSystem = [program](const fs::path& a, const fs::path& b) { return (a == program) == (b == program); };
  hooks.rename = [program](const fs::path& from, const fs::path& to) {
    if ((from.parent_path() == program) != (to.parent_path() == program))
      return std::make_error_code(std::errc::cross_device_link);
    std::error_code ec;
    fs::rename(from, to, ec);
    return ec;
  };
  Write(Path("tmpBack.dkc"), "the program folder's own old copy");
  const ino_t first = Inode(there);
  script.ExpectMessage(forms::vbOK, QStringLiteral("Compression proccess is completed successfully."));
  Files().Compress();
  EXPECT_EQ(Inode(usb.filePath(QStringLiteral("tmpBack.dkc"))), first);
  EXPECT_EQ(Read(there), Read(usb.filePath(QStringLiteral("tmpBack.dkc"))));
  EXPECT_FALSE(QFile::exists(usb.filePath(QStringLiteral("tmp123.dkc"))));
  EXPECT_FALSE(QFile::exists(Path("tmp123.dkc")));
  EXPECT_EQ(Read(Path("tmpBack.dkc")), "the program folder's own old copy");
  EXPECT_EQ(control->docFileName, there);
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, ACatalogOnARealSecondFileSystemIsCompressed) {
  // Where the machine has a second file system at hand (a RAM disk), the same without seams.
  struct stat shm {
  }, program{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().toStdString().c_str(), &program) != 0 ||
      shm.st_dev == program.st_dev || ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second file system to write to";
  QTemporaryDir usb(QStringLiteral("/dev/shm/xendora-XXXXXX"));
  ASSERT_TRUE(usb.isValid());
  const QString there = usb.filePath(QStringLiteral("SHM.DKC"));
  MakeCatalog(there, disks);
  control->docFileName = there;
  const ino_t first = Inode(there);
  script.ExpectMessage(forms::vbOK, QStringLiteral("Compression proccess is completed successfully."));
  Files().Compress();
  EXPECT_EQ(Inode(usb.filePath(QStringLiteral("tmpBack.dkc"))), first);
  EXPECT_EQ(Read(there), Read(usb.filePath(QStringLiteral("tmpBack.dkc"))));
  EXPECT_FALSE(QFile::exists(Path("tmpBack.dkc")));
  EXPECT_TRUE(script.Done());
}

TEST_F(CatalogFilesTest, AFailedRenameLeavesTheCatalogInPlaceAndNoSuccess) {
  const ino_t inode = Inode(catalog);
  int renames = 0;
  hooks.rename = [&](const fs::path& from, const fs::path& to) {
    if (++renames == 2) return std::make_error_code(std::errc::permission_denied);
    std::error_code ec;
    fs::rename(from, to, ec);
    return ec;
  };
  script.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  70"));
  Files().Compress();
  EXPECT_EQ(Inode(catalog), inode);                    // put back
  EXPECT_EQ(Read(Path("tmp123.dkc")), Read(catalog));  // the fresh copy stays
  EXPECT_FALSE(QFile::exists(Path("tmpBack.dkc")));
  EXPECT_EQ(status.last(), QStringLiteral("Done."));

  // The catalog cannot take its new name: it stays where it is.
  renames = 0;
  hooks.rename = [&](const fs::path&, const fs::path&) { return std::make_error_code(std::errc::device_or_resource_busy); };
  script.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  70"));
  Files().Compress();
  EXPECT_EQ(Inode(catalog), inode);
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
  const QByteArray held = Read(catalog);
  hooks.remove = [](const fs::path&) { return std::make_error_code(std::errc::permission_denied); };
  script.ExpectMessage(forms::vbOK, QStringLiteral("ERROR:  70"));
  Files().Compress();
  EXPECT_EQ(Read(catalog), held);
  EXPECT_TRUE(script.Done());
}

TEST(CatalogNames, DkcEndingsAndBackupNames) {
  EXPECT_TRUE(EndsWithDkc(QStringLiteral("a.dkc")));
  EXPECT_TRUE(EndsWithDkc(QStringLiteral("aDkC")));
  EXPECT_FALSE(EndsWithDkc(QStringLiteral("a.txt")));
  EXPECT_EQ(DefaultBackupName(*vbrt::DateFromParts({2027, 1, 5, 0, 0, 0})), QStringLiteral("BACKUP010527.DKC"));
}

}  // namespace
