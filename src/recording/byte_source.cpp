#include "recording/byte_source.h"

#include <cstring>

size_t MemorySource::readAt(uint64_t offset, void* out, size_t size) {
  if (offset >= size_) return 0;
  const size_t n = size < size_ - offset ? size : static_cast<size_t>(size_ - offset);
  std::memcpy(out, data_ + offset, n);
  return n;
}
