// Board set-up arithmetic: block sizes, rate bounds, frame layouts, gain and
// channel lists, records and the shortest recording interval.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <tuple>
#include <utility>

#include "acquisition/board_layout.h"

namespace {

std::unique_ptr<AcquisitionState> newState() { return std::make_unique<AcquisitionState>(); }

TEST(BoardLayout, BlockSizesAndRateBounds) {
  auto state = newState();
  state->sampleRateHz = 1000;
  applyBlockSize(*state, BOARD_KV310);
  EXPECT_EQ(state->samplesPerBlock, 160u);
  EXPECT_EQ(state->framesPerBlock, 5u);
  applyBlockSize(*state, BOARD_KV320);
  EXPECT_EQ(state->samplesPerBlock, 320u);
  EXPECT_EQ(state->framesPerBlock, 10u);

  // 500 Hz on a KV310 is 80 samples, two and a half frames: blocks keep whole frames.
  for (auto [board, rate, samples] : std::initializer_list<std::tuple<BoardType, int32_t, uint32_t>>{
           {BOARD_KV310, 1000, 160},    {BOARD_KV320, 1000, 320},     {BOARD_KV310, 500, 64},
           {BOARD_KV310, 199, 0},       {BOARD_KV310, 0, 0},          {BOARD_KV310, -1000, 0},
           {BOARD_NONE, 1000, 0},       {BOARD_KV310, 204800, 32768}, {BOARD_KV320, 102400, 32768},
           {BOARD_KV320, 100, 32},      {BOARD_KV310, 2000000000, 320000000}})  // no overflow in the product
    EXPECT_EQ(blockSamplesFor(board, rate), samples) << board << " " << rate;

  // A block's signal time; whole blocks stay 160 ms.
  for (auto [board, rate, units, divisor] : std::initializer_list<std::tuple<BoardType, int32_t, uint32_t, uint32_t>>{
           {BOARD_KV310, 1000, 160, 1}, {BOARD_KV320, 1000, 160, 1}, {BOARD_KV310, 500, 128, 1},
           {BOARD_KV310, 210, 3200, 21}, {BOARD_KV320, 150, 320, 3}, {BOARD_KV310, 204800, 160, 1},
           {BOARD_KV310, 0, 160, 1}, {BOARD_NONE, 500, 160, 1}}) {
    state->sampleRateHz = rate;
    applyBlockSize(*state, board);
    EXPECT_EQ(state->blockTimeUnits, units) << board << " " << rate;
    EXPECT_EQ(state->blockTimeDivisor, divisor) << board << " " << rate;
  }

  for (auto [board, rate, fits] : std::initializer_list<std::tuple<BoardType, int32_t, bool>>{
           {BOARD_KV310, 199, false},   {BOARD_KV310, 200, true},     {BOARD_KV310, 204800, true},
           {BOARD_KV310, 204801, false}, {BOARD_KV320, 99, false},    {BOARD_KV320, 100, true},
           {BOARD_KV320, 102400, true}, {BOARD_KV320, 102401, false}, {BOARD_KV320, 0, false},
           {BOARD_KV320, -500, false}})
    EXPECT_EQ(rateFitsBoard(board, rate), fits) << board << " " << rate;
  // Every accepted rate gives 1 to 1024 frames.
  for (BoardType b : {BOARD_KV310, BOARD_KV320})
    for (int32_t r : {minimumRateHz(b), maximumRateHz(b)}) {
      EXPECT_GE(blockSamplesFor(b, r), 32u);
      EXPECT_LE(blockSamplesFor(b, r), 32768u);
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
  for (auto [pair, second, channel] :
       {std::tuple{0, false, 1}, {0, true, 9}, {7, true, 16}, {8, false, 17}, {8, true, 25}, {15, true, 32}})
    EXPECT_EQ(kv320PairChannel(pair, second), channel) << pair << " " << second;
}

TEST(BoardLayout, GainsListsAndRecords) {
  auto state = newState();
  MeterSettings settings;
  const int32_t driverGains[8] = {7, 2, 8, 32, 128, 9, 9, 9};
  takeDriverGains(*state, driverGains);
  // Entry 0 and 5-7 stay 1.
  for (auto [code, gain] : {std::pair{0, 1}, {1, 2}, {4, 128}, {5, 1}}) EXPECT_EQ(state->gainFactor[code].load(), gain);
  const int32_t badGains[8] = {1, 0, -4, 16, 0, 1, 1, 1};
  takeDriverGains(*state, badGains);  // a gain of 0 or less would divide by zero later
  for (auto [code, gain] : {std::pair{1, 2}, {2, 8}, {3, 16}}) EXPECT_EQ(state->gainFactor[code].load(), gain);
  for (auto [code, gain] : {std::pair{0, 1}, {3, 16}, {8, 1}, {-1, 1}}) EXPECT_EQ(gainForCode(*state, code), gain);

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

  // The records' bytes: {offset, 32-bit value}.
  using Fields = std::initializer_list<std::pair<size_t, int32_t>>;
  const auto expectFields = [](const void* record, Fields fields) {
    for (auto [offset, value] : fields) {
      int32_t v;
      std::memcpy(&v, static_cast<const unsigned char*>(record) + offset, 4);
      EXPECT_EQ(v, value) << "offset " << offset;
    }
  };
  state->sampleRateHz = 1000;
  applyBlockSize(*state, BOARD_KV320);
  AcquisitionRecord record;
  fillKV320Record(record, *state);
  expectFields(&record, {{0, 100}, {4, 56}, {8, 2}, {12, 320}, {16, 2}, {20, 16}, {24, 0}, {36, 0}, {40, 0}, {44, 16}});
  double rate;
  std::memcpy(&rate, reinterpret_cast<const unsigned char*>(&record) + 28, 8);
  EXPECT_EQ(rate, 1000.0);
  EXPECT_EQ(record.gainList, state->pairGain);
  EXPECT_EQ(record.channelList, state->pairList);

  fillKV310Record(record, *state);
  expectFields(&record, {{12, 0}, {16, 1}, {20, 0}, {44, 32}});
  EXPECT_EQ(record.gainList, state->positionGain);
  EXPECT_EQ(record.channelList, state->channelList);

  InfoRecord info;
  expectFields(&info, {{0, 300}, {4, 44}});
}

TEST(BoardLayout, MinimumRecordInterval) {
  // A negative interval would pass an unsigned comparison and never make a row
  // due. Above 32000 Hz the KV310 minimum truncates to 0; an interval of 0
  // still becomes 1 ms.
  const struct {
    BoardType board;
    int32_t rate, interval;
    bool raised;
    int32_t ftime;
  } cases[] = {{BOARD_KV310, 1000, 10, true, 32}, {BOARD_KV320, 1000, 10, true, 16}, {BOARD_KV310, 1000, 500, false, 500},
               {BOARD_KV310, 1000, -5, true, 32}, {BOARD_KV310, 100000, 0, true, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " " << c.rate << " Hz, " << c.interval << " ms");
    auto state = newState();
    MeterSettings settings;
    state->sampleRateHz = c.rate;
    settings.Ftime = c.interval;
    state->recordIntervalMs = static_cast<uint32_t>(c.interval);
    EXPECT_EQ(raiseRecordInterval(*state, settings, c.board), c.raised);
    EXPECT_EQ(settings.Ftime, c.ftime);
    EXPECT_EQ(state->recordIntervalMs, static_cast<uint32_t>(c.ftime));
  }
  EXPECT_EQ(minimumRecordInterval(BOARD_KV310, 100000), 0u);
  EXPECT_EQ(minimumRecordInterval(BOARD_KV320, 3000), 5u);  // 5.33 truncated
}

}  // namespace
