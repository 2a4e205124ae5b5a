// The rotated-text service of the catalog browser control, reached through its interface.
#pragma once

#include "icompctl.h"
#include "reports.h"

namespace reports {

// Draws through control->PrintText; the control is the host's and outlives the drawing. The
// device context must be a token the control resolves (the program installs the component
// runtime's token table for surfaces). A null control draws nothing.
RotatedText RotatedTextThrough(ICompCtl* control);

}  // namespace reports
