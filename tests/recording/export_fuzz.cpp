// The export tool's reader and CSV writer on arbitrary bytes: a damaged or
// foreign file must be refused or read, never read past its end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "csv_export.h"
#include "recording_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Recording recording;
  std::string error;
  if (parseSampleFile(bytes, &recording, &error)) {
    parseDescription(bytes, &recording);
    CsvOptions options;
    options.markers = true;
    options.decimalComma = size & 1;
    formatCsv(recording, options);
  } else {
    Recording names;
    names.channels.resize(2);
    names.channels[0].number = 1;
    names.channels[1].number = 2;
    parseDescription(bytes, &names);
  }
  return 0;
}
