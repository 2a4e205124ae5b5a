// The forms runtime's modal services: message and input boxes, the common dialog's file, font
// and colour dialogs, the folder browser, the printer dialog, showing a window modally, the
// screen's mouse pointer and DoEvents.
//
// Every modal of the program goes through one process-wide Forms instance, Current(): the Qt
// implementation (qtforms.h) by default, a ScriptedForms (scriptedforms.h) in tests, which
// answers from a queue and never blocks. Call the free functions below (MsgBox, InputBox,
// CommonDialog::ShowOpen, ShowModal ...), which fill in the defaults and go through Current().
//
// The current instance is shared by every module of the process (the program and the
// component libraries each link this library; the instance is kept on the application
// object), so a test that replaces it also answers the libraries' modals.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "wintypes.h"

class QWidget;

namespace forms {

// ---- Message boxes
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
// Answers.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// ---- Common dialog flags
inline constexpr LONG cdlOFNReadOnly = 0x1;
inline constexpr LONG cdlOFNOverwritePrompt = 0x2;    // the save dialog asks before replacing a file
inline constexpr LONG cdlOFNHideReadOnly = 0x4;
inline constexpr LONG cdlOFNPathMustExist = 0x800;
inline constexpr LONG cdlOFNFileMustExist = 0x1000;
inline constexpr LONG cdlOFNNoReadOnlyReturn = 0x8000;
inline constexpr LONG cdlCFScreenFonts = 0x1;
inline constexpr LONG cdlCFPrinterFonts = 0x2;
inline constexpr LONG cdlCFBoth = 0x3;
inline constexpr LONG cdlCFEffects = 0x100;           // underline, strikeout and the colour choice

// ---- Printer dialog flags (PRINTDLG)
inline constexpr DWORD PD_ALLPAGES = 0x0;
inline constexpr DWORD PD_SELECTION = 0x1;
inline constexpr DWORD PD_PAGENUMS = 0x2;             // in: the page range is chosen; out: the user chose a range
inline constexpr DWORD PD_NOSELECTION = 0x4;
inline constexpr DWORD PD_NOPAGENUMS = 0x8;
inline constexpr DWORD PD_PRINTSETUP = 0x40;          // printer setup: printer, paper, orientation only
inline constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x40000;

// ---- Screen mouse pointer
inline constexpr int vbDefault = 0;
inline constexpr int vbArrow = 1;
inline constexpr int vbCrosshair = 2;
inline constexpr int vbIbeam = 3;
inline constexpr int vbSizePointer = 5;
inline constexpr int vbSizeNESW = 6;
inline constexpr int vbSizeNS = 7;
inline constexpr int vbSizeNWSE = 8;
inline constexpr int vbSizeWE = 9;
inline constexpr int vbUpArrow = 10;
inline constexpr int vbHourglass = 11;
inline constexpr int vbNoDrop = 12;
inline constexpr int vbArrowHourglass = 13;
inline constexpr int vbSizeAll = 15;

// The program's name: the default title of message and input boxes.
QString AppTitle();
void SetAppTitle(const QString& title);

struct MessageRequest {
  QString prompt;       // line breaks: CR, LF or CRLF
  int buttons = vbOKOnly;  // buttons + icon + default button
  QString title;        // the program's name when empty
  QWidget* owner = nullptr;
};

struct InputRequest {
  QString prompt;
  QString title;
  QString defaultText;
  QWidget* owner = nullptr;
};

struct FolderRequest {
  QString title;
  QString startPath;    // where the browser starts; empty: the home folder
  QWidget* owner = nullptr;
};

// The printer dialog's record: what the caller primes it with and what the user chose.
struct PrinterDialogRequest {
  DWORD Flags = 0;              // PD_*; on OK, PD_PAGENUMS tells whether a page range was chosen
  WORD FromPage = 0;
  WORD ToPage = 0;
  WORD MinPage = 0;             // the page range can be chosen only when MinPage < MaxPage
  WORD MaxPage = 0;
  QString DeviceName;           // in: the current printer; out: the chosen one
  SHORT Orientation = 1;        // 1 portrait, 2 landscape
  SHORT Duplex = 1;             // 1 simplex, 2 long edge, 3 short edge
  SHORT Copies = 1;
  QString Port;                 // out: the file the PDF printer is to write, when chosen
  QWidget* owner = nullptr;
};

// The common dialog control: set the properties, call a Show method. Cancel raises the
// runtime's error 32755 (vbrt::RuntimeError) when CancelError is set, and changes nothing.
struct CommonDialog {
  // File dialogs
  QString DialogTitle;
  QString InitDir;
  QString FileName;     // in: a name to offer, or a pattern ("*.DKC"); out: the chosen path
  QString FileTitle;    // out: the chosen file's name without its folder
  QString Filter;       // "Text|pattern|Text|pattern", several patterns joined by ";"
  int FilterIndex = 1;  // 1-based: the filter offered first; out: the one chosen
  QString DefaultExt;   // added (with a ".") to a name typed without an extension
  // Font and colour dialogs
  QString FontName;
  double FontSize = 8.0;
  bool FontBold = false;
  bool FontItalic = false;
  bool FontUnderline = false;
  bool FontStrikethru = false;
  LONG Color = 0;       // 0x00BBGGRR
  // Both
  LONG Flags = 0;
  bool CancelError = true;
  QWidget* Owner = nullptr;

