// Search results as the print preview's report table and as the saved results file.
#include "searchresults.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "appstate.h"
#include "itemtypes.h"
#include "reporttable.h"
#include "texttable.h"

namespace app::catalog {

namespace {

QString Quoted(const QString& text) {
  QString s = text;
  s.replace(u'"', QStringLiteral("\"\""));
  return QStringLiteral("\"") + s + QStringLiteral("\"");
}

bool WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

QStringList SearchReportRow(const ResultRow& row) {
  const bool numeric = vbrt::IsNumeric(row.serial.toStdU16String());
  return {row.text.trimmed() + row.tag,
          numeric ? row.serial : QStringLiteral("0"),
          row.location,
          row.size.trimmed(),
          ShortDateText2(row.date),
          row.note};
}

void DescribeSearchReport(PrintJob& job) {
  job.ReportType = 1;
  job.LabelMedium = 0;
  job.ReportTitle = QStringLiteral("Search Results");
  job.ReportColumnCount = 6;
  job.PageColumnCount = 1;
  job.CellAlignFlags = 1;
  job.PrintHeader = true;
  job.PrintFooter = true;
  job.PrintOutlines = false;
  job.ReportFieldNames = {"NAME", "DISK_SERIAL_NUMBER", "LOCATION", "SIZE", "MODIFIED", "NOTE"};
  job.ReportColumnTitles = QStringList{"Name", "Serial #", "Location", "Size", "Modified", "Note"};
  job.ReportColumnWidths = {16, 9, 30, 8, 12, 25};
  job.ReportColumnFormats = {"IL@", "R@", "L@", "R@", "R@", "L@"};
}

void WriteSearchReportTable(PrintJob& job, const QList<ResultRow>& rows,
                            const std::function<void(const QString&)>& progress) {
  WriteReportTableHeader(job, QString::fromLatin1(kSearchHeader), QString::fromLatin1(kDataExportFile));
  if (job.ReportRecordset->RecordCount() != 0) return;
  for (const ResultRow& row : rows) {
    AppendReportRow(job, SearchReportRow(row));
    if (progress && row.tag < u"05") progress(QStringLiteral("Formating for print: ") + row.text.trimmed());
  }
}

std::string SavedResultsText(const QList<ResultRow>& rows) {
  QString text = QString::fromLatin1(kSearchHeader) + QStringLiteral("\r\n");
  for (const ResultRow& row : rows) {
    text += Quoted(row.text.trimmed()) + u',' + row.serial + u',' + Quoted(row.location) + u',' +
            Quoted(row.size.trimmed()) + u',' + ShortDateText2(row.date) + u',' + Quoted(row.note) +
            QStringLiteral("\r\n");
  }
  return text.toStdString();
}

bool SaveResultsFile(const std::filesystem::path& file, const QList<ResultRow>& rows) {
  const std::string text = SavedResultsText(rows);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  const int saved = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = saved;
  return ok;
}

}  // namespace app::catalog
