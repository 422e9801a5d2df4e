// A worker thread that runs init once, then a periodic multimedia timer that
// calls tick. Stopping is safe against a tick that is waiting on the
// user-interface thread: ticks are switched off by a flag first, messages are
// pumped while they drain, and only then is the timer killed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

inline constexpr int32_t DEFAULT_THREAD_PRIORITY = 15;
inline constexpr UINT DEFAULT_PERIOD_MS = 100;
inline constexpr DWORD START_WAIT_MS = 300000;

class PeriodicWorker {
 public:
  PeriodicWorker() = default;
  virtual ~PeriodicWorker();
  PeriodicWorker(const PeriodicWorker&) = delete;
  PeriodicWorker& operator=(const PeriodicWorker&) = delete;

  // Runs once on the worker thread; non-zero on success.
  virtual int32_t init() { return 0; }
  // Runs on the timer thread every periodMs.
  virtual void tick() {}

  // UI thread: raises the process priority, starts the worker thread and
  // returns once it runs (at most START_WAIT_MS). noticeWindow gets notices.
  void startEngine(HWND window);
  // UI thread: stops ticks and the worker thread; messages are pumped
  // meanwhile. Safe to call more than once.
  void stopWorker();

  bool initFinished() const { return initDone_.load(); }

  HANDLE startEvent = nullptr;
  DWORD threadId = 0;
  int32_t threadPriority = DEFAULT_THREAD_PRIORITY;
  HANDLE threadHandle = nullptr;
  UINT timerId = 0;
  UINT periodMs = DEFAULT_PERIOD_MS;
  std::atomic<int32_t> initResult{0};
  HWND noticeWindow = nullptr;

 protected:
  // Waits up to ms on the worker thread; true when a stop was asked for.
  bool waitForStop(DWORD ms) const;
  bool stopRequested() const { return stopping_.load(); }

 private:
  static DWORD WINAPI threadMain(void* self);
  static void CALLBACK timerCallback(UINT id, UINT, DWORD_PTR self, DWORD_PTR, DWORD_PTR);

  HANDLE stopEvent_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> initDone_{false};
  std::atomic<int32_t> ticksInProgress_{0};
};

// Dispatches this thread's messages for about ms milliseconds.
void pumpMessagesFor(DWORD ms);
