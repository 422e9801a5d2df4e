#include "network/meter_snapshot.h"

#include <cmath>

MeterPublisher meterPublisher;

void BlockLossCounter::observe(double nowMs, double blockMs, bool read) {
  if (!(blockMs > 0.0)) return;
  if (!anchored_ || blockMs != blockMs_) {  // the first block, or a new block size: start over from here
    if (!read) return;
    anchored_ = true;
    anchorMs_ = nowMs;
    blockMs_ = blockMs;
    read_ = 0;
    haveBaseline_ = haveMin_ = sawIdle_ = false;
    windowTicks_ = 0;
  }
  if (read) ++read_;
  // Until a tick finds no block waiting, the tick may be catching up on blocks
  // made long ago: only the ticks from there on show where the lag stands.
  if (!read) sawIdle_ = true;
  const double lag = (nowMs - anchorMs_) - static_cast<double>(read_) * blockMs;
  if (sawIdle_ && (!haveMin_ || lag < windowMin_)) {
    windowMin_ = lag;
    haveMin_ = true;
  }
  if (++windowTicks_ < WINDOW_TICKS) return;
  windowTicks_ = 0;
  if (!haveMin_) return;  // caught up nowhere in this window
  if (haveBaseline_) {
    const double blocks = std::floor((windowMin_ - baseline_) / blockMs + 0.5);
    if (blocks >= 1.0) lost_ += static_cast<uint64_t>(blocks);
  }
  haveBaseline_ = true;
  baseline_ = windowMin_;
  haveMin_ = sawIdle_ = false;
}

namespace {

double blockTimeMs(const AcquisitionState& state) {
  return state.blockTimeDivisor == 0 ? 0.0
                                     : static_cast<double>(state.blockTimeUnits) / state.blockTimeDivisor;
}

void copyText(char* to, const char* from) {
  for (int i = 0; i < SETTINGS_TEXT_SIZE; ++i) to[i] = sharedLoad(from[i]);
  to[SETTINGS_TEXT_SIZE - 1] = '\0';
}

}  // namespace

void MeterPublisher::noBlock(const AcquisitionState& state, TickTime time) {
  loss_.noBlockWaiting(time.monotonicMs, blockTimeMs(state));
  if (loss_.lost() == latest_.blocksLost || latest_.ticks == 0) return;
  // Only the count changed: a board that stops delivering still shows in it.
  latest_.blocksLost = loss_.lost();
  exchange_.back() = latest_;
  exchange_.publish();
}

void MeterPublisher::blockProcessed(const AcquisitionState& state, const MeterSettings& settings,
                                    PanelState* const panels[PANEL_COUNT], bool recording, TickTime time) {
  loss_.blockRead(time.monotonicMs, blockTimeMs(state));
  ++ticks_;
  MeterSnapshot& s = latest_;
  s.ticks = ticks_;
  s.blocksLost = loss_.lost();
  s.timeMs = time.wallMs;
  s.rateHz = sharedLoad(settings.FreqStream);
  s.boardType = state.boardType.load(std::memory_order_relaxed);
  s.recording = recording ? 1 : 0;
  const int32_t width = sharedLoad(settings.nDO);
  s.outputBits = width == 16 || width == 32 ? width : 8;
  s.outputWord = width == 32 ? state.sentOutputs32 : width == 16 ? (state.sentOutputs16 & 0xFFFFu) : state.sentOutputs8;

  // Each shown channel once, at its first panel, in panel order.
  bool listed[CHANNEL_COUNT + 1] = {};
  s.channelCount = 0;
  for (int j = 0; j < PANEL_COUNT; ++j) {
    const PanelState* panel = panels[j];
    if (!panel || !panel->visible.load(std::memory_order_relaxed)) continue;
    const int32_t n = panel->channel.load(std::memory_order_relaxed);
    if (n < 1 || n > CHANNEL_COUNT || listed[n]) continue;
    listed[n] = true;
    ChannelSnapshot& c = s.channels[s.channelCount++];
    c.channel = n;
    c.panel = j + 1;
    c.value = state.currentValues[n - 1].load(std::memory_order_relaxed);
    c.reading = panel->publishedReading.load(std::memory_order_relaxed);
    c.readingState = panel->readingState.load(std::memory_order_relaxed);
    c.low = sharedLoad(settings.minLimit[n]);
    c.high = sharedLoad(settings.maxLimit[n]);
    c.ref = sharedLoad(settings.refLevel[n]);
    c.output = sharedLoad(settings.NPK[n]);
    c.outputOn = panel->outOfRange.load(std::memory_order_relaxed);
    copyText(c.name, settings.channelName[n]);
    copyText(c.unit, settings.unitText[n]);
  }
  exchange_.back() = s;
  exchange_.publish();
}
