#include "graphs/print_page.h"

namespace {

constexpr int LABEL_FONT_PER_WIDTH = 72;
constexpr int ROTATED_FONT_PER_HEIGHT = 48;
constexpr int PEN_PER_WIDTH = 600;
constexpr int FRAME_STRETCH_PER_HEIGHT = 25;
constexpr int LEGEND_SPACING = 3;  // letter widths per legend entry
constexpr int TITLE_ROOM = 5;      // quarter letter heights of the title above the curves

}  // namespace

PageFrame pageFrame(int horzRes, int vertRes, const PlotRect& plot, int caption) {
  PageFrame p;
  p.hr = horzRes - 1;
  p.vr = vertRes - 1;
  p.labelFontHeight = p.hr / LABEL_FONT_PER_WIDTH;
  p.rotatedFontHeight = p.vr / ROTATED_FONT_PER_HEIGHT;
  p.tracePenWidth = p.hr / PEN_PER_WIDTH;
  const int width = plot.width(), height = caption + plot.height();
  // A window of no width (or a page smaller than the window) still prints at
  // the screen's size rather than dividing by zero or shrinking to nothing.
  const int byWidth = width > 0 ? p.hr / width : p.vr;
  const int byHeight = height > 0 ? p.vr / height : p.hr;
  p.k = byWidth < byHeight ? byWidth : byHeight;
  if (p.k < 1) p.k = 1;
  const int stretch = p.vr / FRAME_STRETCH_PER_HEIGHT;
  for (;; --p.k) {
    const int w = p.k * width, h = p.k * plot.height();
    p.page = {(p.hr - w) / 2, (p.vr - h) / 2, (w + p.hr) / 2, (h + p.vr) / 2};
    p.frame = {p.page.left, p.page.top - stretch, p.page.right, p.page.bottom + stretch};
    // The caption's room alone does not hold the stretched frame, the title
    // above it and the legend below it: a tall window would lose them off the
    // paper. A smaller scale keeps them on it.
    const bool fits = p.frame.top >= TITLE_ROOM * p.labelFontHeight / 4 && p.frame.bottom + p.labelFontHeight <= p.vr;
    if (fits || p.k == 1) return p;
  }
}

PlotRect pageCurveArea(const PlotRect& f, const int labelsSet[4], int textHeight, int dialogFrame) {
  const auto margin = [&](int side) { return labelsSet[side] ? textHeight : dialogFrame; };
  return {f.left + margin(0), f.top + margin(2), f.right - margin(1), f.bottom - margin(3)};
}

PagePoint legendPlace(int k, const PlotRect& area, int textWidth, int textHeight) {
  return {area.left + LEGEND_SPACING * k * textWidth, area.bottom + textHeight};
}
