// Painting a graph's plot: background, grid and colour swatches, time and
// value labels, limit lines and curves, and the zoom rectangle being dragged.
#include <cstring>

#include "graphs/graph_trend_plot_win.h"
#include "graphs/plot_geometry.h"
#include "settings/meter_settings.h"

namespace {

RECT toRect(const PlotRect& r) { return {r.left, r.top, r.right, r.bottom}; }

void line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

SIZE extent(HDC dc, const wchar_t* text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  return size;
}

void toWide(const char* cp1251, wchar_t* out, int size) {
  out[0] = 0;
  MultiByteToWideChar(1251, 0, cp1251, -1, out, size - 1);
  out[size - 1] = 0;
}

}  // namespace

void GraphTrendPlot::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const RECT whole = toRect(plotRect);
  FillRect(dc, &whole, backgroundBrush_);
  HGDIOBJ oldFont = SelectObject(dc, rotatedFont_);
  const SIZE vertical = extent(dc, L"A");
  SelectObject(dc, textFont_);
  textSize_ = extent(dc, L"A");
  HGDIOBJ oldPen = SelectObject(dc, gridPen_);

  const int f = GetSystemMetrics(SM_CXDLGFRAME);
  plotArea = {plotRect.left + (labelsSet_[0] ? vertical.cy : f), plotRect.top + (labelsSet_[2] ? textSize_.cy : f),
              plotRect.right - (labelsSet_[1] ? vertical.cy : f),
              plotRect.bottom - (labelsSet_[3] ? textSize_.cy : f)};
  drawGrid(dc, plotArea, gridPen_);
  drawLabels(dc, plotArea, textFont_, rotatedFont_, LABEL_COLOUR);
  drawTraces(dc, plotArea, nullptr);
  if (dragging) {
    SelectObject(dc, dragPen_);
    const PlotRect& z = zoomRect;
    MoveToEx(dc, z.left, z.top, nullptr);
    LineTo(dc, z.right, z.top);
    LineTo(dc, z.right, z.bottom);
    LineTo(dc, z.left, z.bottom);
    LineTo(dc, z.left, z.top);
    Sleep(20);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
  EndPaint(window, &ps);
}

bool GraphTrendPlot::buildLabels() {
  const MeterSettings* s = meterSettings.load();
  labelsSet_[3] = 1;  // the time labels' strip, with no texts of its own
  bool changed = false;
  for (int side = 0; side < 2; ++side) {
    const int t = side == 0 ? leftScaleTrace : rightScaleTrace;
    const int c = t >= 1 && t <= TRACE_COUNT ? traceChannel(t - 1) : 0;
    wchar_t next[VERTICAL_DIVISIONS + 1][LABEL_TEXT_SIZE] = {};
    if (c != 0 && s) {
      const ValueLabels v = valueLabels(shownLow[t - 1], shownHigh[t - 1], s->channelName[c], s->unitText[c]);
      for (int i = 0; i <= VERTICAL_DIVISIONS; ++i) toWide(v.text[i], next[i], LABEL_TEXT_SIZE);
    }
    labelsSet_[side] = 1;  // the margin stays even without texts
    if (std::memcmp(next, labels_[side], sizeof next) != 0) {
      std::memcpy(labels_[side], next, sizeof next);
      changed = true;
    }
  }
  return changed;
}

void GraphTrendPlot::drawGrid(HDC dc, const PlotRect& area, HPEN pen) {
  SelectObject(dc, pen);
  const int x = area.left, y = area.top, a = area.right, y2 = area.bottom;
  lastPlotWidth_ = a - x;
  if (a - x <= PRINT_WIDTH_THRESHOLD) {
    screenPlotArea_ = area;
    RECT w;
    GetWindowRect(window, &w);
    const int f = GetSystemMetrics(SM_CYDLGFRAME);
    for (int k = 0; k < TRACE_COUNT; ++k) {
      RECT sel;
      if (!selectors_[k] || !GetWindowRect(selectors_[k], &sel)) continue;
      hitRects[k] = swatchRect(sel.left, w.left, f, sel.bottom - sel.top);
      const RECT swatch = toRect(hitRects[k]);
      HBRUSH brush = CreateSolidBrush(traceColour[k]);
      FillRect(dc, &swatch, brush);
      DeleteObject(brush);
    }
  } else {
    // A page: the graph's title instead of the swatches.
    const MeterSettings* s = meterSettings.load();
    wchar_t title[PLOT_NAME_SIZE] = {};
    if (s) toWide(s->plotName[graphSlot], title, PLOT_NAME_SIZE);
    SetTextColor(dc, 0);
    TextOutW(dc, x, y - (5 * extent(dc, L"A").cy) / 4, title, lstrlenW(title));
  }
  const int top = y + screenHeight_ / 48;
  for (int i = 0; i <= GRID_ROWS; ++i) {
    const int yi = gridY(i, top, y2);
    line(dc, x, yi, a, yi);
    if (i % 5 == 0) line(dc, x, yi + 1, a, yi + 1);
  }
  const int ws = screenPlotArea_.width();
  for (int k = 0;; ++k) {
    const int gx = gridX(k, x, a - x, ws);
    if (gx > a) break;
    line(dc, gx, top, gx, y2);
    if (k % 2 == 0) line(dc, gx + 1, top, gx + 1, y2);
  }
  line(dc, a, top, a, y2);
  hitRects[HIT_CURVES] = {x, top, a, y2};
}

