#include "panels/limit_bar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

// A plan as text: per fill F(rame), I(n range), O(ut of range), S(een band) or M(arker) and its rectangle.
std::string planText(const BarPlan& plan) {
  std::string s;
  for (int i = 0; i < plan.count; ++i) {
    const BarRect& r = plan.items[i].rect;
    s += std::string(i ? " " : "") + "FIOSM"[static_cast<int>(plan.items[i].fill)] + std::to_string(r.left) + "," +
         std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
  }
  return s;
}

// One bar 69 pixels high drawn over and over. Each row moves the lower then the upper limit, sets the seen band
// (unless NaN) and draws a value. Limits 0..10 give a scale of -2..12: the lines sit one seventh of the height
// from either edge, 14 / 69 per pixel.
TEST(LimitBar, LimitsZonesBandAndMarkers) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), px = 14.0f / 69.0f;
  const std::string zones = "I0,10,25,60 O0,0,25,10 O0,60,25,69 ";
  const struct {
    float low, high, seenMin, seenMax, v;
    std::string plan;
  } steps[] = {
      // Limits -5..5 on the same heights; a band entirely above zero, no marker for NaN.
      {-5, 5, 3, 4, nan, zones + "S9,15,15,20"},
      {0, 10, 1e9f, -1e9f, 5, zones + "M0,34,25,36"},  // nothing seen yet
      // The lines never cross; the previous marker stays as a line; no marker far above the bar.
      {10, 0, 2, 8, 1000, zones + "S9,20,15,50 S0,35,25,36"},
      {0, 10, 2, 100, 0, zones + "S9,1,15,50 M0,59,25,61"},  // the marker above the bar is gone; band cut at the top
      // The band cut at the bottom; a marker needs a pixel above and below inside the bar.
      {0, 10, -100, 8, -2, zones + "S9,20,15,68 S0,60,25,61"},
      {0, 10, nan, nan, -2 + px * 1.5f, zones + "S9,20,15,68 M0,67,25,69"},
  };
  LimitBar bar({0, 0, 25, 69});
  bar.limitsShown = 1;
  for (const auto& c : steps) {
    bar.setBarLow(c.low);
    bar.setBarHigh(c.high);
    if (!std::isnan(c.seenMin)) bar.seenMin = c.seenMin, bar.seenMax = c.seenMax;
    EXPECT_EQ(planText(bar.planBar(c.v)), c.plan) << c.v;
  }
  // Limits off: the frame only, and the seen band starts again.
  bar.limitsShown = 0;
  EXPECT_EQ(planText(bar.planBar(3.0f)), "F0,0,25,69");
  EXPECT_EQ(bar.seenMin, BAR_SEEN_MIN_RESET);
  EXPECT_EQ(bar.seenMax, BAR_SEEN_MAX_RESET);
}
