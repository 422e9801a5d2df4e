#include "recording/recording_reader.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/cp1251.h"

static_assert(std::endian::native == std::endian::little, "rows are read straight into floats");

namespace {

constexpr size_t NAME_SIZE = 24;
constexpr size_t FIXED_HEADER_SIZE = 240;
constexpr size_t ENTRIES_OFFSET = 168;
constexpr size_t ENTRY_SIZE = 20;
constexpr size_t TAIL_SIZE = 72;  // the two blocks after the entries
constexpr int32_t MAX_CHANNELS = 4096;  // far above what the meter writes; bounds a corrupt count
constexpr size_t MAX_HEADER_SIZE = ENTRIES_OFFSET + ENTRY_SIZE * MAX_CHANNELS + TAIL_SIZE;
constexpr size_t DESCRIPTION_PIECE = 1 << 16;
const char CLOSING[] = "    }\r\n  }\r\n }\r\n}\r\n";
constexpr size_t CLOSING_SIZE = sizeof CLOSING - 1;

bool hasBlockName(const std::string& b, size_t at, const char* name) {
  const size_t len = std::strlen(name);
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
double readFloat64(const std::string& b, size_t at) { return std::bit_cast<double>(readLe(b, at, 8)); }

std::string trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

bool isIdentifier(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '_')) return false;
  return true;
}

std::string unquote(const std::string& v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

bool quoted(const std::string& v) { return v.size() >= 2 && v.front() == '"' && v.back() == '"'; }

bool parseInt(const std::string& s, int* out) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str() || *end) return false;
  *out = static_cast<int>(v);
  return true;
}

bool parseNumber(const std::string& s, double* out) {
  char* end = nullptr;
  *out = std::strtod(s.c_str(), &end);
  return end != s.c_str();
}

}  // namespace

const char* recordingProblemText(RecordingProblem problem) {
  switch (problem) {
    case RecordingProblem::NONE: return "";
    case RecordingProblem::CANNOT_OPEN: return "cannot open";
    case RecordingProblem::NOT_A_RECORDING: return "not a recording: no QUORMAFFS sample file header";
    case RecordingProblem::HEADER_CUT: return "not a recording: sample file header is incomplete or damaged";
    case RecordingProblem::CHANNEL_COUNT:
      return "not a recording: channel count in the sample file header is inconsistent";
    case RecordingProblem::ROW_RATE: return "not a recording: rows per second in the sample file header is not positive";
  }
  return "";
}

RowReader::RowReader(std::unique_ptr<ByteSource> source, uint64_t dataOffset, size_t columns)
    : source_(std::move(source)), dataOffset_(dataOffset), columns_(columns) {}

uint64_t RowReader::rowCount(uint32_t* partialBytes) {
  const int64_t size = source_->size();
  const uint64_t data = size > 0 && static_cast<uint64_t>(size) > dataOffset_ ? size - dataOffset_ : 0;
  const uint64_t rowBytes = 4 * static_cast<uint64_t>(columns_);
  if (partialBytes) *partialBytes = static_cast<uint32_t>(rowBytes ? data % rowBytes : data);
  return rowBytes ? data / rowBytes : 0;
}

size_t RowReader::read(uint64_t first, size_t count, float* out) {
  const size_t rowBytes = 4 * columns_;
  if (rowBytes == 0 || count == 0) return 0;
  return source_->readAt(dataOffset_ + first * rowBytes, out, count * rowBytes) / rowBytes;
}

void DescriptionParser::take(const char* data, size_t size) {
  if (overlong_ || pending_.size() + size > LONGEST_LINE) {
    overlong_ = true;
    pending_.clear();
  } else {
    pending_.append(data, size);
  }
}

void DescriptionParser::feed(const char* data, size_t size) {
  for (size_t at = 0; at < size;) {
    const char* end = static_cast<const char*>(std::memchr(data + at, '\n', size - at));
    if (!end) {
      take(data + at, size - at);
      return;
    }
    take(data + at, static_cast<size_t>(end - (data + at)));
    if (overlong_) {
      ++lineNumber_;
      if (!damagedLine_) damagedLine_ = lineNumber_;
    } else {
      line(pending_, true);
    }
    pending_.clear();
    overlong_ = false;
    at = static_cast<size_t>(end - data) + 1;
  }
}

void DescriptionParser::finish() {
  if (!pending_.empty() && !overlong_) line(pending_, false);
  pending_.clear();
  overlong_ = false;
}

