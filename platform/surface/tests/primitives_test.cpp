// Lines, boxes, circles, pictures and text measurement in inches, the drawing state, and the
// device context tokens.
#include <gtest/gtest.h>

#include <QImage>
#include <functional>

#include "recordingsurface.h"
#include "vbrt.h"

namespace surface {
namespace {

TEST(Primitives, LinesFollowTheCurrentPoint) {
  RecordingSurface s;
  s.SetForeColor(RGB(128, 128, 128));
  s.Line(0.5, 1.0, 2.0, 1.0);
  s.LineTo(2.0, 3.0);
  s.LineTo(0.5, 3.0, RGB(255, 0, 0));
  EXPECT_DOUBLE_EQ(s.CurrentX(), 0.5);
  EXPECT_DOUBLE_EQ(s.CurrentY(), 3.0);
  const auto lines = s.Logged(Primitive::Kind::Line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_DOUBLE_EQ(lines[1].x1, 2.0);
  EXPECT_DOUBLE_EQ(lines[1].y1, 1.0);
  EXPECT_DOUBLE_EQ(lines[1].y2, 3.0);
  EXPECT_EQ(lines[1].color, static_cast<LONG>(RGB(128, 128, 128)));
  EXPECT_EQ(lines[2].color, static_cast<LONG>(RGB(255, 0, 0)));
}

TEST(Primitives, ZeroLengthLineDrawsNothing) {
  RecordingSurface s;
  s.Line(0, 0, 0, 0, RGB(255, 255, 255));
  EXPECT_TRUE(s.Log().empty());
  s.Line(1.0, 1.0, 1.001, 1.0);  // less than half a pixel: the same pixel
  EXPECT_TRUE(s.Log().empty());
}

TEST(Primitives, BoxesAndCircles) {
  RecordingSurface s;
  s.SetFillStyle(vbFSTransparent);
  s.Box(2.0, 2.0, 1.0, 1.0, RGB(192, 192, 192));  // corners in any order
  s.FilledBox(1.0, 1.0, 1.5, 1.25, RGB(255, 0, 0));
  s.SetFillStyle(vbFSSolid);
  s.SetFillColor(RGB(0, 255, 0));
  s.Circle(4.25, 2.75, 2.25);
  EXPECT_DOUBLE_EQ(s.CurrentX(), 4.25);

  const auto& log = s.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].kind, Primitive::Kind::Box);
  EXPECT_DOUBLE_EQ(log[0].x1, 1.0);
  EXPECT_DOUBLE_EQ(log[0].y2, 2.0);
  EXPECT_EQ(log[0].fillStyle, vbFSTransparent);
  EXPECT_EQ(log[1].kind, Primitive::Kind::FilledBox);
  EXPECT_EQ(log[1].color, static_cast<LONG>(RGB(255, 0, 0)));
  EXPECT_EQ(log[2].kind, Primitive::Kind::Circle);
  EXPECT_DOUBLE_EQ(log[2].rx, 2.25);
  EXPECT_EQ(log[2].fillStyle, vbFSSolid);
  EXPECT_EQ(log[2].fillColor, static_cast<LONG>(RGB(0, 255, 0)));
}

TEST(Primitives, PictureTakesItsOwnSizeUnlessGiven) {
  RecordingSurface s;
  QImage icon(48, 24, QImage::Format_RGB32);
  icon.setDotsPerMeterX(3780);  // 96 per inch
  icon.setDotsPerMeterY(3780);
  s.PaintPicture(icon, 1.0, 1.0);
  s.PaintPicture(icon, 1.0, 2.0, 2.0, 0.5);
  const auto pics = s.Logged(Primitive::Kind::Picture);
  ASSERT_EQ(pics.size(), 2u);
  EXPECT_NEAR(pics[0].x2 - pics[0].x1, 0.5 - 1 / 96.0, 1e-9);  // both corners inside
  EXPECT_NEAR(pics[1].x2 - pics[1].x1, 2.0 - 1 / 96.0, 1e-9);
  try {
    s.PaintPicture(QImage(), 0, 0);
    ADD_FAILURE() << "an empty picture was painted";
  } catch (const vbrt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 481);
  }
}

TEST(Primitives, TextMeasuresTheWidestLineAndEveryLine) {
  RecordingSurface s;
  const double one = s.TextHeight(QStringLiteral("W"));
  EXPECT_GT(one, 0);
  EXPECT_DOUBLE_EQ(s.TextHeight(QString()), one);
  EXPECT_DOUBLE_EQ(s.TextHeight(QStringLiteral("a\r\nb\rc")), 3 * one);
  EXPECT_DOUBLE_EQ(s.TextWidth(QStringLiteral("a\r\nlonger")), s.TextWidth(QStringLiteral("longer")));
  EXPECT_GT(s.TextWidth(QStringLiteral("AB")), s.TextWidth(QStringLiteral("A")));
  s.SetFontBold(true);
  EXPECT_GT(s.TextWidth(QStringLiteral("Bold text")), 0);
}

