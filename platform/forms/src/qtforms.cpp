// The forms services over Qt Widgets.
#include "qtforms.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "printersurface.h"
#include "surface.h"
#include "rules.h"

namespace forms {

namespace {

// A modal shown without an owner belongs to the active window. A splash screen is never the
// owner: it closes and deletes itself on its own time, which would take an open box with it;
// the window that shows the splash owns the modal instead (or nothing does).
QWidget* OwnerOr(QWidget* owner) {
  if (owner) return owner;
  QWidget* active = QApplication::activeWindow();
  while (active && active->windowType() == Qt::SplashScreen)
    active = active->parentWidget() ? active->parentWidget()->window() : nullptr;
  return active;
}

QColor FromColorRef(LONG c) {
  const auto v = static_cast<DWORD>(c);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

LONG ToColorRef(const QColor& c) {
  return static_cast<LONG>(static_cast<DWORD>(c.red()) | (static_cast<DWORD>(c.green()) << 8) |
                           (static_cast<DWORD>(c.blue()) << 16));
}

// Ends a modal loop when its window is hidden or closed.
class HideWatcher : public QObject {
 public:
  HideWatcher(QWidget* form, QEventLoop* loop) : QObject(form), loop_(loop) { form->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide && watched == parent()) loop_->quit();
    return false;
  }

 private:
  QEventLoop* loop_;
};

}  // namespace

QStringList QtNameFilters(const QString& filter) {
  QStringList out;
  const QStringList parts = filter.split(u'|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString text = parts[i].trimmed();
    QStringList patterns;
    for (QString p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
      p = p.trimmed();
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");  // every file, with or without an extension
      if (!p.isEmpty()) patterns << p;
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    // A text that already shows its patterns in parentheses keeps them, in Qt's form.
    const qsizetype open = text.lastIndexOf(u'(');
    if (text.endsWith(u')') && open > 0) text = text.left(open).trimmed();
    out << QStringLiteral("%1 (%2)").arg(text, patterns.join(u' '));
  }
  return out;
}

Qt::CursorShape CursorShapeForPointer(int pointer) {
  switch (pointer) {
    case vbCrosshair: return Qt::CrossCursor;
    case vbIbeam: return Qt::IBeamCursor;
    case vbSizePointer:
    case vbSizeAll: return Qt::SizeAllCursor;
    case vbSizeNESW: return Qt::SizeBDiagCursor;
    case vbSizeNS: return Qt::SizeVerCursor;
    case vbSizeNWSE: return Qt::SizeFDiagCursor;
    case vbSizeWE: return Qt::SizeHorCursor;
    case vbUpArrow: return Qt::UpArrowCursor;
    case vbHourglass: return Qt::WaitCursor;
    case vbNoDrop: return Qt::ForbiddenCursor;
    case vbArrowHourglass: return Qt::BusyCursor;
    default: return Qt::ArrowCursor;
  }
}

int QtForms::MessageBox(const MessageRequest& request) {
  QMessageBox box(OwnerOr(request.owner));
  box.setWindowTitle(request.title);
  box.setTextFormat(Qt::PlainText);  // a name holding "<" or "&" shows as it stands
  box.setText(detail::DisplayText(request.prompt));
  switch (request.buttons & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  std::vector<std::pair<QPushButton*, int>> buttons;
  auto add = [&](QMessageBox::StandardButton b, int answer) { buttons.emplace_back(box.addButton(b), answer); };
  switch (detail::ButtonSet(request.buttons)) {
    case vbOKCancel:
      add(QMessageBox::Ok, vbOK);
      add(QMessageBox::Cancel, vbCancel);
      break;
    case vbYesNoCancel:
      add(QMessageBox::Yes, vbYes);
      add(QMessageBox::No, vbNo);
      add(QMessageBox::Cancel, vbCancel);
      break;
    case vbYesNo:
      add(QMessageBox::Yes, vbYes);
      add(QMessageBox::No, vbNo);
      break;
    default: add(QMessageBox::Ok, vbOK); break;
  }
  const size_t defaultIndex = static_cast<size_t>((request.buttons >> 8) & 3);
  box.setDefaultButton(buttons[defaultIndex < buttons.size() ? defaultIndex : 0].first);
  const int escape = detail::EscapeAnswer(request.buttons);
  for (const auto& [button, answer] : buttons) {
    if (answer == escape) box.setEscapeButton(button);
  }
  box.exec();
  for (const auto& [button, answer] : buttons) {
    if (box.clickedButton() == button) return answer;
  }
  return escape;
}

std::optional<QString> QtForms::InputBox(const InputRequest& request) {
  QInputDialog dialog(OwnerOr(request.owner));
  dialog.setWindowTitle(request.title);
  dialog.setLabelText(detail::DisplayText(request.prompt));
  dialog.setTextValue(request.defaultText);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

bool QtForms::FileDialog(CommonDialog& d, FileDialogKind kind) {
  QFileDialog dialog(OwnerOr(d.Owner), d.DialogTitle, d.InitDir);
  const bool save = kind == FileDialogKind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // An open dialog takes a typed name of a file that does not exist yet unless told otherwise.
  dialog.setFileMode(!save && (d.Flags & cdlOFNFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (save && !(d.Flags & cdlOFNOverwritePrompt)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QString defaultExt = d.DefaultExt;
  if (defaultExt.startsWith(u'.')) defaultExt.remove(0, 1);
  if (!defaultExt.isEmpty()) dialog.setDefaultSuffix(defaultExt);

  const bool pattern = d.FileName.contains(u'*') || d.FileName.contains(u'?');
  QStringList filters = QtNameFilters(d.Filter);
  if (filters.isEmpty() && pattern) filters = QtNameFilters(d.FileName + u'|' + d.FileName);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = d.FilterIndex >= 1 && d.FilterIndex <= filters.size() ? d.FilterIndex - 1 : 0;
    dialog.selectNameFilter(filters[index]);
  }
  if (!d.FileName.isEmpty() && !pattern) dialog.selectFile(d.FileName);

  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const QString path = dialog.selectedFiles().first();
  if (path.isEmpty()) return false;
  d.FileName = path;
  d.FileTitle = QFileInfo(path).fileName();
  const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
  if (chosen >= 0) d.FilterIndex = static_cast<int>(chosen) + 1;
  return true;
}

bool QtForms::FontDialog(CommonDialog& d) {
  QDialog dialog(OwnerOr(d.Owner));
  dialog.setWindowTitle(QStringLiteral("Font"));
  auto* layout = new QVBoxLayout(&dialog);

  // The font chooser, embedded without its own buttons.
  auto* chooser = new QFontDialog(&dialog);
  chooser->setWindowFlags(Qt::Widget);
  chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  // The chooser lists installed families: a name the program uses ("Arial") is shown as the
  // family it resolves to, and comes back under its own name when the family is kept.
  const QString resolved = d.FontName.isEmpty() ? QApplication::font().family() : surface::ResolvedFamily(d.FontName);
  QFont initial(resolved);
  if (d.FontSize > 0) initial.setPointSizeF(d.FontSize);
  initial.setBold(d.FontBold);
  initial.setItalic(d.FontItalic);
  initial.setUnderline(d.FontUnderline);
  initial.setStrikeOut(d.FontStrikethru);
  chooser->setCurrentFont(initial);
  layout->addWidget(chooser);

  // With effects, the colour choice of the font dialog: the sixteen basic colours.
  QComboBox* colours = nullptr;
  if (d.Flags & cdlCFEffects) {
    static const std::pair<const char*, DWORD> kColours[] = {
        {"Black", 0x000000},  {"Maroon", 0x000080}, {"Green", 0x008000}, {"Olive", 0x008080},
        {"Navy", 0x800000},   {"Purple", 0x800080}, {"Teal", 0x808000},  {"Gray", 0x808080},
        {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},    {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
        {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00}, {"White", 0xFFFFFF},
    };
    colours = new QComboBox(&dialog);
    colours->setObjectName(QStringLiteral("cmbColor"));
    const DWORD current = static_cast<DWORD>(d.Color) & 0xFFFFFF;
    int selected = -1;
    for (const auto& [name, value] : kColours) {
      QPixmap swatch(16, 16);
      swatch.fill(FromColorRef(static_cast<LONG>(value)));
      colours->addItem(QIcon(swatch), QString::fromLatin1(name), QVariant::fromValue(static_cast<qlonglong>(value)));
      if (value == current) selected = colours->count() - 1;
    }
    if (selected < 0) {  // a colour of its own stays offered
      QPixmap swatch(16, 16);
      swatch.fill(FromColorRef(d.Color));
      colours->addItem(QIcon(swatch), QStringLiteral("Custom"), QVariant::fromValue(static_cast<qlonglong>(current)));
      selected = colours->count() - 1;
    }
    colours->setCurrentIndex(selected);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Color:"), colours);
    layout->addLayout(form);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;

  const QFont chosen = chooser->currentFont();
  if (d.FontName.isEmpty() || chosen.family() != resolved) d.FontName = chosen.family();
  if (chosen.pointSizeF() > 0) d.FontSize = chosen.pointSizeF();
  d.FontBold = chosen.bold();
  d.FontItalic = chosen.italic();
  d.FontUnderline = chosen.underline();
  d.FontStrikethru = chosen.strikeOut();
  if (colours) d.Color = static_cast<LONG>(colours->currentData().toLongLong());
  return true;
}

bool QtForms::ColorDialog(CommonDialog& d) {
  const QColor chosen = QColorDialog::getColor(FromColorRef(d.Color), OwnerOr(d.Owner));
  if (!chosen.isValid()) return false;
  d.Color = ToColorRef(chosen);
  return true;
}

std::optional<QString> QtForms::BrowseForFolder(const FolderRequest& request) {
  const QString chosen = QFileDialog::getExistingDirectory(OwnerOr(request.owner), request.title, request.startPath);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

bool QtForms::PrinterDialog(PrinterDialogRequest& r) {
  const bool pdf = r.DeviceName.isEmpty() ? surface::DefaultPrinterName() == surface::kPdfPrinterName
                                          : r.DeviceName.compare(surface::kPdfPrinterName, Qt::CaseInsensitive) == 0;
  QPrinter printer;
  if (pdf) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(r.Port.isEmpty() ? surface::DefaultPdfFileName() : r.Port);
  } else if (!r.DeviceName.isEmpty()) {
    printer.setPrinterName(r.DeviceName);
  }
  printer.setPageOrientation(r.Orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
  if (r.Duplex == 2) printer.setDuplex(QPrinter::DuplexLongSide);
  if (r.Duplex == 3) printer.setDuplex(QPrinter::DuplexShortSide);
  if (r.Copies > 0) printer.setCopyCount(r.Copies);

  QPrintDialog dialog(&printer, OwnerOr(r.owner));
  const bool setup = r.Flags & PD_PRINTSETUP;
  const bool ranges = !setup && !(r.Flags & PD_NOPAGENUMS) && r.MinPage < r.MaxPage;
  QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintToFile;
  if (ranges) options |= QAbstractPrintDialog::PrintPageRange;
  if (!(r.Flags & PD_NOSELECTION) && !setup) options |= QAbstractPrintDialog::PrintSelection;
  if (!setup) options |= QAbstractPrintDialog::PrintCollateCopies;
  dialog.setOptions(options);
  if (ranges) {
    dialog.setMinMax(r.MinPage, r.MaxPage);
    printer.setFromTo(std::max(r.FromPage, r.MinPage), std::min(std::max(r.ToPage, r.FromPage), r.MaxPage));
    if (r.Flags & PD_PAGENUMS) dialog.setPrintRange(QAbstractPrintDialog::PageRange);
  }
  if (dialog.exec() != QDialog::Accepted) return false;

  if (printer.outputFormat() == QPrinter::PdfFormat) {
    r.DeviceName = surface::kPdfPrinterName;
    r.Port = printer.outputFileName();
  } else {
    r.DeviceName = printer.printerName();
    r.Port = printer.printerName();
  }
  r.Orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
  switch (printer.duplex()) {
    case QPrinter::DuplexLongSide: r.Duplex = 2; break;
    case QPrinter::DuplexShortSide: r.Duplex = 3; break;
    default: r.Duplex = 1; break;
  }
  r.Copies = static_cast<SHORT>(printer.copyCount());
  r.Flags &= ~(PD_PAGENUMS | PD_SELECTION);
  if (ranges && dialog.printRange() == QAbstractPrintDialog::PageRange) {
    r.Flags |= PD_PAGENUMS;
    r.FromPage = static_cast<WORD>(printer.fromPage());
    r.ToPage = static_cast<WORD>(printer.toPage());
  }
  return true;
}

int QtForms::ShowModal(QWidget* form, QWidget* owner) {
  (void)owner;
  if (auto* dialog = qobject_cast<QDialog*>(form)) return dialog->exec();
  QPointer<QWidget> guard(form);
  QEventLoop loop;
  auto* watcher = new HideWatcher(form, &loop);
  QObject::connect(form, &QObject::destroyed, &loop, &QEventLoop::quit);
  const Qt::WindowModality before = form->windowModality();
  if (form->isVisible()) form->hide();  // a window already shown becomes modal when shown again
  form->setWindowModality(Qt::ApplicationModal);
  form->show();
  if (guard && guard->isVisible()) loop.exec(QEventLoop::DialogExec);
  if (guard) {
    guard->setWindowModality(before);
    delete watcher;
  }
  return 0;
}

void QtForms::SetScreenMousePointer(int pointer) {
  if (pointer == vbDefault) {
    if (pointer_ != vbDefault) QApplication::restoreOverrideCursor();
  } else if (pointer_ == vbDefault) {
    QApplication::setOverrideCursor(QCursor(CursorShapeForPointer(pointer)));
  } else {
    QApplication::changeOverrideCursor(QCursor(CursorShapeForPointer(pointer)));
  }
  pointer_ = pointer;
}

void QtForms::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace forms
