#include "recording/recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "panels/panel_table.h"
#include "settings/meter_settings.h"

namespace {

const std::atomic<int32_t> UNIT_GAINS[8] = {1, 1, 1, 1, 1, 1, 1, 1};

// Writes the description straight to the open file.
class FileSink final : public TextSink {
 public:
  FileSink(RecorderFiles& files, FileHandle file) : files_(files), file_(file) {}
  bool put(const char* text, size_t size) override {
    return files_.write(file_, text, static_cast<uint32_t>(size));
  }

 private:
  RecorderFiles& files_;
  FileHandle file_;
};

}  // namespace

Recorder::Recorder(RecorderFiles& files, RecorderSources sources) : files_(files), sources_(sources) {
  resetRecorder();
}

const MeterSettings* Recorder::settings() const {
  return sources_.settings ? sources_.settings : meterSettings.load();
}

void Recorder::resetRecorder() {
  samplePath_[0] = 0;
  std::memset(headerImage_, 0, sizeof headerImage_);
  headerSize_ = 0;
}

bool Recorder::buildPath(char* out, const char* directory, const ClockTime& t, const char* extension) {
  int n = std::snprintf(out, RECORDER_PATH_SIZE, "%s%c%02d%02d%02d_%02d%02d%02d.%s", directory,
                        files_.pathSeparator(), t.year - 2000, t.month, t.day, t.hour, t.minute, t.second,
                        extension);
  return n > 0 && static_cast<size_t>(n) < RECORDER_PATH_SIZE;
}

// Keeps the reason for the user: what failed, on which file, in the system's words.
bool Recorder::failStart(const char* what, const char* path) {
  char reason[512] = "";
  if (path) files_.lastErrorText(reason, sizeof reason);
  std::snprintf(startFailure_, sizeof startFailure_, "Запись не начата: %s%s%s%s%s", what, path ? " " : "",
                path ? path : "", reason[0] ? "\n" : "", reason);
  return false;
}

bool Recorder::startRecording() {
  if (isRecording()) return false;  // the running pair's paths stay untouched
  startFailure_[0] = 0;
  const MeterSettings* s = settings();
  if (!s) return false;

  const ClockTime t = files_.localTime();
  resetRecorder();
  configPath_[0] = 0;
  PanelState* const* panels = sources_.panels ? sources_.panels : panelTable;
  channels_ = selectRecordedChannels(*s, panels, PANEL_COUNT, sources_.gainFactor ? sources_.gainFactor : UNIT_GAINS);
  // The interval the tick will give the rows, so that the header tells their rate.
  const int32_t shortest = sources_.shortestIntervalMs ? sources_.shortestIntervalMs->load() : 1;
  headerSize_ = buildSampleHeader(channels_, static_cast<int32_t>(recordIntervalFor(sharedLoad(s->Ftime), shortest)),
                                  headerImage_);

  const char* const TOO_LONG = "слишком длинный путь к рабочей папке";
  char directory[RECORDER_PATH_SIZE];
  if (!files_.currentDirectory(directory, sizeof directory)) return failStart(TOO_LONG, nullptr);
  size_t len = std::strlen(directory);
  int n = std::snprintf(directory + len, sizeof directory - len, "%cData", files_.pathSeparator());
  if (n < 0 || static_cast<size_t>(n) >= sizeof directory - len) return failStart(TOO_LONG, nullptr);
  files_.createDirectory(directory);

  if (!buildPath(samplePath_, directory, t, "qmr")) return failStart(TOO_LONG, nullptr);
  FileHandle file = files_.createNew(samplePath_);
  if (file == NO_FILE) return failStart("не удалось создать файл", samplePath_);
  bool written = files_.write(file, headerImage_, static_cast<uint32_t>(headerSize_));
  if (!written) failStart("не удалось записать файл", samplePath_);
  FileTimes times;
  if (files_.getTimes(file, &times)) sampleFileTime_ = times.lastWrite;
  files_.close(file);
  if (!written) return false;  // a file without its header is no recording

  startTime_ = files_.localTime();
  startSecondOfDay_ = startTime_.hour * 3600 + startTime_.minute * 60 + startTime_.second;

  if (!buildPath(configPath_, directory, t, "sreccfg")) return failStart(TOO_LONG, nullptr);
  file = files_.createNew(configPath_);
  if (file == NO_FILE) return failStart("не удалось создать файл", configPath_);
  FileSink sink(files_, file);
  written = writeDescriptionHead(sink, channels_, *s);
  if (!written) failStart("не удалось записать файл", configPath_);
  files_.close(file);
  if (!written) return false;

  recording_.store(1);
  return true;
}

