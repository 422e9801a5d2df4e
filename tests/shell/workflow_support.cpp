#include "workflow_support.h"

#include <cstdio>

#include "recording_reader.h"

namespace workflow {

float dcVolts(int channel) { return channel * 0.25f - 4.0f; }

std::string configuration(int shown, int ftime) {
  std::string s = "; skalenor test configuration\r\n";
  char line[128];
  auto add = [&](const char* fmt, auto... args) {
    std::snprintf(line, sizeof line, fmt, args...);
    s += line;
    s += "\r\n";
  };
  add("FreqStream = 1000");
  add("Ftime = %d", ftime);
  add("nDO = 8");
  add("TimeType = 0");
  add("CheckLabel = 1");
  add("rWnd = 0,0,0,0");
  add("rPlot = 0,0,0,0, 0,0,0,0, 0,0,0,0, 0,0,0,0");
  add("chPlot = 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0");
  add("scPlot = 0,0,0,0");
  add("lrScale = 0,0, 0,0, 0,0, 0,0");
  for (int g = 1; g <= 4; ++g) {
    add("colPlot%d = ff,ff00,ff0000,ff00ff,ffff00,ffff,808080,0", g);
    add("plotName%d = '\xD2\xF0\xE5\xED\xE4 %d'", g, g);  // "Тренд g"
    add("scaleY%d = 0,0", g);
  }
  for (int n = 1; n <= 32; ++n) add("%dChannel = %d", n, n <= shown ? n : 0);
  for (int n = 1; n <= 32; ++n) {
    add("K%dB = 1|0|V|ch%d", n, n);
    add("FlagRec%02d = 0", n);
    add("ACmode%02d = 0", n);
    add("Interval%02d = 500", n);
    add("Kadc%02d = 0", n);
    add("NPK%02d = 0", n);
    add("MinMaxRef%02d = 1e+10|1e+10|1e+10", n);
  }
  // The switching channel leaves its limits every other second and drives output bit 3.
  auto set = [&](const char* key, const char* value) {
    char k[32], from[64];
    std::snprintf(k, sizeof k, key, SWITCHING_CHANNEL);
    const size_t at = s.find(std::string(k) + " = ");
    const size_t end = s.find("\r\n", at);
    std::snprintf(from, sizeof from, "%s = %s", k, value);
    s.replace(at, end - at, from);
  };
  set("MinMaxRef%02d", "0|5|1e+10");
  set("NPK%02d", "4");
  set("Interval%02d", "200");
  return s;
}

std::string simulatorConfiguration(const char* board) {
  std::string s = "board = ";
  s += board;
  s += "\n";
  char line[64];
  std::snprintf(line, sizeof line, "ch32 = ramp %g %g %g\n", RAMP_FROM, RAMP_TO, RAMP_PERIOD_S);
  s += line;
  std::snprintf(line, sizeof line, "ch%d = square -1 1 0.5\n", SWITCHING_CHANNEL);
  s += line;
  for (int n = 1; n <= 31; ++n) {
    if (n == SWITCHING_CHANNEL) continue;
    std::snprintf(line, sizeof line, "ch%d = dc %g\n", n, dcVolts(n));
    s += line;
  }
  return s;
}

Recording readSampleFile(const std::string& bytes) {
  ::Recording parsed;
  std::string error;
  Recording r;
  if (!parseSampleFile(bytes, &parsed, &error)) return r;
  r.ok = true;
  r.channels = static_cast<int>(parsed.channels.size());
  r.rowsPerSecond = parsed.rowsPerSecond;
  for (const RecordingChannel& c : parsed.channels) r.channelNumbers.push_back(c.number);
  r.values = parsed.values;
  return r;
}

}  // namespace workflow
