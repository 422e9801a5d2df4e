#include "viewer/trace_envelope.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t READ_PIECE_BYTES = 1 << 20;
constexpr double RAW_ROWS_PER_PICTURE = 1 << 20;

size_t pieceRows(const RowReader& reader) { return std::max<size_t>(1, READ_PIECE_BYTES / (4 * reader.columns() + 1)); }

// Calls take(row, values) for rows from .. to - 1, read in pieces.
template <typename Take>
void readRows(RowReader& reader, uint64_t from, uint64_t to, Take take) {
  const size_t piece = pieceRows(reader), width = reader.columns();
  std::vector<float> buffer(piece * width);
  for (uint64_t at = from; at < to;) {
    const size_t got = reader.read(at, static_cast<size_t>(std::min<uint64_t>(piece, to - at)), buffer.data());
    if (got == 0) return;
    for (size_t r = 0; r < got; ++r) take(at + r, buffer.data() + r * width);
    at += got;
  }
}

}  // namespace

int levelFor(const RecordingSummary& summary, double rowsPerColumn) {
  int level = -1;
  for (int l = 0; l < RecordingSummary::LEVELS; ++l)
    if (static_cast<double>(summary.blockRows(l)) <= rowsPerColumn) level = l;
  return level;
}

void traceEnvelope(const RecordingSummary* summary, RowReader& reader, uint64_t fileRows, const RowSpan& span,
                   int columns, const std::vector<int>& channels, TraceEnvelope* out) {
  const size_t traces = channels.size();
  out->columns = columns;
  out->range.assign(traces * static_cast<size_t>(std::max(columns, 0)), MinMax{});
  out->values.clear();
  out->rowCount = 0;
  if (columns <= 0 || fileRows == 0 || !(span.rows > 0)) return;
  const double k = span.rows / columns;
  const double end = span.first + span.rows;

  out->points = k < 1.0;
  if (out->points) {
    // A row before and after the view, so that the lines run to the edges.
    const double from = std::max(0.0, std::floor(span.first) - 1);
    const double to = std::min(static_cast<double>(fileRows), std::ceil(end) + 2);
    out->level = -1;
    out->firstRow = static_cast<uint64_t>(from);
    readRows(reader, out->firstRow, static_cast<uint64_t>(std::max(from, to)), [&](uint64_t, const float* row) {
      for (int c : channels) out->values.push_back(row[c]);
      ++out->rowCount;
    });
    return;
  }

  // The rows themselves where a column holds fewer than the finest block, as long as they are not too many to
  // read for one picture (a huge recording's blocks are long): then its finest level, or nothing yet.
  const uint64_t finest = summary ? summary->blockRows(0) : RecordingSummary::MIN_BLOCK;
  out->level = summary && static_cast<double>(finest) <= k ? levelFor(*summary, k) : -1;
  if (out->level < 0 && span.rows > RAW_ROWS_PER_PICTURE) {
    if (!summary) return;
    out->level = 0;
  }
  const auto columnOf = [&](double position) { return static_cast<long long>(std::floor((position - span.first) / k)); };
  if (out->level < 0) {
    const uint64_t from = static_cast<uint64_t>(std::max(0.0, std::floor(span.first)));
    const uint64_t to = static_cast<uint64_t>(std::min(static_cast<double>(fileRows), std::ceil(end)));
    // Each column's figures gathered together, then stored; the next column starts at a known row.
    std::vector<MinMax> column(traces);
    long long x = -1;
    double nextColumnRow = -1;
    const auto store = [&] {
      if (x >= 0)
        for (size_t t = 0; t < traces; ++t) out->range[t * columns + x] = column[t];
    };
    readRows(reader, from, std::max(from, to), [&](uint64_t j, const float* row) {
      if (static_cast<double>(j) >= nextColumnRow) {
        store();
        x = std::clamp<long long>(columnOf(static_cast<double>(j)), 0, columns - 1);
        nextColumnRow = x + 1 < columns ? std::ceil(span.first + static_cast<double>(x + 1) * k) : INFINITY;
        for (MinMax& m : column) m = MinMax{};
      }
      for (size_t t = 0; t < traces; ++t) column[t].add(row[channels[t]]);
    });
    store();
    return;
  }

  // Each block goes to the column that holds its middle row; blocks are no
  // longer than a column, so every column gets one.
  const uint64_t b = summary->blockRows(out->level);
  const size_t blocks = summary->blockCount(out->level);
  const size_t first = static_cast<size_t>(std::max(0.0, std::floor(span.first / static_cast<double>(b))));
  const size_t last = std::min(blocks, static_cast<size_t>(std::max(0.0, std::ceil(end / static_cast<double>(b)))) + 1);
  for (size_t i = first; i < last; ++i) {
    const uint64_t blockEnd = std::min<uint64_t>((i + 1) * b, summary->rows());
    const long long x = columnOf(static_cast<double>(i * b + blockEnd - 1) / 2);
    if (x < 0 || x >= columns) continue;
    const MinMax* m = summary->block(out->level, i);
    for (size_t t = 0; t < traces; ++t) out->range[t * columns + x].add(m[channels[t]]);
  }
}

