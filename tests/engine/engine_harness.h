// Runs the acquisition engine against the simulated boards (kvsim.dll): a
// work folder with the simulator's configuration, the settings record, a
// hidden window that collects the engine's notices, and readers for the
// simulator's port and event logs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/acquisition_engine_win.h"
#include "settings/meter_settings.h"
#include "test_files.h"

using Lines = std::vector<std::string>;

// Expects the wanted lines among lines in this order, the last of them last.
void expectInOrder(const Lines& lines, const Lines& wanted);

// A hidden top-level window of its own class; user goes to GWLP_USERDATA.
HWND hiddenWindow(const wchar_t* className, WNDPROC procedure, void* user = nullptr);
template <typename T>
T* windowUser(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The notices (Windows-1251 texts) received by the hidden window.
class NoticeWindow {
 public:
  NoticeWindow();
  ~NoticeWindow() { DestroyWindow(window_); }
  HWND handle() const { return window_; }
  Lines notices;

 private:
  static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the simulator's configuration (the logs are added) and points KVSIM_CONFIG at it.
  void writeSimConfig(const std::string& text);
  // Creates and starts the engine; returns once its init has finished.
  std::unique_ptr<AcquisitionEngine> startEngine();
  // A fresh run: no notices, no logs, the given configuration; then startEngine.
  std::unique_ptr<AcquisitionEngine> startWith(const std::string& config);
  // Lets the engine tick with running set for about ms.
  void runFor(AcquisitionEngine& engine, DWORD ms);

  std::string path(const char* name) const { return folder_ + "\\" + name; }
  std::string portLog() const { return readFile(path("port.log")); }
  Lines events() const { return readLines(path("events.log")); }

  MeterSettings* settings = nullptr;
  std::unique_ptr<NoticeWindow> notices;

 private:
  std::string folder_;
};

// boardReady and initResult together.
inline std::pair<int32_t, int32_t> readyAndInit(const AcquisitionEngine& engine) {
  return {engine.boardReady.load(), engine.initResult.load()};
}

// The registry value "path" of a driver key; empty when missing.
std::string driverPath(const char* group, const char* name);
bool setDriverPath(const char* group, const char* name, const std::string& value);
