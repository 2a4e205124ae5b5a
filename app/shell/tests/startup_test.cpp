// A start of the built program in a program folder whose component registry lacks the
// libraries: the libraries beside the executable register themselves into that folder's
// registry, the browser control is created and the default catalog opens.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {

QString ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TEST(StartUp, AProgramFolderWithoutTheLibrariesRegistersThoseBesideTheExecutable) {
  const QString bin = QFileInfo(QStringLiteral(XENDORA_EXECUTABLE)).canonicalPath();
  // The build tree's registry, as every test has it, names the libraries beside the program.
  const QString buildRegistry = ReadAll(qEnvironmentVariable("XCOM_REGISTRY"));
  ASSERT_TRUE(buildRegistry.contains(bin + QStringLiteral("/libbrevix.so")));
  struct Case {
    const char* what;
    QString registry;  // the program folder's "xcom.reg" before the start; empty: none
  } cases[] = {
      {"a new program folder", QString()},
      {"a registry written for a copy of the program that is gone",
       QString(buildRegistry).replace(bin, QStringLiteral("/nonexistent/xendora/bin"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir home;
    const QString catalog = home.filePath(QStringLiteral("Xendora.DKC"));
    const QString registry = home.filePath(QStringLiteral("xcom.reg"));
    // What "./build.sh run" writes into an empty program folder.
    ASSERT_TRUE(Write(home.filePath(QStringLiteral("ctgr.ini")), "[LastFile]\r\nName=" + catalog.toUtf8() + "\r\n"));
    if (!c.registry.isEmpty()) ASSERT_TRUE(Write(registry, c.registry.toUtf8()));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XCOM_REGISTRY"));  // the registry of the program folder
    env.insert(QStringLiteral("XENDORA_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(XENDORA_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The catalog is made by the browser control when the main window hands it the last
    // catalog's name: only a created control makes it.
    bool opened = false;
    for (int i = 0; i < 1200 && !opened && program.state() == QProcess::Running; ++i) {
      opened = QFileInfo::exists(catalog);
      if (!opened) QThread::msleep(50);
    }
    const QString text = ReadAll(registry);
    program.terminate();
    if (!program.waitForFinished(10000)) {
      program.kill();
      program.waitForFinished(5000);
    }
    EXPECT_TRUE(opened) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Brevix.CompCtl")));
    EXPECT_TRUE(text.contains(bin + QStringLiteral("/libbrevix.so")));
    EXPECT_TRUE(text.contains(bin + QStringLiteral("/libkyp.so")));
    EXPECT_FALSE(text.contains(QStringLiteral("/nonexistent/")));
  }
}

}  // namespace
