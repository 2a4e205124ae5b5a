// Device context tokens from the component runtime's token table, which every deliverable of
// the process shares: a token the program hands to the catalog browser control's PrintText
// resolves there to the same surface.
//
//   Program, once at start-up:      surface::UseComponentDeviceContexts();
//   Component library (PrintText):  surface::Surface* s = surface::SurfaceFromComponentDC(hDC);
//                                   if (!s) return E_INVALIDARG;  // never drawn on
//                                   s->PrintText(...);
// Link surface_xcom for the first; the second needs only this header and xcom.
#pragma once

#include "surface.h"
#include "xcom/tokens.h"

namespace surface {

// Makes this module's surfaces hand out the component runtime's tokens (kind DeviceContext).
// Call it before any surface hands out an hDC.
void UseComponentDeviceContexts();

// The surface of a device context token that came over an interface; null for 0 and for a
// token that is unknown, revoked or of another kind.
inline Surface* SurfaceFromComponentDC(LONG hdc) {
  return hdc == 0 ? nullptr : xcom::ResolveToken<Surface>(xcom::TokenKind::DeviceContext, hdc);
}

}  // namespace surface