bool Recorder::stopRecording() {
  if (!isRecording()) return true;
  const MeterSettings* s = settings();
  const int timeType = s ? sharedLoad(s->TimeType) : 0;

  // Let an append in progress finish first: nothing may follow the closing
  // text, and the description is opened without sharing.
  recording_.store(0);
  while (appendBusy_.load()) std::this_thread::yield();

  FileHandle file = files_.openExisting(configPath_);
  if (file == NO_FILE) {
    recording_.store(1);  // rows keep going to the sample file; the user may stop again
    return false;
  }
  fixSampleFileTimes(timeType);
  if (files_.seekToEnd(file))
    files_.write(file, DESCRIPTION_CLOSING, static_cast<uint32_t>(std::strlen(DESCRIPTION_CLOSING)));
  files_.close(file);
  return true;
}

void Recorder::fixSampleFileTimes(int timeType) {
  const ClockTime utc = files_.universalTime();
  const ClockTime local = files_.localTime();
  const int offset = local.hour - utc.hour;
  FileHandle file = files_.openExisting(samplePath_);
  if (file == NO_FILE) return;
  FileTimes times;
  if (files_.getTimes(file, &times)) {
    if (timeType == 1) {
      times.creation = times.lastAccess = times.lastWrite = sampleFileTime_;
    } else {
      times.creation = midnightFileTime(times.creation, offset);
      times.lastAccess = midnightFileTime(times.lastAccess, offset);
      times.lastWrite = midnightFileTime(times.lastWrite, offset);
    }
    files_.setTimes(file, times);
  }
  files_.close(file);
}

bool Recorder::enterAppend() {
  appendBusy_.store(1);
  if (recording_.load()) return true;
  appendBusy_.store(0);
  return false;
}

void Recorder::clearMarkerText() {
  markerLength_ = 0;
  markerText_[0] = 0;
}

void Recorder::addMarker(float timeSeconds, int typeIndex, int number) {
  const MeterSettings* s = settings();
  if (!s || !sharedLoad(s->CheckLabel)) return;
  double timePos = timeSeconds;
  if (sharedLoad(s->TimeType) == 1) timePos += startSecondOfDay_;
  char entry[MARKER_MAX_LENGTH + 1];
  const size_t len = formatMarker(entry, typeIndex, timePos, number);
  if (!enterAppend()) return;
  if (markerLength_ + len >= MARKER_TEXT_SIZE) flushMarkers();  // keep every entry whole
  std::memcpy(markerText_ + markerLength_, entry, len);
  markerLength_ += len;
  markerText_[markerLength_] = 0;
  leaveAppend();
}

void Recorder::flushMarkers() {
  FileHandle file = files_.openExisting(configPath_);
  if (file != NO_FILE) {
    if (files_.seekToEnd(file)) files_.write(file, markerText_, static_cast<uint32_t>(markerLength_));
    files_.close(file);
  }
  clearMarkerText();
}

void Recorder::appendRows(const float* values, uint32_t count) {
  if (!enterAppend()) return;
  if (values && count > 0) {
    count = std::min<uint32_t>(count, UINT32_MAX / sizeof(float));
    FileHandle file = files_.openExisting(samplePath_);
    if (file != NO_FILE) {
      if (files_.seekToEnd(file)) files_.write(file, values, count * static_cast<uint32_t>(sizeof(float)));
      files_.close(file);
    }
  }
  const MeterSettings* s = settings();
  if (s && sharedLoad(s->CheckLabel) && markerLength_ > 0) flushMarkers();
  leaveAppend();
}
