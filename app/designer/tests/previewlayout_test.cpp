// The canvas's place in the window, the scroll ranges, scrolling and bringing a row into view.
#include <gtest/gtest.h>

#include "previewlayout.h"

namespace designer {
namespace {

PreviewLayout Window(double canvasWidth, double canvasHeight) {
  PreviewLayout l;
  l.clientWidth = 10;
  l.clientHeight = 8;
  l.coolBarHeight = 0.5;
  l.statusBarHeight = 0.25;
  l.scrollThickness = 0.2;
  l.canvasWidth = canvasWidth;
  l.canvasHeight = canvasHeight;
  return l;
}

TEST(PreviewLayout, SmallCanvasIsCentred) {
  PreviewLayout l = Window(4, 3);
  l.Relayout();
  EXPECT_FALSE(l.hShown);
  EXPECT_FALSE(l.vShown);
  EXPECT_DOUBLE_EQ(l.canvasLeft, 3.0);
  EXPECT_DOUBLE_EQ(l.canvasTop, 0.5 + (7.25 - 3) / 2);
  l.floppyLabel = true;
  l.Relayout();
  EXPECT_DOUBLE_EQ(l.canvasTop, 0.5 + (7.25 - 3) * 0.65 / 2);
}

TEST(PreviewLayout, OverflowSetsRangesOfAtLeastOne) {
  PreviewLayout l = Window(10.04, 3);
  l.Relayout();
  ASSERT_TRUE(l.hShown);
  EXPECT_EQ(l.h.largeChange, 1);
  EXPECT_EQ(l.h.smallChange, 1);
  l = Window(17, 22.05);
  l.Relayout();
  ASSERT_TRUE(l.hShown && l.vShown);
  EXPECT_EQ(l.h.max, 72);   // (0.2 + 17 - 10) x 10
  EXPECT_EQ(l.v.max, 150);  // (22.05 - 7.25 + 0.2) x 10
  EXPECT_EQ(l.h.largeChange, 8);
  EXPECT_EQ(l.v.smallChange, 2);
}

TEST(PreviewLayout, ScrollingToTheEndsMeetsTheBars) {
  PreviewLayout l = Window(17, 22);
  l.Relayout();
  l.HScrollChanged(l.h.max);
  EXPECT_DOUBLE_EQ(l.canvasLeft + l.canvasWidth, l.VScrollLeft());
  l.VScrollChanged(l.v.max);
  EXPECT_DOUBLE_EQ(l.canvasTop + l.canvasHeight, l.HScrollTop());
  l.VScrollChanged(30);
  EXPECT_DOUBLE_EQ(l.canvasTop, 0.5 - 3.0);
  l.HScrollChanged(12);
  EXPECT_DOUBLE_EQ(l.canvasLeft, -1.2);
}

TEST(PreviewLayout, MakeRowVisible) {
  PreviewLayout l = Window(8.5, 22);
  l.Relayout();
  ASSERT_TRUE(l.vShown);
  // At the top: a row in view needs no scrolling, one further down does.
  EXPECT_EQ(l.MakeRowVisible(1.0, 1.25, 0), -1);
  const int v = l.MakeRowVisible(15.0, 15.25, 0);
  ASSERT_GT(v, 0);
  EXPECT_LT(15.25 - v / 10.0, l.ViewHeight());
  EXPECT_GE(15.25 - (v - 1) / 10.0, l.ViewHeight());
  // Scrolled down: a row above the view scrolls back up to it.
  l.VScrollChanged(100);
  const int up = l.MakeRowVisible(2.0, 2.25, 100);
  ASSERT_GE(up, 0);
  EXPECT_LE(up / 10.0, 2.0);
}

}  // namespace
}  // namespace designer
