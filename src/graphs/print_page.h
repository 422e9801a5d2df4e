// Where a graph stands on a printed page (or a picture of one): the scale from
// the screen, the page and frame rectangles, the curve area, the legend, and
// the sizes of the page's fonts and pens. Pixels of the page's device.
#pragma once

#include "graphs/trend_scale.h"

struct PageFrame {
  int hr = 0, vr = 0;  // last pixel column and row of the page
  int k = 1;           // page pixels per screen pixel
  PlotRect page;       // the screen plot scaled by k, centred
  PlotRect frame;      // the page stretched upwards and downwards
  int labelFontHeight = 0, rotatedFontHeight = 0, tracePenWidth = 0;
};

// horzRes x vertRes pixels; plotRect the plot's client rectangle on screen,
// caption the screen's caption height (room for the title above the curves).
PageFrame pageFrame(int horzRes, int vertRes, const PlotRect& plotRect, int caption);

// The curve area inside the frame: a side with labels loses the label font's
// height textHeight, the others the screen's dialog frame.
PlotRect pageCurveArea(const PlotRect& frame, const int labelsSet[4], int textHeight, int dialogFrame);

// Top-left corner of the legend's entry for trace k ("01" to "08"), the label
// font's "A" being textWidth x textHeight: in a row below the time labels.
struct PagePoint {
  int x, y;
};
PagePoint legendPlace(int k, const PlotRect& curveArea, int textWidth, int textHeight);
