// The program's preview: one window per print job, reached through the window links.
#include "designerlinks.h"

#include <QApplication>
#include <QPointer>

#include "appstate.h"
#include "currentprinter.h"
#include "forms.h"
#include "frmprint.h"
#include "mediapictures.h"
#include "pagesettings.h"
#include "reportsdrawing.h"
#include "windowlinks.h"

namespace designer {

namespace {
QPointer<frmPrint>& Instance() {
  static QPointer<frmPrint> instance;
  return instance;
}
}  // namespace

reports::PageSettings& ProgramPageSettings() { return reports::CurrentPageSettings(); }

PreviewEnvironment ProgramPreviewEnvironment() {
  app::AppState& state = app::Global();
  PreviewEnvironment env =
      ReportsPreviewEnvironment(state.print, state.designer, state.shell, state.selection, ProgramPageSettings(),
                                []() -> surface::PrinterObject& { return surface::Printer(); });
  // The tree cells' item icons: local disk, network drive, floppy, Zip, CD, folder, file.
  using surface::MediaPicture;
  const MediaPicture icons[] = {MediaPicture::LocalDisk, MediaPicture::NetworkDrive, MediaPicture::Floppy,
                                MediaPicture::Zip,       MediaPicture::CD,           MediaPicture::Folder,
                                MediaPicture::File};
  for (size_t i = 0; i < env.treeIcons.size(); ++i)
    env.treeIcons[i] = surface::DrawMediaPicture(icons[i], 16).toImage();
  return env;
}

frmPrint* PreviewInstance() {
  QPointer<frmPrint>& instance = Instance();
  if (!instance) {
    auto* window = new frmPrint(ProgramPreviewEnvironment());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!window->Load()) {
      delete window;
      return nullptr;
    }
    instance = window;
  }
  return instance;
}

void ShowPreviewModal() {
  frmPrint* window = PreviewInstance();
  if (!window) return;
  forms::ShowModal(window, nullptr);
  Instance() = nullptr;
  delete window;
}

void LinkPrintPreview() {
  app::WindowLinks& links = app::Links();
  links.ShowPrintPreview = [] { ShowPreviewModal(); };
  links.RestoreFromCustArray = [](bool firstPrint) {
    frmPrint* window = PreviewInstance();
    if (!window) return false;
    if (window->RestoreFromCustArray(firstPrint)) return true;
    Instance() = nullptr;
    delete window;
    return false;
  };
  links.SetZoomFactor = [](const QString& zoomCode, bool applyToCanvas) {
    if (frmPrint* window = Instance()) window->SetZoomFactor(zoomCode, applyToCanvas);
  };
  links.PreviewPageCount = []() -> SHORT {
    frmPrint* window = Instance();
    return window ? window->GetNumPages() : 0;
  };
  links.ReformatPreview = [] {
    if (frmPrint* window = Instance()) window->Reformat();
  };
}

}  // namespace designer
