// The simulated board's sample stream: once started, samples arrive in real
// time at the programmed rate, in frames of 32 positions in list order. A
// block is ready when all of its samples are due by the clock.
#pragma once

#include <cstdint>

#include "sim_config.h"

inline constexpr uint32_t SIM_MAX_BLOCK = 32768;
inline constexpr uint64_t SIM_FIFO_BLOCKS = 16;  // older blocks are overwritten, as a board's buffer would

class SimStream {
 public:
  // positionChannel: channel (0-31) sampled at each frame position; positionGain: its gain factor.
  void program(double rateHz, uint32_t blockSamples, const int32_t positionChannel[32],
               const int32_t positionGain[32]);
  bool programmed() const { return rateHz_ > 0.0; }
  void start();
  void stop() { started_ = false; }
  bool started() const { return started_; }
  uint32_t blockSamples() const { return blockSamples_; }

  bool blockReady(const SimConfig& config);
  // The next block as volts clipped by the gain (KV320) or as raw counts (KV310); false when not ready.
  bool takeVolts(const SimConfig& config, float* out, uint32_t count);
  bool takeRaw(const SimConfig& config, int16_t* out, uint32_t count);

 private:
  template <typename T, typename Convert>
  bool take(const SimConfig& config, T* out, uint32_t count, Convert convert);
  uint64_t samplesDue() const;
  double secondsSinceStart() const;
  bool stalled(const SimConfig& config) const;
  bool claim(uint32_t count, uint64_t* first);

  double rateHz_ = 0.0;
  uint32_t blockSamples_ = 0;
  int32_t positionChannel_[32] = {};
  int32_t positionGain_[32] = {};
  bool started_ = false;
  int64_t startCount_ = 0;
  int64_t countsPerSecond_ = 1;
  uint64_t consumed_ = 0;  // stream index of the next sample handed out
};
