// The Printer object over QPrinter.
#include "printersurface.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <utility>

#include "internal.h"
#include "programfolder.h"

namespace surface {

namespace {

constexpr int kPdfResolution = 600;

const std::pair<SHORT, QPageSize::PageSizeId> kPapers[] = {
    {vbPRPSLetter, QPageSize::Letter},       {vbPRPSTabloid, QPageSize::Tabloid}, {vbPRPSLegal, QPageSize::Legal},
    {vbPRPSExecutive, QPageSize::Executive}, {vbPRPSA3, QPageSize::A3},           {vbPRPSA4, QPageSize::A4},
    {vbPRPSA5, QPageSize::A5},               {vbPRPSB5, QPageSize::JisB5},        {vbPRPSEnv10, QPageSize::Comm10E},
    {vbPRPSEnvDL, QPageSize::DLE},
};
constexpr SHORT kUserPaper = 256;

// The installed printer of that name, matched exactly or else without regard to letter case.
QPrinterInfo FindPrinter(const QString& name) {
  QPrinterInfo exact = QPrinterInfo::printerInfo(name);
  if (!exact.isNull()) return exact;
  for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
    if (info.printerName().compare(name, Qt::CaseInsensitive) == 0) return info;
  }
  return QPrinterInfo();
}

QString Driver(const QPrinterInfo& info) {
  const QString model = info.makeAndModel();
  return model.isEmpty() ? QStringLiteral("CUPS") : model;
}

}  // namespace

std::vector<PrinterInfo> Printers() {
  std::vector<PrinterInfo> list;
  for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
    list.push_back({info.printerName(), Driver(info), info.printerName()});
  }
  list.push_back({kPdfPrinterName, QStringLiteral("PDF"), DefaultPdfFileName()});
  return list;
}

QString DefaultPrinterName() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  return info.isNull() ? kPdfPrinterName : info.printerName();
}

// A document of its own for every print run, so that one printout never replaces another:
// "Xendora 20261210-101530.pdf", with " (2)" and so on when that name is taken.
QString DefaultPdfFileName() {
  const QString folder = QString::fromStdString(platform::ProgramFolder().string());
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
  QString name = QStringLiteral("%1/Xendora %2.pdf").arg(folder, stamp);
  for (int n = 2; QFileInfo::exists(name); ++n) name = QStringLiteral("%1/Xendora %2 (%3).pdf").arg(folder, stamp).arg(n);
  return name;
}

struct PrinterSurface::State {
  QPrinter printer{QPrinter::HighResolution};
  QPainter painter;
  bool pdf = false;
  QString deviceName;
  QString driverName;
  bool duplexCapable = false;
  bool chosenFile = false;  // the PDF printer writes where it was told, else a fresh file per document
  bool open = false;   // a document has begun
  SHORT page = 1;
};

PrinterSurface::PrinterSurface(const QString& deviceName)
    : PainterSurface<PrinterObject>(96, 96), s_(std::make_unique<State>()) {
  const QString name = deviceName.isEmpty() ? DefaultPrinterName() : deviceName;
  if (name.compare(kPdfPrinterName, Qt::CaseInsensitive) == 0) {
    s_->pdf = true;
    s_->deviceName = kPdfPrinterName;
    s_->driverName = QStringLiteral("PDF");
    s_->printer.setOutputFormat(QPrinter::PdfFormat);
    s_->printer.setResolution(kPdfResolution);
    s_->printer.setOutputFileName(DefaultPdfFileName());
    s_->printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(),
                                          QPageLayout::Inch));
  } else {
    const QPrinterInfo info = FindPrinter(name);
    if (info.isNull()) detail::Raise(detail::kErrPrinter);
    s_->printer.setPrinterName(info.printerName());
    s_->deviceName = info.printerName();
    s_->driverName = Driver(info);
    const auto modes = info.supportedDuplexModes();
    s_->duplexCapable = modes.contains(QPrinter::DuplexLongSide) || modes.contains(QPrinter::DuplexShortSide);
  }
  s_->printer.setFullPage(false);
  SetResolution(s_->printer.resolution(), s_->printer.resolution());
}

PrinterSurface::~PrinterSurface() {
  if (s_->open) {
    s_->open = false;
    s_->painter.end();
  }
}

QString PrinterSurface::OutputFileName() const { return s_->printer.outputFileName(); }

void PrinterSurface::SetOutputFileName(const QString& path) {
  if (!s_->pdf || s_->open) return;
  s_->printer.setOutputFileName(path);
  s_->chosenFile = !path.isEmpty();
}

void PrinterSurface::SetPrintableMargins(const QMarginsF& inches) {
  if (!s_->pdf || s_->open) return;
  QPageLayout layout = s_->printer.pageLayout();
  layout.setUnits(QPageLayout::Inch);
  layout.setMinimumMargins(QMarginsF());
  layout.setMargins(inches);
  s_->printer.setPageLayout(layout);
}

