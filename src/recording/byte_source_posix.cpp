// Files by POSIX descriptors, read with pread (64-bit offsets).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "recording/byte_source.h"

FileSource::~FileSource() {
  if (handle_ != CLOSED) ::close(static_cast<int>(handle_));
}

bool FileSource::open(const std::string& path) {
  if (handle_ != CLOSED) ::close(static_cast<int>(handle_));
  handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle_ < 0) handle_ = CLOSED;
  return handle_ != CLOSED;
}

int64_t FileSource::size() {
  struct stat s {};
  if (handle_ == CLOSED || fstat(static_cast<int>(handle_), &s) != 0) return -1;
  return static_cast<int64_t>(s.st_size);
}

size_t FileSource::readAt(uint64_t offset, void* out, size_t size) {
  size_t done = 0;
  while (handle_ != CLOSED && done < size) {
    const ssize_t n = pread(static_cast<int>(handle_), static_cast<char*>(out) + done, size - done,
                            static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}
