// Kernel file services for the recorder. Paths come as UTF-8 and go to the
// wide calls: a working folder named outside the ANSI code page still works.
#include <windows.h>

#include <cstring>

#include "recording/recorder_files.h"

namespace {

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle fromHandle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(h); }

// UTF-8 to UTF-16 and back; an empty result when it does not fit.
bool toWide(const char* utf8, wchar_t* out, int size) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out, size) > 0;
}
bool toUtf8(const wchar_t* wide, char* out, size_t size) {
  return WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr) > 0;
}

HANDLE openWide(const char* path, DWORD access, DWORD disposition) {
  wchar_t wide[MAX_PATH * 2];
  if (!toWide(path, wide, MAX_PATH * 2)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  // Readers (the viewer following a recording) may hold the file meanwhile; nobody else may write.
  return CreateFileW(wide, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_ARCHIVE, nullptr);
}

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
    return fromHandle(openWide(path, GENERIC_WRITE, CREATE_ALWAYS));
  }
  FileHandle openExisting(const char* path) override {
    return fromHandle(openWide(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
  }
  bool seekToEnd(FileHandle file, uint64_t* size) override {
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(toHandle(file), LARGE_INTEGER{}, &end, FILE_END)) return false;
    *size = static_cast<uint64_t>(end.QuadPart);
    return true;
  }
  bool truncate(FileHandle file, uint64_t size) override {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(toHandle(file), at, nullptr, FILE_BEGIN) && SetEndOfFile(toHandle(file));
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
    wchar_t wide[MAX_PATH * 2];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH * 2, wide);
    if (n == 0 || n >= MAX_PATH * 2 || !toUtf8(wide, buffer, size)) return false;
    const size_t len = std::strlen(buffer);
    if (len > 0 && buffer[len - 1] == '\\') buffer[len - 1] = 0;  // "C:\" -> "C:", so "\Data" joins cleanly
    return true;
  }
  void createDirectory(const char* path) override {
    wchar_t wide[MAX_PATH * 2];
    if (toWide(path, wide, MAX_PATH * 2)) CreateDirectoryW(wide, nullptr);
  }
  FileFailure lastFailure() override {
    const DWORD e = GetLastError();
    switch (e) {
      case ERROR_DISK_FULL:
      case ERROR_HANDLE_DISK_FULL:
        return {FileError::DiskFull, e};
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
      case ERROR_WRITE_PROTECT:
        return {FileError::AccessDenied, e};
      default:
        return {FileError::Other, e};
    }
  }
  void describeError(uint32_t error, char* buffer, size_t size) override {
    wchar_t text[512] = L"";
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512,
                        nullptr))
      wsprintfW(text, L"ошибка %lu", error);
    // "Path not found." reads better before the file's name without its stop.
    for (size_t n = wcslen(text); n > 0 && wcschr(L"\r\n .", text[n - 1]);) text[--n] = 0;
    if (!toUtf8(text, buffer, size) && size > 0) buffer[0] = 0;
  }
  uint64_t freeSpace(const char* path) override {
    wchar_t wide[MAX_PATH * 2];
    ULARGE_INTEGER available{};
    if (!toWide(path, wide, MAX_PATH * 2) || !GetDiskFreeSpaceExW(wide, &available, nullptr, nullptr))
      return UINT64_MAX;
    return available.QuadPart;
  }
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
