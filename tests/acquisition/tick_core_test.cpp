#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "acquisition/board_layout.h"
#include "acquisition/port_decoder.h"
#include "acquisition/tick_core.h"
#include "acquisition/trace_log.h"
#include "acquisition_fakes.h"

namespace {

using Rows = std::vector<float>;
using Words = std::vector<PortWord>;

struct Shown {
  int channel;
  bool visible = true;
};

class TickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(traceLogSetPath((::testing::TempDir() + "trace_tick").c_str()));
    for (int j = 0; j < PANEL_COUNT; ++j) panels[j] = &panelStore[j];
    for (int n = 1; n <= CHANNEL_COUNT; ++n) s->channelK[n] = 1.0f;
    s->nDO = 16;
    layout(BOARD_KV310, 5);
    a->boardReady = 1;
    a->running = 1;
    port.outputReset(*a);
    sink.bytes.clear();
    a->recordTimeMs = a->previousRecordTimeMs = RECORD_TIME_IDLE;
    a->recordTimeFraction = a->previousRecordTimeFraction = 0;
  }

  // The boards' frame layouts. KV320: channels 1-8 at 0, 2, ..., 14; 9-16 at
  // 1, 3, ..., 15; 17-24 at 16, ..., 30; 25-32 at 17, ..., 31.
  void layout(BoardType board, uint32_t frames) {
    applyFrameLayout(*a, board);
    setFrames(frames);
  }
  void setFrames(uint32_t frames) {
    a->framesPerBlock = frames;
    a->samplesPerBlock = frames * 32;
  }
  void channel(int n, float k, float b, int ac = 0) {
    s->channelK[n] = k;
    s->channelB[n] = b;
    s->ACmode[n] = ac;
  }
  // The sample at a frame position in frame k; putFrames: channel n's samples on the KV310 layout.
  void putAt(int position, uint32_t k, float v) { a->sampleBuffer[32 * k + static_cast<uint32_t>(position)] = v; }
  void putFrames(int n, std::initializer_list<float> values) {
    uint32_t k = 0;
    for (float v : values) putAt(n - 1, k++, v);
  }
  void show(int position, int channel, bool visible = true) {
    panelStore[position - 1].channel = channel;
    panelStore[position - 1].visible = visible ? 1 : 0;
  }
  // Panels from position 1 on.
  void showPanels(std::initializer_list<Shown> shown) {
    int position = 1;
    for (const Shown& p : shown) show(position++, p.channel, p.visible);
  }
  bool tick() { return processBlock(*a, *s, panels, &recorder, port); }
  float value(int n) const { return a->currentValues[n - 1].load(); }
  void expectValues(std::initializer_list<std::pair<int, float>> expected) const {
    for (auto [n, v] : expected) EXPECT_FLOAT_EQ(value(n), v) << "channel " << n;
  }
  void expectMarker(size_t i, float time, int type, int number) const {
    ASSERT_LT(i, recorder.markers.size());
    EXPECT_FLOAT_EQ(recorder.markers[i].time, time) << "marker " << i;
    EXPECT_EQ(recorder.markers[i].type, type) << "marker " << i;
    EXPECT_EQ(recorder.markers[i].number, number) << "marker " << i;
  }

  std::unique_ptr<AcquisitionState> a = std::make_unique<AcquisitionState>();
  std::unique_ptr<MeterSettings> s = std::make_unique<MeterSettings>();
  PanelState panelStore[PANEL_COUNT];
  PanelState* panels[PANEL_COUNT] = {};
  FakeRecorder recorder;
  FakePortSink sink;
  OutputPort port{a->boardReady, &sink};
};

TEST_F(TickTest, DcAndAcMeansWithKAndBOnTheKV320Layout) {
  layout(BOARD_KV320, 4);
  // Channel n sits at position slotPosition[n - 1]: 1 -> 0, 9 -> 1, 17 -> 16, 32 -> 31, 5 -> 8.
  const float first[] = {1, 2, 3, 6};
  for (uint32_t k = 0; k < 4; ++k) {
    putAt(0, k, first[k]);
    putAt(1, k, k % 2 ? -3.0f : 3.0f);
    putAt(16, k, -2.0f);
    putAt(31, k, 1.0f);
    putAt(8, k, 100.0f);
  }
  channel(1, 2.0f, 1.0f);
  channel(9, 0.5f, -1.0f, 1);
  channel(32, 4.0f, 0.25f, 1);
  channel(2, 3.0f, 0.0f);
  ASSERT_TRUE(tick());
  // 1: 2 * mean(1, 2, 3, 6) + 1; 9: 0.5 * rms(3, -3, 3, -3) - 1; 2 and 25 sit at
  // positions 2 and 17, which hold nothing.
  expectValues({{1, 7.0f}, {9, 0.5f}, {17, -2.0f}, {32, 4.25f}, {5, 100.0f}, {2, 0.0f}, {25, 0.0f}});
}