bool spanFigures(const RecordingSummary* summary, RowReader& reader, uint64_t first, uint64_t last,
                 uint64_t readLimit, std::vector<SpanFigures>* out) {
  const size_t width = reader.columns();
  out->assign(width, SpanFigures{});
  if (last < first) return true;
  // Whole level-1 blocks inside the span and inside what the summary holds.
  const uint64_t s = summary ? summary->blockRows(1) : 1;
  const uint64_t complete = summary ? summary->rows() / s : 0;
  const uint64_t firstBlock = (first + s - 1) / s;
  const uint64_t endBlock = std::min((last + 1) / s, complete);
  const bool blocks = summary && firstBlock < endBlock;
  const uint64_t readA = blocks ? firstBlock * s : last + 1, readB = blocks ? endBlock * s : last + 1;
  if ((readA - first) + (last + 1 - readB) > readLimit) return false;
  if (blocks)
    for (uint64_t i = firstBlock; i < endBlock; ++i)
      for (size_t c = 0; c < width; ++c) {
        const SpanFigures f = summary->figures(static_cast<size_t>(i), c);
        SpanFigures& o = (*out)[c];
        o.range.add(f.range);
        o.sum += f.sum;
        o.squares += f.squares;
        o.count += f.count;
      }
  const auto take = [&](uint64_t, const float* row) {
    for (size_t c = 0; c < width; ++c) (*out)[c].add(row[c]);
  };
  readRows(reader, first, readA, take);
  if (blocks) readRows(reader, readB, last + 1, take);
  return true;
}

void traceLines(const TraceEnvelope& e, const RowSpan& span, size_t trace, size_t traces, double low, double high,
                int left, int top, int bottom, TraceLines* out) {
  out->points.clear();
  out->counts.clear();
  const double scale = high != low ? (bottom - top) / (high - low) : 0.0;
  const auto rowOf = [&](double v) {
    const double y = high != low ? bottom - (v - low) * scale : (top + bottom) / 2.0;
    return static_cast<int>(std::clamp(std::floor(y), top - 2.0, bottom + 2.0));
  };
  if (e.points) {
    const double k = span.rows / std::max(e.columns, 1);
    unsigned long run = 0;
    for (size_t r = 0; r < e.rowCount; ++r) {
      const float v = e.values[r * traces + trace];
      if (v != v) {
        if (run) out->counts.push_back(run);
        run = 0;
        continue;
      }
      const double x = (static_cast<double>(e.firstRow + r) - span.first) / k;
      out->points.push_back({left + static_cast<int>(std::floor(std::clamp(x, -4.0, e.columns + 4.0))), rowOf(v)});
      ++run;
    }
    if (run) out->counts.push_back(run);
    return;
  }
  bool joined = false;
  int previousTop = 0, previousBottom = 0;
  for (int x = 0; x < e.columns; ++x) {
    const MinMax& m = e.range[trace * e.columns + x];
    if (m.empty()) {
      joined = false;
      continue;
    }
    int a = rowOf(m.max), b = rowOf(m.min);
    if (joined) {
      a = std::min(a, previousBottom);
      b = std::max(b, previousTop);
    }
    previousTop = rowOf(m.max);
    previousBottom = rowOf(m.min);
    out->points.push_back({left + x, a});
    out->points.push_back({left + x, b + 1});  // the last point of a line is not drawn
    out->counts.push_back(2);
    joined = true;
  }
}
