// Board set-up arithmetic: block sizes, rate bounds, frame layouts, gain and
// channel lists, records and the shortest recording interval.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "acquisition/board_layout.h"

namespace {

using std::tuple;

TEST(BoardLayout, BlockSizesAndRateBounds) {
  // {board, rate, samples, block time units, divisor}. 500 Hz on a KV310 is 80 samples,
  // two and a half frames: blocks keep whole frames and cut blocks their exact time.
  AcquisitionState state;
  for (auto [board, rate, samples, units, divisor] : std::initializer_list<tuple<BoardType, int32_t, uint32_t, int, int>>{
           {BOARD_KV310, 1000, 160, 160, 1}, {BOARD_KV320, 1000, 320, 160, 1}, {BOARD_KV310, 500, 64, 128, 1},
           {BOARD_KV310, 0, 0, 160, 1}, {BOARD_KV310, -1000, 0, 160, 1}, {BOARD_NONE, 1000, 0, 160, 1},
           {BOARD_KV310, 210, 32, 3200, 21}, {BOARD_KV320, 150, 32, 320, 3}, {BOARD_KV310, 204800, 32768, 160, 1},
           {BOARD_KV310, 2000000000, 320000000, 160, 1}}) {  // no overflow
    SCOPED_TRACE(testing::Message() << board << " " << rate);
    state.sampleRateHz = rate;
    applyBlockSize(state, board);
    EXPECT_EQ(std::tie(state.samplesPerBlock, state.framesPerBlock), std::make_tuple(samples, samples / 32));
    EXPECT_EQ(std::tie(state.blockTimeUnits, state.blockTimeDivisor), std::make_tuple(uint32_t(units), uint32_t(divisor)));
  }
  // Accepted rates, each bound just in and just out; every accepted rate gives 1 to 1024 frames.
  for (auto [board, rate, fits] : std::initializer_list<tuple<BoardType, int32_t, bool>>{
           {BOARD_KV310, 199, false}, {BOARD_KV310, 200, true}, {BOARD_KV310, 204800, true},
           {BOARD_KV310, 204801, false}, {BOARD_KV320, 99, false}, {BOARD_KV320, 100, true},
           {BOARD_KV320, 102400, true}, {BOARD_KV320, 102401, false}, {BOARD_NONE, 1000, false}}) {
    EXPECT_EQ(rateFitsBoard(board, rate), fits) << board << " " << rate;
    if (fits) EXPECT_TRUE(blockSamplesFor(board, rate) >= 32u && blockSamplesFor(board, rate) <= 32768u) << rate;
  }
  for (auto [rate, truncated] : {std::pair{1000.9, 1000}, {-5.5, -5}, {NAN, 0}, {1e300, 0}})
    EXPECT_EQ(truncatedRate(rate), truncated) << rate;
}

TEST(BoardLayout, KV320PairsAndGainLists) {
  // Pair k holds channels (k+1, k+9) for k < 8, (k+9, k+17) above, at frame positions 2k and 2k+1.
  AcquisitionState state;
  applyFrameLayout(state, BOARD_KV320);
  for (auto [channel, position] : {std::pair{1, 0}, {9, 1}, {16, 15}, {17, 16}, {25, 17}, {32, 31}})
    EXPECT_EQ(state.slotPosition[channel - 1], position) << "channel " << channel;

  // Driver gains for codes 1-4; a gain of 0 or less would divide by zero later.
  const int32_t driverGains[8] = {7, 2, 0, -4, 128, 9, 9, 9};
  takeDriverGains(state, driverGains);
  for (auto [code, gain] : {std::pair{0, 1}, {1, 2}, {2, 1}, {3, 1}, {4, 128}, {5, 1}, {8, 1}, {-1, 1}})
    EXPECT_EQ(gainForCode(state, code), gain) << "code " << code;
  MeterSettings settings;
  settings.Kadc[1] = 1;    // x2
  settings.Kadc[9] = 4;    // x128
  settings.Kadc[32] = 99;  // nonsense code: x1
  fillKV310Lists(state, settings);
  EXPECT_EQ(std::tie(state.positionGain[8], state.positionGain[31]), std::make_tuple(128, 1));
  fillKV320Lists(state, settings);
  EXPECT_EQ(state.pairGain[0], 2 + (128 << 16));  // pair 0: channels 1 and 9
}

TEST(BoardLayout, RecordsByOffset) {
  AcquisitionState state;
  AcquisitionRecord record;
  const auto expectFields = [&record](std::initializer_list<std::pair<size_t, int32_t>> fields) {
    for (auto [offset, value] : fields) {
      int32_t v;
      std::memcpy(&v, reinterpret_cast<const unsigned char*>(&record) + offset, 4);
      EXPECT_EQ(v, value) << "offset " << offset;
    }
  };
  state.sampleRateHz = 1000;
  applyBlockSize(state, BOARD_KV320);
  fillKV320Record(record, state);
  expectFields({{0, 100}, {4, 56}, {8, 2}, {12, 320}, {16, 2}, {20, 16}, {24, 0}, {36, 0}, {40, 0}, {44, 16}});
  double rate;
  std::memcpy(&rate, reinterpret_cast<const unsigned char*>(&record) + 28, 8);
  EXPECT_EQ(rate, 1000.0);
  EXPECT_EQ(record.gainList, state.pairGain);
  fillKV310Record(record, state);
  expectFields({{12, 0}, {16, 1}, {20, 0}, {44, 32}});
  EXPECT_EQ(record.channelList, state.channelList);
}

TEST(BoardLayout, MinimumRecordInterval) {
  // {board, rate, interval, raised, interval after}. A negative interval would pass an
  // unsigned comparison and never make a row due. The minimum is one frame rounded up
  // (KV310 at 3000 Hz: 10.67 ms, so 10 ms would claim more rows than frames come); above
  // 32000 Hz the KV310 frame is under 1 ms, and an interval of 0 still becomes 1 ms.
  for (auto [board, rate, interval, raised, after] : std::initializer_list<tuple<BoardType, int32_t, int32_t, bool, int32_t>>{
           {BOARD_KV310, 1000, 10, true, 32}, {BOARD_KV320, 1000, 10, true, 16}, {BOARD_KV310, 1000, 500, false, 500},
           {BOARD_KV310, 1000, -5, true, 32}, {BOARD_KV310, 100000, 0, true, 1}, {BOARD_KV320, 3000, 4, true, 6},
           {BOARD_KV310, 3000, 10, true, 11}, {BOARD_KV310, 3000, 11, false, 11}}) {
    SCOPED_TRACE(testing::Message() << board << " " << rate << " Hz, " << interval << " ms");
    AcquisitionState state;
    MeterSettings settings;
    state.sampleRateHz = rate;
    settings.Ftime = interval;
    state.recordIntervalMs = static_cast<uint32_t>(interval);
    EXPECT_EQ(raiseRecordInterval(state, settings, board), raised);
    EXPECT_EQ(std::tie(settings.Ftime, state.recordIntervalMs), std::make_tuple(after, uint32_t(after)));
    EXPECT_EQ(state.shortestIntervalMs.load(), std::max<int32_t>(1, minimumRecordInterval(board, rate)));
  }
}

}  // namespace
