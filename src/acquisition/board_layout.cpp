#include "acquisition/board_layout.h"

#include <cmath>
#include <numeric>

int32_t truncatedRate(double freqStream) {
  if (!(freqStream > -2147483648.0 && freqStream < 2147483648.0)) return 0;
  return static_cast<int32_t>(freqStream);
}

int32_t minimumRateHz(BoardType board) {
  return board == BOARD_KV310 ? KV310_MIN_RATE_HZ : board == BOARD_KV320 ? KV320_MIN_RATE_HZ : 0;
}

int32_t maximumRateHz(BoardType board) {
  return board == BOARD_KV310 ? KV310_MAX_RATE_HZ : board == BOARD_KV320 ? KV320_MAX_RATE_HZ : 0;
}

bool rateFitsBoard(BoardType board, int32_t rateHz) {
  return (board == BOARD_KV310 || board == BOARD_KV320) && rateHz >= minimumRateHz(board) &&
         rateHz <= maximumRateHz(board);
}

uint32_t blockSamplesFor(BoardType board, int32_t rateHz) {
  if (rateHz <= 0) return 0;
  int64_t divisor = board == BOARD_KV310 ? 1000 : board == BOARD_KV320 ? 500 : 0;
  if (divisor == 0) return 0;
  int64_t samples = static_cast<int64_t>(rateHz) * 160 / divisor;
  samples -= samples % 32;
  return samples > 0xFFFFFFFFll ? 0 : static_cast<uint32_t>(samples);
}

int32_t kv320PairChannel(int32_t pair, bool second) {
  if (pair < 8) return second ? pair + 9 : pair + 1;
  return second ? pair + 17 : pair + 9;
}

void applyFrameLayout(AcquisitionState& state, BoardType board) {
  if (board == BOARD_KV320) {
    for (int32_t k = 0; k < KV320_PAIR_COUNT; ++k) {
      state.slotPosition[kv320PairChannel(k, false) - 1] = 2 * k;
      state.slotPosition[kv320PairChannel(k, true) - 1] = 2 * k + 1;
    }
  } else {
    for (int32_t i = 0; i < 32; ++i) state.slotPosition[i] = i;
  }
}

void applyBlockSize(AcquisitionState& state, BoardType board) {
  state.samplesPerBlock = blockSamplesFor(board, state.sampleRateHz);
  state.framesPerBlock = state.samplesPerBlock >> 5;
  blockTimeFor(board, state.sampleRateHz, state.samplesPerBlock, state.blockTimeUnits, state.blockTimeDivisor);
}

void blockTimeFor(BoardType board, int32_t rateHz, uint32_t samples, uint32_t& units, uint32_t& divisor) {
  units = BLOCK_TIME_MS;
  divisor = 1;
  const uint64_t perSecond = board == BOARD_KV310 ? 1000 : board == BOARD_KV320 ? 500 : 0;
  if (rateHz <= 0 || perSecond == 0 || samples == 0) return;
  uint64_t u = samples * perSecond;
  uint64_t d = static_cast<uint64_t>(rateHz);
  const uint64_t g = std::gcd(u, d);
  u /= g;
  d /= g;
  if (u > 0xFFFFFFFFull || d > 0xFFFFFFFFull) return;
  units = static_cast<uint32_t>(u);
  divisor = static_cast<uint32_t>(d);
}

int32_t gainForCode(const AcquisitionState& state, int32_t kadc) {
  if (kadc < 0 || kadc >= GAIN_CODES) return 1;
  return state.gainFactor[kadc].load(std::memory_order_relaxed);
}

void takeDriverGains(AcquisitionState& state, const int32_t* driverGains) {
  if (!driverGains) return;
  for (int c = 1; c <= 4; ++c)
    if (driverGains[c] > 0) state.gainFactor[c].store(driverGains[c], std::memory_order_relaxed);
}

void fillKV310Lists(AcquisitionState& state, const MeterSettings& settings) {
  for (int32_t i = 0; i < KV310_LIST_LENGTH; ++i) {
    state.positionGain[i] = gainForCode(state, sharedLoad(settings.Kadc[i + 1]));
    state.channelList[i] = i;
  }
}

void fillKV320Lists(AcquisitionState& state, const MeterSettings& settings) {
  for (int32_t k = 0; k < KV320_PAIR_COUNT; ++k) {
    int32_t first = gainForCode(state, sharedLoad(settings.Kadc[kv320PairChannel(k, false)]));
    int32_t second = gainForCode(state, sharedLoad(settings.Kadc[kv320PairChannel(k, true)]));
    state.pairGain[k] = static_cast<int32_t>(static_cast<uint32_t>(first) + (static_cast<uint32_t>(second) << 16));
    state.pairList[k] = k;
  }
}

void fillKV310Record(AcquisitionRecord& record, AcquisitionState& state) {
  record = AcquisitionRecord{};
  record.blockSamples = 0;
  record.source = 1;
  record.pairMode = 0;
  record.rateHz = state.sampleRateHz;
  record.listLength = KV310_LIST_LENGTH;
  record.gainList = state.positionGain;
  record.channelList = state.channelList;
}

void fillKV320Record(AcquisitionRecord& record, AcquisitionState& state) {
  record = AcquisitionRecord{};
  record.blockSamples = static_cast<int32_t>(state.samplesPerBlock);
  record.source = 2;
  record.pairMode = 16;
  record.rateHz = state.sampleRateHz;
  record.listLength = KV320_PAIR_COUNT;
  record.gainList = state.pairGain;
  record.channelList = state.pairList;
}

uint32_t minimumRecordInterval(BoardType board, int32_t rateHz) {
  if (rateHz <= 0) return 0;
  const uint32_t perFrame = board == BOARD_KV310 ? 32000 : board == BOARD_KV320 ? 16000 : 0;
  // Rounded up: a truncated frame time (10 ms at 3000 Hz on the KV310, whose
  // frame is 10.67 ms) still asks for more rows than the frames give.
  return (perFrame + static_cast<uint32_t>(rateHz) - 1) / static_cast<uint32_t>(rateHz);
}

bool raiseRecordInterval(AcquisitionState& state, MeterSettings& settings, BoardType board) {
  // At least 1 ms: an interval of 0 would never make a row due.
  uint32_t minimum = minimumRecordInterval(board, state.sampleRateHz);
  if (minimum < 1) minimum = 1;
  state.shortestIntervalMs.store(static_cast<int32_t>(minimum));
  bool below = state.recordIntervalMs < minimum || static_cast<int32_t>(state.recordIntervalMs) <= 0;
  if (!below) return false;
  state.recordIntervalMs = minimum;
  sharedStore(settings.Ftime, static_cast<int32_t>(minimum));
  return true;
}
