// The plot's vertical view and mouse work, without drawing: zoom step and view
// centre, the scroll bar they map to, each trace's shown range, the zoom
// rectangle dragged with the left button and the undo of zooms. The window
// layer derives from it and draws what it holds.
#pragma once

#include <cstdint>

#include "graphs/trend_scale.h"

// Scroll bar requests (the low word of a vertical scroll message).
enum ScrollRequest : int {
  SCROLL_LINE_UP = 0,
  SCROLL_LINE_DOWN = 1,
  SCROLL_PAGE_UP = 2,
  SCROLL_PAGE_DOWN = 3,
  SCROLL_THUMB_POSITION = 4,
  SCROLL_THUMB_TRACK = 5,
  SCROLL_END = 8,
};

inline constexpr int UNDO_CAPACITY = 256;
inline constexpr int ZOOM_MIN_DRAG = 8;  // a drag shorter than this both ways does not zoom

struct SavedView {
  int32_t centre = 0;  // view centre, truncated
  int32_t step = 0;
};

// The eight one-pixel-wide bands that cover the outlines of the previous and
// the current zoom rectangle.
struct DragBands {
  int count = 0;
  PlotRect band[8];
};

class TrendPlot {
 public:
  virtual ~TrendPlot() = default;

  // Scroll range and position, every trace's shown range from zoomStep and
  // viewCentre; then showScroll and refreshLabels.
  void updateView();
  // Scroll position of the current view, clamped to 0..vScrollMax.
  int scrollPosition() const;
  // A scroll bar request; false when it changes nothing at all.
  bool scroll(int request, int thumb);

  // The step a zoom rectangle leads to from step `from`, for a curve area
  // `ratio` times as high as the rectangle.
  static int zoomStepFor(int from, double ratio);

  // Left button pressed, mouse moved (button still held or not), released.
  // Coordinates are client pixels. buttonUp is true when the view was updated.
  void buttonDown(int x, int y);
  DragBands mouseMove(bool buttonHeld, int x, int y);
  bool buttonUp(int x, int y);
  // Right button: one zoom back. True when the view was updated.
  bool undo(int x, int y);
  // A graph reopened zoomed: one undo returns to the whole range.
  void restoreSavedZoom(int step, double centre);

  int32_t traceCount = TRACE_COUNT;
  double channelRange[TRACE_COUNT][2] = {};  // per trace (low, high) of its channel
  int32_t zoomStep = 0;
  double viewCentre = SCALE_UNITS / 2;
  int32_t vScrollMax = 0;
  double shownHigh[TRACE_COUNT] = {};
  double shownLow[TRACE_COUNT] = {};
  PlotRect plotRect;  // the whole client area of the plot
  PlotRect plotArea;  // the curves, as the latest paint left it

  int32_t dragging = 0;
  int32_t dragStartX = 0, dragStartY = 0;
  PlotRect zoomRect, previousZoomRect;
  int32_t undoDepth = 0;
  SavedView undoStack[UNDO_CAPACITY] = {};

 protected:
  virtual void showScroll(int /*max*/, int /*position*/) {}
  virtual void refreshLabels() {}

 private:
  void endDrag();
};
