#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/settings_file.h"
#include "settings/settings_keys.h"

namespace {

constexpr int INT_ANY_LOW = INT32_MIN;
constexpr int INT_ANY_HIGH = INT32_MAX;
constexpr int ZOOM_STEPS = 10;
constexpr int TIME_SCALES = 10;
constexpr int GAIN_CODES = 4;
constexpr int WEB_PORT_MAX = 65535;

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Length up to the first NUL: a NUL ends the line, as it does for fgets.
size_t textLength(const char* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n]) ++n;
  return n;
}

// One line's problems go to the sink, prefixed with the key.
class Problems {
 public:
  Problems(SettingsProblemSink sink, void* context) : sink_(sink), context_(context) {}
  void setLine(int line) { line_ = line; }
  void setKey(const char* key) { std::snprintf(key_, sizeof key_, "%s", key); }
  bool wanted() const { return sink_ != nullptr; }

  __attribute__((format(printf, 2, 3))) void report(const char* format, ...) {
    if (!sink_) return;
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char message[200];
    if (key_[0])
      std::snprintf(message, sizeof message, "%s: %s", key_, text);
    else
      std::snprintf(message, sizeof message, "%s", text);
    sink_(context_, line_, message);
  }

 private:
  SettingsProblemSink sink_;
  void* context_;
  int line_ = 0;
  char key_[SETTINGS_KEY_NAME_SIZE + 8] = {};
};

// Formatted input over a NUL-terminated value: each conversion skips leading white
// space, a separator must follow at once, and the first mismatch stops the rest.
class ValueScanner {
 public:
  explicit ValueScanner(const char* text) : p_(text) {}
  bool failed() const { return failed_; }
  const char* rest() const { return p_; }

  bool separator(char c) {
    if (failed_) return false;
    if (*p_ != c) return fail();
    ++p_;
    return true;
  }

  // "%d"; *inRange is false when the number does not fit 32 bits.
  bool integer(long long* value, bool* inRange) {
    if (failed_) return false;
    skipBlanks();
    const char* p = p_;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!isDigitAt(p)) return fail();
    long long v = 0;
    bool fits = true;
    for (; isDigitAt(p); ++p) {
      if (v > 10000000000LL) fits = false;
      else v = v * 10 + (*p - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) fits = false;
    p_ = p;
    *value = v;
    *inRange = fits;
    return true;
  }

  // "%x" into 32 bits: optional sign, optional 0x.
  bool hex(uint32_t* value, bool* inRange) {
    if (failed_) return false;
    skipBlanks();
    const char* p = p_;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0) p += 2;
    if (hexDigit(*p) < 0) return fail();
    unsigned long long v = 0;
    bool fits = true;
    for (; hexDigit(*p) >= 0; ++p) {
      v = v * 16 + static_cast<unsigned>(hexDigit(*p));
      if (v > 0xFFFFFFFFull) {
        fits = false;
        v = 0xFFFFFFFFull;
      }
    }
    p_ = p;
    *value = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    *inRange = fits;
    return true;
  }

  // "%g" into a float or "%lg" into a double; *inRange is false for values that
  // are not finite there.
  bool real(float* value, bool* inRange) {
    if (failed_) return false;
    skipBlanks();
    char* end = nullptr;
    const float v = std::strtof(p_, &end);
    if (end == p_) return fail();
    p_ = end;
    *value = v;
    *inRange = std::isfinite(v);
    return true;
  }
  bool real(double* value, bool* inRange) {
    if (failed_) return false;
    skipBlanks();
    char* end = nullptr;
    const double v = std::strtod(p_, &end);
    if (end == p_) return fail();
    p_ = end;
    *value = v;
    *inRange = std::isfinite(v);
    return true;
  }

  void skipBlanks() {
    while (isBlank(*p_)) ++p_;
  }

 private:
  static bool isDigitAt(const char* p) { return *p >= '0' && *p <= '9'; }
  static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool fail() {
    failed_ = true;
    return false;
  }

  const char* p_;
  bool failed_ = false;
};

void reportShort(Problems& problems, int read, int expected) {
  if (read == 0)
    problems.report("unparsable value");
  else
    problems.report("unparsable value: only %d of %d values read", read, expected);
}

// count integers separated by sep; each must lie in low..high or it is rejected.
void readIntegers(const char* value, int32_t* fields, int count, char sep, long long low, long long high,
                  Problems& problems) {
  ValueScanner scan(value);
  int read = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !scan.separator(sep)) break;
    long long v;
    bool fits;
    if (!scan.integer(&v, &fits)) break;
    ++read;
    if (!fits || v < low || v > high) {
      if (count == 1)
        problems.report("number %lld outside its range %lld..%lld", v, low, high);
      else
        problems.report("value %d (%lld) outside its range %lld..%lld", i + 1, v, low, high);
      continue;
    }
    fields[i] = static_cast<int32_t>(v);
  }
  if (read < count) reportShort(problems, read, count);
}

