// The calls between windows of different folders, each going to the linked window or nowhere.
#include "windowlinks.h"

namespace app {

WindowLinks& Links() {
  static WindowLinks links;
  return links;
}

void ShowPrintPreview() {
  if (Links().ShowPrintPreview) Links().ShowPrintPreview();
}

bool RestoreFromCustArray(bool firstPrint) {
  return Links().RestoreFromCustArray ? Links().RestoreFromCustArray(firstPrint) : true;
}

void SetZoomFactor(const QString& zoomCode, bool applyToCanvas) {
  if (Links().SetZoomFactor) Links().SetZoomFactor(zoomCode, applyToCanvas);
}

SHORT PreviewPageCount() { return Links().PreviewPageCount ? Links().PreviewPageCount() : 0; }

void ReformatPreview() {
  if (Links().ReformatPreview) Links().ReformatPreview();
}

void ShowPageSetup(QWidget* owner) {
  if (Links().ShowPageSetup) Links().ShowPageSetup(owner);
}

void SetBatchPrint() {
  if (Links().SetBatchPrint) Links().SetBatchPrint();
}

void SetupForZipLabel() {
  if (Links().SetupForZipLabel) Links().SetupForZipLabel();
}

void UnloadPageSetup() {
  if (Links().UnloadPageSetup) Links().UnloadPageSetup();
}

void SetStockChoiceState(SHORT value) {
  if (Links().SetStockChoiceState) Links().SetStockChoiceState(value);
}

void ShowAddDisk(QWidget* owner) {
  if (Links().ShowAddDisk) Links().ShowAddDisk(owner);
}

void ShowUpdateDisk(QWidget* owner) {
  if (Links().ShowUpdateDisk) Links().ShowUpdateDisk(owner);
}

void PrintDirectory(const QString& folder) {
  if (Links().PrintDirectory) Links().PrintDirectory(folder);
}

void ShowFind(QWidget* owner) {
  if (Links().ShowFind) Links().ShowFind(owner);
}

void ShowProperties(QWidget* owner) {
  if (Links().ShowProperties) Links().ShowProperties(owner);
}

}  // namespace app
