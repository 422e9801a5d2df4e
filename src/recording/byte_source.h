// Bytes read by 64-bit position, from a file or from memory. A file is opened
// for reading only and shared with a writer, so a recording can be read while
// the recorder still appends to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The size now (a file may grow); -1 when it cannot be told.
  virtual int64_t size() = 0;
  // Up to size bytes from offset into out; the count read (0 at the end or on failure).
  virtual size_t readAt(uint64_t offset, void* out, size_t size) = 0;
};

// A file by its UTF-8 path (platform: byte_source_posix.cpp / byte_source_win.cpp).
class FileSource final : public ByteSource {
 public:
  FileSource() = default;
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool open(const std::string& path);
  bool isOpen() const { return handle_ != CLOSED; }
  int64_t size() override;
  size_t readAt(uint64_t offset, void* out, size_t size) override;

 private:
  static constexpr intptr_t CLOSED = -1;
  intptr_t handle_ = CLOSED;
};

// Bytes held by the caller (tests, the fuzzer).
class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const char*>(data)), size_(size) {}
  int64_t size() override { return static_cast<int64_t>(size_); }
  size_t readAt(uint64_t offset, void* out, size_t size) override;

 private:
  const char* data_;
  size_t size_;
};
