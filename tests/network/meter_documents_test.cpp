// What the tick publishes and how the two documents spell it.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "network/meter_documents.h"
#include "settings/cp1251.h"

namespace {

std::string render(const MeterSnapshot& s, bool metrics) {
  static char buffer[METER_DOCUMENT_CAPACITY];
  TextBuffer out(buffer, sizeof buffer);
  metrics ? renderMetrics(s, "1.0.0", out) : renderValuesJson(s, out);
  return std::string(out.data(), out.size());
}

// The engine's state, the settings and the panels for one tick; limits off.
struct Tick {
  AcquisitionState state;
  std::unique_ptr<MeterSettings> settings = std::make_unique<MeterSettings>();
  PanelState panelStates[PANEL_COUNT];
  PanelState* panels[PANEL_COUNT] = {};
  MeterPublisher publisher;

  Tick() {
    for (int j = 0; j < PANEL_COUNT; ++j) panels[j] = &panelStates[j];
    for (int n = 0; n < CHANNEL_ARRAY_SIZE; ++n)
      settings->minLimit[n] = settings->maxLimit[n] = settings->refLevel[n] = LIMIT_UNSET;
  }
  void show(int position, int channel, float value, int32_t readingState = READING_PLAIN) {
    PanelState& p = panelStates[position - 1];
    p.visible = 1;
    p.channel = channel;
    p.publishedReading = value;
    p.readingState = readingState;
    state.currentValues[channel - 1] = value;
  }
  const MeterSnapshot& publish() {
    publisher.blockProcessed(state, *settings, panels, true, TickTime{1765281600123, 0.0});
    return publisher.exchange().take();
  }
};

// Each shown channel once, in panel order; escapes, values that are not numbers, limits only while set. The rest
// is read by real clients.
TEST(MeterDocuments, ShownChannelsEscapesNumbersAndLimits) {
  Tick t;
  t.show(9, 1, NAN, READING_NONE);  // column 2, first row
  t.show(2, 2, -2.0f, READING_OUT_OF_RANGE);
  t.show(3, 2, -2.0f);  // the same channel again: listed once
  t.show(4, 8, 1.0f);
  t.panelStates[3].visible = 0;  // hidden: not listed
  t.settings->nDO = 16;
  t.state.sentOutputs16 = 0x10004;  // only 16 bits reach the port
  t.settings->minLimit[2] = -1.0f;
  std::snprintf(t.settings->channelName[1], SETTINGS_TEXT_SIZE, "a\"b\\c\nd\x01%s", utf8ToCp1251("Ж").c_str());
  const MeterSnapshot& s = t.publish();
  ASSERT_EQ(s.channelCount, 2);
  EXPECT_EQ(std::make_tuple(s.channels[0].channel, s.channels[0].panel, s.channels[1].channel, s.channels[1].panel),
            std::make_tuple(2, 2, 1, 9));
  const std::string json = render(s, false);
  for (const char* part : {"\"name\":\"a\\\"b\\\\c\\u000ad\\u0001Ж\"", "\"value\":null", "\"reading\":null",
                           "\"output_word\":4,\"output_bits\":16,\"ticks\":1,", "\"low\":-1,\"high\":null",
                           "\"shown\":{\"reading\":\"-2.0000\",\"low\":\"-1.0000\",\"high\":null"})
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  const std::string metrics = render(s, true);
  for (const char* line : {"skalenor_channel_value{channel=\"1\",name=\"a\\\"b\\\\c\\nd\x01Ж\",unit=\"\"} NaN\n",
                           "skalenor_channel_limit_low{channel=\"2\",name=\"\",unit=\"\"} -1\n",
                           "skalenor_channel_out_of_range{channel=\"2\",name=\"\",unit=\"\"} 1\n"})
    EXPECT_NE(metrics.find(line), std::string::npos) << line << "\n" << metrics;
  EXPECT_EQ(metrics.find("skalenor_channel_limit_high{"), std::string::npos);
}

// The tick publishes while the server reads: every snapshot read is one whole tick.
TEST(MeterSnapshot, ReaderNeverSeesAHalfWrittenTick) {
  auto exchange = std::make_unique<SnapshotExchange>();
  constexpr uint64_t TICKS = 20000;
  std::thread writer([&] {
    for (uint64_t i = 1; i <= TICKS; ++i) {
      exchange->back().ticks = i;
      for (ChannelSnapshot& c : exchange->back().channels) c.value = static_cast<float>(i);
      exchange->publish();
    }
  });
  for (uint64_t last = 0, torn = 0; last < TICKS && !torn;) {
    const MeterSnapshot& s = exchange->take();
    for (const ChannelSnapshot& c : s.channels) torn += c.value != static_cast<float>(s.ticks) || s.ticks < last;
    EXPECT_EQ(torn, 0u) << "at tick " << s.ticks;
    last = s.ticks;
  }
  writer.join();
}

// A board with a buffer of 16 blocks of 160 ms, read by a tick every 100 ms or so (now and then late, or two
// close together) that now and then stalls: the counter finds the blocks the buffer dropped.
TEST(BlockLossCounter, CountsWhatTheBoardsBufferDropped) {
  struct Run {
    double driftPpm;
    std::vector<std::pair<int, int>> stalls;  // (tick, ms)
  } const runs[] = {{0, {}}, {100, {}}, {-100, {}},  // the board's clock slower or faster than the PC's
                    {0, {{600, 1500}}},             // within the buffer: no loss
                    {0, {{600, 4000}, {3000, 2600}}}, {50, {{600, 6000}, {900, 3200}, {30000, 10000}}}};
  for (const Run& run : runs) {
    BlockLossCounter counter;
    const double blockMs = 160.0, boardBlockMs = blockMs * (1.0 + run.driftPpm * 1e-6);
    uint64_t taken = 0, dropped = 0;
    double now = 37.0;
    for (int tick = 0; tick < 36000; ++tick) {  // an hour
      const int phase = tick % 53;
      now += phase == 0 ? 5.0 : phase == 1 ? 195.0 : phase == 20 ? 90.0 : phase == 21 ? 110.0 : 100.0;
      for (const auto& [at, ms] : run.stalls) now += tick == at ? ms : 0;
      const auto made = static_cast<uint64_t>(now / boardBlockMs);
      if (made - taken > 16) {  // the board's buffer holds 16 blocks
        dropped += made - taken - 16;
        taken = made - 16;
      }
      if (taken < made) {
        ++taken;
        counter.blockRead(now, blockMs);
      } else {
        counter.noBlockWaiting(now, blockMs);
      }
    }
    EXPECT_EQ(counter.lost(), dropped) << "drift " << run.driftPpm << ", " << run.stalls.size() << " stalls";
  }
}

}  // namespace
