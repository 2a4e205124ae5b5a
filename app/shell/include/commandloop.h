// The deferred-command loop: menu and toolbar handlers store a command code and arm the main
// window's one-shot timer; its tick takes the code and runs its launcher; a tick that finds no
// code unloads the main window (the tray's Exit).
//
// The code is taken and cleared at the start of the tick, so a command stored while a launcher
// runs is its own next command and never a re-run of the first. A tick that comes while a
// modal window is open, or while a launcher is still running (its dialog's event loop), waits:
// the timer is armed again and the tick comes back later.
#pragma once

#include <QString>
#include <functional>

namespace app {

// The command codes, in the order the tick compares them.
inline constexpr const char* kCommandCodes[] = {"FULLLB",           "ToolPrintDir",   "PrintDiskReport",
                                                "UserDefinedLabels", "PrintSelection", "UpdateDisk",
                                                "AddDisk",           "BatchLoadPrint"};

class CommandLoop {
 public:
  struct Hooks {
    std::function<void()> arm;              // enable the timer (one shot, 200 ms)
    std::function<void()> disarm;           // disable it
    std::function<bool()> modalOpen;        // a modal window is open now
    std::function<void()> unloadMain;       // the tick found no command
    std::function<void(const QString& code)> run;  // the command's launcher
  };

  explicit CommandLoop(Hooks hooks) : hooks_(std::move(hooks)) {}

  // A handler stores a code: a second store before the tick replaces the first.
  void Store(const QString& code);
  // The tray's Exit: the next tick unloads the main window, whatever was stored before.
  void StoreExit();
  // The timer's tick.
  void Tick();

  const QString& Pending() const { return pending_; }
  bool Running() const { return running_; }

 private:
  Hooks hooks_;
  QString pending_;
  bool running_ = false;
};

}  // namespace app
