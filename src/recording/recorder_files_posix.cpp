// POSIX file services for the native build. There is no share mode here: the
// recorder's files are only ever opened by the recorder itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "recording/recorder_files.h"

namespace {

constexpr uint64_t SECONDS_1601_TO_1970 = 11644473600ull;
constexpr uint64_t TICKS_PER_SECOND = 10000000ull;

FileTime toFileTime(const timespec& t) {
  return (static_cast<uint64_t>(t.tv_sec) + SECONDS_1601_TO_1970) * TICKS_PER_SECOND +
         static_cast<uint64_t>(t.tv_nsec) / 100;
}

timespec fromFileTime(FileTime t) {
  timespec r{};
  uint64_t seconds = t / TICKS_PER_SECOND;
  r.tv_sec = static_cast<time_t>(seconds >= SECONDS_1601_TO_1970 ? seconds - SECONDS_1601_TO_1970 : 0);
  r.tv_nsec = static_cast<long>((t % TICKS_PER_SECOND) * 100);
  return r;
}

ClockTime clockTime(bool local) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  time_t seconds = now.tv_sec;
  tm parts{};
  if (local) localtime_r(&seconds, &parts); else gmtime_r(&seconds, &parts);
  ClockTime c;
  c.year = parts.tm_year + 1900;
  c.month = parts.tm_mon + 1;
  c.day = parts.tm_mday;
  c.hour = parts.tm_hour;
  c.minute = parts.tm_min;
  c.second = parts.tm_sec;
  c.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return c;
}

FileHandle openRetrying(const char* path, int flags) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, 0644); while (fd < 0 && errno == EINTR);
  return fd < 0 ? NO_FILE : fd;
}

class PosixRecorderFiles final : public RecorderFiles {
 public:
  FileHandle createNew(const char* path) override { return openRetrying(path, O_WRONLY | O_CREAT | O_TRUNC); }
  FileHandle openExisting(const char* path) override { return openRetrying(path, O_RDWR); }
  bool seekToEnd(FileHandle file) override { return ::lseek(static_cast<int>(file), 0, SEEK_END) >= 0; }
  bool write(FileHandle file, const void* data, uint32_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::write(static_cast<int>(file), p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= static_cast<uint32_t>(n);
    }
    return true;
  }
  void close(FileHandle file) override {
    if (file != NO_FILE) ::close(static_cast<int>(file));
  }
  bool getTimes(FileHandle file, FileTimes* times) override {
    struct stat st{};
    if (::fstat(static_cast<int>(file), &st) != 0) return false;
    times->creation = toFileTime(st.st_ctim);  // no settable birth time here
    times->lastAccess = toFileTime(st.st_atim);
    times->lastWrite = toFileTime(st.st_mtim);
    return true;
  }
  bool setTimes(FileHandle file, const FileTimes& times) override {
    timespec t[2] = {fromFileTime(times.lastAccess), fromFileTime(times.lastWrite)};
    return ::futimens(static_cast<int>(file), t) == 0;
  }
  bool currentDirectory(char* buffer, size_t size) override {
    if (!::getcwd(buffer, size)) return false;
    size_t len = std::strlen(buffer);
    if (len > 1 && buffer[len - 1] == '/') buffer[len - 1] = 0;
    return true;
  }
  void createDirectory(const char* path) override { ::mkdir(path, 0755); }
  void lastErrorText(char* buffer, size_t size) override {
    if (size > 0) std::snprintf(buffer, size, "%s", std::strerror(errno));
  }
  ClockTime localTime() override { return clockTime(true); }
  ClockTime universalTime() override { return clockTime(false); }
  char pathSeparator() const override { return '/'; }
};

}  // namespace

RecorderFiles& platformRecorderFiles() {
  static PosixRecorderFiles files;
  return files;
}
