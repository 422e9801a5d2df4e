// The one object that owns the board: its init (board set-up) runs on the
// worker thread, its tick on the timer thread; it publishes currentValues,
// boardReady, boardType and gainFactor (AcquisitionState) to the rest of the
// program. Destroying it stops the ticks, clears the outputs and closes the
// board.
#pragma once

#include <windows.h>

#include <cstdint>

#include "acquisition/acquisition_state.h"
#include "acquisition/driver_interface_win.h"
#include "acquisition/output_port.h"
#include "acquisition/periodic_worker_win.h"
#include "settings/meter_settings.h"

inline constexpr WPARAM ENGINE_NOTICE = 1024;  // WM_USER parameter of an error notice
inline constexpr UINT TIMER_RESOLUTION_MS = 10;

// Port bytes go to the device's writePort; nowhere while there is no device.
// Sent by the tick to noticeWindow with the channel values: that window hands
// them to every panel on its own thread and answers ENGINE_SAMPLES_DELIVERED.
// One cross-thread send per tick instead of one per panel.
inline constexpr UINT ENGINE_SAMPLES_MESSAGE = WM_APP + 1;
inline constexpr LRESULT ENGINE_SAMPLES_DELIVERED = 0x5A4D;

class DevicePortSink : public PortSink {
 public:
  void writeByte(uint8_t value) override;
  IADCDevice* device = nullptr;
};

class AcquisitionEngine : public PeriodicWorker, public AcquisitionState {
 public:
  AcquisitionEngine();
  ~AcquisitionEngine() override;

  int32_t init() override;
  void tick() override;

  // Stops ticks and the worker, clears the outputs, closes the board. Also
  // run by the destructor; safe to call more than once.
  void shutDown();

  IADCDevice* device() const { return device_; }
  IADCUtility* utility() const { return utility_; }
  bool acquiring() const { return acquiring_; }

 private:
  enum class SetupResult { NotFound, Ready, Refused };

  // board_setup_win.cpp
  SetupResult detectAndSetUp(MeterSettings& settings);
  SetupResult setUpKV320(MeterSettings& settings);
  SetupResult setUpKV310(MeterSettings& settings);
  void informationQuery();
  bool refuseRate(BoardType board);
  void notice(const char* textCp1251);
  void closeBoard();

  bool readBlock();

  IADCDevice* device_ = nullptr;
  IADCUtility* utility_ = nullptr;
  bool acquiring_ = false;     // the board was programmed and started: blocks may come
  bool periodBegun_ = false;   // timeBeginPeriod was called
  bool shutDown_ = false;
  DevicePortSink portSink_;
  OutputPort outputPort_;
};
