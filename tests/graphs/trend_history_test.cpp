#include "graphs/trend_history.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

float values[INPUT_CHANNELS];
const int channels[TRACE_COUNT] = {3, 0, 0, 0, 0, 0, 0, 32};

// The texts of the first two time labels.
std::string firstLabels(const TrendHistory& h) {
  char first[8], second[8];
  h.labelText(0, first);
  h.labelText(1, second);
  return std::string(first) + " " + second;
}

}  // namespace

// Point k falls due k * q seconds after the start, at most one per tick, and
// the first lands in the column of the clock's second.
TEST(TrendHistory, SamplingScheduleFollowsTheTimeScale) {
  const struct {
    int scale;
    uint32_t start;
    int second;
  } cases[] = {{0, 1000, 45}, {1, 1000, 45}, {3, 0xFFFFF000u, 59}, {9, 5, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    const int q = SECONDS_PER_POINT[c.scale];
    auto h = std::make_unique<TrendHistory>();
    h->init(q, c.start, 0, 0);
    const SampleRepaint first = h->takeSample(c.start + 550, c.second, values, channels, 10, 600);
    EXPECT_TRUE(first.whole && !first.column);
    EXPECT_EQ(h->shownPoints, c.second / q);
    const uint32_t due = c.start + q * 1000u;  // wraps past 0xFFFFFFFF for one case
    EXPECT_FALSE(h->takeSample(due - 1, 0, values, channels, 10, 600).column);
    values[2] = 1.5f;
    const SampleRepaint taken = h->takeSample(due, 0, values, channels, 10, 600);
    EXPECT_TRUE(taken.column);
    EXPECT_EQ(taken.columnLeft, 10 + c.second / q);
    EXPECT_EQ(h->history[h->rowOf(0, c.second / q)][0], 1.5f);
    // After a stall the points catch up one per tick.
    for (int tick = 0; tick < 2; ++tick)
      EXPECT_TRUE(h->takeSample(due + 5u * q * 1000u, 0, values, channels, 10, 600).column);
    EXPECT_EQ(h->samplesTaken, 4);
  }
}

// The newest point reaching the right edge moves the curve 60 columns left and
// every label on by q minutes, over midnight; narrow areas never scroll, and
// drawing never reads outside the history.
TEST(TrendHistory, ScrollsBySixtyWithLabelsAcrossMidnight) {
  const struct {
    int q, hour, minute, width, points, shown;
    const char* labels;
  } cases[] = {
      {10, 23, 40, 300, 299, 299, "23:40 23:50"}, {10, 23, 40, 300, 300, 240, "23:50 00:00"},
      {10, 23, 40, 300, 380, 260, "00:00 00:10"}, {1, 12, 34, 61, 61, 1, "12:35 12:36"},
      {1, 12, 34, 60, 3000, 3000, "12:34 12:35"}, {1, 0, 0, 2500, 2400, 2400, "00:00 00:01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.points);
    auto h = std::make_unique<TrendHistory>();
    h->init(c.q, 0, c.hour, c.minute);
    h->takeSample(0, 0, values, channels, 0, c.width);
    bool scrolled = false;
    for (int k = 1; k <= c.points; ++k)
      scrolled |= h->takeSample(k * c.q * 1000u, 0, values, channels, 0, c.width).scrolled;
    EXPECT_EQ(h->shownPoints, c.shown);
    EXPECT_EQ(scrolled, c.shown != c.points);
    EXPECT_EQ(firstLabels(*h), c.labels);
    for (int j = 0; j < c.width + 10; ++j) {
      const int row = h->rowOf(0, j);
      ASSERT_TRUE(row >= -1 && row < HISTORY_POINTS) << j;
      ASSERT_EQ(row >= 0, j < c.shown && c.shown - j <= HISTORY_POINTS) << j;
    }
  }
}
