#include "acquisition/tick_core.h"

#include <cmath>

namespace {

constexpr float RAW_SCALE = 1.0f / 32768.0f;  // full scale is 2^15 counts
static_assert(MAX_FRAMES_PER_BLOCK * FRAME_SIZE <= ROW_BUFFER_SIZE, "one row value per frame and column must fit");

// Per frame position (not per channel) so that the frame loop runs over
// contiguous memory; slotPosition is a permutation, so each position is one
// channel.
struct BlockSums {
  alignas(64) float sum[FRAME_SIZE] = {};
  alignas(64) float squares[FRAME_SIZE] = {};
  alignas(64) float accumulator[FRAME_SIZE] = {};  // recorded channels only
  uint32_t carried[FRAME_SIZE] = {};                // samples accumulated before this block
  uint32_t runStart[FRAME_SIZE] = {};               // frame after the last row value
  uint32_t due[FRAME_SIZE] = {};
  uint32_t rows[FRAME_SIZE] = {};
  uint32_t firstColumn[FRAME_SIZE] = {};
  bool isRecorded[FRAME_SIZE] = {};
  int recorded[FRAME_SIZE] = {};  // positions of the recorded channels
  int recordedCount = 0;
};

void advanceRecordingClock(AcquisitionState& state, bool recording) {
  if (recording) {
    state.recordTimeMs = state.recordTimeMs == RECORD_TIME_IDLE ? 0 : state.recordTimeMs + BLOCK_TIME_MS;
  } else {
    state.recordActive = 0;
    state.recordTimeMs = RECORD_TIME_IDLE;
    state.previousRecordTimeMs = RECORD_TIME_IDLE;
  }
}

// Second block of a recording: freeze the interval and the recorded columns.
void startRecordingColumns(AcquisitionState& state, const MeterSettings& settings,
                           PanelState* const panels[PANEL_COUNT]) {
  state.recordActive = 1;
  // An interval of 0 would read as "not recorded" and leave its column unwritten.
  const int32_t ftime = sharedLoad(settings.Ftime);
  state.recordIntervalMs = ftime < 1 ? 1u : static_cast<uint32_t>(ftime);
  for (uint32_t& due : state.dueTime) due = 0;
  state.recordedChannelCount = 0;
  for (int j = 0; j < PANEL_COUNT; ++j) {
    const PanelState* panel = panels[j];
    if (panel == nullptr || panel->visible.load(std::memory_order_relaxed) == 0) continue;
    const int32_t n = panel->channel.load(std::memory_order_relaxed);
    if (n < 1 || n > CHANNEL_COUNT || sharedLoad(settings.FlagRec[n]) == 0) continue;
    state.recordedChannel[state.recordedChannelCount++] = n;
    state.dueTime[n - 1] = state.recordIntervalMs;
  }
  for (int i = 0; i < CHANNEL_COUNT; ++i) {
    state.accumulatedCount[i] = 0;
    state.accumulator[i] = 0.0f;
  }
}

void loadRecordedChannels(const AcquisitionState& state, BlockSums& s) {
  for (int c = 0; c < state.recordedChannelCount; ++c) {
    const int32_t n = state.recordedChannel[c];
    if (n < 1 || n > CHANNEL_COUNT || state.dueTime[n - 1] == 0) continue;
    const int p = state.slotPosition[n - 1];
    if (s.isRecorded[p]) continue;  // the same channel in a second column: copied later
    s.isRecorded[p] = true;
    s.due[p] = state.dueTime[n - 1];
    s.accumulator[p] = state.accumulator[n - 1];
    s.carried[p] = state.accumulatedCount[n - 1];
    s.firstColumn[p] = static_cast<uint32_t>(c);
    s.recorded[s.recordedCount++] = p;
  }
}

void storeRecordedChannels(AcquisitionState& state, const BlockSums& s) {
  for (int c = 0; c < state.recordedChannelCount; ++c) {
    const int32_t n = state.recordedChannel[c];
    if (n < 1 || n > CHANNEL_COUNT) continue;
    const int p = state.slotPosition[n - 1];
    if (!s.isRecorded[p] || s.firstColumn[p] != static_cast<uint32_t>(c)) continue;
    state.dueTime[n - 1] = s.due[p];
    state.accumulator[n - 1] = s.accumulator[p];
    state.accumulatedCount[n - 1] = s.carried[p] + (state.framesPerBlock - s.runStart[p]);
  }
}

uint32_t earliestDue(const BlockSums& s) {
  uint32_t earliest = 0xFFFFFFFFu;
  for (int i = 0; i < s.recordedCount; ++i) earliest = s.due[s.recorded[i]] < earliest ? s.due[s.recorded[i]] : earliest;
  return earliest;
}

// Row values as plain means; K and B are applied once the channel's B is known.
// A channel yields at most one value per frame, so row j < framesPerBlock and
// j * columns + column < 32 * framesPerBlock <= SAMPLE_BUFFER_SIZE < ROW_BUFFER_SIZE.
void emitRows(AcquisitionState& state, BlockSums& s, uint32_t k, uint32_t t, uint32_t columns) {
  for (int i = 0; i < s.recordedCount; ++i) {
    const int p = s.recorded[i];
    if (t < s.due[p]) continue;
    const uint32_t count = s.carried[p] + (k + 1 - s.runStart[p]);
    state.rowBuffer[s.rows[p] * columns + s.firstColumn[p]] = s.accumulator[p] / static_cast<float>(count);
    s.accumulator[p] = 0.0f;
    s.carried[p] = 0;
    s.runStart[p] = k + 1;
    s.due[p] += state.recordIntervalMs;
    ++s.rows[p];
  }
}

void sumFrames(AcquisitionState& state, BlockSums& s) {
  const uint32_t frames = state.framesPerBlock;
  const float* x = state.sampleBuffer;
  if (s.recordedCount == 0) {
    for (uint32_t k = 0; k < frames; ++k, x += FRAME_SIZE) {
      for (int p = 0; p < FRAME_SIZE; ++p) {
        s.sum[p] += x[p];
        s.squares[p] += x[p] * x[p];
      }
    }
    return;
  }
  const uint32_t columns = static_cast<uint32_t>(state.recordedChannelCount);
  const uint32_t start = state.previousRecordTimeMs;
  uint32_t nextDue = earliestDue(s);
  for (uint32_t k = 0; k < frames; ++k, x += FRAME_SIZE) {
    for (int p = 0; p < FRAME_SIZE; ++p) {
      s.sum[p] += x[p];
      s.squares[p] += x[p] * x[p];
      s.accumulator[p] += x[p];
    }
    const uint32_t t = start + (k * BLOCK_TIME_MS) / frames;
    if (t >= nextDue) {
      emitRows(state, s, k, t, columns);
      nextDue = earliestDue(s);
    }
  }
}

// Channel values in channel order (a reference to a lower channel sees this
// block's value, to a higher one the previous block's). Returns the most rows
// any column received.
uint32_t computeChannelValues(AcquisitionState& state, const MeterSettings& settings, BlockSums& s) {
  const float frames = static_cast<float>(state.framesPerBlock);
  const uint32_t columns = static_cast<uint32_t>(state.recordedChannelCount);

  for (int n = 1; n <= CHANNEL_COUNT; ++n) {
    const float k = sharedLoad(settings.channelK[n]);
    float b = sharedLoad(settings.channelB[n]);
    int reference = 0;
    if (isChannelReference(b, &reference)) b = state.currentValues[reference - 1].load(std::memory_order_relaxed);
    const int p = state.slotPosition[n - 1];
    const bool ac = sharedLoad(settings.ACmode[n]) != 0;
    float mean = (ac ? s.squares[p] : s.sum[p]) / frames;
    if (ac) mean = std::sqrt(mean);
    const float value = k * mean + b;
    if (s.isRecorded[p]) {
      float* cell = state.rowBuffer + s.firstColumn[p];
      for (uint32_t j = 0; j < s.rows[p]; ++j, cell += columns) *cell = ac ? value : k * *cell + b;
    }
    state.currentValues[n - 1].store(value, std::memory_order_relaxed);
  }

  uint32_t most = 0;
  for (int c = 0; c < state.recordedChannelCount; ++c) {
    const int32_t n = state.recordedChannel[c];
    if (n < 1 || n > CHANNEL_COUNT) continue;
    const int p = state.slotPosition[n - 1];
    if (!s.isRecorded[p]) continue;
    most = s.rows[p] > most ? s.rows[p] : most;
    if (s.firstColumn[p] == static_cast<uint32_t>(c)) continue;
    for (uint32_t j = 0; j < s.rows[p]; ++j)
      state.rowBuffer[j * columns + c] = state.rowBuffer[j * columns + s.firstColumn[p]];
  }
  return most;
}

void updateOutputs(AcquisitionState& state, const MeterSettings& settings, PanelState* const panels[PANEL_COUNT],
                   RecorderLink* recorder, int32_t width) {
  state.outputs8 = 0;
  state.outputs16 = 0;
  state.outputs32 = 0;
  RecorderLink* marks = state.recordActive ? recorder : nullptr;
  if (marks != nullptr) marks->clearMarkerText();
  const float markerTime = static_cast<float>(state.recordTimeMs) * 0.001f;

  for (int j = 0; j < PANEL_COUNT; ++j) {
    const PanelState* panel = panels[j];
    if (panel == nullptr || panel->visible.load(std::memory_order_relaxed) == 0) continue;
    const int32_t n = panel->channel.load(std::memory_order_relaxed);
    if (n < 1 || n > CHANNEL_COUNT) continue;
    const int32_t npk = sharedLoad(settings.NPK[n]);
    if (npk < 1 || npk > 32) continue;  // no output, or none the word can hold
    const int bit = npk - 1;
    const bool on = panel->outOfRange.load(std::memory_order_relaxed) != 0;
    const uint32_t mask = 1u << bit;
    uint32_t now = 0;
    uint32_t sent = 0;
    if (width == 8) {
      if (bit >= 8) continue;  // beyond the byte: no effect
      state.outputs8 = static_cast<uint8_t>(on ? (state.outputs8 | mask) : (state.outputs8 & ~mask));
      now = state.outputs8 & mask;
      sent = state.sentOutputs8 & mask;
    } else if (width == 16) {
      state.outputs16 = on ? (state.outputs16 | mask) : (state.outputs16 & ~mask);
      now = state.outputs16 & mask;
      sent = state.sentOutputs16 & mask;
    } else if (width == 32) {
      state.outputs32 = on ? (state.outputs32 | mask) : (state.outputs32 & ~mask);
      now = state.outputs32 & mask;
      sent = state.sentOutputs32 & mask;
    } else {
      continue;
    }
    if (marks != nullptr && now != sent) marks->addMarker(markerTime, now != 0 ? 1 : 0, bit);
  }
}

void writeChangedOutputs(AcquisitionState& state, OutputPort& port, int32_t width) {
  switch (width) {
    case 8:
      if (state.outputs8 != state.sentOutputs8) port.byteWrite(state.outputs8);
      state.sentOutputs8 = state.outputs8;
      break;
    case 16:
      // All 32 bits are kept and compared; only the low 16 reach the port.
      if (state.outputs16 != state.sentOutputs16) port.wordWrite(static_cast<uint16_t>(state.outputs16));
      state.sentOutputs16 = state.outputs16;
      break;
    case 32:
      if (state.outputs32 != state.sentOutputs32) port.longWrite(state.outputs32);
      state.sentOutputs32 = state.outputs32;
      break;
    default:
      break;
  }
}

}  // namespace