void DescriptionParser::line(const std::string& text, bool complete) {
  ++lineNumber_;
  const std::string t = trim(text);
  // Names and markers, read as far as they make sense.
  std::string key, value;
  const size_t eq = t.find('=');
  const bool isPair = eq != std::string::npos && isIdentifier(key = trim(t.substr(0, eq)));
  if (isPair) value = trim(t.substr(eq + 1));
  if (t == "TasksList") inTasks_ = true;
  if (t == "Labels") inLabels_ = true;
  int id = 0;
  if (!inTasks_) {
    if (isPair && key == "ID" && parseInt(value, &id)) {
      pendingId_ = id;
    } else if (pendingId_ >= 0 && isPair && key == "Name") {
      const std::string name = cp1251ToUtf8(unquote(value));
      for (auto& ch : *channels_)
        if (ch.number == pendingId_ && ch.name.empty()) ch.name = name;
      pendingId_ = -1;
    }
  } else if (inLabels_) {
    if (t == "{") {
      haveType_ = haveTime_ = false;
    } else if (isPair && key == "TypeIndex") {
      haveType_ = parseInt(value, &marker_.typeIndex);
    } else if (isPair && key == "TimePos") {
      haveTime_ = parseNumber(value, &marker_.timePos);
    } else if (isPair && key == "Description") {
      const std::string d = unquote(value);
      if (haveType_ && haveTime_ && d.size() > 1 && d[0] == 'K' && parseInt(d.substr(1), &marker_.number))
        markers_->push_back(marker_);
      haveType_ = haveTime_ = false;
    }
  }
  if (!complete || damagedLine_) return;

  // Is it a line our recorder writes?
  bool sound = true;
  for (unsigned char c : text) sound = sound && (c >= 0x20 || c == '\t' || c == '\r');
  if (lineNumber_ == 1) sound = sound && t.rfind("ConfigurationTimeSpanInSeconds", 0) == 0;
  if (t == "{") ++depth_;
  if (t == "}") sound = sound && --depth_ >= 0;
  double number = 0.0;
  if (isPair) {
    if (value.empty()) sound = false;
    if (key == "ID" || key == "TypeIndex") sound = sound && parseInt(value, &id);
    if (key == "TimePos") sound = sound && parseNumber(value, &number);
    if (key == "Name" || key == "Description") sound = sound && quoted(value);
  } else if (!(t.empty() || t == "#" || t == "{" || t == "}" || isIdentifier(t))) {
    sound = false;
  }
  if (!sound) damagedLine_ = lineNumber_;
}

std::string descriptionPathFor(const std::string& samplePath) {
  const size_t dot = samplePath.find_last_of('.');
  const size_t slash = samplePath.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return samplePath + ".sreccfg";
  return samplePath.substr(0, dot) + ".sreccfg";
}

RecordingProblem RecordingFile::open(const std::string& samplePath) {
  auto sample = std::make_unique<FileSource>();
  if (!sample->open(samplePath)) return RecordingProblem::CANNOT_OPEN;
  samplePath_ = samplePath;
  descriptionPath_ = descriptionPathFor(samplePath);
  auto description = std::make_unique<FileSource>();
  if (!description->open(descriptionPath_)) description.reset();
  return open(std::move(sample), std::move(description));
}

