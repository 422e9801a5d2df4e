#include "viewer/summary_builder.h"

#include <algorithm>

SummaryBuilder::SummaryBuilder(std::unique_ptr<RowReader> reader, uint64_t rows, size_t budgetBytes)
    : reader_(std::move(reader)),
      pieceRows_(std::max<size_t>(1, PIECE_BYTES / (4 * reader_->columns() + 1))),
      summary_(reader_->columns(), rows, budgetBytes),
      target_(rows) {
  for (Piece& p : pieces_) p.values.resize(pieceRows_ * reader_->columns());
  reading_ = std::thread(&SummaryBuilder::readRows, this);
  summarising_ = std::thread(&SummaryBuilder::summarise, this);
}

SummaryBuilder::~SummaryBuilder() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  changed_.notify_all();
  reading_.join();
  summarising_.join();
}

void SummaryBuilder::extendTo(uint64_t rows) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (rows <= target_.load()) return;
    target_ = rows;
    stuck_ = false;
  }
  changed_.notify_all();
}

void SummaryBuilder::wait() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [&] {
    return stop_ || done_.load() >= target_.load() || (stuck_ && !pieces_[0].full && !pieces_[1].full);
  });
}

// Fills the two pieces in turn, each while the other is being summarised.
void SummaryBuilder::readRows() {
  uint64_t next = 0;
  for (int slot = 0;; slot ^= 1) {
    Piece& piece = pieces_[slot];
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [&] { return stop_ || (!piece.full && !stuck_ && next < target_.load()); });
      if (stop_) return;
    }
    const size_t want = static_cast<size_t>(std::min<uint64_t>(pieceRows_, target_.load() - next));
    const size_t got = reader_->read(next, want, piece.values.data());
    {
      std::lock_guard<std::mutex> hold(lock_);
      piece.rows = got;
      piece.full = got > 0;
      stuck_ = got < want;  // until the file is told to have grown again
    }
    changed_.notify_all();
    next += got;
    if (got == 0) slot ^= 1;  // the same slot again
  }
}

void SummaryBuilder::summarise() {
  for (int slot = 0;; slot ^= 1) {
    Piece& piece = pieces_[slot];
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [&] { return stop_ || piece.full; });
      if (stop_) return;
    }
    {
      std::lock_guard<std::mutex> hold(summaryLock_);
      summary_.add(piece.values.data(), piece.rows);
    }
    {
      std::lock_guard<std::mutex> hold(lock_);
      done_ += piece.rows;
      piece.full = false;
    }
    changed_.notify_all();
  }
}
