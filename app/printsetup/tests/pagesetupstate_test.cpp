// The page setup dialog's general page and life cycle: box checks and their messages, the
// commit and re-format of OK, Cancel, orientation, the tabs by report type and the dialog
// count.
#include "test_support.h"

#include "vbrt.h"

[[maybe_unused]] auto* const environment = testing_qt::AddQtEnvironment<QApplication>("printsetup_tests");

namespace printsetup_testing {
namespace {

using printsetup::Box;

TEST_F(PageSetupTest, BoxesRefuseTextThatIsNoNumberOrOutOfRange) {
  struct Case {
    Box box;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {printsetup::kXoff, "abc", "Please Enter a numeric value."},
      {printsetup::kYoff, "10.5", "The specified offset is invalid."},
      {printsetup::kLeftMarg, "abc", "Please Enter a numeric value."},
      // 12 is refused as an offset, before any band check.
      {printsetup::kRightMarg, "12", "The specified offset is invalid."},
      {printsetup::kBottMarg, "-10.01", "The specified offset is invalid."},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const double before = page_.LeftMargin;
    script_.ExpectMessage(forms::vbOK, c.message);
    state_.SetBoxText(c.box, c.text);
    EXPECT_FALSE(state_.BoxLostFocus(c.box));
    ASSERT_TRUE(script_.Done());
    const forms::ShownModal& shown = script_.Shown().back();
    EXPECT_EQ(shown.text, c.message);
    EXPECT_EQ(shown.title, "ERROR!");
    EXPECT_EQ(shown.buttons, forms::vbOKOnly | forms::vbCritical);
    EXPECT_EQ(C().boxes[c.box], c.text);  // kept for the user to correct
    EXPECT_EQ(C().focusBox, c.box);
    EXPECT_EQ(page_.LeftMargin, before);
  }
  EXPECT_EQ(script_.Shown().size(), std::size(cases));
}

TEST_F(PageSetupTest, AMarginInsideTheUnprintableBandBecomesTheBandRoundedUp) {
  // Right band 8.5 - (8.0 + 0.25) = 0.25; the bottom band carries the arithmetic's noise.
  app_.print.PrintableHeight = 10.5 - 1e-12;
  Open();
  struct Case {
    Box box;
    const char* typed;
    const char* message;  // nullptr: accepted
    const char* after;
    double setting;
  };
  const Case cases[] = {
      {printsetup::kLeftMarg, "0.25", nullptr, "0.25", 0.25},
      {printsetup::kLeftMarg, "0.24", "Left margin is set outside of the printable area of the page.", "0.25", 0.25},
      {printsetup::kTopMarg, "0.1", "Top margin is set outside of the printable area of the page.", "0.25", 0.25},
      {printsetup::kRightMarg, "0.24", "Right margin is set outside of the printable area of the page.", "0.25", 0.25},
      {printsetup::kRightMarg, "1.5", nullptr, "1.5", 1.5},
      {printsetup::kBottMarg, "0.25", nullptr, "0.25", 0.25},
      {printsetup::kBottMarg, "0", "Bottom margin is set outside of the printable area of the page.", "0.25", 0.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + " in box " + std::to_string(c.box));
    if (c.message) script_.ExpectMessage(forms::vbOK, c.message);
    state_.SetBoxText(c.box, c.typed);
    EXPECT_EQ(state_.BoxLostFocus(c.box), c.message == nullptr);
    ASSERT_TRUE(script_.Done());
    if (c.message) {
      EXPECT_EQ(script_.Shown().back().title, forms::AppTitle());
      EXPECT_EQ(script_.Shown().back().buttons, forms::vbOKOnly);
    }
    EXPECT_EQ(C().boxes[c.box], c.after);
    EXPECT_DOUBLE_EQ(c.box == printsetup::kLeftMarg    ? page_.LeftMargin
                     : c.box == printsetup::kTopMarg   ? page_.TopMargin
                     : c.box == printsetup::kRightMarg ? page_.RightMargin
                                                       : page_.BottomMargin,
                     c.setting);
  }
}

TEST_F(PageSetupTest, OkChecksEveryBoxAndARefusedBoxKeepsTheDialogOpen) {
  Open();
  state_.SetBoxText(printsetup::kXoff, "0.3");
  state_.SetBoxText(printsetup::kTopMarg, "abc");
  script_.ExpectMessage(forms::vbOK, "Please Enter a numeric value.");
  state_.Ok();
  EXPECT_TRUE(script_.Done());
  EXPECT_TRUE(state_.Shown());
  EXPECT_EQ(app_.print.LabelOffsetX, 0.0);
  EXPECT_EQ(reformats_, 0);
  EXPECT_TRUE(zooms_.isEmpty());

  state_.SetBoxText(printsetup::kTopMarg, "0.75");
  state_.Ok();
  EXPECT_FALSE(state_.Shown());
  EXPECT_EQ(app_.print.LabelOffsetX, 0.3);
  EXPECT_EQ(page_.TopMargin, 0.75);
  EXPECT_EQ(reformats_, 1);  // a margin changed
  EXPECT_FALSE(app_.print.PageSetupChanged);
}

TEST_F(PageSetupTest, OkRefusesMarginsThatLeaveNoRoomOnThePaper) {
  // Letter paper: 8.5 in wide and 11 in high upright, the other way round in landscape.
  struct Case {
    const char* name;
    SHORT orientation;  // 1 portrait, 2 landscape
    const char* top;
    const char* bottom;
    const char* left;
    const char* right;
    const char* message;  // nullptr: accepted
    Box focus;
  };
  const Case cases[] = {
      {"room left upright", 1, "5", "5.9", "4", "4.4", nullptr, printsetup::kTopMarg},
      {"top and bottom meet", 1, "5.5", "5.5", "0.5", "0.5",
       "Bottom margin is set outside of the printable area of the page.", printsetup::kBottMarg},
      {"left and right cross", 1, "0.5", "0.5", "6", "4",
       "Right margin is set outside of the printable area of the page.", printsetup::kRightMarg},
      {"fits upright, not turned", 2, "4.5", "4.5", "0.5", "0.5",
       "Bottom margin is set outside of the printable area of the page.", printsetup::kBottMarg},
      {"room left turned", 2, "4", "4", "5", "5.5", nullptr, printsetup::kTopMarg},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open();
    state_.OrientationClick(c.orientation);
    state_.SetBoxText(printsetup::kTopMarg, c.top);
    state_.SetBoxText(printsetup::kBottMarg, c.bottom);
    state_.SetBoxText(printsetup::kLeftMarg, c.left);
    state_.SetBoxText(printsetup::kRightMarg, c.right);
    if (c.message) script_.ExpectMessage(forms::vbOK, c.message);
    state_.Ok();
    ASSERT_TRUE(script_.Done());
    if (c.message) {
      // The dialog stays open with the boxes as typed, and nothing reaches the preview.
      EXPECT_TRUE(state_.Shown());
      EXPECT_EQ(C().focusBox, c.focus);
      EXPECT_EQ(C().boxes[printsetup::kTopMarg], c.top);
      EXPECT_EQ(C().boxes[printsetup::kRightMarg], c.right);
      EXPECT_EQ(reformats_, 0);
      state_.Cancel();
    } else {
      EXPECT_FALSE(state_.Shown());
      EXPECT_EQ(page_.BottomMargin, vbrt::CDbl(QString::fromLatin1(c.bottom).toStdU16String()));
    }
    reformats_ = 0;
    state_.Unload();
  }
}

TEST_F(PageSetupTest, OkLeavesAMarginTheLabelJobSetButChecksOneTheUserChanged) {
  page_.RightMargin = 0;  // a ZipSlip sheet, inside the printer's band of 0.25
  Open();
  state_.Ok();
  EXPECT_FALSE(state_.Shown());
  EXPECT_EQ(page_.RightMargin, 0);

  state_.Activate();
  state_.SetBoxText(printsetup::kRightMarg, "0.1");
  script_.ExpectMessage(forms::vbOK, "Right margin is set outside of the printable area of the page.");
  state_.Ok();
  EXPECT_TRUE(script_.Done());
  EXPECT_TRUE(state_.Shown());
  EXPECT_EQ(C().boxes[printsetup::kRightMarg], "0.25");
}

TEST_F(PageSetupTest, ReformatAsksFromFiftyOnePagesAndNoStoresNothing) {
  Open();
  // 50 pages re-format without a question.
  pages_ = 50;
  state_.SingleClick(true);
  state_.Ok();
  EXPECT_EQ(reformats_, 1);
  EXPECT_TRUE(app_.print.ForceSingleLabel);

  pages_ = 51;
  state_.Activate();
  state_.SingleClick(false);
  state_.SetBoxText(printsetup::kLeftMarg, "1");
  const char* question =
      "Your change requires a re-format of the 51 pages in your report.  This process could take some time to "
      "complete.  Do you wish to continue?";
  script_.ExpectMessage(forms::vbNo, question);
  state_.Ok();
  ASSERT_TRUE(script_.Done());
  EXPECT_EQ(script_.Shown().back().title, "Xendora");
  EXPECT_EQ(script_.Shown().back().buttons, forms::vbYesNo);
  // Open, the boxes as typed, nothing stored.
  EXPECT_TRUE(state_.Shown());
  EXPECT_EQ(C().boxes[printsetup::kLeftMarg], "1");
  EXPECT_TRUE(app_.print.ForceSingleLabel);
  EXPECT_FALSE(app_.print.PageSetupChanged);
  EXPECT_EQ(reformats_, 1);

  // OK asks again; Yes stores and re-formats.
  script_.ExpectMessage(forms::vbYes, question);
  state_.Ok();
  EXPECT_TRUE(script_.Done());
  EXPECT_FALSE(state_.Shown());
  EXPECT_FALSE(app_.print.ForceSingleLabel);
  EXPECT_EQ(reformats_, 2);
}

TEST_F(PageSetupTest, AFontNameOnlyChangeMarksNothingAndTheSavedZoomComesBack) {
  app_.print.FontTable[5].FontName = "Arial";
  app_.print.FontTable[5].FontSize = 8;
  app_.designer.ZoomFactor = 0.85;
  pages_ = 200;
  Open();
  EXPECT_EQ(C().fontName, "Arial");
  EXPECT_EQ(C().fontSize, "8pt");
  state_.FontNameChosen("Times New Roman");
  state_.Ok();
  EXPECT_EQ(app_.print.FontTable[5].FontName, "Times New Roman");
  EXPECT_EQ(reformats_, 0);
  EXPECT_EQ(zooms_, QStringList{"85PC show"});

  // A size change does mark the setup.
  state_.Activate();
  state_.FontSizeChosen("6pt");
  script_.ExpectMessage(forms::vbYes, "re-format of the 200 pages");
  state_.Ok();
  EXPECT_EQ(app_.print.FontTable[5].FontSize, 6);
  EXPECT_EQ(reformats_, 1);
}

TEST_F(PageSetupTest, CancelRestoresTheBoxesAndTheStartPosition) {
  app_.print.LabelMedium = 1;
  Open();
  state_.CellClick(printsetup::kFloppyGrid, 4);
  state_.Ok();
  ASSERT_EQ(page_.StartPosition, 4);
  const auto boxes = C().boxes;
  const reports::PageSettings committed = page_;

  state_.Activate();
  state_.CellClick(printsetup::kFloppyGrid, 9);
  state_.SetBoxText(printsetup::kTopMarg, "3.3");
  state_.Cancel();
  EXPECT_FALSE(state_.Shown());
  EXPECT_EQ(C().boxes, boxes);
  EXPECT_EQ(page_.StartPosition, 4);
  EXPECT_EQ(page_.TopMargin, committed.TopMargin);
  EXPECT_EQ(page_.BottomMargin, committed.BottomMargin);
  EXPECT_EQ(C().cellColors[printsetup::kFloppyGrid][4], printsetup::kCellRed);
  EXPECT_EQ(C().cellColors[printsetup::kFloppyGrid][9], printsetup::kCellWhite);
}

TEST_F(PageSetupTest, ReportTypesOfLabelBatchesAndUserLabelsLoseTheCustomTab) {
  struct Case {
    SHORT reportType;
    SHORT labelMedium;
    bool customTab;
  };
  const Case cases[] = {{10, 2, true}, {1, 0, true},  {6, 0, true},   {7, 0, false},
                        {8, 0, false}, {9, 0, false}, {11, 0, false}, {12, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reportType);
    app_.print.ReportType = c.reportType;
    app_.print.LabelMedium = c.labelMedium;
    Open();
    const auto& tabs = C().tabs;
    const bool hasCustom =
        std::any_of(tabs.begin(), tabs.end(), [](const printsetup::Tab& t) { return t.key == "CUST"; });
    EXPECT_EQ(hasCustom, c.customTab);
    if (c.reportType == 10) {
      EXPECT_TRUE(C().landscapeEnabled || C().portraitEnabled);
      EXPECT_EQ(C().marginsCaption, reports::kPreviewMarginsCaption);
    }
    if (!c.customTab) {
      EXPECT_FALSE(C().portraitEnabled);
      EXPECT_FALSE(C().landscapeEnabled);
      EXPECT_EQ(C().marginsCaption, reports::kPrintOutlinesCaption);
      EXPECT_TRUE(page_.OutlinesCaption);
    }
    // Paper reports caption the custom tab "Font" only where it is present.
    if (c.labelMedium == 0 && c.customTab) EXPECT_EQ(tabs.back().caption, "Font");
    state_.Unload();
  }
  EXPECT_EQ(app_.shell.OpenDialogCount, 0);
}

TEST_F(PageSetupTest, OrientationSetsThePrinterAndThePage) {
  // Portrait for a floppy label gives the label's page, whatever the printer has.
  app_.print.LabelMedium = 1;
  Open();
  EXPECT_EQ(app_.print.PageWidth, 2.9);
  EXPECT_EQ(app_.print.PageHeight, 2.4);
  EXPECT_FALSE(app_.print.PageSetupChanged);  // the printer's own orientation marks nothing
  state_.Unload();

  app_.print.LabelMedium = 0;
  Open();
  EXPECT_EQ(app_.print.PageWidth, 8.5);
  state_.OrientationClick(2);
  state_.Ok();
  EXPECT_EQ(printer_->Orientation(), surface::vbPRORLandscape);
  EXPECT_EQ(app_.print.PageWidth, 11);
  EXPECT_EQ(app_.print.PageHeight, 8.5);
  EXPECT_EQ(page_.Orientation, 2);
  EXPECT_EQ(reformats_, 1);
}

// A printer that refuses every orientation.
class RefusingPrinter : public surface::RecordingSurface {
 public:
  using RecordingSurface::RecordingSurface;
  void SetOrientation(SHORT) override { throw vbrt::RuntimeError(482); }
};

TEST_F(PageSetupTest, AnErrorDuringOkIsShownAndOkGoesOn) {
  surface::RecordingOptions options;
  options.printer = true;
  printer_ = std::make_unique<RefusingPrinter>(options);
  Open();
  state_.OrientationClick(2);
  state_.SingleClick(true);
  script_.ExpectMessage(forms::vbOK, "ERROR:    482\n");
  state_.Ok();
  ASSERT_TRUE(script_.Done());
  const QString text = script_.Shown().back().text;
  EXPECT_TRUE(text.startsWith("ERROR:    482\n")) << text.toStdString();
  EXPECT_GT(text.size(), 14);                // the description follows
  EXPECT_TRUE(app_.print.ForceSingleLabel);  // the steps after it ran
  EXPECT_FALSE(state_.Shown());
}

TEST_F(PageSetupTest, TheDialogCountGoesUpAndDownOncePerLoadAndUnload) {
  state_.Unload();  // not loaded: nothing
  EXPECT_EQ(app_.shell.OpenDialogCount, 0);
  state_.Load();
  state_.Load();
  EXPECT_EQ(app_.shell.OpenDialogCount, 1);
  app_.print.BatchPrintMode = true;
  state_.Unload();
  state_.Unload();
  EXPECT_EQ(app_.shell.OpenDialogCount, 0);
  EXPECT_FALSE(app_.print.BatchPrintMode);
}

TEST_F(PageSetupTest, UnloadLeavesTheDesignedValuesOrTheDefaultOffsets) {
  Open();
  state_.SetBoxText(printsetup::kXoff, "0.4");
  state_.SetBoxText(printsetup::kLeftMarg, "1.25");
  state_.DefaultClick(true);
  state_.CellClick(printsetup::kFloppyGrid, 3);
  state_.Ok();
  state_.Unload();
  EXPECT_EQ(page_.LeftMargin, 0.5);
  EXPECT_EQ(page_.TopMargin, 0.5);
  EXPECT_EQ(page_.OffsetX, 0.4);  // "Set as default"
  EXPECT_EQ(page_.StartPosition, 0);

  // The next Load shows them; without the default, floppy labels start from 0.
  Open();
  EXPECT_EQ(C().boxes[printsetup::kXoff], "0.4");
  EXPECT_EQ(C().boxes[printsetup::kLeftMarg], "0.5");
  EXPECT_TRUE(C().chkDefault.checked);
  state_.Unload();
  app_.print.LabelMedium = 1;
  state_.Load();
  state_.Unload();
  EXPECT_EQ(page_.OffsetX, 0.0);
}

TEST_F(PageSetupTest, TheBoxesShowWhatTheLabelLaunchersWrote) {
  page_.LeftMargin = 0.25;
  page_.TopMargin = 5.0 / 12;
  Open();
  EXPECT_EQ(C().boxes[printsetup::kLeftMarg], "0.25");
  EXPECT_EQ(C().boxes[printsetup::kTopMarg], QString::fromStdU16String(vbrt::CStr(5.0 / 12)));
  EXPECT_EQ(C().boxes[printsetup::kRightMarg], "0.5");
  EXPECT_EQ(C().boxes[printsetup::kXoff], "0.0");
}

}  // namespace
}  // namespace printsetup_testing
