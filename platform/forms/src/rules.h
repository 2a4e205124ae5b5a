// Rules of the runtime's modals that the Qt and the scripted implementation share.
#pragma once

#include <QString>

#include "forms.h"

namespace forms::detail {

// The answers a message box offers, in button order, and the one that Escape (or closing it)
// gives: Cancel where there is one, No for Yes/No, OK for OK alone.
inline int ButtonSet(int buttons) { return buttons & 0xF; }
inline bool Offers(int buttons, int answer) {
  switch (ButtonSet(buttons)) {
    case vbOKOnly: return answer == vbOK;
    case vbOKCancel: return answer == vbOK || answer == vbCancel;
    case vbYesNoCancel: return answer == vbYes || answer == vbNo || answer == vbCancel;
    case vbYesNo: return answer == vbYes || answer == vbNo;
    default: return false;
  }
}
inline int EscapeAnswer(int buttons) {
  switch (ButtonSet(buttons)) {
    case vbOKCancel:
    case vbYesNoCancel: return vbCancel;
    case vbYesNo: return vbNo;
    default: return vbOK;
  }
}

// A prompt's line breaks (CR, LF or CRLF) as the widgets show them.
inline QString DisplayText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

// A name a save or open dialog returns gets the default extension when it has none.
QString WithDefaultExtension(const QString& path, const QString& defaultExt);

}  // namespace forms::detail
