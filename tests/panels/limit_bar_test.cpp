#include "panels/limit_bar.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>

namespace {

constexpr BarRect AREA{0, 0, 25, 69};

// The plan holds exactly these fills, in this order.
void expectPlan(const BarPlan& plan, std::initializer_list<BarPaint> want) {
  ASSERT_EQ(plan.count, static_cast<int>(want.size()));
  for (int i = 0; i < plan.count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(plan.items[i].fill, want.begin()[i].fill);
    EXPECT_EQ(plan.items[i].rect, want.begin()[i].rect);
  }
}

TEST(LimitBar, ScaleAndLimitsOff) {
  LimitBar bar(AREA);
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
  bar.setBarHigh(0.0f);
  EXPECT_FLOAT_EQ(bar.highLimit, 10.0f);
  EXPECT_NEAR(bar.scaleLow, -2.0f, 1e-5);
  EXPECT_NEAR(bar.scaleHigh, 12.0f, 1e-5);

  // Limits off: the frame only, and the seen band starts again.
  bar.seenMin = 1.0f;
  bar.seenMax = 2.0f;
  expectPlan(bar.planBar(3.0f), {{AREA, BarFill::Frame}});
  EXPECT_FLOAT_EQ(bar.seenMin, 1.0e9f);
  EXPECT_FLOAT_EQ(bar.seenMax, -1.0e9f);
  EXPECT_EQ(bar.lastMarker, BarRect{});
}

TEST(LimitBar, ZonesBandAndMarkers) {
  LimitBar bar(AREA);
  bar.setBarLow(0.0f);
  bar.setBarHigh(10.0f);
  bar.limitsShown = 1;
  const BarPaint zones[] = {{{0, 10, 25, 60}, BarFill::InRange},
                            {{0, 0, 25, 10}, BarFill::OutOfRange},
                            {{0, 60, 25, 69}, BarFill::OutOfRange}};

  // No value seen yet: zones and the marker only.
  expectPlan(bar.planBar(5.0f), {zones[0], zones[1], zones[2], {{0, 34, 25, 36}, BarFill::Marker}});
  EXPECT_EQ(bar.lastMarker, (BarRect{0, 35, 25, 36}));

  // Seen band in the middle third; the previous marker stays as a line;
  // a value far above the scale draws no marker but moves lastMarker.
  bar.seenMin = 2.0f;
  bar.seenMax = 8.0f;
  expectPlan(bar.planBar(1000.0f), {zones[0], zones[1], zones[2], {{9, 20, 15, 50}, BarFill::SeenBand},
                                    {{0, 35, 25, 36}, BarFill::SeenBand}});
  const int32_t far = bar.position(1000.0f);
  EXPECT_LT(far, 0);
  EXPECT_EQ(bar.lastMarker, (BarRect{0, far, 25, far + 1}));

  // That off-bar marker is not painted next time; a band above the scale is
  // cut at the top edge + 1.
  bar.seenMax = 100.0f;
  expectPlan(bar.planBar(0.0f), {zones[0], zones[1], zones[2], {{9, 1, 15, 50}, BarFill::SeenBand},
                                 {{0, 59, 25, 61}, BarFill::Marker}});

  // Marker exactly at the edges: needs a pixel above and below inside the bar.
  bar.lastMarker = {};
  const float perPixel = 14.0f / 69.0f;
  BarPlan plan = bar.planBar(-2.0f);  // pos = 69: the line below would leave the bar
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
  // Scale -10..10 over 69 pixels: 5 -> 69 - 51, -5 -> 69 - 17, 3 -> 69 - 44,
  // 4 -> 69 - 48; no marker for NaN.
  expectPlan(bar.planBar(std::numeric_limits<float>::quiet_NaN()),
             {{{0, 18, 25, 52}, BarFill::InRange}, {{0, 0, 25, 18}, BarFill::OutOfRange},
              {{0, 52, 25, 69}, BarFill::OutOfRange}, {{9, 21, 15, 25}, BarFill::SeenBand}});
}

}  // namespace
