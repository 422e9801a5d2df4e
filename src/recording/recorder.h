// The recorder: writes a recording as a sample file (".qmr", header and rows
// of float32 values) and a text description (".sreccfg", channel list, chart
// and marker tasks, the markers) in the folder "Data" of the current directory.
//
// Threads: startRecording, stopRecording and endAfterFailure run on the
// user-interface thread, addMarker, clearMarkerText and appendRows on the
// timer thread inside the tick, watchFreeSpace on a background thread. The
// timer-thread side never allocates. A stop waits for an append in progress
// to finish, so no row or marker lands after the closing text.
//
// A failed or short write, or a drive that has less room left than a minute
// of rows needs, ends the rows at once: the file is cut back to its last whole
// row (or marker entry), nothing more is written, and the watcher is told so
// that the user-interface thread closes the pair (endAfterFailure) and says why.
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
inline constexpr size_t RECORDER_NOTICE_SIZE = RECORDER_PATH_SIZE + 768;
// Room for a marker from each of the 32 panels in one tick; beyond that the
// text is written out early rather than cut.
inline constexpr size_t MARKER_TEXT_SIZE = 32 * MARKER_MAX_LENGTH + 1;
// Besides a minute of rows, what the drive must keep free: the configuration
// file, the description's closing and the event log still need room.
inline constexpr uint64_t RECORDING_SPACE_MARGIN = 256 * 1024;
inline constexpr uint32_t FREE_SPACE_CHECK_MS = 10000;

// Told, once, on the thread that found it, that a recording ended by itself.
// Must not block: the timer thread may be the caller.
class RecorderWatcher {
 public:
  virtual ~RecorderWatcher() = default;
  virtual void recordingFailed() = 0;
};

// Where the recorder takes its inputs; a null entry means the program's
// global (meterSettings, panelTable) or, for the gains, amplification 1.
struct RecorderSources {
  const MeterSettings* settings = nullptr;
  PanelState* const* panels = nullptr;
  const std::atomic<int32_t>* gainFactor = nullptr;  // 8 entries
  const std::atomic<int32_t>* shortestIntervalMs = nullptr;  // the board's frame time; none: 1 ms
  RecorderWatcher* watcher = nullptr;
};

class Recorder final : public RecorderLink {
 public:
  explicit Recorder(RecorderFiles& files, RecorderSources sources = {});

  // Opens a new file pair named from the clock; true when recording. A
  // failure leaves the recorder idle (a sample file already made stays) and
  // says why in notice().
  bool startRecording();
  // Closes the description and fixes the sample file's times; true when the
  // recorder is idle afterwards. If the description cannot be reopened the
  // recording goes on and false is returned.
  bool stopRecording();
  // After a failure: ends the recording whatever the description allows (its
  // closing is written if it can be), fixes the times and puts the reason in
  // notice(). False, doing nothing, when no failure is waiting to be told.
  bool endAfterFailure();
  // Any thread but the tick's, about every FREE_SPACE_CHECK_MS: ends the rows
  // (as a failure) when the drive has less room than a minute of rows plus
  // RECORDING_SPACE_MARGIN. False when it did.
  bool watchFreeSpace();
  void resetRecorder();

  bool isRecording() const override { return recording_.load() != 0; }
  bool failed() const { return failState_.load() == FAILURE_READY; }
  void clearMarkerText() override;
  void addMarker(float timeSeconds, int typeIndex, int number) override;
  void appendRows(const float* values, uint32_t count) override;

  // Why the last start failed or the running recording ended by itself, for
  // the user (UTF-8); empty after a successful start.
  const char* notice() const { return notice_; }
  const char* samplePath() const { return samplePath_; }
  const char* configPath() const { return configPath_; }
  int recordedChannelCount() const { return channels_.count; }

 private:
  static constexpr int32_t FAILURE_CLAIMED = 1, FAILURE_READY = 2;

  const MeterSettings* settings() const;
  bool enterAppend();
  void leaveAppend() { appendBusy_.fetch_sub(1); }
  bool flushMarkers();
  bool appendTo(const char* path, const void* data, uint32_t size, uint64_t unit, uint64_t base);
  void fail(FileFailure why, const char* path);
  uint64_t spaceNeeded() const;
  void writeNotice(const char* headline, FileFailure why, const char* path);
  bool failStart(FileFailure why, const char* path);
  void writeClosing(FileHandle description);
  void fixSampleFileTimes(int timeType);
  bool buildPath(char* out, const char* directory, const ClockTime& t, const char* extension);

  RecorderFiles& files_;
  RecorderSources sources_;
  std::atomic<int32_t> recording_{0};
  std::atomic<int32_t> appendBusy_{0};  // appends and space checks under way
  std::atomic<int32_t> failState_{0};   // 0, then claimed by the first failure, then ready to read
  FileFailure failure_;
  const char* failurePath_ = nullptr;
  char dataDirectory_[RECORDER_PATH_SIZE] = {};
  char samplePath_[RECORDER_PATH_SIZE] = {};
  char configPath_[RECORDER_PATH_SIZE] = {};
  RecordedChannels channels_;
  uint32_t intervalMs_ = 1;
  uint8_t headerImage_[SAMPLE_HEADER_MAX_SIZE] = {};
  size_t headerSize_ = 0;
  FileTime sampleFileTime_ = 0;
  ClockTime startTime_;
  int32_t startSecondOfDay_ = 0;  // of startTime_, for clock-time markers
  char notice_[RECORDER_NOTICE_SIZE] = {};
  char markerText_[MARKER_TEXT_SIZE] = {};
  size_t markerLength_ = 0;
};
