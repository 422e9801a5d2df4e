#include "recording/recording_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquisition/channel_ranges.h"
#include "panels/panel_table.h"
#include "settings/meter_settings.h"

namespace {

void putBlockName(uint8_t* out, const char* name) {
  size_t len = std::strlen(name);
  std::memset(out, ' ', BLOCK_NAME_SIZE);
  std::memcpy(out, name, std::min(len, BLOCK_NAME_SIZE));
}

void putInt32(uint8_t* out, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void putInt64(uint8_t* out, int64_t value) {
  uint64_t v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void putFloat64(uint8_t* out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putInt64(out, static_cast<int64_t>(bits));
}

// Windows-1251 texts of the description.
const char TEXT_SWITCH_OFF[] = "\xC2\xFB\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5";     // "Выключение"
const char TEXT_SWITCH_ON[] = "\xC2\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5";          // "Включение"
const char TEXT_LABEL_TYPE[] = "\xCC\xE5\xF2\xEA\xE0 - \xF2\xE8\xEF";            // "Метка - тип"
const char TEXT_CHART_TASK[] = "\xC3\xF0\xE0\xF4\xE8\xEA \xCA\xE0\xED\xE0\xEB\xEE\xE2 1";  // "График Каналов 1"
const char TEXT_TIME[] = "\xC2\xF0\xE5\xEC\xFF";                                  // "Время"
const char TEXT_SECONDS[] = "\xF1\xE5\xEA\xF3\xED\xE4\xFB";                     // "секунды"

// Line colours of the first eight chart channels; later ones share one.
constexpr int CHART_COLOURS[8][3] = {
    {192, 192, 192}, {255, 64, 64}, {64, 255, 64}, {64, 64, 255},
    {255, 255, 0},   {255, 0, 255}, {0, 255, 255}, {128, 128, 128},
};

class Writer {
 public:
  explicit Writer(TextSink& sink) : sink_(sink) {}
  void text(const char* s) {
    if (ok_) ok_ = sink_.put(s, std::strlen(s));
  }
  template <typename... Args>
  void format(const char* fmt, Args... args) {
    char line[256];
    int n = std::snprintf(line, sizeof line, fmt, args...);
    if (n < 0 || static_cast<size_t>(n) >= sizeof line) { ok_ = false; return; }
    if (ok_) ok_ = sink_.put(line, static_cast<size_t>(n));
  }
  bool ok() const { return ok_; }

 private:
  TextSink& sink_;
  bool ok_ = true;
};

const char* const CHART_TASK_HEAD[] = {
    "  }\r\n",
    "  TasksList\r\n",
    "  {\r\n",
    "    #\r\n",
    "\t  {\r\n",
    "\t    TasksExplorerPageStatus = \"Expanded\"\r\n",
    "\t\tTaskFactoryName = \"RecDataSchedulesManager\"\r\n",
};

const char* const CHART_TASK_VIEW[] = {
    "\t\tTaskViewFrame\r\n",
    "\t\t{\r\n",
    "\t\t\tPosition = 0 0 906 559 1280 1024\r\n",
    "\t\t\tzOrder = 0\r\n",
    "\t\t\tMaximized = \"Yes\"\r\n",
    "\t\t}\r\n",
    "\t\tVoltageRangeMode = \"Custom\"\r\n",
    "\t\tIsChannelsSplitted = \"Yes\"\r\n",
};

const char* const MARKER_TASK_HEAD[] = {
    " \t\t}\r\n",
    "    }\r\n",
    "    #\r\n",
    "    {\r\n",
    "\t    TasksExplorerPageStatus = \"Expanded\"\r\n",
    "       TaskFactoryName = \"LabelsStorage\"\r\n",
    "\t    TaskViewFrame\r\n",
    "\t    {\r\n",
    "\t\t   Position = 22 29 829 637 1280 1024\r\n",
    "\t\t   zOrder = 1\r\n",
    "\t\t   Maximized = \"No\"\r\n",
    "\t    }\r\n",
    "\t    EnableCurrentLabelSelection = \"Yes\"\r\n",
    "\t    GenerateRequestWhenDeleteLabel = \"Yes\"\r\n",
    "\t    AllowKeyboardInput = \"Yes\"\r\n",
    "\t    Types\r\n",
    "\t    {\r\n",
    "\t\t    #\r\n",
    "\t\t    {\r\n",
};

template <size_t N>
void writeLines(Writer& w, const char* const (&lines)[N]) {
  for (const char* line : lines) w.text(line);
}

void writeLabelTypes(Writer& w) {
  const char* off = TEXT_SWITCH_OFF;
  const char* on = TEXT_SWITCH_ON;
  w.format("\t\t\t   TypeName = \"%s\"\r\n", off);
  w.text("\t\t\t   Enable = \"Yes\"\r\n");
  w.text("\t\t\t   UseCustomImage = \"No\"\r\n");
  w.text("\t\t\tCustomImagePath = \"\"\r\n");
  w.format("\t\t\tDefaultDescription = \"%s\"\r\n", off);
  w.text("\t\t\tLabelsColor = 16 128 0\r\n");
  w.text("\t\t\tKeyboardButton = \"1\"\r\n");
  w.text("\t\t}\r\n");

  w.text("\t\t#\r\n");
  w.text("\t\t{\r\n");
  w.format("\t\t\tTypeName = \"%s\"\r\n", on);
  w.text("\t\t\tEnable = \"Yes\"\r\n");
  w.text("\t\t\tUseCustomImage = \"No\"\r\n");
  w.text("\t\t\tCustomImagePath = \"\"\r\n");
  w.format("\t\t\tDefaultDescription = \"%s\"\r\n", on);
  w.text("\t\t\tLabelsColor = 0 32 128\r\n");
  w.text("\t\t\tKeyboardButton = \"2\"\r\n");
  w.text("\t\t}\r\n");

  const char* spare = TEXT_LABEL_TYPE;
  for (int type = 3; type <= 9; ++type) {
    w.text("\t\t#\r\n");
    w.text("\t\t{\r\n");
    w.format("\t\t\tTypeName = \"%s  %d\"\r\n", spare, type);
    w.text("\t\t\tEnable = \"No\"\r\n");
    w.text("\t\t\tUseCustomImage = \"No\"\r\n");
    w.text("\t\t\tCustomImagePath = \"\"\r\n");
    w.text("\t\t\tDefaultDescription = \"\"\r\n");
    w.text("\t\t\tLabelsColor = 255 255 255\r\n");
    w.format("\t\t\tKeyboardButton = \"%d\"\r\n", type);
    w.text("\t\t}\r\n");
  }
  w.text("\t }\r\n");
  w.text("    Labels\r\n");
  w.text("    {\r\n");
}

}  // namespace

const char DESCRIPTION_CLOSING[] = "    }\r\n  }\r\n }\r\n}\r\n";

RecordedChannels selectRecordedChannels(const MeterSettings& settings, PanelState* const panels[],
                                        int panelCount, const std::atomic<int32_t> gainFactor[]) {
  RecordedChannels r;
  for (int i = 0; i < panelCount && r.count < MAX_RECORDED_CHANNELS; ++i) {
    const PanelState* p = panels[i];
    if (!p || !p->visible.load()) continue;
    int32_t n = p->channel.load();
    if (n < 1 || n > CHANNEL_COUNT || !sharedLoad(settings.FlagRec[n])) continue;
    r.channel[r.count++] = n;
  }
  for (int c = 0; c < r.count; ++c) {
    r.low[c] = channelRangeLow(settings, gainFactor, r.channel[c]);
    r.high[c] = channelRangeHigh(settings, gainFactor, r.channel[c]);
  }
  return r;
}

size_t buildSampleHeader(const RecordedChannels& channels, int32_t intervalMs, uint8_t* out) {
  const int n = std::clamp(channels.count, 0, MAX_RECORDED_CHANNELS);
  const size_t size = SAMPLE_HEADER_FIXED_SIZE + CHANNEL_ENTRY_SIZE * static_cast<size_t>(n);
  std::memset(out, 0, size);

  putBlockName(out + 0, "QUORMAFFS");
  putBlockName(out + 32, "SAMPLES_FORMAT");
  putInt32(out + 56, 20);
  putInt32(out + 64, 7);
  putInt32(out + 68, n);
  putFloat64(out + ROWS_PER_SECOND_OFFSET, 1000.0 / std::max<int32_t>(intervalMs, 1));
  out[80] = 1;

  putBlockName(out + 84, "CHANNELS_INFO_HEADER");
  putInt32(out + 108, 20);
  putInt32(out + 116, 7);
  putFloat64(out + 120, -10.0);
  putFloat64(out + 128, 10.0);

  putBlockName(out + 136, "CHANNELS_INFO");
  putInt64(out + 160, static_cast<int64_t>(CHANNEL_ENTRY_SIZE) * n);
  uint8_t* p = out + CHANNEL_ENTRIES_OFFSET;
  for (int c = 0; c < n; ++c, p += CHANNEL_ENTRY_SIZE) {
    putInt32(p, channels.channel[c]);
    putFloat64(p + 4, channels.low[c]);
    putFloat64(p + 12, channels.high[c]);
  }

  putBlockName(p, "SAMPLES_RECORD_INFO");
  putInt32(p + 24, 8);
  putBlockName(p + 40, "SAMPLES_RECORD");
  std::memset(p + 64, 0xFF, 8);
  return size;
}

bool writeDescriptionHead(TextSink& out, const RecordedChannels& channels, const MeterSettings& settings) {
  Writer w(out);
  w.text("ConfigurationTimeSpanInSeconds = 60.0\r\n");
  w.text("CommonConfigurationPart\r\n");
  w.text("{\r\n");
  w.text("  TimePrecision = 3\n");
  w.text("  ChannelsInfo\n");
  w.text("  {\n");

  float smallest = 1e20f, largest = -1e20f;
  for (int c = 0; c < channels.count; ++c) {
    char name[SETTINGS_TEXT_SIZE];
    std::memcpy(name, settings.channelName[channels.channel[c]], sizeof name);
    name[SETTINGS_TEXT_SIZE - 1] = 0;
    w.text("#\r\n{\r\n");
    w.format("ID = %d\r\nName = \"%s\"\r\n", channels.channel[c], name);
    w.text("}\r\n");
    smallest = std::min({smallest, channels.low[c], channels.high[c]});
    largest = std::max({largest, channels.low[c], channels.high[c]});
  }

  writeLines(w, CHART_TASK_HEAD);
  w.format("\t\tTaskName = \"%s\"\r\n", TEXT_CHART_TASK);
  writeLines(w, CHART_TASK_VIEW);
  w.format("\t\tCustomVoltageRange = %g %g\r\n", static_cast<double>(smallest), static_cast<double>(largest));
  w.format("\t\tHorzAxisCaption = \"%s\"\r\n", TEXT_TIME);
  w.format("\t\tHorzAxisUnits = \"%s\"\r\n", TEXT_SECONDS);
  w.text("\t\tVertAxisCaption = \"\"\r\n");
  w.text("\t\tVertAxisUnits = \"\"\r\n");
  w.text("\t\tChannelsList\r\n");
  w.text("\t\t{\r\n");

  for (int c = 0; c < channels.count; ++c) {
    w.text("#\r\n{\r\n");
    if (c < 8) {
      const int* rgb = CHART_COLOURS[c];
      w.format("ID = %d\r\nColor = %d %d %d\r\nIsVisible = \"Yes\"\r\n", channels.channel[c], rgb[0], rgb[1], rgb[2]);
    } else {
      w.format("ID = %d\r\nColor = 255 150 210\r\nIsVisible = \"Yes\"\r\n", channels.channel[c]);
    }
    w.format("ZeroOffset = %g\r\n", 0.0);
    w.format("Gain = %g\r\n", 1.0);
    w.text("}\r\n");
  }

  writeLines(w, MARKER_TASK_HEAD);
  writeLabelTypes(w);
  return w.ok();
}

size_t formatMarker(char* out, int typeIndex, double timePos, int number) {
  // A float time plus a day's seconds stays far below this; it bounds %f's width.
  constexpr double TIME_BOUND = 1e39;
  if (timePos > TIME_BOUND) timePos = TIME_BOUND;
  if (timePos < -TIME_BOUND) timePos = -TIME_BOUND;
  int n = std::snprintf(out, MARKER_MAX_LENGTH + 1,
                        "     #\r\n     {\r\n         TypeIndex = %d\r\n         TimePos = %f\r\n"
                        "         Description = \"K%d\"\r\n         IsVisible = \"Yes\"\r\n     }\r\n",
                        typeIndex, timePos, number);
  return n < 0 ? 0 : std::min(static_cast<size_t>(n), MARKER_MAX_LENGTH);
}

FileTime midnightFileTime(FileTime time, int offsetHours) {
  int hour = ((24 - offsetHours) % 24 + 24) % 24;
  return time / FILE_TIME_TICKS_PER_DAY * FILE_TIME_TICKS_PER_DAY +
         static_cast<FileTime>(hour) * FILE_TIME_TICKS_PER_HOUR;
}
