// The report tables: the comma-separated files in the program folder that every listing,
// label list and report hands to the printing side, bound as the print job's recordset.
#pragma once

#include <QString>
#include <QStringList>

#include <exception>
#include <filesystem>

namespace app {
struct PrintJob;
}

namespace app::catalog {

// The table files and their header lines.
inline constexpr char kDataExportFile[] = "DATAEXP.TXT";
inline constexpr char kTreeViewFile[] = "TREEVIEW.TXT";
inline constexpr char kSearchHeader[] = "NAME,DISK_SERIAL_NUMBER,LOCATION,SIZE,MODIFIED,NOTE";
inline constexpr char kCatalogListHeader[] = "NAME,DISK_SERIAL_NUMBER,LOCATION,TYPE,MODIFIED,NOTE";
inline constexpr char kCatalogTreeHeader[] = "NAME,DISK_SERIAL_NUMBER,TYPE,SIZE,MODIFIED,NOTE";
inline constexpr char kDriveListHeader[] = "NAME,LOCATION,TYPE,SIZE,MODIFIED";
inline constexpr char kDriveTreeHeader[] = "NAME,TYPE,SIZE,MODIFIED";

// The table file of that name in the program folder.
std::filesystem::path ReportTablePath(const QString& fileName);

// Rewrites the table file with the header line as its only line and binds the print job's
// recordset to it (the recordset bound before is closed first, so its rows are written and
// the file is free to be replaced). Failures throw (texttable::Error) and reach the caller;
// the print job then holds no recordset.
void WriteReportTableHeader(const QString& headerLine, const QString& fileName);
void WriteReportTableHeader(PrintJob& job, const QString& headerLine, const QString& fileName);

// How many times the table file of that name was rewritten in this run. A listing kept in a
// table is still there only while the count is the one read when it was made.
unsigned long ReportTableRewrites(const QString& fileName);

// Appends one row to the bound table, fields by position in header order; fields not given
// stay empty. Throws texttable::Error when no table is bound.
void AppendReportRow(PrintJob& job, const QStringList& values);

// What an error handler shows of the exception being handled: its number and description
// (runtime errors, report table errors; anything else as error 440, "Automation error").
struct ErrorInfo {
  int number = 0;
  QString description;
};
ErrorInfo DescribeError(std::exception_ptr error);
// "ERROR: " + number + CR + description, the form the listing handlers show.
QString ErrorMessage(const ErrorInfo& info);

}  // namespace app::catalog