TEST_F(TickTest, ChannelReferencesUseThisOrThePreviousBlock) {
  layout(BOARD_KV310, 2);
  s->channelB[3] = 1000005.0f;   // lower channel: sees the previous block's channel 5
  channel(7, 2.0f, 1000005.0f);  // higher channel: sees this block's channel 5
  s->channelB[8] = 1000008.0f;   // itself: its previous value
  s->channelB[10] = 1000000.0f;  // no channel: a plain offset
  s->channelB[11] = 1000033.0f;  // no such channel: a plain offset
  putFrames(3, {1, 1});
  putFrames(7, {2, 2});
  putFrames(8, {1, 1});
  putFrames(5, {10, 10});
  ASSERT_TRUE(tick());
  expectValues({{3, 1.0f}, {7, 14.0f}, {8, 1.0f}});
  putFrames(5, {20, 20});
  ASSERT_TRUE(tick());
  expectValues({{3, 11.0f}, {7, 24.0f}, {8, 2.0f}, {10, 1000000.0f}, {11, 1000033.0f}});
}

TEST_F(TickTest, RecordingClockRowsAndColumns) {
  // 1000 Hz on a KV310: 5 frames of 32 ms; interval 32 ms. Recorded: 7, 3 and 7
  // again (a second panel gets a column of its own); not: 4 (hidden), 5 (not
  // flagged), 0 (no channel), 40 (nonsense channel number).
  s->Ftime = 32;
  showPanels({{7}, {3}, {7}, {4, false}, {5}, {0}, {40}});
  for (int n : {7, 3, 4, 40}) s->FlagRec[n] = 1;
  channel(7, 2.0f, 1.0f);
  putFrames(7, {1, 2, 3, 4, 5});
  putFrames(3, {10, 20, 30, 40, 50});
  recorder.recording = true;

  ASSERT_TRUE(tick());  // first block: only counted
  EXPECT_EQ(a->recordTimeMs, 0u);
  EXPECT_EQ(a->recordActive, 0);
  EXPECT_TRUE(recorder.appended.empty());

  ASSERT_TRUE(tick());  // second block: the row axis starts at 0, first value due at 32
  EXPECT_EQ(a->recordTimeMs, 160u);
  EXPECT_EQ(a->recordActive, 1);
  EXPECT_EQ(a->recordIntervalMs, 32u);
  ASSERT_EQ(a->recordedChannelCount, 3);
  EXPECT_EQ(std::vector<int32_t>(a->recordedChannel, a->recordedChannel + 3), (std::vector<int32_t>{7, 3, 7}));
  ASSERT_EQ(recorder.appended.size(), 1u);
  // Frames at 0, 32, 64, 96, 128 ms: values due at 32 (frames 0-1), 64, 96, 128.
  EXPECT_EQ(recorder.appended[0], (Rows{4, 15, 4, 7, 30, 7, 9, 40, 9, 11, 50, 11}));

  ASSERT_TRUE(tick());  // frames at 160 ... 288: one value each
  EXPECT_EQ(a->recordTimeMs, 320u);
  ASSERT_EQ(recorder.appended.size(), 2u);
  EXPECT_EQ(recorder.appended[1], (Rows{3, 10, 3, 5, 20, 5, 7, 30, 7, 9, 40, 9, 11, 50, 11}));

  recorder.recording = false;
  ASSERT_TRUE(tick());
  EXPECT_EQ(a->recordActive, 0);
  EXPECT_EQ(a->recordTimeMs, RECORD_TIME_IDLE);
  EXPECT_EQ(a->previousRecordTimeMs, RECORD_TIME_IDLE);
  EXPECT_EQ(recorder.appended.size(), 2u);
}