void readInteger(const char* value, int32_t* field, long long low, long long high, Problems& problems) {
  readIntegers(value, field, 1, ',', low, high, problems);
}

void readFloats(const char* value, float* const* fields, int count, char sep, Problems& problems) {
  ValueScanner scan(value);
  int read = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !scan.separator(sep)) break;
    float v;
    bool finite;
    if (!scan.real(&v, &finite)) break;
    ++read;
    if (!finite) {
      problems.report("value %d outside the range of a float", i + 1);
      continue;
    }
    *fields[i] = v;
  }
  if (read < count) reportShort(problems, read, count);
}

// Copies at most size - 1 bytes and always terminates.
void storeText(char* field, size_t size, const char* text, size_t length, const char* what, Problems& problems) {
  if (length > size - 1) {
    problems.report("%s longer than %d characters, cut", what, static_cast<int>(size - 1));
    length = size - 1;
  }
  std::memcpy(field, text, length);
  field[length] = '\0';
}

// K|B|unit|name; the part after the first '|' ends at the first white space.
void readChannelConversion(const char* value, MeterSettings& s, int n, Problems& problems) {
  ValueScanner scan(value);
  float k;
  bool finite;
  if (!scan.real(&k, &finite)) {
    problems.report("unparsable value: K expected");
    return;
  }
  if (finite)
    s.channelK[n] = k;
  else
    problems.report("K outside the range of a float");
  if (!scan.separator('|')) {
    problems.report("unparsable value: '|' expected right after K");
    return;
  }
  scan.skipBlanks();
  const char* part = scan.rest();
  const char* end = part;
  while (*end && !isBlank(*end)) ++end;
  const char* rest = end;
  while (isBlank(*rest)) ++rest;
  if (*rest) problems.report("unit and name end at the first blank: \"%.20s\" ignored", rest);

  // B text
  const char* bar = static_cast<const char*>(std::memchr(part, '|', static_cast<size_t>(end - part)));
  const char* bEnd = bar ? bar : end;
  char bText[SETTINGS_LINE_LIMIT + 1];
  const size_t bLength = static_cast<size_t>(bEnd - part);
  std::memcpy(bText, part, bLength);
  bText[bLength] = '\0';
  if (bText[0] == 'K') {
    ValueScanner ref(bText + 1);
    long long channel;
    bool fits;
    if (bText[1] < '0' || bText[1] > '9' || !ref.integer(&channel, &fits))
      problems.report("unparsable channel reference \"%.20s\"", bText);
    else if (!fits || channel < 1 || channel > CHANNEL_COUNT)
      problems.report("channel reference %.20s outside 1-32", bText + 1);
    else
      s.channelB[n] = static_cast<float>(CHANNEL_REF_BASE + channel);
  } else {
    ValueScanner b(bText);
    float v;
    if (!b.real(&v, &finite))
      problems.report("unparsable B \"%.20s\"", bText);
    else if (!finite)
      problems.report("B outside the range of a float");
    else
      s.channelB[n] = v;
  }
  if (!bar) {
    problems.report("unparsable value: unit and name missing");
    return;
  }

  // unit, then the name (the rest, bars included)
  part = bar + 1;
  bar = static_cast<const char*>(std::memchr(part, '|', static_cast<size_t>(end - part)));
  const char* unitEnd = bar ? bar : end;
  storeText(s.unitText[n], SETTINGS_TEXT_SIZE, part, static_cast<size_t>(unitEnd - part), "unit", problems);
  if (!bar) {
    problems.report("unparsable value: name missing");
    return;
  }
  part = bar + 1;
  storeText(s.channelName[n], SETTINGS_TEXT_SIZE, part, static_cast<size_t>(end - part), "name", problems);
  if (std::memchr(part, '|', static_cast<size_t>(end - part)))
    problems.report("name holds \"|\", the separator of the parts (a unit with \"|\" moves into the name)");
}

// Text between the first and the last quote; fewer than two quotes change nothing.
void readQuoted(const char* value, char quote, bool lastQuote, char* field, size_t size, const char* what,
                Problems& problems) {
  const char* first = std::strchr(value, quote);
  const char* last = first ? (lastQuote ? std::strrchr(first + 1, quote) : std::strchr(first + 1, quote)) : nullptr;
  if (!last) {
    problems.report("unparsable value: %s expected between %c quotes", what, quote);
    return;
  }
  storeText(field, size, first + 1, static_cast<size_t>(last - first - 1), what, problems);
}

