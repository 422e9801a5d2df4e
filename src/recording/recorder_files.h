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

// Why a file call failed, in the terms the user is told.
// LowSpace and TooLong are the recorder's own: too little room left, a path it cannot hold.
enum class FileError : int32_t { None, DiskFull, AccessDenied, Other, LowSpace, TooLong };
struct FileFailure {
  FileError kind = FileError::None;
  uint32_t code = 0;  // the system's error number, for its own words
};

struct ClockTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class RecorderFiles {
 public:
  virtual ~RecorderFiles() = default;
  // Always a new (emptied) file, write access; others may read it meanwhile.
  virtual FileHandle createNew(const char* path) = 0;
  // An existing file only, read and write; others may read it meanwhile.
  virtual FileHandle openExisting(const char* path) = 0;
  // Moves to the end; size gets the file's length (64 bits: recordings pass 4 GB).
  virtual bool seekToEnd(FileHandle file, uint64_t* size) = 0;
  // Cuts the file to size bytes and moves to its new end.
  virtual bool truncate(FileHandle file, uint64_t size) = 0;
  // Writes size bytes; true only when all of them were written.
  virtual bool write(FileHandle file, const void* data, uint32_t size) = 0;
  virtual void close(FileHandle file) = 0;
  virtual bool getTimes(FileHandle file, FileTimes* times) = 0;
  virtual bool setTimes(FileHandle file, const FileTimes& times) = 0;
  // The current directory without a trailing separator; false if it does not fit.
  virtual bool currentDirectory(char* buffer, size_t size) = 0;
  virtual void createDirectory(const char* path) = 0;  // result ignored: it may exist
  // Why the calling thread's last file call failed.
  virtual FileFailure lastFailure() = 0;
  // The system's words (UTF-8) for an error number of lastFailure.
  virtual void describeError(uint32_t code, char* buffer, size_t size) = 0;
  // Bytes free for this program on the drive of path; UINT64_MAX when unknown.
  virtual uint64_t freeSpace(const char* path) = 0;
  virtual ClockTime localTime() = 0;
  virtual ClockTime universalTime() = 0;
  virtual char pathSeparator() const = 0;
};

// Appends size bytes to an open file after the last whole unit (a row) that
// follows base (a header); unit 0 appends at the end. A write that fails or
// stops short is cut back, so the file holds whole units (whole lines) only.
// False with the reason in why when something failed.
bool appendWhole(RecorderFiles& files, FileHandle file, const void* data, uint32_t size, uint64_t unit, uint64_t base,
                 FileFailure* why);

// The platform's implementation (recorder_files_win.cpp / recorder_files_posix.cpp).
RecorderFiles& platformRecorderFiles();
