#include <gtest/gtest.h>

#include "acquisition/channel_ranges.h"

namespace {

TEST(ChannelRanges, GainsSignsReferencesAndOutOfTableInputs) {
  const float third = static_cast<float>(10.0 / 3);  // span 10 / gain in double, then single precision
  const struct {
    int channel;  // K, B and Kadc are set for channels 1-32 only
    float k, b;
    int kadc, gain;  // gain code, and the amplification set-up reported for it
    float refK, refB;  // of the channel a B above 1000000 refers to
    float high, low;
  } cases[] = {
      {0, 0, 0, 0, 1, 0, 0, 10, -10},                            // graph trace without a channel
      {1, 1, 0, 0, 1, 0, 0, 10, -10},                            // Kadc 0: amplification 1
      {1, 1, 0, 2, 1, 0, 0, 10, -10},                            // before set-up every code gives span 10
      {1, 1, 0, 2, 10, 0, 0, 1, -1},
      {4, 1, 0, 3, 3, 0, 0, third, -third},
      {2, 2, 1, 0, 1, 0, 0, 21, -19},
      {3, -1, 0, 0, 1, 0, 0, -10, 10},                           // returned as computed, upper below lower
      {1, 1, 1000040, 0, 1, 0, 0, 1000040 + 10, 1000040 - 10},  // names no channel: a plain offset
      {1, 1, 3.0e9f, 0, 1, 0, 0, 3.0e9f, 3.0e9f},
      {1, 1, 0, 8, 1, 0, 0, 10, -10},                            // outside the gain table: amplification 1
      {1, 1, 0, -1, 1, 0, 0, 10, -10},
      {1, 1, 0, 1, 0, 0, 0, 10, -10},                            // no amplification reported: no division by zero
      {33, 0, 0, 0, 1, 0, 0, 10, -10},                           // no such channel
      {-1, 0, 0, 0, 1, 0, 0, 10, -10},
      // channel 8 at span 5 refers to channel 5, then to the last channel, with their K and B at its own span
      {8, 1, 1000005, 1, 2, 1, 3, (1 * 5 + 3) + 5, (3 - 1 * 5) - 5},
      {8, 1, 1000032, 1, 2, 2, 1, (2 * 5 + 1) + 5, (1 - 2 * 5) - 5},
      {8, 1, 1000005, 1, 2, 1, 1000009, 5 + 1000009 + 5, 1000009 - 5 - 5},  // one level only: B 1000009 is a number
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    MeterSettings s;
    std::atomic<int32_t> gains[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    const int n = c.channel >= 1 && c.channel <= 32 ? c.channel : 0;  // slot 0 belongs to no channel
    const int ref = c.b > 1000000 && c.b <= 1000032 ? static_cast<int>(c.b) - 1000000 : 0;
    s.channelK[n] = c.k;
    s.channelB[n] = c.b;
    s.Kadc[n] = c.kadc;
    s.channelK[ref] = c.refK;
    s.channelB[ref] = c.refB;
    if (c.kadc >= 0 && c.kadc < 8) gains[c.kadc] = c.gain;
    EXPECT_EQ(channelRangeHigh(s, gains, c.channel), c.high);
    EXPECT_EQ(channelRangeLow(s, gains, c.channel), c.low);
  }
}

}  // namespace
