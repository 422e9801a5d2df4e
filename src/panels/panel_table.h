// The 32 indicator panels as the rest of the program sees them.
//
// panelTable[j - 1] is the panel at position j (1-32): column (j - 1) / 8,
// row (j - 1) % 8. Start-up fills it once; the entries never change after.
// The published fields are written only on the user-interface thread and read
// by the engine's timer thread, so they are atomics.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int PANEL_COUNT = 32;
inline constexpr int PANEL_SAMPLES = 1023;  // panel command: collect a block's value

// Panel command message: WM_USER, command in the low 16 bits of the first
// parameter, flag in the high 16 bits, argument in the second parameter.
inline constexpr uint32_t panelCommandParam(int command, int flag) {
  return (static_cast<uint32_t>(flag) << 16) | (static_cast<uint32_t>(command) & 0xFFFFu);
}

struct PanelState {
  std::atomic<int32_t> channel{1};  // channel shown, 1-32
  std::atomic<int32_t> column{0};   // grid column 0-3
  std::atomic<int32_t> row{0};      // grid row 0-7
  std::atomic<int32_t> screenWidth{0};
  std::atomic<int32_t> screenHeight{0};
  std::atomic<void*> panelWindow{nullptr};
  std::atomic<int32_t> visible{0};
  std::atomic<int32_t> outOfRange{0};
  // The reading last shown and how it was coloured (the network page shows the same).
  std::atomic<float> publishedReading{0.0f};
  std::atomic<int32_t> readingState{0};  // ReadingState: 0 until the first refresh
};

// The table; entries are the ChannelPanel objects of the Win32 layer.
extern PanelState* panelTable[PANEL_COUNT];

inline int panelColumn(int position) { return (position - 1) / 8; }
inline int panelRow(int position) { return (position - 1) % 8; }
