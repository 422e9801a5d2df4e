// Shared by the recording tests, native and under Wine: the platform file layer with a settable clock and injectable
// failures (files that cannot be made or reopened, a disk that fills, little free room), panels and settings, and
// (natively) the export tool.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "panels/panel_table.h"
#include "recording/recorder.h"
#include "settings/cp1251.h"
#include "settings/meter_settings.h"
#include "test_files.h"

class TestFiles : public RecorderFiles {
 public:
  explicit TestFiles(std::string dir) : dir_(std::move(dir)) {}
  FileHandle createNew(const char* p) override { return fails(p, failCreate) ? denied() : real().createNew(p); }
  FileHandle openExisting(const char* p) override { return fails(p, failOpen) ? denied() : real().openExisting(p); }
  bool seekToEnd(FileHandle f, uint64_t* size) override { return real().seekToEnd(f, size); }
  bool truncate(FileHandle f, uint64_t size) override { return real().truncate(f, size); }
  // The disk takes room more bytes; a write beyond them stops short with a full disk.
  bool write(FileHandle f, const void* d, uint32_t n) override {
    if (n <= room) return room -= n, real().write(f, d, n);
    real().write(f, d, static_cast<uint32_t>(room));
    room = 0;
    failure = {FileError::DiskFull, 28};
    return false;
  }
  void close(FileHandle f) override { real().close(f); }
  bool getTimes(FileHandle f, FileTimes* t) override { return real().getTimes(f, t); }
  bool setTimes(FileHandle f, const FileTimes& t) override { return real().setTimes(f, t); }
  bool currentDirectory(char* b, size_t n) override { return dir_.size() < n && std::strcpy(b, dir_.c_str()); }
  void createDirectory(const char* p) override { real().createDirectory(p); }
  FileFailure lastFailure() override { return failure; }
  void describeError(uint32_t code, char* b, size_t n) override { std::snprintf(b, n, "error %u", code); }
  uint64_t freeSpace(const char*) override { return free; }
  ClockTime localTime() override { return local; }
  ClockTime universalTime() override { return utc; }
  char pathSeparator() const override { return '/'; }

  ClockTime local{2026, 12, 6, 10, 0, 5, 0}, utc{2026, 12, 6, 7, 0, 5, 0};
  const char *failCreate = nullptr, *failOpen = nullptr;  // path suffixes whose creation, reopening fails
  FileFailure failure;  // what the last failed call reports
  uint64_t room = UINT64_MAX, free = UINT64_MAX;

 private:
  static RecorderFiles& real() { return platformRecorderFiles(); }
  static bool fails(const std::string& path, const char* tail) { return tail && path.ends_with(tail); }
  FileHandle denied() {
    failure = {FileError::AccessDenied, 5};
    return NO_FILE;
  }
  std::string dir_;
};

// UTF-8 test text as the Windows-1251 bytes the files carry.
inline std::string cp1251Of(const std::string& utf8) { return utf8ToCp1251(utf8); }

// Settings and 32 panels for one recorder under test.
struct RecordingWorld {
  RecordingWorld() { for (int i = 0; i < PANEL_COUNT; ++i) table[i] = &panels[i]; }
  void showOnPanel(int position, int channel, bool recorded) {
    panels[position - 1].channel = channel;
    panels[position - 1].visible = 1;
    settings.FlagRec[channel] = recorded ? 1 : 0;
  }
  // Channels 3 and 7 on the first two panels, recorded every 100 ms with markers.
  void recordThreeAndSeven() {
    showOnPanel(1, 3, true);
    showOnPanel(2, 7, true);
    settings.Ftime = 100;
    settings.CheckLabel = 1;
  }
  RecorderSources sources() { return {&settings, table, gains, nullptr, &watcher}; }

  struct CountingWatcher : RecorderWatcher {
    int failures = 0;
    void recordingFailed() override { ++failures; }
  } watcher;

  MeterSettings settings;
  PanelState panels[PANEL_COUNT];
  PanelState* table[PANEL_COUNT];
  std::atomic<int32_t> gains[8] = {1, 1, 1, 1, 1, 1, 1, 1};
};

#ifndef _WIN32
#include <sys/wait.h>

// A recorder on a scratch folder, the file layer with the test clock, settings and panels.
class RecordingTest : public ::testing::Test {
 protected:
  std::string path(const char* ext) const { return dir + "/Data/261206_100005." + ext; }

  ScratchDir scratch;
  std::string dir = scratch.str();
  RecordingWorld world;
  TestFiles files{dir};
  Recorder rec{files, world.sources()};
};

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

// skalenor-export with the arguments (quoted for the shell), its output kept in dir.
inline RunResult runExport(const std::string& dir, const std::string& args) {
  std::string outPath = dir + "/stdout.txt", errPath = dir + "/stderr.txt";
  std::string cmd = std::string(SKALENOR_EXPORT_EXE) + " " + args + " >'" + outPath + "' 2>'" + errPath + "'";
  int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(outPath), readFile(errPath)};
}
#endif
