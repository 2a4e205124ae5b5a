// Helpers of the preview tests: the application object, report tables written in a temporary
// folder, a stand-in page drawing whose rows have the heights their names ask for, and a
// preview environment over a print job of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "appstate.h"
#include "forms.h"
#include "previewsession.h"
#include "recordingsurface.h"
#include "scriptedforms.h"
#include "testing_qt/test_support.h"
#include "texttable.h"

namespace designer::test {

// A report table with the field NAME and one row per name.
std::shared_ptr<texttable::Recordset> MakeTable(const QTemporaryDir& dir, const std::vector<std::string>& names);
// n names, varied and non-ASCII: "Ärger Ordner 0001 – Überlänge ...".
std::vector<std::string> Names(int n);

// The page drawing's stand-in: a row is lines x 0.25 in tall at zoom 1.0, lines being the
// number of "|" in its name plus one, so that rows wrap as cells with long texts do. It keeps
// the page starts as the table pass does and logs the rows it drew (not counted) by page.
class TableDrawing : public ReportDrawing {
 public:
  TableDrawing(app::PrintJob& job, app::Designer& designer, PageState& pages)
      : job_(job), designer_(designer), pages_(pages) {}

  double PrintReportPage(surface::Surface& s, double left, double top, double right, bool headerFlag) override;
  double PrintDirectoryFooter(surface::Surface&, double, double, double, bool, bool, SHORT) override { return footer; }
  double PrintTableRows(surface::Surface& s, double left, double top, double width, double height, SHORT columns,
                        double gap, bool counting) override;
  void DrawLabelSheet(surface::Surface&) override { ++labelSheets; }
  QString GetReportTitle() override { return title; }
  bool CalcRowHeight(surface::Surface& s, SHORT page) override;
  double PrintTextInRect(surface::Surface& s, double left, double top, const QString& text, double width, double height,
                         UINT flags, double angle) override;

  double header = 0.5;     // inches at zoom 1.0; negative: a page complete in itself
  double footer = 0.25;
  QString title;
  int labelSheets = 0;
  int countingPasses = 0;
  // The rows drawn on the canvas, by page.
  std::map<int, std::vector<std::string>> drawn;

 private:
  app::PrintJob& job_;
  app::Designer& designer_;
  PageState& pages_;
};

// A print job, designer and shell state of the test's own, a printer that records (installed
// as the current Printer), and the environment of a session over them; drawing() is the
// stand-in drawing made last, unless withReports makes the session draw through the Reports
// module.
struct PreviewFixture : ::testing::Test {
  PreviewFixture();
  ~PreviewFixture() override;
  PreviewEnvironment Environment();
  TableDrawing& drawing() { return *drawing_; }
  // A two-column table report of the Reports module ("Directory of D:\Music": name and size),
  // loaded over `names`.
  std::unique_ptr<PreviewSession> OpenTableReport(const std::vector<std::string>& names, SHORT cellTextFlags = 0);

  app::PrintJob job;
  app::Designer designer;
  app::ShellState shell;
  reports::PageSettings pageSetup;
  app::Selection selection;
  bool withReports = false;
  surface::RecordingSurface* printer = nullptr;  // owned as the current Printer
  TableDrawing* drawing_ = nullptr;
  QTemporaryDir dir;
};

// Scripted forms whose failures fail the test.
struct Script {
  forms::ScriptedForms forms{testing_qt::FailTest};
  forms::ScopedForms use{forms};
};

}  // namespace designer::test
