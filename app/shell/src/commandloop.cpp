// The deferred-command loop's store and tick.
#include "commandloop.h"

namespace app {

void CommandLoop::Store(const QString& code) {
  pending_ = code;
  if (hooks_.arm) hooks_.arm();
}

void CommandLoop::StoreExit() {
  pending_.clear();
  if (hooks_.arm) hooks_.arm();
}

void CommandLoop::Tick() {
  if (hooks_.disarm) hooks_.disarm();
  if (running_ || (hooks_.modalOpen && hooks_.modalOpen())) {
    if (hooks_.arm) hooks_.arm();
    return;
  }
  const QString code = std::exchange(pending_, QString());
  if (code.isEmpty()) {
    if (hooks_.unloadMain) hooks_.unloadMain();
    return;
  }
  bool known = false;
  for (const char* c : kCommandCodes) known = known || code == QLatin1String(c);
  if (!known || !hooks_.run) return;
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  hooks_.run(code);
}

}  // namespace app
