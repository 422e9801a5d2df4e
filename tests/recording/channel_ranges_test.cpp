#include <gtest/gtest.h>

#include "acquisition/channel_ranges.h"

namespace {

struct Ranges {
  MeterSettings s;
  std::atomic<int32_t> gains[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  float high(int n) { return channelRangeHigh(s, gains, n); }
  float low(int n) { return channelRangeLow(s, gains, n); }
};

TEST(ChannelRanges, PlainChannelsGainsAndSigns) {
  Ranges r;
  EXPECT_FLOAT_EQ(r.high(0), 10.0f);  // graph trace without a channel
  EXPECT_FLOAT_EQ(r.low(0), -10.0f);

  r.s.channelK[1] = 1.0f;  // Kadc 0: amplification 1
  EXPECT_FLOAT_EQ(r.high(1), 10.0f);
  EXPECT_FLOAT_EQ(r.low(1), -10.0f);

  r.s.Kadc[1] = 2;
  EXPECT_FLOAT_EQ(r.high(1), 10.0f) << "before set-up every code gives span 10";
  r.gains[2] = 10;
  EXPECT_FLOAT_EQ(r.high(1), 1.0f);
  EXPECT_FLOAT_EQ(r.low(1), -1.0f);

  r.s.channelK[2] = 2.0f;
  r.s.channelB[2] = 1.0f;
  EXPECT_FLOAT_EQ(r.high(2), 21.0f);
  EXPECT_FLOAT_EQ(r.low(2), -19.0f);

  r.s.channelK[3] = -1.0f;  // returned as computed, upper below lower
  EXPECT_FLOAT_EQ(r.high(3), -10.0f);
  EXPECT_FLOAT_EQ(r.low(3), 10.0f);

  // span is 10 / gain in double, then single precision
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

TEST(ChannelRanges, OutOfTableInputsStayInside) {
  Ranges r;
  r.s.channelK[1] = 1.0f;
  r.s.channelB[1] = 1000040.0f;  // names no channel: a plain offset
  EXPECT_FLOAT_EQ(r.high(1), 1000040.0f + 10.0f);
  EXPECT_FLOAT_EQ(r.low(1), 1000040.0f - 10.0f);
  r.s.channelB[1] = 3.0e9f;
  EXPECT_FLOAT_EQ(r.high(1), 3.0e9f);

  r.s.channelB[1] = 0.0f;
  r.s.Kadc[1] = 8;  // outside the gain table: amplification 1
  r.gains[0] = 1;
  EXPECT_FLOAT_EQ(r.high(1), 10.0f);
  r.s.Kadc[1] = -1;
  EXPECT_FLOAT_EQ(r.low(1), -10.0f);
  r.s.Kadc[1] = 1;
  r.gains[1] = 0;  // no amplification reported: no division by zero
  EXPECT_FLOAT_EQ(r.high(1), 10.0f);

  EXPECT_FLOAT_EQ(r.high(33), 10.0f);
  EXPECT_FLOAT_EQ(r.low(-1), -10.0f);
}

}  // namespace
