// Label batches: the report table's disks drawn one disk block per label cell of a floppy
// sheet, a Zip case insert sheet, a "ZipSlip" sheet or a Zip label sheet.
#include "reports.h"

namespace reports {

using surface::Surface;

namespace {

// Puts the template kind back when the drawing leaves, by any path.
class KindRestorer {
 public:
  explicit KindRestorer(SHORT& kind) : kind_(kind), saved_(kind) {}
  ~KindRestorer() { kind_ = saved_; }
  KindRestorer(const KindRestorer&) = delete;
  KindRestorer& operator=(const KindRestorer&) = delete;

 private:
  SHORT& kind_;
  SHORT saved_;
};

QVariant FieldOf(const texttable::Recordset& rs, const char* name) {
  const int index = rs.FieldIndex(name);
  return index < 0 ? QVariant(QString()) : QVariant(QString::fromStdString(rs.Field(index)));
}

}  // namespace

// The current row as the disk being printed: a fresh array of 10 elements with the name, the
// serial, the size (also as the free space), the modified date and the note.
void Reports::LoadBatchRecord() {
  const texttable::Recordset& rs = *job_.ReportRecordset;
  QVariantList info(10);
  info[app::kInfoSize] = QString();
  info[app::kInfoFreeSpace] = QString();
  info[app::kInfoName] = FieldOf(rs, "NAME");
  info[app::kInfoSerial] = FieldOf(rs, "DISK_SERIAL_NUMBER");
  info[app::kInfoSize] = FieldOf(rs, "SIZE");
  info[app::kInfoFreeSpace] = FieldOf(rs, "SIZE");
  info[app::kInfoTimeA] = FieldOf(rs, "MODIFIED");
  info[app::kInfoNote] = FieldOf(rs, "NOTE");
  selection_.AddUpdateResult = info;
}

// Floppy labels, three across. A batch fills at most one sheet (the page setup dialog limits
// it to the sheet's 15 labels).
void Reports::PrintDiskLabelBatch(Surface& s, double left, double top, double right) {
  (void)top;
  const auto& rs = job_.ReportRecordset;
  if (!rs || rs->RecordCount() <= 0) return;
  DrawLabelOutline(s);
  rs->MoveFirst();
  const double z = Zoom();
  const double x0 = SurfaceOffset(page_, job_, s.IsPrinter()).x;
  const LabelStock sheet = GetLabelStockOffsets(6, 0);
  const std::int64_t cells = std::int64_t(sheet.columns) * sheet.rows;
  for (std::int64_t i = 0; i < rs->RecordCount() && i < cells && !rs->Eof(); ++i) {
    const int c = static_cast<int>(i % 3);
    const int r = static_cast<int>((i - c) / 3);
    const double l = c == 0 ? left : c == 1 ? (x0 + 3.0) * z : (x0 + 5.75) * z;
    const double rt = c == 0 ? (x0 + 2.75) * z : c == 1 ? (x0 + 5.5) * z : right;
    const double t = job_.PrintTop + (2.0 * r + 1.0 / 16) * z;
    const double b = job_.PrintTop + (2.0 * r + 2) * z;
    LoadBatchRecord();
    PrintDiskBlock(s, l, t, rt, b, true, 13.0 / 8);
    rs->MoveNext();
  }
}

void Reports::PrintLabelBatch(Surface& s, double left, double top, double right) {
  const auto& rs = job_.ReportRecordset;
  const double z = Zoom();
  if (job_.ReportType == 9) {
    // Zip case inserts, 2 x 2 on a landscape sheet, each with its spine texts.
    if (!rs || rs->RecordCount() <= 0) return;
    {
      const KindRestorer restore(job_.TemplateKind);
      job_.TemplateKind = 1;
      DrawLabelSheet(s);
    }
    s.Line(0, 0, 0, 0, kWhite);
    const double h = 23.0 / 6 * z, w = 63.0 / 16 * z;
    rs->MoveFirst();
    for (std::int64_t i = 0; i < rs->RecordCount() && i < 4 && !rs->Eof(); ++i) {
      SetFontFromRecord(s, 3);
      const int c = static_cast<int>(i % 2);
      const int r = static_cast<int>((i - c) / 2);
      const double y = top + r * h, y2 = y + 0.98 * h;
      const double firstEnd = left + 0.6875 * z + w;
      const double x = c == 0 ? left + 0.6875 * z : firstEnd + 0.6875 * z;
      const double panelEnd = c == 0 ? firstEnd : right;
      LoadBatchRecord();
      SpineText(s, InfoText(app::kInfoName), x - 5.0 / 16 * z, y + 0.125, 5.0 / 16 * z);
      const QString number = QStringLiteral("No. ") + SerialText();
      SpineText(s, number, x - 5.0 / 16 * z, y2 - s.TextWidth(number), 5.0 / 16 * z);
      PrintDiskBlock(s, x + 0.15 * z, y + 0.125, panelEnd - 0.2 * z, y2, true, 2.75 * z);
      rs->MoveNext();
    }
    return;
  }
  // "ZipSlip" sheets (8) and Zip disk labels (10): the sheet's cells row by row.
  if (!rs || rs->RecordCount() <= 0) return;
  const KindRestorer restore(job_.TemplateKind);
  if (job_.ReportType == 10) job_.TemplateKind = 2;
  LabelStock g = GetLabelStockOffsets(job_.ReportType, job_.TemplateKind);
  DrawLabelSheet(s);
  if (s.IsPrinter()) {
    g.left -= job_.PrinterOffsetX;
    g.top -= job_.PrinterOffsetY;
  }
  rs->MoveFirst();
  for (int r = 1; r <= g.rows && !rs->Eof(); ++r) {
    for (int c = 1; c <= g.columns && !rs->Eof(); ++c) {
      LoadBatchRecord();
      const double l = g.left + (c - 1) * g.colPitch, t = g.top + (r - 1) * g.rowPitch;
      PrintDiskBlock(s, l * z, t * z, (l + g.cellWidth) * z, (t + g.cellHeight) * z, true, 1.5 * z);
      rs->MoveNext();
    }
  }
}

}  // namespace reports
