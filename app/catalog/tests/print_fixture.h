// The fixture of the print preparation tests: a recording Printer, fresh page settings, the
// disk of the job (a CD), and a preview link that records the rows, orientation and start
// column it was opened with.
#pragma once

#include <string>
#include <vector>

#include "appstate.h"
#include "currentprinter.h"
#include "pagesettings.h"
#include "printviews.h"
#include "recordingsurface.h"
#include "test_support.h"
#include "texttable.h"
#include "windowlinks.h"

namespace catalog_testing {

class Preparation : public catalog_testing::CatalogTest {
 protected:
  Preparation() {
    surface::RecordingOptions options;
    options.printer = true;
    surface::SetPrinter(std::make_unique<surface::RecordingSurface>(options));
    reports::CurrentPageSettings() = reports::PageSettings{};
    state_.selection.AddUpdateResult = QVariantList{qlonglong(2048),
                                                    46000.5,
                                                    46000.25,
                                                    42.0,
                                                    qlonglong(1048576),
                                                    QStringLiteral("Disk"),
                                                    QStringLiteral("CD-RW Disk"),
                                                    QString()};
    app::Links().ShowPrintPreview = [this] {
      ++previews_;
      shownRows_ = Rows();
      shownOrientation_ = reports::CurrentPageSettings().Orientation;
      shownStartColumn_ = state_.print.ZipStartColumn;
    };
    app::Links().RestoreFromCustArray = [this](bool firstPrint) {
      restored_.push_back(firstPrint);
      return true;
    };
  }
  ~Preparation() override {
    app::Links() = app::WindowLinks{};
    surface::SetPrinter(nullptr);
    reports::CurrentPageSettings() = reports::PageSettings{};
  }

  // The rows of the bound report table.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    auto& rs = state_.print.ReportRecordset;
    if (!rs) return rows;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) rows.push_back(rs->Field(0));
    return rows;
  }

  // Root "Disk": Music (folder, 05) > 2003 (folder) > a.mp3 (file, 06); readme.txt (file).
  app::catalog::PrintTreeView Tree() {
    app::catalog::PrintTreeView tree;
    tree.AddRoot(QStringLiteral("Disk"), 2);
    tree.AddNode(QStringLiteral("R"), QStringLiteral("Music"), QStringLiteral("Music"), 5);
    tree.AddNode(QStringLiteral("Music"), QStringLiteral("Music2003"), QStringLiteral("2003"), 5);
    tree.AddNode(QStringLiteral("Music2003"), QString(), QStringLiteral("Ärger.mp3"), 6);
    tree.AddNode(QStringLiteral("R"), QString(), QStringLiteral("readme.txt"), 6);
    return tree;
  }

  app::AppState state_;
  int previews_ = 0;
  std::vector<std::string> shownRows_;
  SHORT shownOrientation_ = 0;
  SHORT shownStartColumn_ = -1;
  std::vector<bool> restored_;
};

}  // namespace catalog_testing
