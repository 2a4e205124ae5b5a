// A long call on a worker thread with the window's thread in a local event loop.
#include "offthread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <thread>

#include "walkguard.h"

namespace app::catalog {

void RunOffWindowThread(const std::function<void()>& work) {
  if (!QCoreApplication::instance()) {
    work();
    return;
  }
  WalkGuard guard({});
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: the loop ends once its thread takes this up, even if it has not started yet.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace app::catalog
