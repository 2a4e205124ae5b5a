// The program's page setup dialog: one state and, while loaded, one window, reached through
// the window links.
#include "pagesetuplinks.h"

#include <QApplication>

#include <memory>

#include "forms.h"
#include "windowlinks.h"

namespace printsetup {

namespace {

struct Program {
  std::unique_ptr<PageSetupState> state;
  std::unique_ptr<frmPageSetup> window;
  bool showing = false;  // the window is shown modally now
};

Program& P() {
  static Program program;
  return program;
}

// The window of the loaded dialog, loading it first.
frmPageSetup& LoadedWindow() {
  PageSetupState& state = ProgramPageSetup();
  state.Load();
  if (!P().window) {
    P().window = std::make_unique<frmPageSetup>(state);
    // The window goes before the application object does.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, P().window.get(), [] { P().window.reset(); });
  }
  return *P().window;
}

// Drops the window once the dialog is unloaded, unless it is still being shown.
void DropUnloadedWindow() {
  if (!ProgramPageSetup().Loaded() && !P().showing) P().window.reset();
}

}  // namespace

PageSetupState& ProgramPageSetup() {
  if (!P().state) P().state = std::make_unique<PageSetupState>(app::Global(), reports::CurrentPageSettings(), nullptr);
  return *P().state;
}

frmPageSetup* PageSetupWindow() { return P().window.get(); }

void LinkPageSetup() {
  app::WindowLinks& links = app::Links();
  links.ShowPageSetup = [](QWidget* owner) {
    frmPageSetup& window = LoadedWindow();
    PageSetupState& state = ProgramPageSetup();
    state.Activate();
    window.Sync();
    P().showing = true;
    forms::ShowModal(&window, owner);
    P().showing = false;
    DropUnloadedWindow();
  };
  links.SetBatchPrint = [] {
    ProgramPageSetup().SetBatchPrint();
    LoadedWindow();
  };
  links.SetupForZipLabel = [] {
    frmPageSetup& window = LoadedWindow();
    ProgramPageSetup().SetupForZipLabel();
    window.Sync();
  };
  links.UnloadPageSetup = [] {
    ProgramPageSetup().Unload();
    DropUnloadedWindow();
  };
  links.SetStockChoiceState = [](SHORT value) {
    ProgramPageSetup().SetStartPosition(value);
    if (frmPageSetup* window = PageSetupWindow()) window->Sync();
  };
}

}  // namespace printsetup
