// The program's one shared state.
#include "appstate.h"

#include "texttable.h"

namespace app {

AppState::AppState() {
  // A fresh designer array: slot 0 free, slot 1 the spare slot that walks never visit.
  CustomTextRecord freeText;
  freeText.Left = freeText.Top = kFreeSlot;
  CustomTexts = {freeText, CustomTextRecord{}};
  CustomPictureRecord freePicture;
  freePicture.Left = freePicture.Top = kFreeSlot;
  CustomPictures = {freePicture, CustomPictureRecord{}};
}

QString AppState::DriveLetter(int code) const {
  return code >= 0 && code < DriveLetters.size() ? DriveLetters[code] : QString();
}

void AppState::SetDriveLetter(int code, const QString& drive) {
  if (code < 0) return;
  while (DriveLetters.size() <= code) DriveLetters.append(QString());
  DriveLetters[code] = drive;
}

AppState& Global() {
  static AppState state;
  return state;
}

ProgressTarget* ProgressTargetOf(const AppState& state) {
  return dynamic_cast<ProgressTarget*>(state.ProgressForm.data());
}

}  // namespace app
