#include "recording/csv_export.h"

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t OUT_PIECE = 1 << 20;
constexpr size_t IN_PIECE = 1 << 20;
constexpr size_t LONGEST_NUMBER = 40;  // a float, a double or a time, with quotes

// The text goes out through the sink in pieces of about OUT_PIECE bytes.
class CsvWriter {
 public:
  CsvWriter(const CsvOptions& options, TextSink& sink) : options_(options), sink_(sink) { buffer_.reserve(OUT_PIECE + 4096); }

  void field(const std::string& text) {
    separate();
    appendCsvField(buffer_, text, options_.delimiter);
    spill();
  }

  // A number formatted straight into the buffer: shortest text that reads
  // back to the same float or double, or a time with 12 significant digits.
  template <typename T>
  void number(T value) {
    separate();
    const size_t at = buffer_.size();
    buffer_.resize(at + LONGEST_NUMBER);
    char* first = buffer_.data() + at + 1;  // room for an opening quote
    char* last = buffer_.data() + buffer_.size() - 1;
    std::to_chars_result r;
    if constexpr (std::is_same_v<T, double>)
      r = timeDigits_ ? std::to_chars(first, last, value, std::chars_format::general, 12)
                      : std::to_chars(first, last, value);
    else
      r = std::to_chars(first, last, value);
    bool quote = false;
    for (char* c = first; c < r.ptr; ++c) {
      if (options_.decimalComma && *c == '.') *c = ',';
      quote = quote || *c == options_.delimiter;
    }
    if (quote) {
      first[-1] = '"';
      *r.ptr++ = '"';
      --first;
    }
    const size_t length = static_cast<size_t>(r.ptr - first);
    std::memmove(buffer_.data() + at, first, length);
    buffer_.resize(at + length);
  }
  void time(double seconds) {
    timeDigits_ = true;
    number(seconds);
    timeDigits_ = false;
  }

  void raw(const char* text) { buffer_ += text; }

  void endLine() {
    buffer_ += "\r\n";
    lineStart_ = true;
    spill();
  }
  bool flush() {
    if (ok_ && !buffer_.empty()) ok_ = sink_.put(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok_;
  }
  bool ok() const { return ok_; }

 private:
  void separate() {
    if (!lineStart_) buffer_ += options_.delimiter;
    lineStart_ = false;
  }
  void spill() {
    if (buffer_.size() >= OUT_PIECE) flush();
  }

  const CsvOptions& options_;
  TextSink& sink_;
  std::string buffer_;
  bool lineStart_ = true, ok_ = true, timeDigits_ = false;
};

}  // namespace

void appendCsvField(std::string& out, std::string_view text, char delimiter) {
  const char special[] = {'"', '\r', '\n', delimiter};
  if (text.find_first_of(std::string_view(special, sizeof special)) == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

bool writeCsv(const RecordingFile& recording, RowReader& rows, uint64_t first, uint64_t count,
              const CsvOptions& options, TextSink& out, const std::function<bool(uint64_t)>& progress) {
  CsvWriter csv(options, out);
  csv.raw("\xEF\xBB\xBF");  // UTF-8 byte-order mark, for Excel
  csv.field("time_s");
  for (const auto& ch : recording.channels()) csv.field(std::to_string(ch.number) + ":" + ch.name);
  csv.endLine();

  const size_t columns = rows.columns();
  const size_t pieceRows = columns ? std::max<size_t>(1, IN_PIECE / (4 * columns)) : 0;
  std::vector<float> values(pieceRows * columns);
  const double rowsPerSecond = recording.rowsPerSecond();
  uint64_t written = 0;
  while (pieceRows && written < count && csv.ok()) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(pieceRows, count - written));
    const size_t got = rows.read(first + written, want, values.data());
    for (size_t r = 0; r < got; ++r) {
      // The time without the binary noise of (j + 1) / rows per second.
      csv.time(static_cast<double>(first + written + r + 1) / rowsPerSecond);
      const float* row = values.data() + r * columns;
      for (size_t c = 0; c < columns; ++c) csv.number(row[c]);
      csv.endLine();
    }
    written += got;
    if (got < want) break;
    if (progress && !progress(written)) return false;
  }
  if (options.markers) {
    csv.endLine();
    csv.field("time_s");
    csv.field("type");
    csv.field("output");
    csv.endLine();
    for (const auto& m : recording.markers()) {
      csv.number(m.timePos);
      csv.field(std::to_string(m.typeIndex));
      csv.field(std::to_string(m.number));
      csv.endLine();
    }
  }
  return csv.flush();
}
