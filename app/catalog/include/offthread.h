// Long component calls that make no callbacks (adding and updating a disk) run on a worker
// thread while the window's thread keeps painting and playing animations.
#pragma once

#include <functional>

namespace app::catalog {

// Runs work on a worker thread and returns when it has ended. Meanwhile the calling (window)
// thread runs a local event loop that paints and runs timers, with the program's input blocked
// and window closes held back (WalkGuard), so nothing else reaches what work uses. work must
// make no callback into the windows and touch nothing the window's thread uses; its results
// are read on the calling thread after the return. Without an application object work runs
// on the calling thread.
void RunOffWindowThread(const std::function<void()>& work);

}  // namespace app::catalog
