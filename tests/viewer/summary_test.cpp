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
#include "viewer/view_model.h"

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
        // Sums run in float over a few rows: within a float's last digits of the values.
        EXPECT_NEAR(figures[c].mean(), want.mean(), 1e-7 * 100);
        EXPECT_NEAR(figures[c].rms(), want.rms(), 1e-7 * 100);
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

namespace {

// A view at the end of a growing recording moves on with it, one scrolled away stays; zooms undo.
TEST(ViewModel, FollowsTheEndOfAGrowingRecording) {
  ViewModel model;
  model.setRowCount(1000);
  EXPECT_EQ(model.view().span, (RowSpan{0, 1000}));
  model.setRowCount(1500);
  EXPECT_EQ(model.view().span, (RowSpan{0, 1500}));  // the whole recording stays whole
  ASSERT_TRUE(model.zoomTime(0.1, 1.0));
  EXPECT_EQ(model.view().span, (RowSpan{1350, 150}));
  model.setRowCount(1600);
  EXPECT_EQ(model.view().span, (RowSpan{1450, 150}));  // at the end: moves on
  model.scrollTime(-1.0);
  model.setRowCount(1700);
  EXPECT_EQ(model.view().span, (RowSpan{1300, 150}));  // scrolled away: stays
  EXPECT_TRUE(model.zoomTo(0.5, 0.5001, 0.25, 0.75));
  EXPECT_EQ(model.view().span.rows, ViewModel::MIN_ROWS);
  EXPECT_DOUBLE_EQ(model.view().bottom, 0.25);
  EXPECT_TRUE(model.undo());
  EXPECT_EQ(model.view().span, (RowSpan{1300, 150}));
  EXPECT_TRUE(model.undo());
  EXPECT_EQ(model.view().span, (RowSpan{0, 1500}));
  EXPECT_FALSE(model.undo());
}

TEST(ViewerTime, StartLabelsAndMarkers) {
  EXPECT_EQ(startSecondOfDay("Z:\\lab\\Data\\261207_101500.qmr"), 36900);
  EXPECT_EQ(startSecondOfDay("notes.qmr"), -1);
  EXPECT_EQ(startSecondOfDay("261207_251500.qmr"), -1);
  // Marker times past the recording's length are clock times (a clock-time recording's).
  EXPECT_TRUE(markersInClockTime({36915, 37000}, 120, 36900));
  EXPECT_FALSE(markersInClockTime({15, 100}, 120, 36900));
  EXPECT_FALSE(markersInClockTime({36915}, 120, -1));
  char text[40];
  timeText(3723.5, false, 0, text, sizeof text);
  EXPECT_STREQ(text, "1:02:03.500");
  timeText(5, true, 86398, text, sizeof text);
  EXPECT_STREQ(text, "00:00:03.000");  // past midnight
  // Labels at round seconds from the start, or at round clock times.
  std::vector<TimeTick> ticks = timeTicks(0, 100, 1000, 70, false, 0);
  ASSERT_EQ(ticks.size(), 11u);
  EXPECT_STREQ(ticks[3].label, "30");
  ticks = timeTicks(0, 60, 600, 70, true, 35995);
  ASSERT_FALSE(ticks.empty());
  EXPECT_DOUBLE_EQ(ticks[0].seconds, 5);
  EXPECT_STREQ(ticks[0].label, "10:00:00");
  ticks = timeTicks(0.95, 1.05, 1000, 70, false, 0);
  ASSERT_FALSE(ticks.empty());
  EXPECT_STREQ(ticks[0].label, "0.95");
}

}  // namespace
