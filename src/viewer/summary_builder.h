// Builds a recording's summary in the background: one thread reads the rows
// in pieces while another summarises the piece read before, so the build
// takes little longer than reading the file. The viewer asks how far it has
// got and reads the summary under its lock; a growing file is followed with
// extendTo.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "recording/recording_reader.h"
#include "viewer/recording_summary.h"

class SummaryBuilder {
 public:
  static constexpr size_t PIECE_BYTES = 4u << 20;

  // Starts at once on the first rows of reader (its own handle on the file).
  SummaryBuilder(std::unique_ptr<RowReader> reader, uint64_t rows,
                 size_t budgetBytes = RecordingSummary::DEFAULT_BUDGET);
  ~SummaryBuilder();
  SummaryBuilder(const SummaryBuilder&) = delete;
  SummaryBuilder& operator=(const SummaryBuilder&) = delete;

  // The file holds this many rows now.
  void extendTo(uint64_t rows);
  uint64_t target() const { return target_.load(); }
  uint64_t done() const { return done_.load(); }
  // Waits until every row told of is summarised (or cannot be read).
  void wait();

  // f(const RecordingSummary&) while the summary holds still.
  template <typename F>
  auto read(F&& f) const {
    std::lock_guard<std::mutex> hold(summaryLock_);
    return f(summary_);
  }

 private:
  struct Piece {
    std::vector<float> values;
    size_t rows = 0;
    bool full = false;
  };
  void readRows();
  void summarise();

  std::unique_ptr<RowReader> reader_;
  const size_t pieceRows_;
  mutable std::mutex summaryLock_;
  RecordingSummary summary_;
  std::mutex lock_;  // pieces, stop_, stuck_
  std::condition_variable changed_;
  Piece pieces_[2];
  bool stop_ = false, stuck_ = false;  // stuck: the file gave fewer rows than told
  std::atomic<uint64_t> target_, done_{0};
  std::thread reading_, summarising_;
};
