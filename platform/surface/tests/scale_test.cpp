// Scale conversions between the runtime's scale codes, and the fonts the program names.
#include <gtest/gtest.h>

#include "recordingsurface.h"
#include "vbrt.h"

namespace surface {
namespace {

struct ScaleCase {
  const char* name;
  bool across;  // ScaleX, else ScaleY
  double value;
  int from;
  int to;
  double expected;
};

// A device of 96 pixels per inch.
const ScaleCase kScaleCases[] = {
    {"inch to twips", true, 1.0, vbInches, vbTwips, 1440.0},
    {"twips to inch", false, 720.0, vbTwips, vbInches, 0.5},
    {"inch to pixels", true, 1.0, vbInches, vbPixels, 96.0},
    {"pixels to inches", false, 48.0, vbPixels, vbInches, 0.5},
    {"half pixel rounds down to even", true, 2.5 / 96.0, vbInches, vbPixels, 2.0},
    {"half pixel rounds up to even", true, 3.5 / 96.0, vbInches, vbPixels, 4.0},
    {"negative half pixel to even", false, -2.5 / 96.0, vbInches, vbPixels, -2.0},
    {"millimetres", true, 25.4, vbMillimeters, vbInches, 1.0},
    {"centimetres", true, 1.0, vbInches, vbCentimeters, 2.54},
    {"himetric", false, 2540.0, vbHimetric, vbInches, 1.0},
    {"points", true, 72.0, vbPoints, vbInches, 1.0},
    {"characters across", true, 1.0, vbCharacters, vbTwips, 120.0},
    {"characters down", false, 1.0, vbCharacters, vbTwips, 240.0},
    {"user scale is inches", true, 2.0, vbUser, vbTwips, 2880.0},
    {"twips to pixels", true, 15.0, vbTwips, vbPixels, 1.0},
    {"himetric default source", true, 2540.0, vbHimetric, vbUser, 1.0},
};

TEST(Scale, ConvertsBetweenScaleCodes) {
  RecordingSurface s;
  for (const ScaleCase& c : kScaleCases) {
    const double got = c.across ? s.ScaleX(c.value, c.from, c.to) : s.ScaleY(c.value, c.from, c.to);
    EXPECT_NEAR(got, c.expected, 1e-9) << c.name;
  }
  EXPECT_DOUBLE_EQ(s.ScaleX(2540.0), 1.0) << "from himetric to the surface's inches by default";
}

TEST(Scale, PixelsFollowEachAxisResolution) {
  RecordingOptions o;
  o.dpi = 600;
  RecordingSurface s(o);
  EXPECT_DOUBLE_EQ(s.ScaleX(1.0, vbInches, vbPixels), 600.0);
  EXPECT_DOUBLE_EQ(s.ScaleY(300.0, vbPixels, vbInches), 0.5);
}

TEST(Scale, UnknownScaleCodeIsAnInvalidCall) {
  RecordingSurface s;
  for (int bad : {-1, 9, 42}) {
    try {
      s.ScaleX(1.0, bad, vbInches);
      ADD_FAILURE() << "scale code " << bad << " accepted";
    } catch (const vbrt::RuntimeError& e) {
      EXPECT_EQ(e.number(), 5);
    }
  }
}

TEST(Fonts, ProgramFontNamesResolveToTheInstalledFonts) {
  const struct {
    const char* face;
    const char* family;
  } cases[] = {
      {"Arial", "Liberation Sans"},
      {"MS Sans Serif", "Liberation Sans"},
      {"Times New Roman", "Liberation Serif"},
      {"Times Roman", "Liberation Serif"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolvedFamily(c.face), QString(c.family)) << c.face;
}

TEST(Fonts, PixelSizeFollowsTheDeviceResolution) {
  TextFont f;
  f.Size = 12;
  EXPECT_EQ(MakeDeviceFont(f, 96).pixelSize(), 16);
  EXPECT_EQ(MakeDeviceFont(f, 600).pixelSize(), 100);
  f.Size = 6.8;  // 8 points at 85 %
  EXPECT_EQ(MakeDeviceFont(f, 96).pixelSize(), 9);

  // The same text measures the same length in inches at both resolutions, to a pixel.
  RecordingOptions lo, hi;
  hi.dpi = 600;
  RecordingSurface a(lo), b(hi);
  a.SetFont(f);
  b.SetFont(f);
  const QString text = QStringLiteral("Directory Contents printed");
  EXPECT_NEAR(a.TextWidth(text), b.TextWidth(text), 1.5 / 96);
  EXPECT_NEAR(a.TextHeight(text), b.TextHeight(text), 1.5 / 96);
}

}  // namespace
}  // namespace surface
