// Board set-up arithmetic: block sizes, rate bounds, frame layouts, gain and
// channel lists, records and the shortest recording interval.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "acquisition/board_layout.h"

namespace {

std::unique_ptr<AcquisitionState> newState() { return std::make_unique<AcquisitionState>(); }

TEST(BoardLayout, BlockSizesAndRateBounds) {
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, 1000), 160u);  // 5 frames
  EXPECT_EQ(blockSamplesFor(BOARD_KV320, 1000), 320u);  // 10 frames
  auto state = newState();
  state->sampleRateHz = 1000;
  applyBlockSize(*state, BOARD_KV310);
  EXPECT_EQ(state->samplesPerBlock, 160u);
  EXPECT_EQ(state->framesPerBlock, 5u);
  applyBlockSize(*state, BOARD_KV320);
  EXPECT_EQ(state->samplesPerBlock, 320u);
  EXPECT_EQ(state->framesPerBlock, 10u);

  // 500 Hz on a KV310 is 80 samples, two and a half frames: blocks keep whole frames.
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, 500), 64u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, 199), 0u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, 0), 0u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, -1000), 0u);
  EXPECT_EQ(blockSamplesFor(BOARD_NONE, 1000), 0u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, 204800), 32768u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV320, 102400), 32768u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV320, 100), 32u);
  EXPECT_EQ(blockSamplesFor(BOARD_KV310, 2000000000), 320000000u);  // no overflow in the product

  EXPECT_FALSE(rateFitsBoard(BOARD_KV310, 199));
  EXPECT_TRUE(rateFitsBoard(BOARD_KV310, 200));
  EXPECT_TRUE(rateFitsBoard(BOARD_KV310, 204800));
  EXPECT_FALSE(rateFitsBoard(BOARD_KV310, 204801));
  EXPECT_FALSE(rateFitsBoard(BOARD_KV320, 99));
  EXPECT_TRUE(rateFitsBoard(BOARD_KV320, 100));
  EXPECT_TRUE(rateFitsBoard(BOARD_KV320, 102400));
  EXPECT_FALSE(rateFitsBoard(BOARD_KV320, 102401));
  EXPECT_FALSE(rateFitsBoard(BOARD_KV320, 0));
  EXPECT_FALSE(rateFitsBoard(BOARD_KV320, -500));
  // Every accepted rate gives 1 to 1024 frames.
  for (BoardType b : {BOARD_KV310, BOARD_KV320})
    for (int32_t r : {minimumRateHz(b), maximumRateHz(b)}) {
      uint32_t s = blockSamplesFor(b, r);
      EXPECT_GE(s, 32u);
      EXPECT_LE(s, 32768u);
    }

  EXPECT_EQ(truncatedRate(1000.9), 1000);
  EXPECT_EQ(truncatedRate(-5.5), -5);
  EXPECT_EQ(truncatedRate(NAN), 0);
  EXPECT_EQ(truncatedRate(1e300), 0);
}

TEST(BoardLayout, FrameLayouts) {
  auto state = newState();
  applyFrameLayout(*state, BOARD_KV310);
  for (int n = 1; n <= 32; ++n) EXPECT_EQ(state->slotPosition[n - 1], n - 1);

  applyFrameLayout(*state, BOARD_KV320);
  // Channels 1-8 at 0, 2, ..., 14; 9-16 at 1, 3, ..., 15; 17-24 at 16, ..., 30; 25-32 at 17, ..., 31.
  const int32_t expected[32] = {0,  2,  4,  6,  8,  10, 12, 14, 1,  3,  5,  7,  9,  11, 13, 15,
                                16, 18, 20, 22, 24, 26, 28, 30, 17, 19, 21, 23, 25, 27, 29, 31};
  for (int i = 0; i < 32; ++i) EXPECT_EQ(state->slotPosition[i], expected[i]) << "channel " << i + 1;
  // Pair k: channels (k+1, k+9) for k < 8, (k+9, k+17) above, at positions 2k and 2k+1.
  EXPECT_EQ(kv320PairChannel(0, false), 1);
  EXPECT_EQ(kv320PairChannel(0, true), 9);
  EXPECT_EQ(kv320PairChannel(7, true), 16);
  EXPECT_EQ(kv320PairChannel(8, false), 17);
  EXPECT_EQ(kv320PairChannel(8, true), 25);
  EXPECT_EQ(kv320PairChannel(15, true), 32);
}

