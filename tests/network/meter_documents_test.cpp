// What the tick publishes and how the two documents spell it.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "network/meter_documents.h"
#include "settings/cp1251.h"

namespace {

std::string render(const MeterSnapshot& s, bool metrics) {
  static char buffer[METER_DOCUMENT_CAPACITY];
  TextBuffer out(buffer, sizeof buffer);
  if (metrics)
    renderMetrics(s, "1.0.0", out);
  else
    renderValuesJson(s, out);
  EXPECT_FALSE(out.overflowed());
  return std::string(out.data(), out.size());
}

// The engine's state, the settings and the panels for one tick.
struct Tick {
  AcquisitionState state;
  std::unique_ptr<MeterSettings> settings = std::make_unique<MeterSettings>();
  PanelState panelStates[PANEL_COUNT];
  PanelState* panels[PANEL_COUNT] = {};
  MeterPublisher publisher;

  Tick() {
    for (int j = 0; j < PANEL_COUNT; ++j) panels[j] = &panelStates[j];
    for (float& v : settings->minLimit) v = LIMIT_UNSET;
    for (float& v : settings->maxLimit) v = LIMIT_UNSET;
    for (float& v : settings->refLevel) v = LIMIT_UNSET;
    settings->nDO = 16;
    settings->FreqStream = 1000;
    state.boardType = BOARD_KV320;
  }
  void show(int position, int channel, float value, float reading, int32_t readingState) {
    PanelState& p = panelStates[position - 1];
    p.visible = 1;
    p.channel = channel;
    p.publishedReading = reading;
    p.readingState = readingState;
    state.currentValues[channel - 1] = value;
  }
  const MeterSnapshot& publish() {
    publisher.blockProcessed(state, *settings, panels, true, TickTime{1765281600123, 0.0});
    return publisher.exchange().take();
  }
};

TEST(MeterSnapshot, ShownChannelsInPanelOrderOnce) {
  Tick t;
  t.show(9, 5, 2.5f, 2.5f, READING_PLAIN);  // column 2, first row
  t.show(2, 7, -1.0f, 0.0f, READING_NONE);
  t.show(3, 7, -1.0f, 0.0f, READING_NONE);  // the same channel again: listed once
  t.show(4, 8, 1.0f, 1.0f, READING_PLAIN);
  t.panelStates[3].visible = 0;             // hidden: not listed
  t.settings->minLimit[5] = 0.0f;
  t.settings->maxLimit[5] = 2.0f;
  t.settings->NPK[5] = 3;
  t.panelStates[8].outOfRange = 1;
  t.state.sentOutputs16 = 0x10004;  // only 16 bits reach the port
  const MeterSnapshot& s = t.publish();
  ASSERT_EQ(s.channelCount, 2);
  EXPECT_EQ(std::make_pair(s.channels[0].channel, s.channels[0].panel), std::make_pair(7, 2));
  EXPECT_EQ(std::make_pair(s.channels[1].channel, s.channels[1].panel), std::make_pair(5, 9));
  EXPECT_EQ(s.channels[1].value, 2.5f);
  EXPECT_EQ(s.channels[1].output, 3);
  EXPECT_EQ(s.channels[1].outputOn, 1);
  EXPECT_EQ(s.outputWord, 4u);
  EXPECT_EQ(s.ticks, 1u);
  EXPECT_EQ(s.recording, 1);
}

TEST(MeterDocuments, ValuesAndMetrics) {
  Tick t;
  t.show(1, 1, 1.5f, 1.5f, READING_PLAIN);
  t.show(2, 2, 7.25f, 2.25f, READING_OUT_OF_RANGE);
  t.show(3, 3, NAN, 0.0f, READING_NONE);
  t.settings->refLevel[2] = 5.0f;
  t.settings->minLimit[2] = -1.0f;
  t.settings->maxLimit[2] = 2.0f;
  std::snprintf(t.settings->channelName[1], SETTINGS_TEXT_SIZE, "%s", utf8ToCp1251("Давление").c_str());
  std::snprintf(t.settings->unitText[1], SETTINGS_TEXT_SIZE, "%s", utf8ToCp1251("°C").c_str());
  std::snprintf(t.settings->channelName[2], SETTINGS_TEXT_SIZE, "a\"b\\c\nd\x01");
  const MeterSnapshot& s = t.publish();

  const std::string json = render(s, false);
  EXPECT_NE(json.find("{\"time\":1765281600.123,\"board\":\"KV320\",\"rate\":1000,\"recording\":true,"
                      "\"output_word\":0,\"output_bits\":16,\"ticks\":1,\"blocks_lost\":0,\"channels\":["),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"channel\":1,\"panel\":1,\"name\":\"Давление\",\"unit\":\"°C\",\"value\":1.5,"
                      "\"low\":null,\"high\":null,\"ref\":null,\"state\":\"normal\",\"out_of_range\":false,"
                      "\"output\":0,\"output_on\":false,\"shown\":{\"reading\":\"1.5000\",\"low\":null,"
                      "\"high\":null,\"ref\":null,\"absolute\":null}}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"name\":\"a\\\"b\\\\c\\u000ad\\u0001\""), std::string::npos);
  EXPECT_NE(json.find("\"value\":7.25,\"low\":-1,\"high\":2,\"ref\":5,\"state\":\"out_of_range\",\"out_of_range\":true"),
            std::string::npos);
  EXPECT_NE(json.find("\"shown\":{\"reading\":\"2.2500\",\"low\":\"-1.0000\",\"high\":\"2.0000\",\"ref\":\"5.0000\","
                      "\"absolute\":\"7.2500\"}"),
            std::string::npos);
  EXPECT_NE(json.find("\"value\":null"), std::string::npos);  // no NaN in JSON

