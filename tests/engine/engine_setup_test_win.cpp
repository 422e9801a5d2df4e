// Board detection and set-up against the simulated boards: what each board
// gets programmed with, and the notices of every failure, in order.
#include <cmath>
#include <cstring>

#include "acquisition/trace_log.h"
#include "engine_harness.h"
#include "settings/cp1251_literal.h"

namespace {

const std::string NO_BOARDS = cp1251<"Устройства KV310/KV320 не найдены!">();
const std::string KV320_RECORD = cp1251<"KV320E - Ошибка при задании структуры">();

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const auto& l : lines)
    if (l == line) return true;
  return false;
}

TEST_F(EngineTest, KV320IsFoundAndProgrammed) {
  writeSimConfig("board = KV320\ngains = 2, 4, 8, 16\nfullscale = 5\n");
  auto engine = startEngine();
  EXPECT_TRUE(notices->notices.empty());
  EXPECT_EQ(engine->initResult.load(), 1);
  EXPECT_EQ(engine->boardReady.load(), 1);
  EXPECT_EQ(engine->boardType.load(), BOARD_KV320);
  EXPECT_TRUE(engine->acquiring());
  EXPECT_EQ(engine->samplesPerBlock, 320u);
  EXPECT_EQ(engine->framesPerBlock, 10u);
  EXPECT_EQ(engine->slotPosition[0], 0);
  EXPECT_EQ(engine->slotPosition[8], 1);
  EXPECT_EQ(engine->slotPosition[16], 16);
  EXPECT_EQ(engine->slotPosition[24], 17);
  EXPECT_EQ(engine->gainFactor[0].load(), 1);
  EXPECT_EQ(engine->gainFactor[1].load(), 2);
  EXPECT_EQ(engine->gainFactor[4].load(), 16);
  EXPECT_EQ(engine->gainFactor[5].load(), 1);
  EXPECT_FLOAT_EQ(engine->fullScaleVolts, 5.0f);
  EXPECT_EQ(engine->recordIntervalMs, 16u);  // 16000 / 1000
  EXPECT_EQ(settings->Ftime, 16);
  EXPECT_EQ(engine->recordTimeMs, INITIAL_RECORD_TIME);
  engine.reset();
  auto ev = events();
  EXPECT_TRUE(contains(ev, "kv320 open 1"));
  EXPECT_TRUE(contains(ev, "kv320 setParameters 1 1"));
  EXPECT_TRUE(contains(ev, "kv320 start"));
  EXPECT_TRUE(contains(ev, "kv320 stop"));
  EXPECT_EQ(ev.back(), "kv320 release");
}

TEST_F(EngineTest, KV310IsTheFallback) {
  writeSimConfig("board = KV310\n");
  settings->Ftime = 10;
  auto engine = startEngine();
  EXPECT_TRUE(notices->notices.empty());
  EXPECT_EQ(engine->initResult.load(), 1);
  EXPECT_EQ(engine->boardType.load(), BOARD_KV310);
  EXPECT_EQ(engine->boardReady.load(), 1);
  EXPECT_EQ(engine->samplesPerBlock, 160u);
  EXPECT_EQ(engine->framesPerBlock, 5u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(engine->slotPosition[i], i);
  EXPECT_EQ(engine->gainFactor[2].load(), 10);  // the simulator's default gains 1, 10, 100, 1000
  EXPECT_EQ(engine->gainFactor[4].load(), 1000);
  EXPECT_FLOAT_EQ(engine->fullScaleVolts, 10.0f);
  EXPECT_EQ(engine->recordIntervalMs, 32u);
  EXPECT_EQ(settings->Ftime, 32);
  EXPECT_TRUE(contains(trace(), "(int)dimension=160(a0)"));
  engine.reset();
  auto ev = events();
  // The KV320 was asked first and let go; then the utility, its device, and teardown in order.
  EXPECT_TRUE(contains(ev, "kv320 open 0"));
  EXPECT_TRUE(contains(ev, "utility open 1"));
  EXPECT_TRUE(contains(ev, "utility setParameters 1"));
  ASSERT_GE(ev.size(), 4u);
  EXPECT_EQ(ev[ev.size() - 4], "utility stop");
  EXPECT_EQ(ev[ev.size() - 3], "kv310-device release");
  EXPECT_EQ(ev[ev.size() - 2], "utility release");
  EXPECT_EQ(ev[ev.size() - 1], "kv310-device release");  // the utility lets its own reference go
}

struct FailureCase {
  const char* config;
  std::vector<std::string> expected;
  int boardReady;
  int initResult;
};

TEST_F(EngineTest, FailureNoticesInOrder) {
  const FailureCase cases[] = {
      {"board = none", {NO_BOARDS}, 0, 0},
      {"board = KV310\nfail = open310", {NO_BOARDS}, 0, 0},
      {"board = KV320\nfail = open320", {NO_BOARDS}, 0, 0},  // the KV310 is asked and is not there
      {"board = KV320\nfail = factory320", {NO_BOARDS}, 0, 0},
      {"board = KV310\nfail = utility", {"KV310 - Object not created!", NO_BOARDS}, 0, 0},
      {"board = KV310\nfail = device", {"KV310 - IADCDevice interface not found!", NO_BOARDS}, 1, 0},
      {"board = KV320\nfail = record320", {KV320_RECORD}, 1, 1},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.config);
    notices->notices.clear();
    writeSimConfig(c.config);
    auto engine = startEngine();
    EXPECT_EQ(notices->notices, c.expected);
    EXPECT_EQ(engine->boardReady.load(), c.boardReady);
    EXPECT_EQ(engine->initResult.load(), c.initResult);
    EXPECT_FALSE(engine->acquiring());
    runFor(*engine, 300);  // ticks must leave a missing or unstarted board alone
    engine.reset();
    for (const auto& line : events()) EXPECT_EQ(line.find("kv310-device"), std::string::npos) << line;
  }
}

