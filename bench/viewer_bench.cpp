// The viewer's arithmetic on a big recording (see viewer-bench.sh, which makes
// one): reading the rows alone against building the summary, in the same run;
// then one 1920-column frame of every trace for the whole recording and for
// ten minutes, the rows of the zoomed view read from the page cache.
//   viewer_bench REC.qmr
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "recording/recording_reader.h"
#include "viewer/recording_summary.h"
#include "viewer/summary_builder.h"
#include "viewer/trace_envelope.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

constexpr size_t PIECE = SummaryBuilder::PIECE_BYTES;
constexpr int COLUMNS = 1920, FRAMES = 40;

double readOnly(RecordingFile& file) {
  FileSource source;
  source.open(file.samplePath());
  std::vector<char> buffer(PIECE);
  const auto t = Clock::now();
  unsigned long long sum = 0;
  for (uint64_t at = file.dataOffset(); const size_t got = source.readAt(at, buffer.data(), buffer.size()); at += got)
    sum += static_cast<unsigned char>(buffer[got - 1]);
  const double s = since(t);
  if (sum == 1) std::puts("");
  return s;
}

// The viewer's builder: rows read on one thread, summarised on another.
double summarise(RecordingFile& file, std::unique_ptr<SummaryBuilder>* out) {
  out->reset();
  const auto t = Clock::now();
  auto builder = std::make_unique<SummaryBuilder>(file.openRows(), file.rowCount());
  builder->wait();
  const double s = since(t);
  *out = std::move(builder);
  return s;
}

// Milliseconds per frame: the columns of every trace, then their strokes.
double frames(const RecordingSummary& summary, RecordingFile& file, RowSpan span, double scrollShare) {
  std::vector<int> channels;
  for (size_t c = 0; c < file.channels().size(); ++c) channels.push_back(static_cast<int>(c));
  TraceEnvelope envelope;
  TraceLines lines;
  size_t strokes = 0;
  const auto t = Clock::now();
  for (int f = 0; f < FRAMES; ++f) {
    traceEnvelope(&summary, file.rows(), file.rowCount(), span, COLUMNS, channels, &envelope);
    for (size_t trace = 0; trace < channels.size(); ++trace) {
      traceLines(envelope, span, trace, channels.size(), -10, 10, 0, 0, 900, &lines);
      strokes += lines.counts.size();
    }
    span.first += scrollShare * span.rows;
  }
  const double ms = since(t) * 1000 / FRAMES;
  std::printf("    level %d, %zu strokes per frame\n", envelope.level, strokes / FRAMES);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: viewer_bench REC.qmr\n", stderr);
    return 2;
  }
  RecordingFile file;
  if (file.open(argv[1]) != RecordingProblem::NONE) {
    std::fprintf(stderr, "viewer_bench: %s is no recording\n", argv[1]);
    return 1;
  }
  const double gb = static_cast<double>(file.rowCount() * file.rowBytes()) / 1e9;
  std::printf("%s: %llu rows of %zu channels, %.2f GB of rows\n", argv[1],
              static_cast<unsigned long long>(file.rowCount()), file.channels().size(), gb);
  readOnly(file);  // into the page cache
  double read = 1e9, build = 1e9;
  std::unique_ptr<SummaryBuilder> builder;
  for (int round = 0; round < 3; ++round) {
    read = std::min(read, readOnly(file));
    build = std::min(build, summarise(file, &builder));
  }
  const RecordingSummary* summary = builder->read([](const RecordingSummary& s) { return &s; });
  std::printf("reading the rows only:  %.3f s (%.2f GB/s)\n", read, gb / read);
  std::printf("building the summary:   %.3f s (%.2f x reading; target at most 2 x)\n", build, build / read);
  std::printf("summary: finest block %llu rows, %.1f MB\n", static_cast<unsigned long long>(summary->blockRows(0)),
              summary->bytes() / 1048576.0);

  const double rows = static_cast<double>(file.rowCount());
  std::printf("whole recording, %d columns:\n", COLUMNS);
  std::printf("    %.3f ms per frame (target at most 5 ms)\n", frames(*summary, file, {0, rows}, 0));
  const double tenMinutes = 600 * file.rowsPerSecond();
  std::printf("ten minutes (%.0f rows), %d columns, scrolled a tenth per frame:\n", tenMinutes, COLUMNS);
  std::printf("    %.3f ms per frame, rows read from the page cache included (target at most 5 ms)\n",
              frames(*summary, file, {rows / 2, tenMinutes}, 0.1));
  std::printf("    %.3f ms per frame the same view again\n", frames(*summary, file, {rows / 2, tenMinutes}, 0));
  // The same frame's arithmetic alone: its rows read once into memory.
  const size_t viewRows = static_cast<size_t>(tenMinutes), columns = file.channels().size();
  std::vector<float> held(viewRows * columns);
  auto t = Clock::now();
  file.rows().read(static_cast<uint64_t>(rows / 2), viewRows, held.data());
  const double readMs = since(t) * 1000;
  RowReader memory(std::make_unique<MemorySource>(held.data(), held.size() * 4), 0, columns);
  std::vector<int> all;
  for (size_t c = 0; c < columns; ++c) all.push_back(static_cast<int>(c));
  TraceEnvelope envelope;
  TraceLines lines;
  t = Clock::now();
  for (int f = 0; f < FRAMES; ++f) {
    traceEnvelope(nullptr, memory, viewRows, {0, tenMinutes}, COLUMNS, all, &envelope);
    for (size_t trace = 0; trace < columns; ++trace)
      traceLines(envelope, {0, tenMinutes}, trace, columns, -10, 10, 0, 0, 900, &lines);
  }
  std::printf("    %.3f ms per frame of arithmetic alone (target at most 5 ms); reading its rows %.3f ms\n",
              since(t) * 1000 / FRAMES, readMs);
  return 0;
}
