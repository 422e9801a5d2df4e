// The engine against the simulated boards: what each board gets programmed
// with and reads, the output port through the driver, and the notices of every
// failure, in order.
#include <cstdio>
#include <string>

#include "acquisition/port_decoder.h"
#include "engine_harness.h"
#include "panels/panel_table.h"
#include "settings/cp1251_literal.h"

namespace {

const std::string NO_BOARDS = cp1251<"Устройства KV310/KV320 не найдены!">();
const std::string KV320_RECORD = cp1251<"KV320E - Ошибка при задании структуры">();

// Every channel a different DC level, so a channel read from the wrong frame
// position shows at once; gains 2, 4, 8, 16 with 5 V full scale, so the gains
// that reach the board saturate channels 3 (x4) and 9 (x16).
std::string dcChannels(const char* board) {
  std::string text = std::string("board = ") + board + "\ngains = 2, 4, 8, 16\nfullscale = 5\n";
  for (int n = 1; n <= 32; ++n) {
    char line[64];
    std::snprintf(line, sizeof line, "ch%d = dc %.2f\n", n, n == 3 ? 3.0 : n * 0.1 - 1.65);
    text += line;
  }
  return text;
}

// Each board found, programmed (the layout and gain arithmetic is the native
// tests' part), its values in their channels, and the driver calls in order:
// the KV310 after the KV320 was asked and let go; the utility lets its own
// reference to the device go last.
TEST_F(EngineTest, EachBoardIsFoundProgrammedReadAndLetGo) {
  const struct {
    const char* board;
    double rate;
    float tolerance;
    uint32_t samples;
    int32_t ftime;  // the shortest interval, 32000 or 16000 / rate
    Lines calls;
  } runs[] = {
      {"KV320", 1000, 1e-5f, 320, 16,
       {"kv320 open 1", "kv320 setParameters 1 1", "kv320 start", "kv320 stop", "kv320 release"}},
      {"KV310", 1000, 5e-4f, 160, 32,
       {"kv320 open 0", "utility open 1", "utility setParameters 1", "utility stop", "kv310-device release",
        "utility release", "kv310-device release"}},
      {"KV310", 500, 5e-4f, 64, 64, {}},
      {"KV320", 2500, 1e-5f, 800, 10, {}},
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(std::string(r.board) + " at " + std::to_string(r.rate));
    settings->FreqStream = r.rate;
    settings->Ftime = 10;
    settings->Kadc[3] = 2;
    settings->Kadc[9] = 4;
    settings->channelK[5] = 2.0f;
    settings->channelB[5] = 1.0f;
    auto engine = startWith(dcChannels(r.board));
    EXPECT_TRUE(notices->notices.empty());
    EXPECT_EQ(readyAndInit(*engine), std::make_pair(1, 1));
    ASSERT_TRUE(engine->acquiring());
    EXPECT_EQ(engine->boardType.load(), r.board[3] == '1' ? BOARD_KV310 : BOARD_KV320);
    EXPECT_EQ(engine->samplesPerBlock, r.samples);
    EXPECT_EQ(engine->gainFactor[4].load(), 16);
    EXPECT_FLOAT_EQ(engine->fullScaleVolts, 5.0f);
    EXPECT_EQ(settings->Ftime, r.ftime);
    runFor(*engine, 1500);
    for (int n = 1; n <= 32; ++n) {
      float expected = static_cast<float>(n * 0.1 - 1.65);
      if (n == 3) expected = 1.25f;     // x4 saturates at 1.25 V
      if (n == 9) expected = -0.3125f;  // x16 saturates at 0.3125 V
      if (n == 5) expected = 2.0f * expected + 1.0f;
      EXPECT_NEAR(engine->currentValues[n - 1].load(), expected, r.tolerance) << "channel " << n;
    }
    engine.reset();
    if (!r.calls.empty()) expectInOrder(events(), r.calls);
  }
}

// The port through the driver: the reset's byte and four zero words, the
// tick's 32-bit word, teardown's two zero words, and the port closed last.
TEST_F(EngineTest, OutputWordsReachThePortThroughTheDriver) {
  writeSimConfig("board = KV320\n");
  settings->nDO = 32;
  settings->NPK[1] = 17;  // channel 1 -> bit 16
  settings->NPK[2] = 2;   // channel 2 -> bit 1
  PanelState panels[2];  // visible and out of range, showing channels 1 and 2
  for (int j = 0; j < 2; ++j) {
    panels[j].channel.store(j + 1);
    panels[j].visible.store(1);
    panels[j].outOfRange.store(1);
    panelTable[j] = &panels[j];
  }
  auto engine = startEngine();
  runFor(*engine, 1200);
  engine.reset();

  const std::string log = portLog();
  ASSERT_GE(log.size(), 7u);
  EXPECT_EQ(log.substr(log.size() - 7), "closed\n");
  static uint8_t bytes[8192];
  const int count = parsePortLog(log.c_str(), bytes, 8192);
  ASSERT_GT(count, 0);
  EXPECT_EQ(bytes[0], 0x00);
  PortWord words[64];
  const int n = decodePortBytes(bytes + 1, count - 1, false, words, 64);
  ASSERT_EQ(n, 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(words[i].value, i == 4 ? 0x00010002u : 0u) << i;
}

// Every failure's notices in order; the rate is refused before anything is
// programmed or started.
TEST_F(EngineTest, FailureNoticesInOrder) {
  const struct {
    const char* config;
    double rate;
    Lines expected;
    int boardReady, initResult;
  } cases[] = {
      {"board = none", 1000, {NO_BOARDS}, 0, 0},
      {"board = KV310\nfail = open310", 1000, {NO_BOARDS}, 0, 0},
      {"board = KV320\nfail = open320", 1000, {NO_BOARDS}, 0, 0},  // the KV310 is asked and is not there
      {"board = KV320\nfail = factory320", 1000, {NO_BOARDS}, 0, 0},
      {"board = KV310\nfail = utility", 1000, {"KV310 - Object not created!", NO_BOARDS}, 0, 0},
      {"board = KV310\nfail = device", 1000, {"KV310 - IADCDevice interface not found!", NO_BOARDS}, 1, 0},
      {"board = KV320\nfail = record320", 1000, {KV320_RECORD}, 1, 1},
      {"board = KV320", 102401, {cp1251<"KV320E - Частота сбора 102401 Гц недопустима: допустимо от 100 до 102400 Гц">()}, 0, 0},
      {"board = KV310", 199.9, {cp1251<"KV310 - Частота сбора 199 Гц недопустима: допустимо от 200 до 204800 Гц">()}, 0, 0},
      {"board = KV310", 1e12, {cp1251<"KV310 - Частота сбора 0 Гц недопустима: допустимо от 200 до 204800 Гц">()}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    settings->FreqStream = c.rate;
    auto engine = startWith(c.config);
    EXPECT_EQ(notices->notices, c.expected);
    EXPECT_EQ(readyAndInit(*engine), std::make_pair(c.boardReady, c.initResult));
    EXPECT_FALSE(engine->acquiring());
    runFor(*engine, 300);  // ticks must leave a missing or unstarted board alone
    engine.reset();
    for (const auto& line : events()) {
      EXPECT_EQ(line.find("kv310-device"), std::string::npos) << line;
      EXPECT_EQ(line.find("start"), std::string::npos) << line;
      EXPECT_TRUE(c.rate == 1000 || line.find("setParameters") == std::string::npos) << line;
    }
  }
}

// Faults with no notice of their own: the board is set up, but no block ever
// comes (or the port stays silent); the engine keeps running without values.
// A refused information query keeps the unit gains.
TEST_F(EngineTest, QuietFaults) {
  const std::pair<const char*, std::string> runs[] = {{"KV320", "read"},  {"KV310", "lockbuffer"}, {"KV310", "record310"},
                                                      {"KV310", "query"}, {"KV320", "port"},       {"KV310", "info"}};
  for (const auto& [board, fault] : runs) {
    SCOPED_TRACE(fault);
    auto engine = startWith(std::string("board = ") + board + "\nfail = " + fault + "\nch1 = dc 1");
    EXPECT_TRUE(notices->notices.empty());
    EXPECT_EQ(readyAndInit(*engine), std::make_pair(1, 1));
    if (fault == "info") {
      for (int c = 0; c < 8; ++c) EXPECT_EQ(engine->gainFactor[c].load(), 1);
      continue;
    }
    runFor(*engine, 700);
    // Only the port fault lets blocks through; a full scale of 0 makes every KV310 value 0.
    EXPECT_FLOAT_EQ(engine->currentValues[0].load(), fault == "port" ? 1.0f : 0.0f);
    engine.reset();
    if (fault == "port") {
      EXPECT_EQ(portLog(), "closed\n");  // nothing but the closing reached the log
    }
  }
}

TEST_F(EngineTest, MissingUtilityLibrary) {
  const std::string saved = driverPath("Base library", "LABUtility");
  ASSERT_FALSE(saved.empty()) << "kvsim.dll is not registered";
  ASSERT_TRUE(setDriverPath("Base library", "LABUtility", "Z:\\nonexistent\\kvsim.dll"));
  startWith("board = none").reset();
  setDriverPath("Base library", "LABUtility", saved);
  EXPECT_EQ(notices->notices, (Lines{"KV310 - LABUtility not found!", NO_BOARDS}));
}

TEST_F(EngineTest, StopWhileWaitingForSettings) {
  writeSimConfig("board = KV320");
  auto engine = std::make_unique<AcquisitionEngine>();
  engine->startEngine(notices->handle());  // the settings are never published
  pumpMessagesFor(1500);
  EXPECT_FALSE(engine->initFinished());
  engine->shutDown();  // the worker ends by itself
  EXPECT_TRUE(engine->initFinished());
  EXPECT_EQ(readyAndInit(*engine), std::make_pair(0, 0));
  EXPECT_TRUE(notices->notices.empty());
}

}  // namespace
