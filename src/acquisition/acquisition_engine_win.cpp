#include "acquisition/acquisition_engine_win.h"

#include <mmsystem.h>

#include "acquisition/tick_core.h"
#include "network/meter_snapshot.h"
#include "panels/panel_table.h"
#include "recording/recorder_link.h"

void DevicePortSink::writeByte(uint8_t value) {
  if (device) device->ops->writePort(device, 1, &value, 1);
}

AcquisitionEngine::AcquisitionEngine() : outputPort_(boardReady, &portSink_) {}

AcquisitionEngine::~AcquisitionEngine() { shutDown(); }

namespace {

// For the network snapshot: clock time, and a steady clock for the lost-block count.
TickTime tickTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return TickTime{unixMsFromFileTime(ticks),
                  static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart)};
}

}  // namespace

bool AcquisitionEngine::readBlock() {
  if (boardType.load() == BOARD_KV310) {
    if (!utility_) return false;
    int32_t ready = 1;
    utility_->ops->control(utility_, UTILITY_BLOCK_READY, &ready);
    if (ready == 0) return false;
    int16_t* raw = nullptr;
    int32_t count = 0;
    if (utility_->ops->lockBuffer(utility_, &raw, &count) <= 0) return false;
    bool converted = raw && static_cast<uint32_t>(count) >= samplesPerBlock && convertKV310Block(*this, raw);
    utility_->ops->unlockBuffer(utility_);
    return converted;
  }
  if (boardType.load() == BOARD_KV320 && device_)
    return device_->ops->read(device_, DEVICE_READ_VOLTS, sampleBuffer, static_cast<int32_t>(samplesPerBlock), 0) > 0;
  return false;
}

void AcquisitionEngine::tick() {
  if (!boardReady.load() || !running.load() || !acquiring_) {
    lastBlockTickMs.store(GetTickCount(), std::memory_order_relaxed);
    return;
  }
  MeterSettings* settings = meterSettings.load();
  if (!settings) return;
  if (!readBlock()) {
    meterPublisher.noBlock(*this, tickTime());
    return;
  }
  lastBlockTickMs.store(GetTickCount(), std::memory_order_relaxed);
  RecorderLink* recorder = theRecorder.load();
  if (!processBlock(*this, *settings, panelTable, recorder, outputPort_)) return;
  meterPublisher.blockProcessed(*this, *settings, panelTable, recorder && recorder->isRecording(), tickTime());
  // Panels take their values on the user-interface thread while we wait:
  // through the notice window in one send, or panel by panel where it does
  // not hand them on.
  const LPARAM values = reinterpret_cast<LPARAM>(currentValues);
  if (noticeWindow && SendMessageW(noticeWindow, ENGINE_SAMPLES_MESSAGE, 0, values) == ENGINE_SAMPLES_DELIVERED)
    return;
  for (PanelState* panel : panelTable) {
    if (!panel) continue;
    auto window = static_cast<HWND>(panel->panelWindow.load());
    if (window) SendMessageW(window, WM_USER, PANEL_SAMPLES, values);
  }
}

void AcquisitionEngine::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  // Ticks and the worker first, so that nothing uses the board while it closes.
  stopWorker();
  closeBoard();
  if (periodBegun_) timeEndPeriod(TIMER_RESOLUTION_MS);
  periodBegun_ = false;
}
