// The engine's data, apart from its thread, timer and driver objects: what the
// tick works on. Channel n (1-32) lives at index n - 1 of every per-channel
// array. Fields read by other threads are atomics with one writer each.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr uint32_t SAMPLE_BUFFER_SIZE = 32768;
inline constexpr uint32_t ROW_BUFFER_SIZE = 65536;
inline constexpr uint32_t RECORD_TIME_IDLE = 0xFFFFFFFFu;
inline constexpr uint32_t INITIAL_RECORD_TIME = 1000000000u;
// Recording time a full block stands for, whatever the timer period. A block
// cut to whole frames holds less: its time is kept as an exact fraction.
inline constexpr uint32_t BLOCK_TIME_MS = 160;

// The interval a recording really has: rows come at most one a frame, so an
// interval shorter than the board's frame time (shortest, whole ms) would give
// fewer rows than the sample file's header claims. Never below 1 ms.
inline uint32_t recordIntervalFor(int32_t ftime, int32_t shortest) {
  const int32_t floor = shortest > 1 ? shortest : 1;
  return static_cast<uint32_t>(ftime > floor ? ftime : floor);
}

enum BoardType : int32_t { BOARD_NONE = 0, BOARD_KV310 = 1, BOARD_KV320 = 2 };

struct AcquisitionState {
  uint32_t dueTime[32] = {};           // recording time of the next row value; 0 = not recorded
  uint32_t accumulatedCount[32] = {};
  float accumulator[32] = {};
  std::atomic<float> currentValues[32] = {};  // published: panels and graphs read them
  int32_t recordedChannelCount = 0;
  int32_t recordedChannel[32] = {};    // channel of each recorder row column, in panel order
  int32_t slotPosition[32] = {};       // position of the channel's sample in a frame
  std::atomic<int32_t> gainFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};  // amplification per gain code
  uint32_t recordIntervalMs = 0;
  std::atomic<int32_t> shortestIntervalMs{1};  // one frame, rounded up; published by set-up
  uint32_t framesPerBlock = 0;
  uint32_t samplesPerBlock = 0;
  float sampleBuffer[SAMPLE_BUFFER_SIZE] = {};
  int32_t sampleRateHz = 0;
  float fullScaleVolts = 0.0f;
  int32_t channelList[32] = {};        // KV310 channel list
  int32_t pairList[16] = {};           // KV320 pair list
  int32_t positionGain[32] = {};       // KV310 gain per frame position
  int32_t pairGain[16] = {};           // KV320 packed gains per pair
  std::atomic<int32_t> boardType{BOARD_NONE};
  uint32_t recordTimeMs = INITIAL_RECORD_TIME;
  uint32_t previousRecordTimeMs = INITIAL_RECORD_TIME;
  // Signal time of one block, blockTimeUnits / blockTimeDivisor ms, and the
  // record times' parts below a millisecond in 1 / blockTimeDivisor ms, so
  // that fractional block times add up without drift.
  uint32_t blockTimeUnits = BLOCK_TIME_MS;
  uint32_t blockTimeDivisor = 1;
  uint32_t recordTimeFraction = 0;
  uint32_t previousRecordTimeFraction = 0;
  float rowBuffer[ROW_BUFFER_SIZE] = {};
  std::atomic<int32_t> boardReady{0};
  int32_t recordActive = 0;
  std::atomic<int32_t> running{0};
  uint32_t initialRecordTime = INITIAL_RECORD_TIME;
  uint8_t outputs8 = 0, sentOutputs8 = 0;
  uint32_t outputs16 = 0, sentOutputs16 = 0;
  uint32_t outputs32 = 0, sentOutputs32 = 0;
  int32_t outputWidth = 0;  // nDO of the word last built: a switch of width is seen by the next tick
};
