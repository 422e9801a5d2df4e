#include "viewer/recording_summary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

double SpanFigures::rms() const { return count ? std::sqrt(squares / static_cast<double>(count)) : 0.0; }

RecordingSummary::RecordingSummary(size_t columns, uint64_t expectedRows, size_t budgetBytes)
    : columns_(columns), budget_(budgetBytes) {
  while (bytesFor(expectedRows, base_) > budget_ && base_ < (uint64_t{1} << 40)) base_ *= 2;
  for (int level = 0; level < LEVELS; ++level)
    levels_[level].reserve(static_cast<size_t>((expectedRows + blockRows(level) - 1) / blockRows(level)) * columns_);
  const size_t stats = static_cast<size_t>((expectedRows + blockRows(1) - 1) / blockRows(1)) * columns_;
  sums_.reserve(stats);
  squares_.reserve(stats);
  counts_.reserve(stats);
}

size_t RecordingSummary::bytesFor(uint64_t rows, uint64_t base) const {
  uint64_t total = 0;
  for (int level = 0; level < LEVELS; ++level) {
    const uint64_t b = base << (3 * level);
    total += (rows + b - 1) / b * columns_ * sizeof(MinMax);
  }
  const uint64_t stats = (rows + base * LEVEL_FACTOR - 1) / (base * LEVEL_FACTOR);
  total += stats * columns_ * (2 * sizeof(double) + sizeof(uint32_t));
  return static_cast<size_t>(total);
}

size_t RecordingSummary::bytes() const {
  size_t total = 0;
  for (const auto& level : levels_) total += level.capacity() * sizeof(MinMax);
  return total + sums_.capacity() * sizeof(double) + squares_.capacity() * sizeof(double) +
         counts_.capacity() * sizeof(uint32_t);
}

SpanFigures RecordingSummary::figures(size_t block, size_t column) const {
  SpanFigures f;
  const size_t at = block * columns_ + column;
  f.range = levels_[1][at];
  f.sum = sums_[at];
  f.squares = squares_[at];
  f.count = counts_[at];
  return f;
}

