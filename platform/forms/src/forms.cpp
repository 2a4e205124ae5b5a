// The current forms instance and the runtime's modal calls that go through it.
#include "forms.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QVariant>

#include "qtforms.h"
#include "rules.h"
#include "vbrt.h"

namespace forms {

namespace {

// The current instance is kept on the application object, which every module of the process
// shares, so that the program and the component libraries (each with its own copy of this
// library) answer to one instance. Without an application object it lives in this module.
constexpr char kCurrentProperty[] = "xendora.forms.current";

Forms* moduleCurrent = nullptr;

Forms* Installed() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    if (auto* shared = static_cast<Forms*>(app->property(kCurrentProperty).value<void*>())) return shared;
  }
  return moduleCurrent;
}

void Install(Forms* forms) {
  moduleCurrent = forms;
  if (QCoreApplication* app = QCoreApplication::instance()) {
    app->setProperty(kCurrentProperty, QVariant::fromValue(static_cast<void*>(forms)));
  }
}

QString& Title() {
  static QString title = QStringLiteral("Xendora");
  return title;
}

[[noreturn]] void CancelSelected() { throw vbrt::RuntimeError(vbrt::ErrCancelSelected); }

}  // namespace

namespace detail {
QString WithDefaultExtension(const QString& path, const QString& defaultExt) {
  QString ext = defaultExt;
  if (ext.startsWith(u'.')) ext.remove(0, 1);
  if (ext.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
  return path + u'.' + ext;
}
}  // namespace detail

QString AppTitle() { return Title(); }
void SetAppTitle(const QString& title) { Title() = title; }

Forms& Current() {
  if (Forms* f = Installed()) return *f;
  static QtForms qt;
  Install(&qt);
  return qt;
}

void SetCurrent(Forms* forms) { Install(forms); }

ScopedForms::ScopedForms(Forms& forms) : previous_(Installed()) { Install(&forms); }
ScopedForms::~ScopedForms() { Install(previous_); }

int MsgBox(const QString& prompt, int buttons, const QString& title) {
  const int set = buttons & 0xF;
  const int icon = buttons & 0x70;
  if ((set != vbOKOnly && set != vbOKCancel && set != vbYesNoCancel && set != vbYesNo) || icon > vbInformation) {
    throw vbrt::RuntimeError(vbrt::ErrInvalidCall);
  }
  MessageRequest request;
  request.prompt = prompt;
  request.buttons = buttons;
  request.title = title.isEmpty() ? AppTitle() : title;
  return Current().MessageBox(request);
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) {
  InputRequest request;
  request.prompt = prompt;
  request.title = title.isEmpty() ? AppTitle() : title;
  request.defaultText = defaultText;
  return Current().InputBox(request).value_or(QString());
}

bool BrowseForFolder(QString& path, const QString& title, QWidget* owner) {
  FolderRequest request;
  request.title = title;
  request.startPath = path;
  request.owner = owner;
  std::optional<QString> chosen = Current().BrowseForFolder(request);
  if (!chosen) return false;
  path = *chosen;
  return true;
}

bool ShowPrinterDialog(PrinterDialogRequest& request) {
  PrinterDialogRequest working = request;
  if (!Current().PrinterDialog(working)) return false;
  request = working;
  return true;
}

int ShowModal(QWidget* form, QWidget* owner) { return form ? Current().ShowModal(form, owner) : 0; }

void SetScreenMousePointer(int pointer) { Current().SetScreenMousePointer(pointer); }
int ScreenMousePointer() { return Current().ScreenMousePointer(); }
void DoEvents() { Current().DoEvents(); }

// A dialog works on a copy, so that Cancel leaves the caller's properties as they were.
namespace {
template <typename Show>
void RunDialog(CommonDialog& dialog, Show show) {
  CommonDialog working = dialog;
  if (show(working)) {
    dialog = working;
    return;
  }
  if (dialog.CancelError) CancelSelected();
}
}  // namespace

void CommonDialog::ShowOpen() {
  RunDialog(*this, [](CommonDialog& d) { return Current().FileDialog(d, FileDialogKind::Open); });
}
void CommonDialog::ShowSave() {
  RunDialog(*this, [](CommonDialog& d) { return Current().FileDialog(d, FileDialogKind::Save); });
}
void CommonDialog::ShowFont() {
  RunDialog(*this, [](CommonDialog& d) { return Current().FontDialog(d); });
}
void CommonDialog::ShowColor() {
  RunDialog(*this, [](CommonDialog& d) { return Current().ColorDialog(d); });
}

}  // namespace forms
