// The shell's "open" action over the desktop's URL handlers, replaceable for tests.
#include "shellexecute.h"

#include <sys/stat.h>

#include <QDesktopServices>
#include <QUrl>
#include <string>

#include "unicode.h"

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
    // The path's own bytes: a name that is not UTF-8 stands in the text as U+DC80..U+DCFF.
    const std::string bytes = unicode::Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(request.file.utf16()), size_t(request.file.size())),
        unicode::Policy::kLossless);
    struct stat st;
    if (bytes.empty() || ::stat(bytes.c_str(), &st) != 0) return SE_ERR_FNF;
    // Percent-encoded bytes keep such a name whole in the address handed to the desktop.
    url = QUrl::fromEncoded(QByteArray("file://") + QByteArray::fromStdString(bytes).toPercentEncoding("/"),
                            QUrl::StrictMode);
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
