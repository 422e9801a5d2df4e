#include "acquisition/periodic_worker_win.h"

#include <mmsystem.h>

namespace {

constexpr DWORD THREAD_END_WAIT_MS = 30000;
constexpr DWORD DRAIN_LIMIT_MS = 10000;

void dispatchPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {  // not ours to take: leave it for the caller's loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps messages until the handle is signalled or ms have passed; true when signalled.
bool waitPumping(HANDLE handle, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD spent = GetTickCount() - start;
    DWORD left = spent >= ms ? 0 : ms - spent;
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;  // timed out or failed
    dispatchPending();
  }
}

void enableBasePriorityPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  if (LookupPrivilegeValueA(nullptr, "SeIncreaseBasePriorityPrivilege", &privileges.Privileges[0].Luid)) {
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

}  // namespace

void pumpMessagesFor(DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    dispatchPending();
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

PeriodicWorker::~PeriodicWorker() { stopWorker(); }

void PeriodicWorker::startEngine(HWND window) {
  if (threadHandle) return;
  noticeWindow = window;
  startEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  enableBasePriorityPrivilege();
  if (threadPriority == 15 || threadPriority == 1) SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
  threadHandle = CreateThread(nullptr, 0, threadMain, this, 0, &threadId);
  if (threadHandle && startEvent) WaitForSingleObject(startEvent, START_WAIT_MS);
}

bool PeriodicWorker::waitForStop(DWORD ms) const {
  if (stopping_.load()) return true;
  if (!stopEvent_) {
    Sleep(ms);
    return stopping_.load();
  }
  return WaitForSingleObject(stopEvent_, ms) == WAIT_OBJECT_0;
}

DWORD WINAPI PeriodicWorker::threadMain(void* self) {
  auto* worker = static_cast<PeriodicWorker*>(self);
  SetThreadPriority(GetCurrentThread(), worker->threadPriority);
  Sleep(100);
  SetEvent(worker->startEvent);
  worker->initResult.store(worker->init());
  worker->initDone_.store(true);
  // The timer runs whatever init returned: ticks return at once without a board.
  if (!worker->stopping_.load())
    worker->timerId = timeSetEvent(worker->periodMs, 0, timerCallback, reinterpret_cast<DWORD_PTR>(worker),
                                   TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  // Parked until teardown; it then ends by itself.
  WaitForSingleObject(worker->stopEvent_, INFINITE);
  return 0;
}

void CALLBACK PeriodicWorker::timerCallback(UINT, UINT, DWORD_PTR self, DWORD_PTR, DWORD_PTR) {
  auto* worker = reinterpret_cast<PeriodicWorker*>(self);
  worker->ticksInProgress_.fetch_add(1);
  if (!worker->stopping_.load()) worker->tick();
  worker->ticksInProgress_.fetch_sub(1);
}

void PeriodicWorker::stopWorker() {
  stopping_.store(true);
  if (stopEvent_) SetEvent(stopEvent_);
  // The worker may be inside init, sending a notice to this thread: pump.
  if (threadHandle) {
    if (!waitPumping(threadHandle, THREAD_END_WAIT_MS))
      TerminateThread(threadHandle, 1);  // a driver call that never returns: nothing else is left
    CloseHandle(threadHandle);
    threadHandle = nullptr;
  }
  // A tick may be waiting in SendMessage to this thread: keep pumping for
  // longer than one period, until no tick is running, before the timer goes.
  if (timerId) {
    DWORD start = GetTickCount();
    pumpMessagesFor(periodMs + 50);
    while (ticksInProgress_.load() != 0 && GetTickCount() - start < DRAIN_LIMIT_MS) pumpMessagesFor(10);
    timeKillEvent(timerId);
    timerId = 0;
    while (ticksInProgress_.load() != 0 && GetTickCount() - start < DRAIN_LIMIT_MS) pumpMessagesFor(10);
  }
  if (startEvent) CloseHandle(startEvent);
  if (stopEvent_) CloseHandle(stopEvent_);
  startEvent = nullptr;
  stopEvent_ = nullptr;
}
