// Runs the acquisition engine against the simulated boards (kvsim.dll): a
// work folder with the simulator's configuration, the settings record, a
// hidden window that collects the engine's notices, and readers for the
// simulator's port and event logs and the trace file.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "acquisition/acquisition_engine_win.h"
#include "settings/meter_settings.h"

std::string readWholeFile(const std::string& path);
std::vector<std::string> splitLines(const std::string& text);

// The notices (Windows-1251 texts) received by the hidden window.
class NoticeWindow {
 public:
  NoticeWindow();
  ~NoticeWindow();
  HWND handle() const { return window_; }
  std::vector<std::string> notices;

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
  // Lets the engine tick with running set for about ms.
  void runFor(AcquisitionEngine& engine, DWORD ms);

  std::string path(const char* name) const { return folder_ + "\\" + name; }
  std::string portLog() const { return readWholeFile(path("port.log")); }
  std::vector<std::string> events() const { return splitLines(readWholeFile(path("events.log"))); }
  std::vector<std::string> trace() const { return splitLines(readWholeFile(path("Trace"))); }

  MeterSettings* settings = nullptr;
  std::unique_ptr<NoticeWindow> notices;

 private:
  std::string folder_;
};

// The registry value "path" of a driver key; empty when missing.
std::string driverPath(const char* group, const char* name);
bool setDriverPath(const char* group, const char* name, const std::string& value);
