// The engine ticking against the simulated boards: channel values in the
// right places, the panels' messages, and the digital-output port.
#include <cmath>
#include <cstdio>
#include <string>

#include "acquisition/port_decoder.h"
#include "engine_harness.h"
#include "panels/panel_table.h"

namespace {

// A stand-in panel window: counts PANEL_SAMPLES and keeps the address it got.
struct PanelProbe {
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_USER || wParam != PANEL_SAMPLES) return DefWindowProcW(window, message, wParam, lParam);
    auto* self = windowUser<PanelProbe>(window);
    self->count++;
    self->address = lParam;
    return 0;
  }
  ~PanelProbe() { DestroyWindow(window); }
  HWND window = hiddenWindow(L"EngineTestPanel", procedure, this);
  int count = 0;
  LPARAM address = 0;
};

// A visible, out-of-range panel at position (1-32) showing channel.
void showPanel(PanelState& panel, int position, int channel) {
  panel.channel.store(channel);
  panel.visible.store(1);
  panel.outOfRange.store(1);
  panelTable[position - 1] = &panel;
}

// Every channel a different DC level: a channel read from the wrong frame
// position shows at once.
std::string dcChannels() {
  std::string text;
  for (int n = 1; n <= 32; ++n) {
    char line[64];
    std::snprintf(line, sizeof line, "ch%d = dc %.2f\n", n, n * 0.1 - 1.65);
    text += line;
  }
  return text;
}

TEST_F(EngineTest, ChannelValuesReachTheirChannels) {
  const struct {
    const char* board;
    double rate;
    float tolerance;
  } runs[] = {{"KV320", 1000.0, 1e-5f}, {"KV310", 1000.0, 5e-4f}, {"KV310", 500.0, 5e-4f}, {"KV320", 2500.0, 1e-5f}};
  for (const auto& r : runs) {
    SCOPED_TRACE(std::string(r.board) + " at " + std::to_string(r.rate));
    // Gains 2, 4, 8, 16 with 5 V full scale: the gains reach the board, which saturates.
    writeSimConfig(std::string("board = ") + r.board + "\ngains = 2, 4, 8, 16\nfullscale = 5\n" + dcChannels() +
                   "ch3 = dc 3\n");
    settings->FreqStream = r.rate;
    settings->Kadc[3] = 2;
    settings->Kadc[9] = 4;
    settings->channelK[5] = 2.0f;
    settings->channelB[5] = 1.0f;
    PanelProbe probe;
    PanelState panel;
    panel.panelWindow.store(probe.window);
    panelTable[6] = &panel;
    auto engine = startEngine();
    ASSERT_TRUE(engine->acquiring());
    runFor(*engine, 1500);
    for (int n = 1; n <= 32; ++n) {
      float expected = static_cast<float>(n * 0.1 - 1.65);
      if (n == 3) expected = 1.25f;     // x4 saturates at 1.25 V
      if (n == 9) expected = -0.3125f;  // x16 saturates at 0.3125 V
      if (n == 5) expected = 2.0f * expected + 1.0f;
      EXPECT_NEAR(engine->currentValues[n - 1].load(), expected, r.tolerance) << "channel " << n;
    }
    EXPECT_GE(probe.count, 2);
    EXPECT_EQ(probe.address, reinterpret_cast<LPARAM>(engine->currentValues));
    engine.reset();
    panelTable[6] = nullptr;
  }
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
