// The program's current Printer: one object for the whole run that every print path draws
// on, replaced by the printer dialog's choice, and the print run that keeps it usable when a
// job fails.
//
// The current Printer is created on first use as the system's default printer (the PDF
// printer where none is installed). Its settings (orientation, paper, copies, duplex) and its
// document life cycle stay with it from one job to the next: EndDoc sends a document, the
// next drawing begins a new one. The Printer goes with the application object (a document
// still open is sent then). Everything here runs on the user-interface thread.
#pragma once

#include <QString>
#include <memory>

#include "printersurface.h"

namespace surface {

// The current Printer.
PrinterObject& Printer();

// Makes printer the current Printer (tests install a recording surface that stands for the
// printer). The one it replaces is destroyed: a document it still has open is sent. nullptr
// goes back to the default printer at the next use.
void SetPrinter(std::unique_ptr<PrinterObject> printer);

// The printer dialog's choice: the installed printer of that device name (matched exactly,
// else ignoring letter case) becomes the current Printer, taking over the orientation and
// paper of the one it replaces (a paper the new printer refuses leaves its own). The device
// of the current Printer keeps the object as it is. pdfFile, when not empty, is the file the
// PDF printer writes. 482 when no such printer is installed; the current Printer then stays.
void SelectPrinter(const QString& deviceName, const QString& pdfFile = QString());

// One print job on a printer: End sends the document; a run left without End (an error
// went through it) abandons the partial document, so that the printer starts the next job
// on a fresh document from page 1.
class PrintRun {
 public:
  explicit PrintRun(PrinterObject& printer) : printer_(printer) {}
  ~PrintRun();
  PrintRun(const PrintRun&) = delete;
  PrintRun& operator=(const PrintRun&) = delete;

  PrinterObject& printer() { return printer_; }
  // EndDoc; a failing EndDoc (482) leaves the printer without a document all the same.
  void End();

 private:
  PrinterObject& printer_;
  bool ended_ = false;
};

}  // namespace surface
