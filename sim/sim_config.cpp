#include "sim_config.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct FaultName {
  const char* name;
  uint32_t bit;
};
constexpr FaultName FAULT_NAMES[] = {
    {"open320", FAULT_OPEN320},   {"factory320", FAULT_FACTORY320}, {"open310", FAULT_OPEN310},
    {"utility", FAULT_UTILITY},   {"factory310", FAULT_UTILITY},    {"device", FAULT_DEVICE},
    {"info", FAULT_INFO},         {"record320", FAULT_RECORD320},   {"record310", FAULT_RECORD310},
    {"read", FAULT_READ},         {"lockbuffer", FAULT_LOCKBUFFER}, {"query", FAULT_QUERY},
    {"port", FAULT_PORT},         {"start320", FAULT_START320},
};

// Copies line [begin, end) without surrounding blanks and comments into out.
void trimmedLine(const char* begin, const char* end, char* out, size_t size) {
  for (const char* p = begin; p < end; ++p)
    if (*p == '#' || *p == ';') { end = p; break; }
  while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
  while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) --end;
  size_t n = static_cast<size_t>(end - begin);
  if (n >= size) n = size - 1;
  std::memcpy(out, begin, n);
  out[n] = 0;
}

void lowerCase(char* s) {
  for (; *s; ++s)
    if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
}

// Reads up to max numbers separated by blanks or commas; returns how many.
int readNumbers(const char* s, double* values, int max) {
  int n = 0;
  while (n < max) {
    while (*s == ' ' || *s == '\t' || *s == ',') ++s;
    if (!*s) break;
    char* end = nullptr;
    double v = std::strtod(s, &end);
    if (end == s || !std::isfinite(v)) return -1;
    values[n++] = v;
    s = end;
  }
  while (*s == ' ' || *s == '\t' || *s == ',') ++s;
  return *s ? -1 : n;
}

bool parseSignal(const char* value, SimSignal& signal) {
  char word[16] = {};
  size_t n = 0;
  while (value[n] && value[n] != ' ' && value[n] != '\t' && n < sizeof word - 1) {
    word[n] = value[n];
    ++n;
  }
  double p[4] = {};
  int count = readNumbers(value + n, p, 4);
  SimSignal s;
  if (!std::strcmp(word, "dc") && count == 1) {
    s.wave = SimWave::Dc;
  } else if (!std::strcmp(word, "sine") && (count == 2 || count == 3)) {
    s.wave = SimWave::Sine;
  } else if (!std::strcmp(word, "square") && count == 3) {
    s.wave = SimWave::Square;
  } else if (!std::strcmp(word, "ramp") && count == 3 && p[2] > 0.0) {
    s.wave = SimWave::Ramp;
  } else {
    return false;
  }
  s.a = p[0];
  s.b = p[1];
  s.c = p[2];
  s.d = p[3];
  signal = s;
  return true;
}

bool parseLine(char* line, SimConfig& config) {
  char* eq = std::strchr(line, '=');
  if (!eq) return false;
  char key[64] = {};
  char value[SIM_PATH_SIZE] = {};
  trimmedLine(line, eq, key, sizeof key);
  trimmedLine(eq + 1, eq + 1 + std::strlen(eq + 1), value, sizeof value);
  lowerCase(key);
  if (!std::strcmp(key, "portlog") || !std::strcmp(key, "eventlog")) {
    std::snprintf(key[0] == 'p' ? config.portLog : config.eventLog, SIM_PATH_SIZE, "%s", value);
    return true;
  }
  lowerCase(value);
  double p[4] = {};
  if (!std::strcmp(key, "board")) {
    if (!std::strcmp(value, "kv320")) config.board = SimBoard::KV320;
    else if (!std::strcmp(value, "kv310")) config.board = SimBoard::KV310;
    else if (!std::strcmp(value, "none")) config.board = SimBoard::None;
    else return false;
    return true;
  }
  if (!std::strcmp(key, "gains")) {
    if (readNumbers(value, p, 4) != 4) return false;
    for (int i = 0; i < 4; ++i)
      if (p[i] < 1.0 || p[i] > 1.0e6 || p[i] != std::floor(p[i])) return false;
    for (int i = 0; i < 4; ++i) config.gains[i + 1] = static_cast<int32_t>(p[i]);
    return true;
  }
  if (!std::strcmp(key, "fullscale")) {
    if (readNumbers(value, p, 1) != 1 || p[0] <= 0.0) return false;
    config.fullScale = p[0];
    return true;
  }
  if (!std::strcmp(key, "noise")) {
    if (readNumbers(value, p, 1) != 1 || p[0] < 0.0) return false;
    config.noise = p[0];
    return true;
  }
  if (!std::strcmp(key, "seed")) {
    if (readNumbers(value, p, 1) != 1 || p[0] < 0.0 || p[0] > 4294967295.0) return false;
    config.seed = static_cast<uint32_t>(p[0]);
    return true;
  }
  if (!std::strcmp(key, "fail")) {
    for (const FaultName& f : FAULT_NAMES)
      if (!std::strcmp(value, f.name)) {
        config.faults |= f.bit;
        return true;
      }
    return false;
  }
  if (key[0] == 'c' && key[1] == 'h') {
    char* end = nullptr;
    long n = std::strtol(key + 2, &end, 10);
    if (end == key + 2 || *end || n < 1 || n > SIM_CHANNELS) return false;
    return parseSignal(value, config.channels[n - 1]);
  }
  return false;
}