TEST(Primitives, BadPropertyValuesAreRefused) {
  RecordingSurface s;
  const struct {
    const char* name;
    std::function<void()> set;
  } cases[] = {
      {"DrawWidth 0", [&] { s.SetDrawWidth(0); }},
      {"DrawStyle 7", [&] { s.SetDrawStyle(7); }},
      {"FillStyle -1", [&] { s.SetFillStyle(-1); }},
      {"FontSize 0", [&] { s.SetFontSize(0); }},
      {"Orientation 3", [&] { s.SetOrientation(3); }},
      {"Duplex on a simplex printer", [&] { s.SetDuplex(vbPRDPHorizontal); }},
  };
  for (const auto& c : cases) {
    try {
      c.set();
      ADD_FAILURE() << c.name << " accepted";
    } catch (const vbrt::RuntimeError& e) {
      EXPECT_EQ(e.number(), 380) << c.name;
    }
  }
  EXPECT_EQ(s.DrawWidth(), 1);
  EXPECT_EQ(s.Duplex(), vbPRDPSimplex);
}

TEST(Primitives, DashesApplyToThinLinesOnly) {
  RecordingSurface s;
  s.SetDrawStyle(vbDot);
  s.Line(0, 0, 1, 0);
  EXPECT_EQ(s.Log().back().style, vbDot);
  EXPECT_EQ(s.Log().back().width, 1);
}

TEST(DeviceContext, TokensResolveWhileTheSurfaceLives) {
  HDC token = 0;
  {
    RecordingSurface s;
    token = s.hDC();
    EXPECT_NE(token, 0);
    EXPECT_EQ(s.hDC(), token) << "one token per surface";
    EXPECT_EQ(SurfaceFromHDC(token), &s);
    RECT r{0, 0, 100, 100};
    EXPECT_GT(DrawTextA(token, QStringLiteral("Hello"), -1, &r, 0), 0);
    EXPECT_EQ(s.Logged(Primitive::Kind::Text).size(), 1u);
    EXPECT_EQ(GetDeviceCaps(token, LOGPIXELSY), 96);
    EXPECT_EQ(SetBkMode(token, TRANSPARENT), OPAQUE);
    EXPECT_EQ(RoundRect(token, 0, 0, 50, 40, 12, 12), TRUE);
    EXPECT_EQ(DrawFocusRect(token, &r), TRUE);
    RECT part{0, 0, 100, 100};
    DrawTextA(token, QStringLiteral("Hello"), 2, &part, 0);
    EXPECT_EQ(s.Logged(Primitive::Kind::Text).back().text, QStringLiteral("He"));

    RecordingSurface other;
    EXPECT_NE(other.hDC(), token);
  }
  // A token of a destroyed surface, 0 and a made-up value are refused without drawing.
  for (HDC bad : {token, HDC(0), HDC(12345)}) {
    RECT r{0, 0, 100, 100};
    EXPECT_EQ(SurfaceFromHDC(bad), nullptr);
    EXPECT_EQ(DrawTextA(bad, QStringLiteral("x"), -1, &r, 0), 0);
    EXPECT_EQ(GetDeviceCaps(bad, LOGPIXELSX), 0);
    EXPECT_EQ(RoundRect(bad, 0, 0, 10, 10, 2, 2), FALSE);
    EXPECT_EQ(DrawFocusRect(bad, &r), FALSE);
  }
  RecordingSurface s;
  EXPECT_EQ(DrawTextA(s.hDC(), QStringLiteral("x"), -1, nullptr, 0), 0);
}

TEST(DeviceContext, RoundRectUsesTheLineColourAndFillStyle) {
  RecordingSurface s;
  s.SetForeColor(RGB(192, 192, 192));
  s.RoundRect(12, 48, 270, 240, 24, 24);
  const auto rr = s.Logged(Primitive::Kind::RoundRect);
  ASSERT_EQ(rr.size(), 1u);
  EXPECT_EQ(rr[0].color, static_cast<LONG>(RGB(192, 192, 192)));
  EXPECT_EQ(rr[0].fillStyle, vbFSTransparent);
  EXPECT_DOUBLE_EQ(rr[0].x1, 12 / 96.0);
  EXPECT_DOUBLE_EQ(rr[0].x2, 269 / 96.0) << "right lies just outside";
  EXPECT_DOUBLE_EQ(rr[0].rx, 12 / 96.0);
}

TEST(RecordingPrinter, StandsForThePrinterWithItsOffsets) {
  RecordingOptions o;
  o.printer = true;
  o.offsetX = 0.25;
  o.offsetY = 0.2;
  o.dpi = 600;
  RecordingSurface p(o);
  EXPECT_TRUE(p.IsPrinter());
  EXPECT_EQ(p.GetDeviceCaps(PHYSICALOFFSETX), 150);
  EXPECT_EQ(p.GetDeviceCaps(PHYSICALOFFSETY), 120);
  EXPECT_EQ(p.GetDeviceCaps(HORZRES), 4800);
  EXPECT_DOUBLE_EQ(p.Width(), 8.5 * 1440);
  p.SetOrientation(vbPRORLandscape);
  EXPECT_DOUBLE_EQ(p.Width(), 11 * 1440);
  p.Line(0, 0, 1, 1);
  p.NewPage();
  p.Line(0, 0, 1, 1);
  p.EndDoc();
  const auto& log = p.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2].page, 2);
  EXPECT_EQ(log[3].kind, Primitive::Kind::EndDoc);
  EXPECT_EQ(p.Page(), 1);
}

}  // namespace
}  // namespace surface
