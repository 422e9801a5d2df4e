// The event log's line reader on arbitrary bytes: a line that reads must
// write back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "eventlog/event_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  std::string fields[EVENT_FIELD_COUNT];
  if (!parseEventLine(line, fields)) return 0;
  std::string again[EVENT_FIELD_COUNT];
  const std::string written = csvLine(fields);
  if (!parseEventLine(std::string_view(written).substr(0, written.size() - 2), again)) __builtin_trap();
  for (size_t i = 0; i < EVENT_FIELD_COUNT; ++i)
    if (again[i] != fields[i]) __builtin_trap();
  return 0;
}
