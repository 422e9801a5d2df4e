#include "network/meter_snapshot.h"

#include <cmath>

MeterPublisher meterPublisher;

void BlockLossCounter::blockRead(double nowMs) {
  if (!anchored_) {
    anchored_ = true;
    anchorMs_ = nowMs;
  }
  ++read_;
}

void BlockLossCounter::noBlockWaiting(double nowMs, double blockMs) {
  if (!anchored_ || !(blockMs > 0.0)) return;
  if (blockMs != lastBlockMs_) {  // a new block size: start over from here
    lastBlockMs_ = blockMs;
    haveBaseline_ = false;
    windowTicks_ = 0;
    anchorMs_ = nowMs - static_cast<double>(read_) * blockMs;
  }
  const double lag = (nowMs - anchorMs_) - static_cast<double>(read_) * blockMs;
  if (windowTicks_ == 0 || lag < windowMin_) windowMin_ = lag;
  if (++windowTicks_ < WINDOW_TICKS) return;
  windowTicks_ = 0;
  if (!haveBaseline_) {
    haveBaseline_ = true;
    baseline_ = windowMin_;
    return;
  }
  const double blocks = std::floor((windowMin_ - baseline_) / blockMs + 0.5);
  if (blocks >= 1.0) lost_ += static_cast<uint64_t>(blocks);
  baseline_ = windowMin_;
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
}

void MeterPublisher::blockProcessed(const AcquisitionState& state, const MeterSettings& settings,
                                    PanelState* const panels[PANEL_COUNT], bool recording, TickTime time) {
  loss_.blockRead(time.monotonicMs);
  ++ticks_;
  MeterSnapshot& s = exchange_.back();
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
    c.reading = panel->shownReading.load(std::memory_order_relaxed);
    c.readingState = panel->readingState.load(std::memory_order_relaxed);
    c.low = sharedLoad(settings.minLimit[n]);
    c.high = sharedLoad(settings.maxLimit[n]);
    c.ref = sharedLoad(settings.refLevel[n]);
    c.output = sharedLoad(settings.NPK[n]);
    c.outputOn = panel->outOfRange.load(std::memory_order_relaxed);
    copyText(c.name, settings.channelName[n]);
    copyText(c.unit, settings.unitText[n]);
  }
  exchange_.publish();
}
