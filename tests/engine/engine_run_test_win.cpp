// The engine ticking against the simulated boards: the digital-output port.
#include <string>

#include "acquisition/port_decoder.h"
#include "engine_harness.h"
#include "panels/panel_table.h"

namespace {

// A visible, out-of-range panel at position (1-32) showing channel.
void showPanel(PanelState& panel, int position, int channel) {
  panel.channel.store(channel);
  panel.visible.store(1);
  panel.outOfRange.store(1);
  panelTable[position - 1] = &panel;
}

// The port through the driver: the reset's byte and four zero words, the
// tick's 32-bit word, teardown's two zero words, and the port closed last.
TEST_F(EngineTest, OutputWordsReachThePortThroughTheDriver) {
  writeSimConfig("board = KV320\n");
  settings->nDO = 32;
  settings->NPK[1] = 17;  // channel 1 -> bit 16
  settings->NPK[2] = 2;   // channel 2 -> bit 1
  PanelState first, second;
  showPanel(first, 1, 1);
  showPanel(second, 2, 2);
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

}  // namespace
