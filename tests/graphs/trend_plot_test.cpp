#include "graphs/trend_plot.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphs/plot_geometry.h"
#include "graphs/plot_labels.h"

namespace {

// Every trace over low..high, curves 300 pixels high, the view at a zoom step around a centre.
std::unique_ptr<TrendPlot> plotOver(double low, double high, int step, double centre) {
  auto p = std::make_unique<TrendPlot>();
  for (auto& r : p->channelRange) r[0] = low, r[1] = high;
  p->plotArea = {40, 30, 640, 330};
  p->zoomStep = step;
  p->viewCentre = centre;
  p->updateView();
  return p;
}

}  // namespace

// Each step's scroll range; the centre snaps to a scroll step (500 at step 0)
// and the trace shows 1/F of its range around it.
TEST(TrendPlot, ViewCentresPerZoomStep) {
  const struct {
    int step;
    double centreIn;
    int max, position;
    double centre, low, high;
  } cases[] = {
      {0, 123, 0, 0, 500, -10, 10},   {1, 750, 4, 0, 750, 0, 10},       {1, 600, 4, 1, 625, -2.5, 7.5},
      {1, 250, 4, 4, 250, -10, 0},    {1, -1e300, 4, 4, 250, -10, 0},   {2, 500, 16, 8, 500, -2, 2},
      {9, 1e9, 3996, 0, 999.5, 9.98, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.centreIn);
    auto p = plotOver(-10, 10, c.step, c.centreIn);
    EXPECT_EQ(p->vScrollMax, c.max);
    EXPECT_EQ(p->scrollPosition(), c.position);
    EXPECT_DOUBLE_EQ(p->viewCentre, c.centre);
    EXPECT_NEAR(p->shownLow[5], c.low, 1e-9);
    EXPECT_NEAR(p->shownHigh[5], c.high, 1e-9);
  }
}

// At x5 (positions 0..16): position before, request, thumb, position after, whether anything changed.
TEST(TrendPlot, ScrollRequests) {
  const struct {
    int position, request, thumb, after;
    bool changes;
  } cases[] = {
      {2, SCROLL_LINE_UP, 0, 1, true},       {0, SCROLL_LINE_UP, 0, 0, true},     {16, SCROLL_LINE_DOWN, 0, 16, true},
      {3, SCROLL_PAGE_UP, 0, 0, true},       {11, SCROLL_PAGE_DOWN, 0, 15, true}, {12, SCROLL_PAGE_DOWN, 0, 16, true},
      {3, SCROLL_THUMB_TRACK, 13, 13, true}, {3, SCROLL_THUMB_POSITION, 9, 3, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position * 100 + c.request);
    auto p = plotOver(0, 1, 2, (18 - c.position) * 1000.0 / 20);
    ASSERT_EQ(p->scrollPosition(), c.position);
    EXPECT_EQ(p->scroll(c.request, c.thumb), c.changes);
    EXPECT_EQ(p->scrollPosition(), c.after);
  }
}

