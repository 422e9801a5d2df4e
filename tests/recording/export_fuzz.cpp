// The recording reader and the CSV writer on arbitrary bytes: a damaged or
// foreign file must be refused or read, never read past its end; a
// description read in pieces (as it grows) must read as when read whole. And
// the event log's line reader: a line that reads writes back the same.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "eventlog/event_log.h"
#include "recording/csv_export.h"
#include "recording/recording_reader.h"

namespace {

class NullSink final : public TextSink {
 public:
  bool put(const char*, size_t) override { return true; }
};

bool same(const RecordingMarker& a, const RecordingMarker& b) {
  return a.typeIndex == b.typeIndex && a.number == b.number &&
         (a.timePos == b.timePos || (a.timePos != a.timePos && b.timePos != b.timePos));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RecordingFile recording;
  if (recording.open(std::make_unique<MemorySource>(data, size), std::make_unique<MemorySource>(data, size)) ==
      RecordingProblem::NONE) {
    recording.finishDescription();
    recording.refresh();
    recording.warnings();
    CsvOptions options;
    options.markers = true;
    options.decimalComma = size & 1;
    NullSink sink;
    writeCsv(recording, recording.rows(), size % 7, recording.rowCount() + 3, options, sink);
  }
  // Two channels named by the bytes, read whole and in pieces of a size the bytes choose.
  std::vector<RecordingChannel> whole(2), pieces(2);
  whole[0].number = pieces[0].number = 1;
  whole[1].number = pieces[1].number = 2;
  std::vector<RecordingMarker> wholeMarkers, pieceMarkers;
  DescriptionParser a(&whole, &wholeMarkers), b(&pieces, &pieceMarkers);
  a.feed(reinterpret_cast<const char*>(data), size);
  const size_t step = size ? 1 + data[0] % 17 : 1;
  for (size_t at = 0; at < size; at += step)
    b.feed(reinterpret_cast<const char*>(data) + at, std::min(step, size - at));
  a.finish();
  b.finish();
  if (a.damagedLine() != b.damagedLine() || whole[0].name != pieces[0].name || whole[1].name != pieces[1].name ||
      !std::equal(wholeMarkers.begin(), wholeMarkers.end(), pieceMarkers.begin(), pieceMarkers.end(), same))
    std::abort();

  std::string fields[EVENT_FIELD_COUNT], again[EVENT_FIELD_COUNT];
  if (parseEventLine(std::string_view(reinterpret_cast<const char*>(data), size), fields)) {
    const std::string line = csvLine(fields);
    if (!parseEventLine(std::string_view(line).substr(0, line.size() - 2), again) ||
        !std::equal(fields, fields + EVENT_FIELD_COUNT, again))
      std::abort();
  }
  return 0;
}
