#include "sim_stream_win.h"

#include <windows.h>

void SimStream::program(double rateHz, uint32_t blockSamples, const int32_t positionChannel[32],
                        const int32_t positionGain[32]) {
  rateHz_ = rateHz;
  blockSamples_ = blockSamples;
  for (int i = 0; i < 32; ++i) {
    positionChannel_[i] = positionChannel[i];
    positionGain_[i] = positionGain[i];
  }
  started_ = false;
}

void SimStream::start() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  countsPerSecond_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
  startCount_ = now.QuadPart;
  consumed_ = 0;
  started_ = programmed();
}

double SimStream::secondsSinceStart() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - startCount_) / static_cast<double>(countsPerSecond_);
}

uint64_t SimStream::samplesDue() const {
  if (!started_) return 0;
  const double seconds = secondsSinceStart();
  return seconds > 0.0 ? static_cast<uint64_t>(seconds * rateHz_) : 0;
}

// A board that stops answering for a while: its buffer keeps filling, as the
// samples stay due, and the reader later finds the newest blocks.
bool SimStream::stalled(const SimConfig& config) const {
  if (config.stallFor <= 0.0 || !started_) return false;
  const double seconds = secondsSinceStart();
  return seconds >= config.stallFrom && seconds < config.stallFrom + config.stallFor;
}

bool SimStream::claim(uint32_t count, uint64_t* first) {
  if (!started_ || count == 0 || count > SIM_MAX_BLOCK) return false;
  uint64_t due = samplesDue();
  if (due < consumed_ + count) return false;
  // A reader that fell far behind loses the oldest blocks, whole blocks at a
  // time so that frames stay aligned.
  uint64_t limit = SIM_FIFO_BLOCKS * count;
  if (due - consumed_ > limit) consumed_ += ((due - consumed_ - limit) / count + 1) * count;
  *first = consumed_;
  consumed_ += count;
  return true;
}

bool SimStream::blockReady(const SimConfig& config) {
  return started_ && !stalled(config) && samplesDue() >= consumed_ + blockSamples_ && blockSamples_ > 0;
}

// Claims count samples and writes each as convert(volts, frame position).
template <typename T, typename Convert>
bool SimStream::take(const SimConfig& config, T* out, uint32_t count, Convert convert) {
  uint64_t first = 0;
  if (stalled(config) || !claim(count, &first)) return false;
  constexpr uint32_t CHUNK = 4096;  // each chunk re-anchors every sine: 32 sincos pairs
  for (uint32_t done = 0; done < count; done += CHUNK) {
    const uint32_t n = count - done < CHUNK ? count - done : CHUNK;
    T* chunk = out + done;
    simStreamEach(config, positionChannel_, first + done, n, rateHz_,
                  [chunk, &convert](uint32_t i, int p, double volts) { chunk[i] = convert(volts, p); });
  }
  return true;
}

bool SimStream::takeVolts(const SimConfig& config, float* out, uint32_t count) {
  double limit[32];
  for (int p = 0; p < 32; ++p) limit[p] = simClipLimit(positionGain_[p], config.fullScale);
  return take(config, out, count, [&limit](double volts, int p) { return simClipped(volts, limit[p]); });
}

bool SimStream::takeRaw(const SimConfig& config, int16_t* out, uint32_t count) {
  return take(config, out, count, [&](double volts, int p) {
    return simRawCount(volts, positionGain_[p], config.fullScale);
  });
}