  void ShowOpen();
  void ShowSave();
  void ShowFont();
  void ShowColor();
};

// What a font dialog answers.
struct FontChoice {
  QString name;
  double size = 8.0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethru = false;
  LONG color = 0;
};

enum class FileDialogKind { Open, Save };

// The interface every modal goes through. Implementations fill the request's results and
// report whether the user confirmed; they never raise the cancel error themselves.
class Forms {
 public:
  virtual ~Forms() = default;
  // The answer: vbOK, vbCancel, vbYes or vbNo.
  virtual int MessageBox(const MessageRequest& request) = 0;
  // The text entered; nothing on Cancel.
  virtual std::optional<QString> InputBox(const InputRequest& request) = 0;
  // On OK: FileName (the full path), FileTitle and FilterIndex set.
  virtual bool FileDialog(CommonDialog& dialog, FileDialogKind kind) = 0;
  // On OK: the dialog's font properties and Color set.
  virtual bool FontDialog(CommonDialog& dialog) = 0;
  // On OK: Color set.
  virtual bool ColorDialog(CommonDialog& dialog) = 0;
  // The chosen folder; nothing on Cancel.
  virtual std::optional<QString> BrowseForFolder(const FolderRequest& request) = 0;
  // On OK: the request holds the choice.
  virtual bool PrinterDialog(PrinterDialogRequest& request) = 0;
  // Shows a window modally and returns when it is closed (hidden or destroyed): for a QDialog
  // its result code, otherwise 0.
  virtual int ShowModal(QWidget* form, QWidget* owner) = 0;
  virtual void SetScreenMousePointer(int pointer) = 0;
  virtual int ScreenMousePointer() const = 0;
  virtual void DoEvents() = 0;
};

// The instance the program's windows call.
Forms& Current();
// Replaces it (nullptr: back to the Qt implementation). The caller keeps ownership.
void SetCurrent(Forms* forms);

// Replaces the current instance for a scope.
class ScopedForms {
 public:
  explicit ScopedForms(Forms& forms);
  ~ScopedForms();
  ScopedForms(const ScopedForms&) = delete;
  ScopedForms& operator=(const ScopedForms&) = delete;

 private:
  Forms* previous_;
};

// MsgBox (prompt, buttons, title): 5 for buttons other than OK, OK/Cancel, Yes/No and
// Yes/No/Cancel.
int MsgBox(const QString& prompt, int buttons = vbOKOnly, const QString& title = QString());
// InputBox (prompt, title, default): the text entered, or "" on Cancel.
QString InputBox(const QString& prompt, const QString& title = QString(), const QString& defaultText = QString());
// The folder browser: on OK the chosen folder goes into path and the result is true; on
// Cancel path is left as the caller set it.
bool BrowseForFolder(QString& path, const QString& title, QWidget* owner = nullptr);
// The printer dialog: true when confirmed (the request then holds the choice); on Cancel the
// request is left as it was.
bool ShowPrinterDialog(PrinterDialogRequest& request);
// Shows a window modally (Show vbModal).
int ShowModal(QWidget* form, QWidget* owner = nullptr);
// Screen.MousePointer: vbHourglass while busy, vbDefault after.
void SetScreenMousePointer(int pointer);
int ScreenMousePointer();
// Lets the event loop process pending events.
void DoEvents();

}  // namespace forms
