// The few file and clock services the recorder needs, so that its logic stays
// portable: the Win32 layer implements them with the kernel's file API, the
// native build with POSIX calls (tests wrap either to inject failures).
// Paths are UTF-8, so that a folder named in any script can be recorded into.
#pragma once

#include <cstddef>
#include <cstdint>

using FileHandle = intptr_t;
inline constexpr FileHandle NO_FILE = -1;

// A file time as the platform keeps it: 100 ns units since 1601-01-01 UTC.
using FileTime = uint64_t;
inline constexpr FileTime FILE_TIME_TICKS_PER_HOUR = 36000000000ull;
inline constexpr FileTime FILE_TIME_TICKS_PER_DAY = 24 * FILE_TIME_TICKS_PER_HOUR;

struct FileTimes {
  FileTime creation = 0;
  FileTime lastAccess = 0;
  FileTime lastWrite = 0;
};

struct ClockTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class RecorderFiles {
 public:
  virtual ~RecorderFiles() = default;
  // Always a new (emptied) file, write access, no sharing.
  virtual FileHandle createNew(const char* path) = 0;
  // An existing file only, read and write, no sharing.
  virtual FileHandle openExisting(const char* path) = 0;
  virtual bool seekToEnd(FileHandle file) = 0;
  // Writes size bytes; true only when all of them were written.
  virtual bool write(FileHandle file, const void* data, uint32_t size) = 0;
  virtual void close(FileHandle file) = 0;
  virtual bool getTimes(FileHandle file, FileTimes* times) = 0;
  virtual bool setTimes(FileHandle file, const FileTimes& times) = 0;
  // The current directory without a trailing separator; false if it does not fit.
  virtual bool currentDirectory(char* buffer, size_t size) = 0;
  virtual void createDirectory(const char* path) = 0;  // result ignored: it may exist
  // The system's words (UTF-8) for why the last call failed.
  virtual void lastErrorText(char* buffer, size_t size) = 0;
  virtual ClockTime localTime() = 0;
  virtual ClockTime universalTime() = 0;
  virtual char pathSeparator() const = 0;
};

// The platform's implementation (recorder_files_win.cpp / recorder_files_posix.cpp).
RecorderFiles& platformRecorderFiles();
