// The summary and the span figures against brute force over random rows: odd
// counts (a last partial block at every level), rows added in odd pieces,
// blocks doubled when a growing recording outgrows the memory budget, NaN
// values left out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "viewer/trace_envelope.h"

namespace {

struct Rows {
  size_t columns;
  std::vector<float> values;
  size_t count() const { return values.size() / columns; }
  float at(size_t row, size_t c) const { return values[row * columns + c]; }
};

Rows randomRows(std::mt19937& random, size_t columns, size_t count) {
  std::uniform_real_distribution<float> value(-100, 100);
  Rows r{columns, {}};
  for (size_t i = 0; i < columns * count; ++i)
    r.values.push_back(random() % 97 == 0 ? std::numeric_limits<float>::quiet_NaN() : value(random));
  return r;
}

SpanFigures bruteForce(const Rows& rows, size_t c, uint64_t first, uint64_t last) {
  SpanFigures f;
  for (uint64_t j = first; j <= last && j < rows.count(); ++j) f.add(rows.at(j, c));
  return f;
}

void expectSame(const MinMax& got, const SpanFigures& want) {
  EXPECT_EQ(got.empty(), want.count == 0);
  if (!want.count) return;
  EXPECT_EQ(got.min, want.range.min);
  EXPECT_EQ(got.max, want.range.max);
}

TEST(Summary, EveryLevelAndSpanAgainstBruteForce) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 12; ++round) {
    const size_t columns = 1 + random() % 5, count = 1 + random() % 30000;
    SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(count) + " rows of " +
                 std::to_string(columns));
    const Rows rows = randomRows(random, columns, count);
    // Some rounds expect the rows from the start, others grow past a small budget.
    const bool grows = round % 2;
    RecordingSummary summary(columns, grows ? count / 20 : count, grows ? 4096 : RecordingSummary::DEFAULT_BUDGET);
    for (size_t at = 0; at < count;) {
      const size_t piece = std::min<size_t>(count - at, 1 + random() % 700);
      summary.add(rows.values.data() + at * columns, piece);
      at += piece;
    }
    ASSERT_EQ(summary.rows(), count);
    if (grows) EXPECT_LE(summary.bytes(), 3 * 4096u);  // within the budget (vectors' spare capacity aside)
    for (int level = 0; level < RecordingSummary::LEVELS; ++level) {
      const uint64_t b = summary.blockRows(level);
      ASSERT_EQ(summary.blockCount(level), (count + b - 1) / b);
      for (size_t i = 0; i < summary.blockCount(level); ++i)
        for (size_t c = 0; c < columns; ++c) expectSame(summary.block(level, i)[c], bruteForce(rows, c, i * b, (i + 1) * b - 1));
    }

    // Figures over random spans: whole blocks from the summary, the ends read.
    std::string bytes(reinterpret_cast<const char*>(rows.values.data()), rows.values.size() * 4);
    RowReader reader(std::make_unique<MemorySource>(bytes.data(), bytes.size()), 0, columns);
    for (int span = 0; span < 20; ++span) {
      uint64_t first = random() % count, last = random() % count;
      if (first > last) std::swap(first, last);
      std::vector<SpanFigures> figures;
      ASSERT_TRUE(spanFigures(&summary, reader, first, last, 3 * summary.blockRows(1), &figures));
      for (size_t c = 0; c < columns; ++c) {
        const SpanFigures want = bruteForce(rows, c, first, last);
        expectSame(figures[c].range, want);
        ASSERT_EQ(figures[c].count, want.count);
        EXPECT_NEAR(figures[c].mean(), want.mean(), 1e-9 * 100);
        EXPECT_NEAR(figures[c].rms(), want.rms(), 1e-9 * 100);
      }
    }
    // Without a summary only a short span is read.
    std::vector<SpanFigures> figures;
    EXPECT_FALSE(spanFigures(nullptr, reader, 0, count - 1, count - 1, &figures));
    EXPECT_TRUE(spanFigures(nullptr, reader, 0, count - 1, count, &figures));
    EXPECT_EQ(figures[0].count, bruteForce(rows, 0, 0, count - 1).count);
  }
}

}  // namespace
