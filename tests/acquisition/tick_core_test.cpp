#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "acquisition/board_layout.h"
#include "acquisition/tick_core.h"
#include "acquisition/trace_log.h"
#include "acquisition_fakes.h"

namespace {

class TickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(traceLogSetPath((::testing::TempDir() + "trace_tick").c_str()));
    for (int j = 0; j < PANEL_COUNT; ++j) panels[j] = &panelStore[j];
    for (int n = 1; n <= CHANNEL_COUNT; ++n) s->channelK[n] = 1.0f;
    s->nDO = 16;
    layout(BOARD_KV310, 5);
    a->boardReady = 1;
    port.outputReset(*a);
    sink.bytes.clear();
    a->recordTimeMs = a->previousRecordTimeMs = RECORD_TIME_IDLE;
    a->recordTimeFraction = a->previousRecordTimeFraction = 0;
  }

  void layout(BoardType board, uint32_t frames) {
    applyFrameLayout(*a, board);
    a->framesPerBlock = frames;
    a->samplesPerBlock = frames * 32;
  }
  void show(int position, int channel, bool visible = true) {
    panelStore[position - 1].channel = channel;
    panelStore[position - 1].visible = visible ? 1 : 0;
  }
  bool tick() { return processBlock(*a, *s, panels, &recorder, port); }
  float value(int n) const { return a->currentValues[n - 1].load(); }

  std::unique_ptr<AcquisitionState> a = std::make_unique<AcquisitionState>();
  std::unique_ptr<MeterSettings> s = std::make_unique<MeterSettings>();
  PanelState panelStore[PANEL_COUNT];
  PanelState* panels[PANEL_COUNT] = {};
  FakeRecorder recorder;
  FakePortSink sink;
  OutputPort port{a->boardReady, &sink};
};

// A cut block (KV310 at 210 Hz: 32 samples, 3200/21 ms) over hours of
// blocks: the clock stays on the exact time and the rows on their interval.
TEST_F(TickTest, CutBlocksKeepExactTimeOverHours) {
  a->sampleRateHz = 210;
  applyBlockSize(*a, BOARD_KV310);  // one frame a block
  s->Ftime = 1000;
  s->FlagRec[1] = 1;
  show(1, 1);
  recorder.recording = true;
  size_t rows = 0;
  const uint64_t blocks = 3 * 3600000ull * 21 / 3200;  // three hours
  for (uint64_t b = 0; b < blocks; ++b) {
    ASSERT_TRUE(tick());
    ASSERT_EQ(a->recordTimeMs, b * 3200 / 21) << "block " << b;
    rows += recorder.appended.empty() ? 0 : recorder.appended.back().size();
    recorder.appended.clear();
  }
  // One row per second of signal time (the last partial second pending).
  EXPECT_EQ(rows, (blocks - 1) * 3200 / 21 / 1000);
}

TEST_F(TickTest, OutputWordsForEachWidth) {
  // Panel j shows channel j with output NPK[j]: bits 2, 0, none, 11 (beyond
  // the byte), none (no such output), none, 19, 31, 2, 8 (the first past the
  // byte), 5. Panel 2 is hidden: it neither sets nor clears; panel 9, hidden
  // and in range, must not clear bit 2 either; panel 11 is in range.
  const int outputNumbers[] = {3, 1, 0, 12, 40, -5, 20, 32, 3, 9, 6};
  for (int j = 1; j <= 11; ++j) {
    show(j, j, j != 2 && j != 9);
    s->NPK[j] = outputNumbers[j - 1];
  }
  for (auto& p : panelStore) p.outOfRange = 1;
  panelStore[8].outOfRange = panelStore[10].outOfRange = 0;

  // Each width: the word built (all 32 bits kept), the word the port gets, and
  // the panel whose change is written again: bit 2, or bit 19 only (beyond the
  // 16 the port gets, still a change of the word). An unchanged word is not
  // written again; a width that does not exist builds and writes nothing.
  // Recording all along: from the second block on, a marker at the block's
  // time for each change of a bit the word holds.
  recorder.recording = true;
  const uint32_t all = (1u << 2) | (1u << 8) | (1u << 11) | (1u << 19) | (1u << 31);
  const struct {
    int32_t width;
    uint32_t built;
    Words sent;
    int changed;
  } widths[] = {{8, 0x04, {{0x04, 8}}, 0}, {16, all, {{0x0904, 16}}, 6}, {32, all, {{all, 32}}, 6}, {12, 0, {}, -1}};
  for (const auto& w : widths) {
    SCOPED_TRACE(w.width);
    sink.bytes.clear();
    s->nDO = w.width;
    ASSERT_TRUE(tick());
    ASSERT_TRUE(tick());
    EXPECT_EQ(a->outputs8 | a->outputs16 | a->outputs32, w.built);
    EXPECT_EQ(decodeWords(sink.bytes, w.width == 8), w.sent);
    if (w.changed < 0) continue;
    panelStore[w.changed].outOfRange = 0;
    ASSERT_TRUE(tick());
    EXPECT_EQ(decodeWords(sink.bytes, w.width == 8).size(), 2u);
    panelStore[w.changed].outOfRange = 1;
  }
  // A switch of width compares with what the previous width last wrote: 8 -> 16 turns on bit 2 (cleared at
  // 320) and the bits beyond the byte; 16 -> 32 turns bit 19 on again. The in-range bit 5 never switches.
  EXPECT_EQ(recorder.markers, (std::vector<Marker>{{320, 0, 2}, {480, 1, 2}, {480, 1, 11}, {480, 1, 19}, {480, 1, 31},
                                                   {480, 1, 8}, {800, 0, 19}, {960, 1, 19}, {1280, 0, 19}}));
  EXPECT_EQ(recorder.markerClears, 10);
}

