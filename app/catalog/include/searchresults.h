// The search results handed on: as the report table of the print preview ("Search Results")
// and as a saved comma-separated file ("SEARCH.TXT").
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <string>

#include "searchrun.h"

namespace app {
struct PrintJob;
}

namespace app::catalog {

inline constexpr char kSearchResultsFile[] = "SEARCH.TXT";

// The report table row of a result row: NAME (trimmed text and type code),
// DISK_SERIAL_NUMBER (0 for "(none)"), LOCATION, SIZE (trimmed), MODIFIED ("M/d/yy hh:mm
// AMPM"), NOTE.
QStringList SearchReportRow(const ResultRow& row);

// The print job's description of the search results report.
void DescribeSearchReport(PrintJob& job);

// Rewrites "DATAEXP.TXT" with the rows and binds it; progress names each disk row. Throws on
// a table that cannot be written.
void WriteSearchReportTable(PrintJob& job, const QList<ResultRow>& rows,
                            const std::function<void(const QString&)>& progress = {});

// The saved file's text: the header line, then one line per row (name, serial, location,
// size, modified, note), CR LF line ends, UTF-8. Text fields are quoted with inner quotes
// doubled, so a name holding a quote or a comma keeps its columns.
std::string SavedResultsText(const QList<ResultRow>& rows);

// Writes that text to file, replacing it; false (errno kept) when it cannot be written.
bool SaveResultsFile(const std::filesystem::path& file, const QList<ResultRow>& rows);

}  // namespace app::catalog
