// Links the page setup dialog into the program: the calls by which the main window, the
// preview, the label launchers and the update dialog reach it (ShowPageSetup, SetBatchPrint,
// SetupForZipLabel, UnloadPageSetup, SetStockChoiceState) go to the one dialog of the run,
// which stays loaded and hidden between shows until it is unloaded. The program calls
// LinkPageSetup once at start-up.
#pragma once

#include "frmpagesetup.h"

namespace printsetup {

void LinkPageSetup();

// The dialog's state, and its window (nullptr while not loaded).
PageSetupState& ProgramPageSetup();
frmPageSetup* PageSetupWindow();

}  // namespace printsetup
