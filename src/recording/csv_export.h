// A recording as CSV text: UTF-8 with a byte-order mark, RFC 4180 quoting,
// CR LF line ends. Columns: time_s, then "<number>:<name>" per channel. Used
// by skalenor-export and by the viewer's export of a span. Written in pieces:
// memory does not grow with the recording.
#pragma once

#include <cstdint>
#include <functional>

#include "recording/recording_format.h"
#include "recording/recording_reader.h"

struct CsvOptions {
  char delimiter = ',';
  bool decimalComma = false;
  bool markers = false;  // add the marker table after a blank line
};

// Rows first .. first + count - 1 (those the file holds) of the recording,
// read through rows, then the marker table when asked. progress, when given,
// hears the rows written after each piece and stops the export by returning
// false. False when a write failed or the export was stopped.
bool writeCsv(const RecordingFile& recording, RowReader& rows, uint64_t first, uint64_t count,
              const CsvOptions& options, TextSink& out, const std::function<bool(uint64_t)>& progress = {});
