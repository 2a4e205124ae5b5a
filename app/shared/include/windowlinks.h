// The calls by which windows reach windows of another folder without linking them: the print
// preview (app/designer), page setup (app/printsetup) and the cataloguing windows
// (app/catalog). The program sets these once at
// start-up (main.cpp); a call whose window is not set does nothing and answers its default, so
// each window and its tests run without the others.
#pragma once

#include <QString>

#include "wintypes.h"

#include <functional>

class QWidget;

namespace app {

struct WindowLinks {
  // The print preview and label designer, shown modally with no owner once the print job and
  // the report table are set; returns when it closes.
  std::function<void()> ShowPrintPreview;
  // Prepares the preview for a new document (firstPrint); false when, for a text-item label,
  // there was no text to place and the preview unloaded itself.
  std::function<bool(bool firstPrint)> RestoreFromCustArray;
  // Sets the preview's zoom from a code such as "150PC"; applyToCanvas resizes and redraws.
  std::function<void(const QString& zoomCode, bool applyToCanvas)> SetZoomFactor;
  // The open preview's page count (0 with no preview open), and its re-format after a page
  // setup change: at 100 %, the rows rewound and every page walked again, then back at the
  // zoom it had.
  std::function<SHORT()> PreviewPageCount;
  std::function<void()> ReformatPreview;

  // Page setup: shown modally under owner; SetBatchPrint first opens it for batch load and
  // print; SetupForZipLabel prepares it for the chosen Zip stock; Unload closes it when loaded.
  std::function<void(QWidget* owner)> ShowPageSetup;
  std::function<void()> SetBatchPrint;
  std::function<void()> SetupForZipLabel;
  std::function<void()> UnloadPageSetup;
  // Resets the page setup window's stock choice when the chosen label stock changes.
  std::function<void(SHORT)> SetStockChoiceState;

  // The cataloguing windows (app/catalog), each shown modally under owner: the add-disk
  // dialog, the update-disk dialog (PrintDirectory first prepares it to list a folder of a
  // real drive), the find window and the item properties dialog.
  std::function<void(QWidget* owner)> ShowAddDisk;
  std::function<void(QWidget* owner)> ShowUpdateDisk;
  std::function<void(const QString& folder)> PrintDirectory;
  std::function<void(QWidget* owner)> ShowFind;
  std::function<void(QWidget* owner)> ShowProperties;
};

// The links of the whole run.
WindowLinks& Links();

// Each call: the linked window's, or nothing.
void ShowPrintPreview();
bool RestoreFromCustArray(bool firstPrint);
void SetZoomFactor(const QString& zoomCode, bool applyToCanvas);
SHORT PreviewPageCount();
void ReformatPreview();
void ShowPageSetup(QWidget* owner);
void SetBatchPrint();
void SetupForZipLabel();
void UnloadPageSetup();
void SetStockChoiceState(SHORT value);
void ShowAddDisk(QWidget* owner);
void ShowUpdateDisk(QWidget* owner);
void PrintDirectory(const QString& folder);
void ShowFind(QWidget* owner);
void ShowProperties(QWidget* owner);

}  // namespace app
