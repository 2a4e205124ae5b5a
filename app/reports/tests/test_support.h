// The reports tests' fixture: a print job with the report fonts, the designer's zoom, the
// selection, page settings, a recording canvas or printer, and report tables on disk.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "recordingsurface.h"
#include "reports.h"
#include "texttable.h"

namespace reports::testing {

using surface::Primitive;
using surface::RecordingOptions;
using surface::RecordingSurface;

// A rotated-text service that only records its calls.
struct RotatedCall {
  QString text;
  int angle = 0;
  LONG left = 0, top = 0, right = 0, bottom = 0;
};

class ReportsTest : public ::testing::Test {
 protected:
  ReportsTest() {
    for (int slot = 0; slot < 9; ++slot) {
      app::FontSlot& f = job.FontTable[slot];
      f.FontName = QStringLiteral("Arial");
      f.FontSize = slot == 3 ? 14 : slot == 5 ? 8 : 10;
    }
    job.PageWidth = 8.5;
    job.PageHeight = 11.0;
    job.PrintLeft = job.PrintTop = 0.5;
    job.PrintRight = 8.0;
    job.PrintBottom = 10.5;
    reports.SetRotatedText([this](HDC, const QString& text, int angle, LONG l, LONG t, LONG r, LONG b,
                                  const QString&, SHORT, LONG, LONG, LONG, LONG) {
      rotated.push_back({text, angle, l, t, r, b});
    });
  }

  // A surface of `dpi` (fine enough that label geometry is exact in the log).
  static std::unique_ptr<RecordingSurface> Canvas(double dpi = 2000) {
    RecordingOptions o;
    o.dpi = dpi;
    return std::make_unique<RecordingSurface>(o);
  }
  static std::unique_ptr<RecordingSurface> PrinterSurface(double offset, double dpi = 2000) {
    RecordingOptions o;
    o.dpi = dpi;
    o.printer = true;
    o.offsetX = o.offsetY = offset;
    return std::make_unique<RecordingSurface>(o);
  }

  // Writes a report table and makes it the job's recordset.
  void UseTable(const std::string& header, const std::vector<std::vector<std::string>>& rows) {
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path file = dir.filePath(QStringLiteral("DATAEXP.TXT")).toStdString();
    job.ReportRecordset.reset();
    texttable::RewriteTable(file, header);
    auto rs = std::make_shared<texttable::Recordset>(texttable::Recordset::Open(file));
    const int fields = rs->FieldCount();
    for (const auto& row : rows) {
      rs->AddNew();
      for (int i = 0; i < fields && i < static_cast<int>(row.size()); ++i) rs->SetField(i, row[i]);
      rs->Update();
    }
    rs->MoveFirst();
    job.ReportRecordset = rs;
  }

  static std::vector<Primitive> Of(const RecordingSurface& s, Primitive::Kind kind) { return s.Logged(kind); }

  app::PrintJob job;
  app::Designer designer;
  app::Selection selection;
  PageSettings page;
  Reports reports{job, designer, selection, page};
  std::vector<RotatedCall> rotated;
  QTemporaryDir dir;
};

}  // namespace reports::testing
