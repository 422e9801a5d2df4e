#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/settings_file.h"
#include "settings/settings_keys.h"

namespace {

// Longest line the writer produces: with CR LF it still fits one read of the
// 254-character limit, so a rewritten line never splits on the next read.
constexpr int WRITTEN_LINE_MAX = SETTINGS_LINE_LIMIT - 2;

size_t boundedLength(const char* text, size_t size) {
  size_t n = 0;
  while (n < size && text[n]) ++n;
  return n;
}

// Appends printf output to a fixed line buffer.
class LineFormatter {
 public:
  __attribute__((format(printf, 2, 3))) void add(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text_ + length_, sizeof text_ - length_, format, args);
    va_end(args);
    if (n > 0) length_ += static_cast<size_t>(n) < sizeof text_ - length_ ? static_cast<size_t>(n) : sizeof text_ - 1 - length_;
  }
  void addList(const int32_t* values, int count, int blankEvery) {
    for (int i = 0; i < count; ++i) {
      if (i > 0) add(blankEvery > 0 && i % blankEvery == 0 ? ", " : ",");
      add("%d", static_cast<int>(values[i]));
    }
  }
  const char* text() const { return text_; }
  size_t length() const { return length_; }

 private:
  char text_[1024] = {};
  size_t length_ = 0;
};

// Channel n's B: a reference as K<nn>, a plain number with %g.
void addChannelOffset(LineFormatter& line, float b) {
  if (b >= static_cast<float>(CHANNEL_REF_BASE) && b < static_cast<float>(CHANNEL_REF_BASE + CHANNEL_COUNT + 1)) {
    const int channel = static_cast<int>(b) - CHANNEL_REF_BASE;
    if (channel >= 1 && channel <= CHANNEL_COUNT) {
      line.add("K%02d", channel);
      return;
    }
  }
  // Six digits could turn a plain offset such as 1000033 into 1.00003e+06,
  // which reads back as a reference to channel 30: such a value gets the
  // digits it needs to stay a plain number.
  char shortForm[32];
  std::snprintf(shortForm, sizeof shortForm, "%g", static_cast<double>(b));
  const float readBack = std::strtof(shortForm, nullptr);
  if (readBack != b && readBack >= static_cast<float>(CHANNEL_REF_BASE + 1) &&
      readBack <= static_cast<float>(CHANNEL_REF_BASE + CHANNEL_COUNT))
    line.add("%.9g", static_cast<double>(b));
  else
    line.add("%s", shortForm);
}

void formatKey(const MeterSettings& s, SettingsKeyMatch match, LineFormatter& line) {
  const int n = match.number;
  const int g = match.number - 1;
  char key[SETTINGS_KEY_NAME_SIZE];
  settingsKeyName(match, key);
  line.add("%s = ", key);
  switch (match.key) {
    case SettingsKey::KB:
      line.add("%g|", static_cast<double>(s.channelK[n]));
      addChannelOffset(line, s.channelB[n]);
      line.add("|%.*s|%.*s", static_cast<int>(boundedLength(s.unitText[n], SETTINGS_TEXT_SIZE - 1)), s.unitText[n],
               static_cast<int>(boundedLength(s.channelName[n], SETTINGS_TEXT_SIZE - 1)), s.channelName[n]);
      break;
    case SettingsKey::Channel:
      line.add("%d", static_cast<int>(s.Channel[n]));
      break;
    case SettingsKey::NPK:
      line.add("%d", static_cast<int>(s.NPK[n]));
      break;
    case SettingsKey::MinMaxRef:
      line.add("%g|%g|%g", static_cast<double>(s.minLimit[n]), static_cast<double>(s.maxLimit[n]),
               static_cast<double>(s.refLevel[n]));
      break;
    case SettingsKey::FlagRec:
      line.add("%d", static_cast<int>(s.FlagRec[n]));
      break;
    case SettingsKey::ACmode:
      line.add("%d", static_cast<int>(s.ACmode[n]));
      break;
    case SettingsKey::Interval:
      line.add("%d", static_cast<int>(s.Interval[n]));
      break;
    case SettingsKey::Kadc:
      line.add("%d", static_cast<int>(s.Kadc[n]));
      break;
    case SettingsKey::ScaleY:
      line.add("%d,%g", static_cast<int>(s.scaleYMode[g]), s.scaleYValue[g]);
      break;
    case SettingsKey::ColPlot:
      for (int t = 0; t < TRACES_PER_GRAPH; ++t)
        line.add(t ? ",%x" : "%x", static_cast<unsigned>(s.colPlot[g][t]));
      break;
    case SettingsKey::PlotName: {
      // Cut a title that would not fit one line, or at a line break: either
      // would split the line and lose the title on the next read.
      const size_t room = WRITTEN_LINE_MAX - line.length() - 2;
      size_t length = boundedLength(s.plotName[g], PLOT_NAME_SIZE - 1);
      for (size_t i = 0; i < length; ++i)
        if (s.plotName[g][i] == '\r' || s.plotName[g][i] == '\n') length = i;
      if (length > room) length = room;
      line.add("'%.*s'", static_cast<int>(length), s.plotName[g]);
      break;
    }
    case SettingsKey::ChPlot:
      line.addList(s.chPlot, GRAPH_SLOTS * TRACES_PER_GRAPH, TRACES_PER_GRAPH);
      break;
    case SettingsKey::ScPlot:
      line.addList(s.scPlot, GRAPH_SLOTS, 0);
      break;
    case SettingsKey::LrScale:
      line.addList(s.lrScale, 2 * GRAPH_SLOTS, 2);
      break;
    case SettingsKey::RPlot:
      line.addList(s.rPlot, 4 * GRAPH_SLOTS, 4);
      break;
    case SettingsKey::RWnd:
      line.addList(s.rWnd, 4, 0);
      break;
    case SettingsKey::Ftime:
      // The engine's thread may raise Ftime while the user-interface thread saves.
      line.add("%d", static_cast<int>(sharedLoad(s.Ftime)));
      break;
    case SettingsKey::FreqStream:
      line.add("%g", s.FreqStream);
      break;
    case SettingsKey::NDO:
      line.add("%d", static_cast<int>(s.nDO));
      break;
    case SettingsKey::TimeType:
      line.add("%d", static_cast<int>(s.TimeType));
      break;
    case SettingsKey::CheckLabel:
      line.add("%d", static_cast<int>(s.CheckLabel));
      break;
    case SettingsKey::WebPort:
      line.add("%d", static_cast<int>(s.WebPort));
      break;
    case SettingsKey::WebAddress:
      line.add("%.*s", static_cast<int>(boundedLength(s.WebAddress, WEB_ADDRESS_SIZE - 1)), s.WebAddress);
      break;
    case SettingsKey::Device:
      break;  // never reached: Device lines are copied
  }
}

