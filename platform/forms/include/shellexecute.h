// The shell's "open" action: a file opened with the program the desktop associates with it, a
// web address in the browser (ShellExecuteA's role). Paths are native paths here; callers turn
// the program's drive-letter paths into native ones first (platform/volumes). A path's bytes
// that are not UTF-8 stand in its text as U+DC80..U+DCFF (unicode::Policy::kLossless), so a
// name read from a disk opens whatever its bytes.
//
// Answers as ShellExecuteA does: above 32 on success, SE_ERR_FNF (2) when the file does not
// exist, SE_ERR_NOASSOC (31) when the desktop has no program for it. Tests replace the opener
// so that nothing is launched.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace forms {

inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr int kShellExecuteDone = 42;

struct ShellRequest {
  QString operation;   // "open"
  QString file;        // a native path or a web address
  QString parameters;
  QString directory;   // the working folder
  int show = SW_SHOWNORMAL;
};

using ShellOpener = std::function<int(const ShellRequest& request)>;

int ShellExecuteA(QWidget* owner, const QString& operation, const QString& file, const QString& parameters,
                  const QString& directory, int show);

// Replaces the opener (an empty function: back to the desktop's). Returns the previous one.
ShellOpener SetShellOpener(ShellOpener opener);

}  // namespace forms
