// Where things stand in a plot: values and points to pixels, grid lines, limit
// line hatching, value label places, colour swatches, the context-menu areas
// and the window layout. A curve area wider than PRINT_WIDTH_THRESHOLD is a
// printer page, scaled so that it shows what the screen shows; screenWidth is
// the curve area's width at the latest screen paint (0: none yet, then the
// screen spacing is kept).
#pragma once

#include "graphs/trend_scale.h"

// Pixel row of value v on a trace showing low..high between curveTop and
// bottom, clamped to curveTop - 1 .. bottom + 1. A trace without a scale
// (low = high) runs through the middle.
int valueToY(double v, double low, double high, int curveTop, int bottom);
// The same without the clamp (limit lines), saturated far outside the area.
int valueToRow(double v, double low, double high, int curveTop, int bottom);

// Column of point j in a curve area starting at left, width wide.
int pointToX(int j, int left, int width, int screenWidth);

// Distance between time labels (and heavy grid columns).
int labelStep(int width, int screenWidth);
// x of vertical grid line k (every 30 pixels on screen).
int gridX(int k, int left, int width, int screenWidth);
// y of horizontal grid line i of 5 * VERTICAL_DIVISIONS; every fifth is heavy.
inline constexpr int GRID_ROWS = 5 * VERTICAL_DIVISIONS;
int gridY(int i, int curveTop, int bottom);

// A limit line is drawn only well inside the curve band.
bool limitLineShown(int y, const PlotRect& curves);
// Hatch strokes of a limit line at row y: from (x, y + dy) to (x + size, y)
// for x = first, first + step, ... while x < end; below a lower limit, above
// an upper one.
struct Hatch {
  int size, step, first, end, dy;
};
Hatch limitHatch(const PlotRect& curves, int y, bool upper);

// Starting (lower) end of value label i of N, a text `length` pixels long
// running upwards, centred on its grid row but kept within curveTop..bottom.
int valueLabelStart(int i, int curveTop, int bottom, int length);

// Colour swatch left of a trace's selector: selectorLeft and windowLeft in
// screen pixels, frame the dialog frame, selectorHeight the selector's height.
PlotRect swatchRect(int selectorLeft, int windowLeft, int frame, int selectorHeight);

// Context menu area of a right click: 3 the curves, 2 the right label strip,
// 1 the left one, 0 none.
int menuArea(int x, int y, const PlotRect& curves, const PlotRect& leftStrip, const PlotRect& rightStrip);

// Layout of a graph window of client size width x height: the scroll bar at
// the right edge from y = 4 down, the plot over the rest.
struct GraphLayout {
  int barX, barY, barHeight;
  PlotRect plotRect;
};
GraphLayout layoutGraph(int clientWidth, int clientHeight, int barWidth);