TEST_F(TickTest, BlocksThatWouldLeaveTheBuffersAreRefused) {
  // {frames, samples, position of channel 4}: no frames; more frames than the
  // buffer holds; fewer samples than the frames need; two channels on one
  // position; a position outside the frame.
  recorder.recording = true;
  for (auto [frames, samples, position] : std::initializer_list<std::tuple<uint32_t, uint32_t, int32_t>>{
           {0, 0, 3}, {MAX_FRAMES_PER_BLOCK + 1, SAMPLE_BUFFER_SIZE, 3}, {4, 100, 3}, {4, 128, 2}, {4, 128, 32}}) {
    SCOPED_TRACE(testing::Message() << frames << " frames, " << samples << " samples, position " << position);
    a->framesPerBlock = frames;
    a->samplesPerBlock = samples;
    a->slotPosition[3] = position;
    EXPECT_FALSE(tick());
    EXPECT_EQ(a->recordTimeMs, RECORD_TIME_IDLE);
    EXPECT_TRUE(recorder.appended.empty());
  }
  layout(BOARD_KV310, MAX_FRAMES_PER_BLOCK);
  EXPECT_TRUE(tick());
}

TEST_F(TickTest, KV310ConversionScalesByGainPerPosition) {
  a->fullScaleVolts = 10.0f;
  a->samplesPerBlock = 70;  // not a whole number of frames: every sample is still converted
  a->positionGain[1] = 10;  // the others 0, as a faulty driver would give: read as x1, not as infinities
  std::vector<int16_t> raw(70, 16384);
  raw[69] = -32768;
  ASSERT_TRUE(convertKV310Block(*a, raw.data()));
  for (auto [i, volts] : {std::pair{0, 5.0f}, {1, 0.5f}, {33, 0.5f}, {5, 5.0f}, {69, -10.0f}})
    EXPECT_FLOAT_EQ(a->sampleBuffer[i], volts) << "sample " << i;
  a->samplesPerBlock = SAMPLE_BUFFER_SIZE + 1;
  EXPECT_FALSE(convertKV310Block(*a, raw.data()));
}

// The block arithmetic done the plain way, channel by channel and frame by
// frame, to hold the frame-major tick against on random configurations.
struct PlainTick {
  // Times in 1 / divisor ms; a block holds units of them.
  uint64_t units = 160, divisor = 1;
  uint64_t recordTime = RECORD_TIME_IDLE, previousTime = RECORD_TIME_IDLE;
  uint32_t interval = 0, shortest = 1;  // shortest: the board's frame time in whole ms
  bool active = false;
  uint32_t due[32] = {}, count[32] = {};
  float accumulator[32] = {}, values[32] = {};
  std::vector<int> columns;

