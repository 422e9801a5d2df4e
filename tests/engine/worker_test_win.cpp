// The periodic worker on its own: a stop that must not deadlock while a tick
// waits on the user-interface thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "acquisition/periodic_worker_win.h"
#include "engine_harness.h"

namespace {

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
