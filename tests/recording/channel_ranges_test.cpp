#include <gtest/gtest.h>

#include "acquisition/channel_ranges.h"

namespace {

struct Ranges {
  MeterSettings s;
  std::atomic<int32_t> gains[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  float high(int n) { return channelRangeHigh(s, gains, n); }
  float low(int n) { return channelRangeLow(s, gains, n); }
};

TEST(ChannelRanges, PlainChannelsGainsSignsAndOutOfTableInputs) {
  const struct {
    int channel;  // K, B and Kadc are set for channels 1-32 only
    float k, b;
    int kadc, gain;  // gain code, and the amplification set-up reported for it
    float high, low;
  } cases[] = {
      {0, 0, 0, 0, 1, 10, -10},                            // graph trace without a channel
      {1, 1, 0, 0, 1, 10, -10},                            // Kadc 0: amplification 1
      {1, 1, 0, 2, 1, 10, -10},                            // before set-up every code gives span 10
      {1, 1, 0, 2, 10, 1, -1},
      {2, 2, 1, 0, 1, 21, -19},
      {3, -1, 0, 0, 1, -10, 10},                           // returned as computed, upper below lower
      {1, 1, 1000040, 0, 1, 1000040 + 10, 1000040 - 10},  // names no channel: a plain offset
      {1, 1, 3.0e9f, 0, 1, 3.0e9f, 3.0e9f},
      {1, 1, 0, 8, 1, 10, -10},                            // outside the gain table: amplification 1
      {1, 1, 0, -1, 1, 10, -10},
      {1, 1, 0, 1, 0, 10, -10},                            // no amplification reported: no division by zero
      {33, 0, 0, 0, 1, 10, -10},                           // no such channel
      {-1, 0, 0, 0, 1, 10, -10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "channel " << c.channel << " K " << c.k << " B " << c.b << " Kadc " << c.kadc
                                    << " gain " << c.gain);
    Ranges r;
    if (c.channel >= 1 && c.channel <= 32) {
      r.s.channelK[c.channel] = c.k;
      r.s.channelB[c.channel] = c.b;
      r.s.Kadc[c.channel] = c.kadc;
    }
    if (c.kadc >= 0 && c.kadc < 8) r.gains[c.kadc] = c.gain;
    EXPECT_FLOAT_EQ(r.high(c.channel), c.high);
    EXPECT_FLOAT_EQ(r.low(c.channel), c.low);
  }

  Ranges r;  // span is 10 / gain in double, then single precision
  r.s.Kadc[4] = 3;
  r.gains[3] = 3;
  r.s.channelK[4] = 1.0f;
  EXPECT_EQ(r.high(4), static_cast<float>(10.0 / 3));
}

TEST(ChannelRanges, ReferenceFollowsOneLevelWithOwnSpan) {
  Ranges r;
  r.s.Kadc[8] = 1;
  r.gains[1] = 2;  // channel 8: span 5
  r.s.channelK[8] = 1.0f;
  r.s.channelB[8] = 1000005.0f;
  r.s.channelK[5] = 1.0f;
  r.s.channelB[5] = 3.0f;
  EXPECT_FLOAT_EQ(r.high(8), (1 * 5.0f + 3) + 5.0f);
  EXPECT_FLOAT_EQ(r.low(8), (3 - 1 * 5.0f) - 5.0f);

  // channel 5 itself refers on: its B enters unchanged
  r.s.channelB[5] = 1000009.0f;
  r.s.channelK[9] = 100.0f;
  EXPECT_FLOAT_EQ(r.high(8), 5.0f + 1000009.0f + 5.0f);

  r.s.channelB[8] = 1000032.0f;  // last channel
  r.s.channelK[32] = 2.0f;
  r.s.channelB[32] = 1.0f;
  EXPECT_FLOAT_EQ(r.high(8), 2 * 5.0f + 1 + 5.0f);
}

}  // namespace
