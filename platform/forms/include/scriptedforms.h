// The forms services for tests: every modal takes the next answer of a queue that the test
// fills beforehand, and is logged. A modal that the queue does not expect (nothing queued, or
// an answer of another kind, or a prompt that does not contain the expected text) never
// blocks: it is reported to the failure handler and answered as Cancel would answer it (the
// Escape button of a message box, No for Yes/No; a window shown modally is closed untouched).
//
//   forms::ScriptedForms script([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
//   forms::ScopedForms use(script);
//   script.ExpectMessage(forms::vbYes, "already exists").ExpectSave(std::nullopt);
//   ... run the code under test ...
//   EXPECT_TRUE(script.Done());
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "forms.h"

namespace forms {

enum class ModalKind { Message, Input, OpenFile, SaveFile, Font, Color, Folder, Printer, Window };
const char* ModalKindName(ModalKind kind);

// One modal as it was shown.
struct ShownModal {
  ModalKind kind = ModalKind::Message;
  QString title;        // message and input boxes: the title as shown (the program's name by default)
  QString text;         // the prompt; file dialogs: the dialog title; windows: the objectName
  int buttons = 0;      // message boxes
  QString fileName;     // file dialogs: the name offered; input boxes: the default text
  QString initDir;      // file dialogs
  QString filter;       // file dialogs
  LONG flags = 0;       // common and printer dialogs
};

// The printer dialog's answer: applied onto the request.
struct PrinterChoice {
  QString deviceName;       // empty: the request's own
  std::optional<std::pair<WORD, WORD>> pages;  // a chosen range (sets PD_PAGENUMS); nothing: all pages
  SHORT copies = 1;
  SHORT duplex = 1;
  SHORT orientation = 0;    // 0: the request's own
  QString port;
};

class ScriptedForms : public Forms {
 public:
  using FailureHandler = std::function<void(const QString& message)>;
  // Without a handler an unexpected modal prints the message and aborts the process.
  explicit ScriptedForms(FailureHandler onFailure = FailureHandler());
  // Answers left in the queue are reported as failures.
  ~ScriptedForms() override;

  // Queue answers, in the order the modals will come. expectText, when given, must be
  // contained in the modal's prompt (message and input boxes), title (file dialogs) or be
  // the window's objectName (windows).
  ScriptedForms& ExpectMessage(int answer, const QString& expectText = QString());
  ScriptedForms& ExpectInput(std::optional<QString> answer, const QString& expectText = QString());
  ScriptedForms& ExpectOpen(std::optional<QString> path, const QString& expectTitle = QString());
  ScriptedForms& ExpectSave(std::optional<QString> path, const QString& expectTitle = QString());
  ScriptedForms& ExpectFont(std::optional<FontChoice> font);
  ScriptedForms& ExpectColor(std::optional<LONG> color);
  ScriptedForms& ExpectFolder(std::optional<QString> path);
  ScriptedForms& ExpectPrinter(std::optional<PrinterChoice> choice);
  // A window shown modally: the window is shown (not modally), the script runs with it and
  // is expected to close it (click its OK, call close()); a window still open afterwards is a
  // failure and is closed. The result is the QDialog's result code, else 0.
  ScriptedForms& ExpectWindow(const QString& objectName, std::function<void(QWidget* form)> script);
  // A message box shown for real, as the program shows it (a Qt box run modally, owned as the
  // program's boxes are). The script runs with the box from the box's own modal loop and is
  // expected to answer it through the box's input as a user would (key presses or clicks sent
  // to the box's window); a box still open afterwards is a failure and is closed. The answer
  // is the button the box was answered with.
  ScriptedForms& ExpectRealMessage(const QString& expectText, std::function<void(QWidget* box)> script);

  // Everything shown so far, in order.
  const std::vector<ShownModal>& Shown() const { return shown_; }
  // The failures reported so far.
  const std::vector<QString>& Failures() const { return failures_; }
  // True when every queued answer was used and nothing failed.
  bool Done() const { return Pending() == 0 && failures_.empty(); }
  size_t Pending() const;

  // DoEvents: the count of calls, and an action run at each call (before the events are
  // processed), to act as the user would between two yields.
  int DoEventsCount() const { return doEvents_; }
  void OnDoEvents(std::function<void()> action) { onDoEvents_ = std::move(action); }

  int MessageBox(const MessageRequest& request) override;
  std::optional<QString> InputBox(const InputRequest& request) override;
  bool FileDialog(CommonDialog& dialog, FileDialogKind kind) override;
  bool FontDialog(CommonDialog& dialog) override;
  bool ColorDialog(CommonDialog& dialog) override;
  std::optional<QString> BrowseForFolder(const FolderRequest& request) override;
  bool PrinterDialog(PrinterDialogRequest& request) override;
  int ShowModal(QWidget* form, QWidget* owner) override;
  void SetScreenMousePointer(int pointer) override { pointer_ = pointer; }
  int ScreenMousePointer() const override { return pointer_; }
  void DoEvents() override;

 private:
  struct Answer;
  Answer& Queue(ModalKind kind, const QString& expect);
  // The next answer if it is of that kind and matches; reports a failure otherwise.
  std::optional<Answer> Take(const ShownModal& shown, const QString& matchText);
  void Fail(const QString& message);
  int RealMessageBox(const MessageRequest& request, const std::function<void(QWidget*)>& script);

  FailureHandler onFailure_;
  std::vector<Answer> queue_;   // answers in order; next_ is the first one not used
  size_t next_ = 0;
  std::vector<ShownModal> shown_;
  std::vector<QString> failures_;
  int pointer_ = vbDefault;
  int doEvents_ = 0;
  std::function<void()> onDoEvents_;
};

}  // namespace forms
