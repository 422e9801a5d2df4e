// The minimum and maximum of every channel per block of rows, at a few levels
// (each level's blocks join LEVEL_FACTOR blocks of the level below), and per
// block of level 1 the sum, the sum of squares and the count of values. A view
// of any zoom draws from the coarsest level that still gives a block per pixel
// column; the statistics of a span add up whole blocks and read only its ends.
//
// The finest block is a power of two of at least MIN_BLOCK rows, chosen so
// that everything held stays within a memory budget whatever the length of the
// recording; when a growing recording outgrows it the blocks double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

struct MinMax {
  float min = std::numeric_limits<float>::infinity();
  float max = -std::numeric_limits<float>::infinity();
  bool empty() const { return !(min <= max); }  // no value, or only NaN
  void add(float v) {
    min = v < min ? v : min;
    max = v > max ? v : max;
  }
  void add(const MinMax& o) {
    min = o.min < min ? o.min : min;
    max = o.max > max ? o.max : max;
  }
};

// NaN values are left out of every figure.
struct SpanFigures {
  MinMax range;
  double sum = 0.0, squares = 0.0;
  uint64_t count = 0;
  void add(float v) {
    if (v != v) return;
    range.add(v);
    sum += v;
    squares += static_cast<double>(v) * v;
    ++count;
  }
  double mean() const { return count ? sum / static_cast<double>(count) : 0.0; }
  double rms() const;
};

class RecordingSummary {
 public:
  static constexpr int LEVELS = 4;
  static constexpr uint64_t LEVEL_FACTOR = 8;
  static constexpr uint64_t MIN_BLOCK = 16;
  static constexpr size_t DEFAULT_BUDGET = 64u << 20;

  // columns values per row; expectedRows: the rows the file holds now.
  RecordingSummary(size_t columns, uint64_t expectedRows, size_t budgetBytes = DEFAULT_BUDGET);

  // Takes the next count rows (count * columns values).
  void add(const float* rows, size_t count);

  size_t columns() const { return columns_; }
  uint64_t rows() const { return rows_; }
  uint64_t blockRows(int level) const { return base_ << (3 * level); }
  // Blocks of a level, the last one possibly partial.
  size_t blockCount(int level) const {
    return static_cast<size_t>((rows_ + blockRows(level) - 1) / blockRows(level));
  }
  // The columns entries of one block.
  const MinMax* block(int level, size_t index) const { return &levels_[level][index * columns_]; }
  // Figures of one channel over one block of level 1.
  SpanFigures figures(size_t block, size_t column) const;
  // Memory held by the summary.
  size_t bytes() const;

 private:
  size_t bytesFor(uint64_t rows, uint64_t base) const;
  void coarsen();
  void rebuildUpperLevels(size_t fromLevel0Block);

  size_t columns_;
  size_t budget_;
  uint64_t base_ = MIN_BLOCK;
  uint64_t rows_ = 0;
  std::vector<MinMax> levels_[LEVELS];
  std::vector<double> sums_, squares_;  // per level-1 block and column
  std::vector<uint32_t> counts_;
};
