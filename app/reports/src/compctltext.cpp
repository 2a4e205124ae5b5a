// The browser control's PrintText as the page drawing's rotated-text service.
#include "compctltext.h"

#include "xcom/com.h"

namespace reports {

RotatedText RotatedTextThrough(ICompCtl* control) {
  return [control](HDC hdc, const QString& text, int angle, LONG left, LONG top, LONG right, LONG bottom,
                   const QString& fontName, SHORT fontSize, LONG italic, LONG bold, LONG underline, LONG color) {
    if (!control) return;
    xcom::Bstr t(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
    xcom::Bstr f(std::u16string_view(reinterpret_cast<const char16_t*>(fontName.utf16()), fontName.size()));
    control->PrintText(hdc, t.Get(), angle, left, top, right, bottom, f.Get(), fontSize, italic,
                       bold, underline, static_cast<OLE_COLOR>(color));
  };
}

}  // namespace reports