  std::vector<float> block(const float* buffer, uint32_t frames, const int* slot, const MeterSettings& s,
                           const std::vector<int>& panelChannels) {
    recordTime = recordTime == RECORD_TIME_IDLE ? 0 : recordTime + units;
    if (previousTime == 0) {
      active = true;
      interval = static_cast<uint32_t>(std::max({s.Ftime, static_cast<int32_t>(shortest), 1}));
      columns.clear();
      for (auto& d : due) d = 0;
      for (int n : panelChannels)
        if (n >= 1 && n <= 32 && s.FlagRec[n]) {
          columns.push_back(n);
          due[n - 1] = interval;
        }
      for (int i = 0; i < 32; ++i) accumulator[i] = 0, count[i] = 0;
    }
    std::vector<std::vector<float>> produced(33);
    for (int n = 1; n <= 32; ++n) {
      float k = s.channelK[n], b = s.channelB[n];
      if (b >= 1000001.0f && b <= 1000032.0f) b = values[static_cast<int>(b) - 1000001];
      float sum = 0;
      for (uint32_t f = 0; f < frames; ++f) {
        const float x = buffer[slot[n - 1] + 32 * f];
        sum += s.ACmode[n] ? x * x : x;
        if (active && due[n - 1] != 0) {
          accumulator[n - 1] += x;
          ++count[n - 1];
          if (previousTime * frames + f * units >= due[n - 1] * divisor * frames) {
            produced[n].push_back(k * (accumulator[n - 1] / static_cast<float>(count[n - 1])) + b);
            accumulator[n - 1] = 0;
            count[n - 1] = 0;
            due[n - 1] += interval;
          }
        }
      }
      float mean = sum / static_cast<float>(frames);
      if (s.ACmode[n]) {
        mean = std::sqrt(mean);
        for (float& v : produced[n]) v = k * mean + b;
      }
      values[n - 1] = k * mean + b;
    }
    previousTime = recordTime;
    std::vector<float> rows;
    if (!active || columns.empty()) return rows;
    for (size_t j = 0; j < produced[columns[0]].size(); ++j)
      for (int n : columns) rows.push_back(produced[n][j]);
    return rows;
  }
};

TEST_F(TickTest, MatchesThePlainArithmeticOnRandomBlocks) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> volts(-10.0f, 10.0f);
  const uint32_t frameCounts[] = {1, 5, 10, 37, MAX_FRAMES_PER_BLOCK};
  const int32_t intervals[] = {0, 1, 7, 32, 100, 250, 1000};  // 0 must still fill every column
  // Block times in ms: whole, and cut blocks' fractions (KV310 at 210 Hz, KV320 at 150 Hz).
  const std::pair<uint32_t, uint32_t> blockTimes[] = {{160, 1}, {128, 1}, {3200, 21}, {320, 3}};
  size_t rowValues = 0, configuration = 0;
  for (uint32_t frames : frameCounts) {
    for (int32_t ftime : intervals) {
      const auto [units, divisor] = blockTimes[configuration++ % std::size(blockTimes)];
      SetUp();
      recorder = FakeRecorder();
      a->recordActive = 0;
      for (auto& v : a->currentValues) v = 0.0f;
      layout(frames % 2 ? BOARD_KV310 : BOARD_KV320, frames);
      a->blockTimeUnits = units;
      a->blockTimeDivisor = divisor;
      s->Ftime = ftime;
      s->FlagRec[0] = 1;  // slot 0 is no channel, whatever it holds
      std::vector<int> panelChannels;
      for (int j = 1; j <= 32; ++j) {
        const int n = static_cast<int>(random() % 34);  // 0 and 33 are not channels
        const bool visible = random() % 4 != 0;
        show(j, n, visible);
        if (visible) panelChannels.push_back(n);
      }
      for (int n = 1; n <= 32; ++n) {
        s->FlagRec[n] = random() % 3 != 0;
        s->ACmode[n] = random() % 2;
        s->channelK[n] = volts(random);
        // References to channels 1-32, and the plain offsets just outside them.
        s->channelB[n] = random() % 5 == 0 ? 1000000.0f + static_cast<float>(random() % 34) : volts(random);
      }
      PlainTick plain;
      plain.units = units;
      plain.divisor = divisor;
      // An interval below the frame time the set-up published is raised to it.
      plain.shortest = configuration % 3 == 0 ? 1 + random() % 40 : 1;
      a->shortestIntervalMs = static_cast<int32_t>(plain.shortest);
      recorder.recording = true;
      for (int blockIndex = 0; blockIndex < 7; ++blockIndex) {
        for (uint32_t i = 0; i < frames * 32; ++i) a->sampleBuffer[i] = volts(random);
        const auto expected = plain.block(a->sampleBuffer, frames, a->slotPosition, *s, panelChannels);
        ASSERT_TRUE(tick());
        for (int n = 1; n <= 32; ++n) ASSERT_EQ(value(n), plain.values[n - 1]) << frames << " " << ftime << " " << n;
        if (blockIndex == 0) {
          ASSERT_TRUE(recorder.appended.empty());
          continue;
        }
        ASSERT_EQ(recorder.appended.size(), static_cast<size_t>(blockIndex));
        ASSERT_EQ(recorder.appended.back(), expected) << frames << " " << ftime << " block " << blockIndex;
        rowValues += expected.size();
      }
      recorder.recording = false;  // stopped: no more rows, the clock idle
      ASSERT_TRUE(tick());
      EXPECT_EQ(std::tie(a->recordActive, a->recordTimeMs), std::make_tuple(0, RECORD_TIME_IDLE));
      EXPECT_EQ(recorder.appended.size(), 6u);
    }
  }
  EXPECT_GT(rowValues, 10000u);
}

}  // namespace
