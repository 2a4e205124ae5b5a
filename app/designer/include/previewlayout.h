// Where the preview's canvas and scroll bars go in the window: which scroll bars show, where
// the canvas sits, the scroll bars' ranges and steps, how scrolling moves the canvas, and the
// scroll value that brings a row into view. All lengths are inches of the window's client area;
// scroll values are tenths of an inch.
#pragma once

namespace designer {

struct ScrollRange {
  int max = 0;
  int largeChange = 1;
  int smallChange = 1;
};

struct PreviewLayout {
  // Given: the client area, the cool bar's and status bar's heights, a scroll bar's thickness,
  // the canvas's size, and whether the page is a floppy label (which sits higher).
  double clientWidth = 0, clientHeight = 0;
  double coolBarHeight = 0, statusBarHeight = 0;
  double scrollThickness = 0;
  double canvasWidth = 0, canvasHeight = 0;
  bool floppyLabel = false;

  // Kept: the canvas's position, the scroll bars shown and their ranges.
  double canvasLeft = 0, canvasTop = 0;
  bool hShown = false, vShown = false;
  ScrollRange h, v;

  double VScrollLeft() const { return clientWidth - scrollThickness; }
  double VScrollHeight() const;
  double HScrollTop() const { return clientHeight - statusBarHeight - scrollThickness; }
  double HScrollWidth() const;
  // The height between the cool bar and the status bar.
  double ViewHeight() const { return clientHeight - coolBarHeight - statusBarHeight; }

  // The window was resized or the canvas changed size: the scroll bars shown, the canvas's
  // position and the ranges. Returns the scroll values that match the canvas's position.
  struct Values {
    int h = 0, v = 0;
  };
  Values Relayout();
  void SetPreviewPosition();
  void SetScrollValues();

  // A scroll bar moved to value: the canvas follows (at the maximum, exactly to the far end).
  void HScrollChanged(int value);
  void VScrollChanged(int value);

  // The vertical scroll value that brings the band top..bottom (canvas inches) into view from
  // the current value, or -1 when no scrolling is needed or no value shows it.
  int MakeRowVisible(double top, double bottom, int current) const;
};

}  // namespace designer
