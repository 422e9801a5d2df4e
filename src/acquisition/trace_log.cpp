#include "acquisition/trace_log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

class TraceLog {
 public:
  TraceLog() { setPath(TRACE_FILE_NAME); }

  bool setPath(const char* path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path == nullptr || std::strlen(path) >= sizeof(path_)) return false;
    std::strcpy(path_, path);
    // The log starts empty on every run.
    traceFile_ = std::fopen(path_, "w");
    if (traceFile_ != nullptr) std::fclose(traceFile_);
    traceFile_ = nullptr;
    return true;
  }

  void appendText(const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    appendLocked(text);
  }

  void appendValue(const char* label, int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::snprintf(traceLine_, sizeof(traceLine_), "%s=%d(%x)", label ? label : "", value,
                  static_cast<unsigned>(value));
    appendLocked(traceLine_);
  }

 private:
  void appendLocked(const char* text) {
    traceFile_ = std::fopen(path_, "a");
    if (traceFile_ == nullptr) return;
    std::fprintf(traceFile_, "%s\n", text ? text : "");
    std::fclose(traceFile_);
    traceFile_ = nullptr;
  }

  std::mutex mutex_;
  std::FILE* traceFile_ = nullptr;
  char traceLine_[TRACE_LINE_SIZE] = {};
  char path_[TRACE_PATH_SIZE] = {};
};

// Created during static initialisation, before the program's entry runs.
TraceLog traceLog;

}  // namespace

void traceText(const char* text) { traceLog.appendText(text); }

void traceValue(const char* label, int value) { traceLog.appendValue(label, value); }

bool traceLogSetPath(const char* path) { return traceLog.setPath(path); }
