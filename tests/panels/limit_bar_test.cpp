#include "panels/limit_bar.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr BarRect AREA{0, 0, 25, 69};

TEST(LimitBar, CreationAndScale) {
  LimitBar bar(AREA);
  EXPECT_EQ(bar.barArea, AREA);
  EXPECT_EQ(bar.lastMarker, BarRect{});
  EXPECT_FLOAT_EQ(bar.lowLimit, -5.0f);
  EXPECT_FLOAT_EQ(bar.highLimit, 5.0f);
  EXPECT_FLOAT_EQ(bar.scaleLow, -10.0f);
  EXPECT_FLOAT_EQ(bar.scaleHigh, 10.0f);
  EXPECT_FLOAT_EQ(bar.seenMin, 1.0e9f);
  EXPECT_FLOAT_EQ(bar.seenMax, -1.0e9f);
  EXPECT_EQ(bar.limitsShown, 0);

  bar.setBarLow(0.0f);
  bar.setBarHigh(10.0f);
  EXPECT_NEAR(bar.scaleLow, -2.0f, 1e-5);
  EXPECT_NEAR(bar.scaleHigh, 12.0f, 1e-5);
  // Limit lines one seventh of the height from either edge.
  EXPECT_EQ(bar.position(10.0f), 69 - 59);
  EXPECT_EQ(bar.position(0.0f), 69 - 9);

  // The order of the lines always holds.
  bar.setBarLow(10.0f);
  EXPECT_FLOAT_EQ(bar.lowLimit, 0.0f);
  bar.setBarLow(20.0f);
  EXPECT_FLOAT_EQ(bar.lowLimit, 0.0f);
  bar.setBarHigh(0.0f);
  EXPECT_FLOAT_EQ(bar.highLimit, 10.0f);
  bar.setBarHigh(-3.0f);
  EXPECT_FLOAT_EQ(bar.highLimit, 10.0f);
  EXPECT_NEAR(bar.scaleLow, -2.0f, 1e-5);
  EXPECT_NEAR(bar.scaleHigh, 12.0f, 1e-5);
}

TEST(LimitBar, LimitsOffDrawsFrameAndResetsBand) {
  LimitBar bar(AREA);
  bar.seenMin = 1.0f;
  bar.seenMax = 2.0f;
  BarPlan plan = bar.planBar(3.0f);
  ASSERT_EQ(plan.count, 1);
  EXPECT_EQ(plan.items[0].fill, BarFill::Frame);
  EXPECT_EQ(plan.items[0].rect, AREA);
  EXPECT_FLOAT_EQ(bar.seenMin, 1.0e9f);
  EXPECT_FLOAT_EQ(bar.seenMax, -1.0e9f);
  EXPECT_EQ(bar.lastMarker, BarRect{});
}

TEST(LimitBar, ZonesBandAndMarkers) {
  LimitBar bar(AREA);
  bar.setBarLow(0.0f);
  bar.setBarHigh(10.0f);
  bar.limitsShown = 1;

  // No value seen yet: zones and the marker only.
  BarPlan plan = bar.planBar(5.0f);
  ASSERT_EQ(plan.count, 4);
  EXPECT_EQ(plan.items[0].fill, BarFill::InRange);
  EXPECT_EQ(plan.items[0].rect, (BarRect{0, 10, 25, 60}));
  EXPECT_EQ(plan.items[1].fill, BarFill::OutOfRange);
  EXPECT_EQ(plan.items[1].rect, (BarRect{0, 0, 25, 10}));
  EXPECT_EQ(plan.items[2].fill, BarFill::OutOfRange);
  EXPECT_EQ(plan.items[2].rect, (BarRect{0, 60, 25, 69}));
  EXPECT_EQ(plan.items[3].fill, BarFill::Marker);
  EXPECT_EQ(plan.items[3].rect, (BarRect{0, 34, 25, 36}));
  EXPECT_EQ(bar.lastMarker, (BarRect{0, 35, 25, 36}));

  // Seen band in the middle third; the previous marker stays as a line;
  // a value far above the scale draws no marker but moves lastMarker.
  bar.seenMin = 2.0f;
  bar.seenMax = 8.0f;
  plan = bar.planBar(1000.0f);
  ASSERT_EQ(plan.count, 5);
  EXPECT_EQ(plan.items[3].fill, BarFill::SeenBand);
  EXPECT_EQ(plan.items[3].rect, (BarRect{9, 20, 15, 50}));
  EXPECT_EQ(plan.items[4].fill, BarFill::SeenBand);
  EXPECT_EQ(plan.items[4].rect, (BarRect{0, 35, 25, 36}));
  const int32_t far = bar.position(1000.0f);
  EXPECT_LT(far, 0);
  EXPECT_EQ(bar.lastMarker, (BarRect{0, far, 25, far + 1}));

  // That off-bar marker is not painted next time; a band above the scale is
  // cut at the top edge + 1.
  bar.seenMax = 100.0f;
  plan = bar.planBar(0.0f);
  ASSERT_EQ(plan.count, 5);
  EXPECT_EQ(plan.items[3].rect, (BarRect{9, 1, 15, 50}));
  EXPECT_EQ(plan.items[4].fill, BarFill::Marker);
  EXPECT_EQ(plan.items[4].rect, (BarRect{0, 59, 25, 61}));

  // Marker exactly at the edges: needs a pixel above and below inside the bar.
  bar.lastMarker = {};
  const float perPixel = 14.0f / 69.0f;
  plan = bar.planBar(-2.0f);  // pos = 69: the line below would leave the bar
  EXPECT_NE(plan.items[plan.count - 1].fill, BarFill::Marker);
  plan = bar.planBar(-2.0f + perPixel * 1.5f);  // pos = 68
  EXPECT_EQ(plan.items[plan.count - 1].fill, BarFill::Marker);
  EXPECT_EQ(plan.items[plan.count - 1].rect, (BarRect{0, 67, 25, 69}));
}

TEST(LimitBar, ZonesClampToTheBar) {
  LimitBar bar(AREA);
  bar.limitsShown = 1;
  bar.seenMin = 3.0f;  // a band entirely above zero
  bar.seenMax = 4.0f;
  BarPlan plan = bar.planBar(std::numeric_limits<float>::quiet_NaN());
  ASSERT_EQ(plan.count, 4);
  for (int i = 0; i < plan.count; ++i) {
    EXPECT_GE(plan.items[i].rect.top, 0);
    EXPECT_LE(plan.items[i].rect.bottom, 69);
    EXPECT_NE(plan.items[i].fill, BarFill::Marker);
  }
  // Scale -10..10 over 69 pixels: 3 -> 69 - 44, 4 -> 69 - 48.
  EXPECT_EQ(plan.items[3].rect, (BarRect{9, 21, 15, 25}));
}

}  // namespace
