// One background thread for the disk work that must not hold up the user
// interface (and through it the meter's ticks): the event log's lines as they
// are posted, and the recorder's look at the free space every
// FREE_SPACE_CHECK_MS.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "eventlog/event_log.h"

class Recorder;

class DiskThread {
 public:
  DiskThread(EventLog& log, Recorder* recorder);
  ~DiskThread();  // writes what is queued, then ends
  DiskThread(const DiskThread&) = delete;
  DiskThread& operator=(const DiskThread&) = delete;

  void wake();  // after EventLog::post

 private:
  void run();

  EventLog& log_;
  Recorder* recorder_;
  std::mutex mutex_;
  std::condition_variable woken_;
  bool stop_ = false;
  std::thread thread_;
};
