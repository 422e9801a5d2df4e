#include "panels/panel_reading.h"

#include <gtest/gtest.h>

#include <numeric>

// After n samples 1..n into a buffer of 4: how many are held and their sum
// (the newest four once it is full, however often it has wrapped).
TEST(PanelReading, FullBufferKeepsTheNewestSamples) {
  const struct {
    int n, count;
    float sum;
  } cases[] = {{3, 3, 6}, {4, 4, 10}, {5, 4, 14}, {9, 4, 30}, {11, 4, 38}};
  for (const auto& c : cases) {
    float samples[4] = {};
    int32_t count = 0, overwrite = 0;
    for (int i = 1; i <= c.n; ++i) keepSample(samples, 4, count, overwrite, static_cast<float>(i));
    EXPECT_EQ(count, c.count) << c.n;
    EXPECT_EQ(std::accumulate(samples, samples + count, 0.0f), c.sum) << c.n;
  }
}

// Limits 0 and 10, a reference of 4 while it is on: mean, reference on, output, limits shown, raised.
TEST(PanelReading, RelativeReadingRaisesTheOutputOnlyOutsideBothLimits) {
  const struct {
    float mean;
    bool ref;
    int32_t output;
    bool shown, raised;
  } cases[] = {{-1, false, 2, true, true},   {11, false, 2, true, true},   {0, false, 2, true, false},
               {10, false, 2, true, false},  {-1, false, 0, true, false},  {-1, false, 2, false, false},
               {11, true, 2, true, false},   {3, true, 2, true, true}};
  for (const auto& c : cases)
    EXPECT_EQ(raisesOutput(shownReading(c.mean, c.ref, 4.0f), c.output, c.shown, 0.0f, 10.0f), c.raised)
        << c.mean << " " << c.ref;
}
