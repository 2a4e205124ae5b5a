// The device context table over the component runtime's tokens.
#include "surface_xcom.h"

namespace surface {

namespace {

class ComponentTable : public DeviceContextTable {
 public:
  HDC Issue(Surface* s) override { return xcom::IssueToken(xcom::TokenKind::DeviceContext, s); }
  Surface* Resolve(HDC hdc) override { return SurfaceFromComponentDC(hdc); }
  void Revoke(HDC hdc) override { xcom::RevokeToken(hdc); }
};

}  // namespace

void UseComponentDeviceContexts() {
  static ComponentTable table;
  SetDeviceContextTable(&table);
}

}  // namespace surface