TEST_F(TickTest, RowValuesCarryAcrossBlocksAndAcRowsTakeTheBlockValue) {
  s->Ftime = 100;
  showPanels({{2}, {6}});
  s->FlagRec[2] = s->FlagRec[6] = 1;
  channel(6, 1.0f, 0.5f, 1);
  s->channelB[2] = 1000006.0f;  // a higher channel: rows carry its previous block's value
  recorder.recording = true;
  ASSERT_TRUE(tick());
  putFrames(2, {1, 2, 3, 4, 5});
  putFrames(6, {3, -3, 3, -3, 3});
  ASSERT_TRUE(tick());  // frames at 0-128 ms: one value at 128 from all five frames
  ASSERT_EQ(recorder.appended.size(), 1u);
  EXPECT_EQ(recorder.appended[0], (Rows{3 + 0.5f, 3.5f}));
  putFrames(2, {10, 20, 30, 40, 50});
  ASSERT_TRUE(tick());  // frames at 160-288: due 200 at frame 2 (224 ms); 300 not reached
  ASSERT_EQ(recorder.appended.size(), 2u);
  EXPECT_EQ(recorder.appended[1], (Rows{20 + 3.5f, 3.5f}));
  putFrames(2, {100, 7, 8, 9, 11});
  ASSERT_TRUE(tick());  // 320 ms: frames 3, 4 of the last block and frame 0 of this one; 416 ms: frames 1-3
  ASSERT_EQ(recorder.appended.size(), 3u);
  ASSERT_EQ(recorder.appended[2].size(), 4u);
  EXPECT_FLOAT_EQ(recorder.appended[2][0], 190.0f / 3.0f + 3.5f);
  EXPECT_EQ(Rows(recorder.appended[2].begin() + 1, recorder.appended[2].end()), (Rows{3.5f, 8.0f + 3.5f, 3.5f}));
  EXPECT_EQ(a->accumulatedCount[1], 1u);  // frame 4 waits for 500 ms
  EXPECT_EQ(a->accumulator[1], 11.0f);
  EXPECT_EQ(a->dueTime[1], 500u);
}

// A cut block (KV310 at 210 Hz: 32 samples, 3200/21 ms) over hours of
// blocks: the clock stays on the exact time and the rows on their interval.
TEST_F(TickTest, CutBlocksKeepExactTimeOverHours) {
  a->sampleRateHz = 210;
  applyBlockSize(*a, BOARD_KV310);
  ASSERT_EQ(a->framesPerBlock, 1u);
  s->Ftime = 1000;
  showPanels({{1}});
  s->FlagRec[1] = 1;
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

TEST_F(TickTest, ZeroIntervalStillFillsEveryColumn) {
  s->Ftime = 0;
  showPanels({{1}, {2}});
  s->FlagRec[1] = s->FlagRec[2] = 1;
  putFrames(1, {1, 2, 3, 4, 5});
  putFrames(2, {-1, -2, -3, -4, -5});
  recorder.recording = true;
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  EXPECT_EQ(a->recordIntervalMs, 1u);
  // t = 0 ms is before the first due time (1 ms); one value per later frame.
  EXPECT_EQ(recorder.appended[0], (Rows{1.5f, -1.5f, 3, -3, 4, -4, 5, -5}));
}

TEST_F(TickTest, OutputWordsForEachWidth) {
  // Panel j shows channel j with output NPK[j]: bits 2, 0, none, 11 (beyond
  // the byte), none (no such output), none, 19, 31, 2, 8 (the first past the
  // byte). Panel 2 is hidden: it neither sets nor clears; panel 9, hidden and
  // in range, must not clear bit 2 either.
  const int outputNumbers[] = {3, 1, 0, 12, 40, -5, 20, 32, 3, 9};
  for (int j = 1; j <= 10; ++j) {
    show(j, j, j != 2 && j != 9);
    s->NPK[j] = outputNumbers[j - 1];
  }
  for (auto& p : panelStore) p.outOfRange = 1;
  panelStore[8].outOfRange = 0;

  s->nDO = 8;
  ASSERT_TRUE(tick());
  EXPECT_EQ(a->outputs8, 0x04);
  EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{0x04}));
  ASSERT_TRUE(tick());  // unchanged: nothing written
  EXPECT_EQ(sink.bytes.size(), 1u);
  panelStore[0].outOfRange = 0;
  ASSERT_TRUE(tick());
  EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{0x04, 0x00}));
  panelStore[0].outOfRange = 1;

  sink.bytes.clear();
  s->nDO = 16;
  ASSERT_TRUE(tick());
  const uint32_t bits16 = (1u << 2) | (1u << 8) | (1u << 11) | (1u << 19) | (1u << 31);
  EXPECT_EQ(a->outputs16, bits16);  // all 32 bits kept
  EXPECT_EQ(a->sentOutputs16, bits16);
  EXPECT_EQ(decodeWords(sink.bytes), (Words{{0x0904u, 16}}));  // only the low 16 reach the port
  ASSERT_TRUE(tick());  // unchanged: nothing written
  EXPECT_EQ(decodeWords(sink.bytes).size(), 1u);
  panelStore[6].outOfRange = 0;  // bit 19 only: still a change of the word
  ASSERT_TRUE(tick());
  EXPECT_EQ(decodeWords(sink.bytes), Words(2, {0x0904u, 16}));
  panelStore[6].outOfRange = 1;

  sink.bytes.clear();
  s->nDO = 32;
  ASSERT_TRUE(tick());
  EXPECT_EQ(a->outputs32, bits16);
  EXPECT_EQ(decodeWords(sink.bytes), (Words{{bits16, 32}}));
  ASSERT_TRUE(tick());
  EXPECT_EQ(decodeWords(sink.bytes).size(), 1u);

  sink.bytes.clear();
  s->nDO = 12;  // no such width: nothing built, nothing written
  ASSERT_TRUE(tick());
  EXPECT_EQ(a->outputs8 | a->outputs16 | a->outputs32, 0u);
  EXPECT_TRUE(sink.bytes.empty());
}

