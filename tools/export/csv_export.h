// A recording as CSV text: UTF-8 with a byte-order mark, RFC 4180 quoting,
// CR LF line ends. Columns: time_s, then "<number>:<name>" per channel.
#pragma once

#include <string>

#include "recording_reader.h"

struct CsvOptions {
  char delimiter = ',';
  bool decimalComma = false;
  bool markers = false;  // add the marker table after a blank line
};

std::string formatCsv(const Recording& recording, const CsvOptions& options);

// Shortest text that reads back to the same float / double.
std::string formatNumber(float value);
std::string formatNumber(double value);
