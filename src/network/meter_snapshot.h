// What the network server shows of the meter: a copy of the latest tick's
// results, published by the tick and taken by the server's thread.
//
// The tick fills the back buffer of a triple buffer and swaps it with the
// middle one in one atomic exchange; the server swaps the middle one with its
// front buffer when a fresher one is there. Neither side waits, locks or
// allocates, and each buffer belongs to one side at a time.
#pragma once

#include <atomic>
#include <cstdint>

#include "acquisition/acquisition_state.h"
#include "panels/panel_table.h"
#include "settings/meter_settings.h"

// How a panel colours its reading (the page shows the same colours).
enum ReadingState : int32_t {
  READING_NONE = 0,          // no reading shown yet
  READING_PLAIN = 1,         // yellow
  READING_REFERENCE = 2,     // orange: relative to the reference level
  READING_OUT_OF_RANGE = 3,  // red: outside both limits
};

struct ChannelSnapshot {
  int32_t channel = 0;           // 1-32
  int32_t panel = 0;             // position 1-32 of the first shown panel with this channel
  float value = 0.0f;            // K x volts + B of the latest block
  float reading = 0.0f;          // the panel's shown reading (less the reference while it is on)
  int32_t readingState = READING_NONE;
  float low = LIMIT_UNSET;       // limits and reference level; LIMIT_UNSET when off
  float high = LIMIT_UNSET;
  float ref = LIMIT_UNSET;
  int32_t output = 0;            // relay-command output number, 0 = none
  int32_t outputOn = 0;          // the panel raises its output
  char name[SETTINGS_TEXT_SIZE] = {};  // Windows-1251
  char unit[SETTINGS_TEXT_SIZE] = {};
};

struct MeterSnapshot {
  uint64_t ticks = 0;            // blocks processed since the start
  uint64_t blocksLost = 0;       // blocks the board made that never reached the tick
  int64_t timeMs = 0;            // clock time of the latest block, ms since 1970 (UTC); 0 before the first
  double rateHz = 0.0;
  int32_t boardType = BOARD_NONE;
  int32_t recording = 0;
  uint32_t outputWord = 0;       // relay-command outputs as last written to the port
  int32_t outputBits = 8;        // width of that word: 8, 16 or 32
  int32_t channelCount = 0;      // channels[0 .. channelCount - 1], in panel order
  ChannelSnapshot channels[CHANNEL_COUNT];
};

class SnapshotExchange {
 public:
  // Writer side (one thread).
  MeterSnapshot& back() { return buffers_[back_]; }
  void publish() { back_ = middle_.exchange(back_ | FRESH, std::memory_order_acq_rel) & INDEX; }

  // Reader side (one thread): the newest published snapshot, valid until the next take.
  const MeterSnapshot& take() {
    if (middle_.load(std::memory_order_relaxed) & FRESH)
      front_ = middle_.exchange(front_, std::memory_order_acq_rel) & INDEX;
    return buffers_[front_];
  }

 private:
  static constexpr uint32_t INDEX = 3;
  static constexpr uint32_t FRESH = 4;
  MeterSnapshot buffers_[3];
  std::atomic<uint32_t> middle_{1};
  uint32_t back_ = 0;
  uint32_t front_ = 2;
};

// Blocks the board produced that the tick never read. The board's own clock
// is not visible, only whether a block was waiting. The lag, the time since
// the first block less the time of the blocks read, can never fall below the
// board's start plus the time of the blocks lost (each block read was made
// before it was read), and once a tick has found no block waiting, ticks read
// each block soon after it is made, so the least lag over the ticks of a
// window from there on stays within a fraction of a block of that bound. A rise of the least lag by about k block times is k lost blocks;
// smaller moves (the board's clock against the PC's) are followed.
class BlockLossCounter {
 public:
  void blockRead(double nowMs, double blockMs) { observe(nowMs, blockMs, true); }
  void noBlockWaiting(double nowMs, double blockMs) { observe(nowMs, blockMs, false); }
  uint64_t lost() const { return lost_; }

  static constexpr int WINDOW_TICKS = 32;

 private:
  void observe(double nowMs, double blockMs, bool read);

  bool anchored_ = false;
  double anchorMs_ = 0.0;
  double blockMs_ = 0.0;
  uint64_t read_ = 0;
  bool haveBaseline_ = false;
  double baseline_ = 0.0;
  double windowMin_ = 0.0;
  bool haveMin_ = false;
  bool sawIdle_ = false;
  int windowTicks_ = 0;
  uint64_t lost_ = 0;
};

// Windows' FILETIME count (100 ns since 1601) as ms since 1970.
inline int64_t unixMsFromFileTime(uint64_t ticks) { return static_cast<int64_t>((ticks - 116444736000000000ull) / 10000); }

struct TickTime {
  int64_t wallMs = 0;        // clock time, ms since 1970 (UTC)
  double monotonicMs = 0.0;  // a steady clock
};

// Fills the snapshots from the tick. Runs on the timer thread only.
class MeterPublisher {
 public:
  // After a block went through the tick: values, limits, panels' readings.
  void blockProcessed(const AcquisitionState& state, const MeterSettings& settings,
                      PanelState* const panels[PANEL_COUNT], bool recording, TickTime time);
  // A tick that found no block waiting.
  void noBlock(const AcquisitionState& state, TickTime time);

  SnapshotExchange& exchange() { return exchange_; }

 private:
  SnapshotExchange exchange_;
  MeterSnapshot latest_;
  BlockLossCounter loss_;
  uint64_t ticks_ = 0;
};

// The program's one publisher; the engine's tick feeds it.
extern MeterPublisher meterPublisher;
