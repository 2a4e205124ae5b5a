// The custom zoom prompt over the prompt dialog's number mode.
#include "customzoom.h"

#include <QLineEdit>

#include "forms.h"
#include "frmlogin.h"
#include "windowlinks.h"
#include "zoomunits.h"

namespace designer {

void ShowCustomZoomPrompt(QWidget* owner, int currentPercent,
                          const std::function<void(const QString& zoomCode, bool redraw)>& setZoomFactor) {
  // The prompt applies its entry through the program's zoom link: for the time it is shown,
  // that link goes to the preview that asked.
  app::WindowLinks& links = app::Links();
  auto kept = links.SetZoomFactor;
  links.SetZoomFactor = setZoomFactor;
  struct Restore {
    app::WindowLinks& links;
    std::function<void(const QString&, bool)> kept;
    ~Restore() { links.SetZoomFactor = std::move(kept); }
  } restore{links, std::move(kept)};

  app::frmLogin prompt(owner);
  prompt.SetFormType(app::kNumberForm);
  prompt.setWindowTitle(QStringLiteral("Custom Zoom"));
  prompt.SetDescription(QStringLiteral("Enter a custom value for the Zoom factor in the text box below."));
  prompt.SetCaption(QStringLiteral("Zoom:"));
  prompt.txtPassword()->setText(QString::number(currentPercent));
  // Both limits are excluded: 25 to 300 are accepted.
  prompt.SetNumberLimit(kCustomZoomMin - 1, kCustomZoomMax + 1, 3);
  forms::ShowModal(&prompt, owner);
}

}  // namespace designer