  const std::string metrics = render(s, true);
  for (const char* line : {
           "# TYPE skalenor_channel_value gauge\n",
           "skalenor_channel_value{channel=\"1\",name=\"Давление\",unit=\"°C\"} 1.5\n",
           "skalenor_channel_value{channel=\"2\",name=\"a\\\"b\\\\c\\nd\x01\",unit=\"\"} 7.25\n",
           "skalenor_channel_value{channel=\"3\",name=\"\",unit=\"\"} NaN\n",
           "skalenor_channel_out_of_range{channel=\"2\",name=\"a\\\"b\\\\c\\nd\x01\",unit=\"\"} 1\n",
           "skalenor_channel_limit_low{channel=\"2\",name=\"a\\\"b\\\\c\\nd\x01\",unit=\"\"} -1\n",
           "# TYPE skalenor_ticks_total counter\nskalenor_ticks_total 1\n",
           "skalenor_recording 1\n",
           "skalenor_info{version=\"1.0.0\",board=\"KV320\"} 1\n",
       })
    EXPECT_NE(metrics.find(line), std::string::npos) << line << "\n" << metrics;
  EXPECT_EQ(metrics.find("skalenor_channel_limit_high{channel=\"1\""), std::string::npos);  // only when set
}

// The largest documents: every channel shown, names and units of 63 characters
// that each need the longest escape.
TEST(MeterDocuments, LongestNamesFit) {
  Tick t;
  for (int n = 1; n <= CHANNEL_COUNT; ++n) {
    t.show(n, n, -1.17549435e-38f, -1.17549435e-38f, READING_REFERENCE);
    t.settings->minLimit[n] = t.settings->maxLimit[n] = t.settings->refLevel[n] = -1.17549435e-38f;
    t.settings->NPK[n] = 32;
    for (int i = 0; i < SETTINGS_TEXT_SIZE - 1; ++i) {
      t.settings->channelName[n][i] = '\x01';
      t.settings->unitText[n][i] = '\x85';  // "…": three bytes in UTF-8
    }
  }
  render(t.publish(), false);
  render(t.publish(), true);
}

// The tick publishes while the server reads: every snapshot read is one whole tick.
TEST(MeterSnapshot, ReaderNeverSeesAHalfWrittenTick) {
  auto exchange = std::make_unique<SnapshotExchange>();
  constexpr uint64_t TICKS = 20000;
  std::thread writer([&] {
    for (uint64_t i = 1; i <= TICKS; ++i) {
      MeterSnapshot& s = exchange->back();
      s.ticks = i;
      for (ChannelSnapshot& c : s.channels) c.value = static_cast<float>(i);
      exchange->publish();
    }
  });
  uint64_t last = 0;
  while (last < TICKS) {
    const MeterSnapshot& s = exchange->take();
    for (const ChannelSnapshot& c : s.channels) ASSERT_EQ(c.value, static_cast<float>(s.ticks));
    ASSERT_GE(s.ticks, last);
    last = s.ticks;
  }
  writer.join();
}

// A board with a buffer of 16 blocks of 160 ms, read by a tick every 100 ms
// or so (now and then late, or two close together) that now and then stalls:
// the counter finds the blocks the buffer dropped.
TEST(BlockLossCounter, CountsWhatTheBoardsBufferDropped) {
  struct Run {
    double driftPpm;
    std::vector<std::pair<int, int>> stalls;  // (tick, ms)
  };
  const Run runs[] = {
      {0, {}},
      {100, {}},                              // the board's clock slower than the PC's: no loss
      {-100, {}},
      {0, {{600, 1500}}},                     // within the buffer: no loss
      {0, {{600, 4000}, {3000, 2600}}},
      {50, {{600, 6000}, {900, 3200}, {30000, 10000}}},
  };
  for (const Run& run : runs) {
    BlockLossCounter counter;
    const double blockMs = 160.0, boardBlockMs = blockMs * (1.0 + run.driftPpm * 1e-6);
    constexpr uint64_t BUFFER = 16;
    uint64_t made = 0, taken = 0, dropped = 0;
    double now = 37.0;
    for (int tick = 0; tick < 36000; ++tick) {  // an hour
      const int phase = tick % 53;
      now += phase == 0 ? 5.0 : phase == 1 ? 195.0 : phase == 20 ? 90.0 : phase == 21 ? 110.0 : 100.0;
      for (const auto& [at, ms] : run.stalls)
        if (tick == at) now += ms;
      made = static_cast<uint64_t>(now / boardBlockMs);
      if (made - taken > BUFFER) {
        dropped += made - taken - BUFFER;
        taken = made - BUFFER;
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
