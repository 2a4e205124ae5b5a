// One running program per user and program folder: the first start listens on a local socket
// named after both; a second start finds it, asks it to bring its main window up, and ends.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>

class QLocalServer;

namespace app {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The socket's name for this user and program folder.
  static QString KeyFor(const std::filesystem::path& programFolder);

  explicit SingleInstance(const QString& key, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Claims the name: true for the first start (which then listens), false when another
  // running start holds it. A name left behind by a start that died is taken over.
  bool Claim();
  // A second start: asks the first to activate its window; true when it answered.
  bool AskFirstToActivate(int timeoutMs = 3000);

 signals:
  // A second start asked for the window.
  void activateRequested();

 private:
  QString key_;
  QLocalServer* server_ = nullptr;
};

}  // namespace app