// A dotted IPv4 address: four numbers 0-255. Anything else keeps the field.
void readAddress(const char* value, char* field, Problems& problems) {
  while (isBlank(*value)) ++value;
  size_t length = 0;
  while (value[length] && !isBlank(value[length])) ++length;
  char address[WEB_ADDRESS_SIZE] = {};
  if (length >= WEB_ADDRESS_SIZE || !parseIpv4(value, length, nullptr)) {
    problems.report("\"%.*s\" is not an IPv4 address such as 127.0.0.1", length > 40 ? 40 : static_cast<int>(length),
                    value);
    return;
  }
  std::memcpy(address, value, length);
  std::memcpy(field, address, WEB_ADDRESS_SIZE);
}

void readValue(MeterSettings& s, SettingsKeyMatch match, const char* value, Problems& problems) {
  const int n = match.number;   // channel for per-channel keys
  const int g = match.number - 1;  // graph slot for per-graph keys
  switch (match.key) {
    case SettingsKey::KB:
      readChannelConversion(value, s, n, problems);
      break;
    case SettingsKey::Channel:
      readInteger(value, &s.Channel[n], 0, CHANNEL_COUNT, problems);
      break;
    case SettingsKey::NPK:
      readInteger(value, &s.NPK[n], 0, CHANNEL_COUNT, problems);
      break;
    case SettingsKey::MinMaxRef: {
      float* const fields[3] = {&s.minLimit[n], &s.maxLimit[n], &s.refLevel[n]};
      readFloats(value, fields, 3, '|', problems);
      break;
    }
    case SettingsKey::FlagRec:
      readInteger(value, &s.FlagRec[n], INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::ACmode:
      readInteger(value, &s.ACmode[n], INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::Interval:
      readInteger(value, &s.Interval[n], INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::Kadc:
      readInteger(value, &s.Kadc[n], 0, GAIN_CODES, problems);
      break;
    case SettingsKey::ScaleY: {
      ValueScanner scan(value);
      long long mode;
      bool fits;
      if (!scan.integer(&mode, &fits)) {
        reportShort(problems, 0, 2);
        break;
      }
      if (!fits || mode < 0 || mode >= ZOOM_STEPS)
        problems.report("zoom step %lld outside its range 0..%d", mode, ZOOM_STEPS - 1);
      else
        s.scaleYMode[g] = static_cast<int32_t>(mode);
      double centre;
      if (!scan.separator(',') || !scan.real(&centre, &fits)) {
        reportShort(problems, 1, 2);
        break;
      }
      if (!fits)
        problems.report("view centre outside the range of a double");
      else
        s.scaleYValue[g] = centre;
      break;
    }
    case SettingsKey::ColPlot: {
      ValueScanner scan(value);
      int read = 0;
      for (int t = 0; t < TRACES_PER_GRAPH; ++t) {
        if (t > 0 && !scan.separator(',')) break;
        uint32_t colour;
        bool fits;
        if (!scan.hex(&colour, &fits)) break;
        ++read;
        if (!fits)
          problems.report("colour %d outside the range of 32 bits", t + 1);
        else
          s.colPlot[g][t] = static_cast<int32_t>(colour);
      }
      if (read < TRACES_PER_GRAPH) reportShort(problems, read, TRACES_PER_GRAPH);
      break;
    }
    case SettingsKey::PlotName:
      readQuoted(value, '\'', true, s.plotName[g], PLOT_NAME_SIZE, "title", problems);
      break;
    case SettingsKey::ChPlot:
      readIntegers(value, s.chPlot, GRAPH_SLOTS * TRACES_PER_GRAPH, ',', 0, CHANNEL_COUNT, problems);
      break;
    case SettingsKey::ScPlot:
      readIntegers(value, s.scPlot, GRAPH_SLOTS, ',', 0, TIME_SCALES - 1, problems);
      break;
    case SettingsKey::LrScale:
      readIntegers(value, s.lrScale, 2 * GRAPH_SLOTS, ',', 0, TRACES_PER_GRAPH, problems);
      break;
    case SettingsKey::RPlot:
      readIntegers(value, s.rPlot, 4 * GRAPH_SLOTS, ',', INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::RWnd:
      readIntegers(value, s.rWnd, 4, ',', INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::Ftime:
      readInteger(value, &s.Ftime, INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::FreqStream: {
      ValueScanner scan(value);
      double rate;
      bool finite;
      if (!scan.real(&rate, &finite))
        reportShort(problems, 0, 1);
      else if (!finite || !(rate > 0.0))
        problems.report("sampling rate %g outside its range (above 0)", rate);
      else
        s.FreqStream = rate;
      break;
    }
    case SettingsKey::NDO:
      readInteger(value, &s.nDO, INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::TimeType:
      readInteger(value, &s.TimeType, INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::CheckLabel:
      readInteger(value, &s.CheckLabel, INT_ANY_LOW, INT_ANY_HIGH, problems);
      break;
    case SettingsKey::WebPort:
      readInteger(value, &s.WebPort, 0, WEB_PORT_MAX, problems);
      break;
    case SettingsKey::WebAddress:
      readAddress(value, s.WebAddress, problems);
      break;
    case SettingsKey::Device:
      readQuoted(value, '"', false, s.deviceName, DEVICE_NAME_SIZE, "device name", problems);
      break;
  }
}

void readLine(MeterSettings& s, const char* chunk, size_t chunkLength, int fileLine, bool cut, Problems& problems) {
  problems.setLine(fileLine);
  problems.setKey("");
  if (cut) problems.report("line over %d characters; the rest is read as a further line", SETTINGS_LINE_LIMIT);

  char line[SETTINGS_LINE_LIMIT + 1];
  const size_t length = textLength(chunk, chunkLength);
  if (length <= 3) return;
  std::memcpy(line, chunk, length);
  line[length] = '\0';

  const char* p = line;
  while (*p == ' ') ++p;
  if (*p == ';' || *p == '#' || *p == '/') return;
  const char* equals = std::strchr(p, '=');
  if (!equals) return;

  SettingsKeyMatch match;
  if (!matchSettingsKey(p, &match)) {
    if (problems.wanted() && looksLikeNumberedKey(p)) {
      int keyLength = static_cast<int>(equals - p);
      while (keyLength > 0 && isBlank(p[keyLength - 1])) --keyLength;
      problems.report("unknown numbered key \"%.*s\" ignored", keyLength > 40 ? 40 : keyLength, p);
    }
    return;
  }
  if (problems.wanted()) {
    char key[SETTINGS_KEY_NAME_SIZE];
    settingsKeyName(match, key);
    problems.setKey(key);
  }
  readValue(s, match, equals + 1, problems);
}

}  // namespace

void setSettingsDefaults(MeterSettings& s) {
  for (int i = 0; i < CHANNEL_ARRAY_SIZE; ++i) {
    s.Channel[i] = 0;
    s.Kadc[i] = 0;
    s.ACmode[i] = 0;
    s.channelK[i] = 0.0f;
    s.channelB[i] = 0.0f;
    s.unitText[i][0] = '\0';
    s.NPK[i] = 0;
  }
  for (int32_t& v : s.chPlot) v = 0;
  for (int g = 0; g < GRAPH_SLOTS; ++g) {
    s.scPlot[g] = 0;
    s.scaleYMode[g] = 0;
    s.scaleYValue[g] = 0.0;
    for (int32_t& colour : s.colPlot[g]) colour = 0;
  }
  s.TimeType = 0;
  s.CheckLabel = 0;
  for (int32_t& v : s.lrScale) v = 0;
  for (char* name : s.plotName) name[0] = '\0';
  s.Ftime = 10;
  for (int32_t& v : s.rPlot) v = 0;
  for (int32_t& v : s.rWnd) v = 0;
  s.WebPort = 0;
  std::snprintf(s.WebAddress, WEB_ADDRESS_SIZE, "%s", WEB_ADDRESS_LOCAL);
}

void parseSettingsText(MeterSettings& settings, const char* data, size_t size, SettingsProblemSink sink,
                       void* context) {
  Problems problems(sink, context);
  SettingsLineSplitter splitter(true);
  auto onLine = [&](const char* line, size_t length, int fileLine, bool cut) {
    readLine(settings, line, length, fileLine, cut, problems);
    return true;
  };
  splitter.feed(data, size, onLine);
  splitter.finish(onLine);
}

bool readSettingsFile(MeterSettings& settings, const char* path, SettingsProblemSink sink, void* context) {
  setSettingsDefaults(settings);
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  Problems problems(sink, context);
  SettingsLineSplitter splitter(true);
  auto onLine = [&](const char* line, size_t length, int fileLine, bool cut) {
    readLine(settings, line, length, fileLine, cut, problems);
    return true;
  };
  char block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) splitter.feed(block, got, onLine);
  splitter.finish(onLine);
  std::fclose(file);
  return true;
}