namespace {

constexpr size_t SUM_GROUP = 8;  // rows summed in float before the sums go on in double
constexpr size_t VECTORS = 2;    // columns taken together: this many vectors of 4 (their figures stay in registers)

// Four floats and two doubles worked on at once (the compiler's vector
// extension: SSE2 on x86).
typedef float Four __attribute__((vector_size(16)));
typedef double Two __attribute__((vector_size(16)));
typedef int FourInts __attribute__((vector_size(16)));
constexpr size_t FOUR = 4;
template <typename V, typename T>
V load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename V, typename T>
void store(T* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

// A group whose float sum is no number in some column holds a NaN there (or
// infinities of both signs): that column's rows are added again one by one,
// leaving NaN out. Columns that are numbers take their group sums.
void addGroupByValue(const float* rows, size_t stride, size_t group, size_t width, const float* s, const float* q,
                     double* sums, double* squares, uint32_t* counts) {
  for (size_t k = 0; k < width; ++k) {
    if (s[k] == s[k] && q[k] == q[k]) {
      sums[k] += s[k];
      squares[k] += q[k];
      continue;
    }
    for (size_t r = 0; r < group; ++r) {
      const float v = rows[r * stride + k];
      if (v != v) {
        --counts[k];
        continue;
      }
      sums[k] += v;
      squares[k] += static_cast<double>(v) * v;
    }
  }
}

// Rows (stride values apart) of V * 4 columns into their minimum, maximum and
// sums. The sums run in float over a few rows at a time, then in double:
// fast, and within a few units of the float's last digit.
template <size_t V>
void accumulate(const float* rows, size_t stride, size_t count, MinMax* block, double* sums, double* squares,
                uint32_t* counts) {
  constexpr size_t W = V * FOUR;
  float low[W], high[W];
  for (size_t k = 0; k < W; ++k) low[k] = block[k].min, high[k] = block[k].max;
  Four lowV[V], highV[V];
  Two sumV[2 * V], squaresV[2 * V];
  for (size_t v = 0; v < V; ++v) {
    lowV[v] = load<Four>(low + v * FOUR);
    highV[v] = load<Four>(high + v * FOUR);
  }
  for (size_t h = 0; h < 2 * V; ++h) {
    sumV[h] = load<Two>(sums + 2 * h);
    squaresV[h] = load<Two>(squares + 2 * h);
  }
  for (size_t r0 = 0; r0 < count; r0 += SUM_GROUP) {
    const size_t group = std::min(SUM_GROUP, count - r0);
    Four s[V] = {}, q[V] = {};
    for (size_t r = r0; r < r0 + group; ++r)
      for (size_t v = 0; v < V; ++v) {
        const Four x = load<Four>(rows + r * stride + v * FOUR);
        lowV[v] = x < lowV[v] ? x : lowV[v];
        highV[v] = x > highV[v] ? x : highV[v];
        s[v] += x;
        q[v] += x * x;
      }
    FourInts bad = {};
    for (size_t v = 0; v < V; ++v) bad |= (s[v] != s[v]) | (q[v] != q[v]);
    if (!(bad[0] | bad[1] | bad[2] | bad[3])) {
      for (size_t v = 0; v < V; ++v) {
        sumV[2 * v] += Two{s[v][0], s[v][1]};
        sumV[2 * v + 1] += Two{s[v][2], s[v][3]};
        squaresV[2 * v] += Two{q[v][0], q[v][1]};
        squaresV[2 * v + 1] += Two{q[v][2], q[v][3]};
      }
      continue;
    }
    float sText[W], qText[W];
    std::memcpy(sText, s, sizeof sText);
    std::memcpy(qText, q, sizeof qText);
    for (size_t h = 0; h < 2 * V; ++h) store(sums + 2 * h, sumV[h]), store(squares + 2 * h, squaresV[h]);
    addGroupByValue(rows + r0 * stride, stride, group, W, sText, qText, sums, squares, counts);
    for (size_t h = 0; h < 2 * V; ++h) sumV[h] = load<Two>(sums + 2 * h), squaresV[h] = load<Two>(squares + 2 * h);
  }
  for (size_t h = 0; h < 2 * V; ++h) store(sums + 2 * h, sumV[h]), store(squares + 2 * h, squaresV[h]);
  for (size_t v = 0; v < V; ++v) {
    store(low + v * FOUR, lowV[v]);
    store(high + v * FOUR, highV[v]);
  }
  for (size_t k = 0; k < W; ++k) {
    block[k] = {low[k], high[k]};
    counts[k] += static_cast<uint32_t>(count);
  }
}

// Columns that do not fill a vector, one at a time.
void accumulateOne(const float* rows, size_t stride, size_t count, MinMax* block, double* sums, double* squares,
                   uint32_t* counts) {
  *counts += static_cast<uint32_t>(count);
  for (size_t r0 = 0; r0 < count; r0 += SUM_GROUP) {
    const size_t group = std::min(SUM_GROUP, count - r0);
    float s = 0.0f, q = 0.0f;
    for (size_t r = r0; r < r0 + group; ++r) {
      const float x = rows[r * stride];
      block->add(x);
      s += x;
      q += x * x;
    }
    addGroupByValue(rows + r0 * stride, stride, group, 1, &s, &q, sums, squares, counts);
  }
}

}  // namespace

void RecordingSummary::add(const float* rows, size_t count) {
  const size_t firstBlock = static_cast<size_t>(rows_ / base_);
  const uint64_t statsRows = base_ * LEVEL_FACTOR;
  std::vector<MinMax>& finest = levels_[0];
  while (count > 0) {
    // One stretch of rows inside one finest block.
    if (rows_ % base_ == 0) finest.resize(finest.size() + columns_);
    if (rows_ % statsRows == 0) {
      sums_.resize(sums_.size() + columns_);
      squares_.resize(squares_.size() + columns_);
      counts_.resize(counts_.size() + columns_);
    }
    const size_t stretch = static_cast<size_t>(std::min<uint64_t>(count, base_ - rows_ % base_));
    MinMax* block = &finest[finest.size() - columns_];
    const size_t s = sums_.size() - columns_;
    size_t c = 0;
    for (; c + VECTORS * FOUR <= columns_; c += VECTORS * FOUR)
      accumulate<VECTORS>(rows + c, columns_, stretch, block + c, &sums_[s + c], &squares_[s + c], &counts_[s + c]);
    for (; c + FOUR <= columns_; c += FOUR)
      accumulate<1>(rows + c, columns_, stretch, block + c, &sums_[s + c], &squares_[s + c], &counts_[s + c]);
    for (; c < columns_; ++c)
      accumulateOne(rows + c, columns_, stretch, block + c, &sums_[s + c], &squares_[s + c], &counts_[s + c]);
    rows += stretch * columns_;
    rows_ += stretch;
    count -= stretch;
  }
  if (bytesFor(rows_, base_) > budget_) {
    coarsen();
    rebuildUpperLevels(0);
  } else {
    rebuildUpperLevels(firstBlock);
  }
}

// Doubles the finest block: pairs of blocks joined, and pairs of statistics.
void RecordingSummary::coarsen() {
  while (bytesFor(rows_, base_) > budget_) {
    std::vector<MinMax>& finest = levels_[0];
    const size_t blocks = finest.size() / columns_;
    for (size_t b = 0; b < blocks; b += 2)
      for (size_t c = 0; c < columns_; ++c) {
        MinMax m = finest[b * columns_ + c];
        if (b + 1 < blocks) m.add(finest[(b + 1) * columns_ + c]);
        finest[b / 2 * columns_ + c] = m;
      }
    finest.resize((blocks + 1) / 2 * columns_);
    finest.shrink_to_fit();
    const size_t stats = sums_.size() / columns_;
    for (size_t b = 0; b < stats; b += 2)
      for (size_t c = 0; c < columns_; ++c) {
        const size_t to = b / 2 * columns_ + c, from = b * columns_ + c, next = (b + 1) * columns_ + c;
        const bool pair = b + 1 < stats;
        sums_[to] = sums_[from] + (pair ? sums_[next] : 0.0);
        squares_[to] = squares_[from] + (pair ? squares_[next] : 0.0);
        counts_[to] = counts_[from] + (pair ? counts_[next] : 0u);
      }
    for (auto* v : {&sums_, &squares_}) {
      v->resize((stats + 1) / 2 * columns_);
      v->shrink_to_fit();
    }
    counts_.resize((stats + 1) / 2 * columns_);
    counts_.shrink_to_fit();
    base_ *= 2;
  }
}

// Levels 1 and up from the finest, from the blocks over fromLevel0Block on.
void RecordingSummary::rebuildUpperLevels(size_t fromLevel0Block) {
  size_t from = fromLevel0Block;
  for (int level = 1; level < LEVELS; ++level) {
    const std::vector<MinMax>& below = levels_[level - 1];
    std::vector<MinMax>& here = levels_[level];
    const size_t belowBlocks = below.size() / columns_;
    const size_t blocks = (belowBlocks + LEVEL_FACTOR - 1) / LEVEL_FACTOR;
    from /= LEVEL_FACTOR;
    here.resize(blocks * columns_);
    for (size_t b = from; b < blocks; ++b) {
      MinMax* out = &here[b * columns_];
      for (size_t c = 0; c < columns_; ++c) out[c] = MinMax{};
      for (size_t k = b * LEVEL_FACTOR; k < belowBlocks && k < (b + 1) * LEVEL_FACTOR; ++k)
        for (size_t c = 0; c < columns_; ++c) out[c].add(below[k * columns_ + c]);
    }
  }
}
