// Shared helpers of the page setup tests: a dialog state over a print job, page settings and a
// recording printer of their own, with scripted forms and the preview links recorded.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

#include "appstate.h"
#include "pagesetupstate.h"
#include "recordingsurface.h"
#include "scriptedforms.h"
#include "testing_qt/test_support.h"
#include "windowlinks.h"

namespace printsetup_testing {

class PageSetupTest : public ::testing::Test {
 protected:
  PageSetupTest() : use_(script_) {
    surface::RecordingOptions options;
    options.printer = true;
    printer_ = std::make_unique<surface::RecordingSurface>(options);
    app::PrintJob& job = app_.print;
    // Letter paper with a quarter inch unprintable all round.
    job.PrinterOffsetX = job.PrinterOffsetY = 0.25;
    job.PrintableWidth = 8.0;
    job.PrintableHeight = 10.5;
    job.PageWidth = 8.5;
    job.PageHeight = 11;
    saved_ = app::Links();
    app::Links().PreviewPageCount = [this] { return pages_; };
    app::Links().ReformatPreview = [this] { ++reformats_; };
    app::Links().SetZoomFactor = [this](const QString& code, bool show) {
      zooms_ << code + (show ? QStringLiteral(" show") : QStringLiteral(" hidden"));
    };
    app::Links().ShowPrintPreview = [this] { ++previews_; };
  }
  ~PageSetupTest() override { app::Links() = saved_; }

  // Loaded and shown as the preview's Page Setup command does.
  void Open() {
    state_.Load();
    state_.Activate();
  }
  printsetup::PageSetupControls& C() { return state_.Controls(); }

  app::AppState app_;
  reports::PageSettings page_;
  std::unique_ptr<surface::RecordingSurface> printer_;
  printsetup::PageSetupState state_{app_, page_, [this]() -> surface::PrinterObject& { return *printer_; }};
  forms::ScriptedForms script_{testing_qt::FailTest};
  forms::ScopedForms use_;
  app::WindowLinks saved_;
  SHORT pages_ = 1;
  int reformats_ = 0;
  int previews_ = 0;
  QStringList zooms_;
};

}  // namespace printsetup_testing