TEST_F(TickTest, MarkersCarryTheBlockTime) {
  showPanels({{1}, {2}});
  s->NPK[1] = 3;
  s->NPK[2] = 20;
  recorder.recording = true;
  ASSERT_TRUE(tick());  // first block: outputs written, no markers
  EXPECT_TRUE(recorder.markers.empty());
  EXPECT_EQ(recorder.markerClears, 0);
  EXPECT_EQ(decodeWords(sink.bytes).size(), 1u);  // 0 against the reset's 0xFFFF

  panelStore[0].outOfRange = 1;
  panelStore[1].outOfRange = 1;
  ASSERT_TRUE(tick());
  ASSERT_EQ(recorder.markers.size(), 2u);
  expectMarker(0, 0.16f, 1, 2);
  expectMarker(1, 0.16f, 1, 19);
  EXPECT_EQ(recorder.markerClears, 1);

  ASSERT_TRUE(tick());
  EXPECT_EQ(recorder.markers.size(), 2u);
  panelStore[0].outOfRange = 0;
  ASSERT_TRUE(tick());
  ASSERT_EQ(recorder.markers.size(), 3u);
  expectMarker(2, 0.48f, 0, 2);
  EXPECT_EQ(recorder.markerClears, 3);
}

TEST_F(TickTest, BlocksThatWouldLeaveTheBuffersAreRefused) {
  // {frames, samples, position of channel 4}: no frames; more frames than the
  // buffer holds; fewer samples than the frames need; two channels on one
  // position; a position outside the frame.
  for (auto [frames, samples, position] : std::initializer_list<std::tuple<uint32_t, uint32_t, int32_t>>{
           {0, 0, 3}, {MAX_FRAMES_PER_BLOCK + 1, SAMPLE_BUFFER_SIZE, 3}, {4, 100, 3}, {4, 128, 2}, {4, 128, 32}}) {
    SCOPED_TRACE(testing::Message() << frames << " frames, " << samples << " samples, position " << position);
    setFrames(frames);
    a->samplesPerBlock = samples;
    a->slotPosition[3] = position;
    const uint32_t before = a->recordTimeMs;
    recorder.recording = true;
    EXPECT_FALSE(tick());
    EXPECT_EQ(a->recordTimeMs, before);
    EXPECT_TRUE(recorder.appended.empty());
  }
  layout(BOARD_KV310, MAX_FRAMES_PER_BLOCK);
  EXPECT_TRUE(tick());
}

TEST_F(TickTest, KV310ConversionScalesByGainPerPosition) {
  a->fullScaleVolts = 10.0f;
  a->samplesPerBlock = 70;  // not a whole number of frames: every sample is still converted
  for (int i = 0; i < 32; ++i) a->positionGain[i] = 1;
  a->positionGain[1] = 10;
  a->positionGain[5] = 0;  // a driver fault must not give infinities
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
  uint32_t interval = 0;
  bool active = false;
  uint32_t due[32] = {}, count[32] = {};
  float accumulator[32] = {}, values[32] = {};
  std::vector<int> columns;

  std::vector<float> block(const float* buffer, uint32_t frames, const int* slot, const MeterSettings& s,
                           const std::vector<int>& panelChannels) {
    recordTime = recordTime == RECORD_TIME_IDLE ? 0 : recordTime + units;
    if (previousTime == 0) {
      active = true;
      interval = s.Ftime < 1 ? 1 : static_cast<uint32_t>(s.Ftime);
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
  const int32_t intervals[] = {1, 7, 32, 100, 250, 1000};
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
        s->channelB[n] = random() % 5 == 0 ? 1000001.0f + static_cast<float>(random() % 32) : volts(random);
      }
      PlainTick plain;
      plain.units = units;
      plain.divisor = divisor;
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
    }
  }
  EXPECT_GT(rowValues, 10000u);
}

}  // namespace
