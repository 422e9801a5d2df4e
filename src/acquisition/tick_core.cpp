#include "acquisition/tick_core.h"

#include <cmath>

namespace {

constexpr float RAW_SCALE = 1.0f / 32768.0f;  // full scale is 2^15 counts
static_assert(MAX_FRAMES_PER_BLOCK * FRAME_SIZE <= ROW_BUFFER_SIZE, "one row value per frame and column must fit");

// Per frame position (not per channel) so that the frame loop runs over
// contiguous memory; slotPosition is a permutation, so each position is one
// channel. The recorded channels share one row clock: they start together with
// one interval, so their due times and sample counts never differ.
struct BlockSums {
  alignas(64) float sum[FRAME_SIZE] = {};
  alignas(64) float squares[FRAME_SIZE] = {};
  alignas(64) float accumulator[FRAME_SIZE] = {};  // meaningful for recorded positions only
  int columnPosition[FRAME_SIZE] = {};              // frame position of each row column
  uint32_t columns = 0;
  uint32_t due = 0;       // recording time of the next row
  uint32_t carried = 0;   // samples accumulated before this block
  uint32_t runStart = 0;  // first frame of the row being accumulated
  uint32_t rows = 0;      // rows produced by this block
};

void advanceRecordingClock(AcquisitionState& state, bool recording) {
  if (recording) {
    if (state.recordTimeMs == RECORD_TIME_IDLE) {
      state.recordTimeMs = 0;
      state.recordTimeFraction = 0;
    } else {
      const uint64_t part = static_cast<uint64_t>(state.recordTimeFraction) + state.blockTimeUnits;
      state.recordTimeMs += static_cast<uint32_t>(part / state.blockTimeDivisor);
      state.recordTimeFraction = static_cast<uint32_t>(part % state.blockTimeDivisor);
    }
  } else {
    state.recordActive = 0;
    state.recordTimeMs = RECORD_TIME_IDLE;
    state.previousRecordTimeMs = RECORD_TIME_IDLE;
    state.recordTimeFraction = 0;
    state.previousRecordTimeFraction = 0;
  }
}

// Second block of a recording: freeze the interval and the recorded columns.
void startRecordingColumns(AcquisitionState& state, const MeterSettings& settings,
                           PanelState* const panels[PANEL_COUNT]) {
  state.recordActive = 1;
  state.recordIntervalMs = recordIntervalFor(sharedLoad(settings.Ftime), state.shortestIntervalMs.load());
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
  const int32_t columns = state.recordedChannelCount;
  if (columns < 0 || columns > CHANNEL_COUNT) return;
  for (int32_t c = 0; c < columns; ++c)
    if (state.recordedChannel[c] < 1 || state.recordedChannel[c] > CHANNEL_COUNT) return;
  s.columns = static_cast<uint32_t>(columns);
  for (uint32_t c = 0; c < s.columns; ++c) {
    const int32_t n = state.recordedChannel[c];
    const int p = state.slotPosition[n - 1];
    s.columnPosition[c] = p;
    s.accumulator[p] = state.accumulator[n - 1];
  }
  if (s.columns == 0) return;
  const int first = state.recordedChannel[0] - 1;
  s.due = state.dueTime[first];
  s.carried = state.accumulatedCount[first];
}

void storeRecordedChannels(AcquisitionState& state, const BlockSums& s) {
  for (uint32_t c = 0; c < s.columns; ++c) {
    const int32_t i = state.recordedChannel[c] - 1;
    state.dueTime[i] = s.due;
    state.accumulator[i] = s.accumulator[s.columnPosition[c]];
    state.accumulatedCount[i] = s.carried + (state.framesPerBlock - s.runStart);
  }
}

// First frame k whose time, start + k x (block time / frames), reaches due;
// frames if none. Times in 1 / divisor ms: start = startMs + startFraction.
uint32_t frameReaching(uint32_t due, uint32_t startMs, uint32_t startFraction, const AcquisitionState& state) {
  const uint32_t frames = state.framesPerBlock;
  if (due <= startMs) return 0;
  const uint64_t divisor = state.blockTimeDivisor;
  const uint64_t ahead = (static_cast<uint64_t>(due - startMs) * divisor - startFraction) * frames;
  const uint64_t k = (ahead + state.blockTimeUnits - 1) / state.blockTimeUnits;
  return k < frames ? static_cast<uint32_t>(k) : frames;
}

// Half a frame at a time, so that the running sums stay in registers.
template <bool withAccumulator>
void sumFrames(const float* block, uint32_t from, uint32_t to, BlockSums& s) {
  constexpr int HALF = FRAME_SIZE / 2;
  for (int half = 0; half < FRAME_SIZE; half += HALF) {
    float sum[HALF];
    float squares[HALF];
    float accumulator[HALF];
    for (int p = 0; p < HALF; ++p) {
      sum[p] = s.sum[half + p];
      squares[p] = s.squares[half + p];
      accumulator[p] = s.accumulator[half + p];
    }
    const float* x = block + from * FRAME_SIZE + half;
    for (uint32_t k = from; k < to; ++k, x += FRAME_SIZE) {
      for (int p = 0; p < HALF; ++p) {
        sum[p] += x[p];
        squares[p] += x[p] * x[p];
        if (withAccumulator) accumulator[p] += x[p];
      }
    }
    for (int p = 0; p < HALF; ++p) {
      s.sum[half + p] = sum[p];
      s.squares[half + p] = squares[p];
      s.accumulator[half + p] = accumulator[p];
    }
  }
}

// Row r of this block as plain means, one per column; K and B are applied
// once every channel's B is known. At most one row per frame, so
// rows * columns <= 32 * framesPerBlock <= SAMPLE_BUFFER_SIZE < ROW_BUFFER_SIZE.
void emitRow(AcquisitionState& state, BlockSums& s, uint32_t k) {
  const float count = static_cast<float>(s.carried + (k + 1 - s.runStart));
  float* row = state.rowBuffer + s.rows * s.columns;
  for (uint32_t c = 0; c < s.columns; ++c) row[c] = s.accumulator[s.columnPosition[c]] / count;
  for (float& a : s.accumulator) a = 0.0f;
  s.carried = 0;
  s.runStart = k + 1;
  s.due += state.recordIntervalMs;
  ++s.rows;
}

void sumBlock(AcquisitionState& state, BlockSums& s) {
  const uint32_t frames = state.framesPerBlock;
  if (s.columns == 0) {
    sumFrames<false>(state.sampleBuffer, 0, frames, s);
    return;
  }
  const uint32_t start = state.previousRecordTimeMs;
  const uint32_t startFraction = state.previousRecordTimeFraction;
  uint32_t k = 0;
  for (;;) {
    uint32_t next = frameReaching(s.due, start, startFraction, state);
    if (next < k) next = k;  // one row per frame at most
    if (next >= frames) break;
    sumFrames<true>(state.sampleBuffer, k, next + 1, s);
    emitRow(state, s, next);
    k = next + 1;
  }
  sumFrames<true>(state.sampleBuffer, k, frames, s);
}

// Channel values in channel order (a reference to a lower channel sees this
// block's value, to a higher one the previous block's), then K and B on the
// rows: every row of an AC channel takes the block's value.
void computeChannelValues(AcquisitionState& state, const MeterSettings& settings, const BlockSums& s) {
  const float frames = static_cast<float>(state.framesPerBlock);
  float channelK[FRAME_SIZE];
  float channelB[FRAME_SIZE];
  float value[FRAME_SIZE];
  bool ac[FRAME_SIZE];
  for (int n = 1; n <= CHANNEL_COUNT; ++n) {
    const int i = n - 1;
    channelK[i] = sharedLoad(settings.channelK[n]);
    channelB[i] = sharedLoad(settings.channelB[n]);
    int reference = 0;
    if (isChannelReference(channelB[i], &reference))
      channelB[i] = state.currentValues[reference - 1].load(std::memory_order_relaxed);
    const int p = state.slotPosition[i];
    ac[i] = sharedLoad(settings.ACmode[n]) != 0;
    float mean = (ac[i] ? s.squares[p] : s.sum[p]) / frames;
    if (ac[i]) mean = std::sqrt(mean);
    value[i] = channelK[i] * mean + channelB[i];
    state.currentValues[i].store(value[i], std::memory_order_relaxed);
  }

  float columnK[FRAME_SIZE];
  float columnB[FRAME_SIZE];
  float columnValue[FRAME_SIZE];
  bool columnAc[FRAME_SIZE];
  for (uint32_t c = 0; c < s.columns; ++c) {
    const int i = state.recordedChannel[c] - 1;
    columnK[c] = channelK[i];
    columnB[c] = channelB[i];
    columnValue[c] = value[i];
    columnAc[c] = ac[i];
  }
  float* row = state.rowBuffer;
  for (uint32_t r = 0; r < s.rows; ++r, row += s.columns)
    for (uint32_t c = 0; c < s.columns; ++c) row[c] = columnAc[c] ? columnValue[c] : columnK[c] * row[c] + columnB[c];
}

// The word of a width as last written to the port; 0 for a width that writes nothing.
uint32_t sentWord(const AcquisitionState& state, int32_t width) {
  switch (width) {
    case 8: return state.sentOutputs8;
    case 16: return state.sentOutputs16;
    case 32: return state.sentOutputs32;
    default: return 0;
  }
}

void updateOutputs(AcquisitionState& state, const MeterSettings& settings, PanelState* const panels[PANEL_COUNT],
                   RecorderLink* recorder, int32_t width) {
  state.outputs8 = 0;
  state.outputs16 = 0;
  state.outputs32 = 0;
  RecorderLink* marks = state.recordActive ? recorder : nullptr;
  if (marks != nullptr) marks->clearMarkerText();
  const float markerTime = static_cast<float>(state.recordTimeMs) * 0.001f;
  // Markers tell what the outputs really did: after a switch of width they
  // compare with the word the previous width last wrote, not with a word of
  // the new width that was never sent (the reset leaves all ones there).
  const uint32_t before = sentWord(state, state.outputWidth);

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
    if (width == 8) {
      if (bit >= 8) continue;  // beyond the byte: no effect
      state.outputs8 = static_cast<uint8_t>(on ? (state.outputs8 | mask) : (state.outputs8 & ~mask));
      now = state.outputs8 & mask;
    } else if (width == 16) {
      state.outputs16 = on ? (state.outputs16 | mask) : (state.outputs16 & ~mask);
      now = state.outputs16 & mask;
    } else if (width == 32) {
      state.outputs32 = on ? (state.outputs32 | mask) : (state.outputs32 & ~mask);
      now = state.outputs32 & mask;
    } else {
      continue;
    }
    if (marks != nullptr && now != (before & mask)) marks->addMarker(markerTime, now != 0 ? 1 : 0, bit);
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
  state.outputWidth = width;
}

}  // namespace

bool blockLayoutValid(const AcquisitionState& state) {
  const uint32_t frames = state.framesPerBlock;
  if (frames < 1 || frames > MAX_FRAMES_PER_BLOCK) return false;
  if (state.samplesPerBlock < frames * FRAME_SIZE || state.samplesPerBlock > SAMPLE_BUFFER_SIZE) return false;
  if (state.blockTimeUnits == 0 || state.blockTimeDivisor == 0) return false;
  if (state.recordTimeFraction >= state.blockTimeDivisor || state.previousRecordTimeFraction >= state.blockTimeDivisor)
    return false;
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
  sumBlock(state, sums);
  computeChannelValues(state, settings, sums);
  if (state.recordActive) storeRecordedChannels(state, sums);

  // One width for building and writing, even if the user switches it meanwhile.
  const int32_t width = sharedLoad(settings.nDO);
  updateOutputs(state, settings, panels, recorder, width);
  writeChangedOutputs(state, port, width);

  state.previousRecordTimeMs = state.recordTimeMs;
  state.previousRecordTimeFraction = state.recordTimeFraction;
  if (state.recordActive && recorder != nullptr)
    recorder->appendRows(state.rowBuffer, sums.columns * sums.rows);
  return true;
}
