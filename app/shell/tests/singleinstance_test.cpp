// Two starts of the built program with one program folder: the second asks the first to bring
// its window up and ends with 0, leaving the settings file as it was.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "singleinstance.h"

namespace {

QByteArray Digest(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QProcessEnvironment Environment(const QString& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XENDORA_HOME"), home);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
  return env;
}

TEST(SingleInstance, SecondStartActivatesTheFirstAndEnds) {
  QTemporaryDir home;
  const QString ini = home.filePath(QStringLiteral("ctgr.ini"));
  {
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Drives]\r\nFloppy=A:\\\r\nZIP=\r\nCD=\r\n[LastFile]\r\nName=-1\r\n");
  }
  const QString key = app::SingleInstance::KeyFor(home.path().toStdString());
  EXPECT_EQ(key, app::SingleInstance::KeyFor(home.path().toStdString() + "/."));

  QProcess first;
  first.setProcessEnvironment(Environment(home.path()));
  first.start(QStringLiteral(XENDORA_EXECUTABLE), {});
  ASSERT_TRUE(first.waitForStarted(10000));
  bool listening = false;
  for (int i = 0; i < 300 && !listening; ++i) {
    QLocalSocket probe;
    probe.connectToServer(key);
    listening = probe.waitForConnected(100);
    if (!listening) QThread::msleep(50);
  }
  ASSERT_TRUE(listening) << first.readAllStandardError().toStdString();
  const QByteArray before = Digest(ini);
  const QDateTime modified = QFileInfo(ini).lastModified();

  QProcess second;
  second.setProcessEnvironment(Environment(home.path()));
  second.start(QStringLiteral(XENDORA_EXECUTABLE), {});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  EXPECT_EQ(first.state(), QProcess::Running);

  // The first start answers an activation request once its window has been brought up.
  app::SingleInstance asker(key);
  EXPECT_TRUE(asker.AskFirstToActivate(5000));
  EXPECT_EQ(Digest(ini), before);
  EXPECT_EQ(QFileInfo(ini).lastModified(), modified);

  first.terminate();
  if (!first.waitForFinished(5000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

TEST(SingleInstance, OneHolderAtATimeAndAStaleSocketIsTakenOver) {
  QTemporaryDir home;
  const QString key = app::SingleInstance::KeyFor(home.path().toStdString());
  {
    app::SingleInstance held(key);
    ASSERT_TRUE(held.Claim());
    app::SingleInstance other(key);
    EXPECT_FALSE(other.Claim());
  }
  // A socket file left by a start that was killed answers nobody.
  const QString stale = QDir::tempPath() + u'/' + key;
  QFile(stale).remove();
  {
    QFile f(stale);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  app::SingleInstance next(key);
  EXPECT_TRUE(next.Claim());
  app::SingleInstance after(key);
  EXPECT_FALSE(after.Claim());
}

}  // namespace
