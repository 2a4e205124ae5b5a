// The Printer object: the printer's page and document operations on top of the drawing
// surface, the installed printers, and the QPrinter implementation.
//
// The origin of the printer's user space is the corner of the printable area (QPrinter with
// fullPage off), as on the original platform; PHYSICALOFFSETX/Y tell where that corner lies
// on the paper. A page opens on the first drawing; NewPage starts the next one (opening the
// document first if nothing was drawn yet, so that the first page stays blank); EndDoc sends
// the document; KillDoc abandons it. Where no printer is installed the printer is the PDF
// printer, which writes a PDF file.
#pragma once

#include <QMarginsF>
#include <QString>
#include <memory>
#include <vector>

#include "paintersurface.h"
#include "surface.h"

namespace surface {

// Printer property values.
enum OrientationValue : SHORT { vbPRORPortrait = 1, vbPRORLandscape = 2 };
enum DuplexValue : SHORT { vbPRDPSimplex = 1, vbPRDPHorizontal = 2, vbPRDPVertical = 3 };  // 2 long edge, 3 short edge
// Paper sizes the Printer's PaperSize takes (the Windows paper numbers).
enum PaperSizeValue : SHORT {
  vbPRPSLetter = 1,
  vbPRPSTabloid = 3,
  vbPRPSLegal = 5,
  vbPRPSExecutive = 7,
  vbPRPSA3 = 8,
  vbPRPSA4 = 9,
  vbPRPSA5 = 11,
  vbPRPSB5 = 13,
  vbPRPSEnv10 = 20,
  vbPRPSEnvDL = 27,
};

// The device name of the PDF printer, listed last among the printers.
inline const QString kPdfPrinterName = QStringLiteral("PDF");

struct PrinterInfo {
  QString DeviceName;
  QString DriverName;
  QString Port;       // the PDF printer: the file it writes
};
// The installed printers, then the PDF printer.
std::vector<PrinterInfo> Printers();
// The system's default printer, or the PDF printer when none is installed.
QString DefaultPrinterName();
// Where the PDF printer writes a document unless told otherwise: a new file in the program
// folder named after the moment ("Xendora 20261210-101530.pdf"), never one that exists.
QString DefaultPdfFileName();

// The Printer object's own operations; implemented by PrinterSurface and, for tests, by
// RecordingSurface.
class PrinterObject : public Surface {
 public:
  bool IsPrinter() const override { return true; }

  virtual QString DeviceName() const = 0;
  virtual QString DriverName() const = 0;
  virtual QString Port() const = 0;
  virtual SHORT Orientation() const = 0;
  virtual void SetOrientation(SHORT orientation) = 0;  // 1 or 2, else 380; takes effect on the next page
  virtual SHORT PaperSize() const = 0;
  virtual void SetPaperSize(SHORT paper) = 0;          // a PaperSizeValue, else 380
  virtual SHORT Copies() const = 0;
  virtual void SetCopies(SHORT copies) = 0;            // 1 to 9999, else 380
  // 1 simplex, 2 long edge, 3 short edge. A printer without duplex printing reports 1 and
  // refuses 2 and 3 with 380.
  virtual SHORT Duplex() const = 0;
  virtual void SetDuplex(SHORT duplex) = 0;
  // The page being drawn, from 1.
  virtual SHORT Page() const = 0;
  virtual void NewPage() = 0;
  virtual void EndDoc() = 0;
  virtual void KillDoc() = 0;

 protected:
  using Surface::Surface;
};

class PrinterSurface : public PainterSurface<PrinterObject> {
 public:
  // The printer of that device name (empty: the default printer); 482 when no such printer
  // is installed.
  explicit PrinterSurface(const QString& deviceName = QString());
  ~PrinterSurface() override;  // an open document is sent, as at the end of the program

  // PDF printer only: the file it writes (the file of the document begun last, unless one was
  // set), and the unprintable margins it pretends to have (inches; none by default), which
  // move the origin and shrink the printable area. Set them before the document begins.
  QString OutputFileName() const;
  void SetOutputFileName(const QString& path);
  void SetPrintableMargins(const QMarginsF& inches);

  double ScaleWidth() const override;
  double ScaleHeight() const override;
  double Width() const override;
  double Height() const override;
  int GetDeviceCaps(int index) const override;

  QString DeviceName() const override;
  QString DriverName() const override;
  QString Port() const override;
  SHORT Orientation() const override;
  void SetOrientation(SHORT orientation) override;
  SHORT PaperSize() const override;
  void SetPaperSize(SHORT paper) override;
  SHORT Copies() const override;
  void SetCopies(SHORT copies) override;
  SHORT Duplex() const override;
  void SetDuplex(SHORT duplex) override;
  SHORT Page() const override;
  void NewPage() override;
  void EndDoc() override;
  void KillDoc() override;

 protected:
  QPainter* BeginPaint() override;
  void DeviceFocusRect(QRect box) override;
  void DeviceTouch() override;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace surface