// A reproducible uniform number in (0, 1) for a (seed, channel, sample) triple.
double hashedUniform(uint32_t seed, int channel, uint64_t sample, uint32_t salt) {
  uint64_t x = sample * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(seed) << 32) ^
               (static_cast<uint64_t>(channel) << 8) ^ salt;
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return (static_cast<double>(x >> 11) + 0.5) * (1.0 / 9007199254740992.0);
}

}  // namespace

void parseSimConfig(const char* text, SimConfig& config) {
  config = SimConfig{};
  int lineNumber = 0;
  while (text && *text) {
    const char* end = std::strchr(text, '\n');
    if (!end) end = text + std::strlen(text);
    ++lineNumber;
    char line[512];
    trimmedLine(text, end, line, sizeof line);
    if (line[0] && !parseLine(line, config) && !config.firstBadLine) config.firstBadLine = lineNumber;
    text = *end ? end + 1 : end;
  }
}

void demoSimConfig(SimConfig& config) {
  config = SimConfig{};
  for (int i = 0; i < SIM_CHANNELS; ++i) {
    SimSignal& s = config.channels[i];
    double n = i + 1;
    switch (i % 4) {
      case 0: s = {SimWave::Dc, 0.25 * n, 0, 0, 0}; break;
      case 1: s = {SimWave::Sine, 0.5 + 0.1 * n, 0.05 + 0.01 * n, 0.1 * n, 0}; break;
      case 2: s = {SimWave::Ramp, -1.0, 1.0 + 0.1 * n, 5.0 + n, 0}; break;
      default: s = {SimWave::Square, 0.0, 0.2 * n, 0.05 + 0.005 * n, 0}; break;
    }
  }
  config.noise = 0.002;
}

double simChannelVolts(const SimConfig& config, int channel, uint64_t sampleIndex, double rateHz) {
  if (channel < 0 || channel >= SIM_CHANNELS || rateHz <= 0.0) return 0.0;
  const SimSignal& s = config.channels[channel];
  double t = static_cast<double>(sampleIndex) / rateHz;
  double v = 0.0;
  switch (s.wave) {
    case SimWave::Dc: v = s.a; break;
    case SimWave::Sine: v = s.a * std::sin(2.0 * SIM_PI * s.b * t) + s.c; break;
    case SimWave::Square: v = std::fmod(t * s.c, 1.0) < 0.5 ? s.b : s.a; break;
    case SimWave::Ramp: v = s.a + (s.b - s.a) * std::fmod(t, s.c) / s.c; break;
  }
  return v + simNoiseVolts(config, channel, sampleIndex);
}

double simNoiseVolts(const SimConfig& config, int channel, uint64_t sampleIndex) {
  if (!(config.noise > 0.0)) return 0.0;
  double u1 = hashedUniform(config.seed, channel, sampleIndex, 1);
  double u2 = hashedUniform(config.seed, channel, sampleIndex, 2);
  return config.noise * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * SIM_PI * u2);
}

int16_t simRawCount(double volts, int32_t gain, double fullScale) {
  double raw = std::nearbyint(volts * gain / fullScale * 32768.0);
  if (raw > 32767.0) raw = 32767.0;
  if (raw < -32768.0) raw = -32768.0;
  return static_cast<int16_t>(raw);
}

float simClippedVolts(double volts, int32_t gain, double fullScale) {
  return simClipped(volts, simClipLimit(gain, fullScale));
}

bool simGainOffered(const SimConfig& config, int32_t gain) {
  if (gain == 1) return true;
  for (int i = 1; i <= 4; ++i)
    if (config.gains[i] == gain) return true;
  return false;
}

void simStreamVolts(const SimConfig& config, const int32_t positionChannel[32], uint64_t first, uint32_t count,
                    double rateHz, double* out) {
  simStreamEach(config, positionChannel, first, count, rateHz, [out](uint32_t i, int, double volts) { out[i] = volts; });
}
