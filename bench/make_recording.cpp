// Writes a synthetic recording pair from the file layout, for the viewer's
// benchmark and the user guide's picture:
//   make_recording OUT.qmr [--rows N] [--channels N] [--interval-ms MS] [--demo]
// Default: 32 channels every 10 ms for 24 hours (8.64 million rows, 1.1 GB).
// --demo: the demo configuration's first eight channels for 20 minutes at
// 100 ms, with names and output switchings.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;

struct Channel {
  int number;
  double low, high;
  const char* name;  // Windows-1251
};

void put(std::string& b, const void* p, size_t n) { b.append(static_cast<const char*>(p), n); }
void name(std::string& b, const char* text) {
  std::string n(text);
  n.resize(24, ' ');
  b += n;
}
void i32(std::string& b, int32_t v) { put(b, &v, 4); }
void f64(std::string& b, double v) { put(b, &v, 8); }

std::string header(const std::vector<Channel>& ch, double rowsPerSecond) {
  std::string b;
  name(b, "QUORMAFFS");
  i32(b, 0), i32(b, 0);
  name(b, "SAMPLES_FORMAT");
  i32(b, 20), i32(b, 0), i32(b, 7), i32(b, static_cast<int32_t>(ch.size()));
  f64(b, rowsPerSecond);
  b += std::string("\x01\0\0\0", 4);
  name(b, "CHANNELS_INFO_HEADER");
  i32(b, 20), i32(b, 0), i32(b, 7);
  f64(b, -10.0), f64(b, 10.0);
  name(b, "CHANNELS_INFO");
  const int64_t entries = 20 * static_cast<int64_t>(ch.size());
  put(b, &entries, 8);
  for (const Channel& c : ch) i32(b, c.number), f64(b, c.low), f64(b, c.high);
  name(b, "SAMPLES_RECORD_INFO");
  i32(b, 8), i32(b, 0), i32(b, 0), i32(b, 0);
  name(b, "SAMPLES_RECORD");
  b += std::string(8, '\xFF');
  return b;
}

std::string description(const std::vector<Channel>& ch, const std::vector<std::pair<double, int>>& switches) {
  std::string d = "ConfigurationTimeSpanInSeconds = 60.0\r\nCommonConfigurationPart\r\n{\r\n  TimePrecision = 3\n"
                  "  ChannelsInfo\n  {\n";
  char line[200];
  for (const Channel& c : ch) {
    std::snprintf(line, sizeof line, "#\r\n{\r\nID = %d\r\nName = \"%s\"\r\n}\r\n", c.number, c.name);
    d += line;
  }
  d += "  }\r\n  TasksList\r\n  {\r\n    #\r\n    {\r\n       TaskFactoryName = \"LabelsStorage\"\r\n    Labels\r\n"
       "    {\r\n";
  for (const auto& [time, type] : switches) {
    std::snprintf(line, sizeof line,
                  "     #\r\n     {\r\n         TypeIndex = %d\r\n         TimePos = %f\r\n         Description = "
                  "\"K%d\"\r\n         IsVisible = \"Yes\"\r\n     }\r\n",
                  type, time, 4);
    d += line;
  }
  return d + "    }\r\n  }\r\n }\r\n}\r\n";
}

// Demo-like signals in volts (K and B give the displayed values).
float demoValue(int c, double t, uint32_t& noise) {
  noise = noise * 1664525u + 1013904223u;
  const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.02;
  switch (c) {
    case 0: return static_cast<float>(4.2 + 1.1 * std::sin(2 * PI * t / 300) + n);
    case 1: return static_cast<float>(3.5 + 0.6 * std::sin(2 * PI * t / 170 + 1) + n);
    case 2: return static_cast<float>(0.4 + 1.0 * (1 - std::exp(-t / 400)) + 0.05 * std::sin(2 * PI * t / 60) + n);
    case 3: return static_cast<float>(0.2 + 0.9 * (1 - std::exp(-t / 700)) + n);
    case 4: return static_cast<float>(std::fmod(t, 240) < 120 ? 5.6 + n : 2.1 + n);
    case 5: return static_cast<float>(3.0 + 2.4 * std::fmod(t, 400) / 400 + n);
    case 6: return static_cast<float>(std::fmod(t, 30) < 15 ? 0.55 + n : 0.35 + n);
    default: return static_cast<float>(2.2 + 0.3 * std::sin(2 * PI * t / 45) + 5 * n);
  }
}

