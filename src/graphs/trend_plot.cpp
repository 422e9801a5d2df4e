#include "graphs/trend_plot.h"

#include <cmath>

namespace {

constexpr int N = VERTICAL_DIVISIONS;

int clampStep(int step) { return step < 0 ? 0 : step >= ZOOM_STEP_COUNT ? ZOOM_STEP_COUNT - 1 : step; }

// trunc(B - N * F * centre / 1000) kept within 0..max; a centre far outside
// the range (say from an edited file) must not overflow the conversion.
int positionFor(double centre, int step, int max) {
  const double f = ZOOM_FACTORS[step];
  const double p = (max + N / 2) - N * f * centre / SCALE_UNITS;
  if (!(p > 0.0)) return 0;
  if (p >= max) return max;
  return static_cast<int>(p);
}

PlotRect normalised(int x0, int y0, int x1, int y1) {
  return {x0 < x1 ? x0 : x1, y0 < y1 ? y0 : y1, x0 < x1 ? x1 : x0, y0 < y1 ? y1 : y0};
}

void addOutline(DragBands& b, const PlotRect& r) {
  b.band[b.count++] = {r.left - 1, r.top - 1, r.right + 1, r.top + 1};
  b.band[b.count++] = {r.left - 1, r.bottom - 1, r.right + 1, r.bottom + 1};
  b.band[b.count++] = {r.left - 1, r.top - 1, r.left + 1, r.bottom + 1};
  b.band[b.count++] = {r.right - 1, r.top - 1, r.right + 1, r.bottom + 1};
}

}  // namespace

int TrendPlot::scrollPosition() const { return positionFor(viewCentre, clampStep(zoomStep), vScrollMax); }

void TrendPlot::updateView() {
  zoomStep = clampStep(zoomStep);
  const double f = ZOOM_FACTORS[zoomStep];
  const int whole = static_cast<int>(f);
  if (zoomStep == 0) viewCentre = SCALE_UNITS / 2;
  vScrollMax = (whole - 1) * N;
  const int p = positionFor(viewCentre, zoomStep, vScrollMax);
  // The centre always sits on a scroll step.
  viewCentre = (vScrollMax + N / 2 - p) * SCALE_UNITS / (N * whole);
  for (int t = 0; t < TRACE_COUNT; ++t) {
    const double low = channelRange[t][0];
    const double d = channelRange[t][1] - low;
    const double middle = low + d * viewCentre / SCALE_UNITS;
    shownHigh[t] = middle + d / f * 0.5;
    shownLow[t] = middle - d / f * 0.5;
  }
  showScroll(vScrollMax, p);
  refreshLabels();
}

bool TrendPlot::scroll(int request, int thumb) {
  const int m = vScrollMax;
  int p = scrollPosition();
  switch (request) {
    case SCROLL_LINE_UP: if (p > 0) --p; break;
    case SCROLL_LINE_DOWN: if (p < m) ++p; break;
    case SCROLL_PAGE_UP: p = p >= N ? p - N : 0; break;
    case SCROLL_PAGE_DOWN: p = p < m - N ? p + N : m; break;
    case SCROLL_THUMB_POSITION:
    case SCROLL_END: return false;
    case SCROLL_THUMB_TRACK: p = thumb; break;
    default: break;
  }
  const int whole = static_cast<int>(ZOOM_FACTORS[clampStep(zoomStep)]);
  viewCentre = (m + N / 2 - p) * SCALE_UNITS / (whole * N);
  updateView();
  return true;
}

int TrendPlot::zoomStepFor(int from, double ratio) {
  int step = clampStep(from);
  const double base = ZOOM_FACTORS[step];
  while (step < ZOOM_STEP_COUNT - 1 && ZOOM_FACTORS[step + 1] / base < ratio) ++step;
  return step;
}

void TrendPlot::buttonDown(int x, int y) {
  if (y < plotArea.top) return;
  if (x < plotArea.left + 3 || x > plotArea.right - 2) return;
  dragging = 1;
  dragStartX = x;
  dragStartY = y;
  previousZoomRect = {};
}

DragBands TrendPlot::mouseMove(bool buttonHeld, int x, int y) {
  DragBands bands;
  if (y < plotArea.top) return bands;
  x = x < plotArea.left ? plotArea.left : x > plotArea.right ? plotArea.right : x;
  y = y < plotArea.top ? plotArea.top : y > plotArea.bottom ? plotArea.bottom : y;
  if (!dragging) return bands;
  if (!buttonHeld) dragging = 0;
  zoomRect = normalised(dragStartX, dragStartY, x, y);
  addOutline(bands, previousZoomRect);
  addOutline(bands, zoomRect);
  previousZoomRect = zoomRect;
  return bands;
}

bool TrendPlot::buttonUp(int x, int y) {
  if (!dragging) return false;
  const int dx = x - dragStartX, dy = y - dragStartY;
  if (dx > -ZOOM_MIN_DRAG && dx < ZOOM_MIN_DRAG && dy > -ZOOM_MIN_DRAG && dy < ZOOM_MIN_DRAG) {
    endDrag();
    return false;
  }
  zoomStep = clampStep(zoomStep);
  if (undoDepth < UNDO_CAPACITY) undoStack[undoDepth] = {static_cast<int32_t>(viewCentre), zoomStep};
  const double areaHeight = plotArea.height();
  const double ratio = zoomRect.height() > 0 ? areaHeight / zoomRect.height() : HUGE_VAL;
  const int from = zoomStep;
  zoomStep = zoomStepFor(from, ratio);
  if (zoomStep != from && areaHeight > 0) {
    if (undoDepth < UNDO_CAPACITY - 1) ++undoDepth;
    // The middle of the rectangle becomes the middle of the new view.
    const double span = SCALE_UNITS / ZOOM_FACTORS[from];
    const int cy = (zoomRect.top + zoomRect.bottom) / 2;
    viewCentre = viewCentre - span / 2 + (plotArea.bottom - cy) * span / areaHeight;
  }
  updateView();
  endDrag();
  return true;
}

void TrendPlot::endDrag() {
  dragging = 0;
  dragStartX = dragStartY = 0;
  zoomRect = previousZoomRect = {};
}

bool TrendPlot::undo(int x, int y) {
  if (undoDepth == 0 || y < plotArea.top || !plotArea.contains(x, y)) return false;
  --undoDepth;
  zoomStep = clampStep(undoStack[undoDepth].step);
  viewCentre = undoStack[undoDepth].centre;
  updateView();
  return true;
}

void TrendPlot::restoreSavedZoom(int step, double centre) {
  zoomStep = clampStep(step);
  if (zoomStep == 0) return;
  viewCentre = centre;
  undoDepth = 1;
  undoStack[0] = {};
  updateView();
}
