// DrawTextA's flags on the recording surface: what is drawn where, and what it returns.
#include <gtest/gtest.h>

#include <cmath>

#include "recordingsurface.h"

namespace surface {
namespace {

class DrawTextTest : public ::testing::Test {
 protected:
  DrawTextTest() {
    TextFont f;
    f.Name = QStringLiteral("Arial");
    f.Size = 12;  // 16 pixels at 96 per inch
    s.SetFont(f);
    lh = Px(s.TextHeight(QStringLiteral("X")));
  }
  int Px(double inches) const { return static_cast<int>(std::lround(inches * 96)); }
  int Width(const QString& t) const { return Px(s.TextWidth(t)); }
  std::vector<Primitive> Texts() const { return s.Logged(Primitive::Kind::Text); }
  // Left and top of each text run, in pixels.
  std::vector<std::pair<int, int>> Positions() const {
    std::vector<std::pair<int, int>> out;
    for (const Primitive& p : Texts()) out.emplace_back(Px(p.x1), Px(p.y1));
    return out;
  }

  RecordingSurface s;
  int lh = 0;
};

using Points = std::vector<std::pair<int, int>>;

TEST_F(DrawTextTest, FlagTable) {
  const QString word = QStringLiteral("Disk");
  const int w = Width(word);
  const RECT box{100, 50, 300, 150};  // 200 x 100
  const struct {
    const char* name;
    UINT flags;
    Points expected;
  } cases[] = {
      {"left, top", 0, {{100, 50}}},
      {"1 centres across", DT_CENTER, {{100 + (200 - w) / 2, 50}}},
      {"2 aligns right", DT_RIGHT, {{300 - w, 50}}},
      {"4 alone centres nothing", DT_VCENTER, {{100, 50}}},
      {"4 with 32 centres down", DT_VCENTER | DT_SINGLELINE, {{100, 50 + (100 - lh) / 2}}},
      {"8 with 32 sits on the bottom", DT_BOTTOM | DT_SINGLELINE, {{100, 150 - lh}}},
      {"1 + 4 + 32 centres both ways", DT_CENTER | DT_VCENTER | DT_SINGLELINE,
       {{100 + (200 - w) / 2, 50 + (100 - lh) / 2}}},
      {"1024 draws nothing", DT_CALCRECT, {}},
      {"1024 + 16 draws nothing", DT_CALCRECT | DT_WORDBREAK, {}},
  };
  for (const auto& c : cases) {
    s.ClearLog();
    RECT r = box;
    s.DrawText(word, r, c.flags);
    EXPECT_EQ(Positions(), c.expected) << c.name;
    for (const Primitive& p : Texts()) EXPECT_EQ(p.text, word) << c.name;
  }
}

TEST_F(DrawTextTest, MeasureOnlyReturnsTheHeightAndBoundsTheText) {
  RECT r{10, 20, 500, 30};
  const int h = s.DrawText(QStringLiteral("Free: 1,024K"), r, DT_CALCRECT);
  EXPECT_EQ(h, lh);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 10 + Width(QStringLiteral("Free: 1,024K")));
  EXPECT_EQ(r.bottom, 20 + lh);
  EXPECT_TRUE(s.Log().empty());

  RECT two{0, 0, 10, 10};
  EXPECT_EQ(s.DrawText(QStringLiteral("short\r\nmuch longer line"), two, DT_CALCRECT), 2 * lh);
  EXPECT_EQ(two.right, Width(QStringLiteral("much longer line"))) << "the widest line";
}

TEST_F(DrawTextTest, WordBreakWrapsAtWords) {
  const QString text = QStringLiteral("alpha beta gamma");
  const int fits = Width(QStringLiteral("alpha beta"));
  RECT r{0, 0, fits + 2, 200};
  EXPECT_EQ(s.DrawText(text, r, DT_WORDBREAK), 2 * lh);
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, QStringLiteral("alpha beta"));
  EXPECT_EQ(texts[1].text, QStringLiteral("gamma"));
  EXPECT_EQ(Positions(), (Points{{0, 0}, {0, lh}}));

  // Measured the same way, drawn nothing; a centred wrap centres each line.
  RECT m{0, 0, fits + 2, 0};
  EXPECT_EQ(s.DrawText(text, m, DT_WORDBREAK | DT_CALCRECT), 2 * lh);
  EXPECT_EQ(m.right, fits);
  s.ClearLog();
  RECT c{0, 0, fits + 2, 200};
  s.DrawText(text, c, DT_WORDBREAK | DT_CENTER);
  EXPECT_EQ(Positions()[1].first, (fits + 2 - Width(QStringLiteral("gamma"))) / 2);
}

TEST_F(DrawTextTest, LayoutGivesTheLinesDrawTextDrawsAndPaintsNothing) {
  const QString text = QStringLiteral("alpha beta gamma\r\n\tdelta");
  const int fits = Width(QStringLiteral("alpha beta"));
  const RECT r{10, 20, 10 + fits + 2, 200};
  s.ClearLog();
  const TextLayout layout = s.LayoutText(text, r, DT_WORDBREAK | DT_EXPANDTABS);
  EXPECT_TRUE(s.Log().empty());
  std::vector<QString> lines;
  for (const TextLayout::Line& l : layout.lines) lines.push_back(layout.Text(l));
  EXPECT_EQ(lines,
            (std::vector<QString>{QStringLiteral("alpha beta"), QStringLiteral("gamma"), QStringLiteral("\tdelta")}));
  EXPECT_EQ(layout.lineHeight, lh);
  EXPECT_EQ(layout.Height(), 3 * lh);
  RECT drawn = r;
  EXPECT_EQ(s.DrawText(text, drawn, DT_WORDBREAK | DT_EXPANDTABS), layout.Height());
  RECT measured = r;
  s.DrawText(text, measured, DT_WORDBREAK | DT_EXPANDTABS | DT_CALCRECT);
  EXPECT_EQ(measured.right - measured.left, layout.Widest());
}