void GraphTrendPlot::drawLabels(HDC dc, const PlotRect& area, HFONT horizontal, HFONT vertical, COLORREF colour) {
  // Texts change with the view, the scale sides and the channels' names; a
  // change is shown at once, an unchanged text asks for nothing.
  if (buildLabels()) repaint();
  const int x = area.left, y = area.top, a = area.right, y2 = area.bottom;
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, horizontal);
  SetTextColor(dc, colour);
  const int step = labelStep(a - x, screenPlotArea_.width());
  for (int k = 0; step > 0 && x + k * step <= a; ++k) {
    char text[8];
    trend.labelText(k, text);
    wchar_t wide[8];
    toWide(text, wide, 8);
    TextOutW(dc, x + k * step - extent(dc, wide).cx / 2, y2, wide, 5);
  }
  SelectObject(dc, vertical);
  int thickness = extent(dc, L"A").cy;
  const int top = y + screenHeight_ / 48;
  for (int side = 0; side < 2; ++side) {
    const int t = side == 0 ? leftScaleTrace : rightScaleTrace;
    SetTextColor(dc, t >= 1 && t <= TRACE_COUNT ? traceColour[t - 1] : colour);
    for (int i = 0; i <= VERTICAL_DIVISIONS; ++i) {
      const wchar_t* text = labels_[side][i];
      if (!text[0]) continue;
      const SIZE size = extent(dc, text);
      thickness = size.cy;
      const int start = valueLabelStart(i, top, y2, size.cx);
      TextOutW(dc, side == 0 ? x - size.cy : a, start, text, lstrlenW(text));
    }
  }
  hitRects[HIT_LEFT_STRIP] = {0, y, thickness, y2};
  hitRects[HIT_RIGHT_STRIP] = {a, y, a + thickness, y2};
  SelectObject(dc, horizontal);
}

void GraphTrendPlot::drawTraces(HDC dc, const PlotRect& area, const HPEN* pens) {
  plotArea.top = area.top + screenHeight_ / 48;
  const MeterSettings* s = meterSettings.load();
  // Only the points near the repainted columns matter; a new point repaints one.
  // A picture's metafile or bitmap is drawn whole.
  RECT clip{};
  int from = 0, to = plotArea.width();
  if (plotArea.width() <= PRINT_WIDTH_THRESHOLD && GetObjectType(dc) == OBJ_DC && GetClipBox(dc, &clip) != ERROR) {
    from = clip.left - plotArea.left - 3;
    to = clip.right - plotArea.left + 2;
  }
  for (int k = 0; k < TRACE_COUNT; ++k) {
    const int c = traceChannel(k);
    if (c == 0) continue;
    if (s && (k + 1 == leftScaleTrace || k + 1 == rightScaleTrace)) {
      const double limits[2] = {s->minLimit[c], s->maxLimit[c]};
      for (int upper = 0; upper < 2; ++upper)
        if (limits[upper] < LIMIT_UNSET)
          drawLimit(dc, k, valueToRow(limits[upper], shownLow[k], shownHigh[k], plotArea.top, plotArea.bottom),
                    upper != 0);
    }
    SelectObject(dc, pens ? pens[k] : tracePen_[k]);
    drawCurve(dc, k, from, to);
  }
}

void GraphTrendPlot::drawLimit(HDC dc, int trace, int y, bool upper) {
  if (!limitLineShown(y, plotArea)) return;
  HPEN pen = CreatePen(PS_SOLID, 1, traceColour[trace]);
  HGDIOBJ old = SelectObject(dc, pen);
  line(dc, plotArea.left + 1, y, plotArea.right, y);
  const Hatch h = limitHatch(plotArea, y, upper);
  for (int x = h.first; x < h.end; x += h.step) line(dc, x, y + h.dy, x + h.size, y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void GraphTrendPlot::drawCurve(HDC dc, int t, int from, int to) {
  const int left = plotArea.left, width = plotArea.width(), ws = screenPlotArea_.width();
  bool previous = false;
  int px = 0, py = 0;
  for (int j = from > 0 ? from : 0; j < trend.shownPoints && j <= to; ++j) {
    const int x = pointToX(j, left, width, ws);
    if (x >= plotArea.right) break;
    const int u = trend.rowOf(t, j);
    if (u < 0) {  // older than the history holds: nothing to draw
      previous = false;
      continue;
    }
    const int y = valueToY(trend.history[u][t], shownLow[t], shownHigh[t], plotArea.top, plotArea.bottom);
    if (previous && (plotArea.contains(px, py) || plotArea.contains(x, y)))
      LineTo(dc, x, y);
    else
      MoveToEx(dc, x, y, nullptr);
    px = x;
    py = y;
    previous = true;
  }
}
