#include "eventlog/disk_thread.h"

#include <chrono>

#include "recording/recorder.h"

DiskThread::DiskThread(EventLog& log, Recorder* recorder)
    : log_(log), recorder_(recorder), thread_([this] { run(); }) {}

DiskThread::~DiskThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  woken_.notify_one();
  thread_.join();
}

void DiskThread::wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }  // not between the writer's look at the ring and its sleep
  woken_.notify_one();
}

void DiskThread::run() {
  const auto period = std::chrono::milliseconds(FREE_SPACE_CHECK_MS);
  auto nextCheck = std::chrono::steady_clock::now() + period;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    woken_.wait_until(lock, nextCheck, [this] { return stop_ || log_.pending(); });
    const bool stopping = stop_;
    lock.unlock();
    log_.writePending();
    if (std::chrono::steady_clock::now() >= nextCheck) {
      if (Recorder* recorder = recorder_.load()) recorder->watchFreeSpace();
      nextCheck = std::chrono::steady_clock::now() + period;
    }
    lock.lock();
    if (stopping) return;
  }
}
