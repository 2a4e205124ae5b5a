// The start-up message naming the drive table's lines that were left out.
#include "drivetablenotice.h"

#include "forms.h"
#include "volumes.h"

namespace app {

QString DriveTableProblemsText(const std::string& tablePath, const std::vector<std::string>& problems) {
  if (problems.empty()) return QString();
  QString text = QStringLiteral("Some lines of the drive table ") + QString::fromStdString(tablePath) +
                 QStringLiteral(" could not be used and were left out; the other drives are available:");
  for (const std::string& p : problems) text += QChar(u'\r') + QString::fromStdString(p);
  return text;
}

void ShowDriveTableProblems() {
  const QString text = DriveTableProblemsText(volumes::DriveTablePath(), volumes::DriveTableWarnings());
  if (!text.isEmpty()) forms::MsgBox(text, forms::vbExclamation, QStringLiteral("Drive Table"));
}

}  // namespace app