// Benchmark signals: sines, saw teeth, square waves and noise with rare spikes.
float benchValue(int c, uint64_t row, uint32_t& noise) {
  noise = noise * 1664525u + 1013904223u;
  const double t = static_cast<double>(row);
  switch (c % 4) {
    case 0: return static_cast<float>(5 * std::sin(2 * PI * t / (6000.0 + 977 * c)));
    case 1: return static_cast<float>(-8 + 16 * std::fmod(t, 36000.0 + 1000 * c) / (36000.0 + 1000 * c));
    case 2: return (row / (1500 + 100 * c)) % 2 ? 3.0f : -3.0f;
    default: return (noise >> 20) == 0 ? 9.5f : static_cast<float>((noise >> 8) / 16777216.0 - 0.5);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: make_recording OUT.qmr [--rows N] [--channels N] [--interval-ms MS] [--demo]\n", stderr);
    return 2;
  }
  const std::string out = argv[1];
  bool demo = false;
  uint64_t rows = 8640000;
  int channels = 32;
  double intervalMs = 10;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--demo")) {
      demo = true, rows = 12000, channels = 8, intervalMs = 100;
    } else if (i + 1 < argc && !std::strcmp(argv[i], "--rows")) {
      rows = std::strtoull(argv[++i], nullptr, 10);
    } else if (i + 1 < argc && !std::strcmp(argv[i], "--channels")) {
      channels = std::atoi(argv[++i]);
    } else if (i + 1 < argc && !std::strcmp(argv[i], "--interval-ms")) {
      intervalMs = std::atof(argv[++i]);
    }
  }
  // The demo configuration's names (Windows-1251) and ranges: K x +-10 V + B.
  static const Channel DEMO[8] = {
      {1, -1000, 1000, "\xC4\xE0\xE2\xEB\x31"}, {2, -1000, 1000, "\xC4\xE0\xE2\xEB\x32"},
      {3, -550, 450, "\xD2\xE5\xEC\xEF\x31"},   {4, -550, 450, "\xD2\xE5\xEC\xEF\x32"},
      {5, -125, 125, "\xD0\xE0\xF1\xF5"},       {6, -2500, 2500, "\xD3\xF0\xEE\xE2"},
      {7, -200, 200, "\xD2\xEE\xEA"},           {8, -1000, 1000, "\xCD\xE0\xEF\xF0"}};
  std::vector<Channel> ch;
  for (int c = 0; c < channels; ++c)
    ch.push_back(demo ? DEMO[c] : Channel{c + 1, -10, 10, ""});
  std::vector<std::pair<double, int>> switches;
  const double seconds = rows * intervalMs / 1000;
  for (double t = 15; t < seconds; t += demo ? 120 : 600) switches.push_back({t, switches.size() % 2 ? 0 : 1});

  FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) return 1;
  const std::string h = header(ch, 1000.0 / intervalMs);
  std::fwrite(h.data(), 1, h.size(), f);
  std::vector<float> piece;
  uint32_t noise = 12345;
  for (uint64_t r = 0; r < rows; ++r) {
    for (int c = 0; c < channels; ++c) {
      float v = demo ? demoValue(c, (r + 1) * intervalMs / 1000, noise) : benchValue(c, r, noise);
      if (demo) v = static_cast<float>(ch[c].low + (ch[c].high - ch[c].low) * (v + 10) / 20);
      piece.push_back(v);
    }
    if (piece.size() >= (1u << 20)) {
      std::fwrite(piece.data(), 4, piece.size(), f);
      piece.clear();
    }
  }
  std::fwrite(piece.data(), 4, piece.size(), f);
  if (std::fclose(f) != 0) return 1;
  const std::string d = description(ch, switches);
  const std::string descriptionPath = out.substr(0, out.find_last_of('.')) + ".sreccfg";
  f = std::fopen(descriptionPath.c_str(), "wb");
  if (!f || std::fwrite(d.data(), 1, d.size(), f) != d.size() || std::fclose(f) != 0) return 1;
  return 0;
}