double PrinterSurface::ScaleWidth() const {
  return s_->printer.pageLayout().paintRectPixels(s_->printer.resolution()).width() / DpiX();
}
double PrinterSurface::ScaleHeight() const {
  return s_->printer.pageLayout().paintRectPixels(s_->printer.resolution()).height() / DpiY();
}
double PrinterSurface::Width() const {
  return s_->printer.pageLayout().fullRectPixels(s_->printer.resolution()).width() / DpiX() * 1440.0;
}
double PrinterSurface::Height() const {
  return s_->printer.pageLayout().fullRectPixels(s_->printer.resolution()).height() / DpiY() * 1440.0;
}

int PrinterSurface::GetDeviceCaps(int index) const {
  const int res = s_->printer.resolution();
  const QPageLayout layout = s_->printer.pageLayout();
  const QRect full = layout.fullRectPixels(res);
  const QRect paint = layout.paintRectPixels(res);
  switch (index) {
    case HORZRES: return paint.width();
    case VERTRES: return paint.height();
    case PHYSICALWIDTH: return full.width();
    case PHYSICALHEIGHT: return full.height();
    case PHYSICALOFFSETX: return paint.left();
    case PHYSICALOFFSETY: return paint.top();
    default: return Surface::GetDeviceCaps(index);
  }
}

QString PrinterSurface::DeviceName() const { return s_->deviceName; }
QString PrinterSurface::DriverName() const { return s_->driverName; }
QString PrinterSurface::Port() const { return s_->pdf ? s_->printer.outputFileName() : s_->deviceName; }

SHORT PrinterSurface::Orientation() const {
  return s_->printer.pageLayout().orientation() == QPageLayout::Landscape ? vbPRORLandscape : vbPRORPortrait;
}

void PrinterSurface::SetOrientation(SHORT orientation) {
  if (orientation != vbPRORPortrait && orientation != vbPRORLandscape) detail::Raise(detail::kErrInvalidPropertyValue);
  s_->printer.setPageOrientation(orientation == vbPRORLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

SHORT PrinterSurface::PaperSize() const {
  const QPageSize::PageSizeId id = s_->printer.pageLayout().pageSize().id();
  for (const auto& [code, paper] : kPapers) {
    if (paper == id) return code;
  }
  return kUserPaper;
}

void PrinterSurface::SetPaperSize(SHORT paper) {
  for (const auto& [code, id] : kPapers) {
    if (code == paper) {
      s_->printer.setPageSize(QPageSize(id));
      return;
    }
  }
  detail::Raise(detail::kErrInvalidPropertyValue);
}

SHORT PrinterSurface::Copies() const { return static_cast<SHORT>(s_->printer.copyCount()); }

void PrinterSurface::SetCopies(SHORT copies) {
  if (copies < 1 || copies > 9999) detail::Raise(detail::kErrInvalidPropertyValue);
  s_->printer.setCopyCount(copies);
}

SHORT PrinterSurface::Duplex() const {
  switch (s_->printer.duplex()) {
    case QPrinter::DuplexLongSide: return vbPRDPHorizontal;
    case QPrinter::DuplexShortSide: return vbPRDPVertical;
    default: return vbPRDPSimplex;
  }
}

void PrinterSurface::SetDuplex(SHORT duplex) {
  if (duplex == vbPRDPSimplex) {
    s_->printer.setDuplex(QPrinter::DuplexNone);
    return;
  }
  if ((duplex != vbPRDPHorizontal && duplex != vbPRDPVertical) || !s_->duplexCapable) {
    detail::Raise(detail::kErrInvalidPropertyValue);
  }
  s_->printer.setDuplex(duplex == vbPRDPHorizontal ? QPrinter::DuplexLongSide : QPrinter::DuplexShortSide);
}

SHORT PrinterSurface::Page() const { return s_->page; }

// The document begins with the first drawing (or NewPage); a printer that cannot start it
// (no such queue, a PDF file that cannot be written) is a printer error.
void PrinterSurface::DeviceTouch() {
  if (s_->open) return;
  if (s_->pdf && !s_->chosenFile) s_->printer.setOutputFileName(DefaultPdfFileName());
  if (!s_->painter.begin(&s_->printer)) detail::Raise(detail::kErrPrinter);
  s_->open = true;
  s_->page = 1;
}

void PrinterSurface::NewPage() {
  DeviceTouch();
  if (!s_->printer.newPage()) detail::Raise(detail::kErrPrinter);
  ++s_->page;
}

void PrinterSurface::EndDoc() {
  if (!s_->open) return;
  s_->open = false;
  s_->page = 1;
  const bool ended = s_->painter.end();
  if (!ended || s_->printer.printerState() == QPrinter::Error) detail::Raise(detail::kErrPrinter);
}

void PrinterSurface::KillDoc() {
  if (!s_->open) return;
  s_->open = false;
  s_->page = 1;
  s_->printer.abort();
  s_->painter.end();
  if (s_->pdf) QFile::remove(s_->printer.outputFileName());
}

QPainter* PrinterSurface::BeginPaint() {
  DeviceTouch();
  return &s_->painter;
}

// Focus rectangles belong to the screen; on paper they draw nothing.
void PrinterSurface::DeviceFocusRect(QRect) {}

}  // namespace surface
