// The recorder: writes a recording as a sample file (".qmr", header and rows
// of float32 values) and a text description (".sreccfg", channel list, chart
// and marker tasks, the markers) in the folder "Data" of the current directory.
//
// Threads: startRecording and stopRecording run on the user-interface thread,
// addMarker, clearMarkerText and appendRows on the timer thread inside the
// tick. The timer-thread side never allocates. A stop waits for an append in
// progress to finish, so no row or marker lands after the closing text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "recording/recorder_files.h"
#include "recording/recorder_link.h"
#include "recording/recording_format.h"

struct MeterSettings;
struct PanelState;

inline constexpr size_t RECORDER_PATH_SIZE = 1024;  // UTF-8: a Cyrillic path takes two bytes a letter
inline constexpr size_t RECORDER_FAILURE_SIZE = RECORDER_PATH_SIZE + 512;
// Room for a marker from each of the 32 panels in one tick; beyond that the
// text is written out early rather than cut.
inline constexpr size_t MARKER_TEXT_SIZE = 32 * MARKER_MAX_LENGTH + 1;

// Where the recorder takes its inputs; a null entry means the program's
// global (meterSettings, panelTable) or, for the gains, amplification 1.
struct RecorderSources {
  const MeterSettings* settings = nullptr;
  PanelState* const* panels = nullptr;
  const std::atomic<int32_t>* gainFactor = nullptr;  // 8 entries
  const std::atomic<int32_t>* shortestIntervalMs = nullptr;  // the board's frame time; none: 1 ms
};

class Recorder final : public RecorderLink {
 public:
  explicit Recorder(RecorderFiles& files, RecorderSources sources = {});

  // Opens a new file pair named from the clock; true when recording. A
  // failure leaves the recorder idle (a sample file already made stays) and
  // says why in startFailure().
  bool startRecording();
  // Closes the description and fixes the sample file's times; true when the
  // recorder is idle afterwards. If the description cannot be reopened the
  // recording goes on and false is returned.
  bool stopRecording();
  void resetRecorder();

  bool isRecording() const override { return recording_.load() != 0; }
  void clearMarkerText() override;
  void addMarker(float timeSeconds, int typeIndex, int number) override;
  void appendRows(const float* values, uint32_t count) override;

  // Why the last start failed, for the user (UTF-8); empty after a successful start.
  const char* startFailure() const { return startFailure_; }
  const char* samplePath() const { return samplePath_; }
  const char* configPath() const { return configPath_; }
  int recordedChannelCount() const { return channels_.count; }

 private:
  const MeterSettings* settings() const;
  bool enterAppend();
  void leaveAppend() { appendBusy_.store(0); }
  void flushMarkers();
  void fixSampleFileTimes(int timeType);
  bool buildPath(char* out, const char* directory, const ClockTime& t, const char* extension);
  bool failStart(const char* what, const char* path);

  RecorderFiles& files_;
  RecorderSources sources_;
  std::atomic<int32_t> recording_{0};
  std::atomic<int32_t> appendBusy_{0};
  char samplePath_[RECORDER_PATH_SIZE] = {};
  char configPath_[RECORDER_PATH_SIZE] = {};
  RecordedChannels channels_;
  uint8_t headerImage_[SAMPLE_HEADER_MAX_SIZE] = {};
  size_t headerSize_ = 0;
  FileTime sampleFileTime_ = 0;
  ClockTime startTime_;
  int32_t startSecondOfDay_ = 0;  // of startTime_, for clock-time markers
  char startFailure_[RECORDER_FAILURE_SIZE] = {};
  char markerText_[MARKER_TEXT_SIZE] = {};
  size_t markerLength_ = 0;
};
