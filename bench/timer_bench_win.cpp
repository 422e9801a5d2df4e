// The periodic worker's timer period over 120 ticks: min, median, max.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "acquisition/periodic_worker_win.h"

namespace {

constexpr int TICKS = 120;

class StampingWorker : public PeriodicWorker {
 public:
  ~StampingWorker() override { stopWorker(); }
  int32_t init() override { return 1; }
  void tick() override {
    const int n = count.load();
    if (n >= TICKS) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    stamps[n] = now.QuadPart;
    count.store(n + 1);
  }
  std::atomic<int> count{0};
  LONGLONG stamps[TICKS] = {};
};

}  // namespace

int main() {
  StampingWorker worker;
  worker.startEngine(nullptr);
  const DWORD start = GetTickCount();
  while (worker.count.load() < TICKS && GetTickCount() - start < 60000) pumpMessagesFor(100);
  worker.stopWorker();
  if (worker.count.load() < TICKS) return 1;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ms;
  for (int i = 1; i < TICKS; ++i)
    ms.push_back(1000.0 * static_cast<double>(worker.stamps[i] - worker.stamps[i - 1]) / frequency.QuadPart);
  std::sort(ms.begin(), ms.end());
  std::printf("timer period over %zu ticks: min %.2f ms, median %.2f ms, max %.2f ms\n", ms.size(), ms.front(),
              ms[ms.size() / 2], ms.back());
  return 0;
}
