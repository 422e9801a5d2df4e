// Kernel file services for the recorder. The paths are built from the current
// directory in the ANSI code page, hence the A functions.
#include <windows.h>

#include <cstring>

#include "recording/recorder_files.h"

namespace {

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle fromHandle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(h); }

FileTime fromFileTimeRecord(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
FILETIME toFileTimeRecord(FileTime t) {
  FILETIME r;
  r.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
  r.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return r;
}

ClockTime fromSystemTime(const SYSTEMTIME& s) {
  ClockTime c;
  c.year = s.wYear;
  c.month = s.wMonth;
  c.day = s.wDay;
  c.hour = s.wHour;
  c.minute = s.wMinute;
  c.second = s.wSecond;
  c.millisecond = s.wMilliseconds;
  return c;
}

class WinRecorderFiles final : public RecorderFiles {
 public:
  FileHandle createNew(const char* path) override {
    return fromHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr));
  }
  // Readers may look on (the recording viewer follows a growing recording);
  // nobody else may write.
  FileHandle openExisting(const char* path) override {
    return fromHandle(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_ARCHIVE, nullptr));
  }
  bool seekToEnd(FileHandle file) override {
    return SetFilePointer(toHandle(file), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER ||
           GetLastError() == NO_ERROR;
  }
  bool write(FileHandle file, const void* data, uint32_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD written = 0;
      if (!WriteFile(toHandle(file), p, size, &written, nullptr) || written == 0) return false;
      p += written;
      size -= written;
    }
    return true;
  }
  void close(FileHandle file) override {
    if (file != NO_FILE) CloseHandle(toHandle(file));
  }
  bool getTimes(FileHandle file, FileTimes* times) override {
    FILETIME c, a, w;
    if (!GetFileTime(toHandle(file), &c, &a, &w)) return false;
    times->creation = fromFileTimeRecord(c);
    times->lastAccess = fromFileTimeRecord(a);
    times->lastWrite = fromFileTimeRecord(w);
    return true;
  }
  bool setTimes(FileHandle file, const FileTimes& times) override {
    FILETIME c = toFileTimeRecord(times.creation), a = toFileTimeRecord(times.lastAccess),
             w = toFileTimeRecord(times.lastWrite);
    return SetFileTime(toHandle(file), &c, &a, &w) != 0;
  }
  bool currentDirectory(char* buffer, size_t size) override {
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    if (n == 0 || n >= size) return false;
    if (buffer[n - 1] == '\\') buffer[n - 1] = 0;  // "C:\" -> "C:", so "\Data" joins cleanly
    return true;
  }
  void createDirectory(const char* path) override { CreateDirectoryA(path, nullptr); }
  ClockTime localTime() override {
    SYSTEMTIME s;
    GetLocalTime(&s);
    return fromSystemTime(s);
  }
  ClockTime universalTime() override {
    SYSTEMTIME s;
    GetSystemTime(&s);
    return fromSystemTime(s);
  }
  char pathSeparator() const override { return '\\'; }
};

}  // namespace

RecorderFiles& platformRecorderFiles() {
  static WinRecorderFiles files;
  return files;
}
