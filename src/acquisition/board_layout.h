// The arithmetic of board set-up: frame layouts, block sizes, the rates each
// board accepts, gain and channel lists, the drivers' acquisition records and
// the shortest recording interval. No driver calls here.
#pragma once

#include <cstdint>

#include "acquisition/acquisition_state.h"
#include "acquisition/driver_records.h"
#include "settings/meter_settings.h"

// Rates that give a block of 32-32768 samples (1-1024 frames).
inline constexpr int32_t KV310_MIN_RATE_HZ = 200;
inline constexpr int32_t KV310_MAX_RATE_HZ = 204800;
inline constexpr int32_t KV320_MIN_RATE_HZ = 100;
inline constexpr int32_t KV320_MAX_RATE_HZ = 102400;
inline constexpr int32_t KV310_LIST_LENGTH = 32;
inline constexpr int32_t KV320_PAIR_COUNT = 16;
inline constexpr int32_t GAIN_CODES = 8;

// FreqStream truncated to whole hertz; 0 for values no int32 holds (NaN, huge).
int32_t truncatedRate(double freqStream);

int32_t minimumRateHz(BoardType board);
int32_t maximumRateHz(BoardType board);
bool rateFitsBoard(BoardType board, int32_t rateHz);

// Samples of one block: rate x 160 / 1000 (KV310) or rate x 160 / 500 (KV320),
// truncated, then cut to whole frames so that every block starts a frame.
uint32_t blockSamplesFor(BoardType board, int32_t rateHz);

// slotPosition for the board, and samplesPerBlock / framesPerBlock (and the
// block's signal time) for sampleRateHz.
void applyFrameLayout(AcquisitionState& state, BoardType board);
void applyBlockSize(AcquisitionState& state, BoardType board);
// Signal time of a block of `samples` at the rate: samples x 1000 / rate ms
// (KV310) or samples x 500 / rate (KV320), as units / divisor in lowest terms;
// 160 / 1 when the rate or board give none. An uncut block gives 160 / 1.
void blockTimeFor(BoardType board, int32_t rateHz, uint32_t samples, uint32_t& units, uint32_t& divisor);

// The channel of KV320 pair k at its first (second = false) or second position.
int32_t kv320PairChannel(int32_t pair, bool second);

// gainFactor selected by a gain code; codes outside 0-7 select 1.
int32_t gainForCode(const AcquisitionState& state, int32_t kadc);
// gainFactor entries 1-4 from the driver's gain array (positive entries only).
void takeDriverGains(AcquisitionState& state, const int32_t* driverGains);

// KV310: positionGain / channelList; KV320: pairGain (first channel's factor
// plus the second's shifted left by 16) / pairList.
void fillKV310Lists(AcquisitionState& state, const MeterSettings& settings);
void fillKV320Lists(AcquisitionState& state, const MeterSettings& settings);

void fillKV310Record(AcquisitionRecord& record, AcquisitionState& state);
void fillKV320Record(AcquisitionRecord& record, AcquisitionState& state);

// Shortest recording interval in ms, one frame: 32000 / rate (KV310), 16000 / rate (KV320), rounded up.
uint32_t minimumRecordInterval(BoardType board, int32_t rateHz);
// Publishes the minimum (at least 1 ms) as shortestIntervalMs and raises
// recordIntervalMs and the settings' Ftime to it when below it (an interval
// of 0 or less counts as below). Returns true when raised.
bool raiseRecordInterval(AcquisitionState& state, MeterSettings& settings, BoardType board);
