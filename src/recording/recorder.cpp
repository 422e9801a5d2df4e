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

uint64_t Recorder::spaceNeeded() const {
  const uint64_t rowBytes = static_cast<uint64_t>(channels_.count) * sizeof(float);
  const uint64_t rowsPerMinute = (60000u + intervalMs_ - 1) / intervalMs_;
  return rowBytes * rowsPerMinute + RECORDING_SPACE_MARGIN;
}

// The headline, then what went wrong with which file, as the user reads it.
void Recorder::writeNotice(const char* headline, FileFailure why, const char* path) {
  const char* where = path ? path : "";
  switch (why.kind) {
    case FileError::DiskFull:
      std::snprintf(notice_, sizeof notice_, "%s\nДиск заполнен: %s", headline, where);
      return;
    case FileError::AccessDenied:
      std::snprintf(notice_, sizeof notice_, "%s\nНет доступа к файлу %s", headline, where);
      return;
    case FileError::LowSpace:
      std::snprintf(notice_, sizeof notice_, "%s\nНа диске меньше места, чем нужно на минуту записи: %s", headline,
                    where);
      return;
    case FileError::TooLong:
      std::snprintf(notice_, sizeof notice_, "%s\nСлишком длинный путь к рабочей папке", headline);
      return;
    default: {
      char reason[512] = "";
      files_.describeError(why.code, reason, sizeof reason);
      std::snprintf(notice_, sizeof notice_, "%s\n%s: %s", headline, reason, where);
    }
  }
}

bool Recorder::failStart(FileFailure why, const char* path) {
  writeNotice("Запись не начата.", why, path);
  return false;
}

bool Recorder::startRecording() {
  if (isRecording()) return false;  // the running pair's paths stay untouched
  notice_[0] = 0;
  failState_.store(0);
  const MeterSettings* s = settings();
  if (!s) return false;

  const ClockTime t = files_.localTime();
  resetRecorder();
  configPath_[0] = 0;
  PanelState* const* panels = sources_.panels ? sources_.panels : panelTable;
  channels_ = selectRecordedChannels(*s, panels, PANEL_COUNT, sources_.gainFactor ? sources_.gainFactor : UNIT_GAINS);
  // The interval the tick will give the rows, so that the header tells their rate.
  const int32_t shortest = sources_.shortestIntervalMs ? sources_.shortestIntervalMs->load() : 1;
  intervalMs_ = recordIntervalFor(sharedLoad(s->Ftime), shortest);
  headerSize_ = buildSampleHeader(channels_, static_cast<int32_t>(intervalMs_), headerImage_);

  const FileFailure TOO_LONG{FileError::TooLong, 0};
  char* directory = dataDirectory_;
  if (!files_.currentDirectory(directory, RECORDER_PATH_SIZE)) return failStart(TOO_LONG, nullptr);
  size_t len = std::strlen(directory);
  int n = std::snprintf(directory + len, RECORDER_PATH_SIZE - len, "%cData", files_.pathSeparator());
  if (n < 0 || static_cast<size_t>(n) >= RECORDER_PATH_SIZE - len) return failStart(TOO_LONG, nullptr);
  files_.createDirectory(directory);
  const uint64_t free = files_.freeSpace(directory);
  if (free != UINT64_MAX && free < spaceNeeded()) return failStart({FileError::LowSpace, 0}, directory);

  if (!buildPath(samplePath_, directory, t, "qmr")) return failStart(TOO_LONG, nullptr);
  FileHandle file = files_.createNew(samplePath_);
  if (file == NO_FILE) return failStart(files_.lastFailure(), samplePath_);
  bool written = files_.write(file, headerImage_, static_cast<uint32_t>(headerSize_));
  if (!written) failStart(files_.lastFailure(), samplePath_);
  FileTimes times;
  if (files_.getTimes(file, &times)) sampleFileTime_ = times.lastWrite;
  files_.close(file);
  if (!written) return false;  // a file without its header is no recording

  startTime_ = files_.localTime();
  startSecondOfDay_ = startTime_.hour * 3600 + startTime_.minute * 60 + startTime_.second;

  if (!buildPath(configPath_, directory, t, "sreccfg")) return failStart(TOO_LONG, nullptr);
  file = files_.createNew(configPath_);
  if (file == NO_FILE) return failStart(files_.lastFailure(), configPath_);
  FileSink sink(files_, file);
  written = writeDescriptionHead(sink, channels_, *s);
  if (!written) failStart(files_.lastFailure(), configPath_);
  files_.close(file);
  if (!written) return false;

  recording_.store(1);
  return true;
}