// Faults with no notice of their own: the board is set up, but no block ever
// comes (or the port stays silent); the engine keeps running without values.
TEST_F(EngineTest, QuietFaults) {
  const char* const configs[] = {"board = KV320\nfail = read\nch1 = dc 1",
                                 "board = KV310\nfail = lockbuffer\nch1 = dc 1",
                                 "board = KV310\nfail = record310\nch1 = dc 1",
                                 "board = KV310\nfail = query\nch1 = dc 1",
                                 "board = KV320\nfail = port\nch1 = dc 1"};
  for (const char* config : configs) {
    SCOPED_TRACE(config);
    notices->notices.clear();
    DeleteFileA(path("port.log").c_str());
    writeSimConfig(config);
    auto engine = startEngine();
    EXPECT_TRUE(notices->notices.empty());
    EXPECT_EQ(engine->initResult.load(), 1);
    EXPECT_EQ(engine->boardReady.load(), 1);
    runFor(*engine, 700);
    // Only the port fault lets blocks through; a full scale of 0 makes every KV310 value 0.
    float expected = std::strstr(config, "port") ? 1.0f : 0.0f;
    EXPECT_FLOAT_EQ(engine->currentValues[0].load(), expected);
    engine.reset();
  }
  EXPECT_EQ(portLog(), "closed\n");  // the port fault: nothing but the closing reached the log
}

TEST_F(EngineTest, MissingUtilityLibrary) {
  const std::string saved = driverPath("Base library", "LABUtility");
  ASSERT_FALSE(saved.empty()) << "kvsim.dll is not registered";
  ASSERT_TRUE(setDriverPath("Base library", "LABUtility", "Z:\\nonexistent\\kvsim.dll"));
  writeSimConfig("board = none");
  auto engine = startEngine();
  engine.reset();
  setDriverPath("Base library", "LABUtility", saved);
  std::vector<std::string> expected = {"KV310 - LABUtility not found!", NO_BOARDS};
  EXPECT_EQ(notices->notices, expected);
}

TEST_F(EngineTest, RatesOutsideTheBoardsRangeAreRefused) {
  struct RateCase {
    const char* board;
    double rate;
    const char* range;
  };
  const RateCase cases[] = {
      {"KV320", 50.0, "100"},      {"KV320", 0.0, "100"},     {"KV320", 102401.0, "102400"},
      {"KV310", 199.9, "204800"},  {"KV310", -1000.0, "200"}, {"KV310", 1.0e12, "204800"},
  };
  for (const RateCase& c : cases) {
    SCOPED_TRACE(std::string(c.board) + " " + std::to_string(c.rate));
    notices->notices.clear();
    writeSimConfig(std::string("board = ") + c.board);
    settings->FreqStream = c.rate;
    auto engine = startEngine();
    ASSERT_EQ(notices->notices.size(), 1u);
    const std::string& text = notices->notices[0];
    EXPECT_EQ(text.rfind(c.board[3] == '2' ? "KV320E - " : "KV310 - ", 0), 0u) << text;
    EXPECT_NE(text.find(c.range), std::string::npos) << text;
    EXPECT_EQ(engine->boardReady.load(), 0);
    EXPECT_EQ(engine->initResult.load(), 0);
    EXPECT_FALSE(engine->acquiring());
    engine.reset();
    for (const auto& line : events()) {
      EXPECT_EQ(line.find("start"), std::string::npos) << line;
      EXPECT_EQ(line.find("setParameters"), std::string::npos) << line;
    }
  }
}

TEST_F(EngineTest, RefusedInformationQueryKeepsUnitGains) {
  writeSimConfig("board = KV310\nfail = info\n");
  auto engine = startEngine();
  EXPECT_EQ(engine->initResult.load(), 1);
  for (int c = 0; c < 8; ++c) EXPECT_EQ(engine->gainFactor[c].load(), 1);
}

TEST_F(EngineTest, StopWhileWaitingForSettings) {
  writeSimConfig("board = KV320");
  auto engine = std::make_unique<AcquisitionEngine>();
  engine->startEngine(notices->handle());  // the settings are never published
  pumpMessagesFor(1500);
  EXPECT_FALSE(engine->initFinished());
  engine->shutDown();  // the worker ends by itself
  EXPECT_TRUE(engine->initFinished());
  EXPECT_EQ(engine->initResult.load(), 0);
  EXPECT_EQ(engine->boardReady.load(), 0);
  EXPECT_TRUE(notices->notices.empty());
}

}  // namespace