// A dragged rectangle picks the largest factor whose magnification stays below
// the height ratio; short drags do nothing; undo walks back.
TEST(TrendPlot, ZoomChoiceAndUndo) {
  const struct {
    int from, x0, y0, x1, y1;
    int step;
    double centre;
  } cases[] = {
      {0, 100, 100, 107, 107, 0, 500},  // 7 x 7: no zoom
      {0, 100, 100, 300, 250, 0, 500},  // exactly half the height
      {0, 100, 100, 300, 249, 1, 625},  // just under half: x2, centred on a scroll step near the middle
      {0, 100, 200, 110, 200, 9, 433.5},  // no height: x1000
      {0, 100, 200, 110, 201, 7, 433.75},  // 1 pixel of 300: x200
      {9, 100, 100, 300, 110, 9, 500},  // nothing beyond x1000
      {1, 100, 30, 300, 330, 1, 500},   // the whole height at x2: no change
      {0, 42, 100, 200, 200, 0, 500},   // pressed left of the curves or above them: no drag
      {0, 100, 29, 200, 100, 0, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x1 * 1000 + c.y1);
    auto p = plotOver(-10, 10, c.from, 500);
    p->buttonDown(c.x0, c.y0);
    p->mouseMove(true, c.x1, c.y1);
    p->buttonUp(c.x1, c.y1);
    EXPECT_EQ(p->zoomStep, c.step);
    EXPECT_NEAR(p->viewCentre, c.centre, 0.5);
    EXPECT_EQ(p->undoDepth, c.step != c.from ? 1 : 0);
    EXPECT_EQ(p->dragging, 0);
    if (p->undoDepth == 0) continue;
    EXPECT_FALSE(p->undo(100, 20));  // above the curves
    EXPECT_TRUE(p->undo(100, 200));
    EXPECT_EQ(p->zoomStep, c.from);
    EXPECT_FALSE(p->undo(100, 200));
  }
  // A graph reopened zoomed undoes to the whole range.
  auto p = plotOver(-10, 10, 0, 500);
  p->restoreSavedZoom(3, 300);
  EXPECT_TRUE(p->undo(100, 200));
  EXPECT_EQ(p->zoomStep, 0);
  EXPECT_EQ(p->viewCentre, 500);
}

// The five value labels bottom to top; a name with format directives is shown as it is.
TEST(PlotLabels, ValueTexts) {
  const struct {
    double low, high;
    const char *name, *unit, *texts;
  } cases[] = {
      {-10, 10, "\xC4\xE0\xE2", "\xE0\xF2\xEC", "-10|-5|0|5|\xC4\xE0\xE2,\xE0\xF2\xEC 10"},
      {-1e-9, 3e-9, "\xC4\xE0\xE2", "\xE0\xF2\xEC", "0|0|0|0|\xC4\xE0\xE2,\xE0\xF2\xEC 0"},
      {0.25, 1.25, "", "", "0.25|0.5|0.75|1|, 1.25"},
      {0, 1, "%s%n", "%d", "0|0.25|0.5|0.75|%s%n,%d 1"},
  };
  for (const auto& c : cases) {
    const ValueLabels l = valueLabels(c.low, c.high, c.name, c.unit);
    EXPECT_EQ(std::string(l.text[0]) + "|" + l.text[1] + "|" + l.text[2] + "|" + l.text[3] + "|" + l.text[4], c.texts);
  }
}

// Values to rows, limit hatching and label places at the edges of the band.
TEST(PlotGeometry, RowsHatchAndLabelPlaces) {
  const struct {
    double v, low, high;
    int y, row;
  } rows[] = {{0, -10, 10, 200, 200}, {10, -10, 10, 100, 100}, {11, -10, 10, 99, 90},
              {-1e30, -10, 10, 301, 1000000}, {3, 2, 2, 200, 200}};
  for (const auto& c : rows) {
    EXPECT_EQ(valueToY(c.v, c.low, c.high, 100, 300), c.y) << c.v;
    EXPECT_EQ(valueToRow(c.v, c.low, c.high, 100, 300), c.row) << c.v;
  }
  const Hatch up = limitHatch({40, 100, 1240, 300}, 150, true);
  EXPECT_EQ(up.size, 3);
  EXPECT_EQ(up.dy, -3);
  EXPECT_EQ(limitHatch({40, 100, 2000, 300}, 150, false).size, 5);
  EXPECT_FALSE(limitLineShown(102, {40, 100, 640, 300}));
  EXPECT_TRUE(limitLineShown(103, {40, 100, 640, 300}));
  // Labels of length 40 over a band of 200: centred, or pushed inside at the ends.
  const int starts[5] = {300, 270, 220, 170, 140};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(valueLabelStart(i, 100, 300, 40), starts[i]) << i;
  EXPECT_EQ(pointToX(30, 10, 4000, 1000), 131);
  EXPECT_EQ(pointToX(30, 10, 4000, 0), 41);
}
