// The scripted forms services of the tests.
#include "scriptedforms.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "qtforms.h"
#include "rules.h"

namespace forms {

const char* ModalKindName(ModalKind kind) {
  switch (kind) {
    case ModalKind::Message: return "message box";
    case ModalKind::Input: return "input box";
    case ModalKind::OpenFile: return "open dialog";
    case ModalKind::SaveFile: return "save dialog";
    case ModalKind::Font: return "font dialog";
    case ModalKind::Color: return "colour dialog";
    case ModalKind::Folder: return "folder browser";
    case ModalKind::Printer: return "printer dialog";
    case ModalKind::Window: return "modal window";
  }
  return "modal";
}

struct ScriptedForms::Answer {
  ModalKind kind = ModalKind::Message;
  QString expect;           // text the modal must contain (windows: its objectName)
  int button = 0;           // message boxes
  std::optional<QString> text;  // input, file and folder answers; nothing: Cancel
  std::optional<FontChoice> font;
  std::optional<LONG> color;
  std::optional<PrinterChoice> printer;
  std::function<void(QWidget*)> script;
  bool confirm = false;     // font, colour and printer dialogs: OK rather than Cancel
};

ScriptedForms::ScriptedForms(FailureHandler onFailure) : onFailure_(std::move(onFailure)) {}

ScriptedForms::~ScriptedForms() {
  if (Pending() == 0) return;
  QString left;
  for (size_t i = next_; i < queue_.size(); ++i) {
    if (!left.isEmpty()) left += QStringLiteral(", ");
    left += QString::fromLatin1(ModalKindName(queue_[i].kind));
    if (!queue_[i].expect.isEmpty()) left += QStringLiteral(" \"%1\"").arg(queue_[i].expect);
  }
  Fail(QStringLiteral("%1 scripted answer(s) never asked for: %2").arg(Pending()).arg(left));
}

size_t ScriptedForms::Pending() const { return queue_.size() - next_; }

void ScriptedForms::Fail(const QString& message) {
  failures_.push_back(message);
  if (onFailure_) {
    onFailure_(message);
    return;
  }
  std::fprintf(stderr, "forms: %s\n", message.toLocal8Bit().constData());
  std::abort();
}

ScriptedForms::Answer& ScriptedForms::Queue(ModalKind kind, const QString& expect) {
  Answer a;
  a.kind = kind;
  a.expect = expect;
  queue_.push_back(std::move(a));
  return queue_.back();
}

ScriptedForms& ScriptedForms::ExpectMessage(int answer, const QString& expectText) {
  Queue(ModalKind::Message, expectText).button = answer;
  return *this;
}

ScriptedForms& ScriptedForms::ExpectInput(std::optional<QString> answer, const QString& expectText) {
  Queue(ModalKind::Input, expectText).text = std::move(answer);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectOpen(std::optional<QString> path, const QString& expectTitle) {
  Queue(ModalKind::OpenFile, expectTitle).text = std::move(path);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectSave(std::optional<QString> path, const QString& expectTitle) {
  Queue(ModalKind::SaveFile, expectTitle).text = std::move(path);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectFont(std::optional<FontChoice> font) {
  Answer& a = Queue(ModalKind::Font, QString());
  a.confirm = font.has_value();
  a.font = std::move(font);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectColor(std::optional<LONG> color) {
  Answer& a = Queue(ModalKind::Color, QString());
  a.confirm = color.has_value();
  a.color = color;
  return *this;
}

ScriptedForms& ScriptedForms::ExpectFolder(std::optional<QString> path) {
  Queue(ModalKind::Folder, QString()).text = std::move(path);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectPrinter(std::optional<PrinterChoice> choice) {
  Answer& a = Queue(ModalKind::Printer, QString());
  a.confirm = choice.has_value();
  a.printer = std::move(choice);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectWindow(const QString& objectName, std::function<void(QWidget*)> script) {
  Queue(ModalKind::Window, objectName).script = std::move(script);
  return *this;
}

ScriptedForms& ScriptedForms::ExpectRealMessage(const QString& expectText, std::function<void(QWidget*)> script) {
  Queue(ModalKind::Message, expectText).script = std::move(script);
  return *this;
}

std::optional<ScriptedForms::Answer> ScriptedForms::Take(const ShownModal& shown, const QString& matchText) {
  shown_.push_back(shown);
  const QString what = QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(ModalKindName(shown.kind)), matchText);
  if (next_ >= queue_.size()) {
    Fail(QStringLiteral("unexpected %1").arg(what));
    return std::nullopt;
  }
  const Answer& a = queue_[next_];
  if (a.kind != shown.kind) {
    Fail(QStringLiteral("expected a %1 but got the %2").arg(QString::fromLatin1(ModalKindName(a.kind)), what));
    return std::nullopt;
  }
  const bool matches = a.kind == ModalKind::Window ? (a.expect.isEmpty() || a.expect == matchText)
                                                   : matchText.contains(a.expect);
  if (!matches) {
    Fail(QStringLiteral("expected a %1 with \"%2\" but got the %3")
             .arg(QString::fromLatin1(ModalKindName(a.kind)), a.expect, what));
    return std::nullopt;
  }
  return queue_[next_++];
}

int ScriptedForms::MessageBox(const MessageRequest& request) {
  ShownModal shown;
  shown.kind = ModalKind::Message;
  shown.title = request.title;
  shown.text = request.prompt;
  shown.buttons = request.buttons;
  const int escape = detail::EscapeAnswer(request.buttons);
  std::optional<Answer> a = Take(shown, request.prompt);
  if (!a) return escape;
  if (a->script) return RealMessageBox(request, a->script);
  if (!detail::Offers(request.buttons, a->button)) {
    Fail(QStringLiteral("answer %1 is not a button of the message box \"%2\"").arg(a->button).arg(request.prompt));
    return escape;
  }
  return a->button;
}

int ScriptedForms::RealMessageBox(const MessageRequest& request, const std::function<void(QWidget*)>& script) {
  // The box is up once its modal loop runs: the script acts from there, then the box must be
  // gone (answered) before the loop is given back.
  QTimer::singleShot(0, [this, script, prompt = request.prompt] {
    QPointer<QMessageBox> box;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    if (!box) {
      Fail(QStringLiteral("the message box \"%1\" is not shown").arg(prompt));
      return;
    }
    script(box);
    if (box && box->isVisible()) {
      Fail(QStringLiteral("the message box \"%1\" took no answer").arg(prompt));
      box->hide();  // ends its modal loop without a close, which whatever swallowed the answer may hold
    }
  });
  return QtForms().MessageBox(request);
}

std::optional<QString> ScriptedForms::InputBox(const InputRequest& request) {
  ShownModal shown;
  shown.kind = ModalKind::Input;
  shown.title = request.title;
  shown.text = request.prompt;
  shown.fileName = request.defaultText;
  std::optional<Answer> a = Take(shown, request.prompt);
  if (!a) return std::nullopt;
  return a->text;
}

bool ScriptedForms::FileDialog(CommonDialog& d, FileDialogKind kind) {
  ShownModal shown;
  shown.kind = kind == FileDialogKind::Open ? ModalKind::OpenFile : ModalKind::SaveFile;
  shown.title = d.DialogTitle;
  shown.text = d.DialogTitle;
  shown.fileName = d.FileName;
  shown.initDir = d.InitDir;
  shown.filter = d.Filter;
  shown.flags = d.Flags;
  std::optional<Answer> a = Take(shown, d.DialogTitle);
  if (!a || !a->text || a->text->isEmpty()) return false;
  d.FileName = detail::WithDefaultExtension(*a->text, d.DefaultExt);
  d.FileTitle = QFileInfo(d.FileName).fileName();
  return true;
}

bool ScriptedForms::FontDialog(CommonDialog& d) {
  ShownModal shown;
  shown.kind = ModalKind::Font;
  shown.text = d.FontName;
  shown.flags = d.Flags;
  std::optional<Answer> a = Take(shown, d.FontName);
  if (!a || !a->confirm) return false;
  d.FontName = a->font->name;
  d.FontSize = a->font->size;
  d.FontBold = a->font->bold;
  d.FontItalic = a->font->italic;
  d.FontUnderline = a->font->underline;
  d.FontStrikethru = a->font->strikethru;
  if (d.Flags & cdlCFEffects) d.Color = a->font->color;
  return true;
}

bool ScriptedForms::ColorDialog(CommonDialog& d) {
  ShownModal shown;
  shown.kind = ModalKind::Color;
  shown.flags = d.Flags;
  std::optional<Answer> a = Take(shown, QString());
  if (!a || !a->confirm) return false;
  d.Color = *a->color;
  return true;
}

std::optional<QString> ScriptedForms::BrowseForFolder(const FolderRequest& request) {
  ShownModal shown;
  shown.kind = ModalKind::Folder;
  shown.title = request.title;
  shown.text = request.title;
  shown.initDir = request.startPath;
  std::optional<Answer> a = Take(shown, request.title);
  if (!a || !a->text || a->text->isEmpty()) return std::nullopt;
  return a->text;
}

bool ScriptedForms::PrinterDialog(PrinterDialogRequest& r) {
  ShownModal shown;
  shown.kind = ModalKind::Printer;
  shown.text = r.DeviceName;
  shown.flags = static_cast<LONG>(r.Flags);
  std::optional<Answer> a = Take(shown, r.DeviceName);
  if (!a || !a->confirm) return false;
  const PrinterChoice& c = *a->printer;
  if (c.pages) {
    const auto [from, to] = *c.pages;
    const bool offered = !(r.Flags & (PD_PRINTSETUP | PD_NOPAGENUMS)) && r.MinPage < r.MaxPage;
    if (!offered || from < r.MinPage || to > r.MaxPage || from > to) {
      Fail(QStringLiteral("the printer dialog offers no page range %1 to %2").arg(from).arg(to));
      return false;
    }
    r.Flags |= PD_PAGENUMS;
    r.FromPage = from;
    r.ToPage = to;
  } else {
    r.Flags &= ~PD_PAGENUMS;
  }
  if (!c.deviceName.isEmpty()) r.DeviceName = c.deviceName;
  if (c.orientation != 0) r.Orientation = c.orientation;
  r.Copies = c.copies;
  r.Duplex = c.duplex;
  if (!c.port.isEmpty()) r.Port = c.port;
  return true;
}

int ScriptedForms::ShowModal(QWidget* form, QWidget* owner) {
  (void)owner;
  ShownModal shown;
  shown.kind = ModalKind::Window;
  shown.text = form->objectName();
  shown.title = form->windowTitle();
  auto* dialog = qobject_cast<QDialog*>(form);
  std::optional<Answer> a = Take(shown, form->objectName());
  QPointer<QWidget> guard(form);
  if (!a) {
    if (dialog) {
      dialog->reject();
    } else {
      form->close();
    }
    return 0;
  }
  form->show();
  if (a->script) a->script(form);
  if (guard && guard->isVisible()) {
    Fail(QStringLiteral("the modal window \"%1\" is still open after its script").arg(shown.text));
    if (dialog) {
      dialog->reject();
    } else {
      guard->close();
    }
  }
  if (!guard) return 0;
  return dialog ? dialog->result() : 0;
}

void ScriptedForms::DoEvents() {
  ++doEvents_;
  if (onDoEvents_) onDoEvents_();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace forms