TEST_F(DrawTextTest, WordWiderThanTheBoxStaysWholeAndIsClipped) {
  RECT r{0, 0, 30, 200};
  EXPECT_EQ(s.DrawText(QStringLiteral("a Supercalifragilistic b"), r, DT_WORDBREAK), 3 * lh);
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1].text, QStringLiteral("Supercalifragilistic"));
  EXPECT_TRUE(texts[1].clipped);
  EXPECT_DOUBLE_EQ(texts[1].clipX2, 30 / 96.0);
}

TEST_F(DrawTextTest, LineBreaks) {
  const struct {
    const char* name;
    const char* text;
    UINT flags;
    int lines;
  } cases[] = {
      {"CR, LF and CRLF each break", "one\rtwo\nthree\r\nfour", 0, 4},
      {"CRLF is one break", "one\r\n\r\ntwo", 0, 3},
      {"single line ignores breaks", "one\r\ntwo", DT_SINGLELINE, 1},
      {"empty text is one line", "", 0, 1},
  };
  for (const auto& c : cases) {
    RECT r{0, 0, 400, 400};
    EXPECT_EQ(s.DrawText(QString::fromLatin1(c.text), r, c.flags | DT_CALCRECT), c.lines * lh) << c.name;
  }
  s.ClearLog();
  RECT r{0, 0, 400, 400};
  s.DrawText(QStringLiteral("one\r\ntwo"), r, DT_SINGLELINE);
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0].text, QStringLiteral("onetwo"));
}

TEST_F(DrawTextTest, ExpandTabsAdvancesToTabStops) {
  RECT r{0, 0, 600, 100};
  s.DrawText(QStringLiteral("a\tb"), r, DT_EXPANDTABS);
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].text, QStringLiteral("b"));
  const int stop = Px(texts[1].x1);
  EXPECT_GT(stop, Width(QStringLiteral("a")) + 4) << "the stop lies well past the first piece";

  RECT m{0, 0, 600, 100};
  s.DrawText(QStringLiteral("\tb"), m, DT_EXPANDTABS | DT_CALCRECT);
  EXPECT_EQ(m.right, stop + Width(QStringLiteral("b")));
}

TEST_F(DrawTextTest, ExternalLeadingAddsToEveryLine) {
  TextFont big;
  big.Size = 72;
  s.SetFont(big);
  RECT a{0, 0, 2000, 2000}, b{0, 0, 2000, 2000};
  const int plain = s.DrawText(QStringLiteral("A\nB"), a, DT_CALCRECT);
  const int leading = s.DrawText(QStringLiteral("A\nB"), b, DT_CALCRECT | DT_EXTERNALLEADING);
  EXPECT_GT(leading, plain);
  EXPECT_EQ((leading - plain) % 2, 0) << "the same leading on both lines";
}

TEST_F(DrawTextTest, OutputIsClippedToTheRectangleUnlessNoClip) {
  RECT r{10, 10, 20, 20};
  s.DrawText(QStringLiteral("Clipped"), r, 0);
  RECT n{10, 10, 20, 20};
  s.DrawText(QStringLiteral("Free"), n, DT_NOCLIP);
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_TRUE(texts[0].clipped);
  EXPECT_DOUBLE_EQ(texts[0].clipX1, 10 / 96.0);
  EXPECT_DOUBLE_EQ(texts[0].clipY2, 20 / 96.0);
  EXPECT_FALSE(texts[1].clipped);
}

TEST_F(DrawTextTest, AmpersandIsDrawnAsItStands) {
  RECT r{0, 0, 400, 100};
  s.DrawText(QStringLiteral("Tom & Jerry && Co"), r, 0);
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0].text, QStringLiteral("Tom & Jerry && Co"));
}

TEST_F(DrawTextTest, TextTakesForeColorAndStaysTransparent) {
  s.SetForeColor(RGB(0, 0, 255));
  EXPECT_EQ(s.SetBkMode(TRANSPARENT), OPAQUE);
  RECT r{0, 0, 400, 100};
  s.DrawText(QStringLiteral("Blue"), r, 0);
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0].color, static_cast<LONG>(RGB(0, 0, 255)));
  EXPECT_EQ(s.Logged(Primitive::Kind::FilledBox).size(), 0u) << "no background behind the text";
}

TEST_F(DrawTextTest, LongWrappedTextLaysOutInLinearTime) {
  // A long note wrapped into a narrow cell: each word is measured once.
  QString text;
  for (int i = 0; i < 20000; ++i) text += QStringLiteral("word ");
  RECT r{0, 0, 120, 100};
  const int h = s.DrawText(text, r, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_GT(h, 1000 * lh);
}

}  // namespace
}  // namespace surface
