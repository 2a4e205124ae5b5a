// Report table files: rewriting a table with its header, binding it, appending rows.
#include "reporttable.h"

#include <QHash>

#include "appstate.h"
#include "programfolder.h"
#include "texttable.h"
#include "vbrt.h"

namespace app::catalog {

std::filesystem::path ReportTablePath(const QString& fileName) {
  return platform::ProgramFolder() / std::filesystem::path(fileName.toStdString());
}

void WriteReportTableHeader(const QString& headerLine, const QString& fileName) {
  WriteReportTableHeader(Global().print, headerLine, fileName);
}

namespace {
QHash<QString, unsigned long>& Rewrites() {
  static QHash<QString, unsigned long> rewrites;
  return rewrites;
}
}  // namespace

unsigned long ReportTableRewrites(const QString& fileName) { return Rewrites().value(fileName.toUpper()); }

void WriteReportTableHeader(PrintJob& job, const QString& headerLine, const QString& fileName) {
  ++Rewrites()[fileName.toUpper()];
  // Release the table bound now: its buffered rows go out and the file is free.
  if (auto old = std::exchange(job.ReportRecordset, nullptr)) old->Close();
  const auto path = ReportTablePath(fileName);
  texttable::RewriteTable(path, headerLine.toStdString());
  job.ReportRecordset = std::make_shared<texttable::Recordset>(texttable::Recordset::Open(path));
}

void AppendReportRow(PrintJob& job, const QStringList& values) {
  if (!job.ReportRecordset) throw texttable::Error(texttable::kErrObjectClosed, "Object invalid or no longer set.");
  texttable::Recordset& rs = *job.ReportRecordset;
  rs.AddNew();
  const int n = std::min<int>(static_cast<int>(values.size()), rs.FieldCount());
  for (int i = 0; i < n; ++i) rs.SetField(i, values[i].toStdString());
  rs.Update();
}

ErrorInfo DescribeError(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const vbrt::RuntimeError& e) {
    return {e.number(), QString::fromStdU16String(e.description())};
  } catch (const texttable::Error& e) {
    return {e.Number(), QString::fromUtf8(e.what())};
  } catch (const std::bad_alloc&) {
    return {vbrt::ErrOutOfMemory, QString::fromStdU16String(vbrt::ErrorDescription(vbrt::ErrOutOfMemory))};
  } catch (const std::exception& e) {
    return {vbrt::ErrAutomation, QString::fromUtf8(e.what())};
  } catch (...) {
  }
  return {vbrt::ErrAutomation, QString::fromStdU16String(vbrt::ErrorDescription(vbrt::ErrAutomation))};
}

QString ErrorMessage(const ErrorInfo& info) {
  return QStringLiteral("ERROR: ") + QString::number(info.number) + QChar(u'\r') + info.description;
}

}  // namespace app::catalog
