#include "recording_reader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "settings/cp1251.h"

namespace {

constexpr size_t NAME_SIZE = 24;
constexpr size_t FIXED_HEADER_SIZE = 240;
constexpr size_t ENTRY_SIZE = 20;
constexpr int32_t MAX_CHANNELS = 4096;  // far above what the meter writes; bounds a corrupt count
const char CLOSING[] = "    }\r\n  }\r\n }\r\n}\r\n";

bool hasBlockName(const std::string& b, size_t at, const char* name) {
  size_t len = std::strlen(name);
  if (at + NAME_SIZE > b.size() || b.compare(at, len, name) != 0) return false;
  for (size_t i = len; i < NAME_SIZE; ++i)
    if (b[at + i] != ' ') return false;
  return true;
}

uint64_t readLe(const std::string& b, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}
int32_t readInt32(const std::string& b, size_t at) { return static_cast<int32_t>(readLe(b, at, 4)); }
double readFloat64(const std::string& b, size_t at) {
  uint64_t bits = readLe(b, at, 8);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

// "Key = value" with the key matched exactly; the value without blanks around it.
bool keyValue(const std::string& line, const char* key, std::string* value) {
  std::string t = trim(line);
  size_t len = std::strlen(key);
  if (t.compare(0, len, key) != 0) return false;
  std::string rest = trim(t.substr(len));
  if (rest.empty() || rest[0] != '=') return false;
  *value = trim(rest.substr(1));
  return true;
}

std::string unquote(const std::string& v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

bool parseInt(const std::string& s, int* out) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str() || *end) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

std::string descriptionPathFor(const std::string& samplePath) {
  size_t dot = samplePath.find_last_of('.');
  size_t slash = samplePath.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return samplePath + ".sreccfg";
  return samplePath.substr(0, dot) + ".sreccfg";
}

bool parseSampleFile(const std::string& b, Recording* out, std::string* error) {
  if (!hasBlockName(b, 0, "QUORMAFFS")) {
    *error = "not a recording: no QUORMAFFS sample file header";
    return false;
  }
  if (b.size() < FIXED_HEADER_SIZE || !hasBlockName(b, 32, "SAMPLES_FORMAT") ||
      !hasBlockName(b, 84, "CHANNELS_INFO_HEADER") || !hasBlockName(b, 136, "CHANNELS_INFO")) {
    *error = "not a recording: sample file header is incomplete or damaged";
    return false;
  }
  int32_t n = readInt32(b, 68);
  double rows = readFloat64(b, 72);
  if (n < 0 || n > MAX_CHANNELS || static_cast<int64_t>(readLe(b, 160, 8)) != static_cast<int64_t>(ENTRY_SIZE) * n) {
    *error = "not a recording: channel count in the sample file header is inconsistent";
    return false;
  }
  if (!std::isfinite(rows) || rows <= 0.0) {
    *error = "not a recording: rows per second in the sample file header is not positive";
    return false;
  }
  const size_t entries = 168, tail = entries + ENTRY_SIZE * static_cast<size_t>(n);
  const size_t dataStart = tail + 72;
  if (b.size() < dataStart || !hasBlockName(b, tail, "SAMPLES_RECORD_INFO") ||
      !hasBlockName(b, tail + 40, "SAMPLES_RECORD")) {
    *error = "not a recording: sample file header is incomplete or damaged";
    return false;
  }
  out->rowsPerSecond = rows;
  out->channels.clear();
  for (int32_t c = 0; c < n; ++c) {
    size_t at = entries + ENTRY_SIZE * static_cast<size_t>(c);
    RecordingChannel ch;
    ch.number = readInt32(b, at);
    ch.low = readFloat64(b, at + 4);
    ch.high = readFloat64(b, at + 12);
    out->channels.push_back(ch);
  }
  size_t data = b.size() - dataStart;
  size_t rowBytes = 4 * static_cast<size_t>(n);
  out->rowCount = rowBytes ? data / rowBytes : 0;
  out->values.resize(out->rowCount * static_cast<size_t>(n));
  for (size_t i = 0; i < out->values.size(); ++i) {
    uint32_t bits = static_cast<uint32_t>(readLe(b, dataStart + 4 * i, 4));
    std::memcpy(&out->values[i], &bits, sizeof bits);
  }
  size_t rest = rowBytes ? data % rowBytes : data;
  if (rest) {
    char msg[160];
    std::snprintf(msg, sizeof msg, "sample file ends with a partial row (%zu of %zu bytes), ignored: interrupted recording",
                  rest, rowBytes);
    out->warnings.push_back(msg);
  }
  return true;
}

void parseDescription(const std::string& text, Recording* recording) {
  std::istringstream in(text);
  std::string line, value;
  bool inLabels = false, inTasks = false;
  int pendingId = -1;
  RecordingMarker marker;
  bool haveType = false, haveTime = false;
  while (std::getline(in, line)) {
    std::string t = trim(line);
    if (t == "TasksList") inTasks = true;
    if (t == "Labels") inLabels = true;
    if (!inTasks) {
      int id;
      if (keyValue(line, "ID", &value) && parseInt(value, &id)) {
        pendingId = id;
      } else if (pendingId >= 0 && keyValue(line, "Name", &value)) {
        std::string name = cp1251ToUtf8(unquote(value));
        for (auto& ch : recording->channels)
          if (ch.number == pendingId && ch.name.empty()) ch.name = name;
        pendingId = -1;
      }
    } else if (inLabels) {
      if (t == "{") {
        haveType = haveTime = false;
      } else if (keyValue(line, "TypeIndex", &value)) {
        haveType = parseInt(value, &marker.typeIndex);
      } else if (keyValue(line, "TimePos", &value)) {
        char* end = nullptr;
        marker.timePos = std::strtod(value.c_str(), &end);
        haveTime = end != value.c_str();
      } else if (keyValue(line, "Description", &value)) {
        std::string d = unquote(value);
        if (haveType && haveTime && d.size() > 1 && d[0] == 'K' && parseInt(d.substr(1), &marker.number))
          recording->markers.push_back(marker);
        haveType = haveTime = false;
      }
    }
  }
  if (text.size() < sizeof CLOSING - 1 || text.compare(text.size() - (sizeof CLOSING - 1), std::string::npos, CLOSING) != 0)
    recording->warnings.push_back("description has no closing part: interrupted recording");
}

bool readRecording(const std::string& samplePath, Recording* out, std::string* error) {
  std::ifstream sample(samplePath, std::ios::binary);
  if (!sample) {
    *error = "cannot open " + samplePath;
    return false;
  }
  std::ostringstream bytes;
  bytes << sample.rdbuf();
  if (!parseSampleFile(bytes.str(), out, error)) {
    *error = samplePath + ": " + *error;
    return false;
  }
  std::string descriptionPath = descriptionPathFor(samplePath);
  std::ifstream description(descriptionPath, std::ios::binary);
  if (!description) {
    out->warnings.push_back("no description " + descriptionPath + ": channel names left empty, no markers");
    return true;
  }
  std::ostringstream text;
  text << description.rdbuf();
  parseDescription(text.str(), out);
  return true;
}
