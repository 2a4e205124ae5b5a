// The printer dialog: the current Printer's settings in, the user's choice applied back.
#include "printdialog.h"

#include <QCoreApplication>

#include "currentprinter.h"
#include "forms.h"
#include "vbrt.h"

namespace designer {

namespace {
// A setting the printer refuses (380) leaves the value it has.
template <typename Apply>
void Ignoring(Apply apply) {
  try {
    apply();
  } catch (const vbrt::RuntimeError&) {
  }
}
}  // namespace

bool ShowPrintDialog(QWidget* owner, DWORD& flags, WORD& fromPage, WORD& toPage, WORD& minPage, WORD& maxPage) {
  surface::PrinterObject& current = surface::Printer();
  forms::PrinterDialogRequest request;
  request.owner = owner;
  request.Flags = flags;
  request.FromPage = fromPage;
  request.ToPage = toPage;
  request.MinPage = minPage;
  request.MaxPage = maxPage;
  request.DeviceName = current.DeviceName();
  request.Orientation = current.Orientation();
  Ignoring([&] { request.Duplex = current.Duplex(); });
  Ignoring([&] { request.Copies = current.Copies(); });
  if (!forms::ShowPrinterDialog(request)) return false;

  // The same device keeps its Printer object; another one, its name matched ignoring case,
  // replaces it, and a name that is not installed is said so instead of being kept silently.
  const bool sameDevice = request.DeviceName == current.DeviceName();
  try {
    // The port names the file only for the PDF printer; a real printer's port is its queue.
    const QString device = sameDevice ? current.DeviceName() : request.DeviceName;
    const bool pdf = device.compare(surface::kPdfPrinterName, Qt::CaseInsensitive) == 0;
    surface::SelectPrinter(device, pdf ? request.Port : QString());
  } catch (const vbrt::RuntimeError& e) {
    forms::MsgBox(QStringLiteral("ERROR:    ") + QString::number(e.number()) + QChar(u'\r') +
                      QString::fromStdU16String(e.description()) + QStringLiteral(": ") + request.DeviceName,
                  forms::vbOKOnly + forms::vbCritical);
    return false;
  }
  QCoreApplication::processEvents();
  surface::PrinterObject& chosen = surface::Printer();
  Ignoring([&] { chosen.SetCopies(request.Copies); });
  Ignoring([&] { chosen.SetDuplex(request.Duplex); });
  Ignoring([&] { chosen.SetOrientation(request.Orientation); });

  flags = request.Flags;
  fromPage = request.FromPage;
  toPage = request.ToPage;
  minPage = request.MinPage;
  maxPage = request.MaxPage;
  return true;
}

bool ShowPrintDialog(QWidget* owner, DWORD& flags) {
  WORD from = 0, to = 0, min = 0, max = 0;
  return ShowPrintDialog(owner, flags, from, to, min, max);
}

}  // namespace designer
