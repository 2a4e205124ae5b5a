// The printer dialog over the current Printer: primed with its device, orientation and duplex
// setting, and the user's choice applied back onto it.
#pragma once

#include "wintypes.h"

class QWidget;

namespace designer {

// Shows the printer dialog with the PD_* flags and page numbers; on OK the chosen printer
// becomes the current Printer (a name not installed is reported and nothing changes), takes
// the copies, duplex and orientation chosen (a value it refuses is ignored), and the flags and
// page numbers come back. False on Cancel, with nothing changed.
bool ShowPrintDialog(QWidget* owner, DWORD& flags, WORD& fromPage, WORD& toPage, WORD& minPage, WORD& maxPage);
bool ShowPrintDialog(QWidget* owner, DWORD& flags);

}  // namespace designer