bool blockLayoutValid(const AcquisitionState& state) {
  const uint32_t frames = state.framesPerBlock;
  if (frames < 1 || frames > MAX_FRAMES_PER_BLOCK) return false;
  if (state.samplesPerBlock < frames * FRAME_SIZE || state.samplesPerBlock > SAMPLE_BUFFER_SIZE) return false;
  uint32_t positions = 0;
  for (int32_t p : state.slotPosition) {
    if (p < 0 || p >= FRAME_SIZE) return false;
    positions |= 1u << p;
  }
  return positions == 0xFFFFFFFFu;
}

bool convertKV310Block(AcquisitionState& state, const int16_t* raw) {
  if (raw == nullptr || state.samplesPerBlock > SAMPLE_BUFFER_SIZE) return false;
  const float scale = state.fullScaleVolts * RAW_SCALE;
  float gain[FRAME_SIZE];
  // A gain below 1 can only come from a faulty driver; dividing by it would
  // put infinities into the readings and recordings.
  for (int i = 0; i < FRAME_SIZE; ++i) gain[i] = state.positionGain[i] >= 1 ? static_cast<float>(state.positionGain[i]) : 1.0f;
  const uint32_t samples = state.samplesPerBlock;
  for (uint32_t i = 0; i < samples; ++i) state.sampleBuffer[i] = scale * static_cast<float>(raw[i]) / gain[i % FRAME_SIZE];
  return true;
}

bool processBlock(AcquisitionState& state, const MeterSettings& settings, PanelState* const panels[PANEL_COUNT],
                  RecorderLink* recorder, OutputPort& port) {
  if (panels == nullptr || !blockLayoutValid(state)) return false;

  advanceRecordingClock(state, recorder != nullptr && recorder->isRecording());
  if (state.previousRecordTimeMs == 0) startRecordingColumns(state, settings, panels);

  BlockSums sums;
  if (state.recordActive) loadRecordedChannels(state, sums);
  sumFrames(state, sums);
  const uint32_t rows = computeChannelValues(state, settings, sums);
  if (state.recordActive) storeRecordedChannels(state, sums);

  // One width for building and writing, even if the user switches it meanwhile.
  const int32_t width = sharedLoad(settings.nDO);
  updateOutputs(state, settings, panels, recorder, width);
  writeChangedOutputs(state, port, width);

  state.previousRecordTimeMs = state.recordTimeMs;
  if (state.recordActive && recorder != nullptr)
    recorder->appendRows(state.rowBuffer, static_cast<uint32_t>(state.recordedChannelCount) * rows);
  return true;
}
