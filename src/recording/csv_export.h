// A recording as CSV text: UTF-8 with a byte-order mark, RFC 4180 quoting,
// CR LF line ends. Columns: time_s, then "<number>:<name>" per channel. Used
// by skalenor-export and by the viewer's export of a span. Written in pieces:
// memory does not grow with the recording.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "recording/recording_format.h"
#include "recording/recording_reader.h"

struct CsvOptions {
  char delimiter = ',';
  bool decimalComma = false;
  bool markers = false;  // add the marker table after a blank line
};

// One field, quoted as RFC 4180 asks when it holds the delimiter, a quote or
// a line end (the event log's lines use it too).
void appendCsvField(std::string& out, std::string_view text, char delimiter);

// Text to a stdio file (the export tool's output, the viewer's export).
class FileTextSink final : public TextSink {
 public:
  explicit FileTextSink(FILE* file) : file_(file) {}
  bool put(const char* text, size_t size) override { return std::fwrite(text, 1, size, file_) == size; }

 private:
  FILE* file_;
};

// Rows first .. first + count - 1 (those the file holds) of the recording,
// read through rows, then the marker table when asked. progress, when given,
// hears the rows written after each piece and stops the export by returning
// false. False when a write failed or the export was stopped.
bool writeCsv(const RecordingFile& recording, RowReader& rows, uint64_t first, uint64_t count,
              const CsvOptions& options, TextSink& out, const std::function<bool(uint64_t)>& progress = {});
