// The label batch's export: the ticked disks as rows of the report table, and the batch's
// report description.
#include "diskexport.h"

#include <exception>

#include "currentprinter.h"
#include "forms.h"
#include "reporttable.h"

namespace printsetup {

bool ExportCheckedDisks(const std::vector<DiskRow>& rows, SHORT batchType, app::PrintJob& job,
                        surface::PrinterObject& printer) {
  try {
    job.LabelMedium = 0;
    job.PrintOutlines = false;
    job.PageColumnCount = 1;
    app::catalog::WriteReportTableHeader(job, QString::fromLatin1(kBatchHeader),
                                         QString::fromLatin1(app::catalog::kDataExportFile));
    bool any = false;
    for (const DiskRow& row : rows) {
      if (!row.checked) continue;
      any = true;
      const QString serial = QString::fromStdU16String(vbrt::Format(row.serial.toStdU16String(), u"0"));
      const QString modified = QString::fromStdU16String(vbrt::Format(row.date, u"M/d/yy h:mm AMPM"));
      app::catalog::AppendReportRow(job, {QStringLiteral(" ") + row.text, serial, row.size, modified, row.note});
    }
    if (!any) {
      forms::MsgBox(QString::fromLatin1(kNoDisksSelected), forms::vbOKOnly | forms::vbExclamation,
                    QStringLiteral("WARNING!"));
      return false;
    }
    job.PrintOutlines = false;
    job.PageColumnCount = 1;
    job.ReportColumnCount = 1;
    job.ReportTitle.clear();
    job.CellAlignFlags = 1;
    job.PrintHeader = true;
    job.ReportFieldNames = QStringList{QStringLiteral("NAME")};
    job.ReportColumnTitles = QStringList{QString()};
    job.ReportColumnWidths = QList<double>{100};
    job.ReportColumnFormats = QStringList{QStringLiteral("L@")};
    printer.SetOrientation(batchType == 9 ? surface::vbPRORLandscape : surface::vbPRORPortrait);
    job.LabelRowCount = batchType == 8 ? 3 : 1;
    job.ReportType = batchType;
    return true;
  } catch (...) {
    const app::catalog::ErrorInfo info = app::catalog::DescribeError(std::current_exception());
    forms::MsgBox(QStringLiteral("ERROR:  ") + QString::number(info.number) + QChar(u'\r') + info.description);
    return false;
  }
}

bool ExportCheckedDisks(const std::vector<DiskRow>& rows, SHORT batchType) {
  return ExportCheckedDisks(rows, batchType, app::Global().print, surface::Printer());
}

}  // namespace printsetup
