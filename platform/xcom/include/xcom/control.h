// How a control hands its window to its host: in place of in-place activation, the host asks
// the control object for its QWidget under a parent widget of the host's. Both sides share the
// one Qt of the process; this header itself does not depend on Qt.
//
// Host side:
//   xcom::ComPtr<IControlWindow> win;
//   control.As(&win);
//   void* w = nullptr;
//   if (SUCCEEDED(win->CreateControlWindow(static_cast<QWidget*>(frame), &w)))
//     layout->addWidget(static_cast<QWidget*>(w));
//
// Control side: CreateControlWindow creates the control's QWidget as a child of the parent and
// answers it. The widget belongs to the parent in Qt's sense (deleting the parent deletes it);
// the control keeps a guarded pointer to it (QPointer), so it copes with the host deleting the
// widget first, and when the control object is released it deletes the widget if it still
// exists. While the window exists a further call answers S_FALSE with the same widget.
// Events reach the host's sinks only while the window exists.
#pragma once

#include "wintypes.h"

// {F6D2FDA5-9DAB-41B3-85A1-2BAA439CD8C6}
inline constexpr IID IID_IControlWindow = {0xF6D2FDA5, 0x9DAB, 0x41B3, {0x85, 0xA1, 0x2B, 0xAA, 0x43, 0x9C, 0xD8, 0xC6}};

struct IControlWindow : IUnknown {
  static constexpr const IID& kIID = IID_IControlWindow;
  // parentQWidget: the host's QWidget* (null: a top-level window). *ppQWidget: the control's
  // QWidget*. E_POINTER for a null ppQWidget (nothing is created); E_FAIL when the window
  // cannot be made. S_OK for a new window, S_FALSE for the existing one.
  virtual HRESULT CreateControlWindow(void* parentQWidget, void** ppQWidget) = 0;

 protected:
  ~IControlWindow() = default;
};
