// Device context tokens: the default table, the installed one, and the graphics calls that
// take a token.
#include <unordered_map>

#include "internal.h"
#include "surface.h"

namespace surface {

namespace {

// Tokens are handed out once and never reused, so a token of a destroyed surface cannot
// reach a newer one. They start away from 0 and from small numbers a caller might pass by
// mistake.
class DefaultTable : public DeviceContextTable {
 public:
  HDC Issue(Surface* s) override {
    HDC token = next_++;
    if (next_ <= 0) next_ = kFirst;  // wrapped after four billion surfaces
    live_[token] = s;
    return token;
  }
  Surface* Resolve(HDC hdc) override {
    auto it = live_.find(hdc);
    return it == live_.end() ? nullptr : it->second;
  }
  void Revoke(HDC hdc) override { live_.erase(hdc); }

 private:
  static constexpr HDC kFirst = 0x5C000001;
  HDC next_ = kFirst;
  std::unordered_map<HDC, Surface*> live_;
};

DefaultTable& Default() {
  static DefaultTable table;
  return table;
}

DeviceContextTable* installed = nullptr;

DeviceContextTable& Table() { return installed ? *installed : Default(); }

}  // namespace

void SetDeviceContextTable(DeviceContextTable* table) { installed = table; }

Surface* SurfaceFromHDC(HDC hdc) {
  if (hdc == 0) return nullptr;
  return Table().Resolve(hdc);
}

HDC Surface::hDC() {
  if (hdc_ == 0) {
    hdcTable_ = &Table();
    hdc_ = hdcTable_->Issue(this);
  }
  return hdc_;
}

}  // namespace surface

int DrawTextA(HDC hdc, const QString& text, int count, LPRECT rect, UINT format) {
  surface::Surface* s = surface::SurfaceFromHDC(hdc);
  if (!s || !rect) return 0;
  if (count < 0 || count >= text.size()) return s->DrawText(text, *rect, format);
  return s->DrawText(text.left(count), *rect, format);
}

int SetBkMode(HDC hdc, int mode) {
  surface::Surface* s = surface::SurfaceFromHDC(hdc);
  return s ? s->SetBkMode(mode) : 0;
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  surface::Surface* s = surface::SurfaceFromHDC(hdc);
  return s && s->RoundRect(left, top, right, bottom, ellipseWidth, ellipseHeight) ? TRUE : FALSE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
  surface::Surface* s = surface::SurfaceFromHDC(hdc);
  return s && rect && s->DrawFocusRect(*rect) ? TRUE : FALSE;
}

int GetDeviceCaps(HDC hdc, int index) {
  surface::Surface* s = surface::SurfaceFromHDC(hdc);
  return s ? s->GetDeviceCaps(index) : 0;
}
