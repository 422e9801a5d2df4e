#include "acquisition/channel_ranges.h"

namespace {

bool isChannelNumber(int n) { return n >= 1 && n <= CHANNEL_COUNT; }

// The channel a B above CHANNEL_REF_BASE refers to, or 0 when it names none.
int referencedChannel(float b) {
  if (!(b > static_cast<float>(CHANNEL_REF_BASE))) return 0;
  if (b >= static_cast<float>(CHANNEL_REF_BASE + CHANNEL_COUNT + 1)) return 0;  // also keeps the cast in range
  int m = static_cast<int>(b) - CHANNEL_REF_BASE;
  return isChannelNumber(m) ? m : 0;
}

}  // namespace

float channelSpan(const MeterSettings& settings, const std::atomic<int32_t> gainFactor[GAIN_TABLE_SIZE], int n) {
  int32_t gain = 1;
  if (isChannelNumber(n)) {
    int32_t code = sharedLoad(settings.Kadc[n]);
    if (code >= 0 && code < GAIN_TABLE_SIZE) gain = gainFactor[code].load(std::memory_order_relaxed);
  }
  if (gain <= 0) gain = 1;
  return static_cast<float>(INPUT_FULL_SCALE_VOLTS / gain);
}

float channelRangeHigh(const MeterSettings& settings, const std::atomic<int32_t> gainFactor[GAIN_TABLE_SIZE], int n) {
  if (!isChannelNumber(n)) return static_cast<float>(INPUT_FULL_SCALE_VOLTS);
  float span = channelSpan(settings, gainFactor, n);
  float b = sharedLoad(settings.channelB[n]);
  if (int m = referencedChannel(b))
    b = sharedLoad(settings.channelK[m]) * span + sharedLoad(settings.channelB[m]);
  return b + span * sharedLoad(settings.channelK[n]);
}

float channelRangeLow(const MeterSettings& settings, const std::atomic<int32_t> gainFactor[GAIN_TABLE_SIZE], int n) {
  if (!isChannelNumber(n)) return static_cast<float>(-INPUT_FULL_SCALE_VOLTS);
  float span = channelSpan(settings, gainFactor, n);
  float b = sharedLoad(settings.channelB[n]);
  if (int m = referencedChannel(b))
    b = sharedLoad(settings.channelB[m]) - sharedLoad(settings.channelK[m]) * span;
  return b - span * sharedLoad(settings.channelK[n]);
}
