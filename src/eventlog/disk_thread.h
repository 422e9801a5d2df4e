// One background thread for the disk work that must not hold up the user
// interface (and through it the meter's ticks): the event log's lines as they
// are posted, and the recorder's look at the free space every
// FREE_SPACE_CHECK_MS.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "eventlog/event_log.h"

class Recorder;

class DiskThread {
 public:
  explicit DiskThread(EventLog& log, Recorder* recorder = nullptr);
  ~DiskThread();  // writes what is queued, then ends
  DiskThread(const DiskThread&) = delete;
  DiskThread& operator=(const DiskThread&) = delete;

  void wake();  // after EventLog::post
  void watch(Recorder* recorder) { recorder_.store(recorder); }

 private:
  void run();

  EventLog& log_;
  std::atomic<Recorder*> recorder_;
  std::mutex mutex_;
  std::condition_variable woken_;
  bool stop_ = false;
  std::thread thread_;
};
