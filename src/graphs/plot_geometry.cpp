#include "graphs/plot_geometry.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double FAR_ROWS = 1.0e6;

bool page(int width, int screenWidth) { return width > PRINT_WIDTH_THRESHOLD && screenWidth > 0; }

int scaled(int value, int width, int screenWidth) {
  return static_cast<int>(static_cast<int64_t>(value) * width / screenWidth);
}

}  // namespace

int valueToRow(double v, double low, double high, int top, int bottom) {
  const double offset = (v - low) * (bottom - top) / (high - low);
  if (!std::isfinite(offset)) return (top + bottom) / 2;
  const double y = bottom - std::trunc(offset);
  return static_cast<int>(y < -FAR_ROWS ? -FAR_ROWS : y > FAR_ROWS ? FAR_ROWS : y);
}

int valueToY(double v, double low, double high, int top, int bottom) {
  const int y = valueToRow(v, low, high, top, bottom);
  return y < top - 1 ? top - 1 : y > bottom + 1 ? bottom + 1 : y;
}

int pointToX(int j, int left, int width, int screenWidth) {
  return left + 1 + (page(width, screenWidth) ? scaled(j, width, screenWidth) : j);
}

int labelStep(int width, int screenWidth) {
  return page(width, screenWidth) ? scaled(LABEL_STEP, width, screenWidth) : LABEL_STEP;
}

int gridX(int k, int left, int width, int screenWidth) {
  return left + (page(width, screenWidth) ? scaled(k * GRID_STEP, width, screenWidth) : k * GRID_STEP);
}

int gridY(int i, int top, int bottom) { return top + (i * (bottom - top)) / GRID_ROWS; }

bool limitLineShown(int y, const PlotRect& c) { return c.top + 3 <= y && y <= c.bottom - 3; }

Hatch limitHatch(const PlotRect& c, int y, bool upper) {
  (void)y;
  const int e = c.right / 400 > 3 ? c.right / 400 : 3;
  return {e, 3 * e, c.left + 1, c.right - e, upper ? -e : e};
}

int valueLabelStart(int i, int top, int bottom, int length) {
  const int t = (bottom - top) * i / VERTICAL_DIVISIONS;
  const int h = length / 2;
  const int r = h > t ? bottom - h : bottom - t;
  return r - h < top ? top + 2 * h : r + h;
}

PlotRect swatchRect(int selectorLeft, int windowLeft, int frame, int selectorHeight) {
  const int l = selectorLeft - (windowLeft + frame);
  return {l - (4 * selectorHeight) / 5, 2 * frame, l - frame, selectorHeight};
}

int menuArea(int x, int y, const PlotRect& curves, const PlotRect& leftStrip, const PlotRect& rightStrip) {
  if (curves.contains(x, y)) return 3;
  if (rightStrip.contains(x, y)) return 2;
  if (leftStrip.contains(x, y)) return 1;
  return 0;
}

GraphLayout layoutGraph(int w, int h, int barWidth) {
  return {w - barWidth + 1, 4, h - 4, PlotRect{0, 0, w - barWidth, h}};
}
