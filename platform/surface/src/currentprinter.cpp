// The program's current Printer and the print run that abandons a failed job.
#include "currentprinter.h"

#include <QCoreApplication>

#include "vbrt.h"

namespace surface {

namespace {

std::unique_ptr<PrinterObject>& Slot() {
  static std::unique_ptr<PrinterObject> current;
  return current;
}

// The printer's device goes with the application object, before the rest of Qt does.
void ReleaseAtExit() {
  static bool registered = false;
  if (registered || !QCoreApplication::instance()) return;
  registered = true;
  qAddPostRoutine([] { Slot().reset(); });
}

}  // namespace

PrinterObject& Printer() {
  auto& slot = Slot();
  if (!slot) {
    ReleaseAtExit();
    slot = std::make_unique<PrinterSurface>();
  }
  return *slot;
}

void SetPrinter(std::unique_ptr<PrinterObject> printer) {
  ReleaseAtExit();
  Slot() = std::move(printer);
}

void SelectPrinter(const QString& deviceName, const QString& pdfFile) {
  auto& slot = Slot();
  if (!slot || slot->DeviceName() != deviceName) {
    auto chosen = std::make_unique<PrinterSurface>(deviceName);  // 482 when not installed
    if (slot) {
      chosen->SetOrientation(slot->Orientation());
      try {
        chosen->SetPaperSize(slot->PaperSize());
      } catch (const vbrt::RuntimeError&) {
        // A paper this printer does not know: it keeps its own.
      }
    }
    ReleaseAtExit();
    slot = std::move(chosen);
  }
  if (!pdfFile.isEmpty()) {
    if (auto* pdf = dynamic_cast<PrinterSurface*>(slot.get())) pdf->SetOutputFileName(pdfFile);
  }
}

PrintRun::~PrintRun() {
  if (ended_) return;
  try {
    printer_.KillDoc();
  } catch (...) {
    // Abandoning cannot fail the caller's own error, which is on its way out.
  }
}

void PrintRun::End() {
  ended_ = true;
  printer_.EndDoc();
}

}  // namespace surface
