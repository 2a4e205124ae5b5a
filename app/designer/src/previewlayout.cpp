// The preview's canvas placement, scroll ranges and scrolling.
#include "previewlayout.h"

#include <algorithm>

#include "vbrt.h"

namespace designer {

namespace {
ScrollRange RangeFor(double overflow) {
  ScrollRange r;
  r.max = std::max<int>(0, vbrt::CInt(overflow * 10));
  r.largeChange = std::max<int>(1, vbrt::CInt(r.max / 10.0 + 0.5));
  r.smallChange = std::max<int>(1, vbrt::CInt(r.max / 100.0 + 0.5));
  return r;
}
}  // namespace

double PreviewLayout::VScrollHeight() const { return ViewHeight() - (hShown ? scrollThickness : 0.0); }

double PreviewLayout::HScrollWidth() const { return clientWidth - (vShown ? scrollThickness : 0.0); }

PreviewLayout::Values PreviewLayout::Relayout() {
  hShown = canvasWidth >= clientWidth;
  vShown = canvasHeight >= ViewHeight();
  SetPreviewPosition();
  SetScrollValues();
  Values values;
  if (vShown) values.v = std::clamp<int>(vbrt::CInt((coolBarHeight - canvasTop) * 10), 0, v.max);
  if (hShown) values.h = std::clamp<int>(vbrt::CInt(-canvasLeft * 10), 0, h.max);
  return values;
}

void PreviewLayout::SetPreviewPosition() {
  const double W = canvasWidth, H = canvasHeight;
  if (W > clientWidth && canvasLeft + W < VScrollLeft())
    canvasLeft = clientWidth - scrollThickness - W;
  else if (clientWidth >= W)
    canvasLeft = (clientWidth - W) / 2;
  else
    canvasLeft = 0;

  const double U = ViewHeight();
  if (U < H && canvasTop + H < HScrollTop())
    canvasTop = clientHeight - scrollThickness - statusBarHeight - H;
  else if (U >= H)
    canvasTop = coolBarHeight + (U - H) * (floppyLabel ? 0.65 : 1.0) / 2;
  else
    canvasTop = coolBarHeight;
}

void PreviewLayout::SetScrollValues() {
  h = hShown ? RangeFor((vShown ? scrollThickness : 0.0) + canvasWidth - clientWidth) : ScrollRange{};
  v = vShown ? RangeFor(canvasHeight - ViewHeight() + (hShown ? scrollThickness : 0.0)) : ScrollRange{};
}

void PreviewLayout::HScrollChanged(int value) {
  if (value == h.max)
    canvasLeft = clientWidth - canvasWidth - (vShown ? scrollThickness : 0.0);
  else
    canvasLeft = -value / 10.0;
}

void PreviewLayout::VScrollChanged(int value) {
  if (value == v.max)
    canvasTop = clientHeight - statusBarHeight - (hShown ? scrollThickness : 0.0) - canvasHeight;
  else
    canvasTop = coolBarHeight - value / 10.0;
}

int PreviewLayout::MakeRowVisible(double top, double bottom, int current) const {
  const double T = canvasTop - coolBarHeight;
  const double V = ViewHeight() - (hShown ? scrollThickness : 0.0);
  if (T + top < 0) {
    for (int value = current; value >= 0; value -= v.smallChange)
      if (value / 10.0 <= top) return value;
    return -1;
  }
  if (T - V + bottom > 0) {
    for (int value = current; value <= v.max; ++value)
      if (bottom - value / 10.0 < V) return value;
    return -1;
  }
  return -1;
}

}  // namespace designer
