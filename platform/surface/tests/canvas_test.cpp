// The preview canvas: what lands in the image.
#include <gtest/gtest.h>

#include <QImage>

#include "previewsurface.h"

namespace surface {
namespace {

QRgb At(const PreviewSurface& s, int x, int y) { return s.Image().pixel(x, y) & 0xFFFFFFu; }

// The bounding box of the pixels that are not white.
QRect Ink(const QImage& image, QRect within) {
  QRect ink;
  for (int y = within.top(); y <= within.bottom(); ++y) {
    for (int x = within.left(); x <= within.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) ink |= QRect(x, y, 1, 1);
    }
  }
  return ink;
}

TEST(Canvas, GreyBoxAndRedFilledBoxLandWhereTheyShould) {
  PreviewSurface s(4.0, 3.0, 96);
  ASSERT_EQ(s.Image().size(), QSize(384, 288));
  EXPECT_EQ(At(s, 10, 10), 0xFFFFFFu) << "cleared to white";

  s.Box(1.0, 1.0, 2.0, 1.5, RGB(192, 192, 192));
  s.FilledBox(2.5, 1.0, 3.0, 2.0, RGB(255, 0, 0));
  const QRgb grey = 0xC0C0C0u, red = 0xFF0000u, white = 0xFFFFFFu;
  const struct {
    const char* name;
    int x, y;
    QRgb expected;
  } cases[] = {
      {"box top-left corner", 96, 96, grey},
      {"box top edge", 150, 96, grey},
      {"box bottom-right corner", 192, 144, grey},
      {"box left edge", 96, 120, grey},
      {"inside the box is not filled", 150, 120, white},
      {"just outside the box", 193, 120, white},
      {"just above the box", 150, 95, white},
      {"filled box corner", 240, 96, red},
      {"filled box inside", 260, 150, red},
      {"filled box far corner", 288, 192, red},
      {"right of the filled box", 289, 150, white},
      {"below the filled box", 260, 193, white},
  };
  for (const auto& c : cases) EXPECT_EQ(At(s, c.x, c.y), c.expected) << c.name;

  s.Cls();
  EXPECT_EQ(At(s, 150, 96), white) << "Cls clears";
  EXPECT_DOUBLE_EQ(s.CurrentX(), 0.0);
}

TEST(Canvas, RotatedTextInkIsCentredInItsRectangle) {
  const QRect rect(40, 30, 200, 100);  // left, top, width, height in pixels
  for (int angle : {0, 900}) {
    PreviewSurface s(3.0, 2.0, 96);
    s.PrintText(QStringLiteral("HOH"), angle, rect.left(), rect.top(), rect.left() + rect.width(),
                rect.top() + rect.height(), QStringLiteral("Arial"), 20, 0, 0, 0, 0);
    const QRect ink = Ink(s.Image(), s.Image().rect());
    ASSERT_FALSE(ink.isEmpty()) << angle;
    const QPointF inkCentre((ink.left() + ink.right() + 1) / 2.0, (ink.top() + ink.bottom() + 1) / 2.0);
    const QPointF centre(rect.left() + rect.width() / 2.0, rect.top() + rect.height() / 2.0);
    EXPECT_NEAR(inkCentre.x(), centre.x(), 2.0) << angle;
    EXPECT_NEAR(inkCentre.y(), centre.y(), 2.0) << angle;
    if (angle == 900) {
      EXPECT_GT(ink.height(), ink.width()) << "runs upwards";
    }
  }
}

TEST(Canvas, TextIsClippedToItsRectangle) {
  PreviewSurface s(3.0, 1.0, 96);
  RECT r{10, 10, 40, 40};
  s.SetFontSize(24);
  s.DrawText(QStringLiteral("WWWWWW"), r, 0);
  const QRect ink = Ink(s.Image(), s.Image().rect());
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), 10);
  EXPECT_LE(ink.right(), 39);
}

TEST(Canvas, FocusRectangleDrawnTwiceRestoresTheCanvas) {
  PreviewSurface s(2.0, 2.0, 96);
  s.FilledBox(0.5, 0.5, 1.0, 1.0, RGB(0, 0, 255));
  const QImage before = s.Image().copy();
  const RECT frame{30, 30, 120, 110};  // across the blue box and the white page
  s.DrawFocusRect(frame);
  EXPECT_NE(s.Image(), before);
  EXPECT_EQ(At(s, 30, 30), 0x000000u) << "white inverted";
  EXPECT_EQ(At(s, 31, 30), 0xFFFFFFu) << "dotted: every other pixel";
  EXPECT_EQ(At(s, 60, 60), 0x0000FFu) << "inside untouched";
  s.DrawFocusRect(frame);
  EXPECT_EQ(s.Image(), before);

  // A frame reaching past the canvas is drawn where it lies on it, and undone as well.
  const RECT outside{-10, 150, 300, 400};
  s.DrawFocusRect(outside);
  s.DrawFocusRect(outside);
  EXPECT_EQ(s.Image(), before);
}

TEST(Canvas, RoundRectOutlineOnTheCanvas) {
  PreviewSurface s(2.0, 2.0, 96);
  s.SetForeColor(RGB(192, 192, 192));
  s.RoundRect(10, 10, 110, 60, 20, 20);
  EXPECT_EQ(At(s, 60, 10), 0xC0C0C0u) << "top edge";
  EXPECT_EQ(At(s, 60, 59), 0xC0C0C0u) << "bottom edge, just inside";
  EXPECT_EQ(At(s, 60, 30), 0xFFFFFFu) << "hollow";
  EXPECT_EQ(At(s, 10, 10), 0xFFFFFFu) << "the corner is rounded off";
}

TEST(Canvas, ResizeFollowsTheZoomedPage) {
  PreviewSurface s(8.5, 11.0, 96);
  s.Resize(8.5 * 0.85, 11.0 * 0.85);
  EXPECT_EQ(s.Image().width(), 694);
  EXPECT_NEAR(s.ScaleWidth(), 8.5 * 0.85, 1.0 / 96);
  EXPECT_EQ(s.GetDeviceCaps(LOGPIXELSX), 96);
  EXPECT_EQ(s.GetDeviceCaps(PHYSICALOFFSETX), 0);
}

}  // namespace
}  // namespace surface
