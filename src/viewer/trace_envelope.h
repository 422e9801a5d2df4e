// What the traces of a view show in each pixel column, and the figures of a
// span of rows, from the summary where it reaches and from the rows
// themselves where it does not (or where a column holds fewer rows than the
// finest block).
#pragma once

#include <cstdint>
#include <vector>

#include "recording/recording_reader.h"
#include "viewer/recording_summary.h"

// Rows in view: row positions first .. first + rows. Row j stands at position
// j; pixel column x (of columns) shows positions first + x k .. first + (x + 1) k
// with k = rows / columns.
struct RowSpan {
  double first = 0.0;
  double rows = 1.0;
  bool operator==(const RowSpan&) const = default;
};

struct TraceEnvelope {
  int columns = 0;
  int level = -1;        // the summary level drawn from; -1: the rows themselves
  bool points = false;   // fewer rows than columns: a line through each row
  std::vector<MinMax> range;  // columns mode: [trace * columns + x]; empty where nothing is known
  uint64_t firstRow = 0;      // points mode: rows firstRow .. firstRow + rowCount - 1
  size_t rowCount = 0;
  std::vector<float> values;  // points mode: [row * traces + trace]
};

// The coarsest level whose blocks are no longer than a column; -1 when even
// the finest is longer.
int levelFor(const RecordingSummary& summary, double rowsPerColumn);

// The columns of the chosen channels (row columns) over span, for fileRows
// rows in the file. The summary (null: none yet) is used as far as it
// reaches; rows are read through reader where needed.
void traceEnvelope(const RecordingSummary* summary, RowReader& reader, uint64_t fileRows, const RowSpan& span,
                   int columns, const std::vector<int>& channels, TraceEnvelope* out);

// Every channel's figures over rows first .. last (inclusive): whole blocks of
// level 1 from the summary, the rest read. False, with nothing read, when
// more than readLimit rows would have to be read (the summary has not got so
// far yet).
bool spanFigures(const RecordingSummary* summary, RowReader& reader, uint64_t first, uint64_t last,
                 uint64_t readLimit, std::vector<SpanFigures>* out);

// A trace's lines in pixels: pairs of points (a stroke per column from its
// highest to its lowest value, lengthened to meet its neighbours), or in
// points mode one polyline per run of numbers. Values low .. high span the
// rows bottom .. top; lines beyond are clipped by the caller.
struct LinePoint {
  int x, y;
};
struct TraceLines {
  std::vector<LinePoint> points;
  std::vector<unsigned long> counts;  // points per polyline (2 per stroke)
};
void traceLines(const TraceEnvelope& envelope, const RowSpan& span, size_t trace, size_t traces, double low,
                double high, int left, int top, int bottom, TraceLines* out);
