// The shell's "open" action over the desktop's URL handlers, replaceable for tests.
#include "shellexecute.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace forms {

namespace {

ShellOpener& Opener() {
  static ShellOpener opener;
  return opener;
}

bool IsWebAddress(const QString& text) {
  static const char* const schemes[] = {"http:", "https:", "mailto:", "ftp:"};
  for (const char* scheme : schemes) {
    if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) return true;
  }
  return false;
}

int DesktopOpen(const ShellRequest& request) {
  QUrl url;
  if (IsWebAddress(request.file)) {
    url = QUrl(request.file);
  } else {
    if (request.file.isEmpty() || !QFileInfo::exists(request.file)) return SE_ERR_FNF;
    url = QUrl::fromLocalFile(request.file);
  }
  return QDesktopServices::openUrl(url) ? kShellExecuteDone : SE_ERR_NOASSOC;
}

}  // namespace

int ShellExecuteA(QWidget* owner, const QString& operation, const QString& file, const QString& parameters,
                  const QString& directory, int show) {
  (void)owner;
  ShellRequest request{operation, file, parameters, directory, show};
  return Opener() ? Opener()(request) : DesktopOpen(request);
}

ShellOpener SetShellOpener(ShellOpener opener) {
  ShellOpener previous = std::move(Opener());
  Opener() = std::move(opener);
  return previous;
}

}  // namespace forms
