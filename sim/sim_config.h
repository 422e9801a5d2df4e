// Configuration of the simulated boards: which board answers, its gains and
// full scale, one signal per channel, noise, the port log and injected faults.
// Plain C++ so that the parser and the signals can be tested on any host.
#pragma once

#include <cmath>
#include <cstdint>

enum class SimBoard { None, KV310, KV320 };

enum class SimWave { Dc, Sine, Square, Ramp };

struct SimSignal {
  SimWave wave = SimWave::Dc;
  double a = 0.0, b = 0.0, c = 0.0, d = 0.0;  // dc: a; sine: a f offset; square: low high f; ramp: from to period
};

// Faults a test can inject with "fail = NAME" (several lines add up).
enum SimFault : uint32_t {
  FAULT_OPEN320 = 1u << 0,     // the KV320 device's open answers 0
  FAULT_FACTORY320 = 1u << 1,  // create("IADCDevice") gives null
  FAULT_OPEN310 = 1u << 2,     // the utility's open answers 0
  FAULT_UTILITY = 1u << 3,     // create("IADCUtility") gives null
  FAULT_DEVICE = 1u << 4,      // utility control 100 fails
  FAULT_INFO = 1u << 5,        // setParameters mode 0 refuses the information record
  FAULT_RECORD320 = 1u << 6,   // the KV320 refuses its acquisition record
  FAULT_RECORD310 = 1u << 7,   // the KV310 refuses its acquisition record (and never starts)
  FAULT_READ = 1u << 8,        // KV320 read answers 0
  FAULT_LOCKBUFFER = 1u << 9,  // KV310 lockBuffer answers 0
  FAULT_QUERY = 1u << 10,      // query 53 answers 0
  FAULT_PORT = 1u << 11,       // writePort answers 0 and writes nothing
  FAULT_START320 = 1u << 12,   // the KV320 device's start answers 0 (and never streams)
};

inline constexpr int SIM_CHANNELS = 32;
inline constexpr double SIM_PI = 3.14159265358979323846;
inline constexpr int SIM_PATH_SIZE = 260;

struct SimConfig {
  SimBoard board = SimBoard::KV320;
  int32_t gains[8] = {1, 1, 10, 100, 1000, 1, 1, 1};  // by gain code; codes 1-4 are configurable
  double fullScale = 10.0;
  SimSignal channels[SIM_CHANNELS] = {};
  double noise = 0.0;
  uint32_t seed = 1;
  char portLog[SIM_PATH_SIZE] = {};
  char eventLog[SIM_PATH_SIZE] = {};
  uint32_t faults = 0;
  int firstBadLine = 0;  // 1-based line that could not be understood, 0 = none
};

// Parses the text of a configuration (NUL-terminated). Lines that cannot be
// understood are skipped; the first one is remembered in firstBadLine.
void parseSimConfig(const char* text, SimConfig& config);

// The built-in signals used when there is no configuration file: every
// channel visibly alive.
void demoSimConfig(SimConfig& config);

// The input voltage of a channel (0-31) at a sample of the stream. Depends
// only on the configuration, the sample index and the rate.
double simChannelVolts(const SimConfig& config, int channel, uint64_t sampleIndex, double rateHz);
// The noise part of a sample (0 without noise).
double simNoiseVolts(const SimConfig& config, int channel, uint64_t sampleIndex);
// Samples first .. first + count - 1 of a stream whose frame position p samples
// channel positionChannel[p]: simChannelVolts, with sines rotated from frame
// to frame instead of computed one by one (at 100 kHz sin was most of the
// simulator's time). Meant for blocks of a few thousand samples.
// store(i, p, volts) takes sample first + i, at frame position p, position by position.
template <typename Store>
void simStreamEach(const SimConfig& config, const int32_t positionChannel[32], uint64_t first, uint32_t count,
                   double rateHz, Store store);
void simStreamVolts(const SimConfig& config, const int32_t positionChannel[32], uint64_t first, uint32_t count,
                    double rateHz, double* out);

// A board's raw count for an input voltage: volts x gain / full scale x 32768, clamped.
int16_t simRawCount(double volts, int32_t gain, double fullScale);

// The voltage a KV320 reports: the input, clipped where the amplifier saturates.
float simClippedVolts(double volts, int32_t gain, double fullScale);
// The same in two steps, the limit computed once per position rather than per sample.
inline double simClipLimit(int32_t gain, double fullScale) { return fullScale / (gain > 0 ? gain : 1); }
inline float simClipped(double volts, double limit) {
  return static_cast<float>(volts > limit ? limit : volts < -limit ? -limit : volts);
}

// True when the gain factor is one the board offers (1 or a configured gain).
bool simGainOffered(const SimConfig& config, int32_t gain);

template <typename Store>
void simStreamEach(const SimConfig& config, const int32_t positionChannel[32], uint64_t first, uint32_t count,
                   double rateHz, Store store) {
  const bool noisy = config.noise > 0.0;
  // One position at a time, so that each sine's rotation stays in registers
  // (on the 32-bit build's x87 a frame-major loop cost several times more).
  for (int p = 0; p < 32; ++p) {
    const uint32_t start = static_cast<uint32_t>((p - static_cast<int>(first % 32) + 32) % 32);
    const int channel = positionChannel[p];
    const bool rotated =
        rateHz > 0.0 && channel >= 0 && channel < SIM_CHANNELS && config.channels[channel].wave == SimWave::Sine;
    if (!rotated) {
      for (uint32_t i = start; i < count; i += 32) store(i, p, simChannelVolts(config, channel, first + i, rateHz));
      continue;
    }
    const SimSignal& signal = config.channels[channel];
    const double omega = 2.0 * SIM_PI * signal.b / rateHz;
    const double angle = std::fmod(omega * static_cast<double>(first + start), 2.0 * SIM_PI);
    double sine = std::sin(angle), cosine = std::cos(angle);
    const double stepSine = std::sin(omega * 32.0), stepCosine = std::cos(omega * 32.0);
    for (uint32_t i = start; i < count; i += 32) {
      store(i, p, signal.a * sine + signal.c + (noisy ? simNoiseVolts(config, channel, first + i) : 0.0));
      const double next = sine * stepCosine + cosine * stepSine;
      cosine = cosine * stepCosine - sine * stepSine;
      sine = next;
    }
  }
}
