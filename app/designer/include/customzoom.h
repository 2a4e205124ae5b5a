// The custom zoom prompt: the program's prompt dialog in its number mode, asking for a whole
// percentage from 25 to 300 and applying it to the preview that asked.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace designer {

// Shows the prompt modally with currentPercent preset; an accepted entry goes to
// setZoomFactor (the code and the redraw flag true); Cancel changes nothing.
void ShowCustomZoomPrompt(QWidget* owner, int currentPercent,
                          const std::function<void(const QString& zoomCode, bool redraw)>& setZoomFactor);

}  // namespace designer
