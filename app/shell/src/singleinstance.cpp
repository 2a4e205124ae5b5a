// The single-instance check over a local socket keyed by user and program folder.
#include "singleinstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace app {

namespace {
constexpr char kActivate[] = "ACTIVATE\n";
constexpr char kActivated[] = "ACTIVATED\n";
}  // namespace

QString SingleInstance::KeyFor(const std::filesystem::path& programFolder) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::weakly_canonical(programFolder, ec);
  if (ec) folder = programFolder;
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromStdString(folder.string()), QCryptographicHash::Sha256).toHex().left(16);
  return QStringLiteral("xendora-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

bool SingleInstance::Claim() {
  {
    QLocalSocket probe;
    probe.connectToServer(key_);
    if (probe.waitForConnected(500)) return false;  // a running start answers
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(key_)) {
    // A socket file left by a start that ended without closing it.
    QLocalServer::removeServer(key_);
    if (!server_->listen(key_)) return true;  // no way to listen: run alone all the same
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (!client->canReadLine()) return;
        const QByteArray line = client->readLine();
        if (line == kActivate) {
          emit activateRequested();
          client->write(kActivated);
          client->flush();
        }
        client->disconnectFromServer();
      });
    }
  });
  return true;
}

bool SingleInstance::AskFirstToActivate(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kActivate);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine() == kActivated;
}

}  // namespace app
