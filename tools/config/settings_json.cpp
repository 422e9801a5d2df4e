#include "settings_json.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "settings/cp1251.h"

namespace {

class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  void key(const char* name) {
    out_ += first_ ? "\n  \"" : ",\n  \"";
    first_ = false;
    out_ += name;
    out_ += "\": ";
  }
  void number(int32_t v) { out_ += std::to_string(v); }
  void number(float v) { real(static_cast<double>(v), "%.9g"); }
  void number(double v) { real(v, "%.17g"); }
  void text(const char* cp1251, size_t size) {
    size_t length = 0;
    while (length < size && cp1251[length]) ++length;
    const std::string utf8 = cp1251ToUtf8(std::string_view(cp1251, length));
    out_ += '"';
    for (unsigned char c : utf8) {
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        out_ += escape;
      } else {
        out_ += static_cast<char>(c);
      }
    }
    out_ += '"';
  }
  template <typename T>
  void array(const char* name, const T* values, int count) {
    key(name);
    out_ += '[';
    for (int i = 0; i < count; ++i) {
      if (i) out_ += ", ";
      number(values[i]);
    }
    out_ += ']';
  }
  void texts(const char* name, const char (*values)[SETTINGS_TEXT_SIZE], int count) {
    key(name);
    out_ += '[';
    for (int i = 0; i < count; ++i) {
      if (i) out_ += ", ";
      text(values[i], SETTINGS_TEXT_SIZE);
    }
    out_ += ']';
  }
  void raw(const char* text) { out_ += text; }

 private:
  void real(double v, const char* format) {
    if (!std::isfinite(v)) {
      out_ += "null";
      return;
    }
    char text[40];
    std::snprintf(text, sizeof text, format, v);
    out_ += text;
  }

  std::string& out_;
  bool first_ = true;
};

}  // namespace

std::string settingsToJson(const MeterSettings& s) {
  std::string out = "{";
  JsonWriter json(out);
  json.key("nDO");
  json.number(s.nDO);
  json.array("Channel", s.Channel + 1, CHANNEL_COUNT);
  json.array("FlagRec", s.FlagRec + 1, CHANNEL_COUNT);
  json.array("Interval", s.Interval + 1, CHANNEL_COUNT);
  json.array("Kadc", s.Kadc + 1, CHANNEL_COUNT);
  json.array("ACmode", s.ACmode + 1, CHANNEL_COUNT);
  json.array("chPlot", s.chPlot, GRAPH_SLOTS * TRACES_PER_GRAPH);
  json.array("scPlot", s.scPlot, GRAPH_SLOTS);
  json.array("channelK", s.channelK + 1, CHANNEL_COUNT);
  json.array("channelB", s.channelB + 1, CHANNEL_COUNT);
  json.array("minLimit", s.minLimit + 1, CHANNEL_COUNT);
  json.array("maxLimit", s.maxLimit + 1, CHANNEL_COUNT);
  json.array("refLevel", s.refLevel + 1, CHANNEL_COUNT);
  json.array("scaleYMode", s.scaleYMode, GRAPH_SLOTS);
  json.array("scaleYValue", s.scaleYValue, GRAPH_SLOTS);
  json.texts("unitText", s.unitText + 1, CHANNEL_COUNT);
  json.texts("channelName", s.channelName + 1, CHANNEL_COUNT);
  json.array("NPK", s.NPK + 1, CHANNEL_COUNT);
  json.key("TimeType");
  json.number(s.TimeType);
  json.key("CheckLabel");
  json.number(s.CheckLabel);
  json.array("lrScale", s.lrScale, 2 * GRAPH_SLOTS);
  json.key("plotName");
  json.raw("[");
  for (int g = 0; g < GRAPH_SLOTS; ++g) {
    if (g) json.raw(", ");
    json.text(s.plotName[g], PLOT_NAME_SIZE);
  }
  json.raw("]");
  json.key("Ftime");
  json.number(s.Ftime);
  json.array("rPlot", s.rPlot, 4 * GRAPH_SLOTS);
  json.array("rWnd", s.rWnd, 4);
  json.key("deviceName");
  json.text(s.deviceName, DEVICE_NAME_SIZE);
  json.key("colPlot");
  json.raw("[");
  for (int g = 0; g < GRAPH_SLOTS; ++g) {
    if (g) json.raw(",\n    ");
    json.raw("[");
    for (int t = 0; t < TRACES_PER_GRAPH; ++t) {
      if (t) json.raw(", ");
      json.number(s.colPlot[g][t]);
    }
    json.raw("]");
  }
  json.raw("]");
  json.key("FreqStream");
  json.number(s.FreqStream);
  json.key("WebPort");
  json.number(s.WebPort);
  json.key("WebAddress");
  json.text(s.WebAddress, WEB_ADDRESS_SIZE);
  out += "\n}\n";
  return out;
}