TEST(BoardLayout, GainsListsAndRecords) {
  auto state = newState();
  MeterSettings settings;
  const int32_t driverGains[8] = {7, 2, 8, 32, 128, 9, 9, 9};
  takeDriverGains(*state, driverGains);
  EXPECT_EQ(state->gainFactor[0].load(), 1);  // entry 0 and 5-7 stay 1
  EXPECT_EQ(state->gainFactor[1].load(), 2);
  EXPECT_EQ(state->gainFactor[4].load(), 128);
  EXPECT_EQ(state->gainFactor[5].load(), 1);
  const int32_t badGains[8] = {1, 0, -4, 16, 0, 1, 1, 1};
  takeDriverGains(*state, badGains);  // a gain of 0 or less would divide by zero later
  EXPECT_EQ(state->gainFactor[1].load(), 2);
  EXPECT_EQ(state->gainFactor[2].load(), 8);
  EXPECT_EQ(state->gainFactor[3].load(), 16);

  EXPECT_EQ(gainForCode(*state, 0), 1);
  EXPECT_EQ(gainForCode(*state, 3), 16);
  EXPECT_EQ(gainForCode(*state, 8), 1);
  EXPECT_EQ(gainForCode(*state, -1), 1);

  settings.Kadc[1] = 1;   // channel 1: x2
  settings.Kadc[9] = 4;   // channel 9: x128
  settings.Kadc[17] = 3;  // channel 17: x16
  settings.Kadc[32] = 99; // nonsense code: x1
  fillKV310Lists(*state, settings);
  EXPECT_EQ(state->positionGain[0], 2);
  EXPECT_EQ(state->positionGain[8], 128);
  EXPECT_EQ(state->positionGain[31], 1);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(state->channelList[i], i);
  fillKV320Lists(*state, settings);
  EXPECT_EQ(state->pairGain[0], 2 + (128 << 16));  // pair 0: channels 1 and 9
  EXPECT_EQ(state->pairGain[8], 16 + (1 << 16));   // pair 8: channels 17 and 25
  EXPECT_EQ(state->pairGain[15], 1 + (1 << 16));   // pair 15: channels 24 and 32
  for (int k = 0; k < 16; ++k) EXPECT_EQ(state->pairList[k], k);

  state->sampleRateHz = 1000;
  applyBlockSize(*state, BOARD_KV320);
  AcquisitionRecord record;
  fillKV320Record(record, *state);
  unsigned char bytes[sizeof record];
  std::memcpy(bytes, &record, sizeof record);
  auto intAt = [&](size_t offset) {
    int32_t v;
    std::memcpy(&v, bytes + offset, 4);
    return v;
  };
  double rate;
  std::memcpy(&rate, bytes + 28, 8);
  EXPECT_EQ(intAt(0), 100);
  EXPECT_EQ(intAt(4), 56);
  EXPECT_EQ(intAt(8), 2);
  EXPECT_EQ(intAt(12), 320);
  EXPECT_EQ(intAt(16), 2);
  EXPECT_EQ(intAt(20), 16);
  EXPECT_EQ(intAt(24), 0);
  EXPECT_EQ(rate, 1000.0);
  EXPECT_EQ(intAt(36), 0);
  EXPECT_EQ(intAt(40), 0);
  EXPECT_EQ(intAt(44), 16);
  EXPECT_EQ(record.gainList, state->pairGain);
  EXPECT_EQ(record.channelList, state->pairList);

  fillKV310Record(record, *state);
  std::memcpy(bytes, &record, sizeof record);
  EXPECT_EQ(intAt(12), 0);
  EXPECT_EQ(intAt(16), 1);
  EXPECT_EQ(intAt(20), 0);
  EXPECT_EQ(intAt(44), 32);
  EXPECT_EQ(record.gainList, state->positionGain);
  EXPECT_EQ(record.channelList, state->channelList);

  InfoRecord info;
  std::memcpy(bytes, &info, 16);
  EXPECT_EQ(intAt(0), 300);
  EXPECT_EQ(intAt(4), 44);
}

TEST(BoardLayout, MinimumRecordInterval) {
  auto state = newState();
  MeterSettings settings;
  state->sampleRateHz = 1000;

  settings.Ftime = 10;
  state->recordIntervalMs = 10;
  EXPECT_TRUE(raiseRecordInterval(*state, settings, BOARD_KV310));
  EXPECT_EQ(state->recordIntervalMs, 32u);
  EXPECT_EQ(settings.Ftime, 32);

  settings.Ftime = 10;
  state->recordIntervalMs = 10;
  EXPECT_TRUE(raiseRecordInterval(*state, settings, BOARD_KV320));
  EXPECT_EQ(state->recordIntervalMs, 16u);
  EXPECT_EQ(settings.Ftime, 16);

  settings.Ftime = 500;
  state->recordIntervalMs = 500;
  EXPECT_FALSE(raiseRecordInterval(*state, settings, BOARD_KV310));
  EXPECT_EQ(settings.Ftime, 500);

  // A negative interval would pass an unsigned comparison and never make a row due.
  settings.Ftime = -5;
  state->recordIntervalMs = static_cast<uint32_t>(-5);
  EXPECT_TRUE(raiseRecordInterval(*state, settings, BOARD_KV310));
  EXPECT_EQ(settings.Ftime, 32);

  // Above 32000 Hz the minimum truncates to 0; an interval of 0 still becomes 1 ms.
  state->sampleRateHz = 100000;
  EXPECT_EQ(minimumRecordInterval(BOARD_KV310, 100000), 0u);
  settings.Ftime = 0;
  state->recordIntervalMs = 0;
  EXPECT_TRUE(raiseRecordInterval(*state, settings, BOARD_KV310));
  EXPECT_EQ(settings.Ftime, 1);
  EXPECT_EQ(minimumRecordInterval(BOARD_KV320, 3000), 5u);  // 5.33 truncated
}

}  // namespace
