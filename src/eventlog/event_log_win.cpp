#include "eventlog/event_log_win.h"

#include <cstdio>
#include <memory>

#include "eventlog/disk_thread.h"
#include "recording/recorder.h"
#include "settings/meter_settings.h"

void addToEventWindow(const MeterEvent& event);  // event_window_win.cpp

namespace {

class MainWindowWatcher final : public EventLogWatcher {
 public:
  HWND window = nullptr;
  void eventLogFailed() override { PostMessageW(window, MSG_EVENT_LOG_FAILED, 0, 0); }
};

MainWindowWatcher watcher;
std::unique_ptr<EventLog> eventLog;
std::unique_ptr<DiskThread> diskThread;

// Windows-1251 settings text to UTF-8.
void fromCp1251(const char* text, char* out, int size) {
  wchar_t wide[128];
  const int n = MultiByteToWideChar(1251, 0, text, -1, wide, 128);
  if (n <= 0 || !WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, size, nullptr, nullptr)) out[0] = 0;
}

}  // namespace

void startEventLog(HWND mainWindow) {
  watcher.window = mainWindow;
  eventLog = std::make_unique<EventLog>(platformRecorderFiles(), &watcher);
  diskThread = std::make_unique<DiskThread>(*eventLog);
}

void watchFreeSpace(Recorder* recorder) {
  if (diskThread) diskThread->watch(recorder);
}

void stopEventLog() {
  diskThread.reset();
  eventLog.reset();
}

void logEvent(MeterEvent& event) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  event.time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  if (eventLog && eventLog->post(event)) diskThread->wake();
  addToEventWindow(event);
}

void logMeterEvent(EventKind kind, const char* textUtf8) {
  auto event = std::make_unique<MeterEvent>();
  event->kind = kind;
  std::snprintf(event->text, sizeof event->text, "%s", textUtf8);
  logEvent(*event);
}

void logLimitEvent(bool left, int channel, const char* reading, LimitSide side, int output) {
  auto event = std::make_unique<MeterEvent>();
  event->kind = left ? EventKind::LimitLeft : EventKind::LimitBack;
  event->channel = channel;
  std::snprintf(event->reading, sizeof event->reading, "%s", reading);
  event->limit = side;
  event->output = output;
  if (const MeterSettings* s = meterSettings.load()) {
    fromCp1251(s->channelName[channel], event->name, sizeof event->name);
    fromCp1251(s->unitText[channel], event->unit, sizeof event->unit);
  }
  logEvent(*event);
}

const char* eventLogNotice() { return eventLog ? eventLog->notice() : ""; }