bool Recorder::stopRecording() {
  if (!isRecording()) return true;
  if (failed()) return endAfterFailure();
  const MeterSettings* s = settings();
  const int timeType = s ? sharedLoad(s->TimeType) : 0;

  // Let an append in progress finish first: nothing may follow the closing
  // text.
  recording_.store(0);
  while (appendBusy_.load()) std::this_thread::yield();

  FileHandle file = files_.openExisting(configPath_);
  if (file == NO_FILE) {
    recording_.store(1);  // rows keep going to the sample file; the user may stop again
    return false;
  }
  fixSampleFileTimes(timeType);
  writeClosing(file);
  return true;
}

bool Recorder::endAfterFailure() {
  if (!failed()) return false;
  if (isRecording()) {
    const MeterSettings* s = settings();
    recording_.store(0);
    while (appendBusy_.load()) std::this_thread::yield();
    fixSampleFileTimes(s ? sharedLoad(s->TimeType) : 0);
    FileHandle file = files_.openExisting(configPath_);
    if (file != NO_FILE) writeClosing(file);
  }
  writeNotice("Запись остановлена.", failure_, failurePath_);
  failState_.store(0);
  return true;
}

// The closing text, whole or not at all; closes the file.
void Recorder::writeClosing(FileHandle file) {
  FileFailure ignored;
  appendWhole(files_, file, DESCRIPTION_CLOSING, static_cast<uint32_t>(std::strlen(DESCRIPTION_CLOSING)), 0, 0, &ignored);
  files_.close(file);
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
  appendBusy_.fetch_add(1);
  if (recording_.load() && failState_.load() == 0) return true;
  appendBusy_.fetch_sub(1);
  return false;
}

void Recorder::fail(FileFailure why, const char* path) {
  int32_t none = 0;
  if (!failState_.compare_exchange_strong(none, FAILURE_CLAIMED)) return;  // the first failure is the one told
  failure_ = why;
  failurePath_ = path;
  failState_.store(FAILURE_READY);
  if (sources_.watcher) sources_.watcher->recordingFailed();
}

// Opens the file at path and appends whole units (rows) or text; a failure ends the recording.
bool Recorder::appendTo(const char* path, const void* data, uint32_t size, uint64_t unit, uint64_t base) {
  FileHandle file = files_.openExisting(path);
  FileFailure why;
  const bool ok = file != NO_FILE ? appendWhole(files_, file, data, size, unit, base, &why)
                                  : (why = files_.lastFailure(), false);
  files_.close(file);
  if (!ok) fail(why, path);
  return ok;
}

bool Recorder::watchFreeSpace() {
  if (!enterAppend()) return true;
  const uint64_t free = files_.freeSpace(dataDirectory_);
  const bool roomy = free == UINT64_MAX || free >= spaceNeeded();
  if (!roomy) fail({FileError::LowSpace, 0}, dataDirectory_);
  leaveAppend();
  return roomy;
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

bool Recorder::flushMarkers() {
  const bool ok = appendTo(configPath_, markerText_, static_cast<uint32_t>(markerLength_), 0, 0);
  clearMarkerText();
  return ok;
}

void Recorder::appendRows(const float* values, uint32_t count) {
  if (!enterAppend()) return;
  bool ok = true;
  if (values && count > 0) {
    count = std::min<uint32_t>(count, UINT32_MAX / sizeof(float));
    const uint64_t rowBytes = static_cast<uint64_t>(channels_.count) * sizeof(float);
    ok = appendTo(samplePath_, values, count * static_cast<uint32_t>(sizeof(float)), rowBytes, headerSize_);
  }
  const MeterSettings* s = settings();
  if (ok && s && sharedLoad(s->CheckLabel) && markerLength_ > 0) flushMarkers();
  leaveAppend();
}
