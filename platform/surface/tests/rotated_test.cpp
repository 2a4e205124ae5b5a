// The rotated text routine: its placement formula, and what it draws on a surface.
#include <gtest/gtest.h>

#include <cmath>

#include "recordingsurface.h"

namespace surface {
namespace {

TEST(RotatedText, PlacementCentresTheTurnedCell) {
  // A text cell of 80 x 20 pixels in a 200 x 100 pixel rectangle.
  const struct {
    int angle;
    QPoint origin;
  } cases[] = {
      {0, {60, 40}}, {450, {64, 71}}, {900, {90, 90}}, {1800, {140, 60}}, {2700, {110, 10}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RotatedTextOrigin(c.angle, 0, 0, 200, 100, 80, 20), c.origin) << "angle " << c.angle;
  }
  // The rectangle's corner carries through; negative results truncate toward zero.
  EXPECT_EQ(RotatedTextOrigin(0, 1000, 500, 1200, 600, 80, 20), QPoint(1060, 540));
  EXPECT_EQ(RotatedTextOrigin(0, 0, 0, 10, 10, 81, 21), QPoint(-35, -5));
  // A huge rectangle does not overflow.
  const QPoint far = RotatedTextOrigin(0, -2147483647, 0, 2147483647, 10, 80, 20);
  EXPECT_EQ(far.x(), -40);
}

class PrintTextTest : public ::testing::Test {
 protected:
  PrintTextTest() {
    s.SetForeColor(RGB(0, 0, 128));
    s.SetFontName(QStringLiteral("Times Roman"));
    s.SetFontSize(9);
  }
  // The unrotated cell of a text in a font, in pixels.
  QSizeF Cell(const QString& text, const QString& face, int size, bool bold = false) {
    RecordingSurface m;
    TextFont f;
    f.Name = face;
    f.Size = size;
    f.Bold = bold;
    m.SetFont(f);
    RECT r{0, 0, 0, 0};
    m.DrawText(text, r, DT_CALCRECT);
    return QSizeF(r.right, r.bottom);
  }
  RecordingSurface s;
};

TEST_F(PrintTextTest, DrawsOnceAtTheFormulasPointInTheSurfacesColour) {
  const QString text = QStringLiteral("Disk Name");
  const QSizeF cell = Cell(text, QStringLiteral("Arial"), 11, true);
  for (int angle : {0, 450, 900, 1800, 2700}) {
    s.ClearLog();
    s.PrintText(text, angle, 10, 20, 210, 120, QStringLiteral("Arial"), 11, 0, -1, 0, RGB(255, 0, 0));
    const auto texts = s.Logged(Primitive::Kind::Text);
    ASSERT_EQ(texts.size(), 1u) << angle;
    const QPoint at = RotatedTextOrigin(angle, 10, 20, 210, 120, cell.width(), cell.height());
    EXPECT_DOUBLE_EQ(texts[0].x1 * 96, at.x()) << angle;
    EXPECT_DOUBLE_EQ(texts[0].y1 * 96, at.y()) << angle;
    EXPECT_DOUBLE_EQ(texts[0].angle, angle / 10.0);
    EXPECT_EQ(texts[0].color, static_cast<LONG>(RGB(0, 0, 128))) << "the colour argument is not used";
    EXPECT_EQ(texts[0].font.Name, QStringLiteral("Arial"));
    EXPECT_DOUBLE_EQ(texts[0].font.Size, 11);
    EXPECT_TRUE(texts[0].font.Bold);
    EXPECT_FALSE(texts[0].clipped);
  }
  // The surface's own font stays; the background mode ends opaque.
  EXPECT_EQ(s.FontName(), QStringLiteral("Times Roman"));
  EXPECT_DOUBLE_EQ(s.FontSize(), 9);
  EXPECT_EQ(s.BkMode(), OPAQUE);
}

TEST_F(PrintTextTest, StylesComeFromTheLowByteAndLongNamesAreCut) {
  const QString longName = QStringLiteral("Arial") + QString(40, u'x');
  s.PrintText(QStringLiteral("x"), 900, 0, 0, 100, 100, longName, 10, 0x100, 1, -1, 0);
  const auto t = s.Logged(Primitive::Kind::Text).at(0);
  EXPECT_FALSE(t.font.Italic) << "256 has a zero low byte";
  EXPECT_TRUE(t.font.Underline);
  EXPECT_TRUE(t.font.Bold);
  EXPECT_EQ(t.font.Name.size(), 31);
}

TEST_F(PrintTextTest, LinesOfABlockFollowInTheTurnedDirection) {
  const QString face = QStringLiteral("Arial");
  const QSizeF one = Cell(QStringLiteral("Side"), face, 12);
  s.PrintText(QStringLiteral("Side\r\nText"), 900, 0, 0, 300, 300, face, 12, 0, 0, 0, 0);
  const auto texts = s.Logged(Primitive::Kind::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, QStringLiteral("Side"));
  EXPECT_EQ(texts[1].text, QStringLiteral("Text"));
  // Turned a quarter counter-clockwise, the second line lies one line height to the right.
  EXPECT_DOUBLE_EQ((texts[1].x1 - texts[0].x1) * 96, one.height());
  EXPECT_DOUBLE_EQ(texts[1].y1, texts[0].y1);
  // The block as a whole is centred: its two lines straddle the middle.
  EXPECT_DOUBLE_EQ((texts[0].x1 * 96 + (texts[1].x1 * 96 + one.height())) / 2, 150);
}

}  // namespace
}  // namespace surface