RecordingProblem RecordingFile::open(std::unique_ptr<ByteSource> sample, std::unique_ptr<ByteSource> description) {
  channels_.clear();
  markers_.clear();
  const int64_t size = sample->size();
  std::string b(size > 0 ? std::min<uint64_t>(static_cast<uint64_t>(size), MAX_HEADER_SIZE) : 0, '\0');
  b.resize(sample->readAt(0, b.data(), b.size()));
  if (!hasBlockName(b, 0, "QUORMAFFS")) return RecordingProblem::NOT_A_RECORDING;
  if (b.size() < FIXED_HEADER_SIZE || !hasBlockName(b, 32, "SAMPLES_FORMAT") ||
      !hasBlockName(b, 84, "CHANNELS_INFO_HEADER") || !hasBlockName(b, 136, "CHANNELS_INFO"))
    return RecordingProblem::HEADER_CUT;
  const int32_t n = readInt32(b, 68);
  const double rows = readFloat64(b, 72);
  if (n < 0 || n > MAX_CHANNELS || static_cast<int64_t>(readLe(b, 160, 8)) != static_cast<int64_t>(ENTRY_SIZE) * n)
    return RecordingProblem::CHANNEL_COUNT;
  if (!std::isfinite(rows) || rows <= 0.0) return RecordingProblem::ROW_RATE;
  const size_t tail = ENTRIES_OFFSET + ENTRY_SIZE * static_cast<size_t>(n);
  if (b.size() < tail + TAIL_SIZE || !hasBlockName(b, tail, "SAMPLES_RECORD_INFO") ||
      !hasBlockName(b, tail + 40, "SAMPLES_RECORD"))
    return RecordingProblem::HEADER_CUT;
  rowsPerSecond_ = rows;
  for (int32_t c = 0; c < n; ++c) {
    const size_t at = ENTRIES_OFFSET + ENTRY_SIZE * static_cast<size_t>(c);
    channels_.push_back({readInt32(b, at), readFloat64(b, at + 4), readFloat64(b, at + 12), {}});
  }
  dataOffset_ = tail + TAIL_SIZE;
  rows_ = std::make_unique<RowReader>(std::move(sample), dataOffset_, channels_.size());
  rowCount_ = rows_->rowCount(&partialRowBytes_);
  description_ = std::move(description);
  parser_ = std::make_unique<DescriptionParser>(&channels_, &markers_);
  descriptionRead_ = 0;
  readDescription();
  return RecordingProblem::NONE;
}

void RecordingFile::readDescription() {
  if (!description_ && !descriptionPath_.empty()) {
    auto file = std::make_unique<FileSource>();
    if (file->open(descriptionPath_)) description_ = std::move(file);
  }
  if (!description_) {
    descriptionState_ = DescriptionState::MISSING;
    return;
  }
  const int64_t size = description_->size();
  if (size < 0) return;
  if (static_cast<uint64_t>(size) < descriptionRead_) {  // written anew: read it again
    for (auto& ch : channels_) ch.name.clear();
    markers_.clear();
    parser_ = std::make_unique<DescriptionParser>(&channels_, &markers_);
    descriptionRead_ = 0;
  }
  std::string piece(DESCRIPTION_PIECE, '\0');
  while (descriptionRead_ < static_cast<uint64_t>(size)) {
    const size_t got = description_->readAt(descriptionRead_, piece.data(), piece.size());
    if (got == 0) break;
    parser_->feed(piece.data(), got);
    descriptionRead_ += got;
  }
  char end[CLOSING_SIZE] = {};
  const bool closed = size >= static_cast<int64_t>(CLOSING_SIZE) &&
                      description_->readAt(static_cast<uint64_t>(size) - CLOSING_SIZE, end, CLOSING_SIZE) ==
                          CLOSING_SIZE &&
                      std::memcmp(end, CLOSING, CLOSING_SIZE) == 0;
  descriptionState_ = closed ? DescriptionState::COMPLETE : DescriptionState::INTERRUPTED;
}

bool RecordingFile::refresh() {
  if (!rows_) return false;
  const uint64_t rowsBefore = rowCount_;
  const uint32_t partialBefore = partialRowBytes_;
  const size_t markersBefore = markers_.size();
  const DescriptionState stateBefore = descriptionState_;
  rowCount_ = rows_->rowCount(&partialRowBytes_);
  readDescription();
  return rowCount_ != rowsBefore || partialRowBytes_ != partialBefore || markers_.size() != markersBefore ||
         descriptionState_ != stateBefore;
}

std::unique_ptr<RowReader> RecordingFile::openRows() const {
  auto file = std::make_unique<FileSource>();
  if (samplePath_.empty() || !file->open(samplePath_)) return nullptr;
  return std::make_unique<RowReader>(std::move(file), dataOffset_, channels_.size());
}

std::vector<std::string> RecordingFile::warnings() const {
  std::vector<std::string> out;
  char text[200];
  if (partialRowBytes_) {
    std::snprintf(text, sizeof text,
                  "sample file ends with a partial row (%u of %zu bytes), ignored: interrupted recording",
                  partialRowBytes_, rowBytes());
    out.push_back(text);
  }
  if (descriptionState_ == DescriptionState::MISSING) {
    out.push_back("no description " + descriptionPath_ + ": channel names left empty, no markers");
    return out;
  }
  if (descriptionState_ == DescriptionState::INTERRUPTED)
    out.push_back("description has no closing part: interrupted recording");
  if (const int line = descriptionDamagedLine()) {
    std::snprintf(text, sizeof text, "description is damaged from line %d: names and markers may be wrong", line);
    out.push_back(text);
  }
  return out;
}
