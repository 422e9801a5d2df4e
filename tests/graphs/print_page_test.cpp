#include "graphs/print_page.h"

#include <gtest/gtest.h>

#include "graphs/plot_geometry.h"

// A 700-pixel graph window (683 x 389 plot) and others on printer pages and
// pictures: scale, frame, page fonts and pens, curve area, time label step
// (screen curves 640 wide) and one legend entry.
TEST(PrintPage, PageGeometry) {
  const struct {
    const char* what;
    int horzRes, vertRes;
    PlotRect plot;
    int caption, labels[4], ax, ay, dialogFrame, legendTrace, k;
    PlotRect frame;
    int labelFont, rotatedFont, pen;
    PlotRect curves;
    int step;
    PagePoint legend;
  } cases[] = {
      {"A4 at 600 dpi", 7016, 4961, {0, 0, 683, 389}, 19, {1, 1, 0, 1}, 60, 97, 3, 7,
       10, {92, 337, 6922, 4623}, 97, 103, 11, {189, 340, 6825, 4526}, 622, {1449, 4623}},
      {"letter at 150 dpi: curves under 1921 pixels keep the screen's spacing", 1650, 1275, {0, 0, 683, 389}, 19,
       {1, 1, 0, 1}, 15, 25, 3, 0,
       2, {141, 198, 1507, 1076}, 22, 26, 2, {166, 201, 1482, 1051}, 60, {166, 1076}},
      {"no channels, no labels yet, a wide window", 2339, 1654, {0, 0, 1183, 589}, 23, {0, 0, 0, 0}, 20, 32, 4, 7,
       1, {577, 466, 1760, 1187}, 32, 34, 3, {581, 470, 1756, 1183}, 60, {1001, 1215}},
      {"a tall window: one step smaller, so that the title and the legend stay on the paper", 3508, 2480,
       {0, 0, 615, 450}, 19, {1, 1, 0, 1}, 30, 50, 3, 2,
       4, {523, 240, 2983, 2238}, 48, 51, 5, {573, 243, 2933, 2188}, 221, {753, 2238}},
      {"a page smaller than the window still prints at scale 1", 600, 400, {0, 0, 683, 389}, 19, {1, 1, 0, 1}, 5, 8,
       3, 1,
       1, {-42, -10, 641, 409}, 8, 8, 0, {-34, -7, 633, 401}, 60, {-19, 409}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PageFrame p = pageFrame(c.horzRes, c.vertRes, c.plot, c.caption);
    EXPECT_EQ(p.k, c.k);
    EXPECT_EQ(p.frame, c.frame);
    EXPECT_EQ(p.labelFontHeight, c.labelFont);
    EXPECT_EQ(p.rotatedFontHeight, c.rotatedFont);
    EXPECT_EQ(p.tracePenWidth, c.pen);
    const PlotRect curves = pageCurveArea(p.frame, c.labels, c.ay, c.dialogFrame);
    EXPECT_EQ(curves, c.curves);
    EXPECT_EQ(labelStep(curves.width(), 640), c.step);
    const PagePoint at = legendPlace(c.legendTrace, curves, c.ax, c.ay);
    EXPECT_TRUE(at.x == c.legend.x && at.y == c.legend.y) << at.x << " " << at.y;
  }
}
