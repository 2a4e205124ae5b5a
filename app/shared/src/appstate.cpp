// The program's shared state: the designer's fresh object arrays, the drive list, Global().
#include "appstate.h"

#include "texttable.h"

namespace app {

Designer::Designer() {
  // A fresh designer array: slot 0 free, slot 1 the spare slot that walks never visit.
  CustomTextRecord freeText;
  freeText.Left = freeText.Top = kFreeSlot;
  CustomTexts = {freeText, CustomTextRecord{}};
  CustomPictureRecord freePicture;
  freePicture.Left = freePicture.Top = kFreeSlot;
  CustomPictures = {freePicture, CustomPictureRecord{}};
}

QString Settings::DriveLetter(int code) const {
  return code >= 0 && code < DriveLetters.size() ? DriveLetters[code] : QString();
}

void Settings::SetDriveLetter(int code, const QString& drive) {
  if (code < 0) return;
  while (DriveLetters.size() <= code) DriveLetters.append(QString());
  DriveLetters[code] = drive;
}

AppState& Global() {
  static AppState state;
  return state;
}

ProgressTarget* ProgressTargetOf(const WalkControl& walk) {
  return dynamic_cast<ProgressTarget*>(walk.ProgressForm.data());
}

}  // namespace app
