// The periodic worker on its own: the timer period it really gets, and a
// stop that must not deadlock while a tick waits on the user-interface thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "acquisition/periodic_worker_win.h"
#include "engine_harness.h"

namespace {

constexpr int MEASURED_TICKS = 120;

class StampingWorker : public PeriodicWorker {
 public:
  ~StampingWorker() override { stopWorker(); }
  int32_t init() override { return 1; }
  void tick() override {
    int n = count.load();
    if (n < MEASURED_TICKS) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      stamps[n] = now.QuadPart;
      count.store(n + 1);
    }
  }
  std::atomic<int> count{0};
  LONGLONG stamps[MEASURED_TICKS] = {};
};

TEST(PeriodicWorker, TimerPeriod) {
  StampingWorker worker;
  worker.startEngine(nullptr);
  DWORD start = GetTickCount();
  while (worker.count.load() < MEASURED_TICKS && GetTickCount() - start < 60000) pumpMessagesFor(100);
  worker.stopWorker();
  ASSERT_EQ(worker.count.load(), MEASURED_TICKS);
  EXPECT_EQ(worker.initResult.load(), 1);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ms;
  for (int i = 1; i < MEASURED_TICKS; ++i)
    ms.push_back(1000.0 * static_cast<double>(worker.stamps[i] - worker.stamps[i - 1]) / frequency.QuadPart);
  std::sort(ms.begin(), ms.end());
  char figures[128];
  std::snprintf(figures, sizeof figures, "timer period over %zu ticks: min %.2f ms, median %.2f ms, max %.2f ms",
                ms.size(), ms.front(), ms[ms.size() / 2], ms.back());
  std::printf("%s\n", figures);
  ::testing::Test::RecordProperty("timer_period", figures);
}

// A tick that waits on the user-interface thread, as the panels' messages do.
class SendingWorker : public PeriodicWorker {
 public:
  ~SendingWorker() override { stopWorker(); }
  int32_t init() override { return 1; }
  void tick() override {
    SendMessageW(target, WM_USER + 5, 0, 0);
    ticks.fetch_add(1);
  }
  HWND target = nullptr;
  std::atomic<int> ticks{0};
};

LRESULT CALLBACK slowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 5) {
    Sleep(40);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(PeriodicWorker, StopsWhileTicksWaitOnTheWindowThread) {
  HWND window = hiddenWindow(L"WorkerTestSlow", slowProcedure);
  for (int round = 0; round < 5; ++round) {
    SendingWorker worker;
    worker.target = window;
    worker.periodMs = 20 + round * 20;
    worker.startEngine(nullptr);
    pumpMessagesFor(400 + round * 37);
    worker.stopWorker();  // would hang for good if the timer were killed under a waiting tick
    EXPECT_GT(worker.ticks.load(), 0);
    int after = worker.ticks.load();
    pumpMessagesFor(250);
    EXPECT_EQ(worker.ticks.load(), after) << "a tick ran after the stop";
  }
  DestroyWindow(window);
}

TEST(PeriodicWorker, BaseInitFailsAndTicksNothing) {
  PeriodicWorker worker;
  worker.startEngine(nullptr);
  while (!worker.initFinished()) pumpMessagesFor(20);
  EXPECT_EQ(worker.initResult.load(), 0);
  pumpMessagesFor(250);
  worker.stopWorker();
  worker.stopWorker();  // a second stop does nothing
  EXPECT_EQ(worker.threadHandle, nullptr);
  EXPECT_EQ(worker.timerId, 0u);
}

}  // namespace