// One key's line in its written form.
bool writeKey(const MeterSettings& s, SettingsKeyMatch match, SettingsOutput output, void* context) {
  LineFormatter formatted;
  formatKey(s, match, formatted);
  formatted.add("\r\n");
  return output(context, formatted.text(), formatted.length());
}

// The file line by line, then the keys it lacked: a setting changed in the
// program for a key the file lacks would otherwise be lost at the next start.
class Rewriter {
 public:
  Rewriter(const MeterSettings& s, SettingsOutput output, void* context) : s_(s), output_(output), context_(context) {}

  bool feed(const char* data, size_t size) { return splitter_.feed(data, size, LineSink{this}); }

  bool finish() {
    if (!splitter_.finish(LineSink{this})) return false;
    for (int ordinal = 0; ordinal < settingsKeyCount(); ++ordinal) {
      const SettingsKeyMatch match = settingsKeyAt(ordinal);
      if (present_[ordinal] || match.key == SettingsKey::Device) continue;  // Device is never written
      if (match.key == SettingsKey::FreqStream && !(s_.FreqStream > 0)) continue;  // a rate the reader refuses
      if (!writeKey(s_, match, output_, context_)) return false;
    }
    return true;
  }

 private:
  struct LineSink {
    Rewriter* rewriter;
    bool operator()(const char* line, size_t length, int, bool) { return rewriter->rewriteLine(line, length); }
  };

  // One input line, as read with the 254-character limit, to its output line.
  bool rewriteLine(const char* chunk, size_t chunkLength) {
    size_t length = boundedLength(chunk, chunkLength);
    for (size_t i = 0; i < length; ++i)
      if (chunk[i] == '\r' || chunk[i] == '\n') length = i;
    if (length == 0) return true;  // empty lines do not survive a rewrite
    const char* p = chunk;
    while (length > 0 && *p == ' ') {
      ++p;
      --length;
    }
    char line[SETTINGS_LINE_LIMIT + 1];
    std::memcpy(line, p, length);
    line[length] = '\0';

    SettingsKeyMatch match;
    if (std::strchr(line, '=') && matchSettingsKey(line, &match)) {
      present_[settingsKeyOrdinal(match)] = true;
      if (match.key != SettingsKey::Device) return writeKey(s_, match, output_, context_);
    }
    return output_(context_, line, length) && output_(context_, "\r\n", 2);
  }

  const MeterSettings& s_;
  SettingsOutput output_;
  void* context_;
  SettingsLineSplitter splitter_{false};
  bool present_[SETTINGS_KEY_LIMIT] = {};
};

bool writeToFile(void* context, const char* bytes, size_t size) {
  return std::fwrite(bytes, 1, size, static_cast<FILE*>(context)) == size;
}

}  // namespace

bool rewriteSettingsText(const MeterSettings& settings, const char* data, size_t size, SettingsOutput output,
                         void* context) {
  Rewriter rewriter(settings, output, context);
  return rewriter.feed(data, size) && rewriter.finish();
}

bool rewriteSettingsStream(const MeterSettings& settings, FILE* in, FILE* out) {
  Rewriter rewriter(settings, writeToFile, out);
  char block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, in)) > 0)
    if (!rewriter.feed(block, got)) return false;
  if (std::ferror(in)) return false;
  return rewriter.finish();
}

bool rewriteSettingsFile(const MeterSettings& settings, const char* inPath, const char* outPath) {
  FILE* in = std::fopen(inPath, "rb");
  if (!in) return false;
  FILE* out = std::fopen(outPath, "wb");
  if (!out) {
    std::fclose(in);
    return false;
  }
  bool ok = rewriteSettingsStream(settings, in, out);
  std::fclose(in);
  ok = std::fflush(out) == 0 && ok;
  ok = std::fclose(out) == 0 && ok;
  return ok;
}
