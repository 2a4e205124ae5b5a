// Device context tokens through the component runtime's table.
#include <gtest/gtest.h>

#include "recordingsurface.h"
#include "surface_xcom.h"

namespace surface {
namespace {

TEST(ComponentDeviceContexts, TokensResolveThroughTheComponentRuntime) {
  UseComponentDeviceContexts();
  HDC token = 0;
  {
    RecordingSurface s;
    token = s.hDC();
    EXPECT_GT(token, 0);
    EXPECT_EQ(SurfaceFromComponentDC(token), &s);
    EXPECT_EQ(SurfaceFromHDC(token), &s);
    // The way the catalog browser control draws on it.
    SurfaceFromComponentDC(token)->PrintText(QStringLiteral("Spine"), 900, 0, 0, 50, 200, QStringLiteral("Arial"), 10,
                                            0, 0, 0, 0);
    EXPECT_EQ(s.Logged(Primitive::Kind::Text).size(), 1u);
  }
  EXPECT_EQ(SurfaceFromComponentDC(token), nullptr) << "revoked with its surface";
  EXPECT_EQ(SurfaceFromComponentDC(0), nullptr);
  // A token of another kind is not a device context.
  int record = 0;
  xcom::ScopedToken other(xcom::TokenKind::ItemRecord, &record);
  EXPECT_EQ(SurfaceFromComponentDC(other.value()), nullptr);
  SetDeviceContextTable(nullptr);
}

}  // namespace
}  // namespace surface
