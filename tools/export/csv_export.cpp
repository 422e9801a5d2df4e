#include "csv_export.h"

#include <charconv>
#include <cstdio>

namespace {

class CsvBuilder {
 public:
  explicit CsvBuilder(const CsvOptions& options) : options_(options) {}

  void field(const std::string& text) {
    if (!lineStart_) out_ += options_.delimiter;
    lineStart_ = false;
    if (text.find_first_of(std::string("\"\r\n") + options_.delimiter) == std::string::npos) {
      out_ += text;
      return;
    }
    out_ += '"';
    for (char c : text) {
      if (c == '"') out_ += '"';
      out_ += c;
    }
    out_ += '"';
  }
  void number(std::string text) {
    if (options_.decimalComma)
      for (char& c : text)
        if (c == '.') c = ',';
    field(text);
  }
  void endLine() {
    out_ += "\r\n";
    lineStart_ = true;
  }
  std::string& text() { return out_; }

 private:
  const CsvOptions& options_;
  std::string out_ = "\xEF\xBB\xBF";
  bool lineStart_ = true;
};

// Seconds of a row: enough digits for microseconds over days, none of the
// binary noise of (j + 1) / rows per second.
std::string formatTime(double seconds) {
  char text[40];
  std::snprintf(text, sizeof text, "%.12g", seconds);
  return text;
}

}  // namespace

std::string formatNumber(float value) {
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, value);
  return std::string(text, r.ptr);
}

std::string formatNumber(double value) {
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, value);
  return std::string(text, r.ptr);
}

std::string formatCsv(const Recording& recording, const CsvOptions& options) {
  CsvBuilder csv(options);
  const size_t columns = recording.channels.size();
  csv.field("time_s");
  for (const auto& ch : recording.channels) csv.field(std::to_string(ch.number) + ":" + ch.name);
  csv.endLine();
  for (size_t j = 0; j < recording.rowCount; ++j) {
    csv.number(formatTime(static_cast<double>(j + 1) / recording.rowsPerSecond));
    for (size_t c = 0; c < columns; ++c) csv.number(formatNumber(recording.values[j * columns + c]));
    csv.endLine();
  }
  if (options.markers) {
    csv.endLine();
    csv.field("time_s");
    csv.field("type");
    csv.field("output");
    csv.endLine();
    for (const auto& m : recording.markers) {
      csv.number(formatNumber(m.timePos));
      csv.field(std::to_string(m.typeIndex));
      csv.field(std::to_string(m.number));
      csv.endLine();
    }
  }
  return std::move(csv.text());
}
